// Fitting the quality palette: Lloyd's rounds (k-means weighted by counts)
// from the variance cut, and for small palettes a harder search.
#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

#include "color/quality_stages.h"

namespace pixmill::quality {

namespace {

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

}  // namespace

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

}  // namespace pixmill::quality
