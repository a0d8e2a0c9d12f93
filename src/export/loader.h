// Loading any supported file into the picture: LZSS streams are expanded
// first; exported bitmap and texture data are recognised by their size;
// PNG by its signature; everything else goes to the bitmap reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// The whole loading path on bytes already in memory.
Result LoadBytes(ImageBuffer& image, const uint8_t* data, size_t size);
inline Result LoadBytes(ImageBuffer& image, const std::vector<uint8_t>& bytes) {
  return LoadBytes(image, bytes.data(), bytes.size());
}

// Reads the file and loads it. The picture is unchanged on failure.
Result LoadFile(ImageBuffer& image, const std::string& path);

}  // namespace pixmill
