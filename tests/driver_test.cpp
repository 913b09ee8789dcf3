// SPDX-License-Identifier: MIT
// The compile driver: messages of a compile, dispatch of each byte, skip
// mode, the two resets, the random generator and the whole-compile budgets.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

// "2:X" for an error line of error 2 with detail X.
std::string code(const std::string& line) {
  static const char* const kTexts[] = {"原因不明のエラー", "指定されたファイルを開けません", "解読不能文字です",
                                       "必要な引数が足りません", "引数が不正です", "文法のエラー"};
  const size_t start = line.find(")\"") + 2, end = line.rfind("\"> _tr<"), colon = line.rfind("\":", end);
  const std::string message = line.substr(colon + 2, end - colon - 2);
  int number = 6;
  for (int i = 0; i < 6; ++i)
    if (message == kTexts[i]) number = i;
  return std::to_string(number) + ":" + line.substr(start, colon - start);
}

std::vector<std::string> codes(const Score& s) {
  std::vector<std::string> out;
  for (const std::string& e : s.errors()) out.push_back(code(e));
  return out;
}

TEST(DriverTest, MessagesAndEventsOfSmallSources) {
  struct Row {
    const char* source;
    std::vector<std::string> errors;
    std::vector<std::string> events;
  };
  const Row rows[] = {
      {"", {}, {}},
      {" \t\"|  ||\"\t", {}, {}},
      {"\n\n", {}, {}},
      // No macro claims these capitals: each is one error, and dispatch
      // goes on with the next byte.
      {"ABC", {"2:A", "2:B", "2:C"}, {}},
      {"Xy7,100", {"2:X"}, {"-1: B0 07 64"}},
      {"09}", {"2:0", "2:9", "2:}"}, {}},
      {"$%&'()", {"2:$", "2:%", "2:&", "2:'", "2:(", "2:)"}, {}},
      {"*+,-.=?^`", {"2:*", "2:+", "2:,", "2:-", "2:.", "2:=", "2:?", "2:^", "2:`"}, {}},
      {"hijkm", {"2:h", "2:i", "2:j", "2:k", "2:m"}, {}},
      {"suwxz", {"2:s", "2:u", "2:w", "2:x", "2:z"}, {}},
      {"\x01\x7F", {"2:\x01", "2:\x7F"}, {}},
      // A double-byte character outside a comment: its lead byte is an error
      // of its own (half a character, so not convertible), then its trail
      // byte ("A") is dispatched by itself.
      {"ア", {"2:\xEF\xBF\xBD", "2:A"}, {}},
      {"c", {}, {"0: 90 30 64", "83: 80 30 64"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(codes(s), r.errors) << r.source;
    EXPECT_EQ(s.events(0), r.events) << r.source;
    EXPECT_EQ(s.messages.front(), "Compile Start");
    EXPECT_EQ(s.messages.back(), "ok");
  }
}

TEST(DriverTest, ErrorsNameTheLineTheyAreOn) {
  Score s;
  s.compile("c\n\n  9\n");
  ASSERT_EQ(s.errors().size(), 1u);
  EXPECT_EQ(s.errors()[0].rfind("err(2)\"9\"", 0), 0u) << s.errors()[0];
  // Lines are written back as they stand after compiling.
  EXPECT_EQ(s.smf.sourceLines.lines(), (std::vector<std::string>{"c", "", "  9"}));
}

TEST(DriverTest, SkipModeDispatchesOnlyCommentsAndDirectiveBytes) {
  TSmf smf;
  std::vector<std::string> lines;
  smf.messageSink = [&](const std::string& l) { lines.push_back(toUtf8(l)); };
  smf.Reset();
  smf.skipMode = true;
  // Comments are still processed: the } on line 1 ends the comment that
  // began on line 0, the ; hides the }, and a } outside a comment is an
  // error as always.
  smf.sourceLines.assign({"c d e ABC y7,1 t120 [ {", "c } c ] :", "@5 ; }", "p0 }"});
  std::vector<uint8_t> file = smf.CompileToBytes();
  EXPECT_EQ(hex(file), "4D 54 68 64 00 00 00 06 00 01 00 00 00 60");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Compile Start", "err(3)\"}\":解読不能文字です\"> _tr<0> ptr=0<0>小節目", "ok"}));
  EXPECT_EQ(smf.ptr[0], 0);
}

