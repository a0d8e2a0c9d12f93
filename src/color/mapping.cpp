#include "color/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "color/diffusion.h"

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
  uint8_t bandOf[256];  // luminance / width
  int length[16] = {};
  uint8_t index[16][256];
  uint32_t colour[16][256];
  // The same entries as separate channels, for the search loop.
  int red[16][256];
  int green[16][256];
  int blue[16][256];

  void Add(int b, int i, uint32_t c) {
    const int k = length[b]++;
    index[b][k] = static_cast<uint8_t>(i);
    colour[b][k] = c;
    red[b][k] = static_cast<int>((c >> 16) & 0xFF);
    green[b][k] = static_cast<int>((c >> 8) & 0xFF);
    blue[b][k] = static_cast<int>(c & 0xFF);
  }
};

std::unique_ptr<LuminanceBuckets> SetUpBuckets(const ImageBuffer& source, const ImageBuffer& target, int count,
                                               int bits) {
  auto buckets = std::make_unique<LuminanceBuckets>();
  const int start = bits > 1 ? 1 : 0;
  const int precision = std::clamp(source.m_precision, 1, 16);
  buckets->width = count <= 16 ? 256 : 256 / precision;
  for (int l = 0; l < 256; ++l) buckets->bandOf[l] = static_cast<uint8_t>(l / buckets->width);
  for (int i = start; i < count; ++i) {
    const uint32_t c = target.GetPaletteColor(static_cast<uint32_t>(i));
    buckets->Add(Luminance(c) / buckets->width, i, c);
  }
  for (int b = 0; b < 16; ++b) {
    if (buckets->length[b] != 0) continue;
    for (int i = start; i < count; ++i) buckets->Add(b, i, target.GetPaletteColor(static_cast<uint32_t>(i)));
  }
  return buckets;
}

// Answers the nearest search fast and exactly. Colour space is cut into
// cells of 8 x 8 x 8; for a cell and a band, only the entries that can be
// the nearest to some colour of the cell are kept as candidates: those no
// farther from the cell than the smallest farthest-distance of any entry.
// Every entry at the smallest distance from a colour of the cell is among
// them, and they keep the band's order, so searching them in order with the
// same strict comparison gives the same answer as searching the whole band.
// A cell's candidates are worked out the first time a colour in it is seen.
class NearestSearch {
 public:
  explicit NearestSearch(const LuminanceBuckets& buckets)
      : buckets_(buckets), lowBand_(kCells), start_(kCells * 2, kUnknown) {
    for (int v = 0; v < 256; ++v) {
      lumRed_[v] = 0.299 * static_cast<double>(v);
      lumGreen_[v] = 0.587 * static_cast<double>(v);
      lumBlue_[v] = 0.114 * static_cast<double>(v);
    }
    for (uint32_t cell = 0; cell < kCells; ++cell) {
      const uint32_t corner = ((cell >> (2 * kCellBits)) & kCellMask) << (24 - kCellBits) |
                              ((cell >> kCellBits) & kCellMask) << (16 - kCellBits) |
                              (cell & kCellMask) << (8 - kCellBits);
      lowBand_[cell] = buckets_.bandOf[FastLuminance(corner)];
    }
  }

  uint8_t IndexOf(uint32_t rgb) { return static_cast<uint8_t>(Nearest(rgb) >> 24); }

  // The nearest entry as its palette index << 24 | its colour.
  uint32_t Nearest(uint32_t rgb) {
    const int b = buckets_.bandOf[FastLuminance(rgb)];
    const uint32_t cell = ((rgb >> (24 - kCellBits)) & kCellMask) << (2 * kCellBits) |
                          ((rgb >> (16 - kCellBits)) & kCellMask) << kCellBits | ((rgb >> (8 - kCellBits)) & kCellMask);
    // A cell's luminance spans at most 7 (its darkest corner to its
    // brightest), and bands are 16 or wider: a cell meets at most two bands,
    // the one of its darkest corner and the next.
    uint32_t& at = start_[cell * 2 + static_cast<uint32_t>(b - lowBand_[cell])];
    if (at == kUnknown) at = Build(cell, b);
    const int pr = static_cast<int>((rgb >> 16) & 0xFF);
    const int pg = static_cast<int>((rgb >> 8) & 0xFF);
    const int pb = static_cast<int>(rgb & 0xFF);
    const uint32_t* k = candidates_.data() + at;
    const uint32_t n = *k++;
    int best = 200000;
    uint32_t choice = k[0];
    for (uint32_t c = 0; c < n; ++c) {
      const uint32_t e = k[c];
      const int dr = pr - static_cast<int>((e >> 16) & 0xFF);
      const int dg = pg - static_cast<int>((e >> 8) & 0xFF);
      const int db = pb - static_cast<int>(e & 0xFF);
      const int d = dr * dr + dg * dg + db * db;
      const bool nearer = d < best;
      best = nearer ? d : best;
      choice = nearer ? e : choice;
    }
    return choice;
  }

 private:
  // Luminance from tables of the three products: the same doubles, summed
  // in the same order, so the same result.
  int FastLuminance(uint32_t rgb) const {
    const double sum = (lumRed_[(rgb >> 16) & 0xFF] + lumGreen_[(rgb >> 8) & 0xFF]) + lumBlue_[rgb & 0xFF];
    return std::clamp(static_cast<int>(sum), 0, 255);
  }

  static constexpr int kCellBits = 5;  // per channel: cells of 8 x 8 x 8
  static constexpr uint32_t kCellMask = (1u << kCellBits) - 1;
  static constexpr int kCellSide = 256 >> kCellBits;
  static constexpr uint32_t kCells = 1u << (3 * kCellBits);
  static constexpr uint32_t kUnknown = 0xFFFFFFFF;

