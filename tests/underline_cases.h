// SPDX-License-Identifier: MIT
// One table of errors and the text each should underline, which the command
// line's --diagnostics, the language server's ranges and the editor's check
// marks are all held to (tests/underline_test.cpp, tests/editor/
// live_score_test.cpp): the three place an error through one source map.
// Columns are 0-based UTF-16 units of the line, [from, to) (the characters
// here are all in the BMP, so they count characters too).
#pragma once

struct UnderlineCase {
  const char* score;      // UTF-8, lines joined by \n
  const char* included;   // the contents of "part.zan" beside it, or null
  int line, from, to;     // the first error, on the score's line
  int inLine, inFrom, inTo;  // an error in part.zan: where in it (-1 else)
};

// clang-format off
inline constexpr UnderlineCase kUnderlineCases[] = {
    {"c d x",                                  nullptr, 0,  4,  5, -1, 0, 0},
    // é and € are one '?' each to the compiler, two bytes each in UTF-8.
    {"t60 {cafééé} c x",                       nullptr, 0, 15, 16, -1, 0, 0},
    {"{€} {é} c x",                            nullptr, 0, 10, 11, -1, 0, 0},
    {"{日本} c x",                              nullptr, 0,  7,  8, -1, 0, 0},
    // Inside a macro's expansion: the call.
    {"_m(AB,c x)\nc AB d",                     nullptr, 1,  2,  4, -1, 0, 0},
    {"_m(AB,c x)\n{é€} AB d",                  nullptr, 1,  5,  7, -1, 0, 0},
    {"_m(AB,c)\n{ü} AB EX=$F0,$F7 c AB Q x",    nullptr, 1,  7, 18, -1, 0, 0},
    // A body in single quotes.
    {"_m(Q,'c x')\n{é} Q d",                   nullptr, 1,  4,  5, -1, 0, 0},
    // A track group compiles its text once per track.
    {"_tr(1,2) {é} c x _tr(0)",                nullptr, 0, 15, 16, -1, 0, 0},
    // Loops: inside, through a macro, and one left open (at its [).
    {"[2 {é} c x ]",                           nullptr, 0,  9, 10, -1, 0, 0},
    {"_m(AB,c y)\n{é} [2 AB ]",                nullptr, 1,  7, 10, -1, 0, 0},
    {"c\n{é} [2 c",                            nullptr, 1,  4,  5, -1, 0, 0},
    // An error in an included file: its #include, and its own place there.
    {"{é} #include \"part.zan\"\nc",           "c\nd {é} x\n", 0, 4, 23, 1, 6, 7},
};
// clang-format on
