// SPDX-License-Identifier: MIT
// zan: the command-line compiler. Compiles one score into a Standard MIDI
// File and prints the compile's message lines; then, if asked, plays the file
// or renders it to a WAV file: built as the player program, itself, else by
// handing the run over to the player program (playback.h).
#include <algorithm>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "diagnostics_output.h"
#include "lsp_server.h"
#include "playback.h"
#include "zan/compile_report.h"
#include "zan/cp932.h"
#include "zan/midi_import.h"
#include "zan/music.h"
#include "zan/output_file.h"
#include "zan/text_helpers.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

#ifndef ZAN_VERSION
#define ZAN_VERSION "dev"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCompileErrors = 1;
constexpr int kExitFailure = 2;

constexpr const char* kUsage = zan::N_(
    "Usage: zan [options] SCORE\n"
    "       zan lsp [--stdio] [--lang LANG]\n"
    "       zan import MIDIFILE [-o SCORE] [--quantize 1/N]\n"
    "Compile an MML score into a Standard MIDI File; or serve editors as a\n"
    "language server on standard input and output (zan lsp); or turn a MIDI\n"
    "file into a score that compiles back to the same music (zan import:\n"
    "the score goes to standard output without -o; --quantize 1/16 snaps\n"
    "note starts and lengths to sixteenths, 1/12 or 1/16t to triplets).\n"
    "\n"
    "SCORE is a file (CP932 or UTF-8 text), or - for standard input.\n"
    "\n"
    "Options (an option's value may also follow it after =, as in\n"
    "--wav=song.wav; -- ends the options, for a score whose name begins\n"
    "with -):\n"
    "  -o OUT      write the MIDI file to OUT (default: SCORE with .mid, or\n"
    "              out.mid for standard input); - writes it to standard\n"
    "              output, and the messages go to standard error. A device\n"
    "              or FIFO is written in place; a link, the file it names\n"
    "  --check     compile and report only: no file is written\n"
    "  --listing   after the messages, print the compiled lines with their\n"
    "              macro expansions, numbered from 0\n"
    "  --diagnostics=gcc\n"
    "              print the messages as FILE:LINE:COLUMN: error: MESSAGE [eN]\n"
    "              lines (warning: and note: for the others), for editors\n"
    "  --diagnostics=json\n"
    "              print the messages as one JSON document\n"
    "  --play      after a compile without errors, play the music with the\n"
    "              built-in synthesizer (Ctrl+C stops, exit status 130)\n"
    "  --loop      --play: play the whole score over and over\n"
    "  --loop A:B  --play: loop from beat A to beat B (quarter notes from the\n"
    "              start, e.g. 4:8 for the second bar of 4/4)\n"
    "  --watch     --play: play on, and each time the score or a file it\n"
    "              includes is saved, compile it again and hear the change\n"
    "              where the music stands; a compile with errors, or a\n"
    "              deleted file, leaves the last good version playing. One\n"
    "              line per reload; Ctrl+C stops\n"
    "  --wav WAV   after a compile without errors, render the music to WAV\n"
    "              (stereo 16-bit; - for standard output); without -o no\n"
    "              MIDI file is written\n"
    "  --soundfont SF2\n"
    "              the SoundFont for --play and --wav (default: the first of\n"
    "              FluidR3_GM.sf2, TimGM6mb.sf2, default-GM.sf2, default.sf2\n"
    "              found in /usr/share/sounds/sf2, /usr/share/soundfonts,\n"
    "              /usr/local/share/soundfonts, $XDG_DATA_HOME/soundfonts,\n"
    "              ~/.local/share/soundfonts, ~/.local/share/sounds/sf2, in\n"
    "              that order; else the first .sf2 file by name in the first\n"
    "              of those folders that has one)\n"
    "  --gain G    master gain of the synthesizer, 0 to 10 (default 0.5)\n"
    "  --rate HZ   sample rate: 22050, 44100 (default), 48000 or 96000\n"
    "  --tail SECONDS\n"
    "              --wav: after the music, keep rendering while the sound\n"
    "              dies away, for at most SECONDS (default 1.5)\n"
    "  --mute TRACKS\n"
    "              --play and --wav: the tracks (numbers as in _tr, joined\n"
    "              with commas, e.g. 1,3) play no notes; their controllers\n"
    "              and programs still go out; a track with no events is\n"
    "              refused\n"
    "  --solo TRACKS\n"
    "              --play and --wav: only these tracks play notes (a muted\n"
    "              one stays silent)\n"
    "  --lang LANG the language of the messages: ja (the originals, mostly\n"
    "              Japanese) or en (English); by default the locale's, from\n"
    "              LANGUAGE, LC_ALL, LC_MESSAGES or LANG (C and POSIX: ja)\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 compiled without errors, 1 compiled with errors (the file\n"
    "is still written; nothing is played or rendered), 2 usage error, input\n"
    "that is not a score, a file that cannot be read or written, or playback\n"
    "that cannot start; 130 --play stopped by Ctrl+C.\n");

