#include "ui/main_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/convert_rules.h"
#include "platform/file_io.h"
#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"

namespace pixmill::ui {

namespace {

QString Hex(uint32_t value, int digits) {
  return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString ZoomText(double zoom) {
  return zoom >= 1 ? QString::number(zoom, 'g', 3) + QStringLiteral("×")
                   : QStringLiteral("1/") + QString::number(1 / zoom, 'g', 3);
}

}  // namespace

MainDialog::MainDialog(QString cmdLine, QWidget* parent) : QDialog(parent), m_cmdLine(std::move(cmdLine)) {
  setWindowTitle(FromUtf8(StartTitle()));
  setFont(DialogFont());
  setAcceptDrops(true);
  // Sees the dialogs leave the screen, for Settle.
  qApp->installEventFilter(this);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  // The window background is the button-face colour, which is the key colour.
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ButtonFace());
  pal.setColor(QPalette::Button, ButtonFace());
  setPalette(pal);
  setAutoFillBackground(true);

  // Sizes in dialog units, as the window's template gives them.
  const DialogUnits du(font());
  auto button = [&](const QString& caption, int width, int height, const QKeySequence& key) {
    auto* b = new QPushButton(caption);
    b->setFixedSize(du.X(width), du.Y(height));
    b->setAutoDefault(true);  // Return clicks the focused button, as Space does
    b->setShortcut(key);
    b->setToolTip(caption + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QStringLiteral(")"));
    return b;
  };
  openButton = button(tr("開く"), 50, 14, QKeySequence::Open);
  saveButton = button(tr("保存"), 50, 14, QKeySequence::Save);
  convertButton = button(tr("コンバート"), 50, 14, QKeySequence(Qt::CTRL | Qt::Key_E));
  scaleButton = button(tr("拡大縮小"), 50, 14, QKeySequence(Qt::CTRL | Qt::Key_R));
  colourButton = button(tr("色数変更"), 50, 14, QKeySequence(Qt::CTRL | Qt::Key_K));
  transparentButton = button(tr("透過色"), 30, 15, QKeySequence(Qt::CTRL | Qt::Key_T));
  // Wide enough for its word in any language.
  transparentButton->setFixedWidth(
      std::max(du.X(30), transparentButton->fontMetrics().horizontalAdvance(transparentButton->text()) + du.X(8)));
  swatch = new QLineEdit;
  swatch->setReadOnly(true);
  swatch->setFocusPolicy(Qt::NoFocus);
  swatch->setFixedSize(du.X(50) - du.X(30) - du.X(5), du.Y(15));  // its right edge under the buttons'
  zoomBox = new QComboBox;
  zoomBox->addItem(tr("全体"));
  for (size_t i = 1; i < std::size(kZooms); ++i) zoomBox->addItem(ZoomText(kZooms[i]));
  zoomBox->setCurrentIndex(m_zoomLevel);
  zoomBox->setToolTip(tr("表示倍率 (Ctrl+ホイール、Ctrl++、Ctrl+-、Ctrl+0)"));
  gridBox = new QCheckBox(tr("グリッド"));
  gridBox->setChecked(true);
  gridBox->setToolTip(tr("8倍以上で画素の境目を表示 (Ctrl+G)"));
  cellBox = new QCheckBox(tr("セル"));
  cellBox->setToolTip(tr("セルの境目を表示: キャラクタやシートのコマの大きさ"));
  cellSizeEdit = new QLineEdit(QStringLiteral("8x8"));
  cellSizeEdit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[1-9][0-9]{0,3}x[1-9][0-9]{0,3}")), cellSizeEdit));
  cellSizeEdit->setFixedWidth(du.X(28));
  cellSizeEdit->setToolTip(tr("セルの大きさ (幅x高さ)"));
  paletteBox = new QCheckBox(tr("パレット"));
  paletteBox->setChecked(true);
  paletteBox->setToolTip(tr("1・4・8ビットの画像のパレットを横に表示"));
  palettePanel = new PalettePanel;
  palettePanel->setVisible(false);
  consoleBox = new QCheckBox(tr("実機表示"));
  consoleBox->setToolTip(
      tr("ゲーム機に表示される色で見る: 各色を5ビットに減らし、透明な画素を市松模様で表示 (Ctrl+M)"));
  preview = new PreviewView(m_doc.image);
  preview->setMinimumSize(du.X(60), du.Y(50));
  preview->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  vScroll = new QScrollBar(Qt::Vertical);
  hScroll = new QScrollBar(Qt::Horizontal);
  vScroll->setFixedWidth(du.X(8));
  hScroll->setFixedHeight(du.Y(10));
  progressBar = new QProgressBar;
  progressBar->setTextVisible(false);
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  progressBar->setFixedHeight(std::max(du.Y(5), 8));
  aboutButton = new QToolButton;
  aboutButton->setIcon(AppIcon());
  aboutButton->setIconSize(QSize(32, 32));
  aboutButton->setText(QStringLiteral("Version ") + kVersion);
  aboutButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  aboutButton->setAutoRaise(true);
  aboutButton->setToolTip(tr("バージョン情報 (F1)"));
  pictureStatus = new QLabel;
  pixelStatus = new QLabel;
  pickedStatus = new QLabel;
  for (QLabel* label : {pictureStatus, pixelStatus, pickedStatus})
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* left = new QVBoxLayout;
  left->setSpacing(du.Y(6));
  left->addSpacing(du.Y(5));
  for (QPushButton* b : {openButton, saveButton, convertButton, scaleButton, colourButton}) left->addWidget(b);
  auto* transparentRow = new QHBoxLayout;
  transparentRow->setSpacing(du.X(5));
  transparentRow->addWidget(transparentButton);
  transparentRow->addWidget(swatch);
  transparentRow->addStretch(1);
  left->addLayout(transparentRow);
  left->addStretch(1);
  left->addWidget(aboutButton, 0, Qt::AlignLeft);

