// The desktop program driven through its real widgets, offscreen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QUrl>
#include <cmath>
#include <functional>
#include <set>

#include "app/document.h"
#include "color/diffusion.h"
#include "color/transparent.h"
#include "export/export_writer.h"
#include "export/loader.h"
#include "image/bmp.h"
#include "support/test_support.h"
#include "ui/dialog_units.h"
#include "ui/language.h"
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
// Gathers the paint events of the widgets it watches.
struct PaintSpy : QObject {
  int count = 0;
  QRegion region;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++count, region += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

class TestWindow : public MainDialog {
 public:
  explicit TestWindow(QString cmdLine = {}) : MainDialog(std::move(cmdLine)) {
    SetSavePrompt(&save);
    SetMessages(&messages);
    show();
    activateWindow();
    (void)QTest::qWaitForWindowActive(this);
    OnInitDialog();
  }
  void Open(const std::string& path) {
    openAnswer = QString::fromStdString(path);
    OnOpen();
  }
  const ImageBuffer& image() const { return m_doc.image; }

  std::function<void(ModalDialog&)> drive;
  std::function<void()> closed;  // after a modal dialog has closed
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
    activateWindow();  // as the window system does when a modal dialog closes
    (void)QTest::qWaitForWindowActive(this);
    if (closed) closed();
    return result;
  }
  QString AskOpenPath() override {
    ++opens;
    return openAnswer;
  }
  void RunAbout(QDialog&) override { ++abouts; }
  QString AskPalettePath(bool) override { return paletteAnswer; }
  QColor AskColour(const QColor&) override { return colourAnswer; }

 public:
  QString paletteAnswer;
  QColor colourAnswer;

 public:
  int opens = 0, abouts = 0;
};

std::string WritePicture(const TempDir& dir, const std::string& name, int w, int h, int bits, uint32_t seed = 1) {
  ImageBuffer img;
  EXPECT_TRUE(img.Create(w, h, bits).ok());
  bits == 24 ? testing::FillPhotoLike(img, seed) : testing::FillPattern(img, seed);
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteBmp(img, path).ok());
  return path;
}

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

// A click or a move of the pointer at the middle of picture pixel (x, y),
// at fractions of a logical pixel where the screen has them.
// Answers the colour dialog: a depth (its radio's index), a dithering when
// given, then OK.
std::function<void(ModalDialog&)> ColourAnswer(int depth, QRadioButton* ColorDialog::*dither = nullptr) {
  return [=](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    Click(d.depthRadios[static_cast<size_t>(depth)]);
    if (dither) Click(d.*dither);
    Click(d.okButton);
  };
}

void AtPixel(PreviewView* view, int x, int y, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPointF at = view->PointOf(x, y) + QPointF(0.5, 0.5) * view->Cell() / view->devicePixelRatioF();
  QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &event);
}

TEST(MainWindow, TitleFollowsTheCommandLineAndFailuresSayWhy) {
  TempDir dir;
  ::mkdir(dir.File("with blanks").c_str(), 0755);
  WritePicture(dir, "with blanks/photo.bmp", 320, 240, 24);
  TestWindow empty;
  EXPECT_EQ(empty.windowTitle(), QStringLiteral("Pixmill Ver2.0"));
  for (auto command : {&MainDialog::OnConvert, &MainDialog::OnScale, &MainDialog::OnColor, &MainDialog::OnTransparent,
                       &MainDialog::OnSave}) {
    (empty.*command)();
  }
  EXPECT_EQ(empty.dialogsRun + empty.save.requests.size() + empty.messages.messages.size(), 0u);

  const std::string title = "Pixmill Ver 2.0 photo.bmp(320×240×24)";
  TestWindow window(QString::fromStdString("\"" + dir.File("with blanks/photo.bmp") + "\""));
  EXPECT_EQ(window.windowTitle().toStdString(), title);
  testing::WriteFileBytes(dir.File("bad.bmp"), {'B', 'M', 3, 4, 5});
  testing::WriteFileBytes(dir.File("notes.txt"), {'h', 'i', '\n'});
  struct Failure {
    std::function<void()> command;
    std::string says;
  };
  const Failure failures[] = {
      {[&] { window.Open(dir.File("missing.bmp")); },
       "missing.bmp を読み込めませんでした。\nファイルが見つかりません。"},
      {[&] { window.Open(dir.File("with blanks")); }, "フォルダは読み込めません。"},
      {[&] { window.Open(dir.File("notes.txt")); }, "このプログラムが読める画像ではありません"},
      {[&] { window.Open(dir.File("bad.bmp")); }, "ファイルが壊れています。\n(bad.bmp: the data are 5 bytes long"},
      {[&] {
         TestWindow other(QString::fromStdString(dir.File("missing.bmp")));
         window.messages = other.messages;
       },
       "missing.bmp を読み込めませんでした。"},
      {[&] { window.save.answer = dir.File("with blanks"), window.OnSave(); }, "同じ名前のフォルダがあります。"},
      {[&] { window.save.answer = dir.File("no/x.bmp"), window.OnSave(); },
       "x.bmp に保存できませんでした。\n書き込む先のフォルダがありません。"},
      {[&] { window.save.answer = "/dev/full", window.OnSave(); }, "ディスクがいっぱいです。"},
  };
  for (const Failure& f : failures) {
    window.messages.messages.clear();
    f.command();
    ASSERT_EQ(window.messages.messages.size(), 1u) << f.says;
    EXPECT_NE(window.messages.messages[0].find(f.says), std::string::npos)
        << window.messages.messages[0] << " / " << f.says;
    EXPECT_EQ(window.windowTitle().toStdString(), title);
  }
  window.messages.messages.clear();
  window.Open("");  // cancelled: no message
  window.save.answer = std::nullopt;
  window.OnSave();
  EXPECT_TRUE(window.messages.messages.empty());
  EXPECT_EQ(window.image().Width(), 320);
}

