#include <gtest/gtest.h>

#include <cstring>

#include "color/depth.h"
#include "color/mapping.h"
#include "color/optimized_palette.h"
#include "color/standard_palette.h"
#include "color/transparent.h"
#include "oracle/colour_oracle.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::RecordingProgress;

TEST(Luminance, TruncatesTheSum) {
  EXPECT_EQ(Luminance(0x010101), 0);
  EXPECT_EQ(Luminance(0x646464), 100);
  EXPECT_EQ(Luminance(0xFFFFFF), 255);
  EXPECT_EQ(Luminance(0xFF0000), 76);
  EXPECT_EQ(Luminance(0x00FF00), 149);
  EXPECT_EQ(Luminance(0x0000FF), 29);
}

TEST(ErrorDiffusion, CarriedErrorClampsAndSpreadUsesTheKernel) {
  double rows[2][5] = {};
  const ErrorRow row{rows[0], rows[1]};
  rows[0][2] = 10.75;
  EXPECT_EQ(AddCarriedError(2, row, 250), 255);  // clamped, then truncated
  rows[0][2] = -3.5;
  EXPECT_EQ(AddCarriedError(2, row, 2), 0);
  rows[0][2] = 0.9375;
  EXPECT_EQ(AddCarriedError(2, row, 100), 100);  // truncated, not rounded
  SpreadError(2, row, 16);
  EXPECT_EQ(rows[0][3], 7.0);
  EXPECT_EQ(rows[1][3], 1.0);
  EXPECT_EQ(rows[1][2], 5.0);
  EXPECT_EQ(rows[1][1], 3.0);
  EXPECT_EQ(rows[0][2], 0.9375);  // the pixel's own slot is not touched
}

TEST(Quantize5Bit, CarriesTheErrorToItsNeighbours) {
  float rows[2][5] = {};
  EXPECT_EQ(Quantize5Bit(2, rows[0], rows[1], 255), 248);
  EXPECT_FLOAT_EQ(rows[0][3], 7.0f / 16 * 7);
  EXPECT_FLOAT_EQ(rows[1][3], 7.0f / 16);
  EXPECT_FLOAT_EQ(rows[1][2], 7.0f / 16 * 5);
  EXPECT_FLOAT_EQ(rows[1][1], 7.0f / 16 * 3);

  float carried[2][5] = {};
  carried[0][2] = -5;
  EXPECT_EQ(Quantize5Bit(2, carried[0], carried[1], 0), 0);
  EXPECT_FLOAT_EQ(carried[0][3], 3.0f / 16 * 7);  // e2 = 3 beats e1 = -5
  EXPECT_FLOAT_EQ(carried[1][2], 3.0f / 16 * 5);
}

TEST(Quantize5Bit, StoresErrorsInSinglePrecision) {
  // 1/16 * 7 of an error of 3 is not a float; the stored value must be the
  // double sum rounded once to float.
  float rows[2][4] = {};
  rows[0][2] = 0.1f;
  (void)Quantize5Bit(1, rows[0], rows[1], 3);
  EXPECT_EQ(rows[0][2], static_cast<float>(0.1f + (3.0 / 16) * 7));
}

ImageBuffer* Colours(ImageBuffer& img, const std::vector<std::pair<uint32_t, int>>& runs) {
  int total = 0;
  for (auto& r : runs) total += r.second;
  EXPECT_TRUE(img.Create(total, 1, 24).ok());
  int x = 0;
  for (auto& [c, n] : runs) {
    for (int k = 0; k < n; ++k) img.SetPixel(x++, 0, c);
  }
  return &img;
}

TEST(OptimizedPalette, CountOrderWithoutMerging) {
  // 64 columns sample each pixel of a 64-wide row once; counts 1, 2, 3, 4.
  ImageBuffer img;
  Colours(img, {{0x100000, 1}, {0x200000, 2}, {0x300000, 3}, {0x400000, 4}, {0x080808, 54}});
  uint32_t palette[16];
  BuildOptimizedPalette(img, palette, 16, 4);
  EXPECT_EQ(palette[0], SwapRedBlue(img.m_transparentColor));
  // Each row of the 64 x 64 grid is the same row: counts x 64.
  EXPECT_EQ(palette[1], 0x080808u);
  EXPECT_EQ(palette[2], 0x400000u);
  EXPECT_EQ(palette[3], 0x300000u);
  EXPECT_EQ(palette[4], 0x200000u);
  EXPECT_EQ(palette[5], 0x100000u);
  for (int i = 6; i < 16; ++i) EXPECT_EQ(palette[i], 0u) << i;
}

