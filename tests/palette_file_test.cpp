#include "color/palette_file.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::TempDir;

// The files are made by tests/data/palettes/make_palettes.py.
const std::string kData = std::string(PIXMILL_TEST_DATA) + "/palettes/";
const std::vector<uint32_t> kOrder = {0x102030, 0xFF8000, 0x000000, 0x0A0B0C, 0xFFFFFF};

// full.act: entry i is (i, 255 - i, i ^ 0x5A).
std::vector<uint32_t> FullTable() {
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 256; ++i) colours.push_back(i << 16 | (255 - i) << 8 | (i ^ 0x5A));
  return colours;
}

std::string Repeat(const std::string& line, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += line;
  return s;
}

// A colour table of 0x11 bytes with a trailer holding `count`.
std::string ActWithCount(uint16_t count) {
  return std::string(768, '\x11') + static_cast<char>(count >> 8) + static_cast<char>(count & 0xFF) + "\xFF\xFF";
}

Result Parse(const std::string& name, const std::string& content, std::vector<uint32_t>& colours) {
  return ParsePalette(name, reinterpret_cast<const uint8_t*>(content.data()), content.size(), colours);
}

TEST(ReadPaletteFile, KeepsTheOrderOfEveryFormat) {
  const struct {
    const char* file;
    std::vector<uint32_t> colours;
  } cases[] = {
      {"order.gpl", kOrder},
      {"order-crlf.pal", kOrder},
      {"order-lf.pal", kOrder},
      {"order-cr.pal", kOrder},
      {"order-cr.gpl", kOrder},
      {"order.hex", kOrder},
      {"full.act", FullTable()},
      {"counted.act", kOrder},  // only the counted entries
      // The content decides where it is certain.
      {"gimp-content.txt", kOrder},
      {"jasc-content.hex", kOrder},
      {"table-content.pal", kOrder},
      {"jasc-content.dat", kOrder},
      {"hex-content", kOrder},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> colours;
    const Result r = ReadPaletteFile(kData + c.file, colours);
    EXPECT_TRUE(r.ok()) << c.file << ": " << r.reason();
    EXPECT_EQ(colours, c.colours) << c.file;
  }
  std::vector<uint32_t> table;  // 768 bytes named .act: a table, even of text
  ASSERT_TRUE(ReadPaletteFile(kData + "text.act", table).ok());
  EXPECT_EQ(table.front(), 0x47494Du);  // "GIM"
}

