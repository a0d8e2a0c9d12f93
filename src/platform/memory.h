// Blocks of memory for pictures and whole files. Large blocks are mapped
// from the system aligned to 2 MiB and marked for huge pages: a 48 MiB
// picture then costs a few dozen page faults instead of twelve thousand. A
// few large blocks given back (160 MiB at most) are kept for the next ones
// of about their size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pixmill {

struct BlockDeleter {
  void* base = nullptr;  // the mapping, when the block was mapped
  size_t mapped = 0;
  void operator()(uint8_t* p) const;
};

using Block = std::unique_ptr<uint8_t[], BlockDeleter>;

// A block of `size` bytes (at least 1), or null when memory runs out. With
// `zeroed` every byte is 0; otherwise the contents are unspecified.
Block AllocateBlock(size_t size, bool zeroed);

}  // namespace pixmill
