// SPDX-License-Identifier: MIT
// Replace and Replace All (one undo step), Go to Line counted as the
// gutter counts, and the keys beside them.
#include "editor_fixture.h"
#include "text_search.h"

class EditingTest : public QObject {
  Q_OBJECT

  static TextSearch* searchOf(Windows& w) { return w.main->findChild<TextSearch*>(); }

 private slots:
  void replaceAllIsOneUndoStep() {
    Windows w;
    w.setText("c d c e c\nc");
    TextSearch* s = searchOf(w);
    s->text = "c";
    QCOMPARE(s->replaceAll("g8"), 4);
    QCOMPARE(w.text(), QString("g8 d g8 e g8\ng8"));
    QVERIFY(w.main->statusText().startsWith("Replaced 4"));
    w.main->reMain->undo();
    QCOMPARE(w.text(), QString("c d c e c\nc"));
  }

  void replaceTakesTheMatchAndGoesOn() {
    Windows w;
    w.setText("ab x ab y ab");
    TextSearch* s = searchOf(w);
    s->text = "ab";
    w.main->reMain->setCaret(0);
    s->replaceNext("Q");  // nothing selected yet: finds the next match
    QCOMPARE(w.text(), QString("ab x ab y ab"));
    QCOMPARE(w.main->reMain->selText(), QString("ab"));
    s->replaceNext("Q");
    QCOMPARE(w.text(), QString("ab x Q y ab"));
    QCOMPARE(w.main->reMain->selText(), QString("ab"));
    QCOMPARE(w.main->reMain->selStart(), 9);
  }

  void goToLineCountsFromZero() {
    Windows w;
    w.setText("a\nb\nc\nd");
    TextSearch* s = searchOf(w);
    QVERIFY(s->goTo(2));
    QCOMPARE(w.main->reMain->caretLine(), 2);
    QCOMPARE(w.main->reMain->caretColumn(), 0);
    QVERIFY(!s->goTo(4));
    QVERIFY(!s->goTo(-1));
    QCOMPARE(w.main->reMain->caretLine(), 2);
  }

  void theKeys() {
    Windows w;
    const struct {
      const char* handler;
      QKeySequence key;
    } rows[] = {
        {"New1Click", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"Replace1Click", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
        {"GoToLine1Click", QKeySequence(Qt::CTRL | Qt::Key_G)},
        {"CHeckMacro1Click", QKeySequence(Qt::CTRL | Qt::Key_H)},  // kept
        {"Find2Click", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {"FindNext1Click", QKeySequence(Qt::Key_F3)},
    };
    for (const auto& r : rows) {
      QAction* a = w.main->action(r.handler);
      QVERIFY2(a, r.handler);
      QCOMPARE(a->shortcut(), r.key);
    }
  }

  void findSaysWhenItWentOnFromTheTop() {
    Windows w;
    w.setText("cde x\ncde");
    w.main->findText = "cde";
    w.main->reMain->setCaret(7);
    w.main->FindNext1Click();
    QCOMPARE(w.main->reMain->selStart(), 0);
    QVERIFY(w.main->statusText().contains("from the top"));
  }
};

QTEST_MAIN(EditingTest)
#include "editing_test.moc"