  auto* view = new QGridLayout;  // preview and scroll bars touching
  view->setSpacing(0);
  view->addWidget(preview, 0, 0);
  view->addWidget(vScroll, 0, 1);
  view->addWidget(hScroll, 1, 0);
  view->addWidget(palettePanel, 0, 2, 2, 1);
  view->setColumnMinimumWidth(2, 0);

  // Below the progress bar: the view's controls and the picked colour, then
  // what the picture is, then the pixel under the pointer.
  auto* controls = new QHBoxLayout;
  controls->setSpacing(du.X(4));
  controls->addWidget(zoomBox);
  controls->addWidget(gridBox);
  controls->addWidget(consoleBox);
  controls->addWidget(paletteBox);
  controls->addWidget(cellBox);
  controls->addWidget(cellSizeEdit);
  controls->addStretch(1);
  controls->addWidget(pickedStatus);
  auto* status = new QVBoxLayout;
  status->setSpacing(du.Y(2));
  status->addWidget(pictureStatus);
  status->addWidget(pixelStatus);
  // The texts change with the picture and the pointer; they do not widen
  // the window.
  for (QLabel* label : {pictureStatus, pixelStatus}) label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(du.X(5));
  grid->setVerticalSpacing(du.Y(5));
  grid->addLayout(left, 0, 0, Qt::AlignTop | Qt::AlignLeft);
  grid->addLayout(view, 0, 1);
  grid->addWidget(progressBar, 1, 0, 1, 2);
  grid->addLayout(controls, 2, 0, 1, 2);
  grid->addLayout(status, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(0, 1);

  connect(openButton, &QPushButton::clicked, this, &MainDialog::OnOpen);
  connect(&m_measuring, &QFutureWatcher<ChangeReport>::finished, this, &MainDialog::ShowMeasuredChange);
  connect(saveButton, &QPushButton::clicked, this, &MainDialog::OnSave);
  connect(convertButton, &QPushButton::clicked, this, &MainDialog::OnConvert);
  connect(scaleButton, &QPushButton::clicked, this, &MainDialog::OnScale);
  connect(colourButton, &QPushButton::clicked, this, &MainDialog::OnColor);
  connect(transparentButton, &QPushButton::clicked, this, &MainDialog::OnTransparent);
  connect(aboutButton, &QToolButton::clicked, this, &MainDialog::OnAbout);
  connect(zoomBox, &QComboBox::activated, this, [this](int level) { SetZoomLevel(level); });
  connect(gridBox, &QCheckBox::toggled, preview, &PreviewView::SetGrid);
  connect(paletteBox, &QCheckBox::toggled, this, [this] { ShowPalette(); });
  connect(palettePanel->swatches, &PaletteSwatches::Clicked, this, &MainDialog::OnEntryClicked);
  connect(palettePanel->swatches, &PaletteSwatches::DoubleClicked, this, [this](int entry) {
    OnEntryClicked(entry, false);
    OnEditEntry();
  });
  connect(palettePanel->editButton, &QPushButton::clicked, this, &MainDialog::OnEditEntry);
  connect(palettePanel->swapButton, &QPushButton::clicked, this, &MainDialog::OnSwapEntries);
  connect(palettePanel->earlierButton, &QPushButton::clicked, this, [this] { OnMoveEntry(-1); });
  connect(palettePanel->laterButton, &QPushButton::clicked, this, [this] { OnMoveEntry(+1); });
  connect(palettePanel->loadButton, &QPushButton::clicked, this, &MainDialog::OnLoadPalette);
  connect(palettePanel->saveButton, &QPushButton::clicked, this, &MainDialog::OnSavePalette);
  connect(cellBox, &QCheckBox::clicked, this, [this] { m_cellsChosen = true; });
  connect(cellBox, &QCheckBox::toggled, this, &MainDialog::ShowCellGrid);
  connect(cellSizeEdit, &QLineEdit::textEdited, this, &MainDialog::ShowCellGrid);
  connect(consoleBox, &QCheckBox::toggled, preview, &PreviewView::SetConsoleView);
  const struct {
    QKeySequence key;
    std::function<void()> run;
  } shortcuts[] = {
      {QKeySequence::HelpContents, [this] { OnAbout(); }},
      {QKeySequence::Undo, [this] { OnUndo(); }},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { OnRedo(); }},
      {QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { OnRedo(); }},
      {QKeySequence(Qt::CTRL | Qt::Key_Plus),
       [this] { SetZoomLevel(std::min<int>(m_zoomLevel + 1, std::size(kZooms) - 1)); }},
      {QKeySequence(Qt::CTRL | Qt::Key_Equal),
       [this] { SetZoomLevel(std::min<int>(m_zoomLevel + 1, std::size(kZooms) - 1)); }},
      {QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { SetZoomLevel(std::max(m_zoomLevel - 1, 1)); }},
      {QKeySequence(Qt::CTRL | Qt::Key_0), [this] { SetZoomLevel(3); }},
      {QKeySequence(Qt::CTRL | Qt::Key_G), [this] { gridBox->toggle(); }},
      {QKeySequence(Qt::CTRL | Qt::Key_P), [this] { OnSavePalette(); }},
      {QKeySequence(Qt::CTRL | Qt::Key_M), [this] { consoleBox->toggle(); }},
  };
  for (const auto& s : shortcuts) connect(new QShortcut(s.key, this), &QShortcut::activated, this, s.run);
  connect(hScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(hScroll, m_hScrollMax, m_lastHPos, action); });
  connect(vScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(vScroll, m_vScrollMax, m_lastVPos, action); });
  connect(preview, &PreviewView::Clicked, this, &MainDialog::Pick);
  connect(preview, &PreviewView::Hovered, this, &MainDialog::Hover);
  connect(preview, &PreviewView::ScrollRequested, this, &MainDialog::ScrollBy);
  connect(preview, &PreviewView::ZoomRequested, this, [this](int steps, QPointF around) {
    const int from = m_zoomLevel == 0 ? 3 : m_zoomLevel;
    SetZoomLevel(std::clamp<int>(from + steps, 1, std::size(kZooms) - 1), around);
  });
  connect(preview, &PreviewView::Resized, this, [this] {
    if (m_zoomLevel == 0) ApplyFit();
    UpdateScrollRanges();
    ShowPictureStatus();  // the zoom a fit comes to
  });
  for (QScrollBar* bar : {hScroll, vScroll}) bar->setRange(0, 0);

  // The first size is the template's: the preview 185 x 150 dialog units;
  // no smaller than the status bar's figures need, and within the screen.
  preview->resize(du.X(185), du.Y(150));
  preview->setMinimumSize(du.X(185), du.Y(150));
  adjustSize();
  resize(sizeHint());
  preview->setMinimumSize(du.X(60), du.Y(50));
  layout()->invalidate();
  layout()->activate();
  // The longest figures the status bar shows stay whole.
  const QFontMetrics metrics(font());
  const int statusWidth =
      std::max(metrics.horizontalAdvance(tr("%1×%2×%3  色数 %4  ブロック %5  %6")
                                             .arg(4096)
                                             .arg(4096)
                                             .arg(24)
                                             .arg(QStringLiteral("16777216"), QStringLiteral("262144"),
                                                  tr("倍率 %1").arg(tr("全体") + QStringLiteral(" (1/16)")))),
               metrics.horizontalAdvance(QStringLiteral("(4095, 4095) #FFFFFF") + tr("  索引 %1").arg(255) +
                                         tr("  語 %1").arg(QStringLiteral("FFFF"))));
  setMinimumSize(std::max(minimumSizeHint().width(), statusWidth + 2 * layout()->contentsMargins().left()),
                 minimumSizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();  // the window manager's frame, once known
    resize(std::min(width(), room.width() - frame.width()), std::min(height(), room.height() - frame.height()));
    move(room.left() + std::max(0, (room.width() - width() - frame.width()) / 2),
         room.top() + std::max(0, (room.height() - height() - frame.height()) / 2));
  }
  setWindowIcon(AppIcon());
  PaintSwatch();
  ShowPictureStatus();
}

