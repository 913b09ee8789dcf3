// Checks that compile time grows in proportion to the notes produced: for
// each kind of score, the time at 1M notes over the time at 100k notes must
// stay at most 11 (10 for the notes, one for noise). Medians of several
// runs, in process. Exits 1 when a ratio is too high.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "scores.h"

namespace {

constexpr double kMaxRatio = 11.0;

double medianSeconds(const std::string& score, int runs) {
  zan::TSmf smf;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    smf.Reset();
    smf.sourceLines.setText(score);
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> file = smf.CompileToBytes();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (smf.errorsReported != 0) std::fprintf(stderr, "the generated score has errors\n");
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  using namespace zan::bench;
  struct Kind {
    const char* name;
    std::function<std::string(int)> make;
  } kinds[] = {
      {"plain", plainScore},        {"loops", loopTracksScore},     {"macros", macroTracksScore},
      {"macro line", macroLineScore}, {"library/ACTIVE_CC", libraryScore},
  };
  bool ok = true;
  std::printf("%-18s %12s %12s %8s\n", "score", "100k notes", "1M notes", "ratio");
  for (const Kind& k : kinds) {
    const double small = medianSeconds(k.make(100'000), 9);
    const double large = medianSeconds(k.make(1'000'000), 5);
    const double ratio = large / small;
    std::printf("%-18s %10.1f ms %10.1f ms %8.2f%s\n", k.name, small * 1e3, large * 1e3, ratio,
                ratio > kMaxRatio ? "  TOO HIGH" : "");
    ok = ok && ratio <= kMaxRatio;
  }
  return ok ? 0 : 1;
}
