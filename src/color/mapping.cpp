#include "color/mapping.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace pixmill {

namespace {

// The palette split into up to 16 bands of luminance. Each band lists its
// entries in index order; a band that no entry falls in lists them all.
struct LuminanceBuckets {
  int width = 256;
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

  // The first entry of the band at the smallest distance (strictly smaller
  // replaces, starting from 200000). Returns its position in the band.
  int Nearest(int b, uint32_t p) const {
    const int pr = static_cast<int>((p >> 16) & 0xFF);
    const int pg = static_cast<int>((p >> 8) & 0xFF);
    const int pb = static_cast<int>(p & 0xFF);
    const int* r = red[b];
    const int* g = green[b];
    const int* bl = blue[b];
    int best = 200000;
    int choice = 0;
    for (int k = 0, n = length[b]; k < n; ++k) {
      const int dr = pr - r[k], dg = pg - g[k], db = pb - bl[k];
      const int d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        choice = k;
        if (d == 0) break;  // nothing can be strictly nearer
      }
    }
    return choice;
  }
};

std::unique_ptr<LuminanceBuckets> SetUpBuckets(const ImageBuffer& source, const ImageBuffer& target, int count,
                                               int bits) {
  auto buckets = std::make_unique<LuminanceBuckets>();
  const int start = bits > 1 ? 1 : 0;
  const int precision = std::clamp(source.m_precision, 1, 16);
  buckets->width = count <= 16 ? 256 : 256 / precision;
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

// Remembers the palette index found for each colour. A colour's answer
// depends on the colour alone (its band follows from its luminance), so
// the whole search is done once per distinct colour. Large pictures get a
// table over all 2^24 colours; small ones search every time.
class NearestCache {
 public:
  NearestCache(const LuminanceBuckets& buckets, int64_t pixels) : buckets_(buckets) {
    if (pixels >= (int64_t{1} << 18)) table_.reset(new (std::nothrow) uint16_t[size_t{1} << 24]());
  }

  uint8_t IndexOf(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (table_) {
      uint16_t& slot = table_[rgb];
      if (slot == 0) slot = static_cast<uint16_t>(Search(rgb) + 1);
      return static_cast<uint8_t>(slot - 1);
    }
    return static_cast<uint8_t>(Search(rgb));
  }

  // The index and palette colour of the nearest entry.
  uint8_t IndexAndColour(uint32_t rgb, uint32_t& colour) {
    const uint8_t i = IndexOf(rgb);
    colour = colourOf_[i];
    return i;
  }

  void SetColours(const ImageBuffer& target, int count) {
    for (int i = 0; i < count; ++i) colourOf_[i] = target.GetPaletteColor(static_cast<uint32_t>(i));
  }

 private:
  int Search(uint32_t rgb) const {
    const int b = Luminance(rgb) / buckets_.width;
    return buckets_.index[b][buckets_.Nearest(b, rgb)];
  }

  const LuminanceBuckets& buckets_;
  std::unique_ptr<uint16_t[]> table_;
  uint32_t colourOf_[256] = {};
};

// Reads the colours of one source row as RGB values.
void ReadRow(const ImageBuffer& source, int32_t y, uint32_t* out) {
  const int32_t w = source.Width();
  const uint8_t* row = source.Row(y);
  switch (source.BitCount()) {
    case 24:
      for (int32_t x = 0; x < w; ++x) {
        out[x] = static_cast<uint32_t>(row[3 * x + 2]) << 16 | static_cast<uint32_t>(row[3 * x + 1]) << 8 |
                 row[3 * x];
      }
      break;
    case 8:
      for (int32_t x = 0; x < w; ++x) out[x] = source.GetPaletteColor(row[x]);
      break;
    default:
      for (int32_t x = 0; x < w; ++x) out[x] = source.GetPixel(x, y);
      break;
  }
}

// Stores one row of indices into a 1-, 4- or 8-bit picture whose row is
// still zero.
void WriteIndexRow(ImageBuffer& target, int32_t y, const uint8_t* indices) {
  const int32_t w = target.Width();
  uint8_t* row = target.Row(y);
  switch (target.BitCount()) {
    case 8:
      std::copy(indices, indices + w, row);
      break;
    case 4:
      for (int32_t x = 0; x < w; ++x) row[x / 2] |= static_cast<uint8_t>((indices[x] & 0xF) << (x % 2 == 0 ? 4 : 0));
      break;
    case 1:
      for (int32_t x = 0; x < w; ++x) row[x / 8] |= static_cast<uint8_t>((indices[x] & 1) << (7 - x % 8));
      break;
    default:
      break;
  }
}

}  // namespace

