#include <gtest/gtest.h>

#include "export/export_writer.h"
#include "export/lzss.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using testing::FakeSavePrompt;
using testing::ReadFileBytes;
using testing::RecordingMessages;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

class ExportFiles : public ::testing::Test {
 protected:
  Bytes Export(const ImageBuffer& img, ExportChoices c, RecordingMessages* messages = nullptr) {
    const std::string path = dir.File("out");
    const Result r = WriteConvertedFile(img, path, c, messages);
    EXPECT_TRUE(r.ok()) << r.reason();
    return ReadFileBytes(path);
  }
  TempDir dir;
};

ImageBuffer* RedBlue(ImageBuffer& img) {
  EXPECT_TRUE(img.Create(2, 1, 24).ok());
  img.SetPixel(0, 0, 0xFF0000);
  img.SetPixel(1, 0, 0x0000FF);
  return &img;
}

TEST_F(ExportFiles, OneBitTextureAsTextIsSixLines) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 8, 1).ok());
  img.SetPaletteColor(0, 0x000000);
  img.SetPaletteColor(1, 0xFFFFFF);
  for (int y = 0; y < 8; ++y) img.SetIndex(y, y, 1);  // a diagonal: 80 40 20 ... 01
  const std::string text = Text(Export(img, {kFormTexture, kOutputText, 0, 1}));
  EXPECT_EQ(text,
            "'/*header 8\x81\x7E" "8\x81\x7E" "1*/\r\n"
            "data 00080008\r\n"
            "'/*palette data 8byte*/\r\n"
            "data 8000FFFF\r\n"
            "'/*image data 16byte*/\r\n"
            "data 8040201008040201\r\n");
}

TEST_F(ExportFiles, TwentyFourBitBitmapWithAndWithoutTransparency) {
  ImageBuffer img;
  RedBlue(img);
  EXPECT_EQ(Export(img, {kFormBitmap, kOutputBinary, 0, 0}), (Bytes{0x00, 0x02, 0x00, 0x01, 0x80, 0x1F, 0xFC, 0x00}));
  img.SetPixel(1, 0, SwapRedBlue(img.m_transparentColor));
  EXPECT_EQ(Export(img, {kFormBitmap, kOutputBinary, 0, 0}), (Bytes{0x00, 0x02, 0x00, 0x01, 0x80, 0x1F, 0x00, 0x00}));
  // One channel off the key colour is opaque, even where the word is the same.
  img.SetPixel(1, 0, 0xC0C0C1);
  EXPECT_EQ(Export(img, {kFormBitmap, kOutputBinary, 0, 0}), (Bytes{0x00, 0x02, 0x00, 0x01, 0x80, 0x1F, 0xE3, 0x18}));
}

TEST_F(ExportFiles, SixteenAndTwentyFourBitGiveTheSameSizeAndNoPalette) {
  ImageBuffer a, b;
  ASSERT_TRUE(a.Create(5, 3, 16).ok());
  ASSERT_TRUE(b.Create(5, 3, 24).ok());
  EXPECT_EQ(Export(a, {kFormBitmap, 0, 0, 1}).size(), 4u + 2 * 15);
  EXPECT_EQ(Export(b, {kFormTexture, 0, 0, 1}).size(), 4u + 2 * 15);
}

TEST_F(ExportFiles, PaletteRule) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 2, 8).ok());
  img.SetPaletteColor(1, 0xFF0000);
  EXPECT_EQ(Export(img, {kFormBitmap, 0, 0, 0}).size(), 4u + 512 + 16);  // always for bitmap
  EXPECT_EQ(Export(img, {kFormTexture, 0, 0, 0}).size(), 4u + 16);
  const Bytes withPalette = Export(img, {kFormTexture, 0, 0, 1});
  ASSERT_EQ(withPalette.size(), 4u + 512 + 16);
  EXPECT_EQ(withPalette[4], 0x80);  // entry 0 black, bit 15 set
  EXPECT_EQ(withPalette[6], 0x80);
  EXPECT_EQ(withPalette[7], 0x1F);  // entry 1 red
  ImageBuffer four;
  ASSERT_TRUE(four.Create(8, 1, 4).ok());
  EXPECT_EQ(Export(four, {kFormTexture, 0, 0, 1}).size(), 4u + 32 + 4);
}

