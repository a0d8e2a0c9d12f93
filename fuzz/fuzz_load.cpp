// The whole loading path on arbitrary bytes: LZSS expansion, exported-data
// sizes, PNG and every kind of bitmap.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmill::ImageBuffer image;
  const pixmill::Result r = pixmill::LoadBytes(image, std::vector<uint8_t>(data, data + size));
  if (r.ok()) {
    // A loaded picture is whole: every pixel can be read.
    volatile uint32_t sink = 0;
    for (int32_t y = 0; y < image.Height(); y += 7) {
      for (int32_t x = 0; x < image.Width(); x += 7) sink = sink + image.GetPixel(x, y);
    }
    if (image.GetImageSize() > static_cast<int64_t>(image.BitsBlockSize())) __builtin_trap();
  }
  return 0;
}
