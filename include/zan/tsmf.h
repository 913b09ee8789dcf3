// SPDX-License-Identifier: MIT
// The compiler object: all compiler state and every command handler.
//
// One TSmf lives as long as its host. The host fills `sourceLines`, calls
// Reset() and Compile(), and reads the message lines back through its sink.
// Handlers are members that share the reading position (`lineIndex`,
// `lineText`, `column`), the current track and the per-track records below;
// their bodies are split over src/compiler/ by the part of the language they
// compile.
//
// Text inside the compiler is CP932 bytes; positions in a text are 1-based
// byte positions (a double-byte character counts twice); line indexes are
// 0-based.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zan/tivent.h"
#include "zan/tmacro.h"

namespace zan {

inline constexpr int kTrackCount = 128;      // tracks 0..127
inline constexpr int kVarCount = 512;        // variables ~0..~511
inline constexpr int kMaxArgs = 128;         // argument texts one command may use
inline constexpr int kMaxLoopDepth = 256;    // nested open [ loops
// Notes gathered for one chord, the sounding note included. 32 is plenty for
// any instrument; a longer run of zero-length notes is refused note by note.
inline constexpr int kMaxChordNotes = 32;
inline constexpr int32_t kMinTimebase = 13;    // ticks per quarter note, the range #timebase accepts
inline constexpr int32_t kMaxTimebase = 1536;

// The bounds of one compile. Each exists because some input would otherwise
// make the compile endless or unbounded; none is reached by a real score.
// Reaching one reports error 5 naming it and ends the compile as the error
// cut-off does (the file is still written with what was made).
struct Limits {
  // Commands dispatched and curve points made: a loop count of 2^31, or a
  // loop that jumps back for ever, ends here (within a second). A score of a
  // million notes built from library macros dispatches about ten million.
  int64_t dispatches = 32'000'000;
  // Events in all tracks (12 bytes each, 190 MB at most): memory stays bounded.
  int64_t events = 16'000'000;
  // A line grown by expansion, or an argument text: macros that call each
  // other further inside their bodies grow the line without end.
  size_t lineBytes = 4u << 20;
  // Expansions at one position without a dispatch between them: a macro
  // whose body begins with another whose body begins with the first would
  // expand for ever. Library macros nest a few levels deep.
  int expansionChain = 256;
  // Parameter marks replaced in one expansion: marks inside inserted
  // arguments are replaced too, so an argument holding "?1" never ends.
  int markSubstitutions = 65536;
  // #include nesting, and files included in one compile: a file that
  // includes itself (nesting alone would allow 2^depth inclusions of a file
  // that includes itself twice).
  int includeDepth = 16;
  int includes = 1000;
  // Bytes of one file read as source: the score, or a file it includes.
  // A name can stand for something that never ends (a character device, a
  // pipe whose writer never stops), and reading it whole would take all
  // memory. No real score comes near 64 MB (a score of a million notes is
  // a few MB); a file beyond is refused, not cut short. The editor and the
  // language server hold their documents to the same bound.
  size_t sourceBytes = 64u << 20;
};
// Bytes of a line moved by an edit that count as one unit of work.
inline constexpr int64_t kBytesPerWorkUnit = 256;
enum class Limit { Dispatches, Events, LineBytes, ExpansionChain, MarkSubstitutions, IncludeDepth, Includes, SourceBytes };

inline constexpr int kBackslashCount = 41;     // numbered commands \0..\40
// SEL and IF regions pending at once (nested selections and conditions).
inline constexpr int kMaxInsertedRegions = 257;

// Raised by Compile() when the output file cannot be written. Compile errors
// never raise; they are message lines.
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a line of `sourceLines` came from.
struct LineOrigin {
  int32_t file = 0;  // 0 = the score itself, k > 0 = includeFiles[k - 1], -1 = made by the compiler
  int32_t line = 0;  // 0-based line in that file (unused when file is -1)
};

// The source being compiled, with the origin of every line kept beside it so
// that lines inserted by #include or appended by the compiler can still be
// traced back to a file and line.
class SourceLines {
 public:
  int size() const { return static_cast<int>(lines_.size()); }
  bool empty() const { return lines_.empty(); }
  const std::string& operator[](int i) const { return lines_[static_cast<size_t>(i)]; }
  const std::vector<std::string>& lines() const { return lines_; }
  const LineOrigin& origin(int i) const { return origins_[static_cast<size_t>(i)]; }
  const std::vector<std::string>& includeFiles() const { return includeFiles_; }
  // Where origin file `file` (>= 1) was read from (UTF-8); "" for any other.
  const std::string& includePath(int32_t file) const {
    static const std::string none;
    return file >= 1 && file <= static_cast<int32_t>(includePaths_.size()) ? includePaths_[static_cast<size_t>(file - 1)] : none;
  }

