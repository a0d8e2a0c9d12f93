// The bitmap reader (every header, depth and compression) on any bytes; a
// picture it reads is written and must read back as the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmill::ImageBuffer image;
  if (!pixmill::ParseBmp(image, data, static_cast<int64_t>(size)).ok()) return 0;
  std::vector<uint8_t> first, second;
  if (!pixmill::BmpBytes(image, first).ok()) __builtin_trap();
  pixmill::ImageBuffer again;
  if (!pixmill::ParseBmp(again, first.data(), static_cast<int64_t>(first.size())).ok()) __builtin_trap();
  if (!pixmill::BmpBytes(again, second).ok() || first != second) __builtin_trap();
  return 0;
}
