#include "color/transparent.h"

namespace pixmill {

namespace {

void SetPaletteColorRef(ImageBuffer& image, uint8_t index, uint32_t colour) {
  image.SetPaletteColor(index, SwapRedBlue(colour));
}

// Stores a COLORREF at (x, y) of a 16- or 24-bit picture; a 16-bit pixel
// keeps the top 5 bits of each channel.
void SetPixelColor(ImageBuffer& image, int32_t x, int32_t y, uint32_t colour) {
  const int32_t offset = image.GetPixelOffset(x, y);
  if (offset < 0) return;
  uint8_t* p = image.GetBits() + offset;
  const uint32_t red = colour & 0xFF;
  const uint32_t green = (colour >> 8) & 0xFF;
  const uint32_t blue = (colour >> 16) & 0xFF;
  if (image.BitCount() == 24) {
    WriteRgb24(p, SwapRedBlue(colour));
  } else if (image.BitCount() == 16) {
    const uint32_t w = (red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3);
    WriteLe16(p, w);
  }
}

}  // namespace

void InitTransparentColor(ImageBuffer& image, uint32_t colour) {
  image.m_transparentColor = colour;
  image.m_lastTransparent = colour;
}

uint8_t FindPaletteIndex(const ImageBuffer& image, uint32_t colour) {
  if (image.BitCount() > 8) return 0;
  for (int i = (1 << image.BitCount()) - 1; i >= 1; --i) {
    if (SwapRedBlue(image.GetPaletteColor(static_cast<uint32_t>(i))) == (colour & 0xFFFFFF)) {
      return static_cast<uint8_t>(i);
    }
  }
  return 0;
}

void ApplyTransparentIndex(ImageBuffer& image, uint8_t t) {
  SetPaletteColorRef(image, 0, image.m_transparentColor);
  const uint32_t restore = image.m_lastTransparent & 0xFF;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (image.MaskedAt(x, y)) continue;  // transparent with the picture, and staying so
      const uint8_t b = image.GetIndex(x, y);
      if (b == 0) {
        image.SetIndex(x, y, restore);
      } else if (t != 0 && b == t) {
        image.SetIndex(x, y, 0);
      }
    }
  }
  image.m_lastTransparent = t;
}

void ApplyTransparentColor(ImageBuffer& image, uint32_t colour) {
  const uint32_t key = image.m_transparentColor;
  const uint32_t restore = image.m_lastTransparent;
  if (image.BitCount() == 24) {
    // Key-coloured pixels back to the last transparent colour, then the new
    // one to the key: nothing changes when both are the key already (as
    // before every resize and colour change of a picture never given
    // another), so the pass is skipped.
    if (restore == key && colour == key) return;
    const uint32_t keyRgb = SwapRedBlue(key), restoreRgb = SwapRedBlue(restore), colourRgb = SwapRedBlue(colour);
    for (int32_t y = 0; y < image.Height(); ++y) {
      uint8_t* row = image.Row(y);
      for (int32_t x = 0; x < image.Width(); ++x) {
        uint8_t* p = row + 3 * x;
        const uint32_t d = ReadRgb24(p);
        if (d != keyRgb && (colour == key || d != colourRgb)) continue;
        if (image.MaskedAt(x, y)) continue;
        WriteRgb24(p, d == keyRgb ? restoreRgb : keyRgb);
      }
    }
    image.m_lastTransparent = colour;
    return;
  }
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (image.MaskedAt(x, y)) continue;
      const uint32_t d = SwapRedBlue(image.GetPixel(x, y));
      if (d == key) {
        SetPixelColor(image, x, y, restore);
      } else if (colour != key && d == colour) {
        SetPixelColor(image, x, y, key);
      }
    }
  }
  image.m_lastTransparent = colour;
}

}  // namespace pixmill
