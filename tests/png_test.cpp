#include <gtest/gtest.h>

#include "export/loader.h"
#include "image/png.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

const std::string kPng = std::string(PIXMILL_TEST_DATA) + "/png/";

struct PngCase {
  const char* file;
  const char* source;  // the bitmap it was made from
  int depth;           // of the picture it loads to
};

void PrintTo(const PngCase& c, std::ostream* os) { *os << c.file; }

class PngFiles : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngFiles, LoadToTheSourcePixels) {
  const PngCase c = GetParam();
  ImageBuffer png, source;
  const Result r = LoadFile(png, kPng + c.file);
  ASSERT_TRUE(r.ok()) << r.reason();
  ASSERT_TRUE(LoadFile(source, kPng + c.source).ok());
  EXPECT_EQ(png.BitCount(), c.depth);
  ASSERT_EQ(png.Width(), source.Width());
  ASSERT_EQ(png.Height(), source.Height());
  int reserved = -1;
  if (c.depth == 4 || c.depth == 8) {
    uint32_t best = 2000000;
    for (int i = 1; i < (1 << c.depth); ++i) {
      const uint32_t d = ColorDistance(png.GetPaletteColor(i), png.GetPaletteColor(0));
      if (d < best) {
        best = d;
        reserved = i;
      }
    }
  }
  for (int y = 0; y < png.Height(); ++y) {
    for (int x = 0; x < png.Width(); ++x) {
      const uint32_t want = source.GetPixel(x, y) & 0xFFFFFF;
      const uint32_t got = png.GetPixel(x, y) & 0xFFFFFF;
      if (got == want) continue;
      // Index 0 is emptied as for bitmaps: its pixels carry the nearest entry.
      if (png.GetIndex(x, y) == reserved && (png.GetPaletteColor(0) & 0xFFFFFF) == want) continue;
      ADD_FAILURE() << c.file << " (" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    ColourTypesAndDepths, PngFiles,
    ::testing::Values(PngCase{"pal1.png", "src2.bmp", 1}, PngCase{"pal2.png", "src4.bmp", 4},
                      PngCase{"pal4.png", "src12.bmp", 4}, PngCase{"pal8.png", "src100.bmp", 8},
                      PngCase{"grey8.png", "grey.bmp", 24}, PngCase{"grey16.png", "grey.bmp", 24},
                      PngCase{"greyalpha8.png", "grey.bmp", 24}, PngCase{"greyalpha16.png", "grey.bmp", 24},
                      PngCase{"rgb8.png", "rgb.bmp", 24}, PngCase{"rgb16.png", "rgb.bmp", 24},
                      PngCase{"rgba8.png", "rgb.bmp", 24}, PngCase{"rgba16.png", "rgb.bmp", 24},
                      PngCase{"rgb8-interlaced.png", "rgb.bmp", 24}),
    [](const auto& p) {
      std::string name = p.param.file;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(Png, DamagedFilesAreRefusedAndKeepThePicture) {
  const std::vector<uint8_t> good = testing::ReadFileBytes(kPng + "rgb8.png");
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 2, 8).ok());
  for (size_t cut : {8, 20, 33, 40, 60}) {
    const std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<ptrdiff_t>(std::min(cut, good.size() - 1)));
    const Result r = LoadBytes(img, part);
    EXPECT_EQ(r.code(), 1) << cut;
    EXPECT_FALSE(r.reason().empty());
    EXPECT_EQ(img.Width(), 2);
  }
  std::vector<uint8_t> bad = good;
  bad[40] ^= 0xFF;  // inside a chunk: the CRC no longer holds
  EXPECT_EQ(LoadBytes(img, bad).code(), 1);
  EXPECT_EQ(img.Width(), 2);
}

TEST(Png, TooLargePicturesAreRefused) {
  // The header of a 70000 x 1 picture, then nothing.
  std::vector<uint8_t> f = testing::ReadFileBytes(kPng + "rgb8.png");
  auto setSize = [&](uint32_t w, uint32_t h) {
    std::vector<uint8_t> g = f;
    for (int i = 0; i < 4; ++i) {
      g[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
      g[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
    }
    return g;
  };
  ImageBuffer img;
  EXPECT_EQ(LoadBytes(img, setSize(70000, 1)).code(), 1);
  const Result big = LoadBytes(img, setSize(5000, 5000));
  EXPECT_EQ(big.code(), 1);
  EXPECT_FALSE(img.IsValid());
}

TEST(Png, ExportedDataWinsOverTheSignature) {
  // Bytes that are 8-bit exported data of a 35720 x 1 picture (P + 4 bytes)
  // and also begin with the PNG signature: the sizes are tried first.
  std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const size_t p = (0x89 * 256 + 'P') * ('N' * 256 + 'G');
  f.resize(p + 4, 1);
  ImageBuffer img;
  ASSERT_TRUE(LoadBytes(img, f).ok());
  EXPECT_EQ(img.BitCount(), 8);
  EXPECT_EQ(img.Width(), 0x89 * 256 + 'P');
}

}  // namespace
}  // namespace pixmill
