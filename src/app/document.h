// The commands as the desktop program and the command line both carry them
// out. A Document is one picture with what the commands keep beside it; each
// command makes the same calls in the same order from either front end, so
// that the same steps give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/report.h"
#include "image/cells.h"
#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/prompts.h"
#include "platform/result.h"
#include "platform/system_colors.h"

namespace pixmill {

// The colour dialog's choices; with the given palette kind, the palette's
// colours in their order.
struct ColourSettings {
  int dither = kDitherDiffusion;        // a DitherMode
  int paletteKind = kPaletteOptimized;  // a PaletteKind
  int precision = 8;                    // 1..16
  std::vector<uint32_t> palette;
  // With the optimised kind: a palette fitted to several pictures together.
  std::vector<uint32_t> fitted;
};

// Stores the choices on the picture, with the fixed 64 x 64 sampling grid
// of the optimised palette.
void ApplyColourSettings(ImageBuffer& image, const ColourSettings& settings);

struct Document {
  // The key colour (COLORREF) is the picture's transparent key colour and
  // the picked colour that stands for none.
  explicit Document(uint32_t keyColour = kButtonFaceColour);

  uint32_t KeyColour() const { return image.m_transparentColor; }
  // The key colour, as the program sets it at start-up: also the last
  // transparent colour and the picked colour.
  void InitKeyColour(uint32_t keyColour);

  ImageBuffer image;
  std::string fileName;  // the last file loaded, without its folder
  uint32_t pickedColor;  // the candidate transparent colour (COLORREF)
  int exportCount = 0;   // exports written so far; names the next suggestion
};

// The window's caption before a picture is loaded, and after: the program,
// the file name, then width, height and depth.
std::string StartTitle();
std::string WindowTitle(const Document& doc);

// Open, a dropped file, the command line: on success the picture and the
// file name are replaced; on failure nothing changes.
Result LoadCommand(Document& doc, const std::string& path, const LoadOptions& options = {}, LoadNotes* notes = nullptr);

// For exported data whose size fits more than one layout, a note naming the
// reading taken and the others, with the --read-as that takes each; empty
// otherwise.
std::string ReadingNote(const LoadNotes& notes);

// Save: asks for a path, proposing the file name before its first dot.
Result SaveCommand(Document& doc, SavePathPrompt& prompt);

// Writes the picture as a PNG file.
Result SavePngCommand(const Document& doc, const std::string& path);

// Convert, after its dialog: asks for a path (proposing "image" and the
// count of exports so far, with the file type the choices suggest), writes
// the export (with the character form's set and map, when asked for) and
// counts it; `summary` gets what was written.
Result ConvertCommand(Document& doc, const ExportChoices& choices, SavePathPrompt& prompt, MessageSink* messages,
                      const CharacterChoices& characters = {}, ExportSummary* summary = nullptr);

// The percentage the compression message gives for an export.
long long CompressionPercentOf(const ExportSummary& summary);

// What an export with these choices would come to, without writing it.
Result MeasureExportCommand(const ImageBuffer& image, const ExportChoices& choices, const CharacterChoices& characters,
                            ExportSummary& summary);
// "N bytes", with ", L DATA lines" for text and " (M before compression)"
// for LZSS: the figures of an export.
std::string ExportSizeLine(const ExportChoices& choices, const ExportSummary& summary);

// Exports the pictures (the cells of a sheet, of one size and palette) into
// one file, each laid out as it would be alone but for its palette, which
// comes once, in front.
Result ExportFramesCommand(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                           const std::string& path, MessageSink* messages, ExportSummary* summary = nullptr);

// One character set over several 8-bit pictures of one palette, written
// once to `path`, and the map of each picture to `mapPaths` (the maps are
// left out when there are no paths). All the files are written, or none.
Result ExportCharacterSetCommand(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                                 const CharacterChoices& characters, const std::string& path,
                                 const std::vector<std::string>& mapPaths, MessageSink* messages,
                                 ExportSummary* summary = nullptr);

// The picture a character export and its map describe, loaded as Open
// loads a file; the file name is the character file's.
Result LoadCharacterCommand(Document& doc, const std::string& charsPath, const std::string& mapPath);

// The cells of a sheet, each a document of its own (the sheet's picked
// colour and file name), with where it lay. Leaves out the cells the
// picture's edge cuts (counted in `cutOff`) and, with `skipEmpty`, those
// the console sees as wholly transparent (counted in `skipped`). Refused
// when the cell is larger than the picture less its margin.
struct SheetCell {
  Document doc;
  CellPlace place;
};
Result CutCommand(const Document& sheet, const CellGrid& grid, bool skipEmpty, std::vector<SheetCell>& cells,
                  size_t& cutOff, size_t& skipped);

// How many distinct 8 x 8 blocks the picture has (its partial blocks at the
// right and bottom left out); 0 without a picture.
size_t DistinctBlocks(const ImageBuffer& image);

// Transparent: the picked colour's palette index at 4 and 8 bits, the
// colour itself at 16 and 24 bits; nothing for a 1-bit picture.
Result TransparentCommand(Document& doc);

// Scale and Colour, after their dialogs: the picked colour becomes the key
// colour and is applied, which restores the transparent pixels; then the
// picture is resized, or the choices go to the picture and its depth changes.
Result ScaleCommand(Document& doc, int32_t width, int32_t height);
// With `report`, also measures how far the change moved the picture as the
// console shows it (transparent pixels left out).
Result ColourCommand(Document& doc, const ColourSettings& settings, int bits, ChangeReport* report = nullptr);

// "depth N: PSNR X dB, mean ΔE Y", two decimals each.
std::string ReportLine(int bits, const ChangeReport& report);

// The samples an optimised palette is fitted to, of one picture or added
// up over several: a palette shared by several pictures is fitted to the
// samples of them all.
class PaletteSamples {
 public:
  PaletteSamples();
  void Add(const PaletteSamples& other);
  // The palette of 2, 16 or 256 entries for `bits` 1, 4 or 8 (above 1 bit
  // entry 0 is left black: each picture puts its own key colour there).
  std::vector<uint32_t> Fit(int bits) const;

