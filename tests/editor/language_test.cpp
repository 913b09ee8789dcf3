// SPDX-License-Identifier: MIT
// The editor in English and in the texts as written: the close prompt, an
// error line the message view still finds the line of, the checker's
// sentence, and Tool > Language.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "editor_fixture.h"
#include "language_setting.h"
#include "player_settings.h"
#include "zan/translate.h"

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { zan::setLanguage("ja"); }

  // The real box, as a user sees it: caption and question.
  void closePromptSpeaksTheLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("question");
    QTest::newRow("en") << "en" << "zanpad: unsaved changes" << "The text has been changed. Save it?";
    QTest::newRow("ja") << "ja" << QString::fromUtf8("zanpad の終了")
                        << QString::fromUtf8("テキストが変更されています。保存しますか？");
  }
  void closePromptSpeaksTheLanguage() {
    QFETCH(QString, language);
    QFETCH(QString, caption);
    QFETCH(QString, question);
    QVERIFY(zan::setLanguage(language.toStdString()));
    Windows w;
    w.setText("c d e\r\n");
    messageBoxHooks().closePrompt = nullptr;
    QString seenCaption, seenQuestion;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      seenCaption = box->windowTitle();
      seenQuestion = box->text();
      box->done(QMessageBox::Cancel);
    });
    w.main->New1Click();
    QCOMPARE(seenCaption, caption);
    QCOMPARE(seenQuestion, question);
    QCOMPARE(w.text(), QString("c d e\n"));  // Cancel keeps the text
  }

  void englishErrorLineStillLeadsToItsLine() {
    QVERIFY(zan::setLanguage("en"));
    Windows w;
    w.setText("c\r\nc c c c v300x\r\n");
    w.main->RunCompilePlay1Click();
    const QString error = "err(1)\"x\":undecipherable character\"> _tr<0> ptr=480<5>beat";
    QVERIFY2(w.messages().contains(error), qPrintable(w.messages().join('\n')));
    QCOMPARE(LineNumberOf(error), 1);
    QCOMPARE(QuotedDetailOf(error), QString("x"));
  }

  void checkerSentenceInEnglish() {
    QVERIFY(zan::setLanguage("en"));
    Windows w;
    w.checker->re1->setPlainText("c4c8");
    w.checker->Check2Click();
    QVERIFY2(w.messages().contains("quarter notes [1] + remainder [48] ticks."), qPrintable(w.messages().join('\n')));
  }

  void languageMenuChoosesAndKeeps() {
    QVERIFY(zan::setLanguage("en"));
    Windows w;
    QAction* japanese = w.main->findChild<QAction*>("Language_ja");
    QAction* english = w.main->findChild<QAction*>("Language_en");
    QAction* automatic = w.main->findChild<QAction*>("Language_auto");
    QVERIFY(japanese && english && automatic);
    english->trigger();
    QCOMPARE(zan::language(), "en");
    QCOMPARE(LanguageSetting::saved(), QString("en"));
    QCOMPARE(japanese->text(), QString::fromUtf8("日本語 (Japanese)"));
    japanese->trigger();
    QCOMPARE(zan::language(), "ja");
    QCOMPARE(LanguageSetting::saved(), QString("ja"));
    automatic->trigger();
    QCOMPARE(LanguageSetting::saved(), QString());
    QCOMPARE(zan::language(), zan::languageFromEnvironment());
    QVERIFY(automatic->isChecked());
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
