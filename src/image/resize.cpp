#include "image/resize.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "platform/threads.h"

// Built twice, the second for AVX2, chosen when the program starts; not
// under the sanitizers, whose run-time is not ready when the choice is made.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PIXMILL_SANITIZED 1
#endif
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && \
    !defined(PIXMILL_SANITIZED)
#define PIXMILL_WIDER_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define PIXMILL_WIDER_VECTORS
#endif

namespace pixmill {

namespace {

// Adds weight x each channel of the colour to the three sums.
inline void AccumulateWeighted(uint32_t colour, double sums[3], double weight) {
  sums[0] += weight * static_cast<double>((colour >> 16) & 0xFF);
  sums[1] += weight * static_cast<double>((colour >> 8) & 0xFF);
  sums[2] += weight * static_cast<double>(colour & 0xFF);
}

// Each channel trunc((1 - t) a + t b).
inline uint32_t LerpColor(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double ca = static_cast<double>((a >> shift) & 0xFF);
    const double cb = static_cast<double>((b >> shift) & 0xFF);
    out |= static_cast<uint32_t>(static_cast<int>((1 - t) * ca + t * cb)) << shift;
  }
  return out;
}

// What an area-averaging target pixel covers of the source line: whole
// pixels first .. last - 1, then the part of pixel trunc(start) cut at the
// left, then the part of pixel `last` cut at the right. The order of the
// sums is part of the result.
struct Span {
  int32_t first;
  int32_t last;
  int32_t leftPixel;
  double leftWeight;   // 0 when there is no left part
  double rightWeight;  // 0 when there is no right part
};

std::vector<Span> Spans(int32_t to, double ratio) {
  std::vector<Span> spans(static_cast<size_t>(to));
  for (int32_t j = 0; j < to; ++j) {
    const double start = j * ratio;
    const double end = j * ratio + ratio;
    Span& s = spans[static_cast<size_t>(j)];
    s.first = static_cast<int32_t>(std::ceil(start));
    s.last = static_cast<int32_t>(end);
    s.leftPixel = static_cast<int32_t>(start);
    s.leftWeight = s.first - start;
    s.rightWeight = end - s.last;
  }
  return spans;
}

// One target pixel of area averaging. `at(k)` is source pixel k of the line,
// black past its end (the colour a read outside the picture gives).
template <typename At>
uint32_t AverageSpan(const Span& s, double ratio, At at) {
  double sums[3] = {0, 0, 0};
  for (int32_t k = s.first; k < s.last; ++k) AccumulateWeighted(at(k), sums, 1);
  if (s.leftWeight != 0) AccumulateWeighted(at(s.leftPixel), sums, s.leftWeight);
  if (s.rightWeight != 0) AccumulateWeighted(at(s.last), sums, s.rightWeight);
  const auto channel = [&](int c) { return static_cast<uint32_t>(static_cast<int>(sums[c] / ratio)); };
  return channel(0) << 16 | channel(1) << 8 | channel(2);
}

// A fraction t that is a whole number of 256ths, as the fractions of
// enlarging by 2, 4 or 8 are: then 1 - t, (1 - t) a and t b for channels a
// and b, and their sum, have at most 16 + 8 bits and are exact in double
// precision, and trunc((1 - t) a + t b) is ((256 - T) a + T b) >> 8 for
// T = 256 t. -1 when t is not such a fraction.
int In256ths(double t) {
  const double scaled = t * 256;  // exact: a power of two
  return scaled == std::floor(scaled) ? static_cast<int>(scaled) : -1;
}

// That blend of channels a and b for T = 256 t.
inline uint8_t Blend256(uint32_t a, uint32_t b, uint32_t T) {
  return static_cast<uint8_t>(((256 - T) * a + T * b) >> 8);
}

// LerpColor channel by channel over two rows of bytes: the same products
// and sums in double precision, so the same bytes, in whole numbers where
// the fraction allows (see above); built also for wider vector units where
// the processor has them.
PIXMILL_WIDER_VECTORS
void LerpBytes(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t n, double t) {
  if (const int whole = In256ths(t); whole >= 0) {
    const auto T = static_cast<uint32_t>(whole);
    for (int32_t k = 0; k < n; ++k) out[k] = Blend256(a[k], b[k], T);
    return;
  }
  const double keep = 1 - t;
  for (int32_t k = 0; k < n; ++k) {
    out[k] = static_cast<uint8_t>(static_cast<int>(keep * static_cast<double>(a[k]) + t * static_cast<double>(b[k])));
  }
}

// Emits the positions x + base for x = 0 .. columns - 1 as the rows of a
// column-wise pass worked in row order go by, so the bar sees the same
// positions in the same order as a pass column by column.
class ColumnProgress {
 public:
  ColumnProgress(ProgressSink* sink, int32_t columns, int32_t rows, int32_t base)
      : m_sink(sink), m_columns(columns), m_rows(rows), m_base(base) {}
  void RowDone(int32_t row) {
    if (!m_sink) return;
    const int64_t upTo = row + 1 == m_rows ? m_columns : int64_t{m_columns} * (row + 1) / m_rows;
    for (; m_emitted < upTo; ++m_emitted) m_sink->SetPosition(static_cast<int>(m_emitted + m_base));
  }

