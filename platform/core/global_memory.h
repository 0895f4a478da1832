// Movable global memory blocks (HGLOBAL) with lock counts.
//
// Image data travels through the library as one such block. The table keeps
// every live block so that tests can assert that nothing leaked.
#pragma once

#include <cstddef>

#include "platform/core/wintypes.h"

struct GlobalBlock;
using HGLOBAL = GlobalBlock*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Returns null when the memory cannot be had. A size of 0 is allowed.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// Returns the block's address and counts the lock; null for a null handle.
void* GlobalLock(HGLOBAL block);
// Returns true while the block is still locked after this call.
BOOL GlobalUnlock(HGLOBAL block);
// Frees the block whatever its lock count; returns null on success.
HGLOBAL GlobalFree(HGLOBAL block);
// The size that was asked for at allocation; 0 for a null handle.
std::size_t GlobalSize(HGLOBAL block);
// The current lock count of a block (for checks and tests).
UINT GlobalLockCount(HGLOBAL block);

// Number of blocks allocated and not yet freed in this process.
std::size_t GlobalLiveBlocks();

// Test hook: when set to n > 0, the n-th following GlobalAlloc fails
// (1 = the next one). 0 turns the failure off.
void GlobalFailAllocation(int nth);