struct Options {
  std::string score;
  std::string output;     // "" = the default; "-" = standard output
  bool outputGiven = false;
  bool listing = false;
  bool check = false;     // compile and report, write nothing
  std::string diagnostics;  // "" = the message lines; "gcc" or "json"
  bool play = false;
  bool loop = false;      // --loop
  double loopFrom = 0;    // --loop A:B, in quarter notes; the whole score when loopTo <= loopFrom
  double loopTo = 0;
  bool watch = false;     // --watch
  std::string wav;        // "" = no render
  std::string soundFont;  // "" = the player's search
  double gain = 0.5;
  double rate = 44100;
  double tail = 1.5;
  std::vector<int> mute;  // track numbers, 0..127
  std::vector<int> solo;
};

// Bytes of a MIDI file read to import it: a name that never ends (a
// character device, a pipe) must not take all memory; no file a sequencer
// writes comes near it.
constexpr size_t kMaxImportBytes = 512u << 20;

int fail(const std::string& message) {
  std::cerr << "zan: " << message << "\n";
  return kExitFailure;
}

std::string defaultOutput(const std::string& score) {
  if (score == "-") return "out.mid";
  size_t slash = score.rfind('/');
  size_t dot = score.rfind('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? score.substr(0, dot) : score) + ".mid";
}

// Reads the score within the bound of a score: /dev/zero or an endless pipe
// is refused as soon as its first chunk shows NUL bytes, or at the bound.
bool readAll(const std::string& path, std::string& out, std::string& error) {
  const size_t bound = zan::Limits{}.sourceBytes;
  const std::string name = path == "-" ? zan::tr("standard input") : path;
  const zan::ReadStatus status = path == "-" ? zan::ReadFd(STDIN_FILENO, name, bound, zan::ReadAs::Score, out, error)
                                             : zan::ReadFile(path, bound, zan::ReadAs::Score, out, error);
  if (status == zan::ReadStatus::NotScore) error = name + zan::tr(" is ") + error + zan::tr(", not a score");
  if (status == zan::ReadStatus::TooLarge) error += zan::tr(", the most a score may hold");
  if (status == zan::ReadStatus::Failed && path == "-") error = zan::tr("cannot read standard input");
  return status == zan::ReadStatus::Ok;
}

// True when `output` is the file `input` (through links and other
// spellings, standard input included): writing it would destroy what is
// being read.
bool sameFile(const std::string& input, const std::string& output) {
  if (output.empty() || output == "-") return false;
  if (input == "-") {
    struct stat in {}, out {};
    return ::fstat(STDIN_FILENO, &in) == 0 && S_ISREG(in.st_mode) && ::stat(output.c_str(), &out) == 0 &&
           in.st_dev == out.st_dev && in.st_ino == out.st_ino;
  }
  return zan::SameFile(input, output);
}

// A signal that ends the run while a file is written takes the file's
// temporary name with it, then ends the process as the signal would.
void removeTemporaryFilesAndDie(int signal) {
  zan::RemovePendingTemporaryFiles();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void guardWrites() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {}, previous {};
    action.sa_handler = removeTemporaryFilesAndDie;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, &previous);
    // A signal the caller ignores (a background job's SIGINT, nohup's
    // SIGHUP) stays ignored.
    if (previous.sa_handler == SIG_IGN) sigaction(signal, &previous, nullptr);
  }
  // Past a file-size limit (ulimit -f) a write fails with "File too large"
  // instead of the process dying without a word.
  ::signal(SIGXFSZ, SIG_IGN);
}

