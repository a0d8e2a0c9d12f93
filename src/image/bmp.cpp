#include "image/bmp.h"

#include <cctype>
#include <cstring>
#include <new>
#include <vector>

#include "image/png.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

// A file the plain reader copies as it stands: a 40-byte header, no
// compression, a depth the picture can have, bottom-up rows, the full palette
// and all the pixel bytes.
bool IsPlainBitmap(const uint8_t* d, int64_t n, const BitmapFileHeader& fh) {
  if (n < BitmapFileHeader::kSize + info::kHeaderSize) return false;
  const uint8_t* ih = d + BitmapFileHeader::kSize;
  const int32_t width = static_cast<int32_t>(ReadLe32(ih + info::kWidth));
  const int32_t height = static_cast<int32_t>(ReadLe32(ih + info::kHeight));
  const int bitCount = ReadLe16(ih + info::kBitCount);
  if (ReadLe32(ih + info::kSize) != info::kHeaderSize || ReadLe32(ih + info::kCompression) != 0) return false;
  if (!IsPictureDepth(bitCount)) return false;
  if (width <= 0 || height <= 0) return false;
  const int64_t paletteEnd = BitmapFileHeader::kSize + info::kHeaderSize + 4 * int64_t{PaletteEntriesFor(bitCount)};
  if (paletteEnd > n || fh.bfOffBits < paletteEnd || fh.bfOffBits > n) return false;
  return RowsFit(StrideFor(width, bitCount), height, n - fh.bfOffBits);
}

}  // namespace

Result ParseBmp(ImageBuffer& image, const uint8_t* d, int64_t n, FileBytes* file) {
  if (d == nullptr || n < BitmapFileHeader::kSize) {
    return Result::Refused("the data are " + Num(n) + " bytes long, too short for a bitmap file header");
  }
  const BitmapFileHeader fh = BitmapFileHeader::Read(d);
  if (fh.bfSize != n) {
    return Result::Refused("bfSize " + Num(fh.bfSize) + " differs from the file length " + Num(n));
  }
  if (n < BitmapFileHeader::kSize + 4) {
    return Result::Refused("the file is " + Num(n) + " bytes long, too short for a bitmap info header");
  }
  if (!IsPlainBitmap(d, n, fh)) return DecodeBmpVariant(image, d, n);

  const uint8_t* ih = d + BitmapFileHeader::kSize;
  const int32_t width = static_cast<int32_t>(ReadLe32(ih + info::kWidth));
  const int32_t height = static_cast<int32_t>(ReadLe32(ih + info::kHeight));
  const int bitCount = ReadLe16(ih + info::kBitCount);

  const int64_t paletteBytes = 4 * static_cast<int64_t>(PaletteEntriesFor(bitCount));
  const int64_t pixelBytes = n - fh.bfOffBits;

  // Everything checked; build the new blocks before letting go of the old.
  const size_t infoSize = bitCount < 16 ? static_cast<size_t>(info::kHeaderSize + paletteBytes) : 44;
  Block infoBlock = AllocateBlock(infoSize, true);
  if (!infoBlock) return Result::Refused("not enough memory for the picture");
  const bool inPlace = file != nullptr && file->data() == d && file->size() == static_cast<size_t>(n);
  Block bits = inPlace ? file->TakeTail(fh.bfOffBits) : Block();
  const bool copy = !bits;
  if (copy) bits = AllocateBlock(static_cast<size_t>(pixelBytes), false);
  if (!bits) return Result::Refused("not enough memory for the picture");

  std::memcpy(infoBlock.get(), ih, info::kHeaderSize);
  if (paletteBytes > 0) {
    std::memcpy(infoBlock.get() + info::kHeaderSize, ih + info::kHeaderSize, static_cast<size_t>(paletteBytes));
  }
  WriteLe32(infoBlock.get() + info::kSizeImage, static_cast<uint32_t>(pixelBytes));
  if (copy) std::memcpy(bits.get(), d + fh.bfOffBits, static_cast<size_t>(pixelBytes));

  image.Adopt(fh, std::move(infoBlock), infoSize, std::move(bits), static_cast<size_t>(pixelBytes), width, height,
              bitCount);
  if (bitCount == 4 || bitCount == 8) ReserveIndexZero(image);
  return Result::Done();
}

