// A sheet cut into cells: a grid of cells of one size, from the top left,
// with a border around the whole grid (the margin) and a gap between cells
// (the spacing), as tile set tools lay a sheet out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

struct CellGrid {
  int32_t width = 0;
  int32_t height = 0;
  int32_t margin = 0;
  int32_t spacing = 0;
};

struct CellPlace {
  int32_t x;  // its top left pixel in the sheet
  int32_t y;
  int32_t column;
  int32_t row;
};

// The cells that lie wholly inside a picture of `width` x `height` pixels
// less its margin, in rows from the top left; `cutOff` gets how many more
// the picture's right or bottom margin cuts through.
std::vector<CellPlace> CellPlaces(int32_t width, int32_t height, const CellGrid& grid, size_t& cutOff);

// The part of `sheet` at `place`, `grid.width` x `grid.height` pixels, as a
// picture of its own: the sheet's depth, palette, transparent marks, colour
// settings and transparent state.
Result CutCell(const ImageBuffer& sheet, const CellPlace& place, const CellGrid& grid, ImageBuffer& cell);

// True when the console sees every pixel as transparent: all of index 0
// (4 and 8 bits) or of the key colour (16 and 24 bits).
bool AllTransparent(const ImageBuffer& picture);

}  // namespace pixmill
