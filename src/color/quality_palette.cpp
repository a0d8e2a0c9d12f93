// The quality palette and its mapping judge a colour the way the change
// report's PSNR does: by the levels the console shows (a 5-bit channel c as
// c * 255 / 31) against the picture's 8-bit channels, summing the squared
// differences of red, green and blue. Fitting, mapping and diffusion all
// work in that one space.
//
// Distances are whole numbers: a channel v (0..255) against a 5-bit channel
// c differs by 31 v - 255 c thirty-firsts of a level, so a squared distance
// is at most 3 x 7905^2 and the sums over a picture fit in 64 bits. The
// mapping's nearest entry is then exact, with no rounding to break a tie.
//
// The palette is fitted in four steps.
//
//  1. Colours. The visible pixels are counted by colour, grouped by cell: a
//     cell is the 8 x 8 x 8 colours that share their top 5 bits. Each cell
//     keeps its count and the sums of its channels and of their squares, so
//     a cell that goes to one entry as a whole costs one step, and its
//     squared error is known exactly from those sums.
//  2. A variance cut makes the first centres: from one box of all cells
//     (each at its mean, weighted by its count; the colours themselves when
//     there are fewer cells than entries), the box with the largest
//     squared error is cut across its principal axis where the errors of the
//     two halves add up to the least, until there are as many boxes as
//     entries. Each box's mean, at its nearest 5-bit colour, is a centre.
//  3. Lloyd's rounds (k-means weighted by counts): every colour goes to its
//     nearest centre, then every centre moves to the 5-bit colour nearest to
//     the mean of its colours, which is, channel by channel, the shown colour
//     with the least squared error over them. Neither step can raise the
//     total error; the rounds go on while it falls. A centre left without
//     colours, or on another's colour, moves to the cell that costs the
//     most. The first rounds move whole cells (each to the centre nearest its
//     mean; not when there are fewer cells than entries), the last ones
//     every colour, exactly as the mapping will. With 16 colours or fewer,
//     where a poor local least costs most, the search goes further: after
//     the whole-cell rounds, single centres are moved
//     from where they cost least to lose to the cell that costs the most,
//     each move kept when the rounds after it end with less error (see
//     Improve), and the same runs from kStarts other starts (seeded as
//     k-means++ does, from a fixed sequence, on cells twice as wide, for
//     speed); the best of those, after the last rounds, replaces the first
//     when its error is less.
//  4. The entries are the centres, most used first.
//
// When the 5-bit colours shown nearest to the picture's colours are no more
// than the entries, they are the entries, and the mapping gives each colour
// its own (as few colours as entries always do).
// Every step is deterministic: fixed orders, whole-number sums, ties to the
// first.
//
// The nearest entry is found through lists made per cell: only the entries
// that can be nearest to some colour of the cell are kept, those no farther
// from the cell's box than the least farthest-distance of any entry from
// it. A cell's list is made from the list of the box of 2 x 2 x 2 cells it
// lies in, and that from the list of the box of 4 x 4 x 4 cells, made from
// the whole palette. Lists keep the palette's order, so a scan with a strict
// comparison gives the lowest index among equals, as a scan of the whole
// palette would.
//
// With diffusion the error is carried in the same shown levels: the weights
// of Floyd-Steinberg, rows left to right, top down, the wanted colour (the
// pixel plus the error it takes) clamped to 0..255, the error passed on
// being the wanted colour less the shown one. Two limits keep the error
// where it helps; without them photos lose 3.6 dB more of PSNR at 16
// colours and 2.1 dB at 256, on average.
//  - A pixel takes all of the error carried to it where the picture is
//    calm, none where it is busy: the share falls in a straight line from
//    1 at a contrast of kCalm levels to 0 at kBusy, the contrast being the
//    largest difference of a channel from the visible neighbours left,
//    right, above and below. Steps between entries show on smooth areas;
//    on detail and grain they do not, and diffused error only adds noise.
//  - The error taken is limited to a length of kCarryShare times the
//    palette's spacing (the median distance from an entry to the nearest
//    other entry): a larger error, passed on where the palette has no
//    colour near, comes out as scattered dots of other hues.
// With error in linear light instead (where neighbouring dots mix in the
// eye), the PSNR at 256 colours is lower for as much diffusion.
#include "color/quality_palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "color/diffusion.h"
#include "color/nearest.h"
#include "color/oklab.h"

