// The colours of a picture, counted by cell, and what is measured of cells.
#include <algorithm>
#include <numeric>
#include <vector>

#include "color/quality_stages.h"

namespace pixmill::quality {

namespace {

// The cells' means (in thirty-firsts of a level) and the end mark after the
// last cell, once the cells are counted.
Colours Finished(Colours out) {
  for (int c = 0; c < 3; ++c) {
    for (const Cell& cell : out.cells) {
      out.mean[c].push_back(31.0 / static_cast<double>(cell.count) * static_cast<double>(cell.sum[c]));
    }
  }
  out.cells.push_back({0, static_cast<uint32_t>(out.rgb.size()), 0, {0, 0, 0}, 0});
  return out;
}

}  // namespace

Colours CollectColours(const ImageBuffer& image, const uint8_t* transparent) {
  const int32_t w = image.Width();
  std::vector<uint32_t> row(static_cast<size_t>(w));
  auto eachVisible = [&](auto&& use) {
    for (int32_t y = 0; y < image.Height(); ++y) {
      image.GetRowPixels(y, row.data());
      const uint8_t* hidden = transparent ? transparent + static_cast<size_t>(y) * static_cast<size_t>(w) : nullptr;
      for (int32_t x = 0; x < w; ++x) {
        if (!(hidden && hidden[x])) use(row[static_cast<size_t>(x)] & 0xFFFFFF);
      }
    }
  };
  // Pixels per cell, then each pixel's low 3 bits a channel stored by cell.
  std::vector<uint32_t> start(kCodes + 1, 0);
  eachVisible([&](uint32_t c) { ++start[NearestEntry::CellOf(c) + 1]; });
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::vector<uint16_t> low(start[kCodes]);
  {
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    eachVisible([&](uint32_t c) {
      low[next[NearestEntry::CellOf(c)]++] = static_cast<uint16_t>((c >> 10 & 0x1C0) | (c >> 5 & 0x38) | (c & 7));
    });
  }
  Colours out;
  std::vector<uint32_t> tally(512);
  for (Code code = 0; code < kCodes; ++code) {
    const uint32_t from = start[code], to = start[code + 1];
    if (from == to) continue;
    Cell cell{code, static_cast<uint32_t>(out.rgb.size()), to - from, {0, 0, 0}, 0};
    // A count per low part for a crowded cell, else a sort.
    auto add = [&](uint32_t part, uint32_t n) {
      const uint32_t base = StoredOf(code);
      const uint32_t c = base | (part >> 6) << 16 | ((part >> 3) & 7) << 8 | (part & 7);
      out.rgb.push_back(c);
      out.count.push_back(n);
      for (int k = 0; k < 3; ++k) {
        const uint64_t v = (c >> (16 - 8 * k)) & 0xFF;
        cell.sum[k] += n * v;
        cell.squares += n * v * v;
      }
    };
    if (to - from > 256) {
      for (uint32_t i = from; i < to; ++i) ++tally[low[i]];
      for (uint32_t part = 0; part < 512; ++part) {
        if (tally[part]) add(part, tally[part]);
        tally[part] = 0;
      }
    } else {
      std::sort(low.begin() + from, low.begin() + to);
      for (uint32_t i = from; i < to;) {
        uint32_t j = i + 1;
        while (j < to && low[j] == low[i]) ++j;
        add(low[i], j - i);
        i = j;
      }
    }
    out.cells.push_back(cell);
  }
  return Finished(std::move(out));
}

// The same colours in cells of 2 x 2 x 2 cells, each named by the code of
// its first cell: for the whole-cell rounds of a small palette, which need
// no lists.
Colours Coarser(const Colours& fine) {
  const size_t n = fine.cells.size() - 1;
  auto key = [&](size_t i) { return fine.cells[i].code & ~PackCode(1, 1, 1); };
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t p, size_t q) { return key(p) < key(q); });
  Colours out;
  for (size_t at = 0; at < n;) {
    Cell cell{key(order[at]), static_cast<uint32_t>(out.rgb.size()), 0, {0, 0, 0}, 0};
    for (; at < n && key(order[at]) == cell.code; ++at) {
      const size_t i = order[at];
      const Cell& part = fine.cells[i];
      cell.count += part.count;
      for (int c = 0; c < 3; ++c) cell.sum[c] += part.sum[c];
      cell.squares += part.squares;
      out.rgb.insert(out.rgb.end(), fine.rgb.begin() + part.begin, fine.rgb.begin() + fine.cells[i + 1].begin);
      out.count.insert(out.count.end(), fine.count.begin() + part.begin, fine.count.begin() + fine.cells[i + 1].begin);
    }
    out.cells.push_back(cell);
  }
  return Finished(std::move(out));
}

// The squared error of a whole cell shown as entry e, in thirty-firsts of a
// level squared: sum of |31 x - e|^2 = 961 squares - 62 e.sum + count |e|^2.
int64_t CellError(const Cell& cell, const Point& e) {
  const int64_t dot = e.r * static_cast<int64_t>(cell.sum[0]) + e.g * static_cast<int64_t>(cell.sum[1]) +
                      e.b * static_cast<int64_t>(cell.sum[2]);
  const int64_t norm =
      static_cast<int64_t>(e.r) * e.r + static_cast<int64_t>(e.g) * e.g + static_cast<int64_t>(e.b) * e.b;
  return 961 * static_cast<int64_t>(cell.squares) - 62 * dot + static_cast<int64_t>(cell.count) * norm;
}

// The 5-bit colour nearest to a mean of 8-bit channels, channel by channel:
// c = round(31 sum / (255 count)), halves up.
Code NearestCode(const uint64_t sum[3], uint64_t count) {
  int c[3];
  for (int k = 0; k < 3; ++k) c[k] = static_cast<int>((62 * sum[k] + 255 * count) / (510 * count));
  return PackCode(c[0], c[1], c[2]);
}

// The 5-bit colour nearest to the mean of cell i, or else to one of its
// colours, that is not `taken`; kCodes when there is none.
Code FreeCode(const Colours& colours, size_t i, const std::vector<uint8_t>& taken) {
  const Cell& cell = colours.cells[i];
  if (const Code c = NearestCode(cell.sum, cell.count); !taken[c]) return c;
  for (uint32_t j = cell.begin; j < colours.cells[i + 1].begin; ++j) {
    const uint32_t rgb = colours.rgb[j];
    const uint64_t one[3] = {rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF};
    if (const Code c = NearestCode(one, 1); !taken[c]) return c;
  }
  return kCodes;
}

}  // namespace pixmill::quality