TEST(DriverTest, ResetRestoresDefaultsButKeepsVariablesBendAndOnEvent) {
  Score s;
  s.compile("v50,3,1 t120 [ c");
  TSmf& smf = s.smf;
  smf.vars[7] = 42;
  smf.track[5].bend = 99;
  smf.track[5].onEvent = "x";
  smf.track[5].channel = 9;
  smf.track[5].rvList.push_back("1");
  smf.curTrack = 5;
  smf.timebase = 480;
  smf.skipMode = smf.ghostMode = true;
  smf.errorCount = smf.octaveReverse = 1;
  smf.acStep[5] = smf.transpose[5] = 3;
  smf.Reset();
  EXPECT_EQ(smf.vars[7], 42);
  EXPECT_EQ(smf.track[5].bend, 99);
  EXPECT_EQ(smf.track[5].onEvent, "x");
  EXPECT_TRUE(smf.track[5].channel == 0 && smf.track[5].rvList.empty() && smf.acStep[5] == 8 && smf.transpose[5] == 0);
  EXPECT_TRUE(smf.track[0].velocity == 100 && smf.track[0].velocityStep == 0 && smf.track[0].velocityBounce == 0);
  EXPECT_TRUE(smf.ptr[0] == 0 && smf.events[0].Count() == 0 && smf.loopStack.empty() && smf.sourceLines.empty());
  EXPECT_TRUE(smf.curTrack == 0 && smf.timebase == 96 && smf.track[0].length == 96);
  EXPECT_TRUE(!smf.skipMode && !smf.ghostMode && smf.errorCount == 0 && smf.octaveReverse == 0);
}

TEST(DriverTest, ResetForCheckKeepsSettingsPointersAndErrorCount) {
  Score s;
  s.compile("v50 c [ 1");
  TSmf& smf = s.smf;
  ASSERT_EQ(smf.errorCount, 2);
  smf.accentMode = 0;
  smf.ResetForCheck();
  EXPECT_EQ(smf.events[0].Count(), 0);
  EXPECT_TRUE(smf.loopStack.empty());
  EXPECT_TRUE(smf.sourceLines.empty());
  EXPECT_EQ(smf.accentMode, -1);
  EXPECT_EQ(smf.track[0].velocity, 50);
  EXPECT_EQ(smf.ptr[0], 96);
  EXPECT_EQ(smf.errorCount, 2);
  // A second compile goes on from there.
  s.compileAgain("c");
  EXPECT_EQ(s.events(0), (std::vector<std::string>{"96: 90 30 32", "179: 80 30 32"}));
}

TEST(DriverTest, RandomIsTheLinearCongruentialSequence) {
  TSmf smf;
  smf.randSeed = 1;
  EXPECT_EQ(smf.Random(100), 3u);
  EXPECT_EQ(smf.randSeed, 134775814u);
  EXPECT_EQ(smf.Random(100), 86u);
  EXPECT_EQ(smf.Random(0), 0u);
  EXPECT_EQ(smf.randSeed, 870078620u) << "a draw below 0 still advances the seed";
  EXPECT_EQ(smf.Random(7), 1u);
  EXPECT_EQ(smf.Random(0xFFFFFFFFu), 2884733761u);
}

// Each line's start, once, in the score's own numbering: included lines map
// to their #include line, the _tr line the compiler appends to none.
TEST(DriverTest, LineStartsMapBackToTheScore) {
  Score s;
  std::vector<LineStart> starts;
  s.smf.lineStarts = &starts;
  s.smf.fileReader = [](const std::string&, std::string& contents) {
    contents = "c4\nd4";
    return true;
  };
  s.compile("c4 _tr(1,2)\n#include \"sub\"\ne4 _tr(0)\nf4");
  std::vector<std::string> seen;
  for (const LineStart& l : starts)
    seen.push_back(std::to_string(s.smf.sourceLines.scoreLine(l.origin)) + ":" + std::to_string(l.track) + "@" +
                   std::to_string(l.ptr));
  // The second pass reads the file again, ahead of the lines the first read.
  EXPECT_EQ(seen, (std::vector<std::string>{"0:0@0", "1:1@0", "1:1@0", "1:1@96", "2:1@192", "1:2@0", "1:2@0",
                                            "1:2@96", "1:2@192", "1:2@288", "2:2@384", "3:0@96"}));
}

}  // namespace
}  // namespace zan::test
