// The transparent colour. In a 4- or 8-bit picture the chosen colour's
// pixels move to palette index 0, whose entry becomes the key colour; in a
// 16- or 24-bit picture they are rewritten to the key colour, which the
// export writes as the transparent word 0000. The previously transparent
// pixels get their colour or index back first, so one colour is transparent
// at a time, and applying the key colour itself clears the transparency.
// Colours here are COLORREFs (red in the low byte).
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "platform/result.h"
#include "platform/system_colors.h"

namespace pixmill {

// The transparent key colour, which is also the colour the preview shows
// transparent pixels in.
inline constexpr uint32_t kKeyColor = kButtonFaceColor;

void InitTransparentColor(ImageBuffer& image, uint32_t colour);

// The highest palette index from 2^depth - 1 down to 1 whose entry has the
// colour's red, green and blue; 0 when none has.
uint8_t FindPaletteIndex(const ImageBuffer& image, uint32_t colour);

void ApplyTransparentIndex(ImageBuffer& image, uint8_t index);
void ApplyTransparentColor(ImageBuffer& image, uint32_t colour);

// Stores a COLORREF at (x, y) of a 16- or 24-bit picture.
void SetPixelColor(ImageBuffer& image, int32_t x, int32_t y, uint32_t colour);
void SetPaletteColorRef(ImageBuffer& image, uint8_t index, uint32_t colour);

// The Transparent command: nothing for a 1-bit picture (or none at all);
// the picked colour's palette index at 4 and 8 bits; the colour itself at
// 16 and 24 bits.
Result ApplyPickedColor(ImageBuffer& image, uint32_t picked);

// Restores the pixels the last transparent colour replaced.
void ClearTransparency(ImageBuffer& image);

// The colour a click on picture pixel (x, y) picks: that pixel's colour, or
// the key colour outside the picture.
uint32_t PickColor(const ImageBuffer& image, int32_t x, int32_t y);

}  // namespace pixmill
