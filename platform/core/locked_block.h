// A locked, zero-filled global memory block for scratch data, freed when the
// scope ends. Get() is null when the memory cannot be had.
#pragma once

#include <cstddef>

#include "platform/core/global_memory.h"
#include "platform/core/wintypes.h"

class TLockedBlock {
 public:
  explicit TLockedBlock(std::size_t bytes)
      : Handle(GlobalAlloc(GHND, bytes)), Data(static_cast<BYTE*>(GlobalLock(Handle))) {}
  ~TLockedBlock() {
    GlobalUnlock(Handle);
    GlobalFree(Handle);
  }
  TLockedBlock(const TLockedBlock&) = delete;
  TLockedBlock& operator=(const TLockedBlock&) = delete;
  BYTE* Get() const { return Data; }
  template <typename T>
  T* As() const {
    return reinterpret_cast<T*>(Data);
  }

 private:
  HGLOBAL Handle;
  BYTE* Data;
};
