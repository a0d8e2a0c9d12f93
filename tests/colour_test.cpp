// The fast colour-depth change and resize against the plain reference, and
// the palette rules worked out by hand.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <functional>

#include "app/document.h"
#include "color/depth.h"
#include "color/transparent.h"
#include "image/resize.h"
#include "oracle/colour_oracle.h"
#include "platform/threads.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

// A photo (content 0), noise (1) or flat pixel art with the key colour (2).
void Fill(ImageBuffer& img, int content, uint32_t seed) {
  static const uint32_t kArt[] = {0xC0C0C0, 0x000000, 0xFFFFFF, 0xE04020, 0x2060E0, 0x30A030};
  if (img.BitCount() != 24 || content == 1) return testing::FillPattern(img, seed);
  if (content == 0) return testing::FillPhotoLike(img, seed);
  for (int y = 0; y < img.Height(); ++y) {
    for (int x = 0; x < img.Width(); ++x) oracle::Set24(img, x, y, kArt[((x / 5) + (y / 3) * 2 + (x * y) % 3) % 6]);
  }
}

struct DepthJob {
  int w, h, fromBits, toBits, dither, paletteKind, precision, content;  // content: 0 photo, 1 noise, 2 art
};

void PrintTo(const DepthJob& j, std::ostream* os) {
  *os << j.w << "x" << j.h << " " << j.fromBits << "->" << j.toBits << " dither " << j.dither << " kind "
      << j.paletteKind << " precision " << j.precision << " content " << j.content;
}

std::vector<DepthJob> DepthJobs() {
  std::vector<DepthJob> jobs;
  for (int to : {1, 4, 8}) {
    for (int dither : {0, 1}) {
      for (int kind : {0, 1}) {
        for (int content : {0, 1, 2})
          jobs.push_back({67, 45, 24, to, dither, kind, to == 8 ? 3 + content * 6 : 8, content});
      }
    }
  }
  for (int dither : {0, 1}) {
    for (DepthJob j : {DepthJob{67, 45, 24, 16, 0, 0, 8, 0},
                       {1, 50, 24, 16, 0, 0, 8, 1},
                       {50, 1, 24, 8, 0, 0, 16, 0},
                       {1, 1, 24, 4, 0, 0, 8, 1},
                       {1, 30, 24, 8, 0, 1, 1, 0},
                       {31, 17, 8, 4, 0, 0, 8, 1},
                       {31, 17, 4, 8, 0, 0, 5, 1},
                       {31, 17, 1, 8, 0, 0, 8, 1},
                       {31, 17, 16, 8, 0, 0, 12, 1},
                       {31, 17, 8, 24, 0, 0, 8, 1},
                       {31, 17, 16, 24, 0, 0, 8, 1},
                       {31, 17, 8, 16, 0, 0, 8, 1},
                       // Large enough for the fast search's table of answers.
                       {640, 480, 24, 8, 0, 0, 8, 0},
                       {600, 500, 24, 4, 0, 1, 8, 0}}) {
      j.dither = dither;
      jobs.push_back(j);
    }
  }
  return jobs;
}

class DepthAgreement : public ::testing::TestWithParam<DepthJob> {};

TEST_P(DepthAgreement, FastPathEqualsThePlainProcedure) {
  const DepthJob j = GetParam();
  ImageBuffer fast, slow;
  ASSERT_TRUE(fast.Create(j.w, j.h, j.fromBits).ok());
  Fill(fast, j.content, static_cast<uint32_t>(j.w * 31 + j.toBits));
  ApplyColourSettings(fast, {j.dither, j.paletteKind, j.precision});
  testing::Copy(fast, slow);
  ApplyColourSettings(slow, {j.dither, j.paletteKind, j.precision});
  oracle::ChangeColorDepth(slow, j.toBits);
  ASSERT_TRUE(ChangeColorDepth(fast, j.toBits).ok());
  EXPECT_TRUE(testing::SamePicture(fast, slow));
}

INSTANTIATE_TEST_SUITE_P(Pictures, DepthAgreement, ::testing::ValuesIn(DepthJobs()));

struct ResizeJob {
  int w, h, bits, W, H;
  bool photo;
};

void PrintTo(const ResizeJob& j, std::ostream* os) {
  *os << j.w << "x" << j.h << "x" << j.bits << " -> " << j.W << "x" << j.H << (j.photo ? " photo" : " noise");
}

class ResizeAgreement : public ::testing::TestWithParam<ResizeJob> {};

