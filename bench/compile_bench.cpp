// SPDX-License-Identifier: MIT
// Compile speed on generated scores of 10k, 100k and 1M notes, compiled in
// memory (the file's bytes are built, not written). Reported per note in the
// "per_note" counter (seconds per note).
//
//   PlainMelody   melodies on 8 tracks, one _tr switch per line
//   LoopHeavy     nested loops: a few bytes play many notes
//   LoopTracks    the PlainMelody music on 8 tracks from [4 [4 ... ] ] loops
//   MacroTracks   the same music from user macros
//   MacroLine     one line of thousands of macro calls (a line that grows by
//                 expansion must compile in time proportional to its length)
//   LibraryHeavy  library macros, ACTIVE_CC curves, SEL and IF inside loops
//   PlainMelodyLineStarts  PlainMelody with each line's start recorded, as
//                 the editor's background check compiles
//   PlainMelodySources  PlainMelody with every event's text and every line's
//                 start recorded, as the editor's Run compiles
//   PlainMelodyMusic  the same, and the music model built from it (tracks,
//                 paired notes, lanes, tempo map), as Run hands it to its views
//   PlainMelodyTiming  the background check's compile with the model's tempo
//                 map and line starts alone (no view needs the notes)
//   BuildMusic    the model alone, from a compile of 1M notes with sources
//                 (/1) and without (/0: each note knows its line alone)
//   *Sources      with line starts and every event's source recorded, as
//                 the editor's check and Run compile
//   *Diagnostics  with the messages gathered as placed diagnostics, as zan
//                 --diagnostics and the language server compile
//   Lexer         1 MB of score (every kind above) classified line by line,
//                 as the editor's colouring does
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "scores.h"
#include "zan/compile_report.h"
#include "zan/lexer.h"
#include "zan/music.h"

namespace {

using namespace zan::bench;

// What a compile records beside the file, and what it builds from it.
// Check and CheckCaret are the editor's check with Track View hidden:
// the errors placed, the line starts and the timing, and with CheckCaret
// where each command starts (the time at the caret).
enum class Extra { None, LineStarts, Sources, Music, Timing, Diagnostics, Check, CheckCaret };

void compileScore(benchmark::State& state, const std::string& score, Extra extra = Extra::None) {
  const int notes = notesIn(score);
  zan::TSmf smf;
  // One compile before timing: a reused compiler keeps its memory, as the
  // editor's does, so the timed runs measure the compile, not page faults.
  smf.sourceLines.setText(score);
  smf.CompileToBytes();
  size_t fileSize = 0;
  int64_t errors = 0;
  std::vector<zan::LineStart> starts;
  std::vector<zan::EventSource> sources;
  std::vector<zan::CommandStart> commands;
  const bool check = extra == Extra::Check || extra == Extra::CheckCaret;
  for (auto _ : state) {
    smf.Reset();
    starts.clear();
    smf.lineStarts = extra != Extra::None && extra != Extra::Diagnostics ? &starts : nullptr;
    smf.commandStarts = extra == Extra::CheckCaret ? &commands : nullptr;
    const bool recordSources = extra == Extra::Sources || extra == Extra::Music;
    smf.eventSources = recordSources ? &sources : nullptr;
    smf.sourceLines.setText(score);
    std::optional<zan::DiagnosticCollector> collector;
    if (extra == Extra::Diagnostics || check) collector.emplace(smf, "bench.zan");
    std::vector<uint8_t> file = smf.CompileToBytes();
    if (extra == Extra::Music || extra == Extra::Timing || check) {
      const auto music = zan::Music::build(smf, recordSources ? &sources : nullptr, &starts,
                                           extra == Extra::Music ? zan::Music::Parts::Everything : zan::Music::Parts::Timing,
                                           extra == Extra::CheckCaret ? &commands : nullptr);
      benchmark::DoNotOptimize(music.get());
    }
    if (collector) benchmark::DoNotOptimize(collector->take().diagnostics.size());
    smf.eventSources = nullptr;
    smf.lineStarts = nullptr;
    smf.commandStarts = nullptr;
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
void BM_LoopTracks(benchmark::State& state) { compileScore(state, loopTracksScore(static_cast<int>(state.range(0)))); }
void BM_MacroTracks(benchmark::State& state) { compileScore(state, macroTracksScore(static_cast<int>(state.range(0)))); }
void BM_MacroLine(benchmark::State& state) { compileScore(state, macroLineScore(static_cast<int>(state.range(0)))); }
void BM_LibraryHeavy(benchmark::State& state) { compileScore(state, libraryScore(static_cast<int>(state.range(0)))); }
void BM_PlainMelodyLineStarts(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::LineStarts);
}
void BM_PlainMelodySources(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::Sources);
}
void BM_PlainMelodyMusic(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::Music);
}
void BM_PlainMelodyTiming(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::Timing);
}
void BM_MacroTracksSources(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Extra::Sources);
}
void BM_LibraryHeavySources(benchmark::State& state) {
  compileScore(state, libraryScore(static_cast<int>(state.range(0))), Extra::Sources);
}
void BM_MacroTracksDiagnostics(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Extra::Diagnostics);
}

void BM_PlainMelodyCheck(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::Check);
}
void BM_PlainMelodyCheckCaret(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Extra::CheckCaret);
}
void BM_MacroTracksCheck(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Extra::Check);
}
void BM_MacroTracksCheckCaret(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Extra::CheckCaret);
}

void BM_BuildMusic(benchmark::State& state) {
  zan::TSmf smf;
  smf.sourceLines.setText(plainScore(static_cast<int>(state.range(0))));
  std::vector<zan::EventSource> sources;
  std::vector<zan::LineStart> starts;
  smf.eventSources = &sources;
  smf.lineStarts = &starts;
  smf.CompileToBytes();
  smf.eventSources = nullptr;
  smf.lineStarts = nullptr;
  const bool withSources = state.range(1) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(zan::Music::build(smf, withSources ? &sources : nullptr, &starts).get());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Lexer(benchmark::State& state) {
  const std::string score = lexerScore(static_cast<size_t>(state.range(0)));
  zan::SourceLines lines;
  lines.setText(score);
  std::vector<zan::Token> tokens;
  size_t spans = 0;
  for (auto _ : state) {
    zan::LexState lexState;
    spans = 0;
    for (const std::string& line : lines.lines()) {
      zan::lexLine(line, lexState, tokens);
      spans += tokens.size();
    }
    benchmark::DoNotOptimize(spans);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(score.size()));
  state.counters["lines"] = lines.size();
  state.counters["spans"] = static_cast<double>(spans);
}

BENCHMARK(BM_PlainMelody)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopHeavy)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopTracks)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracks)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroLine)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryHeavy)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodyLineStarts)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodySources)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodyMusic)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodyTiming)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMusic)->Args({1'000'000, 1})->Args({1'000'000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksSources)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryHeavySources)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksDiagnostics)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodyCheck)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMelodyCheckCaret)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksCheck)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksCheckCaret)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lexer)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
