#include "export/loader.h"

#include <cstring>
#include <new>
#include <optional>

#include "export/lzss.h"
#include "image/bmp.h"
#include "image/png.h"
#include "image/standard_palette.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

// What exported data hold: 0 a colour word per pixel, 1 a byte per pixel,
// 2 two pixels per byte, 3 eight pixels per byte; and whether a palette
// follows the header.
struct ExportedLayout {
  int kind;
  int palette;
};

// The first of the seven exported-data sizes that equals `size`, computed in
// 64 bits from the width and height in the first four bytes.
std::optional<ExportedLayout> DetectExportedData(const uint8_t* d, size_t size) {
  if (size < 4) return std::nullopt;
  const uint64_t w = ReadBe16(d);
  const uint64_t h = ReadBe16(d + 2);
  const uint64_t p = w * h;
  const uint64_t n = size;
  if (n == 2 * p + 4) return ExportedLayout{0, 0};
  if (n == p + 516) return ExportedLayout{1, 1};
  if (n == p + 4) return ExportedLayout{1, 0};
  if (n == p / 2 + 36) return ExportedLayout{2, 1};
  if (n == p / 2 + 4) return ExportedLayout{2, 0};
  if (n == p / 8 + 8) return ExportedLayout{3, 1};
  if (n == p / 8 + 4) return ExportedLayout{3, 0};
  return std::nullopt;
}

// Rebuilds the picture from exported data of the given layout. 1- and 4-bit
// rows are read as the writer cuts them (width x depth / 8 bytes each).
Result LoadConvertedData(ImageBuffer& image, const uint8_t* d, size_t size, const ExportedLayout& layout) {
  if (size < 4) return Result::Refused("exported data need a 4-byte header");
  const int32_t w = static_cast<int32_t>(ReadBe16(d));
  const int32_t h = static_cast<int32_t>(ReadBe16(d + 2));
  if (w == 0 || h == 0) {
    return Result::Refused("exported data of " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels hold no picture");
  }
  static constexpr int kDepth[4] = {24, 8, 4, 1};
  if (layout.kind < 0 || layout.kind > 3) return Result::Refused("unknown kind of exported data");
  const int depth = kDepth[layout.kind];
  const int entries = depth < 16 ? (1 << depth) : 0;
  const size_t paletteBytes = layout.palette && entries ? 2 * static_cast<size_t>(entries) : 0;
  const size_t pixelStart = 4 + paletteBytes;
  const size_t rowBytes = depth == 24 ? 2 * static_cast<size_t>(w) : static_cast<size_t>(w) * depth / 8;
  if (pixelStart + rowBytes * static_cast<size_t>(h) > size) {
    return Result::Refused("the exported data are shorter than their " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels need");
  }

  if (Result r = image.Create(w, h, depth); !r.ok()) return r;

  if (depth == 24) {
    const uint8_t* src = d + 4;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = image.Row(y);
      for (int32_t x = 0; x < w; ++x, src += 2) WriteRgb24(row + 3 * x, Colour16ToRgb(ReadBe16(src)));
    }
    return Result::Done();
  }

  if (layout.palette) {
    for (int i = 0; i < entries; ++i) {
      image.SetPaletteColor(static_cast<uint32_t>(i), Colour16ToRgb(ReadBe16(d + 4 + 2 * i)));
    }
  } else {
    uint32_t palette[256];
    FillStandardPalette(palette, entries);
    for (int i = 0; i < entries; ++i) image.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
  }
  const uint8_t* pixels = d + pixelStart;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(image.Row(y), pixels + rowBytes * static_cast<size_t>(y), rowBytes);
  }
  return Result::Done();
}

}  // namespace

Result LoadBytes(ImageBuffer& image, const uint8_t* data, size_t size) {
  try {
    std::vector<uint8_t> expanded;
    if (HasLzssMagic(data, size)) {
      LzssCodec codec;
      if (Result r = codec.Decode(data, static_cast<int64_t>(size)); !r.ok())
        return std::move(r).WithCause(Result::Cause::kDamaged);
      expanded = codec.TakeBytes();
      data = expanded.data();
      size = expanded.size();
    }
    if (const std::optional<ExportedLayout> layout = DetectExportedData(data, size)) {
      return LoadConvertedData(image, data, size, *layout).WithCause(Result::Cause::kDamaged);
    }
    if (HasPngSignature(data, size)) return ParsePng(image, data, size).WithCause(Result::Cause::kDamaged);
    // A bitmap file starts with "BM" or at least carries its own length;
    // with neither, the bytes are no kind of file this program reads.
    const bool bitmap = (size >= 2 && std::memcmp(data, "BM", 2) == 0) ||
                        (size >= BitmapFileHeader::kSize && ReadLe32(data + 2) == size);
    if (!bitmap) {
      return Result::Refused("not a picture this program reads: neither data it exported (no layout has " +
                                 std::to_string(size) + " bytes), a PNG file nor a bitmap file",
                             Result::Cause::kNotAPicture);
    }
    return ParseBmp(image, data, static_cast<int64_t>(size)).WithCause(Result::Cause::kDamaged);
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to load the picture", Result::Cause::kNoMemory);
  }
}

Result LoadFile(ImageBuffer& image, const std::string& path) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(path, bytes); !r.ok()) return r;
  return LoadBytes(image, bytes.data(), bytes.size()).WithContext(BaseName(path));
}

}  // namespace pixmill
