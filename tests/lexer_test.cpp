// SPDX-License-Identifier: MIT
// The lexer: the spans of a line, the state a line hands to the next, and
// agreement with the compiler on which bytes it cannot decipher.
#include <gtest/gtest.h>

#include "test_support.h"
#include "zan/lexer.h"

namespace zan::test {
namespace {

// Spans as "kind:text" words, the kinds by one letter each.
std::string spans(std::string_view line, LexState& state) {
  static constexpr char kLetter[] = "NLRSCOKDUVXMABE";
  static_assert(sizeof kLetter - 1 == kTokenKindCount);
  std::vector<Token> tokens;
  lexLine(line, state, tokens);
  std::string out;
  for (const Token& t : tokens) {
    if (!out.empty()) out += ' ';
    out += kLetter[static_cast<int>(t.kind)];
    out += ':';
    out += line.substr(static_cast<size_t>(t.start), static_cast<size_t>(t.length));
  }
  return out;
}

std::vector<std::string> lexScore(const std::vector<std::string>& lines) {
  LexState state;
  std::vector<std::string> out;
  for (const std::string& l : lines) out.push_back(spans(l, state));
  return out;
}

TEST(LexerTest, SpansOfOneLine) {
  // N note, L length, R rest, S setting, C channel, O loop/group, K comment,
  // D directive, U underscore, V variable, X numbered, M macro, A argument,
  // B bar line, E undecipherable.
  struct Row {
    const char* line;
    const char* spans;
  };
  const Row rows[] = {
      {"c4 d8. e+16^32", "N:c L:4 N:d L:8. N:e+ L:16^32"},
      {"n60,8 c4,100,12 c &", "N:n60, L:8 N:c L:4 A:,100,12 N:c L:&"},
      {"c4 | ^8 r%12", "N:c L:4 B:| L:^8 R:r L:%12"},
      {"l8 o=5 q+2 < >2", "S:l8 S:o=5 S:q+2 S:< S:>2"},
      {"t120 v100,2 y7,100 @1,2,3 p-100 !+10", "C:t120 C:v100,2 C:y7,100 C:@1,2,3 C:p-100 C:!+10"},
      {"[3 c : d ] /ceg/4", "O:[3 N:c O:: N:d O:] O:/ N:ceg O:/ L:4"},
      {"c ; rest {x}", "N:c K:; rest {x}"},
      {"c {a} d", "N:c K:{a} N:d"},
      {"#timebase 480 #include \"x.zan\"", "D:#timebase 480 D:#include \"x.zan\""},
      {"_print(a, b) _tr(1,2) _smon", "U:_print A:(a, b) U:_tr A:(1,2) U:_smon"},
      {"~1=~2+3 ~3=ptr", "V:~1=~2+3 V:~3=ptr"},
      {"\\24(3) \\0,1", "X:\\24 A:(3) X:\\0 A:,1"},
      {"EX($F0,1) Q=8 ACTIVE_CC(11,0,127,96)", "M:EX E:($F0,1) M:Q A:=8 M:ACTIVE_CC A:(11,0,127,96)"},
      {"ZZ 8 }", "E:ZZ E:8 E:}"},
      {"/c", "E:/ N:c"},
      {"c #end d", "N:c D:#end K: d"},
      {"#octave_up_down 1 #randomize -5 #foo", "D:#octave_up_down 1 D:#randomize -5 D:# N:f S:oo"},
      {"~1=rnd(5) ~2=ptr ~3+4 ~4=M", "V:~1=rnd(5) V:~2=ptr V:~3+4 V:~4=M"},
      {"Q(%10) \\23=8 CD_(4,c,e,g)", "M:Q A:(%10) X:\\23 A:=8 M:CD_ A:(4,c,e,g)"},
  };
  for (const Row& r : rows) {
    LexState state;
    EXPECT_EQ(spans(r.line, state), r.spans) << r.line;
  }
}

TEST(LexerTest, CommentOpenAcrossLines) {
  EXPECT_EQ(lexScore({"c {one", "two ] }d", "e"}),
            (std::vector<std::string>{"N:c K:{one", "K:two ] } N:d", "N:e"}));
}

TEST(LexerTest, MacrosAreKnownFromTheirDefinitionOn) {
  EXPECT_EQ(lexScore({"ZY(8) _m(ZY, l?)", "ZY(8)", "_m(VOL,v) VOL 90"}),
            (std::vector<std::string>{"E:ZY(8) U:_m A:(ZY, l?)", "M:ZY A:(8)",
                                      "U:_m A:(VOL,v) M:VOL A: 90"}));
  // A body over several lines, in quotes and joined with +.
  EXPECT_EQ(lexScore({"_m(X, \"c d", "e\") X _m(Y, \"c\" +", " {second} \"d\") Y"}),
            (std::vector<std::string>{"U:_m A:(X, \"c d", "A:e\") M:X U:_m A:(Y, \"c\" +",
                                      "K:{second} A:\"d\") M:Y"}));
  // What the compiler refuses is not defined.
  EXPECT_EQ(lexScore({"_m(ZY,ZY) _m(cd,e) ZY"}), (std::vector<std::string>{"U:_m A:(ZY,ZY) U:_m A:(cd,e) E:ZY"}));
}

TEST(LexerTest, OneLetterMacrosAndNamesAfterAnInclude) {
  EXPECT_EQ(lexScore({"_m(x,c e) x _smon x _smoff x", "ZZ #include \"f.zan\" ZZ"}),
            (std::vector<std::string>{"U:_m A:(x,c e) E:x U:_smon M:x U:_smoff E:x", "E:ZZ D:#include \"f.zan\" M:ZZ"}));
}

TEST(LexerTest, SkipModeAndEndLeaveTextUncompiled) {
  EXPECT_EQ(lexScore({"_skipon c {x}", "d _m(Z,e) _skipoff Z", "#end", "c"}),
            (std::vector<std::string>{"U:_skipon K:c K:{x}", "K:d U:_m A:(Z,e) U:_skipoff M:Z", "D:#end", "K:c"}));
}

TEST(LexerTest, StatesCompareByContent) {
  LexState a, b;
  std::vector<Token> tokens;
  lexLine("_m(A,c)", a, tokens);
  lexLine("_m(A,c) d", b, tokens);
  EXPECT_TRUE(a == b);
  lexLine("_m(B,c)", b, tokens);
  EXPECT_FALSE(a == b);
}

// Every byte the lexer calls undecipherable is one the compiler reports as
// error 2, and the other way round, over the examples' lines.
TEST(LexerTest, UndecipherableBytesAgreeWithTheCompiler) {
  const char* lines[] = {"c d e f g", "t120 v90 l8 o5 [2 c d : e ]", "ZZ c 8 x", "_m(AB,c?) AB(4) AB", "EX=$F0,1,2 T=3 Q(4)",
                         "~1=3 ~2=~1*2 c~1", "c,,, q0"};
  for (const char* line : lines) {
    LexState state;
    std::vector<Token> tokens;
    lexLine(line, state, tokens);
    int unknown = 0;
    for (const Token& t : tokens)
      if (t.kind == TokenKind::Unknown) unknown += t.length;
    Score s;
    s.compile(line);
    int errors2 = 0;
    for (const std::string& e : s.errors()) errors2 += e.find("解読不能文字です") != std::string::npos;
    EXPECT_EQ(unknown, errors2) << line;
  }
}

}  // namespace
}  // namespace zan::test
