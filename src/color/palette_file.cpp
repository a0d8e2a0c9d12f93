#include "color/palette_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/bytes.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace pixmill {

namespace {

constexpr size_t kMaxColours = 256;
constexpr size_t kActTableSize = 3 * kMaxColours;  // 768
constexpr size_t kActWithCountSize = kActTableSize + 4;
constexpr uint32_t kActNoTransparent = 0xFFFF;
constexpr std::string_view kGimpHeader = "GIMP Palette";
constexpr std::string_view kJascHeader = "JASC-PAL";
constexpr std::string_view kJascVersion = "0100";
constexpr std::string_view kExtensions = ".gpl, .pal, .act, .hex or .txt";

// The extension of the path's base name in lower case, with its dot; empty
// when there is none.
std::string LowerExtension(const std::string& path) {
  const std::string base = BaseName(path);
  const size_t dot = base.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = base.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A line of the file quoted for a message: control bytes shown as '?', long
// lines cut short.
std::string Quote(std::string_view line) {
  constexpr size_t kShown = 40;
  std::string out = "\"";
  for (size_t i = 0; i < line.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
  }
  if (line.size() > kShown) out += "...";
  return out + "\"";
}

// A decimal number of digits only, at most `max`.
bool ParseDecimal(std::string_view s, uint32_t max, uint32_t& value) {
  if (s.empty()) return false;
  uint32_t v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
    if (v > max) return false;
  }
  value = v;
  return true;
}

// Splits at blanks and tabs: up to `count` words, then the rest of the line
// (trimmed) in `rest`.
std::vector<std::string_view> Words(std::string_view s, size_t count, std::string_view& rest) {
  std::vector<std::string_view> words;
  s = Trim(s);
  while (!s.empty() && words.size() < count) {
    size_t end = 0;
    while (end < s.size() && !IsBlank(s[end])) ++end;
    words.push_back(s.substr(0, end));
    s = Trim(s.substr(end));
  }
  rest = s;
  return words;
}

// Three decimal numbers 0 to 255; anything after them goes to `rest`.
bool ParseDecimalTriple(std::string_view line, uint32_t& rgb, std::string_view& rest) {
  const std::vector<std::string_view> words = Words(line, 3, rest);
  if (words.size() != 3) return false;
  uint32_t r = 0, g = 0, b = 0;
  if (!ParseDecimal(words[0], 255, r) || !ParseDecimal(words[1], 255, g) || !ParseDecimal(words[2], 255, b)) {
    return false;
  }
  rgb = r << 16 | g << 8 | b;
  return true;
}

// RRGGBB with an optional '#' in front.
bool ParseHexColour(std::string_view s, uint32_t& rgb) {
  if (!s.empty() && s.front() == '#') s.remove_prefix(1);
  const std::optional<uint32_t> v = ParseRgbHex(s);
  if (v) rgb = *v;
  return v.has_value();
}

struct Line {
  std::string_view text;  // without its LF
  int number;             // from 1
};

// The lines of a text file, a UTF-8 byte order mark in front skipped. Lines
// end in LF, CR LF or a lone CR; a last line without an end counts, the
// empty piece after a final end does not.
std::vector<Line> SplitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Line> lines;
  int number = 1;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    lines.push_back({text.substr(0, end), number++});
    if (end == std::string_view::npos) break;
    const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crlf ? 2 : 1));
  }
  return lines;
}

// The first line of a text, trimmed.
std::string_view FirstLine(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return Trim(text.substr(0, text.find_first_of("\r\n")));
}

// Control bytes other than tab, CR and LF: no text palette has them.
bool HasControlBytes(std::string_view bytes) {
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) return true;
  }
  return false;
}

// Builds the refusals of one file: "name: what" or "name, line N: what".
class Refusals {
 public:
  explicit Refusals(const std::string& name) : m_base(BaseName(name)) {}
  Result Whole(const std::string& what) const { return Result::Refused(m_base + ": " + what); }
  Result At(int line, const std::string& what) const {
    return Result::Refused(m_base + ", line " + std::to_string(line) + ": " + what);
  }
  Result NotAColour(int line, std::string_view text, const char* form) const {
    return At(line, Quote(text) + " is not a colour (" + form + ")");
  }

 private:
  std::string m_base;
};

