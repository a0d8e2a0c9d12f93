#include "export/loader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "export/characters.h"
#include "export/lzss.h"
#include "export/text_reader.h"
#include "image/bmp.h"
#include "image/png.h"
#include "image/standard_palette.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

// The exported-data sizes, in the order they are tried, computed in 64 bits
// from the width and height in the first four bytes.
std::vector<DataReading> ReadingsOfSize(const uint8_t* d, size_t size) {
  std::vector<DataReading> fits;
  if (size < 4) return fits;
  const uint64_t w = ReadBe16(d);
  const uint64_t h = ReadBe16(d + 2);
  const uint64_t p = w * h;
  const uint64_t n = size;
  if (n == 2 * p + 4) fits.push_back({24, false});
  if (n == p + 516) fits.push_back({8, true});
  if (n == p + 4) fits.push_back({8, false});
  if (n == p / 2 + 36) fits.push_back({4, true});
  if (n == p / 2 + 4) fits.push_back({4, false});
  if (n == p / 8 + 8) fits.push_back({1, true});
  if (n == p / 8 + 4) fits.push_back({1, false});
  return fits;
}

// What exported data of the reading and the header's size come to.
std::string ExportedSizeText(const uint8_t* d, size_t size, const DataReading& reading) {
  if (size < 4) return "they start with a 4-byte header";
  const uint64_t p = uint64_t{ReadBe16(d)} * ReadBe16(d + 2);
  const int entries = reading.palette ? PaletteEntriesFor(reading.depth) : 0;
  const uint64_t want = 4 + 2 * static_cast<uint64_t>(entries) + (reading.depth > 8 ? 2 * p : p * reading.depth / 8);
  return "at " + std::to_string(ReadBe16(d)) + " x " + std::to_string(ReadBe16(d + 2)) + " pixels they are " +
         std::to_string(want) + " bytes";
}

void FillPalette(ImageBuffer& image, const uint8_t* words, int entries) {
  if (words != nullptr) {
    for (int i = 0; i < entries; ++i)
      image.SetPaletteColor(static_cast<uint32_t>(i), Colour16ToRgb(ReadBe16(words + 2 * i)));
    return;
  }
  uint32_t palette[256];
  FillStandardPalette(palette, entries);
  for (int i = 0; i < entries; ++i) image.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
}

// Rebuilds the picture from exported data of the given layout. 1- and 4-bit
// rows are read as the writer cuts them (width x depth / 8 bytes each).
Result LoadConvertedData(ImageBuffer& image, const uint8_t* d, size_t size, const DataReading& layout) {
  if (size < 4) return Result::Refused("exported data need a 4-byte header");
  const int32_t w = static_cast<int32_t>(ReadBe16(d));
  const int32_t h = static_cast<int32_t>(ReadBe16(d + 2));
  if (w == 0 || h == 0) {
    return Result::Refused("exported data of " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels hold no picture");
  }
  if (Result r = CheckDecodedSize(w, h, "exported data"); !r.ok()) return r;
  const int depth = layout.depth;
  const int entries = PaletteEntriesFor(depth);
  const size_t paletteBytes = layout.palette && entries ? 2 * static_cast<size_t>(entries) : 0;
  const size_t pixelStart = 4 + paletteBytes;
  const size_t rowBytes = depth > 8 ? 2 * static_cast<size_t>(w) : static_cast<size_t>(w) * depth / 8;
  if (pixelStart + rowBytes * static_cast<size_t>(h) > size) {
    return Result::Refused("the exported data are shorter than their " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels need");
  }

  ImageBuffer picture;
  if (Result r = picture.Create(w, h, depth); !r.ok()) return r;
  // A colour word without its top bit is transparent on the console: such
  // pixels take the key colour, as the export gave them word 0.
  std::vector<uint8_t> transparent;
  const uint32_t key = SwapRedBlue(image.m_transparentColor);
  if (depth == 24) {
    const uint8_t* src = d + 4;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = picture.Row(y);
      for (int32_t x = 0; x < w; ++x, src += 2) {
        const uint32_t word = ReadBe16(src);
        if ((word & 0x8000) == 0) {
          if (transparent.empty()) transparent.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
          transparent[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = 1;
        }
        // An opaque word of the key colour's own (a pixel near the key)
        // stays opaque: a low bit the word does not hold tells it apart.
        const uint32_t rgb = Colour16ToRgb(word);
        WriteRgb24(row + 3 * x, (word & 0x8000) == 0 ? key : rgb == key ? rgb ^ 1 : rgb);
      }
    }
  } else if (depth == 16) {
    // The console's word (red low) as the picture's (red high).
    const uint32_t keyWord = RgbToColour16(key);
    const uint8_t* src = d + 4;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = picture.Row(y);
      for (int32_t x = 0; x < w; ++x, src += 2) {
        const uint32_t word = (ReadBe16(src) & 0x8000) ? ReadBe16(src) : keyWord;
        WriteLe16(row + 2 * x, (word & 0x1F) << 10 | (word & 0x3E0) | ((word >> 10) & 0x1F));
      }
    }
  } else {
    FillPalette(picture, layout.palette ? d + 4 : nullptr, entries);
    const uint8_t* pixels = d + pixelStart;
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(picture.Row(y), pixels + rowBytes * static_cast<size_t>(y), rowBytes);
    }
  }
  image.TakeBlocksFrom(picture);
  MarkTransparent(image, std::move(transparent));
  return Result::Done();
}

