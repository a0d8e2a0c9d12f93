#include "image/cells.h"

#include <cstring>

namespace pixmill {

namespace {

// How many cells fit along a side, and how many more the far margin cuts.
int32_t Fitting(int32_t side, int32_t cell, int32_t margin, int32_t spacing, size_t& cut) {
  int32_t count = 0;
  cut = 0;
  for (int64_t at = margin; at < side - margin; at += int64_t{cell} + spacing) {
    if (at + cell <= side - margin) {
      ++count;
    } else {
      cut = 1;
    }
  }
  return count;
}

}  // namespace

std::vector<CellPlace> CellPlaces(int32_t width, int32_t height, const CellGrid& grid, size_t& cutOff) {
  size_t cutColumn = 0, cutRow = 0;
  const int32_t columns = Fitting(width, grid.width, grid.margin, grid.spacing, cutColumn);
  const int32_t rows = Fitting(height, grid.height, grid.margin, grid.spacing, cutRow);
  cutOff = cutColumn * static_cast<size_t>(rows) + cutRow * static_cast<size_t>(columns) + cutColumn * cutRow;
  std::vector<CellPlace> places;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      places.push_back(
          {grid.margin + c * (grid.width + grid.spacing), grid.margin + r * (grid.height + grid.spacing), c, r});
    }
  }
  return places;
}

Result CutCell(const ImageBuffer& sheet, const CellPlace& place, const CellGrid& grid, ImageBuffer& cell) {
  ImageBuffer out;
  if (Result r = out.Create(grid.width, grid.height, sheet.BitCount()); !r.ok()) return r;
  for (int i = 0; i < PaletteEntriesFor(sheet.BitCount()); ++i) {
    out.SetPaletteColor(static_cast<uint32_t>(i), sheet.GetPaletteColor(static_cast<uint32_t>(i)));
  }
  const int bits = sheet.BitCount();
  for (int32_t y = 0; y < grid.height; ++y) {
    if (bits >= 8) {
      const size_t bytes = static_cast<size_t>(bits / 8);
      std::memcpy(out.Row(y), sheet.Row(place.y + y) + bytes * static_cast<size_t>(place.x), bytes * grid.width);
    } else {
      for (int32_t x = 0; x < grid.width; ++x) out.SetIndex(x, y, sheet.GetIndex(place.x + x, place.y + y));
    }
  }
  if (const uint8_t* marks = sheet.TransparentMask()) {
    std::vector<uint8_t> mask;
    mask.reserve(static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height));
    for (int32_t y = 0; y < grid.height; ++y) {
      const uint8_t* row = marks + static_cast<size_t>(place.y + y) * static_cast<size_t>(sheet.Width()) + place.x;
      mask.insert(mask.end(), row, row + grid.width);
    }
    out.SetTransparentMask(std::move(mask));
  }
  out.m_ditherMode = sheet.m_ditherMode;
  out.m_paletteKind = sheet.m_paletteKind;
  out.m_precision = sheet.m_precision;
  out.m_title = sheet.m_title;
  out.m_lastTransparent = sheet.m_lastTransparent;
  out.m_transparentColor = sheet.m_transparentColor;
  cell = std::move(out);
  return Result::Done();
}

bool AllTransparent(const ImageBuffer& picture) {
  if (picture.BitCount() == 1) return false;
  for (int32_t y = 0; y < picture.Height(); ++y) {
    for (int32_t x = 0; x < picture.Width(); ++x) {
      if (!ConsoleTransparent(picture, x, y)) return false;
    }
  }
  return true;
}

}  // namespace pixmill
