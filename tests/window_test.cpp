// The desktop program in a real window on an X server, clicked with the real
// pointer (xdotool): the pixel picked is the one drawn under the pointer,
// at every device pixel ratio, zoom and scroll position. Run under xvfb-run
// with a window manager; QT_SCALE_FACTOR sets the ratio.
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <string>

#include "image/bmp.h"
#include "support/test_support.h"
#include "ui/main_dialog.h"

namespace pixmill::ui {
namespace {

using testing::TempDir;

// A picture whose every pixel has a colour of its own.
std::string UniquePicture(const TempDir& dir, int w, int h) {
  ImageBuffer img;
  EXPECT_TRUE(img.Create(w, h, 24).ok());
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x)
      WriteRgb24(img.Row(y) + 3 * x, static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 7) << 8 | 0x31);
  }
  const std::string path = dir.File("unique.bmp");
  EXPECT_TRUE(WriteBmp(img, path).ok());
  return path;
}

class Window : public MainDialog {
 public:
  Window() : MainDialog(QString()) {
    SetMessages(&messages);
    show();
    activateWindow();
    (void)QTest::qWaitForWindowExposed(this);
    OnInitDialog();
  }
  testing::RecordingMessages messages;
};

// Moves the X server's pointer to device pixel (x, y) of the screen and
// presses and lets go its left button, as xdotool does: through the XTEST
// extension, so the program gets the events a real mouse gives.
void ClickAt(int x, int y) {
  const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr) << "run under an X server (QT_QPA_PLATFORM=xcb)";
  xcb_connection_t* c = x11->connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      0);
  xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(c);
}

TEST(RealPointer, PicksThePixelDrawnUnderIt) {
  TempDir dir;
  Window window;
  ASSERT_TRUE(window.LoadPath(QString::fromStdString(UniquePicture(dir, 48, 40))));
  QScreen* screen = window.screen();
  EXPECT_TRUE(screen->availableGeometry().contains(window.frameGeometry())) << "the first window fits the screen";
  const double ratio = window.devicePixelRatioF();
  struct View {
    int zoom;  // a level of the zoom box
    int hpos, vpos;
  };
  int checked = 0, wrong = 0;
  for (const View v : {View{3, 0, 0}, View{3, 5, 3}, View{4, 2, 1}, View{5, 7, 4}, View{2, 0, 0}}) {
    window.SetZoomLevel(v.zoom);
    window.hScroll->setSliderPosition(v.hpos);
    window.hScroll->triggerAction(QAbstractSlider::SliderMove);
    window.vScroll->setSliderPosition(v.vpos);
    window.vScroll->triggerAction(QAbstractSlider::SliderMove);
    QTest::qWait(100);
    // What the screen shows, device pixel by device pixel.
    const QImage shown = screen->grabWindow(0).toImage();
    const QPoint origin = window.preview->mapToGlobal(QPoint(0, 0));
    // Device pixels along a row and a column through the preview, every one
    // of them across a few cells.
    for (int k = 0; k < 24; ++k) {
      for (const bool across : {true, false}) {
        const int dx = static_cast<int>(std::lround(origin.x() * ratio)) + (across ? 6 + k : 9);
        const int dy = static_cast<int>(std::lround(origin.y() * ratio)) + (across ? 9 : 6 + k);
        const QRgb drawn = shown.pixel(dx, dy) & 0xFFFFFF;
        if ((drawn & 0xFF) != 0x31) continue;  // not on the picture
        window.m_doc.pickedColor = 0x00FFFFFF;
        ClickAt(dx, dy);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.m_doc.pickedColor != 0x00FFFFFF; }, 2000));
        ++checked;
        if (SwapRedBlue(window.m_doc.pickedColor) != drawn) {
          ++wrong;
          ADD_FAILURE() << "zoom level " << v.zoom << ", scrolled to (" << v.hpos << ", " << v.vpos
                        << "), device pixel (" << dx << ", " << dy << "): drawn " << std::hex << drawn << ", picked "
                        << SwapRedBlue(window.m_doc.pickedColor);
        }
      }
    }
  }
  EXPECT_GT(checked, 100);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace pixmill::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
