// SPDX-License-Identifier: MIT
// The comment list window driven through its slots and keys, with a real
// editor holding the score.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include "comment_list.h"
#include "ext_memo.h"
#include "text_boxes.h"

namespace {

const QString kSong = QStringLiteral("{intro} c d e {verse} f g {intro}");

// A stand-in for the main window: the editor inside a window of its own.
struct Main {
  QWidget window;
  TExtMemo* memo;
  explicit Main(const QString& text) : memo(new TExtMemo(&window)) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(memo);
    memo->setPlainText(text);
  }
};

// Captures the warnings instead of showing them; restores the box on exit.
struct Warnings {
  QStringList shown;
  Warnings() {
    messageBoxHooks().warn = [this](const QString& m) { shown.append(m); };
  }
  ~Warnings() { messageBoxHooks().warn = nullptr; }
};

}  // namespace

class CommentListTest : public QObject {
  Q_OBJECT

 private slots:
  void windowLayout();
  void updatePlaceAndName();
  void jumpMovesTheEntryToTheTop_data();
  void jumpMovesTheEntryToTheTop();
  void staleEntryWarnsAndGoes();
  void jumpWithoutSelectionDoesNothing();
  void filterSelects_data();
  void filterSelects();
  void upAndDownWrap_data();
  void upAndDownWrap();
  void typedKeyMovesToTheFilterBox_data();
  void typedKeyMovesToTheFilterBox();
  void sameTypedKeyRunsTheFilterAgain();
  void tabAndEscReturnToTheEditor_data();
  void tabAndEscReturnToTheEditor();
  void activationUpdates_data();
  void activationUpdates();
  void showingFillsOnlyAnEmptyList();
};

void CommentListTest::windowLayout() {
  Main main(kSong);
  TfrmList frm(main.memo);
  QCOMPARE(frm.windowTitle(), QStringLiteral("Comment List"));
  QCOMPARE(frm.size(), QSize(304, 225));
  QCOMPARE(frm.Edit1->width(), 121);
  QCOMPARE(frm.Edit1->parentWidget()->height(), 28);
  // The filter box says what it is for, and its label fits the window.
  frm.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frm));
  auto* label = frm.Edit1->parentWidget()->findChild<QLabel*>();
  QVERIFY(label && label->buddy() == frm.Edit1);
  QVERIFY(!frm.Edit1->placeholderText().isEmpty());
  QVERIFY(label->width() >= label->sizeHint().width());
  QVERIFY(frm.Edit1->geometry().right() < frm.width());
  QCOMPARE(frm.ListBox1->font().pixelSize(), 16);
  QStringList bar;
  for (QAction* a : frm.menuBar()->actions()) bar.append(a->text());
  QCOMPARE(bar, (QStringList{"&Clear", "&Update", "&Sort"}));
  QCOMPARE(frm.menuBar()->actions()[0]->menu()->actions(), (QList<QAction*>{frm.Clear2}));
  QCOMPARE(frm.menuBar()->actions()[1], frm.Update1);
  QCOMPARE(frm.menuBar()->actions()[2]->menu()->actions(), (QList<QAction*>{frm.Name1, frm.Place1}));
  frm.Place1Click();
  QCOMPARE(frm.ListBox1->visualItemRect(frm.ListBox1->item(0)).height(), 16);

  // A comment over two lines keeps its line break but shows on one row.
  main.memo->setPlainText("{two\nlines} {two lines}");
  frm.Place1Click();
  QCOMPARE(frm.entries(), (QStringList{"{two\nlines}", "{two lines}"}));
  QStyleOptionViewItem option;
  option.initFrom(frm.ListBox1);
  option.widget = frm.ListBox1;
  const QAbstractItemModel* model = frm.ListBox1->model();
  const QSize twoLines = frm.ListBox1->itemDelegate()->sizeHint(option, model->index(0, 0));
  QCOMPARE(twoLines, frm.ListBox1->itemDelegate()->sizeHint(option, model->index(1, 0)));
  QCOMPARE(twoLines.height(), 16);
}

