// The nearest of a list of entries to a colour: exact, the first of the
// list among equals, and fast. The colour mapping searches the palette
// entries of a luminance band this way, the quality palette its centres.
//
// Colour space is cut into cells, the 8 x 8 x 8 colours that share their
// top 5 bits. For each cell met, only the entries that can be the nearest to
// some colour of the cell are kept as its candidates: those no farther from
// the cell than the least farthest-distance of any entry from it. Every
// entry at the least distance from a colour of the cell is among them, and
// they keep the list's order, so a scan of them with a strict comparison
// gives the same answer as a scan of the whole list. A cell's candidates
// are made the first time a colour in it is asked for, from the candidates
// of the box of 2 x 2 x 2 cells it lies in, made from those of the box of
// 4 x 4 x 4 cells, made from the whole list.
#pragma once

#include <cstdint>
#include <span>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

namespace pixmill {

class NearestEntry {
 public:
  // A point in the search's units: a colour's channel v (0..255) stands at
  // scale x v.
  struct Point {
    int32_t r;
    int32_t g;
    int32_t b;
  };
  // An entry kept as a candidate: its point and its position in the list.
  struct Candidate {
    int16_t r;
    int16_t g;
    int16_t b;
    uint16_t position;
  };

  // `scale` units per level of a channel; points up to 255 x scale, at most
  // 7905 (31 units per level). `continuous`: colours are asked for anywhere
  // from 8i up to 8i + 8 in a cell's channel (255 at the top), as diffusion
  // wants them; otherwise at whole channels 8i .. 8i + 7.
  NearestEntry(int32_t scale, bool continuous);

  // The entries, in the order that breaks ties; at most 65535.
  void Reset(const std::vector<Point>& entries);
  bool Empty() const { return m_points.empty(); }

  // The candidates of a cell, named by its colours' top 5 bits: red << 10 |
  // green << 5 | blue.
  std::span<const Candidate> Candidates(uint32_t cell) {
    if (m_at[kLevels - 1].empty()) [[unlikely]]
      MakeTables();
    uint32_t at = m_at[kLevels - 1][cell];  // the cells' own level is indexed by the cell
    if (at == kUnknown) [[unlikely]] {
      at = Find(kLevels - 1, static_cast<int>(cell >> 10), static_cast<int>((cell >> 5) & 31),
                static_cast<int>(cell & 31));
    }
    return {m_lists.data() + at + 1, m_lists[at].position};
  }
  static constexpr uint32_t CellOf(uint32_t rgb) {
    return ((rgb >> 19) & 31) << 10 | ((rgb >> 11) & 31) << 5 | ((rgb >> 3) & 31);
  }

