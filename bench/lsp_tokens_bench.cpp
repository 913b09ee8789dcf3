// SPDX-License-Identifier: MIT
// zan lsp's semantic tokens of one screen (60 lines) of a 5 MB score, the
// whole request as the server handles it: the JSON read, the lex from the
// nearest kept lexer state, the answer written (to /dev/null). The target
// is 20 ms a request (median); a range at the end of the score after an
// edit at its top is the case that would lex the whole score again without
// the kept states. make bench-lsp runs it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <memory>
#include <random>
#include <string>

#include "lsp_server.h"

namespace {

using nlohmann::json;

constexpr size_t kScreenLines = 60;

// About 5 MB: bars of notes with comments, macros and loops among them.
std::string fiveMegabytes(size_t& lines) {
  const std::string kLines[] = {
      "_m(RIFF, c8 e8 g8 > c8 <)\n",
      "t120 @1 v100 o4 l8 c d e f g a b > c < r4 | RIFF RIFF [2 c e g ] { a comment }\n",
      "{ a comment that goes on\n",
      "  over a line } c4 d4 e4 f4 | g2 ^8 r8 ; to the end\n",
      "_tr(1) o3 l4 c c g g | a a g2 | f f e e | d d c2 \\3=2 RIFF\n",
  };
  std::string text;
  lines = 0;
  while (text.size() < (5u << 20)) {
    text += kLines[lines % 5];
    ++lines;
  }
  return text;
}

struct Session {
  int sink = ::open("/dev/null", O_WRONLY);
  zan::lsp::Server server{sink};
  size_t lines = 0;
  int64_t version = 1;
  Session() {
    server.receive(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
    server.receive(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
    const std::string text = fiveMegabytes(lines);
    server.receive(json{{"jsonrpc", "2.0"},
                        {"method", "textDocument/didOpen"},
                        {"params", {{"textDocument", {{"uri", "file:///bench/big.zan"}, {"languageId", "zan"}, {"version", 1}, {"text", text}}}}}}
                       .dump());
  }
  ~Session() { ::close(sink); }
  void range(size_t first) {
    server.receive(json{{"jsonrpc", "2.0"},
                        {"id", 1},
                        {"method", "textDocument/semanticTokens/range"},
                        {"params",
                         {{"textDocument", {{"uri", "file:///bench/big.zan"}}},
                          {"range", {{"start", {{"line", first}, {"character", 0}}}, {"end", {{"line", first + kScreenLines - 1}, {"character", 0}}}}}}}}
                       .dump());
  }
  void typeAtTheTop() {
    server.receive(json{{"jsonrpc", "2.0"},
                        {"method", "textDocument/didChange"},
                        {"params",
                         {{"textDocument", {{"uri", "file:///bench/big.zan"}, {"version", ++version}}},
                          {"contentChanges",
                           json::array({{{"range", {{"start", {{"line", 1}, {"character", 0}}}, {"end", {{"line", 1}, {"character", 0}}}}},
                                         {"text", "c"}}})}}}}
                       .dump());
  }
};

Session& session() {
  static Session s;
  return s;
}

// Screens anywhere in the score, as a reader scrolls.
void BM_RangeOfOneScreen(benchmark::State& state) {
  Session& s = session();
  std::mt19937 random(1);
  for (auto _ : state) s.range(random() % (s.lines - kScreenLines));
}
BENCHMARK(BM_RangeOfOneScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A key typed at the top, then the last screen.
void BM_RangeAtTheEndAfterAnEditAtTheTop(benchmark::State& state) {
  Session& s = session();
  for (auto _ : state) {
    s.typeAtTheTop();
    s.range(s.lines - kScreenLines);
  }
}
BENCHMARK(BM_RangeAtTheEndAfterAnEditAtTheTop)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The first request of a document just opened, at its end: the whole score
// is lexed once (not a target; the figure says what the first screen costs).
void BM_FirstRangeAtTheEnd(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto fresh = std::make_unique<Session>();
    state.ResumeTiming();
    fresh->range(fresh->lines - kScreenLines);
    state.PauseTiming();
    fresh.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstRangeAtTheEnd)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
