// What the commands are asked to do with a picture, as the option dialogs
// and the command line name it: the colour dialog's dithering and palette
// kinds (kept on the picture in m_ditherMode and m_paletteKind) and the
// convert dialog's four choices. Plain values, shared by the layers that
// carry the choices out and the front ends that offer them.
#pragma once

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

}  // namespace pixmill
