#include "color/optimized_palette.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace pixmill {

namespace {

// One partition sort for both uses: `along`, when given, is swapped
// together with the values.
void PartitionSort(uint32_t values[], uint32_t along[], int lo, int hi) {
  while (lo < hi) {
    const uint32_t pivot = values[(lo + hi) / 2];
    int i = lo - 1;
    int j = hi + 1;
    for (;;) {
      do {
        ++i;
      } while (values[i] < pivot);
      do {
        --j;
      } while (values[j] > pivot);
      if (i >= j) break;
      std::swap(values[i], values[j]);
      if (along) std::swap(along[i], along[j]);
    }
    // Sort lo .. i - 1, then j + 1 .. hi (the second as a loop).
    PartitionSort(values, along, lo, i - 1);
    lo = j + 1;
  }
}

// A sample's key: the colour in COLORREF order (so that sorting orders by
// blue, then green, then red), each channel cut to its top 5 bits.
uint32_t SampleKey(uint32_t rgb) { return SwapRedBlue(rgb) & 0x00F8F8F8; }

void SortValues(uint32_t values[], int lo, int hi) { PartitionSort(values, nullptr, lo, hi); }

void SortByCount(uint32_t counts[], uint32_t colours[], int lo, int hi) { PartitionSort(counts, colours, lo, hi); }

// Each channel of a becomes (a * na + b * nb) / (na + nb), truncated; na
// becomes the total. The top byte of a stays.
void MergeColor(uint32_t& a, uint32_t b, uint32_t& na, uint32_t nb) {
  const uint32_t total = na + nb;
  uint32_t merged = a & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t ca = (a >> shift) & 0xFF;
    const uint32_t cb = (b >> shift) & 0xFF;
    merged |= ((ca * na + cb * nb) / total) << shift;
  }
  a = merged;
  na = total;
}

// Samples the picture on a columns x rows grid and fills counts[] and
// colours[] (RGB values) with the distinct sample colours, most frequent
// first. Returns the last index (distinct colours - 1), -1 for none.
int BuildColorHistogram(const ImageBuffer& image, std::vector<uint32_t>& counts, std::vector<uint32_t>& colours,
                        int columns, int rows) {
  const float stepX = static_cast<float>(static_cast<double>(image.Width()) / columns);
  const float stepY = static_cast<float>(static_cast<double>(image.Height()) / rows);

  // The single-precision stepping can take one sample more per axis than
  // the grid has, so the samples are collected, not counted in advance.
  // A picture has at least one pixel, so there is at least one sample.
  std::vector<uint32_t> samples;
  samples.reserve(static_cast<size_t>(columns) * static_cast<size_t>(rows) + 16);
  for (float y = 0; y < static_cast<float>(image.Height()); y += stepY) {
    for (float x = 0; x < static_cast<float>(image.Width()); x += stepX) {
      const auto px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
      if (!image.MaskedAt(px, py)) samples.push_back(SampleKey(image.GetPixel(px, py)));
    }
  }
  // Transparent pixels are left out; a picture of nothing else has no colours.
  if (samples.empty()) return -1;
  counts.assign(samples.size(), 0);
  colours.assign(samples.size(), 0);

  SortValues(samples.data(), 0, static_cast<int>(samples.size()) - 1);
  int j = 0;
  counts[0] = 0;
  colours[0] = SwapRedBlue(samples[0]);
  uint32_t prev = samples[0];
  for (const uint32_t s : samples) {
    if (s == prev) {
      counts[static_cast<size_t>(j)] += 1;
    } else {
      ++j;
      counts[static_cast<size_t>(j)] = 1;
      colours[static_cast<size_t>(j)] = SwapRedBlue(s);
      prev = s;
    }
  }
  SortByCount(counts.data(), colours.data(), 0, j);
  std::reverse(counts.begin(), counts.begin() + j + 1);
  std::reverse(colours.begin(), colours.begin() + j + 1);
  return j;
}

}  // namespace

void BuildOptimizedPalette(const ImageBuffer& image, uint32_t palette[], int count, int bits) {
  std::vector<uint32_t> counts;
  std::vector<uint32_t> colours;
  int n = BuildColorHistogram(image, counts, colours, image.m_sampleColumns, image.m_sampleRows);
  const int slots = bits != 1 ? count - 1 : count;

  while (n > slots - 1) {
    uint32_t best = 2000000;
    int chosen = 0;
    for (int k = n - 1; k >= 0; --k) {
      const uint32_t d = ColorDistance(colours[static_cast<size_t>(n)], colours[static_cast<size_t>(k)]);
      if (d < best) {
        best = d;
        chosen = k;
        if (best < 2) break;
      }
    }
    MergeColor(colours[static_cast<size_t>(chosen)], colours[static_cast<size_t>(n)],
               counts[static_cast<size_t>(chosen)], counts[static_cast<size_t>(n)]);
    // Move the merged entry up past every entry whose count is not larger.
    const uint32_t c = counts[static_cast<size_t>(chosen)];
    const uint32_t colour = colours[static_cast<size_t>(chosen)];
    int k = chosen - 1;
    for (; k >= 0 && counts[static_cast<size_t>(k)] <= c; --k) {
      counts[static_cast<size_t>(k) + 1] = counts[static_cast<size_t>(k)];
      colours[static_cast<size_t>(k) + 1] = colours[static_cast<size_t>(k)];
    }
    counts[static_cast<size_t>(k + 1)] = c;
    colours[static_cast<size_t>(k + 1)] = colour;
    --n;
  }

  auto fitted = [&](int i) { return static_cast<size_t>(i) < colours.size() ? colours[static_cast<size_t>(i)] : 0u; };
  if (bits == 1) {
    palette[0] = fitted(0);
    palette[1] = fitted(1);
  } else {
    palette[0] = SwapRedBlue(image.m_transparentColor);
    for (int i = 0; i <= count - 2; ++i) palette[i + 1] = fitted(i);
  }
}

}  // namespace pixmill