TEST(MainWindow, ExportsThatCannotBeDoneSayWhyAndKeepTheFile) {
  TempDir dir;
  testing::WriteFileBytes(dir.File("keep.d"), {1, 2, 3});
  TestWindow window;
  window.Open(WritePicture(dir, "noise.bmp", 1024, 1024, 24));  // too many LZSS tokens for a stream
  window.save.answer = dir.File("keep.d");
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ConvertDialog&>(md);
    Click(d.textureRadio);
    Click(d.lzssBox);
    Click(d.okButton);
  };
  window.OnConvert();
  ASSERT_EQ(window.messages.messages.size(), 1u);
  EXPECT_NE(window.messages.messages[0].find("keep.d にコンバートできませんでした。\n書き出せる大きさを超えています。"),
            std::string::npos);
  EXPECT_NE(window.messages.messages[0].find("more than 65535 flag bytes"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.File("keep.d")), (std::vector<uint8_t>{1, 2, 3}));

  window.messages.messages.clear();
  window.Open(WritePicture(dir, "w.bmp", 100, 8, 4));  // no form at all
  window.drive = [](ModalDialog& md) { Click(static_cast<ConvertDialog&>(md).okButton); };
  window.OnConvert();
  EXPECT_EQ(window.save.requests.size(), 1u);  // only the first export asked
  ASSERT_EQ(window.messages.messages.size(), 1u);
  EXPECT_NE(window.messages.messages[0].find("使えるコンバート形式がありません"), std::string::npos);
}

TEST(MainWindow, ScrollingReachesTheLastPixelsAndShowsThePicture) {
  TempDir dir;
  TestWindow probe;
  const int cols = probe.preview->VisibleColumns(), rows = probe.preview->VisibleRows();
  for (int extra : {19, 20}) {
    TestWindow window;
    window.Open(WritePicture(dir, "p.bmp", cols + extra, rows + extra, 24, 7));
    EXPECT_EQ(window.m_hScrollMax, extra);
    window.hScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    window.vScroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(window.hScroll->value(), extra / 20);
    for (int i = 0; i < 7; ++i) window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(window.hScroll->value(), extra / 20 + 7);
    for (int i = 0; i < 40; ++i) window.hScroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(window.hScroll->value(), 0);  // clamped
  }
  TestWindow window;
  window.Open(WritePicture(dir, "big.bmp", cols + 300, rows + 50, 24, 7));
  window.preview->setFocus();
  QTest::keyClick(window.preview, Qt::Key_End);
  QTest::keyClick(window.preview, Qt::Key_Right);
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), {}, QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(window.preview, &wheel);  // Shift+wheel: across
  EXPECT_EQ(window.vScroll->value(), 50);
  EXPECT_EQ(window.hScroll->value(), 1 + QApplication::wheelScrollLines());
  for (int i = 0; i < 30; ++i) QTest::keyClick(window.preview, Qt::Key_PageDown);
  EXPECT_EQ(window.vScroll->value(), 50);
  window.hScroll->setSliderPosition(300);
  window.hScroll->triggerAction(QAbstractSlider::SliderMove);
  // The last column and row are shown whole and can be picked.
  const int W = cols + 300, H = rows + 50;
  AtPixel(window.preview, W - 1, H - 1);
  EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(window.image().GetPixel(W - 1, H - 1)));
  const QImage shown = window.preview->grab().toImage();
  const QPoint last = window.preview->PointOf(W - 1, H - 1).toPoint();
  EXPECT_EQ(shown.pixel(last) & 0xFFFFFF, window.image().GetPixel(W - 1, H - 1));
  EXPECT_LE(window.preview->PointOf(W, H).x(), window.preview->width() - 1);
  // A smaller picture after scrolling: each bar at most at its new maximum;
  // beyond a small picture, the key colour.
  window.Open(WritePicture(dir, "small.bmp", 5, 5, 24));
  EXPECT_EQ(window.hScroll->value(), 0);
  EXPECT_EQ(window.preview->grab().toImage().pixel(20, 20) & 0xFFFFFF, SwapRedBlue(kKeyColour));
}

TEST(MainWindow, SaveDropAndPicking) {
  TempDir dir;
  TestWindow window;
  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(WritePicture(dir, "my.photo.bmp", 40, 30, 24, 3))),
                 QUrl::fromLocalFile(QString::fromStdString(WritePicture(dir, "second.bmp", 20, 20, 8)))});
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  window.dropEvent(&drop);
  delete mime;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 my.photo.bmp(40×30×24)"));
  window.OnSave();
  ASSERT_EQ(window.save.requests.size(), 1u);
  EXPECT_EQ(window.save.requests[0].proposedName, "my");
  EXPECT_EQ(window.save.requests[0].defaultExtension, "BMP");

  AtPixel(window.preview, 5, 7);
  EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(window.image().GetPixel(5, 7)));
  QTest::mouseClick(window.preview, Qt::LeftButton, {}, window.preview->PointOf(41, 4).toPoint());  // beyond
  EXPECT_EQ(window.m_doc.pickedColor, kKeyColour);
  AtPixel(window.preview, 5, 7);
  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(2, 2));  // the window, left of the preview
  EXPECT_EQ(window.m_doc.pickedColor, kKeyColour);
}

TEST(MainWindow, KeysLayoutAndTheDesktopsLanguage) {
  TestWindow window;
  const DialogUnits du(window.font());
  EXPECT_EQ(window.openButton->width(), du.X(50));
  EXPECT_EQ(window.transparentButton->width(), du.X(30));
  EXPECT_EQ(window.swatch->geometry().right() - window.transparentButton->geometry().left() + 1, du.X(50));
  EXPECT_EQ(window.vScroll->geometry().left(), window.preview->geometry().right() + 1);
  EXPECT_EQ(window.hScroll->geometry().top(), window.preview->geometry().bottom() + 1);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.openButton->setFocus();
  window.openAnswer.clear();
  QTest::keyClick(window.openButton, Qt::Key_Return);  // Return clicks the focused button
  EXPECT_EQ(window.opens, 1);
  QTest::keyClick(&window, Qt::Key_F1);
  window.aboutButton->click();
  EXPECT_EQ(window.abouts, 2);
  // Qt's own texts (here the scroll bars' menu) in the program's language.
  EXPECT_EQ(QCoreApplication::translate("QScrollBar", "Scroll here"), QStringLiteral("ここにスクロール"));
}

