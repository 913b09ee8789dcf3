// SPDX-License-Identifier: MIT
#include "syntax_highlighter.h"

#include <QTextDocument>

#include "zan/cp932.h"
#include "zan/line_columns.h"

namespace {

using zan::TokenKind;

// A hue per kind (degrees) and how strongly it is coloured; the lightness
// comes from the background.
struct Colouring {
  TokenKind kind;
  int hue;
  double saturation;
};
// clang-format off
constexpr Colouring kColours[] = {
    {TokenKind::Note,       220, 0.75},  // blue
    {TokenKind::Length,     200, 0.45},  // greyish blue
    {TokenKind::Rest,       250, 0.30},  // grey violet
    {TokenKind::Setting,    280, 0.60},  // purple
    {TokenKind::Channel,     25, 0.85},  // orange brown
    {TokenKind::Loop,       330, 0.80},  // magenta
    {TokenKind::Comment,    120, 0.30},  // grey green
    {TokenKind::Directive,    0, 0.55},  // dark red
    {TokenKind::Underscore, 185, 0.80},  // cyan
    {TokenKind::Variable,    55, 0.80},  // olive
    {TokenKind::Numbered,    15, 0.60},  // brown
    {TokenKind::Macro,      265, 0.85},  // violet
    {TokenKind::Argument,    40, 0.40},  // khaki
    {TokenKind::BarLine,      0, 0.00},  // grey
    {TokenKind::Unknown,      0, 0.90},  // red, on a red tint
};
// clang-format on

}  // namespace

void toLineBytes(const QString& line, std::string& bytes, std::vector<int>& charOfByte) {
  bytes.clear();
  charOfByte.clear();
  const qsizetype n = line.size();
  bool ascii = true;
  for (qsizetype i = 0; i < n && ascii; ++i) ascii = line[i].unicode() < 0x80;
  if (ascii) {
    bytes.resize(static_cast<size_t>(n));
    charOfByte.resize(static_cast<size_t>(n) + 1);
    for (qsizetype i = 0; i < n; ++i) {
      bytes[static_cast<size_t>(i)] = static_cast<char>(line[i].unicode());
      charOfByte[static_cast<size_t>(i)] = static_cast<int>(i);
    }
    charOfByte[static_cast<size_t>(n)] = static_cast<int>(n);
    return;
  }
  // As the compiler receives the line: each character one or two bytes, or
  // one '?' when CP932 cannot hold it.
  const std::string utf8 = line.toStdString();
  bytes = zan::toCp932(utf8);
  const zan::LineColumns columns = zan::LineColumns::ofUtf8(utf8);
  charOfByte.resize(bytes.size() + 1);
  for (size_t b = 0; b <= bytes.size(); ++b)
    charOfByte[b] = columns.convert(static_cast<int32_t>(b), zan::LineColumns::Cp932, zan::LineColumns::Utf16);
}

SyntaxHighlighter::SyntaxHighlighter(QTextDocument* document, const QColor& background)
    : QSyntaxHighlighter(document), target_(document), scheme_(schemeFor(background)) {
  states_.emplace_back();  // index 0: the state before the first line
}

std::array<QTextCharFormat, zan::kTokenKindCount> SyntaxHighlighter::schemeFor(const QColor& background) {
  const bool dark = background.lightnessF() < 0.5;
  std::array<QTextCharFormat, zan::kTokenKindCount> scheme;
  for (const Colouring& c : kColours) {
    QTextCharFormat f;
    f.setForeground(QColor::fromHslF(c.hue / 360.0, c.saturation, dark ? 0.72 : 0.34));
    if (c.kind == TokenKind::Unknown) f.setBackground(QColor::fromHslF(0.0, 0.9, dark ? 0.25 : 0.92));
    scheme[static_cast<size_t>(c.kind)] = f;
  }
  return scheme;
}

void SyntaxHighlighter::setBackground(const QColor& background) {
  scheme_ = schemeFor(background);
  if (enabled_) rehighlight();
}

void SyntaxHighlighter::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  // Without a document Qt removes every format it set.
  setDocument(on ? target_ : nullptr);
}

int SyntaxHighlighter::stateIndex(const zan::LexState& state, int previous) {
  if (states_[static_cast<size_t>(previous)] == state) return previous;  // most lines change nothing
  const int current = currentBlockState();
  if (current >= 0 && static_cast<size_t>(current) < states_.size() && states_[static_cast<size_t>(current)] == state)
    return current;
  states_.push_back(state);
  return static_cast<int>(states_.size()) - 1;
}

void SyntaxHighlighter::highlightBlock(const QString& text) {
  int previous = previousBlockState();
  if (previous < 0 || static_cast<size_t>(previous) >= states_.size()) previous = 0;  // the first line
  zan::LexState state = states_[static_cast<size_t>(previous)];
  toLineBytes(text, bytes_, charOfByte_);
  zan::lexLine(bytes_, state, tokens_);
  for (const zan::Token& t : tokens_) {
    const size_t end = static_cast<size_t>(t.start + t.length);
    const int from = charOfByte_[static_cast<size_t>(t.start)];
    const int last = charOfByte_[end - 1];
    const int to = charOfByte_[end] > last ? charOfByte_[end] : last + 1;
    setFormat(from, to - from, format(t.kind));
  }
  setCurrentBlockState(stateIndex(state, previous));
}