// Reads a number option's value; false when it is not a number.
bool parseNumber(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Reads "1,3,12" into `tracks`; false unless every item is a track number.
bool parseTracks(const std::string& text, std::vector<int>& tracks) {
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (item.empty() || item.size() > 3 || item.find_first_not_of("0123456789") != std::string::npos) return false;
    const int n = std::stoi(item);
    if (n >= zan::kTrackCount) return false;
    tracks.push_back(n);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

// "A:B", two numbers of beats.
bool isBeatRange(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const auto numeric = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
  for (size_t k = 0; k < text.size(); ++k)
    if (k != colon && !numeric(text[k])) return false;
  return true;
}

// Digits, points and one colon at most: what a range of beats is written with.
bool looksLikeBeats(const std::string& text) {
  if (text.empty() || std::count(text.begin(), text.end(), ':') > 1) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == ':'; });
}

bool parseBeatRange(const std::string& text, double& from, double& to) {
  if (!isBeatRange(text)) return false;
  const size_t colon = text.find(':');
  return parseNumber(text.substr(0, colon).c_str(), from) && parseNumber(text.substr(colon + 1).c_str(), to) &&
         from >= 0 && to > from && to < 1e9;
}

#ifdef ZAN_PLAYBACK_LINKED
// What --watch watches: the score and each file its compile included.
std::vector<std::string> watchedFiles(const zan::TSmf& smf, const std::string& score) {
  std::vector<std::string> files{score};
  for (int k = 1; k <= smf.sourceLines.includeCount(); ++k)
    if (const std::string& path = smf.sourceLines.includePath(k); !path.empty()) files.push_back(path);
  return files;
}

// --watch: the score compiled again, in memory, as it now stands.
zan::cli::Recompile recompileScore(const std::string& score) {
  zan::cli::Recompile out;
  out.files = {score};
  std::string bytes;
  if (!readAll(score, bytes, out.firstError)) return out;
  if (const std::string_view kind = zan::nonScoreKind(bytes); !kind.empty()) {
    out.firstError = zan::tr("it is ") + std::string(kind) + zan::tr(", not a score");
    return out;
  }
  zan::TSmf smf;
  smf.sourceLines.setText(zan::decodeScore(std::move(bytes)).cp932);
  smf.scorePath = score;
  zan::CompileReport report;
  {
    zan::DiagnosticCollector collector(smf, score);
    try {
      out.smf = smf.CompileToBytes();
    } catch (const std::exception& e) {
      out.firstError = e.what();
    }
    report = collector.take();
  }
  out.files = watchedFiles(smf, score);
  for (const zan::Diagnostic& d : report.diagnostics)
    if (d.kind == zan::DiagnosticKind::Error && out.firstError.empty()) out.firstError = zan::toUtf8(d.text);
  out.ok = smf.errorsReported == 0 && out.firstError.empty();
  return out;
}

// The file's track chunks of `tracks`; false, with the reason, when one of
// them has no events (and so no chunk to mute or solo): a misspelt number
// would otherwise play what the user meant to silence.
bool chunksOf(const zan::TSmf& smf, const std::vector<int>& tracks, const char* option, std::vector<int>& chunks,
              std::string& error) {
  for (int t : tracks) {
    const int chunk = smf.chunkOfTrack(t);
    if (chunk < 0) {
      error = std::string(option) + " " + std::to_string(t) + zan::tr(": track ") + std::to_string(t) + zan::tr(" has no events");
      return false;
    }
    chunks.push_back(chunk);
  }
  return true;
}
#endif

#ifndef ZAN_PLAYBACK_LINKED
// Hands the run over to the player program (see playback.h): on success
// this never returns.
int handOverPlayback(char** argv) {
  std::string path;
  const char* named = std::getenv("ZAN_PLAYER");
  if (named && *named) {
    path = named;
  } else {
    const std::string dir = zan::AppDir();
    path = dir + ZAN_PLAYER_DIR "/" + zan::cli::kPlayerProgram;
    if (const std::string built = dir + zan::cli::kPlayerProgram;
        ::access(path.c_str(), X_OK) != 0 && ::access(built.c_str(), X_OK) == 0)
      path = built;
  }
  ::setenv(zan::cli::kHandedOverVariable, ZAN_VERSION, 1);
  ::execv(path.c_str(), argv);
  const int error = errno;
  fail(zan::tr("--play and --wav need the player program ") + path + zan::tr(", which cannot be started: ") +
       std::strerror(error));
  // Where zan is installed from packages, the player is a package of its
  // own that a user of the compiler alone has no need of.
  if (error == ENOENT && !(named && *named))
    fail(std::string(zan::tr("the player program comes with the package ")) + zan::cli::kPlayerPackage +
         zan::tr(" (apt install ") + zan::cli::kPlayerPackage + ")");
  return kExitFailure;
}
#endif

