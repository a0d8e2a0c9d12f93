// Bitmap files the plain reader does not take as they are: other header
// kinds (OS/2 1.x and 2.x, V2 to V5), short palettes, top-down rows, RLE8 and
// RLE4, 2-bit pixels, and 16- and 32-bit pixels with or without bit masks.
// Each is decoded into a picture made by Create, so that from then on it is
// like any picture the program made.
#include <bit>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace pixmill {

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

enum Compression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitfields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitfields = 6,
};

struct Layout {
  uint32_t headerSize = 0;
  bool os2 = false;
  int32_t width = 0;
  int32_t height = 0;  // rows, always positive
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = kRgb;
  int64_t paletteStart = 0;
  int paletteEntrySize = 4;
  int paletteCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  int64_t pixelStart = 0;
};

// One channel of a bit mask: where it starts and how many bits it has.
struct Channel {
  int shift = 0;
  int bits = 0;
  uint32_t mask = 0;
  // The channel widened to 8 bits by repeating its bits from the top, as
  // bitmap readers do (5 bits abcde become abcdeabc).
  uint8_t Value(uint32_t pixel) const {
    if (bits == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    uint32_t out = 0;
    for (int at = 8 - bits; at > -bits; at -= bits) out |= at >= 0 ? v << at : v >> -at;
    return static_cast<uint8_t>(out);
  }
};

Result MaskChannel(uint32_t mask, const char* name, Channel& out) {
  out.mask = mask;
  if (mask == 0) return Result::Done();
  out.shift = std::countr_zero(mask);
  const uint32_t run = mask >> out.shift;
  if ((run & (run + 1)) != 0) {
    return Result::Refused(std::string("the ") + name + " bit mask " + Num(mask) + " is not one run of bits");
  }
  out.bits = std::popcount(mask);
  return Result::Done();
}

Result ReadLayout(const uint8_t* d, int64_t n, const BitmapFileHeader& fh, Layout& l) {
  const uint8_t* h = d + BitmapFileHeader::kSize;
  l.headerSize = ReadLe32(h);
  switch (l.headerSize) {
    case 12:  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      break;
    default:
      return Result::Refused("an info header of " + Num(l.headerSize) +
                             " bytes is not a kind of bitmap this reader knows");
  }
  if (BitmapFileHeader::kSize + static_cast<int64_t>(l.headerSize) > n) {
    return Result::Refused("the " + Num(l.headerSize) + "-byte info header reaches past the end of the file");
  }
  l.os2 = l.headerSize == 12 || l.headerSize == 16 || l.headerSize == 64;
  int64_t height;
  uint32_t clrUsed = 0;
  if (l.headerSize == 12) {
    l.width = ReadLe16(h + 4);
    height = ReadLe16(h + 6);
    l.bitCount = ReadLe16(h + 10);
    l.paletteEntrySize = 3;
  } else {
    l.width = static_cast<int32_t>(ReadLe32(h + 4));
    height = static_cast<int32_t>(ReadLe32(h + 8));
    l.bitCount = ReadLe16(h + 14);
    if (l.headerSize >= 20) l.compression = ReadLe32(h + 16);
    if (l.headerSize >= 36) clrUsed = ReadLe32(h + 32);
  }
  if (l.width <= 0 || height == 0 || height == INT32_MIN) {
    return Result::Refused("a size of " + Num(l.width) + " x " + Num(height) + " pixels holds no picture");
  }
  l.topDown = height < 0;
  l.height = static_cast<int32_t>(height < 0 ? -height : height);
  if (Result r = CheckDecodedSize(l.width, l.height); !r.ok()) return r;

  switch (l.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return Result::Refused(Num(l.bitCount) + " bits per pixel are not supported", Result::Cause::kNotAPicture);
  }

  const uint32_t c = l.compression;
  if (l.os2 && c == kBitfields)
    return Result::Refused("Huffman-compressed bitmaps are not supported", Result::Cause::kNotAPicture);
  if (l.os2 && c == kJpeg)
    return Result::Refused("RLE24-compressed bitmaps are not supported", Result::Cause::kNotAPicture);
  if (c == kJpeg)
    return Result::Refused("bitmaps holding a JPEG picture are not supported", Result::Cause::kNotAPicture);
  if (c == kPng) return Result::Refused("bitmaps holding a PNG picture are not supported", Result::Cause::kNotAPicture);
  if (c > kAlphaBitfields) return Result::Refused("compression " + Num(c) + " is not a kind this reader knows");
  if (c == kRle8 && l.bitCount != 8) return Result::Refused("RLE8 compression needs 8 bits per pixel");
  if (c == kRle4 && l.bitCount != 4) return Result::Refused("RLE4 compression needs 4 bits per pixel");
  if ((c == kRle8 || c == kRle4) && l.topDown) return Result::Refused("a compressed bitmap cannot be top-down");
  const bool masked = c == kBitfields || c == kAlphaBitfields;
  if (masked && l.bitCount != 16 && l.bitCount != 32) {
    return Result::Refused("bit masks need 16 or 32 bits per pixel");
  }

  l.paletteStart = BitmapFileHeader::kSize + l.headerSize;
  if (masked) {
    const int count = c == kAlphaBitfields ? 4 : 3;
    const int64_t at = BitmapFileHeader::kSize + 40;
    if (l.headerSize == 40) l.paletteStart += 4 * count;  // the masks follow the header
    const int inHeader = l.headerSize >= 56 ? 4 : (l.headerSize >= 52 ? 3 : 0);
    const int present = l.headerSize == 40 ? count : inHeader;
    if (at + 4 * present > n) return Result::Refused("the bit masks reach past the end of the file");
    for (int i = 0; i < present; ++i) l.masks[i] = ReadLe32(d + at + 4 * i);
  } else if (l.bitCount == 16) {
    l.masks[0] = 0x7C00;
    l.masks[1] = 0x03E0;
    l.masks[2] = 0x001F;
  } else if (l.bitCount == 32) {
    l.masks[0] = 0x00FF0000;
    l.masks[1] = 0x0000FF00;
    l.masks[2] = 0x000000FF;
  }

  l.pixelStart = fh.bfOffBits;
  if (l.pixelStart < l.paletteStart) {
    return Result::Refused("the pixels start at " + Num(l.pixelStart) + ", inside the headers");
  }
  if (l.pixelStart > n)
    return Result::Refused("the pixels start at " + Num(l.pixelStart) + ", past the end of the file");
  if (l.bitCount <= 8) {
    const int entries = 1 << l.bitCount;
    int64_t count = clrUsed != 0 ? std::min<int64_t>(clrUsed, entries) : entries;
    // A palette shorter than its count ends where the pixels begin.
    count = std::min<int64_t>(count, (l.pixelStart - l.paletteStart) / l.paletteEntrySize);
    l.paletteCount = static_cast<int>(count);
  }
  return Result::Done();
}

int TargetDepth(const Layout& l) {
  switch (l.bitCount) {
    case 1:
      return 1;
    case 2:
    case 4:
      return 4;
    case 8:
      return 8;
    case 16:
      return l.compression == kRgb ? 16 : 24;
    default:
      return 24;
  }
}

// Run-length data: pairs of a count and a value, or a 0 and an escape (end
// of line, end of bitmap, a jump, or a run of literal pixels). Rows run from
// the bottom. Pixels the data skip keep index 0.
Result DecodeRle(const Layout& l, const uint8_t* p, int64_t size, ImageBuffer& image) {
  const bool four = l.compression == kRle4;
  int64_t x = 0;
  int64_t row = 0;  // from the bottom
  int64_t i = 0;
  auto put = [&](uint32_t index) -> Result {
    if (x >= l.width || row >= l.height) {
      return Result::Refused("an RLE run reaches past " +
                             std::string(x >= l.width ? "the end of its row" : "the top row"));
    }
    image.SetIndex(static_cast<int32_t>(x), static_cast<int32_t>(l.height - 1 - row), index);
    ++x;
    return Result::Done();
  };
  while (i + 1 < size) {
    const uint8_t count = p[i];
    const uint8_t value = p[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k) {
        const uint32_t index = four ? ((k % 2 == 0) ? value >> 4 : value & 0xF) : value;
        if (Result r = put(index); !r.ok()) return r;
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return Result::Done();
    } else if (value == 2) {  // jump right and up
      if (i + 1 >= size) return Result::Refused("an RLE jump is cut off by the end of the data");
      x += p[i];
      row += p[i + 1];
      i += 2;
    } else {  // `value` literal pixels, padded to a 16-bit boundary
      const int64_t bytes = four ? (value + 1) / 2 : value;
      if (i + bytes > size) return Result::Refused("an RLE literal run is cut off by the end of the data");
      for (int k = 0; k < value; ++k) {
        const uint8_t b = p[i + (four ? k / 2 : k)];
        const uint32_t index = four ? ((k % 2 == 0) ? b >> 4 : b & 0xF) : b;
        if (Result r = put(index); !r.ok()) return r;
      }
      i += bytes + (bytes & 1);
    }
  }
  // Data that end without an end-of-bitmap mark leave the rest at index 0.
  return Result::Done();
}

// The caller has checked that all the rows are in the data. With an alpha
// mask, `transparent` gets a byte per pixel, set where the alpha is below
// half; it stays empty when every alpha is 0, as in files whose writers
// leave the alpha unused.
Result DecodeRows(const Layout& l, const uint8_t* p, ImageBuffer& image, std::vector<uint8_t>& transparent) {
  const int64_t stride = StrideFor(l.width, l.bitCount);
  Channel red, green, blue, alpha;
  if (l.bitCount >= 16) {
    if (Result r = MaskChannel(l.masks[0], "red", red); !r.ok()) return r;
    if (Result r = MaskChannel(l.masks[1], "green", green); !r.ok()) return r;
    if (Result r = MaskChannel(l.masks[2], "blue", blue); !r.ok()) return r;
    if (Result r = MaskChannel(l.masks[3], "alpha", alpha); !r.ok()) return r;
  }
  bool anyAlpha = false;
  if (alpha.bits > 0) transparent.assign(static_cast<size_t>(l.width) * static_cast<size_t>(l.height), 0);
  const int32_t w = l.width;
  for (int32_t y = 0; y < l.height; ++y) {
    const uint8_t* src = p + (l.topDown ? y : l.height - 1 - y) * stride;
    uint8_t* out = image.Row(y);
    if (l.bitCount == 2) {
      for (int32_t x = 0; x < w; ++x) image.SetIndex(x, y, (src[x / 4] >> (6 - 2 * (x % 4))) & 3);
    } else if (l.bitCount <= 8 || (l.bitCount == 16 && image.BitCount() == 16) || l.bitCount == 24) {
      std::memcpy(out, src, static_cast<size_t>((static_cast<int64_t>(w) * l.bitCount + 7) / 8));
    } else {
      const int bytes = l.bitCount / 8;
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t pixel = bytes == 2 ? ReadLe16(src + 2 * x) : ReadLe32(src + 4 * x);
        out[3 * x] = blue.Value(pixel);
        out[3 * x + 1] = green.Value(pixel);
        out[3 * x + 2] = red.Value(pixel);
        if (alpha.bits > 0) {
          const uint8_t a = alpha.Value(pixel);
          anyAlpha |= a != 0;
          transparent[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = a < 128;
        }
      }
    }
  }
  if (!anyAlpha) transparent.clear();
  return Result::Done();
}

}  // namespace

