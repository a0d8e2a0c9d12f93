// The one picture type: a complete Windows bitmap in memory (file header,
// info header with palette, bottom-up pixel rows padded to 4 bytes), plus the
// colour settings the colour dialog fills in and the transparent-colour state.
//
// Pixels are addressed as (x, y) with y = 0 the top row; the bottom-up row
// order and the bit packing stay inside this class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "platform/memory.h"
#include "platform/progress.h"
#include "platform/result.h"
#include "platform/system_colors.h"

namespace pixmill {

// The 14-byte bitmap file header.
struct BitmapFileHeader {
  static constexpr int kSize = 14;

  uint16_t bfType = 0;
  uint32_t bfSize = 0;
  uint16_t bfReserved1 = 0;
  uint16_t bfReserved2 = 0;
  uint32_t bfOffBits = 0;

  static BitmapFileHeader Read(const uint8_t* p);
  void Write(uint8_t* p) const;
};

// Offsets of the fields of the 40-byte info header.
namespace info {
inline constexpr int kHeaderSize = 40;
inline constexpr int kSize = 0;
inline constexpr int kWidth = 4;
inline constexpr int kHeight = 8;
inline constexpr int kPlanes = 12;
inline constexpr int kBitCount = 14;
inline constexpr int kCompression = 16;
inline constexpr int kSizeImage = 20;
inline constexpr int kXPelsPerMeter = 24;
inline constexpr int kYPelsPerMeter = 28;
inline constexpr int kClrUsed = 32;
inline constexpr int kClrImportant = 36;
}  // namespace info

// The depths a picture can have.
constexpr bool IsPictureDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24; }

// The largest side the commands make (Scale takes 1 to this), and the most
// pixels a reader decodes from a compressed file: four times the largest
// picture the commands make, so that such a picture can be loaded and scaled
// down, while a few bytes claiming a huge picture allocate nothing big.
inline constexpr int kMaxSide = 4096;
inline constexpr int64_t kMaxDecodedPixels = 4 * int64_t{kMaxSide} * kMaxSide;

// Refused, saying so, for a picture a file claims that has more pixels than
// a reader decodes: `kind` names the file's kind ("a PNG picture").
Result CheckDecodedSize(int64_t width, int64_t height, const std::string& kind = "a picture");

// Bytes per row: width × bitCount bits rounded up to a multiple of 32 bits.
inline int64_t StrideFor(int64_t width, int64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

// Whether `rows` rows of `stride` bytes fit in `available` bytes, without
// overflowing on absurd sizes.
inline bool RowsFit(int64_t stride, int64_t rows, int64_t available) {
  return stride >= 0 && rows >= 0 && (rows == 0 || stride <= available / rows);
}

// Number of palette entries a picture of this depth carries (0 above 8 bits).
inline int PaletteEntriesFor(int bitCount) { return bitCount < 16 ? (1 << bitCount) : 0; }

// A 24-bit pixel as stored (blue, green, red) and as an RGB value 0x00RRGGBB.
inline uint32_t ReadRgb24(const uint8_t* p) {
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}
inline void WriteRgb24(uint8_t* p, uint32_t rgb) {
  p[0] = static_cast<uint8_t>(rgb);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb >> 16);
}

// The console's 16-bit colour word (red in bits 0-4, green 5-9, blue 10-14,
// each the top 5 bits of its channel) from 0x00RRGGBB, bit 15 not set; and
// back, each field shifted left by 3, bit 15 ignored.
constexpr uint32_t RgbToColour16(uint32_t rgb) {
  return ((rgb & 0xFF) >> 3) << 10 | (((rgb >> 8) & 0xFF) >> 3) << 5 | (((rgb >> 16) & 0xFF) >> 3);
}
constexpr uint32_t Colour16ToRgb(uint32_t w) {
  const uint32_t red = (w & 0x1F) << 3;
  const uint32_t green = ((w >> 5) & 0x1F) << 3;
  const uint32_t blue = ((w >> 10) & 0x1F) << 3;
  return red << 16 | green << 8 | blue;
}

// The word of an opaque colour, as the export writes palette entries and
// every pixel that is not transparent: bit 15 set.
constexpr uint32_t OpaqueWord(uint32_t rgb) { return RgbToColour16(rgb) | 0x8000; }

