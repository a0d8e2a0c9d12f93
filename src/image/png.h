// PNG files: paletted pictures keep their palette and indices; grey and
// colour pictures become 24 bits, alpha dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// True when the bytes start with the PNG signature.
bool HasPngSignature(const uint8_t* data, size_t size);

// Decodes a whole PNG file. Paletted pictures of 1, 2, 4 and 8 bits become
// 1-, 4-, 4- and 8-bit pictures (4 and 8 bits then have index 0 emptied);
// the others 24 bits, 16-bit samples cut to their high byte. Refused, the
// picture unchanged, for a broken file or one wider or taller than 65535
// or of more than kMaxDecodedPixels pixels.
Result ParsePng(ImageBuffer& image, const uint8_t* data, size_t size);

// The picture as a PNG file: 1-, 4- and 8-bit pictures indexed, their
// palette in order, at 4 and 8 bits index 0 fully transparent when a pixel
// has it; 16- and 24-bit pictures as RGB, or RGBA when pixels have the key
// colour, which are then fully transparent. Written atomically.
Result WritePng(const ImageBuffer& image, const std::string& path);
// The bytes WritePng writes.
Result PngBytes(const ImageBuffer& image, std::vector<uint8_t>& file);

}  // namespace pixmill
