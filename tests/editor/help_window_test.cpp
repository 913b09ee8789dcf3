// SPDX-License-Identifier: MIT
// The help viewer: the keyword index of the embedded reference, look-ups,
// the list page, and links between the pages.
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <zan/builtin_macros.h>

#include "help_window.h"

namespace {

// Every anchor name of the document shown, and every link target in it.
QStringList anchorNames(const QTextDocument* document) {
  QStringList names;
  for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) names += it.fragment().charFormat().anchorNames();
  return names;
}
QStringList linkTargets(const QTextDocument* document) {
  QStringList hrefs;
  for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (f.isAnchor() && !f.anchorHref().isEmpty() && !hrefs.contains(f.anchorHref())) hrefs.append(f.anchorHref());
    }
  return hrefs;
}

QUrl page(const QString& name, const QString& anchor = {}) {
  QUrl u("qrc:/reference/" + name);
  if (!anchor.isEmpty()) u.setFragment(anchor);
  return u;
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void headingAnchors_data();
  void headingAnchors();
  void indexOfOnePage();
  void everyNumberedCommandHasItsTopic();
  void everyBuiltInMacroLeadsToATopic();
  void lookUp_data();
  void lookUp();
  void severalMatchesShowAList();
  void lookUpScrollsToTheHeading();
  void everyLinkAndTopicLands();
  void backAndForward();
};

void HelpWindowTest::headingAnchors_data() {
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("anchor");
  QTest::newRow("numbered") << QString::fromUtf8("\\3 — transpose") << "3--transpose";
  QTest::newRow("underscore stays") << QString::fromUtf8("CD_ — strum") << "cd_--strum";
  QTest::newRow("several code words") << QString::fromUtf8("c d e f g a b — notes") << "c-d-e-f-g-a-b--notes";
  QTest::newRow("punctuation only") << QString::fromUtf8("! — accent") << "--accent";
  QTest::newRow("Japanese") << QString::fromUtf8("原因不明のエラー — error 0") << QString::fromUtf8("原因不明のエラー--error-0");
  QTest::newRow("brackets and =") << QString::fromUtf8("(a,b) lists") << "ab-lists";
}

void HelpWindowTest::headingAnchors() {
  QFETCH(QString, shown);
  QFETCH(QString, anchor);
  QCOMPARE(HeadingAnchor(shown), anchor);
}

void HelpWindowTest::indexOfOnePage() {
  const QString md = QString::fromUtf8(
      "# Page `x`\n"
      "## Part\n"
      "### `c` `d` — notes of `o4`\n"
      "```zan\n"
      "### not a heading\n"
      "#randomize 7\n"
      "```\n"
      "### Plain heading ###\n"
      "### `c` `d` — notes of `o4`\n"
      "####### seven is no heading\n");
  const QList<HelpTopic> topics = IndexPage("p.md", md);
  QCOMPARE(topics.size(), 3);
  QCOMPARE(topics[0].keywords, (QStringList{"c", "d", QString::fromUtf8("c d — notes of o4")}));
  QCOMPARE(topics[0].anchor, "c-d--notes-of-o4");
  QCOMPARE(topics[0].pageTitle, "Page x");
  QCOMPARE(topics[0].url(), QUrl("qrc:/reference/p.md#c-d--notes-of-o4"));
  QCOMPARE(topics[1].keywords, QStringList{"Plain heading"});
  QCOMPARE(topics[1].anchor, "plain-heading");
  QCOMPARE(topics[2].anchor, "c-d--notes-of-o4-1");
}

