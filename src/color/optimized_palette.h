// A palette fitted to the picture: a sample grid, each sample cut to 5
// bits per channel, the distinct colours counted and ordered from most to
// least frequent, then the least frequent merged again and again into its
// nearest colour further up, as a count-weighted mean, until the list fits.
#pragma once

#include <cstdint>
#include <vector>

#include "image/choices.h"
#include "image/image_buffer.h"

namespace pixmill {

// How often each colour, cut to 5 bits per channel, occurs among the
// samples of the picture's grid. The counts of several pictures added
// together fit one palette to them all.
using SampleCounts = std::vector<uint64_t>;
inline constexpr size_t kSampleBins = 32768;

// Adds the picture's samples (transparent pixels left out) to `counts`.
void CountSamples(const ImageBuffer& image, SampleCounts& counts);

// The fit itself: palette[0..count-1] from the counted samples; above 1
// bit entry 0 is `keyColour` (COLORREF) and the fitted colours follow it.
void FitPalette(const SampleCounts& counts, uint32_t keyColour, uint32_t palette[], int count, int bits);

// Fills palette[0..count-1] (count 2, 16 or 256 for bits 1, 4, 8). Above
// 1 bit entry 0 is the key colour and the fitted colours follow it.
void BuildOptimizedPalette(const ImageBuffer& image, uint32_t palette[], int count, int bits);

}  // namespace pixmill