Result DecodeBmpVariant(ImageBuffer& image, const uint8_t* d, int64_t n) {
  const BitmapFileHeader fh = BitmapFileHeader::Read(d);
  Layout l;
  if (Result r = ReadLayout(d, n, fh, l); !r.ok()) return r;

  // Nothing is allocated for a picture the data cannot hold: plain rows
  // must all be there, and run-length data cannot describe more than a few
  // hundred pixels per byte (a flat picture takes about 1 byte for 120).
  const int64_t size = n - l.pixelStart;
  const bool rle = l.compression == kRle8 || l.compression == kRle4;
  const int64_t pixels = static_cast<int64_t>(l.width) * l.height;
  if (!rle && !RowsFit(StrideFor(l.width, l.bitCount), l.height, size)) {
    return Result::Refused("the file holds " + Num(size) + " pixel bytes; " + Num(l.width) + " x " + Num(l.height) +
                           " at " + Num(l.bitCount) + " bits need " + Num(StrideFor(l.width, l.bitCount) * l.height));
  }
  if (rle && pixels > 256 * size + (int64_t{1} << 20)) {
    return Result::Refused("a compressed picture of " + Num(l.width) + " x " + Num(l.height) + " pixels from " +
                               Num(size) + " bytes of data is not believable",
                           Result::Cause::kTooLarge);
  }

  ImageBuffer picture;
  const int depth = TargetDepth(l);
  if (Result r = picture.Create(l.width, l.height, depth); !r.ok()) return r;
  if (l.bitCount <= 8) {
    // Entries the file does not have stay black.
    for (int i = 0; i < (1 << depth); ++i) picture.SetPaletteColor(static_cast<uint32_t>(i), 0);
    for (int i = 0; i < l.paletteCount; ++i) {
      const uint8_t* e = d + l.paletteStart + static_cast<int64_t>(i) * l.paletteEntrySize;
      picture.SetPaletteColor(static_cast<uint32_t>(i), static_cast<uint32_t>(e[2]) << 16 | e[1] << 8 | e[0]);
    }
  }
  const uint8_t* data = d + l.pixelStart;
  std::vector<uint8_t> transparent;
  const Result r = rle ? DecodeRle(l, data, size, picture) : DecodeRows(l, data, picture, transparent);
  if (!r.ok()) return r;

  image.TakeBlocksFrom(picture);
  if (depth == 4 || depth == 8) ReserveIndexZero(image);
  MarkTransparent(image, std::move(transparent));
  return Result::Done();
}

}  // namespace pixmill
