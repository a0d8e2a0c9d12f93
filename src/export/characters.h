// The character form's blocks as a tile set: the 8 x 8 blocks of one or more
// 8-bit pictures, only the distinct ones if asked (a block equal to an
// earlier one mirrored counting as that one, if asked), at most a budget of
// them (the closest merged), and for every picture a map from its cells to
// the blocks.
//
// A map is big-endian 16-bit words: the width and the height in cells, then
// one word per cell, rows from the top, each row from the left: the block
// number in bits 0-13, bit 14 set when the cell is the block mirrored left to
// right, bit 15 when it is mirrored top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

inline constexpr size_t kBlockBytes = 64;
// Block numbers a map word holds.
inline constexpr size_t kMapBlocks = kMaxMapCharacters;
inline constexpr uint32_t kMapMirrorX = 0x4000;
inline constexpr uint32_t kMapMirrorY = 0x8000;

// The blocks of a picture of `columns` x `rows` cells, each cell's 64
// indices rows from the top; a picture's partial blocks at the right and
// bottom are left out, as the character form leaves them out.
class CharacterSet {
 public:
  explicit CharacterSet(const CharacterChoices& choices) : m_options(choices) {}

  // Adds the blocks of an 8-bit picture; its map is MapOf(the number of
  // pictures added before it). Refused for another depth, or for a palette
  // that differs from the first picture's.
  Result Add(const ImageBuffer& picture);

  // Merges the closest blocks while more than the budget are left: a cell
  // of a block merged away points at the block it was merged into, mirrored
  // as it is nearest. Blocks are compared as the console shows their
  // colours. `note` gets "characters: K distinct, N kept, PSNR P dB" when
  // blocks were merged. Refused for a budget below 1.
  Result ApplyBudget(std::string* note);

  size_t Size() const { return m_blocks.size() / kBlockBytes; }
  size_t Distinct() const { return m_distinct; }
  // The blocks, 64 bytes each, in order.
  const std::vector<uint8_t>& Blocks() const { return m_blocks; }
  // The palette of the pictures (256 entries, 0x00RRGGBB).
  const std::vector<uint32_t>& Palette() const { return m_palette; }

  size_t Pictures() const { return m_maps.size(); }
  // The map of picture p as its file holds it. Refused when a block number
  // does not fit the map's 14 bits.
  Result MapBytes(size_t p, std::vector<uint8_t>& out) const;

 private:
  struct Map {
    int columns = 0;
    int rows = 0;
    std::vector<uint32_t> cells;  // block | kMapMirrorX | kMapMirrorY
  };
  uint32_t Place(const uint8_t* block);

  CharacterChoices m_options;
  std::vector<uint8_t> m_blocks;
  std::vector<uint32_t> m_palette;
  std::vector<Map> m_maps;
  std::vector<uint8_t> m_cells;  // every cell's own 64 indices, pictures in order, for the budget
  size_t m_distinct = 0;
  std::unordered_map<std::string, uint32_t> m_numbers;  // a block's bytes -> its number
};

}  // namespace pixmill
