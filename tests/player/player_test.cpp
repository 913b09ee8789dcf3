// SPDX-License-Identifier: MIT
// The player on the silent driver (the build machines have no sound card):
// its states, seeks and start positions, the end of the music, and the
// failures of open.
#include "player/player.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "player_test_support.h"

namespace zan::player {
namespace {

using namespace std::chrono_literals;

PlayerConfig silentConfig() {
  PlayerConfig config;
  config.soundFont = test::testSoundFont();
  config.audioDriver = "silent";
  return config;
}

// Waits, generously, until `done` holds; false if it never does.
template <typename F>
bool eventually(F done, std::chrono::milliseconds limit = 10s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::testSoundFont().empty()) GTEST_SKIP() << "no SoundFont on this machine";
  }
};

TEST_F(PlayerTest, ANewPlayerIsNotReady) {
  Player player(silentConfig());
  EXPECT_FALSE(player.isOpen());
  EXPECT_EQ(player.mode(), Mode::NotReady);
  EXPECT_EQ(player.lengthMs(), 0);
  EXPECT_EQ(player.positionMs(), 0);
  player.play();  // nothing open: nothing happens
  player.stop();
  player.close();
  EXPECT_EQ(player.mode(), Mode::NotReady);
}

TEST_F(PlayerTest, OpenPlayStopAndSeek) {
  // Eight quarters at 120: four seconds.
  const std::string path = test::scoreFile("eight.mid", "t120 @1 y7,100 o4 l4 c d e f g a b > c");
  Player player(silentConfig());
  player.open(path);
  EXPECT_TRUE(player.isOpen());
  EXPECT_EQ(player.mode(), Mode::Stopped);
  EXPECT_EQ(player.positionMs(), 0);
  EXPECT_GT(player.lengthMs(), 3500);
  EXPECT_LT(player.lengthMs(), 4000);
  EXPECT_FALSE(player.audioDeviceFound());
  EXPECT_EQ(player.audioDriverInUse(), "silent");
  EXPECT_EQ(player.soundFontPath(), test::testSoundFont());
  EXPECT_EQ(player.statusText(), "") << "silence was asked for";

  player.play();
  EXPECT_EQ(player.mode(), Mode::Playing);
  EXPECT_TRUE(eventually([&] { return player.positionMs() > 0; })) << "the clock drives the music";
  player.stop();
  EXPECT_EQ(player.mode(), Mode::Stopped);
  const int64_t stoppedAt = player.positionMs();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(player.positionMs(), stoppedAt) << "a stopped player stands still";

  player.setPositionMs(1500);
  EXPECT_EQ(player.positionMs(), 1500);
  EXPECT_EQ(player.mode(), Mode::Stopped);
  player.play();
  EXPECT_GE(player.positionMs(), 1500) << "play goes on from the seek";
  player.setPositionMs(500);
  EXPECT_EQ(player.mode(), Mode::Stopped) << "a seek stops a playing player";
  EXPECT_EQ(player.positionMs(), 500);

  player.setPositionMs(99999);
  EXPECT_EQ(player.positionMs(), player.lengthMs());
  player.setPositionMs(-10);
  EXPECT_EQ(player.positionMs(), 0);

  player.close();
  EXPECT_EQ(player.mode(), Mode::NotReady);
  EXPECT_EQ(player.lengthMs(), 0);
  player.close();  // twice is harmless
}