// Help on a built-in macro looks up its body, and most bodies are a bare
// numbered command: each of them must open its own topic, not a list of
// \3, \30, \31, ...
void HelpWindowTest::everyNumberedCommandHasItsTopic() {
  const QList<HelpTopic> topics = LoadHelpIndex();
  for (int n = 0; n <= 40; ++n) {
    const QString key = "\\" + QString::number(n);
    const QList<int> found = MatchTopics(topics, key);
    QVERIFY2(found.size() == 1, qPrintable(key));
    QCOMPARE(topics[found[0]].page, "numbered.md");
    QVERIFY2(topics[found[0]].title.startsWith(key + QString::fromUtf8(" — ")), qPrintable(key));
  }
}

void HelpWindowTest::everyBuiltInMacroLeadsToATopic() {
  const QList<HelpTopic> topics = LoadHelpIndex();
  for (const zan::BuiltinMacro& m : zan::builtinMacros()) {
    const QList<int> byName = MatchTopics(topics, m.name);
    QVERIFY2(byName.size() == 1, m.name);
    QCOMPARE(topics[byName[0]].keywords.first(), QString(m.name));
  }
}

void HelpWindowTest::lookUp_data() {
  QTest::addColumn<QString>("keyword");
  QTest::addColumn<QUrl>("expected");

  QTest::newRow("\\3, the body of T") << "\\3" << page("numbered.md", "3--transpose");
  QTest::newRow("\\30 is not \\3") << "\\30" << page("numbered.md", "30--queue-timing-offsets");
  QTest::newRow("T") << "T" << page("library.md", "t--transpose");
  QTest::newRow("t") << "t" << page("channel.md", "t--tempo");
  QTest::newRow("EX2, not EX") << "EX2" << page("library.md", "ex2--system-exclusive-with-checksum");
  QTest::newRow("a later code word") << "d" << page("notes.md", "c-d-e-f-g-a-b--notes");
  QTest::newRow("beginning of one keyword") << "#time" << page("structure.md", "timebase--ticks-per-quarter-note");
  QTest::newRow("letter case ignored as a last resort") << "tr" << page("library.md", "tr--write-into-several-tracks");
  QTest::newRow("body with arguments") << "\\10(10,?1,?2,?3,?4,?5,?6,?7)"
                                       << page("numbered.md", "10--controller-curve");
  QTest::newRow("body with a value list") << "\\2=0,0,?" << page("numbered.md", "2--rpn");
  QTest::newRow("error text") << QString::fromUtf8("原因不明")
                              << page("errors.md", QString::fromUtf8("原因不明のエラー--error-0"));
  QTest::newRow("body after a setting") << "CUT=?1 \\10(6,?1)" << page("library.md", "cut--filter-cutoff");
  QTest::newRow("unknown name") << "LEAD" << page("index.md");
  QTest::newRow("a name is not its first letter") << "LX" << page("index.md");
  QTest::newRow("a note after an octave") << "o4 c" << page("index.md");
  QTest::newRow("a space") << " " << page("index.md");
  QTest::newRow("empty") << "" << page("index.md");
}

void HelpWindowTest::lookUp() {
  QFETCH(QString, keyword);
  QFETCH(QUrl, expected);
  THelpWindow help;
  help.lookUp("RESET");  // leave the contents first, so that falling back to them shows
  help.lookUp(keyword);
  QCOMPARE(help.source(), expected);
  if (expected.hasFragment())
    QVERIFY(anchorNames(help.browser()->document()).contains(expected.fragment(QUrl::FullyDecoded)));
  else
    QVERIFY(help.browser()->document()->toPlainText().startsWith("The zan language"));
}

