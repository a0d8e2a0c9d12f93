// Blocks of memory for pictures and whole files. Large blocks are mapped
// from the system, aligned to 2 MiB; a few given back (160 MiB at most) are
// kept for the next ones of about their size. They are not marked for huge
// pages: with the usual setting that the kernel compacts memory for marked
// blocks when they are touched, a load and save of a 48 MiB picture took
// 50 ms most times and 100 to 300 ms every few runs; unmarked it takes 55
// ms every time.
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

// The bytes of `whole` from `offset` on as a block of their own, taking
// over its memory, when `whole` is a mapped block; otherwise a null block,
// and `whole` stays as it was. A picture read from a file keeps its pixels
// where the read put them this way.
Block TailOf(Block& whole, size_t offset);

}  // namespace pixmill
