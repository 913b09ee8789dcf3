// SPDX-License-Identifier: MIT
// Checks that compile time grows in proportion to the notes produced: for
// each kind of score, the time at 1M notes over the time at 100k notes must
// stay at most 11 (10 for the notes, one for noise). Two measures:
//   - whole process: `zan` compiling the score from a file and writing the
//     MIDI file, as a user runs it;
//   - in process: the compile alone on a reused compiler, as the
//     editor runs it on every F9. A compiler that is reused keeps its memory,
//     so this measures the compile, not the system's page faults.
// Exits 1 when a ratio is too high.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "scores.h"

extern char** environ;

namespace {

constexpr double kMaxRatio = 11.0;

// The fastest of several runs: on a shared machine other work only ever
// adds time, so the minimum is the steadiest estimate of the compile's own.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double inProcessSeconds(const std::string& score, int runs) {
  zan::TSmf smf;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    smf.Reset();
    smf.sourceLines.setText(score);
    if (i == 0) smf.CompileToBytes();  // warms the compiler's memory; not timed
    smf.Reset();
    smf.sourceLines.setText(score);
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> file = smf.CompileToBytes();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (smf.errorsReported != 0) std::fprintf(stderr, "the generated score has errors\n");
  }
  return fastest(times);
}

double wholeProcessSeconds(const std::string& zan, const std::filesystem::path& dir, const std::string& score,
                           int runs) {
  const std::string in = (dir / "score.zan").string(), out = (dir / "score.mid").string();
  std::ofstream(in, std::ios::binary) << score;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const char* argv[] = {zan.c_str(), "-o", out.c_str(), in.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    int status = 0;
    if (posix_spawn(&pid, zan.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) == 0)
      waitpid(pid, &status, 0);
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "zan failed on the generated score\n");
  }
  return fastest(times);
}

}  // namespace

int main(int, char** argv) {
  using namespace zan::bench;
  const std::filesystem::path self = std::filesystem::absolute(argv[0]);
  const std::string zan = (self.parent_path() / "zan").string();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zan_growth_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  struct Kind {
    const char* name;
    std::function<std::string(int)> make;
  } kinds[] = {
      {"plain", plainScore},          {"loops", loopTracksScore},     {"macros", macroTracksScore},
      {"macro line", macroLineScore}, {"library/ACTIVE_CC", libraryScore},
  };
  bool ok = true;
  std::printf("%-18s %10s %10s %7s   %10s %10s %7s\n", "score", "zan 100k", "zan 1M", "ratio", "in 100k", "in 1M",
              "ratio");
  for (const Kind& k : kinds) {
    const std::string small = k.make(100'000), large = k.make(1'000'000);
    const double ps = wholeProcessSeconds(zan, dir, small, 15), pl = wholeProcessSeconds(zan, dir, large, 9);
    const double is = inProcessSeconds(small, 21), il = inProcessSeconds(large, 11);
    const double pr = pl / ps, ir = il / is;
    std::printf("%-18s %8.1fms %8.1fms %7.2f   %8.1fms %8.1fms %7.2f%s\n", k.name, ps * 1e3, pl * 1e3, pr, is * 1e3,
                il * 1e3, ir, pr > kMaxRatio || ir > kMaxRatio ? "  TOO HIGH" : "");
    ok = ok && pr <= kMaxRatio && ir <= kMaxRatio;
  }
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
