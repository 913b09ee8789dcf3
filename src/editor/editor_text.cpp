// SPDX-License-Identifier: MIT
// Widget-free text operations of the editor: search, the word at the caret
// and the comment index.
#include "editor_text.h"

#include <algorithm>
#include <string>
#include <vector>

#include "document_io.h"
#include "zan/cp932.h"
#include "zan/lexer.h"

namespace {

// Folds only A-Z, as the position search does.
QString asciiLower(const QString& s) {
  QString out = s;
  for (QChar& c : out)
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + ('a' - 'A'));
  return out;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The word scan addresses the text from 1, with two conventions of its own:
// position 0 stands for the first character too, and a position outside the
// text holds no character (a null QChar, which is no name character, digit,
// bracket or "=").
class ScanText {
 public:
  explicit ScanText(const QString& text) : text_(text) {}
  QChar at(int s) const {
    if (s == 0) s = 1;
    return s >= 1 && s <= text_.size() ? text_[s - 1] : QChar();
  }
  int size() const { return static_cast<int>(text_.size()); }
  // Positions from..to inclusive, counted from 1.
  QString span(int from, int to) const { return to < from ? QString() : text_.mid(from - 1, to - from + 1); }

 private:
  const QString& text_;
};

}  // namespace

int InStrQ(const QString& text, const QString& sub, int from, bool ignoreCase) {
  if (sub.isEmpty()) return 0;
  if (from < 1) from = 1;
  if (from > text.size()) return 0;
  const qsizetype p = ignoreCase ? asciiLower(text).indexOf(asciiLower(sub), from - 1)
                                 : text.indexOf(sub, from - 1);
  return p < 0 ? 0 : static_cast<int>(p) + 1;
}

bool IsNameChar(QChar c) {
  return isDigit(c) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_') ||
         c == QLatin1Char('`');
}

WordAtCaretResult WordAtCaret(const QString& text, int caret) {
  const ScanText t(text);
  int k = std::clamp(caret, 0, t.size());  // characters before the caret; the one left of it is at k
  int s = k;                               // the scan position
  const auto result = [&](const QString& word) { return WordAtCaretResult{word, k}; };

  // After a call such as ACB(64,1): name the macro before the "(".
  if (t.at(s) == QLatin1Char(')')) {
    int q = s;
    while (q >= 0 && t.at(q) != QLatin1Char('(')) --q;
    if (q < 0) return result(QString());
    k = std::max(q - 1, 0);
    s = k;
  }
  // A number after "=" (X=12): name what stands before the "=". A number
  // that runs to the start of the text names nothing.
  if (isDigit(t.at(s))) {
    int j = s;
    while (j >= 1 && isDigit(t.at(j))) --j;
    if (j == 0) return result(QString());
    if (t.at(j) == QLatin1Char('=')) {
      k = std::max(j - 1, 0);
      s = k;
    } else {
      s = j;
    }
  }
  if (t.at(s) == QLatin1Char('=')) {
    k = std::max(s - 1, 0);
    s = k;
  }
  if (!IsNameChar(t.at(s))) return result(t.at(k).isNull() ? QString() : QString(t.at(k)));

  // A name may end in digits (EX2) but never start with one (1AB names AB),
  // so in each direction a digit is taken only before any other character.
  int left = s;
  bool tookNonDigit = false;
  while (left >= 1 && IsNameChar(t.at(left)) && !(isDigit(t.at(left)) && tookNonDigit)) {
    if (!isDigit(t.at(left))) tookNonDigit = true;
    --left;
  }
  int right = k + 1;
  tookNonDigit = false;
  while (right <= t.size() && IsNameChar(t.at(right)) && !(isDigit(t.at(right)) && tookNonDigit)) {
    if (!isDigit(t.at(right))) tookNonDigit = true;
    ++right;
  }
  return result(t.span(left + 1, k) + t.span(k + 1, right - 1));
}

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The topic keyword of one span of a line, as the reference names it; `at`
// is the caret's byte in the line. Values and argument lists belong to the
// command before them, which the caller has already stepped back to.
QString helpKeyword(const std::string& line, const zan::Token& t, int at, bool openComment) {
  const std::string text = line.substr(static_cast<size_t>(t.start), static_cast<size_t>(t.length));
  const char first = text.front();
  switch (t.kind) {
    case zan::TokenKind::Note:
    case zan::TokenKind::Rest:
    case zan::TokenKind::Setting:
    case zan::TokenKind::Channel:
    case zan::TokenKind::Loop:
      return QString(QLatin1Char(first));
    case zan::TokenKind::Comment:
      if (first == '{' || first == '}' || first == ';') return QString(QLatin1Char(first));
      return openComment && t.start == 0 ? QStringLiteral("{") : QString();
    case zan::TokenKind::Directive: {
      size_t n = 1;
      while (n < text.size() && (isAsciiLetter(text[n]) || text[n] == '_')) ++n;
      return QString::fromLatin1(text.data(), static_cast<qsizetype>(n));
    }
    case zan::TokenKind::Variable: {
      // A read-out after "=" has a topic of its own: ~1=ptr, ~2=REV.
      const size_t eq = text.find('=');
      size_t end = eq == std::string::npos ? eq : eq + 1;
      while (end != std::string::npos && end < text.size() && isAsciiLetter(text[end])) ++end;
      const int wordStart = t.start + static_cast<int>(eq) + 1;
      if (eq != std::string::npos && end > eq + 1 && at >= wordStart && at < t.start + static_cast<int>(end))
        return QStringLiteral("~n=") + QString::fromLatin1(text.data() + eq + 1, static_cast<qsizetype>(end - eq - 1));
      return QStringLiteral("~n=value");
    }
    case zan::TokenKind::Underscore:
    case zan::TokenKind::Numbered:
    case zan::TokenKind::Macro:
      return fromCp932(text);
    default:
      return {};
  }
}

