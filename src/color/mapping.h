// Giving every pixel of a picture an index into a palette: the nearest
// palette colour, searched among the entries of the pixel's luminance band,
// with no dithering, Floyd-Steinberg error diffusion or ordered dithering.
// Above 1 bit index 0 is kept for the transparent colour and never given.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace pixmill {

// `target` has the source's size, depth `bits` (1, 4 or 8), its final
// palette of `count` entries and zero pixels; this writes an index for
// every pixel of it from the colours of `source`, dithered as `dither` (a
// DitherMode) says.
void MapToPalette(const ImageBuffer& source, ImageBuffer& target, int count, int bits, int dither);

// How far apart the palette's colours lie, per channel: the mean over its
// distinct colours of the distance to the nearest other one, divided by the
// square root of 3. Ordered dithering moves all three channels of a pixel
// together by up to half of it either way: along the grey diagonal that is
// half the mean distance, so a flat area of a palette colour whose nearest
// neighbour is no nearer than the mean stays flat, and between black and
// white the thresholds give exactly the grey's share of white. 0 for fewer
// than two colours.
// The entries counted are those the mapping gives (from 1 above 1 bit).
int PaletteSpacing(const ImageBuffer& target, int count, int bits);

}  // namespace pixmill
