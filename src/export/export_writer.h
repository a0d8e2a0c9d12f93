// Console data: the bitmap, texture and character forms of the picture,
// written as binary data or as BASIC text of comment and DATA lines,
// optionally LZSS-compressed and with a palette of console colour words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace pixmill {

// The convert dialog's choices, in the order the writer takes them.
enum ExportForm : int { kFormNone = -1, kFormBitmap = 0, kFormTexture = 1, kFormCharacter = 2 };
enum ExportOutput : int { kOutputBinary = 0, kOutputText = 1 };

struct ExportChoices {
  int form = kFormNone;  // 0 bitmap, 1 texture, 2 character, -1 none
  int output = kOutputBinary;
  int lzss = 0;     // 0/1
  int palette = 0;  // 0/1
  bool operator==(const ExportChoices&) const = default;
};

inline constexpr const char* kExportSaveFilter =
    "ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|DATA(*.d)|*.d|Veltor(*.bas)|*.bas|ALL(*.*)|*.*||";

// Bits 0-14 of a console colour word from 0x00RRGGBB (bit 15 not set).
constexpr uint32_t RgbToColour16(uint32_t rgb) {
  return ((rgb & 0xFF) >> 3) << 10 | (((rgb >> 8) & 0xFF) >> 3) << 5 | (((rgb >> 16) & 0xFF) >> 3);
}

// "data " and up to `perLine` bytes as upper-case hex digit pairs, then CR LF,
// for every `perLine` bytes; no line for no bytes.
std::string FormatDataLines(const uint8_t* data, size_t count, int perLine);

// The export image before any compression, in its parts: the 4-byte header
// (bitmap and texture forms), the palette words the palette rule gives, and
// the pixel data (rows, colour words or 8 x 8 blocks).
struct ExportImage {
  bool character = false;
  std::vector<uint8_t> header;
  std::vector<uint8_t> palette;
  std::vector<uint8_t> pixels;
  // The bytes of the binary file (and what LZSS compresses).
  std::vector<uint8_t> Joined() const;
};

// True when the export carries a palette: 8 bits or fewer, and the bitmap
// form or the palette box.
bool WritesPalette(const ImageBuffer& image, const ExportChoices& choices);

// Lays the picture out in the chosen form. Refused for a picture wider or
// taller than the 16-bit header fields can hold.
Result BuildExportImage(const ImageBuffer& image, const ExportChoices& choices, ExportImage& out);

// The text the user is shown after a compressed export: "圧縮率 " then the
// percentage and the stream size, each formatted like printf's "% d".
std::string CompressionMessage(size_t uncompressedBytes, size_t streamBytes);

// The name the save dialog proposes, "image" and the count of exports so far
// in this run, and the file type it preselects (1-based; 0 for none).
std::string SuggestedExportName();
int ExportFilterIndex(const ImageBuffer& image, const ExportChoices& choices);

// Writes the export to `path` (atomically: a failure leaves no partial file
// and keeps the file that was there) and, for a compressed export, shows the
// compression message through `messages` when given.
Result WriteConvertedFile(const ImageBuffer& image, const std::string& path, const ExportChoices& choices,
                          MessageSink* messages);

// Asks for a path, then writes the export; the export counter moves on only
// when a file was written.
Result Convert(const ImageBuffer& image, const ExportChoices& choices, SavePathPrompt& prompt, MessageSink* messages);

}  // namespace pixmill
