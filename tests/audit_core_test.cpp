// SPDX-License-Identifier: MIT
// Details of the core commands that only show on their error paths: what a
// failed length adds, and where the pointer ends up.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;

struct Row {
  const char* source;
  Lines events;     // track 0, sorted
  int32_t ptr;      // track 0's pointer afterwards
  Lines errors;     // "number detail"
};

void check(const Row& r) {
  SCOPED_TRACE(r.source);
  Score s;
  s.compile(r.source);
  EXPECT_EQ(s.events(), r.events);
  EXPECT_EQ(s.smf.ptr[0], r.ptr);
  EXPECT_EQ(errs(s), r.errors);
}

}  // namespace

// A tie written after the note ("c4 ^8", "c4 | ^8") adds whatever its length
// reads as; a length that fails reads as -1 and so shortens the note by one
// tick. The note still sounds.
TEST(AuditCoreTest, FailedTieAfterTheNoteAddsMinusOne) {
  const Row rows[] = {
      // 95 ticks: round(95 * 14 / 16) = 83 sounding, off at 82.
      {"c4 ^%0", {"0: 90 30 64", "82: 80 30 64"}, 95, {"4 %"}},
      {"c4 | ^%0", {"0: 90 30 64", "82: 80 30 64"}, 95, {"4 %"}},
      // 96 - 1 + 96 = 191: round(167.125) = 167 sounding, off at 166.
      {"c4 ^%0 ^4", {"0: 90 30 64", "166: 80 30 64"}, 191, {"4 %"}},
      {"c4& ^%0", {"0: 90 30 64", "94: 80 30 64"}, 95, {"4 %"}},
      // A tie that reads fine is added as before.
      {"c4 ^4", {"0: 90 30 64", "167: 80 30 64"}, 192, {}},
      // A zero tie adds nothing.
      {"c4 ^0", {"0: 90 30 64", "83: 80 30 64"}, 96, {}},
  };
  for (const Row& r : rows) check(r);
}

// A /-group whose length fails (reported by the length reader) still runs:
// the track's default length becomes -1 while its notes are read, so notes
// without a length of their own end silently, notes with one sound, and the
// group then moves the pointer by -1.
//
// Disabled: NotesTest.EventsAndPointer still expects "/ceg/%0" to leave the
// pointer at 0; that row has to become -1 together with this change.
TEST(AuditCoreTest, GroupWithAFailedLengthStillRunsItsNotes) {
  const Row rows[] = {
      {"/ceg/%0", {}, -1, {"4 %"}},
      {"/c4eg/%0", {"0: 90 30 64", "83: 80 30 64"}, -1, {"4 %"}},
      {"/c4eg/%0 c", {"-1: 90 30 64", "0: 90 30 64", "82: 80 30 64", "83: 80 30 64"}, 95, {"4 %"}},
  };
  for (const Row& r : rows) check(r);
}

}  // namespace zan::test
