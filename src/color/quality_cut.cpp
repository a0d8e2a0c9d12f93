// The first centres of the quality palette: a variance cut.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "color/quality_stages.h"

namespace pixmill::quality {

namespace {

// A box is a range of `order` (positions in the cells).
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

}  // namespace

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

}  // namespace pixmill::quality
