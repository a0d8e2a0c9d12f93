// Windows bitmap files: reading a whole file from memory into the picture,
// and writing the picture back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/file_io.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace pixmill {

// The save dialog's file types: bitmaps (the default), PNG, all files.
inline constexpr const char* kBmpSaveFilter = "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)|*.BMP|PNG(*.png)|*.png|ALL(*.*)|*.*||";

// Takes a whole bitmap file of `size` bytes into the picture. Headers,
// palette and pixel rows of a plain file are copied as they are; afterwards
// a 4- or 8-bit picture has palette index 0 emptied (ReserveIndexZero).
// A refused file leaves the picture exactly as it was.
// `file`, when given, holds `data` as read: the picture may keep the pixel
// bytes where they are instead of copying them, leaving `file` empty.
Result ParseBmp(ImageBuffer& image, const uint8_t* data, int64_t size, FileBytes* file = nullptr);

// Decodes a bitmap file that is not a plain one (another header, a short
// palette, top-down rows, RLE, 2-, 16- or 32-bit pixels with masks) into a
// picture made by Create. The picture is unchanged when it is refused.
Result DecodeBmpVariant(ImageBuffer& image, const uint8_t* data, int64_t size);

// Moves every pixel of palette index 0 to the nearest other entry (lowest
// index among equals), so that index 0 is free for the transparent colour.
void ReserveIndexZero(ImageBuffer& image);

// Writes the picture as a bitmap file: headers as the last Create or load
// left them, except bfOffBits and bfSize, which describe the layout written.
Result WriteBmp(const ImageBuffer& image, const std::string& path);
// The bytes WriteBmp writes.
Result BmpBytes(const ImageBuffer& image, std::vector<uint8_t>& file);

// Asks for a path (proposing m_title) and writes the picture there: as a
// PNG file when the name ends in .png, else as a bitmap.
Result SaveBmpAs(const ImageBuffer& image, SavePathPrompt& prompt);

}  // namespace pixmill
