// Bitmap files that are not plain ones, built byte by byte.
#include <gtest/gtest.h>

#include "image/bmp.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::BmpFields;
using testing::BuildBmp;
using Bytes = std::vector<uint8_t>;

Result Parse(ImageBuffer& img, const Bytes& f) { return ParseBmp(img, f.data(), static_cast<int64_t>(f.size())); }

// Grey palette entries 0 (black, so index 0 has a twin at 1) .. n - 1.
std::vector<uint32_t> Greys(int n) {
  std::vector<uint32_t> p = {0x000000};
  for (int i = 1; i < n; ++i) p.push_back(0x010101u * static_cast<uint32_t>(i * 255 / (n - 1)));
  p[1] = 0x000000;
  return p;
}

TEST(BmpVariants, TopDownRowsAndCreatedHeaders) {
  BmpFields s{.width = 2, .height = -2, .bitCount = 24};
  s.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};  // first row stored is the top
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.Height(), 2);
  EXPECT_EQ(img.GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(img.GetPixel(1, 1), 0x0C0B0Au);
  EXPECT_EQ(ReadLe32(img.GetInfo() + info::kHeight), 2u);  // made by Create
  EXPECT_EQ(img.GetFileHeader()->bfSize, 54u + 16);
}

TEST(BmpVariants, ShortPaletteLeavesTheRestBlack) {
  BmpFields s{.width = 4, .height = 1, .bitCount = 8, .shortPalette = true};
  s.palette = {0x102030, 0x405060, 0x708090};
  s.pixels = {2, 1, 0, 200};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 8);
  EXPECT_EQ(img.GetPaletteColor(2), 0x708090u);
  EXPECT_EQ(img.GetPaletteColor(3), 0u);
  EXPECT_EQ(img.GetPixel(0, 0), 0x708090u);
  EXPECT_EQ(img.GetPixel(3, 0), 0u);
  // Index 0 (102030) moves to its nearest: the first black entry, 3
  // (distance 3584), not 405060 (6912).
  EXPECT_EQ(img.GetIndex(2, 0), 3);
}

TEST(BmpVariants, TwoBitPixelsBecomeFourBitWithTheSameIndices) {
  BmpFields s{.width = 5, .height = 1, .bitCount = 2};
  s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  s.pixels = {0b01101100, 0b11000000, 0, 0};  // 1, 2, 3, 0, 3
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 4);
  // Index 0 (black) goes to its nearest: entry 4, the first of the black
  // entries the file does not have.
  const int want[] = {1, 2, 3, 4, 3};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(img.GetIndex(x, 0), want[x]) << x;
  EXPECT_EQ(img.GetPaletteColor(4), 0u);
}

TEST(BmpVariants, OldOs2Header) {
  // 12-byte header: 16-bit sizes, 3-byte palette entries.
  Bytes f(14 + 12 + 6 + 4, 0);
  WriteLe16(f.data(), 0x4D42);
  WriteLe32(f.data() + 2, static_cast<uint32_t>(f.size()));
  WriteLe32(f.data() + 10, 14 + 12 + 6);
  WriteLe32(f.data() + 14, 12);
  WriteLe16(f.data() + 18, 3);  // width
  WriteLe16(f.data() + 20, 1);  // height
  WriteLe16(f.data() + 22, 1);
  WriteLe16(f.data() + 24, 1);  // bits
  const uint8_t palette[] = {0x30, 0x20, 0x10, 0xFF, 0xEE, 0xDD};
  std::copy(std::begin(palette), std::end(palette), f.begin() + 26);
  f[32] = 0b10100000;
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, f).ok());
  EXPECT_EQ(img.BitCount(), 1);
  EXPECT_EQ(img.GetPaletteColor(0), 0x102030u);
  EXPECT_EQ(img.GetPixel(0, 0), 0xDDEEFFu);
  EXPECT_EQ(img.GetPixel(1, 0), 0x102030u);
}