void CommentListTest::updatePlaceAndName() {
  Main main(kSong);
  TfrmList frm(main.memo);
  frm.Update1->trigger();
  QCOMPARE(frm.entries(), (QStringList{"{intro}", "{verse}"}));
  frm.Place1->trigger();
  QCOMPARE(frm.entries(), (QStringList{"{intro}", "{verse}", "{intro}"}));
  frm.Clear2->trigger();
  QCOMPARE(frm.entries(), QStringList{});

  // Name updates, sorts once, and keeps the selected entry selected.
  main.memo->setPlainText("{verse} {Bridge} {a} {intro}");
  frm.Update1Click();
  frm.ListBox1->setCurrentRow(2);  // {a}
  frm.Name1->trigger();
  QCOMPARE(frm.entries(), (QStringList{"{a}", "{Bridge}", "{intro}", "{verse}"}));
  QCOMPARE(frm.selectedRow(), 0);
  // Later additions go to the end unsorted.
  main.memo->setPlainText("{verse} {Bridge} {a} {intro} {C}");
  frm.Update1Click();
  QCOMPARE(frm.entries(), (QStringList{"{a}", "{Bridge}", "{intro}", "{verse}", "{C}"}));
}

enum class JumpBy { DoubleClick, EnterInList, EnterInFilter };
Q_DECLARE_METATYPE(JumpBy)

void CommentListTest::jumpMovesTheEntryToTheTop_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("filter");  // selects the entry to jump to
  QTest::addColumn<JumpBy>("by");
  QTest::addColumn<QStringList>("after");
  QTest::addColumn<int>("selStart");

  QTest::newRow("double click") << kSong << "ve" << JumpBy::DoubleClick << QStringList{"{verse}", "{intro}"} << 14;
  QTest::newRow("Enter in the list") << kSong << "ve" << JumpBy::EnterInList
                                     << QStringList{"{verse}", "{intro}"} << 14;
  QTest::newRow("Enter in the filter box") << kSong << "ve" << JumpBy::EnterInFilter
                                           << QStringList{"{verse}", "{intro}"} << 14;
  QTest::newRow("the first entry stays first") << kSong << "in" << JumpBy::DoubleClick
                                               << QStringList{"{intro}", "{verse}"} << 0;
  QTest::newRow("over a line break") << "c\nd {two\nlines} {x}" << "x" << JumpBy::DoubleClick
                                     << QStringList{"{x}", "{two\nlines}"} << 16;
  QTest::newRow("a comment spanning lines") << "c\nd {two\nlines} {x}" << "two" << JumpBy::EnterInList
                                            << QStringList{"{two\nlines}", "{x}"} << 4;
  QTest::newRow("Japanese before it") << QString::fromUtf8("{あ} ドレミ {b}") << "b" << JumpBy::DoubleClick
                                      << QStringList{"{b}", QString::fromUtf8("{あ}")} << 8;
}

void CommentListTest::jumpMovesTheEntryToTheTop() {
  QFETCH(QString, text);
  QFETCH(QString, filter);
  QFETCH(JumpBy, by);
  QFETCH(QStringList, after);
  QFETCH(int, selStart);
  Main main(text);
  TfrmList frm(main.memo);
  Warnings warnings;
  frm.Update1Click();
  frm.Edit1->setText(filter);
  QVERIFY(frm.selectedRow() >= 0);
  switch (by) {
    case JumpBy::DoubleClick: frm.ListBox1DblClick(); break;
    case JumpBy::EnterInList: QTest::keyClick(frm.ListBox1, Qt::Key_Return); break;
    case JumpBy::EnterInFilter: QTest::keyClick(frm.Edit1, Qt::Key_Enter); break;
  }
  QCOMPARE(frm.entries(), after);
  QCOMPARE(frm.selectedRow(), 0);
  QCOMPARE(main.memo->selStart(), selStart);
  QCOMPARE(main.memo->selText(), after[0]);
  QCOMPARE(main.window.focusWidget(), main.memo);
  QCOMPARE(warnings.shown, QStringList{});
}

void CommentListTest::staleEntryWarnsAndGoes() {
  Main main(kSong);
  TfrmList frm(main.memo);
  Warnings warnings;
  frm.Update1Click();
  main.memo->setPlainText("{intro} c d e f g {intro}");
  main.memo->setSelection(3, 2);
  frm.ListBox1->setCurrentRow(1);
  frm.ListBox1DblClick();
  QCOMPARE(warnings.shown, QStringList{QString::fromUtf8("選択されたコメントが見つかりません。")});
  QCOMPARE(frm.entries(), QStringList{"{intro}"});
  QCOMPARE(frm.selectedRow(), -1);
  QCOMPARE(main.memo->selStart(), 3);  // the editor is left alone
  QCOMPARE(main.memo->selLength(), 2);

  // Letter case counts: {Intro} is not {intro}.
  main.memo->setPlainText("{Intro}");
  frm.ListBox1->setCurrentRow(0);
  QTest::keyClick(frm.ListBox1, Qt::Key_Return);
  QCOMPARE(warnings.shown.size(), 2);
  QCOMPARE(frm.entries(), QStringList{});
}

