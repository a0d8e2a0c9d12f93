#include "image/png.h"

#include <png.h>

#include <cctype>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

// libpng's own limit on each side; the pixels are bounded by kMaxDecodedPixels.
constexpr uint32_t kMaxPngSide = 65535;

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at;
  std::string error;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (count > r->size - r->at) png_error(png, "the file ends early");
  std::memcpy(out, r->data + r->at, count);
  r->at += count;
}

void OnError(png_structp png, png_const_charp message) {
  auto* r = static_cast<Reader*>(png_get_error_ptr(png));
  r->error = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Owns libpng's read structures.
struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngRead() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// libpng gives a chunk the memory its length claims before reading it: a
// chunk longer than the rest of the file is refused first (a 104-byte file
// once asked for 1.6 GB).
Result CheckChunkLengths(const uint8_t* data, size_t size) {
  for (size_t at = 8; at + 8 <= size;) {
    const uint64_t length = png_get_uint_32(data + at);
    const std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
    if (length + 12 > size - at) {
      std::string shown;
      for (const char c : type) shown += std::isalpha(static_cast<unsigned char>(c)) ? c : '?';
      return Result::Refused("the PNG file is damaged: its " + shown + " chunk claims " + std::to_string(length) +
                                 " bytes, and " + std::to_string(size - at - 8) + " follow",
                             Result::Cause::kDamaged);
    }
    if (type == "IEND") break;
    at += 12 + length;
  }
  return Result::Done();
}

}  // namespace

