// SPDX-License-Identifier: MIT
// How zan writes a user's file: links followed, permissions kept, devices
// and FIFOs written in place, nothing left behind by a write abandoned.
#include "zan/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace zan::test {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::path(::testing::TempDir()) / "zan_output_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void put(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
  bool write(const std::string& name, const std::string& text, std::string& error) {
    return WriteWholeFile(path(name), text.data(), text.size(), error);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

TEST_F(OutputFileTest, AReplacedFileKeepsItsPermissionsAndANewOneTakesTheUmask) {
  for (const mode_t mode : {0600, 0444, 0755, 0640}) {
    SCOPED_TRACE(mode);
    put("out.mid", "old");
    ASSERT_EQ(::chmod(path("out.mid").c_str(), mode), 0);
    std::string error;
    ASSERT_TRUE(write("out.mid", "new", error)) << error;
    EXPECT_EQ(readText(dir_ / "out.mid"), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path("out.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    fs::remove(dir_ / "out.mid");
  }
  const mode_t mask = ::umask(027);
  std::string error;
  ASSERT_TRUE(write("fresh.mid", "new", error)) << error;
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(path("fresh.mid").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(OutputFileTest, ALinkStaysALinkAndTheFileItNamesIsWritten) {
  fs::create_directory(dir_ / "real");
  struct Row {
    const char* link;    // the name written
    const char* points;  // where it points
    const char* target;  // the file that must end up with the bytes
  } rows[] = {
      {"rel.mid", "real/a.mid", "real/a.mid"},
      {"abs.mid", "", "real/b.mid"},  // absolute: filled in below
      {"chain.mid", "rel.mid", "real/a.mid"},
      {"dangling.mid", "real/new.mid", "real/new.mid"},
      {"real/up.mid", "../plain.mid", "plain.mid"},
  };
  put("real/a.mid", "old a");
  put("real/b.mid", "old b");
  put("plain.mid", "old plain");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.link);
    const std::string points = *r.points ? r.points : path(r.target);
    fs::create_symlink(points, dir_ / r.link);
    std::string error;
    ASSERT_TRUE(write(r.link, std::string("music of ") + r.link, error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir_ / r.link));
    EXPECT_EQ(fs::read_symlink(dir_ / r.link).string(), points);
    EXPECT_EQ(readText(dir_ / r.target), std::string("music of ") + r.link);
  }
  EXPECT_EQ(names(), (std::vector<std::string>{"abs.mid", "chain.mid", "dangling.mid", "plain.mid", "real", "rel.mid"}));
  // A loop of links is refused, and left as it was.
  fs::create_symlink("loop2", dir_ / "loop1");
  fs::create_symlink("loop1", dir_ / "loop2");
  std::string error;
  EXPECT_FALSE(write("loop1", "x", error));
  EXPECT_EQ(error, "cannot create " + path("loop1") + ": Too many levels of symbolic links");
  EXPECT_TRUE(fs::is_symlink(dir_ / "loop1"));
}

TEST_F(OutputFileTest, AFifoIsWrittenInPlace) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] { got = readText(dir_ / "pipe"); });
  std::string error;
  EXPECT_TRUE(write("pipe", "through the pipe", error)) << error;
  reader.join();
  EXPECT_EQ(got, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(dir_ / "pipe"));
  EXPECT_EQ(names(), std::vector<std::string>{"pipe"});
}

// Private copies of /dev/null and /dev/full, made in the test's own folder.
TEST_F(OutputFileTest, ADeviceIsWrittenInPlaceAndItsErrorsAreReported) {
  if (::mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      ::mknod(path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make device nodes here (not root?)";
  std::string error;
  EXPECT_TRUE(write("null", "gone", error)) << error;
  EXPECT_TRUE(fs::is_character_file(dir_ / "null"));
  EXPECT_FALSE(write("full", "no room", error));
  EXPECT_EQ(error, "cannot write " + path("full") + ": No space left on device");
  EXPECT_TRUE(fs::is_character_file(dir_ / "full"));
  EXPECT_EQ(names(), (std::vector<std::string>{"full", "null"}));
}

TEST_F(OutputFileTest, AnAbandonedWriteLeavesTheEarlierFileAndNothingElse) {
  put("out.mid", "earlier");
  {
    OutputFile file;
    ASSERT_TRUE(file.open(path("out.mid")));
    ASSERT_TRUE(file.write("half", 4));
  }
  EXPECT_EQ(readText(dir_ / "out.mid"), "earlier");
  EXPECT_EQ(names(), std::vector<std::string>{"out.mid"});
  // A header patched after the rest, as the WAV writer does.
  OutputFile file;
  ASSERT_TRUE(file.open(path("out.mid")));
  ASSERT_TRUE(file.seekable());
  ASSERT_TRUE(file.write("....body", 8));
  ASSERT_TRUE(file.writeAt(0, "HEAD", 4));
  ASSERT_TRUE(file.commit(true));
  EXPECT_EQ(readText(dir_ / "out.mid"), "HEADbody");
  EXPECT_EQ(names(), std::vector<std::string>{"out.mid"});
}

TEST_F(OutputFileTest, SameFileSeesThroughSpellingsAndLinks) {
  put("a.zan", "c");
  fs::create_directory(dir_ / "sub");
  fs::create_symlink("a.zan", dir_ / "link.zan");
  fs::create_symlink("new.wav", dir_ / "soon.wav");
  struct Row {
    std::string a, b;
    bool same;
  } rows[] = {
      {path("a.zan"), path("a.zan"), true},
      {path("a.zan"), path("sub/../a.zan"), true},
      {path("a.zan"), path("link.zan"), true},
      {path("new.mid"), path("sub/../new.mid"), true},  // neither exists yet
      {path("soon.wav"), path("new.wav"), true},        // a link to a file not yet there
      {path("a.zan"), path("b.zan"), false},
      {path("new.mid"), path("new.wav"), false},
  };
  for (const Row& r : rows) EXPECT_EQ(SameFile(r.a, r.b), r.same) << r.a << " " << r.b;
}

}  // namespace
}  // namespace zan::test
