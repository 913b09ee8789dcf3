// SPDX-License-Identifier: MIT
// The widget-free text operations: the position search, the word at the
// caret, Find's wrapping search and the comment index.
#include <QTest>

#include "editor_text.h"

class EditorTextTest : public QObject {
  Q_OBJECT

 private slots:
  void inStr_data();
  void inStr();
  void wordAtCaret_data();
  void wordAtCaret();
  void findFromMovesOnAndWraps_data();
  void findFromMovesOnAndWraps();
  void findNextCyclesThroughEveryMatch();
  void collectComments_data();
  void collectComments();
  void updateAndPlace_data();
  void updateAndPlace();
  void filterMatch_data();
  void filterMatch();
  void sortByNameIgnoresCaseAndKeepsTies();
};

void EditorTextTest::inStr_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("sub");
  QTest::addColumn<int>("from");
  QTest::addColumn<bool>("ignoreCase");
  QTest::addColumn<int>("expected");

  QTest::newRow("from 3 skips the first match") << "abcabc" << "bc" << 3 << false << 5;
  QTest::newRow("from 2 finds a match at 2") << "abcabc" << "bc" << 2 << false << 2;
  QTest::newRow("from 1") << "abcabc" << "bc" << 1 << false << 2;
  QTest::newRow("from 6 leaves too little") << "abcabc" << "bc" << 6 << false << 0;
  QTest::newRow("from 5 finds the last match") << "abcabc" << "bc" << 5 << false << 5;
  QTest::newRow("from beyond the end") << "abcabc" << "c" << 7 << false << 0;
  QTest::newRow("from far beyond the end") << "abc" << "c" << 100 << false << 0;
  QTest::newRow("ignoring case") << "xAbCx" << "ABC" << 1 << true << 2;
  QTest::newRow("ignoring case, sub lower") << "xAbCx" << "abc" << 1 << true << 2;
  QTest::newRow("exact case") << "xAbCx" << "ABC" << 1 << false << 0;
  QTest::newRow("empty sub") << "abc" << "" << 1 << false << 0;
  QTest::newRow("empty sub ignoring case") << "abc" << "" << 1 << true << 0;
  QTest::newRow("empty text") << "" << "a" << 1 << false << 0;
  QTest::newRow("sub longer than text") << "ab" << "abc" << 1 << false << 0;
  QTest::newRow("only A-Z fold: full-width stays") << QString::fromUtf8("ＡＢ") << QString::fromUtf8("ａｂ") << 1
                                                   << true << 0;
  QTest::newRow("only A-Z fold: accented stays") << QString::fromUtf8("xÉx") << QString::fromUtf8("é") << 1
                                                 << true << 0;
  QTest::newRow("Japanese, one character each") << QString::fromUtf8("あ{い}う") << "}" << 1 << false << 4;
  QTest::newRow("a line break is one character") << "a\nb" << "b" << 1 << false << 3;
}

void EditorTextTest::inStr() {
  QFETCH(QString, text);
  QFETCH(QString, sub);
  QFETCH(int, from);
  QFETCH(bool, ignoreCase);
  QFETCH(int, expected);
  QCOMPARE(InStrQ(text, sub, from, ignoreCase), expected);
}

