// SPDX-License-Identifier: MIT
#include "text_boxes.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "zan/translate.h"

QString UiText(const char* original) { return QString::fromUtf8(zan::tr(original)); }

QString UiText(const QString& original) { return UiText(original.toUtf8().constData()); }

MessageBoxHooks& messageBoxHooks() {
  static MessageBoxHooks hooks;
  return hooks;
}

void WarnBox(const QString& message) {
  if (messageBoxHooks().warn) return messageBoxHooks().warn(message);
  QMessageBox box(QMessageBox::Warning, UiText("警告"), message, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

bool ConfirmBox(const QString& question) {
  if (messageBoxHooks().confirm) return messageBoxHooks().confirm(question);
  QMessageBox box(QMessageBox::Question, UiText("本当に良いですか？"), question,
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  return box.exec() == QMessageBox::Yes;
}

void ErrorBox(const QString& message) {
  if (messageBoxHooks().error) return messageBoxHooks().error(message);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("zan"), message, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

QString InputBox(const QString& caption, const QString& prompt, const QString& preset) {
  if (messageBoxHooks().input) return messageBoxHooks().input(caption, prompt, preset);
  bool ok = false;
  QString answer = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                         QLineEdit::Normal, preset, &ok);
  return ok ? answer : preset;
}