TEST(MainWindow, TheDialogIsGoneAndWhatItCoveredRepaintedBeforeTheWork) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 64, 48, 24));
  window.show();
  struct Spy : ProgressSink {
    PaintSpy paints;
    std::optional<QRegion> paintedAtStart;
    QDialog* dialog = nullptr;
    bool dialogShownAtStart = true;
    void SetRange(int, int) override {
      if (paintedAtStart) return;
      paintedAtStart = paints.region;
      dialogShownAtStart = dialog->isVisible();
    }
    void SetPosition(int) override {}
  } spy;
  window.installEventFilter(&spy.paints);
  window.m_doc.image.SetProgressBar(&spy);
  QRect covered;
  window.drive = [&](ModalDialog& md) {
    spy.dialog = &md;
    Click(static_cast<ColorDialog&>(md).depthRadios[2]);
    covered = QRect(window.mapFromGlobal(md.frameGeometry().topLeft()), md.frameGeometry().size());
    Click(static_cast<ColorDialog&>(md).okButton);
  };
  // Only what is painted from here on counts.
  window.closed = [&spy] {
    QApplication::processEvents();  // what the window had to paint anyway
    spy.paints.region = QRegion();
  };
  window.OnColor();
  EXPECT_FALSE(spy.dialogShownAtStart);
  EXPECT_TRUE(spy.paintedAtStart.value().intersects(covered));  // painted again where the dialog was
  window.m_doc.image.SetProgressBar(&window.Progress());
}

// Run at device pixel ratios 1, 1.25, 1.5 and 2 (QT_SCALE_FACTOR, see
// tests/CMakeLists.txt).
TEST(Screen, EveryPixelTheSameSizeAndPickingHitsIt) {
  TempDir dir;
  TestWindow window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.Open(WritePicture(dir, "p.bmp", 800, 600, 24, 9));
  window.hScroll->setSliderPosition(3);
  window.hScroll->triggerAction(QAbstractSlider::SliderMove);
  PreviewView* view = window.preview;
  const int cell = view->Cell(), hpos = 3;
  EXPECT_EQ(cell, std::max(1L, std::lround(view->devicePixelRatioF())));
  // Each picture pixel fills exactly `cell` device pixels of a row.
  const QImage shown = view->grab().toImage();
  const int border = std::max(1L, std::lround(view->devicePixelRatioF()));
  for (int x = 0; x < 40; ++x) {
    for (int d = 0; d < cell; ++d) {
      ASSERT_EQ(shown.pixel(border + x * cell + d, border + 5 * cell) & 0xFFFFFF, window.image().GetPixel(hpos + x, 5))
          << "pixel " << x << ", device pixel " << d;
    }
  }
  // A click anywhere inside a pixel's cell, even just inside its far corner, picks it.
  for (int x : {0, 1, 17, view->VisibleColumns() - 1}) {
    AtPixel(view, hpos + x, 6);
    EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(window.image().GetPixel(hpos + x, 6))) << x;
    const QPointF corner = view->PointOf(hpos + x + 1, 8) - QPointF(0.3, 0.3) / view->devicePixelRatioF();
    QMouseEvent click(QEvent::MouseButtonPress, corner, view->mapToGlobal(corner), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &click);
    EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(window.image().GetPixel(hpos + x, 7))) << x;
  }
}

TEST(Screen, TheFirstWindowFitsTheScreenAndItsFiguresFitTheWindow) {
  TestWindow window;
  const QRect room = window.screen()->availableGeometry();
  // Within the screen, or as small as it can be on a screen too small for it.
  const QRect g = window.geometry();
  EXPECT_GE(g.top(), room.top());
  EXPECT_GE(g.left(), room.left());
  EXPECT_LE(g.width(), std::max(room.width(), window.minimumWidth()));
  EXPECT_LE(g.height(), std::max(room.height(), window.minimumHeight()));
  EXPECT_GE(window.minimumWidth(), window.pictureStatus->fontMetrics().horizontalAdvance(
                                       QStringLiteral("4096×4096×24  色数 16777216  ブロック 262144")));
}

TEST(Readouts, FollowThePictureAndTheZoomWithoutThePointerMoving) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 40, 30, 24, 4));
  const ImageBuffer& img = window.image();
  auto readout = [&](int x, int y) {
    return QStringLiteral("(%1, %2) #%3")
        .arg(x)
        .arg(y)
        .arg(img.GetPixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
        .toUpper();
  };
  const QPointF at = window.preview->PointOf(2, 3) + QPointF(0.5, 0.5) / window.preview->devicePixelRatioF();
  QTest::mouseMove(window.preview, at.toPoint());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.preview->underMouse(); }));
  const std::optional<QPoint> under = window.preview->PixelUnderPointer();
  ASSERT_TRUE(under.has_value());
  EXPECT_TRUE(window.pixelStatus->text().startsWith(readout(under->x(), under->y())));
  window.Pick(*under);
  Click(window.transparentButton);  // the pixel under the pointer becomes the key colour
  EXPECT_TRUE(window.pixelStatus->text().startsWith(readout(under->x(), under->y())));
  EXPECT_TRUE(window.pixelStatus->text().contains(QStringLiteral("#C0C0C0")));
  window.OnUndo();
  EXPECT_FALSE(window.pixelStatus->text().contains(QStringLiteral("#C0C0C0")));
  EXPECT_TRUE(window.pixelStatus->text().startsWith(readout(under->x(), under->y())));
  window.SetZoomLevel(6);  // 4x: another pixel is under the pointer
  const std::optional<QPoint> now = window.preview->PixelUnderPointer();
  ASSERT_TRUE(now.has_value());
  EXPECT_NE(*now, *under);
  EXPECT_TRUE(window.pixelStatus->text().startsWith(readout(now->x(), now->y())));
  // At fit the zoom a new size comes to shows at once.
  window.SetZoomLevel(0);
  const QString fitted = window.pictureStatus->text();
  window.resize(window.width() + 400, window.height() + 300);
  QApplication::processEvents();
  EXPECT_NE(window.pictureStatus->text(), fitted);
}

