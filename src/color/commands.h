// The Scale, Colour and Transparent commands as the desktop program and the
// command line both carry them out: the same calls, in the same order, with
// the same values, so that the same steps give the same bytes.
#pragma once

#include <cstdint>

#include "color/depth.h"
#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// Transparent: applies the picked colour (COLORREF). Nothing for a 1-bit
// picture.
Result TransparentCommand(ImageBuffer& image, uint32_t pickedColor);

// Scale, after its dialog: the picked colour becomes the key colour and is
// applied (which restores the transparent pixels), then the picture is
// resized to width x height pixels.
Result ScaleCommand(ImageBuffer& image, uint32_t& pickedColor, int32_t width, int32_t height);

// Colour, after its dialog: the choices go to the picture, the transparency
// is cleared as for Scale, then the depth changes.
Result ColourCommand(ImageBuffer& image, uint32_t& pickedColor, const ColorSettings& settings, int bits);

}  // namespace pixmill
