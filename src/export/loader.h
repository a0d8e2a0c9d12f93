// Loading any supported file into the picture: LZSS streams are expanded
// first; exported bitmap and texture data are recognised by their size;
// PNG by its signature; everything else goes to the bitmap reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// What exported data hold: 0 a colour word per pixel, 1 a byte per pixel,
// 2 two pixels per byte, 3 eight pixels per byte; and whether a palette
// follows the header.
struct ExportedLayout {
  int kind;
  int palette;
  bool operator==(const ExportedLayout&) const = default;
};

// The first of the seven exported-data sizes that equals `size`, computed in
// 64 bits from the width and height in the first four bytes.
std::optional<ExportedLayout> DetectExportedData(const uint8_t* data, size_t size);

// Rebuilds the picture from exported data of the given layout. 1- and 4-bit
// rows are read as the writer cuts them (width x depth / 8 bytes each).
Result LoadConvertedData(ImageBuffer& image, const uint8_t* data, size_t size, const ExportedLayout& layout);

// The whole loading path on bytes already in memory.
Result LoadBytes(ImageBuffer& image, const uint8_t* data, size_t size);
inline Result LoadBytes(ImageBuffer& image, const std::vector<uint8_t>& bytes) {
  return LoadBytes(image, bytes.data(), bytes.size());
}

// Reads the file and loads it. The picture is unchanged on failure.
Result LoadFile(ImageBuffer& image, const std::string& path);

}  // namespace pixmill
