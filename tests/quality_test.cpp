// The quality palette, its exact mapping and the change report: the palette
// rules, the fitting and the mapping against plain searches in the shown
// levels, what diffusion keeps and leaves alone, and the report's figures
// worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "app/report.h"
#include "color/oklab.h"
#include "color/quality_palette.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

// Palette and mapping of `source` into a new picture of `bits`.
void Convert(const ImageBuffer& source, const uint8_t* hidden, ImageBuffer& target, int bits, bool diffused) {
  const int count = 1 << bits;
  ASSERT_TRUE(target.Create(source.Width(), source.Height(), bits).ok());
  uint32_t palette[256];
  BuildQualityPalette(source, hidden, palette, count, bits);
  for (int i = 0; i < count; ++i) target.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
  MapToPaletteExact(source, hidden, target, count, bits, diffused);
}

// A new picture of `bits` with `palette` from entry 0, mapped from `source`.
void MapTo(const ImageBuffer& source, const std::vector<uint32_t>& palette, ImageBuffer& target, int bits,
           bool diffused) {
  ASSERT_TRUE(target.Create(source.Width(), source.Height(), bits).ok());
  for (size_t i = 0; i < palette.size(); ++i) target.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
  MapToPaletteExact(source, nullptr, target, 1 << bits, bits, diffused);
}

void Paint(ImageBuffer& img, const std::vector<uint32_t>& colours) {
  for (int y = 0; y < img.Height(); ++y) {
    for (int x = 0; x < img.Width(); ++x) {
      WriteRgb24(img.Row(y) + 3 * x, colours[static_cast<size_t>(x * 7 + y * 3) % colours.size()]);
    }
  }
}

// The squared distance of an 8-bit colour from a stored colour as the
// console shows it, in thirty-firsts of a level: (31 v - 255 (s >> 3))^2 a
// channel.
int64_t ShownDistance(uint32_t rgb, uint32_t stored) {
  int64_t sum = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int64_t d = 31 * static_cast<int64_t>((rgb >> shift) & 0xFF) - 255 * Channel5(stored >> shift);
    sum += d * d;
  }
  return sum;
}

// The 5-bit colour shown nearest to `rgb`, by trying all of them.
uint32_t BestShown(uint32_t rgb) {
  uint32_t best = 0;
  for (int c = 0; c < 32768; ++c) {
    const uint32_t stored = StoredRgb(c >> 10, (c >> 5) & 31, c & 31);
    if (ShownDistance(rgb, stored) < ShownDistance(rgb, best)) best = stored;
  }
  return best;
}

struct Job {
  int w, h, depth, bits;
  bool diffused;
};

void PrintTo(const Job& j, std::ostream* os) {
  *os << j.w << "x" << j.h << "x" << j.depth << " -> " << j.bits << (j.diffused ? " diffused" : "");
}

class QualityRules : public ::testing::TestWithParam<Job> {};

TEST_P(QualityRules, KeyEntryFifthBitsAndNoIndexZero) {
  const Job j = GetParam();
  ImageBuffer src, a, b;
  ASSERT_TRUE(src.Create(j.w, j.h, j.depth).ok());
  if (j.depth == 24) {
    testing::FillPhotoLike(src, 3);
  } else {
    testing::FillPattern(src, 9);
  }
  src.m_transparentColor = 0x123456;
  Convert(src, nullptr, a, j.bits, j.diffused);
  Convert(src, nullptr, b, j.bits, j.diffused);
  EXPECT_TRUE(testing::SamePicture(a, b)) << "not deterministic";
  const int count = 1 << j.bits;
  if (j.bits > 1) {
    EXPECT_EQ(a.GetPaletteColor(0), SwapRedBlue(0x123456u));
  }
  for (int i = j.bits > 1 ? 1 : 0; i < count; ++i)
    EXPECT_EQ(a.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFF070707, 0u) << i;
  for (int y = 0; y < a.Height() && j.bits > 1; ++y) {
    for (int x = 0; x < a.Width(); ++x) ASSERT_NE(a.GetIndex(x, y), 0) << x << "," << y;
  }
}