TEST_F(ExportFiles, RowsAreCutWithoutPadding) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(12, 2, 4).ok());  // stride 8, 6 bytes of pixels per row
  for (int x = 0; x < 12; ++x) {
    img.SetIndex(x, 0, static_cast<uint32_t>(x));
    img.SetIndex(x, 1, 15);
  }
  const Bytes f = Export(img, {kFormTexture, 0, 0, 0});
  EXPECT_EQ(f, (Bytes{0, 12, 0, 2, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ExportFiles, CharacterBlocksBehindThePaletteArea) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(16, 8, 8).ok());
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 16; ++x) img.SetIndex(x, y, static_cast<uint32_t>(x < 8 ? 1 + y : 100 + x));
  }
  img.SetPaletteColor(255, 0xFFFFFF);
  const Bytes f = Export(img, {kFormCharacter, 0, 0, 1});
  ASSERT_EQ(f.size(), 512u + 128);
  EXPECT_EQ(f[510], 0xFF);
  EXPECT_EQ(f[511], 0xFF);
  EXPECT_EQ(f[512], 1);       // left block, first row
  EXPECT_EQ(f[512 + 63], 8);  // left block, last row
  EXPECT_EQ(f[512 + 64], 108);
  EXPECT_EQ(f[512 + 127], 115);

  // Without the palette the area is there, filled with zero bytes.
  const Bytes bare = Export(img, {kFormCharacter, 0, 0, 0});
  ASSERT_EQ(bare.size(), 640u);
  EXPECT_TRUE(std::all_of(bare.begin(), bare.begin() + 512, [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(bare[512], 1);

  // A partial block at the edge is dropped.
  ImageBuffer odd;
  ASSERT_TRUE(odd.Create(20, 9, 8).ok());
  EXPECT_EQ(Export(odd, {kFormCharacter, 0, 0, 1}).size(), 512u + 2 * 64);

  // As text: the block count, the palette words, then the blocks.
  const std::string text = Text(Export(img, {kFormCharacter, kOutputText, 0, 1}));
  EXPECT_EQ(text.rfind("'/*character data 2brock*/\r\n'/*palette data 1024byte*/\r\ndata 8000", 0), 0u) << text;
  EXPECT_NE(text.find("'/*brock data 256byte*/\r\ndata 0101010101010101"), std::string::npos);
}

TEST_F(ExportFiles, CompressedTextHoldsOnlyTheStream) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(64, 64, 8).ok());
  RecordingMessages messages;
  const std::string text = Text(Export(img, {kFormTexture, kOutputText, 1, 1}, &messages));
  EXPECT_EQ(text.rfind("'/*lzss data ", 0), 0u);
  const size_t second = text.find("\r\n") + 2;
  EXPECT_EQ(text.substr(second, 13), "data 4C5A5353");
  EXPECT_EQ(text.find("header"), std::string::npos);

  // The stream itself, in binary, decodes to the plain export.
  const Bytes plain = Export(img, {kFormTexture, 0, 0, 1});
  const Bytes stream = Export(img, {kFormTexture, 0, 1, 1}, &messages);
  LzssCodec codec;
  ASSERT_TRUE(codec.Decode(stream.data(), static_cast<int64_t>(stream.size())).ok());
  EXPECT_EQ(codec.Bytes(), plain);
  const size_t digits = std::stoul(text.substr(13));
  EXPECT_EQ(digits, 2 * stream.size());

  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[1], CompressionMessage(plain.size(), stream.size()));
}

TEST(CompressionMessage, FormatsLikeTheDialog) {
  EXPECT_EQ(CompressionMessage(1000, 450), "圧縮率  45% 450byte ");
  EXPECT_EQ(CompressionMessage(3, 10), "圧縮率  333% 10byte ");
}

TEST(FormatDataLines, ThirtyTwoBytesPerLine) {
  Bytes b(33);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7 + 0xA0);
  const std::string text = FormatDataLines(b.data(), b.size(), 32);
  const size_t first = text.find("\r\n");
  EXPECT_EQ(first, 5u + 64);
  EXPECT_EQ(text.substr(0, 9), "data A0A7");
  EXPECT_EQ(text.substr(first + 2), "data 80\r\n");
  EXPECT_EQ(FormatDataLines(b.data(), 0, 32), "");
  EXPECT_EQ(FormatDataLines(b.data(), 32, 32).size(), 71u);
}