TEST_P(ResizeAgreement, FastPathEqualsThePlainProcedure) {
  const ResizeJob j = GetParam();
  ImageBuffer fast, slow;
  ASSERT_TRUE(fast.Create(j.w, j.h, j.bits).ok());
  Fill(fast, j.photo ? 0 : 1, static_cast<uint32_t>(j.w + j.H));
  testing::Copy(fast, slow);
  oracle::Resize(slow, j.W, j.H);
  ASSERT_TRUE(Resize(fast, j.W, j.H).ok());
  EXPECT_TRUE(testing::SamePicture(fast, slow));
}

INSTANTIATE_TEST_SUITE_P(Shapes, ResizeAgreement,
                         ::testing::Values(ResizeJob{37, 29, 24, 100, 81, true}, ResizeJob{100, 81, 24, 37, 29, true},
                                           ResizeJob{64, 48, 24, 17, 100, false}, ResizeJob{17, 100, 24, 64, 13, false},
                                           ResizeJob{1, 1, 24, 7, 5, false}, ResizeJob{1, 9, 24, 5, 3, false},
                                           ResizeJob{9, 1, 24, 3, 6, false}, ResizeJob{3, 3, 24, 3, 10, false},
                                           ResizeJob{10, 3, 24, 10, 1, false}, ResizeJob{333, 7, 24, 1000, 7, true},
                                           ResizeJob{640, 480, 24, 123, 457, true}, ResizeJob{13, 11, 8, 40, 3, false},
                                           ResizeJob{13, 11, 4, 5, 30, false}, ResizeJob{13, 11, 1, 29, 29, false},
                                           ResizeJob{1, 1, 8, 4096, 2, false}, ResizeJob{50, 50, 24, 4096, 3, true},
                                           // Fractions in whole 256ths: twice, four and eight times.
                                           ResizeJob{64, 48, 24, 128, 192, true}, ResizeJob{33, 17, 24, 264, 34, false},
                                           ResizeJob{40, 30, 24, 160, 30, true},
                                           // Whole ratios of shrinking: 4, 3 and 5, and 1 one way.
                                           ResizeJob{128, 96, 24, 32, 24, true}, ResizeJob{90, 60, 24, 30, 20, false},
                                           ResizeJob{100, 50, 24, 20, 50, true}, ResizeJob{4096, 2, 24, 1, 1, false}));

// Palettes worked out by hand from the sample counts: 64 x 64 samples of a
// picture whose columns carry the colours.
struct PaletteCase {
  const char* name;
  std::vector<uint32_t> columns;  // one colour per column of the picture
  int bits;
  std::vector<uint32_t> palette;  // the first entries expected
};

void PrintTo(const PaletteCase& c, std::ostream* os) { *os << c.name; }

class OptimizedPalette : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(OptimizedPalette, FromTheSampleCounts) {
  const PaletteCase& c = GetParam();
  ImageBuffer img;
  ASSERT_TRUE(img.Create(static_cast<int>(c.columns.size()), 2, 24).ok());
  for (int y = 0; y < 2; ++y) {
    for (size_t x = 0; x < c.columns.size(); ++x) oracle::Set24(img, static_cast<int>(x), y, c.columns[x]);
  }
  ApplyColourSettings(img, {0, 0, 8});
  ASSERT_TRUE(ChangeColorDepth(img, c.bits).ok());
  for (size_t i = 0; i < c.palette.size(); ++i)
    EXPECT_EQ(img.GetPaletteColor(static_cast<uint32_t>(i)), c.palette[i]) << i;
}

// Ten columns sampled 64 times across give each column 6 or 7 of 64 samples.
INSTANTIATE_TEST_SUITE_P(Cases, OptimizedPalette,
                         ::testing::Values(
                             // Counts 1 : 2 : 3 : 4 stand most frequent first, behind the key colour; the rest black.
                             PaletteCase{"CountOrderWithoutMerging",
                                         {0x102030, 0x405060, 0x405060, 0x708090, 0x708090, 0x708090, 0xA0B0C0,
                                          0xA0B0C0, 0xA0B0C0, 0xA0B0C0},
                                         4,
                                         {0xC0C0C0, 0xA0B0C0, 0x708090, 0x405060, 0x102030, 0, 0}},
                             // One colour at 1 bit: its top 5 bits per channel, then black; white is F8F8F8.
                             PaletteCase{"OneColourAtOneBit", {0xFFFFFF}, 1, {0xF8F8F8, 0}},
                             // Three colours at 1 bit: the rarest merges into its nearest, weighted by the counts.
                             PaletteCase{"RarestMergesIntoItsNearest",
                                         {0x000000, 0x000000, 0xF8F8F8, 0xF8F8F8, 0x101010},
                                         1,
                                         {0x050505, 0xF8F8F8}}));

