// The desktop program driven through its real widgets, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <functional>
#include <sys/stat.h>

#include "color/commands.h"
#include "color/transparent.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "image/bmp.h"
#include "support/test_support.h"
#include "ui/main_dialog.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace pixmill::ui {
namespace {

using testing::FakeSavePrompt;
using testing::ReadFileBytes;
using testing::RecordingMessages;
using testing::TempDir;

// A main window whose option dialogs and open prompt are driven by the test.
class TestWindow : public MainDialog {
 public:
  explicit TestWindow(QString cmdLine = {}) : MainDialog(std::move(cmdLine)) {
    SetSavePrompt(&save);
    SetMessages(&messages);
  }
  std::function<void(ModalDialog&)> drive;
  QString openAnswer;
  FakeSavePrompt save{std::nullopt};
  RecordingMessages messages;
  int dialogsRun = 0;
  using MainDialog::dropEvent;

 protected:
  int RunModal(ModalDialog& dialog) override {
    ++dialogsRun;
    dialog.OnInitDialog();
    dialog.show();
    if (drive) drive(dialog);
    const int result = dialog.result();
    dialog.hide();
    return result;
  }
  QString AskOpenPath() override { return openAnswer; }
};

std::string WritePicture(const TempDir& dir, const std::string& name, int w, int h, int bits, uint32_t seed = 1) {
  ImageBuffer img;
  EXPECT_TRUE(img.Create(w, h, bits).ok());
  if (bits == 24) {
    testing::FillPhotoLike(img, seed);
  } else {
    testing::FillPattern(img, seed);
  }
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteBmp(img, path).ok());
  return path;
}

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

TEST(MainWindow, StartsWithTheTemplateCaptionAndLoadsTheCommandLine) {
  TempDir dir;
  ::mkdir(dir.File("with blanks").c_str(), 0755);
  WritePicture(dir, "with blanks/photo.bmp", 320, 240, 24);
  TestWindow empty;
  EXPECT_EQ(empty.windowTitle(), QStringLiteral("Pixmill Ver2.0"));
  EXPECT_EQ(empty.m_image.GetBits(), nullptr);

  TestWindow window(QString::fromStdString("\"" + dir.File("with blanks/photo.bmp") + "\""));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 photo.bmp(320×240×24)"));
  EXPECT_EQ(window.m_fileName, QStringLiteral("photo.bmp"));
  EXPECT_EQ(window.m_pickedColor, kKeyColor);
  EXPECT_EQ(window.m_image.m_transparentColor, kKeyColor);
  EXPECT_EQ(window.m_image.GetProgressBar() != nullptr, true);
}

TEST(MainWindow, FailedLoadKeepsTitleAndPicture) {
  TempDir dir;
  const std::string good = WritePicture(dir, "a.bmp", 30, 20, 8);
  testing::WriteFileBytes(dir.File("bad.bmp"), {1, 2, 3, 4, 5});
  TestWindow window;
  window.openAnswer = QString::fromStdString(good);
  window.OnOpen();
  const QString title = window.windowTitle();
  EXPECT_EQ(title, QStringLiteral("Pixmill Ver 2.0 a.bmp(30×20×8)"));
  window.openAnswer = QString::fromStdString(dir.File("bad.bmp"));
  window.OnOpen();
  EXPECT_EQ(window.windowTitle(), title);
  EXPECT_EQ(window.m_image.Width(), 30);
  window.openAnswer.clear();  // cancelled
  window.OnOpen();
  EXPECT_EQ(window.windowTitle(), title);
}

TEST(MainWindow, ScrollRangesAndPageSteps) {
  TempDir dir;
  TestWindow probe;
  const int fw = probe.preview->width();
  const int fh = probe.preview->height();
  for (int extra : {19, 20}) {
    TestWindow window;
    window.openAnswer = QString::fromStdString(WritePicture(dir, "p.bmp", fw + extra, fh + extra, 8));
    window.OnOpen();
    EXPECT_EQ(window.m_hScrollMax, extra);
    EXPECT_EQ(window.m_vScrollMax, extra);
    window.hScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    window.vScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(window.hScroll->value(), extra / 20);
    EXPECT_EQ(window.vScroll->value(), extra / 20);
    window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(window.hScroll->value(), extra / 20 + 1);
    EXPECT_EQ(window.m_lastHPos, extra / 20 + 1);
    window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(window.hScroll->value(), 0);  // clamped
  }
  // A picture no wider than the frame: range 0..0.
  TestWindow small;
  small.openAnswer = QString::fromStdString(WritePicture(dir, "s.bmp", 10, 10, 8));
  small.OnOpen();
  EXPECT_EQ(small.hScroll->maximum(), 0);
  small.hScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(small.hScroll->value(), 0);
}

