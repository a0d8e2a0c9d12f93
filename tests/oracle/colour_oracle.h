// The optimised palette, the palette mapping, the 5-bit diffusion and the
// resize written the plain way: one accessor call per pixel, every loop in
// the order the program defines, nothing shared with the fast code but the
// picture's accessors. The fast paths must give identical pictures.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/image_buffer.h"
#include "image/standard_palette.h"

namespace pixmill::oracle {

inline void Set24(ImageBuffer& img, int x, int y, uint32_t c) { WriteRgb24(img.Row(y) + 3 * x, c); }

inline void Sort(uint32_t v[], uint32_t along[], int lo, int hi) {
  if (lo >= hi) return;
  const uint32_t pivot = v[(lo + hi) / 2];
  int i = lo - 1, j = hi + 1;
  for (;;) {
    while (v[++i] < pivot) {
    }
    while (v[--j] > pivot) {
    }
    if (i >= j) break;
    std::swap(v[i], v[j]);
    if (along) std::swap(along[i], along[j]);
  }
  Sort(v, along, lo, i - 1);
  Sort(v, along, j + 1, hi);
}

inline void OptimizedPalette(const ImageBuffer& img, uint32_t palette[], int count, int bits) {
  const float stepX = static_cast<float>(static_cast<double>(img.Width()) / 64);
  const float stepY = static_cast<float>(static_cast<double>(img.Height()) / 64);
  std::vector<uint32_t> s;
  for (float y = 0; y < static_cast<float>(img.Height()); y += stepY) {
    for (float x = 0; x < static_cast<float>(img.Width()); x += stepX) {
      const uint32_t c = img.GetPixel(static_cast<int>(x), static_cast<int>(y));
      s.push_back(((c >> 16) & 0xF8) | ((c >> 8) & 0xF8) << 8 | (c & 0xF8) << 16);
    }
  }
  Sort(s.data(), nullptr, 0, static_cast<int>(s.size()) - 1);
  std::vector<uint32_t> counts(s.size(), 0), colours(s.size(), 0);
  int n = 0;
  colours[0] = SwapRedBlue(s[0]);
  for (size_t k = 0; k < s.size(); ++k) {
    if (k > 0 && s[k] != s[k - 1]) colours[static_cast<size_t>(++n)] = SwapRedBlue(s[k]);
    counts[static_cast<size_t>(n)] += 1;
  }
  Sort(counts.data(), colours.data(), 0, n);
  std::reverse(counts.begin(), counts.begin() + n + 1);
  std::reverse(colours.begin(), colours.begin() + n + 1);
  const int slots = bits == 1 ? count : count - 1;
  for (; n > slots - 1; --n) {
    uint32_t best = 2000000;
    int chosen = 0;
    for (int k = n - 1; k >= 0; --k) {
      const uint32_t d = ColorDistance(colours[n], colours[k]);
      if (d < best) {
        best = d;
        chosen = k;
        if (best < 2) break;
      }
    }
    const uint32_t na = counts[chosen], nb = counts[n], a = colours[chosen], b = colours[n];
    uint32_t merged = a & 0xFF000000;
    for (int shift = 0; shift <= 16; shift += 8) {
      merged |= (((a >> shift) & 0xFF) * na + ((b >> shift) & 0xFF) * nb) / (na + nb) << shift;
    }
    int k = chosen - 1;
    for (; k >= 0 && counts[k] <= na + nb; --k) {
      counts[k + 1] = counts[k];
      colours[k + 1] = colours[k];
    }
    counts[k + 1] = na + nb;
    colours[k + 1] = merged;
  }
  colours.resize(256, 0);
  const int first = bits == 1 ? 0 : 1;
  if (bits != 1) palette[0] = SwapRedBlue(img.m_transparentColor);
  for (int i = first; i < count; ++i) palette[i] = colours[i - first];
}

inline int Luminance(uint32_t c) {
  const double r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
  const int v = static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b);
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

struct Buckets {
  int width;
  std::vector<std::pair<int, uint32_t>> lists[16];
};

inline Buckets SetUp(const ImageBuffer& src, const ImageBuffer& target, int count, int bits) {
  Buckets b;
  const int start = bits > 1 ? 1 : 0;
  b.width = count <= 16 ? 256 : 256 / src.m_precision;
  for (int i = start; i < count; ++i) {
    const uint32_t c = target.GetPaletteColor(i);
    b.lists[Luminance(c) / b.width].push_back({i, c});
  }
  for (auto& list : b.lists) {
    if (list.empty()) {
      for (int i = start; i < count; ++i) list.push_back({i, target.GetPaletteColor(i)});
    }
  }
  return b;
}

inline std::pair<int, uint32_t> Nearest(const Buckets& b, uint32_t p) {
  const auto& list = b.lists[Luminance(p) / b.width];
  uint32_t best = 200000;
  size_t choice = 0;
  for (size_t k = 0; k < list.size(); ++k) {
    const uint32_t d = ColorDistance(p, list[k].second);
    if (d < best) {
      best = d;
      choice = k;
    }
  }
  return list[choice];
}

// Floyd-Steinberg over rows of W = width + 2 slots, the row below after them.
template <typename T, typename E>
void Spread(std::vector<T>& v, int W, int i, E e) {
  v[i + 1] = static_cast<T>(v[i + 1] + (e / 16) * 7);
  v[W + i + 1] = static_cast<T>(v[W + i + 1] + e / 16);
  v[W + i] = static_cast<T>(v[W + i] + (e / 16) * 5);
  v[W + i - 1] = static_cast<T>(v[W + i - 1] + (e / 16) * 3);
}

template <typename T>
void NextRow(std::vector<T>& v, int W) {
  for (int k = 0; k < W; ++k) {
    v[k] = v[W + k];
    v[W + k] = 0;
  }
}

inline void MapToPalette(const ImageBuffer& src, ImageBuffer& target, int count, int bits, bool diffused) {
  const Buckets b = SetUp(src, target, count, bits);
  const int W = src.Width() + 2;
  std::vector<double> buf[3];
  for (auto& v : buf) v.assign(2 * W, 0.0);
  for (int y = 0; y < src.Height(); ++y) {
    for (int x = 0; x < src.Width(); ++x) {
      const uint32_t p = src.GetPixel(x, y);
      if (!diffused) {
        target.SetIndex(x, y, Nearest(b, p).first);
        continue;
      }
      int q[3];
      for (int c = 0; c < 3; ++c) {
        const double v = ((p >> (16 - 8 * c)) & 0xFF) + buf[c][x + 1];
        q[c] = static_cast<int>(std::clamp(v, 0.0, 255.0));
      }
      const auto [index, P] = Nearest(b, static_cast<uint32_t>(q[0] << 16 | q[1] << 8 | q[2]));
      for (int c = 0; c < 3; ++c)
        Spread(buf[c], W, x + 1, static_cast<double>(q[c] - static_cast<int>((P >> (16 - 8 * c)) & 0xFF)));
      target.SetIndex(x, y, index);
    }
    for (auto& v : buf) NextRow(v, W);
  }
}

inline void Dither5Bit(ImageBuffer& img) {
  const int W = img.Width() + 2;
  std::vector<float> buf[3];
  for (auto& v : buf) v.assign(2 * W, 0.0f);
  for (int y = 0; y < img.Height(); ++y) {
    for (int x = 0; x < img.Width(); ++x) {
      const uint32_t c = img.GetPixel(x, y);
      uint32_t out = 0;
      for (int ch = 0; ch < 3; ++ch) {
        const double v = ((c >> (16 - 8 * ch)) & 0xFF) + static_cast<double>(buf[ch][x + 1]);
        const double q = std::trunc(v / 8) * 8;
        const double e = std::fabs(v - q + 8) <= std::fabs(v - q) ? v - q + 8 : v - q;
        Spread(buf[ch], W, x + 1, e);
        out |= static_cast<uint32_t>(q < 0 ? 0 : (q > 248 ? 248 : q)) << (16 - 8 * ch);
      }
      Set24(img, x, y, out);
    }
    for (auto& v : buf) NextRow(v, W);
  }
}

inline void ChangeColorDepth(ImageBuffer& img, int bits) {
  const int target = bits == 16 ? 24 : bits;
  ImageBuffer work;
  (void)work.Create(img.Width(), img.Height(), target);
  if (bits <= 8) {
    const int count = 1 << bits;
    uint32_t palette[256] = {};
    if (img.m_paletteKind != 0) {
      FillStandardPalette(palette, count);
    } else {
      OptimizedPalette(img, palette, count, target);
    }
    for (int i = 0; i < count; ++i) work.SetPaletteColor(i, palette[i]);
    MapToPalette(img, work, count, target, img.m_ditherMode != 0);
  } else {
    for (int y = 0; y < img.Height(); ++y) {
      for (int x = 0; x < img.Width(); ++x) {
        const uint32_t c = img.GetPixel(x, y);
        Set24(work, x, y, bits == 16 && img.m_ditherMode == 0 ? (c & 0xF8F8F8) : c);
      }
    }
    if (bits == 16 && img.m_ditherMode != 0) oracle::Dither5Bit(work);
  }
  img.TakeBlocksFrom(work);
}

inline void Accumulate(uint32_t c, double s[3], double w) {
  for (int ch = 0; ch < 3; ++ch) s[ch] += w * ((c >> (16 - 8 * ch)) & 0xFF);
}

inline uint32_t Lerp(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    out |= static_cast<uint32_t>(static_cast<int>((1 - t) * ((a >> shift) & 0xFF) + t * ((b >> shift) & 0xFF)))
           << shift;
  }
  return out;
}

