// Compile speed on generated scores: plain melodies and loop-heavy scores of
// 10k, 100k and 1M notes, compiled in memory (file bytes built, not written).
// Reported per note: see the "per_note" counter (seconds per note).
#include <benchmark/benchmark.h>

#include <string>

#include "zan/tsmf.h"

namespace {

// One bar of a melody that uses the common note forms: lengths, dots,
// accidentals, octave moves, a tie, a velocity suffix, a rest.
constexpr const char* kBar = "o4 l8 c d e f+ g4. a16 b-16 > c4 < b a,90 g e^16 d c r";
constexpr int kNotesPerBar = 14;

std::string plainScore(int notes) {
  std::string s = "t120 @0 v100\n";
  for (int n = 0; n < notes; n += kNotesPerBar) {
    s += kBar;
    s += '\n';
  }
  return s;
}

// Nested loops: each line plays 2 x 4 x 8 sixteenths = 64 notes from a few
// bytes, so the time goes into jumping back and re-reading.
std::string loopScore(int notes) {
  std::string s = "t120 l16\n";
  for (int n = 0; n < notes; n += 64) s += "[2 [4 c d e f : g a b > c < ] [4 e g ] ]\n";
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
  for (auto _ : state) {
    smf.Reset();
    smf.sourceLines.setText(score);
    std::vector<uint8_t> file = smf.CompileToBytes();
    fileSize = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.SetItemsProcessed(state.iterations() * notes);
  state.counters["notes"] = notes;
  state.counters["file_bytes"] = static_cast<double>(fileSize);
  state.counters["per_note"] = benchmark::Counter(static_cast<double>(notes),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_PlainMelody(benchmark::State& state) { compileScore(state, plainScore(static_cast<int>(state.range(0)))); }
void BM_LoopHeavy(benchmark::State& state) { compileScore(state, loopScore(static_cast<int>(state.range(0)))); }

BENCHMARK(BM_PlainMelody)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopHeavy)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