TEST_F(PlayerTest, TheSynthesizerOutlivesTheFileAndRestartBuildsItAnew) {
  const std::string one = test::scoreFile("one.mid", "t120 o4 l4 c d e f");
  const std::string two = test::scoreFile("two.mid", "t120 o4 l4 c d e f g a b > c");
  Player player(silentConfig());
  player.open(one);
  player.setTrackMuted(0, true);
  player.play();
  player.close();
  PlayerConfig louder = silentConfig();
  louder.gain = 2.0;
  player.configure(louder);  // only the gain: the running synthesizer takes it
  player.open(two);
  EXPECT_EQ(player.mode(), Mode::Stopped);
  EXPECT_GT(player.lengthMs(), 3500);
  EXPECT_TRUE(player.trackMuted(0)) << "mutes are kept from file to file";
  louder.gain = 11;
  player.configure(louder);
  EXPECT_THROW(player.open(one), PlayerError);
  EXPECT_FALSE(player.isOpen());
  player.configure(silentConfig());
  player.open(two);
  player.setPositionMs(1000);
  player.restart();
  EXPECT_TRUE(player.isOpen()) << "the file stays open over a restart";
  EXPECT_EQ(player.positionMs(), 0);
  player.play();
  EXPECT_TRUE(eventually([&] { return player.positionMs() > 0; }));
}

