// The BASIC text of an export read back: its comment lines and the bytes of
// the DATA lines under each, as the export writer lays them out. Lines may
// end in CR LF, as written, or in LF, as an editor may save them; blank
// lines are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace pixmill {

struct TextSection {
  enum class Kind { kHeader, kPalette, kImage, kCharacters, kBlocks, kLzss, kMap };
  Kind kind;
  int line = 0;  // of its comment, from 1
  // kHeader: width, height and depth from its comment; kCharacters: the
  // number of blocks in `numbers[0]`.
  std::vector<long> numbers;
  std::vector<uint8_t> bytes;  // of its DATA lines
};

// True when the bytes start as an export's text does: "'/*".
bool LooksLikeExportText(const uint8_t* data, size_t size);

// The sections in order. Refused, with "not a Pixmill text export: line N:
// what is wrong", for a line that is neither such a comment nor a DATA line,
// for DATA lines that do not hold the bytes their comment says, or for
// sections in an order the writer never writes.
Result ReadExportText(const uint8_t* data, size_t size, std::vector<TextSection>& out);

}  // namespace pixmill
