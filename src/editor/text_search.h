// TextSearch: Find and Find Next over the editor's text. It owns the two
// commands and the text last searched for; Find takes the selection, or asks
// for the text, and searches on from one after the selection's start,
// wrapping to the top.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class TExtMemo;

class TextSearch : public QObject {
  Q_OBJECT

 public:
  explicit TextSearch(QObject* parent);
  void attach(TExtMemo* editor) { editor_ = editor; }
  // "&Find" (Ctrl+F) and "Find &Next" (F3), named for their handlers.
  QAction* findAction() const { return find_; }
  QAction* findNextAction() const { return findNext_; }

  QString text;  // the text last searched for

  void find();
  void findNext();  // Find when there is no text yet
  void search();    // for `text`, from one after the selection's start

 private:
  TExtMemo* editor_ = nullptr;
  QAction* find_;
  QAction* findNext_;
};