void CommentListTest::jumpWithoutSelectionDoesNothing() {
  Main main(kSong);
  TfrmList frm(main.memo);
  Warnings warnings;
  frm.ListBox1DblClick();  // empty list
  frm.Update1Click();
  main.memo->setPlainText("");
  frm.ListBox1DblClick();  // nothing selected: no warning, nothing removed
  QCOMPARE(frm.entries(), (QStringList{"{intro}", "{verse}"}));
  QCOMPARE(warnings.shown, QStringList{});
}

void CommentListTest::filterSelects_data() {
  QTest::addColumn<QStringList>("typed");  // successive key sequences
  QTest::addColumn<QString>("selected");   // empty: nothing selected

  QTest::newRow("ve selects {verse}") << QStringList{"ve"} << "{verse}";
  QTest::newRow("then x clears") << QStringList{"ve", "x"} << "";
  QTest::newRow("letter case ignored") << QStringList{"VER"} << "{verse}";
  QTest::newRow("first of several") << QStringList{"v"} << "{verse}";
  QTest::newRow("longer") << QStringList{"verse 2"} << "{Verse 2}";
  QTest::newRow("inside is no match") << QStringList{"erse"} << "";
}

void CommentListTest::filterSelects() {
  QFETCH(QStringList, typed);
  QFETCH(QString, selected);
  Main main("{intro} {verse} {Verse 2} {chorus}");
  TfrmList frm(main.memo);
  frm.Update1Click();
  for (const QString& keys : typed) QTest::keyClicks(frm.Edit1, keys);
  const int row = frm.selectedRow();
  QCOMPARE(row >= 0 ? frm.ListBox1->item(row)->text() : QString(), selected);
  QCOMPARE(frm.entries().size(), 4);  // the filter never hides entries
}

void CommentListTest::upAndDownWrap_data() {
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("to");

  QTest::newRow("Up on the first: last") << 0 << int(Qt::Key_Up) << 2;
  QTest::newRow("Down on the last: first") << 2 << int(Qt::Key_Down) << 0;
  QTest::newRow("Up in the middle") << 1 << int(Qt::Key_Up) << 0;
  QTest::newRow("Down in the middle") << 1 << int(Qt::Key_Down) << 2;
  // The other keys every list answers stay in the list.
  QTest::newRow("Home") << 2 << int(Qt::Key_Home) << 0;
  QTest::newRow("End") << 0 << int(Qt::Key_End) << 2;
  QTest::newRow("PageUp") << 2 << int(Qt::Key_PageUp) << 0;
  QTest::newRow("PageDown") << 0 << int(Qt::Key_PageDown) << 2;
  QTest::newRow("Left") << 1 << int(Qt::Key_Left) << 1;
  QTest::newRow("Right") << 1 << int(Qt::Key_Right) << 1;
  QTest::newRow("Delete") << 1 << int(Qt::Key_Delete) << 1;
}

void CommentListTest::upAndDownWrap() {
  QFETCH(int, from);
  QFETCH(int, key);
  QFETCH(int, to);
  Main main("{a} {b} {c}");
  TfrmList frm(main.memo);
  frm.show();  // a page is as high as the list shows
  frm.Update1Click();
  frm.ListBox1->setCurrentRow(from);
  QTest::keyClick(frm.ListBox1, Qt::Key(key));
  QCOMPARE(frm.selectedRow(), to);
  QCOMPARE(frm.Edit1->text(), QString());
}

