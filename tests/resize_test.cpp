#include <gtest/gtest.h>

#include <cstring>

#include "image/resize.h"
#include "oracle/colour_oracle.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

// A 24-bit row of given colours, resized to `to` pixels wide (height kept).
std::vector<uint32_t> ResizeRow(std::vector<uint32_t> row, int to) {
  ImageBuffer img;
  EXPECT_TRUE(img.Create(static_cast<int32_t>(row.size()), 1, 24).ok());
  for (size_t x = 0; x < row.size(); ++x) img.SetPixel(static_cast<int32_t>(x), 0, row[x]);
  EXPECT_TRUE(Resize(img, to, 1).ok());
  std::vector<uint32_t> out;
  for (int x = 0; x < to; ++x) out.push_back(img.GetPixel(x, 0));
  return out;
}

uint32_t Grey(int v) { return static_cast<uint32_t>(v * 0x010101); }

TEST(Resize, ShrinkAveragesAreas) {
  // 4 -> 2: truncated means of neighbours.
  EXPECT_EQ(ResizeRow({Grey(10), Grey(21), Grey(100), Grey(0)}, 2), (std::vector<uint32_t>{Grey(15), Grey(50)}));
  // 3 -> 2 (ratio 1.5): (p0 + 0.5 p1) / 1.5 and (p2 + 0.5 p1) / 1.5.
  const uint32_t p0 = 0x0A1400, p1 = 0x3C0A64, p2 = 0xFF00C8;
  auto mix = [](int a, int b) { return static_cast<int>((a + 0.5 * b) / 1.5); };
  const uint32_t t0 = static_cast<uint32_t>(mix(0x0A, 0x3C) << 16 | mix(0x14, 0x0A) << 8 | mix(0x00, 0x64));
  const uint32_t t1 = static_cast<uint32_t>(mix(0xFF, 0x3C) << 16 | mix(0x00, 0x0A) << 8 | mix(0xC8, 0x64));
  EXPECT_EQ(ResizeRow({p0, p1, p2}, 2), (std::vector<uint32_t>{t0, t1}));
}

TEST(Resize, EnlargeInterpolatesAndReadsTheRegisterPastTheEdge) {
  // 2 -> 4: p0, mean, p1, p1.
  EXPECT_EQ(ResizeRow({Grey(10), Grey(31)}, 4), (std::vector<uint32_t>{Grey(10), Grey(20), Grey(31), Grey(31)}));
  // 2 -> 3: p0; 1/3 p0 + 2/3 p1; at x = 4/3 the right pixel lies outside and
  // the register gives p0 (read last), so the last is 2/3 p1 + 1/3 p0.
  const double t1 = 2.0 / 3.0 - 0;  // x = 2/3
  const double t2 = (2.0 / 1.5) - 1;
  const int a = 30, b = 90;
  const int mid = static_cast<int>((1 - t1) * a + t1 * b);
  const int last = static_cast<int>((1 - t2) * b + t2 * a);
  EXPECT_EQ(ResizeRow({Grey(a), Grey(b)}, 3), (std::vector<uint32_t>{Grey(a), Grey(mid), Grey(last)}));
  // The (unchanged) height pass reads every pixel; the last read is the
  // rightmost pixel of the row.
  EXPECT_EQ(LastColourRead(), Grey(last));
}

TEST(Resize, TallerPictureCopiesRowsThenInterpolates) {
  ImageBuffer img, oracleImg;
  for (ImageBuffer* p : {&img, &oracleImg}) {
    ASSERT_TRUE(p->Create(5, 4, 24).ok());
    testing::FillPattern(*p, 4);
  }
  ASSERT_TRUE(Resize(img, 5, 8).ok());
  EXPECT_EQ(oracle::Resize(oracleImg, 5, 8), 0);
  EXPECT_TRUE(testing::SamePicture(img, oracleImg));
  EXPECT_EQ(img.GetPixel(3, 0), oracleImg.GetPixel(3, 0));
}

TEST(Resize, IndexedPicturesByNearestNeighbour) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 2, 8).ok());
  for (int i = 0; i < 256; ++i) img.SetPaletteColor(i, Grey(i) | 0x11000000);
  img.SetIndex(0, 0, 1);
  img.SetIndex(1, 0, 2);
  img.SetIndex(0, 1, 3);
  img.SetIndex(1, 1, 4);
  ASSERT_TRUE(Resize(img, 4, 4).ok());
  const int expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(img.GetIndex(x, y), expected[y][x]);
  }
  EXPECT_EQ(img.GetPaletteColor(200), Grey(200) | 0x11000000);

  ImageBuffer row;
  ASSERT_TRUE(row.Create(3, 1, 8).ok());
  row.SetIndex(0, 0, 7);
  row.SetIndex(1, 0, 8);
  row.SetIndex(2, 0, 9);
  ASSERT_TRUE(Resize(row, 2, 1).ok());
  EXPECT_EQ(row.GetIndex(0, 0), 7);
  EXPECT_EQ(row.GetIndex(1, 0), 8);  // trunc(1 / (2/3)) = 1
}

