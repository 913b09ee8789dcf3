// SPDX-License-Identifier: MIT
// The argument readers: numbers, terms, the two list forms, lengths and note
// values, driven directly on a text.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {


std::vector<std::string> argsOf(const TSmf& smf) {
  return std::vector<std::string>(smf.args.begin(), smf.args.begin() + smf.argCount);
}

// Variables the rows below refer to.
void setVars(TSmf& smf) {
  smf.vars[1] = 7;
  smf.vars[3] = 16;
  smf.vars[4] = 600;
  smf.vars[5] = -7;
  smf.vars[6] = -1;
  smf.vars[7] = 70;
  smf.vars[16] = 9;
}

}  // namespace

TEST(ScannerTest, ReadNumber) {
  struct Row {
    const char* text;
    int32_t pos, value, len;
    std::vector<std::string> errors;
  } rows[] = {
      {"123", 1, 123, 3, {}},
      {"007x", 1, 7, 3, {}},
      {"12ab", 1, 12, 2, {}},
      {"x12", 2, 12, 2, {}},
      {"12", 3, -1, 0, {}},  // past the end
      {"", 1, -1, 0, {}},
      {"-5", 1, -1, 0, {}},  // no sign here
      {"$1F", 1, 31, 3, {}},
      {"$ff", 1, 255, 3, {}},
      {"$", 1, -1, 0, {}},
      {"$g", 1, -1, 0, {}},
      {"$7FFFFFFF", 1, 2147483647, 9, {}},
      {"$80000000", 1, INT32_MIN, 9, {}},
      {"$FFFFFFFF", 1, -1, 9, {}},   // all 32 bits: the same as a missing number
      {"$100000000", 1, -1, 10, {}},  // too long: consumed, reads as missing
      {"2147483647", 1, 2147483647, 10, {}},
      {"2147483648", 1, -1, 10, {}},
      {"~1", 1, 7, 2, {}},
      {"~$10", 1, 9, 4, {}},
      {"~~3", 1, 9, 3, {}},  // the variable whose index is ~3
      {"~5", 1, -7, 2, {}},
      {"~511", 1, 0, 4, {}},
      {"~512", 1, -1, 4, {"4 ~"}},
      {"~", 1, -1, 1, {"4 ~"}},
      {"~x", 1, -1, 1, {"4 ~"}},
      {"~~4", 1, -1, 3, {"4 ~"}},         // ~4 holds 600
      {"~~5", 1, -1, 3, {"4 ~"}},         // a negative index
      {"~~6", 1, -1, 3, {"4 ~"}},         // -1 cannot be told from a missing index
      {"~~600", 1, -1, 5, {"4 ~", "4 ~"}},  // both references fail
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    setVars(s.smf);
    NumberRead n = s.smf.readNumber(r.text, r.pos);
    EXPECT_EQ(n.value, r.value);
    EXPECT_EQ(n.len, r.len);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(ScannerTest, ReadTerm) {
  struct Row {
    const char* text;
    bool ok;
    int32_t value, cursor;
    std::vector<std::string> errors;
  } rows[] = {
      {"5,6", true, 5, 2, {}},
      {"-5", true, -5, 3, {}},
      {"+5", true, 5, 3, {}},
      {"$1f", true, 31, 4, {}},
      {"-$10", true, -16, 5, {}},
      {"-$FFFFFFFF", true, 1, 11, {}},
      {"-2147483647", true, -2147483647, 12, {}},
      {"~1", true, 7, 3, {}},
      {"-~1", true, 7, 4, {}},  // a sign before a reference is read but ignored
      {"+~1", true, 7, 4, {}},
      {"~~1", true, 70, 4, {}},
      {"-~5", true, -7, 4, {}},
      {"", false, 0, 1, {}},
      {"x", false, 0, 1, {}},
      {"$", false, 0, 1, {}},
      {"-", false, 0, 2, {}},  // the cursor stays after the sign
      {"+x", false, 0, 2, {}},
      {"-$", false, 0, 2, {}},
      {"+-5", false, 0, 2, {}},
      {"~512", false, 0, 5, {"4 ~"}},
      {"~", false, 0, 2, {"4 ~"}},
      {"2147483648,1", false, 0, 11, {}},  // consumed, and fails
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    setVars(s.smf);
    int32_t cursor = 1;
    TermRead t = s.smf.readTerm(r.text, cursor);
    EXPECT_EQ(t.ok, r.ok);
    if (r.ok) {
      EXPECT_EQ(t.value, r.value);
    }
    EXPECT_EQ(cursor, r.cursor);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(ScannerTest, ReadArgList) {
  struct Row {
    const char* text;
    std::vector<std::string> args;
    int32_t cursor;
  } rows[] = {
      {"=1,2,3", {"1", "2", "3"}, 7},
      {"1,2;", {"1", "2"}, 4},
      {"=  5", {"5"}, 5},
      {"= -5,+~1,$10", {"-5", "+~1", "$10"}, 13},
      {"=,8", {"", "8"}, 4},      // only the first argument may be empty
      {",", {""}, 2},
      {"=1,,3", {"1"}, 4},        // an empty argument later ends the list
      {"7 ,100", {"7", "100"}, 7},  // spaces before a comma are allowed ...
      {"7, 100", {"7"}, 3},         // ... but not after it
      {"5 x", {"5"}, 3},
      {"5,x", {"5"}, 3},
      {"x", {}, 1},
      {"=", {}, 2},
      {"", {}, 1},
      {"-,5", {}, 2},  // a failed first term with no leading comma: no list
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.argCount = 9;
    int32_t cursor = 1;
    s.smf.readArgList(r.text, cursor);
    EXPECT_EQ(argsOf(s.smf), r.args);
    EXPECT_EQ(cursor, r.cursor);
  }
}

TEST(ScannerTest, ArgListHasNoFixedBound) {
  Score s;
  std::string text = "=1";
  for (int i = 2; i <= 300; ++i) text += "," + std::to_string(i);
  int32_t cursor = 1;
  s.smf.readArgList(text, cursor);
  ASSERT_EQ(s.smf.argCount, 300);
  EXPECT_EQ(s.smf.args[299], "300");
  EXPECT_EQ(cursor, static_cast<int32_t>(text.size()) + 1);
}

TEST(ScannerTest, ScanArgs) {
  struct Row {
    const char* text;
    std::vector<std::string> args;
    int32_t cursor;
    std::vector<std::string> errors;
  } rows[] = {
      {"(a, b)", {"a", "b"}, 7, {}},
      {"()x", {""}, 3, {}},
      {"(  x)", {"x"}, 6, {}},
      {"(10 ,20 )", {"10 ", "20 "}, 10, {}},  // spaces before , or ) stay
      {"(f(1,2),3)", {"f(1", "2)", "3"}, 11, {}},
      {"(a(b)c)", {"a(b)c"}, 8, {}},
      {"(\"a,b\",3)", {"\"a,b\"", "3"}, 10, {}},
      {"(\"a)\")", {}, 7, {"4 )が見つかりません"}},  // the quoted ) still closes a level
      {"(\"(\",1)", {"\"(\""}, 8, {"4 )が見つかりません"}},  // ( counts inside quotes too
      {"(a,b", {"a"}, 5, {"4 )が見つかりません"}},
      {"(", {}, 2, {"4 )が見つかりません"}},
      {"=1,2", {"1", "2"}, 5, {}},
      {"+3,4", {"+3", "4"}, 5, {}},
      {"-3 )", {"-3"}, 4, {}},
      {"x(1)", {}, 1, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.args[0] = "stale";
    int32_t cursor = 1;
    s.smf.scanArgs(r.text, cursor);
    EXPECT_EQ(argsOf(s.smf), r.args);
    EXPECT_EQ(s.smf.args[0], r.args.empty() ? "" : r.args[0]);
    EXPECT_EQ(cursor, r.cursor);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(ScannerTest, ReadLength) {
  struct Row {
    const char* text;
    int32_t expected, cursor;
    std::vector<std::string> errors = {};
    int32_t timebase = 96;
  } rows[] = {
      {"", 96, 1},  // the track's default
      {"1", 384, 2},
      {"3", 128, 2},
      {"5", 77, 2},
      {"7", 55, 2},
      {"12", 32, 3},
      {"64", 6, 3},
      {"256", 2, 4},  // 1.5 rounds up to the even 2
      {"384", 1, 4},
      {"768", 0, 4},  // 0.5 rounds down to the even 0: a chord note
      {"48", 2, 3, {}, 30},   // 2.5 -> 2
      {"16", 8, 3, {}, 30},   // 7.5 -> 8
      {"8.", 72, 3},
      {"4..", 216, 4},  // a dot adds half the running total, not half the previous dot
      {"4...", 324, 5},
      {".", 144, 2},
      {"%10.", 15, 5},
      {"%5.", 7, 4},  // 5 + 2.5 rounded to even
      {"%7.", 11, 4},
      {"%10..", 23, 6},
      {"%$10", 16, 5},
      {"4^8", 144, 4},
      {"4|^4", 192, 5},
      {"4||^4", 192, 6},
      {"4|", 96, 3},
      {"4 ^4", 96, 2},  // spaces end the length
      {"4^^", 288, 4},  // a bare ^ adds the default length
      {"4^8.", 168, 5},
      {"4.^4.", 288, 6},
      {"4^0^4", 192, 6},
      {"4^0.", 96, 4},
      {"0", 0, 2},
      {"0.", 0, 2},   // no dots ...
      {"0^4", 0, 2},  // ... or ties after a zero length
      {"%", -1, 2, {"4 %"}},
      {"%0", -1, 3, {"4 %"}},
      {"%-5", -1, 2, {"4 %"}},
      {"4^%0", 95, 5, {"4 %"}},      // a tie that fails adds -1, as it reads
      {"4^%0.^8", 95, 5, {"4 %"}},   // and takes no dots: the dot ends the length
      {"~1", 48, 3},
      {"~2", 0, 3},   // a variable holding 0 gives a chord note
      {"~6", 96, 3},  // -1 reads as missing: the default
      {"~600", 96, 5, {"4 ~"}},
      {"2147483648", -1, 11, {"4 c"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.timebase = r.timebase;
    s.smf.vars[1] = 8;
    s.smf.vars[6] = -1;
    int32_t cursor = 1;
    EXPECT_EQ(s.smf.readLength(r.text, cursor, "c"), r.expected);
    EXPECT_EQ(cursor, r.cursor);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(ScannerTest, ReadLengthUsesTrackDefault) {
  Score s;
  s.smf.curTrack = 3;
  s.smf.track[3].length = 50;
  const std::pair<const char*, int32_t> rows[] = {{"", 50}, {".", 75}, {"^", 100}, {"8^", 98}};
  for (auto [text, expected] : rows) {
    int32_t cursor = 1;
    EXPECT_EQ(s.smf.readLength(text, cursor, "c"), expected) << text;
  }
}

TEST(ScannerTest, ReadNoteValue) {
  struct Row {
    const char* text;
    int32_t octave, value, cursor;
  } rows[] = {
      {"c", 4, 48, 2}, {"d", 4, 50, 2}, {"e", 4, 52, 2},  {"f", 4, 53, 2},   {"g", 4, 55, 2},
      {"a", 4, 57, 2}, {"b", 4, 59, 2}, {"c", 5, 60, 2},  {"c8", 4, 48, 2},  {"c+", 4, 49, 3},
      {"e-", 4, 51, 3}, {"c++-4", 4, 49, 5},
      {"c-", 0, -1, 3},     // the note handler treats -1 as an error
      {"b+", 10, 132, 3},   // out of range here; clamped later
      {"n60", 4, 60, 4},    {"n60,8", 4, 60, 5}, {"n60+", 4, 61, 5}, {"n60,+", 4, 61, 6},
      {"n$3C", 4, 60, 5},   {"n~1", 4, 72, 4},   {"n", 4, -1, 2},    {"n,", 4, -1, 3},
      {"n+", 4, 0, 3},  // accidentals apply to a missing number as well
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.vars[1] = 72;
    s.smf.track[0].octave = r.octave;
    int32_t cursor = 1;
    EXPECT_EQ(s.smf.readNoteValue(r.text, cursor), r.value);
    EXPECT_EQ(cursor, r.cursor);
  }
}

}  // namespace zan::test