  // Replaces everything with the score's own lines (origins 0..n-1).
  void assign(std::vector<std::string> lines);
  // Sets the whole text at once, split at CR LF, LF or CR.
  void setText(const std::string& text);
  void clear();
  // Rewrites line i in place; its origin stays.
  void set(int i, std::string text) { lines_[static_cast<size_t>(i)] = std::move(text); }
  void insert(int i, std::string text, LineOrigin origin);
  void append(std::string text, LineOrigin origin);
  // Inserts `lines` before line i, their origins `file` and 0, 1, ...
  void insertFile(int i, std::vector<std::string> lines, int32_t file);
  // Registers an included file and returns its origin file number. `depth`
  // is 1 for a file the score includes, 2 for one that file includes, ...;
  // `from` is the origin of the #include line; `path` is where it was read
  // from, so that an #include inside it looks beside it.
  int32_t addIncludeFile(std::string name, int32_t depth, LineOrigin from = {}, std::string path = {});
  // The origin of the #include line that read origin file `file` (>= 1).
  LineOrigin includedFrom(int32_t file) const {
    return file >= 1 && file <= static_cast<int32_t>(includeParents_.size()) ? includeParents_[static_cast<size_t>(file - 1)]
                                                                            : LineOrigin{-1, 0};
  }
  // The line of the score itself that origin `o` comes from: the line, or
  // the #include line that read it (through nested includes), or -1 for a
  // line the compiler made.
  int32_t scoreLine(LineOrigin o) const;
  // The nesting depth of origin file `file` (0 for the score and for lines the
  // compiler made), and how many files were included.
  int32_t includeDepth(int32_t file) const {
    return file >= 1 && file <= static_cast<int32_t>(includeDepths_.size()) ? includeDepths_[static_cast<size_t>(file - 1)] : 0;
  }
  int includeCount() const { return static_cast<int>(includeFiles_.size()); }