// The caret is written as ^ in `marked`; `newCaret` is where it ends up,
// also as a ^ in a marked text so that the rows read like the examples.
void EditorTextTest::wordAtCaret_data() {
  QTest::addColumn<QString>("marked");
  QTest::addColumn<QString>("word");
  QTest::addColumn<QString>("afterwards");

  // The documented examples.
  QTest::newRow("name ending in a digit") << "EX2^" << "EX2" << "EX2^";
  QTest::newRow("caret inside a name") << "AC^B" << "ACB" << "AC^B";
  QTest::newRow("after a call") << "ACB(64,1)^" << "ACB" << "ACB^(64,1)";
  QTest::newRow("after a number after =") << "X=12^" << "X" << "X^=12";
  QTest::newRow("a leading digit is not taken") << "1AB^" << "AB" << "1AB^";
  QTest::newRow("right scan stops at a digit") << "E^X2" << "EX" << "E^X2";
  QTest::newRow("a space left of the caret") << "c ^d" << " " << "c ^d";

  // In a line of music.
  QTest::newRow("macro between notes") << "c d REV=40^ e" << "REV" << "c d REV^=40 e";
  QTest::newRow("caret right after =") << "T=^2" << "T" << "T^=2";
  QTest::newRow("call after notes") << "cde ACB(1,2)^ f" << "ACB" << "cde ACB^(1,2) f";
  QTest::newRow("call with nested brackets names the inner (") << "F(G(1))^" << "G" << "F(G^(1))";
  QTest::newRow("underscore and grave accent") << "DR_`X^" << "DR_`X" << "DR_`X^";
  QTest::newRow("lower case is no name") << "abc^" << "c" << "abc^";
  QTest::newRow("lower case right of a name") << "AB^c" << "AB" << "AB^c";
  QTest::newRow("digits on the right before any letter") << "A^12B3" << "A12B" << "A^12B3";
  QTest::newRow("digits after a space stay put") << "c 12^" << "2" << "c 12^";
  QTest::newRow("a digit run after a name") << "V 64^" << "4" << "V 64^";
  QTest::newRow("Japanese is no name") << QString::fromUtf8("あ^") << QString::fromUtf8("あ") << QString::fromUtf8("あ^");
  QTest::newRow("on the next line") << "c\nEX^" << "EX" << "c\nEX^";
  QTest::newRow("line break left of the caret") << "EX\n^c" << "\n" << "EX\n^c";

  // Guards at the edges of the text.
  QTest::newRow("empty text") << "^" << "" << "^";
  QTest::newRow("caret at the start names the first character's run") << "^AB c" << "AB" << "^AB c";
  QTest::newRow("caret at the start before a note") << "^c" << "c" << "^c";
  QTest::newRow("digits up to the start") << "12^" << "" << "12^";
  QTest::newRow("caret at the start before digits") << "^12" << "" << "^12";
  QTest::newRow(") without (") << "AB)^" << "" << "AB)^";
  QTest::newRow("( as the first character") << "(1)^" << "(" << "^(1)";
  QTest::newRow("= as the first character") << "=5^" << "=" << "^=5";
  QTest::newRow("= alone at the start") << "=^" << "=" << "^=";
  QTest::newRow("call after =") << "X=(12)^" << "X" << "X^=(12)";
}

void EditorTextTest::wordAtCaret() {
  QFETCH(QString, marked);
  QFETCH(QString, word);
  QFETCH(QString, afterwards);
  const int caret = static_cast<int>(marked.indexOf('^'));
  const QString text = QString(marked).remove(caret, 1);
  const WordAtCaretResult r = WordAtCaret(text, caret);
  QCOMPARE(r.word, word);
  QCOMPARE(r.caret, static_cast<int>(afterwards.indexOf('^')));
}

void EditorTextTest::findFromMovesOnAndWraps_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("what");
  QTest::addColumn<int>("selStart");
  QTest::addColumn<int>("expected");

  QTest::newRow("from the start skips a match at the caret") << "abab" << "ab" << 0 << 2;
  QTest::newRow("wraps to a match at the first character") << "abab" << "ab" << 2 << 0;
  QTest::newRow("one occurrence, caret after it") << "xx cde" << "cde" << 6 << 3;
  QTest::newRow("one occurrence, selected: found again") << "xx cde" << "cde" << 3 << 3;
  QTest::newRow("caret right before a match") << "c d e d" << "d" << 1 << 2;
  QTest::newRow("overlapping matches move by one") << "aaa" << "aa" << 0 << 1;
  QTest::newRow("across a line break") << "c\nd" << "\nd" << 0 << 1;
  QTest::newRow("caret beyond the end") << "abc" << "a" << 10 << 0;
  QTest::newRow("not there") << "abc" << "x" << 0 << -1;
  QTest::newRow("exact letter case") << "ABC" << "abc" << 0 << -1;
  QTest::newRow("empty search text") << "abc" << "" << 0 << -1;
  QTest::newRow("empty text") << "" << "a" << 0 << -1;
}