// --lang's value, for the rest of the run; false (said) when not spoken.
bool chooseLanguage(const std::string& name) {
  if (zan::setLanguage(name)) return true;
  std::string spoken;
  for (std::string_view l : zan::languages()) {
    if (!spoken.empty()) spoken += ", ";
    spoken += l;
  }
  fail("--lang " + name + zan::tr(": the languages are ") + spoken + zan::tr(" (see zan --help)"));
  return false;
}

// Parses the command line into `opt`; returns an exit status when the run
// ends here (help, version, a usage error), else -1. An option's value
// follows it as the next argument or after "=" ("-oOUT" too); "--" ends
// the options.
int parseArguments(int argc, char** argv, Options& opt) {
  bool haveScore = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      if (haveScore) return fail(zan::tr("only one score can be compiled at a time (see zan --help)"));
      opt.score = arg;
      haveScore = true;
      continue;
    }
    std::string a = arg;                 // the option's name
    std::optional<std::string> attached;  // its value when given in the same argument
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      a = arg.substr(0, eq);
      attached = arg.substr(eq + 1);
    } else if (arg.rfind("-o", 0) == 0 && arg.size() > 2 && arg[2] != '-') {
      a = "-o";
      attached = arg.substr(2);
    }
    auto value = [&](const char* what) -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 >= argc) {
        fail(a + zan::tr(" needs ") + what + zan::tr(" (see zan --help)"));
        return std::nullopt;
      }
      return std::string(argv[++i]);
    };
    auto number = [&](double& out, auto valid, const char* range) {
      const std::optional<std::string> v = value(zan::tr("a number"));
      if (!v) return false;
      if (!parseNumber(v->c_str(), out) || !valid(out)) {
        fail(a + " " + *v + ": " + range + zan::tr(" (see zan --help)"));
        return false;
      }
      return true;
    };
    const bool takesValue = a == "-o" || a == "--wav" || a == "--soundfont" || a == "--diagnostics" ||
                            a == "--gain" || a == "--rate" || a == "--tail" || a == "--mute" || a == "--solo" ||
                            a == "--lang" || a == "--loop";
    if (attached && !takesValue) {
      if (a == "--help" || a == "--version" || a == "--listing" || a == "--check" || a == "--play" || a == "--watch")
        return fail(a + zan::tr(" takes no value (see zan --help)"));
      return fail(zan::tr("unknown option ") + a + zan::tr(" (see zan --help)"));
    }
    if (a == "--help" || a == "-h") {
      std::cout << zan::tr(kUsage);
      return kExitOk;
    }
    if (a == "--version") {
      std::cout << "zan " << ZAN_VERSION << "\n";
      return kExitOk;
    }
    if (a == "--lang") {
      const std::optional<std::string> v = value(zan::tr("a language"));
      if (!v) return kExitFailure;
      if (!chooseLanguage(*v)) return kExitFailure;
    } else if (a == "--listing") {
      opt.listing = true;
    } else if (a == "--check") {
      opt.check = true;
    } else if (a == "--diagnostics") {
      const std::optional<std::string> v = value(zan::tr("a form, gcc or json"));
      if (!v) return kExitFailure;
      opt.diagnostics = *v;
      if (opt.diagnostics != "gcc" && opt.diagnostics != "json")
        return fail(a + " " + *v + zan::tr(": the forms are --diagnostics=gcc and --diagnostics=json (see zan --help)"));
    } else if (a == "--play") {
      opt.play = true;
    } else if (a == "--watch") {
      opt.watch = true;
    } else if (a == "--loop") {
      opt.loop = true;
      // A range follows as --loop=A:B, or as the next argument when it is one.
      std::optional<std::string> range = attached;
      // A number there without its colon ("--loop 4") is a range written
      // wrong, not a score, unless a file has that name.
      if (!range && i + 1 < argc && (isBeatRange(argv[i + 1]) || (looksLikeBeats(argv[i + 1]) && ::access(argv[i + 1], F_OK) != 0)))
        range = std::string(argv[++i]);
      if (range && !parseBeatRange(*range, opt.loopFrom, opt.loopTo))
        return fail("--loop " + *range + zan::tr(": beats A:B from the start, A below B (see zan --help)"));
    } else if (a == "--wav" || a == "--soundfont" || a == "-o") {
      const std::optional<std::string> v = value(zan::tr("a file name"));
      if (!v) return kExitFailure;
      if (v->empty()) return fail(a + zan::tr(" needs a file name (see zan --help)"));
      (a == "--wav" ? opt.wav : a == "--soundfont" ? opt.soundFont : opt.output) = *v;
      if (a == "-o") opt.outputGiven = true;
    } else if (a == "--gain") {
      if (!number(opt.gain, [](double g) { return g >= 0 && g <= 10; }, zan::tr("the gain is 0 to 10"))) return kExitFailure;
    } else if (a == "--rate") {
      if (!number(opt.rate, [](double r) { return r == 22050 || r == 44100 || r == 48000 || r == 96000; },
                  zan::tr("the rate is 22050, 44100, 48000 or 96000")))
        return kExitFailure;
    } else if (a == "--tail") {
      if (!number(opt.tail, [](double t) { return t >= 0 && t <= 600; }, zan::tr("the tail is 0 to 600 seconds")))
        return kExitFailure;
    } else if (a == "--mute" || a == "--solo") {
      const std::optional<std::string> v = value(zan::tr("track numbers"));
      if (!v) return kExitFailure;
      if (!parseTracks(*v, a == "--mute" ? opt.mute : opt.solo))
        return fail(a + " " + *v + zan::tr(": track numbers 0 to 127 joined with commas (see zan --help)"));
    } else {
      return fail(zan::tr("unknown option ") + a + zan::tr(" (see zan --help)"));
    }
  }
  if (!haveScore) return fail(zan::tr("no score given (see zan --help)"));
  // Standard output by another name is standard output, with the messages
  // moved out of the file's way.
  for (std::string* out : {&opt.output, &opt.wav})
    if (*out == "/dev/stdout" || *out == "/dev/fd/1" || *out == "/proc/self/fd/1") *out = "-";
  if ((opt.loop || opt.watch) && !opt.play) return fail(zan::tr("--loop and --watch go with --play (see zan --help)"));
  if (opt.watch && opt.score == "-") return fail(zan::tr("--watch needs a score file, not standard input"));
  if (opt.check && (opt.outputGiven || opt.play || !opt.wav.empty()))
    return fail(zan::tr("--check writes and plays nothing: it cannot be given with -o, --wav or --play (see zan --help)"));
  if (opt.outputGiven && opt.output == "-" && opt.wav == "-")
    return fail(zan::tr("-o - and --wav - cannot both write to standard output (see zan --help)"));
  if (opt.outputGiven && opt.output != "-" && !opt.wav.empty() && opt.wav != "-" && zan::SameFile(opt.output, opt.wav))
    return fail("-o " + opt.output + zan::tr(" and --wav ") + opt.wav + zan::tr(" name the same file: choose two (see zan --help)"));
  return -1;
}