TEST(OptimizedPalette, OneColourAtOneBitAndWhite) {
  ImageBuffer img;
  Colours(img, {{0x8F4F2F, 3}});
  uint32_t palette[2];
  BuildOptimizedPalette(img, palette, 2, 1);
  EXPECT_EQ(palette[0], 0x884828u);
  EXPECT_EQ(palette[1], 0u);
  Colours(img, {{0xFFFFFF, 5}});
  uint32_t p16[16];
  BuildOptimizedPalette(img, p16, 16, 4);
  EXPECT_EQ(p16[1], 0xF8F8F8u);
}

TEST(OptimizedPalette, MergesTheRarestIntoItsNearest) {
  // Three colours into two slots (1 bit): the rarest (count 1) merges into
  // its nearest, weighted by the counts.
  ImageBuffer img;
  Colours(img, {{0x000000, 40}, {0xF80000, 20}, {0xE00000, 4}});
  uint32_t palette[2];
  BuildOptimizedPalette(img, palette, 2, 1);
  EXPECT_EQ(palette[0], 0x000000u);
  EXPECT_EQ(palette[1], static_cast<uint32_t>((0xF8 * 20 + 0xE0 * 4) / 24) << 16);
}

TEST(OptimizedPalette, MergedEntryPassesEqualCounts) {
  uint32_t a = 0x01000010, na = 3;
  MergeColor(a, 0x00000020, na, 1);
  EXPECT_EQ(a, 0x01000014u);  // (16 * 3 + 32) / 4 = 20; top byte kept
  EXPECT_EQ(na, 4u);
}

TEST(SortValues, PartitionOrderIsStable) {
  std::vector<uint32_t> v = {5, 3, 9, 3, 0xFFFFFFFF, 0, 7, 3};
  SortValues(v.data(), 0, static_cast<int>(v.size()) - 1);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  EXPECT_EQ(v.back(), 0xFFFFFFFFu);

  // Equal counts: the colours end up in the order this partition leaves
  // (traced by hand: swaps (0,4) and (2,3), then 0..2 swaps (0,2), then
  // 3..4 swaps (3,4)).
  uint32_t counts[] = {2, 1, 2, 1, 2};
  uint32_t colours[] = {10, 11, 12, 13, 14};
  SortByCount(counts, colours, 0, 4);
  EXPECT_EQ(std::vector<uint32_t>(counts, counts + 5), (std::vector<uint32_t>{1, 1, 2, 2, 2}));
  EXPECT_EQ(std::vector<uint32_t>(colours, colours + 5), (std::vector<uint32_t>{13, 11, 14, 10, 12}));
}

TEST(OptimizedPalette, GridSamplesEveryPixelItCanTake) {
  // Grids other than 64 x 64: the stepping may take one more sample per axis.
  ImageBuffer img;
  ASSERT_TRUE(img.Create(7, 3, 24).ok());
  testing::FillPattern(img, 3);
  img.m_sampleColumns = 3;
  img.m_sampleRows = 7;
  std::vector<uint32_t> counts, colours;
  const int n = BuildColorHistogram(img, counts, colours, 3, 7);
  uint32_t total = 0;
  for (int i = 0; i <= n; ++i) total += counts[static_cast<size_t>(i)];
  EXPECT_GE(total, 21u);
  EXPECT_LE(total, 32u);
  EXPECT_GE(counts.size(), total);
}

TEST(ChangeColorDepth, SameDepthDoesNothing) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(4, 4, 8).ok());
  testing::FillPattern(img, 1);
  const std::vector<uint8_t> before(img.GetBits(), img.GetBits() + img.GetImageSize());
  img.m_paletteKind = 1;
  EXPECT_EQ(ChangeColorDepth(img, 8).kind(), Result::Kind::kNothingToDo);
  EXPECT_EQ(std::vector<uint8_t>(img.GetBits(), img.GetBits() + img.GetImageSize()), before);
  EXPECT_EQ(ChangeColorDepth(img, 2).kind(), Result::Kind::kRefused);
}