TEST(RgbToColour16, Examples) {
  EXPECT_EQ(RgbToColour16(0xFFFFFF) | 0x8000, 0xFFFFu);
  EXPECT_EQ(RgbToColour16(0x000000) | 0x8000, 0x8000u);
  EXPECT_EQ(RgbToColour16(0xFF0000) | 0x8000, 0x801Fu);
  EXPECT_EQ(RgbToColour16(0x0000FF) | 0x8000, 0xFC00u);
}

TEST_F(ExportFiles, RefusedExportsWriteNothing) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(65536, 1, 1).ok());
  const Result wide = WriteConvertedFile(img, dir.File("wide.d"), {kFormTexture, 0, 0, 0}, nullptr);
  EXPECT_EQ(wide.code(), 1);
  EXPECT_NE(wide.reason().find("65535"), std::string::npos);

  ImageBuffer empty;
  EXPECT_EQ(WriteConvertedFile(empty, dir.File("e.d"), {kFormTexture, 0, 0, 0}, nullptr).code(), 1);

  // Random 8-bit pixels compress to more tokens than a stream can count.
  ImageBuffer noisy;
  ASSERT_TRUE(noisy.Create(1024, 520, 8).ok());
  testing::FillPattern(noisy, 3);
  RecordingMessages messages;
  const Result big = WriteConvertedFile(noisy, dir.File("big.d"), {kFormTexture, 0, 1, 0}, &messages);
  EXPECT_EQ(big.code(), 1);
  EXPECT_NE(big.reason().find("flag bytes"), std::string::npos) << big.reason();
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(ExportFiles, ConvertAsksWithNameFilterAndCountsOnlyWrites) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(8, 8, 8).ok());
  const std::string first = SuggestedExportName();
  ASSERT_EQ(first.rfind("image", 0), 0u);
  const int n = std::stoi(first.substr(5));

  FakeSavePrompt cancel(std::nullopt);
  EXPECT_EQ(Convert(img, {kFormBitmap, 0, 0, 1}, cancel, nullptr).kind(), Result::Kind::kCancelled);
  EXPECT_EQ(SuggestedExportName(), first);
  FakeSavePrompt nowhere(dir.File("missing/x.0"));
  EXPECT_EQ(Convert(img, {kFormBitmap, 0, 0, 1}, nowhere, nullptr).code(), 1);
  EXPECT_EQ(SuggestedExportName(), first);

  FakeSavePrompt ok(dir.File("x.0"));
  ASSERT_TRUE(Convert(img, {kFormBitmap, 0, 0, 1}, ok, nullptr).ok());
  EXPECT_EQ(SuggestedExportName(), "image" + std::to_string(n + 1));
  const SaveRequest& q = ok.requests[0];
  EXPECT_EQ(q.proposedName, first);
  EXPECT_EQ(q.defaultExtension, "0");
  ASSERT_EQ(q.filters.size(), 5u);
  EXPECT_EQ(q.filters[3].label, "Veltor(*.bas)");
  EXPECT_EQ(q.filterIndex, 1);

  FakeSavePrompt none(dir.File("y"));
  EXPECT_EQ(Convert(img, {kFormNone, 0, 0, 0}, none, nullptr).code(), 1);
  EXPECT_TRUE(none.requests.empty());
}

TEST(ExportFilterIndex, LaterRulesWin) {
  ImageBuffer b8, b24, b4;
  ASSERT_TRUE(b8.Create(8, 8, 8).ok());
  ASSERT_TRUE(b24.Create(8, 8, 24).ok());
  ASSERT_TRUE(b4.Create(8, 8, 4).ok());
  EXPECT_EQ(ExportFilterIndex(b8, {kFormBitmap, 0, 0, 0}), 1);
  EXPECT_EQ(ExportFilterIndex(b24, {kFormBitmap, 0, 0, 0}), 2);
  EXPECT_EQ(ExportFilterIndex(b8, {kFormTexture, 0, 0, 0}), 3);
  EXPECT_EQ(ExportFilterIndex(b8, {kFormCharacter, 0, 0, 0}), 3);
  EXPECT_EQ(ExportFilterIndex(b8, {kFormTexture, 1, 0, 0}), 4);
  EXPECT_EQ(ExportFilterIndex(b4, {kFormBitmap, 0, 0, 0}), 0);
}

}  // namespace
}  // namespace pixmill