 private:
  std::vector<std::string> lines_;
  std::vector<LineOrigin> origins_;
  std::vector<std::string> includeFiles_;
  std::vector<int32_t> includeDepths_;
  std::vector<LineOrigin> includeParents_;
  std::vector<std::string> includePaths_;
};

// Where the compile of one source line began: recorded, when asked, for each
// line as the driver reaches it from the line before (not when a loop or a
// _tr group jumps back into it).
struct LineStart {
  LineOrigin origin;  // the line's origin (indexes move as #include inserts lines)
  int32_t track;      // the current track then
  int32_t ptr;        // and its time pointer, ticks
};

// Where a command of the score began: recorded, when asked, for the first
// pass of the compile over each command of the score's own lines (a loop's
// later passes and text read by #include are left out), and once more at
// each line's end, so that a column between commands finds the time the
// next one starts.
struct CommandStart {
  static constexpr int32_t kLineEnd = INT32_MAX;  // `column` of a line's end
  int32_t line;    // the score's line
  int32_t column;  // 0-based byte column of the line as written, or kLineEnd
  int32_t track;   // the current track then
  int32_t ptr;     // and its time pointer, ticks
};

// Where an event came from in the score (recorded when the host asks, see
// TSmf::eventSources). Columns are 0-based byte columns of the score's line.
struct EventSource {
  int32_t line = -1;    // the score's line; for text read by #include, the #include line; -1 = made by the compiler
  int32_t column = -1;  // [column, end): the text that made it (a macro's call for what its body made);
  int32_t end = -1;     //   -1 when it is the whole line (text read by #include)
};

// Per-track state (the 21 slots of a track record). Integers are 32-bit signed.
struct Ftr_info {
  int32_t channel = 0;          // MIDI channel 0..15 in this track's status bytes
  int32_t velocity = 100;       // note velocity (v); also the last CC#7 of an active controller
  int32_t velocityStep = 0;     // added to the velocity of every note without a , suffix
  int32_t velocityBounce = 0;   // 1 = reverse the step when the velocity leaves 0..127
  int32_t length = 96;          // default note length in ticks (l)
  int32_t octave = 4;           // current octave 0..10
  int32_t gate = 14;            // sounding part of a note, in sixteenths of its length (q), 1..256
  int32_t gateOffset = 0;       // ticks added to every sounding length (Q)
  bool smallMacros = false;     // lowercase one-letter macros are active on this track
  int32_t reverb = 0;           // last CC#91 value
  int32_t chorus = 0;           // last CC#93 value
  int32_t modulation = 0;       // last CC#1 value
  int32_t expression = 127;     // last CC#11 value
  int32_t bend = 0;             // coarse pitch bend 0..127 set by B; centre of random bends. Kept by Reset
  int32_t dataEntry = 0;        // last CC#6 value
  int32_t pan = 64;             // last CC#10 value
  int32_t chordDelay = 0;       // ticks between successive notes of a chord
  // Lists, not deques: an empty deque allocates, and 384 of them were a
  // third of the start-up of a small compile.
  std::list<std::string> rvList;    // queued one-shot velocities for coming notes, the next first
  std::list<std::string> rqList;    // queued one-shot gates
  std::list<std::string> rnList;    // queued one-shot timing offsets
  std::string onEvent;          // text stored by \ON_IVENT. Kept by Reset
};

// One open [ loop.
struct LoopEntry {
  int32_t startColumn = 0;  // where the body begins: column ...
  int32_t startLine = 0;    // ... and line
  int32_t exitColumn = 0;   // just after the loop's ], recorded when the ] is first
  int32_t exitLine = 0;     // reached; 0/0 until then
  int32_t count = 0;        // passes still to run, the current one included
};

// A number read by readNumber.
struct NumberRead {
  int32_t value;  // the value, or -1 when no number stands there
  int32_t len;    // characters covered (0 when nothing was read)
};

// A term read by readTerm.
struct TermRead {
  int32_t value;
  bool ok;
};

class TSmf {
 public:
  TSmf();  // creates everything, then Reset()

  // ---- Host interface ----------------------------------------------------
  void Reset();
  // Partial reset between the two compiles of the MML checker: events and
  // loops go, settings, macros, pointers and the error count stay.
  void ResetForCheck();
  // Compiles sourceLines and writes the file. Throws WriteError when the file
  // cannot be written (then no "ok" line is added and no partial file is left).
  void Compile(const std::string& outputPath);
  // The same, handing back the bytes written as well (for a player that
  // plays them from memory while the file stays for other programs).
  void Compile(const std::string& outputPath, std::vector<uint8_t>& written);
  // Compiles sourceLines and hands back the file's bytes instead of writing it.
  std::vector<uint8_t> CompileToBytes();
  // The compile without the file: "Compile Start" and every line. The event
  // lists are left as the commands appended them, unsorted.
  void CompileLines();