TEST(ChangeColorDepth, StandardPaletteNeverGivesIndexZero) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 2, 24).ok());  // all black
  img.m_paletteKind = 1;
  for (int dither : {0, 1}) {
    ImageBuffer copy;
    ASSERT_TRUE(copy.Create(3, 2, 24).ok());
    copy.m_paletteKind = 1;
    copy.m_ditherMode = dither;
    ASSERT_TRUE(ChangeColorDepth(copy, 8).ok());
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(copy.GetIndex(x, y), 1);
    }
    EXPECT_EQ(copy.GetPaletteColor(0), 0u);
  }
}

TEST(ChangeColorDepth, KeyColourInEntryZeroIsNeverChosen) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 8, 24).ok());
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) img.SetPixel(x, y, x < 4 ? SwapRedBlue(kKeyColor) : 0x102030);
  }
  ASSERT_TRUE(ChangeColorDepth(img, 4).ok());
  EXPECT_EQ(img.GetPaletteColor(0), SwapRedBlue(kKeyColor));
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_NE(img.GetIndex(x, y), 0);
  }
}

TEST(ChangeColorDepth, SixteenBitsKeepsTwentyFourBitStorage) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(9, 7, 24).ok());
  testing::FillPhotoLike(img, 2);
  img.m_ditherMode = 0;
  ASSERT_TRUE(ChangeColorDepth(img, 16).ok());
  EXPECT_EQ(img.BitCount(), 24);
  ImageBuffer again;
  ASSERT_TRUE(again.Create(9, 7, 24).ok());
  again.CopyFrom(img);
  again.m_ditherMode = 0;
  ASSERT_TRUE(ChangeColorDepth(again, 16).ok());  // 24 bits now, so it converts again
  EXPECT_TRUE(testing::SamePicture(img, again));
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) EXPECT_EQ(img.GetPixel(x, y) & 0x070707, 0u);
  }
}

TEST(ChangeColorDepth, SixteenBitFileExpandsToMultiplesOfEight) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 3, 16).ok());
  testing::FillPattern(img, 4);
  EXPECT_EQ(ChangeColorDepth(img, 16).kind(), Result::Kind::kNothingToDo);
  const uint32_t before = img.GetPixel(2, 1);
  ASSERT_TRUE(ChangeColorDepth(img, 24).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(img.GetPixel(2, 1), before);
}

TEST(ChangeColorDepth, OneAndFourBitsDoNotDependOnPrecision) {
  for (int bits : {1, 4}) {
    ImageBuffer first;
    ASSERT_TRUE(first.Create(40, 30, 24).ok());
    testing::FillPhotoLike(first, 8);
    first.m_precision = 1;
    ASSERT_TRUE(ChangeColorDepth(first, bits).ok());
    for (int precision : {7, 16}) {
      ImageBuffer other;
      ASSERT_TRUE(other.Create(40, 30, 24).ok());
      testing::FillPhotoLike(other, 8);
      other.m_precision = precision;
      ASSERT_TRUE(ChangeColorDepth(other, bits).ok());
      EXPECT_TRUE(testing::SamePicture(first, other)) << bits << " bits, precision " << precision;
    }
  }
}

TEST(ChangeColorDepth, ReportsProgressOncePerRowAndEndsAtZero) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(5, 3, 24).ok());
  RecordingProgress progress;
  img.SetProgressBar(&progress);
  ASSERT_TRUE(ChangeColorDepth(img, 8).ok());
  using E = RecordingProgress::Event;
  EXPECT_EQ(progress.events, (std::vector<E>{{E::kRange, 0, 3}, {E::kPosition, 0, 0}, {E::kPosition, 1, 0},
                                             {E::kPosition, 2, 0}, {E::kPosition, 0, 0}}));
  EXPECT_EQ(img.GetProgressBar(), &progress);
}

// The fast depth change against the per-pixel procedure.
struct DepthJob {
  int w, h, fromBits, toBits;
  int dither, paletteKind, precision;
  int content;  // 0 photo-like, 1 noise, 2 flat pixel art
};

void PrintTo(const DepthJob& j, std::ostream* os) {
  *os << j.w << "x" << j.h << " " << j.fromBits << "->" << j.toBits << " dither" << j.dither << " kind"
      << j.paletteKind << " precision" << j.precision << " content" << j.content;
}