 private:
  ProgressSink* m_sink;
  int32_t m_columns;
  int32_t m_rows;
  int32_t m_base;
  int64_t m_emitted = 0;
};

// Shrinking by a whole ratio r (w = r W): every span is r whole pixels, the
// sums of whole channels are exact, and trunc(sum / r) in double precision
// is the whole-number quotient (the next whole number is at least 1 / r
// away, far beyond rounding). The quotient is taken by a multiplication
// with 2^32 / r rounded up, which is exact for sums up to 255 r while r is
// at most 4096.
// The whole ratio r of shrinking `from` pixels to `to` that WholeDivisor
// takes, or 0.
int32_t WholeRatio(int32_t from, int32_t to) { return from % to == 0 && from / to <= 4096 ? from / to : 0; }

class WholeDivisor {
 public:
  explicit WholeDivisor(uint32_t r) : m_times(((uint64_t{1} << 32) + r - 1) / r) {}
  uint32_t operator()(uint32_t sum) const { return static_cast<uint32_t>((sum * m_times) >> 32); }

 private:
  uint64_t m_times;
};

void ShrinkHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t W, ProgressSink* progress) {
  const int32_t w = source.Width();
  const double ratio = static_cast<double>(w) / W;
  const std::vector<Span> spans = Spans(W, ratio);
  const int32_t whole = WholeRatio(w, W);
  const WholeDivisor divide(static_cast<uint32_t>(std::max(whole, 1)));
  ForEachLine(
      source.Height(), int64_t{W} * source.Height(),
      [&](int32_t y) {
        const uint8_t* in = source.Row(y);
        uint8_t* out = target.Row(y);
        if (whole != 0) {
          for (int32_t j = 0; j < W; ++j, in += 3 * whole) {
            uint32_t sums[3] = {0, 0, 0};
            for (int32_t k = 0; k < 3 * whole; k += 3) {
              sums[0] += in[k];
              sums[1] += in[k + 1];
              sums[2] += in[k + 2];
            }
            for (int c = 0; c < 3; ++c) out[3 * j + c] = static_cast<uint8_t>(divide(sums[c]));
          }
          return;
        }
        auto at = [&](int32_t k) { return k >= 0 && k < w ? ReadRgb24(in + 3 * k) : 0u; };
        for (int32_t j = 0; j < W; ++j) WriteRgb24(out + 3 * j, AverageSpan(spans[static_cast<size_t>(j)], ratio, at));
      },
      [&](int32_t y) {
        if (progress) progress->SetPosition(y);
      });
}

