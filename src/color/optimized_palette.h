// A palette fitted to the picture: a sample grid, each sample cut to 5 (or
// 6) bits per channel, the distinct colours counted and ordered from most to
// least frequent, then the least frequent merged again and again into its
// nearest colour further up, as a count-weighted mean, until the list fits.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image_buffer.h"

namespace pixmill {

// Sorts values[lo..hi] ascending (unsigned), exactly by the partition
// procedure below; the order of equal counts in SortByCount follows from it.
void SortValues(uint32_t values[], int lo, int hi);
// Sorts counts[lo..hi] ascending, each colour moving with its count.
void SortByCount(uint32_t counts[], uint32_t colours[], int lo, int hi);

// Each channel of a becomes (a * na + b * nb) / (na + nb), truncated; na
// becomes the total. The top byte of a stays.
void MergeColor(uint32_t& a, uint32_t b, uint32_t& na, uint32_t nb);

// Samples the picture on a columns x rows grid and fills counts[] and
// colours[] (RGB values) with the distinct sample colours, most frequent
// first. The arrays are resized to hold every sample the grid takes.
// Returns the last index (distinct colours - 1).
int BuildColorHistogram(const ImageBuffer& image, std::vector<uint32_t>& counts, std::vector<uint32_t>& colours,
                        int columns, int rows);

// Fills palette[0..count-1] (count 2, 16 or 256 for bits 1, 4, 8). Above
// 1 bit entry 0 is the key colour and the fitted colours follow it.
void BuildOptimizedPalette(const ImageBuffer& image, uint32_t palette[], int count, int bits);

}  // namespace pixmill
