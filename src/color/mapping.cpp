#include "color/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "color/diffusion.h"
#include "color/nearest.h"
#include "platform/threads.h"

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
  // `pixels`: about how many colours will be asked for.
  BandSearch(const LuminanceBuckets& buckets, int64_t pixels)
      : m_fewColours(pixels <= 128 * 128),
        m_rememberedBits(pixels >= int64_t{1} << 20 ? 15 : 10),
        m_remembered(size_t{1} << m_rememberedBits),
        m_buckets(buckets) {
    for (int v = 0; v < 256; ++v) {
      m_lumRed[v] = 0.299 * static_cast<double>(v);
      m_lumGreen[v] = 0.587 * static_cast<double>(v);
      m_lumBlue[v] = 0.114 * static_cast<double>(v);
    }
  }

  uint8_t IndexOf(uint32_t rgb) { return static_cast<uint8_t>(Nearest(rgb) >> 24); }

  // The nearest entry as its palette index << 24 | its colour.
  uint32_t Nearest(uint32_t rgb) {
    rgb &= 0xFFFFFF;  // a palette entry's fourth byte is no part of its colour, and keeps 0xFFFFFFFF for "none"
    Remembered& slot = m_remembered[(rgb * 0x9E3779B1u) >> (32 - m_rememberedBits)];
    if (slot.rgb == rgb) return slot.nearest;
    slot.rgb = rgb;
    slot.nearest = Search(rgb);
    return slot.nearest;
  }

 private:
  uint32_t Search(uint32_t rgb) {
    const int b = m_buckets.bandOf[FastLuminance(rgb)];
    std::unique_ptr<NearestEntry>& band = m_searches[b];
    if (!band) {
      // Set up when first met: a small picture meets one band or a few.
      band = std::make_unique<NearestEntry>(1, false);
      std::vector<NearestEntry::Point> points;
      for (const uint32_t e : m_buckets.entries[b]) {
        points.push_back({static_cast<int32_t>((e >> 16) & 0xFF), static_cast<int32_t>((e >> 8) & 0xFF),
                          static_cast<int32_t>(e & 0xFF)});
      }
      band->Reset(points);
    }
    int32_t distance;
    const int k = m_fewColours ? band->NearestOfAll(rgb, distance) : band->Nearest(rgb, distance);
    return m_buckets.entries[b][static_cast<size_t>(k)];
  }

  // Luminance from tables of the three products: the same doubles, summed
  // in the same order, so the same result.
  int FastLuminance(uint32_t rgb) const {
    const double sum = (m_lumRed[(rgb >> 16) & 0xFF] + m_lumGreen[(rgb >> 8) & 0xFF]) + m_lumBlue[rgb & 0xFF];
    return std::clamp(static_cast<int>(sum), 0, 255);
  }

  // The answers for colours met lately, one per slot of a hash of the
  // colour: neighbouring pixels ask for the same colours again and again.
  struct Remembered {
    uint32_t rgb = 0xFFFFFFFF;  // no colour
    uint32_t nearest = 0;
  };
  bool m_fewColours;  // scan every entry of a band rather than a cell's
  int m_rememberedBits;
  std::vector<Remembered> m_remembered;

  const LuminanceBuckets& m_buckets;
  std::unique_ptr<NearestEntry> m_searches[16];
  double m_lumRed[256];
  double m_lumGreen[256];
  double m_lumBlue[256];
};

