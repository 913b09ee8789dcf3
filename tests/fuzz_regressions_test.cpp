// SPDX-License-Identifier: MIT
// Inputs the compile fuzzer found, each once a crash, a hang or a sanitizer
// report. Each must now compile to the end: "ok" last, a file written.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

// Nine errors, so that the next one is the tenth and cuts the compile short.
const std::string kNineErrors = "X X X X X X X X X\n";

TEST(FuzzRegressionTest, CompilesToTheEnd) {
  struct Row {
    const char* what;
    std::string source;
  } rows[] = {
      // Commands that rewrite their own text after reading arguments whose
      // errors can be the tenth: the rewrite used to land in the final empty
      // line the cut-off had moved to, and to throw there.
      {"DIV tie", kNineErrors + "DIV(4,c,d)^%0 e"},
      {"CD_ length", kNineErrors + "CD_(%0,c,e)"},
      {"TR list", kNineErrors + "TR(c,e"},
      {"SEL selector", kNineErrors + "SEL(~999,c,d) e"},
      {"IF condition", kNineErrors + "IF(~999>1,c,d) e"},
      {"nno prefix", kNineErrors + "~1=nno(o~999c) e"},
      {"len fragment", kNineErrors + "~1=len(c4"},
      {"macro arguments", kNineErrors + "_m(XA,?1 ?2) XA(c,~999) e"},
      // A selection left open by a jump to another line.
      {"SEL across lines", "[2 SEL(1,\"c\n\") ]\nd ]"},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    ASSERT_FALSE(s.messages.empty()) << r.what;
    EXPECT_EQ(s.messages.back(), "ok") << r.what;
    EXPECT_GE(s.file.size(), 14u) << r.what;
  }
}

TEST(FuzzRegressionTest, ARegionLeftOpenStaysOnItsLine) {
  // The first selection's marker is hidden by the comment in its text, so its
  // region stays pending; a marker on the next line must not cut that line.
  Score s;
  s.compile("SEL(1,\"c ;\")\nd e f g a b c d e f g \\27(=>\\27) a b");
  EXPECT_TRUE(s.errors().empty());
  EXPECT_EQ(notes(s), "c d e f g a b c d e f g a b");
  EXPECT_EQ(toUtf8(s.smf.sourceLines[1]), "d e f g a b c d e f g \\27(=>\\27) a b");
}

}  // namespace
}  // namespace zan::test
