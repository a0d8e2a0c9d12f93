// The palette panel beside the preview, for pictures of 1, 4 and 8 bits:
// every entry as a swatch with its index, and the entry chosen told in full
// (#RRGGBB, its console colour word, whether it is the transparent slot and
// whether a pixel uses it). The entry of the pixel under the pointer is
// framed. The window carries out what its buttons ask for.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <optional>
#include <vector>

#include "image/image_buffer.h"

namespace pixmill::ui {

// The swatches, sixteen a row.
class PaletteSwatches : public QWidget {
  Q_OBJECT
 public:
  explicit PaletteSwatches(QWidget* parent = nullptr);

  // The picture's palette and how many pixels use each entry.
  void Show(const ImageBuffer& image, const std::vector<size_t>& uses);
  void SetHovered(std::optional<int> entry);
  void SetChosen(std::optional<int> entry);
  void SetPartner(std::optional<int> entry);
  std::optional<int> Chosen() const { return m_chosen; }
  std::optional<int> Partner() const { return m_partner; }
  std::optional<int> Hovered() const { return m_hovered; }
  int Entries() const { return static_cast<int>(m_colours.size()); }
  // How many pixels use entry i, as Show was told.
  size_t Uses(int i) const { return static_cast<size_t>(i) < m_uses.size() ? m_uses[static_cast<size_t>(i)] : 0; }
  // Where entry i is drawn.
  QRect SwatchRect(int i) const;
  QSize sizeHint() const override;

 signals:
  // A click chooses an entry; with Shift it marks the one to swap with.
  void Clicked(int entry, bool partner);
  void DoubleClicked(int entry);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::optional<int> EntryAt(const QPoint& pos) const;
  int Side() const;

  std::vector<uint32_t> m_colours;
  std::vector<size_t> m_uses;
  bool m_slot = false;  // entry 0 is the transparent slot
  std::optional<int> m_hovered;
  std::optional<int> m_chosen;
  std::optional<int> m_partner;
};

class PalettePanel : public QWidget {
  Q_OBJECT
 public:
  explicit PalettePanel(QWidget* parent = nullptr);

  // The picture changed; a picture without a palette shows none.
  void Show(const ImageBuffer& image, const std::vector<size_t>& uses);
  // The text about the chosen entry.
  void Describe(const ImageBuffer& image);

  PaletteSwatches* swatches;
  QLabel* details;
  QPushButton* editButton;
  QPushButton* swapButton;
  QPushButton* earlierButton;
  QPushButton* laterButton;
  QPushButton* loadButton;
  QPushButton* saveButton;
};

}  // namespace pixmill::ui