TEST(Progress, RepaintsByTimeWhileBusyAndCountsPastSixteenBits) {
  QProgressBar bar;
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  PaintSpy paints;
  bar.installEventFilter(&paints);
  BarProgress progress(&bar);
  // 200 ms of reports across the whole range, far more often than a bar is
  // painted, and no event loop meanwhile: the bar still moves, by time.
  QElapsedTimer clock;
  clock.start();
  progress.SetRange(0, 1000000);
  while (clock.elapsed() < 200) progress.SetPosition(static_cast<int>(clock.nsecsElapsed() / 200));
  EXPECT_GE(paints.count, 3);
  EXPECT_LE(paints.count, 2 + clock.elapsed() / 33);
  EXPECT_GT(bar.value(), 65535);  // not clipped to 16 bits
  progress.SetPosition(0);
  EXPECT_EQ(bar.value(), 0);
}

TEST(SaveDialog, FileTypeAndTheExtensionATypedNameTakes) {
  std::vector<FileFilter> filters =
      ParseFilterString("ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|DATA(*.d)|*.d|Veltor(*.bas)|*.bas|ALL(*.*)|*.*||");
  QFileDialog dialog;
  ConfigureSaveDialog(dialog, {"image3", "0", filters, 3, true});
  EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("DATA(*.d)"));
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("d"));
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  // The user picks the next types in the dialog's own list.
  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  QTest::keyClick(types, Qt::Key_Down);
  EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Veltor(*.bas)"));
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("bas"));
  QTest::keyClick(types, Qt::Key_Down);
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("0"));  // ALL has none: the default extension

  QFileDialog none;  // no type preselected: the first shows
  ConfigureSaveDialog(none, {"image0", "0", filters, 0, true});
  EXPECT_EQ(none.selectedNameFilter(), QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ(*.0)"));
  EXPECT_EQ(none.defaultSuffix(), QStringLiteral("0"));
}

// --------------------------------------------------------- the convert dialog

struct Offer {
  int bits, w, h;
  const char* enabled;  // bitmap, texture, character, text, lzss, palette as 0/1
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
  d.m_width = img.Width();
  d.m_height = img.Height();
  d.m_bitCount = img.BitCount();
  d.OnInitDialog();
  const std::vector<QWidget*> controls = {d.bitmapRadio, d.textureRadio, d.characterRadio,
                                          d.textRadio,   d.lzssBox,      d.paletteBox};
  for (size_t i = 0; i < controls.size(); ++i) EXPECT_EQ(controls[i]->isEnabled(), o.enabled[i] == '1') << i;
  EXPECT_TRUE(d.binaryRadio->isChecked());
  EXPECT_FALSE(d.lzssBox->isChecked());
  d.show();
  Click(d.okButton);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ((ExportChoices{d.m_form, d.m_output, d.m_lzss, d.m_palette}),
            (ExportChoices{o.form, 0, 0, o.paletteTicked ? 1 : 0}));
}

INSTANTIATE_TEST_SUITE_P(Pictures, ConvertDialogOffers,
                         ::testing::Values(Offer{1, 64, 8, "010111", 1, true}, Offer{4, 64, 8, "010111", 1, true},
                                           Offer{4, 100, 8, "000111", -1, true}, Offer{8, 64, 64, "111001", 0, true},
                                           Offer{8, 64, 60, "110001", 0, true}, Offer{8, 100, 64, "100001", 0, true},
                                           Offer{16, 64, 64, "110000", 0, false}, Offer{24, 64, 64, "110000", 0, false},
                                           Offer{24, 63, 64, "100000", 0, false}));

TEST(ConvertDialog, FormClickShowsTheFieldsAgainAndArrowKeysChoose) {
  ImageBuffer img;
  ASSERT_TRUE(img.Create(64, 64, 8).ok());
  ConvertDialog d;
  d.m_width = img.Width();
  d.m_height = img.Height();
  d.m_bitCount = img.BitCount();
  d.OnInitDialog();
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  ASSERT_EQ(QApplication::focusWidget(), d.bitmapRadio);
  QTest::keyClick(d.bitmapRadio, Qt::Key_Down);
  EXPECT_TRUE(d.textureRadio->isChecked());
  Click(d.textRadio);
  Click(d.lzssBox);
  Click(d.characterRadio);
  EXPECT_TRUE(d.binaryRadio->isChecked());
  EXPECT_FALSE(d.lzssBox->isChecked());
  Click(d.bitmapRadio);
  EXPECT_FALSE(d.textRadio->isEnabled());
  Click(d.textureRadio);
  Click(d.textRadio);
  Click(d.paletteBox);
  Click(d.okButton);
  EXPECT_EQ((ExportChoices{d.m_form, d.m_output, d.m_lzss, d.m_palette}), (ExportChoices{1, 1, 0, 0}));
}

TEST(ConvertDialog, CharacterChoicesAndTheSizeFollowTheChoice) {
  auto picture = std::make_shared<ImageBuffer>();
  ASSERT_TRUE(LoadFile(*picture, std::string(PIXMILL_TEST_DATA) + "/golden/in/tiles.bmp").ok());
  ConvertDialog d;
  d.m_width = picture->Width();
  d.m_height = picture->Height();
  d.m_bitCount = picture->BitCount();
  d.m_picture = picture;
  d.askMapPath = [] { return QStringLiteral("/tmp/screen.map"); };
  d.OnInitDialog();
  d.show();
  auto figures = [&] {  // the numbers the label gives, once measured
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d.sizeLabel->text().contains(QStringLiteral("…")); }, 5000));
    return d.sizeLabel->text().remove(QRegularExpression(QStringLiteral("[^0-9 ]"))).simplified();
  };
  EXPECT_FALSE(d.characterGroup->isEnabled());
  EXPECT_EQ(figures(), QStringLiteral("1028"));  // bitmap: header, palette, 32 x 16 indices
  Click(d.characterRadio);
  EXPECT_TRUE(d.characterGroup->isEnabled());
  EXPECT_EQ(figures(), QStringLiteral("1024 8"));  // palette area and 8 blocks
  d.uniqueBox->click();
  EXPECT_EQ(figures(), QStringLiteral("896 6"));
  d.flipsBox->click();
  EXPECT_EQ(figures(), QStringLiteral("704 3"));
  Click(d.textRadio);
  EXPECT_EQ(figures(), QStringLiteral("1643 22 3"));  // text: bytes, DATA lines, characters
  d.budgetSpin->setValue(2);
  EXPECT_EQ(figures(), QStringLiteral("1501 20 2"));
  Click(d.mapButton);
  Click(d.okButton);
  const CharacterChoices c = d.Characters();
  EXPECT_TRUE(c.unique && c.flips);
  EXPECT_EQ(c.maxCharacters, 2);
  EXPECT_EQ(c.mapPath, "/tmp/screen.map");
  d.OnInitDialog();  // opens as new
  EXPECT_FALSE(d.uniqueBox->isChecked());
  EXPECT_TRUE(d.mapEdit->text().isEmpty());
}