MainDialog::~MainDialog() { m_doc.image.SetProgressBar(nullptr); }

void MainDialog::OnInitDialog() {
  m_hScrollMax = 0;
  m_vScrollMax = 0;
  m_keepAspect = 1;
  m_ditherChoice = 1;
  m_paletteChoice = 0;
  m_progress = std::make_unique<BarProgress>(progressBar);
  m_doc.image.SetProgressBar(m_progress.get());
  m_doc.InitKeyColour(kButtonFaceColour);
  PaintSwatch();
  if (!m_cmdLine.isEmpty()) {
    QString path = m_cmdLine;
    path.remove('"');
    LoadPath(path);
  }
  openButton->setFocus();
}

void MainDialog::UpdateTitle() {
  setWindowTitle(FromUtf8(WindowTitle(m_doc)));
  UpdateScrollRanges();
}

void MainDialog::UpdateScrollRanges() {
  const ImageBuffer& image = m_doc.image;
  // Every picture pixel can be scrolled into view: the maximum leaves the
  // last column and row whole inside the frame.
  m_hScrollMax = image.IsValid() ? std::max(0, image.Width() - preview->VisibleColumns()) : 0;
  m_vScrollMax = image.IsValid() ? std::max(0, image.Height() - preview->VisibleRows()) : 0;
  // A bar keeps its position within the new range.
  hScroll->setRange(0, m_hScrollMax);
  vScroll->setRange(0, m_vScrollMax);
  hScroll->setPageStep(std::max(1, preview->VisibleColumns()));
  vScroll->setPageStep(std::max(1, preview->VisibleRows()));
  preview->SetPosition(hScroll->value(), vScroll->value());
}

