// Feeds fuzzer input to a reader through an in-memory file, the way the
// loader hands a real file to it.
#pragma once

#include <cstddef>
#include <cstdint>

class TBitmap_Base;

// Runs LoadFromHandle on the bytes; returns the reader's result code.
int LoadFromBytes(TBitmap_Base& codec, const std::uint8_t* data, std::size_t size,
                  const char* options = nullptr);

// The same, but inputs whose header asks for more than maxPixels are not
// loaded (returns -1): a few bytes may legally describe a picture of 2 GiB,
// which costs the sanitizers seconds per input and reaches no new code.
int LoadUnlessHuge(TBitmap_Base& codec, const std::uint8_t* data, std::size_t size,
                   const char* options, std::uint64_t maxPixels);

// Writes the bytes to an in-memory file and returns a path that opens it
// (for readers that take a path); "" on failure. The file lives until the
// next call.
const char* PathForBytes(const std::uint8_t* data, std::size_t size);
