#include "image/resize.h"

#include <cmath>
#include <new>
#include <string>
#include <vector>

namespace pixmill {

namespace {

inline uint32_t Load24(const uint8_t* p) {
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

inline void Store24(uint8_t* p, uint32_t c) {
  p[0] = static_cast<uint8_t>(c);
  p[1] = static_cast<uint8_t>(c >> 8);
  p[2] = static_cast<uint8_t>(c >> 16);
}

// What an area-averaging target pixel covers of the source line: whole
// pixels first .. last - 1, then the part of pixel trunc(start) cut at the
// left, then the part of pixel `last` cut at the right.
struct Span {
  int32_t first;
  int32_t last;
  int32_t leftPixel;
  double leftWeight;  // 0 when there is no left part
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

uint32_t Average(const double sums[3], double ratio) {
  const uint32_t red = static_cast<uint32_t>(static_cast<int>(sums[0] / ratio));
  const uint32_t green = static_cast<uint32_t>(static_cast<int>(sums[1] / ratio));
  const uint32_t blue = static_cast<uint32_t>(static_cast<int>(sums[2] / ratio));
  return red << 16 | green << 8 | blue;
}

// One line of area averaging. `at(k)` is the source pixel k of the line,
// 0 outside (the colour GetPixel gives there).
template <typename At>
uint32_t AverageSpan(const Span& s, double ratio, At at) {
  double sums[3] = {0, 0, 0};
  for (int32_t k = s.first; k < s.last; ++k) AccumulateWeighted(at(k), sums, 1);
  if (s.leftWeight != 0) AccumulateWeighted(at(s.leftPixel), sums, s.leftWeight);
  if (s.rightWeight != 0) AccumulateWeighted(at(s.last), sums, s.rightWeight);
  return Average(sums, ratio);
}

// Emits the positions x + base for x = 0 .. columns - 1 as the rows of a
// column-wise pass worked in row order go by, so the bar sees the same
// positions in the same order.
class ColumnProgress {
 public:
  ColumnProgress(ProgressSink* sink, int32_t columns, int32_t rows, int32_t base)
      : sink_(sink), columns_(columns), rows_(rows), base_(base) {}
  void RowDone(int32_t row) {
    if (!sink_) return;
    const int64_t upTo = row + 1 == rows_ ? columns_ : int64_t{columns_} * (row + 1) / rows_;
    for (; emitted_ < upTo; ++emitted_) sink_->SetPosition(static_cast<int>(emitted_ + base_));
  }

 private:
  ProgressSink* sink_;
  int32_t columns_;
  int32_t rows_;
  int32_t base_;
  int64_t emitted_ = 0;
};

Result ResizeIndexed(ImageBuffer& image, int32_t W, int32_t H) {
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  const double xScale = static_cast<double>(W) / w;
  const double yScale = static_cast<double>(H) / h;
  ProgressSink* progress = image.GetProgressBar();

  ImageBuffer temp;
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
  for (int i = 0; i < (1 << image.BitCount()); ++i) {
    temp.SetPaletteColor(static_cast<uint32_t>(i), image.GetPaletteColor(static_cast<uint32_t>(i)));
  }
  image.TakeBlocksFrom(temp);
  return Result::Done();
}

}  // namespace

void ShrinkHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t W) {
  const int32_t w = source.Width();
  const double ratio = static_cast<double>(w) / W;
  const std::vector<Span> spans = Spans(W, ratio);
  ProgressSink* progress = source.GetProgressBar();
  for (int32_t y = 0; y < source.Height(); ++y) {
    const uint8_t* in = source.Row(y);
    uint8_t* out = target.Row(y);
    auto at = [&](int32_t k) { return k >= 0 && k < w ? Load24(in + 3 * k) : 0u; };
    for (int32_t j = 0; j < W; ++j) Store24(out + 3 * j, AverageSpan(spans[static_cast<size_t>(j)], ratio, at));
    if (progress) progress->SetPosition(y);
  }
}

void ShrinkVertical(const ImageBuffer& source, ImageBuffer& target, int32_t H, int32_t progressBase) {
  const int32_t w = source.Width();
  const int32_t h = source.Height();
  const double ratio = static_cast<double>(h) / H;
  const std::vector<Span> spans = Spans(H, ratio);
  ColumnProgress progress(source.GetProgressBar(), w, H, progressBase);
  for (int32_t j = 0; j < H; ++j) {
    const Span& s = spans[static_cast<size_t>(j)];
    uint8_t* out = target.Row(j);
    for (int32_t x = 0; x < w; ++x) {
      auto at = [&](int32_t k) { return k >= 0 && k < h ? Load24(source.Row(k) + 3 * x) : 0u; };
      Store24(out + 3 * x, AverageSpan(s, ratio, at));
    }
    progress.RowDone(j);
  }
}

// At the right edge the right neighbour lies outside the picture, where the
// last-colour-read register answers with the colour read last: the left
// pixel of the previous target column. (At the first column the right
// neighbour is inside, or the source is one pixel wide and t is 0.)
void EnlargeHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t W) {
  const int32_t w = source.Width();
  const double scale = static_cast<double>(W) / w;
  std::vector<int32_t> left(static_cast<size_t>(W));
  std::vector<double> frac(static_cast<size_t>(W));
  for (int32_t j = 0; j < W; ++j) {
    const double x = j / scale;
    left[static_cast<size_t>(j)] = static_cast<int32_t>(x);
    frac[static_cast<size_t>(j)] = x - left[static_cast<size_t>(j)];
  }
  ProgressSink* progress = source.GetProgressBar();
  uint32_t lastRead = LastColourRead();
  for (int32_t y = 0; y < source.Height(); ++y) {
    const uint8_t* in = source.Row(y);
    uint8_t* out = target.Row(y);
    for (int32_t j = 0; j < W; ++j) {
      const int32_t i = left[static_cast<size_t>(j)];
      const uint32_t right = i + 1 < w ? Load24(in + 3 * (i + 1)) : lastRead;
      const uint32_t l = Load24(in + 3 * i);
      lastRead = l;
      Store24(out + 3 * j, LerpColor(l, right, frac[static_cast<size_t>(j)]));
    }
    if (progress) progress->SetPosition(y);
  }
  SetLastColourRead(lastRead);
}

// The same along the columns: below the last row the register gives the
// upper pixel read for the previous target row of the same column.
void EnlargeVertical(const ImageBuffer& source, ImageBuffer& target, int32_t H, int32_t progressBase) {
  const int32_t w = source.Width();
  const int32_t h = source.Height();
  const double scale = static_cast<double>(H) / h;
  ColumnProgress progress(source.GetProgressBar(), w, H, progressBase);
  int32_t previousUpper = -1;
  uint32_t lastRead = LastColourRead();
  for (int32_t j = 0; j < H; ++j) {
    const double yy = j / scale;
    const int32_t i = static_cast<int32_t>(yy);
    const double t = yy - i;
    const uint8_t* above = source.Row(i);
    const uint8_t* below = i + 1 < h ? source.Row(i + 1) : (previousUpper >= 0 ? source.Row(previousUpper) : nullptr);
    uint8_t* out = target.Row(j);
    for (int32_t x = 0; x < w; ++x) {
      // With no previous row (j = 0, one source row) t is 0 and the lower
      // colour has no weight; the register's value stands in for it.
      const uint32_t b = below ? Load24(below + 3 * x) : lastRead;
      Store24(out + 3 * x, LerpColor(Load24(above + 3 * x), b, t));
    }
    previousUpper = i;
    progress.RowDone(j);
  }
  if (w > 0 && H > 0) SetLastColourRead(Load24(source.Row(previousUpper) + 3 * (w - 1)));
}

Result Resize(ImageBuffer& image, int32_t W, int32_t H) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  if (W < 1 || W > kMaxResizeSide || H < 1 || H > kMaxResizeSide) {
    return Result::Refused("the size " + std::to_string(W) + " x " + std::to_string(H) +
                           " is outside 1..4096 pixels per side");
  }
  if (W == image.Width() && H == image.Height()) {
    return Result::NothingToDo("the picture is already " + std::to_string(W) + " x " + std::to_string(H));
  }
  try {
    // A 16-bit picture (only ever read from a bitmap file of that depth)
    // becomes 24 bits first, as a change to 24 bits would make it, so that
    // scaling always works.
    if (image.BitCount() == 16) {
      ImageBuffer expanded;
      if (Result r = ExpandTo24Bits(image, expanded); !r.ok()) return r;
      image.TakeBlocksFrom(expanded);
    }
    if (image.BitCount() != 1 && image.BitCount() != 4 && image.BitCount() != 8 && image.BitCount() != 24) {
      return Result::Refused(std::to_string(image.BitCount()) + "-bit pictures cannot be resized");
    }
    const int32_t w = image.Width();
    const int32_t h = image.Height();
    ProgressSink* progress = image.GetProgressBar();
    if (progress) progress->SetRange(0, H);

    if (image.BitCount() <= 8) {
      if (Result r = ResizeIndexed(image, W, H); !r.ok()) return r;
    } else {
      if (progress) progress->SetRange(0, W + h);
      ImageBuffer temp;
      if (Result r = temp.Create(W, h, 24); !r.ok()) return r;
      if (W < w) {
        ShrinkHorizontal(image, temp, W);
      } else {
        EnlargeHorizontal(image, temp, W);
      }
      image.TakeBlocksFrom(temp);
      if (Result r = temp.Create(W, H, 24); !r.ok()) return r;
      if (H < h) {
        ShrinkVertical(image, temp, H, h);
      } else {
        EnlargeVertical(image, temp, H, h);
      }
      image.TakeBlocksFrom(temp);
    }
    if (progress) progress->SetPosition(0);
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to resize the picture");
  }
}

}  // namespace pixmill