std::vector<uint8_t> Concatenated(const std::vector<TextSection>& sections) {
  std::vector<uint8_t> bytes;
  for (const TextSection& s : sections) bytes.insert(bytes.end(), s.bytes.begin(), s.bytes.end());
  return bytes;
}

// The bytes a text export stands for, as the binary export of the same
// choice holds them; a bitmap or texture export also says its layout.
Result FromText(const uint8_t* data, size_t size, std::vector<uint8_t>& bytes, std::optional<DataReading>& layout,
                bool& character, bool& map) {
  std::vector<TextSection> sections;
  if (Result r = ReadExportText(data, size, sections); !r.ok()) return r;
  using Kind = TextSection::Kind;
  const TextSection& first = sections.front();
  character = first.kind == Kind::kCharacters;
  map = first.kind == Kind::kMap;
  if (first.kind == Kind::kPalette) {
    return Result::Refused(
        "the file holds the cells of a sheet, one after the other; they are not read back as one picture");
  }
  if (first.kind == Kind::kHeader) {
    const long depth = first.numbers[2];
    if (!IsPictureDepth(static_cast<int>(depth))) {
      return Result::Refused("the header on line " + std::to_string(first.line) + " gives a depth of " +
                             std::to_string(depth) + " bits");
    }
    const bool palette = sections.size() == 3;
    layout = DataReading{static_cast<int>(depth), palette};
    const long w = first.numbers[0], h = first.numbers[1];
    const size_t pixels = sections.back().bytes.size();
    const size_t want = depth > 8 ? 2 * static_cast<size_t>(w * h) : static_cast<size_t>(w * depth / 8 * h);
    const size_t paletteWords = palette ? sections[1].bytes.size() : 0;
    if (ReadBe16(first.bytes.data()) != static_cast<uint32_t>(w) ||
        ReadBe16(first.bytes.data() + 2) != static_cast<uint32_t>(h) || pixels != want ||
        (palette &&
         (depth > 8 || paletteWords != 2 * static_cast<size_t>(PaletteEntriesFor(static_cast<int>(depth)))))) {
      return Result::Refused("the DATA lines do not hold the " + std::to_string(w) + " x " + std::to_string(h) + " x " +
                             std::to_string(depth) + " picture the header on line " + std::to_string(first.line) +
                             " names");
    }
  }
  if (character) {
    // As the binary form: the 512-byte palette area, then the blocks.
    bytes.assign(512, 0);
    if (sections.size() == 3) {
      if (sections[1].bytes.size() != 512) return Result::Refused("the palette of a character export has 256 words");
      bytes = sections[1].bytes;
    }
    bytes.insert(bytes.end(), sections.back().bytes.begin(), sections.back().bytes.end());
    return Result::Done();
  }
  bytes = Concatenated(sections);
  return Result::Done();
}

