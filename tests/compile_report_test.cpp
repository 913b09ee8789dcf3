// SPDX-License-Identifier: MIT
// Diagnostics with places, the reference's index and what tools find in a
// score's text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "zan/compile_report.h"
#include "zan/cp932.h"
#include "zan/reference.h"
#include "zan/score_outline.h"

namespace zan {
namespace {

namespace fs = std::filesystem;

// "kind file:line:column-endColumn" (1-based, byte columns) for each diagnostic.
std::vector<std::string> places(const CompileReport& r) {
  const char* kinds[] = {"error", "warning", "note", "progress"};
  std::vector<std::string> out;
  for (const Diagnostic& d : r.diagnostics) {
    std::string s = kinds[static_cast<int>(d.kind)];
    if (d.file >= 0)
      s += " " + std::to_string(d.file) + ":" + std::to_string(d.line + 1) + ":" + std::to_string(d.column) + "-" +
           std::to_string(d.endColumn);
    if (d.errorNumber >= 0) s += " e" + std::to_string(d.errorNumber);
    out.push_back(s);
  }
  return out;
}

CompileReport compile(const std::string& utf8, std::string scorePath = {}) {
  TSmf smf;
  smf.sourceLines.setText(toCp932(utf8));
  smf.scorePath = std::move(scorePath);
  DiagnosticCollector collector(smf, "s.zan");
  smf.CompileLines();
  return collector.take();
}

TEST(CompileReport, EachMessageHasTheFileLineAndColumnItConcerns) {
  struct Row {
    const char* score;
    std::vector<std::string> places;
  };
  const Row rows[] = {
      {"c d x", {"progress", "error 0:1:5-6 e2"}},
      {"c\nv c 1000", {"progress", "error 0:2:1-3 e4", "error 0:2:5-6 e2", "error 0:2:6-7 e2", "error 0:2:7-8 e2", "error 0:2:8-9 e2"}},
      // After a double-byte character the column counts its two bytes.
      {"{日本} c x", {"progress", "error 0:1:10-11 e2"}},
      // An error inside a macro's expansion points at the call; text after
      // the call keeps its own columns.
      {"_m(AB,c x)\nc AB d x", {"progress", "error 0:2:3-5 e2", "error 0:2:8-9 e2"}},
      {"_m(AB,c ?1)\n AB", {"progress", "error 0:2:2-4 e3"}},
      // Several expansions on one line, one inside another's arguments.
      {"_m(AB,c)\nAB EX=$F0,$F7 c AB Q x", {"progress", "error 0:2:4-15 e3", "error 0:2:20-21 e4", "error 0:2:22-23 e2"}},
      {"_print(hi) c", {"progress", "note 0:1:1-11"}},
      // A repeat left open: at its start.
      {"c\n  [2 c", {"progress", "error 0:2:3-4 e5"}},
  };
  for (const Row& r : rows) EXPECT_EQ(places(compile(r.score)), r.places) << r.score;
}

TEST(CompileReport, LinesOfIncludedFilesKeepTheirOwnPlaces) {
  const fs::path dir = fs::path(::testing::TempDir()) / "zan_report_include";
  fs::create_directories(dir / "inc");
  std::ofstream(dir / "inc" / "sub.zan") << "c\nc x\n#include \"sub2.zan\"\n";
  std::ofstream(dir / "inc" / "sub2.zan") << "y\n";
  const CompileReport r = compile("#include \"sub.zan\"\nc x", (dir / "inc" / "s.zan").string());
  EXPECT_EQ(places(r), (std::vector<std::string>{"progress", "note 0:1:1-19", "error 1:2:3-4 e2", "note 1:3:1-20",
                                                 "error 2:1:1-2 e4", "error 0:2:3-4 e2"}));
  ASSERT_EQ(r.files.size(), 3u);
  EXPECT_EQ(r.files[1].path, (dir / "inc" / "sub.zan").string());
  EXPECT_EQ(r.files[2].includedFromFile, 1);
  EXPECT_EQ(r.files[2].includedFromLine, 2);
  EXPECT_EQ(r.errors, 3);
  fs::remove_all(dir);
}

TEST(CompileReport, ColumnsInCharactersAndBack) {
  const std::string line = toCp932("あいc");  // bytes 1-2, 3-4, 5
  EXPECT_EQ(characterColumn(line, 1), 1);
  EXPECT_EQ(characterColumn(line, 3), 2);
  EXPECT_EQ(characterColumn(line, 5), 3);
  EXPECT_EQ(characterColumn(line, 7), 5);  // past the end: one byte, one character
  EXPECT_EQ(byteColumn(line, 3), 5);
  const std::vector<LostCharacters> lost = findLostCharacters("c\nd \xF0\x9F\x8E\xB5 e \xF0\x9F\x8E\xB5\n");
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].line, 1);
  EXPECT_EQ(lost[0].column, 3);
  EXPECT_EQ(lost[0].count, 2);
}