bool isArgumentSpan(zan::TokenKind kind) {
  return kind == zan::TokenKind::Argument || kind == zan::TokenKind::Length;
}

}  // namespace

QString HelpWordAtCaret(const QString& text, int caret) {
  caret = std::clamp(caret, 0, static_cast<int>(text.size()));
  const QStringList lines = text.left(caret).split(QLatin1Char('\n'));
  const int column = static_cast<int>(lines.back().size());
  qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), caret);
  if (lineEnd < 0) lineEnd = text.size();
  // The lines before set the state this one starts in: an open comment,
  // skip mode, the score's macros.
  zan::LexState state;
  std::vector<zan::Token> tokens;
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) zan::lexLine(zan::toCp932(lines[i].toStdString()), state, tokens);
  const bool openComment = state.inComment;
  const QString whole = text.mid(caret - column, lineEnd - (caret - column));
  const std::string line = zan::toCp932(whole.toStdString());
  zan::lexLine(line, state, tokens);
  const int at = static_cast<int>(zan::toCp932(whole.left(column).toStdString()).size());  // the caret's byte
  // The span left of the caret wins over the one right of it.
  for (int side : {at - 1, at}) {
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (side < tokens[i].start || side >= tokens[i].start + tokens[i].length) continue;
      size_t j = i;
      // Values and lists belong to the command they follow; so does what
      // stands right after a name without a gap, even where the compiler
      // would not read it.
      while (j > 0 && (isArgumentSpan(tokens[j].kind) ||
                       (tokens[j].kind == zan::TokenKind::Unknown &&
                        tokens[j - 1].start + tokens[j - 1].length == tokens[j].start)))
        --j;
      return helpKeyword(line, tokens[j], side, openComment);
    }
  }
  return {};
}

int FindFrom(const QString& text, const QString& what, int selStart) {
  int p = InStrQ(text, what, std::max(selStart, 0) + 2, false);
  if (p == 0) p = InStrQ(text, what, 1, false);
  return p - 1;
}

CollectedComments CollectComments(const QString& text) {
  CollectedComments found;
  int s = InStrQ(text, QStringLiteral("{"), 1, false);
  while (s != 0) {
    const int e = InStrQ(text, QStringLiteral("}"), s + 1, false);
    if (e == 0) {
      found.stoppedEarly = true;
      break;
    }
    found.comments.append(text.mid(s - 1, e - s + 1));
    s = InStrQ(text, QStringLiteral("{"), e + 1, false);
  }
  return found;
}

QStringList CommentsToAppend(const QStringList& entries, const QStringList& comments) {
  QStringList held = entries;
  QStringList added;
  for (const QString& c : comments) {
    if (held.contains(c, Qt::CaseInsensitive)) continue;
    held.append(c);
    added.append(c);
  }
  return added;
}

bool CommentIsStale(const QString& entry, const QString& text) { return !text.contains(entry); }

QStringList UpdatedEntries(const QStringList& entries, const CollectedComments& found,
                           const QString& text) {
  QStringList out = entries + CommentsToAppend(entries, found.comments);
  if (!found.stoppedEarly) out.removeIf([&](const QString& e) { return CommentIsStale(e, text); });
  return out;
}

QStringList PlacedEntries(const CollectedComments& found) { return found.comments; }

int FilterMatch(const QStringList& entries, const QString& filter) {
  const QString f = asciiLower(QLatin1Char('{') + filter);
  for (int i = 0; i < entries.size(); ++i)
    if (asciiLower(entries[i].left(f.size())) == f) return i;
  return -1;
}

bool NameLess(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }

QStringList SortedByName(QStringList entries) {
  std::stable_sort(entries.begin(), entries.end(), NameLess);
  return entries;
}
