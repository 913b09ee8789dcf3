// SPDX-License-Identifier: MIT
// The SMF writer: byte-exact files, the two number encoders, and writing to
// disk without leaving a partial file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "test_support.h"

namespace zan::test {
namespace {

constexpr const char* kHeader1Track = "4D 54 68 64 00 00 00 06 00 01 00 01 00 60 ";

void add(TSmf& smf, int t, int32_t time, std::vector<uint8_t> bytes) {
  smf.events[t].Add(time, bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(WriterTest, GoldenFilesFromSource) {
  struct Row {
    const char* source;
    std::string file;
  };
  const Row rows[] = {
      {"", "4D 54 68 64 00 00 00 06 00 01 00 00 00 60"},
      {"c", std::string(kHeader1Track) + "4D 54 72 6B 00 00 00 0C 00 90 30 64 53 80 30 64 00 FF 2F 00"},
      // Tempo at -3, banks at -2, program at -1: all written at tick 0 in
      // the order the sort leaves them (the two bank selects swap).
      {"t120 @5,1,2 c", std::string(kHeader1Track) +
                            "4D 54 72 6B 00 00 00 1E 00 FF 51 03 07 A1 20 00 B0 20 02 00 B0 00 01 00 C0 05 "
                            "00 90 30 64 53 80 30 64 00 FF 2F 00"},
      // Errors do not stop the writer.
      {"1 c", std::string(kHeader1Track) + "4D 54 72 6B 00 00 00 0C 00 90 30 64 53 80 30 64 00 FF 2F 00"},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(hex(s.file), r.file) << r.source;
    EXPECT_EQ(s.messages.back(), "ok") << r.source;
  }
}

TEST(WriterTest, GoldenFilesFromEventLists) {
  struct Row {
    const char* name;
    std::function<void(TSmf&)> fill;
    std::string file;
  };
  const Row rows[] = {
      {"only track 3 has events",
       [](TSmf& s) {
         add(s, 3, 0, {0x90, 0x30, 0x64});
         add(s, 3, 83, {0x80, 0x30, 0x64});
       },
       std::string(kHeader1Track) + "4D 54 72 6B 00 00 00 0C 00 90 30 64 53 80 30 64 00 FF 2F 00"},
      {"negative times clamp to 0 in sorted order; the next delta counts from 0",
       [](TSmf& s) {
         add(s, 0, -1, {0xC0, 0x05});
         add(s, 0, -2, {0xB0, 0x00, 0x01});
         add(s, 0, -2, {0xB0, 0x20, 0x02});
         add(s, 0, -3, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
         add(s, 0, 10, {0x90, 0x30, 0x64});
       },
       std::string(kHeader1Track) +
           "4D 54 72 6B 00 00 00 1A 00 FF 51 03 07 A1 20 00 B0 20 02 00 B0 00 01 00 C0 05 0A 90 30 64 00 FF 2F 00"},
      {"a delta of 2^28 takes five bytes",
       [](TSmf& s) {
         add(s, 0, 0, {0x90, 0x30, 0x64});
         add(s, 0, 1 << 28, {0x80, 0x30, 0x64});
       },
       std::string(kHeader1Track) + "4D 54 72 6B 00 00 00 10 00 90 30 64 81 80 80 80 00 80 30 64 00 FF 2F 00"},
      {"tracks in ascending order, whatever order they were filled in",
       [](TSmf& s) {
         add(s, 127, 1, {0xC2, 0x03});
         add(s, 5, 2, {0xC1, 0x02});
         add(s, 0, 0, {0xC0, 0x01});
       },
       "4D 54 68 64 00 00 00 06 00 01 00 03 00 60 "
       "4D 54 72 6B 00 00 00 07 00 C0 01 00 FF 2F 00 "
       "4D 54 72 6B 00 00 00 07 02 C1 02 00 FF 2F 00 "
       "4D 54 72 6B 00 00 00 07 01 C2 03 00 FF 2F 00"},
      {"timebase 480", [](TSmf& s) { s.timebase = 480; }, "4D 54 68 64 00 00 00 06 00 01 00 00 01 E0"},
      {"timebase 1536", [](TSmf& s) { s.timebase = 1536; }, "4D 54 68 64 00 00 00 06 00 01 00 00 06 00"},
  };
  for (const Row& r : rows) {
    TSmf smf;
    r.fill(smf);
    EXPECT_EQ(hex(smf.BuildSmf()), r.file) << r.name;
  }
}

TEST(WriterTest, ChunkLengthAndTrackCountUseAllTheirBytes) {
  TSmf smf;
  for (int i = 0; i < 100; ++i) add(smf, 0, 0, {0x90, 0x30, 0x64});  // 100 x 4 + 4 = 404 bytes
  for (int t = 1; t < kTrackCount; ++t) add(smf, t, 0, {0xC0, 0x00});
  std::vector<uint8_t> file = smf.BuildSmf();
  EXPECT_EQ(hex(std::vector<uint8_t>(file.begin() + 10, file.begin() + 12)), "00 80");
  EXPECT_EQ(hex(std::vector<uint8_t>(file.begin() + 18, file.begin() + 22)), "00 00 01 94");
  smf::File parsed;
  std::string error;
  ASSERT_TRUE(smf::parse(file, parsed, error)) << error;
  EXPECT_EQ(parsed.tracks.size(), 128u);
  EXPECT_EQ(parsed.tracks[0].events.size(), 101u);
}

TEST(WriterTest, Encoders) {
  struct Row {
    uint32_t value;
    const char* varLen;
    const char* bigEndian;
  };
  const Row rows[] = {
      {0, "00", "00"},
      {1, "01", "01"},
      {127, "7F", "7F"},
      {128, "81 00", "80"},
      {255, "81 7F", "FF"},
      {256, "82 00", "01 00"},
      {16383, "FF 7F", "3F FF"},
      {16384, "81 80 00", "40 00"},
      {500000, "9E C2 20", "07 A1 20"},
      {(1u << 24), "88 80 80 00", "01 00 00 00"},
      {(1u << 28) - 1, "FF FF FF 7F", "0F FF FF FF"},
      {(1u << 28), "81 80 80 80 00", "10 00 00 00"},
      {0xFFFFFFFFu, "8F FF FF FF 7F", "FF FF FF FF"},
  };
  TSmf smf;
  for (const Row& r : rows) {
    int n = smf.EncodeVarLen(r.value);
    EXPECT_EQ(hex(smf.dataBuf, static_cast<size_t>(n)), r.varLen) << r.value;
    n = smf.EncodeBigEndian(r.value);
    EXPECT_EQ(hex(smf.dataBuf, static_cast<size_t>(n)), r.bigEndian) << r.value;
  }
}

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WriterTest, CompileWritesTheFileOrThrowsWithoutOkAndWithoutAFile) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "zan_writer_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path out = dir / "song.mid";
  {
    std::ofstream old(out, std::ios::binary);
    old << "an older, longer file that must be replaced completely";
  }
  Score s;
  s.compile("t120 c");
  const std::vector<uint8_t> expected = s.file;
  s.messages.clear();
  s.smf.Reset();
  s.smf.sourceLines.setText("t120 c");
  s.smf.Compile(out.string());
  EXPECT_EQ(readFile(out), expected);
  EXPECT_EQ(s.messages, (std::vector<std::string>{"Compile Start", "ok"}));
  // The new file has the permissions the umask gives, whatever the old one had.
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(fs::status(out).permissions(), static_cast<fs::perms>(0666 & ~mask));
  // A link at the path stays; the file it names gets the music.
  {
    std::ofstream(dir / "target.mid") << "old music";
  }
  fs::remove(out);
  fs::create_symlink("target.mid", out);
  s.smf.Reset();
  s.smf.sourceLines.setText("t120 c");
  s.smf.Compile(out.string());
  EXPECT_TRUE(fs::is_symlink(out));
  EXPECT_EQ(readFile(dir / "target.mid"), expected);
  fs::remove(dir / "target.mid");
  fs::remove(out);

  // A path in a directory that does not exist cannot be written.
  const fs::path bad = dir / "missing" / "song.mid";
  s.messages.clear();
  s.smf.Reset();
  s.smf.sourceLines.setText("c");
  EXPECT_THROW(s.smf.Compile(bad.string()), WriteError);
  EXPECT_EQ(s.messages, (std::vector<std::string>{"Compile Start"}));
  EXPECT_FALSE(fs::exists(bad));

  // A directory in the way: nothing is left beside it.
  fs::create_directory(dir / "sub");
  s.smf.Reset();
  s.smf.sourceLines.setText("c");
  EXPECT_THROW(s.smf.Compile((dir / "sub").string()), WriteError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "only sub";
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zan::test
