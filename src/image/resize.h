// Resizing the picture. Paletted pictures by nearest neighbour, keeping
// their palette; 24-bit pictures in two passes, rows first, each pass
// averaging areas when it shrinks and interpolating linearly when it grows.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// Refused for a side outside 1..kMaxSide; nothing to do for the present size.
// A 16-bit picture is first expanded to 24 bits. A refusal, or a failure on
// the way (memory), leaves the picture exactly as it was.
Result Resize(ImageBuffer& image, int32_t width, int32_t height);

}  // namespace pixmill
