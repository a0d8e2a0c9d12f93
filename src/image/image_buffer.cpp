#include "image/image_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pixmill {

namespace {

// Largest pixel block a picture may have: GetImageSize is a signed 32-bit
// value and bfSize an unsigned one that also counts the headers.
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF - 2048;

}  // namespace

Result CheckDecodedSize(int64_t width, int64_t height, const std::string& kind) {
  if (width * height <= kMaxDecodedPixels) return Result::Done();
  return Result::Refused(kind + " of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels is too large (at most " + std::to_string(kMaxDecodedPixels) + " pixels)",
                         Result::Cause::kTooLarge);
}

BitmapFileHeader BitmapFileHeader::Read(const uint8_t* p) {
  BitmapFileHeader h;
  h.bfType = ReadLe16(p);
  h.bfSize = ReadLe32(p + 2);
  h.bfReserved1 = ReadLe16(p + 6);
  h.bfReserved2 = ReadLe16(p + 8);
  h.bfOffBits = ReadLe32(p + 10);
  return h;
}

void BitmapFileHeader::Write(uint8_t* p) const {
  WriteLe16(p, bfType);
  WriteLe32(p + 2, bfSize);
  WriteLe16(p + 6, bfReserved1);
  WriteLe16(p + 8, bfReserved2);
  WriteLe32(p + 10, bfOffBits);
}

ImageBuffer::ImageBuffer() = default;
ImageBuffer::~ImageBuffer() = default;

Result ImageBuffer::Create(int32_t width, int32_t height, int32_t bitCount) {
  if (width < 1 || height < 1) {
    return Result::Refused("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels has no pixels");
  }
  if (!IsPictureDepth(bitCount)) {
    return Result::Refused("pictures of " + std::to_string(bitCount) + " bits per pixel are not supported");
  }
  const int64_t stride = StrideFor(width, bitCount);
  if (!RowsFit(stride, height, kMaxImageBytes)) {
    return Result::Refused("a picture of " + std::to_string(width) + " x " + std::to_string(height) + " at " +
                               std::to_string(bitCount) + " bits needs more than the 2 GiB a picture may have",
                           Result::Cause::kTooLarge);
  }
  const int64_t imageBytes = stride * height;
  const int paletteBytes = 4 * PaletteEntriesFor(bitCount);
  const size_t infoSize = static_cast<size_t>(info::kHeaderSize + paletteBytes);

  // The new blocks exist before the old ones go, so a failure leaves the
  // picture as it was.
  Block newInfo = AllocateBlock(infoSize, true);
  Block newBits = AllocateBlock(static_cast<size_t>(imageBytes), true);
  if (!newInfo || !newBits) {
    return Result::Refused("not enough memory for a picture of " + std::to_string(imageBytes) + " bytes",
                           Result::Cause::kNoMemory);
  }

  m_width = width;
  m_height = height;
  m_bitCount = bitCount;
  m_stride = static_cast<int32_t>(stride);
  m_info = std::move(newInfo);
  m_infoSize = infoSize;
  m_bits = std::move(newBits);
  m_bitsSize = static_cast<size_t>(imageBytes);

  m_fileHeader.bfType = 0x4D42;  // "BM"
  m_fileHeader.bfReserved1 = 0;
  m_fileHeader.bfReserved2 = 0;
  m_fileHeader.bfOffBits = static_cast<uint32_t>(BitmapFileHeader::kSize + info::kHeaderSize + paletteBytes);
  m_fileHeader.bfSize = m_fileHeader.bfOffBits + static_cast<uint32_t>(imageBytes);

  uint8_t* h = m_info.get();
  WriteLe32(h + info::kSize, info::kHeaderSize);
  WriteLe32(h + info::kWidth, static_cast<uint32_t>(width));
  WriteLe32(h + info::kHeight, static_cast<uint32_t>(height));
  WriteLe16(h + info::kPlanes, 1);
  WriteLe16(h + info::kBitCount, static_cast<uint32_t>(bitCount));
  WriteLe32(h + info::kCompression, 0);
  WriteLe32(h + info::kSizeImage, static_cast<uint32_t>(imageBytes));
  // The pels-per-metre, colours-used and colours-important fields stay 0.

  m_valid = 1;
  m_mask.clear();
  return Result::Done();
}