TEST(MainWindow, SmallerPictureAfterScrolling) {
  TempDir dir;
  TestWindow window;
  const int fw = window.preview->width();
  window.openAnswer = QString::fromStdString(WritePicture(dir, "big.bmp", fw + 300, 50, 8));
  window.OnOpen();
  window.hScroll->triggerAction(QAbstractSlider::SliderToMaximum);
  for (int i = 0; i < 40; ++i) window.hScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(window.hScroll->value(), 300);
  window.openAnswer = QString::fromStdString(WritePicture(dir, "smaller.bmp", fw + 40, 50, 8));
  window.OnOpen();
  EXPECT_EQ(window.m_hScrollMax, 40);
  EXPECT_EQ(window.hScroll->value(), 40);
  EXPECT_EQ(window.m_lastHPos, 300);  // the remembered last position is not touched
}

TEST(MainWindow, PreviewShowsThePictureFromTheScrollPositions) {
  TempDir dir;
  TestWindow window;
  const int fw = window.preview->width();
  window.openAnswer = QString::fromStdString(WritePicture(dir, "big.bmp", fw + 50, window.preview->height() + 30, 24, 7));
  window.OnOpen();
  for (int i = 0; i < 7; ++i) window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  for (int i = 0; i < 3; ++i) window.vScroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  const QImage shown = window.preview->grab().toImage();
  for (auto [X, Y] : {std::pair{1, 1}, {5, 9}, {fw - 3, 20}}) {
    const uint32_t expected = window.m_image.GetPixel(7 + X - 1, 3 + Y - 1);
    EXPECT_EQ(shown.pixel(X, Y) & 0xFFFFFF, expected) << X << "," << Y;
  }
  // Beyond a small picture: the key colour.
  TestWindow small;
  small.openAnswer = QString::fromStdString(WritePicture(dir, "s.bmp", 5, 5, 24));
  small.OnOpen();
  const QImage smallShown = small.preview->grab().toImage();
  EXPECT_EQ(smallShown.pixel(20, 20) & 0xFFFFFF, SwapRedBlue(kKeyColor));
}

TEST(MainWindow, SaveProposesTheNameBeforeItsFirstDot) {
  TempDir dir;
  TestWindow none;
  none.OnSave();
  EXPECT_TRUE(none.save.requests.empty());

  const std::string path = WritePicture(dir, "my.photo.bmp", 8, 8, 8);
  TestWindow window;
  window.openAnswer = QString::fromStdString(path);
  window.OnOpen();
  window.OnSave();
  ASSERT_EQ(window.save.requests.size(), 1u);
  EXPECT_EQ(window.save.requests[0].proposedName, "my");
  EXPECT_EQ(window.save.requests[0].defaultExtension, "BMP");
}

TEST(MainWindow, DropLoadsTheFirstFile) {
  TempDir dir;
  const std::string first = WritePicture(dir, "first.bmp", 12, 9, 8);
  const std::string second = WritePicture(dir, "second.bmp", 20, 20, 24);
  TestWindow window;
  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(first)), QUrl::fromLocalFile(QString::fromStdString(second))});
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  // Delivered to the handler as the platform's drag and drop would.
  window.dropEvent(&drop);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 first.bmp(12×9×8)"));
  delete mime;
}

TEST(MainWindow, CommandsWithoutAPictureDoNothing) {
  TestWindow window;
  window.OnConvert();
  window.OnScale();
  window.OnColor();
  window.OnTransparent();
  EXPECT_EQ(window.dialogsRun, 0);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver2.0"));
}

