#include "ui/preview.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/qt_platform.h"

namespace pixmill::ui {

namespace {

// Zooms from which the pixel grid shows.
constexpr double kGridFrom = 8;

}  // namespace

PreviewView::PreviewView(const ImageBuffer& image, QWidget* parent) : QWidget(parent), m_image(image) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  connect(&m_blinkTimer, &QTimer::timeout, this, [this] {
    if (--m_blinks <= 0) m_blinkTimer.stop();
    update();
  });
}

void PreviewView::SetPosition(int hpos, int vpos) {
  if (hpos == m_hpos && vpos == m_vpos) return;
  m_hpos = hpos;
  m_vpos = vpos;
  update();
}

void PreviewView::SetZoom(double zoom) {
  m_zoom = zoom;
  update();
}

void PreviewView::PictureChanged() {
  m_cells = QImage();
  update();
}

void PreviewView::SetGrid(bool on) {
  m_grid = on;
  update();
}

void PreviewView::SetCells(QSize cells) {
  m_cellGrid = cells;
  update();
}

void PreviewView::Highlight(int index) {
  m_highlight = index;
  m_blinks = 7;
  m_blinkTimer.start(180);
  update();
}

void PreviewView::SetConsoleView(bool on) {
  m_console = on;
  update();
}

int PreviewView::Border() const { return std::max(1, static_cast<int>(std::lround(devicePixelRatioF()))); }

double PreviewView::Scale() const { return m_zoom * devicePixelRatioF(); }

int PreviewView::Cell() const {
  const double s = Scale();
  return s >= 1 ? static_cast<int>(std::lround(s)) : 1;
}

int PreviewView::Step() const {
  const double s = Scale();
  return s >= 1 ? 1 : std::max(1, static_cast<int>(std::lround(1 / s)));
}

int PreviewView::VisibleColumns() const {
  const int inside = static_cast<int>(std::floor(width() * devicePixelRatioF())) - 2 * Border();
  return std::max(0, inside / Cell() * Step());
}

int PreviewView::VisibleRows() const {
  const int inside = static_cast<int>(std::floor(height() * devicePixelRatioF())) - 2 * Border();
  return std::max(0, inside / Cell() * Step());
}

QPointF PreviewView::Snap() const {
  const QPointF origin = QPointF(mapTo(window(), QPoint(0, 0))) * devicePixelRatioF();
  return origin - QPointF(std::floor(origin.x()), std::floor(origin.y()));
}

std::optional<QPoint> PreviewView::PixelAt(const QPointF& pos) const {
  const double dpr = devicePixelRatioF();
  const QPointF snap = Snap();
  return PixelAtDevice(static_cast<int>(std::floor(pos.x() * dpr + snap.x())),
                       static_cast<int>(std::floor(pos.y() * dpr + snap.y())));
}

std::optional<QPoint> PreviewView::PixelUnder(const QMouseEvent& event) const {
  if (event.spontaneous()) return PixelUnderPointer();
  return PixelAt(event.position());
}

std::optional<QPoint> PreviewView::PixelUnderPointer() const {
  if (const std::optional<QPoint> at = NativePointer(*window())) {
    // Device pixels of the window, less where the preview is drawn from.
    const QPointF origin = QPointF(mapTo(window(), QPoint(0, 0))) * devicePixelRatioF();
    return PixelAtDevice(at->x() - static_cast<int>(std::floor(origin.x())),
                         at->y() - static_cast<int>(std::floor(origin.y())));
  }
  return PixelAt(mapFromGlobal(QCursor::pos()));
}

std::optional<QPoint> PreviewView::PixelAtDevice(int deviceX, int deviceY) const {
  const double dpr = devicePixelRatioF();
  const int border = Border();
  const int dx = deviceX - border;
  const int dy = deviceY - border;
  const int insideW = static_cast<int>(std::floor(width() * dpr)) - 2 * border;
  const int insideH = static_cast<int>(std::floor(height() * dpr)) - 2 * border;
  if (dx < 0 || dy < 0 || dx >= insideW || dy >= insideH) return std::nullopt;
  const int x = m_hpos + dx / Cell() * Step();
  const int y = m_vpos + dy / Cell() * Step();
  if (!m_image.IsValid() || !m_image.Inside(x, y)) return std::nullopt;
  return QPoint(x, y);
}

