// SPDX-License-Identifier: MIT
// Macros: the table, _m definitions in their four forms, expansion at the
// cursor and inside arguments, and the bounds on expansion that never ends.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;



std::string line(const Score& s, int i) { return toUtf8(s.smf.sourceLines[i]); }
std::string lastLine(const Score& s) { return line(s, s.smf.sourceLines.size() - 1); }
std::string body(const Score& s, const char* name) { return toUtf8(s.smf.macros.FindMacro(toCp932(name))); }
bool defined(const Score& s, const char* name) {
  for (const Tmacro::Entry& e : s.smf.macros.entries())
    if (e.name == toCp932(name)) return true;
  return false;
}

const std::string kSelfUse = "マクロの中でマクロ自身を使う事はできません。";

TEST(MacroTableTest, AddReplaceFindAndUnquote) {
  Tmacro m;
  m.AddMacro("ABC", "cde");
  m.AddMacro("XY", "r");
  m.AddMacro("ABC", "efg");  // replaced in place
  m.AddMacro("Abc", "g");    // names are case-sensitive
  m.AddMacro("\"QN\"", "c");
  m.AddMacro("E1", "\"\"");
  m.AddMacro("E2", "\"c d");
  m.AddMacro("E3", "c \"d\" e\"");
  m.AddMacro("E4", "\"");
  Lines names;
  for (const Tmacro::Entry& e : m.entries()) names.push_back(e.name + "=" + e.body);
  EXPECT_EQ(names, (Lines{"ABC=efg", "XY=r", "Abc=g", "QN=c", "E1=", "E2=c d", "E3=c \"d\" e", "E4="}));
  EXPECT_EQ(m.FindMacro("ABC"), "efg");
  EXPECT_EQ(m.FindMacro("QN"), "c");
  EXPECT_EQ(m.FindMacro("\"QN\""), "");
  EXPECT_EQ(m.FindMacro("AB"), "");
  m.Clear();
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.FindMacro("ABC"), "");
  m.AddMacro("ABC", "x");
  EXPECT_EQ(m.entries()[0].body, "x");
}