void ShrinkVertical(const ImageBuffer& source, ImageBuffer& target, int32_t H, ProgressSink* progress) {
  const int32_t w = source.Width();
  const int32_t h = source.Height();
  const double ratio = static_cast<double>(h) / H;
  const std::vector<Span> spans = Spans(H, ratio);
  ColumnProgress columns(progress, w, H, h);
  const int32_t whole = WholeRatio(h, H);
  const WholeDivisor divide(static_cast<uint32_t>(std::max(whole, 1)));
  ForEachLine(
      H, int64_t{w} * H,
      [&](int32_t j) {
        const Span& s = spans[static_cast<size_t>(j)];
        uint8_t* out = target.Row(j);
        if (whole != 0) {
          thread_local std::vector<uint32_t> sums;
          sums.assign(3 * static_cast<size_t>(w), 0);
          for (int32_t k = j * whole; k < (j + 1) * whole; ++k) {
            const uint8_t* in = source.Row(k);
            for (size_t b = 0; b < sums.size(); ++b) sums[b] += in[b];
          }
          for (size_t b = 0; b < sums.size(); ++b) out[b] = static_cast<uint8_t>(divide(sums[b]));
          return;
        }
        for (int32_t x = 0; x < w; ++x) {
          auto at = [&](int32_t k) { return k >= 0 && k < h ? ReadRgb24(source.Row(k) + 3 * x) : 0u; };
          WriteRgb24(out + 3 * x, AverageSpan(s, ratio, at));
        }
      },
      [&](int32_t j) { columns.RowDone(j); });
}

// Linear interpolation between source pixel i = trunc(j / scale) and its
// right neighbour. Past the right edge the neighbour is the left pixel of
// the previous target column of the row, the colour read last (each column
// reads its right neighbour first, then its left pixel). At the first
// column the neighbour is inside, or the source is one pixel wide and t is
// 0. So the last columns can blend the edge pixel with the one before it:
// a row p0, p1 scaled to 3 ends with (2/3) p1 + (1/3) p0.
void EnlargeHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t W, ProgressSink* progress) {
  const int32_t w = source.Width();
  const double scale = static_cast<double>(W) / w;
  std::vector<int32_t> left(static_cast<size_t>(W));
  std::vector<double> frac(static_cast<size_t>(W));
  bool whole = true;  // every fraction a whole number of 256ths (see In256ths)
  std::vector<uint16_t> weight(static_cast<size_t>(W));
  for (int32_t j = 0; j < W; ++j) {
    const double x = j / scale;
    left[static_cast<size_t>(j)] = static_cast<int32_t>(x);
    frac[static_cast<size_t>(j)] = x - left[static_cast<size_t>(j)];
    const int T = In256ths(frac[static_cast<size_t>(j)]);
    whole = whole && T >= 0;
    weight[static_cast<size_t>(j)] = static_cast<uint16_t>(std::max(T, 0));
  }
  ForEachLine(
      source.Height(), int64_t{W} * source.Height(),
      [&](int32_t y) {
        const uint8_t* in = source.Row(y);
        uint8_t* out = target.Row(y);
        uint32_t previousLeft = ReadRgb24(in);
        for (int32_t j = 0; j < W; ++j) {
          const int32_t i = left[static_cast<size_t>(j)];
          const uint32_t l = ReadRgb24(in + 3 * i);
          const uint32_t right = i + 1 < w ? ReadRgb24(in + 3 * (i + 1)) : previousLeft;
          previousLeft = l;
          if (whole) {
            const uint32_t T = weight[static_cast<size_t>(j)];
            uint8_t* p = out + 3 * j;
            p[0] = Blend256(l & 0xFF, right & 0xFF, T);
            p[1] = Blend256((l >> 8) & 0xFF, (right >> 8) & 0xFF, T);
            p[2] = Blend256(l >> 16, right >> 16, T);
          } else {
            WriteRgb24(out + 3 * j, LerpColor(l, right, frac[static_cast<size_t>(j)]));
          }
        }
      },
      [&](int32_t y) {
        if (progress) progress->SetPosition(y);
      });
}

// The same down the columns: below the last row the lower neighbour is the
// upper pixel of the previous target row of the same column.
void EnlargeVertical(const ImageBuffer& source, ImageBuffer& target, int32_t H, ProgressSink* progress) {
  const int32_t w = source.Width();
  const int32_t h = source.Height();
  const double scale = static_cast<double>(H) / h;
  ColumnProgress columns(progress, w, H, h);
  auto upper = [scale](int32_t j) { return static_cast<int32_t>(j / scale); };
  ForEachLine(
      H, int64_t{w} * H,
      [&](int32_t j) {
        const int32_t i = upper(j);
        const double t = j / scale - i;
        const uint8_t* above = source.Row(i);
        const uint8_t* below = source.Row(i + 1 < h ? i + 1 : j > 0 ? upper(j - 1) : 0);
        uint8_t* out = target.Row(j);
        LerpBytes(out, above, below, 3 * w, t);
      },
      [&](int32_t j) { columns.RowDone(j); });
}

