#include "ui/palette_panel.h"

#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "image/choices.h"
#include "ui/dialog_units.h"

namespace pixmill::ui {

namespace {

constexpr int kColumns = 16;

QColor ColourOf(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QString Hex(uint32_t value, int digits) {
  return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

PaletteSwatches::PaletteSwatches(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int PaletteSwatches::Side() const { return std::max(10, DialogUnits(font()).X(6)); }

QSize PaletteSwatches::sizeHint() const {
  const int rows = (std::max(Entries(), 1) + kColumns - 1) / kColumns;
  return QSize(kColumns * Side() + 1, rows * Side() + 1);
}

QRect PaletteSwatches::SwatchRect(int i) const {
  return QRect((i % kColumns) * Side(), (i / kColumns) * Side(), Side(), Side());
}

void PaletteSwatches::Show(const ImageBuffer& image, const std::vector<size_t>& uses) {
  m_colours.clear();
  const int entries = image.IsValid() ? PaletteEntriesFor(image.BitCount()) : 0;
  for (int i = 0; i < entries; ++i) m_colours.push_back(image.GetPaletteColor(static_cast<uint32_t>(i)) & 0xFFFFFF);
  m_uses = uses;
  m_slot = entries > 0 && FirstColourIndex(image.BitCount()) == 1;
  if (m_chosen && *m_chosen >= entries) m_chosen.reset();
  if (m_partner && *m_partner >= entries) m_partner.reset();
  updateGeometry();
  update();
}

void PaletteSwatches::SetHovered(std::optional<int> entry) {
  if (entry == m_hovered) return;
  m_hovered = entry;
  update();
}

void PaletteSwatches::SetChosen(std::optional<int> entry) {
  m_chosen = entry;
  update();
}

void PaletteSwatches::SetPartner(std::optional<int> entry) {
  m_partner = entry;
  update();
}

void PaletteSwatches::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int side = Side();
  for (int i = 0; i < Entries(); ++i) {
    const QRect r = SwatchRect(i);
    painter.fillRect(r.adjusted(1, 1, 0, 0), ColourOf(m_colours[static_cast<size_t>(i)]));
    const QColor mark = qGray(m_colours[static_cast<size_t>(i)]) < 128 ? Qt::white : Qt::black;
    if (i == 0 && m_slot) {  // the transparent slot: crossed out
      painter.setPen(QPen(mark, 1));
      painter.drawLine(r.topLeft() + QPoint(2, 2), r.bottomRight() - QPoint(1, 1));
    }
    if (static_cast<size_t>(i) < m_uses.size() && m_uses[static_cast<size_t>(i)] == 0) {  // no pixel uses it
      painter.setPen(Qt::NoPen);
      painter.setBrush(mark);
      painter.drawEllipse(r.center(), std::max(1, side / 8), std::max(1, side / 8));
      painter.setBrush(Qt::NoBrush);
    }
  }
  auto frame = [&](std::optional<int> entry, const QPen& pen) {
    if (!entry || *entry >= Entries()) return;
    painter.setPen(pen);
    painter.drawRect(SwatchRect(*entry).adjusted(0, 0, 0, 0));
  };
  frame(m_partner, QPen(Qt::black, 2, Qt::DashLine));
  frame(m_chosen, QPen(Qt::black, 3));
  frame(m_hovered, QPen(QColor(0xE0, 0x20, 0xE0), 2));
}

std::optional<int> PaletteSwatches::EntryAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0) return std::nullopt;
  const int i = pos.y() / Side() * kColumns + pos.x() / Side();
  if (pos.x() >= kColumns * Side() || i >= Entries()) return std::nullopt;
  return i;
}

void PaletteSwatches::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (const std::optional<int> i = EntryAt(event->position().toPoint())) {
    emit Clicked(*i, (event->modifiers() & Qt::ShiftModifier) != 0);
  }
}

void PaletteSwatches::mouseDoubleClickEvent(QMouseEvent* event) {
  if (const std::optional<int> i = EntryAt(event->position().toPoint())) emit DoubleClicked(*i);
}

PalettePanel::PalettePanel(QWidget* parent) : QWidget(parent) {
  swatches = new PaletteSwatches;
  details = new QLabel;
  details->setWordWrap(true);
  details->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto button = [](const QString& text, const QString& tip) {
    auto* b = new QPushButton(text);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
  };
  editButton = button(tr("色..."), tr("選んだ色を変える (ダブルクリックでも)"));
  swapButton = button(tr("入れ替え"), tr("選んだ色とShift+クリックで印を付けた色を入れ替える"));
  earlierButton = button(tr("◀"), tr("選んだ色を一つ前へ"));
  laterButton = button(tr("▶"), tr("選んだ色を一つ後ろへ"));
  loadButton = button(tr("読み込み..."), tr("パレットファイルの色を画像に当てる"));
  saveButton = button(tr("保存..."), tr("パレットをファイルに保存する"));
  auto* buttons = new QGridLayout;
  buttons->addWidget(editButton, 0, 0);
  buttons->addWidget(swapButton, 0, 1);
  buttons->addWidget(earlierButton, 1, 0);
  buttons->addWidget(laterButton, 1, 1);
  buttons->addWidget(loadButton, 2, 0);
  buttons->addWidget(saveButton, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(swatches);
  layout->addWidget(details);
  layout->addLayout(buttons);
  layout->addStretch(1);
}

void PalettePanel::Show(const ImageBuffer& image, const std::vector<size_t>& uses) {
  swatches->Show(image, uses);
  Describe(image);
}

void PalettePanel::Describe(const ImageBuffer& image) {
  const std::optional<int> chosen = swatches->Chosen();
  const bool paletted = image.IsValid() && image.BitCount() <= 8;
  for (QPushButton* b : {editButton, swapButton, earlierButton, laterButton}) b->setEnabled(paletted && chosen);
  swapButton->setEnabled(paletted && chosen && swatches->Partner());
  loadButton->setEnabled(paletted);
  saveButton->setEnabled(paletted);
  if (!paletted) {
    details->setText(tr("パレットのない画像です"));
    return;
  }
  if (!chosen) {
    details->setText(tr("色をクリックで選ぶ"));
    return;
  }
  const uint32_t rgb = image.GetPaletteColor(static_cast<uint32_t>(*chosen)) & 0xFFFFFF;
  QString text = tr("索引 %1  #%2  語 %3").arg(*chosen).arg(Hex(rgb, 6), Hex(OpaqueWord(rgb), 4));
  if (*chosen == 0 && FirstColourIndex(image.BitCount()) == 1) text += tr("  透明の枠");
  const size_t uses = swatches->Uses(*chosen);
  text += uses == 0 ? tr("  未使用") : tr("  %L1 画素").arg(static_cast<qulonglong>(uses));
  details->setText(text);
}

}  // namespace pixmill::ui
