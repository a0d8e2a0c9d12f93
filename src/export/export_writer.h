// Console data: the bitmap, texture and character forms of the picture,
// written as binary data or as BASIC text of comment and DATA lines,
// optionally LZSS-compressed and with a palette of console colour words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/characters.h"
#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace pixmill {

// "data " and up to `perLine` bytes as upper-case hex digit pairs, then CR LF,
// for every `perLine` bytes; no line for no bytes.
std::string FormatDataLines(const uint8_t* data, size_t count, int perLine);

// The export image of a picture before any compression, in its parts: the
// 4-byte header (bitmap and texture forms), the palette words the palette
// rule gives, and the pixel data (rows, colour words or 8 x 8 blocks).
struct ExportImage {
  bool character = false;
  int32_t width = 0;
  int32_t height = 0;
  int depth = 0;
  std::vector<uint8_t> header;
  std::vector<uint8_t> palette;
  std::vector<uint8_t> pixels;
};

// Lays the picture out in the chosen form. Refused for no form, or a picture
// wider or taller than the 16-bit header fields can hold.
Result BuildExportImage(const ImageBuffer& image, const ExportChoices& choices, ExportImage& out);

// The bytes of an export file: the export images, of one form, as the
// choices lay them out. One image gives the file of that picture alone.
// Frames (the cells of a sheet) come one after the other, each as it would
// stand alone but for its palette, which comes once, in front of them all:
// the palette words (the 512-byte palette area in the character form), then
// the header and pixels of each (the blocks of each), so that image k
// starts at a fixed step k times its size. LZSS then compresses all of it;
// text gives each part its comment and DATA lines.
// `frames` lays the images out as the frames of a sheet, however many.
Result ExportFileBytes(const ExportChoices& choices, const std::vector<ExportImage>& images, bool frames,
                       std::vector<uint8_t>& file, ExportSummary* summary, ProgressSink* progress = nullptr);

// The bytes of a map file (characters.h tells the layout): as it is, or as
// text when `text` (a comment naming it and its size, then DATA lines), and
// LZSS-compressed first when `lzss`.
Result MapFileBytes(const std::vector<uint8_t>& map, bool text, bool lzss, std::vector<uint8_t>& file);

// The message after a compressed export: "圧縮率 " then the percentage (the
// stream's size in hundredths of the export image's, cut) and the stream
// size, each as printf's "% d" formats it.
long long CompressionPercent(size_t uncompressedBytes, size_t streamBytes);
std::string CompressionMessage(size_t uncompressedBytes, size_t streamBytes);

// The bytes of the export file, and of its map when the character choices
// ask for one, as WriteConvertedFile would write them; `summary` gets what
// they come to.
Result ConvertedFileBytes(const ImageBuffer& image, const ExportChoices& choices, const CharacterChoices& characters,
                          std::vector<uint8_t>& file, std::vector<uint8_t>& map, ExportSummary& summary);

// Writes the export to `path` (atomically: a failure leaves no partial file
// and keeps the file that was there), with its map when the character
// export asks for one (both or neither), and, for a compressed export,
// shows the compression message through `messages` when given. `summary`
// gets what was written.
Result WriteConvertedFile(const ImageBuffer& image, const std::string& path, const ExportChoices& choices,
                          MessageSink* messages, const CharacterChoices& characters = {},
                          ExportSummary* summary = nullptr);

// One file of several pictures as frames (see ExportFileBytes), refused
// when their palettes or sizes differ.
Result WriteFrames(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                   const std::string& path, MessageSink* messages, ExportSummary* summary);

// One character set over the pictures, written to `path` in the form the
// choices give (the first picture's palette), and each picture's map to
// `mapPaths[i]` (none when empty): all the files, or none of them.
Result WriteCharacterSet(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                         const CharacterChoices& characters, const std::string& path,
                         const std::vector<std::string>& mapPaths, MessageSink* messages, ExportSummary* summary);

// Writes an export and, when `mapPath` is not empty, a map, both or neither.
Result WriteExportFiles(const std::string& path, const std::vector<uint8_t>& file, const std::string& mapPath,
                        const std::vector<uint8_t>& map);

}  // namespace pixmill