// Converts between an RGB value (0x00RRGGBB) and a COLORREF (0x00BBGGRR).
constexpr uint32_t SwapRedBlue(uint32_t c) { return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16); }

// Squared distance over the three low bytes; no weights; at most 195075.
constexpr uint32_t ColorDistance(uint32_t a, uint32_t b) {
  const int d0 = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  const int d1 = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  const int d2 = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
  return static_cast<uint32_t>(d0 * d0 + d1 * d1 + d2 * d2);
}

class ImageBuffer {
 public:
  ImageBuffer();
  ~ImageBuffer();
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer(ImageBuffer&&) = default;
  ImageBuffer& operator=(ImageBuffer&&) = default;
  ImageBuffer& operator=(const ImageBuffer&) = delete;

  // Replaces both blocks by a zero-filled picture with headers describing it
  // exactly. Refused (picture unchanged) for a size of 0 or below, a depth
  // other than 1, 4, 8, 16 and 24, more than 2 GiB of pixels, or when memory
  // runs out. Settings, title, progress and transparent state are kept.
  Result Create(int32_t width, int32_t height, int32_t bitCount);

  // Takes over blocks built elsewhere (the bitmap reader): the file header as
  // read, an info block and a pixel block. `bits` must hold at least
  // Stride × height bytes.
  void Adopt(const BitmapFileHeader& fileHeader, Block info, size_t infoSize, Block bits, size_t bitsSize,
             int32_t width, int32_t height, int32_t bitCount);

  // Takes the blocks and headers of a picture made by Create, leaving it
  // empty: the same as Create with its size and depth followed by CopyFrom,
  // without a third copy of the pixels in memory.
  void TakeBlocksFrom(ImageBuffer& source);

  // The whole picture, blocks, settings, title and transparent state, made
  // a copy of the source's (empty when the source is); the progress sink
  // stays. Refused, nothing changed, when memory runs out.
  Result CopyPictureFrom(const ImageBuffer& source);
  // Exchanges the whole pictures of the two, as CopyPictureFrom sees them.
  void SwapPictures(ImageBuffer& other);

  int32_t GetInfoSize() const {
    return m_bitCount >= 16 ? info::kHeaderSize : info::kHeaderSize + 4 * (1 << m_bitCount);
  }
  int32_t GetImageSize() const { return m_stride * m_height; }

  const BitmapFileHeader* GetFileHeader() const { return m_valid ? &m_fileHeader : nullptr; }
  const uint8_t* GetInfo() const { return m_valid ? m_info.get() : nullptr; }
  uint8_t* GetInfo() { return m_valid ? m_info.get() : nullptr; }
  const uint8_t* GetBits() const { return m_valid ? m_bits.get() : nullptr; }
  uint8_t* GetBits() { return m_valid ? m_bits.get() : nullptr; }
  size_t InfoBlockSize() const { return m_infoSize; }
  size_t BitsBlockSize() const { return m_bitsSize; }

  void SetProgressBar(ProgressSink* progress) { m_progress = progress; }
  ProgressSink* GetProgressBar() const { return m_progress; }

  bool IsValid() const { return m_valid != 0; }
  int32_t Width() const { return m_width; }
  int32_t Height() const { return m_height; }
  int32_t BitCount() const { return m_bitCount; }

  bool Inside(int32_t x, int32_t y) const { return x >= 0 && x < m_width && y >= 0 && y < m_height; }

  // Start of picture row y (0 = top). The caller keeps y inside the picture.
  uint8_t* Row(int32_t y) { return m_bits.get() + static_cast<ptrdiff_t>(m_height - y - 1) * m_stride; }
  const uint8_t* Row(int32_t y) const { return m_bits.get() + static_cast<ptrdiff_t>(m_height - y - 1) * m_stride; }

  // Byte offset of (x, y) in the pixel block, -1 outside the picture.
  int32_t GetPixelOffset(int32_t x, int32_t y) const {
    if (!Inside(x, y)) return -1;
    return (m_height - y - 1) * m_stride + static_cast<int32_t>((static_cast<int64_t>(x) * m_bitCount) / 8);
  }

