#include "color/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "color/diffusion.h"
#include "color/nearest.h"

namespace pixmill {

namespace {

// trunc(0.299 R + 0.587 G + 0.114 B) in double precision, summed in that
// order, clamped to 0..255.
int Luminance(uint32_t rgb) {
  const double red = static_cast<double>((rgb >> 16) & 0xFF);
  const double green = static_cast<double>((rgb >> 8) & 0xFF);
  const double blue = static_cast<double>(rgb & 0xFF);
  const double sum = (0.299 * red + 0.587 * green) + 0.114 * blue;
  return std::clamp(static_cast<int>(sum), 0, 255);
}

// The palette split into up to 16 bands of luminance. Each band lists its
// entries in index order; a band that no entry falls in lists them all.
struct LuminanceBuckets {
  int width = 256;
  uint8_t bandOf[256];                // luminance / width
  std::vector<uint32_t> entries[16];  // index << 24 | colour

  void Add(int b, int i, uint32_t c) { entries[b].push_back(static_cast<uint32_t>(i) << 24 | (c & 0xFFFFFF)); }
};

LuminanceBuckets SetUpBuckets(const ImageBuffer& source, const ImageBuffer& target, int count, int bits) {
  LuminanceBuckets buckets;
  const int start = FirstColourIndex(bits);
  const int precision = std::clamp(source.m_precision, 1, 16);
  buckets.width = count <= 16 ? 256 : 256 / precision;
  for (int l = 0; l < 256; ++l) buckets.bandOf[l] = static_cast<uint8_t>(l / buckets.width);
  for (int i = start; i < count; ++i) {
    const uint32_t c = target.GetPaletteColor(static_cast<uint32_t>(i));
    buckets.Add(Luminance(c) / buckets.width, i, c);
  }
  for (auto& band : buckets.entries) {
    if (!band.empty()) continue;
    for (int i = start; i < count; ++i)
      band.push_back(static_cast<uint32_t>(i) << 24 | (target.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF));
  }
  return buckets;
}

// The nearest entry of a colour's band, searched exactly (see nearest.h);
// a band's search is set up the first time a colour of it is met.
class BandSearch {
 public:
  explicit BandSearch(const LuminanceBuckets& buckets) : m_buckets(buckets) {
    for (int v = 0; v < 256; ++v) {
      m_lumRed[v] = 0.299 * static_cast<double>(v);
      m_lumGreen[v] = 0.587 * static_cast<double>(v);
      m_lumBlue[v] = 0.114 * static_cast<double>(v);
    }
  }

  uint8_t IndexOf(uint32_t rgb) { return static_cast<uint8_t>(Nearest(rgb) >> 24); }

  // The nearest entry as its palette index << 24 | its colour.
  uint32_t Nearest(uint32_t rgb) {
    const int b = m_buckets.bandOf[FastLuminance(rgb)];
    NearestEntry& search = m_searches[b];
    if (search.Empty()) {
      std::vector<NearestEntry::Point> points;
      for (const uint32_t e : m_buckets.entries[b]) {
        points.push_back({static_cast<int32_t>((e >> 16) & 0xFF), static_cast<int32_t>((e >> 8) & 0xFF),
                          static_cast<int32_t>(e & 0xFF)});
      }
      search.Reset(points);
    }
    int32_t distance;
    return m_buckets.entries[b][static_cast<size_t>(search.Nearest(rgb, distance))];
  }

 private:
  // Luminance from tables of the three products: the same doubles, summed
  // in the same order, so the same result.
  int FastLuminance(uint32_t rgb) const {
    const double sum = (m_lumRed[(rgb >> 16) & 0xFF] + m_lumGreen[(rgb >> 8) & 0xFF]) + m_lumBlue[rgb & 0xFF];
    return std::clamp(static_cast<int>(sum), 0, 255);
  }