  // Receives every message line (CP932). Unset: lines are dropped.
  std::function<void(const std::string&)> messageSink;
  // The score's file as the host names it (UTF-8), relative or absolute; ""
  // for standard input or a document never saved. An #include the current
  // directory cannot satisfy looks beside it (resolveInclude). Reset()
  // leaves it as it is.
  std::string scorePath;
  // Reads an #include file (name as written in the score, CP932) into
  // `contents`; false when it cannot be read. Unset: read from disk where
  // resolveInclude() says, at most limits.sourceBytes.
  std::function<bool(const std::string& name, std::string& contents)> fileReader;
  // Asked first for the file an #include resolved to (its path, UTF-8, as
  // resolveInclude() gives it): true with `contents` when the host holds
  // that file's text itself (a document open with unsaved changes), false
  // to read the file as usual. Unset: never asked.
  std::function<bool(const std::string& path, std::string& contents)> documentReader;
  // Sees every file #include has read, before its lines go into the source:
  // its name as written (CP932), where it was read from (UTF-8) and its
  // bytes as read. Unset: nothing.
  std::function<void(const std::string& name, const std::string& path, const std::string& contents)> includeObserver;
  // Sees every error as it is reported, before the error cut-off may move
  // the compile on: lineIndex, lineText and column still stand where the
  // error was found. Unset: nothing.
  std::function<void(int number, const std::string& detail)> errorObserver;
  // When set and it turns true, the compile stops at its next unit of work
  // without a message (a host that no longer wants the result: the text
  // changed). What was made so far is left as it stands.
  const std::atomic<bool>* cancelled = nullptr;
  // When set, receives a LineStart for every line the driver compiles.
  std::vector<LineStart>* lineStarts = nullptr;
  // When set, receives a CommandStart for each command of the score's lines
  // as the compile first reaches it (the columns are traced meanwhile).
  std::vector<CommandStart>* commandStarts = nullptr;
  // When set, the compile records where each event came from: the list is
  // emptied, filled, and eventSource() reads it. The output is the same
  // either way; unset, it costs nothing.
  std::vector<EventSource>* eventSources = nullptr;
  // When true, the compile keeps its map from the line in hand back to the
  // text as written (writtenSpan() reads it) even without eventSources; the
  // diagnostics ask for it. The output is the same either way.
  bool traceColumns = false;
  // After a compile with eventSources set to `recorded`: the source of event
  // i of track `trackNumber` (after the sort, i is its place in the file's
  // chunk); null when there is none.
  const EventSource* eventSource(const std::vector<EventSource>& recorded, int32_t trackNumber, int i) const;
  // Receives platform warnings, which the editor shows in a warning box
  // (the out-of-memory warning of the event list). Unset: dropped.
  std::function<void(const std::string&)> warningSink;

  // ---- Compiler state ------------------------------------------------------
  SourceLines sourceLines;          // the source; every compiled line is written back with its expansions
  Tmacro macros;                    // user macros and the built-in library
  Tivent events[kTrackCount];       // one event list per track
  Ftr_info track[kTrackCount];      // per-track state
  int32_t ptr[kTrackCount] = {};    // per-track time pointer, ticks
  int32_t curTrack = 0;             // track that handlers write to, 0..127
  int32_t timebase = 96;            // ticks per quarter note, 13..1536; the file's division
  int32_t lineIndex = 0;            // 0-based index of the line being compiled
  std::string lineText;             // the line being compiled; expansion edits it in place
  int32_t column = 1;               // 1-based cursor into lineText: the next character to dispatch
  int32_t commandColumn = 1;        // where in lineText the command (or expansion) being compiled began
  int32_t errorCount = 0;           // errors since the last cut-off (10 stops the compile)
  int64_t errorsReported = 0;       // every error line of this compile, cut-offs included
  uint32_t randSeed = 0;            // seed of Random()
  bool skipMode = false;            // only _ ; { } # are dispatched (_skipon)
  int32_t vars[kVarCount] = {};     // the ~ variables; kept from one compile to the next
  int32_t argCount = 0;             // argument texts produced by the last list read
  std::vector<std::string> args;    // argument texts; entries at and above argCount are stale
  std::vector<LoopEntry> loopStack; // open [ loops, innermost last; its size is the loop depth
  int32_t loopOverflow = 0;         // [ opened beyond kMaxLoopDepth: played once, closed by their ]
  int32_t chordNotes[kMaxChordNotes] = {};  // notes waiting to sound together
  int32_t chordCount = 0;           // how many of chordNotes are waiting
  int32_t accentMode = -1;          // one-shot velocity of the next note: -1 none, 0 set, 1 add
  int32_t accentValue = 0;          // the value of that one-shot velocity
  int32_t rpnLastTime = -1;         // RPN/NRPN bookkeeping: time, adjusted time and track
  int32_t rpnLastTimeAdj = -1;      //   of the last parameter-number message
  int32_t rpnLastTrack = -1;
  int32_t transpose[kTrackCount] = {};    // per-track transpose, semitones
  int32_t rndVelocity[kTrackCount] = {};  // per-track random velocity range (0 = off)
  int32_t rndTiming[kTrackCount] = {};    // per-track random timing range, ticks
  int32_t rndBend[kTrackCount] = {};      // per-track random pitch-bend range
  int32_t acStep[kTrackCount] = {};       // per-track step of active controllers, ticks
  std::vector<int32_t> trTracks;    // tracks of the open _tr group still to compile, the next one last
  int32_t trPending = 0;            // how many of trTracks are still to compile; 0 = no group open
  int32_t trReturnColumn = 0;       // where the group body starts: column just after the opening _tr(...)
  int32_t trReturnLine = 0;         //   and its line
  int32_t octaveReverse = 0;        // 1 = < and > swapped (#octave_up_down)
  // A text inserted by SEL or IF, pending until its end marker is compiled.
  struct InsertedRegion {
    int32_t column;        // where it starts in lineText
    uint64_t generation;   // lineGeneration of the line it was inserted into
  };
  std::vector<InsertedRegion> selStack;  // pending SEL/SWITCH texts, innermost last (size = depth)
  std::vector<InsertedRegion> ifStack;   // pending IF texts, innermost last
  int32_t backslashColumn = 0;      // column of the backslash of the numbered command being run
  int32_t backslashNumber = 0;      // its number
  bool ghostMode = false;           // notes move ptr but append no events
  bool stopped = false;             // a budget ran out; the rest of the source is skipped
  int64_t dispatchCount = 0;        // work in this compile: commands dispatched, curve points, line bytes moved
  int64_t eventCount = 0;           // events appended in this compile
  int64_t eventSlowPathAbove = 0;   // addEvent looks further (the budget, the sources) past this count
  Limits limits;                    // the bounds of a compile; lowered only by the fuzzer, to explore faster
  uint64_t commandGeneration = 0;   // lineGeneration when the current command (or expansion) began
  uint64_t lineGeneration = 0;      // changes whenever lineText is replaced by another line, so that a
                                    //   handler holding positions can tell the cut-off moved it
  bool numberTooLong = false;       // the last number read had more digits than 32 bits hold