TEST_F(PlayerTest, AnotherSoundFontGoesIntoTheRunningSynthesizerAndABadOneChangesNothing) {
  const std::string path = test::scoreFile("fonts.mid", "t120 o4 l4 c d e f");
  const std::string bad = test::writeTemp("bad.sf2", std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'});
  // The same font under another name is loaded again all the same.
  const std::string copy = test::writeTemp("copy.sf2", [] {
    std::ifstream in(test::testSoundFont(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }());
  Player player(silentConfig());
  player.open(path);
  PlayerConfig other = silentConfig();
  other.soundFont = copy;
  player.configure(other);
  player.open(path);
  EXPECT_EQ(player.soundFontPath(), copy);
  other.soundFont = bad;
  player.configure(other);
  EXPECT_THROW(player.open(path), PlayerError);
  player.configure(silentConfig());
  player.open(path);
  EXPECT_EQ(player.soundFontPath(), test::testSoundFont());
  player.play();
  EXPECT_TRUE(eventually([&] { return player.positionMs() > 0; }));
}

TEST_F(PlayerTest, AStartPositionServesTheNextPlayOnly) {
  const std::string path = test::scoreFile("start.mid", "t120 o4 l4 c d e f g a b > c");
  Player player(silentConfig());
  player.open(path);
  player.setStartPositionMs(2000);
  EXPECT_EQ(player.positionMs(), 0) << "pending, not a seek";
  player.play();
  EXPECT_GE(player.positionMs(), 2000);
  player.stop();
  player.setPositionMs(1000);
  player.play();
  const int64_t at = player.positionMs();
  EXPECT_GE(at, 1000);
  EXPECT_LT(at, 2000) << "the start position was used up by the first play";
  player.stop();
}

TEST_F(PlayerTest, AtTheEndThePlayerStopsAndPlayRewinds) {
  const std::string path = test::scoreFile("short.mid", "t240 o4 l16 c");  // about 60 ms
  Player player(silentConfig());
  player.open(path);
  ASSERT_GT(player.lengthMs(), 0);
  player.play();
  ASSERT_TRUE(eventually([&] { return player.mode() == Mode::Stopped; })) << "the end stops the player";
  EXPECT_EQ(player.positionMs(), player.lengthMs());
  player.play();
  EXPECT_LT(player.positionMs(), player.lengthMs()) << "played again from the start";
  ASSERT_TRUE(eventually([&] { return player.mode() == Mode::Stopped; }));

  // A pending start position wins over the rewind.
  player.setStartPositionMs(30);
  player.play();
  EXPECT_GE(player.positionMs(), 30);
  player.stop();
}

TEST_F(PlayerTest, OpeningAnotherFileReplacesTheFirst) {
  Player player(silentConfig());
  player.open(test::scoreFile("long.mid", "t60 o4 l1 c d"));
  const int64_t first = player.lengthMs();
  player.play();
  player.open(test::scoreFile("brief.mid", "t120 o4 l4 c"));
  EXPECT_EQ(player.mode(), Mode::Stopped);
  EXPECT_EQ(player.positionMs(), 0);
  EXPECT_LT(player.lengthMs(), first);
}

TEST_F(PlayerTest, OpenRefusesMissingAndInvalidFiles) {
  Player player(silentConfig());
  const std::string directory = ::testing::TempDir();
  const std::string paths[] = {
      "/nonexistent/zan/score.mid",
      test::writeTemp("empty.mid", {}),
      test::writeTemp("text.mid", {'h', 'e', 'l', 'l', 'o'}),
      test::writeTemp("cut.mid", [] {
        auto bytes = test::compileScore("o4 c d e");
        bytes.resize(bytes.size() - 3);
        return bytes;
      }()),
  };
  for (const std::string& path : paths) {
    EXPECT_THROW(player.open(path), PlayerError) << path;
    EXPECT_FALSE(player.isOpen()) << path;
    EXPECT_EQ(player.mode(), Mode::NotReady) << path;
  }
}

TEST_F(PlayerTest, OpenRefusesAnUnloadableSoundFontOrGain) {
  const std::string path = test::scoreFile("sf.mid", "o4 c");
  PlayerConfig config = silentConfig();
  config.soundFont = test::writeTemp("broken.sf2", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
  Player player(config);
  EXPECT_THROW(player.open(path), PlayerError);
  EXPECT_NE(player.statusText(), "");
  config = silentConfig();
  config.gain = 11;
  player.configure(config);
  EXPECT_THROW(player.open(path), PlayerError);
  config.gain = 0.5;
  player.configure(config);
  player.open(path);
  EXPECT_EQ(player.statusText(), "") << "a good open clears the note";
}

TEST_F(PlayerTest, AnUnreachableSequencerPortIsAnError) {
  struct stat st;
  if (::stat("/dev/snd/seq", &st) == 0) GTEST_SKIP() << "this machine has a sequencer";
  PlayerConfig config = silentConfig();
  config.output = "128:0";
  Player player(config);
  EXPECT_THROW(player.open(test::scoreFile("port.mid", "o4 c")), PlayerError);
  EXPECT_NE(player.statusText(), "");
  EXPECT_TRUE(alsaOutputPorts().empty());
}

TEST_F(PlayerTest, AWarmUpServesTheFirstOpenAndAFailedOneChangesNothing) {
  const std::vector<uint8_t> song = test::compileScore("t120 l4 c d");
  Player warm(silentConfig());
  warm.warmUp();
  warm.warmUp();  // once is enough
  warm.open(song, "warm.mid");
  EXPECT_EQ(warm.audioDriverInUse(), "silent");
  EXPECT_EQ(warm.soundFontPath(), test::testSoundFont());
  warm.play();
  EXPECT_TRUE(eventually([&] { return warm.mode() == Mode::Stopped; }));
  EXPECT_EQ(warm.positionMs(), warm.lengthMs());

  // A gain out of range fails the warm-up; open reports it as ever.
  PlayerConfig bad = silentConfig();
  bad.gain = 11;
  Player failed(bad);
  failed.warmUp();
  EXPECT_THROW(failed.open(song, "bad.mid"), PlayerError);
  failed.configure(silentConfig());
  EXPECT_NO_THROW(failed.open(song, "good.mid"));

  Player unused(silentConfig());
  unused.warmUp();  // and dropped while it may still be at work
}

TEST(FindSoundFont, AReadableSettingIsKeptAndABogusOneFallsBack) {
  const std::string found = findSoundFont("");
  if (found.empty()) GTEST_SKIP() << "no SoundFont on this machine";
  EXPECT_EQ(findSoundFont("/nonexistent/zan/none.sf2"), found);
  EXPECT_EQ(findSoundFont(::testing::TempDir()), found) << "a directory is not a SoundFont";
  const std::string mine = test::writeTemp("mine.sf2", {'R', 'I', 'F', 'F'});
  EXPECT_EQ(findSoundFont(mine), mine);
}

TEST(AudioDrivers, TheListNamesRealDriversOnly) {
  const std::vector<std::string> drivers = audioDrivers();
  EXPECT_FALSE(drivers.empty());
  for (const std::string& d : drivers) EXPECT_NE(d, "file") << "the file driver is no audio device";
}

}  // namespace
}  // namespace zan::player