Bytes Masked(int bits, std::vector<uint32_t> masks, std::vector<uint8_t> pixels, uint32_t compression = 3) {
  BmpFields s{.width = static_cast<int32_t>(pixels.size() * 8 / static_cast<size_t>(bits)), .height = 1,
            .bitCount = static_cast<uint16_t>(bits), .compression = compression};
  Bytes f = BuildBmp(s);
  Bytes maskBytes(4 * masks.size());
  for (size_t i = 0; i < masks.size(); ++i) WriteLe32(maskBytes.data() + 4 * i, masks[i]);
  f.insert(f.begin() + 54, maskBytes.begin(), maskBytes.end());
  const size_t stride = static_cast<size_t>(StrideFor(s.width, bits));
  pixels.resize(stride, 0);
  f.resize(54 + maskBytes.size());
  f.insert(f.end(), pixels.begin(), pixels.end());
  WriteLe32(f.data() + 2, static_cast<uint32_t>(f.size()));
  WriteLe32(f.data() + 10, static_cast<uint32_t>(54 + maskBytes.size()));
  return f;
}

TEST(BmpVariants, SixteenBitMasksWidenByRepeatingTheirTopBits) {
  // 565: red 10101, green 110011, blue 00001.
  const uint32_t pixel = 0b10101u << 11 | 0b110011u << 5 | 0b00001u;
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, Masked(16, {0xF800, 0x07E0, 0x001F}, {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8)})).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(img.GetPixel(0, 0), 0xADCF08u);  // 10101101, 11001111, 00001000
  // A one-bit channel becomes 0 or 255; a missing channel 0.
  ASSERT_TRUE(Parse(img, Masked(16, {0x8000, 0x0001, 0}, {0x01, 0x80})).ok());
  EXPECT_EQ(img.GetPixel(0, 0), 0xFFFF00u);
  // A mask that is not one run of bits is refused.
  const Result r = Parse(img, Masked(16, {0xF00F, 0x0F00, 0x00F0}, {0, 0}));
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find("one run"), std::string::npos);
}

TEST(BmpVariants, ThirtyTwoBitPixelsDropTheirFourthByte) {
  BmpFields s{.width = 1, .height = 1, .bitCount = 32};
  s.pixels = {0x11, 0x22, 0x33, 0x99};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(img.GetPixel(0, 0), 0x332211u);
  // With masks: alpha-bit-fields, 10-bit channels cut to their top 8 bits.
  const uint32_t p = 0x3FFu << 20 | 0x200u << 10 | 0x001u;
  ASSERT_TRUE(Parse(img, Masked(32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
                                {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16),
                                 static_cast<uint8_t>(p >> 24)},
                                6))
                  .ok());
  EXPECT_EQ(img.GetPixel(0, 0), 0xFF8000u);
}

TEST(BmpVariants, SixteenBitWithoutMasksStaysSixteenBit) {
  BmpFields s{.width = 1, .height = -1, .bitCount = 16};
  s.pixels = {0x1F, 0x7C, 0, 0};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 16);
  EXPECT_EQ(img.GetPixel(0, 0), 0xF800F8u);
}

Bytes Rle(int bits, int w, int h, std::vector<uint8_t> data) {
  BmpFields s{.width = w, .height = h, .bitCount = static_cast<uint16_t>(bits), .compression = bits == 8 ? 1u : 2u};
  s.palette = Greys(1 << bits);
  s.pixels = std::move(data);
  return BuildBmp(s);
}

TEST(BmpVariants, Rle8RunsLiteralsJumpsAndEnds) {
  // Bottom row: run of 3 of index 5, literal 7 8 9 (padded), end of line.
  // Next row: jump 2 right, run of 2 of index 6, end of bitmap.
  ImageBuffer img;
  const Bytes f = Rle(8, 6, 3, {3, 5, 0, 3, 7, 8, 9, 0, 0, 0, 0, 2, 2, 0, 2, 6, 0, 1});
  ASSERT_TRUE(Parse(img, f).ok());
  const int bottom[] = {5, 5, 5, 7, 8, 9};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(img.GetIndex(x, 2), bottom[x]);
  // Skipped pixels are index 0, which then moves to its twin, entry 1.
  const int middle[] = {1, 1, 6, 6, 1, 1};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(img.GetIndex(x, 1), middle[x]);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(img.GetIndex(x, 0), 1);  // after the early end
}

