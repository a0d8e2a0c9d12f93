#include "export/export_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <deque>
#include <new>
#include <utility>

#include "export/lzss.h"
#include "platform/bytes.h"
#include "platform/file_io.h"

namespace pixmill {

namespace {

constexpr int kDataBytesPerLine = 32;
constexpr int kMaxHeaderValue = 65535;
constexpr size_t kCharacterPaletteArea = 512;

// "×" in Shift-JIS, the encoding of the exported text.
constexpr const char* kTimesShiftJis = "\x81\x7E";

std::string Comment(const char* format, long long value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// A comment of "NAME data %dbyte" (twice the bytes: the hex digits that
// follow) and the bytes' DATA lines.
std::string Section(const char* name, const std::vector<uint8_t>& bytes) {
  return "'/*" + std::string(name) + " data " + std::to_string(2 * bytes.size()) + "byte*/\r\n" +
         FormatDataLines(bytes.data(), bytes.size(), kDataBytesPerLine);
}

size_t DataLines(size_t bytes) { return (bytes + kDataBytesPerLine - 1) / kDataBytesPerLine; }

// True when the export carries a palette: 8 bits or fewer, and the bitmap
// form or the palette box.
bool WritesPalette(const ImageBuffer& image, const ExportChoices& choices) {
  return image.BitCount() <= 8 && (choices.form == kFormBitmap || choices.palette != 0);
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// The binary character form always starts with the 512-byte palette area;
// without a 256-entry palette it holds zero bytes, so the blocks start at
// 512 in every file.
std::vector<uint8_t> PaletteArea(const ExportImage& e) {
  return e.palette.size() == kCharacterPaletteArea ? e.palette : std::vector<uint8_t>(kCharacterPaletteArea, 0);
}

// The bytes of the binary file, before compression.
std::vector<uint8_t> Joined(const std::vector<ExportImage>& images, bool frames) {
  std::vector<uint8_t> all;
  const ExportImage& first = images.front();
  if (first.character) {
    all = PaletteArea(first);
  } else if (frames) {
    all = first.palette;
  }
  for (const ExportImage& e : images) {
    Append(all, e.header);
    if (!frames && !e.character) Append(all, e.palette);
    Append(all, e.pixels);
  }
  return all;
}

// The text of an uncompressed export.
std::string Text(const std::vector<ExportImage>& images, bool frames) {
  std::string text;
  const ExportImage& first = images.front();
  if (frames && !first.palette.empty()) text += Section("palette", first.palette);
  for (const ExportImage& e : images) {
    if (e.character) {
      text += Comment("'/*character data %lldbrock*/\r\n", static_cast<long long>(e.pixels.size() / 64));
    } else {
      text += "'/*header " + std::to_string(e.width) + kTimesShiftJis + std::to_string(e.height) + kTimesShiftJis +
              std::to_string(e.depth) + "*/\r\n";
      text += FormatDataLines(e.header.data(), e.header.size(), kDataBytesPerLine);
    }
    if (!frames && !e.palette.empty()) text += Section("palette", e.palette);
    text += Section(e.character ? "brock" : "image", e.pixels);
  }
  return text;
}

size_t TextLines(const std::vector<ExportImage>& images, bool frames) {
  size_t lines = frames ? DataLines(images.front().palette.size()) : 0;
  for (const ExportImage& e : images) {
    lines += DataLines(e.header.size()) + (frames ? 0 : DataLines(e.palette.size())) + DataLines(e.pixels.size());
  }
  return lines;
}

bool EndsWithBas(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".bas";
}

}  // namespace

Result BuildExportImage(const ImageBuffer& image, const ExportChoices& c, ExportImage& out) {
  if (!image.IsValid()) return Result::Refused("there is no picture to export");
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  const int depth = image.BitCount();
  if (w > kMaxHeaderValue || h > kMaxHeaderValue) {
    return Result::Refused("a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                               " pixels does not fit the export header (at most 65535 per side)",
                           Result::Cause::kTooLarge);
  }
  if (c.form != kFormBitmap && c.form != kFormTexture && c.form != kFormCharacter) {
    return Result::Refused("no export form is chosen");
  }

  ExportImage e;
  e.width = w;
  e.height = h;
  e.depth = depth;
  if (WritesPalette(image, c)) {
    const int entries = 1 << depth;
    e.palette.reserve(static_cast<size_t>(2 * entries));
    for (int i = 0; i < entries; ++i)
      AppendBe16(e.palette, OpaqueWord(image.GetPaletteColor(static_cast<uint32_t>(i))));
  }

  if (c.form == kFormCharacter) {
    e.character = true;
    const int32_t bw = w / 8;
    const int32_t bh = h / 8;
    e.pixels.resize(static_cast<size_t>(bw) * static_cast<size_t>(bh) * 64);
    uint8_t* o = e.pixels.data();
    for (int32_t by = 0; by < bh; ++by) {
      for (int32_t bx = 0; bx < bw; ++bx) {
        for (int32_t y = by * 8; y < by * 8 + 8; ++y) {
          for (int32_t x = bx * 8; x < bx * 8 + 8; ++x) *o++ = image.GetIndex(x, y);
        }
      }
    }
  } else {
    AppendBe16(e.header, static_cast<uint32_t>(w) & 0xFFFF);
    AppendBe16(e.header, static_cast<uint32_t>(h) & 0xFFFF);
    if (depth > 8) {
      e.pixels.resize(2 * static_cast<size_t>(w) * static_cast<size_t>(h));
      uint8_t* o = e.pixels.data();
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t word = ConsoleWord(image, x, y);
          *o++ = static_cast<uint8_t>(word >> 8);
          *o++ = static_cast<uint8_t>(word);
        }
      }
    } else {
      const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(depth) / 8;
      e.pixels.resize(rowBytes * static_cast<size_t>(h));
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = image.Row(y);
        std::copy(row, row + rowBytes, e.pixels.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y)));
      }
    }
  }
  out = std::move(e);
  return Result::Done();
}