  uint32_t GetPixel(int32_t x, int32_t y) const;
  // GetPixel for every pixel of row y, into out[0 .. width - 1].
  void GetRowPixels(int32_t y, uint32_t* out) const;
  uint8_t GetIndex(int32_t x, int32_t y) const;
  // Stores the index at 1, 4 or 8 bits; at 1 bit only bit 0 and at 4 bits only
  // the low nibble, so a neighbouring pixel is never touched.
  void SetIndex(int32_t x, int32_t y, uint32_t index);
  // Stores row y of a 1-, 4- or 8-bit picture from one index per pixel,
  // indices[0 .. width - 1], each cut to the depth as SetIndex does.
  void SetIndexRow(int32_t y, const uint8_t* indices);

  // Palette entry (index & 0xFF) with its reserved byte in bits 24-31; 0 for
  // an entry the palette block does not have.
  uint32_t GetPaletteColor(uint32_t index) const {
    const size_t at = info::kHeaderSize + 4 * static_cast<size_t>(index & 0xFF);
    if (!m_info || at + 4 > m_infoSize) return 0;
    return ReadLe32(m_info.get() + at);
  }
  // Stores an entry; an entry beyond the palette block is ignored.
  void SetPaletteColor(uint32_t index, uint32_t value) {
    const size_t at = info::kHeaderSize + 4 * static_cast<size_t>(index & 0xFF);
    if (!m_info || at + 4 > m_infoSize) return;
    WriteLe32(m_info.get() + at, value);
  }

  // The pixels that came transparent with the picture (an alpha channel or
  // a transparent colour of its file): one byte per pixel, rows from the
  // top, non-zero where transparent; null when the picture has none. Such
  // pixels hold the key colour (16 and 24 bits) or index 0 (4 and 8 bits),
  // and the commands keep them so. The marks belong to the pixel block:
  // Create and the readers clear them, TakeBlocksFrom takes them along.
  const uint8_t* TransparentMask() const { return m_mask.empty() ? nullptr : m_mask.data(); }
  bool MaskedAt(int32_t x, int32_t y) const {
    return !m_mask.empty() &&
           m_mask[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)] != 0;
  }
  // Sets the marks (width x height bytes), or none for an empty vector or
  // one without a single mark.
  void SetTransparentMask(std::vector<uint8_t> mask);

  // Colour settings (filled in by the colour command) and state that the
  // operations of the colour and export code read.
  int32_t m_ditherMode = 0;      // a DitherMode (image/choices.h)
  int32_t m_sampleColumns = 64;  // sampling grid of the optimised palette
  int32_t m_sampleRows = 64;
  int32_t m_paletteKind = 0;  // a PaletteKind: optimised, standard, given or quality
  int32_t m_precision = 8;    // 1..16
  std::string m_title = "image";
  // What the last transparent-colour change applied (a COLORREF, or a palette
  // index in paletted pictures) and the transparent key colour (COLORREF).
  // Both start as the key colour, so a picture used without the program's
  // start-up behaves as if it had been through it.
  uint32_t m_lastTransparent = kButtonFaceColour;
  uint32_t m_transparentColor = kButtonFaceColour;

 private:
  int32_t m_width = 0;
  int32_t m_height = 0;
  int32_t m_bitCount = 0;
  BitmapFileHeader m_fileHeader;
  Block m_info;
  size_t m_infoSize = 0;
  Block m_bits;
  size_t m_bitsSize = 0;
  int32_t m_valid = 0;
  ProgressSink* m_progress = nullptr;
  int32_t m_stride = 0;
  std::vector<uint8_t> m_mask;
};

// Marks the picture's transparent pixels (one byte per pixel, non-zero
// where transparent) and gives them the key colour, or, in a 4- or 8-bit
// picture, index 0 with the key colour as its entry. Nothing for no marks,
// and none at 1 bit, which has no transparent colour.
void MarkTransparent(ImageBuffer& image, std::vector<uint8_t> mask);

// How the console sees pixel (x, y): transparent where it has index 0 (4
// and 8 bits) or the key colour (16 and 24 bits); otherwise the colour word
// of its palette entry, or of its colour, which is what the export writes.
bool ConsoleTransparent(const ImageBuffer& image, int32_t x, int32_t y);
uint32_t ConsoleWord(const ImageBuffer& image, int32_t x, int32_t y);

// Makes `target` a 24-bit picture of the source's size holding, for every
// pixel, the colour GetPixel gives.
Result ExpandTo24Bits(const ImageBuffer& source, ImageBuffer& target);

}  // namespace pixmill