// ---------------------------------------------------------- the colour dialog

TEST(ColourDialog, OpensAtEightWrapsAroundAndRemembersItsChoices) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 16, 16, 4));
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    EXPECT_TRUE(d.depthRadios[1]->isChecked());
    EXPECT_TRUE(d.diffusionRadio->isChecked());
    EXPECT_TRUE(d.optimizedRadio->isChecked());
    EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("8"));
    for (int i = 0; i < 9; ++i) QTest::keyClick(d.precisionSpin, Qt::Key_Up);
    EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("1"));
    QTest::keyClick(d.precisionSpin, Qt::Key_Down);
    EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("16"));
    QTest::keyClicks(d.precisionEdit, "3");  // read-only
    EXPECT_EQ(d.precisionEdit->text(), QStringLiteral("16"));
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
    Click(d.optimizedRadio);
    Click(d.cancelButton);
  };
  window.OnColor();
  EXPECT_EQ(window.m_paletteChoice, 1);  // cancel hands nothing back
}

// ----------------------------------------------------------- the scale dialog

struct ScaleCase {
  const char* name;
  int w, h, box;
  std::vector<std::pair<char, QString>> actions;  // 'w'/'h' type into an edit, 'u' width unit, 'b' the box
  QString widthText, heightText;
  double newWidth, newHeight;  // at OK; 0 when OK is refused
};

void PrintTo(const ScaleCase& c, std::ostream* os) { *os << c.name; }

class ScaleDialogCases : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleDialogCases, TextsAndSizes) {
  const ScaleCase& c = GetParam();
  RecordingMessages messages;
  ScaleDialog d(nullptr, &messages);
  d.m_widthText = QString::number(c.w);
  d.m_heightText = QString::number(c.h);
  d.m_keepAspectBox = c.box;
  d.OnInitDialog();
  d.show();
  for (const auto& [what, text] : c.actions) {
    if (what == 'u') {
      d.widthUnit->setCurrentIndex(text.toInt());
    } else if (what == 'b') {
      Click(d.aspectBox);
    } else {
      QLineEdit* edit = what == 'w' ? d.widthEdit : d.heightEdit;
      edit->setFocus();
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_Backspace);
      QTest::keyClicks(edit, text);
    }
  }
  EXPECT_EQ(d.widthEdit->text(), c.widthText);
  EXPECT_EQ(d.heightEdit->text(), c.heightText);
  Click(d.okButton);
  if (c.newWidth == 0) {
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(messages.messages, std::vector<std::string>{"1から4096までの数を入力してください"});
    return;
  }
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.m_newWidth, c.newWidth);
  EXPECT_EQ(d.m_newHeight, c.newHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleDialogCases,
    ::testing::Values(ScaleCase{"LinkedWidthSetsTheHeight", 320, 240, 1, {{'w', "160"}}, "160", "120", 160, 120},
                      ScaleCase{"PercentWidth", 320, 240, 1, {{'u', "1"}, {'w', "50"}}, "50", "120", 160, 120},
                      ScaleCase{"PixelsThenPercent", 320, 240, 1, {{'w', "50"}, {'u', "1"}}, "15", "37", 48, 37},
                      ScaleCase{"HeightTruncated", 100, 75, 1, {{'w', "10"}}, "10", "7", 10, 7},
                      ScaleCase{"UnlinkedThenPercent", 320, 240, 0, {{'w', "50"}, {'u', "1"}}, "100", "240", 320, 240},
                      ScaleCase{"BoxLinksFromThen", 320, 240, 0, {{'b', ""}, {'h', "120"}}, "160", "120", 160, 120},
                      ScaleCase{"FullSizeAccepted", 320, 240, 0, {{'w', "4096"}}, "4096", "240", 4096, 240},
                      ScaleCase{"AboveRefused", 320, 240, 0, {{'w', "4096.5"}}, "4096.5", "240", 0, 0},
                      ScaleCase{"EmptyRefused", 320, 240, 0, {{'w', ""}}, "", "240", 0, 0},
                      ScaleCase{"NoNumberRefused", 320, 240, 0, {{'w', "abc"}}, "abc", "240", 0, 0},
                      ScaleCase{"NegativeRefused", 320, 240, 0, {{'h', "-3"}}, "320", "-3", 0, 0},
                      ScaleCase{"LeadingNumberLikeAtof", 320, 240, 0, {{'w', " +3e2px"}}, " +3e2px", "240", 300, 240}),
    [](const auto& p) { return std::string(p.param.name); });

// ------------------------------------------------------------ the workbench