QPointF PreviewView::PointOf(int x, int y) const {
  const double dpr = devicePixelRatioF();
  const double cellsX = static_cast<double>(x - m_hpos) / Step();
  const double cellsY = static_cast<double>(y - m_vpos) / Step();
  const QPointF snap = Snap();
  return QPointF((Border() + cellsX * Cell() - snap.x()) / dpr, (Border() + cellsY * Cell() - snap.y()) / dpr);
}

uint32_t PreviewView::Shown(int x, int y) const {
  if (!m_console) return 0xFF000000u | (m_image.GetPixel(x, y) & 0xFFFFFF);
  // As the console shows it: the colour word the export writes, and no
  // colour at all where the console sees a transparent pixel.
  return ConsoleTransparent(m_image, x, y) ? 0u : 0xFF000000u | Colour16ToRgb(ConsoleWord(m_image, x, y));
}

void PreviewView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const double dpr = devicePixelRatioF();
  // From here on, device pixels, counted from a whole device pixel of what
  // is painted on (the window: Snap()).
  const QPointF origin = painter.deviceTransform().map(QPointF(0, 0));
  painter.scale(1 / dpr, 1 / dpr);
  painter.translate(QPointF(std::floor(origin.x()), std::floor(origin.y())) - origin);
  const int w = static_cast<int>(std::floor(width() * dpr));
  const int h = static_cast<int>(std::floor(height() * dpr));
  const int border = Border();
  const QRect inside(border, border, std::max(0, w - 2 * border), std::max(0, h - 2 * border));
  painter.fillRect(inside, ButtonFace());
  if (m_image.IsValid()) {
    const int cell = Cell(), step = Step();
    // The cells that meet the inside, the last ones cut by the border.
    const int cols = std::min((inside.width() + cell - 1) / cell, (m_image.Width() - m_hpos + step - 1) / step);
    const int rows = std::min((inside.height() + cell - 1) / cell, (m_image.Height() - m_vpos + step - 1) / step);
    if (cols > 0 && rows > 0) {
      const QRect wanted(m_hpos, m_vpos, cols, rows);
      if (m_cells.isNull() || m_cellsFor != wanted || m_cellsStep != step || m_cellsConsole != m_console) {
        m_cells = QImage(cols, rows, QImage::Format_ARGB32_Premultiplied);  // drawn without conversion
        for (int r = 0; r < rows; ++r) {
          auto* line = reinterpret_cast<QRgb*>(m_cells.scanLine(r));
          for (int c = 0; c < cols; ++c) line[c] = Shown(m_hpos + c * step, m_vpos + r * step);
        }
        m_cellsFor = wanted;
        m_cellsStep = step;
        m_cellsConsole = m_console;
      }
      const QImage& block = m_cells;
      painter.setClipRect(inside);
      const QRect area(border, border, cols * cell, rows * cell);
      if (m_console) {
        // A grey checkerboard behind, showing through transparent pixels.
        const int square = 4 * border;
        for (int y = area.top(); y < area.bottom(); y += square) {
          for (int x = area.left(); x < area.right(); x += square) {
            const bool dark = ((x - area.left()) / square + (y - area.top()) / square) % 2 != 0;
            painter.fillRect(x, y, square, square, dark ? QColor(0x99, 0x99, 0x99) : QColor(0xCC, 0xCC, 0xCC));
          }
        }
      }
      painter.drawImage(area, block);  // whole device pixels per picture pixel: nearest neighbour
      if (m_grid && m_zoom >= kGridFrom) {
        painter.setPen(QColor(0x80, 0x80, 0x80, 0x70));
        for (int c = 1; c < cols; ++c)
          painter.drawLine(area.left() + c * cell, area.top(), area.left() + c * cell, area.bottom());
        for (int r = 1; r < rows; ++r)
          painter.drawLine(area.left(), area.top() + r * cell, area.right(), area.top() + r * cell);
      }
      if (m_blinks % 2 == 1 && m_image.BitCount() <= 8) {
        // The pixels of the palette entry chosen, while they blink.
        for (int r = 0; r < rows; ++r) {
          for (int c = 0; c < cols; ++c) {
            if (m_image.GetIndex(m_hpos + c * step, m_vpos + r * step) == m_highlight) {
              painter.fillRect(area.left() + c * cell, area.top() + r * cell, cell, cell,
                               QColor(0xFF, 0x20, 0xFF, 0xB0));
            }
          }
        }
      }
      if (!m_cellGrid.isEmpty()) {
        // The cells' edges fall between picture pixels: at the left of pixel
        // x where x is a multiple of the cell's width.
        painter.setPen(QPen(QColor(0xE0, 0x20, 0xE0, 0xC0), border));
        auto at = [&](int pixel, int from, int edge) { return edge + (pixel - from) / step * cell; };
        for (int x = (m_hpos / m_cellGrid.width() + 1) * m_cellGrid.width(); x < m_hpos + cols * step;
             x += m_cellGrid.width()) {
          painter.drawLine(at(x, m_hpos, area.left()), area.top(), at(x, m_hpos, area.left()), area.bottom());
        }
        for (int y = (m_vpos / m_cellGrid.height() + 1) * m_cellGrid.height(); y < m_vpos + rows * step;
             y += m_cellGrid.height()) {
          painter.drawLine(area.left(), at(y, m_vpos, area.top()), area.right(), at(y, m_vpos, area.top()));
        }
      }
      painter.setClipping(false);
    }
  }
  // The black frame.
  painter.fillRect(0, 0, w, border, Qt::black);
  painter.fillRect(0, h - border, w, border, Qt::black);
  painter.fillRect(0, 0, border, h, Qt::black);
  painter.fillRect(w - border, 0, border, h, Qt::black);
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  emit Clicked(PixelUnder(*event));
  event->accept();
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
  emit Hovered(PixelUnder(*event));
  QWidget::mouseMoveEvent(event);
}

