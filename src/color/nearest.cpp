#include "color/nearest.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pixmill {

namespace {

constexpr int kShift[3] = {2, 1, 0};  // the boxes of each level: 4, 2 and 1 cells a side

}  // namespace

NearestEntry::NearestEntry(int32_t scale, bool continuous) : scale_(scale), reach_(continuous ? 8 : 7) {
  for (int level = 0; level < kLevels; ++level) at_[level].assign(size_t{1} << (3 * (5 - kShift[level])), kUnknown);
}

void NearestEntry::Reset(const std::vector<Point>& entries) {
  points_ = entries;
  for (auto& at : at_) std::fill(at.begin(), at.end(), kUnknown);
  lists_.clear();
}

std::span<const NearestEntry::Candidate> NearestEntry::Candidates(uint32_t cell) {
  const uint32_t at =
      Find(kLevels - 1, static_cast<int>(cell >> 10), static_cast<int>((cell >> 5) & 31), static_cast<int>(cell & 31));
  return {lists_.data() + at + 1, lists_[at].position};
}

int NearestEntry::Nearest(const double level[3]) {
  auto cell = [](double v) { return static_cast<uint32_t>(std::min(static_cast<int>(v / 8), 31)); };
  const std::span<const Candidate> list = Candidates(cell(level[0]) << 10 | cell(level[1]) << 5 | cell(level[2]));
  const double r = scale_ * level[0], g = scale_ * level[1], b = scale_ * level[2];
  double least = std::numeric_limits<double>::infinity();
  int chosen = 0;
  for (const Candidate& e : list) {
    const double dr = r - e.r, dg = g - e.g, db = b - e.b;
    const double d = (dr * dr + dg * dg) + db * db;
    const bool nearer = d < least;
    least = nearer ? d : least;
    chosen = nearer ? e.position : chosen;
  }
  return chosen;
}

uint32_t NearestEntry::Find(int level, int r, int g, int b) {
  const int shift = kShift[level];
  const int bits = 5 - shift;
  uint32_t& at = at_[level][static_cast<size_t>((((r >> shift) << bits | (g >> shift)) << bits) | (b >> shift))];
  if (at == kUnknown) {
    const uint32_t from = level == 0 ? kUnknown : Find(level - 1, r, g, b);
    at = Build(r >> shift, g >> shift, b >> shift, 1 << shift, from);
  }
  return at;
}

// Makes the list of the box of `size` cells a side at (ir, ig, ib), in
// units of its own side, from the list at `from` (every entry when
// kUnknown); returns where it starts.
uint32_t NearestEntry::Build(int ir, int ig, int ib, int size, uint32_t from) {
  int32_t lo[3], hi[3];
  const int index[3] = {ir, ig, ib};
  for (int c = 0; c < 3; ++c) {
    lo[c] = scale_ * 8 * size * index[c];
    hi[c] = scale_ * std::min(8 * size * (index[c] + 1) - 8 + reach_, 255);
  }
  from_.clear();
  if (from == kUnknown) {
    for (size_t k = 0; k < points_.size(); ++k) {
      const Point& p = points_[k];
      from_.push_back(
          {static_cast<int16_t>(p.r), static_cast<int16_t>(p.g), static_cast<int16_t>(p.b), static_cast<uint16_t>(k)});
    }
  } else {
    from_.assign(lists_.begin() + from + 1, lists_.begin() + from + 1 + lists_[from].position);
  }
  // Squares of at most 7905 and their sums of three fit in 32 bits.
  near_.resize(from_.size());
  int32_t bound = std::numeric_limits<int32_t>::max();
  for (size_t k = 0; k < from_.size(); ++k) {
    const int32_t x[3] = {from_[k].r, from_[k].g, from_[k].b};
    int32_t nearest = 0, farthest = 0;
    for (int c = 0; c < 3; ++c) {
      const int32_t out = std::max({lo[c] - x[c], 0, x[c] - hi[c]});
      const int32_t far = std::max(x[c] - lo[c], hi[c] - x[c]);
      nearest += out * out;
      farthest += far * far;
    }
    near_[k] = nearest;
    bound = std::min(bound, farthest);
  }
  const auto at = static_cast<uint32_t>(lists_.size());
  lists_.push_back({0, 0, 0, 0});
  for (size_t k = 0; k < from_.size(); ++k) {
    if (near_[k] <= bound) lists_.push_back(from_[k]);
  }
  lists_[at].position = static_cast<uint16_t>(lists_.size() - at - 1);
  return at;
}

}  // namespace pixmill