void Fill(ImageBuffer& img, int content, uint32_t seed) {
  if (content == 0 && img.BitCount() == 24) {
    testing::FillPhotoLike(img, seed);
  } else if (content == 2 && img.BitCount() == 24) {
    for (int y = 0; y < img.Height(); ++y) {
      for (int x = 0; x < img.Width(); ++x) {
        static const uint32_t kArt[] = {0xC0C0C0, 0x000000, 0xFFFFFF, 0xE04020, 0x2060E0, 0x30A030};
        img.SetPixel(x, y, kArt[((x / 5) + (y / 3) * 2 + (x * y) % 3) % 6]);
      }
    }
  } else {
    testing::FillPattern(img, seed);
  }
}

class DepthAgreement : public ::testing::TestWithParam<DepthJob> {};

TEST_P(DepthAgreement, FastPathEqualsThePerPixelProcedure) {
  const DepthJob j = GetParam();
  ImageBuffer fast, slow;
  for (ImageBuffer* p : {&fast, &slow}) {
    ASSERT_TRUE(p->Create(j.w, j.h, j.fromBits).ok());
    Fill(*p, j.content, static_cast<uint32_t>(j.w * 31 + j.toBits));
    ApplyColorSettings(*p, {j.dither, j.paletteKind, j.precision});
  }
  SetLastColourRead(0);
  ASSERT_EQ(oracle::ChangeColorDepth(slow, j.toBits), 0);
  const uint32_t registerAfter = LastColourRead();
  SetLastColourRead(0);
  ASSERT_TRUE(ChangeColorDepth(fast, j.toBits).ok());
  EXPECT_TRUE(testing::SamePicture(fast, slow));
  EXPECT_EQ(LastColourRead(), registerAfter);
  EXPECT_EQ(std::memcmp(fast.GetInfo(), slow.GetInfo(), static_cast<size_t>(slow.GetInfoSize())), 0);
}

std::vector<DepthJob> DepthJobs() {
  std::vector<DepthJob> jobs;
  for (int to : {1, 4, 8}) {
    for (int dither : {0, 1}) {
      for (int kind : {0, 1}) {
        for (int content : {0, 1, 2}) jobs.push_back({67, 45, 24, to, dither, kind, to == 8 ? 3 + content * 6 : 8, content});
      }
    }
  }
  for (int dither : {0, 1}) {
    jobs.push_back({67, 45, 24, 16, dither, 0, 8, 0});
    jobs.push_back({1, 50, 24, 16, dither, 0, 8, 1});
    jobs.push_back({50, 1, 24, 8, dither, 0, 16, 0});
    jobs.push_back({1, 1, 24, 4, dither, 0, 8, 1});
    jobs.push_back({1, 30, 24, 8, dither, 1, 1, 0});
    jobs.push_back({31, 17, 8, 4, dither, 0, 8, 1});
    jobs.push_back({31, 17, 4, 8, dither, 0, 5, 1});
    jobs.push_back({31, 17, 1, 8, dither, 0, 8, 1});
    jobs.push_back({31, 17, 16, 8, dither, 0, 12, 1});
    jobs.push_back({31, 17, 8, 24, dither, 0, 8, 1});
    jobs.push_back({31, 17, 16, 24, dither, 0, 8, 1});
    jobs.push_back({31, 17, 8, 16, dither, 0, 8, 1});
    // Large enough to use the table of nearest answers.
    jobs.push_back({640, 480, 24, 8, dither, 0, 8, 0});
    jobs.push_back({600, 500, 24, 4, dither, 1, 8, 0});
  }
  return jobs;
}

INSTANTIATE_TEST_SUITE_P(Pictures, DepthAgreement, ::testing::ValuesIn(DepthJobs()));

class Transparency : public ::testing::Test {
 protected:
  // A 4-bit picture whose entries 3 and 9 hold the same red.
  void SetUp() override {
    ASSERT_TRUE(img.Create(4, 2, 4).ok());
    for (int i = 0; i < 16; ++i) img.SetPaletteColor(i, 0x010101u * i);
    img.SetPaletteColor(3, 0xFF0000);
    img.SetPaletteColor(9, 0xFF0000);
    const int idx[2][4] = {{3, 9, 5, 0}, {5, 5, 3, 1}};
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) img.SetIndex(x, y, idx[y][x]);
    }
    InitTransparentColor(img, kKeyColor);
  }
  std::vector<int> Indices() const {
    std::vector<int> v;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) v.push_back(img.GetIndex(x, y));
    }
    return v;
  }
  ImageBuffer img;
};