TEST(MainWindow, PickingUsesThePixelUnderThePointer) {
  TempDir dir;
  TestWindow window;
  window.openAnswer = QString::fromStdString(WritePicture(dir, "p.bmp", 40, 30, 24, 3));
  window.OnOpen();
  const QPoint origin = window.PreviewOrigin();
  QTest::mouseClick(&window, Qt::LeftButton, {}, origin + QPoint(5, 7));
  EXPECT_EQ(window.m_pickedColor, SwapRedBlue(window.m_image.GetPixel(5, 7)));
  // The frame pixel there shows the same colour.
  const QImage shown = window.preview->grab().toImage();
  EXPECT_EQ(shown.pixel(1 + 5, 1 + 7) & 0xFFFFFF, window.m_image.GetPixel(5, 7));
  // Outside the picture (left of the preview, beyond its right edge): the key colour.
  QTest::mouseClick(&window, Qt::LeftButton, {}, origin + QPoint(-3, 4));
  EXPECT_EQ(window.m_pickedColor, kKeyColor);
  QTest::mouseClick(&window, Qt::LeftButton, {}, origin + QPoint(5, 7));
  QTest::mouseClick(&window, Qt::LeftButton, {}, origin + QPoint(41, 4));
  EXPECT_EQ(window.m_pickedColor, kKeyColor);
}

// ------------------------------------------------------- the convert dialog

struct Offer {
  int bits, w, h;
  bool bitmap, texture, character, text, lzss, palette;
  int form;
  bool paletteTicked;
};

void PrintTo(const Offer& o, std::ostream* os) { *os << o.bits << "-bit " << o.w << "x" << o.h; }

class ConvertDialogOffers : public ::testing::TestWithParam<Offer> {};

TEST_P(ConvertDialogOffers, MatchTheRules) {
  const Offer o = GetParam();
  ImageBuffer img;
  ASSERT_TRUE(img.Create(o.w, o.h, o.bits).ok());
  ConvertDialog d;
  std::copy(img.GetInfo(), img.GetInfo() + 40, d.m_pictureInfo.begin());
  d.OnInitDialog();
  EXPECT_EQ(d.bitmapRadio->isEnabled(), o.bitmap);
  EXPECT_EQ(d.textureRadio->isEnabled(), o.texture);
  EXPECT_EQ(d.characterRadio->isEnabled(), o.character);
  EXPECT_TRUE(d.binaryRadio->isEnabled());
  EXPECT_EQ(d.textRadio->isEnabled(), o.text);
  EXPECT_EQ(d.lzssBox->isEnabled(), o.lzss);
  EXPECT_EQ(d.paletteBox->isEnabled(), o.palette);
  EXPECT_TRUE(d.binaryRadio->isChecked());
  EXPECT_FALSE(d.lzssBox->isChecked());
  EXPECT_EQ(d.paletteBox->isChecked(), o.paletteTicked);
  EXPECT_EQ(d.bitmapRadio->isChecked(), o.form == 0);
  EXPECT_EQ(d.textureRadio->isChecked(), o.form == 1);
  EXPECT_EQ(d.characterRadio->isChecked(), false);
  d.show();
  Click(d.okButton);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.m_form, o.form);
  EXPECT_EQ(d.m_output, 0);
  EXPECT_EQ(d.m_palette, o.paletteTicked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ConvertDialogOffers,
    ::testing::Values(Offer{1, 64, 8, false, true, false, true, true, true, 1, true},
                      Offer{4, 64, 8, false, true, false, true, true, true, 1, true},
                      Offer{4, 100, 8, false, false, false, true, true, true, -1, true},
                      Offer{8, 64, 64, true, true, true, false, false, true, 0, true},
                      Offer{8, 64, 60, true, true, false, false, false, true, 0, true},
                      Offer{8, 100, 64, true, false, false, false, false, true, 0, true},
                      Offer{16, 64, 64, true, true, false, false, false, false, 0, false},
                      Offer{24, 64, 64, true, true, false, false, false, false, 0, false},
                      Offer{24, 63, 64, true, false, false, false, false, false, 0, false}));

TEST(ConvertDialogClicks, FormClickShowsTheFieldsAgain) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(64, 64, 8).ok());
  ConvertDialog d;
  std::copy(img.GetInfo(), img.GetInfo() + 40, d.m_pictureInfo.begin());
  d.OnInitDialog();
  d.show();
  Click(d.textureRadio);
  EXPECT_TRUE(d.textRadio->isEnabled());
  Click(d.textRadio);
  Click(d.lzssBox);
  EXPECT_TRUE(d.textRadio->isChecked());
  EXPECT_TRUE(d.lzssBox->isChecked());
  Click(d.characterRadio);
  EXPECT_TRUE(d.characterRadio->isChecked());
  EXPECT_TRUE(d.binaryRadio->isChecked());
  EXPECT_FALSE(d.lzssBox->isChecked());
  Click(d.bitmapRadio);
  EXPECT_FALSE(d.textRadio->isEnabled());
  EXPECT_FALSE(d.lzssBox->isEnabled());
  Click(d.textureRadio);
  Click(d.textRadio);
  Click(d.paletteBox);
  Click(d.okButton);
  EXPECT_EQ(d.m_form, 1);
  EXPECT_EQ(d.m_output, 1);
  EXPECT_EQ(d.m_lzss, 0);
  EXPECT_EQ(d.m_palette, 0);
}

