// SPDX-License-Identifier: MIT
// The score editor control: line and selection helpers, the order of its key
// and mouse signals, tabs, and the edit marks as they come out in pixels.
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include "editor_fonts.h"
#include "ext_memo.h"
#include "mark_renderer.h"

namespace {

const QColor kMark(0xFF, 0x00, 0x00);     // red: nothing else on screen is red
const QColor kPaper(0xFF, 0xFF, 0xFF);

// Antialiased strokes blend with the paper, so a mark pixel is anything
// clearly red rather than the exact colour.
bool isMark(QRgb c) { return qRed(c) - qGreen(c) > 120 && qRed(c) - qBlue(c) > 120; }
bool isPaperLike(QRgb c) { return qRed(c) > 160 && qGreen(c) > 160 && qBlue(c) > 160; }

int countPixels(const QImage& image, const QRect& area, bool (*test)(QRgb)) {
  int n = 0;
  const QRect clipped = area.intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y)
    for (int x = clipped.left(); x <= clipped.right(); ++x)
      if (test(image.pixel(x, y))) ++n;
  return n;
}

TEditMark on(bool reversed = false) { return TEditMark{true, kMark, reversed}; }

}  // namespace

class ExtMemoTest : public QObject {
  Q_OBJECT

 private:
  // A shown editor with every mark that matters here on, in red on white.
  std::unique_ptr<TExtMemo> makeEditor(const QStringList& lines) {
    auto memo = std::make_unique<TExtMemo>();
    memo->resize(420, 240);
    memo->setBackground(kPaper);
    memo->EditMarks.CrLf = on();
    memo->EditMarks.Tab = on();
    memo->EditMarks.Eot = on();
    memo->EditMarks.Ctrl = on(true);
    memo->setLines(lines);
    memo->show();
    if (!QTest::qWaitForWindowExposed(memo.get())) qWarning("editor window not exposed");
    return memo;
  }

  static QImage render(TExtMemo& memo) {
    return memo.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  // The cell of the character at position, in viewport coordinates: from its
  // left edge to the next character's (half a square wide where that is zero
  // or the position is a line end), the height of the line.
  static QRect cell(TExtMemo& memo, int position) {
    QTextCursor at(memo.document());
    at.setPosition(position);
    const QRect here = memo.cursorRect(at);
    const QTextBlock block = at.block();
    int width = 0;
    if (position < block.position() + block.length() - 1) {
      at.setPosition(position + 1);
      width = memo.cursorRect(at).x() - here.x();
    }
    if (width < 1) width = QFontMetrics(memo.font()).horizontalAdvance(QLatin1Char(' ')) + 2;
    return QRect(here.x(), here.y(), width, here.height());
  }

  static int markPixelsAt(TExtMemo& memo, int position) {
    return countPixels(render(memo), cell(memo, position), isMark);
  }

 private slots:
  void replaceAndInsertLines_data() {
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("expected");
    const QString x = QStringLiteral("新しい");
    QTest::newRow("replace first") << false << 0 << QStringList{x, "日本語", "c"};
    QTest::newRow("replace middle") << false << 1 << QStringList{"a b", x, "c"};
    QTest::newRow("replace last") << false << 2 << QStringList{"a b", "日本語", x};
    QTest::newRow("replace beyond end") << false << 3 << QStringList{"a b", "日本語", "c"};
    QTest::newRow("replace negative") << false << -1 << QStringList{"a b", "日本語", "c"};
    QTest::newRow("insert first") << true << 0 << QStringList{x, "a b", "日本語", "c"};
    QTest::newRow("insert middle") << true << 1 << QStringList{"a b", x, "日本語", "c"};
    QTest::newRow("insert before last") << true << 2 << QStringList{"a b", "日本語", x, "c"};
    QTest::newRow("insert at count") << true << 3 << QStringList{"a b", "日本語", "c", x};
    QTest::newRow("insert beyond end") << true << 9 << QStringList{"a b", "日本語", "c", x};
    QTest::newRow("insert negative") << true << -1 << QStringList{"a b", "日本語", "c"};
  }

  void replaceAndInsertLines() {
    QFETCH(bool, insert);
    QFETCH(int, index);
    QFETCH(QStringList, expected);
    const QStringList before{"a b", "日本語", "c"};
    TExtMemo memo;
    memo.setLines(before);
    if (insert)
      memo.insertLine(index, QStringLiteral("新しい"));
    else
      memo.replaceLine(index, QStringLiteral("新しい"));
    QCOMPARE(memo.lines(), expected);
    QCOMPARE(memo.lineCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i) QCOMPARE(memo.line(i), expected.at(i));
    // Each is one edit: a single undo brings the old text back.
    memo.undo();
    QCOMPARE(memo.lines(), before);
  }

  void lineStart_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("position");
    // "a b\n日本語\nc": the line break counts as one character.
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("second") << 1 << 4;
    QTest::newRow("last") << 2 << 8;
    QTest::newRow("count is the end") << 3 << 9;
    QTest::newRow("far beyond is the end") << 1000 << 9;
    QTest::newRow("negative is the start") << -5 << 0;
  }

