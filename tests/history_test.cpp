// Undo and redo on the document, as both front ends keep them: every step
// gives back the bytes the document had, and the cap drops the oldest.
#include "app/history.h"

#include <gtest/gtest.h>

#include "image/bmp.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

std::vector<uint8_t> Saved(const Document& doc, const testing::TempDir& dir) {
  EXPECT_TRUE(WriteBmp(doc.image, dir.File("now.bmp")).ok());
  return testing::ReadFileBytes(dir.File("now.bmp"));
}

TEST(History, UndoAndRedoGiveBackEveryStateAndTheCapDropsTheOldest) {
  testing::TempDir dir;
  ImageBuffer picture;
  ASSERT_TRUE(picture.Create(40, 30, 24).ok());
  testing::FillPattern(picture, 8);
  ASSERT_TRUE(WriteBmp(picture, dir.File("s.bmp")).ok());

  Document doc;
  History history;
  ASSERT_TRUE(history.Record(doc).ok());
  ASSERT_TRUE(LoadCommand(doc, dir.File("s.bmp")).ok());
  const std::vector<uint8_t> loaded = Saved(doc, dir);
  ASSERT_TRUE(history.Record(doc).ok());
  ASSERT_TRUE(ColourCommand(doc, ColourSettings{}, 4).ok());
  const std::vector<uint8_t> fourBits = Saved(doc, dir);
  PickCommand(doc, 3, 3);
  ASSERT_TRUE(history.Record(doc).ok());
  ASSERT_TRUE(TransparentCommand(doc).ok());
  const std::vector<uint8_t> transparent = Saved(doc, dir);
  const uint32_t lastTransparent = doc.image.m_lastTransparent;

  ASSERT_TRUE(history.Undo(doc));
  EXPECT_EQ(Saved(doc, dir), fourBits);
  EXPECT_EQ(doc.image.m_lastTransparent, kButtonFaceColour);
  ASSERT_TRUE(history.Undo(doc));
  EXPECT_EQ(Saved(doc, dir), loaded);
  ASSERT_TRUE(history.Redo(doc));
  ASSERT_TRUE(history.Redo(doc));
  EXPECT_EQ(Saved(doc, dir), transparent);
  EXPECT_EQ(doc.image.m_lastTransparent, lastTransparent);
  EXPECT_FALSE(history.Redo(doc));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(history.Undo(doc));
  EXPECT_FALSE(doc.image.IsValid());  // before the load
  EXPECT_FALSE(history.Undo(doc));

  // A new step drops what could be redone.
  ASSERT_TRUE(history.Redo(doc));
  ASSERT_TRUE(history.Record(doc).ok());
  EXPECT_FALSE(history.CanRedo());

  // A command that failed and changed nothing leaves no step.
  Document again;
  History steps;
  ASSERT_TRUE(LoadCommand(again, dir.File("s.bmp")).ok());
  ASSERT_TRUE(steps.Record(again).ok());
  EXPECT_FALSE(ScaleCommand(again, 40, 30).ok());
  steps.ForgetIfUnchanged(again);
  EXPECT_EQ(steps.UndoSteps(), 0u);

  // Pictures beyond the cap drop the oldest steps.
  History capped(2 * (44 + 40 * 30 * 3) + 100);  // two pictures' blocks and a little
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(capped.Record(again).ok());
  EXPECT_EQ(capped.UndoSteps(), 2u);
}

TEST(PaletteEdits, KeepTheLookAndUndoThemselvesToTheByte) {
  testing::TempDir dir;
  Document doc;
  ASSERT_TRUE(LoadCommand(doc, std::string(PIXMILL_TEST_DATA) + "/golden/in/photo.bmp").ok());
  ASSERT_TRUE(ColourCommand(doc, ColourSettings{}, 8).ok());
  PickCommand(doc, 1, 1);
  ASSERT_TRUE(TransparentCommand(doc).ok());  // some pixels at index 0
  const std::vector<uint8_t> before = Saved(doc, dir);
  std::vector<uint32_t> looks;
  for (int32_t y = 0; y < doc.image.Height(); ++y) {
    for (int32_t x = 0; x < doc.image.Width(); ++x) looks.push_back(doc.image.GetPixel(x, y));
  }
  auto sameLook = [&] {
    size_t i = 0;
    for (int32_t y = 0; y < doc.image.Height(); ++y) {
      for (int32_t x = 0; x < doc.image.Width(); ++x) {
        if (doc.image.GetPixel(x, y) != looks[i++]) return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(SwapPaletteEntriesCommand(doc, 3, 200).ok());
  EXPECT_TRUE(sameLook());
  EXPECT_NE(Saved(doc, dir), before);
  ASSERT_TRUE(SwapPaletteEntriesCommand(doc, 200, 3).ok());
  EXPECT_EQ(Saved(doc, dir), before);
  ASSERT_TRUE(MovePaletteEntryCommand(doc, 5, 250).ok());
  EXPECT_TRUE(sameLook());
  ASSERT_TRUE(MovePaletteEntryCommand(doc, 250, 5).ok());
  EXPECT_EQ(Saved(doc, dir), before);
  EXPECT_FALSE(SwapPaletteEntriesCommand(doc, 0, 9).ok());  // the transparent slot stays
  EXPECT_FALSE(MovePaletteEntryCommand(doc, 9, 0).ok());
  // An edit changes that entry's three bytes and nothing else.
  ASSERT_TRUE(SetPaletteEntryCommand(doc, 7, 0x123456).ok());
  const std::vector<uint8_t> edited = Saved(doc, dir);
  ASSERT_EQ(edited.size(), before.size());
  std::vector<size_t> changed;
  for (size_t i = 0; i < edited.size(); ++i) {
    if (edited[i] != before[i]) changed.push_back(i);
  }
  const size_t entry = 14 + 40 + 4 * 7;  // blue, green, red of entry 7
  for (const size_t at : changed) EXPECT_TRUE(at >= entry && at < entry + 3) << at;
  EXPECT_EQ((std::vector<uint8_t>{edited[entry], edited[entry + 1], edited[entry + 2]}),
            (std::vector<uint8_t>{0x56, 0x34, 0x12}));
  // A palette put onto the picture: every visible pixel one of its colours,
  // the transparent ones still at index 0.
  const std::vector<size_t> uses = PaletteUses(doc.image);
  ColourSettings settings;
  settings.palette = {0xC0C0C0, 0x000000, 0xFFFFFF, 0xFF0000};
  ASSERT_TRUE(ApplyPaletteCommand(doc, settings).ok());
  EXPECT_EQ(doc.image.BitCount(), 8);
  const std::vector<size_t> after = PaletteUses(doc.image);
  EXPECT_EQ(after[0], uses[0]);
  EXPECT_EQ(after[1] + after[2] + after[3] + after[0], static_cast<size_t>(doc.image.Width() * doc.image.Height()));
}

}  // namespace
}  // namespace pixmill
