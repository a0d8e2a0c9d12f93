#include "app/document.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

#include "app/convert_rules.h"
#include "color/depth.h"
#include "color/optimized_palette.h"
#include "color/palette_file.h"
#include "color/transparent.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "image/png.h"
#include "image/resize.h"
#include "platform/file_io.h"
#include "platform/version.h"

namespace pixmill {

void ApplyColourSettings(ImageBuffer& image, const ColourSettings& s) {
  image.m_sampleColumns = 64;
  image.m_sampleRows = 64;
  image.m_ditherMode = s.dither;
  image.m_paletteKind = s.paletteKind;
  image.m_precision = s.precision;
}

Document::Document(uint32_t keyColour) : pickedColor(keyColour) { InitTransparentColor(image, keyColour); }

void Document::InitKeyColour(uint32_t keyColour) {
  InitTransparentColor(image, keyColour);
  pickedColor = keyColour;
}

std::string StartTitle() { return std::string("Pixmill Ver") + kVersion; }

std::string WindowTitle(const Document& doc) {
  const uint8_t* info = doc.image.GetInfo();
  if (info == nullptr) return StartTitle();
  // The size and depth as the info header gives them.
  const int32_t width = static_cast<int32_t>(ReadLe32(info + info::kWidth));
  const int32_t height = static_cast<int32_t>(ReadLe32(info + info::kHeight));
  const int bits = ReadLe16(info + info::kBitCount);
  return std::string("Pixmill Ver ") + kVersion + " " + doc.fileName + "(" + std::to_string(width) + "×" +
         std::to_string(height) + "×" + std::to_string(bits) + ")";
}

Result LoadCommand(Document& doc, const std::string& path, const LoadOptions& options, LoadNotes* notes) {
  if (Result r = LoadFile(doc.image, path, options, notes); !r.ok()) return r;
  doc.fileName = BaseName(path);
  return Result::Done();
}

std::string ReadingNote(const LoadNotes& notes) {
  if (!notes.Ambiguous()) return {};
  std::string note = "read as " + ReadingName(notes.readings.front()) + "; its size fits ";
  for (size_t k = 1; k < notes.readings.size(); ++k) {
    const DataReading& other = notes.readings[k];
    note += (k > 1 ? ", and " : "") + ReadingName(other) + " (--read-as " + ReadAsText(other) + ")";
  }
  return note + " too";
}

Result SaveCommand(Document& doc, SavePathPrompt& prompt) {
  if (!doc.image.IsValid()) return Result::Refused("there is no picture to save");
  doc.image.m_title = TitleOf(doc.fileName);
  return SaveBmpAs(doc.image, prompt);
}

Result SavePngCommand(const Document& doc, const std::string& path) {
  if (!doc.image.IsValid()) return Result::Refused("there is no picture to save");
  return WritePng(doc.image, path);
}

Result ConvertCommand(Document& doc, const ExportChoices& c, SavePathPrompt& prompt, MessageSink* messages,
                      const CharacterChoices& characters, ExportSummary* summary) {
  if (c.form < 0) return Result::Refused("no export form is chosen");
  if (!doc.image.IsValid()) return Result::Refused("there is no picture to export");
  SaveRequest request;
  request.proposedName = SuggestedExportName(doc.exportCount);
  request.defaultExtension = "0";
  request.filters = ParseFilterString(kExportSaveFilter);
  request.filterIndex = ExportFilterIndex(doc.image.BitCount(), c);
  request.confirmOverwrite = true;
  const std::optional<std::string> path = prompt.AskSavePath(request);
  if (!path) return Result::Cancelled();
  if (Result r = WriteConvertedFile(doc.image, *path, c, messages, characters, summary); !r.ok()) return r;
  ++doc.exportCount;
  return Result::Done();
}

long long CompressionPercentOf(const ExportSummary& s) { return CompressionPercent(s.uncompressed, s.stream); }

Result MeasureExportCommand(const ImageBuffer& image, const ExportChoices& choices, const CharacterChoices& characters,
                            ExportSummary& summary) {
  std::vector<uint8_t> file, map;
  return ConvertedFileBytes(image, choices, characters, file, map, summary);
}

std::string ExportSizeLine(const ExportChoices& choices, const ExportSummary& s) {
  std::string line = std::to_string(s.bytes) + " bytes";
  if (choices.output == kOutputText) line += ", " + std::to_string(s.dataLines) + " DATA lines";
  if (choices.lzss) line += " (" + std::to_string(s.uncompressed) + " before compression)";
  if (choices.form == kFormCharacter) line += ", " + std::to_string(s.characters) + " characters";
  return line;
}

Result ExportFramesCommand(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                           const std::string& path, MessageSink* messages, ExportSummary* summary) {
  return WriteFrames(pictures, choices, path, messages, summary);
}

Result ExportCharacterSetCommand(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                                 const CharacterChoices& characters, const std::string& path,
                                 const std::vector<std::string>& mapPaths, MessageSink* messages,
                                 ExportSummary* summary) {
  return WriteCharacterSet(pictures, choices, characters, path, mapPaths, messages, summary);
}

Result LoadCharacterCommand(Document& doc, const std::string& charsPath, const std::string& mapPath) {
  if (Result r = LoadCharacterFiles(doc.image, charsPath, mapPath); !r.ok()) return r;
  doc.fileName = BaseName(charsPath);
  return Result::Done();
}

Result CutCommand(const Document& sheet, const CellGrid& grid, bool skipEmpty, std::vector<SheetCell>& cells,
                  size_t& cutOff, size_t& skipped) {
  const ImageBuffer& image = sheet.image;
  if (!image.IsValid()) return Result::Refused("there is no picture");
  const std::vector<CellPlace> places = CellPlaces(image.Width(), image.Height(), grid, cutOff);
  if (places.empty()) {
    return Result::Refused("a cell of " + std::to_string(grid.width) + " x " + std::to_string(grid.height) +
                           " pixels is larger than the " + std::to_string(image.Width()) + " x " +
                           std::to_string(image.Height()) + " picture" + (grid.margin > 0 ? " less its margin" : ""));
  }
  skipped = 0;
  std::vector<SheetCell> out;
  for (const CellPlace& place : places) {
    SheetCell cell{Document(sheet.KeyColour()), place};
    if (Result r = CutCell(image, place, grid, cell.doc.image); !r.ok()) return r;
    if (skipEmpty && AllTransparent(cell.doc.image)) {
      ++skipped;
      continue;
    }
    cell.doc.fileName = sheet.fileName;
    cell.doc.pickedColor = sheet.pickedColor;
    out.push_back(std::move(cell));
  }
  cells = std::move(out);
  return Result::Done();
}

size_t DistinctBlocks(const ImageBuffer& image) {
  if (!image.IsValid()) return 0;
  std::unordered_set<std::string> seen;
  const int bytes = image.BitCount() <= 8 ? 1 : 3;
  std::string block(static_cast<size_t>(64 * bytes), '\0');
  for (int32_t by = 0; by + 8 <= image.Height(); by += 8) {
    for (int32_t bx = 0; bx + 8 <= image.Width(); bx += 8) {
      size_t at = 0;
      for (int32_t y = by; y < by + 8; ++y) {
        for (int32_t x = bx; x < bx + 8; ++x) {
          const uint32_t v = bytes == 1 ? image.GetIndex(x, y) : image.GetPixel(x, y);
          for (int k = 0; k < bytes; ++k) block[at++] = static_cast<char>(v >> (8 * k));
        }
      }
      seen.insert(block);
    }
  }
  return seen.size();
}

Result TransparentCommand(Document& doc) {
  ImageBuffer& image = doc.image;
  if (!image.IsValid()) return Result::Refused("there is no picture");
  switch (image.BitCount()) {
    case 4:
    case 8:
      ApplyTransparentIndex(image, FindPaletteIndex(image, doc.pickedColor));
      return Result::Done();
    case 16:
    case 24:
      ApplyTransparentColor(image, doc.pickedColor);
      return Result::Done();
    default:
      return Result::NothingToDo("a 1-bit picture has no transparent colour");
  }
}

Result ScaleCommand(Document& doc, int32_t width, int32_t height) {
  if (!doc.image.IsValid()) return Result::Refused("there is no picture");
  doc.pickedColor = doc.KeyColour();
  (void)TransparentCommand(doc);
  return Resize(doc.image, width, height);
}

namespace {

// All 2, 16 or 256 entries of a paletted picture, in order.
std::vector<uint32_t> PaletteColours(const ImageBuffer& image) {
  std::vector<uint32_t> colours;
  for (int i = 0; i < PaletteEntriesFor(image.BitCount()); ++i) {
    colours.push_back(image.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF);
  }
  return colours;
}

// What a colour change does before it changes the depth.
void PrepareColour(Document& doc, const ColourSettings& settings) {
  ApplyColourSettings(doc.image, settings);
  doc.pickedColor = doc.KeyColour();
  (void)TransparentCommand(doc);
}

}  // namespace

Result ColourCommand(Document& doc, const ColourSettings& settings, int bits, ChangeReport* report) {
  if (!doc.image.IsValid()) return Result::Refused("there is no picture");
  ImageBuffer before;
  if (report) {
    if (Result r = before.CopyPictureFrom(doc.image); !r.ok()) return r;
  }
  PrepareColour(doc, settings);
  Result r =
      ChangeColorDepth(doc.image, bits, settings.paletteKind == kPaletteGiven ? settings.palette : settings.fitted);
  if (report && r.ok()) *report = MeasureChange(before, doc.image, doc.image.TransparentMask());
  return r;
}

std::string ReportLine(int bits, const ChangeReport& report) {
  char line[96];
  std::snprintf(line, sizeof line, "depth %d: PSNR %.2f dB, mean \u0394E %.2f", bits, report.psnr, report.meanDeltaE);
  return line;
}

PaletteSamples::PaletteSamples() : m_counts(kSampleBins, 0) {}

void PaletteSamples::Add(const PaletteSamples& other) {
  for (size_t bin = 0; bin < m_counts.size(); ++bin) m_counts[bin] += other.m_counts[bin];
}

std::vector<uint32_t> PaletteSamples::Fit(int bits) const {
  std::vector<uint32_t> palette(PaletteEntriesFor(bits), 0);
  FitPalette(m_counts, 0, palette.data(), static_cast<int>(palette.size()), bits);
  return palette;
}

void CountColourSamples(Document& doc, const ColourSettings& settings, int bits, PaletteSamples& samples) {
  if (!doc.image.IsValid() || settings.paletteKind != kPaletteOptimized) return;
  PrepareColour(doc, settings);
  if (bits <= 8 && bits != doc.image.BitCount()) CountSamples(doc.image, samples.m_counts);
}

Result ReadPalette(const std::string& path, std::vector<uint32_t>& colours) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(path, bytes); !r.ok()) return r;
  if (PaletteFormatForPath(path) || IsPaletteContent(bytes.data(), bytes.size())) {
    return ParsePalette(path, bytes.data(), bytes.size(), colours);
  }
  // Under any other name a picture gives its palette, and what is no picture
  // may still be a colour table or a list of colours.
  ImageBuffer picture;
  if (Result r = LoadBytes(picture, bytes.data(), bytes.size()).WithContext(BaseName(path)); !r.ok()) {
    if (r.cause() == Result::Cause::kNotAPicture) return ParsePalette(path, bytes.data(), bytes.size(), colours);
    return r;
  }
  if (picture.BitCount() > 8) {
    return Result::Refused(BaseName(path) + ": a picture of " + std::to_string(picture.BitCount()) +
                           " bits has no palette (palette files end in .gpl, .pal, .act, .hex or .txt)");
  }
  colours = PaletteColours(picture);
  return Result::Done();
}