// The bytes of a file as the binary form holds them: the file's own, or a
// text export's DATA, or an LZSS stream expanded (held in `owned`).
struct Unpacked {
  std::vector<uint8_t> owned;
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::optional<DataReading> layout;  // the one a text export names
  bool character = false;
  bool map = false;
  void Own() {
    data = owned.data();
    size = owned.size();
  }
};

Result Unpack(const uint8_t* data, size_t size, Unpacked& out) {
  out.data = data;
  out.size = size;
  if (LooksLikeExportText(data, size)) {
    if (Result r = FromText(data, size, out.owned, out.layout, out.character, out.map); !r.ok()) return r;
    out.Own();
  }
  if (!out.layout && HasLzssMagic(out.data, out.size)) {
    LzssCodec codec;
    if (Result r = codec.Decode(out.data, static_cast<int64_t>(out.size)); !r.ok()) {
      return std::move(r).WithCause(Result::Cause::kDamaged);
    }
    out.owned = codec.TakeBytes();
    out.Own();
  }
  return Result::Done();
}

}  // namespace

std::string ReadingName(const DataReading& reading) {
  if (reading.depth > 8) return std::to_string(reading.depth) + "-bit colour words";
  return std::to_string(reading.depth) + (reading.depth == 1 ? " bit " : " bits ") +
         (reading.palette ? "with" : "without") + " a palette";
}

std::string ReadAsText(const DataReading& reading) {
  return "bitmap," + std::to_string(reading.depth) + (reading.palette ? ",palette" : "");
}

namespace {

// LoadBytes; `file`, when given, holds `data` as read from a file.
Result Load(ImageBuffer& image, const uint8_t* data, size_t size, const LoadOptions& options, LoadNotes* notes,
            FileBytes* file) {
  try {
    Unpacked bytes;
    if (Result r = Unpack(data, size, bytes); !r.ok()) return r;
    if (bytes.character) {
      return Result::Refused("a character export is read back with its map (--char-map MAP before it)",
                             Result::Cause::kCharacters);
    }
    if (bytes.map) return Result::Refused("a map is read back with its character file (--char-map MAP CHARACTERS)");
    data = bytes.data;
    size = bytes.size;
    std::optional<DataReading> layout = bytes.layout;
    const std::optional<DataReading>& asked = options.readAs;
    if (layout) {
      // A text export names its own layout.
      if (asked && !(*asked == *layout)) {
        return Result::Refused("the text export holds " + ReadingName(*layout) + ", not " + ReadingName(*asked),
                               Result::Cause::kNotAPicture);
      }
    } else {
      const std::vector<DataReading> fits = ReadingsOfSize(data, size);
      if (asked) {
        if (std::find(fits.begin(), fits.end(), *asked) == fits.end()) {
          return Result::Refused("the file's " + std::to_string(size) + " bytes are not exported data of " +
                                     ReadingName(*asked) + " (" + ExportedSizeText(data, size, *asked) + ")",
                                 Result::Cause::kNotAPicture);
        }
        layout = *asked;
      } else if (!fits.empty()) {
        layout = fits.front();
        if (notes != nullptr) notes->readings = fits;
      }
    }
    if (layout) return LoadConvertedData(image, data, size, *layout).WithCause(Result::Cause::kDamaged);
    if (HasPngSignature(data, size)) return ParsePng(image, data, size).WithCause(Result::Cause::kDamaged);
    // A bitmap file starts with "BM" or at least carries its own length;
    // with neither, the bytes are no kind of file this program reads.
    const bool bitmap = (size >= 2 && std::memcmp(data, "BM", 2) == 0) ||
                        (size >= BitmapFileHeader::kSize && ReadLe32(data + 2) == size);
    if (!bitmap) {
      return Result::Refused("not a picture this program reads: neither data it exported (no layout has " +
                                 std::to_string(size) + " bytes), a PNG file nor a bitmap file",
                             Result::Cause::kNotAPicture);
    }
    return ParseBmp(image, data, static_cast<int64_t>(size), file).WithCause(Result::Cause::kDamaged);
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to load the picture", Result::Cause::kNoMemory);
  }
}

}  // namespace

Result LoadBytes(ImageBuffer& image, const uint8_t* data, size_t size, const LoadOptions& options, LoadNotes* notes) {
  return Load(image, data, size, options, notes, nullptr);
}

