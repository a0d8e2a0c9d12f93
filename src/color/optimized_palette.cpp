#include "color/optimized_palette.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace pixmill {

namespace {

// One partition sort of the counts, each colour swapped with its count. The order
// it leaves equal counts in is part of the palette, so it stays this sort.
void SortByCount(uint64_t counts[], uint32_t colours[], int lo, int hi) {
  while (lo < hi) {
    const uint64_t pivot = counts[(lo + hi) / 2];
    int i = lo - 1;
    int j = hi + 1;
    for (;;) {
      do {
        ++i;
      } while (counts[i] < pivot);
      do {
        --j;
      } while (counts[j] > pivot);
      if (i >= j) break;
      std::swap(counts[i], counts[j]);
      std::swap(colours[i], colours[j]);
    }
    // Sort lo .. i - 1, then j + 1 .. hi (the second as a loop).
    SortByCount(counts, colours, lo, i - 1);
    lo = j + 1;
  }
}

// Each channel of a becomes (a * na + b * nb) / (na + nb), truncated; na
// becomes the total. The top byte of a stays.
void MergeColor(uint32_t& a, uint32_t b, uint64_t& na, uint64_t nb) {
  const uint64_t total = na + nb;
  uint32_t merged = a & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint64_t ca = (a >> shift) & 0xFF;
    const uint64_t cb = (b >> shift) & 0xFF;
    merged |= static_cast<uint32_t>((ca * na + cb * nb) / total) << shift;
  }
  a = merged;
  na = total;
}

// A sample's bin: its colour cut to 5 bits per channel, ordered by blue,
// then green, then red.
size_t BinOf(uint32_t rgb) { return ((rgb & 0xF8) << 7) | ((rgb >> 6) & 0x3E0) | ((rgb >> 19) & 0x1F); }

uint32_t ColourOfBin(size_t bin) {
  const auto c = static_cast<uint32_t>(bin);
  return ((c >> 7) & 0xF8) | ((c << 6) & 0xF800) | ((c << 19) & 0xF80000);
}

}  // namespace

void CountSamples(const ImageBuffer& image, SampleCounts& counts) {
  counts.resize(kSampleBins);
  const float stepX = static_cast<float>(static_cast<double>(image.Width()) / image.m_sampleColumns);
  const float stepY = static_cast<float>(static_cast<double>(image.Height()) / image.m_sampleRows);
  // The single-precision stepping can take one sample more per axis than
  // the grid has. Transparent pixels are left out.
  for (float y = 0; y < static_cast<float>(image.Height()); y += stepY) {
    for (float x = 0; x < static_cast<float>(image.Width()); x += stepX) {
      const auto px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
      if (!image.MaskedAt(px, py)) ++counts[BinOf(image.GetPixel(px, py))];
    }
  }
}

void FitPalette(const SampleCounts& samples, uint32_t keyColour, uint32_t palette[], int count, int bits) {
  // The distinct colours in bin order, then most frequent first.
  std::vector<uint64_t> counts;
  std::vector<uint32_t> colours;
  for (size_t bin = 0; bin < samples.size(); ++bin) {
    if (samples[bin] == 0) continue;
    counts.push_back(samples[bin]);
    colours.push_back(ColourOfBin(bin));
  }
  int n = static_cast<int>(counts.size()) - 1;
  SortByCount(counts.data(), colours.data(), 0, n);
  std::reverse(counts.begin(), counts.end());
  std::reverse(colours.begin(), colours.end());

  const int first = FirstColourIndex(bits);
  const int slots = count - first;
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
    const uint64_t c = counts[static_cast<size_t>(chosen)];
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
  if (first == 1) palette[0] = SwapRedBlue(keyColour);
  for (int i = first; i < count; ++i) palette[i] = fitted(i - first);
}

void BuildOptimizedPalette(const ImageBuffer& image, uint32_t palette[], int count, int bits) {
  SampleCounts counts;
  CountSamples(image, counts);
  FitPalette(counts, image.m_transparentColor, palette, count, bits);
}

}  // namespace pixmill