std::vector<Job> Jobs() {
  std::vector<Job> jobs;
  for (const bool d : {false, true}) {
    for (const Job& j : {Job{67, 45, 24, 8},
                         {67, 45, 24, 4},
                         {67, 45, 24, 1},
                         {1, 1, 24, 8},
                         {1, 1, 24, 1},
                         {33, 20, 8, 4},
                         {33, 20, 4, 8},
                         {33, 20, 1, 4},
                         {33, 20, 16, 8},
                         {300, 200, 24, 8}}) {
      jobs.push_back({j.w, j.h, j.depth, j.bits, d});
    }
  }
  return jobs;
}

INSTANTIATE_TEST_SUITE_P(Pictures, QualityRules, ::testing::ValuesIn(Jobs()));

// Pictures whose colours have no more nearest 5-bit colours than entries:
// every pixel shows the colour the console shows nearest to it, and (with a
// mask) the hidden colour gets no entry and hidden pixels index 0.
struct FewColours {
  const char* name;
  std::vector<uint32_t> colours;
  int bits;
  bool diffused;
  uint32_t hiddenColour;  // painted on every 5th pixel and masked; 0 for none
};

void PrintTo(const FewColours& c, std::ostream* os) { *os << c.name; }

class FewColourPictures : public ::testing::TestWithParam<FewColours> {};

TEST_P(FewColourPictures, ShowEachColourAsNearAsTheConsoleCan) {
  const FewColours& c = GetParam();
  ImageBuffer src, out;
  ASSERT_TRUE(src.Create(23, 17, 24).ok());
  Paint(src, c.colours);
  std::vector<uint8_t> hidden(23 * 17, 0);
  for (size_t i = 0; c.hiddenColour && i < hidden.size(); i += 5) {
    hidden[i] = 1;
    WriteRgb24(src.Row(static_cast<int>(i / 23)) + 3 * (i % 23), c.hiddenColour);
  }
  Convert(src, c.hiddenColour ? hidden.data() : nullptr, out, c.bits, c.diffused);
  std::set<uint32_t> wanted, used;
  for (const uint32_t colour : c.colours) wanted.insert(BestShown(colour));
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 23; ++x) {
      if (hidden[static_cast<size_t>(y * 23 + x)]) {
        EXPECT_EQ(out.GetIndex(x, y), 0) << x << "," << y;
        continue;
      }
      EXPECT_EQ(out.GetPixel(x, y), BestShown(src.GetPixel(x, y))) << x << "," << y;
      used.insert(out.GetPixel(x, y));
    }
  }
  EXPECT_EQ(used, wanted);
  const uint32_t ghost = c.hiddenColour ? BestShown(c.hiddenColour) : 0x1000000;
  for (int i = c.bits > 1 ? 1 : 0; i < (1 << c.bits); ++i)
    EXPECT_NE(out.GetPaletteColor(static_cast<uint32_t>(i)), ghost);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FewColourPictures,
    ::testing::Values(
        FewColours{"PureColoursAt4Bits", {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}, 4, false, 0},
        FewColours{"TwoAtOneBitDiffused", {0x203040, 0xE0C0A0}, 1, true, 0},
        FewColours{"MidColours", {0x808080, 0x7F7F7F, 0x987654, 0x12AB34, 0xF8F8F8}, 8, false, 0},
        FewColours{"PureColoursDiffused", {0x000000, 0xFFFFFF, 0x00FFFF, 0xFF00FF}, 8, true, 0},
        FewColours{"FifteenAt4Bits",
                   {0x100000, 0x200000, 0x300000, 0x400000, 0x500000, 0x600000, 0x700000, 0x800000, 0x900000, 0xA00000,
                    0xB00000, 0xC00000, 0xD00000, 0xE00000, 0xF00000},
                   4,
                   false,
                   0},
        // 48 greys, but only 15 levels of 5 bits nearest to them.
        FewColours{"ManyColoursFewLevels",
                   [] {
                     std::vector<uint32_t> greys;
                     for (uint32_t v = 60; v < 108; ++v) greys.push_back(v * 0x010101);
                     return greys;
                   }(),
                   4, false, 0},
        FewColours{"HiddenColourLeftOut", {0xFF0000, 0x00FF00, 0x0000FF}, 4, false, 0xFF00FF},
        FewColours{"HiddenColourLeftOutDiffused", {0x336699, 0x996633}, 8, true, 0x00FFFF},
        FewColours{"HiddenAtOneBit", {0x000000, 0xFFFFFF}, 1, true, 0x808000}));

