// SPDX-License-Identifier: MIT
// SyntaxHighlighter: colours the score by the library's lexer, block by
// block as Qt asks, each block lexed with the state the block before left
// (an open comment, the macros defined so far). The colours are derived from
// the editor's background, so the text stays readable on light and dark.
#pragma once

#include <QColor>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>
#include <string>
#include <vector>

#include "zan/lexer.h"

class SyntaxHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  explicit SyntaxHighlighter(QTextDocument* document, const QColor& background);

  // Colours for text on `background`, one format per kind of span.
  static std::array<QTextCharFormat, zan::kTokenKindCount> schemeFor(const QColor& background);
  void setBackground(const QColor& background);
  const QTextCharFormat& format(zan::TokenKind kind) const { return scheme_[static_cast<size_t>(kind)]; }

  // Off leaves the text in its plain colour; on colours it again.
  void setEnabled(bool on);
  bool isEnabled() const { return enabled_; }

 protected:
  void highlightBlock(const QString& text) override;

 private:
  // Block states are indexes into states_: equal states share one index, so
  // Qt goes on to the next block only when a block's state really changed.
  int stateIndex(const zan::LexState& state, int previous);

  QTextDocument* target_;
  bool enabled_ = true;
  std::array<QTextCharFormat, zan::kTokenKindCount> scheme_;
  std::vector<zan::LexState> states_;
  std::vector<zan::Token> tokens_;  // kept from block to block to spare allocations
  std::string bytes_;
  std::vector<int> charOfByte_;
};

// A line as the compiler reads it: its CP932 bytes, and for each byte (and
// one past the end) the index of the character it belongs to in `line`.
void toLineBytes(const QString& line, std::string& bytes, std::vector<int>& charOfByte);