TEST(BmpVariants, Rle4AlternatesNibbles) {
  // Run of 5 alternating 1 and 2; literal of 3 nibbles 3 4 5 (2 bytes, even).
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, Rle(4, 8, 1, {5, 0x12, 0, 3, 0x34, 0x50, 0, 1})).ok());
  const int want[] = {1, 2, 1, 2, 1, 3, 4, 5};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(img.GetIndex(x, 0), want[x]) << x;
}

struct Refused {
  const char* name;
  Bytes file;
  const char* reasonPart;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

Bytes WithHeaderField(Bytes f, size_t offset, uint32_t value, int bytes = 4) {
  if (bytes == 2) {
    WriteLe16(f.data() + offset, value);
  } else {
    WriteLe32(f.data() + offset, value);
  }
  return f;
}

class BmpVariantRefusals : public ::testing::TestWithParam<Refused> {};

TEST_P(BmpVariantRefusals, SayWhyAndKeepThePicture) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 3, 24).ok());
  const Result r = Parse(img, GetParam().file);
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find(GetParam().reasonPart), std::string::npos) << r.reason();
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.BitCount(), 24);
}

const Bytes kPlain = BuildBmp({.width = 4, .height = 4, .bitCount = 8});

INSTANTIATE_TEST_SUITE_P(
    Files, BmpVariantRefusals,
    ::testing::Values(
        Refused{"RunPastTheRow", Rle(8, 4, 2, {5, 1, 0, 1}), "past the end of its row"},
        Refused{"RunPastTheTop", Rle(8, 4, 1, {0, 0, 2, 1, 0, 1}), "past the top row"},
        Refused{"LiteralCutOff", Rle(8, 8, 1, {0, 5, 1, 2}), "cut off"},
        Refused{"JumpCutOff", Rle(8, 8, 1, {0, 2, 1}), "cut off"},
        Refused{"TopDownRle", WithHeaderField(Rle(8, 4, 1, {0, 1}), 22, static_cast<uint32_t>(-1)), "top-down"},
        Refused{"Rle8WithFourBits", WithHeaderField(BuildBmp({.width = 4, .height = 1, .bitCount = 4}), 30, 1), "RLE8"},
        Refused{"Jpeg", WithHeaderField(kPlain, 30, 4), "JPEG"},
        Refused{"Png", WithHeaderField(kPlain, 30, 5), "PNG"},
        Refused{"SixtyFourBits", WithHeaderField(kPlain, 28, 64, 2), "64 bits"},
        Refused{"UnknownHeader", WithHeaderField(kPlain, 14, 66), "66 bytes"},
        Refused{"Huffman", WithHeaderField(WithHeaderField(kPlain, 14, 64), 30, 3), "Huffman"},
        Refused{"Rle24", WithHeaderField(WithHeaderField(kPlain, 14, 64), 30, 4), "RLE24"},
        Refused{"AbsurdSize", WithHeaderField(WithHeaderField(Rle(8, 4, 1, {0, 1}), 18, 60000), 22, 60000),
                "too large"},
        Refused{"TruncatedTopDown", [] {
                  Bytes f = WithHeaderField(kPlain, 22, static_cast<uint32_t>(-4));
                  f.resize(f.size() - 1);
                  return WithHeaderField(f, 2, static_cast<uint32_t>(f.size()));
                }(), "need"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BmpVariants, EveryPrefixOfAnRleFileIsSafe) {
  const Bytes f = Rle(8, 6, 3, {3, 5, 0, 3, 7, 8, 9, 0, 0, 0, 0, 2, 2, 0, 2, 6, 0, 1});
  for (size_t n = 0; n < f.size(); ++n) {
    Bytes cut(f.begin(), f.begin() + static_cast<ptrdiff_t>(n));
    if (n >= 6) WriteLe32(cut.data() + 2, static_cast<uint32_t>(n));
    ImageBuffer img;
    (void)Parse(img, cut);  // decodes or refuses; never reads outside
  }
}

}  // namespace
}  // namespace pixmill