  // Squared distance from v to the interval lo .. lo + 7, and to its far end.
  static int Near(int v, int lo) {
    const int hi = lo + kCellSide - 1;
    return v < lo ? (lo - v) * (lo - v) : (v > hi ? (v - hi) * (v - hi) : 0);
  }
  static int Far(int v, int lo) {
    const int d = std::max(std::abs(v - lo), std::abs(v - lo - kCellSide + 1));
    return d * d;
  }

  uint32_t Build(uint32_t cell, int b) {
    const int lr = static_cast<int>((cell >> (2 * kCellBits)) & kCellMask) << (8 - kCellBits);
    const int lg = static_cast<int>((cell >> kCellBits) & kCellMask) << (8 - kCellBits);
    const int lb = static_cast<int>(cell & kCellMask) << (8 - kCellBits);
    const int n = buckets_.length[b];
    int bound = 1 << 30;
    for (int k = 0; k < n; ++k) {
      bound =
          std::min(bound, Far(buckets_.red[b][k], lr) + Far(buckets_.green[b][k], lg) + Far(buckets_.blue[b][k], lb));
    }
    const uint32_t at = static_cast<uint32_t>(candidates_.size());
    candidates_.push_back(0);
    uint32_t count = 0;
    for (int k = 0; k < n; ++k) {
      if (Near(buckets_.red[b][k], lr) + Near(buckets_.green[b][k], lg) + Near(buckets_.blue[b][k], lb) <= bound) {
        // The palette index in the top byte, the colour below it.
        candidates_.push_back(static_cast<uint32_t>(buckets_.index[b][k]) << 24 | (buckets_.colour[b][k] & 0xFFFFFF));
        ++count;
      }
    }
    candidates_[at] = count;
    return at;
  }

  const LuminanceBuckets& buckets_;
  std::vector<uint8_t> lowBand_;      // per cell: the band of its darkest corner
  std::vector<uint32_t> start_;       // per cell and band met: where its candidates start, or kUnknown
  std::vector<uint32_t> candidates_;  // per cell and band: a count, then index << 24 | colour, in band order
  double lumRed_[256];
  double lumGreen_[256];
  double lumBlue_[256];
};

// The mapping of every kind: the nearest entry of each pixel's band, of the
// pixel's own colour, of the colour with the carried error added, or of
// the colour moved by the pixel's ordered threshold.
void Map(const ImageBuffer& source, ImageBuffer& target, int count, int bits, int dither) {
  const auto buckets = SetUpBuckets(source, target, count, bits);
  ProgressSink* progress = source.GetProgressBar();
  if (progress) progress->SetRange(0, source.Height());
  NearestSearch search(*buckets);
  const bool diffused = dither == kDitherDiffusion;

  // The error rows hold sixteenths. Every error is a whole number (the
  // wanted colour is truncated, the palette colour whole), so each share
  // (e / 16) x 7, x 1, x 5, x 3 is a multiple of 1/16, and no slot ever sums
  // to more than 255 in size: sums of these shares in double precision are
  // exact, and the same sums counted in sixteenths give the same values
  // without rounding. Clamping the carried value to 0 .. 255 and truncating
  // it become a clamp to 0 .. 255 x 16 and a shift.
  const int32_t w = source.Width();
  ErrorRows<int32_t> red(diffused ? w : 0), green(diffused ? w : 0), blue(diffused ? w : 0);
  auto wanted = [](int32_t value, ErrorRows<int32_t>& rows, int32_t i) {
    return std::clamp(value * 16 + rows.Current()[i], 0, 255 * 16) >> 4;
  };
  // The ordered thresholds as offsets of each channel, one palette step
  // from end to end.
  const std::vector<int> offsets = OrderedOffsets(dither == kDitherOrdered ? PaletteSpacing(target, count, bits) : 0);

  // Transparent pixels of the picture take index 0 and carry no error; at
  // 1 bit, which has no transparent colour, they are mapped as any other.
  const uint8_t* mask = bits > 1 ? source.TransparentMask() : nullptr;
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
      const int32_t qr = wanted(static_cast<int32_t>((p >> 16) & 0xFF), red, i);
      const int32_t qg = wanted(static_cast<int32_t>((p >> 8) & 0xFF), green, i);
      const int32_t qb = wanted(static_cast<int32_t>(p & 0xFF), blue, i);
      const uint32_t chosen =
          search.Nearest(static_cast<uint32_t>(qr) << 16 | static_cast<uint32_t>(qg) << 8 | static_cast<uint32_t>(qb));
      // In sixteenths, a sixteenth of the error is the error itself.
      SpreadError(red.Current(), red.Below(), i, qr - static_cast<int32_t>((chosen >> 16) & 0xFF));
      SpreadError(green.Current(), green.Below(), i, qg - static_cast<int32_t>((chosen >> 8) & 0xFF));
      SpreadError(blue.Current(), blue.Below(), i, qb - static_cast<int32_t>(chosen & 0xFF));
      indices[static_cast<size_t>(x)] = static_cast<uint8_t>(chosen >> 24);
    }
    for (int32_t x = 0; marks && !diffused && x < w; ++x) {
      if (marks[x]) indices[static_cast<size_t>(x)] = 0;
    }
    target.SetIndexRow(y, indices.data());
    if (diffused) {
      red.NextRow();
      green.NextRow();
      blue.NextRow();
    }
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

}  // namespace

int PaletteSpacing(const ImageBuffer& target, int count, int bits) {
  std::vector<uint32_t> colours;
  for (int i = bits > 1 ? 1 : 0; i < count; ++i)
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
