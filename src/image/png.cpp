#include "image/png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "image/bmp.h"

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

}  // namespace

bool HasPngSignature(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

Result ParsePng(ImageBuffer& image, const uint8_t* data, size_t size) {
  if (!HasPngSignature(data, size)) return Result::Refused("not a PNG file");
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
  if (int64_t{width} * height > kMaxDecodedPixels) {
    return Result::Refused("a PNG picture of " + std::to_string(width) + " x " + std::to_string(height) +
                               " pixels is too large (at most " + std::to_string(kMaxDecodedPixels) + " pixels)",
                           Result::Cause::kTooLarge);
  }

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

}  // namespace pixmill