  // ---- Driver (driver.cpp) -------------------------------------------------
  void CompileAllLines();
  void CompileLine();
  void DispatchCommand();
  uint32_t Random(uint32_t n);
  // The byte at 1-based `pos` of `text`, or -1 past either end.
  static int at(const std::string& text, int64_t pos) {
    return (pos >= 1 && pos <= static_cast<int64_t>(text.size()))
               ? static_cast<unsigned char>(text[static_cast<size_t>(pos - 1)])
               : -1;
  }
  int cur() const { return at(lineText, column); }
  // Moves the reading position to line `index` (its text from sourceLines),
  // column `col`, after writing the current line back when `writeBack`.
  void jumpTo(int32_t index, int32_t col, bool writeBack);
  // Ends the compile early: the rest of the source is not compiled, the file
  // is still written. Used by the error cut-off and by the budgets.
  void stopCompile();
  // Counts `work` against the dispatch budget; true (reported, compile
  // stopped) when the budget is spent.
  bool spendWork(int64_t work);
  // Reports that a limit of `limits` was reached (`context` names the macro
  // or file concerned, if any) and ends the compile.
  void limitReached(Limit which, const std::string& context = {});
  // Continues on " " in a new empty last line, so that the compile ends
  // after the current handler returns (the error cut-off and #end).
  void endAtNewLastLine();
  void unknownByte();
  // Replaces columns [from, to) of lineText with `replacement`. Done only when
  // lineText is still the line the current command began on: after the error
  // cut-off has moved the compile to its final empty line, a command's edit
  // would land in the wrong text. Returns whether the edit was made.
  bool editLine(int32_t from, int32_t to, std::string_view replacement);
  // Writes lineText back into sourceLines[lineIndex] (with its column map).
  void storeLine();
  void skipByte() { ++column; }

  // ---- Diagnostics (diagnostics.cpp) ----------------------------------------
  void AddMessage(const std::string& text);
  void ReportError(int number, const std::string& detail);

  // ---- Event list and writer (writer.cpp) -----------------------------------
  void addEvent(int32_t time, const uint8_t* bytes, int32_t size);
  std::vector<uint8_t> BuildSmf();
  // Sorts the event lists and hands the file to `put` piece by piece: the
  // header, then one whole chunk at a time.
  void emitSmf(const std::function<void(const std::vector<uint8_t>&)>& put);
  // Writes the file; with `copy` set, appends every byte written to it too.
  void WriteSmf(const std::string& outputPath, std::vector<uint8_t>* copy = nullptr);
  // After a compile: the track chunk of the file that holds track `number`
  // (0 = the first chunk), or -1 when the track has no events and so no chunk.
  int32_t chunkOfTrack(int32_t number) const;
  uint8_t dataBuf[256] = {};        // output of the two encoders below
  std::vector<uint8_t> chunkBuffer; // the track chunk being written; kept to spare allocations
  int EncodeVarLen(uint32_t value);
  int EncodeBigEndian(uint32_t value);

