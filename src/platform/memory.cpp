#include "platform/memory.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace pixmill {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMapFrom = size_t{4} << 20;

}  // namespace

void BlockDeleter::operator()(uint8_t* p) const {
  if (mapped != 0) {
    ::munmap(base, mapped);
  } else {
    delete[] p;
  }
}

Block AllocateBlock(size_t size, bool zeroed) {
  if (size == 0) size = 1;
  if (size >= kMapFrom) {
    const size_t length = size + kHugePage;
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base != MAP_FAILED) {
      // Fresh mappings read as zero, so `zeroed` costs nothing here.
      auto* start = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(base) + kHugePage - 1) & ~(kHugePage - 1));
      ::madvise(start, size, MADV_HUGEPAGE);
      return Block(start, BlockDeleter{base, length});
    }
  }
  uint8_t* p = zeroed ? new (std::nothrow) uint8_t[size]() : new (std::nothrow) uint8_t[size];
  return Block(p, BlockDeleter{});
}

}  // namespace pixmill
