// SPDX-License-Identifier: MIT
// The storage of GrowableArray.
#include "zan/growable_array.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zan::growable_detail {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Address space (not memory) set aside for a large array, so that it
// grows without moving. Pages are only backed once written.
constexpr size_t kReserve = size_t{64} << 20;

bool mapped(size_t bytes) { return bytes > kMapAbove; }

size_t roundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// A mapping of at least `bytes`, aligned to a huge page and offered to the
// kernel for huge pages: a large list is then faulted in 2 MB at a time
// instead of 4 KB at a time, which was a third of the time of a long score.
// `bytes` is set to the size mapped.
void* map(size_t& bytes, size_t size) {
  void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                   -1, 0);
  // Where address space is counted as memory (strict overcommit, a limit on
  // it), what is asked for may still be had without the room to grow.
  if (raw == MAP_FAILED) return size > roundUp(bytes, kHugePage) ? map(bytes, roundUp(bytes, kHugePage)) : nullptr;
  bytes = size;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = roundUp(start, kHugePage);
  if (aligned > start) munmap(raw, aligned - start);
  if (const uintptr_t end = start + size + kHugePage; end > aligned + size)
    munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* p = reinterpret_cast<void*>(aligned);
  madvise(p, size, MADV_HUGEPAGE);  // only advice: no huge pages is no error
  return p;
}

}  // namespace

void* resize(void* block, size_t usedBytes, size_t oldBytes, size_t& newBytes) {
  if (!mapped(newBytes)) return std::realloc(block, newBytes);
  if (block && mapped(oldBytes)) {
    // The pages move to the new address as they are: nothing is copied and
    // nothing faulted in again.
    newBytes = roundUp(newBytes, kHugePage);
    void* p = mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
    return p == MAP_FAILED ? nullptr : p;
  }
  void* p = map(newBytes, roundUp(newBytes < kReserve ? kReserve : newBytes, kHugePage));
  if (p && block) {
    std::memcpy(p, block, usedBytes);
    std::free(block);
  }
  return p;
}

void release(void* block, size_t bytes) {
  if (!block) return;
  if (mapped(bytes))
    munmap(block, bytes);
  else
    std::free(block);
}

}  // namespace zan::growable_detail
