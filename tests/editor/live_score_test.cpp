// SPDX-License-Identifier: MIT
// The live score on an editor of its own: colours from the lexer, the
// gutter, errors marked by the background check, and the time at the caret.
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include "app_paths.h"
#include "background_check.h"
#include "caret_time.h"
#include "error_marks.h"
#include "ext_memo.h"
#include "line_number_area.h"
#include "live_score.h"
#include "metre.h"
#include "syntax_highlighter.h"
#include "editor_fixture.h"
#include "zan/tsmf.h"
#include "../underline_cases.h"

namespace {

// The foreground the highlighter gave character `at` of line `line`.
QColor colourAt(TExtMemo& editor, int line, int at) {
  const QTextBlock block = editor.document()->findBlockByNumber(line);
  for (const QTextLayout::FormatRange& r : block.layout()->formats())
    if (at >= r.start && at < r.start + r.length) return r.format.foreground().color();
  return QColor();
}

// Checks the editor's text now and waits for the result.
void checkAndWait(LiveScore& live) {
  QSignalSpy done(live.check(), &BackgroundCheck::resultReady);
  live.check()->checkNow();
  QVERIFY(done.wait(5000));
}

}  // namespace

class LiveScoreTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { testDataDir(); }

  void coloursFollowTheLexerAndTheBackground() {
    TExtMemo editor;
    LiveScore live(&editor);
    editor.setPlainText("c4 {x} ZZ");
    live.highlighter()->rehighlight();
    const auto light = SyntaxHighlighter::schemeFor(Qt::white);
    QCOMPARE(colourAt(editor, 0, 0), light[int(zan::TokenKind::Note)].foreground().color());
    QCOMPARE(colourAt(editor, 0, 3), light[int(zan::TokenKind::Comment)].foreground().color());
    QCOMPARE(colourAt(editor, 0, 7), light[int(zan::TokenKind::Unknown)].foreground().color());
    editor.setBackground(Qt::black);
    QVERIFY(colourAt(editor, 0, 0).lightnessF() > 0.5);
    live.syntaxHighlightingAction()->setChecked(false);
    QVERIFY(editor.document()->firstBlock().layout()->formats().isEmpty());
  }

  void gutterClickSelectsItsLine() {
    TExtMemo editor;
    LiveScore live(&editor);
    editor.resize(400, 300);
    editor.show();
    editor.setPlainText("c\nd e\nf");
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    LineNumberArea* gutter = live.gutter();
    QVERIFY(gutter->isVisible() && gutter->width() > 0);
    const int y = editor.cursorRect(QTextCursor(editor.document()->findBlockByNumber(1))).center().y();
    QCOMPARE(gutter->lineAt(y), 1);
    QTest::mouseClick(gutter, Qt::LeftButton, {}, QPoint(gutter->width() / 2, y));
    QCOMPARE(editor.selText(), QString("d e\n"));
    live.lineNumbersAction()->setChecked(false);
    QCOMPARE(gutter->areaWidth(), 0);
  }

  void errorsAreUnderlinedWithTheirMessage() {
    TExtMemo editor;
    LiveScore live(&editor);
    QSignalSpy status(&live, &LiveScore::statusMessage);
    editor.setPlainText("c4 x d4 x\ne8 y");
    checkAndWait(live);
    const auto selections = editor.extraSelections();
    QCOMPARE(selections.size(), 3);
    QCOMPARE(selections[0].cursor.selectionStart(), 3);  // each x where the compiler met it
    QCOMPARE(selections[0].cursor.selectedText(), QString("x"));
    QCOMPARE(selections[1].cursor.selectionStart(), 8);
    QCOMPARE(selections[2].cursor.selectedText(), QString("y"));
    QCOMPARE(selections[2].cursor.blockNumber(), 1);
    QCOMPARE(selections[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
    const QString tip = live.marks()->tooltipAt(3);
    QVERIFY(tip.startsWith("err(0)\"x\":解読不能文字です\""));
    QVERIFY(tip.contains("\n\"Undecipherable character\": a character where a command should start"));
    QVERIFY(live.marks()->tooltipAt(1).isEmpty());
    editor.setCaret(editor.lineStart(1) + 3);
    QCOMPARE(status.count(), 1);
    QVERIFY(status.last().at(0).toString().startsWith("err(1)\"y\""));
  }

  // The same text as zan --diagnostics and zan lsp mark for the same error
  // (tests/underline_test.cpp holds them to the same table).
  void errorsAreMarkedWhereTheCommandLineAndTheServerMarkThem() {
    QTemporaryDir dir;
    zan::TSmf compiler;
    for (const UnderlineCase& c : kUnderlineCases) {
      const QString score = QString::fromUtf8(c.score);
      if (c.included) {
        QFile part(dir.filePath("part.zan"));
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(c.included);
      }
      const CheckResult r = checkScore(compiler, QString(score).replace('\n', QChar::ParagraphSeparator), dir.filePath("s.zan"));
      QVERIFY2(!r.marks.empty(), c.score);
      const CheckMark& m = r.marks.front();
      QVERIFY2(m.line == c.line && m.from == c.from && m.length == c.to - c.from && m.elsewhere == (c.included != nullptr),
               qPrintable(QString("%1: marked %2:%3+%4").arg(score).arg(m.line).arg(m.from).arg(m.length)));
    }
  }

  void aCheckOfAnOlderTextIsDropped() {
    TExtMemo editor;
    LiveScore live(&editor);
    QSignalSpy results(live.check(), &BackgroundCheck::resultReady);
    editor.setPlainText("x");
    live.check()->checkNow();
    editor.setPlainText("c\nd\nx");
    live.check()->checkNow();
    QTRY_VERIFY(!live.check()->busy());
    QCOMPARE(results.count(), 1);
    QCOMPARE(live.marks()->marks().size(), size_t(1));
    QCOMPARE(live.marks()->marks()[0].mark.line, 2);
  }

  // In the main window: the switches are in the View menu, and a check
  // leaves no file behind.
  void theMainWindowsCheckWritesNoFile() {
    Windows w;
    QFile::remove(midPath());
    for (const char* name : {"SyntaxHighlighting", "LineNumbers", "CheckWhileTyping"}) {
      QAction* a = w.main->findChild<QAction*>(name);
      QVERIFY(a && a->isChecked() && !a->associatedObjects().isEmpty());
    }
    w.setText("c d e x");
    checkAndWait(*w.main->liveScore_);
    QCOMPARE(w.main->liveScore_->marks()->marks().size(), size_t(1));
    QVERIFY(!QFile::exists(midPath()));
    QVERIFY(w.messages().isEmpty());  // the message view is Run's alone
  }

  // The explanation of each error number, from the reference.
  void explanationsComeFromTheReference() {
    const char* const expected[] = {"Unknown error.", "\"The file cannot be opened.\"", "\"Undecipherable character\":",
                                    "A required argument is missing.", "\"Bad argument\":", "\"Syntax error\":"};
    for (int n = 0; n < 6; ++n) QVERIFY2(errorExplanation(n).startsWith(expected[n]), qPrintable(errorExplanation(n)));
  }

  // The time of the text at the caret itself, on the track it writes to,
  // counted in the bars of the score's metre.
  void timeAtTheCaretItselfInTheScoresMetre() {
    TExtMemo editor;
    LiveScore live(&editor);
    editor.setPlainText("{metre 3/4}\nc4 c4 c4 c4\n_tr(1) r4 c2.\n{\u3042} c4");
    checkAndWait(live);
    struct Row {
      int line, column;
      const char* text;
    } rows[] = {
        {1, 0, "bar 1 beat 1  0:00.0  track 0"},   // Home
        {1, 3, "bar 1 beat 2  0:00.5  track 0"},
        {1, 4, "bar 1 beat 3  0:01.0  track 0"},  // inside a note: the next one
        {1, 9, "bar 2 beat 1  0:01.5  track 0"},
        {1, 11, "bar 2 beat 2  0:02.0  track 0"},  // End: where the line's notes end
        {2, 0, "bar 2 beat 2  0:02.0  track 0"},   // _tr(1) itself, before it takes effect
        {2, 6, "bar 1 beat 1  0:00.0  track 1"},
        {2, 10, "bar 1 beat 2  0:00.5  track 1"},
        {3, 4, "bar 2 beat 2  0:02.0  track 1"},  // after a double-byte character
    };
    for (const Row& r : rows) QCOMPARE(live.caretTime()->textFor(r.line, r.column), QString(r.text));
    QCOMPARE(live.caretTime()->tickFor(1, 9), 288);
    QCOMPARE(live.caretTime()->tickFor(3, 4), 384);
    QCOMPARE(live.caretTime()->tickFor(9, 0), -1);
    editor.setCaret(editor.lineStart(1) + 9);
    QCOMPARE(live.caretTime()->label()->text(), QString(rows[3].text));
  }

  void metresAreReadAndWrittenAsTheScoresComment() {
    struct Parse {
      const char* text;
      bool ok;
      Metre metre;
    } parses[] = {{"3/4", true, {3, 4}}, {" 12 / 8 ", true, {12, 8}}, {"1/1", true, {1, 1}}, {"64/64", true, {64, 64}},
                  {"3/5", false, {}}, {"0/4", false, {}}, {"65/4", false, {}}, {"3/128", false, {}}, {"3", false, {}}};
    for (const Parse& p : parses) {
      Metre m;
      QCOMPARE(parseMetre(p.text, m), p.ok);
      if (p.ok) QCOMPARE(m, p.metre);
    }
    struct Find {
      const char* text;
      int from;
      Metre metre;
    } finds[] = {{"{ a waltz in 3/4 } c", -1, {}}, {"c {metre 3/5} {Meter 6/8}", 14, {6, 8}}, {"{ metre 2/2 }", 0, {2, 2}}};
    for (const Find& f : finds) {
      const MetreComment found = findMetreComment(f.text);
      QCOMPARE(found.from, f.from);
      QCOMPARE(found.metre, f.metre);
    }
    struct Place {
      Metre metre;
      int timebase;
      int64_t tick, bar;
      int beat;
    } places[] = {{{4, 4}, 96, -5, 1, 1}, {{6, 8}, 96, 300, 2, 1}, {{6, 8}, 96, 287, 1, 6}, {{3, 8}, 13, 13, 1, 3}, {{3, 8}, 13, 20, 2, 1}};
    for (const Place& p : places) {
      const Metre::Position at = p.metre.positionOf(p.tick, p.timebase);
      QCOMPARE(at.bar, p.bar);
      QCOMPARE(at.beat, p.beat);
    }
    // Written in place when the score has one, else on a line of its own at the top; one undo step.
    TExtMemo editor;
    editor.setPlainText("c d e");
    writeMetre(&editor, {3, 4});
    QCOMPARE(editor.toPlainText(), QString("{metre 3/4}\nc d e"));
    writeMetre(&editor, {6, 8});
    QCOMPARE(editor.toPlainText(), QString("{metre 6/8}\nc d e"));
    editor.undo();
    QCOMPARE(editor.toPlainText(), QString("{metre 3/4}\nc d e"));
  }

  void timeAtTheCaretThroughTempoChangesAndIncludes() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile sub("sub.zan"), bad("bad.zan");
    QVERIFY(sub.open(QIODevice::WriteOnly) && bad.open(QIODevice::WriteOnly));
    sub.write("c4\r\nc4\r\n");
    bad.write("c\r\nx\r\n");
    sub.close();
    bad.close();
    TExtMemo editor;
    LiveScore live(&editor);
    editor.setPlainText("t60 c4\nt120 c4 c4\n#include \"sub.zan\"\nc4 c4\n#include \"bad.zan\"\n#end\nc");
    checkAndWait(live);
    QDir::setCurrent(previous);
    CaretTime* time = live.caretTime();
    QCOMPARE(time->textFor(0, 0), QString("bar 1 beat 1  0:00.0  track 0"));
    // 93 ticks at 60 a minute, then the tempo 120 three ticks ahead of its line.
    QCOMPARE(time->textFor(1, 0), QString("bar 1 beat 2  0:00.9  track 0"));
    QCOMPARE(time->textFor(3, 0), QString("bar 2 beat 2  0:02.9  track 0"));
    QCOMPARE(time->textFor(6, 0), QString());  // after #end
    editor.setCaret(editor.lineStart(3));
    QCOMPARE(time->label()->text(), time->textFor(3, 0));
    // The included file's error is marked on its #include line.
    QCOMPARE(live.marks()->marks().size(), size_t(1));
    const ErrorMarks::Placed& m = live.marks()->marks()[0];
    QVERIFY(m.mark.elsewhere);
    QCOMPARE(m.span.selectedText(), QString("#include \"bad.zan\""));
    QVERIFY(m.mark.message.startsWith("In \"bad.zan\" line 1: err(8)\"x\""));
  }
};

QTEST_MAIN(LiveScoreTest)
#include "live_score_test.moc"