Result PaletteOf(const Document& doc, std::vector<uint32_t>& colours) {
  const ImageBuffer& image = doc.image;
  if (!image.IsValid()) return Result::Refused("there is no picture");
  if (image.BitCount() > 8) {
    return Result::Refused("a picture of " + std::to_string(image.BitCount()) + " bits has no palette");
  }
  colours = PaletteColours(image);
  return Result::Done();
}

Result SavePaletteCommand(const Document& doc, const std::string& path, bool riff) {
  std::vector<uint32_t> colours;
  if (Result r = PaletteOf(doc, colours); !r.ok()) return r;
  return SavePaletteCommand(colours, path, riff);
}

Result SavePaletteCommand(const std::vector<uint32_t>& colours, const std::string& path, bool riff) {
  const std::optional<PaletteFormat> format = PaletteFormatForPath(path);
  return WritePaletteFile(path, colours, riff && format == PaletteFormat::kJasc ? PaletteFormat::kRiff : format);
}

Result LzssFileCommand(bool encode, const std::string& in, const std::string& out) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(in, bytes); !r.ok()) return r;
  LzssCodec codec;
  Result r;
  if (encode) {
    r = codec.Encode(bytes.data(), static_cast<int64_t>(bytes.size()));
  } else if (!HasLzssMagic(bytes.data(), bytes.size())) {
    r = Result::Refused("the file does not start with \"LZSS\"");
  } else {
    r = codec.Decode(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  if (r.ok()) r = WriteFileAtomic(out, codec.Bytes().data(), codec.Bytes().size());
  return std::move(r).WithContext(std::string("lzss ") + (encode ? "encode " : "decode ") + in);
}

namespace {

Result CheckEntries(const ImageBuffer& image, std::initializer_list<int> entries) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  if (image.BitCount() > 8) {
    return Result::Refused("a picture of " + std::to_string(image.BitCount()) + " bits has no palette");
  }
  for (const int e : entries) {
    if (e < 0 || e >= PaletteEntriesFor(image.BitCount())) {
      return Result::Refused("a " + std::to_string(image.BitCount()) + "-bit palette has no entry " +
                             std::to_string(e));
    }
  }
  return Result::Done();
}

// Gives every pixel the index `order` puts its entry at, and every entry
// its new place: entry order[i] becomes entry i.
void Reorder(ImageBuffer& image, const std::vector<int>& order) {
  const int entries = PaletteEntriesFor(image.BitCount());
  std::vector<uint32_t> colours(static_cast<size_t>(entries));
  std::vector<uint8_t> index(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    colours[static_cast<size_t>(i)] = image.GetPaletteColor(static_cast<uint32_t>(order[static_cast<size_t>(i)]));
    index[static_cast<size_t>(order[static_cast<size_t>(i)])] = static_cast<uint8_t>(i);
  }
  for (int i = 0; i < entries; ++i) image.SetPaletteColor(static_cast<uint32_t>(i), colours[static_cast<size_t>(i)]);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width()));
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) row[static_cast<size_t>(x)] = index[image.GetIndex(x, y)];
    image.SetIndexRow(y, row.data());
  }
}