void HelpWindowTest::severalMatchesShowAList() {
  THelpWindow help;
  help.lookUp("RESET");
  QCOMPARE(help.source().scheme(), "zanhelp");
  const QStringList links = linkTargets(help.browser()->document());
  QCOMPARE(links, (QStringList{"qrc:/reference/library.md#reset_gm--general-midi-reset",
                               "qrc:/reference/library.md#reset_gs--gs-reset",
                               "qrc:/reference/library.md#reset_xg--xg-reset",
                               "qrc:/reference/library.md#reset_ctrl--reset-all-controllers",
                               "qrc:/reference/index.md"}));
  const QString text = help.browser()->document()->toPlainText();
  QVERIFY(text.contains(QString::fromUtf8("RESET_GS — GS reset")));
  QVERIFY(text.contains("Built-in macros"));

  // Each of "#" directives, case-sensitive before case-insensitive.
  help.lookUp("#");
  QCOMPARE(linkTargets(help.browser()->document()).size(), 5 + 1);
  help.lookUp("Reset");  // no case-sensitive match: the same four as RESET
  QCOMPARE(linkTargets(help.browser()->document()).size(), 4 + 1);

  // A link of the list opens the topic like any other link.
  help.browser()->setSource(QUrl(links[1]));
  QCOMPARE(help.source(), page("library.md", "reset_gs--gs-reset"));
  QVERIFY(anchorNames(help.browser()->document()).contains("reset_gs--gs-reset"));
}

void HelpWindowTest::lookUpScrollsToTheHeading() {
  THelpWindow help;
  help.show();
  help.lookUp("\\3");
  QTextBrowser* b = help.browser();
  QVERIFY(b->verticalScrollBar()->value() > 0);
  const QTextBlock top = b->cursorForPosition(QPoint(4, 4)).block();
  QCOMPARE(top.text(), QString::fromUtf8("\\3 — transpose"));
  QVERIFY(top.blockFormat().headingLevel() == 3);
}

// The pages link to each other's headings by anchor; every such link, and
// every topic of the index, must land on a heading of the rendered page.
void HelpWindowTest::everyLinkAndTopicLands() {
  THelpWindow help;
  QTextBrowser* b = help.browser();
  QHash<QString, QStringList> anchorsOf;  // page url -> its anchors
  const auto anchorsFor = [&](const QUrl& url) {
    const QString key = url.adjusted(QUrl::RemoveFragment).toString();
    if (!anchorsOf.contains(key)) {
      b->setSource(url.adjusted(QUrl::RemoveFragment));
      anchorsOf.insert(key, anchorNames(b->document()));
    }
    return anchorsOf.value(key);
  };
  int links = 0;
  const QStringList pages{"index.md",     "tutorial.md",  "basics.md",  "notes.md",    "channel.md",
                          "structure.md", "variables.md", "library.md", "numbered.md", "errors.md"};
  for (const QString& name : pages) {
    b->setSource(page(name));
    QVERIFY2(b->document()->blockCount() > 10, qPrintable(name));
    for (const QString& href : linkTargets(b->document())) {
      const QUrl target = page(name).resolved(QUrl(href));
      if (target.scheme() != "qrc") continue;
      ++links;
      QVERIFY2(QFile::exists(":" + target.path()), qPrintable(name + " -> " + href));
      if (target.hasFragment())
        QVERIFY2(anchorsFor(target).contains(target.fragment(QUrl::FullyDecoded)), qPrintable(name + " -> " + href));
    }
  }
  QVERIFY(links > 200);
  for (const HelpTopic& t : help.topics())
    QVERIFY2(anchorsFor(t.url()).contains(t.anchor), qPrintable(t.page + "#" + t.anchor));
}

void HelpWindowTest::backAndForward() {
  THelpWindow help;
  QCOMPARE(help.source(), page("index.md"));
  help.lookUp("T");
  help.lookUp("RESET");
  help.lookUp("t");
  QTextBrowser* b = help.browser();
  b->backward();
  QCOMPARE(help.source().scheme(), "zanhelp");
  QCOMPARE(linkTargets(b->document()).size(), 5);
  b->backward();
  QCOMPARE(help.source(), page("library.md", "t--transpose"));
  b->backward();
  QCOMPARE(help.source(), page("index.md"));
  b->forward();
  QCOMPARE(help.source(), page("library.md", "t--transpose"));
  help.showContents();
  QCOMPARE(help.source(), page("index.md"));
}

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