  void lineStart() {
    QFETCH(int, index);
    QFETCH(int, position);
    TExtMemo memo;
    memo.setLines({"a b", "日本語", "c"});
    QCOMPARE(memo.lineStart(index), position);
    QCOMPARE(memo.line(3), QString());
  }

  void selectionAndCaret_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("caretLine");
    QTest::addColumn<int>("caretColumn");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("selText");
    QTest::newRow("caret only") << 5 << 0 << 1 << 1 << 5 << 0 << QString();
    QTest::newRow("within a line") << 4 << 2 << 1 << 2 << 4 << 2 << QStringLiteral("日本");
    QTest::newRow("across a line break") << 2 << 4 << 1 << 2 << 2 << 4
                                         << QStringLiteral("b\n日本");
    QTest::newRow("to the end of the text") << 8 << 1 << 2 << 1 << 8 << 1 << QStringLiteral("c");
    QTest::newRow("past the end is cut") << 7 << 50 << 2 << 1 << 7 << 2 << QStringLiteral("\nc");
    QTest::newRow("backwards puts the caret first") << 6 << -3 << 0 << 3 << 3 << 3
                                                    << QStringLiteral("\n日本");
  }

  void selectionAndCaret() {
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, caretLine);
    QFETCH(int, caretColumn);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, selText);
    TExtMemo memo;
    memo.setLines({"a b", "日本語", "c"});
    memo.setSelection(start, length);
    QCOMPARE(memo.caretLine(), caretLine);
    QCOMPARE(memo.caretColumn(), caretColumn);
    QCOMPARE(memo.selStart(), selStart);
    QCOMPARE(memo.selLength(), selLength);
    QCOMPARE(memo.selText(), selText);
  }

  void setCaretDropsTheSelection() {
    TExtMemo memo;
    memo.setLines({"abc", "def"});
    memo.setSelection(1, 4);
    memo.setCaret(6);
    QCOMPARE(memo.selLength(), 0);
    QCOMPARE(memo.caretLine(), 1);
    QCOMPARE(memo.caretColumn(), 2);
  }

  void setCaretScrollsIntoView() {
    QStringList many;
    for (int i = 0; i < 500; ++i) many << QStringLiteral("line %1").arg(i);
    auto memo = makeEditor(many);
    QCOMPARE(memo->verticalScrollBar()->value(), 0);
    memo->setCaret(memo->lineStart(400));
    QVERIFY(memo->verticalScrollBar()->value() > 0);
    QTextCursor at(memo->document());
    at.setPosition(memo->lineStart(400));
    QVERIFY(memo->viewport()->rect().contains(memo->cursorRect(at).center()));
  }

  void setLinesRoundTrip_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("japanese") << QStringList{"曲名　テスト", "t120 o4 l8", "ドレミ\tcde"};
    QTest::newRow("empty lines kept") << QStringList{"", "a", "", ""};
    QTest::newRow("no-break space and control characters")
        << QStringList{QStringLiteral("a\u00A0b"), QStringLiteral("x\u0001y\u001Bz")};
    QTest::newRow("one empty line") << QStringList{""};
  }

  void setLinesRoundTrip() {
    QFETCH(QStringList, lines);
    TExtMemo memo;
    memo.setLines({"old"});
    memo.insertLine(0, "edit");
    memo.setLines(lines);
    QCOMPARE(memo.lines(), lines);
    QCOMPARE(memo.lineCount(), lines.size());
    QVERIFY(!memo.document()->isUndoAvailable());
    QVERIFY(!memo.document()->isModified());
  }

  void setupOfTheControl() {
    TExtMemo memo;
    QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(memo.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QVERIFY(!memo.tabChangesFocus());
    QCOMPARE(memo.font().pixelSize(), 12);
    QCOMPARE(memo.tabStopDistance(),
             8 * QFontMetricsF(memo.font()).horizontalAdvance(QLatin1Char(' ')));
    const QPalette colours = memo.palette();
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
             colours.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::HighlightedText),
             colours.color(QPalette::Active, QPalette::HighlightedText));
    memo.setBackground(QColor(10, 20, 30));
    QCOMPARE(memo.background(), QColor(10, 20, 30));
    QCOMPARE(memo.palette().color(QPalette::Inactive, QPalette::Base), QColor(10, 20, 30));
  }

  void mainWindowMarks() {
    const TEditMarks marks = TExtMemo::mainWindowMarks();
    const QColor aqua(0x00, 0xFF, 0xFF);
    struct Row {
      const char* name;
      TEditMark mark;
      bool enabled, reversed;
    } const rows[] = {
        {"CrLf", marks.CrLf, true, false}, {"Ctrl", marks.Ctrl, true, true},
        {"DSp", marks.DSp, false, false},  {"SSp", marks.SSp, false, false},
        {"Tab", marks.Tab, true, false},   {"Eot", marks.Eot, true, false},
    };
    for (const Row& row : rows) {
      QVERIFY2(row.mark.Enabled == row.enabled, row.name);
      QVERIFY2(row.mark.Reversed == row.reversed, row.name);
      QVERIFY2(row.mark.Color == aqua, row.name);
    }
    const TEditMarks defaults = TExtMemo().EditMarks;
    QVERIFY(!defaults.CrLf.Enabled && !defaults.Eot.Enabled && !defaults.Ctrl.Reversed);
    QCOMPARE(defaults.Tab.Color, QColor(0xC0, 0xC0, 0xC0));
  }

  void keySignalsComeBeforeTheEditorActs() {
    TExtMemo memo;
    QStringList seenOnKeyDown, seenOnKeyPress, seenOnKeyUp;
    connect(&memo, &TExtMemo::keyDown, this, [&](QKeyEvent*) { seenOnKeyDown << memo.toPlainText(); });
    connect(&memo, &TExtMemo::keyPress, this, [&](QKeyEvent* e) {
      seenOnKeyPress << memo.toPlainText() + QLatin1Char('|') + e->text();
    });
    connect(&memo, &TExtMemo::keyUp, this, [&](QKeyEvent*) { seenOnKeyUp << memo.toPlainText(); });
    QTest::keyClick(&memo, 'a');
    QTest::keyClick(&memo, Qt::Key_Left);  // no text: keyDown and keyUp only
    QTest::keyClick(&memo, 'b');
    QCOMPARE(memo.toPlainText(), QStringLiteral("ba"));
    QCOMPARE(seenOnKeyDown, (QStringList{"", "a", "a"}));
    QCOMPARE(seenOnKeyPress, (QStringList{"|a", "a|b"}));
    QCOMPARE(seenOnKeyUp, (QStringList{"a", "a", "ba"}));
  }

  void mouseDownComesBeforeTheCaretMoves() {
    auto memo = makeEditor({"first", "second"});
    memo->setCaret(0);
    QList<int> linesSeen;
    connect(memo.get(), &TExtMemo::mouseDown, this,
            [&](QMouseEvent*) { linesSeen << memo->caretLine(); });
    QTextCursor at(memo->document());
    at.setPosition(memo->lineStart(1) + 2);
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, memo->cursorRect(at).center());
    QCOMPARE(linesSeen, QList<int>{0});
    QCOMPARE(memo->caretLine(), 1);
  }

  void tabInsertsATabAndKeepsTheFocus() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* memo = new TExtMemo;
    auto* other = new QLineEdit;
    layout->addWidget(memo);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    memo->setFocus();
    QVERIFY(memo->hasFocus());
    memo->setLines({"ab"});
    memo->setCaret(1);
    QTest::keyClick(memo, Qt::Key_Tab);
    QCOMPARE(memo->line(0), QStringLiteral("a\tb"));
    QVERIFY(memo->hasFocus());
    QVERIFY(!other->hasFocus());
  }

  void markFontIsTheSquareWidthLessTwo() {
    TExtMemo memo;
    const QFont font = TMarkRenderer::markFont(memo.font());
    const int square = QFontMetrics(memo.font()).horizontalAdvance(QChar(0x25A1));
    QCOMPARE(font.pixelSize(), std::max(6, square - 2));
    QCOMPARE(font.family(), memo.font().family());
    QFont tiny = memo.font();
    tiny.setPixelSize(4);
    QCOMPARE(TMarkRenderer::markFont(tiny).pixelSize(), 6);
  }

  // A tab, a line end, the end of the text and a reversed control character,
  // each in its own cell and nowhere else.
  void marksAppearInTheirCells() {
    auto memo = makeEditor({"ab\tc", QStringLiteral("日本\u0001語")});
    memo->setCaret(0);
    const int tab = 2, lineEnd = 4, control = memo->lineStart(1) + 2;
    const int eot = memo->document()->characterCount() - 1;
    const QImage image = render(*memo);
    QVERIFY(countPixels(image, cell(*memo, tab), isMark) > 0);
    QVERIFY(countPixels(image, cell(*memo, lineEnd), isMark) > 0);
    QVERIFY(countPixels(image, cell(*memo, eot), isMark) > 0);
    // Plain characters carry no mark.
    QCOMPARE(countPixels(image, cell(*memo, 0), isMark), 0);
    QCOMPARE(countPixels(image, cell(*memo, memo->lineStart(1)), isMark), 0);

    // Reversed: a block of the mark colour with the letter "A" cut out of it
    // in the background colour.
    const QRect block = cell(*memo, control);
    QVERIFY(block.width() > 2);
    const int area = block.width() * block.height();
    const int red = countPixels(image, block, isMark);
    QVERIFY2(red > area / 2, qPrintable(QStringLiteral("%1 of %2").arg(red).arg(area)));
    const QRect inner = block.adjusted(2, 2, -1, -2);
    QVERIFY(countPixels(image, inner, isPaperLike) > 0);
    // Not reversed, the same mark leaves the cell's paper unfilled.
    memo->EditMarks.Ctrl.Reversed = false;
    const QImage plain = render(*memo);
    const int drawn = countPixels(plain, block, isMark);
    QVERIFY(drawn > 0);
    QVERIFY(drawn < area / 2);
  }

  void marksFollowJapaneseTextAndTheHorizontalScroll() {
    const QString longLine = QString(300, QLatin1Char('x')) + QStringLiteral("全角\tz");
    auto memo = makeEditor({longLine, "y"});
    const int tab = longLine.indexOf(QLatin1Char('\t'));
    QCOMPARE(markPixelsAt(*memo, tab), 0);  // off to the right, not drawn at some wrong place
    memo->setCaret(tab + 1);
    QVERIFY(memo->horizontalScrollBar()->value() > 0);
    const QRect where = cell(*memo, tab);
    QVERIFY(memo->viewport()->rect().contains(where));
    QVERIFY(markPixelsAt(*memo, tab) > 0);
    // The cell just before the tab (a full-width character) stays clean.
    QCOMPARE(markPixelsAt(*memo, tab - 1), 0);
  }

  void marksInsideTheSelectionAreLeftOut() {
    auto memo = makeEditor({"a\tb", "c\u0001d\te"});
    const int firstTab = 1, firstEnd = 3, control = 5, secondTab = 7;
    const int eot = memo->document()->characterCount() - 1;
    memo->setSelection(0, 6);  // the first line, its break and "c\u0001"
    const QImage image = render(*memo);
    QCOMPARE(countPixels(image, cell(*memo, firstTab), isMark), 0);
    QCOMPARE(countPixels(image, cell(*memo, firstEnd), isMark), 0);
    QCOMPARE(countPixels(image, cell(*memo, control), isMark), 0);
    QVERIFY(countPixels(image, cell(*memo, secondTab), isMark) > 0);
    QVERIFY(countPixels(image, cell(*memo, eot), isMark) > 0);
    memo->setCaret(0);
    QVERIFY(markPixelsAt(*memo, firstTab) > 0);
    QVERIFY(markPixelsAt(*memo, control) > 0);
  }

  void switchingMarksOff() {
    auto memo = makeEditor({"a\tb", "c\u0001"});
    const int tab = 1, lineEnd = 3, control = 5;
    const int eot = memo->document()->characterCount() - 1;
    memo->setCaret(0);
    memo->EditMarks.CrLf.Enabled = false;
    memo->EditMarks.Tab.Enabled = false;
    memo->EditMarks.Eot.Enabled = false;
    memo->viewport()->update();
    const QImage image = render(*memo);
    QCOMPARE(countPixels(image, cell(*memo, tab), isMark), 0);
    QCOMPARE(countPixels(image, cell(*memo, lineEnd), isMark), 0);
    QCOMPARE(countPixels(image, cell(*memo, eot), isMark), 0);
    QVERIFY(countPixels(image, cell(*memo, control), isMark) > 0);
    memo->EditMarks.Ctrl.Enabled = false;
    QCOMPARE(countPixels(render(*memo), memo->viewport()->rect(), isMark), 0);
  }

  void spacesAreMarkedOnlyWhenAsked() {
    auto memo = makeEditor({QStringLiteral("a b\u3000c")});
    memo->setCaret(0);
    const int space = 1, wide = 3;
    QCOMPARE(markPixelsAt(*memo, space), 0);
    QCOMPARE(markPixelsAt(*memo, wide), 0);
    memo->EditMarks.SSp = on();
    memo->EditMarks.DSp = on();
    QVERIFY(markPixelsAt(*memo, space) > 0);
    QVERIFY(markPixelsAt(*memo, wide) > 0);
  }

  void marksAfterEditsMoveWithTheText() {
    auto memo = makeEditor({"a\tb"});
    memo->setCaret(0);
    const QRect before = cell(*memo, 1);
    QTest::keyClicks(memo.get(), "xyz");
    // The tab is now at 4; with 8-column tab stops it still ends at the same
    // stop, so compare the mark with where the editor now puts the tab.
    QCOMPARE(memo->line(0), QStringLiteral("xyza\tb"));
    const QImage image = render(*memo);
    const QRect after = cell(*memo, 4);
    QVERIFY(after.x() > before.x());
    QVERIFY(countPixels(image, after, isMark) > 0);
    QCOMPARE(countPixels(image, QRect(before.x(), before.y(), after.x() - before.x(), before.height()),
                         isMark),
             0);
  }

  // Only the visible blocks are walked; the marks of the last screen of a
  // long score still land on the right lines.
  void marksAtTheEndOfALongScore() {
    QStringList many;
    many.reserve(100000);
    for (int i = 0; i < 100000; ++i) many << QStringLiteral("c\td");
    auto memo = makeEditor(many);
    const int eot = memo->document()->characterCount() - 1;
    memo->setCaret(eot);
    const QImage image = render(*memo);
    QVERIFY(countPixels(image, cell(*memo, eot), isMark) > 0);
    QVERIFY(countPixels(image, cell(*memo, memo->lineStart(99999) + 1), isMark) > 0);
    QVERIFY(countPixels(image, cell(*memo, memo->lineStart(99999) - 1), isMark) > 0);
  }

  // Every glyph stays inside its own line at every size: nothing reaches an
  // empty line, and the last row of a line is left clear, so an underscore
  // never reads as a line over the next line's text.
  void glyphsStayInsideTheirLine() {
    struct Probe : TExtMemo {
      using TExtMemo::blockBoundingGeometry;
      using TExtMemo::contentOffset;
    };
    QString ascii;
    for (char16_t c = 33; c < 127; ++c) ascii += QChar(c);
    const QStringList lines{ascii, "", "_tr(1) _TITLE 「注釈」（ｇｊ）＿", "", "_", ""};
    for (int px = 8; px <= 40; ++px) {
      Probe memo;
      memo.EditMarks = TEditMarks{};
      memo.setFont(editorFont(px));
      memo.resize(80 * px, 10 * px);
      memo.setLines(lines);
      memo.show();
      QVERIFY(QTest::qWaitForWindowExposed(&memo));
      const QImage image = render(memo);
      const auto ink = [&](int y) {  // pixels not quite white in row y
        int n = 0;
        for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 250;
        return n;
      };
      for (QTextBlock b = memo.document()->begin(); b.isValid(); b = b.next()) {
        const QRectF box = memo.blockBoundingGeometry(b).translated(memo.contentOffset());
        const int top = int(std::ceil(box.top())), last = int(std::ceil(box.bottom())) - 1;
        int inside = 0;
        for (int y = top; y < last; ++y) inside += ink(y);
        const QString where = QString("%1 px, line %2").arg(px).arg(b.blockNumber());
        QVERIFY2(ink(last) == 0, qPrintable(where));
        QVERIFY2(b.text().isEmpty() ? inside == 0 : inside > 0, qPrintable(where));  // the lone underscore shows
      }
    }
  }

  // The room above and below the text is part of its line for the mouse.
  void aClickAnywhereInALineLandsUnderThePointer() {
    auto memo = makeEditor({"abcdefghij", "abcdefghij", "abcdefghij"});
    const QTextBlock line = memo->document()->findBlockByNumber(1);
    const QRect caret = memo->cursorRect(QTextCursor(line));
    const int height = int(memo->document()->documentLayout()->blockBoundingRect(line).height());
    QVERIFY(height > caret.height());  // there is room to click in
    const int x = cell(*memo, line.position() + 5).center().x() - 1;
    for (int y = caret.top(); y < caret.top() + height; ++y) {
      QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(x, y));
      QCOMPARE(memo->caretLine(), 1);
      QVERIFY2(memo->caretColumn() == 5, qPrintable(QString("y %1 of %2+%3").arg(y).arg(caret.top()).arg(height)));
    }
  }
};

QTEST_MAIN(ExtMemoTest)
#include "ext_memo_test.moc"
