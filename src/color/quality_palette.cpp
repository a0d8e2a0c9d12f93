// The quality palette and its exact mapping. Both judge colours as the
// change report's PSNR does: by the levels the console shows (a 5-bit
// channel c as c * 255 / 31) against the picture's channels, summing the
// squared differences. The palette is fitted to every visible pixel by
// k-means (quality_fit.cpp); the mapping gives every pixel its exact
// nearest entry, with or without a limited error diffusion.
// docs/quality-palette.md tells how and why.
#include "color/quality_palette.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "color/diffusion.h"
#include "color/quality_stages.h"

namespace pixmill {

namespace {

using namespace quality;

// Diffusion: the carried error is limited to this share of the palette's
// spacing, and a pixel takes all of it up to a contrast of kCalm levels
// around it, none from kBusy on.
constexpr double kCarryShare = 0.6;
constexpr int kCalm = 4;
constexpr int kBusy = 16;

// The typical distance between neighbouring entries, in levels: the median
// over the entries of the distance to the nearest different entry; 0
// without two different ones.
double Spacing(const std::vector<Code>& entries) {
  std::vector<int32_t> gaps;
  for (const Code e : entries) {
    const Point p = PointOf(e);
    int32_t least = std::numeric_limits<int32_t>::max();
    for (const Code f : entries) {
      if (f != e) least = std::min(least, Distance(p.r, p.g, p.b, PointOf(f)));
    }
    if (least != std::numeric_limits<int32_t>::max()) gaps.push_back(least);
  }
  if (gaps.empty()) return 0;
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<ptrdiff_t>(gaps.size() / 2), gaps.end());
  return std::sqrt(static_cast<double>(gaps[gaps.size() / 2])) / 31;
}

// The share of the carried error a pixel takes, by the contrast around it.
double CalmShare(int contrast) { return std::clamp(static_cast<double>(kBusy - contrast) / (kBusy - kCalm), 0.0, 1.0); }

// A row with the rows above and below it (null at the picture's edges) and
// their masks (null for none).
struct Neighbours {
  const uint32_t* row;
  const uint32_t* above;
  const uint32_t* below;
  const uint8_t* hidden;
  const uint8_t* hiddenAbove;
  const uint8_t* hiddenBelow;
  int32_t width;

  // The largest difference of a channel between pixel x and its visible
  // neighbours left, right, above and below.
  int Contrast(int32_t x) const {
    const uint32_t c = row[x];
    int most = 0;
    auto against = [&](const uint32_t* r, const uint8_t* mask, int32_t at) {
      if (!r || at < 0 || at >= width || (mask && mask[at])) return;
      for (int shift = 0; shift < 24; shift += 8) {
        most =
            std::max(most, std::abs(static_cast<int>((c >> shift) & 0xFF) - static_cast<int>((r[at] >> shift) & 0xFF)));
      }
    };
    against(row, hidden, x - 1);
    against(row, hidden, x + 1);
    against(above, hiddenAbove, x);
    against(below, hiddenBelow, x);
    return most;
  }
};

}  // namespace

void BuildQualityPalette(const ImageBuffer& image, const uint8_t* transparent, uint32_t palette[], int count,
                         int bits) {
  const int first = FirstColourIndex(bits);
  const int slots = count - first;
  std::fill(palette, palette + count, 0u);
  if (first == 1) palette[0] = SwapRedBlue(image.m_transparentColor);
  const std::vector<Code> colours = FitColours(CollectColours(image, transparent), slots);
  for (size_t i = 0; i < colours.size() && static_cast<int>(i) < slots; ++i) {
    palette[static_cast<size_t>(first) + i] = StoredOf(colours[i]);
  }
}

void MapToPaletteExact(const ImageBuffer& source, const uint8_t* transparent, ImageBuffer& target, int count, int bits,
                       bool diffused) {
  const int first = FirstColourIndex(bits);
  std::vector<Code> entries;
  for (int i = first; i < count; ++i) {
    const uint32_t c = target.GetPaletteColor(static_cast<uint32_t>(i));
    entries.push_back(PackCode(Channel5(c >> 16), Channel5(c >> 8), Channel5(c)));
  }
  NearestEntry nearest = Search(diffused);
  Reset(nearest, entries);
  const double limit = kCarryShare * Spacing(entries);
  ProgressSink* progress = source.GetProgressBar();
  if (progress) progress->SetRange(0, source.Height());

  const int32_t w = source.Width();
  const int32_t h = source.Height();
  auto hiddenRow = [&](int32_t y) {
    return transparent ? transparent + static_cast<size_t>(y) * static_cast<size_t>(w) : nullptr;
  };
  // With diffusion the rows above and below are read too, for the contrast.
  std::vector<uint32_t> above(static_cast<size_t>(w)), colours(static_cast<size_t>(w)), below(static_cast<size_t>(w));
  std::vector<uint8_t> indices(static_cast<size_t>(w));
  ErrorRows<double> errors(diffused ? w : 0);
  if (diffused) source.GetRowPixels(0, below.data());
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* hidden = hiddenRow(y);
    if (!diffused) {
      source.GetRowPixels(y, colours.data());
      for (int32_t x = 0; x < w; ++x) {
        int32_t unused;
        indices[static_cast<size_t>(x)] =
            hidden && hidden[x]
                ? 0
                : static_cast<uint8_t>(first + nearest.Nearest(colours[static_cast<size_t>(x)], unused));
      }
    } else {
      above.swap(colours);
      colours.swap(below);
      if (y + 1 < h) source.GetRowPixels(y + 1, below.data());
      const Neighbours around{colours.data(),
                              y > 0 ? above.data() : nullptr,
                              y + 1 < h ? below.data() : nullptr,
                              hidden,
                              y > 0 ? hiddenRow(y - 1) : nullptr,
                              y + 1 < h ? hiddenRow(y + 1) : nullptr,
                              w};
      for (int32_t x = 0; x < w; ++x) {
        const size_t sx = static_cast<size_t>(x);
        if (hidden && hidden[x]) {
          indices[sx] = 0;
          continue;
        }
        const uint32_t c = colours[sx];
        const int32_t i = x + 1;
        const double share = CalmShare(around.Contrast(x));
        double carried[3] = {share * errors.Current(0)[i], share * errors.Current(1)[i], share * errors.Current(2)[i]};
        const double length = std::sqrt((carried[0] * carried[0] + carried[1] * carried[1]) + carried[2] * carried[2]);
        if (length > limit) {
          for (double& e : carried) e *= limit / length;
        }
        const double want[3] = {std::clamp(((c >> 16) & 0xFF) + carried[0], 0.0, 255.0),
                                std::clamp(((c >> 8) & 0xFF) + carried[1], 0.0, 255.0),
                                std::clamp((c & 0xFF) + carried[2], 0.0, 255.0)};
        const int k = nearest.Nearest(want);
        const Code got = entries[static_cast<size_t>(k)];
        errors.Spread(0, i, (want[0] - ShownLevel(Red(got))) / 16);
        errors.Spread(1, i, (want[1] - ShownLevel(Green(got))) / 16);
        errors.Spread(2, i, (want[2] - ShownLevel(Blue(got))) / 16);
        indices[sx] = static_cast<uint8_t>(first + k);
      }
      errors.NextRow();
    }
    target.SetIndexRow(y, indices.data());
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

}  // namespace pixmill