void CommentListTest::typedKeyMovesToTheFilterBox_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QString>("selected");

  QTest::newRow("letter: its capital") << int(Qt::Key_V) << int(Qt::NoModifier) << "V" << "{verse}";
  QTest::newRow("shifted letter") << int(Qt::Key_C) << int(Qt::ShiftModifier) << "C" << "{chorus}";
  QTest::newRow("digit") << int(Qt::Key_2) << int(Qt::NoModifier) << "2" << "{2nd}";
  QTest::newRow("letter with no entry") << int(Qt::Key_Z) << int(Qt::NoModifier) << "Z" << "";
  QTest::newRow("Insert: code 45") << int(Qt::Key_Insert) << int(Qt::NoModifier) << "-" << "";
  QTest::newRow("Help: code 47") << int(Qt::Key_Help) << int(Qt::NoModifier) << "/" << "";
  QTest::newRow("keypad 1: code 97") << int(Qt::Key_1) << int(Qt::KeypadModifier) << "a" << "";
  QTest::newRow("F14: code 125") << int(Qt::Key_F14) << int(Qt::NoModifier) << "}" << "";
}

void CommentListTest::typedKeyMovesToTheFilterBox() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QString, filter);
  QFETCH(QString, selected);
  Main main("{intro} {verse} {chorus} {2nd}");
  TfrmList frm(main.memo);
  frm.Update1Click();
  frm.ListBox1->setCurrentRow(0);
  frm.ListBox1->setFocus();
  QTest::keyClick(frm.ListBox1, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QCOMPARE(frm.Edit1->text(), filter);
  QCOMPARE(frm.Edit1->cursorPosition(), 1);
  QCOMPARE(frm.focusWidget(), frm.Edit1);
  const int row = frm.selectedRow();
  QCOMPARE(row >= 0 ? frm.ListBox1->item(row)->text() : QString(), selected);
}

void CommentListTest::sameTypedKeyRunsTheFilterAgain() {
  Main main("{intro} {verse}");
  TfrmList frm(main.memo);
  frm.Update1Click();
  QTest::keyClick(frm.ListBox1, Qt::Key_V);
  QCOMPARE(frm.selectedRow(), 1);
  frm.ListBox1->setCurrentRow(0);
  QTest::keyClick(frm.ListBox1, Qt::Key_V);  // the box already holds "V"
  QCOMPARE(frm.selectedRow(), 1);
}

void CommentListTest::tabAndEscReturnToTheEditor_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Tab") << int(Qt::Key_Tab);
  QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void CommentListTest::tabAndEscReturnToTheEditor() {
  QFETCH(int, key);
  Main main(kSong);
  QLineEdit other(&main.window);  // the editor must take the focus from it
  other.setFocus();
  TfrmList frm(main.memo);
  frm.Update1Click();
  frm.ListBox1->setCurrentRow(1);
  QTest::keyClick(frm.ListBox1, Qt::Key(key));
  QCOMPARE(main.window.focusWidget(), main.memo);
  QCOMPARE(frm.selectedRow(), 1);
  QCOMPARE(frm.Edit1->text(), QString());
  QCOMPARE(main.memo->toPlainText(), kSong);
}

void CommentListTest::activationUpdates_data() {
  QTest::addColumn<QString>("edited");
  QTest::addColumn<QStringList>("after");

  QTest::newRow("a deleted comment goes") << "{intro} c d e f g {intro}" << QStringList{"{intro}"};
  QTest::newRow("kept while an unclosed { follows") << "{intro} c d e f g {intro} {"
                                                   << QStringList{"{intro}", "{verse}"};
  QTest::newRow("a new comment is appended") << kSong + " {coda}"
                                             << QStringList{"{intro}", "{verse}", "{coda}"};
}

void CommentListTest::activationUpdates() {
  QFETCH(QString, edited);
  QFETCH(QStringList, after);
  Main main(kSong);
  TfrmList frm(main.memo);
  frm.Update1Click();
  frm.ListBox1->setCurrentRow(1);
  main.memo->setPlainText(edited);
  frm.FormActivate();
  QCOMPARE(frm.entries(), after);
  QCOMPARE(frm.selectedRow(), 0);
  QCOMPARE(frm.focusWidget(), frm.Edit1);
}

void CommentListTest::showingFillsOnlyAnEmptyList() {
  Main main(kSong);
  TfrmList frm(main.memo);
  frm.FormShow();
  QCOMPARE(frm.entries(), (QStringList{"{intro}", "{verse}"}));
  QCOMPARE(frm.focusWidget(), frm.Edit1);
  main.memo->setPlainText("{other}");
  frm.FormShow();  // not empty: left as it is until the next update
  QCOMPARE(frm.entries(), (QStringList{"{intro}", "{verse}"}));
}

QTEST_MAIN(CommentListTest)
#include "comment_list_test.moc"