// Photo-like colours fill 255 entries, and so do the 85184 colours of a
// cube 4..47 a channel, though they lie in only 216 cells (with 343 nearest
// 5-bit colours); an all-hidden picture leaves the palette black.
TEST(QualityPalette, ManyColoursFillEverySlotAndAllHiddenLeavesItBlack) {
  ImageBuffer src, cube;
  ASSERT_TRUE(src.Create(64, 48, 24).ok());
  testing::FillPhotoLike(src, 1);
  uint32_t palette[256];
  BuildQualityPalette(src, nullptr, palette, 256, 8);
  EXPECT_EQ(std::set<uint32_t>(palette + 1, palette + 256).size(), 255u);
  ASSERT_TRUE(cube.Create(44 * 44, 44, 24).ok());
  for (uint32_t i = 0; i < 44 * 44 * 44; ++i) {
    WriteRgb24(cube.Row(static_cast<int>(i / (44 * 44))) + 3 * (i % (44 * 44)),
               (4 + i % 44) << 16 | (4 + i / 44 % 44) << 8 | (4 + i / (44 * 44)));
  }
  BuildQualityPalette(cube, nullptr, palette, 256, 8);
  EXPECT_EQ(std::set<uint32_t>(palette + 1, palette + 256).size(), 255u);
  const std::vector<uint8_t> all(64 * 48, 1);
  BuildQualityPalette(src, all.data(), palette, 16, 4);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(palette[i], 0u);
  ImageBuffer out;
  Convert(src, all.data(), out, 4, true);
  for (int x = 0; x < 64; ++x) EXPECT_EQ(out.GetIndex(x, 47), 0);
}

// Fifteen far-apart clusters of 54 colours each (27 around a centre, and
// the same one level brighter) at 16 colours: the best palette has, for
// each cluster, the 5-bit colour nearest to its mean, which the fitting
// must find.
TEST(QualityPalette, FindsTheBestEntryOfEachCluster) {
  ImageBuffer src;
  ASSERT_TRUE(src.Create(27 * 6, 15, 24).ok());
  std::set<uint32_t> wanted;
  for (int k = 0; k < 15; ++k) {
    const int centre[3] = {30 + 45 * (k % 5), 40 + 80 * (k / 5), 200 - 70 * (k % 3)};
    int sum[3] = {0, 0, 0};
    for (int x = 0; x < src.Width(); ++x) {
      const int n = x % 27, step[3] = {n % 3, n / 3 % 3, n / 9};
      uint32_t rgb = 0;
      for (int c = 0; c < 3; ++c) {
        const int v = centre[c] + 6 * step[c] - 6 + (x < 27 ? 1 : 0);
        rgb = rgb << 8 | static_cast<uint32_t>(v);
        sum[c] += v;
      }
      WriteRgb24(src.Row(k) + 3 * x, rgb);
    }
    int code[3];
    for (int c = 0; c < 3; ++c) code[c] = static_cast<int>(std::lround(sum[c] * 31.0 / (255 * src.Width())));
    wanted.insert(StoredRgb(code[0], code[1], code[2]));
  }
  uint32_t palette[16];
  BuildQualityPalette(src, nullptr, palette, 16, 4);
  EXPECT_EQ(std::set<uint32_t>(palette + 1, palette + 16), wanted);
}

