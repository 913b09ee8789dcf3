// Widget-free text operations of the editor: search, the word at the caret
// and the comment index.
#include "editor_text.h"

#include <algorithm>

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

bool isLower(QChar c) { return c >= QLatin1Char('a') && c <= QLatin1Char('z'); }
bool isLetter(QChar c) { return isLower(c) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')); }
bool isHexDigit(QChar c) {
  return isDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The characters that carry a command's values: numbers, signs and
// accidentals, dots, ties, lists, "%" ticks, "~" references and "$"
// hexadecimal.
bool isArgumentChar(QChar c) { return isDigit(c) || QStringView(u",.+-=$~%^&").contains(c); }

struct HelpToken {
  int start = 0;  // first character, in the line
  int end = 0;    // one after the last
  QString keyword;
};

// The commands of one score line, left to right, each with its arguments.
QList<HelpToken> helpTokens(const QString& line) {
  QList<HelpToken> tokens;
  const int n = static_cast<int>(line.size());
  const auto at = [&](int i) { return i < n ? line[i] : QChar(); };
  int i = 0;
  while (i < n) {
    const QChar c = line[i];
    HelpToken t;
    t.start = i;
    int j = i + 1;
    if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('|') || c == QLatin1Char('"')) {
      i = j;
      continue;
    }
    if (c == QLatin1Char(';')) {
      tokens.append({i, n, QStringLiteral(";")});
      break;
    }
    if (c == QLatin1Char('{')) {
      const qsizetype close = line.indexOf(QLatin1Char('}'), i + 1);
      j = close < 0 ? n : static_cast<int>(close) + 1;
      tokens.append({i, j, QStringLiteral("{")});
      i = j;
      continue;
    }
    if (c == QLatin1Char('~') && isDigit(at(j))) {
      while (isDigit(at(j))) ++j;
      t.keyword = QStringLiteral("~n=value");
      // A read-out after "=" has a topic of its own: ~1=ptr, ~2=REV.
      if (at(j) == QLatin1Char('=') && isLetter(at(j + 1))) {
        tokens.append({i, j + 1, t.keyword});
        int k = j + 1;
        while (isLetter(at(k))) ++k;
        i = k;
        tokens.append({j + 1, k, QStringLiteral("~n=") + line.mid(j + 1, k - j - 1)});
        continue;
      }
    } else if (c == QLatin1Char('_') && isLetter(at(j))) {
      while (isLetter(at(j)) || isDigit(at(j)) || at(j) == QLatin1Char('_')) ++j;
    } else if (c == QLatin1Char('#') && isLower(at(j))) {
      while (isLower(at(j)) || at(j) == QLatin1Char('_')) ++j;
    } else if (c == QLatin1Char('\\') && isDigit(at(j))) {
      while (isDigit(at(j))) ++j;
    } else if (IsNameChar(c) && !isDigit(c)) {
      while (IsNameChar(at(j))) ++j;
    }
    if (t.keyword.isEmpty()) t.keyword = line.mid(i, j - i);
    // Its arguments: values, then a list in parentheses.
    while (j < n && isArgumentChar(at(j))) {
      ++j;
      if (at(j - 1) == QLatin1Char('$'))
        while (isHexDigit(at(j))) ++j;
    }
    if (at(j) == QLatin1Char('(')) {
      int depth = 0;
      for (; j < n; ++j) {
        if (line[j] == QLatin1Char('(')) ++depth;
        if (line[j] == QLatin1Char(')') && --depth == 0) {
          ++j;
          break;
        }
      }
    }
    t.end = j;
    tokens.append(t);
    i = j;
  }
  return tokens;
}

}  // namespace

QString HelpWordAtCaret(const QString& text, int caret) {
  caret = std::clamp(caret, 0, static_cast<int>(text.size()));
  const int lineStart = caret == 0 ? 0 : static_cast<int>(text.lastIndexOf(QLatin1Char('\n'), caret - 1)) + 1;
  qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), caret);
  if (lineEnd < 0) lineEnd = text.size();
  const int column = caret - lineStart;
  const QList<HelpToken> tokens = helpTokens(text.mid(lineStart, lineEnd - lineStart));
  for (int side : {column - 1, column})
    for (const HelpToken& t : tokens)
      if (side >= t.start && side < t.end) return t.keyword;
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