Result LoadFile(ImageBuffer& image, const std::string& path, const LoadOptions& options, LoadNotes* notes) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(path, bytes); !r.ok()) return r;
  return Load(image, bytes.data(), bytes.size(), options, notes, &bytes).WithContext(BaseName(path));
}

Result LoadCharacterBytes(ImageBuffer& image, const uint8_t* chars, size_t charsSize, const std::string& charsName,
                          const uint8_t* map, size_t mapSize, const std::string& mapName) {
  try {
    Unpacked blocks, words;
    if (Result r = Unpack(chars, charsSize, blocks); !r.ok()) return std::move(r).WithContext(charsName);
    if (blocks.layout || blocks.map || blocks.size < 512 || (blocks.size - 512) % kBlockBytes != 0) {
      return Result::Refused(
          charsName + ": not a character export (the 512-byte palette area, then blocks of 64 bytes)",
          Result::Cause::kNotAPicture);
    }
    if (Result r = Unpack(map, mapSize, words); !r.ok()) return std::move(r).WithContext(mapName);
    if (words.layout || words.character || words.size < 4) {
      return Result::Refused(mapName + ": not a map (its width and height in cells, then a word per cell)",
                             Result::Cause::kNotAPicture);
    }
    const uint32_t columns = ReadBe16(words.data), rows = ReadBe16(words.data + 2);
    const size_t want = 4 + 2 * static_cast<size_t>(columns) * rows;
    if (words.size != want) {
      return Result::Refused(mapName + ": a map of " + std::to_string(columns) + " x " + std::to_string(rows) +
                                 " cells is " + std::to_string(want) + " bytes long, not " + std::to_string(words.size),
                             Result::Cause::kDamaged);
    }
    if (columns == 0 || rows == 0 || columns * 8 > static_cast<uint32_t>(kMaxSide) ||
        rows * 8 > static_cast<uint32_t>(kMaxSide)) {
      return Result::Refused(mapName + ": a map of " + std::to_string(columns) + " x " + std::to_string(rows) +
                                 " cells makes no picture of 1 to " + std::to_string(kMaxSide) + " pixels a side",
                             Result::Cause::kTooLarge);
    }
    const size_t count = (blocks.size - 512) / kBlockBytes;
    ImageBuffer picture;
    if (Result r = picture.Create(static_cast<int32_t>(columns * 8), static_cast<int32_t>(rows * 8), 8); !r.ok())
      return r;
    const bool palette = std::any_of(blocks.data, blocks.data + 512, [](uint8_t b) { return b != 0; });
    FillPalette(picture, palette ? blocks.data : nullptr, 256);
    for (uint32_t cell = 0; cell < columns * rows; ++cell) {
      const uint32_t word = ReadBe16(words.data + 4 + 2 * cell);
      const uint32_t block = word & (kMapMirrorX - 1);
      if (block >= count) {
        return Result::Refused(mapName + ": cell (" + std::to_string(cell % columns) + ", " +
                                   std::to_string(cell / columns) + ") names character " + std::to_string(block) +
                                   ", and " + charsName + " holds " + std::to_string(count),
                               Result::Cause::kDamaged);
      }
      const uint8_t* b = blocks.data + 512 + block * kBlockBytes;
      const int32_t x0 = static_cast<int32_t>(cell % columns) * 8, y0 = static_cast<int32_t>(cell / columns) * 8;
      for (int y = 0; y < 8; ++y) {
        const int from = (word & kMapMirrorY) ? 7 - y : y;
        for (int x = 0; x < 8; ++x) picture.Row(y0 + y)[x0 + x] = b[from * 8 + ((word & kMapMirrorX) ? 7 - x : x)];
      }
    }
    image.TakeBlocksFrom(picture);
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to load the picture", Result::Cause::kNoMemory);
  }
}

Result LoadCharacterFiles(ImageBuffer& image, const std::string& charsPath, const std::string& mapPath) {
  FileBytes chars, map;
  if (Result r = ReadWholeFile(charsPath, chars); !r.ok()) return r;
  if (Result r = ReadWholeFile(mapPath, map); !r.ok()) return r;
  return LoadCharacterBytes(image, chars.data(), chars.size(), BaseName(charsPath), map.data(), map.size(),
                            BaseName(mapPath));
}

}  // namespace pixmill