// --------------------------------------------------------- the colour dialog

TEST(ColourDialog, OpensAtEightAndWrapsAround) {
  ColorDialog d;
  d.m_depthChoice = 1;
  d.m_dither = 1;
  d.m_paletteType = 0;
  d.OnInitDialog();
  d.show();
  EXPECT_TRUE(d.depthRadios[1]->isChecked());
  EXPECT_TRUE(d.diffusionRadio->isChecked());
  EXPECT_TRUE(d.optimizedRadio->isChecked());
  EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("8"));
  EXPECT_TRUE(d.precisionEdit->isReadOnly());
  for (int i = 0; i < 8; ++i) QTest::keyClick(d.precisionSpin, Qt::Key_Up);
  EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("16"));
  QTest::keyClick(d.precisionSpin, Qt::Key_Up);
  EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("1"));
  QTest::keyClick(d.precisionSpin, Qt::Key_Down);
  EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("16"));
  // Typing does nothing: the edit is read-only.
  QTest::keyClicks(d.precisionEdit, "3");
  EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("16"));
  Click(d.okButton);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.m_precisionValue, 16);
  EXPECT_EQ(d.m_depthChoice, 1);
}

TEST(ColourDialog, ArrowKeysMoveTheSelection) {
  ColorDialog d;
  d.m_depthChoice = 4;
  d.m_dither = 1;
  d.m_paletteType = 0;
  d.OnInitDialog();
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  ASSERT_EQ(QApplication::focusWidget(), d.depthRadios[4]);
  QTest::keyClick(d.depthRadios[4], Qt::Key_Up);
  EXPECT_TRUE(d.depthRadios[3]->isChecked());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.m_depthChoice, 3);
}

TEST(ConvertDialogKeys, ArrowKeysChooseTheForm) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(64, 64, 8).ok());
  ConvertDialog d;
  std::copy(img.GetInfo(), img.GetInfo() + 40, d.m_pictureInfo.begin());
  d.OnInitDialog();
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  ASSERT_EQ(QApplication::focusWidget(), d.bitmapRadio);
  QTest::keyClick(d.bitmapRadio, Qt::Key_Down);
  EXPECT_TRUE(d.textureRadio->isChecked());
  EXPECT_TRUE(d.textRadio->isEnabled());  // the click's rules ran
}

TEST(ColourDialog, RemembersDitheringAndPaletteNotPrecision) {
  TempDir dir;
  TestWindow window;
  window.openAnswer = QString::fromStdString(WritePicture(dir, "p.bmp", 16, 16, 24));
  window.OnOpen();
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    EXPECT_TRUE(d.depthRadios[4]->isChecked());
    Click(d.standardRadio);
    Click(d.noneRadio);
    QTest::keyClick(d.precisionSpin, Qt::Key_Down);
    Click(d.cancelButton);
  };
  window.OnColor();
  EXPECT_EQ(window.m_ditherChoice, 1);  // cancel hands nothing back
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    Click(d.standardRadio);
    Click(d.noneRadio);
    Click(d.okButton);
  };
  window.OnColor();
  EXPECT_EQ(window.m_ditherChoice, 0);
  EXPECT_EQ(window.m_paletteChoice, 1);
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    EXPECT_TRUE(d.standardRadio->isChecked());
    EXPECT_TRUE(d.noneRadio->isChecked());
    EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("8"));
    EXPECT_TRUE(d.optimizedRadio->isEnabled());
    Click(d.cancelButton);
  };
  window.OnColor();
}

// ---------------------------------------------------------- the scale dialog

struct ScaleRun {
  ScaleDialog d;
  RecordingMessages messages;
  ScaleRun(int w, int h, int box) : d(nullptr, &messages) {
    d.m_widthText = QString::number(w);
    d.m_heightText = QString::number(h);
    d.m_keepAspectBox = box;
    d.OnInitDialog();
    d.show();
    d.activateWindow();
    d.widthEdit->setFocus();
  }
  void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
};

