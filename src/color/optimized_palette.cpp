#include "color/optimized_palette.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The colour that colour n merges into: scanning down from n - 1, the first
// at a distance of 0 or 1 from it, or else the first of the nearest, which
// is the highest such k. Four at a time where the processor can; the
// distances are whole numbers below 2^18, exact in single precision.
int MergePartner(const uint32_t colours[], int n) {
  const uint32_t c = colours[n];
  int k = n - 1;
  uint32_t best = 2000000;
  int chosen = 0;
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi32(0xFF);
  const __m128 r = _mm_set1_ps(static_cast<float>((c >> 16) & 0xFF)),
               g = _mm_set1_ps(static_cast<float>((c >> 8) & 0xFF)), b = _mm_set1_ps(static_cast<float>(c & 0xFF));
  for (; k >= 3; k -= 4) {
    // Colours k - 3 .. k; lane 3 holds k.
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + k - 3));
    const __m128 dr = _mm_sub_ps(r, _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(four, 16), mask)));
    const __m128 dg = _mm_sub_ps(g, _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(four, 8), mask)));
    const __m128 db = _mm_sub_ps(b, _mm_cvtepi32_ps(_mm_and_si128(four, mask)));
    const __m128 distances = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
    if (_mm_movemask_ps(_mm_cmplt_ps(distances, _mm_set1_ps(static_cast<float>(best)))) == 0) continue;
    alignas(16) float d[4];
    _mm_store_ps(d, distances);
    for (int lane = 3; lane >= 0; --lane) {
      const auto dk = static_cast<uint32_t>(d[lane]);
      if (dk < best) {
        best = dk;
        chosen = k - 3 + lane;
        if (best < 2) return chosen;
      }
    }
  }
#endif
  for (; k >= 0; --k) {
    const uint32_t d = ColorDistance(c, colours[k]);
    if (d < best) {
      best = d;
      chosen = k;
      if (best < 2) break;
    }
  }
  return chosen;
}

}  // namespace

void CountSamples(const ImageBuffer& image, SampleCounts& counts) {
  counts.resize(kSampleBins);
  const float stepX = static_cast<float>(static_cast<double>(image.Width()) / image.m_sampleColumns);
  const float stepY = static_cast<float>(static_cast<double>(image.Height()) / image.m_sampleRows);
  // The grid's columns and rows, stepped in single precision (which can
  // take one sample more per axis than the grid has): each sampled pixel is
  // read once and counted as often as the grid meets it, which a picture
  // smaller than the grid does several times. Transparent pixels are left
  // out.
  auto times = [](int32_t size, float step) {
    std::vector<uint32_t> met(static_cast<size_t>(size));
    for (float v = 0; v < static_cast<float>(size); v += step) ++met[static_cast<size_t>(static_cast<int32_t>(v))];
    return met;
  };
  const std::vector<uint32_t> columns = times(image.Width(), stepX), rows = times(image.Height(), stepY);
  std::vector<int32_t> sampled;
  for (int32_t x = 0; x < image.Width(); ++x) {
    if (columns[static_cast<size_t>(x)] != 0) sampled.push_back(x);
  }
  std::vector<uint32_t> row(static_cast<size_t>(image.Width()));
  for (int32_t y = 0; y < image.Height(); ++y) {
    const uint32_t down = rows[static_cast<size_t>(y)];
    if (down == 0) continue;
    image.GetRowPixels(y, row.data());
    for (const int32_t x : sampled) {
      if (image.MaskedAt(x, y)) continue;
      counts[BinOf(row[static_cast<size_t>(x)])] += uint64_t{down} * columns[static_cast<size_t>(x)];
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
    const int chosen = MergePartner(colours.data(), n);
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