Result KeepTransparentSlot(const ImageBuffer& image, std::initializer_list<int> entries) {
  for (const int e : entries) {
    if (e == 0 && FirstColourIndex(image.BitCount()) == 1) {
      return Result::Refused("entry 0 is the transparent slot; it stays in its place");
    }
  }
  return Result::Done();
}

}  // namespace

Result SetPaletteEntryCommand(Document& doc, int index, uint32_t rgb) {
  if (Result r = CheckEntries(doc.image, {index}); !r.ok()) return r;
  const uint32_t was = doc.image.GetPaletteColor(static_cast<uint32_t>(index));
  if ((was & 0xFFFFFF) == (rgb & 0xFFFFFF)) return Result::NothingToDo("the entry has that colour");
  doc.image.SetPaletteColor(static_cast<uint32_t>(index), (was & 0xFF000000u) | (rgb & 0xFFFFFF));
  return Result::Done();
}

Result SwapPaletteEntriesCommand(Document& doc, int a, int b) {
  if (Result r = CheckEntries(doc.image, {a, b}); !r.ok()) return r;
  if (Result r = KeepTransparentSlot(doc.image, {a, b}); !r.ok()) return r;
  if (a == b) return Result::NothingToDo("an entry swapped with itself");
  std::vector<int> order(static_cast<size_t>(PaletteEntriesFor(doc.image.BitCount())));
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::swap(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
  Reorder(doc.image, order);
  return Result::Done();
}

Result MovePaletteEntryCommand(Document& doc, int from, int to) {
  if (Result r = CheckEntries(doc.image, {from, to}); !r.ok()) return r;
  if (Result r = KeepTransparentSlot(doc.image, {from, to}); !r.ok()) return r;
  if (from == to) return Result::NothingToDo("the entry is at that place");
  std::vector<int> order(static_cast<size_t>(PaletteEntriesFor(doc.image.BitCount())));
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  const int moved = order[static_cast<size_t>(from)];
  order.erase(order.begin() + from);
  order.insert(order.begin() + to, moved);
  Reorder(doc.image, order);
  return Result::Done();
}

Result ApplyPaletteCommand(Document& doc, const ColourSettings& settings) {
  const ImageBuffer& image = doc.image;
  if (Result r = CheckEntries(image, {}); !r.ok()) return r;
  const int bits = image.BitCount();
  if (Result r = CheckGivenPalette(bits, settings.palette); !r.ok()) return r;
  // The picture as colours, its transparent pixels marked, then changed to
  // its own depth with the palette.
  ImageBuffer colours;
  if (Result r = ExpandTo24Bits(image, colours); !r.ok()) return r;
  std::vector<uint8_t> mask;
  if (FirstColourIndex(bits) == 1) {
    for (int32_t y = 0; y < image.Height(); ++y) {
      for (int32_t x = 0; x < image.Width(); ++x) mask.push_back(image.GetIndex(x, y) == 0);
    }
  }
  colours.m_transparentColor = image.m_transparentColor;
  colours.m_lastTransparent = image.m_lastTransparent;
  colours.SetTransparentMask(std::move(mask));
  ColourSettings given = settings;
  given.paletteKind = kPaletteGiven;
  ApplyColourSettings(colours, given);
  if (Result r = ChangeColorDepth(colours, bits, given.palette); !r.ok()) return r;
  colours.m_title = image.m_title;
  doc.image.SwapPictures(colours);
  return Result::Done();
}

std::vector<size_t> PaletteUses(const ImageBuffer& image) {
  std::vector<size_t> uses(static_cast<size_t>(PaletteEntriesFor(image.BitCount())), 0);
  if (!image.IsValid() || uses.empty()) return uses;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) ++uses[image.GetIndex(x, y)];
  }
  return uses;
}

void PickCommand(Document& doc, int32_t x, int32_t y) {
  const ImageBuffer& image = doc.image;
  doc.pickedColor = image.IsValid() && image.Inside(x, y) ? SwapRedBlue(image.GetPixel(x, y)) : doc.KeyColour();
}

int ColoursInUse(const ImageBuffer& image) {
  if (!image.IsValid()) return 0;
  // One bit for every colour a pixel can have: 2^24, or the 256 indices.
  const bool indexed = image.BitCount() <= 8;
  std::vector<uint64_t> seen(indexed ? 4 : (size_t{1} << 24) / 64, 0);
  std::vector<uint32_t> row(static_cast<size_t>(image.Width()));
  int count = 0;
  for (int32_t y = 0; y < image.Height(); ++y) {
    if (!indexed) image.GetRowPixels(y, row.data());
    for (int32_t x = 0; x < image.Width(); ++x) {
      const uint32_t v = indexed ? image.GetIndex(x, y) : row[static_cast<size_t>(x)] & 0xFFFFFF;
      uint64_t& word = seen[v >> 6];
      const uint64_t bit = uint64_t{1} << (v & 63);
      count += (word & bit) == 0;
      word |= bit;
    }
  }
  return count;
}

}  // namespace pixmill
