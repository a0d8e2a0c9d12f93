// The stages of the quality palette, for its files: the colours of the
// picture counted by cell (quality_colours.cpp), the first centres by a
// variance cut (quality_cut.cpp), and Lloyd's rounds with the harder search
// of small palettes (quality_fit.cpp). How they work: docs/quality-palette.md.
#pragma once

#include <cstdint>
#include <vector>

#include "color/nearest.h"
#include "color/oklab.h"
#include "image/image_buffer.h"

namespace pixmill::quality {

// A 5-bit colour as red << 10 | green << 5 | blue; the same number names the
// cell of the 8-bit colours whose top 5 bits those are.
using Code = uint32_t;
constexpr Code kCodes = 1u << 15;

constexpr int Red(Code c) { return static_cast<int>(c >> 10); }
constexpr int Green(Code c) { return static_cast<int>((c >> 5) & 31); }
constexpr int Blue(Code c) { return static_cast<int>(c & 31); }
constexpr Code PackCode(int r, int g, int b) {
  return static_cast<Code>(r) << 10 | static_cast<Code>(g) << 5 | static_cast<Code>(b);
}
constexpr uint32_t StoredOf(Code c) { return StoredRgb(Red(c), Green(c), Blue(c)); }

// An entry in thirty-firsts of a level: 255 c a channel.
using Point = NearestEntry::Point;
constexpr Point PointOf(Code c) { return {255 * Red(c), 255 * Green(c), 255 * Blue(c)}; }

// The entries as the nearest search takes them: a colour's channel v is 31 v.
inline NearestEntry Search(bool continuous) { return NearestEntry(31, continuous); }
inline void Reset(NearestEntry& nearest, const std::vector<Code>& entries) {
  std::vector<Point> points(entries.size());
  std::transform(entries.begin(), entries.end(), points.begin(), PointOf);
  nearest.Reset(points);
}

inline int32_t Distance(int32_t r, int32_t g, int32_t b, const Point& e) {
  const int32_t dr = r - e.r, dg = g - e.g, db = b - e.b;
  return dr * dr + dg * dg + db * db;
}

// A cell met, with its sums.
struct Cell {
  Code code;
  uint32_t begin;  // its colours: colours[begin .. next cell's begin - 1]
  uint64_t count;
  uint64_t sum[3];
  uint64_t squares;  // of every channel of every pixel
};

struct Colours {
  std::vector<Cell> cells;      // in increasing order, then an end with only `begin`
  std::vector<uint32_t> rgb;    // the distinct colours, by cell
  std::vector<uint32_t> count;  // pixels of each
  std::vector<double> mean[3];  // per cell, its mean channel x 31
};

// Step 1: the visible pixels (those `transparent` does not mark) counted by
// colour, grouped by cell.
Colours CollectColours(const ImageBuffer& image, const uint8_t* transparent);

// The same colours in cells of 2 x 2 x 2 cells, each named by the code of
// its first cell: for the whole-cell rounds of a small palette.
Colours Coarser(const Colours& fine);

// The squared error of a whole cell shown as entry e, in thirty-firsts of a
// level squared.
int64_t CellError(const Cell& cell, const Point& e);

// The 5-bit colour nearest to a mean of 8-bit channels, channel by channel.
Code NearestCode(const uint64_t sum[3], uint64_t count);

// The 5-bit colour nearest to the mean of cell i, or else to one of its
// colours, that is not `taken`; kCodes when there is none.
Code FreeCode(const Colours& colours, size_t i, const std::vector<uint8_t>& taken);

// Step 2: k first centres by a variance cut.
std::vector<Code> FirstCentres(const Colours& colours, int k);

// Steps 2 to 4: the entries for `slots` places, most used first.
std::vector<Code> FitColours(const Colours& colours, int slots);

}  // namespace pixmill::quality