// A picture that comes with transparency keeps it exactly where its alpha
// was below half, through every command.
TEST(AlphaTransparency, StaysWhereTheAlphaWas) {
  const std::string png = std::string(PIXMILL_TEST_DATA) + "/golden/in/rgba-sprite.png";
  auto transparentAt = [](int x, int y) { return (x - 7.5) * (x - 7.5) + (y - 7.5) * (y - 7.5) >= 38; };
  struct Step {
    const char* name;
    std::function<Result(Document&)> run;
    int scale;  // 2: the picture halved
  };
  const Step steps[] = {
      {"load", [](Document&) { return Result::Done(); }, 1},
      {"depth 4",
       [](Document& d) {
         return ColourCommand(d, {1, 0, 8, {}}, 4);
       },
       1},
      {"depth 8 standard",
       [](Document& d) {
         return ColourCommand(d, {0, 1, 8, {}}, 8);
       },
       1},
      {"depth 16",
       [](Document& d) {
         return ColourCommand(d, {1, 0, 8, {}}, 16);
       },
       1},
      {"scale", [](Document& d) { return ScaleCommand(d, 8, 8); }, 2},
      {"other colours made transparent",
       [](Document& d) {
         PickCommand(d, 8, 8);
         (void)TransparentCommand(d);  // the next restores these pixels, not the picture's own
         PickCommand(d, 6, 2);
         return TransparentCommand(d);
       },
       1},
  };
  for (const Step& step : steps) {
    Document doc;
    ASSERT_TRUE(LoadCommand(doc, png).ok());
    ASSERT_TRUE(step.run(doc).ok()) << step.name;
    const ImageBuffer& img = doc.image;
    for (int y = 0; y < img.Height(); ++y) {
      for (int x = 0; x < img.Width(); ++x) {
        const bool transparent =
            img.BitCount() <= 8 ? img.GetIndex(x, y) == 0 : SwapRedBlue(img.GetPixel(x, y)) == img.m_transparentColor;
        if (transparentAt(x * step.scale, y * step.scale)) {
          EXPECT_TRUE(transparent) << step.name << " at " << x << "," << y;
        } else if (step.name[0] != 'o') {  // picking makes more transparent
          EXPECT_FALSE(transparent) << step.name << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(ResizeFailure, LeavesThePictureAsItWas) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address limit cannot be set under AddressSanitizer";
#else
  // Room for the first pass of an enlargement but not for the second.
  const int code = testing::RunUnprivileged([] {
    ImageBuffer img;
    if (!img.Create(2048, 1024, 24).ok()) return 2;
    testing::FillPattern(img, 3);
    const std::vector<uint8_t> before(img.GetBits(), img.GetBits() + img.GetImageSize());
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    FILE* status = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    if (std::fscanf(status, "%ld", &pages) != 1) return 3;
    std::fclose(status);
    limit.rlim_cur = static_cast<rlim_t>(pages) * 4096 + (32 << 20);  // 32 MiB more: 4096 x 1024 fits, 4096 x 4096 not
    setrlimit(RLIMIT_AS, &limit);
    const Result r = Resize(img, 4096, 4096);
    const bool same =
        img.Width() == 2048 && img.Height() == 1024 && std::equal(before.begin(), before.end(), img.GetBits());
    return r.ok() ? 4 : (same ? 0 : 1);
  });
  EXPECT_EQ(code, 0);
#endif
}

// A large picture is worked on by several threads; however many there are,
// every byte is the plain procedure's. Diffusion runs each row behind the
// row above, so an error in the hand-over shows up here.
TEST(Threads, EveryCountGivesThePlainProceduresBytes) {
  struct Case {
    int w, h, toBits, dither;
    bool transparent;
  };
  for (const Case c : {Case{700, 480, 8, kDitherDiffusion, false}, Case{700, 480, 8, kDitherDiffusion, true},
                       Case{513, 400, 4, kDitherDiffusion, false}, Case{700, 480, 8, kDitherNone, true},
                       Case{640, 520, 4, kDitherOrdered, false}}) {
    ImageBuffer source;
    ASSERT_TRUE(source.Create(c.w, c.h, 24).ok());
    Fill(source, 0, static_cast<uint32_t>(c.w));
    if (c.transparent) {
      std::vector<uint8_t> mask(static_cast<size_t>(c.w) * static_cast<size_t>(c.h));
      for (size_t i = 0; i < mask.size(); ++i) mask[i] = (i / 7 + i / 3000) % 5 == 0;
      source.SetTransparentMask(mask);
    }
    ApplyColourSettings(source, {c.dither, kPaletteOptimized, 8});
    // The plain procedure knows no ordered dithering: there one thread's
    // bytes are the reference.
    ImageBuffer plain;
    testing::Copy(source, plain);
    ApplyColourSettings(plain, {c.dither, kPaletteOptimized, 8});
    if (c.dither == kDitherOrdered) {
      SetPictureThreads(1);
      ASSERT_TRUE(ChangeColorDepth(plain, c.toBits).ok());
    } else {
      oracle::ChangeColorDepth(plain, c.toBits);
    }
    for (int threads : {1, 2, 3, 5}) {
      SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " to " << c.toBits << " bits, dither " << c.dither
                                        << (c.transparent ? ", transparent pixels" : "") << ", " << threads
                                        << " threads");
      SetPictureThreads(threads);
      ImageBuffer fast;
      testing::Copy(source, fast);
      ApplyColourSettings(fast, {c.dither, kPaletteOptimized, 8});
      ASSERT_TRUE(ChangeColorDepth(fast, c.toBits).ok());
      EXPECT_TRUE(testing::SamePicture(fast, plain));
    }
  }
  for (const auto& [W, H] : {std::pair{300, 260}, std::pair{1400, 1100}}) {
    ImageBuffer source, plain;
    ASSERT_TRUE(source.Create(700, 520, 24).ok());
    Fill(source, 0, 3);
    testing::Copy(source, plain);
    oracle::Resize(plain, W, H);
    for (int threads : {1, 2, 3}) {
      SCOPED_TRACE(::testing::Message() << "resize to " << W << "x" << H << ", " << threads << " threads");
      SetPictureThreads(threads);
      ImageBuffer fast;
      testing::Copy(source, fast);
      ASSERT_TRUE(Resize(fast, W, H).ok());
      EXPECT_TRUE(testing::SamePicture(fast, plain));
    }
  }
  SetPictureThreads(0);
}

// Faults of the whole-number paths once found: a whole ratio of shrinking
// above 4096, and a palette entry whose fourth byte is set (0xFFFFFFFF,
// which the search's table of answers once took for an empty slot).
TEST(WholeNumbers, LargeRatiosAndPaletteBytesGiveThePlainBytes) {
  ImageBuffer wide, plain;
  ASSERT_TRUE(wide.Create(10000, 1, 24).ok());
  for (int x = 0; x < 10000; ++x) oracle::Set24(wide, x, 0, x == 5000 ? 0x9E9E9E : 0x9F9F9F);
  testing::Copy(wide, plain);
  oracle::Resize(plain, 1, 1);
  ASSERT_TRUE(Resize(wide, 1, 1).ok());
  EXPECT_TRUE(testing::SamePicture(wide, plain));

  ImageBuffer indexed, reference;
  ASSERT_TRUE(indexed.Create(31, 17, 8).ok());
  for (uint32_t i = 0; i < 256; ++i) indexed.SetPaletteColor(i, i % 3 == 2 ? 0xFFFFFFFF : i * 0x010101);
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 31; ++x) indexed.SetIndex(x, y, static_cast<uint32_t>((x * 7 + y) % 256));
  }
  ApplyColourSettings(indexed, {kDitherNone, kPaletteOptimized, 8});
  testing::Copy(indexed, reference);
  ApplyColourSettings(reference, {kDitherNone, kPaletteOptimized, 8});
  oracle::ChangeColorDepth(reference, 4);
  ASSERT_TRUE(ChangeColorDepth(indexed, 4).ok());
  EXPECT_TRUE(testing::SamePicture(indexed, reference));
}

TEST(Progress, LongOperationsReportARangeAndEndAtZero) {
  testing::RecordingProgress progress;
  ImageBuffer img;
  ASSERT_TRUE(img.Create(40, 30, 24).ok());
  img.SetProgressBar(&progress);
  ApplyColourSettings(img, {1, 0, 8});
  ASSERT_TRUE(ChangeColorDepth(img, 8).ok());  // once per row
  ASSERT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 30}}));
  ASSERT_EQ(progress.positions.size(), 31u);
  EXPECT_EQ(progress.positions[29], 29);
  EXPECT_EQ(progress.positions.back(), 0);
  progress = {};
  ASSERT_TRUE(Resize(img, 20, 15).ok());  // rows of the target
  EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 15}}));
  EXPECT_EQ(progress.positions.back(), 0);
}

}  // namespace
}  // namespace pixmill
