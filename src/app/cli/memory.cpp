// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace app::cli {
namespace {

constexpr std::size_t kHugePage = 2u << 20;
// Blocks this large are worth huge pages: the file's bytes, the output
// buffer and the entity arrays of a large drawing.
constexpr std::size_t kAdviseFrom = kHugePage;

// A large drawing lives in a few arrays of hundreds of megabytes; with 4 KB
// pages most of a conversion goes into page faults. The kernel hands out
// 2 MB pages only where asked to (transparent huge pages in "madvise" mode),
// so large blocks are advised as they are allocated.
void AdviseHugePages(void* p, std::size_t size) {
  const auto begin = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// The main heap grows by brk in steps of M_TOP_PAD; the part advised so far
// ends here. Small blocks (the strings of a drawing's texts) live there.
std::atomic<std::uintptr_t> g_heapAdvisedTo{0};

void AdviseNewHeap() {
  const auto top = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(kHugePage - 1);
  std::uintptr_t done = g_heapAdvisedTo.load(std::memory_order_relaxed);
  if (done == 0 || top <= done) return;
  if (g_heapAdvisedTo.compare_exchange_strong(done, top, std::memory_order_relaxed))
    ::madvise(reinterpret_cast<void*>(done), top - done, MADV_HUGEPAGE);
}

// Grows the heap once, well ahead of need, and advises it before anything is
// written there. A heap that grows during the work gets its new part advised
// only after malloc has written the next chunk's header into it, and the 4 KB
// page that takes keeps its whole 2 MB range on small pages. Only address
// space is taken: nothing is touched until it is used. The block stays below
// the trim threshold, so freeing it keeps the heap where it is.
void ReserveHeap() {
  void* volatile block = std::malloc(128 << 20);  // volatile: not elided
  std::free(block);
  AdviseNewHeap();
}

}  // namespace

void TuneAllocator() {
  const auto heap = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  g_heapAdvisedTo = (heap + kHugePage - 1) & ~(kHugePage - 1);
  // Keep freed memory and grow the heap in large steps, so that growing
  // arrays reuse pages already faulted in instead of mapping fresh ones for
  // every step.
  ::mallopt(M_TOP_PAD, 64 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // Every block comes from the heap, large ones too: the file's bytes, freed
  // once the drawing is parsed, are the pages its entity arrays then reuse.
  // A block of its own mapping would go back to the kernel and the arrays
  // would fault in fresh pages. (Where the heap cannot grow, malloc still
  // falls back to mappings.)
  ::mallopt(M_MMAP_MAX, 0);
  ReserveHeap();
}

}  // namespace app::cli

// Every allocation of the program goes through here; only large ones are
// treated differently. Memory comes from malloc and goes back to free.
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  if (size >= app::cli::kAdviseFrom)
    app::cli::AdviseHugePages(p, size);
  else
    app::cli::AdviseNewHeap();
  return p;
}

// The matching deletes: a replaced operator new must come with its own
// delete, or a checker sees malloc'd blocks returned to the library's delete.
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// std::stable_sort's buffer comes from the nothrow new and goes back through
// the sized delete above: it must come from malloc too.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
