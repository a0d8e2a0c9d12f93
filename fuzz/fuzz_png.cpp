// The PNG reader on any bytes; a picture it reads is written as PNG and
// must read back as the same picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bmp.h"
#include "image/png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmill::ImageBuffer image;
  if (!pixmill::ParsePng(image, data, size).ok()) return 0;
  std::vector<uint8_t> png, first, second;
  if (!pixmill::PngBytes(image, png).ok()) __builtin_trap();
  pixmill::ImageBuffer again;
  if (!pixmill::ParsePng(again, png.data(), png.size()).ok()) __builtin_trap();
  if (!pixmill::BmpBytes(image, first).ok() || !pixmill::BmpBytes(again, second).ok()) __builtin_trap();
  if (first != second) __builtin_trap();
  return 0;
}