// Ends the process once the compile's work is out, without taking the
// compiler's memory apart piece by piece (a large score's lines and events:
// a twentieth of its compile). Sanitizer builds end normally, so that their
// leak check still sees everything.
int exitNow(int status) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return status;
#else
  std::cout.flush();
  std::fflush(nullptr);
  ::_exit(status);
#endif
}

// zan import MIDIFILE [-o SCORE] [--quantize 1/N] [--lang LANG]
int runImport(int argc, char** argv) {
  std::string input, output = "-";
  zan::midi_import::Options options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* name, std::string& to) {
      const std::string prefix = std::string(name) + "=";
      if (arg.rfind(prefix, 0) == 0) return to = arg.substr(prefix.size()), true;
      if (arg == name && i + 1 < argc) return to = argv[++i], true;
      return false;
    };
    std::string text;
    if (value("-o", output)) continue;
    if (value("--quantize", text)) {
      options.quantize = zan::midi_import::parseQuantize(text);
      if (options.quantize == 0) return fail(zan::tr("import: --quantize takes a note value such as 1/16, 1/12 or 1/16t"));
    } else if (value("--lang", text)) {
      if (!chooseLanguage(text)) return kExitFailure;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail(zan::tr("import: unknown option ") + arg + zan::tr(" (see zan --help)"));
    } else if (input.empty()) {
      input = arg;
    } else {
      return fail(zan::tr("import: one MIDI file at a time"));
    }
  }
  if (input.empty()) return fail(zan::tr("import: no MIDI file named (see zan --help)"));
  guardWrites();
  std::string bytes, error;
  if (zan::ReadFile(input, kMaxImportBytes, zan::ReadAs::Bytes, bytes, error) != zan::ReadStatus::Ok) return fail(error);
  if (sameFile(input, output)) return fail(output + zan::tr(" is the MIDI file itself: choose another output file"));
  options.sourceName = input.substr(input.rfind('/') + 1);
  zan::midi_import::Result result;
  if (!zan::midi_import::importSmf(std::vector<uint8_t>(bytes.begin(), bytes.end()), options, result, error))
    return fail(input + ": " + error);
  for (const std::string& w : result.warnings) std::cerr << "zan: " << input << ": " << zan::tr("warning: ") << w << "\n";
  if (options.quantize > 0)
    std::cerr << "zan: " << input << ": " << zan::tr("quantize moved ") << result.quantizeMoved << zan::tr(" notes, the largest move ")
              << result.quantizeLargestMove << zan::tr(" ticks") << "\n";
  if (output == "-") {
    if (!zan::WriteAll(STDOUT_FILENO, result.score.data(), result.score.size()))
      return fail(std::string(zan::tr("cannot write standard output: ")) + std::strerror(errno));
  } else if (!zan::WriteWholeFile(output, result.score.data(), result.score.size(), error)) {
    return fail(error);
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // A compile allocates a few large buffers (the score, the event lists) and
  // frees some of them on the way. Kept in the heap instead of being handed
  // back to the system, freed memory is reused without new page faults,
  // which on a large score cost more than the compile itself.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // "zan lsp" serves an editor (a score named lsp compiles as ./lsp); clients
  // that start every server with --stdio get what they ask for.
  if (argc >= 2 && std::string(argv[1]) == "lsp") {
    for (int i = 2; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg.rfind("--lang=", 0) == 0 || (arg == "--lang" && i + 1 < argc)) {
        if (!chooseLanguage(arg == "--lang" ? argv[++i] : arg.substr(7))) return kExitFailure;
      } else if (arg != "--stdio") {
        return fail(zan::tr("lsp: unknown option ") + arg + zan::tr(" (see zan --help)"));
      }
    }
    return zan::lsp::runServer();
  }
  if (argc >= 2 && std::string(argv[1]) == "import") return runImport(argc, argv);
  Options opt;
  if (const int status = parseArguments(argc, argv, opt); status >= 0) return status;