TEST(MacroTest, Definitions) {
  struct Row {
    const char* source;
    const char* name;
    const char* body;  // nullptr: not defined
    Lines errors;
    const char* notes = "";
  } rows[] = {
      {"_m(XA,c d e)", "XA", "c d e", {}},
      {"_m(XA,   c d e )", "XA", "c d e ", {}},
      {"_m(XA, \"c (d) e\" )", "XA", "c (d) e", {}},
      {"_m(XA, 'c')", "XA", "'c'", {}},
      {"_m(\"XA\",\"c\")", "XA", "c", {}},
      {"_m( XA ,c)", " XA ", "c", {}},
      {"_m(T,c)", "T", "c", {}},  // a user definition replaces the library's
      {"_m(c,e g)", "c", "e g", {}},
      // Quoted over several lines, joined with nothing; compiling goes on
      // after the ) on the last line.
      {"_m(XA, \"c d\ne f\") g", "XA", "c de f", {}, "g"},
      {"_m(XA, \"c\nd\n\ne\" ) g", "XA", "cde", {}, "g"},
      // Segments joined with +, one space between, a {comment} allowed.
      {"_m(XA, \"c d\" +\n   {second} \"e f\")", "XA", "c d e f", {}},
      {"_m(XA, \"c\" +  \n\t\"d\" + ignored\n \"e\" ) g", "XA", "c d e", {}, "g"},
      // Faults: nothing is defined and compiling goes on at the cursor.
      {"_m", "XA", nullptr, {"0:4 _m"}},
      {"_m(c d)", "c d)", nullptr, {"0:4 _m", "0:2 )"}, "c d"},
      {"_m(XA, c d", "XA", nullptr, {"0:4 _m"}, "c d"},
      {"_m(XA, \"c\" d)", "XA", nullptr, {"0:4 _m", "0:2 )"}, "d"},
      {"_m(XA, \"c\" +", "XA", nullptr, {"0:4 _m", "0:2 +"}},
      {"_m(XA, \"c\" +\nd)", "XA", nullptr, {"1:4 _m", "1:2 )"}, "d"},
      {"_m(XA, \"c\" +\n\"d)", "XA", nullptr, {"1:4 _m", "1:2 )"}, "d"},
      {"_m(XA, \"c\" +\n{ \"d\")", "XA", nullptr, {"1:4 _m", "1:5 }がない"}},
      {"_m(, c)", "", nullptr, {"0:4 _m"}},
      {"_m(\"\", c)", "", nullptr, {"0:4 _m"}},
      {"_m(cd,e)", "cd", nullptr, {"0:4 _m...小文字は１文字マクロです"}},
      {"_m(c,c e)", "c", nullptr, {"0:5 マクロの中でマクロは定義できません。"}},
      {"_m(XA,XA)", "XA", nullptr, {"0:5 \"XA\"" + kSelfUse}},
      {"_m(XA,c XA)", "XA", nullptr, {"0:5 \"XA\"" + kSelfUse}},
      {"_m(ABC,XABC)", "ABC", nullptr, {"0:5 \"ABC\"" + kSelfUse}},
      {"_m(ABC,ABCD)", "ABC", "ABCD", {}},
      {"_m(ABC,ABCD ABC)", "ABC", "ABCD ABC", {}},  // only the first occurrence counts
      // A quoted body never closed: reported past the last line; the lines read
      // as body text are compiled, the rest of the _m( line is not.
      {"e _m(XA, \"c d\nf\ng", "XA", nullptr, {"3:5 _m(XA"}, "e f g"},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    if (r.body)
      EXPECT_EQ(body(s, r.name), r.body) << r.source;
    else
      EXPECT_FALSE(defined(s, r.name)) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
    EXPECT_EQ(notes(s), r.notes) << r.source;
  }
  Score s;
  s.compile("e _m(XA, \"c d\nf\ng");
  EXPECT_EQ(s.smf.sourceLines.lines(), (Lines{toCp932("e _m(XA, \"c d"), "f", "g"}));
}