void ReserveIndexZero(ImageBuffer& image) {
  const int bitCount = image.BitCount();
  if (!image.IsValid() || bitCount >= 16) return;

  const uint32_t entry0 = image.GetPaletteColor(0);
  uint32_t best = 2000000;
  uint32_t found = 0;
  for (int i = 1; i < (1 << bitCount); ++i) {
    const uint32_t d = ColorDistance(image.GetPaletteColor(static_cast<uint32_t>(i)), entry0);
    if (d < best) {
      best = d;
      found = static_cast<uint32_t>(i);
    }
  }
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (image.GetIndex(x, y) == 0) image.SetIndex(x, y, found);
    }
  }
}

namespace {

// The headers WriteBmp writes in front of the pixels, and the pixels' bytes.
Result BmpPieces(const ImageBuffer& image, std::vector<uint8_t>& headers, size_t& pixelBytes) {
  const uint8_t* infoBlock = image.GetInfo();
  const uint8_t* bits = image.GetBits();
  if (infoBlock == nullptr || bits == nullptr) return Result::Refused("there is no picture to save");

  const int bitCount = ReadLe16(infoBlock + info::kBitCount);
  size_t paletteBytes = bitCount < 16 ? 4 * (size_t{1} << bitCount) : 0;
  if (info::kHeaderSize + paletteBytes > image.InfoBlockSize()) {
    paletteBytes = image.InfoBlockSize() - info::kHeaderSize;
  }
  pixelBytes = ReadLe32(infoBlock + info::kSizeImage);
  if (pixelBytes > image.BitsBlockSize()) pixelBytes = image.BitsBlockSize();

  // The headers as stored, except that the offset and size describe the
  // layout actually written (a file read with a gap before its pixels, or a
  // 24-bit file that carried a palette, would otherwise be saved corrupt).
  BitmapFileHeader fh = *image.GetFileHeader();
  fh.bfOffBits = static_cast<uint32_t>(BitmapFileHeader::kSize + info::kHeaderSize + paletteBytes);
  fh.bfSize = fh.bfOffBits + static_cast<uint32_t>(pixelBytes);

  headers.assign(fh.bfOffBits, 0);
  fh.Write(headers.data());
  std::memcpy(headers.data() + BitmapFileHeader::kSize, infoBlock, info::kHeaderSize + paletteBytes);
  return Result::Done();
}

}  // namespace

Result WriteBmp(const ImageBuffer& image, const std::string& path) {
  std::vector<uint8_t> headers;
  size_t pixelBytes = 0;
  if (Result r = BmpPieces(image, headers, pixelBytes); !r.ok()) return r;
  return WriteFileAtomic(path, {Piece{headers.data(), headers.size()}, Piece{image.GetBits(), pixelBytes}});
}

Result BmpBytes(const ImageBuffer& image, std::vector<uint8_t>& file) {
  size_t pixelBytes = 0;
  if (Result r = BmpPieces(image, file, pixelBytes); !r.ok()) return r;
  file.insert(file.end(), image.GetBits(), image.GetBits() + pixelBytes);
  return Result::Done();
}

Result SaveBmpAs(const ImageBuffer& image, SavePathPrompt& prompt) {
  if (!image.IsValid()) return Result::Refused("there is no picture to save");
  SaveRequest request;
  request.proposedName = image.m_title;
  request.defaultExtension = "BMP";
  request.filters = ParseFilterString(kBmpSaveFilter);
  request.confirmOverwrite = true;
  const std::optional<std::string> path = prompt.AskSavePath(request);
  if (!path) return Result::Cancelled();
  std::string end = path->size() >= 4 ? path->substr(path->size() - 4) : std::string();
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".png" ? WritePng(image, *path) : WriteBmp(image, *path);
}

}  // namespace pixmill