#ifdef ZAN_PLAYBACK_LINKED
  // The player program runs what zan hands over, from the same build only.
  if (const char* from = std::getenv(zan::cli::kHandedOverVariable); from && std::string(from) != ZAN_VERSION)
    return fail(std::string(zan::tr("the player program is version ")) + ZAN_VERSION + zan::tr(", zan is ") + from);
  ::unsetenv(zan::cli::kHandedOverVariable);
#else
  // Before anything is read: standard input is the player program's to read.
  if (opt.play || !opt.wav.empty()) return handOverPlayback(argv);
#endif
  guardWrites();
  // --wav alone renders from memory; otherwise the file goes where it always
  // did; --check writes nothing.
  const bool writeFile = !opt.check && (opt.outputGiven || opt.wav.empty());
  if (!opt.outputGiven) opt.output = defaultOutput(opt.score);
  const bool toStdout = writeFile && opt.output == "-";
  std::string bytes, error;
  if (!readAll(opt.score, bytes, error)) return fail(error);
  // What is not a score is refused before anything is written: "zan
  // song.mid" would otherwise replace the MIDI file with a compile of it.
  if (const std::string_view kind = zan::nonScoreKind(bytes); !kind.empty())
    return fail((opt.score == "-" ? std::string(zan::tr("standard input")) : opt.score) + zan::tr(" is ") + std::string(kind) +
                zan::tr(", not a score"));
  for (const std::string* out : {&opt.output, &opt.wav})
    if ((out != &opt.output || writeFile) && sameFile(opt.score, *out))
      return fail(*out + zan::tr(" is the score itself: choose another output file"));
  // A SoundFont named on the command line is meant: never replace it quietly
  // by another one found on the machine.
  if (!opt.soundFont.empty() && ::access(opt.soundFont.c_str(), R_OK) != 0)
    return fail(zan::tr("cannot read the SoundFont ") + opt.soundFont);

  zan::TSmf smf;
  std::string lostFrom;  // --diagnostics: the score as read, when characters were lost to CP932
  {
    zan::DecodedScore score = zan::decodeScore(opt.diagnostics.empty() ? std::move(bytes) : bytes);
    if (score.lost > 0 && !opt.diagnostics.empty())
      lostFrom = std::move(bytes);
    else if (score.lost > 0)
      std::cerr << "zan: warning: " << score.lost << zan::tr(" character(s) have no CP932 form and read as '?' (first on line ")
                << score.firstLostLine << ")\n";
    smf.sourceLines.setText(score.cp932);
    if (opt.score != "-") smf.scorePath = opt.score;
  }
  // With the MIDI file or the WAV on standard output, the messages go to
  // standard error.
  std::ostream& messages = toStdout || opt.wav == "-" ? std::cerr : std::cout;
  std::string out;
  std::optional<zan::DiagnosticCollector> collector;
  if (!opt.diagnostics.empty()) {
    collector.emplace(smf, opt.score == "-" ? "<stdin>" : opt.score);
  } else {
    smf.messageSink = [&](const std::string& line) {
      out += zan::toUtf8(line);
      out += '\n';
    };
    smf.warningSink = [](const std::string& line) { std::cerr << "zan: " << line << "\n"; };
  }
  const auto printMessages = [&] {
    if (!collector) return void(messages << out);
    zan::CompileReport report = collector->take();
    if (!lostFrom.empty()) zan::addLostCharacterWarnings(report, lostFrom);
    if (opt.diagnostics == "json")
      zan::cli::printJsonDiagnostics(messages, report);
    else
      zan::cli::printGccDiagnostics(messages, report);
  };
  std::vector<uint8_t> midi;
  const bool inMemory = toStdout || !writeFile;
  try {
    if (inMemory)
      midi = smf.CompileToBytes();
    else
      smf.Compile(opt.output);
  } catch (const zan::WriteError& e) {
    printMessages();
    messages << std::flush;
    return fail(e.what());
  }
  printMessages();
  if (opt.listing) {
    const auto& lines = smf.sourceLines.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      char prefix[32];
      std::snprintf(prefix, sizeof prefix, "%4zu:", i);
      messages << prefix << zan::toUtf8(lines[i]) << '\n';
    }
  }
  messages << std::flush;
  if (toStdout && !zan::WriteAll(STDOUT_FILENO, midi.data(), midi.size())) return fail(std::string(zan::tr("cannot write standard output: ")) + std::strerror(errno));
  if (smf.errorsReported > 0) return exitNow(kExitCompileErrors);
  if (opt.wav.empty() && !opt.play) return exitNow(kExitOk);

