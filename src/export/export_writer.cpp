#include "export/export_writer.h"

#include <cstdio>
#include <new>

#include "export/lzss.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

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

constexpr int kDataBytesPerLine = 32;
constexpr int kMaxHeaderValue = 65535;
constexpr size_t kCharacterPaletteArea = 512;

// "×" in Shift-JIS, the encoding of the exported text.
constexpr const char* kTimesShiftJis = "\x81\x7E";

std::string Bytes2Text(const std::string& comment, const std::vector<uint8_t>& bytes) {
  return comment + FormatDataLines(bytes.data(), bytes.size(), kDataBytesPerLine);
}

std::string Comment(const char* format, long long value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::vector<uint8_t> ExportImage::Joined() const {
  std::vector<uint8_t> all;
  if (character) {
    // The binary character form always starts with the 512-byte palette
    // area; without a 256-entry palette it holds zero bytes, so the blocks
    // start at 512 in every file.
    all = palette.size() == kCharacterPaletteArea ? palette : std::vector<uint8_t>(kCharacterPaletteArea, 0);
    all.insert(all.end(), pixels.begin(), pixels.end());
    return all;
  }
  all.reserve(header.size() + palette.size() + pixels.size());
  all.insert(all.end(), header.begin(), header.end());
  all.insert(all.end(), palette.begin(), palette.end());
  all.insert(all.end(), pixels.begin(), pixels.end());
  return all;
}

// True when the export carries a palette: 8 bits or fewer, and the bitmap
// form or the palette box.
bool WritesPalette(const ImageBuffer& image, const ExportChoices& choices) {
  return image.BitCount() <= 8 && (choices.form == kFormBitmap || choices.palette != 0);
}

// Lays the picture out in the chosen form. Refused for a picture wider or
// taller than the 16-bit header fields can hold.
Result BuildExportImage(const ImageBuffer& image, const ExportChoices& c, ExportImage& out) {
  if (!image.IsValid()) return Result::Refused("there is no picture to export");
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  const int depth = image.BitCount();
  if (w > kMaxHeaderValue || h > kMaxHeaderValue) {
    return Result::Refused("a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                               " pixels does not fit the export header (at most 65535 per side)",
                           Result::Cause::kTooLarge);
  }
  if (c.form != kFormBitmap && c.form != kFormTexture && c.form != kFormCharacter) {
    return Result::Refused("no export form is chosen");
  }

  ExportImage e;
  std::vector<uint8_t> palette;
  if (WritesPalette(image, c)) {
    const int entries = 1 << depth;
    palette.reserve(static_cast<size_t>(2 * entries));
    for (int i = 0; i < entries; ++i) {
      AppendBe16(palette, OpaqueWord(image.GetPaletteColor(static_cast<uint32_t>(i))));
    }
  }

  if (c.form == kFormCharacter) {
    e.character = true;
    e.palette = palette;
    const int32_t bw = w / 8;
    const int32_t bh = h / 8;
    e.pixels.resize(static_cast<size_t>(bw) * static_cast<size_t>(bh) * 64);
    uint8_t* o = e.pixels.data();
    for (int32_t by = 0; by < bh; ++by) {
      for (int32_t bx = 0; bx < bw; ++bx) {
        for (int32_t y = by * 8; y < by * 8 + 8; ++y) {
          for (int32_t x = bx * 8; x < bx * 8 + 8; ++x) *o++ = image.GetIndex(x, y);
        }
      }
    }
  } else {
    AppendBe16(e.header, static_cast<uint32_t>(w) & 0xFFFF);
    AppendBe16(e.header, static_cast<uint32_t>(h) & 0xFFFF);
    e.palette = palette;
    if (depth > 8) {
      e.pixels.resize(2 * static_cast<size_t>(w) * static_cast<size_t>(h));
      uint8_t* o = e.pixels.data();
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t word = ConsoleWord(image, x, y);
          *o++ = static_cast<uint8_t>(word >> 8);
          *o++ = static_cast<uint8_t>(word);
        }
      }
    } else {
      const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(depth) / 8;
      e.pixels.resize(rowBytes * static_cast<size_t>(h));
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = image.Row(y);
        std::copy(row, row + rowBytes, e.pixels.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y)));
      }
    }
  }
  out = std::move(e);
  return Result::Done();
}

