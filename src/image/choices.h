// What the commands are asked to do with a picture, as the option dialogs
// and the command line name it: the colour dialog's dithering and palette
// kinds (kept on the picture in m_ditherMode and m_paletteKind), the
// convert dialog's choices, and what an export came to. Plain values,
// shared by the layers that carry the choices out and the front ends that
// offer them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pixmill {

// The dithering choices of the colour dialog.
enum DitherMode : int { kDitherNone = 0, kDitherDiffusion = 1, kDitherOrdered = 2 };

// The palette kinds of the colour dialog.
enum PaletteKind : int { kPaletteOptimized = 0, kPaletteStandard = 1, kPaletteGiven = 2, kPaletteQuality = 3 };

// The transparent slot: above 1 bit, palette index 0 is kept for the
// transparent colour and never given to a visible pixel, so the palette's
// own colours start at entry 1. A 1-bit picture has no transparent colour.
constexpr int FirstColourIndex(int bits) { return bits > 1 ? 1 : 0; }

// The convert dialog's choices, in the order the writer takes them.
enum ExportForm : int { kFormNone = -1, kFormBitmap = 0, kFormTexture = 1, kFormCharacter = 2 };
enum ExportOutput : int { kOutputBinary = 0, kOutputText = 1 };

struct ExportChoices {
  int form = kFormNone;  // 0 bitmap, 1 texture, 2 character, -1 none
  int output = kOutputBinary;
  int lzss = 0;     // 0/1
  int palette = 0;  // 0/1
  bool operator==(const ExportChoices&) const = default;
};

// The characters a map can name: its words keep 14 bits for the number.
inline constexpr int kMaxMapCharacters = 16384;

// The character form's choices beyond those four: only the distinct 8 x 8
// blocks, in the order they first appear; a mirrored block counting as the
// block; a budget of blocks (more are merged down to it); where the map of
// the cells to the blocks goes (a name ending in .bas is written as text;
// empty for none).
struct CharacterChoices {
  bool unique = false;
  bool flips = false;
  int maxCharacters = 0;  // 0: no budget
  std::string mapPath;
  bool Plain() const { return !unique && !flips && maxCharacters == 0 && mapPath.empty(); }
  bool operator==(const CharacterChoices&) const = default;
};

// What an export came to.
struct ExportSummary {
  size_t bytes = 0;         // of the file
  size_t dataLines = 0;     // text: its DATA lines
  size_t uncompressed = 0;  // LZSS: the export image's bytes, and the stream's
  size_t stream = 0;
  size_t characters = 0;   // the character form: the blocks written
  std::string budgetNote;  // the character budget's figures, when it merged blocks
};

// How exported bitmap or texture data are read (bitmap and texture data of
// one depth are laid out alike): colour words (24; 16 only from a text
// export), a byte (8), two pixels (4) or eight pixels (1) per byte, and
// whether a palette follows the header. Binary data carry no name of their
// layout: their size tells it, and now and then fits two.
struct DataReading {
  int depth;
  bool palette;
  bool operator==(const DataReading&) const = default;
};

struct LoadOptions {
  // Exported data read so, and refused when their size does not fit; a
  // text export refused when it names another layout.
  std::optional<DataReading> readAs;
};

// What a load found beside the picture: for exported data whose size fits
// more than one layout, every reading that fits, the one taken first.
struct LoadNotes {
  std::vector<DataReading> readings;
  bool Ambiguous() const { return readings.size() > 1; }
};

}  // namespace pixmill
