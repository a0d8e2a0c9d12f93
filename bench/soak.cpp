// Long runs, on demand (not part of the test run): every operation on 4096 x 4096 pictures at every depth, and a
// long random sequence of operations, checking after each step that the
// picture is whole and that exports load back to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/convert_rules.h"
#include "app/document.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "export/lzss.h"
#include "image/bmp.h"
#include "image/resize.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::TempDir;

// The headers and blocks agree with each other and with the picture.
::testing::AssertionResult Whole(const ImageBuffer& img) {
  if (!img.IsValid()) return ::testing::AssertionFailure() << "no picture";
  const int b = img.BitCount();
  if (!IsPictureDepth(b)) return ::testing::AssertionFailure() << "depth " << b;
  if (static_cast<size_t>(img.GetImageSize()) > img.BitsBlockSize()) return ::testing::AssertionFailure() << "pixels";
  if (static_cast<size_t>(img.GetInfoSize()) > img.InfoBlockSize()) return ::testing::AssertionFailure() << "info";
  const uint8_t* h = img.GetInfo();
  if (static_cast<int32_t>(ReadLe32(h + info::kWidth)) != img.Width() ||
      static_cast<int32_t>(ReadLe32(h + info::kHeight)) != img.Height() || ReadLe16(h + info::kBitCount) != b) {
    return ::testing::AssertionFailure() << "info header";
  }
  const BitmapFileHeader* fh = img.GetFileHeader();
  if (fh->bfSize != fh->bfOffBits + ReadLe32(h + info::kSizeImage)) return ::testing::AssertionFailure() << "bfSize";
  return ::testing::AssertionSuccess();
}

