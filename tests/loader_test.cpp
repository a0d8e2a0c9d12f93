#include <gtest/gtest.h>

#include "color/standard_palette.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

Result Load(ImageBuffer& img, const Bytes& b) { return LoadBytes(img, b); }

// Export then load, for every depth, form, palette choice and compression.
struct RoundTrip {
  int bits;
  int form;
  int palette;
  int lzss;
};

void PrintTo(const RoundTrip& r, std::ostream* os) {
  *os << r.bits << "bit form" << r.form << " palette" << r.palette << " lzss" << r.lzss;
}

class ExportThenLoad : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ExportThenLoad, GivesThePictureBack) {
  const RoundTrip c = GetParam();
  TempDir dir;
  ImageBuffer img;
  ASSERT_TRUE(img.Create(24, 5, c.bits).ok());
  testing::FillPattern(img, static_cast<uint32_t>(c.bits * 10 + c.form));
  const std::string path = dir.File("data.d");
  ASSERT_TRUE(WriteConvertedFile(img, path, {c.form, 0, c.lzss, c.palette}, nullptr).ok());

  ImageBuffer back;
  const Result r = LoadFile(back, path);
  ASSERT_TRUE(r.ok()) << r.reason();
  ASSERT_EQ(back.Width(), 24);
  ASSERT_EQ(back.Height(), 5);
  if (c.bits > 8) {
    EXPECT_EQ(back.BitCount(), 24);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 24; ++x) ASSERT_EQ(back.GetPixel(x, y), img.GetPixel(x, y) & 0xF8F8F8) << x << "," << y;
    }
    return;
  }
  ASSERT_EQ(back.BitCount(), c.bits);
  const bool withPalette = c.form == kFormBitmap || c.palette;
  uint32_t standard[256];
  FillStandardPalette(standard, 1 << c.bits);
  for (int i = 0; i < (1 << c.bits); ++i) {
    const uint32_t expected = withPalette ? img.GetPaletteColor(i) & 0xF8F8F8 : standard[i];
    EXPECT_EQ(back.GetPaletteColor(i), expected) << i;
  }
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 24; ++x) ASSERT_EQ(back.GetIndex(x, y), img.GetIndex(x, y)) << x << "," << y;
  }
}

std::vector<RoundTrip> AllRoundTrips() {
  std::vector<RoundTrip> all;
  for (int bits : {1, 4, 8, 16, 24}) {
    for (int form : {kFormBitmap, kFormTexture}) {
      for (int palette : {0, 1}) {
        for (int lzss : {0, 1}) all.push_back({bits, form, palette, lzss});
      }
    }
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(AllChoices, ExportThenLoad, ::testing::ValuesIn(AllRoundTrips()));

TEST(ExportedData, SizesInTheirOrder) {
  auto at = [](int w, int h, size_t n) {
    Bytes b(n, 0);
    b[0] = static_cast<uint8_t>(w >> 8);
    b[1] = static_cast<uint8_t>(w);
    b[2] = static_cast<uint8_t>(h >> 8);
    b[3] = static_cast<uint8_t>(h);
    return DetectExportedData(b.data(), b.size());
  };
  EXPECT_EQ(at(16, 32, 1028), (ExportedLayout{0, 0}));  // 16-bit data wins over 8-bit with palette
  EXPECT_EQ(at(8, 8, 68), (ExportedLayout{1, 0}));      // 8-bit without palette wins over 4-bit with
  EXPECT_EQ(at(8, 8, 580), (ExportedLayout{1, 1}));
  EXPECT_EQ(at(8, 8, 36), (ExportedLayout{2, 0}));      // P/2+4 = 36 also equals... only one match
  EXPECT_EQ(at(16, 8, 100), (ExportedLayout{2, 1}));
  EXPECT_EQ(at(16, 8, 24), (ExportedLayout{3, 1}));
  EXPECT_EQ(at(24, 8, 28), (ExportedLayout{3, 0}));
  EXPECT_EQ(at(8, 8, 100), std::nullopt);
  EXPECT_EQ(DetectExportedData(nullptr, 0), std::nullopt);
  // 33025 x 65026 pixels: 2P + 4 is 2^32 + 8, which 32-bit arithmetic would
  // take for an 8-byte file.
  EXPECT_EQ(at(33025, 65026, 8), std::nullopt);
}

TEST(ExportedData, WrappedSizeDoesNotLoad) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 2, 8).ok());
  EXPECT_EQ(Load(img, {0x81, 0x01, 0xFE, 0x02, 0, 0, 0, 0}).code(), 1);
  EXPECT_EQ(img.Width(), 2);
}