void ImageBuffer::Adopt(const BitmapFileHeader& fileHeader, Block infoBlock, size_t infoSize, Block bits,
                        size_t bitsSize, int32_t width, int32_t height, int32_t bitCount) {
  m_fileHeader = fileHeader;
  m_info = std::move(infoBlock);
  m_infoSize = infoSize;
  m_bits = std::move(bits);
  m_bitsSize = bitsSize;
  m_width = width;
  m_height = height;
  m_bitCount = bitCount;
  m_stride = static_cast<int32_t>(StrideFor(width, bitCount));
  m_valid = 1;
  m_mask.clear();
}

void ImageBuffer::SetTransparentMask(std::vector<uint8_t> mask) {
  const bool any = std::any_of(mask.begin(), mask.end(), [](uint8_t v) { return v != 0; });
  if (!any || mask.size() != static_cast<size_t>(m_width) * static_cast<size_t>(m_height)) mask.clear();
  m_mask = std::move(mask);
}

void ImageBuffer::TakeBlocksFrom(ImageBuffer& source) {
  if (!source.m_valid) return;
  Adopt(source.m_fileHeader, std::move(source.m_info), source.m_infoSize, std::move(source.m_bits), source.m_bitsSize,
        source.m_width, source.m_height, source.m_bitCount);
  m_mask = std::move(source.m_mask);
  source.m_mask.clear();
  source.m_infoSize = 0;
  source.m_bitsSize = 0;
  source.m_valid = 0;
}

Result ImageBuffer::CopyPictureFrom(const ImageBuffer& source) {
  ImageBuffer copy;
  if (source.m_valid) {
    Block info = AllocateBlock(source.m_infoSize, false);
    Block bits = AllocateBlock(source.m_bitsSize, false);
    if (!info || !bits) return Result::Refused("not enough memory to copy the picture", Result::Cause::kNoMemory);
    std::memcpy(info.get(), source.m_info.get(), source.m_infoSize);
    std::memcpy(bits.get(), source.m_bits.get(), source.m_bitsSize);
    copy.Adopt(source.m_fileHeader, std::move(info), source.m_infoSize, std::move(bits), source.m_bitsSize,
               source.m_width, source.m_height, source.m_bitCount);
    copy.m_mask = source.m_mask;
  }
  copy.m_ditherMode = source.m_ditherMode;
  copy.m_sampleColumns = source.m_sampleColumns;
  copy.m_sampleRows = source.m_sampleRows;
  copy.m_paletteKind = source.m_paletteKind;
  copy.m_precision = source.m_precision;
  copy.m_title = source.m_title;
  copy.m_lastTransparent = source.m_lastTransparent;
  copy.m_transparentColor = source.m_transparentColor;
  SwapPictures(copy);
  return Result::Done();
}

void ImageBuffer::SwapPictures(ImageBuffer& other) {
  ProgressSink* const mine = m_progress;
  ProgressSink* const theirs = other.m_progress;
  std::swap(*this, other);
  m_progress = mine;
  other.m_progress = theirs;
}

uint32_t ImageBuffer::GetPixel(int32_t x, int32_t y) const {
  const int32_t offset = GetPixelOffset(x, y);
  if (offset < 0) return 0;
  const uint8_t* p = m_bits.get() + offset;
  switch (m_bitCount) {
    case 1:
      return GetPaletteColor((p[0] >> (7 - x % 8)) & 1);
    case 4:
      return GetPaletteColor((x % 2 == 0) ? (p[0] >> 4) & 0xF : p[0] & 0xF);
    case 8:
      return GetPaletteColor(p[0]);
    case 16: {
      const uint32_t w = p[0] | (p[1] << 8);
      const uint32_t red = ((w >> 10) & 0x1F) << 3;
      const uint32_t green = ((w >> 5) & 0x1F) << 3;
      const uint32_t blue = (w & 0x1F) << 3;
      return red << 16 | green << 8 | blue;
    }
    case 24:
      return ReadRgb24(p);
    default:
      return 0;
  }
}

void ImageBuffer::GetRowPixels(int32_t y, uint32_t* out) const {
  const uint8_t* row = Row(y);
  switch (m_bitCount) {
    case 24:
      for (int32_t x = 0; x < m_width; ++x) out[x] = ReadRgb24(row + 3 * x);
      break;
    case 8:
      for (int32_t x = 0; x < m_width; ++x) out[x] = GetPaletteColor(row[x]);
      break;
    default:
      for (int32_t x = 0; x < m_width; ++x) out[x] = GetPixel(x, y);
      break;
  }
}

