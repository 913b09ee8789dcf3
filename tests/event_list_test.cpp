// SPDX-License-Identifier: MIT
// The event list: the exact order Sort leaves events in.
// Equal times come out in a fixed, unstable order that is part of the file
// format, so these tests pin it down.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "zan/tivent.h"

namespace zan {
namespace {

// Adds one single-byte event per (time, label) and returns the labels in the
// order Sort leaves them, checking that each entry still points at its byte.
std::string sortLabels(const std::vector<std::pair<int32_t, char>>& events) {
  Tivent list;
  for (auto [time, label] : events) {
    const auto byte = static_cast<uint8_t>(label);
    list.Add(time, &byte, 1);
  }
  const std::vector<uint8_t> before(list.data().begin(), list.data().end());
  list.Sort();
  EXPECT_EQ(std::vector<uint8_t>(list.data().begin(), list.data().end()), before) << "sorting must move entries only";
  std::string out;
  for (int i = 0; i < list.Count(); ++i) {
    const Tivent::Entry& e = list.entry(i);
    EXPECT_EQ(list.size(e), 1);
    out += static_cast<char>(*list.bytes(e));
  }
  return out;
}

TEST(EventListTest, SortOrder) {
  struct Row {
    std::vector<std::pair<int32_t, char>> added;
    std::string sorted;
  };
  const Row rows[] = {
      {{}, ""},
      {{{0, 'A'}}, "A"},
      {{{0, 'A'}, {0, 'B'}}, "BA"},
      {{{0, 'A'}, {0, 'B'}, {0, 'C'}}, "CBA"},
      {{{0, 'A'}, {0, 'B'}, {0, 'C'}, {0, 'D'}}, "CDAB"},
      {{{0, 'A'}, {0, 'B'}, {0, 'C'}, {0, 'D'}, {0, 'E'}}, "DECAB"},
      {{{0, 'A'}, {0, 'B'}, {0, 'C'}, {0, 'D'}, {0, 'E'}, {0, 'F'}}, "DEFABC"},
      // Mixed times: 0 a, 10 b, 0 c, 10 d, 5 e.
      {{{0, 'a'}, {10, 'b'}, {0, 'c'}, {10, 'd'}, {5, 'e'}}, "caedb"},
      // Events placed before a pointer of 0 sort before it, the earliest first.
      {{{-1, 'p'}, {0, 'n'}, {-3, 't'}, {-2, 'b'}}, "tbpn"},
      {{{5, 'x'}, {4, 'y'}, {3, 'z'}}, "zyx"},
      // Times compare by the sign of their 32-bit difference, which wraps:
      // -3 - 2147483647 is positive, so -3 counts as the later time.
      {{{2147483647, 'A'}, {-3, 'B'}}, "AB"},
  };
  for (const Row& r : rows) EXPECT_EQ(sortLabels(r.added), r.sorted) << "expected " << r.sorted;
}

// The textbook recursive form of the sort; the list's own Sort must leave
// exactly the same order for any input, ties included.
void referenceQuickSort(std::vector<std::pair<int32_t, int>>& a, int L, int R) {
  int I, J;
  do {
    I = L;
    J = R;
    const int32_t key = a[static_cast<size_t>((L + R) / 2)].first;
    do {
      while (a[static_cast<size_t>(I)].first < key) ++I;
      while (a[static_cast<size_t>(J)].first > key) --J;
      if (I <= J) {
        std::swap(a[static_cast<size_t>(I)], a[static_cast<size_t>(J)]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) referenceQuickSort(a, L, J);
    L = I;
  } while (I < R);
}

TEST(EventListTest, SortMatchesRecursiveQuickSortOnManyTies) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(rng() % 200);
    const int32_t spread = 1 + static_cast<int32_t>(rng() % 12);  // few distinct times: many ties
    std::vector<std::pair<int32_t, int>> ref;
    Tivent list;
    for (int i = 0; i < n; ++i) {
      const int32_t time = static_cast<int32_t>(rng() % static_cast<uint32_t>(spread)) - 3;
      const uint8_t bytes[2] = {static_cast<uint8_t>(i & 0xFF), static_cast<uint8_t>(i >> 8)};
      list.Add(time, bytes, 2);
      ref.emplace_back(time, i);
    }
    referenceQuickSort(ref, 0, n - 1);
    list.Sort();
    for (int i = 0; i < n; ++i) {
      const uint8_t* b = list.bytes(list.entry(i));
      ASSERT_EQ(b[0] | (b[1] << 8), ref[static_cast<size_t>(i)].second) << "round " << round << " position " << i;
    }
  }
}

// The storage behind the event lists moves from the heap into a mapping and,
// past the space set aside for it, to a larger mapping: every value written
// must survive each move, and a copy must be independent of its source.
TEST(EventListTest, GrowableArrayKeepsValuesAcrossEveryMove) {
  GrowableArray<uint32_t> a;
  const size_t total = (size_t{80} << 20) / sizeof(uint32_t);  // past the 64 MB set aside
  for (size_t i = 0; i < total;) {
    const size_t n = std::min<size_t>(total - i, 1 + i / 3);  // small steps, then large ones
    uint32_t* p = a.append(n);
    ASSERT_NE(p, nullptr);
    for (size_t k = 0; k < n; ++k) p[k] = static_cast<uint32_t>((i + k) * 2654435761u);
    i += n;
  }
  ASSERT_EQ(a.size(), total);
  for (size_t i = 0; i < total; i += 4093) ASSERT_EQ(a[i], static_cast<uint32_t>(i * 2654435761u)) << i;
  EXPECT_EQ(a.back(), static_cast<uint32_t>((total - 1) * 2654435761u));

  GrowableArray<uint32_t> copy = a;
  a[0] = 7;
  EXPECT_EQ(copy[0], 0u);
  EXPECT_EQ(copy.size(), total);
  GrowableArray<uint32_t> moved = std::move(copy);
  EXPECT_EQ(moved.size(), total);
  EXPECT_EQ(moved[total - 1], a[total - 1]);
  a.clear();
  EXPECT_TRUE(a.empty());
  Tivent list;
  EXPECT_TRUE(list.Add(5, nullptr, 0)) << "an event of no bytes is no failure";
  EXPECT_EQ(list.Count(), 1);
  ASSERT_NE(a.append(3), nullptr);  // the memory is kept for the next fill
  EXPECT_EQ(a.size(), 3u);
}

// Where address space is scarce (strict overcommit, or a limit on it), a
// large list still gets the memory it needs, without room set aside.
TEST(EventListTest, GrowableArrayWorksWithoutSpareAddressSpace) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer reserves more address space than the limit leaves";
#else
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (rlim_t{160} << 20);
    const rlimit rl{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &rl) != 0) _exit(3);
    // Eight lists of 1 MB would set aside 512 MB between them.
    std::vector<GrowableArray<uint32_t>> lists(8);
    for (uint32_t i = 0; i < (1u << 18); ++i)
      for (auto& l : lists) {
        uint32_t* p = l.append(1);
        if (!p) _exit(1);
        *p = i;
      }
    for (auto& l : lists)
      if (l.size() != (1u << 18) || l[12345] != 12345 || l.back() != (1u << 18) - 1) _exit(2);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: an append failed, 2: values lost, 3: no limit could be set";
#endif
}

}  // namespace
}  // namespace zan
