#include <gtest/gtest.h>

#include "image/bmp.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::BmpFields;
using testing::BuildBmp;
using testing::FakeSavePrompt;
using testing::ReadFileBytes;
using testing::TempDir;

std::vector<uint8_t> EightBitFile() {
  BmpFields s;
  s.width = 3;
  s.height = 2;
  s.bitCount = 8;
  s.palette = {0x000000, 0x102030, 0x405060, 0x708090, 0x000000};
  // Bottom row first, rows padded to 4 bytes.
  s.pixels = {0, 1, 2, 0, 4, 0, 3, 0};
  return BuildBmp(s);
}

Result Parse(ImageBuffer& img, const std::vector<uint8_t>& f) {
  return ParseBmp(img, f.data(), static_cast<int64_t>(f.size()));
}

TEST(ParseBmp, CopiesHeadersPaletteAndRows) {
  ImageBuffer img;
  const std::vector<uint8_t> f = EightBitFile();
  ASSERT_TRUE(Parse(img, f).ok());
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.Height(), 2);
  EXPECT_EQ(img.BitCount(), 8);
  EXPECT_EQ(img.GetPaletteColor(3), 0x708090u);
  // Top row (stored last): 4, 0->4, 3.  Bottom row: 0->4, 1, 2.
  EXPECT_EQ(img.GetIndex(0, 0), 4);
  EXPECT_EQ(img.GetIndex(1, 0), 4);
  EXPECT_EQ(img.GetIndex(2, 0), 3);
  EXPECT_EQ(img.GetIndex(0, 1), 4);
  EXPECT_EQ(img.GetIndex(1, 1), 1);
  EXPECT_EQ(img.GetIndex(2, 1), 2);
  // Entry 0 keeps its colour.
  EXPECT_EQ(img.GetPaletteColor(0), 0u);
}

TEST(ParseBmp, FileTypeIsNotLookedAt) {
  BmpFields s;
  s.type = 0x5858;  // "XX"
  s.width = 2;
  const std::vector<uint8_t> f = BuildBmp(s);
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, f).ok());
  EXPECT_EQ(img.GetFileHeader()->bfType, 0x5858);
}

TEST(ParseBmp, TwentyFourAndSixteenBitFilesKeepTheirDepth) {
  BmpFields s;
  s.width = 2;
  s.bitCount = 24;
  s.pixels = {0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0, 0};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 24);
  EXPECT_EQ(img.InfoBlockSize(), 44u);
  EXPECT_EQ(img.GetPixel(0, 0), 0x123456u);
  EXPECT_EQ(img.GetPixel(1, 0), 0xABCDEFu);

  s.bitCount = 16;
  s.pixels = {0x1F, 0x7C, 0xFF, 0x7F};
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.BitCount(), 16);
  EXPECT_EQ(img.GetBits()[0], 0x1F);
  EXPECT_EQ(img.GetBits()[1], 0x7C);
  EXPECT_EQ(img.GetPixel(0, 0), 0x00F800F8u);
}

TEST(ReserveIndexZero, IdenticalEntryWinsAndLowestIndexBreaksTies) {
  BmpFields s;
  s.width = 4;
  s.bitCount = 8;
  s.palette.assign(256, 0xFFFFFF);
  s.palette[0] = 0;
  s.palette[7] = 0;
  s.pixels = {0, 7, 0, 3};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.GetIndex(0, 0), 7);
  EXPECT_EQ(img.GetIndex(2, 0), 7);
  EXPECT_EQ(img.GetIndex(3, 0), 3);

  s.palette[3] = 0;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.GetIndex(0, 0), 3);

  // Nearest, not identical: distances 3 (entry 2) and 2 (entry 5, wins).
  s.palette.assign(256, 0xFFFFFF);
  s.palette[0] = 0x101010;
  s.palette[2] = 0x111111;
  s.palette[5] = 0x101011 + 0x000100;  // (0x10,0x11,0x11): distance 2
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.GetIndex(0, 0), 5);
}

TEST(ReserveIndexZero, FourBitKeepsTheNeighbourNibble) {
  BmpFields s;
  s.width = 3;
  s.bitCount = 4;
  s.palette.assign(16, 0xFFFFFF);
  s.palette[0] = 0x000000;
  s.palette[9] = 0x000001;
  s.pixels = {0x05, 0x00, 0, 0};  // pixels 0, 5, 0
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.GetBits()[0], 0x95);
  EXPECT_EQ(img.GetBits()[1], 0x90);
}

TEST(ReserveIndexZero, OneBitFilesKeepIndexZero) {
  BmpFields s;
  s.width = 8;
  s.bitCount = 1;
  s.palette = {0x000000, 0x000000};
  s.pixels = {0x0F, 0, 0, 0};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(s)).ok());
  EXPECT_EQ(img.GetBits()[0], 0x0F);
}

