// SPDX-License-Identifier: MIT
// The offline render: the WAV file's format, its length against the music,
// sound where the notes are, and failures that leave no file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "player/player.h"
#include "player_test_support.h"

namespace zan::player {
namespace {

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config.soundFont = test::testSoundFont();
    if (config.soundFont.empty()) GTEST_SKIP() << "no SoundFont on this machine";
  }
  PlayerConfig config;
};

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

TEST_F(RenderTest, TheFileLastsAsLongAsTheMusicAndItsDyingSoundAndSoundsWhereTheNotesAre) {
  // A second of rest, then two seconds of piano (half notes at 120).
  const std::string mid = test::scoreFile("render.mid", "t120 @0 v120 o5 l2 r c e");
  const std::string wav = ::testing::TempDir() + "zan_player_render.wav";
  renderWav(mid, wav, config);
  const test::Wav w = test::readWav(wav);
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 44100);
  EXPECT_EQ(w.bits, 16);

  Player player;  // the length as the player sees it
  PlayerConfig silent = config;
  silent.audioDriver = "silent";
  player.configure(silent);
  player.open(mid);
  const double musicSeconds = static_cast<double>(player.lengthMs()) / 1000.0;
  const double seconds = static_cast<double>(w.frames()) / 44100.0;
  EXPECT_GT(seconds, musicSeconds + 0.1) << "the release is kept";
  EXPECT_LT(seconds, musicSeconds + kRenderTailSeconds) << "the tail ends once the sound has died away";

  const int64_t second = 44100;
  EXPECT_LT(w.peak(0, second - 200), 1e-4) << "the rests are silent";
  int64_t onset = 0;
  while (onset < w.frames() && w.peak(onset, onset + 1) == 0) ++onset;
  // The synthesizer works in blocks of 64 frames: a note sent inside one
  // sounds from the next.
  EXPECT_GE(onset, second);
  EXPECT_LE(onset, second + 128) << "the first note starts after one second";
  EXPECT_GT(w.rms(second, 2 * second), 0.01) << "the notes sound";
  EXPECT_GT(w.peak(second, 2 * second), 0.05);
  EXPECT_LT(w.rms(w.frames() - 4410, w.frames()), w.rms(second, 2 * second) / 10) << "the tail dies away";
  ::unlink(wav.c_str());
}

TEST_F(RenderTest, TheTailAndTheRateAreTheCallersChoice) {
  const std::string mid = test::scoreFile("render4.mid", "t120 @19 v120 o5 l4 c");
  const std::string wav = ::testing::TempDir() + "zan_player_render4.wav";
  Player player;
  PlayerConfig silent = config;
  silent.audioDriver = "silent";
  player.configure(silent);
  player.open(mid);
  const double music = static_cast<double>(player.lengthMs()) / 1000.0;
  // The organ's release and reverb last about a second: a short tail cuts
  // them, a long one ends where they have died away.
  struct Row {
    double rate, tail, minSeconds, maxSeconds;
  } rows[] = {{44100, 0, 0, 0.01}, {48000, 0.25, 0.24, 0.26}, {22050, 3, 0.5, 2.9}};
  for (const Row& r : rows) {
    PlayerConfig c = config;
    c.sampleRate = r.rate;
    renderWav(mid, wav, c, r.tail);
    const test::Wav w = test::readWav(wav);
    EXPECT_EQ(w.rate, r.rate);
    const double seconds = static_cast<double>(w.frames()) / r.rate;
    EXPECT_GE(seconds - music, r.minSeconds) << "tail " << r.tail;
    EXPECT_LE(seconds - music, r.maxSeconds) << "tail " << r.tail;
  }
  EXPECT_THROW(renderWav(mid, wav, config, -1), PlayerError);
  ::unlink(wav.c_str());
}

TEST_F(RenderTest, AnUnwritablePlaceIsAnErrorAndLeavesNothing) {
  const std::string mid = test::scoreFile("render2.mid", "o4 c");
  EXPECT_THROW(renderWav(mid, "/nonexistent/zan/out.wav", config), PlayerError);
  // Named by the process: test runs of several build trees may share the folder.
  const std::string directory = ::testing::TempDir() + "zan_player_render_dir" + std::to_string(::getpid());
  ::mkdir(directory.c_str(), 0755);
  EXPECT_THROW(renderWav(mid, directory, config), PlayerError) << "a directory cannot be replaced";
  EXPECT_EQ(::rmdir(directory.c_str()), 0) << "no temporary file was left in it or beside it";
}

TEST_F(RenderTest, AnInvalidMidiFileIsAnErrorAndWritesNothing) {
  const std::string mid = test::writeTemp("bad.mid", {'M', 'T', 'h', 'd'});
  const std::string wav = ::testing::TempDir() + "zan_player_bad.wav";
  EXPECT_THROW(renderWav(mid, wav, config), PlayerError);
  EXPECT_FALSE(exists(wav));
}

TEST_F(RenderTest, ReplacingAFileKeepsTheOldOneUntilTheNewIsComplete) {
  const std::string mid = test::scoreFile("render3.mid", "t120 o4 l4 c");
  const std::string wav = test::writeTemp("old.wav", {'o', 'l', 'd'});
  renderWav(mid, wav, config);
  EXPECT_GT(test::readWav(wav).frames(), 44100) << "the new file replaced the old";
  ::unlink(wav.c_str());
}

}  // namespace
}  // namespace zan::player
