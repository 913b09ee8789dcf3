// SPDX-License-Identifier: MIT
// The main window's appearance and the settings file that keeps it: the
// editor's font and colours, the edit marks, and the View switches.
#include <QAction>
#include <QColorDialog>
#include <QFontDialog>
#include <QStatusBar>
#include <QToolBar>

#include "app_paths.h"
#include "ext_memo.h"
#include "metre.h"
#include "text_boxes.h"
#include "zanpad_unit.h"

// The line-end, tab and end-of-text marks, which Edit Mark switches and
// colours together; the control-character marks keep their own state.
std::array<TEditMark*, 3> TfrmMain::switchableMarks() {
  return {&reMain->EditMarks.CrLf, &reMain->EditMarks.Tab, &reMain->EditMarks.Eot};
}

void TfrmMain::readSettings() {
  settings_.font = reMain->font();
  settings_.fontColour = reMain->palette().color(QPalette::Text);
  settings_.background = reMain->background();
  settings_.markColour = QColor(0, 255, 255);
  EditorSettings stored = settings_;
  if (!readSettingsFile(settingsPath(), stored)) return;  // defaults: marks keep their design state
  settings_ = stored;
  for (TEditMark* m : switchableMarks())
    m->Color = settings_.markColour;
  actions_["EditMark1Click"]->setChecked(!settings_.editMark);
  actions_["ToolBar2Click"]->setChecked(settings_.toolBar);
  ToolBar1->setVisible(settings_.toolBar);
  actions_["MessageView1Click"]->setChecked(settings_.messageView);
  actions_["ErrorBeep1Click"]->setChecked(settings_.errorBeep);
  actions_["EditMark1Click"]->setChecked(!actions_["EditMark1Click"]->isChecked());
  EditMark1Click();
  reMain->setFont(settings_.font);
  QPalette p = reMain->palette();
  p.setColor(QPalette::Text, settings_.fontColour);
  reMain->setPalette(p);
  reMain->setBackground(settings_.background);
}

EditorSettings TfrmMain::currentSettings() const {
  EditorSettings s = settings_;
  s.editMark = actions_["EditMark1Click"]->isChecked();
  s.toolBar = actions_["ToolBar2Click"]->isChecked();
  s.messageView = actions_["MessageView1Click"]->isChecked();
  s.errorBeep = actions_["ErrorBeep1Click"]->isChecked();
  return s;
}

bool TfrmMain::writeSettings() { return writeSettingsFile(settingsPath(), currentSettings()); }

void TfrmMain::Font1Click() {
  bool ok = false;
  QFont font = QFontDialog::getFont(&ok, settings_.font, this);
  if (!ok) return;
  settings_.font = font;
  reMain->setFont(font);
}

void TfrmMain::Metre1Click() {
  if (askMetre(this, reMain)) statusBar()->showMessage(UiText("The bars and beats now count in %1").arg(findMetreComment(reMain->toPlainText()).metre.text()), 4000);
}

void TfrmMain::Color1Click() {
  QColor colour = QColorDialog::getColor(settings_.background, this);
  if (!colour.isValid()) return;
  settings_.background = colour;
  reMain->setBackground(colour);
}

void TfrmMain::EditMark1Click() {
  bool on = actions_["EditMark1Click"]->isChecked();
  for (TEditMark* m : switchableMarks()) m->Enabled = on;
  reMain->viewport()->update();
}

void TfrmMain::ColorEditMark1Click() {
  QColor colour = QColorDialog::getColor(settings_.markColour, this);
  if (!colour.isValid()) return;
  settings_.markColour = colour;
  for (TEditMark* m : switchableMarks()) m->Color = colour;
  reMain->viewport()->update();
}