long long CompressionPercent(size_t uncompressedBytes, size_t streamBytes) {
  return uncompressedBytes == 0 ? 0 : static_cast<long long>(streamBytes * 100 / uncompressedBytes);
}

std::string CompressionMessage(size_t uncompressedBytes, size_t streamBytes) {
  const long long percent = CompressionPercent(uncompressedBytes, streamBytes);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "圧縮率 % lld%%% lldbyte ", percent, static_cast<long long>(streamBytes));
  return buffer;
}

std::string FormatDataLines(const uint8_t* data, size_t count, int perLine) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (count == 0 || perLine <= 0) return {};
  const size_t per = static_cast<size_t>(perLine);
  const size_t lines = (count + per - 1) / per;
  std::string out(lines * 7 + 2 * count, '\0');
  char* o = out.data();
  for (size_t i = 0; i < count; i += per) {
    *o++ = 'd';
    *o++ = 'a';
    *o++ = 't';
    *o++ = 'a';
    *o++ = ' ';
    const size_t end = i + per < count ? i + per : count;
    for (size_t k = i; k < end; ++k) {
      *o++ = kHex[data[k] >> 4];
      *o++ = kHex[data[k] & 0xF];
    }
    *o++ = '\r';
    *o++ = '\n';
  }
  return out;
}

