// Floyd-Steinberg error diffusion, shared by the palette mapping and the
// 5-bit reduction: the error of a pixel goes 7/16 to the right, 1/16 below
// right, 5/16 below and 3/16 below left. Rows run left to right, top down.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace pixmill {

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

// The carried errors of one channel: the current row and the row below,
// width + 2 slots each. Pixel x uses slot x + 1; slots 0 and width + 1 are
// guard cells for the error that leaves the picture at the sides, dropped
// at the end of the row like the error below the last row.
template <typename Slot>
class ErrorRows {
 public:
  explicit ErrorRows(int32_t width) : slots_(static_cast<size_t>(width) + 2), rows_(2 * slots_, Slot{}) {}
  Slot* Current() { return rows_.data() + (swapped_ ? slots_ : 0); }
  Slot* Below() { return rows_.data() + (swapped_ ? 0 : slots_); }
  // The row below becomes the current row; the new row below starts at 0.
  void NextRow() {
    swapped_ = !swapped_;
    std::fill(Below(), Below() + slots_, Slot{});
  }

 private:
  size_t slots_;
  std::vector<Slot> rows_;
  bool swapped_ = false;
};

}  // namespace pixmill