uint8_t ImageBuffer::GetIndex(int32_t x, int32_t y) const {
  const int32_t offset = GetPixelOffset(x, y);
  if (offset < 0) return 0;
  const uint8_t b = m_bits[static_cast<size_t>(offset)];
  switch (m_bitCount) {
    case 1:
      return static_cast<uint8_t>((b >> (7 - x % 8)) & 1);
    case 4:
      return static_cast<uint8_t>((x % 2 == 0) ? (b >> 4) & 0xF : b & 0xF);
    case 8:
      return b;
    default:
      return 0;
  }
}

void ImageBuffer::SetIndex(int32_t x, int32_t y, uint32_t index) {
  const int32_t offset = GetPixelOffset(x, y);
  if (offset < 0) return;
  uint8_t& b = m_bits[static_cast<size_t>(offset)];
  switch (m_bitCount) {
    case 1: {
      const int shift = 7 - x % 8;
      b = static_cast<uint8_t>((b & ~(1u << shift)) | ((index & 1u) << shift));
      break;
    }
    case 4:
      if (x % 2 == 0) {
        b = static_cast<uint8_t>((b & 0x0F) | ((index & 0xFu) << 4));
      } else {
        b = static_cast<uint8_t>((b & 0xF0) | (index & 0xFu));
      }
      break;
    case 8:
      b = static_cast<uint8_t>(index);
      break;
    default:
      break;
  }
}

void ImageBuffer::SetIndexRow(int32_t y, const uint8_t* indices) {
  if (y < 0 || y >= m_height) return;
  const int32_t w = m_width;
  uint8_t* row = Row(y);
  switch (m_bitCount) {
    case 8:
      std::copy(indices, indices + w, row);
      break;
    case 4:
      for (int32_t x = 0; x < w; x += 2) {
        const int low = x + 1 < w ? indices[x + 1] & 0xF : 0;
        row[x / 2] = static_cast<uint8_t>((indices[x] & 0xF) << 4 | low);
      }
      break;
    case 1:
      for (int32_t x = 0; x < w; x += 8) {
        int byte = 0;
        for (int32_t k = 0; k < 8 && x + k < w; ++k) byte |= (indices[x + k] & 1) << (7 - k);
        row[x / 8] = static_cast<uint8_t>(byte);
      }
      break;
    default:
      break;
  }
}

void MarkTransparent(ImageBuffer& image, std::vector<uint8_t> mask) {
  if (image.BitCount() == 1) return;
  image.SetTransparentMask(std::move(mask));
  const uint8_t* marks = image.TransparentMask();
  if (marks == nullptr) return;
  const uint32_t key = SwapRedBlue(image.m_transparentColor);
  const bool indexed = image.BitCount() <= 8;
  if (indexed) image.SetPaletteColor(0, key);
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x, ++marks) {
      if (*marks == 0) continue;
      if (indexed) {
        image.SetIndex(x, y, 0);
      } else if (image.BitCount() == 24) {
        WriteRgb24(image.Row(y) + 3 * x, key);
      }
    }
  }
}

bool ConsoleTransparent(const ImageBuffer& image, int32_t x, int32_t y) {
  const int bits = image.BitCount();
  if (bits == 4 || bits == 8) return image.GetIndex(x, y) == 0;
  return bits >= 16 && SwapRedBlue(image.GetPixel(x, y) & 0xFFFFFF) == image.m_transparentColor;
}

uint32_t ConsoleWord(const ImageBuffer& image, int32_t x, int32_t y) {
  const uint32_t rgb = image.GetPixel(x, y);
  if (image.BitCount() >= 16 && SwapRedBlue(rgb & 0xFFFFFF) == image.m_transparentColor) return 0;
  return OpaqueWord(rgb);
}

Result ExpandTo24Bits(const ImageBuffer& source, ImageBuffer& target) {
  if (!source.IsValid()) return Result::Refused("there is no picture");
  if (Result r = target.Create(source.Width(), source.Height(), 24); !r.ok()) return r;
  const int32_t w = source.Width();
  std::unique_ptr<uint32_t[]> colours(new (std::nothrow) uint32_t[static_cast<size_t>(w)]);
  if (!colours) return Result::Refused("not enough memory");
  for (int32_t y = 0; y < source.Height(); ++y) {
    uint8_t* out = target.Row(y);
    if (source.BitCount() == 24) {
      std::memcpy(out, source.Row(y), static_cast<size_t>(w) * 3);
      continue;
    }
    source.GetRowPixels(y, colours.get());
    for (int32_t x = 0; x < w; ++x) WriteRgb24(out + 3 * x, colours[static_cast<size_t>(x)]);
  }
  return Result::Done();
}

}  // namespace pixmill