constexpr const char* kDecimalForm = "three numbers 0 to 255";
constexpr const char* kHexForm = "RRGGBB in hex";
constexpr const char* kTooMany = "more than 256 colours";

Result ParseGimp(const Refusals& refuse, std::string_view text, std::vector<uint32_t>& out) {
  const std::vector<Line> lines = SplitLines(text);
  if (lines.empty() || Trim(lines[0].text) != kGimpHeader) {
    return refuse.At(1, "the first line is not \"" + std::string(kGimpHeader) + "\"");
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const std::string_view t = Trim(line.text);
    if (t.empty() || t.front() == '#' || t.substr(0, 5) == "Name:") continue;
    if (t.substr(0, 8) == "Columns:") {
      uint32_t columns = 0;
      if (!ParseDecimal(Trim(t.substr(8)), 256, columns)) {
        return refuse.At(line.number, Quote(t) + " is not a column count (0 to 256)");
      }
      continue;
    }
    uint32_t rgb = 0;
    std::string_view name;  // the colour's name, which is not kept
    if (!ParseDecimalTriple(t, rgb, name)) return refuse.NotAColour(line.number, t, kDecimalForm);
    if (out.size() == kMaxColours) return refuse.At(line.number, kTooMany);
    out.push_back(rgb);
  }
  return Result::Done();
}

Result ParseJasc(const Refusals& refuse, std::string_view text, std::vector<uint32_t>& out) {
  const std::vector<Line> lines = SplitLines(text);
  if (lines.empty() || Trim(lines[0].text) != kJascHeader) {
    return refuse.At(1, "the first line is not \"" + std::string(kJascHeader) + "\"");
  }
  const std::string version = "the version \"" + std::string(kJascVersion) + "\"";
  if (lines.size() < 2) return refuse.At(2, version + " is missing");
  if (Trim(lines[1].text) != kJascVersion) return refuse.At(2, Quote(Trim(lines[1].text)) + " is not " + version);
  if (lines.size() < 3) return refuse.At(3, "the colour count is missing");
  const std::string_view countText = Trim(lines[2].text);
  uint32_t count = 0;
  if (!ParseDecimal(countText, 65535, count)) {
    return refuse.At(3, Quote(countText) + " is not a colour count (1 to 256)");
  }
  if (count == 0) return refuse.At(3, "no colours (the count is 0)");
  if (count > kMaxColours) return refuse.At(3, std::string(kTooMany) + " (the count is " + std::to_string(count) + ")");
  size_t found = 0;
  for (size_t i = 3; i < lines.size(); ++i) {
    if (Trim(lines[i].text).empty()) continue;
    uint32_t rgb = 0;
    std::string_view rest;
    if (!ParseDecimalTriple(lines[i].text, rgb, rest) || !rest.empty()) {
      return refuse.NotAColour(lines[i].number, Trim(lines[i].text), kDecimalForm);
    }
    if (++found <= count) out.push_back(rgb);  // no more than the count, whatever follows
  }
  if (found != count) {
    return refuse.At(3, "the count is " + std::to_string(count) + " but " + std::to_string(found) +
                            (found == 1 ? " colour follows" : " colours follow"));
  }
  return Result::Done();
}

Result ParseHexList(const Refusals& refuse, std::string_view text, std::vector<uint32_t>& out) {
  for (const Line& line : SplitLines(text)) {
    const std::string_view colour = Trim(line.text.substr(0, line.text.find(';')));
    if (colour.empty()) continue;
    uint32_t rgb = 0;
    if (!ParseHexColour(colour, rgb)) return refuse.NotAColour(line.number, colour, kHexForm);
    if (out.size() == kMaxColours) return refuse.At(line.number, kTooMany);
    out.push_back(rgb);
  }
  return Result::Done();
}

// The file's transparent index is not kept: the program's own transparent
// slot is palette index 0, set by the transparent-colour command.
Result ParseAct(const Refusals& refuse, const uint8_t* data, size_t size, std::vector<uint32_t>& out) {
  if (size != kActTableSize && size != kActWithCountSize) {
    return refuse.Whole(std::to_string(size) + " bytes is not a colour table (" + std::to_string(kActTableSize) +
                        " bytes, or " + std::to_string(kActWithCountSize) + " with a colour count)");
  }
  size_t count = kMaxColours;
  if (size == kActWithCountSize) {
    count = ReadBe16(data + kActTableSize);
    if (count == 0) return refuse.Whole("no colours (the colour count is 0)");
    if (count > kMaxColours)
      return refuse.Whole(std::string(kTooMany) + " (the colour count is " + std::to_string(count) + ")");
  }
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = data + 3 * i;
    out.push_back(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2]);
  }
  return Result::Done();
}

