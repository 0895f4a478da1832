// Lookup tables of the whole-image transforms (TBitmap_Base::FlipVertical and
// TBitmap_Base::MirrorHorizontal are declared with the bitmap model).
#pragma once

#include <cstddef>

#include "platform/core/wintypes.h"

// Owner of the library's 4096-byte lookup-table area. The one instance,
// UtilVarMan, lives for the whole program; the horizontal mirror fills the
// tables on every call, so it is a shared scratch area: no two mirrors may run
// at once.
class TUtilVarMan {
 public:
  static constexpr std::size_t kAreaBytes = 4096;

  // Fills the tables the mirror of 1- and 4-bit rows needs.
  void FillMirrorTables();

  // b with its eight bits in reverse order.
  const BYTE* BitReversal() const { return Area; }
  // b with its two nibbles exchanged.
  const BYTE* NibbleSwap() const { return Area + 256; }
  // For a 1-bit row whose reversed pixels sit shift bits (1..7) too far
  // right: the reversed byte moved left by shift (the part that stays in the
  // same output byte), and the bits that fall into the output byte before it.
  const BYTE* ShiftedReversalHigh(unsigned shift) const { return Area + 512 * shift; }
  const BYTE* ShiftedReversalLow(unsigned shift) const { return Area + 512 * shift + 256; }

 private:
  BYTE Area[kAreaBytes] = {};
};

extern TUtilVarMan UtilVarMan;