// Palettes with repeated entries, entries at equal distances from greys
// (the same levels in another order) and random ones.
std::vector<uint32_t> TestPalette(int count) {
  std::vector<uint32_t> palette(static_cast<size_t>(count));
  uint32_t s = 77, a = 0, b = 0;
  for (int i = 0; i < count; ++i) {
    s = s * 1664525u + 1013904223u;
    if (i % 5 == 0) a = (s >> 8) & 0xFF, b = (s >> 16) & 0xFF;
    const uint32_t turns[3] = {a << 16 | b << 8 | b, b << 16 | a << 8 | b, b << 16 | b << 8 | a};
    palette[static_cast<size_t>(i)] = i % 5 == 4  ? palette[static_cast<size_t>(i - 1)]
                                      : i % 5 < 3 ? turns[i % 5]
                                                  : s >> 8;
  }
  return palette;
}

// Every pixel gets the entry nearest as the console shows it, the lowest
// index among equals.
TEST(MapToPaletteExact, EqualsAPlainSearchOfThePaletteAndReportsEachRow) {
  ImageBuffer src, out;
  ASSERT_TRUE(src.Create(120, 90, 24).ok());
  testing::FillPattern(src, 4);
  for (int x = 0; x < 120; ++x) WriteRgb24(src.Row(0) + 3 * x, static_cast<uint32_t>(x * 2) * 0x010101);
  testing::RecordingProgress progress;
  src.SetProgressBar(&progress);
  for (const int bits : {1, 4, 8}) {
    const int count = 1 << bits;
    const std::vector<uint32_t> palette = TestPalette(count);
    progress = {};
    MapTo(src, palette, out, bits, false);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 90}}));
    ASSERT_EQ(progress.positions.size(), 91u);  // a row at a time, then back to 0
    EXPECT_EQ(std::pair(progress.positions[89], progress.positions[90]), std::pair(89, 0));
    for (int y = 0; y < 90; ++y) {
      for (int x = 0; x < 120; ++x) {
        int best = bits > 1 ? 1 : 0;
        for (int i = best; i < count; ++i) {
          const uint32_t p = src.GetPixel(x, y);
          if (ShownDistance(p, palette[static_cast<size_t>(i)]) < ShownDistance(p, palette[static_cast<size_t>(best)]))
            best = i;
        }
        ASSERT_EQ(out.GetIndex(x, y), best) << bits << " bits at " << x << "," << y;
      }
    }
  }
}

// Where every pixel differs from its neighbours by 55 levels or more,
// diffusion carries no error, and its search for wanted colours that need
// not be whole finds what the mapping without it finds.
TEST(MapToPaletteExact, DiffusedOnBusyDetailAsUndiffused) {
  ImageBuffer src, plain, diffused;
  ASSERT_TRUE(src.Create(90, 70, 24).ok());
  uint32_t s = 5;
  for (int y = 0; y < 70; ++y) {
    for (int x = 0; x < 90; ++x) {
      s = s * 1664525u + 1013904223u;
      const uint32_t c = (s >> 8) % 101 * 0x10000 + (s >> 16) % 101 * 0x100 + (s >> 4) % 101;
      WriteRgb24(src.Row(y) + 3 * x, (x + y) % 2 ? c + 0x9B9B9B : c);
    }
  }
  for (const int bits : {1, 4, 8}) {
    MapTo(src, TestPalette(1 << bits), plain, bits, false);
    MapTo(src, TestPalette(1 << bits), diffused, bits, true);
    EXPECT_TRUE(testing::SamePicture(plain, diffused)) << bits << " bits";
  }
}

// Diffusion on a calm area keeps its mean levels (the error is carried in
// shown levels, not in light); where the palette has nothing near, it
// leaves the undiffused mapping.
struct DiffusionCase {
  const char* name;
  std::vector<uint32_t> palette;
  int bits;
  uint32_t even, odd;  // colours of the checkerboard's squares
  bool calm;           // the mean kept (one colour), else the same as undiffused
};

void PrintTo(const DiffusionCase& c, std::ostream* os) { *os << c.name; }

class Diffusion : public ::testing::TestWithParam<DiffusionCase> {};