// A 24-bit picture with transparent pixels is scaled in the same two passes
// and by the same spans and fractions, but every pixel is weighed by how
// much of it is opaque (1 or 0 in the source, a fraction after the first
// pass), so that the colours of transparent pixels do not bleed into their
// opaque neighbours.
class WeightedLine {
 public:
  void Add(uint32_t colour, double weight) {
    AccumulateWeighted(colour, m_sums, weight);
    m_weight += weight;
  }
  uint32_t Colour() const {
    if (m_weight <= 0) return 0;
    const auto channel = [&](int c) { return static_cast<uint32_t>(static_cast<int>(m_sums[c] / m_weight)); };
    return channel(0) << 16 | channel(1) << 8 | channel(2);
  }
  double Weight() const { return m_weight; }

 private:
  double m_sums[3] = {0, 0, 0};
  double m_weight = 0;
};

// One pass along lines of `from` pixels to `to` pixels. `at(line, k)` gives
// the colour and the opaque share of pixel k; `put(line, j, colour, share)`
// stores target pixel j.
template <typename At, typename Put>
void WeightedPass(int32_t lines, int32_t from, int32_t to, At at, Put put) {
  const double ratio = static_cast<double>(from) / to;
  const std::vector<Span> spans = to < from ? Spans(to, ratio) : std::vector<Span>();
  for (int32_t line = 0; line < lines; ++line) {
    int32_t previousLeft = 0;
    for (int32_t j = 0; j < to; ++j) {
      WeightedLine sum;
      auto add = [&](int32_t k, double weight) {
        if (k < 0 || k >= from || weight == 0) return;
        const auto [colour, share] = at(line, k);
        sum.Add(colour, weight * share);
      };
      if (to < from) {
        const Span& span = spans[static_cast<size_t>(j)];
        for (int32_t k = span.first; k < span.last; ++k) add(k, 1);
        add(span.leftPixel, span.leftWeight);
        add(span.last, span.rightWeight);
        put(line, j, sum.Colour(), sum.Weight() / ratio);
      } else {
        const double x = j / (static_cast<double>(to) / from);
        const int32_t i = static_cast<int32_t>(x);
        add(i, 1 - (x - i));
        add(i + 1 < from ? i + 1 : previousLeft, x - i);
        previousLeft = i;
        // Where no opaque pixel takes part, the colour of the nearest.
        put(line, j, sum.Weight() > 0 ? sum.Colour() : at(line, i).first, sum.Weight());
      }
    }
  }
}

Result ResizeWeighted(const ImageBuffer& source, ImageBuffer& result, int32_t W, int32_t H) {
  const int32_t w = source.Width();
  const int32_t h = source.Height();
  ImageBuffer rows;
  if (Result r = rows.Create(W, h, 24); !r.ok()) return r;
  if (Result r = result.Create(W, H, 24); !r.ok()) return r;
  std::vector<float> share(static_cast<size_t>(W) * static_cast<size_t>(h));
  WeightedPass(
      h, w, W,
      [&](int32_t y, int32_t k) {
        return std::pair(ReadRgb24(source.Row(y) + 3 * k), source.MaskedAt(k, y) ? 0.0 : 1.0);
      },
      [&](int32_t y, int32_t j, uint32_t colour, double opaque) {
        WriteRgb24(rows.Row(y) + 3 * j, colour);
        share[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(j)] = static_cast<float>(opaque);
      });
  WeightedPass(
      W, h, H,
      [&](int32_t x, int32_t k) {
        return std::pair(
            ReadRgb24(rows.Row(k) + 3 * x),
            static_cast<double>(share[static_cast<size_t>(k) * static_cast<size_t>(W) + static_cast<size_t>(x)]));
      },
      [&](int32_t x, int32_t j, uint32_t colour, double) { WriteRgb24(result.Row(j) + 3 * x, colour); });
  return Result::Done();
}

