#include "export/characters.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/bytes.h"

namespace pixmill {

namespace {

// A block mirrored as the map word's bits say: kMapMirrorX left to right,
// kMapMirrorY top to bottom.
void Mirror(const uint8_t* in, uint32_t flips, uint8_t* out) {
  for (int y = 0; y < 8; ++y) {
    const int from = (flips & kMapMirrorY) ? 7 - y : y;
    for (int x = 0; x < 8; ++x) out[y * 8 + x] = in[from * 8 + ((flips & kMapMirrorX) ? 7 - x : x)];
  }
}

constexpr uint32_t kOrientations[4] = {0, kMapMirrorX, kMapMirrorY, kMapMirrorX | kMapMirrorY};

// A block as the console shows it: the 5-bit red, green and blue of each of
// its 64 pixels.
using Shown = std::array<uint8_t, 3 * kBlockBytes>;

Shown ShownBlock(const uint8_t* block, const std::vector<uint32_t>& palette) {
  Shown out;
  for (size_t p = 0; p < kBlockBytes; ++p) {
    const uint32_t c = palette[block[p]];
    out[3 * p] = static_cast<uint8_t>((c >> 19) & 31);
    out[3 * p + 1] = static_cast<uint8_t>((c >> 11) & 31);
    out[3 * p + 2] = static_cast<uint8_t>((c >> 3) & 31);
  }
  return out;
}

int32_t Difference(const Shown& a, const Shown& b) {
  int32_t sum = 0;
  for (size_t k = 0; k < a.size(); ++k) {
    const int32_t d = static_cast<int32_t>(a[k]) - static_cast<int32_t>(b[k]);
    sum += d * d;
  }
  return sum;
}

}  // namespace

Result CharacterSet::Add(const ImageBuffer& picture) {
  if (!picture.IsValid() || picture.BitCount() != 8) {
    return Result::Refused("characters are made of 8-bit pictures");
  }
  std::vector<uint32_t> palette(256);
  for (uint32_t i = 0; i < 256; ++i) palette[i] = picture.GetPaletteColor(i) & 0xFFFFFF;
  if (m_maps.empty()) {
    m_palette = palette;
  } else if (palette != m_palette) {
    return Result::Refused("the pictures' palettes differ, so their characters cannot be one set");
  }
  Map map;
  map.columns = picture.Width() / 8;
  map.rows = picture.Height() / 8;
  uint8_t block[kBlockBytes];
  for (int32_t by = 0; by < map.rows; ++by) {
    for (int32_t bx = 0; bx < map.columns; ++bx) {
      for (int32_t y = 0; y < 8; ++y) std::memcpy(block + 8 * y, picture.Row(by * 8 + y) + bx * 8, 8);
      map.cells.push_back(Place(block));
      m_cells.insert(m_cells.end(), block, block + kBlockBytes);
    }
  }
  m_maps.push_back(std::move(map));
  m_distinct = Size();
  return Result::Done();
}

uint32_t CharacterSet::Place(const uint8_t* block) {
  const bool unique = m_options.unique || m_options.maxCharacters > 0;
  const auto number = static_cast<uint32_t>(Size());
  if (unique) {
    uint8_t mirrored[kBlockBytes];
    for (const uint32_t flips : kOrientations) {
      if (flips != 0 && !m_options.flips) break;
      Mirror(block, flips, mirrored);  // the block is the stored one mirrored back
      const auto found = m_numbers.find(std::string(reinterpret_cast<const char*>(mirrored), kBlockBytes));
      if (found != m_numbers.end()) return found->second | flips;
    }
    m_numbers.emplace(std::string(reinterpret_cast<const char*>(block), kBlockBytes), number);
  }
  m_blocks.insert(m_blocks.end(), block, block + kBlockBytes);
  return number;
}

Result CharacterSet::ApplyBudget(std::string* note) {
  const int budget = m_options.maxCharacters;
  if (budget < 1) return Result::Refused("the character budget must be 1 or more");
  const size_t n = Size();
  if (n <= static_cast<size_t>(budget)) return Result::Done();

  // Every block as shown, in each of the orientations a cell may take it in.
  const size_t orientations = m_options.flips ? 4 : 1;
  std::vector<Shown> shown(n * orientations);
  uint8_t mirrored[kBlockBytes];
  for (size_t b = 0; b < n; ++b) {
    for (size_t o = 0; o < orientations; ++o) {
      Mirror(&m_blocks[b * kBlockBytes], kOrientations[o], mirrored);
      shown[b * orientations + o] = ShownBlock(mirrored, m_palette);
    }
  }
  std::vector<uint64_t> uses(n, 0);
  for (const Map& map : m_maps) {
    for (const uint32_t cell : map.cells) ++uses[cell & (kMapMirrorX - 1)];
  }

  // Each block's nearest other block still kept, and in which orientation.
  struct Nearest {
    size_t block;
    uint32_t flips;
    int32_t difference;
  };
  std::vector<uint8_t> kept(n, 1);
  std::vector<Nearest> nearest(n);
  auto findNearest = [&](size_t a) {
    Nearest best{a, 0, std::numeric_limits<int32_t>::max()};
    for (size_t b = 0; b < n; ++b) {
      if (b == a || !kept[b]) continue;
      for (size_t o = 0; o < orientations; ++o) {
        const int32_t d = Difference(shown[a * orientations], shown[b * orientations + o]);
        if (d < best.difference) best = {b, kOrientations[o], d};
      }
    }
    nearest[a] = best;
  };
  for (size_t a = 0; a < n; ++a) findNearest(a);

  // A block merged away stands as `into` mirrored by `flips`.
  std::vector<size_t> into(n);
  std::vector<uint32_t> flips(n, 0);
  for (size_t a = 0; a < n; ++a) into[a] = a;
  for (size_t left = n; left > static_cast<size_t>(budget); --left) {
    // The merge that adds the least error: the uses of a block times its
    // difference from its nearest; among equals the later block goes.
    size_t a = n;
    double least = std::numeric_limits<double>::infinity();
    for (size_t b = 0; b < n; ++b) {
      if (!kept[b]) continue;
      const double cost = static_cast<double>(uses[b]) * nearest[b].difference;
      if (cost <= least) least = cost, a = b;
    }
    const Nearest to = nearest[a];
    kept[a] = 0;
    into[a] = to.block;
    flips[a] = to.flips;
    uses[to.block] += uses[a];
    for (size_t c = 0; c < n; ++c) {
      if (kept[c] && nearest[c].block == a) findNearest(c);
    }
  }

  // The blocks kept, in their order, and every cell pointed at its block.
  std::vector<uint32_t> number(n, 0);
  std::vector<uint8_t> blocks;
  for (size_t b = 0; b < n; ++b) {
    if (!kept[b]) continue;
    number[b] = static_cast<uint32_t>(blocks.size() / kBlockBytes);
    blocks.insert(blocks.end(), &m_blocks[b * kBlockBytes], &m_blocks[(b + 1) * kBlockBytes]);
  }
  auto resolve = [&](uint32_t cell) {
    size_t b = cell & (kMapMirrorX - 1);
    uint32_t f = cell & (kMapMirrorX | kMapMirrorY);
    for (; !kept[b]; b = into[b]) f ^= flips[b];  // mirrorings of one another add up
    return number[b] | f;
  };
  double squares = 0;
  const double level = 255.0 / 31.0;
  const uint8_t* original = m_cells.data();
  uint8_t shownCell[kBlockBytes];
  for (Map& map : m_maps) {
    for (uint32_t& cell : map.cells) {
      cell = resolve(cell);
      Mirror(&blocks[(cell & (kMapMirrorX - 1)) * kBlockBytes], cell & (kMapMirrorX | kMapMirrorY), shownCell);
      const Shown a = ShownBlock(original, m_palette), b = ShownBlock(shownCell, m_palette);
      for (size_t k = 0; k < a.size(); ++k) {
        const double d = (static_cast<double>(a[k]) - static_cast<double>(b[k])) * level;
        squares += d * d;
      }
      original += kBlockBytes;
    }
  }
  m_blocks = std::move(blocks);
  m_numbers.clear();
  if (note) {
    const double mse = squares / static_cast<double>(m_cells.size() * 3);
    char text[128];
    std::snprintf(text, sizeof text, "characters: %zu distinct, %zu kept, PSNR %.2f dB", n, Size(),
                  mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : std::numeric_limits<double>::infinity());
    *note = text;
  }
  return Result::Done();
}

Result CharacterSet::MapBytes(size_t p, std::vector<uint8_t>& out) const {
  if (Size() > kMapBlocks) {
    return Result::Refused("the map's words hold " + std::to_string(kMapBlocks) + " characters, and there are " +
                               std::to_string(Size()) + " (a budget, --max-characters, can bring them down)",
                           Result::Cause::kTooLarge);
  }
  const Map& map = m_maps[p];
  out.clear();
  AppendBe16(out, static_cast<uint32_t>(map.columns));
  AppendBe16(out, static_cast<uint32_t>(map.rows));
  for (const uint32_t cell : map.cells) AppendBe16(out, cell);
  return Result::Done();
}

}  // namespace pixmill