// The text the user is shown after a compressed export: "圧縮率 " then the
// percentage and the stream size, each formatted like printf's "% d".
std::string CompressionMessage(size_t uncompressedBytes, size_t streamBytes) {
  const long long percent = uncompressedBytes == 0 ? 0 : static_cast<long long>(streamBytes * 100 / uncompressedBytes);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "圧縮率 % lld%%% lldbyte ", percent, static_cast<long long>(streamBytes));
  return buffer;
}

}  // namespace

std::string FormatDataLines(const uint8_t* data, size_t count, int perLine) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (count == 0 || perLine <= 0) return {};
  const size_t per = static_cast<size_t>(perLine);
  const size_t lines = (count + per - 1) / per;
  std::string out(lines * 7 + 2 * count, '\0');
  char* o = out.data();
  for (size_t i = 0; i < count; i += per) {
    *o++ = 'd';
    *o++ = 'a';
    *o++ = 't';
    *o++ = 'a';
    *o++ = ' ';
    const size_t end = i + per < count ? i + per : count;
    for (size_t k = i; k < end; ++k) {
      *o++ = kHex[data[k] >> 4];
      *o++ = kHex[data[k] & 0xF];
    }
    *o++ = '\r';
    *o++ = '\n';
  }
  return out;
}

Result WriteConvertedFile(const ImageBuffer& image, const std::string& path, const ExportChoices& c,
                          MessageSink* messages) {
  try {
    ExportImage e;
    if (Result r = BuildExportImage(image, c, e); !r.ok()) return r;

    const bool character = c.form == kFormCharacter;
    std::vector<uint8_t> binary;  // the export image, or the stream in its place
    size_t uncompressed = 0;
    size_t streamBytes = 0;
    if (c.lzss) {
      const std::vector<uint8_t> joined = e.Joined();
      uncompressed = joined.size();
      LzssCodec codec(image.GetProgressBar());
      if (Result r = codec.Encode(joined.data(), static_cast<int64_t>(joined.size())); !r.ok()) return r;
      binary = codec.TakeBytes();
      streamBytes = binary.size();
    }

    std::vector<uint8_t> file;
    if (c.output == kOutputText) {
      std::string text;
      if (c.lzss) {
        text = Bytes2Text(Comment("'/*lzss data %lldbyte*/\r\n", 2 * static_cast<long long>(binary.size())), binary);
      } else if (!character) {
        text = "'/*header " + std::to_string(image.Width()) + kTimesShiftJis + std::to_string(image.Height()) +
               kTimesShiftJis + std::to_string(image.BitCount()) + "*/\r\n";
        text += FormatDataLines(e.header.data(), e.header.size(), kDataBytesPerLine);
        if (!e.palette.empty()) {
          text += Bytes2Text(Comment("'/*palette data %lldbyte*/\r\n", 2 * static_cast<long long>(e.palette.size())),
                             e.palette);
        }
        text +=
            Bytes2Text(Comment("'/*image data %lldbyte*/\r\n", 2 * static_cast<long long>(e.pixels.size())), e.pixels);
      } else {
        text = Comment("'/*character data %lldbrock*/\r\n", static_cast<long long>(e.pixels.size() / 64));
        if (!e.palette.empty()) {
          text += Bytes2Text(Comment("'/*palette data %lldbyte*/\r\n", 2 * static_cast<long long>(e.palette.size())),
                             e.palette);
        }
        text +=
            Bytes2Text(Comment("'/*brock data %lldbyte*/\r\n", 2 * static_cast<long long>(e.pixels.size())), e.pixels);
      }
      file.assign(text.begin(), text.end());
    } else if (c.lzss) {
      file = std::move(binary);
    } else {
      file = e.Joined();
    }

    if (Result r = WriteFileAtomic(path, file.data(), file.size()); !r.ok()) return r;
    if (c.lzss && messages) messages->ShowMessage(CompressionMessage(uncompressed, streamBytes));
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to export the picture");
  }
}

}  // namespace pixmill
