// SPDX-License-Identifier: MIT
// Find and Find Next in the editor, Find Macro, Check Macro and Help from
// the word at the caret.
#include <QtTest>

#include "editor_fixture.h"
#include "help_window.h"

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void findMovesOnAndWraps() {
    Windows w;
    w.setText("cde cde\ncde");
    w.main->reMain->setCaret(0);
    w.main->findText = "cde";
    QList<int> starts;
    for (int i = 0; i < 4; ++i) {
      w.main->FindNext1Click();
      starts << w.main->reMain->selStart();
      QCOMPARE(w.main->reMain->selText(), QString("cde"));
    }
    // The match at the very first character is found by the wrap-around.
    QCOMPARE(starts, QList<int>({4, 8, 0, 4}));
  }

  void findTakesTheSelectionOrAsks() {
    Windows w;
    w.setText("abc xyz abc");
    w.main->reMain->setSelection(0, 3);
    w.main->Find2Click();
    QCOMPARE(w.main->findText, QString("abc"));
    QCOMPARE(w.main->reMain->selStart(), 8);
    QString askedCaption;
    messageBoxHooks().input = [&](const QString& caption, const QString& prompt, const QString& preset) {
      askedCaption = caption + "|" + prompt + "|" + preset;
      return QString("nothing");
    };
    w.main->reMain->setCaret(0);
    w.main->Find2Click();
    QCOMPARE(askedCaption, QString("検索文字列を入力してください。|検索|abc"));
    QCOMPARE(w.warnings, QStringList({"文字列が見つかりません。"}));
    QCOMPARE(w.main->reMain->selLength(), 0);
  }

  void findMacroSelectsTheDefinition_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("selStart");
    QTest::newRow("plain") << "_m(LEAD,c d e)\nLEAD LEAD" << 17 << 3;
    QTest::newRow("quoted") << "_m(\"LEAD\",c d e)\nLEAD" << 19 << 4;
  }
  void findMacroSelectsTheDefinition() {
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, selStart);
    Windows w;
    w.setText(text);
    w.main->reMain->setCaret(caret);
    w.main->FindMacro1Click();
    QCOMPARE(w.main->reMain->selStart(), selStart);
    QCOMPARE(w.main->reMain->selText(), QString("LEAD"));
    QCOMPARE(w.main->statusText(), QString("ok"));
  }

  void findMacroNotices() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("T c\nUNKNOWN");
    w.main->reMain->setCaret(1);
    w.main->FindMacro1Click();
    QString builtIn = "\"T\"=\"\\3\" は、ファイル外で定義されています。";
    QCOMPARE(w.main->statusText(), builtIn);
    QCOMPARE(w.messages().back(), builtIn);
    // Before any good Run the player has no file: compile first.
    w.main->reMain->setCaret(w.main->reMain->lineStart(1) + 3);
    w.main->FindMacro1Click();
    QCOMPARE(w.main->statusText(), QString("\"UNKNOWN\" 失敗。コンパイル後に再び試してください。"));
    w.setText("t120 c4\n;UNKNOWN");
    w.main->RunCompilePlay1Click();
    w.main->reMain->setCaret(w.main->reMain->lineStart(1) + 4);
    w.main->FindMacro1Click();
    QCOMPARE(w.main->statusText(), QString("\"UNKNOWN\" 失敗。一般ｺﾏﾝﾄﾞは、ﾍﾙﾌﾟ(F1)をご利用ください。"));
  }

  void checkMacroShowsTheBody() {
    Windows w;
    w.setText("_m(RIFF,c d e)\nACB(64,1) RIFF");
    int afterCall = w.main->reMain->lineStart(1) + 9;
    w.main->reMain->setCaret(afterCall);
    w.main->CHeckMacro1Click();
    QVERIFY(w.main->statusText().startsWith("ACB = "));
    QVERIFY(w.main->statusText().size() > 6);
    QCOMPARE(w.main->reMain->selStart(), afterCall - 6);  // before "("
    // A user macro before any Run is not known yet.
    w.main->reMain->setCaret(w.main->reMain->lineStart(1) + 14);
    w.main->CHeckMacro1Click();
    QCOMPARE(w.main->statusText(), QString("RIFF = 見つかりません。ｺﾝﾊﾟｲﾙ後再試行してください。"));
    w.main->RunCompilePlay1Click();
    w.main->reMain->setCaret(w.main->reMain->lineStart(1) + 14);
    w.main->CHeckMacro1Click();
    QCOMPARE(w.main->statusText(), QString("RIFF = c d e"));
  }

  void helpLooksUpTheMacroBody() {
    Windows w;
    w.main->show();
    w.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.main.get()));
    w.setText("T c d e");
    w.main->reMain->setCaret(1);
    w.main->Help2Click();
    THelpWindow* help = w.main->findChild<THelpWindow*>();
    QVERIFY(help);
    QVERIFY2(help->source().toString().contains("transpose"), qPrintable(help->source().toString()));
  }

  // F1 names the command at the caret as the language reads it; a name with
  // a topic of its own opens that topic before its macro body is tried.
  void helpOpensTheTopicAtTheCaret_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("topic");
    const struct { const char* line; int column; const char* topic; } rows[] = {
        {"_tr(1) CH=1", 1, "_tr — tracks and track groups"},
        {"_tr(1) CH=1", 2, "_tr — tracks and track groups"},
        {"_tr(1) CH=1", 5, "_tr — tracks and track groups"},
        {"_TITLE(Morning Waltz)", 10, "_TITLE — title"},
        {"_m(LEAD,c d e)", 1, "_m — define a macro"},
        {"_print(hello)", 3, "_print — print a message"},
        {"REV=40", 1, "REV — reverb"},
        {"T=2 c", 0, "T — transpose"},
        {"ACB(64,1)", 6, "ACB — pitch-bend curve"},
        {"EX2(1,2)", 2, "EX2 — system exclusive with checksum"},
        {"RESET_GM", 6, "RESET_GM — General MIDI reset"},
        {"o5 l4 V=100", 9, "V — volume"},
        {"t132", 2, "t — tempo"},
        {"o5 l4 P=72", 4, "l — default length"},
        {"e2 d8 c8", 4, "c d e f g a b — notes"},
        {"@0 v96", 1, "@ — program change"},
        {"q15 n60", 6, "n — note by number"},
        {"[2 e2 ]", 1, "[ : ] — repeats"},
        {"#timebase 96", 4, "#timebase — ticks per quarter note"},
        {"\\15(40)", 2, "\\15 — reverb"},
        {"~1=ptr", 4, "~n=ptr — time pointer"},
        {"{ melody } c", 3, "{ } — block comment"},
        {"c4 ; rest", 6, "; — comment to the end of the line"},
    };
    for (const auto& r : rows)
      QTest::addRow("%s @%d", r.line, r.column) << QString::fromUtf8(r.line) << r.column << QString::fromUtf8(r.topic);
  }
  void helpOpensTheTopicAtTheCaret() {
    QFETCH(QString, line);
    QFETCH(int, column);
    QFETCH(QString, topic);
    Windows w;
    w.setText("c d\n" + line + "\nr");
    w.main->reMain->setCaret(4 + column);
    w.main->Help2Click();
    const THelpWindow* help = w.main->findChild<THelpWindow*>();
    auto it = std::find_if(help->topics().begin(), help->topics().end(), [&](const HelpTopic& t) { return t.title == topic; });
    QVERIFY2(it != help->topics().end(), qPrintable(topic));
    QCOMPARE(help->source(), it->url());
  }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