TEST(Workbench, ZoomScrollsAndPicksByPicturePixels) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 300, 200, 24, 4));
  PreviewView* view = window.preview;
  for (int level : {5, 8}) {  // 3x, 8x
    window.SetZoomLevel(level);
    EXPECT_EQ(view->Cell(), static_cast<int>(MainDialog::kZooms[level]));
    EXPECT_EQ(window.m_hScrollMax, 300 - view->VisibleColumns());
    const int before = window.hScroll->value();
    for (int i = 0; i < 7; ++i) QTest::keyClick(view, Qt::Key_Right);  // a line step is one picture pixel
    QTest::keyClick(view, Qt::Key_Down);
    const int hpos = window.hScroll->value(), vpos = window.vScroll->value();
    EXPECT_EQ(hpos, before + 7);
    for (QPoint p :
         {QPoint(hpos, vpos), QPoint(hpos + 5, vpos + 9), QPoint(hpos + view->VisibleColumns() - 1, vpos + 2)}) {
      AtPixel(view, p.x(), p.y());
      EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(window.image().GetPixel(p.x(), p.y()))) << level;
    }
  }
  // The grid from 8x on, between the pixels, and not when it is off.
  const int x = window.hScroll->value() + 2, y = window.vScroll->value() + 2;
  const QPoint line = (view->PointOf(x, y) * view->devicePixelRatioF()).toPoint();
  const uint32_t under = window.image().GetPixel(x, y);
  EXPECT_NE(view->grab().toImage().pixel(line) & 0xFFFFFF, under);
  window.gridBox->setChecked(false);
  EXPECT_EQ(view->grab().toImage().pixel(line) & 0xFFFFFF, under);
  // Ctrl+wheel zooms around the pointer: the pixel under it stays there.
  const QPointF at = view->PointOf(x + 3, y + 4) + QPointF(1, 1);
  QWheelEvent wheel(at, view->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::ControlModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_EQ(window.ZoomLevel(), 7);
  EXPECT_EQ(view->PixelAt(at), QPoint(x + 3, y + 4));
  QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(window.ZoomLevel(), 3);
  QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(view->Cell(), 2);
  window.SetZoomLevel(0);  // fit: the whole picture shows
  EXPECT_EQ(window.m_hScrollMax + window.m_vScrollMax, 0);
}

TEST(Workbench, ConsoleViewShowsWhatTheConsoleShows) {
  TempDir dir;
  ImageBuffer img;
  ASSERT_TRUE(img.Create(4, 1, 24).ok());
  for (int x = 0; x < 4; ++x) WriteRgb24(img.Row(0) + 3 * x, x == 1 ? SwapRedBlue(kKeyColour) : 0x123456 + x);
  ASSERT_TRUE(WriteBmp(img, dir.File("c.bmp")).ok());
  TestWindow window;
  window.Open(dir.File("c.bmp"));
  window.SetZoomLevel(10);  // 16x
  QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
  ASSERT_TRUE(window.consoleBox->isChecked());
  const QImage shown = window.preview->grab().toImage();
  auto middle = [&](int x) {
    return shown.pixel(
               ((window.preview->PointOf(x, 0) + QPointF(4, 4)) * window.preview->devicePixelRatioF()).toPoint()) &
           0xFFFFFF;
  };
  EXPECT_EQ(middle(0), 0x103050u);                                                         // 5 bits a channel
  EXPECT_TRUE(middle(1) == 0x999999u || middle(1) == 0xCCCCCCu) << std::hex << middle(1);  // transparent
  ColourCommand(window.m_doc, {0, 1, 8}, 8).ok();  // 8 bits: index 0 is the transparent slot
  window.UpdateTitle();
  window.preview->PictureChanged();
  const QImage indexed = window.preview->grab().toImage();
  EXPECT_NE(
      indexed.pixel(((window.preview->PointOf(0, 0) + QPointF(4, 4)) * window.preview->devicePixelRatioF()).toPoint()) &
          0xFFFFFF,
      0x999999u);
}

TEST(Workbench, UndoAndRedoGiveTheBytesOfDoingItOnce) {
  TempDir dir;
  const std::string path = WritePicture(dir, "s.bmp", 40, 30, 24, 8);
  TestWindow window;
  window.Open(path);
  auto bytes = [&] {
    window.save.answer = dir.File("now.bmp");
    window.OnSave();
    return ReadFileBytes(dir.File("now.bmp"));
  };
  const std::vector<uint8_t> loaded = bytes();
  const auto toFourBits = ColourAnswer(1);
  window.drive = toFourBits;
  window.OnColor();
  const std::vector<uint8_t> fourBits = bytes();
  AtPixel(window.preview, 3, 3);
  Click(window.transparentButton);
  const std::vector<uint8_t> transparent = bytes();
  const uint32_t lastTransparent = window.image().m_lastTransparent;
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(bytes(), fourBits);
  EXPECT_EQ(window.image().m_lastTransparent, kKeyColour);  // as before Transparent
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(bytes(), loaded);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 s.bmp(40×30×24)"));
  QTest::keyClick(&window, Qt::Key_Y, Qt::ControlModifier);
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(bytes(), transparent);
  EXPECT_EQ(window.image().m_lastTransparent, lastTransparent);
  window.OnUndo();
  window.OnUndo();
  window.OnColor();  // the same command again: the same bytes, and no redo left
  EXPECT_EQ(bytes(), fourBits);
  EXPECT_FALSE(window.m_history.CanRedo());
  window.OnUndo();
  window.OnUndo();  // before the load: no picture
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver2.0"));
}

TEST(Workbench, StatusBarReportsTheColourChange) {
  TestWindow window;
  window.Open(std::string(PIXMILL_TEST_DATA) + "/golden/in/report-3x1.png");
  window.drive = ColourAnswer(3, &ColorDialog::noneRadio);
  window.OnColor();
  // Measured beside the window; the figures the command line's report
  // gives, worked out by hand.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.pixelStatus->text().isEmpty(); }, 5000));
  EXPECT_EQ(window.pixelStatus->text(), QStringLiteral("16bit: PSNR 48.93 dB, ΔE 0.23"));
  window.drive = ColourAnswer(1, &ColorDialog::orderedRadio);
  window.OnColor();
  EXPECT_EQ(window.m_ditherChoice, kDitherOrdered);
  EXPECT_EQ(window.pixelStatus->text(), QString());
  window.OnUndo();
  QTest::qWait(50);  // the measuring of the change undone shows nothing
  EXPECT_EQ(window.pixelStatus->text(), QString());
}

