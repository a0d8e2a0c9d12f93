#include <gtest/gtest.h>

#include "image/image_buffer.h"

namespace pixmill {
namespace {

struct CreateCase {
  int width, height, bits;
  int stride, infoSize, offBits, fileSize;
};

class CreateLayout : public ::testing::TestWithParam<CreateCase> {};

TEST_P(CreateLayout, HeadersDescribeThePicture) {
  const CreateCase c = GetParam();
  ImageBuffer img;
  ASSERT_TRUE(img.Create(c.width, c.height, c.bits).ok());
  EXPECT_EQ(img.Stride(), c.stride);
  EXPECT_EQ(img.GetInfoSize(), c.infoSize);
  EXPECT_EQ(img.GetImageSize(), c.stride * c.height);
  const BitmapFileHeader* fh = img.GetFileHeader();
  ASSERT_NE(fh, nullptr);
  EXPECT_EQ(fh->bfType, 0x4D42);
  EXPECT_EQ(fh->bfOffBits, static_cast<uint32_t>(c.offBits));
  EXPECT_EQ(fh->bfSize, static_cast<uint32_t>(c.fileSize));
  EXPECT_EQ(fh->bfReserved1, 0);
  EXPECT_EQ(fh->bfReserved2, 0);
  const uint8_t* h = img.GetInfo();
  EXPECT_EQ(ReadLe32(h + info::kSize), 40u);
  EXPECT_EQ(ReadLe32(h + info::kWidth), static_cast<uint32_t>(c.width));
  EXPECT_EQ(ReadLe32(h + info::kHeight), static_cast<uint32_t>(c.height));
  EXPECT_EQ(ReadLe16(h + info::kPlanes), 1);
  EXPECT_EQ(ReadLe16(h + info::kBitCount), c.bits);
  EXPECT_EQ(ReadLe32(h + info::kCompression), 0u);
  EXPECT_EQ(ReadLe32(h + info::kSizeImage), static_cast<uint32_t>(c.stride * c.height));
  for (int off = info::kXPelsPerMeter; off < 40; off += 4) EXPECT_EQ(ReadLe32(h + off), 0u) << off;
  for (int i = 0; i < img.GetImageSize(); ++i) ASSERT_EQ(img.GetBits()[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Depths, CreateLayout,
                         ::testing::Values(CreateCase{9, 2, 1, 4, 48, 62, 70},        // 1 bit, 9 wide
                                           CreateCase{3, 1, 24, 12, 40, 54, 66},      // 24 bits, 3 wide
                                           CreateCase{5, 3, 8, 8, 1064, 1078, 1102},  // any 8-bit: 1078
                                           CreateCase{7, 2, 4, 4, 104, 118, 126},
                                           CreateCase{3, 3, 16, 8, 40, 54, 78},
                                           CreateCase{32, 1, 1, 4, 48, 62, 66}));

TEST(ImageBuffer, EmptyPictureHasNoBlocks) {
  ImageBuffer img;
  EXPECT_FALSE(img.IsValid());
  EXPECT_EQ(img.GetBits(), nullptr);
  EXPECT_EQ(img.GetInfo(), nullptr);
  EXPECT_EQ(img.GetFileHeader(), nullptr);
  EXPECT_EQ(img.m_title, "image");
  EXPECT_EQ(img.m_precision, 8);
  EXPECT_EQ(img.m_sampleColumns, 64);
  EXPECT_EQ(img.m_sample5Bit, 1);
  EXPECT_EQ(img.GetPaletteColor(3), 0u);
}

TEST(ImageBuffer, CreateRefusesImpossiblePicturesAndKeepsTheOld) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 2, 8).ok());
  img.SetIndex(1, 1, 77);
  for (auto [w, h, b] : {std::tuple{0, 5, 8}, {5, -1, 8}, {5, 5, 2}, {5, 5, 32}, {100000, 100000, 24},
                        {INT32_MAX, INT32_MAX, 24}}) {
    const Result r = img.Create(w, h, b);
    EXPECT_FALSE(r.ok()) << w << "x" << h << "x" << b;
    EXPECT_FALSE(r.reason().empty());
  }
  EXPECT_EQ(img.Width(), 2);
  EXPECT_EQ(img.GetIndex(1, 1), 77);
}

TEST(ImageBuffer, CreateKeepsSettingsTitleAndTransparentState) {
  ImageBuffer img;
  img.m_title = "sprite";
  img.m_precision = 3;
  img.m_lastTransparent = 7;
  img.m_transparentColor = 0x123456;
  ASSERT_TRUE(img.Create(4, 4, 24).ok());
  ASSERT_TRUE(img.Create(8, 2, 4).ok());
  EXPECT_EQ(img.m_title, "sprite");
  EXPECT_EQ(img.m_precision, 3);
  EXPECT_EQ(img.m_lastTransparent, 7u);
  EXPECT_EQ(img.m_transparentColor, 0x123456u);
}

TEST(ImageBuffer, RowsAreStoredBottomUp) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(3, 2, 8).ok());
  EXPECT_EQ(img.GetPixelOffset(0, 0), img.Stride());
  EXPECT_EQ(img.GetPixelOffset(0, 1), 0);
  EXPECT_EQ(img.GetPixelOffset(2, 1), 2);
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) {
    EXPECT_EQ(img.GetPixelOffset(x, y), -1);
    EXPECT_EQ(img.GetPixel(x, y), 0u);
    EXPECT_EQ(img.GetIndex(x, y), 0);
    img.SetIndex(x, y, 9);
    img.SetPixel(x, y, 0xFFFFFF);
  }
  for (int i = 0; i < img.GetImageSize(); ++i) EXPECT_EQ(img.GetBits()[i], 0);
}

