// Compile speed on generated scores of 10k, 100k and 1M notes, compiled in
// memory (the file's bytes are built, not written). Reported per note in the
// "per_note" counter (seconds per note).
//
//   PlainMelody   melodies on 8 tracks, one _tr switch per line
//   LoopHeavy     nested loops: a few bytes play many notes
//   MacroLine     one line of thousands of macro calls (a line that grows by
//                 expansion must compile in time proportional to its length)
//   LibraryHeavy  library macros, ACTIVE_CC curves, SEL and IF inside loops
#include <benchmark/benchmark.h>

#include <string>

#include "zan/tsmf.h"

namespace {

constexpr int kTracks = 8;

// One bar of a melody that uses the common note forms: lengths, dots,
// accidentals, octave moves, a tie, a velocity suffix, a rest.
constexpr const char* kBar = "o4 l8 c d e f+ g4. a16 b-16 > c4 < b a,90 g e^16 d c r";
constexpr int kNotesPerBar = 14;

std::string plainScore(int notes) {
  std::string s = "t120\n";
  for (int t = 0; t < kTracks; ++t) s += "_tr(" + std::to_string(t) + ") @" + std::to_string(t) + " v100\n";
  for (int n = 0, bar = 0; n < notes; n += kNotesPerBar, ++bar) {
    s += "_tr(" + std::to_string(bar % kTracks) + ") ";
    s += kBar;
    s += '\n';
  }
  return s;
}

// Each line plays 2 x (4 x 7 + 4 x 2) = 72 notes from a few bytes, so the
// time goes into jumping back and re-reading.
std::string loopScore(int notes) {
  std::string s = "t120 l16\n";
  for (int n = 0; n < notes; n += 72) s += "[2 [4 c d e f : g a b > c < ] [4 e g ] ]\n";
  return s;
}

// A macro defined once and called many times on single long lines of 5000
// calls each.
std::string macroLineScore(int notes) {
  std::string s = "_m(ARP, c16 e16 g16 > c16 <)\n";
  constexpr int kCallsPerLine = 5000;
  for (int n = 0; n < notes;) {
    for (int c = 0; c < kCallsPerLine && n < notes; ++c, n += 4) s += "ARP ";
    s += '\n';
  }
  return s;
}

// Library names, controller curves and choices, as a rich score uses them.
std::string libraryScore(int notes) {
  std::string s = "RESET_GM t132 BR(2)\n";
  s += "_m(RIFF, \"SEL(~1,c8 e8,d8 f8,e8 g8) IF(~1>2,>c8<,r8) ~1+1 IF(~1>3,~1=1)\")\n";
  s += "~1=1 V(100) P(64) REV(40)\n";
  // One block: curves over a bar, then 16 passes of RIFF (3 notes or 2 notes
  // and a rest each, about 45 notes in all).
  for (int n = 0; n < notes; n += 45) {
    s += "ACE(80,127,1,0,1,0) ACP(32,96,1,0,2,1) [16 RIFF ] DLY=6 CD_(4,c,e,g) DLY=0\n";
  }
  return s;
}

int notesIn(const std::string& score) {
  // Counted by compiling once: note-ons are what a listener hears.
  zan::TSmf smf;
  smf.sourceLines.setText(score);
  smf.CompileToBytes();
  int n = 0;
  for (const zan::Tivent& e : smf.events)
    for (const auto& entry : e.entries())
      if ((e.bytes(entry)[0] & 0xF0) == 0x90) ++n;
  return n;
}

void compileScore(benchmark::State& state, const std::string& score) {
  const int notes = notesIn(score);
  zan::TSmf smf;
  size_t fileSize = 0;
  int64_t errors = 0;
  for (auto _ : state) {
    smf.Reset();
    smf.sourceLines.setText(score);
    std::vector<uint8_t> file = smf.CompileToBytes();
    fileSize = file.size();
    errors = smf.errorsReported;
    benchmark::DoNotOptimize(file.data());
  }
  if (errors != 0) state.SkipWithError("the generated score does not compile cleanly");
  state.SetItemsProcessed(state.iterations() * notes);
  state.counters["notes"] = notes;
  state.counters["file_bytes"] = static_cast<double>(fileSize);
  state.counters["per_note"] = benchmark::Counter(static_cast<double>(notes),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_PlainMelody(benchmark::State& state) { compileScore(state, plainScore(static_cast<int>(state.range(0)))); }
void BM_LoopHeavy(benchmark::State& state) { compileScore(state, loopScore(static_cast<int>(state.range(0)))); }
void BM_MacroLine(benchmark::State& state) { compileScore(state, macroLineScore(static_cast<int>(state.range(0)))); }
void BM_LibraryHeavy(benchmark::State& state) { compileScore(state, libraryScore(static_cast<int>(state.range(0)))); }

BENCHMARK(BM_PlainMelody)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopHeavy)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroLine)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryHeavy)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