TEST(Reference, TopicsHaveKeywordsSummaryAndForm) {
  const std::string page =
      "# Page\n\n### `t` — tempo\n\n```\nt bpm\n```\n\nSets it.\n\n```text\n### not a heading\n```\n"
      "### `EX` `EX2` — sysex\n\nText first.\n\n```\nEX=...\n```\n## Next\n";
  const std::vector<ReferenceTopic> topics = indexReferencePage("p.md", page);
  ASSERT_EQ(topics.size(), 2u);
  EXPECT_EQ(topics[0].keywords, (std::vector<std::string>{"t", "t — tempo"}));
  EXPECT_EQ(topics[0].summary, "tempo");
  EXPECT_EQ(topics[0].form, "t bpm");
  EXPECT_EQ(topics[0].pageTitle, "Page");
  EXPECT_NE(topics[0].markdown.find("### not a heading"), std::string::npos);
  EXPECT_EQ(topics[1].form, "") << "the usage block must come first";
  EXPECT_EQ(topics[1].markdown.find("## Next"), std::string::npos);
  EXPECT_EQ(matchTopics(topics, "EX2"), std::vector<size_t>{1});
  EXPECT_EQ(matchTopics(topics, "ex"), std::vector<size_t>{1});
  EXPECT_EQ(matchTopics(topics, "t120"), std::vector<size_t>{});
  EXPECT_EQ(matchTopics(topics, "t(1)"), std::vector<size_t>{0});
}

TEST(Reference, EveryErrorTheCompilerReportsIsExplained) {
  EXPECT_EQ(errorExplanation(2), "undecipherable character");
  EXPECT_EQ(errorExplanation(4), "bad argument");
  for (int n = 0; n <= 5; ++n) EXPECT_FALSE(errorExplanation(n).empty()) << n;
  EXPECT_EQ(errorExplanation(7), "");
  EXPECT_EQ(errorDescription(0), "Unknown error.");  // its section opens with a list
  EXPECT_EQ(errorDescription(2).rfind("\"Undecipherable character\": a character where", 0), 0u) << errorDescription(2);
  EXPECT_FALSE(matchTopics(referenceTopics(), "#include").empty());
}

TEST(ScoreOutline, CommentsAndMacroDefinitions) {
  bool unclosed = false;
  const std::string text = "{intro} c {a{b}c} {open";
  const std::vector<CommentSpan> comments = findComments(text, &unclosed);
  ASSERT_EQ(comments.size(), 2u);
  EXPECT_EQ(text.substr(comments[1].start, comments[1].length), "{a{b}");
  EXPECT_TRUE(unclosed);
  const std::vector<MacroDefinition> defs =
      findMacroDefinitions({"c _m(AB, c d) _m(\"Q2\",\"e ?1\")", "_m(, x) _m(C"});
  ASSERT_EQ(defs.size(), 2u);
  EXPECT_EQ(defs[0].name, "AB");
  EXPECT_EQ(defs[0].column, 5);
  EXPECT_EQ(defs[0].body, "c d");
  EXPECT_EQ(defs[1].name, "Q2");
  EXPECT_EQ(defs[1].column, 18);
  EXPECT_EQ(macroForm(defs[1].name, defs[1].body), "Q2(\u2026)");
}

}  // namespace
}  // namespace zan