  // ---- The source map (event_sources.cpp): only while eventSources is set or traceColumns ----
  // What a compiled line's bytes were written as: every edit the compile
  // makes in a line (a macro's expansion, a generated command, an inserted
  // selection) carries the map along, so that an event or an error can name
  // the text that made it. The one way from compiled text back to written text.
  struct ColumnSpan {
    int32_t from, to;  // 0-based byte columns [from, to) of the line as written
  };
  bool tracingColumns() const { return eventSources != nullptr || commandStarts != nullptr || traceColumns; }
  // The text as written of bytes [from, to) (0-based) of source line `index`:
  // of lineText when `index` is the line in hand, else of the line as stored
  // back. An empty range names the byte at `from` (at the end: the end of the
  // line). {-1, -1} for a line the compiler made, or when nothing is traced.
  ColumnSpan writtenSpan(int32_t index, int32_t from, int32_t to);
  // A stretch of a map: bytes from `at` on stand for `span` each
  // (`step`: for span moved on by one per byte, the line as written).
  struct ColumnRun {
    int32_t at;
    ColumnSpan span;
    bool step;
  };
  struct SavedColumnMap {
    size_t length = 0;            // the bytes it maps; 0 = never edited
    std::vector<ColumnRun> runs;  // a few per edit, not one per byte
  };
  std::vector<std::vector<SavedColumnMap>> savedColumnMaps;  // [file][line]: its text in sourceLines back to the file
  std::vector<ColumnSpan> columnMap;  // lineText byte by byte back to its file, unless mapIsIdentity
  bool mapOfWrittenLine = false;      // lineText is a line of the score or of an included file (not made)
  bool mapIsIdentity = true;          // lineText is its line as written: columnMap is not filled
  int32_t mapLine = -1;               // lineIndex and lineGeneration columnMap was made for
  uint64_t mapGeneration = 0;
  void syncColumnMap();
  // lineText is written back: its map is kept with it.
  void saveColumnMap();
  // Columns [from, to) of lineText are about to be replaced by `inserted` bytes.
  void mapEdit(int32_t from, int32_t to, size_t inserted);
  // Appends the source of the event being added; returns its index.
  int32_t recordSource(const uint8_t* bytes, int32_t size);
  // Records the command about to be dispatched at `column` (or, with
  // `lineEnd`, the end of the line) into commandStarts, on a first pass.
  void recordCommandStart(bool lineEnd);
  int32_t commandStartLine = -1;  // lineIndex and lineText column of the last record: a pass
  int32_t commandStartColumn = 0; //   behind them is a loop's repeat
  // A chord member waits: its text is where the command began up to the cursor.
  void noteChordSource();
  std::vector<std::array<int32_t, 2>> chordSources;  // lineText columns [from, to) of the waiting chord members
  size_t chordSourceNext = 0;       // the member whose note-on is added next
  int32_t chordSourceCurrent = -1;  // the member whose note is being added; -1 none

  // ---- Argument scanner (scanner.cpp) ---------------------------------------
  NumberRead readNumber(const std::string& text, int32_t pos);
  TermRead readTerm(const std::string& text, int32_t& cursor);
  void readArgList(const std::string& text, int32_t& cursor);
  void scanArgs(const std::string& text, int32_t& cursor);
  // `detail` names the command in the error for a number too long for 32 bits.
  int32_t readLength(const std::string& text, int32_t& cursor, const std::string& detail);
  int32_t readNoteValue(const std::string& text, int32_t& cursor);
  void setArg(int i, std::string text);
  int32_t roundLength(double ticks) const;

  // ---- Notes and rests (notes.cpp) -----------------------------------------
  void NoteCommand();
  void RestCommand();
  void GroupCommand();
  bool readNoteOptions(const std::string& text, int32_t& cursor);
  void emitChannel(int32_t time, uint8_t status, uint8_t a, uint8_t b) {
    const uint8_t bytes[3] = {static_cast<uint8_t>(status | track[curTrack].channel), a, b};
    addEvent(time, bytes, 3);
  }
  // The velocity step a note without a , suffix applied (0 when none), so
  // that the note can carry it over to the track's velocity.
  int32_t appliedVelocityStep = 0;

