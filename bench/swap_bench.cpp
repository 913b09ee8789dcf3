// SPDX-License-Identifier: MIT
// Swap to sound: how long a compiled edit takes to reach the music that
// plays. For generated scores of 20,000 and 1,000,000 notes (scores.h,
// plainScore), two versions of the score are compiled once; then, while one
// plays on FluidSynth's file driver (and on the silent driver), the other is
// swapped in over and over, timing
//   prepare: reading the compiled file for the player (prepareMusic), the
//            part a background check does on its worker before it reports;
//   swap:    Player::swap on the GUI thread (the events' frames, the loop);
//   taken:   until the driving thread has taken it (its next buffer): from
//            then on the new music is what goes out;
// and prints the medians and ranges.
//
//   zan_swap_bench [runs [soundfont]]    (make bench-swap)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "player/player.h"
#include "scores.h"
#include "zan/tsmf.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

std::vector<uint8_t> compile(const std::string& score) {
  zan::TSmf smf;
  smf.sourceLines.setText(score);
  return smf.CompileToBytes();
}

struct Stats {
  std::vector<double> v;
  void add(double x) { v.push_back(x); }
  std::string text() {
    std::sort(v.begin(), v.end());
    char buf[96];
    std::snprintf(buf, sizeof buf, "%7.2f ms (%.2f .. %.2f)", v[v.size() / 2], v.front(), v.back());
    return buf;
  }
};

void measure(const char* driver, int notes, int runs, const std::string& soundFont) {
  // The edit: the same music a fifth up from the middle on (a change heard
  // at once wherever the music stands).
  const std::string score = zan::bench::plainScore(notes);
  std::string edited = score;
  const size_t half = edited.size() / 2;
  edited.replace(edited.find("o4", half), 2, "o5");
  const std::vector<std::vector<uint8_t>> files = {compile(score), compile(edited)};

  zan::player::PlayerConfig config;
  config.audioDriver = driver;
  config.soundFont = soundFont;
  zan::player::Player player(config);
  player.open(files[0], "bench");
  player.setLoopMs(0, player.lengthMs());
  player.setStartPositionMs(player.lengthMs() / 3);
  player.play();
  Stats prepare, swap, taken, total;
  for (int i = 0; i < runs; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t before = player.swapsTaken();
    const Clock::time_point start = Clock::now();
    auto music = zan::player::prepareMusic(files[static_cast<size_t>((i + 1) % 2)], "bench");
    prepare.add(msSince(start));
    const Clock::time_point handed = Clock::now();
    player.swap(std::move(music));
    swap.add(msSince(handed));
    while (player.swapsTaken() == before) std::this_thread::sleep_for(std::chrono::microseconds(20));
    taken.add(msSince(handed));
    total.add(msSince(start));
  }
  const double load = player.takeWorstBufferLoad();
  std::printf("%-6s %8d notes  prepare %s  swap %s  to taken %s  total %s  worst buffer %.2f of its time\n", driver,
              notes, prepare.text().c_str(), swap.text().c_str(), taken.text().c_str(), total.text().c_str(), load);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string soundFont = zan::player::findSoundFont(argc > 2 ? argv[2] : "");
  std::printf("SoundFont: %s\n", soundFont.c_str());
  // The file driver writes fluidsynth.wav into the working folder.
  char folder[] = "/tmp/zan_swap_bench_XXXXXX";
  if (!::mkdtemp(folder) || ::chdir(folder) != 0) return 2;
  for (const char* driver : {"file", "silent"})
    for (int notes : {20000, 1000000}) measure(driver, notes, notes > 100000 ? std::max(3, runs / 2) : runs, soundFont);
  ::unlink("fluidsynth.wav");
  ::chdir("/");
  ::rmdir(folder);
  return 0;
}