TEST(ExportedData, PalettesFromTheFileOrStandard) {
  ImageBuffer img;
  // 8-bit texture without palette: the standard 256 colours.
  Bytes plain8 = {0, 2, 0, 1, 16, 255};
  ASSERT_TRUE(Load(img, plain8).ok());
  EXPECT_EQ(img.BitCount(), 8);
  EXPECT_EQ(img.GetPaletteColor(2), 0x0000A8u);
  EXPECT_EQ(img.GetPaletteColor(255), 0xF8F8F8u);
  EXPECT_EQ(img.GetIndex(0, 0), 16);

  // 1-bit with palette: two colours from offset 4, pixels from offset 8.
  ASSERT_TRUE(Load(img, {0, 8, 0, 2, 0x80, 0x1F, 0xFC, 0x00, 0xF0, 0x0F}).ok());
  EXPECT_EQ(img.BitCount(), 1);
  EXPECT_EQ(img.GetPaletteColor(0), 0xF80000u);
  EXPECT_EQ(img.GetPaletteColor(1), 0x0000F8u);
  EXPECT_EQ(img.GetIndex(0, 0), 1);
  EXPECT_EQ(img.GetIndex(4, 0), 0);
  EXPECT_EQ(img.GetIndex(4, 1), 1);
  // Without palette (P/8 + 4 bytes): black and white.
  ASSERT_TRUE(Load(img, {0, 8, 0, 2, 0xF0, 0x0F}).ok());
  EXPECT_EQ(img.GetPaletteColor(1), 0xF8F8F8u);

  // 4-bit with palette: exactly the 16 entries.
  Bytes four = {0, 2, 0, 1};
  for (int i = 0; i < 16; ++i) {
    four.push_back(0x80);
    four.push_back(static_cast<uint8_t>(i));
  }
  four.push_back(0x3C);
  ASSERT_TRUE(Load(img, four).ok());
  EXPECT_EQ(img.BitCount(), 4);
  EXPECT_EQ(img.GetPaletteColor(15), Colour16ToRgb(15));
  EXPECT_EQ(img.GetIndex(0, 0), 3);
  EXPECT_EQ(img.GetIndex(1, 0), 12);

  // Index 0 is kept as it is (unlike in bitmap files).
  ASSERT_TRUE(Load(img, {0, 2, 0, 1, 0, 0}).ok());
  EXPECT_EQ(img.GetIndex(0, 0), 0);
}

TEST(ExportedData, ColourWordsComeBackAsTwentyFourBits) {
  ImageBuffer img;
  ASSERT_TRUE(Load(img, {0, 3, 0, 1, 0x80, 0x1F, 0x00, 0x00, 0xFF, 0xFF}).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(img.GetPixel(0, 0), 0xF80000u);
  EXPECT_EQ(img.GetPixel(1, 0), 0u);  // transparent comes back black
  EXPECT_EQ(img.GetPixel(2, 0), 0xF8F8F8u);
}

TEST(ExportedData, ZeroSidedHeaderIsRefused) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(1, 1, 24).ok());
  const Result r = Load(img, {0, 0, 0, 5});
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find("hold no picture"), std::string::npos);
  EXPECT_EQ(img.Width(), 1);
}

TEST(ExportedData, OddWidthRowsReadAsTheWriterCutsThem) {
  // A 4-bit picture 6 wide: 3 bytes per row.
  ImageBuffer img;
  ASSERT_TRUE(img.Create(6, 3, 4).ok());
  testing::FillPattern(img, 5);
  TempDir dir;
  ASSERT_TRUE(WriteConvertedFile(img, dir.File("a.d"), {kFormTexture, 0, 0, 1}, nullptr).ok());
  ImageBuffer back;
  ASSERT_TRUE(LoadFile(back, dir.File("a.d")).ok());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(back.GetIndex(x, y), img.GetIndex(x, y));
  }
}

TEST(LoadFile, CharacterAndTextFilesAreNotExportedData) {
  TempDir dir;
  ImageBuffer img;
  ASSERT_TRUE(img.Create(16, 8, 8).ok());
  ASSERT_TRUE(WriteConvertedFile(img, dir.File("c.d"), {kFormCharacter, 0, 0, 1}, nullptr).ok());
  ASSERT_TRUE(WriteConvertedFile(img, dir.File("t.bas"), {kFormTexture, 1, 0, 1}, nullptr).ok());
  ImageBuffer other;
  EXPECT_EQ(LoadFile(other, dir.File("c.d")).code(), 1);
  EXPECT_EQ(LoadFile(other, dir.File("t.bas")).code(), 1);
  EXPECT_FALSE(other.IsValid());
}