constexpr size_t kRiffHeader = 24;  // "RIFF", size, "PAL ", "data", size, version, count

bool IsRiffPalette(std::string_view bytes) {
  return bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "PAL ";
}

// The "data" chunk of a RIFF palette, found among its chunks.
Result ParseRiff(const Refusals& refuse, const uint8_t* data, size_t size, std::vector<uint32_t>& out) {
  for (size_t at = 12; at + 8 <= size;) {
    const size_t length = ReadLe32(data + at + 4);
    if (std::memcmp(data + at, "data", 4) != 0) {
      if (length > size - at - 8) break;
      at += 8 + length + (length & 1);
      continue;
    }
    if (length < 4 || length > size - at - 8) return refuse.Whole("the \"data\" chunk runs past the end of the file");
    const uint8_t* chunk = data + at + 8;
    const size_t count = ReadLe16(chunk + 2);
    if (count == 0) return refuse.Whole("no colours (the count is 0)");
    if (count > kMaxColours)
      return refuse.Whole(std::string(kTooMany) + " (the count is " + std::to_string(count) + ")");
    if (4 + 4 * count > length) {
      return refuse.Whole("the \"data\" chunk holds fewer than the " + std::to_string(count) + " colours it counts");
    }
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* e = chunk + 4 + 4 * i;
      out.push_back(static_cast<uint32_t>(e[0]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[2]);
    }
    return Result::Done();
  }
  return refuse.Whole("a RIFF palette without its \"data\" chunk");
}

// The format of a file: certain contents first, then the extension.
std::optional<PaletteFormat> DetectFormat(const std::string& name, std::string_view bytes) {
  const std::optional<PaletteFormat> byName = PaletteFormatForPath(name);
  const bool actSize = bytes.size() == kActTableSize || bytes.size() == kActWithCountSize;
  if (byName == PaletteFormat::kAct && actSize) return PaletteFormat::kAct;
  if (IsRiffPalette(bytes)) return PaletteFormat::kRiff;
  const std::string_view first = FirstLine(bytes);
  if (first == kGimpHeader) return PaletteFormat::kGimp;
  if (first == kJascHeader) return PaletteFormat::kJasc;
  if (actSize && HasControlBytes(bytes)) return PaletteFormat::kAct;
  return byName;
}

void AppendDecimalTriple(std::string& out, uint32_t rgb, const char* form) {
  char line[32];
  std::snprintf(line, sizeof line, form, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  out += line;
}

}  // namespace

bool IsPaletteContent(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string_view first = FirstLine(bytes);
  return IsRiffPalette(bytes) || first == kGimpHeader || first == kJascHeader;
}

std::optional<PaletteFormat> PaletteFormatForPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".gpl") return PaletteFormat::kGimp;
  if (ext == ".pal") return PaletteFormat::kJasc;
  if (ext == ".act") return PaletteFormat::kAct;
  if (ext == ".hex" || ext == ".txt") return PaletteFormat::kHex;
  return std::nullopt;
}

Result ParsePalette(const std::string& name, const uint8_t* data, size_t size, std::vector<uint32_t>& colours) {
  const Refusals refuse(name);
  if (size == 0) return refuse.Whole("the file is empty");
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<PaletteFormat> format = DetectFormat(name, bytes);
  if (!format && !HasControlBytes(bytes)) {
    // No extension that names a format: a list of hex colours is known by
    // being one.
    std::vector<uint32_t> listed;
    if (ParseHexList(refuse, bytes, listed).ok() && !listed.empty()) format = PaletteFormat::kHex;
  }
  if (!format) {
    return refuse.Whole("not a palette file (the content is no known palette and the extension is not " +
                        std::string(kExtensions) + ")");
  }
  std::vector<uint32_t> parsed;
  Result r;
  switch (*format) {
    case PaletteFormat::kGimp:
      r = ParseGimp(refuse, bytes, parsed);
      break;
    case PaletteFormat::kJasc:
      r = ParseJasc(refuse, bytes, parsed);
      break;
    case PaletteFormat::kAct:
      r = ParseAct(refuse, data, size, parsed);
      break;
    case PaletteFormat::kHex:
      r = ParseHexList(refuse, bytes, parsed);
      break;
    case PaletteFormat::kRiff:
      r = ParseRiff(refuse, data, size, parsed);
      break;
  }
  if (!r.ok()) return r;
  if (parsed.empty()) return refuse.Whole("no colours");
  colours = std::move(parsed);
  return Result::Done();
}

