// SPDX-License-Identifier: MIT
// A document under the client's edits: ranges replaced keep the text, its
// lines and their offsets as a whole new text would, and the lexer's kept
// states stay those of a lex from the top.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lsp_document.h"
#include "zan/cp932.h"

namespace zan::lsp {
namespace {

// The lexer's state at the start of every line, lexed from the top.
std::vector<LexState> statesFromTheTop(const std::vector<std::string>& lines) {
  std::vector<LexState> states;
  LexState state;
  std::vector<Token> tokens;
  for (const std::string& line : lines) {
    states.push_back(state);
    lexLine(toCp932(line), state, tokens);
  }
  return states;
}

TEST(Document, RangesReplacedKeepTextLinesAndLexerStates) {
  // Pieces that open and close comments and define macros, so that an edit
  // changes the state of every line after it, or of none.
  const std::vector<std::string> pieces = {"c d e\n", "{", "}", "{ open\n", "} close\n", "_m(AB,c)\n", "AB AB\n", "é\n", "\n",
                                           "c\n",     "d\n",      "e\n",       "r8",         "x",      "日本"};
  std::mt19937 random(7);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  std::string text;
  for (int i = 0; i < 1000; ++i) text += pieces[pick(pieces.size())];
  Document doc;
  doc.setText(text);
  Document fresh;
  for (int edit = 0; edit < 300; ++edit) {
    // A place as the client names it: a line and a UTF-16 column.
    const auto place = [&] {
      const size_t line = pick(doc.lines.size());
      // UTF-16 units are never more than the bytes; past the end is the end.
      return std::pair<int64_t, int64_t>{static_cast<int64_t>(line), static_cast<int64_t>(pick(doc.lines[line].size() + 2))};
    };
    // Edits of a few lines, as typing makes them; the document keeps its size.
    const auto a = place();
    auto b = place();
    b.first = std::min<int64_t>(a.first + static_cast<int64_t>(pick(3)), static_cast<int64_t>(doc.lines.size()) - 1);
    if (b.first == a.first) b.second = std::max(a.second, b.second);
    std::string inserted;
    for (size_t n = pick(3); n > 0; --n) inserted += pieces[pick(pieces.size())];
    if (pick(10) == 0) inserted += "\r\n";  // now and then a line end that splits the whole text again
    ASSERT_TRUE(doc.replace(a.first, a.second, b.first, b.second, inserted));
    fresh.setText(doc.text);
    ASSERT_EQ(doc.lines, fresh.lines) << edit;
    ASSERT_EQ(doc.lineStarts, fresh.lineStarts) << edit;
    ASSERT_GT(doc.lines.size(), 300u);
    // Lines asked for in any order, as a client scrolls.
    const std::vector<LexState> expected = statesFromTheTop(doc.lines);
    for (int ask = 0; ask < 12; ++ask) {
      const size_t line = pick(doc.lines.size());
      ASSERT_TRUE(doc.lexStateAt(line) == expected[line]) << "edit " << edit << ", line " << line;
    }
  }
}

TEST(Document, PlacesOutsideTheTextAreRefused) {
  Document doc;
  doc.setText("ab\ncd");
  EXPECT_FALSE(doc.replace(5, 0, 5, 0, "x"));
  EXPECT_FALSE(doc.replace(1, 1, 0, 0, "x"));
  EXPECT_FALSE(doc.replace(-1, 0, 0, 0, "x"));
  EXPECT_EQ(doc.text, "ab\ncd");
  // A column past its line's end is the end; the line after the last, the end of the text.
  EXPECT_TRUE(doc.replace(0, 99, 2, 0, "!"));
  EXPECT_EQ(doc.text, "ab!");
  EXPECT_EQ(doc.lines, std::vector<std::string>{"ab!"});
}

}  // namespace
}  // namespace zan::lsp