void EditorTextTest::findFromMovesOnAndWraps() {
  QFETCH(QString, text);
  QFETCH(QString, what);
  QFETCH(int, selStart);
  QFETCH(int, expected);
  QCOMPARE(FindFrom(text, what, selStart), expected);
}

// F3 repeated with the previous match selected: every occurrence in turn,
// then the first again.
void EditorTextTest::findNextCyclesThroughEveryMatch() {
  const QString text = "cde r cde\nr cde";
  int sel = 0;
  QList<int> visited;
  for (int i = 0; i < 4; ++i) {
    sel = FindFrom(text, "cde", sel);
    visited.append(sel);
  }
  QCOMPARE(visited, (QList<int>{6, 12, 0, 6}));
}

void EditorTextTest::collectComments_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("comments");
  QTest::addColumn<bool>("stoppedEarly");

  QTest::newRow("none") << "c d e" << QStringList{} << false;
  QTest::newRow("empty text") << "" << QStringList{} << false;
  QTest::newRow("in text order with duplicates") << "{intro} c d e {verse} f g {intro}"
                                                 << QStringList{"{intro}", "{verse}", "{intro}"} << false;
  QTest::newRow("braces do not nest") << "{a{b}c}" << QStringList{"{a{b}"} << false;
  QTest::newRow("a lone } is skipped") << "} {a} } {b}" << QStringList{"{a}", "{b}"} << false;
  QTest::newRow("spanning lines") << "c {two\nlines} d" << QStringList{"{two\nlines}"} << false;
  QTest::newRow("empty comment") << "{}{}" << QStringList{"{}", "{}"} << false;
  QTest::newRow("unclosed at the end") << "{a} c {b" << QStringList{"{a}"} << true;
  QTest::newRow("unclosed alone") << "c {" << QStringList{} << true;
  QTest::newRow("Japanese") << QString::fromUtf8("{サビ} c") << QStringList{QString::fromUtf8("{サビ}")} << false;
}

void EditorTextTest::collectComments() {
  QFETCH(QString, text);
  QFETCH(QStringList, comments);
  QFETCH(bool, stoppedEarly);
  const CollectedComments found = CollectComments(text);
  QCOMPARE(found.comments, comments);
  QCOMPARE(found.stoppedEarly, stoppedEarly);
}

