// Everything the program exports reads back: over random pictures of every
// depth and every choice the convert dialog allows (form, binary or text,
// LZSS, palette; for the character form also distinct blocks, mirrored ones
// and the map as binary or text), export -> load gives the same picture,
// and export -> load -> export the same bytes (binary data read as their
// layout where their size fits two).
#include <gtest/gtest.h>

#include <random>

#include "app/convert_rules.h"
#include "color/transparent.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "image/bmp.h"
#include "image/png.h"
#include "image/standard_palette.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

// A picture whose every colour the export keeps: channels multiples of 8,
// at 16 bits any word; the key colour only where pixels are meant to be
// transparent.
void FillKept(ImageBuffer& image, std::mt19937& rng) {
  testing::FillPattern(image, rng());
  auto kept = [&](uint32_t c) {
    c &= 0xF8F8F8;
    return SwapRedBlue(c) == image.m_transparentColor ? c ^ 0x080000 : c;
  };
  for (int i = 0; i < PaletteEntriesFor(image.BitCount()); ++i) {
    image.SetPaletteColor(static_cast<uint32_t>(i), kept(image.GetPaletteColor(static_cast<uint32_t>(i))));
  }
  for (int32_t y = 0; image.BitCount() >= 16 && y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint8_t* p = image.Row(y) + (image.BitCount() / 8) * x;
      if (image.BitCount() == 24) WriteRgb24(p, kept(ReadRgb24(p)));
      if (image.BitCount() == 16 && SwapRedBlue(image.GetPixel(x, y)) == image.m_transparentColor) p[0] ^= 1;
    }
  }
  // A few pixels of the key colour, which the console sees as transparent.
  for (int32_t x = 0; image.BitCount() >= 16 && x < image.Width(); x += 3) {
    uint8_t* p = image.Row(x % image.Height()) + (image.BitCount() / 8) * x;
    const uint32_t key = SwapRedBlue(image.m_transparentColor);
    if (image.BitCount() == 24) WriteRgb24(p, key);
    if (image.BitCount() == 16) WriteLe16(p, (key >> 19 & 0x1F) << 10 | (key >> 11 & 0x1F) << 5 | (key >> 3 & 0x1F));
  }
}

// How the binary export of the picture reads: its size may fit another
// layout too, which the loader would take first.
DataReading ReadingOf(const ImageBuffer& image, const ExportChoices& c) {
  const int bits = image.BitCount();
  return DataReading{bits > 8 ? 24 : bits, bits <= 8 && (c.form == kFormBitmap || c.palette)};
}