Result ResizeIndexed(const ImageBuffer& image, ImageBuffer& temp, int32_t W, int32_t H, ProgressSink* progress) {
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  const double xScale = static_cast<double>(W) / w;
  const double yScale = static_cast<double>(H) / h;
  if (Result r = temp.Create(W, H, image.BitCount()); !r.ok()) return r;
  std::vector<int32_t> sx(static_cast<size_t>(W));
  for (int32_t x = 0; x < W; ++x) sx[static_cast<size_t>(x)] = static_cast<int32_t>(x / xScale);
  for (int32_t y = 0; y < H; ++y) {
    const int32_t sy = static_cast<int32_t>(y / yScale);
    if (image.BitCount() == 8 && sy < h) {
      const uint8_t* in = image.Row(sy);
      uint8_t* out = temp.Row(y);
      for (int32_t x = 0; x < W; ++x) {
        const int32_t s = sx[static_cast<size_t>(x)];
        out[x] = s < w ? in[s] : 0;
      }
    } else {
      for (int32_t x = 0; x < W; ++x) temp.SetIndex(x, y, image.GetIndex(sx[static_cast<size_t>(x)], sy));
    }
    if (progress) progress->SetPosition(y);
  }
  for (int i = 0; i < PaletteEntriesFor(image.BitCount()); ++i) {
    temp.SetPaletteColor(static_cast<uint32_t>(i), image.GetPaletteColor(static_cast<uint32_t>(i)));
  }
  return Result::Done();
}

}  // namespace

Result Resize(ImageBuffer& image, int32_t W, int32_t H) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  if (W < 1 || W > kMaxSide || H < 1 || H > kMaxSide) {
    return Result::Refused("the size " + std::to_string(W) + " x " + std::to_string(H) +
                           " is outside 1..4096 pixels per side");
  }
  if (W == image.Width() && H == image.Height()) {
    return Result::NothingToDo("the picture is already " + std::to_string(W) + " x " + std::to_string(H));
  }
  try {
    // A 16-bit picture (only ever read from a bitmap file of that depth)
    // is scaled as the 24-bit picture a change to 24 bits would make of it.
    const ImageBuffer* source = &image;
    ImageBuffer expanded;
    if (image.BitCount() == 16) {
      if (Result r = ExpandTo24Bits(image, expanded); !r.ok()) return r;
      source = &expanded;
    }
    const int32_t w = source->Width();
    const int32_t h = source->Height();
    ProgressSink* progress = image.GetProgressBar();
    if (progress) progress->SetRange(0, H);

    // The picture is replaced only once everything has succeeded.
    ImageBuffer result;
    if (source->BitCount() <= 8) {
      if (Result r = ResizeIndexed(*source, result, W, H, progress); !r.ok()) return r;
    } else if (source->TransparentMask() != nullptr) {
      if (Result r = ResizeWeighted(*source, result, W, H); !r.ok()) return r;
    } else {
      if (progress) progress->SetRange(0, W + h);
      ImageBuffer rows;
      if (Result r = rows.Create(W, h, 24); !r.ok()) return r;
      if (Result r = result.Create(W, H, 24); !r.ok()) return r;
      if (W < w) {
        ShrinkHorizontal(*source, rows, W, progress);
      } else {
        EnlargeHorizontal(*source, rows, W, progress);
      }
      if (H < h) {
        ShrinkVertical(rows, result, H, progress);
      } else {
        EnlargeVertical(rows, result, H, progress);
      }
    }
    // A pixel is transparent where its nearest source pixel is.
    std::vector<uint8_t> mask;
    if (source->TransparentMask() != nullptr) {
      mask.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
      for (int32_t y = 0; y < H; ++y) {
        const int32_t sy = static_cast<int32_t>(y / (static_cast<double>(H) / h));
        for (int32_t x = 0; x < W; ++x) {
          mask[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)] =
              source->MaskedAt(static_cast<int32_t>(x / (static_cast<double>(W) / w)), sy);
        }
      }
    }
    image.TakeBlocksFrom(result);
    MarkTransparent(image, std::move(mask));
    if (progress) progress->SetPosition(0);
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to resize the picture");
  }
}

}  // namespace pixmill