TEST(ScaleDialog, LinkedWidthSetsTheHeight) {
  ScaleRun run(320, 240, 1);
  run.Type(run.d.widthEdit, "160");
  EXPECT_EQ(run.d.heightEdit->text(), QStringLiteral("120"));
  Click(run.d.okButton);
  EXPECT_EQ(run.d.result(), QDialog::Accepted);
  EXPECT_EQ(run.d.m_newWidth, 160);
  EXPECT_EQ(run.d.m_newHeight, 120);
}

TEST(ScaleDialog, PercentUnits) {
  ScaleRun run(320, 240, 1);
  run.d.widthUnit->setCurrentIndex(1);
  EXPECT_EQ(run.d.widthEdit->text(), QStringLiteral("100"));
  run.Type(run.d.widthEdit, "50");
  EXPECT_EQ(run.d.heightEdit->text(), QStringLiteral("120"));
  Click(run.d.okButton);
  EXPECT_EQ(run.d.m_newWidth, 160);
  EXPECT_EQ(run.d.m_newHeight, 120);

  ScaleRun second(320, 240, 1);
  second.Type(second.d.widthEdit, "50");
  second.d.widthUnit->setCurrentIndex(1);
  EXPECT_EQ(second.d.widthEdit->text(), QStringLiteral("15"));
  Click(second.d.okButton);
  EXPECT_EQ(second.d.m_newWidth, 48);
}

TEST(ScaleDialog, TruncatedTextsAndTheUnlinkedCase) {
  ScaleRun run(100, 75, 1);
  run.Type(run.d.widthEdit, "10");
  EXPECT_EQ(run.d.heightEdit->text(), QStringLiteral("7"));
  EXPECT_EQ(run.d.widthEdit->text(), QStringLiteral("10"));

  ScaleRun clear(320, 240, 0);
  clear.Type(clear.d.widthEdit, "50");
  EXPECT_EQ(clear.d.heightEdit->text(), QStringLiteral("240"));
  clear.d.widthUnit->setCurrentIndex(1);
  EXPECT_EQ(clear.d.widthEdit->text(), QStringLiteral("100"));
  // Ticking the box links the edits from then on.
  Click(clear.d.aspectBox);
  clear.Type(clear.d.heightEdit, "120");
  EXPECT_EQ(clear.d.widthEdit->text(), QStringLiteral("50"));
}

TEST(ScaleDialog, RangeCheckKeepsTheDialogOpen) {
  for (const char* text : {"4096.5", "", "abc", "0", "-3"}) {
    ScaleRun run(320, 240, 0);
    run.Type(run.d.widthEdit, text);
    Click(run.d.okButton);
    EXPECT_NE(run.d.result(), QDialog::Accepted) << text;
    EXPECT_TRUE(run.d.isVisible()) << text;
    ASSERT_EQ(run.messages.messages.size(), 1u) << text;
    EXPECT_EQ(run.messages.messages[0], "1から4096までの数を入力してください");
  }
  ScaleRun ok(320, 240, 0);
  ok.Type(ok.d.widthEdit, "4096");
  Click(ok.d.okButton);
  EXPECT_EQ(ok.d.result(), QDialog::Accepted);
  EXPECT_TRUE(ok.messages.messages.empty());
  EXPECT_EQ(ok.d.m_newWidth, 4096);
}

TEST(ScaleDialog, LeadingNumberReadsLikeAtof) {
  EXPECT_EQ(LeadingNumber(QStringLiteral("  12.5px")), 12.5);
  EXPECT_EQ(LeadingNumber(QStringLiteral("+3e2")), 300);
  EXPECT_EQ(LeadingNumber(QStringLiteral("-.5")), -0.5);
  EXPECT_EQ(LeadingNumber(QStringLiteral("1e")), 1);
  EXPECT_EQ(LeadingNumber(QStringLiteral("x1")), 0);
  EXPECT_EQ(LeadingNumber(QStringLiteral("")), 0);
  EXPECT_EQ(WholeText(7.99), QStringLiteral("7"));
  EXPECT_EQ(WholeText(-7.99), QStringLiteral("-7"));
}

// ----------------------------------------------------- the commands together