Result ExportFileBytes(const ExportChoices& c, const std::vector<ExportImage>& images, bool frames,
                       std::vector<uint8_t>& file, ExportSummary* summary, ProgressSink* progress) {
  try {
    if (images.empty()) return Result::Refused("there is nothing to export");
    ExportSummary s;
    for (const ExportImage& e : images) s.characters += e.character ? e.pixels.size() / 64 : 0;
    if (c.lzss) {
      const std::vector<uint8_t> joined = Joined(images, frames);
      LzssCodec codec(progress);
      if (Result r = codec.Encode(joined.data(), static_cast<int64_t>(joined.size())); !r.ok()) return r;
      s.uncompressed = joined.size();
      s.stream = codec.Bytes().size();
      if (c.output == kOutputText) {
        const std::string text = Section("lzss", codec.Bytes());
        file.assign(text.begin(), text.end());
        s.dataLines = DataLines(s.stream);
      } else {
        file = codec.TakeBytes();
      }
    } else if (c.output == kOutputText) {
      const std::string text = Text(images, frames);
      file.assign(text.begin(), text.end());
      s.dataLines = TextLines(images, frames);
    } else {
      file = Joined(images, frames);
    }
    s.bytes = file.size();
    if (summary) {
      s.budgetNote = summary->budgetNote;
      *summary = s;
    }
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to export the picture", Result::Cause::kNoMemory);
  }
}

Result MapFileBytes(const std::vector<uint8_t>& map, bool text, bool lzss, std::vector<uint8_t>& file) {
  std::vector<uint8_t> bytes = map;
  if (lzss) {
    LzssCodec codec;
    if (Result r = codec.Encode(map.data(), static_cast<int64_t>(map.size())); !r.ok()) return r;
    bytes = codec.TakeBytes();
  }
  if (!text) {
    file = std::move(bytes);
    return Result::Done();
  }
  const std::string lines = Section(lzss ? "lzss" : "map", bytes);
  file.assign(lines.begin(), lines.end());
  return Result::Done();
}

namespace {

// Writes the files all or none: each to its temporary file first, then all
// put in place.
Result WriteTogether(const std::vector<std::pair<std::string, const std::vector<uint8_t>*>>& files) {
  std::deque<PendingFile> pending;
  for (const auto& [path, bytes] : files) {
    if (Result r = pending.emplace_back().Write(path, {Piece{bytes->data(), bytes->size()}}); !r.ok()) return r;
  }
  for (PendingFile& file : pending) {
    if (Result r = file.Commit(); !r.ok()) return r;
  }
  return Result::Done();
}

// Builds the export image of every picture, all of one size and palette.
Result BuildAll(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                std::vector<ExportImage>& images) {
  if (pictures.empty()) return Result::Refused("there is nothing to export");
  for (const ImageBuffer* picture : pictures) {
    ExportImage e;
    if (Result r = BuildExportImage(*picture, choices, e); !r.ok()) return r;
    if (!images.empty() && (e.palette != images.front().palette || e.width != images.front().width ||
                            e.height != images.front().height || e.depth != images.front().depth)) {
      return Result::Refused("the pictures differ in size or palette, so they cannot share one file");
    }
    images.push_back(std::move(e));
  }
  return Result::Done();
}

void ShowCompression(const ExportChoices& c, const ExportSummary& s, MessageSink* messages) {
  if (c.lzss && messages) messages->ShowMessage(CompressionMessage(s.uncompressed, s.stream));
}

}  // namespace

Result WriteExportFiles(const std::string& path, const std::vector<uint8_t>& file, const std::string& mapPath,
                        const std::vector<uint8_t>& map) {
  if (mapPath.empty()) return WriteTogether({{path, &file}});
  return WriteTogether({{path, &file}, {mapPath, &map}});
}

Result WriteFrames(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                   const std::string& path, MessageSink* messages, ExportSummary* summary) {
  try {
    std::vector<ExportImage> images;
    if (Result r = BuildAll(pictures, choices, images); !r.ok()) return r;
    ExportSummary s;
    std::vector<uint8_t> file;
    if (Result r = ExportFileBytes(choices, images, true, file, &s); !r.ok()) return r;
    if (Result r = WriteTogether({{path, &file}}); !r.ok()) return r;
    ShowCompression(choices, s, messages);
    if (summary) *summary = s;
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to export the pictures", Result::Cause::kNoMemory);
  }
}