  // ---- Length, octave and gate (length_octave_gate.cpp) --------------------
  void LengthOctaveGateCommand();
  void OctaveShiftCommand();
  void GateOffsetCommand();  // \23, the Q of the macro library

  // ---- Loops and comments (loops_comments.cpp) ------------------------------
  void LoopCommand();
  void CommentCommand();
  bool findLoopEnd(int32_t& line, int32_t& col);

  // ---- Channel commands (channel.cpp) ---------------------------------------
  void TempoCommand();
  void VelocityCommand();
  void ControlChangeCommand();
  void ProgramChangeCommand();
  void PitchBendCommand();
  void AccentCommand();

  // ---- Macros (macros.cpp, builtin_macros.cpp) ----------------------------------
  void loadBuiltinMacros();
  void ExpandAtCursor();
  std::string ExpandInText(std::string text, int32_t pos);
  void DefineMacro();
  bool substituteMarks(std::string& body, const std::string& name, bool allowOptional);

  // ---- Directives (directives.cpp) ----------------------------------------------
  void DirectiveCommand();
  void IncludeFile();
  // True when `keyword` stands at the cursor.
  bool keywordAt(std::string_view keyword) const {
    const size_t p = static_cast<size_t>(column - 1);
    // The first byte decides most tries without a compare: "_tr" is tried
    // against every underscore keyword on a line of music.
    return column >= 1 && p < lineText.size() && !keyword.empty() && lineText[p] == keyword[0] &&
           lineText.size() - p >= keyword.size() && lineText.compare(p, keyword.size(), keyword) == 0;
  }

  // ---- Underscore commands (underscore.cpp) -----------------------------------
  void UnderscoreCommand();
  void PrintCommand();
  void SmallMacrosOnCommand();
  void SmallMacrosOffCommand();
  void SkipOnCommand();
  void SkipOffCommand();
  void InstrumentNameCommand();
  void CopyrightCommand();
  void TitleCommand();
  void ActiveStepCommand();
  void TrackCommand();
  void metaText(uint8_t type);

  // ---- Variables (variables.cpp) -----------------------------------------------
  void VariableCommand();
  int32_t readOut(std::string_view name) const;
  void rewriteCommand(int32_t start, const std::string& replacement);

  // ---- Numbered commands (backslash.cpp) ---------------------------------------
  void BackslashCommand();
  void SystemExclusiveCommand();
  void ParameterNumberCommand();
  void TransposeCommand();
  void ChannelCommand();
  void ControllerCommand();
  void BendCommand();
  void OnEventCommand();

  // ---- Track and time-pointer operations (track_ops.cpp) ------------------------
  void PointerCommand();
  void WriteTracksCommand();
  void LastPointerCommand();
  void ChordDelayCommand();
  void DivideCommand();
  void StrumCommand();
  void GhostCommand();
  void PortamentoCommand();
  // Replaces the numbered command, from its backslash to the cursor, with
  // `generated` and puts the cursor on its first character.
  void replaceCommand(const std::string& generated);

  // ---- Active controllers (active_controllers.cpp) ------------------------------
  struct Curve {
    bool pitchBend = false;
    int32_t controller = 0;  // controller curves only
    int32_t from = 0, to = 0;  // 0..127
    int32_t end = 0, start = 0;  // ticks from the pointer
    int32_t repeat = 1;
    int32_t shape = 0;
    bool trace = false;
  };
  void ActiveControllerCommand();
  void ActivePitchBendCommand();
  void readCurveArguments(Curve& c, int first, int32_t maxRepeat);
  void runCurve(const Curve& c);

  // ---- Selections, conditions, queues, random ranges (conditionals.cpp) ---------
  void SelectCommand();
  void IfCommand();
  void QueueCommand();
  void QueueClearCommand();
  void RandomRangeCommand();
  void closeInsertedRegion(std::vector<InsertedRegion>& pending);
  bool openInsertedRegion(std::vector<InsertedRegion>& pending, const std::string& text, const char* detail);

};

}  // namespace zan