void EditorTextTest::updateAndPlace_data() {
  QTest::addColumn<QStringList>("before");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("updated");
  QTest::addColumn<QStringList>("placed");

  const QString song = "{intro} c d e {verse} f g {intro}";
  QTest::newRow("empty list") << QStringList{} << song << QStringList{"{intro}", "{verse}"}
                              << QStringList{"{intro}", "{verse}", "{intro}"};
  QTest::newRow("the list's order stays") << QStringList{"{verse}", "{intro}"} << song
                                          << QStringList{"{verse}", "{intro}"}
                                          << QStringList{"{intro}", "{verse}", "{intro}"};
  QTest::newRow("new ones at the end") << QStringList{"{verse}"} << song << QStringList{"{verse}", "{intro}"}
                                       << QStringList{"{intro}", "{verse}", "{intro}"};
  QTest::newRow("deleted from the text: removed")
      << QStringList{"{verse}", "{intro}"} << "{intro} c d e f g {intro}" << QStringList{"{intro}"}
      << QStringList{"{intro}", "{intro}"};
  QTest::newRow("unclosed brace later: nothing removed")
      << QStringList{"{verse}", "{intro}"} << "{intro} c d e f g {intro} {"
      << QStringList{"{verse}", "{intro}"} << QStringList{"{intro}", "{intro}"};
  QTest::newRow("unclosed brace: earlier ones still added")
      << QStringList{"{old}"} << "{a} c {b} d { e" << QStringList{"{old}", "{a}", "{b}"}
      << QStringList{"{a}", "{b}"};
  QTest::newRow("{A} and {a}: Update keeps the first") << QStringList{} << "{A} c {a}" << QStringList{"{A}"}
                                                       << QStringList{"{A}", "{a}"};
  QTest::newRow("held in another case: not added, and removed")
      << QStringList{"{Intro}"} << "{intro} c" << QStringList{} << QStringList{"{intro}"};
  QTest::newRow("an entry found outside a comment stays")
      << QStringList{"{x}"} << "{a{x}" << QStringList{"{x}", "{a{x}"} << QStringList{"{a{x}"};
  QTest::newRow("list duplicates both stay") << QStringList{"{a}", "{a}"} << "{a}" << QStringList{"{a}", "{a}"}
                                             << QStringList{"{a}"};
  QTest::newRow("no comments left: all removed") << QStringList{"{a}", "{b}"} << "c d e" << QStringList{}
                                                 << QStringList{};
}

void EditorTextTest::updateAndPlace() {
  QFETCH(QStringList, before);
  QFETCH(QString, text);
  QFETCH(QStringList, updated);
  QFETCH(QStringList, placed);
  const CollectedComments found = CollectComments(text);
  QCOMPARE(UpdatedEntries(before, found, text), updated);
  QCOMPARE(PlacedEntries(found), placed);
}

void EditorTextTest::filterMatch_data() {
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<QString>("filter");
  QTest::addColumn<int>("row");

  const QStringList list{"{intro}", "{verse}", "{Verse 2}", "{VERSE3}"};
  QTest::newRow("first letters") << list << "ve" << 1;
  QTest::newRow("letter case ignored") << list << "VE" << 1;
  QTest::newRow("longer beginning") << list << "verse " << 2;
  QTest::newRow("first of several") << list << "verse" << 1;
  QTest::newRow("no entry begins so") << list << "x" << -1;
  QTest::newRow("inside, not at the start") << list << "erse" << -1;
  QTest::newRow("longer than every entry") << list << "introduction" << -1;
  QTest::newRow("whole entry with its brace") << list << "intro}" << 0;
  QTest::newRow("empty filter: the first comment") << list << "" << 0;
  QTest::newRow("empty list") << QStringList{} << "a" << -1;
  QTest::newRow("only A-Z fold") << QStringList{QString::fromUtf8("{Ａ}")} << QString::fromUtf8("ａ") << -1;
  QTest::newRow("Japanese") << QStringList{"{a}", QString::fromUtf8("{サビ}")} << QString::fromUtf8("サ") << 1;
}

void EditorTextTest::filterMatch() {
  QFETCH(QStringList, entries);
  QFETCH(QString, filter);
  QFETCH(int, row);
  QCOMPARE(FilterMatch(entries, filter), row);
}

void EditorTextTest::sortByNameIgnoresCaseAndKeepsTies() {
  QCOMPARE(SortedByName({"{verse}", "{Bridge}", "{a}", "{intro}", "{A}", "{chorus}"}),
           (QStringList{"{a}", "{A}", "{Bridge}", "{chorus}", "{intro}", "{verse}"}));
  QCOMPARE(SortedByName({"{A}", "{a}"}), (QStringList{"{A}", "{a}"}));
  QCOMPARE(SortedByName({}), QStringList{});
  QVERIFY(NameLess("{b}", "{C}"));
  QVERIFY(!NameLess("{C}", "{b}"));
  QVERIFY(!NameLess("{a}", "{A}"));
}

QTEST_APPLESS_MAIN(EditorTextTest)
#include "editor_text_test.moc"