TEST(Workbench, StatusBarTellsAboutThePictureAndThePixel) {
  TempDir dir;
  TestWindow window;
  window.Open(std::string(PIXMILL_TEST_DATA) + "/golden/in/tiles.bmp");  // 8 blocks, 6 of them distinct
  QApplication::processEvents();  // the colours are counted once the window is repainted
  const ImageBuffer& img = window.image();
  std::set<int> indices;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) indices.insert(img.GetIndex(x, y));
  }
  EXPECT_EQ(window.pictureStatus->text(), QStringLiteral("32×16×8  色数 %1  ブロック 6  倍率 1×").arg(indices.size()));
  AtPixel(window.preview, 2, 3, QEvent::MouseMove);
  const uint32_t rgb = img.GetPixel(2, 3) & 0xFFFFFF;
  EXPECT_EQ(window.pixelStatus->text(), QStringLiteral("(2, 3) #%1  索引 %2  語 %3")
                                            .arg(rgb, 6, 16, QLatin1Char('0'))
                                            .toUpper()
                                            .arg(img.GetIndex(2, 3))
                                            .arg(RgbToColour16(rgb) | 0x8000, 4, 16, QLatin1Char('0'))
                                            .toUpper());
  EXPECT_EQ(window.pickedStatus->text(), QStringLiteral("選択色 #C0C0C0"));
}

TEST(Workbench, ResizableWithShortcutsAndInEnglishWhenAsked) {
  TestWindow window;
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  const int before = window.preview->width();
  window.resize(window.width() + 200, window.height() + 100);
  QApplication::processEvents();
  EXPECT_EQ(window.preview->width(), before + 200);
  EXPECT_TRUE(window.openButton->toolTip().contains(QStringLiteral("Ctrl+O")));
  EXPECT_TRUE(window.scaleButton->toolTip().contains(QStringLiteral("Ctrl+R")));
  // In an English locale the texts are English; everything else is Japanese.
  auto translators = [] { return qApp->findChildren<QTranslator*>(); };
  for (QTranslator* t : translators()) QCoreApplication::removeTranslator(t), delete t;
  InstallTranslations(*qApp, QLocale(QLocale::English, QLocale::UnitedStates));
  TestWindow english;
  EXPECT_EQ(english.openButton->text(), QStringLiteral("Open"));
  EXPECT_EQ(english.consoleBox->text(), QStringLiteral("Console view"));
  EXPECT_EQ(english.transparentButton->text(), QStringLiteral("Transparent"));
  EXPECT_GE(english.transparentButton->width(),
            english.transparentButton->fontMetrics().horizontalAdvance(QStringLiteral("Transparent")));
  EXPECT_EQ(QCoreApplication::translate("pixmill::ui::MainDialog", "圧縮率 %1%%2byte ").arg(" 45", " 450"),
            QStringLiteral("Compressed to 45%, 450 bytes"));
  for (QTranslator* t : translators()) QCoreApplication::removeTranslator(t), delete t;
  InstallTranslations(*qApp, QLocale::c());
  TestWindow japanese;
  EXPECT_EQ(japanese.openButton->text(), QStringLiteral("開く"));
}

TEST(PalettePanel, ShowsTheEntriesAndEditsThemAsUndoSteps) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "rgb.bmp", 16, 16, 24));
  EXPECT_FALSE(window.palettePanel->isVisible());  // no palette
  window.Open(std::string(PIXMILL_TEST_DATA) + "/golden/in/tiles.bmp");
  QApplication::processEvents();  // the uses are counted once the window is repainted
  PaletteSwatches* swatches = window.palettePanel->swatches;
  ASSERT_TRUE(window.palettePanel->isVisible());
  EXPECT_EQ(swatches->Entries(), 256);
  const ImageBuffer& img = window.image();
  AtPixel(window.preview, 9, 2, QEvent::MouseMove);
  EXPECT_EQ(swatches->Hovered(), std::optional<int>(img.GetIndex(9, 2)));
  // A click chooses an entry and picks its colour; Shift+click marks the other.
  auto clickEntry = [&](int i, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(swatches, Qt::LeftButton, modifiers, swatches->SwatchRect(i).center());
  };
  clickEntry(2);
  EXPECT_EQ(swatches->Chosen(), std::optional<int>(2));
  EXPECT_EQ(window.m_doc.pickedColor, SwapRedBlue(img.GetPaletteColor(2) & 0xFFFFFF));
  EXPECT_TRUE(window.palettePanel->details->text().startsWith(QStringLiteral("索引 2  #C82828")));
  clickEntry(40);
  EXPECT_TRUE(window.palettePanel->details->text().contains(QStringLiteral("未使用")));
  clickEntry(2);
  clickEntry(3, Qt::ShiftModifier);
  auto bytes = [&] {
    window.save.answer = dir.File("now.bmp");
    window.OnSave();
    return ReadFileBytes(dir.File("now.bmp"));
  };
  const std::vector<uint8_t> before = bytes();
  const uint32_t looks = img.GetPixel(9, 2);
  Click(window.palettePanel->swapButton);
  EXPECT_NE(bytes(), before);
  EXPECT_EQ(img.GetPixel(9, 2), looks);
  EXPECT_EQ(swatches->Chosen(), std::optional<int>(3));  // the choice went with its colour
  Click(window.palettePanel->earlierButton);             // and back to 2
  window.OnUndo();
  window.OnUndo();
  EXPECT_EQ(bytes(), before);
  // An edit changes the entry; undone, the bytes are back.
  clickEntry(1);
  window.colourAnswer = QColor(0x12, 0x34, 0x56);
  Click(window.palettePanel->editButton);
  EXPECT_EQ(img.GetPaletteColor(1) & 0xFFFFFF, 0x123456u);
  window.OnUndo();
  EXPECT_EQ(bytes(), before);
  window.paletteBox->setChecked(false);
  EXPECT_FALSE(window.palettePanel->isVisible());
}