int Luminance(uint32_t rgb) {
  const double red = static_cast<double>((rgb >> 16) & 0xFF);
  const double green = static_cast<double>((rgb >> 8) & 0xFF);
  const double blue = static_cast<double>(rgb & 0xFF);
  const double sum = (0.299 * red + 0.587 * green) + 0.114 * blue;
  return std::clamp(static_cast<int>(sum), 0, 255);
}

int AddCarriedError(int i, const ErrorRow& row, double value) {
  double v = value + row.current[i];
  if (v < 0) v = 0;
  if (v > 255) v = 255;
  return static_cast<int>(v);
}

void SpreadError(int i, const ErrorRow& row, double e) {
  row.current[i + 1] += (e / 16) * 7;
  row.below[i + 1] += e / 16;
  row.below[i] += (e / 16) * 5;
  row.below[i - 1] += (e / 16) * 3;
}

void MapToPalette(const ImageBuffer& source, ImageBuffer& target, int count, int bits) {
  const auto buckets = SetUpBuckets(source, target, count, bits);
  ProgressSink* progress = source.GetProgressBar();
  if (progress) progress->SetRange(0, source.Height());
  NearestCache cache(*buckets, int64_t{source.Width()} * source.Height());

  const int32_t w = source.Width();
  std::vector<uint32_t> colours(static_cast<size_t>(w));
  std::vector<uint8_t> indices(static_cast<size_t>(w));
  for (int32_t y = 0; y < source.Height(); ++y) {
    ReadRow(source, y, colours.data());
    for (int32_t x = 0; x < w; ++x) indices[static_cast<size_t>(x)] = cache.IndexOf(colours[static_cast<size_t>(x)]);
    WriteIndexRow(target, y, indices.data());
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

void MapToPaletteDiffused(const ImageBuffer& source, ImageBuffer& target, int count, int bits) {
  const auto buckets = SetUpBuckets(source, target, count, bits);
  ProgressSink* progress = source.GetProgressBar();
  if (progress) progress->SetRange(0, source.Height());
  NearestCache cache(*buckets, int64_t{source.Width()} * source.Height());
  cache.SetColours(target, count);

  const int32_t w = source.Width();
  const size_t slots = static_cast<size_t>(w) + 2;
  std::vector<double> buffers(6 * slots, 0.0);
  ErrorRow red{buffers.data(), buffers.data() + slots};
  ErrorRow green{buffers.data() + 2 * slots, buffers.data() + 3 * slots};
  ErrorRow blue{buffers.data() + 4 * slots, buffers.data() + 5 * slots};

  std::vector<uint32_t> colours(static_cast<size_t>(w));
  std::vector<uint8_t> indices(static_cast<size_t>(w));
  for (int32_t y = 0; y < source.Height(); ++y) {
    ReadRow(source, y, colours.data());
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = colours[static_cast<size_t>(x)];
      const int qr = AddCarriedError(x + 1, red, static_cast<double>((p >> 16) & 0xFF));
      const int qg = AddCarriedError(x + 1, green, static_cast<double>((p >> 8) & 0xFF));
      const int qb = AddCarriedError(x + 1, blue, static_cast<double>(p & 0xFF));
      uint32_t chosen = 0;
      const uint8_t index =
          cache.IndexAndColour(static_cast<uint32_t>(qr) << 16 | static_cast<uint32_t>(qg) << 8 | static_cast<uint32_t>(qb),
                               chosen);
      SpreadError(x + 1, red, static_cast<double>(qr - static_cast<int>((chosen >> 16) & 0xFF)));
      SpreadError(x + 1, green, static_cast<double>(qg - static_cast<int>((chosen >> 8) & 0xFF)));
      SpreadError(x + 1, blue, static_cast<double>(qb - static_cast<int>(chosen & 0xFF)));
      indices[static_cast<size_t>(x)] = index;
    }
    WriteIndexRow(target, y, indices.data());
    // The row below becomes the current row; the new row below starts at 0.
    for (ErrorRow* row : {&red, &green, &blue}) {
      std::swap(row->current, row->below);
      std::fill(row->below, row->below + slots, 0.0);
    }
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

}  // namespace pixmill