#ifdef ZAN_PLAYBACK_LINKED
  zan::cli::Playback* playback = zan::cli::builtInPlayback();
  zan::cli::PlaybackRequest request;
  if (inMemory)
    request.smf = &midi;
  else
    request.smfPath = opt.output;
  request.name = inMemory ? opt.score : opt.output;
  request.soundFont = opt.soundFont;
  request.gain = opt.gain;
  request.sampleRate = opt.rate;
  request.tailSeconds = opt.tail;
  request.wavPath = opt.wav;
  if (std::string trackError; !chunksOf(smf, opt.mute, "--mute", request.mutedTracks, trackError) ||
                              !chunksOf(smf, opt.solo, "--solo", request.soloedTracks, trackError))
    return fail(trackError);
  request.progress = toStdout || opt.wav == "-" ? stderr : stdout;
  request.progressIsTerminal = ::isatty(::fileno(request.progress)) == 1;
  if (opt.loop && opt.loopTo > opt.loopFrom) {
    const std::shared_ptr<const zan::Music> music = zan::Music::build(smf, nullptr, nullptr, zan::Music::Parts::Timing);
    const zan::TempoMap& tempo = music->tempo();
    const auto msOfBeat = [&](double beat) { return std::llround(tempo.msOfTick(beat * tempo.timebase())); };
    request.loopFromMs = msOfBeat(opt.loopFrom);
    request.loopToMs = msOfBeat(opt.loopTo);
  } else if (opt.loop) {
    request.loopToMs = zan::cli::kLoopWholeScoreMs;
  }
  if (opt.watch) {
    request.watched = watchedFiles(smf, opt.score);
    request.recompile = [score = opt.score] { return recompileScore(score); };
  }
  if (!opt.wav.empty())
    if (const int status = playback->renderWav(request); status != kExitOk) return status;
  if (opt.play) return playback->play(request);
#endif
  return kExitOk;
}