TEST(Resize, RefusalsChangeNothingNotEvenTheBar) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 3, 24).ok());
  testing::RecordingProgress progress;
  img.SetProgressBar(&progress);
  for (auto [w, h] : {std::pair{0, 3}, {4097, 3}, {3, 0}, {3, 4097}}) {
    const Result r = Resize(img, w, h);
    EXPECT_EQ(r.kind(), Result::Kind::kRefused);
  }
  EXPECT_EQ(Resize(img, 3, 3).kind(), Result::Kind::kNothingToDo);
  EXPECT_TRUE(progress.events.empty());
  EXPECT_EQ(img.Width(), 3);
  ASSERT_TRUE(Resize(img, 1, 1).ok());
  ASSERT_TRUE(Resize(img, 4096, 4096).ok());
  EXPECT_EQ(img.Width(), 4096);
  EXPECT_EQ(progress.events.back(), (testing::RecordingProgress::Event{testing::RecordingProgress::Event::kPosition, 0, 0}));
}

TEST(Resize, SixteenBitPictureIsExpandedFirst) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(4, 2, 16).ok());
  testing::FillPattern(img, 9);
  ImageBuffer expected;
  ASSERT_TRUE(ExpandTo24Bits(img, expected).ok());
  EXPECT_EQ(oracle::Resize(expected, 2, 2), 0);
  ASSERT_TRUE(Resize(img, 2, 2).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_TRUE(testing::SamePicture(img, expected));
}

TEST(Resize, KeepsSettingsTitleAndTransparentState) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 8, 4).ok());
  img.m_title = "t";
  img.m_lastTransparent = 3;
  ASSERT_TRUE(Resize(img, 3, 5).ok());
  EXPECT_EQ(img.m_title, "t");
  EXPECT_EQ(img.m_lastTransparent, 3u);
  EXPECT_EQ(img.GetFileHeader()->bfSize, 54u + 64 + 4 * 5);
}

// The fast passes against the per-pixel procedure, over shapes and contents.
struct Job {
  int w, h, bits, W, H;
  uint32_t seed;
  bool photo;
};

void PrintTo(const Job& j, std::ostream* os) {
  *os << j.w << "x" << j.h << "x" << j.bits << " -> " << j.W << "x" << j.H << (j.photo ? " photo" : " noise");
}

class ResizeAgreement : public ::testing::TestWithParam<Job> {};

TEST_P(ResizeAgreement, FastPathEqualsThePerPixelProcedure) {
  const Job j = GetParam();
  ImageBuffer fast, slow;
  for (ImageBuffer* p : {&fast, &slow}) {
    ASSERT_TRUE(p->Create(j.w, j.h, j.bits).ok());
    if (j.photo && j.bits == 24) {
      testing::FillPhotoLike(*p, j.seed);
    } else {
      testing::FillPattern(*p, j.seed);
    }
  }
  // The register carries over between calls; start both from the same value.
  SetLastColourRead(0x123456);
  ASSERT_EQ(oracle::Resize(slow, j.W, j.H), 0);
  const uint32_t registerAfter = LastColourRead();
  SetLastColourRead(0x123456);
  ASSERT_TRUE(Resize(fast, j.W, j.H).ok());
  EXPECT_TRUE(testing::SamePicture(fast, slow));
  EXPECT_EQ(LastColourRead(), registerAfter);
  uint8_t a[14], b[14];
  fast.GetFileHeader()->Write(a);
  slow.GetFileHeader()->Write(b);
  EXPECT_EQ(std::memcmp(a, b, 14), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ResizeAgreement,
    ::testing::Values(Job{37, 29, 24, 100, 81, 1, true}, Job{100, 81, 24, 37, 29, 2, true},
                      Job{64, 48, 24, 17, 100, 3, false}, Job{17, 100, 24, 64, 13, 4, false},
                      Job{1, 1, 24, 7, 5, 5, false}, Job{1, 9, 24, 5, 3, 6, false}, Job{9, 1, 24, 3, 6, 7, false},
                      Job{3, 3, 24, 3, 10, 8, false}, Job{10, 3, 24, 10, 1, 9, false},
                      Job{333, 7, 24, 1000, 7, 10, true}, Job{640, 480, 24, 123, 457, 11, true},
                      Job{13, 11, 8, 40, 3, 12, false}, Job{13, 11, 4, 5, 30, 13, false},
                      Job{13, 11, 1, 29, 29, 14, false}, Job{1, 1, 8, 4096, 2, 15, false},
                      Job{50, 50, 24, 4096, 3, 16, true}));

}  // namespace
}  // namespace pixmill
