// The colour-depth change and the resize written the plain way: one
// accessor call per pixel, every loop as the procedure states it. The fast
// paths must give identical pictures.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "color/optimized_palette.h"
#include "color/standard_palette.h"
#include "image/image_buffer.h"

namespace pixmill::oracle {

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

inline void MapToPalette(const ImageBuffer& src, ImageBuffer& target, int count, int bits) {
  const Buckets b = SetUp(src, target, count, bits);
  for (int y = 0; y < src.Height(); ++y) {
    for (int x = 0; x < src.Width(); ++x) target.SetIndex(x, y, Nearest(b, src.GetPixel(x, y)).first);
  }
}

inline void MapToPaletteDiffused(const ImageBuffer& src, ImageBuffer& target, int count, int bits) {
  const Buckets b = SetUp(src, target, count, bits);
  const int W = src.Width() + 2;
  std::vector<double> buf[3];
  for (auto& v : buf) v.assign(2 * W, 0.0);
  auto add = [&](int i, std::vector<double>& v, double value) {
    double s = value + v[i];
    if (s < 0) s = 0;
    if (s > 255) s = 255;
    return static_cast<int>(s);
  };
  auto spread = [&](int i, std::vector<double>& v, double e) {
    v[i + 1] += (e / 16) * 7;
    v[W + i + 1] += e / 16;
    v[W + i] += (e / 16) * 5;
    v[W + i - 1] += (e / 16) * 3;
  };
  for (int y = 0; y < src.Height(); ++y) {
    for (int x = 0; x < src.Width(); ++x) {
      const uint32_t p = src.GetPixel(x, y);
      const int r = add(x + 1, buf[0], (p >> 16) & 0xFF);
      const int g = add(x + 1, buf[1], (p >> 8) & 0xFF);
      const int bl = add(x + 1, buf[2], p & 0xFF);
      const uint32_t q = static_cast<uint32_t>(r << 16 | g << 8 | bl);
      const auto [index, P] = Nearest(b, q);
      spread(x + 1, buf[0], static_cast<double>(r - static_cast<int>((P >> 16) & 0xFF)));
      spread(x + 1, buf[1], static_cast<double>(g - static_cast<int>((P >> 8) & 0xFF)));
      spread(x + 1, buf[2], static_cast<double>(bl - static_cast<int>(P & 0xFF)));
      target.SetIndex(x, y, index);
    }
    for (auto& v : buf) {
      for (int k = 0; k < W; ++k) {
        v[k] = v[W + k];
        v[W + k] = 0;
      }
    }
  }
}

inline uint8_t Quantize5Bit(int i, std::vector<float>& buf, int W, int value) {
  const double v = value + static_cast<double>(buf[i]);
  const double q = std::trunc(v / 8) * 8;
  const double e1 = v - q, e2 = v - q + 8;
  const double e = std::fabs(e2) <= std::fabs(e1) ? e2 : e1;
  buf[i + 1] = static_cast<float>(buf[i + 1] + (e / 16) * 7);
  buf[W + i + 1] = static_cast<float>(buf[W + i + 1] + e / 16);
  buf[W + i] = static_cast<float>(buf[W + i] + (e / 16) * 5);
  buf[W + i - 1] = static_cast<float>(buf[W + i - 1] + (e / 16) * 3);
  return static_cast<uint8_t>(q < 0 ? 0 : (q > 248 ? 248 : q));
}

inline void Dither5Bit(ImageBuffer& img) {
  if (img.BitCount() != 24) return;
  const int W = img.Width() + 2;
  std::vector<float> buf[3];
  for (auto& v : buf) v.assign(2 * W, 0.0f);
  for (int y = 0; y < img.Height(); ++y) {
    for (int x = 0; x < img.Width(); ++x) {
      const uint32_t c = img.GetPixel24(x, y);
      const uint32_t r = Quantize5Bit(x + 1, buf[0], W, (c >> 16) & 0xFF);
      const uint32_t g = Quantize5Bit(x + 1, buf[1], W, (c >> 8) & 0xFF);
      const uint32_t b = Quantize5Bit(x + 1, buf[2], W, c & 0xFF);
      img.SetPixel(x, y, r << 16 | g << 8 | b);
    }
    for (auto& v : buf) {
      for (int k = 0; k < W; ++k) {
        v[k] = v[W + k];
        v[W + k] = 0;
      }
    }
  }
}

inline int ChangeColorDepth(ImageBuffer& img, int bits) {
  if (bits == img.BitCount()) return 1;
  const int target = bits == 16 ? 24 : bits;
  ImageBuffer work;
  (void)work.Create(img.Width(), img.Height(), target);
  if (bits <= 8) {
    const int count = 1 << bits;
    uint32_t palette[256] = {};
    if (img.m_paletteKind != 0) {
      FillStandardPalette(palette, count);
    } else {
      BuildOptimizedPalette(img, palette, count, target);
    }
    for (int i = 0; i < count; ++i) work.SetPaletteColor(i, palette[i]);
    if (img.m_ditherMode != 0) {
      oracle::MapToPaletteDiffused(img, work, count, target);
    } else {
      oracle::MapToPalette(img, work, count, target);
    }
  } else {
    for (int y = 0; y < img.Height(); ++y) {
      for (int x = 0; x < img.Width(); ++x) {
        const uint32_t c = img.GetPixel(x, y);
        work.SetPixel(x, y, bits == 16 && img.m_ditherMode == 0 ? (c & 0xF8F8F8) : c);
      }
    }
    if (bits == 16 && img.m_ditherMode != 0) oracle::Dither5Bit(work);
  }
  (void)img.Create(img.Width(), img.Height(), target);
  img.CopyFrom(work);
  return 0;
}

inline void Accumulate(uint32_t c, double s[3], double w) {
  s[0] += w * ((c >> 16) & 0xFF);
  s[1] += w * ((c >> 8) & 0xFF);
  s[2] += w * (c & 0xFF);
}

inline uint32_t Lerp(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    out |= static_cast<uint32_t>(static_cast<int>((1 - t) * ((a >> shift) & 0xFF) + t * ((b >> shift) & 0xFF)))
           << shift;
  }
  return out;
}