// Every refusal leaves the picture that was there, and says why.
struct Refusal {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> spoil;
  const char* reasonPart;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class RefusedFiles : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedFiles, KeepThePreviousPicture) {
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, EightBitFile()).ok());
  const std::vector<uint8_t> before(img.GetBits(), img.GetBits() + img.GetImageSize());

  std::vector<uint8_t> f = BuildBmp(BmpFields{.width = 5, .height = 4, .bitCount = 8});
  GetParam().spoil(f);
  const Result r = Parse(img, f);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.code(), 1);
  EXPECT_NE(r.reason().find(GetParam().reasonPart), std::string::npos) << r.reason();
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.BitCount(), 8);
  EXPECT_EQ(std::vector<uint8_t>(img.GetBits(), img.GetBits() + img.GetImageSize()), before);
}

void SetSize(std::vector<uint8_t>& f) { WriteLe32(f.data() + 2, static_cast<uint32_t>(f.size())); }

INSTANTIATE_TEST_SUITE_P(
    ParseBmp, RefusedFiles,
    ::testing::Values(
        Refusal{"OneByteAppended", [](auto& f) { f.push_back(0); }, "differs from the file length"},
        Refusal{"ZeroHeight", [](auto& f) { WriteLe32(f.data() + 22, 0); }, "holds no picture"},
        Refusal{"ZeroWidth", [](auto& f) { WriteLe32(f.data() + 18, 0); }, "holds no picture"},
        Refusal{"NegativeWidth", [](auto& f) { WriteLe32(f.data() + 18, static_cast<uint32_t>(-5)); },
                "holds no picture"},
        Refusal{"ThirtyTwoBitsTooShort", [](auto& f) { WriteLe16(f.data() + 28, 32); }, "need"},
        Refusal{"PixelsPastTheEnd", [](auto& f) { WriteLe32(f.data() + 10, static_cast<uint32_t>(f.size() + 1)); },
                "past the end"},
        Refusal{"TooFewPixelBytes",
                [](auto& f) {
                  f.resize(f.size() - 1);
                  SetSize(f);
                },
                "need"},
        Refusal{"HugeClaim",
                [](auto& f) {
                  WriteLe32(f.data() + 18, 100000);
                  WriteLe32(f.data() + 22, 100000);
                },
                "too large"},
        Refusal{"PaletteBeyondFile",
                [](auto& f) {
                  f.resize(60);
                  SetSize(f);
                },
                "past the end"}),
    [](const auto& param) { return param.param.name; });

TEST(ParseBmp, TruncatedAtEveryHeaderByte) {
  const std::vector<uint8_t> whole = EightBitFile();
  for (size_t n = 0; n < 54 + 1024; ++n) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
    if (n >= 6) WriteLe32(cut.data() + 2, static_cast<uint32_t>(n));  // even with a matching size
    ImageBuffer img;
    EXPECT_FALSE(Parse(img, cut).ok()) << n;
    EXPECT_FALSE(img.IsValid());
  }
}

class BmpFiles : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(BmpFiles, LoadThenSaveWritesTheSameHeaders) {
  const std::vector<uint8_t> f = EightBitFile();
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, f).ok());
  const std::string out = dir.File("out.bmp");
  ASSERT_TRUE(WriteBmp(img, out).ok());
  const std::vector<uint8_t> saved = ReadFileBytes(out);
  ASSERT_EQ(saved.size(), f.size());
  EXPECT_TRUE(std::equal(f.begin(), f.begin() + 1078, saved.begin()));
  // Index 0 pixels now carry the entry they moved to (4, the other black).
  EXPECT_EQ(saved[1078], 4);
  EXPECT_EQ(saved[1078 + 5], 4);
}

TEST_F(BmpFiles, CreatedPictureSavesAsCanonicalFile) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 1, 24).ok());
  img.SetPixel(0, 0, 0x00FF0000);
  ASSERT_TRUE(WriteBmp(img, dir.File("a.bmp")).ok());
  const std::vector<uint8_t> saved = ReadFileBytes(dir.File("a.bmp"));
  ASSERT_EQ(saved.size(), 66u);
  EXPECT_EQ(saved[0], 'B');
  EXPECT_EQ(saved[1], 'M');
  EXPECT_EQ(ReadLe32(saved.data() + 2), 66u);
  EXPECT_EQ(ReadLe32(saved.data() + 10), 54u);
  EXPECT_EQ(saved[54 + 2], 0xFF);
  ImageBuffer back;
  ASSERT_TRUE(ParseBmp(back, saved.data(), static_cast<int64_t>(saved.size())).ok());
  EXPECT_TRUE(testing::SamePicture(img, back));
}