void MainDialog::ShowPalette() {
  const ImageBuffer& image = m_doc.image;
  const bool paletted = image.IsValid() && image.BitCount() <= 8;
  const bool show = paletteBox->isChecked() && paletted;
  if (show && palettePanel->isHidden() && isVisible() && !isMaximized()) {
    // The window widens by the panel where the screen has room, so that
    // the preview keeps its size.
    const int more = palettePanel->sizeHint().width() + layout()->spacing();
    const QRect room = screen()->availableGeometry();
    resize(std::min(width() + more, room.width() - (frameGeometry().width() - width())), height());
  }
  palettePanel->setVisible(show);
  if (!show) return;
  // The counts come with the colours in use, once counted.
  palettePanel->Show(image, m_coloursInUse >= 0 ? PaletteUses(image) : std::vector<size_t>());
}

void MainDialog::FollowPointer() {
  if (preview->underMouse()) Hover(preview->PixelUnderPointer());
}

void MainDialog::PictureChanged() {
  ++m_pictureSerial;
  m_changeReport.clear();
  if (!preview->underMouse()) pixelStatus->clear();
  if (m_zoomLevel == 0) ApplyFit();
  UpdateTitle();
  PaintSwatch();
  update();
  preview->PictureChanged();
  // The cells of the character form show, unless the user chose otherwise.
  if (!m_cellsChosen) {
    const ImageBuffer& image = m_doc.image;
    cellBox->setChecked(image.IsValid() &&
                        StartConvertDialog(image.BitCount(), image.Width(), image.Height()).enabled.character);
  }
  // The colours and blocks in use are counted once the window has been
  // repainted.
  m_coloursInUse = -1;
  ShowPictureStatus();
  QTimer::singleShot(0, this, [this] {
    if (m_coloursInUse >= 0) return;
    m_coloursInUse = ColoursInUse(m_doc.image);
    m_blocks = DistinctBlocks(m_doc.image);
    ShowPictureStatus();
    ShowPalette();
  });
  ShowPalette();
  FollowPointer();  // the readout tells of the picture as it now is
}

