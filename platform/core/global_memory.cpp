#include "platform/core/global_memory.h"

#include <atomic>
#include <cstdlib>
#include <new>

struct GlobalBlock {
  void* data;
  std::size_t size;
  UINT locks;
};

namespace {
std::atomic<std::size_t> liveBlocks{0};
std::atomic<int> failCountdown{0};

bool InjectedFailure() {
  int n = failCountdown.load();
  if (n <= 0) return false;
  failCountdown.store(n - 1);
  return n == 1;
}
}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  if (InjectedFailure()) return nullptr;
  // calloc hands back pages that the kernel zeroes lazily, so a large block
  // costs memory only where it is written.
  void* data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                       : std::malloc(bytes ? bytes : 1);
  if (!data) return nullptr;
  auto* block = new (std::nothrow) GlobalBlock{data, bytes, 0};
  if (!block) {
    std::free(data);
    return nullptr;
  }
  ++liveBlocks;
  return block;
}

void* GlobalLock(HGLOBAL block) {
  if (!block) return nullptr;
  ++block->locks;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL block) {
  if (!block || block->locks == 0) return FALSE;
  --block->locks;
  return block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (!block) return nullptr;
  std::free(block->data);
  delete block;
  --liveBlocks;
  return nullptr;
}

std::size_t GlobalSize(HGLOBAL block) { return block ? block->size : 0; }

UINT GlobalLockCount(HGLOBAL block) { return block ? block->locks : 0; }

std::size_t GlobalLiveBlocks() { return liveBlocks.load(); }

void GlobalFailAllocation(int nth) { failCountdown.store(nth); }