  // The position of the nearest entry to the 8-bit colour 0x00RRGGBB, the
  // first among equals; `distance` gets its squared distance in units.
  int Nearest(uint32_t rgb, int32_t& distance) { return Nearest(Candidates(CellOf(rgb)), rgb, distance); }
  // The same by a scan of every entry, without the cells: for a few hundred
  // colours, making their cells' candidates costs more than it saves.
  int NearestOfAll(uint32_t rgb, int32_t& distance) const {
    return Nearest({m_all.data(), m_points.size()}, rgb, distance);
  }
  // The same among `candidates`, the ones of the colour's cell.
  int Nearest(std::span<const Candidate> candidates, uint32_t rgb, int32_t& distance) const {
    const int32_t r = m_scale * static_cast<int32_t>((rgb >> 16) & 0xFF);
    const int32_t g = m_scale * static_cast<int32_t>((rgb >> 8) & 0xFF);
    const int32_t b = m_scale * static_cast<int32_t>(rgb & 0xFF);
#if defined(__SSE2__)
    // Four candidates a step (a list is followed by far-away fillers up to
    // a multiple of four): each lane keeps the first of its nearest, and of
    // the lanes' nearest the first in the list wins, as in a plain scan.
    const __m128i point = _mm_setr_epi16(static_cast<int16_t>(r), static_cast<int16_t>(g), static_cast<int16_t>(b), 0,
                                         static_cast<int16_t>(r), static_cast<int16_t>(g), static_cast<int16_t>(b), 0);
    const __m128i channels = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0);
    __m128i least = _mm_set1_epi32(0x7FFFFFFF), where = _mm_setzero_si128(), at = _mm_setr_epi32(0, 1, 2, 3);
    const Candidate* c = candidates.data();
    for (size_t k = 0; k < candidates.size(); k += 4, c += 4) {
      const __m128i two =
          _mm_and_si128(_mm_sub_epi16(point, _mm_loadu_si128(reinterpret_cast<const __m128i*>(c))), channels);
      const __m128i more =
          _mm_and_si128(_mm_sub_epi16(point, _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 2))), channels);
      // Red and green squared and summed, blue squared: two lanes each.
      const __m128 a = _mm_castsi128_ps(_mm_madd_epi16(two, two)), m = _mm_castsi128_ps(_mm_madd_epi16(more, more));
      const __m128i d = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(a, m, _MM_SHUFFLE(2, 0, 2, 0))),
                                      _mm_castps_si128(_mm_shuffle_ps(a, m, _MM_SHUFFLE(3, 1, 3, 1))));
      const __m128i nearer = _mm_cmpgt_epi32(least, d);
      least = _mm_or_si128(_mm_and_si128(nearer, d), _mm_andnot_si128(nearer, least));
      where = _mm_or_si128(_mm_and_si128(nearer, at), _mm_andnot_si128(nearer, where));
      at = _mm_add_epi32(at, _mm_set1_epi32(4));
    }
    alignas(16) int32_t lane[4], place[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), least);
    _mm_store_si128(reinterpret_cast<__m128i*>(place), where);
    int best = 0;
    for (int l = 1; l < 4; ++l) {
      if (lane[l] < lane[best] || (lane[l] == lane[best] && place[l] < place[best])) best = l;
    }
    distance = lane[best];
    return candidates[static_cast<size_t>(place[best])].position;
#else
    int chosen = candidates[0].position;
    distance = Distance(r, g, b, candidates[0]);
    for (size_t k = 1; k < candidates.size(); ++k) {
      const int32_t d = Distance(r, g, b, candidates[k]);
      const bool nearer = d < distance;  // written for a conditional move, not a branch
      distance = nearer ? d : distance;
      chosen = nearer ? candidates[k].position : chosen;
    }
    return chosen;
#endif
  }
  // For levels 0..255 that need not be whole (a `continuous` search). An
  // entry left out of a cell's candidates is at least one unit farther than
  // a kept one, far beyond rounding, so this is exact too.
  int Nearest(const double level[3]);

 private:
  static int32_t Distance(int32_t r, int32_t g, int32_t b, const Candidate& e) {
    const int32_t dr = r - e.r, dg = g - e.g, db = b - e.b;
    return dr * dr + dg * dg + db * db;
  }
  void MakeTables();
  // Where the candidates of the box at `level` holding cell (r, g, b) start.
  uint32_t Find(int level, int r, int g, int b);
  uint32_t Build(int ir, int ig, int ib, int size, uint32_t from);

  static constexpr uint32_t kUnknown = 0xFFFFFFFF;
  static constexpr Candidate kFiller = {16000, 16000, 16000, 0};
  static constexpr int kLevels = 3;  // boxes of 4, 2 and 1 cells a side

  int32_t m_scale;
  int m_reach;
  std::vector<Point> m_points;
  std::vector<Candidate> m_all;         // every entry, with fillers
  std::vector<uint32_t> m_at[kLevels];  // per box of each level: where its list starts, or kUnknown
  // Per box met: a candidate whose position is the count, then the
  // candidates in list order.
  std::vector<Candidate> m_lists;
  std::vector<Candidate> m_from;  // scratch
  std::vector<int32_t> m_near;
};

}  // namespace pixmill
