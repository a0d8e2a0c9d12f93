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

}  // namespace
}  // namespace pixmill
