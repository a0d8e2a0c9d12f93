#include "platform/memory.h"

#include <sys/mman.h>

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace pixmill {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMapFrom = size_t{4} << 20;

// Mappings given back, kept for the next large blocks: a fresh mapping costs
// a page fault per page, and a session of commands on one picture asks for
// blocks of the same sizes again and again (the picture, its undo copy, a
// resize's passes). A block is only taken from here when it is at most
// twice the size asked for.
class Spares {
 public:
  // Never destroyed: blocks may be given back while the program exits.
  static Spares& Instance() {
    static Spares* const spares = new Spares;
    return *spares;
  }
  // A kept mapping of at least `length` bytes, or none (base null).
  BlockDeleter Take(size_t length) {
    std::lock_guard lock(m_mutex);
    auto best = m_kept.end();
    for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
      if (it->mapped >= length && it->mapped <= 2 * length && (best == m_kept.end() || it->mapped < best->mapped))
        best = it;
    }
    if (best == m_kept.end()) return {};
    const BlockDeleter found = *best;
    m_kept.erase(best);
    m_bytes -= found.mapped;
    return found;
  }
  // False when there is no room: the caller unmaps it.
  bool Keep(const BlockDeleter& mapping) {
    std::lock_guard lock(m_mutex);
    if (m_bytes + mapping.mapped > kKeepAtMost || m_kept.size() >= kKeepCount) return false;
    m_kept.push_back(mapping);
    m_bytes += mapping.mapped;
    return true;
  }

 private:
  static constexpr size_t kKeepAtMost = size_t{160} << 20;
  static constexpr size_t kKeepCount = 8;
  std::mutex m_mutex;
  std::vector<BlockDeleter> m_kept;
  size_t m_bytes = 0;
};

uint8_t* Aligned(void* base) {
  return reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(base) + kHugePage - 1) & ~(kHugePage - 1));
}

}  // namespace

void BlockDeleter::operator()(uint8_t* p) const {
  if (mapped != 0) {
    if (!Spares::Instance().Keep(*this)) ::munmap(base, mapped);
  } else {
    delete[] p;
  }
}

Block AllocateBlock(size_t size, bool zeroed) {
  if (size == 0) size = 1;
  if (size >= kMapFrom) {
    const size_t length = size + kHugePage;
    if (const BlockDeleter kept = Spares::Instance().Take(length); kept.base != nullptr) {
      uint8_t* start = Aligned(kept.base);
      if (zeroed) std::memset(start, 0, size);
      return Block(start, kept);
    }
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base != MAP_FAILED) {
      // Fresh mappings read as zero, so `zeroed` costs nothing here.
      uint8_t* start = Aligned(base);
      return Block(start, BlockDeleter{base, length});
    }
  }
  uint8_t* p = zeroed ? new (std::nothrow) uint8_t[size]() : new (std::nothrow) uint8_t[size];
  return Block(p, BlockDeleter{});
}

Block TailOf(Block& whole, size_t offset) {
  if (!whole || whole.get_deleter().mapped == 0) return {};
  const BlockDeleter mapping = whole.get_deleter();
  uint8_t* start = whole.release();
  return Block(start + offset, mapping);
}

}  // namespace pixmill