TEST_F(BmpFiles, SavedFileDescribesItsOwnLayout) {
  // A gap before the pixels, and a 24-bit file that carried a palette: the
  // saved file must point at the pixels it actually wrote.
  BmpFields gap{.width = 2, .height = 2, .bitCount = 8, .gapBeforePixels = 100};
  gap.palette = {0, 0x112233, 0x445566};
  gap.pixels = {1, 2, 0, 0, 2, 1, 0, 0};
  ImageBuffer img;
  ASSERT_TRUE(Parse(img, BuildBmp(gap)).ok());
  ASSERT_TRUE(WriteBmp(img, dir.File("gap.bmp")).ok());
  std::vector<uint8_t> saved = ReadFileBytes(dir.File("gap.bmp"));
  EXPECT_EQ(ReadLe32(saved.data() + 10), 1078u);
  EXPECT_EQ(ReadLe32(saved.data() + 2), saved.size());
  EXPECT_EQ(saved.size(), 1078u + 8);
  ImageBuffer back;
  ASSERT_TRUE(ParseBmp(back, saved.data(), static_cast<int64_t>(saved.size())).ok());
  EXPECT_TRUE(testing::SamePicture(img, back));

  BmpFields rgb{.width = 1, .height = 1, .bitCount = 24, .gapBeforePixels = 16};
  rgb.pixels = {1, 2, 3, 0};
  ASSERT_TRUE(Parse(img, BuildBmp(rgb)).ok());
  ASSERT_TRUE(WriteBmp(img, dir.File("rgb.bmp")).ok());
  saved = ReadFileBytes(dir.File("rgb.bmp"));
  EXPECT_EQ(ReadLe32(saved.data() + 10), 54u);
  EXPECT_EQ(saved.size(), 58u);
  EXPECT_EQ(saved[54], 1);
}

TEST_F(BmpFiles, CorpusFilesWithGapsOrSparePalettesSaveWhole) {
  for (const char* name : {"q/pal8offs.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> f = ReadFileBytes(std::string(PIXMILL_TEST_DATA) + "/bmpsuite/" + name);
    ImageBuffer img;
    ASSERT_TRUE(Parse(img, f).ok());
    ASSERT_TRUE(WriteBmp(img, dir.File("out.bmp")).ok());
    const std::vector<uint8_t> saved = ReadFileBytes(dir.File("out.bmp"));
    const uint32_t palette = img.BitCount() < 16 ? 4u << img.BitCount() : 0;
    EXPECT_EQ(ReadLe32(saved.data() + 10), 54 + palette);
    EXPECT_EQ(ReadLe32(saved.data() + 2), saved.size());
    ImageBuffer back;
    ASSERT_TRUE(ParseBmp(back, saved.data(), static_cast<int64_t>(saved.size())).ok());
    EXPECT_TRUE(testing::SamePicture(img, back));
  }
}

TEST_F(BmpFiles, SaveBmpAsAsksWithTitleFilterAndExtension) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(1, 1, 8).ok());
  img.m_title = "my";
  FakeSavePrompt prompt(dir.File("chosen.bmp"));
  ASSERT_TRUE(SaveBmpAs(img, prompt).ok());
  ASSERT_EQ(prompt.requests.size(), 1u);
  const SaveRequest& q = prompt.requests[0];
  EXPECT_EQ(q.proposedName, "my");
  EXPECT_EQ(q.defaultExtension, "BMP");
  ASSERT_EQ(q.filters.size(), 2u);
  EXPECT_EQ(q.filters[0].label, "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)");
  EXPECT_EQ(q.filters[0].pattern, "*.BMP");
  EXPECT_EQ(q.filters[1].label, "ALL(*.*)");
  EXPECT_EQ(q.filterIndex, 0);
  EXPECT_TRUE(q.confirmOverwrite);
  EXPECT_TRUE(testing::FileExists(dir.File("chosen.bmp")));
}

TEST_F(BmpFiles, CancelAndNoPictureWriteNothing) {
  ImageBuffer empty;
  FakeSavePrompt prompt(dir.File("x.bmp"));
  EXPECT_EQ(SaveBmpAs(empty, prompt).code(), 1);
  EXPECT_TRUE(prompt.requests.empty());
  EXPECT_EQ(WriteBmp(empty, dir.File("x.bmp")).code(), 1);

  ImageBuffer img;
  ASSERT_TRUE(img.Create(1, 1, 24).ok());
  FakeSavePrompt cancel(std::nullopt);
  const Result r = SaveBmpAs(img, cancel);
  EXPECT_EQ(r.kind(), Result::Kind::kCancelled);
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace pixmill
