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
#include "platform/system_colors.h"

namespace pixmill {

// The transparent key colour, which is also the colour the preview shows
// transparent pixels in.
inline constexpr uint32_t kKeyColour = kButtonFaceColour;

void InitTransparentColor(ImageBuffer& image, uint32_t colour);

// The highest palette index from 2^depth - 1 down to 1 whose entry has the
// colour's red, green and blue; 0 when none has.
uint8_t FindPaletteIndex(const ImageBuffer& image, uint32_t colour);

// Pixels that came transparent with the picture (its mask) are left as
// they are: transparent.
void ApplyTransparentIndex(ImageBuffer& image, uint8_t index);
void ApplyTransparentColor(ImageBuffer& image, uint32_t colour);

}  // namespace pixmill