TEST(ImageBuffer, FourBitPacking) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 1, 4).ok());
  img.GetBits()[0] = 0xAB;
  img.SetIndex(1, 0, 5);
  EXPECT_EQ(img.GetBits()[0], 0xA5);
  img.GetBits()[0] = 0xAB;
  img.SetIndex(0, 0, 5);
  EXPECT_EQ(img.GetBits()[0], 0x5B);
  EXPECT_EQ(img.GetIndex(0, 0), 5);
  EXPECT_EQ(img.GetIndex(1, 0), 0xB);
  // A large index keeps to its own nibble.
  img.GetBits()[0] = 0x00;
  img.SetIndex(1, 0, 0xC0);
  EXPECT_EQ(img.GetBits()[0], 0x00);
  img.SetIndex(0, 0, 0xF7);
  EXPECT_EQ(img.GetBits()[0], 0x70);
}

TEST(ImageBuffer, OneBitPacking) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(9, 1, 1).ok());
  img.GetBits()[0] = 0xFF;
  img.SetIndex(0, 0, 0);
  EXPECT_EQ(img.GetBits()[0], 0x7F);
  img.GetBits()[0] = 0x00;
  img.SetIndex(7, 0, 1);
  EXPECT_EQ(img.GetBits()[0], 0x01);
  img.SetIndex(8, 0, 1);
  EXPECT_EQ(img.GetBits()[1], 0x80);
  EXPECT_EQ(img.GetIndex(8, 0), 1);
  // Only bit 0 of the index is stored.
  img.GetBits()[0] = 0x00;
  img.SetIndex(3, 0, 0xC0);
  EXPECT_EQ(img.GetBits()[0], 0x00);
  img.SetIndex(3, 0, 0xC1);
  EXPECT_EQ(img.GetBits()[0], 0x10);
}

TEST(ImageBuffer, PixelsThroughThePalette) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 1, 8).ok());
  img.SetPaletteColor(200, 0xAA123456);
  img.SetIndex(1, 0, 200);
  EXPECT_EQ(img.GetPixel(1, 0) & 0xFFFFFF, 0x123456u);
  EXPECT_EQ(img.GetPaletteColor(200), 0xAA123456u);
  img.SetPaletteColor(0x1FF, 0x00010203);
  EXPECT_EQ(img.GetPaletteColor(255), 0x00010203u);
  EXPECT_EQ(img.GetPaletteColor(0x1FF), 0x00010203u);

  ImageBuffer mono;
  ASSERT_TRUE(mono.Create(8, 1, 1).ok());
  mono.SetPaletteColor(1, 0xFFFFFF);
  mono.SetIndex(2, 0, 1);
  EXPECT_EQ(mono.GetPixel(2, 0), 0xFFFFFFu);
  EXPECT_EQ(mono.GetPixel(3, 0), 0u);
  // Entries a 1-bit palette does not have read as 0 and are never written.
  mono.SetPaletteColor(5, 0x123456);
  EXPECT_EQ(mono.GetPaletteColor(5), 0u);
}