TEST(MacroTest, Expansion) {
  struct Row {
    const char* source;
    const char* expanded;  // the last line as stored
    Lines errors;
    const char* notes;
  } rows[] = {
      {"_m(XA,c d e)\nXA", "{XA}c d e", {}, "c d e"},
      {"_m(XA,c)\nXAd", "{XA}cd", {}, "c d"},
      {"_m(XL,l?1)\nXL(8)c", "{XL}l8c", {}, "c"},
      {"_m(XL,l?1)\nXL=8 c", "{XL}l8c", {}, "c"},  // the list form ends after its spaces
      {"_m(XL,l?)\nXL(8)", "{XL}l8", {}, ""},
      {"_m(XL,c?1)\nXL", "{XL}c", {"1:3 XL"}, "c"},
      {"_m(XO,c?14)\nXO(5)", "{XO}c", {"1:3 XO"}, "c"},
      {"_m(XO,c?0)\nXO(5)", "{XO}c", {"1:3 XO"}, "c"},
      {"_m(XB,?1 ?2)\nXB", "{XB} ", {"1:3 XB", "1:3 XB"}, ""},
      {"_m(XB,?2 ?1 ?2)\nXB(c,d)", "{XB}d c d", {}, "d c d"},
      {"_m(XB,?1)\nXB(c?2)", "{XB}c", {"1:3 XB"}, "c"},  // marks in inserted arguments count
      // Without a mark in the body the argument list stays in the line.
      {"_m(XA,c)\nXA(8)", "{XA}c(8)", {"1:2 (", "1:2 8", "1:2 )"}, "c"},
      {"_m(XA,'c' d)\nXA", "{XA}\"c\" d", {}, "c d"},
      // Names further inside a body expand when the cursor gets there.
      {"_m(XA,c)\n_m(XB,d XA e)\nXB", "{XB}d {XA}c e", {}, "d c e"},
      {"_m(XA,c)\n_m(XB,XA d)\nXB", "{XB}{XA}c d", {}, "c d"},
      // Arguments are expanded first, without comments or quote changes.
      {"_m(XA,c)\n_m(XB,?2 ?1)\nXB(XA,d)", "{XB}d c", {}, "d c"},
      {"_m(XL,l?)\n_m(XB,?1c)\nXB(XL(8))", "{XB}l8c", {}, "c"},
      {"_m(XA,'c')\n_m(XB,?1)\nXB(XA)", "{XB}'c'", {"2:2 '", "2:2 '"}, "c"},
      // The longest run is the name; after a miss the next letter is tried.
      {"_m(XA,c)\nXAY YXA", "XAY Y{XA}c", {"1:2 X", "1:2 A", "1:2 Y", "1:2 Y"}, "c"},
      {"XA\n_m(XA,c)", "_m(XA,c)", {"0:2 X", "0:2 A"}, ""},
      {"_m(XA,c)\nXA\n_m(XA,d)\nXA", "{XA}d", {}, "c d"},
      // Missing parameters of the listed macros are left empty silently, by
      // a substring test; inside arguments they are always reported.
      {"_m(ACE,c?2)\nACE(1)", "{ACE}c", {}, "c"},
      {"_m(AC,?2c)\nAC(1)", "{AC}c", {}, "c"},
      {"_m(XC,?2c)\nXC(1)", "{XC}c", {"1:3 XC"}, "c"},
      {"_m(ACE,?2c)\n_m(XB,?1)\nXB(ACE)", "{XB}c", {"2:3 ACE"}, "c"},
      // Lowercase one-letter macros: only on tracks with _smon, never inside
      // arguments (there the letter is expanded later, at the cursor).
      {"_smon _m(x,c e g)\nx _tr(1) x", "{x}c e g _tr(1) x", {"1:2 x"}, "c e g"},
      {"_m(x,c)\n_smon _smoff x", "_smon _smoff x", {"1:2 x"}, ""},
      {"_smon\n_m(x,c)\n_m(XB,?1)\nXB(x)", "{XB}{x}c", {}, "c"},
      // A definition over several lines goes on after its ) on the last one.
      {"_m(XA, \"c\nd\") XA", "d\") {XA}cd", {}, "c d"},
      {"_m(XA, \"c\" +\n {x} \"d\") XA", " {x} \"d\") {XA}c d", {}, "c d"},
      // A mark substituted without end ends the compile.
      {"_m(XB,d?1)\nXB(?1)e", " ", {"1:5 マクロの引数を置き換える回数の上限(65536)を超えたので、コンパイルを中止します: XB"}, ""},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(lastLine(s), r.expanded) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
    EXPECT_EQ(notes(s), r.notes) << r.source;
  }
}

TEST(MacroTest, LibraryMacroExpandsAtTheCursor) {
  Score s;
  s.smf.lineText = "TR(c,e,g) d";
  s.smf.column = 1;
  s.smf.ExpandAtCursor();
  EXPECT_EQ(s.smf.lineText, "{TR}_tr(0)\\7(c,e,g) d");
  EXPECT_EQ(s.smf.column, 5);
}

TEST(MacroTest, LineOfThousandsOfCalls) {
  std::string source = "_m(XA,?1 )\n_m(XB,\"XA(?1)\")\n", expanded, expectedNotes;
  const char* const kLetters[] = {"c", "d", "e", "f", "g", "a", "b"};
  for (int i = 0; i < 3000; ++i) {
    const std::string n = kLetters[i % 7];
    source += "XB(" + n + ")";
    expanded += "{XB}{XA}" + n + " ";
    expectedNotes += (i ? " " : "") + n;
  }
  Score s;
  s.compile(source);
  EXPECT_TRUE(s.errors().empty());
  EXPECT_TRUE(line(s, 2) == expanded);
  EXPECT_TRUE(notes(s) == expectedNotes);
  EXPECT_EQ(s.smf.ptr[0], 3000 * 96);
}

}  // namespace
}  // namespace zan::test