namespace pixmill {

namespace {

// Diffusion: the carried error is limited to this share of the palette's
// spacing, and a pixel takes all of it up to a contrast of kCalm levels
// around it, none from kBusy on.
constexpr double kCarryShare = 0.6;
constexpr int kCalm = 4;
constexpr int kBusy = 16;
// Lloyd's rounds at most in one run.
constexpr int kRounds = 24;
// Up to this many centres, whole cells are placed by a scan of them all.
constexpr size_t kFewCentres = 32;
// Palettes of up to kSmall fitted entries (16 colours or fewer) are searched
// harder: from the variance cut and from kStarts seeded starts, each run
// followed by up to kMoves moves of one centre (see Improve), trying the
// kTries centres that cost least to lose.
constexpr int kSmall = 15;
constexpr int kStarts = 8;
static_assert(kSmall <= kFewCentres, "the wide cells of the other starts have no lists");
constexpr int kMoves = 16;
constexpr int kTries = 2;

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
NearestEntry Search(bool continuous) { return NearestEntry(31, continuous); }
void Reset(NearestEntry& nearest, const std::vector<Code>& entries) {
  std::vector<Point> points(entries.size());
  std::transform(entries.begin(), entries.end(), points.begin(), PointOf);
  nearest.Reset(points);
}

inline int32_t Distance(int32_t r, int32_t g, int32_t b, const Point& e) {
  const int32_t dr = r - e.r, dg = g - e.g, db = b - e.b;
  return dr * dr + dg * dg + db * db;
}

// Step 1. A cell met, with its sums.
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

// Step 2. A box is a range of `order` (positions in the cells).
struct Box {
  int begin;
  int end;
  double error;  // weighted squared error around the box's mean
};

using Rgb = std::array<double, 3>;

// The weighted mean of a box, and its scatter matrix (xx, xy, xz, yy, yz, zz).
double Spread(const std::vector<Rgb>& means, const std::vector<double>& weights, const std::vector<int>& order,
              int begin, int end, Rgb& mean, double m[6]) {
  double w = 0;
  Rgb s{0, 0, 0};
  for (int i = begin; i < end; ++i) {
    const size_t id = static_cast<size_t>(order[static_cast<size_t>(i)]);
    w += weights[id];
    for (int k = 0; k < 3; ++k) s[k] += weights[id] * means[id][k];
  }
  for (int k = 0; k < 3; ++k) mean[k] = s[k] / w;
  std::fill(m, m + 6, 0.0);
  for (int i = begin; i < end; ++i) {
    const size_t id = static_cast<size_t>(order[static_cast<size_t>(i)]);
    const double d[3] = {means[id][0] - mean[0], means[id][1] - mean[1], means[id][2] - mean[2]};
    m[0] += weights[id] * d[0] * d[0];
    m[1] += weights[id] * d[0] * d[1];
    m[2] += weights[id] * d[0] * d[2];
    m[3] += weights[id] * d[1] * d[1];
    m[4] += weights[id] * d[1] * d[2];
    m[5] += weights[id] * d[2] * d[2];
  }
  return (m[0] + m[3]) + m[5];
}

// The principal axis of a scatter matrix (xx, xy, xz, yy, yz, zz) as a unit
// vector, by power iteration from the axis of largest spread.
void PrincipalAxis(const double m[6], double v[3]) {
  v[0] = v[1] = v[2] = 0;
  v[m[0] >= m[3] && m[0] >= m[5] ? 0 : (m[3] >= m[5] ? 1 : 2)] = 1;
  for (int it = 0; it < 16; ++it) {
    const double u[3] = {(m[0] * v[0] + m[1] * v[1]) + m[2] * v[2], (m[1] * v[0] + m[3] * v[1]) + m[4] * v[2],
                         (m[2] * v[0] + m[4] * v[1]) + m[5] * v[2]};
    const double norm = std::sqrt((u[0] * u[0] + u[1] * u[1]) + u[2] * u[2]);
    if (!(norm > 0)) break;
    for (int k = 0; k < 3; ++k) v[k] = u[k] / norm;
  }
}

// Cuts the box across its principal axis where the errors of the two halves
// add up to the least, among 64 even steps of the axis (the rounds after it
// refine the boundaries); returns where the second half starts.
int CutBox(const std::vector<Rgb>& means, const std::vector<double>& weights, std::vector<int>& order, int begin,
           int end) {
  Rgb mean;
  double m[6];
  Spread(means, weights, order, begin, end, mean, m);
  double v[3];
  PrincipalAxis(m, v);
  auto project = [&](int id) {
    const Rgb& c = means[static_cast<size_t>(id)];
    return (v[0] * (c[0] - mean[0]) + v[1] * (c[1] - mean[1])) + v[2] * (c[2] - mean[2]);
  };
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (int i = begin; i < end; ++i) {
    const double t = project(order[static_cast<size_t>(i)]);
    low = std::min(low, t);
    high = std::max(high, t);
  }
  // Sums per step around the box's mean (small numbers, so the differences
  // lose little).
  constexpr int kSteps = 64;
  const double scale = high > low ? kSteps / (high - low) : 0;
  auto stepOf = [&](int id) { return std::min(static_cast<int>((project(id) - low) * scale), kSteps - 1); };
  double W[kSteps + 1] = {}, Q[kSteps + 1] = {};
  Rgb S[kSteps + 1] = {};
  for (int i = begin; i < end; ++i) {
    const int id = order[static_cast<size_t>(i)];
    const double w = weights[static_cast<size_t>(id)];
    const int k = stepOf(id) + 1;
    double q = 0;
    for (int c = 0; c < 3; ++c) {
      const double d = means[static_cast<size_t>(id)][c] - mean[c];
      S[k][c] += w * d;
      q += d * d;
    }
    W[k] += w;
    Q[k] += w * q;
  }
  for (int k = 1; k <= kSteps; ++k) {
    W[k] += W[k - 1];
    for (int c = 0; c < 3; ++c) S[k][c] += S[k - 1][c];
    Q[k] += Q[k - 1];
  }
  auto error = [&](int from, int to) {
    const double w = W[to] - W[from];
    if (!(w > 0)) return 0.0;
    double s2 = 0;
    for (int c = 0; c < 3; ++c) s2 += (S[to][c] - S[from][c]) * (S[to][c] - S[from][c]);
    return (Q[to] - Q[from]) - s2 / w;
  };
  int cut = -1;
  double least = std::numeric_limits<double>::infinity();
  for (int k = 1; k < kSteps; ++k) {
    if (!(W[k] > 0) || !(W[kSteps] - W[k] > 0)) continue;
    const double e = error(0, k) + error(k, kSteps);
    if (e < least) {
      least = e;
      cut = k;
    }
  }
  // Cells that all project alike (a spread along the axis too small to
  // step): split the range in two halves.
  if (cut < 0) return begin + (end - begin) / 2;
  const auto middle =
      std::stable_partition(order.begin() + begin, order.begin() + end, [&](int id) { return stepOf(id) < cut; });
  return static_cast<int>(middle - order.begin());
}

// The 5-bit colour nearest to a mean of 8-bit channels, channel by channel:
// c = round(31 sum / (255 count)), halves up.
Code NearestCode(const uint64_t sum[3], uint64_t count) {
  int c[3];
  for (int k = 0; k < 3; ++k) c[k] = static_cast<int>((62 * sum[k] + 255 * count) / (510 * count));
  return PackCode(c[0], c[1], c[2]);
}

// The samples are the cells at their means, or the colours themselves when
// there are fewer cells than centres to place.
std::vector<Code> FirstCentres(const Colours& colours, int k) {
  const size_t cells = colours.cells.size() - 1;
  const bool byColour = cells < static_cast<size_t>(k);
  const size_t n = byColour ? colours.rgb.size() : cells;
  std::vector<Rgb> means(n);
  std::vector<double> weights(n);
  std::vector<std::array<uint64_t, 4>> sums(n);  // red, green, blue, count
  for (size_t i = 0; i < n; ++i) {
    if (byColour) {
      const uint32_t c = colours.rgb[i];
      const uint64_t count = colours.count[i];
      sums[i] = {count * (c >> 16), count * ((c >> 8) & 0xFF), count * (c & 0xFF), count};
    } else {
      const Cell& c = colours.cells[i];
      sums[i] = {c.sum[0], c.sum[1], c.sum[2], c.count};
    }
    weights[i] = static_cast<double>(sums[i][3]);
    for (int ch = 0; ch < 3; ++ch) means[i][ch] = static_cast<double>(sums[i][ch]) / weights[i];
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  Rgb mean;
  double m[6];
  std::vector<Box> boxes{{0, static_cast<int>(n), Spread(means, weights, order, 0, static_cast<int>(n), mean, m)}};
  while (static_cast<int>(boxes.size()) < k) {
    size_t pick = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      const Box& b = boxes[i];
      if (b.end - b.begin < 2 || !(b.error > 0)) continue;
      if (pick == boxes.size() || b.error > boxes[pick].error) pick = i;
    }
    if (pick == boxes.size()) break;
    const Box b = boxes[pick];
    const int cut = CutBox(means, weights, order, b.begin, b.end);
    boxes[pick] = {b.begin, cut, Spread(means, weights, order, b.begin, cut, mean, m)};
    boxes.push_back({cut, b.end, Spread(means, weights, order, cut, b.end, mean, m)});
  }
  std::vector<Code> centres;
  for (const Box& b : boxes) {
    uint64_t sum[3] = {0, 0, 0}, count = 0;
    for (int i = b.begin; i < b.end; ++i) {
      const auto& s = sums[static_cast<size_t>(order[static_cast<size_t>(i)])];
      for (int ch = 0; ch < 3; ++ch) sum[ch] += s[ch];
      count += s[3];
    }
    centres.push_back(NearestCode(sum, count));
  }
  return centres;
}

// What one round gives each centre.
struct Tally {
  uint64_t count;
  uint64_t sum[3];
};

// Step 3, one assignment: every cell (`wholeCells`) or colour to its nearest
// centre. Returns the total squared error; `cost` gets each cell's.
int64_t Assign(const Colours& colours, NearestEntry& nearest, const std::vector<Code>& centres, bool wholeCells,
               std::vector<Tally>& tally, std::vector<int64_t>& cost) {
  const size_t k = centres.size();
  std::vector<Point> points(k);
  std::transform(centres.begin(), centres.end(), points.begin(), PointOf);
  tally.assign(k, Tally{0, {0, 0, 0}});
  const size_t n = colours.cells.size() - 1;
  cost.resize(n);
  // Whole cells among few centres: each cell's mean against every centre,
  // centre by centre, which is quicker than making the lists.
  std::vector<int64_t> chosen;  // as wide as the distances, for the vector unit
  if (wholeCells && k <= kFewCentres) {
    std::vector<double> least(n, std::numeric_limits<double>::infinity());
    chosen.assign(n, 0);
    const double* mean[3] = {colours.mean[0].data(), colours.mean[1].data(), colours.mean[2].data()};
    double* nearestSoFar = least.data();
    int64_t* which = chosen.data();
    for (size_t j = 0; j < k; ++j) {
      const double e[3] = {static_cast<double>(points[j].r), static_cast<double>(points[j].g),
                           static_cast<double>(points[j].b)};
      const int64_t at = static_cast<int64_t>(j);
      for (size_t i = 0; i < n; ++i) {
        const double d = ((mean[0][i] - e[0]) * (mean[0][i] - e[0]) + (mean[1][i] - e[1]) * (mean[1][i] - e[1])) +
                         (mean[2][i] - e[2]) * (mean[2][i] - e[2]);
        const bool nearer = d < nearestSoFar[i];
        nearestSoFar[i] = nearer ? d : nearestSoFar[i];
        which[i] = nearer ? at : which[i];
      }
    }
  } else {
    Reset(nearest, centres);
  }
  int64_t total = 0;
  for (size_t i = 0; i < n; ++i) {
    const Cell& cell = colours.cells[i];
    int entry = -1;
    if (!chosen.empty()) {
      entry = static_cast<int>(chosen[i]);
    } else if (const auto list = nearest.Candidates(cell.code); list.size() == 1 || wholeCells) {
      // The nearest to the cell's mean has the least error for all of it.
      double least = std::numeric_limits<double>::infinity();
      for (const NearestEntry::Candidate& q : list) {
        const double d = ((colours.mean[0][i] - q.r) * (colours.mean[0][i] - q.r) +
                          (colours.mean[1][i] - q.g) * (colours.mean[1][i] - q.g)) +
                         (colours.mean[2][i] - q.b) * (colours.mean[2][i] - q.b);
        if (d < least) least = d, entry = q.position;
      }
    } else {
      cost[i] = 0;
      for (uint32_t j = cell.begin; j < colours.cells[i + 1].begin; ++j) {
        const uint32_t rgb = colours.rgb[j];
        const uint64_t count = colours.count[j];
        int32_t d;
        Tally& t = tally[static_cast<size_t>(nearest.Nearest(list, rgb, d))];
        t.count += count;
        t.sum[0] += count * (rgb >> 16);
        t.sum[1] += count * ((rgb >> 8) & 0xFF);
        t.sum[2] += count * (rgb & 0xFF);
        cost[i] += static_cast<int64_t>(count) * d;
      }
    }
    if (entry >= 0) {
      Tally& t = tally[static_cast<size_t>(entry)];
      t.count += cell.count;
      for (int c = 0; c < 3; ++c) t.sum[c] += cell.sum[c];
      cost[i] = CellError(cell, points[static_cast<size_t>(entry)]);
    }
    total += cost[i];
  }
  return total;
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

// Centres with the pixel count of each and their total squared error.
struct Fit {
  std::vector<Code> centres;
  std::vector<uint64_t> use;
  int64_t error = std::numeric_limits<int64_t>::max();
};

// Step 3: Lloyd's rounds from `centres` over whole cells or over every
// colour, while the error falls; the best round's centres.
Fit Lloyd(const Colours& colours, std::vector<Code> centres, bool wholeCells, NearestEntry& nearest) {
  std::vector<Tally> tally;
  std::vector<int64_t> cost;
  std::vector<uint8_t> taken(kCodes, 0);
  Fit best;
  for (int round = 0; round < kRounds; ++round) {
    const int64_t error = Assign(colours, nearest, centres, wholeCells, tally, cost);
    if (!(error < best.error)) break;

    best.error = error;
    best.centres = centres;
    best.use.resize(centres.size());
    for (size_t j = 0; j < centres.size(); ++j) best.use[j] = tally[j].count;

    bool moved = false;
    std::vector<size_t> lost;
    for (size_t j = 0; j < centres.size(); ++j) {
      Code c = centres[j];
      if (tally[j].count > 0) c = NearestCode(tally[j].sum, tally[j].count);
      if (tally[j].count == 0 || taken[c]) {
        lost.push_back(j);
        continue;
      }
      taken[c] = 1;
      moved = moved || c != centres[j];
      centres[j] = c;
    }
    if (!lost.empty()) {
      // To the cells that cost the most; a centre with nowhere to go is
      // dropped.
      std::vector<size_t> byCost(cost.size());
      std::iota(byCost.begin(), byCost.end(), size_t{0});
      std::stable_sort(byCost.begin(), byCost.end(), [&](size_t p, size_t q) { return cost[p] > cost[q]; });
      size_t next = 0;
      std::vector<Code> kept;
      for (size_t j = 0, l = 0; j < centres.size(); ++j) {
        if (l < lost.size() && lost[l] == j) {
          ++l;
          for (; next < byCost.size(); ++next) {
            const Code c = FreeCode(colours, byCost[next], taken);
            if (c == kCodes) continue;
            taken[c] = 1;
            kept.push_back(c);
            moved = true;
            break;
          }
        } else {
          kept.push_back(centres[j]);
        }
      }
      centres = kept;
    }
    for (const Code c : centres) taken[c] = 0;
    if (!moved) break;
  }
  return best;
}

// Step 3 for a small palette: Lloyd's rounds stop at the nearest local
// least, often with two centres sharing what one could cover while some
// colours are far from all. A move takes one of the kTries centres that
// cost least to lose (their cells going to the second nearest, each as a
// whole) to the cell that costs the most, and is kept when the rounds after
// it end with less error.
Fit Improve(const Colours& colours, Fit fit, bool wholeCells, NearestEntry& nearest) {
  std::vector<Tally> tally;
  std::vector<int64_t> cost;
  const size_t cells = colours.cells.size() - 1;
  for (int move = 0; move < kMoves; ++move) {
    const size_t k = fit.centres.size();
    if (k < 2) break;
    Assign(colours, nearest, fit.centres, wholeCells, tally, cost);
    std::vector<Point> points(k);
    std::transform(fit.centres.begin(), fit.centres.end(), points.begin(), PointOf);
    std::vector<int64_t> loss(k, 0);
    for (size_t i = 0; i < cells; ++i) {
      int64_t first = std::numeric_limits<int64_t>::max(), second = first;
      size_t at = 0;
      for (size_t j = 0; j < k; ++j) {
        const int64_t e = CellError(colours.cells[i], points[j]);
        if (e < first) {
          second = first;
          first = e;
          at = j;
        } else if (e < second) {
          second = e;
        }
      }
      loss[at] += second - first;
    }
    std::vector<uint8_t> taken(kCodes, 0);
    for (const Code c : fit.centres) taken[c] = 1;
    // The costliest cell with a colour to spare (the first among equals).
    Code target = kCodes;
    for (size_t tried = 0; tried < cells && target == kCodes; ++tried) {
      const size_t worst = static_cast<size_t>(std::max_element(cost.begin(), cost.end()) - cost.begin());
      target = FreeCode(colours, worst, taken);
      cost[worst] = -1;
    }
    if (target == kCodes) break;
    std::vector<size_t> order(k);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t p, size_t q) { return loss[p] < loss[q]; });
    bool better = false;
    for (size_t t = 0; t < std::min<size_t>(kTries, k) && !better; ++t) {
      std::vector<Code> trial = fit.centres;
      trial[order[t]] = target;
      Fit next = Lloyd(colours, trial, wholeCells, nearest);
      if (next.error < fit.error) {
        fit = std::move(next);
        better = true;
      }
    }
    if (!better) break;
  }
  return fit;
}

// Centres for another start, seeded as k-means++ does over the cells: the
// first a cell drawn by its count, each next one drawn by its count times
// its squared distance from the nearest centre so far, from a fixed
// sequence of numbers (`seed`), so the same picture always gets the same.
std::vector<Code> SeededCentres(const Colours& colours, int k, uint32_t seed) {
  auto draw = [&seed] {  // 0 <= draw() < 1
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / (1 << 24);
  };
  const size_t cells = colours.cells.size() - 1;
  std::vector<double> weight(cells);
  for (size_t i = 0; i < cells; ++i) weight[i] = static_cast<double>(colours.cells[i].count);
  std::vector<uint8_t> taken(kCodes, 0);
  std::vector<Code> centres;
  while (static_cast<int>(centres.size()) < k) {
    double total = 0;
    for (const double w : weight) total += w;
    if (!(total > 0)) break;
    double at = draw() * total;
    size_t i = 0;
    while (i + 1 < cells && at >= weight[i]) at -= weight[i++];
    const Code c = FreeCode(colours, i, taken);
    if (c == kCodes) {
      weight[i] = 0;
      continue;
    }
    taken[c] = 1;
    centres.push_back(c);
    const Point p = PointOf(c);
    for (size_t j = 0; j < cells; ++j) {
      const Cell& cell = colours.cells[j];
      const double n31 = 31.0 / static_cast<double>(cell.count);
      const double d[3] = {n31 * static_cast<double>(cell.sum[0]) - p.r, n31 * static_cast<double>(cell.sum[1]) - p.g,
                           n31 * static_cast<double>(cell.sum[2]) - p.b};
      const double far = static_cast<double>(cell.count) * ((d[0] * d[0] + d[1] * d[1]) + d[2] * d[2]);
      weight[j] = centres.size() == 1 ? far : std::min(weight[j], far);
    }
  }
  return centres;
}

// Steps 2 to 4.
std::vector<Code> FitColours(const Colours& colours, int slots) {
  std::vector<Code> centres;
  std::vector<uint64_t> use;
  // When the colours' nearest 5-bit colours fit, they are the best entries.
  std::vector<uint64_t> nearestUse(kCodes, 0);
  size_t codes = 0;
  for (size_t i = 0; i < colours.rgb.size(); ++i) {
    const uint32_t rgb = colours.rgb[i];
    const uint64_t sum[3] = {rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF};
    uint64_t& n = nearestUse[NearestCode(sum, 1)];
    codes += n == 0;
    n += colours.count[i];
  }
  if (codes <= static_cast<size_t>(slots)) {
    for (Code c = 0; c < kCodes; ++c) {
      if (nearestUse[c] == 0) continue;
      centres.push_back(c);
      use.push_back(nearestUse[c]);
    }
  } else {
    NearestEntry nearest = Search(false);
    // Whole cells first, unless there are fewer cells than entries.
    const bool wholeCells = colours.cells.size() - 1 >= static_cast<size_t>(slots);
    const bool small = slots <= kSmall;
    auto search = [&](const Colours& samples, const std::vector<Code>& start) {
      Fit fit = Lloyd(samples, start, wholeCells, nearest);
      return small ? Improve(samples, std::move(fit), wholeCells, nearest) : fit;
    };
    Fit fit = search(colours, FirstCentres(colours, slots));
    if (wholeCells) fit = Lloyd(colours, fit.centres, false, nearest);
    if (small) {
      // The other starts run on cells twice as wide, when there are enough.
      const Colours coarse = wholeCells ? Coarser(colours) : Colours{};
      const bool wide = wholeCells && coarse.cells.size() - 1 >= 2 * static_cast<size_t>(slots);
      const Colours& searched = wide ? coarse : colours;
      Fit other;
      for (int start = 1; start <= kStarts; ++start) {
        Fit next = search(searched, SeededCentres(searched, slots, static_cast<uint32_t>(start)));
        if (next.error < other.error) other = std::move(next);
      }
      if (!other.centres.empty()) {
        other = Lloyd(colours, other.centres, false, nearest);
        if (other.error < fit.error) fit = std::move(other);
      }
    }
    centres = std::move(fit.centres);
    use = std::move(fit.use);
  }
  std::vector<size_t> rank(centres.size());
  std::iota(rank.begin(), rank.end(), size_t{0});
  std::sort(rank.begin(), rank.end(),
            [&](size_t p, size_t q) { return use[p] > use[q] || (use[p] == use[q] && centres[p] < centres[q]); });
  std::vector<Code> out;
  for (const size_t r : rank) out.push_back(centres[r]);
  return out;
}

// Diffusion (see the top of this file). The typical distance between
// neighbouring entries, in levels: the median over the entries of the
// distance to the nearest different entry; 0 without two different ones.
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
