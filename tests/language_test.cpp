// SPDX-License-Identifier: MIT
// The language of the texts: chosen from the locale's variables, or by
// --lang; English from the catalog, the originals byte for byte otherwise,
// and an error line of the same shape in either.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "test_support.h"
#include "zan/translate.h"

namespace zan::test {
namespace {

namespace fs = std::filesystem;

// Sets the language for one test and restores the one before.
struct LanguageScope {
  std::string before{language()};
  explicit LanguageScope(std::string_view name) { EXPECT_TRUE(setLanguage(name)); }
  ~LanguageScope() { setLanguage(before); }
};

std::map<std::string, std::string>* environment = nullptr;
const char* fakeGetenv(const char* name) {
  auto found = environment->find(name);
  return found == environment->end() ? nullptr : found->second.c_str();
}

TEST(Language, ChosenFromTheVariablesInGettextsOrder) {
  struct Row {
    std::map<std::string, std::string> variables;
    const char* language;
  };
  const Row rows[] = {
      {{}, "ja"},
      {{{"LANG", "C"}}, "ja"},
      {{{"LANG", "C.UTF-8"}}, "ja"},
      {{{"LANG", "POSIX"}}, "ja"},
      {{{"LANG", "ja_JP.UTF-8"}}, "ja"},
      {{{"LANG", "en_US.UTF-8"}}, "en"},
      {{{"LANG", "en_GB"}}, "en"},
      {{{"LANG", "de_DE.UTF-8"}}, "en"},  // no German catalog: English rather than Japanese
      {{{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, "ja"},
      {{{"LC_ALL", ""}, {"LANG", "en_US.UTF-8"}}, "en"},
      {{{"LC_MESSAGES", "en_US.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
      {{{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, "ja"},
      {{{"LANGUAGE", "en"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
      {{{"LANGUAGE", "en"}, {"LANG", "C.UTF-8"}}, "ja"},  // LANGUAGE counts only beside a locale
      {{{"LANGUAGE", "en"}}, "ja"},
      {{{"LANGUAGE", "fr:ja:en"}, {"LANG", "en_US.UTF-8"}}, "ja"},
      {{{"LANGUAGE", "::fr"}, {"LANG", "ja_JP"}}, "ja"},
      {{{"LANG", "en_US.UTF-8@euro"}}, "en"},
  };
  for (const Row& r : rows) {
    std::map<std::string, std::string> variables = r.variables;
    environment = &variables;
    EXPECT_EQ(languageFromEnvironment(fakeGetenv), r.language) << ::testing::PrintToString(r.variables);
  }
  environment = nullptr;
}

TEST(Language, NamesAsUsersAndLocalesWriteThem) {
  const std::pair<const char*, const char*> rows[] = {
      {"en", "en"}, {"en_US.UTF-8", "en"}, {"ja", "ja"}, {"ja_JP.eucJP", "ja"}, {"C", "ja"}, {"", "ja"}, {"fr", ""},
      {"english", ""},
  };
  for (const auto& [name, language] : rows) EXPECT_EQ(matchLanguage(name), language) << name;
  LanguageScope english("en");
  EXPECT_FALSE(setLanguage("fr"));
  EXPECT_EQ(language(), "en");
}

TEST(Language, TextsComeFromTheCatalogOrAsWritten) {
  const char* const unknown = "not in any catalog";
  {
    LanguageScope english("en");
    EXPECT_STREQ(tr("引数が不正です"), "bad argument");
    EXPECT_STREQ(tr("小節目"), "beat");
    EXPECT_EQ(tr(unknown), unknown);
    EXPECT_STREQ(tr(""), "");  // the catalog's header is no text
  }
  LanguageScope originals("ja");
  EXPECT_STREQ(tr("引数が不正です"), "引数が不正です");
  EXPECT_STREQ(trIn("en", "文法のエラー"), "syntax error");
}

TEST(Language, AnEnglishErrorLineKeepsTheShapeTheEditorReads) {
  LanguageScope english("en");
  TSmf smf;
  std::vector<std::string> lines;
  smf.messageSink = [&](const std::string& l) { lines.push_back(toUtf8(l)); };
  smf.lineIndex = 12;
  smf.curTrack = 2;
  smf.ptr[2] = 400;
  smf.timebase = 96;
  smf.ReportError(4, "v");
  EXPECT_EQ(lines, std::vector<std::string>{"err(12)\"v\":bad argument\"> _tr<2> ptr=400<4>beat"});
  Score s;
  s.compile("[c\n");
  EXPECT_EQ(s.errors(), std::vector<std::string>{"err(1)\"] is 1 short.\":syntax error\"> _tr<0> ptr=96<1>beat"});
}

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LanguageCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::path(::testing::TempDir()) / "zan_language_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // zan's standard output for `score` with only LANG set, and its status.
  std::string run(const std::string& lang, const std::string& score, const std::string& args = "--check",
                  int* status = nullptr) {
    std::ofstream(dir_ / "s.zan", std::ios::binary) << score;
    const std::string cmd = "cd '" + dir_.string() + "' && env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=" + lang +
                            " '" ZAN_CLI_PATH "' " + args + " s.zan >.out 2>.err";
    const int raw = std::system(cmd.c_str());
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return readText(dir_ / ".out") + readText(dir_ / ".err");
  }
  fs::path dir_;
};

TEST_F(LanguageCliTest, EnglishUnderAnEnglishLocaleTheOriginalsUnderCAndJapanese) {
  struct Row {
    const char* score;
    const char* english;
    const char* original;
  };
  const Row rows[] = {
      {"c c c c c v300x\n", "err(0)\"x\":undecipherable character\"> _tr<0> ptr=480<5>beat\n",
       "err(0)\"x\":解読不能文字です\"> _tr<0> ptr=480<5>小節目\n"},
      {"]\n", "err(0)\"too many ]\":syntax error\"> _tr<0> ptr=0<0>beat\n",
       "err(0)\"]が多い\":文法のエラー\"> _tr<0> ptr=0<0>小節目\n"},
      {"[c\n", "err(1)\"] is 1 short.\":syntax error\"> _tr<0> ptr=96<1>beat\n",
       "err(1)\"] が1つ足りません。\":文法のエラー\"> _tr<0> ptr=96<1>小節目\n"},
      {"#include \"none.zan\"\n", "err(0)\"the file \"none.zan\" cannot be opened\":unknown error\"> _tr<0> ptr=0<0>beat\n",
       "err(0)\"指定されたファイル\"none.zan\"が開けません\":原因不明のエラー\"> _tr<0> ptr=0<0>小節目\n"},
      {"q%5\n",
       "err(0)\"q given a % value\":syntax error\"> _tr<0> ptr=0<0>beat\n"
       "err(0)\"5\":undecipherable character\"> _tr<0> ptr=0<0>beat\n",
       "err(0)\"qに%指定をした\":文法のエラー\"> _tr<0> ptr=0<0>小節目\n"
       "err(0)\"5\":解読不能文字です\"> _tr<0> ptr=0<0>小節目\n"},
      {"_print(hello)\n", "hello\n", "hello\n"},
  };
  for (const Row& r : rows) {
    const std::string english = std::string("Compile Start\n") + r.english + "ok\n";
    const std::string original = std::string("Compile Start\n") + r.original + "ok\n";
    EXPECT_EQ(run("en_US.UTF-8", r.score), english) << r.score;
    EXPECT_EQ(run("C", r.score), original) << r.score;
    EXPECT_EQ(run("ja_JP.UTF-8", r.score), original) << r.score;
  }
  const std::string tenErrors = run("en_US.UTF-8", "1234567890c\n");
  EXPECT_NE(tenErrors.find("\nMore than 10 errors: compile stopped.\n"), std::string::npos) << tenErrors;
  EXPECT_NE(run("C", "1234567890c\n").find("\nエラー数が１０個を超えたので、コンパイルを中止します。\n"), std::string::npos);
  EXPECT_EQ(run("en_US.UTF-8", "]\n", "--check --diagnostics=gcc"),
            "s.zan:1:1: error: syntax error \"too many ]\" (track 0, tick 0) [e5]\n");
  EXPECT_EQ(run("C", "]\n", "--check --diagnostics=gcc"),
            "s.zan:1:1: error: 文法のエラー \"]が多い\" \u2014 syntax error (track 0, tick 0) [e5]\n");
}

TEST_F(LanguageCliTest, LangOverridesTheLocaleForOneRun) {
  EXPECT_EQ(run("C", "]\n", "--lang=en --check"),
            "Compile Start\nerr(0)\"too many ]\":syntax error\"> _tr<0> ptr=0<0>beat\nok\n");
  EXPECT_EQ(run("en_US.UTF-8", "]\n", "--check --lang ja"),
            "Compile Start\nerr(0)\"]が多い\":文法のエラー\"> _tr<0> ptr=0<0>小節目\nok\n");
  int status = 0;
  EXPECT_EQ(run("C", "]\n", "--lang=fr --check", &status),
            "zan: --lang fr: the languages are ja, en (see zan --help)\n");
  EXPECT_EQ(status, 2);
}

// The catalog reader of the build: fuzzy and empty entries are left out,
// strings continue over lines, and escapes are read.
TEST_F(LanguageCliTest, CatalogsAreReadAsMsgfmtReadsThem) {
  std::ofstream(dir_ / "xx.po", std::ios::binary) << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                                     "#. a comment\nmsgid \"one\"\nmsgstr \"\"\n\"u\\\"n\\\\\"\n\n"
                                                     "#, fuzzy\nmsgid \"two\"\nmsgstr \"deux\"\n\n"
                                                     "msgid \"three\"\nmsgstr \"\"\n";
  const std::string cmd = "'" ZAN_MAKE_CATALOGS_PATH "' '" + (dir_ / "out.cpp").string() + "' '" +
                          (dir_ / "xx.po").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string made = readText(dir_ / "out.cpp");
  EXPECT_NE(made.find("{\"one\",\n     \"u\\\"n\\\\\"}"), std::string::npos) << made;
  EXPECT_EQ(made.find("two"), std::string::npos) << made;
  EXPECT_EQ(made.find("three"), std::string::npos) << made;
  EXPECT_NE(made.find("{\"xx\", k_0, k_0_count}"), std::string::npos) << made;
  std::ofstream(dir_ / "bad.po", std::ios::binary) << "msgid \"a\"\nmsgstr \"b\"\nmsgid \"a\"\nmsgstr \"c\"\n";
  EXPECT_NE(std::system(("'" ZAN_MAKE_CATALOGS_PATH "' /dev/null '" + (dir_ / "bad.po").string() + "' 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace zan::test
