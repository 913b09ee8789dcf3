// zan: the command-line compiler. Compiles one score into a Standard MIDI
// File and prints the compile's message lines; then, if asked, plays the file
// or renders it to a WAV file.
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

#include "player/player.h"
#include "zan/cp932.h"
#include "zan/text_helpers.h"
#include "zan/tsmf.h"

#ifndef ZAN_VERSION
#define ZAN_VERSION "dev"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCompileErrors = 1;
constexpr int kExitFailure = 2;

constexpr const char* kUsage =
    "Usage: zan [options] SCORE\n"
    "Compile an MML score into a Standard MIDI File.\n"
    "\n"
    "SCORE is a file (CP932 or UTF-8 text), or - for standard input.\n"
    "\n"
    "Options:\n"
    "  -o OUT      write the MIDI file to OUT (default: SCORE with .mid,\n"
    "              or out.mid for standard input)\n"
    "  --listing   after the messages, print the compiled lines with their\n"
    "              macro expansions, numbered from 0\n"
    "  --play      after a compile without errors, play the MIDI file with the\n"
    "              built-in synthesizer (Ctrl+C stops)\n"
    "  --wav WAV   after a compile without errors, render the MIDI file to WAV\n"
    "              (44.1 kHz stereo 16-bit)\n"
    "  --soundfont SF2\n"
    "              the SoundFont for --play and --wav (default: the first found\n"
    "              in /usr/share/sounds/sf2, /usr/share/soundfonts, ...)\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 compiled without errors, 1 compiled with errors (the file\n"
    "is still written; nothing is played or rendered), 2 usage error, a file\n"
    "that cannot be read or written, or playback that cannot start.\n";

struct Options {
  std::string score;
  std::string output;
  bool listing = false;
  bool play = false;
  std::string wav;        // "" = no render
  std::string soundFont;  // "" = the player's search
};

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

bool readAll(const std::string& path, std::string& out, std::string& error) {
  if (path == "-") {
    out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
      error = "cannot read standard input";
      return false;
    }
    return true;
  }
  return zan::ReadFile(path, out, error);
}

// Set by SIGINT while playing; the main loop stops the player.
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// "1:02.5" for 62 500 ms.
std::string clockText(int64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld.%lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms / 100 % 10));
  return buf;
}

// Plays the file to its end or until Ctrl+C, the position shown on one line.
int play(const std::string& midiPath, const Options& opt) {
  zan::player::PlayerConfig config;
  config.soundFont = opt.soundFont;
  zan::player::Player player(config);
  try {
    player.open(midiPath);
  } catch (const zan::player::PlayerError& e) {
    return fail(e.what());
  }
  if (!player.audioDeviceFound()) std::cerr << "zan: no audio device found: playing silently\n";
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);
  const std::string length = clockText(player.lengthMs());
  player.play();
  while (!interrupted && player.mode() == zan::player::Mode::Playing) {
    std::cout << "\r  " << clockText(player.positionMs()) << " / " << length << std::flush;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  player.stop();
  std::cout << "\r  " << clockText(player.positionMs()) << " / " << length << "\n" << std::flush;
  player.close();
  sigaction(SIGINT, &previous, nullptr);
  return kExitOk;
}

int renderWav(const std::string& midiPath, const Options& opt) {
  zan::player::PlayerConfig config;
  config.soundFont = opt.soundFont;
  try {
    zan::player::renderWav(midiPath, opt.wav, config);
  } catch (const zan::player::PlayerError& e) {
    return fail(e.what());
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
  Options opt;
  bool haveScore = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (a == "--version") {
      std::cout << "zan " << ZAN_VERSION << "\n";
      return kExitOk;
    }
    if (a == "--listing") {
      opt.listing = true;
    } else if (a == "--play") {
      opt.play = true;
    } else if (a == "--wav") {
      if (i + 1 >= argc) return fail("--wav needs a file name (see zan --help)");
      opt.wav = argv[++i];
    } else if (a == "--soundfont") {
      if (i + 1 >= argc) return fail("--soundfont needs a file name (see zan --help)");
      opt.soundFont = argv[++i];
    } else if (a == "-o") {
      if (i + 1 >= argc) return fail("-o needs a file name (see zan --help)");
      opt.output = argv[++i];
    } else if (a.rfind("-o", 0) == 0 && a.size() > 2 && a[2] != '-') {
      opt.output = a.substr(2);
    } else if (a.size() > 1 && a[0] == '-') {
      return fail("unknown option " + a + " (see zan --help)");
    } else if (haveScore) {
      return fail("only one score can be compiled at a time (see zan --help)");
    } else {
      opt.score = a;
      haveScore = true;
    }
  }
  if (!haveScore) return fail("no score given (see zan --help)");
  if (opt.output.empty()) opt.output = defaultOutput(opt.score);
  // A SoundFont named on the command line is meant: never replace it quietly
  // by another one found on the machine.
  if (!opt.soundFont.empty() && ::access(opt.soundFont.c_str(), R_OK) != 0)
    return fail("cannot read the SoundFont " + opt.soundFont);

  std::string bytes, error;
  if (!readAll(opt.score, bytes, error)) return fail(error);
  zan::TSmf smf;
  {
    zan::DecodedScore score = zan::decodeScore(std::move(bytes));
    if (score.lost > 0)
      std::cerr << "zan: warning: " << score.lost << " character(s) have no CP932 form and read as '?' (first on line "
                << score.firstLostLine << ")\n";
    smf.sourceLines.setText(score.cp932);
  }
  std::string out;
  smf.messageSink = [&](const std::string& line) {
    out += zan::toUtf8(line);
    out += '\n';
  };
  smf.warningSink = [](const std::string& line) { std::cerr << "zan: " << line << "\n"; };
  try {
    smf.Compile(opt.output);
  } catch (const zan::WriteError& e) {
    std::cout << out << std::flush;
    return fail(e.what());
  }
  std::cout << out;
  if (opt.listing) {
    const auto& lines = smf.sourceLines.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      char prefix[32];
      std::snprintf(prefix, sizeof prefix, "%4zu:", i);
      std::cout << prefix << zan::toUtf8(lines[i]) << '\n';
    }
  }
  std::cout << std::flush;
  if (smf.errorsReported > 0) return kExitCompileErrors;
  if (!opt.wav.empty()) {
    const int status = renderWav(opt.output, opt);
    if (status != kExitOk) return status;
  }
  if (opt.play) return play(opt.output, opt);
  return kExitOk;
}