TEST(LoadFile, BitmapsGoToTheBitmapReader) {
  TempDir dir;
  testing::BmpFields s{.width = 3, .height = 3, .bitCount = 24};
  WriteFileBytes(dir.File("a.bmp"), testing::BuildBmp(s));
  ImageBuffer img;
  ASSERT_TRUE(LoadFile(img, dir.File("a.bmp")).ok());
  EXPECT_EQ(img.BitCount(), 24);
}

TEST(LoadFile, FailuresKeepThePictureAndSayWhy) {
  TempDir dir;
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 2, 8).ok());
  img.SetIndex(2, 1, 42);

  const Result missing = LoadFile(img, dir.File("nope.bmp"));
  EXPECT_EQ(missing.kind(), Result::Kind::kIoError);

  WriteFileBytes(dir.File("bad.lzs"), {'L', 'Z', 'S', 'S', 0, 1, 0x80, 0, 0x20});
  const Result bad = LoadFile(img, dir.File("bad.lzs"));
  EXPECT_EQ(bad.code(), 1);
  EXPECT_NE(bad.reason().find("bad.lzs: the LZSS match"), std::string::npos) << bad.reason();

  WriteFileBytes(dir.File("junk"), {1, 2, 3});
  EXPECT_EQ(LoadFile(img, dir.File("junk")).code(), 1);
  EXPECT_EQ(LoadFile(img, dir.path()).code(), 1);

  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.GetIndex(2, 1), 42);
}

TEST(LoadFile, CompressedBitmapFileLoads) {
  const Bytes bmp = testing::BuildBmp({.width = 5, .height = 2, .bitCount = 24});
  LzssCodec codec;
  ASSERT_TRUE(codec.Encode(bmp.data(), static_cast<int64_t>(bmp.size())).ok());
  ImageBuffer img;
  ASSERT_TRUE(Load(img, codec.Bytes()).ok());
  EXPECT_EQ(img.Width(), 5);
}

TEST(StandardPalette, PinnedToTheTable) {
  uint32_t sum = 0;
  for (size_t i = 0; i < 256; ++i) sum = sum * 31 + kStandardPalette[i];
  EXPECT_EQ(sum, 0x6F515650u);  // sum = sum * 31 + word over the table as published
  EXPECT_EQ(std::vector<uint16_t>(kStandardPalette.begin(), kStandardPalette.begin() + 16),
            (std::vector<uint16_t>{0x0000, 0x0000, 0x5400, 0x02A0, 0x56A0, 0x0015, 0x5415, 0x0155, 0x56B5, 0x294A,
                                   0x7D4A, 0x2BEA, 0x7FEA, 0x295F, 0x7D5F, 0x2BFF}));
  EXPECT_EQ(std::vector<uint16_t>(kStandardPalette.begin() + 128, kStandardPalette.begin() + 144),
            (std::vector<uint16_t>{0x2100, 0x7EEB, 0x7EC8, 0x7EA4, 0x7E60, 0x7220, 0x65E0, 0x59A0, 0x4D60, 0x7F7B,
                                   0x7EF7, 0x7E73, 0x7E0F, 0x7D8B, 0x7D08, 0x7C84}));
  EXPECT_EQ(std::vector<uint16_t>(kStandardPalette.begin() + 240, kStandardPalette.end()),
            (std::vector<uint16_t>{0x1709, 0x1B05, 0x2F05, 0x4705, 0x5B05, 0x62A5, 0x61E5, 0x6145, 0x60A5, 0x60AB,
                                   0x60B0, 0x60B6, 0x54B8, 0x40B8, 0x28B8, 0x7FFF}));
}

TEST(StandardPalette, FillsTwoSixteenAndAll) {
  uint32_t p[256];
  FillStandardPalette(p, 2);
  EXPECT_EQ(p[0], 0u);
  EXPECT_EQ(p[1], 0xF8F8F8u);
  FillStandardPalette(p, 16);
  EXPECT_EQ(p[1], 0u);
  EXPECT_EQ(p[2], 0x0000A8u);
  EXPECT_EQ(p[3], 0x00A800u);
  EXPECT_EQ(p[15], 0xF8F850u);  // yellow (2BFF); no white among the 16
  for (int i = 0; i < 16; ++i) EXPECT_NE(p[i], 0xF8F8F8u);
  FillStandardPalette(p, 256);
  EXPECT_EQ(p[16], 0xF8F8F8u);
  EXPECT_EQ(p[255], 0xF8F8F8u);
}

}  // namespace
}  // namespace pixmill