// What the loader makes of the picture: pixels as GetPixel gives them, the
// palette the file carries or the standard one, the indices as they are.
// Colour words come back as 24 bits, but from text, which names the depth.
::testing::AssertionResult SameAsExported(const ImageBuffer& original, const ImageBuffer& loaded, bool palette,
                                          bool text) {
  if (loaded.Width() != original.Width() || loaded.Height() != original.Height()) {
    return ::testing::AssertionFailure() << "the size differs";
  }
  const int bits = original.BitCount();
  if (loaded.BitCount() != (bits > 8 && !text ? 24 : bits)) return ::testing::AssertionFailure() << "the depth differs";
  uint32_t standard[256];
  FillStandardPalette(standard, 256);
  for (int i = 0; i < PaletteEntriesFor(bits); ++i) {
    const uint32_t want = palette ? original.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF
                                  : (bits == 1 && i == 1 ? 0xF8F8F8 : standard[i]);
    if ((loaded.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF) != want) {
      return ::testing::AssertionFailure() << "palette entry " << i << " differs";
    }
  }
  for (int32_t y = 0; y < original.Height(); ++y) {
    for (int32_t x = 0; x < original.Width(); ++x) {
      const bool same = bits > 8 ? loaded.GetPixel(x, y) == (original.GetPixel(x, y) & 0xF8F8F8)
                                 : loaded.GetIndex(x, y) == original.GetIndex(x, y);
      if (!same) return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(RoundTrip, EveryExportReadsBackAsThePictureAndExportsTheSameBytes) {
  testing::TempDir dir;
  std::mt19937 rng(2026);
  int combinations = 0;
  for (int round = 0; round < 6; ++round) {
    for (const int bits : {1, 4, 8, 16, 24}) {
      ImageBuffer picture;
      ASSERT_TRUE(
          picture.Create(8 * static_cast<int32_t>(1 + rng() % 5), 8 * static_cast<int32_t>(1 + rng() % 5), bits).ok());
      FillKept(picture, rng);
      if (bits == 8 && round % 2 == 0) {
        // Repeated and mirrored blocks for the character set to find.
        for (int32_t y = 0; y < picture.Height(); ++y) {
          for (int32_t x = 8; x < picture.Width(); ++x) {
            picture.SetIndex(x, y, picture.GetIndex(((x / 8) % 2 == 1 ? 7 - x % 8 : x % 8), y));
          }
        }
      }
      const ConvertDialogState start = StartConvertDialog(bits, picture.Width(), picture.Height());
      for (const int form : {kFormBitmap, kFormTexture, kFormCharacter}) {
        ConvertDialogState d = start;
        if (!(form == kFormBitmap ? d.enabled.bitmap : form == kFormTexture ? d.enabled.texture : d.enabled.character))
          continue;
        ClickForm(d, form);
        for (int choice = 0; choice < 8; ++choice) {
          const ExportChoices c{form, choice & 1, (choice >> 1) & 1, (choice >> 2) & 1};
          if ((c.output && !d.enabled.text) || (c.lzss && !d.enabled.lzss) ||
              (c.palette != d.fields.palette && !d.enabled.palette))
            continue;
          for (int set = 0; set < (form == kFormCharacter ? 4 : 1); ++set) {
            SCOPED_TRACE(::testing::Message() << bits << " bits, " << picture.Width() << " x " << picture.Height()
                                              << ", form " << form << ", choice " << choice << ", set " << set);
            CharacterChoices characters;
            if (form == kFormCharacter) {
              characters.unique = set >= 1;
              characters.flips = set >= 2;
              characters.mapPath = dir.File(set == 3 ? "m.bas" : "m.map");
            }
            const std::string path = dir.File(c.output ? "e.bas" : "e.d");
            ASSERT_TRUE(WriteConvertedFile(picture, path, c, nullptr, characters).ok());
            const bool text = c.output == kOutputText && !c.lzss;  // the text names the layout
            LoadOptions options;
            if (!text) options.readAs = ReadingOf(picture, c);
            ImageBuffer loaded;
            ASSERT_TRUE((form == kFormCharacter ? LoadCharacterFiles(loaded, path, characters.mapPath)
                                                : LoadFile(loaded, path, options))
                            .ok());
            const bool palette = bits <= 8 && (form == kFormBitmap || c.palette);
            EXPECT_TRUE(SameAsExported(picture, loaded, palette, text));
            const std::vector<uint8_t> first = testing::ReadFileBytes(path);
            const std::vector<uint8_t> map = testing::ReadFileBytes(characters.mapPath);
            loaded.m_transparentColor = picture.m_transparentColor;
            ASSERT_TRUE(WriteConvertedFile(loaded, path, c, nullptr, characters).ok());
            EXPECT_EQ(testing::ReadFileBytes(path), first);
            if (form == kFormCharacter) {
              EXPECT_EQ(testing::ReadFileBytes(characters.mapPath), map);
            }
            ++combinations;
          }
        }
      }
    }
  }
  EXPECT_GT(combinations, 300);
}

// The console sees a colour word without its top bit as transparent, and
// every other word as opaque, a word that is the key colour's own too.
TEST(RoundTrip, TransparentPixelsStayTransparentAndOpaqueOnesOpaque) {
  testing::TempDir dir;
  for (const int output : {kOutputBinary, kOutputText}) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.Create(8, 8, 24).ok());
    testing::FillPhotoLike(picture, 4);
    const uint32_t key = SwapRedBlue(picture.m_transparentColor);
    WriteRgb24(picture.Row(0), key);
    WriteRgb24(picture.Row(0) + 3, key ^ 0x000003);  // opaque, though its word is the key's
    const ExportChoices c{kFormBitmap, output, 0, 0};
    const std::string path = dir.File("e.d");
    ASSERT_TRUE(WriteConvertedFile(picture, path, c, nullptr).ok());
    const std::vector<uint8_t> first = testing::ReadFileBytes(path);
    ImageBuffer loaded;
    loaded.m_transparentColor = picture.m_transparentColor;
    ASSERT_TRUE(LoadFile(loaded, path).ok());
    EXPECT_TRUE(ConsoleTransparent(loaded, 0, 0));
    EXPECT_FALSE(ConsoleTransparent(loaded, 1, 0));
    ASSERT_TRUE(WriteConvertedFile(loaded, path, c, nullptr).ok());
    EXPECT_EQ(testing::ReadFileBytes(path), first) << output;
  }
}

TEST(RoundTrip, PngFilesLoadAsThePictureTheyWereSavedFrom) {
  testing::TempDir dir;
  std::mt19937 rng(29);
  for (const int bits : {1, 4, 8, 24}) {
    for (const bool transparent : {false, true}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits" << (transparent ? ", a colour transparent" : ""));
      ImageBuffer picture;
      ASSERT_TRUE(
          picture.Create(13 + static_cast<int32_t>(rng() % 20), 1 + static_cast<int32_t>(rng() % 20), bits).ok());
      testing::FillPattern(picture, rng());
      ReserveIndexZero(picture);  // as every picture the program makes: index 0 is the transparent slot
      if (transparent && bits == 24) ApplyTransparentColor(picture, SwapRedBlue(picture.GetPixel(0, 0) & 0xFFFFFF));
      if (transparent && bits != 24)
        ApplyTransparentIndex(picture, picture.GetIndex(0, 0) == 0 ? 1 : picture.GetIndex(0, 0));
      ASSERT_TRUE(WritePng(picture, dir.File("a.png")).ok());
      ASSERT_TRUE(WriteBmp(picture, dir.File("a.bmp")).ok());
      ImageBuffer loaded;
      ASSERT_TRUE(LoadFile(loaded, dir.File("a.png")).ok());
      ASSERT_TRUE(WriteBmp(loaded, dir.File("b.bmp")).ok());
      EXPECT_EQ(testing::ReadFileBytes(dir.File("b.bmp")), testing::ReadFileBytes(dir.File("a.bmp")));
    }
  }
}

}  // namespace
}  // namespace pixmill