void MainDialog::ShowPictureStatus() {
  const ImageBuffer& image = m_doc.image;
  // At fit, the zoom it comes to as well.
  QString zoom = tr("倍率 %1").arg(zoomBox->currentText());
  if (m_zoomLevel == 0 && image.IsValid())
    zoom += QStringLiteral(" (") + ZoomText(preview->Zoom()) + QStringLiteral(")");
  if (!image.IsValid()) {
    pictureStatus->setText(zoom);
    return;
  }
  const bool counted = m_coloursInUse >= 0;
  const QString colours = counted ? QString::number(m_coloursInUse) : QStringLiteral("…");
  const QString blocks = counted ? QString::number(m_blocks) : QStringLiteral("…");
  pictureStatus->setText(tr("%1×%2×%3  色数 %4  ブロック %5  %6")
                             .arg(image.Width())
                             .arg(image.Height())
                             .arg(image.BitCount())
                             .arg(colours, blocks, zoom));
}

void MainDialog::Hover(std::optional<QPoint> pixel) {
  const ImageBuffer& image = m_doc.image;
  palettePanel->swatches->SetHovered(
      pixel && image.BitCount() <= 8 ? std::optional<int>(image.GetIndex(pixel->x(), pixel->y())) : std::nullopt);
  if (!pixel) {
    // Away from the picture: how far the last colour change moved it.
    pixelStatus->setText(m_changeReport);
    return;
  }
  const int x = pixel->x(), y = pixel->y();
  const uint32_t rgb = image.GetPixel(x, y) & 0xFFFFFF;
  QString text = QStringLiteral("(%1, %2) #%3").arg(x).arg(y).arg(Hex(rgb, 6));
  if (image.BitCount() <= 8) text += tr("  索引 %1").arg(image.GetIndex(x, y));
  // The word the export writes for this pixel: a palette picture's entry,
  // or the pixel's colour; the transparent word for the key colour.
  text += tr("  語 %1").arg(Hex(ConsoleWord(image, x, y), 4));
  pixelStatus->setText(text);
}