bool HasPngSignature(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

Result ParsePng(ImageBuffer& image, const uint8_t* data, size_t size) {
  if (!HasPngSignature(data, size)) return Result::Refused("not a PNG file");
  if (Result r = CheckChunkLengths(data, size); !r.ok()) return r;
  Reader reader{data, size, 0, {}};
  PngRead read;
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, OnError, OnWarning);
  if (!read.png) return Result::Refused("not enough memory to read the PNG file", Result::Cause::kNoMemory);
  read.info = png_create_info_struct(read.png);
  if (!read.info) return Result::Refused("not enough memory to read the PNG file", Result::Cause::kNoMemory);

  // Everything that libpng may leave by a jump lives outside this frame.
  ImageBuffer picture;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> mask;

  if (setjmp(png_jmpbuf(read.png))) return Result::Refused("the PNG file is damaged: " + reader.error);
  png_set_read_fn(read.png, &reader, ReadBytes);
  png_set_user_limits(read.png, kMaxPngSide, kMaxPngSide);
  png_read_info(read.png, read.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(read.png, read.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
  if (Result r = CheckDecodedSize(width, height, "a PNG picture"); !r.ok()) return r;

  const bool paletted = colourType == PNG_COLOR_TYPE_PALETTE;
  const bool transparentColour = png_get_valid(read.png, read.info, PNG_INFO_tRNS) != 0;
  // Colour pictures keep their alpha, or the alpha their transparent colour
  // gives, to mark the pixels below half of it transparent.
  const bool alpha = !paletted && ((colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparentColour);
  int depth = 24;
  if (paletted) {
    depth = bitDepth == 1 ? 1 : (bitDepth == 8 ? 8 : 4);
    png_set_packing(read.png);  // one index per byte
  } else {
    png_set_strip_16(read.png);
    if (transparentColour) png_set_tRNS_to_alpha(read.png);
    if (!alpha) png_set_strip_alpha(read.png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      png_set_expand_gray_1_2_4_to_8(read.png);
      png_set_gray_to_rgb(read.png);
    }
    png_set_bgr(read.png);  // the picture keeps blue, green, red
  }
  png_set_interlace_handling(read.png);
  png_read_update_info(read.png, read.info);

  const size_t rowBytes = png_get_rowbytes(read.png, read.info);
  // Deflate makes at most 1032 bytes of one: a file far too short for its
  // pixels is refused before they are given memory.
  constexpr uint64_t kMostInflated = 1032;
  const uint64_t left = size - reader.at;
  if ((uint64_t{rowBytes} + 1) * height > kMostInflated * left + 4096) {
    return Result::Refused("the PNG file is " + std::to_string(size) + " bytes long, too short for its " +
                               std::to_string(width) + " x " + std::to_string(height) + " pixels",
                           Result::Cause::kDamaged);
  }
  if (Result r = picture.Create(static_cast<int32_t>(width), static_cast<int32_t>(height), depth); !r.ok()) return r;
  buffer.resize(rowBytes * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = buffer.data() + rowBytes * y;
  png_read_image(read.png, rows.data());
  png_read_end(read.png, nullptr);

  if (paletted) {
    png_colorp palette = nullptr;
    int count = 0;
    png_get_PLTE(read.png, read.info, &palette, &count);
    // The entries whose alpha is below half are transparent (a 1-bit
    // picture has no transparent colour).
    png_bytep entryAlpha = nullptr;
    int alphas = 0;
    if (transparentColour && depth > 1) png_get_tRNS(read.png, read.info, &entryAlpha, &alphas, nullptr);
    if (alphas > 0) {
      mask.resize(size_t{width} * height);
      for (png_uint_32 y = 0; y < height; ++y) {
        for (png_uint_32 x = 0; x < width; ++x) {
          const int index = rows[y][x];
          mask[size_t{y} * width + x] = index < alphas && entryAlpha[index] < 128;
        }
      }
    }
    for (int i = 0; i < (1 << depth); ++i) {
      const uint32_t c = i < count ? static_cast<uint32_t>(palette[i].red) << 16 |
                                         static_cast<uint32_t>(palette[i].green) << 8 | palette[i].blue
                                   : 0;
      picture.SetPaletteColor(static_cast<uint32_t>(i), c);
    }
    for (png_uint_32 y = 0; y < height; ++y) {
      for (png_uint_32 x = 0; x < width; ++x) {
        picture.SetIndex(static_cast<int32_t>(x), static_cast<int32_t>(y), rows[y][x]);
      }
    }
  } else if (!alpha) {
    for (png_uint_32 y = 0; y < height; ++y)
      std::memcpy(picture.Row(static_cast<int32_t>(y)), rows[y], 3 * size_t{width});
  } else {
    // Blue, green, red, alpha.
    mask.resize(size_t{width} * height);
    for (png_uint_32 y = 0; y < height; ++y) {
      uint8_t* out = picture.Row(static_cast<int32_t>(y));
      for (png_uint_32 x = 0; x < width; ++x) {
        const uint8_t* in = rows[y] + 4 * size_t{x};
        mask[size_t{y} * width + x] = in[3] < 128;
        WriteRgb24(out + 3 * size_t{x}, ReadRgb24(in));
      }
    }
  }

  image.TakeBlocksFrom(picture);
  if (depth == 4 || depth == 8) ReserveIndexZero(image);
  MarkTransparent(image, std::move(mask));
  return Result::Done();
}

namespace {

void WriteBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void Flush(png_structp) {}

void OnWriteError(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}

// Owns libpng's write structures.
struct PngWrite {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWrite() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

}  // namespace

Result WritePng(const ImageBuffer& image, const std::string& path) {
  std::vector<uint8_t> file;
  if (Result r = PngBytes(image, file); !r.ok()) return r;
  return WriteFileAtomic(path, file.data(), file.size());
}

Result PngBytes(const ImageBuffer& image, std::vector<uint8_t>& file) {
  file.clear();
  if (!image.IsValid()) return Result::Refused("there is no picture to save");
  const int32_t w = image.Width(), h = image.Height();
  const int bits = image.BitCount();
  const bool indexed = bits <= 8;
  bool transparent = false;  // a pixel the console sees as transparent
  for (int32_t y = 0; y < h && !transparent && bits != 1; ++y) {
    for (int32_t x = 0; x < w && !transparent; ++x) transparent = ConsoleTransparent(image, x, y);
  }
  const int channels = indexed ? 1 : (transparent ? 4 : 3);

  // The rows as libpng takes them, built before it is set going.
  std::vector<uint8_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(channels));
  std::vector<uint32_t> colours(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = rows.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * static_cast<size_t>(channels);
    if (!indexed) image.GetRowPixels(y, colours.data());
    for (int32_t x = 0; x < w; ++x) {
      if (indexed) {
        *out++ = image.GetIndex(x, y);
        continue;
      }
      const uint32_t c = colours[static_cast<size_t>(x)];
      *out++ = static_cast<uint8_t>(c >> 16);
      *out++ = static_cast<uint8_t>(c >> 8);
      *out++ = static_cast<uint8_t>(c);
      if (transparent) *out++ = SwapRedBlue(c & 0xFFFFFF) == image.m_transparentColor ? 0 : 255;
    }
  }

  std::string error;
  PngWrite write;
  write.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnWriteError, OnWarning);
  if (!write.png) return Result::Refused("not enough memory to write the PNG file", Result::Cause::kNoMemory);
  write.info = png_create_info_struct(write.png);
  if (!write.info) return Result::Refused("not enough memory to write the PNG file", Result::Cause::kNoMemory);
  std::vector<png_color> palette;
  std::vector<png_bytep> pointers(static_cast<size_t>(h));
  if (setjmp(png_jmpbuf(write.png))) return Result::Refused("the PNG file cannot be made: " + error);
  png_set_write_fn(write.png, &file, WriteBytes, Flush);
  png_set_IHDR(write.png, write.info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), indexed ? bits : 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : (transparent ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB),
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (indexed) {
    for (int i = 0; i < PaletteEntriesFor(bits); ++i) {
      const uint32_t c = image.GetPaletteColor(static_cast<uint32_t>(i));
      palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c)});
    }
    png_set_PLTE(write.png, write.info, palette.data(), static_cast<int>(palette.size()));
    png_byte alpha = 0;
    if (transparent) png_set_tRNS(write.png, write.info, &alpha, 1, nullptr);
  }
  png_write_info(write.png, write.info);
  if (indexed) png_set_packing(write.png);  // one index per byte, packed by libpng
  for (int32_t y = 0; y < h; ++y) {
    pointers[static_cast<size_t>(y)] =
        rows.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * static_cast<size_t>(channels);
  }
  png_write_image(write.png, pointers.data());
  png_write_end(write.png, nullptr);
  return Result::Done();
}

}  // namespace pixmill