TEST_P(Diffusion, KeepsTheMeanWhereCalmAndStaysNearOtherwise) {
  const DiffusionCase& c = GetParam();
  ImageBuffer src, plain, diffused;
  ASSERT_TRUE(src.Create(64, 64, 24).ok());
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) WriteRgb24(src.Row(y) + 3 * x, (x + y) % 2 ? c.odd : c.even);
  }
  MapTo(src, c.palette, plain, c.bits, false);
  MapTo(src, c.palette, diffused, c.bits, true);
  if (!c.calm) {
    EXPECT_TRUE(testing::SamePicture(plain, diffused));
    return;
  }
  for (int shift = 0; shift < 24; shift += 8) {
    double sum = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) sum += ShownLevel(Channel5(diffused.GetPixel(x, y) >> shift));
    }
    EXPECT_NEAR(sum / (64 * 64), (c.even >> shift) & 0xFF, 2) << "channel at bit " << shift;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Diffusion,
                         ::testing::Values(DiffusionCase{"CalmGrey", {0x000000, 0xFFFFFF}, 1, 0x808080, 0x808080, true},
                                           DiffusionCase{"CalmColourAmongCorners",
                                                         {0, 0x000000, 0xF80000, 0x00F800, 0x0000F8, 0xF8F800, 0xF800F8,
                                                          0x00F8F8, 0xF8F8F8},
                                                         4,
                                                         0x406080,
                                                         0x406080,
                                                         true},
                                           // Mid grey between a darker grey and white, the other
                                           // entries close together near black: the error carried
                                           // is held to a fraction of their spacing, too little to
                                           // reach white.
                                           DiffusionCase{"CrowdedPaletteElsewhere",
                                                         {0, 0x707070, 0xF8F8F8, 0x000000, 0x080000, 0x000800, 0x000008,
                                                          0x080800, 0x000808, 0x080008, 0x080808},
                                                         4,
                                                         0x808080,
                                                         0x808080,
                                                         false}));

// Black and white pixels shown as 5-bit levels 1 and 31: every error is
// 255 / 31 on the black pixel's three channels, so the mean square is
// (255 / 31)^2 / 2 and the PSNR 10 log10(2 x 31^2); the grey shown is
// 1/31 of full scale, linear 1 / (31 x 12.92), whose Oklab L is its cube root.
TEST(MeasureChange, FiguresWorkedOutByHand) {
  ImageBuffer before, after, paletted;
  ASSERT_TRUE(before.Create(3, 1, 24).ok());
  ASSERT_TRUE(after.Create(3, 1, 24).ok());
  const uint32_t was[3] = {0x000000, 0xFFFFFF, 0x00FF00}, now[3] = {0x0F0808, 0xF8FFFF, 0xFF0000};
  for (int x = 0; x < 3; ++x) {
    WriteRgb24(before.Row(0) + 3 * x, was[x]);
    WriteRgb24(after.Row(0) + 3 * x, now[x]);
  }
  const uint8_t hidden[3] = {0, 0, 1};
  const ChangeReport r = MeasureChange(before, after, hidden);
  EXPECT_NEAR(r.psnr, 10 * std::log10(2.0 * 31 * 31), 1e-9);
  EXPECT_NEAR(r.meanDeltaE, 100 * std::cbrt(1 / (31 * 12.92)) / 2, 1e-6);
  // The same picture at 4 bits; then nothing changed, then nothing counted.
  ASSERT_TRUE(paletted.Create(3, 1, 4).ok());
  for (int x = 0; x < 3; ++x) {
    paletted.SetPaletteColor(static_cast<uint32_t>(x + 1), now[x]);
    paletted.SetIndex(x, 0, static_cast<uint32_t>(x + 1));
  }
  EXPECT_NEAR(MeasureChange(before, paletted, hidden).psnr, r.psnr, 1e-12);
  const uint8_t onlyWhite[3] = {1, 0, 1}, none[3] = {1, 1, 1};
  for (const uint8_t* mask : {onlyWhite, none}) {
    const ChangeReport same = MeasureChange(before, after, mask);
    EXPECT_EQ(same.psnr, std::numeric_limits<double>::infinity());
    EXPECT_EQ(same.meanDeltaE, 0);
  }
}

}  // namespace
}  // namespace pixmill
