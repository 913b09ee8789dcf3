// SPDX-License-Identifier: MIT
// A language added as a file: a made-up catalog, xx.po, made from the
// template as a translator starts one and built in by the build's own
// catalog tool in place of the program's catalogs (po/en.po and xx.po), is
// chosen as any language is and translates the texts written in English and
// those written in Japanese alike, along the paths the programs take.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "zan/cp932.h"
#include "zan/text_helpers.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

namespace {

std::string inXx(const std::string& original) { return "[xx]" + original; }

TEST(ThirdLanguage, IsChosenAsAnyLanguageIs) {
  const std::vector<std::string_view> spoken = zan::languages();
  EXPECT_NE(std::find(spoken.begin(), spoken.end(), "xx"), spoken.end());
  EXPECT_EQ(zan::matchLanguage("xx_YY.UTF-8"), "xx");
  EXPECT_EQ(zan::languageFromEnvironment([](const char* name) -> const char* {
              return std::string_view(name) == "LANG" ? "xx_YY.UTF-8" : nullptr;
            }),
            "xx");
}

TEST(ThirdLanguage, TranslatesEnglishAndJapaneseOriginalsAlike) {
  ASSERT_TRUE(zan::setLanguage("xx"));
  const char* const originals[] = {
      "引数が不正です",                                  // a compile error, written in Japanese
      "小節目",                                          // the error line's label
      "cannot write ",                                   // the library, in English
      "no SoundFont found (give one with its path)",     // the player
      "The position is outside the document",            // the language server
      " (see zan --help)",                               // zan's option errors
      "&File",                                           // the editor's menu, from its table
      "テキストが変更されています。保存しますか？",      // the editor's prompt, in Japanese
      "Not exported: ",                                  // the editor's status text, in English
  };
  for (const char* original : originals) {
    EXPECT_EQ(zan::tr(original), inXx(original)) << original;
    EXPECT_EQ(zan::trIn("ja", original), std::string(original)) << original;
  }
  EXPECT_STREQ(zan::trIn("en", "引数が不正です"), "bad argument");
  EXPECT_STREQ(zan::trIn("en", "cannot write "), "cannot write ");  // English is its own msgid
  zan::setLanguage("ja");
}

TEST(ThirdLanguage, ReachesTheMessagesOfTheLibrary) {
  ASSERT_TRUE(zan::setLanguage("xx"));
  std::string contents, error;
  EXPECT_EQ(zan::ReadFile("/nonexistent/score.zan", 1024, zan::ReadAs::Score, contents, error),
            zan::ReadStatus::Failed);
  EXPECT_EQ(error.rfind(inXx("cannot open /nonexistent/score.zan: "), 0), 0u) << error;
  zan::TSmf smf;
  std::vector<std::string> lines;
  smf.messageSink = [&](const std::string& l) { lines.push_back(zan::toUtf8(l)); };
  smf.ReportError(4, "v");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "err(0)\"v\":" + inXx("引数が不正です") + "\"> _tr<0> ptr=0<0>" + inXx("小節目"));
  zan::setLanguage("ja");
}

}  // namespace