void PreviewView::leaveEvent(QEvent* event) {
  emit Hovered(std::nullopt);
  QWidget::leaveEvent(event);
}

void PreviewView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
  if (notches == 0) return;
  if (event->modifiers() & Qt::ControlModifier) {
    emit ZoomRequested(notches, event->position());
  } else {
    // Shift, or a sideways wheel, scrolls across.
    const bool across = (event->modifiers() & Qt::ShiftModifier) || delta.y() == 0;
    const int action = notches > 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd;
    const int lines = std::abs(notches) * QApplication::wheelScrollLines();
    for (int i = 0; i < lines; ++i) emit ScrollRequested(across ? Qt::Horizontal : Qt::Vertical, action);
  }
  event->accept();
}

void PreviewView::keyPressEvent(QKeyEvent* event) {
  struct Key {
    int key;
    Qt::Orientation orientation;
    int action;
  };
  static const Key kKeys[] = {
      {Qt::Key_Left, Qt::Horizontal, QAbstractSlider::SliderSingleStepSub},
      {Qt::Key_Right, Qt::Horizontal, QAbstractSlider::SliderSingleStepAdd},
      {Qt::Key_Up, Qt::Vertical, QAbstractSlider::SliderSingleStepSub},
      {Qt::Key_Down, Qt::Vertical, QAbstractSlider::SliderSingleStepAdd},
      {Qt::Key_PageUp, Qt::Vertical, QAbstractSlider::SliderPageStepSub},
      {Qt::Key_PageDown, Qt::Vertical, QAbstractSlider::SliderPageStepAdd},
      {Qt::Key_Home, Qt::Vertical, QAbstractSlider::SliderToMinimum},
      {Qt::Key_End, Qt::Vertical, QAbstractSlider::SliderToMaximum},
  };
  for (const Key& k : kKeys) {
    if (event->key() == k.key && !(event->modifiers() & Qt::ControlModifier)) {
      emit ScrollRequested(k.orientation, k.action);
      event->accept();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

void PreviewView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit Resized();
}

}  // namespace pixmill::ui
