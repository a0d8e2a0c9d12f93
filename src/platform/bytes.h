// Integers in the two byte orders of the program's files: little-endian in
// bitmap files, big-endian in everything the console reads.
#pragma once

#include <cstdint>
#include <vector>

namespace pixmill {

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
  WriteLe16(p, v);
  WriteLe16(p + 2, v >> 16);
}

inline uint32_t ReadBe16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
inline void WriteBe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void AppendBe16(std::vector<uint8_t>& bytes, uint32_t v) {
  bytes.push_back(static_cast<uint8_t>(v >> 8));
  bytes.push_back(static_cast<uint8_t>(v));
}

}  // namespace pixmill
