#include "color/transparent.h"

namespace pixmill {

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

void SetPaletteColorRef(ImageBuffer& image, uint8_t index, uint32_t colour) {
  image.SetPaletteColor(index, SwapRedBlue(colour));
}

void SetPixelColor(ImageBuffer& image, int32_t x, int32_t y, uint32_t colour) {
  const int32_t offset = image.GetPixelOffset(x, y);
  if (offset < 0) return;
  uint8_t* p = image.GetBits() + offset;
  const uint32_t red = colour & 0xFF;
  const uint32_t green = (colour >> 8) & 0xFF;
  const uint32_t blue = (colour >> 16) & 0xFF;
  if (image.BitCount() == 24) {
    p[0] = static_cast<uint8_t>(blue);
    p[1] = static_cast<uint8_t>(green);
    p[2] = static_cast<uint8_t>(red);
  } else if (image.BitCount() == 16) {
    const uint32_t w = (red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3);
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
  }
}

void ApplyTransparentIndex(ImageBuffer& image, uint8_t t) {
  SetPaletteColorRef(image, 0, image.m_transparentColor);
  const uint32_t restore = image.m_lastTransparent & 0xFF;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
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
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
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

Result ApplyPickedColor(ImageBuffer& image, uint32_t picked) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  switch (image.BitCount()) {
    case 4:
    case 8:
      ApplyTransparentIndex(image, FindPaletteIndex(image, picked));
      return Result::Done();
    case 16:
    case 24:
      ApplyTransparentColor(image, picked);
      return Result::Done();
    default:
      return Result::NothingToDo("a 1-bit picture has no transparent colour");
  }
}

void ClearTransparency(ImageBuffer& image) { (void)ApplyPickedColor(image, kKeyColor); }

uint32_t PickColor(const ImageBuffer& image, int32_t x, int32_t y) {
  if (!image.IsValid() || !image.Inside(x, y)) return kKeyColor;
  return SwapRedBlue(image.GetPixel(x, y));
}

}  // namespace pixmill