// What an export of `img` in bitmap or texture form loads back as.
::testing::AssertionResult LoadsBack(const ImageBuffer& img, const ImageBuffer& back, bool palette) {
  if (back.Width() != img.Width() || back.Height() != img.Height()) return ::testing::AssertionFailure() << "size";
  for (int y = 0; y < img.Height(); ++y) {
    for (int x = 0; x < img.Width(); ++x) {
      if (img.BitCount() <= 8) {
        if (back.GetIndex(x, y) != img.GetIndex(x, y))
          return ::testing::AssertionFailure() << "index at " << x << "," << y;
      } else {
        const uint32_t c = img.GetPixel(x, y);
        const uint32_t want = SwapRedBlue(c) == img.m_transparentColor ? 0 : (c & 0xF8F8F8);
        if (back.GetPixel(x, y) != want) return ::testing::AssertionFailure() << "colour at " << x << "," << y;
      }
    }
  }
  if (img.BitCount() <= 8 && palette) {
    for (int i = 0; i < (1 << img.BitCount()); ++i) {
      if (back.GetPaletteColor(i) != (img.GetPaletteColor(i) & 0xF8F8F8))
        return ::testing::AssertionFailure() << "palette " << i;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(Soak, EveryOperationOnLargePicturesAtEveryDepth) {
  TempDir dir;
  for (int bits : {24, 16, 8, 4, 1}) {
    Document doc;
    ImageBuffer& img = doc.image;
    ASSERT_TRUE(img.Create(4096, 4096, 24).ok());
    testing::FillPhotoLike(img, static_cast<uint32_t>(bits));
    if (bits != 24) {
      ASSERT_TRUE(ColourCommand(doc, {1, 0, 8}, bits).ok()) << bits;
    }
    ASSERT_TRUE(Whole(img));
    PickCommand(doc, 100, 100);
    (void)TransparentCommand(doc);
    ASSERT_TRUE(Whole(img));
    // Save and load back.
    ASSERT_TRUE(WriteBmp(img, dir.File("big.bmp")).ok());
    ImageBuffer saved;
    ASSERT_TRUE(LoadFile(saved, dir.File("big.bmp")).ok());
    ASSERT_TRUE(Whole(saved));
    // Export (texture, palette, compressed when the stream can hold it) and load back.
    // Compressed, a diffused picture this large needs more tokens than a
    // stream can count: refused, and nothing written. Then plain.
    const std::string exported = dir.File("big" + std::to_string(bits) + ".d");
    const Result compressed = WriteConvertedFile(img, exported, {kFormTexture, 0, 1, 1}, nullptr);
    if (!compressed.ok()) {
      EXPECT_NE(compressed.reason().find("flag bytes"), std::string::npos) << compressed.reason();
      EXPECT_FALSE(testing::FileExists(exported));
      ASSERT_TRUE(WriteConvertedFile(img, exported, {kFormTexture, 0, 0, 1}, nullptr).ok()) << bits;
    }
    ImageBuffer back;
    ASSERT_TRUE(LoadFile(back, exported).ok());
    EXPECT_TRUE(LoadsBack(img, back, true)) << bits;
    if (bits == 8) {
      ASSERT_TRUE(WriteConvertedFile(img, dir.File("big.chr"), {kFormCharacter, 1, 0, 1}, nullptr).ok());
    }
    // Resize down and up again.
    ASSERT_TRUE(ScaleCommand(doc, 1024, 1024).ok());
    ASSERT_TRUE(Whole(img));
    ASSERT_TRUE(ScaleCommand(doc, 4096, 4096).ok());
    ASSERT_TRUE(Whole(img));
    ASSERT_TRUE(ColourCommand(doc, {0, 1, 16}, img.BitCount() == 24 ? 8 : 24).ok());
    ASSERT_TRUE(Whole(img));
  }
}

TEST(Soak, LongRandomSequenceOfOperations) {
  TempDir dir;
  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  Document doc;
  ImageBuffer& img = doc.image;
  ASSERT_TRUE(img.Create(37, 23, 24).ok());
  testing::FillPhotoLike(img, 1);
  int ambiguous = 0;
  for (int step = 0; step < 2000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    switch (pick(7)) {
      case 0:
        (void)ScaleCommand(doc, 1 + pick(80), 1 + pick(60));
        break;
      case 1: {
        static const int kDepths[] = {1, 4, 8, 16, 24};
        (void)ColourCommand(doc, {pick(2), pick(2), 1 + pick(16)}, kDepths[pick(5)]);
        break;
      }
      case 2:
        PickCommand(doc, pick(img.Width() + 4) - 2, pick(img.Height() + 4) - 2);
        (void)TransparentCommand(doc);
        break;
      case 3: {
        ASSERT_TRUE(WriteBmp(img, dir.File("s.bmp")).ok());
        ImageBuffer back;
        ASSERT_TRUE(LoadFile(back, dir.File("s.bmp")).ok());
        ASSERT_TRUE(Whole(back));
        ASSERT_EQ(back.BitCount(), img.BitCount());
        break;
      }
      default: {
        // Export what the convert dialog offers, load it back where the form allows.
        ConvertDialogState d = StartConvertDialog(img.BitCount(), img.Width(), img.Height());
        const int forms[] = {kFormBitmap, kFormTexture, kFormCharacter};
        const int form = forms[pick(3)];
        ExportChoices choices;
        if (ChooseExport(img, {.form = form}, choices).ok()) ClickForm(d, form);
        if (d.fields.form == kFormNone) break;
        if (d.enabled.lzss && pick(2)) d.fields.lzss = 1;
        if (d.enabled.palette && pick(2)) d.fields.palette = 1 - d.fields.palette;
        const Result r = WriteConvertedFile(img, dir.File("e.d"), d.fields, nullptr);
        ASSERT_TRUE(r.ok()) << r.reason();
        if (d.fields.form == kFormCharacter) break;
        ImageBuffer back;
        ASSERT_TRUE(LoadFile(back, dir.File("e.d")).ok());
        ASSERT_TRUE(Whole(back));
        const bool palette = img.BitCount() <= 8 && (d.fields.form == kFormBitmap || d.fields.palette);
        // Where two layouts have the same size the format cannot tell them
        // apart, and the earlier one is read: nothing to compare then.
        const int kind = img.BitCount() > 8 ? 0 : (img.BitCount() == 8 ? 1 : (img.BitCount() == 4 ? 2 : 3));
        std::vector<uint8_t> bytes = testing::ReadFileBytes(dir.File("e.d"));
        if (d.fields.lzss) {
          LzssCodec codec;
          ASSERT_TRUE(codec.Decode(bytes.data(), static_cast<int64_t>(bytes.size())).ok());
          bytes = codec.Bytes();
        }
        // The first layout whose size matches is the one read.
        const uint64_t p = uint64_t{ReadBe16(bytes.data())} * ReadBe16(bytes.data() + 2);
        const uint64_t sizes[7] = {2 * p + 4, p + 516, p + 4, p / 2 + 36, p / 2 + 4, p / 8 + 8, p / 8 + 4};
        const int expected = kind == 0 ? 0 : 2 * kind - (palette ? 1 : 0);
        if (std::find(sizes, sizes + 7, bytes.size()) != sizes + expected) {
          ++ambiguous;
          break;
        }
        EXPECT_TRUE(LoadsBack(img, back, palette));
        // Sometimes continue with what was loaded, as a user would.
        if (pick(3) == 0 && img.BitCount() <= 8) {
          img.TakeBlocksFrom(back);
        }
        break;
      }
    }
    ASSERT_TRUE(Whole(img));
  }
  EXPECT_LT(ambiguous, 20);
}

}  // namespace
}  // namespace pixmill