TEST(Commands, ColourTransparentConvertFromTheWindow) {
  TempDir dir;
  // A sprite on a flat background.
  ImageBuffer art;
  ASSERT_TRUE(art.Create(32, 24, 24).ok());
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool sprite = (x - 16) * (x - 16) + (y - 12) * (y - 12) < 60;
      art.SetPixel(x, y, sprite ? ((x + y) % 3 == 0 ? 0xE04020 : 0x2060E0) : 0x30A030);
    }
  }
  ASSERT_TRUE(WriteBmp(art, dir.File("art.bmp")).ok());

  TestWindow window;
  window.openAnswer = QString::fromStdString(dir.File("art.bmp"));
  window.OnOpen();
  // Colour: 4 bits (the other choices as remembered).
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    Click(d.depthRadios[1]);
    Click(d.okButton);
  };
  window.OnColor();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 art.bmp(32×24×4)"));
  // Click a background pixel, then Transparent.
  QTest::mouseClick(&window, Qt::LeftButton, {}, window.PreviewOrigin() + QPoint(1, 1));
  const uint32_t picked = window.m_pickedColor;
  Click(window.transparentButton);
  EXPECT_EQ(window.m_image.GetIndex(1, 1), 0);
  EXPECT_EQ(window.m_image.GetIndex(16, 12) != 0, true);
  // Convert: texture, text, LZSS, palette.
  window.save = FakeSavePrompt(dir.File("art.bas"));
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ConvertDialog&>(md);
    EXPECT_TRUE(d.textureRadio->isChecked());
    Click(d.textRadio);
    Click(d.lzssBox);
    EXPECT_TRUE(d.paletteBox->isChecked());
    Click(d.okButton);
  };
  window.OnConvert();
  ASSERT_EQ(window.save.requests.size(), 1u);
  EXPECT_EQ(window.save.requests[0].filterIndex, 4);
  ASSERT_EQ(window.messages.messages.size(), 1u);
  EXPECT_EQ(window.messages.messages[0].rfind("圧縮率 ", 0), 0u);

  // The same steps through the core give the same bytes.
  ImageBuffer core;
  InitTransparentColor(core, kKeyColor);
  ASSERT_TRUE(LoadFile(core, dir.File("art.bmp")).ok());
  uint32_t corePicked = kKeyColor;
  ASSERT_TRUE(ColourCommand(core, corePicked, {1, 0, 8}, 4).ok());
  corePicked = PickColor(core, 1, 1);
  EXPECT_EQ(corePicked, picked);
  ASSERT_TRUE(TransparentCommand(core, corePicked).ok());
  ASSERT_TRUE(WriteConvertedFile(core, dir.File("core.bas"), {kFormTexture, kOutputText, 1, 1}, nullptr).ok());
  EXPECT_EQ(ReadFileBytes(dir.File("art.bas")), ReadFileBytes(dir.File("core.bas")));

  // Scale clears the transparency first, then resizes; the swatch resets.
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ScaleDialog&>(md);
    EXPECT_TRUE(d.aspectBox->isChecked());
    d.widthEdit->selectAll();
    QTest::keyClicks(d.widthEdit, "64");
    EXPECT_EQ(d.heightEdit->text(), QStringLiteral("48"));
    Click(d.okButton);
  };
  window.OnScale();
  EXPECT_EQ(window.m_pickedColor, kKeyColor);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 art.bmp(64×48×4)"));
  EXPECT_NE(window.m_image.GetIndex(2, 2), 0);

  // A 1-bit picture ignores Transparent.
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    Click(d.depthRadios[0]);
    Click(d.okButton);
  };
  window.OnColor();
  ASSERT_EQ(window.m_image.BitCount(), 1);
  const std::vector<uint8_t> before(window.m_image.GetBits(), window.m_image.GetBits() + window.m_image.GetImageSize());
  QTest::mouseClick(&window, Qt::LeftButton, {}, window.PreviewOrigin() + QPoint(1, 1));
  Click(window.transparentButton);
  EXPECT_EQ(std::vector<uint8_t>(window.m_image.GetBits(), window.m_image.GetBits() + window.m_image.GetImageSize()),
            before);
}

TEST(Commands, FourBitPictureHundredWideExportsNothing) {
  TempDir dir;
  TestWindow window;
  window.openAnswer = QString::fromStdString(WritePicture(dir, "w.bmp", 100, 8, 4));
  window.OnOpen();
  window.save = FakeSavePrompt(dir.File("out.d"));
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ConvertDialog&>(md);
    EXPECT_FALSE(d.bitmapRadio->isEnabled());
    EXPECT_FALSE(d.textureRadio->isEnabled());
    EXPECT_FALSE(d.characterRadio->isEnabled());
    Click(d.okButton);
  };
  window.OnConvert();
  EXPECT_TRUE(window.save.requests.empty());
  EXPECT_FALSE(testing::FileExists(dir.File("out.d")));
}

}  // namespace
}  // namespace pixmill::ui

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
