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

namespace {

using namespace zan::bench;

enum class Record { Nothing, LineStarts, Sources, Diagnostics };

void compileScore(benchmark::State& state, const std::string& score, Record record = Record::Nothing) {
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
  for (auto _ : state) {
    smf.Reset();
    starts.clear();
    smf.lineStarts = record == Record::LineStarts || record == Record::Sources ? &starts : nullptr;
    smf.eventSources = record == Record::Sources ? &sources : nullptr;
    smf.sourceLines.setText(score);
    std::optional<zan::DiagnosticCollector> collector;
    if (record == Record::Diagnostics) collector.emplace(smf, "bench.zan");
    std::vector<uint8_t> file = smf.CompileToBytes();
    if (collector) benchmark::DoNotOptimize(collector->take().diagnostics.size());
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
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Record::LineStarts);
}
void BM_PlainMelodySources(benchmark::State& state) {
  compileScore(state, plainScore(static_cast<int>(state.range(0))), Record::Sources);
}
void BM_MacroTracksSources(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Record::Sources);
}
void BM_LibraryHeavySources(benchmark::State& state) {
  compileScore(state, libraryScore(static_cast<int>(state.range(0))), Record::Sources);
}
void BM_MacroTracksDiagnostics(benchmark::State& state) {
  compileScore(state, macroTracksScore(static_cast<int>(state.range(0))), Record::Diagnostics);
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
BENCHMARK(BM_PlainMelodySources)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksSources)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryHeavySources)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MacroTracksDiagnostics)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lexer)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