 private:
  friend void CountColourSamples(Document&, const ColourSettings&, int, PaletteSamples&);
  std::vector<uint64_t> m_counts;
};

// Colour as far as the samples of its optimised palette, added to `samples`.
// Adds nothing when the step would not fit an optimised palette.
void CountColourSamples(Document& doc, const ColourSettings& settings, int bits, PaletteSamples& samples);

// A palette the user brings: a palette file (.gpl, .pal, .act, .hex, .txt),
// or any picture this program loads that has a palette, in its order.
Result ReadPalette(const std::string& path, std::vector<uint32_t>& colours);

// The picture's palette, all its 2, 16 or 256 entries in order; refused
// for 16 and 24 bits.
Result PaletteOf(const Document& doc, std::vector<uint32_t>& colours);

// Writes the picture's palette, all its 2, 16 or 256 entries in order, in
// the format of the path's extension. Refused for 16 and 24 bits.
// With `riff`, a .pal file is a RIFF palette rather than a JASC one.
Result SavePaletteCommand(const Document& doc, const std::string& path, bool riff = false);
// Writes the colours as a palette file, in the format of the path's extension.
Result SavePaletteCommand(const std::vector<uint32_t>& colours, const std::string& path, bool riff = false);

// Compresses a file into an LZSS stream, or expands one, into another file;
// a failure after the file was read names the command ("lzss encode IN: ").
Result LzssFileCommand(bool encode, const std::string& in, const std::string& out);

// The palette panel's edits of a 1-, 4- or 8-bit picture: an entry's
// colour (0x00RRGGBB); two entries swapped, or one moved to another place
// (those between moving up or down by one), the pixels given the entries'
// new indices, so the picture looks as it did. Above 1 bit, entry 0 is the
// transparent slot and stays where it is.
Result SetPaletteEntryCommand(Document& doc, int index, uint32_t rgb);
Result SwapPaletteEntriesCommand(Document& doc, int a, int b);
Result MovePaletteEntryCommand(Document& doc, int from, int to);
// A palette's colours put onto the picture at its own depth, every pixel
// mapped to them as the colour change maps pixels to a given palette (with
// the settings' dithering); transparent pixels stay transparent.
Result ApplyPaletteCommand(Document& doc, const ColourSettings& settings);
// How many pixels have each palette index (2, 16 or 256 counts).
std::vector<size_t> PaletteUses(const ImageBuffer& image);

// A click on picture pixel (x, y): its colour, or the key colour outside.
void PickCommand(Document& doc, int32_t x, int32_t y);

// How many different colours the picture's pixels have (palette indices in
// use at 8 bits or fewer); 0 without a picture.
int ColoursInUse(const ImageBuffer& image);

}  // namespace pixmill