TEST(Workbench, PalettesFromAFileAndToOne) {
  TempDir dir;
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 16, 8, 24, 3));
  window.paletteAnswer = QString::fromStdString(std::string(PIXMILL_TEST_DATA) + "/palettes/order.hex");
  window.drive = [&window](ModalDialog& md) {
    auto& d = static_cast<ColorDialog&>(md);
    Click(d.depthRadios[1]);
    Click(d.fileRadio);
    Click(d.okButton);  // no file chosen yet: the dialog stays
    EXPECT_EQ(window.messages.messages, std::vector<std::string>{"パレットファイルを指定してください"});
    Click(d.paletteFileButton);
    EXPECT_TRUE(d.fileRadio->isChecked());
    Click(d.okButton);
  };
  window.OnColor();
  std::vector<uint32_t> listed;
  ASSERT_TRUE(ReadPalette(window.paletteAnswer.toStdString(), listed).ok());
  ASSERT_EQ(window.image().BitCount(), 4);
  for (size_t i = 0; i < listed.size(); ++i)
    EXPECT_EQ(window.image().GetPaletteColor(static_cast<uint32_t>(i)), listed[i]);
  window.drive = [](ModalDialog& md) {
    EXPECT_TRUE(static_cast<ColorDialog&>(md).fileRadio->isChecked());
    Click(static_cast<ColorDialog&>(md).cancelButton);
  };
  window.OnColor();
  window.paletteAnswer = QString::fromStdString(dir.File("saved.act"));
  QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
  std::vector<uint32_t> saved;
  ASSERT_TRUE(ReadPalette(dir.File("saved.act"), saved).ok());
  EXPECT_EQ(saved.size(), 16u);
  EXPECT_EQ(saved[1], listed[1]);
  window.messages.messages.clear();
  window.Open(WritePicture(dir, "q.bmp", 16, 8, 24, 3));
  window.OnSavePalette();  // 24 bits: no palette
  ASSERT_EQ(window.messages.messages.size(), 1u);
  EXPECT_NE(window.messages.messages[0].find("has no palette"), std::string::npos);
}

// Exported data of 32 x 16 pixels, 8 bits with a palette: 1,028 bytes, the
// size of 24-bit colour words too. The program asks which was meant.
TEST(Workbench, DataOfTwoReadingsAskWhichWasMeant) {
  TempDir dir;
  std::vector<uint8_t> data = {0x00, 0x20, 0x00, 0x10};
  for (int i = 0; i < 256; ++i) data.insert(data.end(), {static_cast<uint8_t>(i >> 3), static_cast<uint8_t>(i)});
  for (int i = 0; i < 512; ++i) data.push_back(static_cast<uint8_t>(i % 7));
  const std::string path = dir.File("e.d");
  testing::WriteFileBytes(path, data);
  TestWindow window;
  window.Open(WritePicture(dir, "p.bmp", 16, 8, 24, 3));
  const int dialogs = window.dialogsRun;
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ReadingDialog&>(md);
    ASSERT_EQ(d.radios.size(), 2u);
    EXPECT_TRUE(d.radios[0]->isChecked());
    EXPECT_EQ(d.radios[0]->text(), QStringLiteral("24 ビットの色（1 画素 2 バイト）"));
    EXPECT_EQ(d.radios[1]->text(), QStringLiteral("8 ビット、パレット付き"));
    // On its text: the radio reaches across the dialog, its text does not.
    QTest::mouseClick(d.radios[1], Qt::LeftButton, {}, QPoint(30, d.radios[1]->height() / 2));
    EXPECT_EQ(d.Chosen(), 1);
    Click(d.okButton);
  };
  window.Open(path);
  EXPECT_EQ(window.dialogsRun, dialogs + 1);
  ASSERT_EQ(window.image().BitCount(), 8);
  EXPECT_EQ(window.image().GetPaletteColor(1), Colour16ToRgb(0x0001));
  window.OnUndo();  // one step: back to the picture before
  EXPECT_EQ(window.image().Width(), 16);
  window.drive = [](ModalDialog& md) { Click(static_cast<ReadingDialog&>(md).okButton); };
  window.Open(path);
  EXPECT_EQ(window.image().BitCount(), 24);
  window.Open(WritePicture(dir, "q.bmp", 16, 8, 24, 3));
  EXPECT_EQ(window.dialogsRun, dialogs + 2);  // a bitmap asks nothing
  EXPECT_TRUE(window.messages.messages.empty());
}

// ------------------------------------------------------ the commands together

TEST(Commands, GiveTheBytesOfTheCommandsOfTheCore) {
  TempDir dir;
  const std::string picture = WritePicture(dir, "art.bmp", 32, 24, 24, 5);
  TestWindow window;
  window.Open(picture);
  window.drive = ColourAnswer(1);
  window.OnColor();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 art.bmp(32×24×4)"));
  AtPixel(window.preview, 1, 1);
  Click(window.transparentButton);
  window.save = FakeSavePrompt(dir.File("art.bas"));
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ConvertDialog&>(md);
    Click(d.textRadio);
    Click(d.lzssBox);
    Click(d.okButton);
  };
  window.OnConvert();
  ASSERT_EQ(window.save.requests.size(), 1u);
  EXPECT_EQ(window.save.requests[0].filterIndex, 4);
  EXPECT_EQ(window.save.requests[0].proposedName, "image0");
  ASSERT_EQ(window.messages.messages.size(), 1u);
  EXPECT_EQ(window.messages.messages[0].rfind("圧縮率 ", 0), 0u);

  Document core;
  ASSERT_TRUE(LoadCommand(core, picture).ok());
  ASSERT_TRUE(ColourCommand(core, {1, 0, 8}, 4).ok());
  PickCommand(core, 1, 1);
  ASSERT_TRUE(TransparentCommand(core).ok());
  RecordingMessages coreMessages;
  ASSERT_TRUE(
      WriteConvertedFile(core.image, dir.File("core.bas"), {kFormTexture, kOutputText, 1, 1}, &coreMessages).ok());
  EXPECT_EQ(window.messages.messages, coreMessages.messages);  // the compression message, to the letter
  EXPECT_EQ(ReadFileBytes(dir.File("art.bas")), ReadFileBytes(dir.File("core.bas")));

  // Scale clears the transparency first; the swatch goes back to the key colour.
  window.drive = [](ModalDialog& md) {
    auto& d = static_cast<ScaleDialog&>(md);
    d.widthEdit->selectAll();
    QTest::keyClicks(d.widthEdit, "64");
    Click(d.okButton);
  };
  window.OnScale();
  EXPECT_EQ(window.m_doc.pickedColor, kKeyColour);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Pixmill Ver 2.0 art.bmp(64×48×4)"));
  EXPECT_NE(window.image().GetIndex(2, 2), 0);
}

}  // namespace
}  // namespace pixmill::ui

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  pixmill::ui::InstallTranslations(app, QLocale::c());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