Result WriteCharacterSet(const std::vector<const ImageBuffer*>& pictures, const ExportChoices& choices,
                         const CharacterChoices& characters, const std::string& path,
                         const std::vector<std::string>& mapPaths, MessageSink* messages, ExportSummary* summary) {
  try {
    if (pictures.empty()) return Result::Refused("there is nothing to export");
    CharacterSet set(characters);
    for (const ImageBuffer* picture : pictures) {
      if (Result r = set.Add(*picture); !r.ok()) return r;
    }
    ExportSummary s;
    if (characters.maxCharacters != 0) {
      if (Result r = set.ApplyBudget(&s.budgetNote); !r.ok()) return r;
    }
    ExportImage e;
    if (Result r = BuildExportImage(*pictures.front(), choices, e); !r.ok()) return r;
    e.pixels = set.Blocks();
    std::vector<uint8_t> file;
    if (Result r = ExportFileBytes(choices, {e}, false, file, &s); !r.ok()) return r;
    std::vector<std::vector<uint8_t>> maps(mapPaths.size());
    std::vector<std::pair<std::string, const std::vector<uint8_t>*>> files = {{path, &file}};
    for (size_t p = 0; p < mapPaths.size(); ++p) {
      if (mapPaths[p].empty()) continue;
      std::vector<uint8_t> words;
      if (Result r = set.MapBytes(p, words); !r.ok()) return r;
      if (Result r = MapFileBytes(words, EndsWithBas(mapPaths[p]), choices.lzss != 0, maps[p]); !r.ok()) return r;
      files.emplace_back(mapPaths[p], &maps[p]);
    }
    if (Result r = WriteTogether(files); !r.ok()) return r;
    ShowCompression(choices, s, messages);
    if (summary) *summary = s;
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to export the pictures", Result::Cause::kNoMemory);
  }
}

Result ConvertedFileBytes(const ImageBuffer& image, const ExportChoices& c, const CharacterChoices& characters,
                          std::vector<uint8_t>& file, std::vector<uint8_t>& map, ExportSummary& summary) {
  try {
    ExportImage e;
    if (Result r = BuildExportImage(image, c, e); !r.ok()) return r;
    ExportSummary s;
    map.clear();
    if (e.character && !characters.Plain()) {
      CharacterSet blocks(characters);
      if (Result r = blocks.Add(image); !r.ok()) return r;
      if (characters.maxCharacters != 0) {
        if (Result r = blocks.ApplyBudget(&s.budgetNote); !r.ok()) return r;
      }
      e.pixels = blocks.Blocks();
      if (!characters.mapPath.empty()) {
        std::vector<uint8_t> words;
        if (Result r = blocks.MapBytes(0, words); !r.ok()) return r;
        if (Result r = MapFileBytes(words, EndsWithBas(characters.mapPath), c.lzss != 0, map); !r.ok()) return r;
      }
    }
    if (Result r = ExportFileBytes(c, {e}, false, file, &s, image.GetProgressBar()); !r.ok()) return r;
    summary = s;
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to export the picture", Result::Cause::kNoMemory);
  }
}

Result WriteConvertedFile(const ImageBuffer& image, const std::string& path, const ExportChoices& c,
                          MessageSink* messages, const CharacterChoices& characters, ExportSummary* summary) {
  std::vector<uint8_t> file, map;
  ExportSummary s;
  if (Result r = ConvertedFileBytes(image, c, characters, file, map, s); !r.ok()) return r;
  const bool withMap = c.form == kFormCharacter && !characters.Plain() && !characters.mapPath.empty();
  if (Result r = WriteExportFiles(path, file, withMap ? characters.mapPath : std::string(), map); !r.ok()) return r;
  ShowCompression(c, s, messages);
  if (summary) *summary = s;
  return Result::Done();
}

}  // namespace pixmill
