// Bookmarks live in the text itself, as the comments {#0} .. {#9}: they are
// saved with the score and never change the music.
#pragma once

#include <QString>

class QKeyEvent;
class TExtMemo;

QString bookmarkMarker(int digit);  // "{#" digit "}"

// The digit 0..9 of a main-keyboard digit key, whatever Shift made of it
// ("#" for Shift+3 on a US layout), or -1.
int bookmarkDigit(const QKeyEvent* event);

// Moves bookmark `digit` to the caret's line, or removes it when it is there.
void toggleBookmark(TExtMemo& editor, int digit);

// Puts the caret behind the first marker of `digit`; false when there is none.
bool gotoBookmark(TExtMemo& editor, int digit);

// ";" and 79 "-": a line comment that separates sections.
QString separatorLine();