// The mapping of every kind: the nearest entry of each pixel's band, of the
// pixel's own colour, of the colour with the carried error added, or of
// the colour moved by the pixel's ordered threshold. Rows are shared among
// threads; with diffusion, a row runs behind the row above (see below), so
// every pixel gets the errors it gets row by row, added in the same order.
void Map(const ImageBuffer& source, ImageBuffer& target, int count, int bits, int dither) {
  const LuminanceBuckets buckets = SetUpBuckets(source, target, count, bits);
  ProgressSink* progress = source.GetProgressBar();
  const int32_t w = source.Width(), h = source.Height();
  if (progress) progress->SetRange(0, h);
  const bool diffused = dither == kDitherDiffusion;
  const int64_t pixels = int64_t{w} * h;
  const int threads = ThreadsFor(pixels);

  // The error rows hold sixteenths. Every error is a whole number (the
  // wanted colour is truncated, the palette colour whole), so each share
  // (e / 16) x 7, x 1, x 5, x 3 is a multiple of 1/16, and no slot ever sums
  // to more than 255 in size: sums of these shares in double precision are
  // exact, and the same sums counted in sixteenths give the same values
  // without rounding. Clamping the carried value to 0 .. 255 and truncating
  // it become a clamp to 0 .. 255 x 16 and a shift.
  ErrorRows<int32_t> errors(diffused ? w : 0, threads + 1);
  RowProgress rows(diffused ? h : 0);
  // The ordered thresholds as offsets of each channel, one palette step
  // from end to end.
  const std::vector<int> offsets = OrderedOffsets(dither == kDitherOrdered ? PaletteSpacing(target, count, bits) : 0);

  // Transparent pixels of the picture take index 0 and carry no error; at
  // 1 bit, which has no transparent colour, they are mapped as any other.
  const uint8_t* mask = FirstColourIndex(bits) == 1 ? source.TransparentMask() : nullptr;

  // Row y's pixels from x0 up to x1, diffused. Pixel x takes the error
  // that pixels x - 1 .. x + 1 of the row above left in its slot, and
  // pixels x - 1 .. x + 1 above write the slots that pixel x - 1 here writes
  // too: the row above has to have finished pixel x1 + 1 first.
  auto diffuse = [&](BandSearch& search, int32_t y, int32_t x0, int32_t x1, const uint32_t* colours,
                     const uint8_t* marks, uint8_t* indices) {
    int32_t* current[3] = {errors.Of(0, y), errors.Of(1, y), errors.Of(2, y)};
    int32_t* below[3] = {errors.Of(0, y + 1), errors.Of(1, y + 1), errors.Of(2, y + 1)};
    for (int32_t x = x0; x < x1; ++x) {
      if (marks && marks[x]) {
        indices[x] = 0;
        continue;
      }
      const uint32_t p = colours[x];
      const int32_t i = x + 1;
      int32_t q[3];
      for (int c = 0; c < 3; ++c) {
        const auto value = static_cast<int32_t>((p >> (16 - 8 * c)) & 0xFF);
        q[c] = std::clamp(value * 16 + current[c][i], 0, 255 * 16) >> 4;
      }
      const uint32_t chosen = search.Nearest(static_cast<uint32_t>(q[0]) << 16 | static_cast<uint32_t>(q[1]) << 8 |
                                             static_cast<uint32_t>(q[2]));
      // In sixteenths, a sixteenth of the error is the error itself.
      for (int c = 0; c < 3; ++c)
        SpreadError(current[c], below[c], i, q[c] - static_cast<int32_t>((chosen >> (16 - 8 * c)) & 0xFF));
      indices[x] = static_cast<uint8_t>(chosen >> 24);
    }
  };

  RunThreads(threads, [&](int t, int n) {
    try {
      BandSearch search(buckets, pixels / n);
      std::vector<uint32_t> colours(static_cast<size_t>(w));
      std::vector<uint8_t> indices(static_cast<size_t>(w));
      for (int32_t y = t; y < h; y += n) {
        source.GetRowPixels(y, colours.data());
        const uint8_t* marks = mask ? mask + static_cast<size_t>(y) * static_cast<size_t>(w) : nullptr;
        if (dither == kDitherNone) {
          for (int32_t x = 0; x < w; ++x)
            indices[static_cast<size_t>(x)] = search.IndexOf(colours[static_cast<size_t>(x)]);
        } else if (dither == kDitherOrdered) {
          for (int32_t x = 0; x < w; ++x) {
            const int offset = offsets[static_cast<size_t>(BayerAt(x, y))];
            indices[static_cast<size_t>(x)] = search.IndexOf(MovedColour(colours[static_cast<size_t>(x)], offset));
          }
        } else {
          // The row below's slots were last those of this thread's previous
          // row's row above: long done.
          errors.Clear(y + 1);
          constexpr int32_t kRun = 64;
          for (int32_t x0 = 0; x0 < w; x0 += kRun) {
            const int32_t x1 = std::min(w, x0 + kRun);
            rows.WaitFor(y - 1, std::min(w, x1 + 2));
            diffuse(search, y, x0, x1, colours.data(), marks, indices.data());
            rows.Reached(y, x1);
          }
        }
        for (int32_t x = 0; marks && !diffused && x < w; ++x) {
          if (marks[x]) indices[static_cast<size_t>(x)] = 0;
        }
        target.SetIndexRow(y, indices.data());
        if (t == 0 && progress) progress->SetPosition(y);
      }
    } catch (...) {
      rows.Abandon();
      throw;
    }
  });
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