  const LuminanceBuckets& m_buckets;
  std::vector<NearestEntry> m_searches = std::vector<NearestEntry>(16, NearestEntry(1, false));
  double m_lumRed[256];
  double m_lumGreen[256];
  double m_lumBlue[256];
};

// The mapping of every kind: the nearest entry of each pixel's band, of the
// pixel's own colour, of the colour with the carried error added, or of
// the colour moved by the pixel's ordered threshold.
void Map(const ImageBuffer& source, ImageBuffer& target, int count, int bits, int dither) {
  const LuminanceBuckets buckets = SetUpBuckets(source, target, count, bits);
  ProgressSink* progress = source.GetProgressBar();
  if (progress) progress->SetRange(0, source.Height());
  BandSearch search(buckets);
  const bool diffused = dither == kDitherDiffusion;

  // The error rows hold sixteenths. Every error is a whole number (the
  // wanted colour is truncated, the palette colour whole), so each share
  // (e / 16) x 7, x 1, x 5, x 3 is a multiple of 1/16, and no slot ever sums
  // to more than 255 in size: sums of these shares in double precision are
  // exact, and the same sums counted in sixteenths give the same values
  // without rounding. Clamping the carried value to 0 .. 255 and truncating
  // it become a clamp to 0 .. 255 x 16 and a shift.
  const int32_t w = source.Width();
  ErrorRows<int32_t> errors(diffused ? w : 0);
  auto wanted = [&errors](int32_t value, int channel, int32_t i) {
    return std::clamp(value * 16 + errors.Current(channel)[i], 0, 255 * 16) >> 4;
  };
  // The ordered thresholds as offsets of each channel, one palette step
  // from end to end.
  const std::vector<int> offsets = OrderedOffsets(dither == kDitherOrdered ? PaletteSpacing(target, count, bits) : 0);

  // Transparent pixels of the picture take index 0 and carry no error; at
  // 1 bit, which has no transparent colour, they are mapped as any other.
  const uint8_t* mask = FirstColourIndex(bits) == 1 ? source.TransparentMask() : nullptr;
  std::vector<uint32_t> colours(static_cast<size_t>(w));
  std::vector<uint8_t> indices(static_cast<size_t>(w));
  for (int32_t y = 0; y < source.Height(); ++y) {
    source.GetRowPixels(y, colours.data());
    const uint8_t* marks = mask ? mask + static_cast<size_t>(y) * static_cast<size_t>(w) : nullptr;
    if (dither == kDitherNone) {
      for (int32_t x = 0; x < w; ++x) indices[static_cast<size_t>(x)] = search.IndexOf(colours[static_cast<size_t>(x)]);
    } else if (dither == kDitherOrdered) {
      for (int32_t x = 0; x < w; ++x) {
        const int offset = offsets[static_cast<size_t>(BayerAt(x, y))];
        indices[static_cast<size_t>(x)] = search.IndexOf(MovedColour(colours[static_cast<size_t>(x)], offset));
      }
    }
    for (int32_t x = 0; x < w && diffused; ++x) {
      if (marks && marks[x]) {
        indices[static_cast<size_t>(x)] = 0;
        continue;
      }
      const uint32_t p = colours[static_cast<size_t>(x)];
      const int32_t i = x + 1;
      const int32_t qr = wanted(static_cast<int32_t>((p >> 16) & 0xFF), 0, i);
      const int32_t qg = wanted(static_cast<int32_t>((p >> 8) & 0xFF), 1, i);
      const int32_t qb = wanted(static_cast<int32_t>(p & 0xFF), 2, i);
      const uint32_t chosen =
          search.Nearest(static_cast<uint32_t>(qr) << 16 | static_cast<uint32_t>(qg) << 8 | static_cast<uint32_t>(qb));
      // In sixteenths, a sixteenth of the error is the error itself.
      errors.Spread(0, i, qr - static_cast<int32_t>((chosen >> 16) & 0xFF));
      errors.Spread(1, i, qg - static_cast<int32_t>((chosen >> 8) & 0xFF));
      errors.Spread(2, i, qb - static_cast<int32_t>(chosen & 0xFF));
      indices[static_cast<size_t>(x)] = static_cast<uint8_t>(chosen >> 24);
    }
    for (int32_t x = 0; marks && !diffused && x < w; ++x) {
      if (marks[x]) indices[static_cast<size_t>(x)] = 0;
    }
    target.SetIndexRow(y, indices.data());
    if (diffused) {
      errors.NextRow();
    }
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

}  // namespace

int PaletteSpacing(const ImageBuffer& target, int count, int bits) {
  std::vector<uint32_t> colours;
  for (int i = FirstColourIndex(bits); i < count; ++i)
    colours.push_back(target.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF);
  std::sort(colours.begin(), colours.end());
  colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
  if (colours.size() < 2) return 0;
  double sum = 0;  // of the distances to the nearest other colour
  for (const uint32_t a : colours) {
    uint32_t best = UINT32_MAX;
    for (const uint32_t b : colours) {
      if (a != b) best = std::min(best, ColorDistance(a, b));
    }
    sum += std::sqrt(static_cast<double>(best));
  }
  return static_cast<int>(std::lround(sum / static_cast<double>(colours.size()) / std::sqrt(3.0)));
}

void MapToPalette(const ImageBuffer& source, ImageBuffer& target, int count, int bits, int dither) {
  Map(source, target, count, bits, dither);
}

}  // namespace pixmill
