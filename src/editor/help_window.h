// SPDX-License-Identifier: MIT
// THelpWindow: the help viewer. It shows the language reference, embedded
// in the program as Markdown pages, and finds a topic by keyword: Help (F1)
// in the main window looks up the macro or command at the caret, or the
// body of a built-in macro ("\3" for T).
//
// A topic is a ### heading of a reference page. Its keywords are the code
// words before the heading's dash (`c` `d` `e` ... of the notes, `\3`, `T`,
// `#timebase`), and the heading's whole text as shown.
#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUrl>

class QLineEdit;
class QTextBrowser;

struct HelpTopic {
  QString page;         // the page's file name, "numbered.md"
  QString pageTitle;    // the page's # heading as shown
  QString anchor;       // the heading's anchor on its page
  QString title;        // the heading as shown, "\3 — transpose"
  QStringList keywords;
  QUrl url() const;     // the page, scrolled to the heading
};

// The anchor of a heading, as links between the pages write it: the shown
// text in lower case, without punctuation other than "-" and "_", spaces
// turned into "-". A page's second heading with the same anchor gets "-1"
// appended, the third "-2", and so on (AnchorNamer does the counting).
QString HeadingAnchor(const QString& shownText);
class AnchorNamer {
 public:
  QString next(const QString& shownText);

 private:
  QHash<QString, int> seen_;  // anchor -> how many headings used it
};

// The topics of one page, in page order; headings inside code blocks are
// text, not headings.
QList<HelpTopic> IndexPage(const QString& page, const QString& markdown);

// The topics of every page of the embedded reference, page by page.
QList<HelpTopic> LoadHelpIndex();

// The topics a look-up offers, as indexes into `topics`, in index order.
// The first of these rounds that finds anything decides:
//   1. a keyword equal to `keyword`;
//   2. a keyword beginning with it;
//   3. and 4. the same ignoring letter case;
//   5. the longest code keyword that `keyword` begins with, followed by a
//      character that cannot continue a name, so that a macro body with its
//      arguments ("\10(10,?1,...)", "\2=0,0,?") still leads to the command
//      it calls.
// Empty when nothing matches or `keyword` is empty.
QList<int> MatchTopics(const QList<HelpTopic>& topics, const QString& keyword);

class THelpWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // The contents page.
  void showContents();
  // One matching topic opens at its heading; several show a page listing
  // them as links; none shows the contents.
  void lookUp(const QString& keyword);

  // True when a topic has exactly this keyword (letter case counts).
  bool hasTopic(const QString& keyword) const;

  QUrl source() const;  // the page shown, with the topic's anchor
  QTextBrowser* browser() const;
  const QList<HelpTopic>& topics() const { return topics_; }

  static const QUrl kContentsUrl;

 private:
  void lookUpTyped();

  QList<HelpTopic> topics_;
  QTextBrowser* browser_;
  QLineEdit* keywordBox_;  // look-up by hand
};