TEST(ParsePalette, RefusesWithTheFileLineAndFault) {
  const std::string kNotDecimal = " is not a colour (three numbers 0 to 255)";
  const struct {
    std::string name;
    std::string content;
    std::string reason;
  } cases[] = {
      {"/some/dir/my.gpl", "GIMP Palette\nName: x\nColumns: 4\n# c\n\n0 0 0\n12 300 4\n",
       "my.gpl, line 7: \"12 300 4\"" + kNotDecimal},
      {"a.gpl", "GIMP Palette\r\n1 2\r\n", "a.gpl, line 2: \"1 2\"" + kNotDecimal},
      {"a.gpl", "GIMP Palette\n1 2 3x\n", "a.gpl, line 2: \"1 2 3x\"" + kNotDecimal},
      {"a.gpl", "GIMP Palette\nColumns: many\n", "a.gpl, line 2: \"Columns: many\" is not a column count (0 to 256)"},
      {"a.gpl", "GIMP Palette\nName: nothing\n# only comments\n", "a.gpl: no colours"},
      {"a.gpl", "GIMP palette\n1 2 3\n", "a.gpl, line 1: the first line is not \"GIMP Palette\""},
      {"a.gpl", "GIMP Palette\n" + Repeat("1 2 3\n", 257), "a.gpl, line 258: more than 256 colours"},
      {"a.gpl", "GIMP Palette\n" + std::string(50, '7'),
       "a.gpl, line 2: \"" + std::string(40, '7') + "...\"" + kNotDecimal},
      {"a.gpl", "", "a.gpl: the file is empty"},
      {"a.pal", "JASC-PAL\r\n0200\r\n1\r\n1 2 3\r\n", "a.pal, line 2: \"0200\" is not the version \"0100\""},
      {"a.pal", "JASC-PAL\n", "a.pal, line 2: the version \"0100\" is missing"},
      {"a.pal", "JASC-PAL\n0100\n", "a.pal, line 3: the colour count is missing"},
      {"a.pal", "JASC-PAL\n0100\nx\n", "a.pal, line 3: \"x\" is not a colour count (1 to 256)"},
      {"a.pal", "JASC-PAL\n0100\n0\n", "a.pal, line 3: no colours (the count is 0)"},
      {"a.pal", "JASC-PAL\n0100\n300\n", "a.pal, line 3: more than 256 colours (the count is 300)"},
      {"a.pal", "JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n", "a.pal, line 3: the count is 3 but 2 colours follow"},
      {"a.pal", "JASC-PAL\n0100\n2\n1 2 3\n\n4 5 6\n7 8 9\n", "a.pal, line 3: the count is 2 but 3 colours follow"},
      {"a.pal", "JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n4 5 6 7\r\n", "a.pal, line 5: \"4 5 6 7\"" + kNotDecimal},
      {"a.pal", "palette\n", "a.pal, line 1: the first line is not \"JASC-PAL\""},
      {"a.hex", "ff0000\n; comment\n#12345 ; short\n", "a.hex, line 3: \"#12345\" is not a colour (RRGGBB in hex)"},
      {"a.txt", "ff0000 red\n", "a.txt, line 1: \"ff0000 red\" is not a colour (RRGGBB in hex)"},
      {"a.hex",
       "12\x01"
       "456\n",
       "a.hex, line 1: \"12?456\" is not a colour (RRGGBB in hex)"},
      {"a.hex", "; nothing\n\n", "a.hex: no colours"},
      {"a.hex", Repeat("abcdef\n", 257), "a.hex, line 257: more than 256 colours"},
      {"a.act", std::string(10, '\0'), "a.act: 10 bytes is not a colour table (768 bytes, or 772 with a colour count)"},
      {"a.act", ActWithCount(0), "a.act: no colours (the colour count is 0)"},
      {"a.act", ActWithCount(300), "a.act: more than 256 colours (the colour count is 300)"},
      {"a.bin", ActWithCount(4).substr(0, 770),
       "a.bin: not a palette file (the content is no known palette and the extension is not .gpl, .pal, .act, .hex or "
       ".txt)"},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> colours = {0xABCDEF};
    const Result r = Parse(c.name, c.content, colours);
    EXPECT_EQ(r.kind(), Result::Kind::kRefused) << c.reason;
    EXPECT_EQ(r.reason(), c.reason);
    EXPECT_EQ(colours, std::vector<uint32_t>{0xABCDEF}) << c.reason;
  }
}

TEST(WritePaletteFile, WritesTheBytesOfEachFormat) {
  TempDir dir;
  for (const std::string name : {"written.gpl", "written.pal", "written.hex", "written.act"}) {
    ASSERT_TRUE(WritePaletteFile(dir.File(name), kOrder).ok());
    EXPECT_EQ(testing::ReadFileBytes(dir.File(name)), testing::ReadFileBytes(kData + name)) << name;
  }
}

TEST(WritePaletteFile, ReadsBackTheSameColoursInEveryFormat) {
  std::vector<uint32_t> full;  // all different, not sorted
  for (uint32_t i = 0; i < 256; ++i) full.push_back((i * 97 % 256) << 16 | (255 - i) << 8 | (i * 13 % 256));
  const std::vector<std::vector<uint32_t>> palettes = {{0xABCDEF}, {0, 0, 0xFFFFFF, 0}, kOrder, full};
  TempDir dir;
  for (const std::string ext : {"gpl", "pal", "act", "hex", "txt"}) {
    for (const auto& palette : palettes) {
      const std::string path = dir.File("round." + ext);
      ASSERT_TRUE(WritePaletteFile(path, palette).ok()) << ext;
      std::vector<uint32_t> colours;
      const Result r = ReadPaletteFile(path, colours);
      EXPECT_TRUE(r.ok()) << ext << ": " << r.reason();
      EXPECT_EQ(colours, palette) << ext << ", " << palette.size() << " colours";
    }
  }
}

TEST(WritePaletteFile, RefusesWhatNoPaletteFileHolds) {
  const struct {
    const char* name;
    std::vector<uint32_t> colours;
    const char* reason;
  } cases[] = {
      {"x.bmp", kOrder, "x.bmp: not a palette file name (the extension must be .gpl, .pal, .act, .hex or .txt)"},
      {"gpl", kOrder, "gpl: not a palette file name (the extension must be .gpl, .pal, .act, .hex or .txt)"},
      {"x.gpl", {}, "x.gpl: cannot write 0 colours (a palette holds 1 to 256)"},
      {"x.act", std::vector<uint32_t>(257), "x.act: cannot write 257 colours (a palette holds 1 to 256)"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const Result r = WritePaletteFile(dir.File(c.name), c.colours);
    EXPECT_EQ(r.kind(), Result::Kind::kRefused);
    EXPECT_EQ(r.reason(), c.reason);
  }
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace pixmill
