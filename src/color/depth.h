// Changing the colour depth of the picture to 1, 4, 8, 16 or 24 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// Refused, saying why, when a given palette does not fit the depth: more
// entries than it holds, or none besides entry 0 at 4 and 8 bits.
Result CheckGivenPalette(int bits, const std::vector<uint32_t>& palette);

// Changes the depth as the picture's colour settings (m_ditherMode,
// m_paletteKind, m_precision) say. 1, 4, 8: a standard, optimised, given or
// quality palette and every pixel mapped to it (the quality palette by its
// exact mapping); 16: 24-bit storage with every channel a multiple of 8
// (truncated, diffused, or truncated after the ordered threshold); 24: the
// colours as they are. Nothing to do (1) when `bits` is the present depth;
// refused for another value of `bits`. A given palette
// (`given`, for the given kind) becomes entries 0, 1, ... as it is, black
// after its last entry; pixels take its entries from 1 on (from 0 at 1
// bit); it is refused, nothing changed, when the depth cannot hold it.
// For the optimised kind, `given` of 2, 16 or 256 entries for this depth
// is a palette fitted elsewhere (to several pictures together), used
// instead of fitting one, with entry 0 the key colour above 1 bit.
// Transparent pixels of the picture's mask stay out of the palette's
// fitting and become index 0 (4 and 8 bits) or the key colour.
Result ChangeColorDepth(ImageBuffer& image, int bits, const std::vector<uint32_t>& given = {});

// Error-diffuses a 24-bit picture in place so that every channel becomes a
// multiple of 8 (0..248); single-precision error rows. Nothing at other depths.
void Dither5Bit(ImageBuffer& image);

}  // namespace pixmill
