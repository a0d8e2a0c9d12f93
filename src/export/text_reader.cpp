#include "export/text_reader.h"

#include <cstring>
#include <string_view>

namespace pixmill {

namespace {

using Kind = TextSection::Kind;

Result NotText(int line, const std::string& what) {
  return Result::Refused("not a Pixmill text export: line " + std::to_string(line) + ": " + what,
                         Result::Cause::kNotAPicture);
}

// A line of the file quoted for a message, cut short.
std::string Quote(std::string_view line) {
  std::string out = "\"";
  for (size_t i = 0; i < line.size() && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    out += c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c);
  }
  return out + (line.size() > 40 ? "...\"" : "\"");
}

// A whole decimal number at the front of `text`, taken off it.
bool TakeNumber(std::string_view& text, long& value) {
  size_t i = 0;
  long v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 9) v = v * 10 + (text[i++] - '0');
  if (i == 0) return false;
  text.remove_prefix(i);
  value = v;
  return true;
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// "×" as the writer puts it (Shift-JIS), or as an editor may have turned
// it into UTF-8.
bool TakeTimes(std::string_view& text) { return TakePrefix(text, "\x81\x7E") || TakePrefix(text, "\xC3\x97"); }

// The comment of a section: its kind, numbers, and the bytes its DATA lines
// hold (-1 when the comment does not say).
bool ParseComment(std::string_view text, TextSection& section, long& bytes) {
  if (!TakePrefix(text, "'/*") || text.size() < 2 || text.substr(text.size() - 2) != "*/") return false;
  text.remove_suffix(2);
  bytes = -1;
  static const struct {
    const char* name;
    Kind kind;
  } kSized[] = {{"palette data ", Kind::kPalette},
                {"image data ", Kind::kImage},
                {"brock data ", Kind::kBlocks},
                {"lzss data ", Kind::kLzss},
                {"map data ", Kind::kMap}};
  for (const auto& s : kSized) {
    std::string_view rest = text;
    long digits = 0;
    if (TakePrefix(rest, s.name) && TakeNumber(rest, digits) && rest == "byte" && digits % 2 == 0) {
      section.kind = s.kind;
      bytes = digits / 2;
      return true;
    }
  }
  std::string_view rest = text;
  long w = 0, h = 0, d = 0;
  if (TakePrefix(rest, "header ") && TakeNumber(rest, w) && TakeTimes(rest) && TakeNumber(rest, h) && TakeTimes(rest) &&
      TakeNumber(rest, d) && rest.empty()) {
    section.kind = Kind::kHeader;
    section.numbers = {w, h, d};
    bytes = 4;
    return true;
  }
  rest = text;
  long blocks = 0;
  if (TakePrefix(rest, "character data ") && TakeNumber(rest, blocks) && rest == "brock") {
    section.kind = Kind::kCharacters;
    section.numbers = {blocks};
    bytes = 0;
    return true;
  }
  return false;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The orders the writer writes sections in: one lzss section; a header, a
// palette perhaps, the image; a character count, a palette perhaps, the
// blocks; one map. The cells of a sheet in one file repeat the header (or
// character count) and its data after one palette.
Result CheckOrder(const std::vector<TextSection>& sections) {
  auto wrong = [&](size_t i) { return NotText(sections[i].line, "a section out of its place"); };
  const Kind first = sections.front().kind;
  if (first == Kind::kLzss || first == Kind::kMap) return sections.size() == 1 ? Result::Done() : wrong(1);
  size_t i = 0;
  const bool frames = first == Kind::kPalette;
  if (frames) ++i;
  if (i == sections.size()) return wrong(0);
  const Kind head = sections[i].kind;
  if (head != Kind::kHeader && head != Kind::kCharacters) return wrong(i);
  const Kind data = head == Kind::kHeader ? Kind::kImage : Kind::kBlocks;
  for (int picture = 0; i < sections.size(); ++picture) {
    if (sections[i].kind != head || (picture > 0 && !frames)) return wrong(i);
    const TextSection& counted = sections[i];
    ++i;
    if (!frames && i < sections.size() && sections[i].kind == Kind::kPalette) ++i;
    if (i == sections.size() || sections[i].kind != data)
      return NotText(sections[i - 1].line, "a section is missing after it");
    if (head == Kind::kCharacters && static_cast<long>(sections[i].bytes.size()) != 64 * counted.numbers[0]) {
      return NotText(sections[i].line, "the blocks are not as many as the character count says");
    }
    ++i;
  }
  return Result::Done();
}

}  // namespace

bool LooksLikeExportText(const uint8_t* data, size_t size) { return size >= 3 && std::memcmp(data, "'/*", 3) == 0; }

Result ReadExportText(const uint8_t* data, size_t size, std::vector<TextSection>& out) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<TextSection> sections;
  long expected = 0;  // bytes the open section's DATA lines still owe
  int number = 0;
  auto close = [&](int line) -> Result {
    if (!sections.empty() && expected != 0) {
      return NotText(line, "the DATA lines after line " + std::to_string(sections.back().line) + " hold " +
                               std::to_string(sections.back().bytes.size()) + " bytes, not the " +
                               std::to_string(sections.back().bytes.size() + static_cast<size_t>(expected)) +
                               " its comment says");
    }
    return Result::Done();
  };
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.substr(0, 5) == "data ") {
      if (sections.empty()) return NotText(number, "DATA before any comment");
      std::string_view hex = line.substr(5);
      if (hex.empty() || hex.size() % 2 != 0) return NotText(number, Quote(line) + " is not whole bytes in hex");
      if (static_cast<long>(hex.size() / 2) > expected) {
        return NotText(number, "more DATA than the comment on line " + std::to_string(sections.back().line) + " says");
      }
      for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = Hex(hex[i]), lo = Hex(hex[i + 1]);
        if (hi < 0 || lo < 0) return NotText(number, Quote(line) + " is not whole bytes in hex");
        sections.back().bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
      }
      expected -= static_cast<long>(hex.size() / 2);
      continue;
    }
    if (Result r = close(number); !r.ok()) return r;
    TextSection section;
    section.line = number;
    if (!ParseComment(line, section, expected)) {
      return NotText(number, Quote(line) + " is neither a comment of an export nor a DATA line");
    }
    sections.push_back(std::move(section));
  }
  if (Result r = close(number + 1); !r.ok()) return r;
  if (sections.empty()) return NotText(1, "no comment line");
  if (Result r = CheckOrder(sections); !r.ok()) return r;
  out = std::move(sections);
  return Result::Done();
}

}  // namespace pixmill