TEST_F(Transparency, HighestMatchingIndexWinsAndIndexZeroIsRestoredFirst) {
  // Index 0 pixels start as "transparent": the first application gives
  // them m_lastTransparent & 0xFF = 0xC0, of which a 4-bit pixel keeps 0.
  EXPECT_EQ(FindPaletteIndex(img, 0x0000FF), 9);  // COLORREF of red
  ASSERT_TRUE(ApplyPickedColor(img, 0x0000FF).ok());
  EXPECT_EQ(Indices(), (std::vector<int>{3, 0, 5, 0, 5, 5, 3, 1}));
  EXPECT_EQ(img.GetPaletteColor(0), SwapRedBlue(kKeyColor));
  EXPECT_EQ(img.m_lastTransparent, 9u);
  EXPECT_EQ(img.GetPaletteColor(9), 0xFF0000u);  // kept, so the colour can come back

  ApplyTransparentIndex(img, 5);
  EXPECT_EQ(Indices(), (std::vector<int>{3, 9, 0, 9, 0, 0, 3, 1}));
  // The same index again leaves none transparent.
  ApplyTransparentIndex(img, 5);
  EXPECT_EQ(Indices(), (std::vector<int>{3, 9, 5, 9, 5, 5, 3, 1}));
  ApplyTransparentIndex(img, 5);
  ClearTransparency(img);
  EXPECT_EQ(Indices(), (std::vector<int>{3, 9, 5, 9, 5, 5, 3, 1}));
  EXPECT_EQ(img.m_lastTransparent, 0u);
}

TEST(TransparencyEightBit, IndexZeroPixelsTakeIndex192First) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 1, 8).ok());
  img.SetIndex(0, 0, 0);
  img.SetIndex(1, 0, 7);
  InitTransparentColor(img, kKeyColor);
  ApplyTransparentIndex(img, 7);
  EXPECT_EQ(img.GetIndex(0, 0), 192);
  EXPECT_EQ(img.GetIndex(1, 0), 0);
}

TEST(TransparencyColour, TwentyFourBitExactMatchesOnly) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 1, 24).ok());
  InitTransparentColor(img, kKeyColor);
  img.SetPixel(0, 0, 0x112233);
  img.SetPixel(1, 0, 0x112234);
  img.SetPixel(2, 0, SwapRedBlue(kKeyColor));  // transparent from the start
  ASSERT_TRUE(ApplyPickedColor(img, PickColor(img, 0, 0)).ok());
  EXPECT_EQ(img.GetPixel(0, 0), SwapRedBlue(kKeyColor));
  EXPECT_EQ(img.GetPixel(1, 0), 0x112234u);
  EXPECT_EQ(img.GetPixel(2, 0), SwapRedBlue(kKeyColor));  // restored to the key colour itself
  // Picking a transparent pixel gives the key colour, which clears.
  EXPECT_EQ(PickColor(img, 0, 0), kKeyColor);
  ASSERT_TRUE(ApplyPickedColor(img, PickColor(img, 0, 0)).ok());
  EXPECT_EQ(img.GetPixel(0, 0), 0x112233u);
  EXPECT_EQ(PickColor(img, -1, 0), kKeyColor);
  EXPECT_EQ(PickColor(img, 3, 0), kKeyColor);
}

TEST(TransparencyColour, SixteenBitStoresFiveBitsPerChannel) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 1, 16).ok());
  InitTransparentColor(img, kKeyColor);
  SetPixelColor(img, 0, 0, 0x0000FF);  // red
  EXPECT_EQ(img.GetBits()[1], 0x7C);
  EXPECT_EQ(img.GetBits()[0], 0x00);
  SetPixelColor(img, 1, 0, 0x0000FF);
  ASSERT_TRUE(ApplyPickedColor(img, 0x0000F8).ok());
  EXPECT_EQ(img.GetPixel(0, 0), SwapRedBlue(kKeyColor));  // C0 is a multiple of 8
  ClearTransparency(img);
  EXPECT_EQ(img.GetPixel(0, 0), 0xF80000u);
}

TEST(TransparencyColour, OneBitPicturesHaveNone) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 1, 1).ok());
  img.GetBits()[0] = 0x0F;
  EXPECT_EQ(ApplyPickedColor(img, 0).kind(), Result::Kind::kNothingToDo);
  EXPECT_EQ(img.GetBits()[0], 0x0F);
}

}  // namespace
}  // namespace pixmill