TEST(ImageBuffer, SixteenAndTwentyFourBitPixels) {
  ImageBuffer img16;
  ASSERT_TRUE(img16.Create(2, 1, 16).ok());
  img16.GetBits()[0] = 0x1F;
  img16.GetBits()[1] = 0x7C;
  EXPECT_EQ(img16.GetPixel(0, 0), 0x00F800F8u);
  img16.GetBits()[2] = 0xFF;
  img16.GetBits()[3] = 0x7F;
  EXPECT_EQ(img16.GetPixel(1, 0), 0x00F8F8F8u);

  ImageBuffer img24;
  ASSERT_TRUE(img24.Create(2, 2, 24).ok());
  img24.SetPixel(1, 0, 0x00123456);
  const uint8_t* p = img24.GetBits() + img24.GetPixelOffset(1, 0);
  EXPECT_EQ(p[0], 0x56);
  EXPECT_EQ(p[1], 0x34);
  EXPECT_EQ(p[2], 0x12);
  EXPECT_EQ(img24.GetPixel(1, 0), 0x00123456u);
}

TEST(ImageBuffer, LastColourReadRegister) {
  SetLastColourRead(0);
  ImageBuffer img;
  ASSERT_TRUE(img.Create(2, 1, 24).ok());
  EXPECT_EQ(img.GetPixel24(-1, 0), 0u);
  img.SetPixel(0, 0, 0x00123456);
  img.SetPixel(1, 0, 0x00ABCDEF);
  EXPECT_EQ(img.GetPixel24(0, 0), 0x00123456u);
  EXPECT_EQ(img.GetPixel24(2, 0), 0x00123456u);
  EXPECT_EQ(img.GetPixel24(0, 5), 0x00123456u);
  // The register is shared by all pictures.
  ImageBuffer other;
  ASSERT_TRUE(other.Create(1, 1, 24).ok());
  EXPECT_EQ(other.GetPixel24(1, 0), 0x00123456u);
  EXPECT_EQ(img.GetPixel24(1, 0), 0x00ABCDEFu);
  EXPECT_EQ(other.GetPixel24(-3, -3), 0x00ABCDEFu);
  EXPECT_EQ(LastColourRead(), 0x00ABCDEFu);
}

TEST(ImageBuffer, CopyFromTakesHeadersPaletteAndPixels) {
  ImageBuffer src;
  ASSERT_TRUE(src.Create(5, 3, 4).ok());
  for (int i = 0; i < 16; ++i) src.SetPaletteColor(i, 0x010101u * i);
  src.SetIndex(4, 2, 9);
  src.GetFileHeader()->bfReserved1 = 0x77;
  ImageBuffer dst;
  dst.m_title = "kept";
  ASSERT_TRUE(dst.Create(5, 3, 4).ok());
  dst.CopyFrom(src);
  EXPECT_EQ(dst.GetIndex(4, 2), 9);
  EXPECT_EQ(dst.GetPaletteColor(15), 0x0F0F0Fu);
  EXPECT_EQ(dst.GetFileHeader()->bfReserved1, 0x77);
  EXPECT_EQ(dst.m_title, "kept");
}

TEST(ColourHelpers, Colour16ToRgbAndSwapRedBlue) {
  EXPECT_EQ(Colour16ToRgb(0x001F), 0x00F80000u);
  EXPECT_EQ(Colour16ToRgb(0x7C00), 0x000000F8u);
  EXPECT_EQ(Colour16ToRgb(0x03E0), 0x0000F800u);
  EXPECT_EQ(Colour16ToRgb(0xFFFF), 0x00F8F8F8u);  // bit 15 ignored
  EXPECT_EQ(SwapRedBlue(0xAA123456), 0x00563412u);
  EXPECT_EQ(SwapRedBlue(SwapRedBlue(0x00C0A080)), 0x00C0A080u);
}

TEST(ColourHelpers, ColorDistance) {
  EXPECT_EQ(ColorDistance(0x000000, 0xFFFFFF), 195075u);
  EXPECT_EQ(ColorDistance(0xFF010203, 0x00010203), 0u);  // the top byte is ignored
  EXPECT_EQ(ColorDistance(0x000A0000, 0x00000003), 109u);
}

}  // namespace
}  // namespace pixmill
