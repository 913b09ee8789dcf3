// SPDX-License-Identifier: MIT
// Error lines and the cut-off after ten errors.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

const char* const kCutOff = "エラー数が１０個を超えたので、コンパイルを中止します。";

std::string err1(int line, const std::string& detail, int ptr = 0) {
  return "err(" + std::to_string(line) + ")\"" + detail + "\":解読不能文字です\"> _tr<0> ptr=" + std::to_string(ptr) +
         "<" + std::to_string(ptr / 96) + ">小節目";
}

TEST(DiagnosticsTest, ErrorLineFormat) {
  struct Row {
    int lineIndex, curTrack, ptr, timebase, number;
    std::string detail;
    std::string line;
  };
  const Row rows[] = {
      {12, 2, 400, 96, 4, "v", "err(12)\"v\":引数が不正です\"> _tr<2> ptr=400<4>小節目"},
      {0, 0, -1, 96, 5, "]が多い", "err(0)\"]が多い\":文法のエラー\"> _tr<0> ptr=-1<0>小節目"},
      {3, 127, -96, 96, 2, "x", "err(3)\"x\":解読不能文字です\"> _tr<127> ptr=-96<-1>小節目"},
      {3, 1, -97, 96, 3, "x", "err(3)\"x\":必要な引数が足りません\"> _tr<1> ptr=-97<-1>小節目"},
      {7, 0, 959, 480, 0, "a \"q\" b", "err(7)\"a \"q\" b\":原因不明のエラー\"> _tr<0> ptr=959<1>小節目"},
      {1, 0, 0, 96, 1, "f", "err(1)\"f\":指定されたファイルを開けません\"> _tr<0> ptr=0<0>小節目"},
      {1, 0, 95, 96, 6, "", "err(1)\"\":\"> _tr<0> ptr=95<0>小節目"},
      {2147483647, 0, -2147483647 - 1, 13, 4, "n", "err(2147483647)\"n\":引数が不正です\"> _tr<0> ptr=-2147483648<-165191049>小節目"},
  };
  for (const Row& r : rows) {
    TSmf smf;
    std::vector<std::string> lines;
    smf.messageSink = [&](const std::string& l) { lines.push_back(toUtf8(l)); };
    smf.lineIndex = r.lineIndex;
    smf.curTrack = r.curTrack;
    smf.ptr[r.curTrack] = r.ptr;
    smf.timebase = r.timebase;
    smf.ReportError(r.number, toCp932(r.detail));
    EXPECT_EQ(lines, std::vector<std::string>{r.line});
    EXPECT_EQ(smf.errorCount, 1);
  }
}

TEST(DiagnosticsTest, TenthErrorMovesToANewEmptyLastLine) {
  TSmf smf;
  std::vector<std::string> lines;
  smf.messageSink = [&](const std::string& l) { lines.push_back(toUtf8(l)); };
  smf.sourceLines.assign({"c", "1 d", "e"});
  smf.lineIndex = 1;
  smf.lineText = "1 d";
  smf.column = 2;
  smf.errorCount = 9;
  smf.ReportError(2, "1");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], kCutOff);
  EXPECT_EQ(smf.errorCount, 0);
  EXPECT_EQ(smf.lineText, " ");
  EXPECT_EQ(smf.column, 1);
  ASSERT_EQ(smf.sourceLines.size(), 4);
  EXPECT_EQ(smf.sourceLines[3], "");
  EXPECT_EQ(smf.lineIndex, 3);
}

TEST(DiagnosticsTest, CutOffAfterExactlyTenErrors) {
  struct Row {
    const char* source;
    std::vector<std::string> messages;
    size_t events;  // on track 0
  };
  const Row rows[] = {
      // Nine errors: no cut-off, the whole source compiles.
      {"1 1 1 1 1 1 1 1 1\nd",
       {"Compile Start", err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"),
        err1(0, "1"), err1(0, "1"), err1(0, "1"), "ok"},
       2},
      // The tenth error ends the compile: nothing after it is compiled, not
      // even the rest of its own line; the events before it are kept.
      {"c 1 1 1 1 1 1 1 1 1 1 d\ne",
       {"Compile Start", err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96),
        err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96), err1(0, "1", 96), kCutOff, "ok"},
       2},
      {"1\n2\n3\n4\n5\n6\nc\n7\n8\n9\n0\nd",
       {"Compile Start", err1(0, "1"), err1(1, "2"), err1(2, "3"), err1(3, "4"), err1(4, "5"), err1(5, "6"),
        err1(7, "7", 96), err1(8, "8", 96), err1(9, "9", 96), err1(10, "0", 96), kCutOff, "ok"},
       2},
      // The counter starts again after the cut-off: the open loop is reported
      // on the line after the last one, which is the appended line.
      {"[ 1 1 1 1 1 1 1 1 1 1 c",
       {"Compile Start", err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"),
        err1(0, "1"), err1(0, "1"), err1(0, "1"), err1(0, "1"), kCutOff,
        "err(2)\"] が1つ足りません。\":文法のエラー\"> _tr<0> ptr=0<0>小節目", "ok"},
       0},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.messages, r.messages) << r.source;
    EXPECT_EQ(s.smf.events[0].Count(), static_cast<int>(r.events)) << r.source;
  }
}

TEST(DiagnosticsTest, CutOffLeavesTheSourceWithOneMoreLine) {
  Score s;
  s.compile("1 1 1 1 1\n1 1 1 1 1 c\nd");
  EXPECT_EQ(s.smf.sourceLines.lines(), (std::vector<std::string>{"1 1 1 1 1", "1 1 1 1 1 c", "d", " "}));
  EXPECT_EQ(s.smf.errorCount, 0);
  EXPECT_EQ(s.smf.errorsReported, 10);
}

}  // namespace
}  // namespace zan::test
