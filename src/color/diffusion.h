// Dithering, shared by the palette mapping and the 5-bit reduction.
// Floyd-Steinberg error diffusion: the error of a pixel goes 7/16 to the
// right, 1/16 below right, 5/16 below and 3/16 below left; rows run left to
// right, top down. Ordered dithering: a fixed threshold per pixel from an
// 8 x 8 Bayer matrix, the same pattern wherever the colour is the same.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/choices.h"

namespace pixmill {

// The 8 x 8 Bayer matrix: each of 0..63 once, every 2 x 2, 4 x 4 and 8 x 8
// block as evenly spread as it can be.
inline constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// Pixel (x, y)'s threshold in 64ths: 0..63.
inline int BayerAt(int32_t x, int32_t y) { return kBayer8[y & 7][x & 7]; }

// The offsets of the 64 thresholds for a palette whose colours lie
// `spacing` apart per channel: from -spacing / 2 to +spacing / 2.
inline std::vector<int> OrderedOffsets(int spacing) {
  std::vector<int> offsets(64);
  for (int t = 0; t < 64; ++t) offsets[static_cast<size_t>(t)] = (2 * t - 63) * spacing / 128;
  return offsets;
}

// A colour 0x00RRGGBB moved by an offset, each channel clamped to 0..255.
inline uint32_t MovedColour(uint32_t rgb, int offset) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    out |= static_cast<uint32_t>(std::clamp(static_cast<int>((rgb >> shift) & 0xFF) + offset, 0, 255)) << shift;
  }
  return out;
}

// Spreads an error over the four neighbours of slot i; `sixteenth` is the
// error divided by 16. Each sum is formed in the wider of the two types and
// stored in the slot's own.
template <typename Slot, typename Unit>
inline void SpreadError(Slot* current, Slot* below, int32_t i, Unit sixteenth) {
  current[i + 1] = static_cast<Slot>(current[i + 1] + sixteenth * 7);
  below[i + 1] = static_cast<Slot>(below[i + 1] + sixteenth);
  below[i] = static_cast<Slot>(below[i] + sixteenth * 5);
  below[i - 1] = static_cast<Slot>(below[i - 1] + sixteenth * 3);
}

// The carried errors of the three channels (0 red, 1 green, 2 blue) of a
// ring of rows, width + 2 slots each: the current row and the row below, or
// more when several rows are worked on at once. Pixel x uses slot x + 1;
// slots 0 and width + 1 are guard cells for the error that leaves the
// picture at the sides, dropped at the end of the row like the error below
// the last row.
template <typename Slot>
class ErrorRows {
 public:
  explicit ErrorRows(int32_t width, int rows = 2)
      : m_slots(static_cast<size_t>(width) + 2),
        m_ring(static_cast<size_t>(std::max(rows, 2))),
        m_rows(3 * m_ring * m_slots, Slot{}) {}

  // Row y's slots of a channel.
  Slot* Of(int channel, int32_t y) {
    return m_rows.data() + (static_cast<size_t>(channel) * m_ring + static_cast<size_t>(y) % m_ring) * m_slots;
  }
  // Row y's slots start again at 0.
  void Clear(int32_t y) {
    for (int c = 0; c < 3; ++c) std::fill(Of(c, y), Of(c, y) + m_slots, Slot{});
  }

  // Row by row: the current row and the one below.
  Slot* Current(int channel) { return Of(channel, m_y); }
  Slot* Below(int channel) { return Of(channel, m_y + 1); }
  // Spreads a channel's error over the four neighbours of slot i;
  // `sixteenth` is the error divided by 16.
  template <typename Unit>
  void Spread(int channel, int32_t i, Unit sixteenth) {
    SpreadError(Current(channel), Below(channel), i, sixteenth);
  }
  // The rows below become the current rows; the new rows below start at 0.
  void NextRow() {
    ++m_y;
    Clear(m_y + 1);
  }

 private:
  size_t m_slots;
  size_t m_ring;
  std::vector<Slot> m_rows;
  int32_t m_y = 0;
};

}  // namespace pixmill
