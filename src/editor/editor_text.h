// SPDX-License-Identifier: MIT
// Text operations of the editor's windows that need no widget: the position
// search, the word at the caret, Find's wrapping search and the comment
// index. All positions are the editor's own character positions (a line
// break is one character); where a function counts from 1 it says so.
#pragma once

#include <QString>
#include <QStringList>

// The position (from 1) of the first occurrence of `sub` in `text` that
// starts at or after position `from` (from 1); 0 when there is none, when
// `sub` is empty or when `from` lies beyond the end. With `ignoreCase` only
// the letters A-Z are folded, so full-width and accented letters still have
// to match exactly. REQUIRES: from >= 1 (a smaller value searches from 1).
// Named apart from the compiler's byte-string InStr so both can be included.
int InStrQ(const QString& text, const QString& sub, int from, bool ignoreCase);

// The characters a macro or command name is made of: 0-9, A-Z, '_' and '`'.
// Lower-case letters and everything beyond ASCII are not name characters.
bool IsNameChar(QChar c);

// The macro or command name at the caret, for Find Macro, Check Macro and
// Help, when the editor has no selection (with a selection the caller uses
// the selected text). `caret` is the number of characters before the caret.
// The scan may move the caret: after a call such as ACB(64,1) or a number
// after "=" it stands before the "(" or the "="; `caret` in the result is
// where it should be, equal to the argument when it did not move. When the
// caret is not on a name the word is the single character left of it (a
// space, say), and it may be empty.
struct WordAtCaretResult {
  QString word;
  int caret = 0;
};
WordAtCaretResult WordAtCaret(const QString& text, int caret);

// The command at the caret for Help (F1), as the reference names it. The
// score is read by the library's lexer, so the command is the one the
// compiler would see there, with its values and argument list: "_tr" for
// _tr(1) anywhere from its "_" to its ")", "t" inside t132, "REV" for
// REV=40, "#timebase", "\15", "{" inside a comment, "~n=ptr" on the ptr of
// ~1=ptr. The command left of the caret wins over the one right of it.
// Returns "" when the caret touches no command (a space between two).
QString HelpWordAtCaret(const QString& text, int caret);

// Find and Find Next: the first occurrence of `what` that starts after
// `selStart` (the selection start, or the caret), so that repeated searches
// move on from match to match; when there is none, the first occurrence in
// the whole text. The result counts from 0; -1 when `what` is empty or does
// not occur.
int FindFrom(const QString& text, const QString& what, int selStart);

// The {...} comments of a text, in text order, braces included; a comment
// may span lines. Braces do not nest: {a{b}c} holds the one comment {a{b}.
// An unclosed "{" ends the scan with `stoppedEarly` set; the comments before
// it are still listed.
struct CollectedComments {
  QStringList comments;
  bool stoppedEarly = false;
};
CollectedComments CollectComments(const QString& text);

// The comment list's operations on its entries, kept here so that they can
// be checked without a window. An entry is the full text of a comment.
//
// Update appends, in text order, each collected comment the list does not
// hold yet, comparing without regard to letter case ({A} and {a} are the same
// entry); then, unless the scan stopped at an unclosed brace, it drops every
// entry that no longer occurs in the text with its exact letter case. The
// order of the entries already there is kept: the most recently used stay
// at the top. The two steps run in this order, so an entry {Intro} facing a
// text that now holds only {intro} is neither kept nor replaced.
QStringList CommentsToAppend(const QStringList& entries, const QStringList& comments);
bool CommentIsStale(const QString& entry, const QString& text);
QStringList UpdatedEntries(const QStringList& entries, const CollectedComments& found,
                           const QString& text);

// Place: every collected comment in text order, duplicates included.
QStringList PlacedEntries(const CollectedComments& found);

// The row of the first entry that begins with "{" + `filter`, folding only
// A-Z; -1 when none does. An empty filter matches the first entry that
// begins with "{".
int FilterMatch(const QStringList& entries, const QString& filter);

// Name's order: ascending, ignoring letter case (Unicode case folding,
// independent of the locale so that the order is the same on every
// machine). Entries that compare equal keep their order.
bool NameLess(const QString& a, const QString& b);
QStringList SortedByName(QStringList entries);