void MainDialog::SetZoomLevel(int level, std::optional<QPointF> around) {
  // The device pixel inside the frame under the point, and the picture
  // pixel there; after the zoom the same picture pixel is put under it.
  const QPointF at = around.value_or(QPointF(preview->width() / 2.0, preview->height() / 2.0));
  const double dpr = preview->devicePixelRatioF();
  const int border = std::max(1, static_cast<int>(std::lround(dpr)));
  const int dx = std::max(0, static_cast<int>(std::floor(at.x() * dpr)) - border);
  const int dy = std::max(0, static_cast<int>(std::floor(at.y() * dpr)) - border);
  const int x = hScroll->value() + dx / preview->Cell() * preview->Step();
  const int y = vScroll->value() + dy / preview->Cell() * preview->Step();
  m_zoomLevel = level;
  zoomBox->setCurrentIndex(level);
  if (level == 0) {
    ApplyFit();
  } else {
    preview->SetZoom(kZooms[level]);
  }
  UpdateScrollRanges();
  ScrollTo(x - dx / preview->Cell() * preview->Step(), y - dy / preview->Cell() * preview->Step());
  ShowPictureStatus();
  FollowPointer();
}

void MainDialog::ApplyFit() {
  const ImageBuffer& image = m_doc.image;
  if (!image.IsValid()) return preview->SetZoom(1);
  // The largest whole number of device pixels per picture pixel, or of
  // picture pixels per device pixel, that shows the whole picture.
  const double dpr = preview->devicePixelRatioF();
  const double border = 2 * std::max(1L, std::lround(dpr));
  const double fit = std::min((std::floor(preview->width() * dpr) - border) / image.Width(),
                              (std::floor(preview->height() * dpr) - border) / image.Height());
  const double scale = fit >= 1 ? std::floor(fit) : 1 / std::ceil(1 / fit);
  preview->SetZoom(scale / dpr);
}

void MainDialog::OnScroll(QScrollBar* bar, int max, int& last, int action) {
  int p = bar->value();
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      p -= 1;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      p += 1;
      break;
    case QAbstractSlider::SliderPageStepSub:
      p -= max / 20;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      p += max / 20;
      break;
    case QAbstractSlider::SliderMove:
      p = bar->sliderPosition();
      break;
    default:
      break;
  }
  p = std::clamp(p, 0, max);
  bar->setSliderPosition(p);
  bar->setValue(p);
  last = p;
  preview->SetPosition(hScroll->value(), vScroll->value());
  FollowPointer();
}

void MainDialog::ScrollBy(Qt::Orientation orientation, int action) {
  const bool across = orientation == Qt::Horizontal;
  QScrollBar* bar = across ? hScroll : vScroll;
  const int max = across ? m_hScrollMax : m_vScrollMax;
  if (action == QAbstractSlider::SliderToMinimum || action == QAbstractSlider::SliderToMaximum) {
    bar->setSliderPosition(action == QAbstractSlider::SliderToMinimum ? 0 : max);
    action = QAbstractSlider::SliderMove;
  }
  OnScroll(bar, max, across ? m_lastHPos : m_lastVPos, action);
}

void MainDialog::ScrollTo(int hpos, int vpos) {
  hScroll->setSliderPosition(std::clamp(hpos, 0, m_hScrollMax));
  OnScroll(hScroll, m_hScrollMax, m_lastHPos, QAbstractSlider::SliderMove);
  vScroll->setSliderPosition(std::clamp(vpos, 0, m_vScrollMax));
  OnScroll(vScroll, m_vScrollMax, m_lastVPos, QAbstractSlider::SliderMove);
}

