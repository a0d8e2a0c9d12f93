#include "color/nearest.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pixmill {

namespace {

constexpr int kShift[3] = {2, 1, 0};  // the boxes of each level: 4, 2 and 1 cells a side

}  // namespace

NearestEntry::NearestEntry(int32_t scale, bool continuous) : m_scale(scale), m_reach(continuous ? 8 : 7) {}

void NearestEntry::MakeTables() {
  for (int level = 0; level < kLevels; ++level) m_at[level].assign(size_t{1} << (3 * (5 - kShift[level])), kUnknown);
}

void NearestEntry::Reset(const std::vector<Point>& entries) {
  m_points = entries;
  m_all.clear();
  for (size_t k = 0; k < entries.size(); ++k) {
    m_all.push_back({static_cast<int16_t>(entries[k].r), static_cast<int16_t>(entries[k].g),
                     static_cast<int16_t>(entries[k].b), static_cast<uint16_t>(k)});
  }
  while (m_all.size() % 4 != 0) m_all.push_back(kFiller);
  for (auto& at : m_at) at.clear();  // made again when a cell is first asked for
  m_lists.clear();
}

int NearestEntry::Nearest(const double level[3]) {
  auto cell = [](double v) { return static_cast<uint32_t>(std::min(static_cast<int>(v / 8), 31)); };
  const std::span<const Candidate> list = Candidates(cell(level[0]) << 10 | cell(level[1]) << 5 | cell(level[2]));
  const double r = m_scale * level[0], g = m_scale * level[1], b = m_scale * level[2];
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
  uint32_t& at = m_at[level][static_cast<size_t>((((r >> shift) << bits | (g >> shift)) << bits) | (b >> shift))];
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
    lo[c] = m_scale * 8 * size * index[c];
    hi[c] = m_scale * std::min(8 * size * (index[c] + 1) - 8 + m_reach, 255);
  }
  m_from.clear();
  if (from == kUnknown) {
    for (size_t k = 0; k < m_points.size(); ++k) {
      const Point& p = m_points[k];
      m_from.push_back(
          {static_cast<int16_t>(p.r), static_cast<int16_t>(p.g), static_cast<int16_t>(p.b), static_cast<uint16_t>(k)});
    }
  } else {
    m_from.assign(m_lists.begin() + from + 1, m_lists.begin() + from + 1 + m_lists[from].position);  // no fillers
  }
  // Squares of at most 7905 and their sums of three fit in 32 bits.
  m_near.resize(m_from.size());
  int32_t bound = std::numeric_limits<int32_t>::max();
  for (size_t k = 0; k < m_from.size(); ++k) {
    const int32_t x[3] = {m_from[k].r, m_from[k].g, m_from[k].b};
    int32_t nearest = 0, farthest = 0;
    for (int c = 0; c < 3; ++c) {
      const int32_t out = std::max({lo[c] - x[c], 0, x[c] - hi[c]});
      const int32_t far = std::max(x[c] - lo[c], hi[c] - x[c]);
      nearest += out * out;
      farthest += far * far;
    }
    m_near[k] = nearest;
    bound = std::min(bound, farthest);
  }
  const auto at = static_cast<uint32_t>(m_lists.size());
  m_lists.push_back({0, 0, 0, 0});
  for (size_t k = 0; k < m_from.size(); ++k) {
    if (m_near[k] <= bound) m_lists.push_back(m_from[k]);
  }
  m_lists[at].position = static_cast<uint16_t>(m_lists.size() - at - 1);
  // Fillers up to a multiple of four, for the search that takes four at a
  // time: farther from every colour than any entry can be (8095 units or
  // more a channel), and their squares still fit in 32 bits.
  while ((m_lists.size() - at - 1) % 4 != 0) m_lists.push_back(kFiller);
  return at;
}

}  // namespace pixmill