Result ReadPaletteFile(const std::string& path, std::vector<uint32_t>& colours) {
  FileBytes bytes;
  if (Result r = ReadWholeFile(path, bytes); !r.ok()) return r;
  return ParsePalette(path, bytes.data(), bytes.size(), colours);
}

std::string FormatPalette(PaletteFormat format, const std::vector<uint32_t>& colours, const std::string& name) {
  std::string out;
  switch (format) {
    case PaletteFormat::kGimp:
      out += std::string(kGimpHeader) + "\n";
      if (!name.empty()) {
        // A control character in a file name would break the line.
        std::string shown = name;
        for (char& c : shown) {
          if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        }
        out += "Name: " + shown + "\n";
      }
      out += "Columns: 16\n";
      for (const uint32_t rgb : colours) AppendDecimalTriple(out, rgb, "%3u %3u %3u\n");
      break;
    case PaletteFormat::kJasc:
      out += std::string(kJascHeader) + "\n" + std::string(kJascVersion) + "\n" + std::to_string(colours.size()) + "\n";
      for (const uint32_t rgb : colours) AppendDecimalTriple(out, rgb, "%u %u %u\n");
      break;
    case PaletteFormat::kAct: {
      const size_t count = colours.size() < kMaxColours ? colours.size() : kMaxColours;
      out.assign(kActWithCountSize, '\0');
      for (size_t i = 0; i < count; ++i) {
        out[3 * i] = static_cast<char>(colours[i] >> 16);
        out[3 * i + 1] = static_cast<char>(colours[i] >> 8);
        out[3 * i + 2] = static_cast<char>(colours[i]);
      }
      auto* trailer = reinterpret_cast<uint8_t*>(out.data() + kActTableSize);
      WriteBe16(trailer, static_cast<uint32_t>(count));
      WriteBe16(trailer + 2, kActNoTransparent);
      break;
    }
    case PaletteFormat::kHex:
      for (const uint32_t rgb : colours) {
        char line[16];
        std::snprintf(line, sizeof line, "%06x\n", rgb & 0xFFFFFF);
        out += line;
      }
      break;
    case PaletteFormat::kRiff: {
      const size_t count = std::min(colours.size(), kMaxColours);
      out.assign(kRiffHeader + 4 * count, '\0');
      auto* p = reinterpret_cast<uint8_t*>(out.data());
      std::memcpy(p, "RIFF", 4);
      WriteLe32(p + 4, static_cast<uint32_t>(out.size() - 8));
      std::memcpy(p + 8, "PAL data", 8);
      WriteLe32(p + 16, static_cast<uint32_t>(4 + 4 * count));
      WriteLe16(p + 20, 0x0300);
      WriteLe16(p + 22, static_cast<uint32_t>(count));
      for (size_t i = 0; i < count; ++i) {
        p[kRiffHeader + 4 * i] = static_cast<uint8_t>(colours[i] >> 16);
        p[kRiffHeader + 4 * i + 1] = static_cast<uint8_t>(colours[i] >> 8);
        p[kRiffHeader + 4 * i + 2] = static_cast<uint8_t>(colours[i]);
      }
      break;
    }
  }
  return out;
}

Result WritePaletteFile(const std::string& path, const std::vector<uint32_t>& colours,
                        std::optional<PaletteFormat> given) {
  const Refusals refuse(path);
  const std::optional<PaletteFormat> format = given ? given : PaletteFormatForPath(path);
  if (!format) return refuse.Whole("not a palette file name (the extension must be " + std::string(kExtensions) + ")");
  if (colours.empty() || colours.size() > kMaxColours) {
    return refuse.Whole("cannot write " + std::to_string(colours.size()) + " colours (a palette holds 1 to " +
                        std::to_string(kMaxColours) + ")");
  }
  const std::string bytes = FormatPalette(*format, colours, FileStem(path));
  return WriteFileAtomic(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace pixmill
