// The framed preview of the picture. Inside a black border one device pixel
// wide (rounded from one logical pixel), the picture is drawn from the
// scroll position (hpos, vpos), every picture pixel the same whole number of
// device pixels wide and high at every device pixel ratio, or at zooms below
// one device pixel per picture pixel, one picture pixel in every so many.
// Beyond the picture, the key colour.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QTimer>
#include <optional>

#include "image/image_buffer.h"

namespace pixmill::ui {

class PreviewView : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewView(const ImageBuffer& image, QWidget* parent = nullptr);

  // What is shown: the scroll position in picture pixels and the zoom.
  void SetPosition(int hpos, int vpos);
  void SetZoom(double zoom);
  double Zoom() const { return m_zoom; }
  void SetGrid(bool on);
  void SetConsoleView(bool on);
  // A grid of cells of this size in picture pixels over the picture, from
  // its top left; none for an empty size.
  void SetCells(QSize cells);
  // Makes the pixels of a palette index blink for a moment.
  void Highlight(int index);
  // The picture changed: what is drawn of it is made afresh.
  void PictureChanged();
  bool Grid() const { return m_grid; }
  bool ConsoleView() const { return m_console; }

  // Device pixels per picture pixel (1 or more), or 0 when each device
  // pixel shows one picture pixel in Step() along each side.
  int Cell() const;
  int Step() const;
  // Whole picture pixels that fit inside the border, across and down.
  int VisibleColumns() const;
  int VisibleRows() const;
  // The picture pixel under a point in this widget's coordinates, or none
  // when the point lies on the border or beyond the picture's pixels.
  std::optional<QPoint> PixelAt(const QPointF& pos) const;
  // The picture pixel drawn under the device pixel (x, y) counted from
  // where the preview is drawn.
  std::optional<QPoint> PixelAtDevice(int x, int y) const;
  // The picture pixel under the pointer of a mouse event from the system:
  // under the device pixel the pointer is really on.
  std::optional<QPoint> PixelUnder(const QMouseEvent& event) const;
  // The picture pixel under the pointer where it is now.
  std::optional<QPoint> PixelUnderPointer() const;
  // The point (widget coordinates) where picture pixel (x, y)'s top left
  // corner is drawn, for the present scroll position.
  QPointF PointOf(int x, int y) const;

 signals:
  // A left click; `pixel` is empty outside the picture.
  void Clicked(std::optional<QPoint> pixel);
  void Hovered(std::optional<QPoint> pixel);
  // Wheel and keys: scroll by lines, pages, to the ends; Ctrl+wheel zooms
  // around a point.
  void ScrollRequested(Qt::Orientation orientation, int action);
  void ZoomRequested(int steps, QPointF around);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Border() const;
  // How far the widget's top left lies past a whole device pixel of the
  // window (at a fractional ratio, half a pixel); the preview is drawn from
  // that whole device pixel.
  QPointF Snap() const;
  double Scale() const;  // device pixels per picture pixel
  uint32_t Shown(int x, int y) const;

  const ImageBuffer& m_image;
  // The picture's cells last drawn, and what they were drawn for.
  QImage m_cells;
  QRect m_cellsFor;  // hpos, vpos, columns, rows
  int m_cellsStep = 0;
  bool m_cellsConsole = false;
  int m_hpos = 0;
  int m_vpos = 0;
  double m_zoom = 1;
  bool m_grid = true;
  bool m_console = false;
  QSize m_cellGrid;
  int m_highlight = -1;  // the index whose pixels blink
  int m_blinks = 0;      // the blinks left, an odd count while they show
  QTimer m_blinkTimer;   // the cells the grid shows, in picture pixels
};

}  // namespace pixmill::ui
