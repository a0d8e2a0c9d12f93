// The fuzzer's bytes taken a piece at a time: choices first, the rest as
// data. Past the end every choice is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixmill::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
  uint32_t Word() { return static_cast<uint32_t>(Byte()) << 8 | Byte(); }
  // One of n choices.
  int Choice(int n) { return Byte() % n; }
  std::vector<uint8_t> Rest() { return {m_data + m_at, m_data + m_size}; }
  // The rest, repeated or cut to `count` bytes (zeros when nothing is left).
  std::vector<uint8_t> RestAs(size_t count) {
    std::vector<uint8_t> out(count, 0);
    if (m_at < m_size) {
      for (size_t i = 0; i < count; ++i) out[i] = m_data[m_at + i % (m_size - m_at)];
    }
    return out;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

}  // namespace pixmill::fuzz