void MainDialog::ShowCellGrid() {
  const QStringList sides = cellSizeEdit->text().split(QLatin1Char('x'));
  const int w = sides.size() == 2 ? sides[0].toInt() : 0;
  const int h = sides.size() == 2 ? sides[1].toInt() : 0;
  const bool on = cellBox->isChecked() && w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide;
  preview->SetCells(on ? QSize(w, h) : QSize());
}

void MainDialog::Notice(const QString& text) {
  pixelStatus->setText(text);
  const QString shown = text;
  QTimer::singleShot(5000, this, [this, shown] {
    if (pixelStatus->text() == shown) pixelStatus->setText(m_changeReport);
  });
}

void MainDialog::Pick(std::optional<QPoint> pixel) {
  if (pixel) {
    PickCommand(m_doc, pixel->x(), pixel->y());
  } else {
    m_doc.pickedColor = m_doc.KeyColour();
  }
  PaintSwatch();
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
  // A click on the window outside the preview picks no pixel.
  if (event->button() == Qt::LeftButton) Pick(std::nullopt);
  QDialog::mousePressEvent(event);
}

void MainDialog::PaintSwatch() {
  const uint32_t picked = m_doc.pickedColor;
  const QColor c(picked & 0xFF, (picked >> 8) & 0xFF, (picked >> 16) & 0xFF);
  swatch->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: 1px solid black; }").arg(c.name()));
  pickedStatus->setText(tr("選択色 #%1").arg(Hex(SwapRedBlue(picked), 6)));
}

void MainDialog::Settle() {
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // Only what the closed dialogs covered needs painting again: repainting
  // the whole window costs a long command's small cases a good part of
  // their time.
  if (m_uncoveredAll) {
    repaint();
  } else {
    const QRegion covered = m_uncovered.translated(-mapToGlobal(QPoint(0, 0))) & rect();
    if (!covered.isEmpty()) repaint(covered);
  }
  m_uncovered = QRegion();
  m_uncoveredAll = false;
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide && watched != this && watched->isWidgetType()) {
    const auto* window = static_cast<QWidget*>(watched);
    if (window->isWindow()) {
      if (window->testAttribute(Qt::WA_DontShowOnScreen)) {
        m_uncoveredAll = true;
      } else {
        m_uncovered += window->frameGeometry();
        if (m_uncovered.rectCount() > 16) m_uncovered = m_uncovered.boundingRect();
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The desktop has no system menu to extend; the window's own context menu
  // carries its entry.
  QMenu menu(this);
  QAction* undo = menu.addAction(tr("元に戻す"));
  undo->setShortcut(QKeySequence::Undo);
  undo->setEnabled(m_history.CanUndo());
  QAction* redo = menu.addAction(tr("やり直す"));
  redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  redo->setEnabled(m_history.CanRedo());
  QAction* palette = menu.addAction(tr("パレットを保存..."));
  palette->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  palette->setEnabled(m_doc.image.IsValid() && m_doc.image.BitCount() <= 8);
  menu.addSeparator();
  QAction* about = menu.addAction(tr("ﾊﾞｰｼﾞｮﾝ情報(pxm) (&A)..."));
  about->setShortcut(QKeySequence::HelpContents);
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == undo) OnUndo();
  if (chosen == redo) OnRedo();
  if (chosen == about) OnAbout();
  if (chosen == palette) OnSavePalette();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  // A character export dropped with its map, in either order.
  if (urls.size() >= 2 && urls[1].isLocalFile()) {
    const std::string a = ToPath(urls[0].toLocalFile()), b = ToPath(urls[1].toLocalFile());
    Document probe;
    const bool map = LoadCharacterCommand(probe, a, b).ok();
    if (map || LoadCharacterCommand(probe, b, a).ok()) {
      LoadPath(urls[map ? 0 : 1].toLocalFile(), urls[map ? 1 : 0].toLocalFile());
      return;
    }
  }
  LoadPath(urls.front().toLocalFile());
}

}  // namespace pixmill::ui