// The 24-bit passes; `horizontal` picks rows or columns. Reads past the
// edge while enlarging answer with the colour read last (`reg`).
inline void Pass(const ImageBuffer& src, ImageBuffer& dst, int to, bool horizontal, uint32_t& reg) {
  const int lines = horizontal ? src.Height() : src.Width();
  const int from = horizontal ? src.Width() : src.Height();
  auto px = [&](int k, int line) { return horizontal ? src.GetPixel(k, line) : src.GetPixel(line, k); };
  auto read = [&](int k, int line) { return k < from ? (reg = px(k, line)) : reg; };
  for (int line = 0; line < lines; ++line) {
    for (int j = 0; j < to; ++j) {
      uint32_t c;
      if (to < from) {
        const double ratio = static_cast<double>(from) / to, start = j * ratio, end = j * ratio + ratio;
        double s[3] = {0, 0, 0};
        const int first = static_cast<int>(std::ceil(start)), last = static_cast<int>(end);
        for (int k = first; k < last; ++k) Accumulate(px(k, line), s, 1);
        if (first - start != 0) Accumulate(px(static_cast<int>(start), line), s, first - start);
        if (end - last != 0) Accumulate(px(last, line), s, end - last);
        c = static_cast<uint32_t>(static_cast<int>(s[0] / ratio)) << 16 |
            static_cast<uint32_t>(static_cast<int>(s[1] / ratio)) << 8 |
            static_cast<uint32_t>(static_cast<int>(s[2] / ratio));
      } else {
        const double x = j / (static_cast<double>(to) / from);
        const int i = static_cast<int>(x);
        const uint32_t next = read(i + 1, line);
        c = Lerp(read(i, line), next, x - i);
      }
      horizontal ? Set24(dst, j, line, c) : Set24(dst, line, j, c);
    }
  }
}

inline void Resize(ImageBuffer& img, int W, int H) {
  ImageBuffer tmp;
  if (img.BitCount() <= 8) {
    const double xScale = static_cast<double>(W) / img.Width(), yScale = static_cast<double>(H) / img.Height();
    (void)tmp.Create(W, H, img.BitCount());
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x)
        tmp.SetIndex(x, y, img.GetIndex(static_cast<int>(x / xScale), static_cast<int>(y / yScale)));
    }
    for (int i = 0; i < (1 << img.BitCount()); ++i) tmp.SetPaletteColor(i, img.GetPaletteColor(i));
  } else {
    uint32_t reg = 0;
    ImageBuffer rows;
    (void)rows.Create(W, img.Height(), 24);
    Pass(img, rows, W, true, reg);
    (void)tmp.Create(W, H, 24);
    Pass(rows, tmp, H, false, reg);
  }
  img.TakeBlocksFrom(tmp);
}

}  // namespace pixmill::oracle
