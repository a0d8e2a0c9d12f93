// Loading any supported file into the picture: LZSS streams are expanded
// first; exported bitmap and texture data are recognised by their size, or
// as text by their comment lines; PNG by its signature; everything else goes
// to the bitmap reader. A character export is read back with its map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// "24-bit colour words", "8 bits with a palette", "4 bits without a palette".
std::string ReadingName(const DataReading& reading);
// The reading as the command line's --read-as gives it: "bitmap,8,palette".
std::string ReadAsText(const DataReading& reading);

// The whole loading path on bytes already in memory.
Result LoadBytes(ImageBuffer& image, const uint8_t* data, size_t size, const LoadOptions& options = {},
                 LoadNotes* notes = nullptr);
inline Result LoadBytes(ImageBuffer& image, const std::vector<uint8_t>& bytes) {
  return LoadBytes(image, bytes.data(), bytes.size());
}

// Reads the file and loads it. The picture is unchanged on failure.
Result LoadFile(ImageBuffer& image, const std::string& path, const LoadOptions& options = {},
                LoadNotes* notes = nullptr);

// The picture that a character export and its map describe: 8 bits, 8 x 8
// pixels a cell, each cell the block its map word names, mirrored as the
// word says. Either file binary or text, compressed or not; the palette is
// the character file's, or the standard one when it carries none. Refused,
// naming the file and what is wrong, for a map that does not fit the
// character file. `charsName` and `mapName` name them in messages.
Result LoadCharacterBytes(ImageBuffer& image, const uint8_t* chars, size_t charsSize, const std::string& charsName,
                          const uint8_t* map, size_t mapSize, const std::string& mapName);
Result LoadCharacterFiles(ImageBuffer& image, const std::string& charsPath, const std::string& mapPath);

}  // namespace pixmill
