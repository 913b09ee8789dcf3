// SPDX-License-Identifier: MIT
// Where each event came from: the text of the score a note-on names, through
// macro expansions, loops, track groups and included files, and the file
// unchanged by asking.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan {
namespace {

// Track t's note-ons as "line:text", the text being what the source names
// ("*" for a whole line).
std::string sources(const test::Score& s, const std::vector<EventSource>& recorded, const std::vector<std::string>& lines,
                    int t) {
  std::string out;
  const Tivent& list = s.smf.events[t];
  for (int i = 0; i < list.Count(); ++i) {
    if ((list.bytes(list.entry(i))[0] & 0xF0) != 0x90) continue;
    const EventSource* src = s.smf.eventSource(recorded, t, i);
    if (!out.empty()) out += ' ';
    if (!src || src->line < 0) {
      out += "?";
      continue;
    }
    out += std::to_string(src->line) + ":";
    out += src->column < 0 ? "*" : lines[static_cast<size_t>(src->line)].substr(static_cast<size_t>(src->column),
                                                                             static_cast<size_t>(src->end - src->column));
  }
  return out;
}

TEST(EventSources, EachNoteNamesItsTextOrTheMacroCallOrTheIncludeLine) {
  struct Row {
    std::vector<std::string> lines;
    int track;
    std::string expected;
  } rows[] = {
      {{"c d4 e8."}, 0, "0:c 0:d4 0:e8."},
      {{"c0e0g2 a"}, 0, "0:e0 0:g2 0:c0 0:a"},  // a chord's notes, each its own (in file order)
      {{"_m(AB, \"c d\")", "e AB f"}, 0, "1:e 1:AB 1:AB 1:f"},
      // A macro inside a macro lights the outer call; arguments are the call's too.
      {{"_m(IN, g)", "_m(OUT, \"IN a\")", "OUT c"}, 0, "2:OUT 2:OUT 2:c"},
      {{"_m(T, \"?1 ?1\")", "T(c8) d"}, 0, "1:T(c8) 1:T(c8) 1:d"},
      // Loops compile their text again, its expansions in place.
      {{"_m(X, g)", "[2 X c ] e"}, 0, "1:X 1:c 1:X 1:c 1:e"},
      {{"[2 c", "d ]"}, 0, "0:c 1:d 0:c 1:d"},
      {{"_tr(1,2) o4 c", "_m(Y, d)", "Y _tr(0)"}, 2, "0:c 2:Y"},
      {{"e", "#include \"part.zan\"", "f"}, 0, "0:e 1:* 1:* 2:f"},
      // Quotes turned from single to double in an expansion keep the places.
      {{"_m(Q, 'c')", "Q d"}, 0, "1:Q 1:d"},
  };
  for (const Row& r : rows) {
    test::Score plain, traced;
    std::vector<EventSource> found;
    traced.smf.eventSources = &found;
    std::string text;
    for (const std::string& line : r.lines) text += line + "\n";
    for (test::Score* s : {&plain, &traced})
      s->smf.fileReader = [](const std::string&, std::string& contents) {
        contents = "g a\n";
        return true;
      };
    plain.compile(text);
    traced.compile(text);
    EXPECT_EQ(sources(traced, found, r.lines, r.track), r.expected) << text;
    EXPECT_EQ(traced.file, plain.file) << "the file does not change: " << text;
    EXPECT_EQ(traced.smf.sourceLines.lines(), plain.smf.sourceLines.lines()) << text;
  }
}

}  // namespace
}  // namespace zan