// The 24-bit passes. `horizontal` picks rows or columns.
inline void Shrink(const ImageBuffer& src, ImageBuffer& dst, int to, bool horizontal) {
  const int lines = horizontal ? src.Height() : src.Width();
  const int from = horizontal ? src.Width() : src.Height();
  const double ratio = static_cast<double>(from) / to;
  for (int line = 0; line < lines; ++line) {
    auto px = [&](int k) { return horizontal ? src.GetPixel(k, line) : src.GetPixel(line, k); };
    for (int j = 0; j < to; ++j) {
      const double start = j * ratio, end = j * ratio + ratio;
      double s[3] = {0, 0, 0};
      const int first = static_cast<int>(std::ceil(start)), last = static_cast<int>(end);
      for (int k = first; k < last; ++k) Accumulate(px(k), s, 1);
      if (first - start != 0) Accumulate(px(static_cast<int>(start)), s, first - start);
      if (end - last != 0) Accumulate(px(last), s, end - last);
      const uint32_t c = static_cast<uint32_t>(static_cast<int>(s[0] / ratio)) << 16 |
                         static_cast<uint32_t>(static_cast<int>(s[1] / ratio)) << 8 |
                         static_cast<uint32_t>(static_cast<int>(s[2] / ratio));
      if (horizontal) {
        dst.SetPixel(j, line, c);
      } else {
        dst.SetPixel(line, j, c);
      }
    }
  }
}

inline void Enlarge(const ImageBuffer& src, ImageBuffer& dst, int to, bool horizontal) {
  const int lines = horizontal ? src.Height() : src.Width();
  const int from = horizontal ? src.Width() : src.Height();
  const double scale = static_cast<double>(to) / from;
  for (int line = 0; line < lines; ++line) {
    for (int j = 0; j < to; ++j) {
      const double x = j / scale;
      const int i = static_cast<int>(x);
      const double t = x - i;
      const uint32_t next = horizontal ? src.GetPixel24(i + 1, line) : src.GetPixel24(line, i + 1);
      const uint32_t here = horizontal ? src.GetPixel24(i, line) : src.GetPixel24(line, i);
      if (horizontal) {
        dst.SetPixel(j, line, Lerp(here, next, t));
      } else {
        dst.SetPixel(line, j, Lerp(here, next, t));
      }
    }
  }
}

inline int Resize(ImageBuffer& img, int W, int H) {
  if (W < 1 || W > 4096 || H < 1 || H > 4096) return 1;
  if (W == img.Width() && H == img.Height()) return 1;
  const int w = img.Width(), h = img.Height();
  ImageBuffer tmp;
  if (img.BitCount() <= 8) {
    const double xScale = static_cast<double>(W) / w, yScale = static_cast<double>(H) / h;
    (void)tmp.Create(W, H, img.BitCount());
    for (int y = 0; y < H; ++y) {
      const int sy = static_cast<int>(y / yScale);
      for (int x = 0; x < W; ++x) tmp.SetIndex(x, y, img.GetIndex(static_cast<int>(x / xScale), sy));
    }
    for (int i = 0; i < (1 << img.BitCount()); ++i) tmp.SetPaletteColor(i, img.GetPaletteColor(i));
    (void)img.Create(W, H, img.BitCount());
    img.CopyFrom(tmp);
    return 0;
  }
  (void)tmp.Create(W, h, 24);
  if (W < w) {
    Shrink(img, tmp, W, true);
  } else {
    Enlarge(img, tmp, W, true);
  }
  (void)img.Create(W, h, 24);
  img.CopyFrom(tmp);
  (void)tmp.Create(W, H, 24);
  if (H < h) {
    Shrink(img, tmp, H, false);
  } else {
    Enlarge(img, tmp, H, false);
  }
  (void)img.Create(W, H, 24);
  img.CopyFrom(tmp);
  return 0;
}

}  // namespace pixmill::oracle
