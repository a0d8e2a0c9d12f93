#include "ui/main_dialog.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/convert_rules.h"
#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"

namespace pixmill::ui {

namespace {

constexpr const char* kOpenFilter =
    "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)|*.BMP|ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|ﾃｸｽﾁｬ(*.d)|*.d|ALL(*.*)|*.*||";

QColor KeyColour() { return QColor(kKeyColor & 0xFF, (kKeyColor >> 8) & 0xFF, (kKeyColor >> 16) & 0xFF); }

}  // namespace

PreviewFrame::PreviewFrame(const MainDialog& owner, QWidget* parent) : QFrame(parent), owner_(owner) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
  // Clicks belong to the window, which picks the colour under the pointer.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewFrame::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(rect(), KeyColour());
  const ImageBuffer& image = owner_.m_doc.image;
  if (image.GetBits() != nullptr) {
    const int hpos = owner_.hScroll->value();
    const int vpos = owner_.vScroll->value();
    const int w = std::clamp(std::min(width() - 1, image.Width() - hpos), 0, width());
    const int h = std::clamp(std::min(height() - 1, image.Height() - vpos), 0, height());
    if (w > 0 && h > 0) {
      QImage block(w, h, QImage::Format_RGB32);
      for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(block.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = 0xFF000000u | (image.GetPixel(hpos + x, vpos + y) & 0xFFFFFF);
      }
      painter.drawImage(1, 1, block);
    }
  }
  painter.end();
  QFrame::paintEvent(event);  // the black frame on top
}

MainDialog::MainDialog(QString cmdLine, QWidget* parent)
    : QDialog(parent), m_cmdLine(std::move(cmdLine)) {
  setWindowTitle(FromUtf8(StartTitle()));
  setFont(DialogFont());
  setAcceptDrops(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  // The window background is the button-face colour, which is the key colour.
  QPalette pal = palette();
  pal.setColor(QPalette::Window, KeyColour());
  pal.setColor(QPalette::Button, KeyColour());
  setPalette(pal);
  setAutoFillBackground(true);

  const DialogUnits du(font());
  auto button = [&](const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption));
    b->setMinimumSize(du.X(50), du.Y(14));
    b->setAutoDefault(false);
    return b;
  };
  openButton = button("開く");
  saveButton = button("保存");
  convertButton = button("コンバート");
  scaleButton = button("拡大縮小");
  colourButton = button("色数変更");
  transparentButton = button("透過色");
  transparentButton->setMinimumSize(du.X(30), du.Y(15));
  swatch = new QLineEdit;
  swatch->setReadOnly(true);
  swatch->setFocusPolicy(Qt::NoFocus);
  swatch->setFixedSize(std::max(du.X(15), du.Y(15)), std::max(du.X(15), du.Y(15)));
  preview = new PreviewFrame(*this);
  preview->setFixedSize(du.X(185), du.Y(150));
  vScroll = new QScrollBar(Qt::Vertical);
  hScroll = new QScrollBar(Qt::Horizontal);
  vScroll->setFixedHeight(preview->height());
  hScroll->setFixedWidth(preview->width());
  progressBar = new QProgressBar;
  progressBar->setTextVisible(false);
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  progressBar->setFixedHeight(std::max(du.Y(5), 8));
  auto* icon = new QLabel;
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* version = new QLabel(QStringLiteral("Version ") + kVersion);

  auto* left = new QVBoxLayout;
  left->setSpacing(du.Y(6));
  left->addSpacing(du.Y(5));
  for (QPushButton* b : {openButton, saveButton, convertButton, scaleButton, colourButton}) left->addWidget(b);
  auto* transparentRow = new QHBoxLayout;
  transparentRow->addWidget(transparentButton, 1);
  transparentRow->addWidget(swatch);
  left->addLayout(transparentRow);
  left->addStretch(1);
  auto* about = new QHBoxLayout;
  about->addWidget(icon, 0, Qt::AlignTop);
  about->addWidget(version, 1, Qt::AlignBottom);
  left->addLayout(about);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(du.X(5));
  grid->setVerticalSpacing(0);
  grid->addLayout(left, 0, 0, 2, 1);
  grid->addWidget(preview, 0, 1);
  grid->addWidget(vScroll, 0, 2);
  grid->addWidget(hScroll, 1, 1);
  grid->addWidget(progressBar, 2, 0, 1, 3);
  grid->setRowMinimumHeight(2, du.Y(5) + du.Y(10));

  connect(openButton, &QPushButton::clicked, this, &MainDialog::OnOpen);
  connect(saveButton, &QPushButton::clicked, this, &MainDialog::OnSave);
  connect(convertButton, &QPushButton::clicked, this, &MainDialog::OnConvert);
  connect(scaleButton, &QPushButton::clicked, this, &MainDialog::OnScale);
  connect(colourButton, &QPushButton::clicked, this, &MainDialog::OnColor);
  connect(transparentButton, &QPushButton::clicked, this, &MainDialog::OnTransparent);
  connect(hScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(hScroll, m_hScrollMax, m_lastHPos, action, true); });
  connect(vScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(vScroll, m_vScrollMax, m_lastVPos, action, false); });
  // A drag of the thumb arrives through actionTriggered as SliderMove.
  for (QScrollBar* bar : {hScroll, vScroll}) bar->setRange(0, 0);

  adjustSize();
  setFixedSize(sizeHint());
  setWindowIcon(AppIcon());
  PaintSwatch();
  OnInitDialog();
}

MainDialog::~MainDialog() { m_doc.image.SetProgressBar(nullptr); }

void MainDialog::OnInitDialog() {
  m_hScrollMax = 0;
  m_vScrollMax = 0;
  m_keepAspect = 1;
  m_ditherChoice = 1;
  m_paletteChoice = 0;
  progress_ = std::make_unique<BarProgress>(progressBar);
  m_doc.image.SetProgressBar(progress_.get());
  InitTransparentColor(m_doc.image, kKeyColor);
  m_doc.pickedColor = kKeyColor;
  PaintSwatch();
  if (!m_cmdLine.isEmpty()) {
    QString path = m_cmdLine;
    path.remove('"');
    LoadPath(path);
  }
  openButton->setFocus();
}

QString MainDialog::AskOpenPath() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  std::vector<FileFilter> filters = ParseFilterString(kOpenFilter);
  // PNG, which people keep their pixel art in, after the classic entries.
  filters.push_back({"PNG(*.png)", "*.png"});
  const QStringList names = QtNameFilters(filters);
  dialog.setNameFilters(names);
  dialog.selectNameFilter(names.front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void MainDialog::OnOpen() {
  const QString path = AskOpenPath();
  if (path.isEmpty()) return;
  LoadPath(path);
}

bool MainDialog::LoadPath(const QString& path) {
  Result r;
  {
    WaitCursor wait;
    r = LoadCommand(m_doc, ToPath(path));
  }
  if (!r.ok()) return false;
  UpdateTitle();
  Repaint();
  return true;
}

void MainDialog::UpdateTitle() {
  const uint8_t* info = m_doc.image.GetInfo();
  if (info == nullptr) return;
  const int width = static_cast<int32_t>(ReadLe32(info + info::kWidth));
  const int height = static_cast<int32_t>(ReadLe32(info + info::kHeight));
  m_hScrollMax = std::max(0, width - preview->width());
  m_vScrollMax = std::max(0, height - preview->height());
  // A bar keeps its position within the new range.
  hScroll->setRange(0, m_hScrollMax);
  vScroll->setRange(0, m_vScrollMax);
  setWindowTitle(FromUtf8(WindowTitle(m_doc)));
}

void MainDialog::OnScroll(QScrollBar* bar, int max, int& last, int action, bool horizontal) {
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
  if (horizontal) {
    ScrollPreview(last - p, 0);
  } else {
    ScrollPreview(0, last - p);
  }
  last = p;
}

void MainDialog::ScrollPreview(int dx, int dy) {
  if (m_doc.image.GetBits() == nullptr) return;
  if (dx != 0 || dy != 0) preview->update();
}

QPoint MainDialog::PreviewOrigin() const { return preview->mapTo(this, QPoint(1, 1)); }

void MainDialog::PickAt(const QPoint& pos) {
  const QPoint origin = PreviewOrigin();
  const int px = hScroll->value() + pos.x() - origin.x();
  const int py = vScroll->value() + pos.y() - origin.y();
  PickCommand(m_doc, px, py);
  PaintSwatch();
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) PickAt(event->position().toPoint());
  QDialog::mousePressEvent(event);
}

void MainDialog::PaintSwatch() {
  const uint32_t picked = m_doc.pickedColor;
  const QColor c(picked & 0xFF, (picked >> 8) & 0xFF, (picked >> 16) & 0xFF);
  swatch->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: 1px solid black; }").arg(c.name()));
}

void MainDialog::Repaint() {
  update();
  preview->update();
}

void MainDialog::OnSave() {
  if (m_doc.image.GetBits() == nullptr) return;
  (void)SaveCommand(m_doc, *savePrompt_);
}

void MainDialog::OnTransparent() {
  if (m_doc.image.GetBits() == nullptr || m_doc.image.BitCount() == 1) return;
  {
    WaitCursor wait;
    (void)TransparentCommand(m_doc);
  }
  Repaint();
}

void MainDialog::OnConvert() {
  if (m_doc.image.GetBits() == nullptr) return;
  ConvertDialog dialog(this);
  std::copy(m_doc.image.GetInfo(), m_doc.image.GetInfo() + 40, dialog.m_pictureInfo.begin());
  if (RunModal(dialog) == QDialog::Accepted) {
    const ExportChoices choices{dialog.m_form, dialog.m_output, dialog.m_lzss, dialog.m_palette};
    (void)ConvertCommand(m_doc, choices, *savePrompt_, messages_);
  }
  Repaint();
}

void MainDialog::OnScale() {
  if (m_doc.image.GetBits() == nullptr) return;
  ScaleDialog dialog(this, messages_);
  dialog.m_widthText = QString::number(m_doc.image.Width());
  dialog.m_heightText = QString::number(m_doc.image.Height());
  dialog.m_keepAspectBox = m_keepAspect;
  if (RunModal(dialog) != QDialog::Accepted) return;
  m_keepAspect = dialog.m_keepAspectBox;
  const auto whole = [](double v) {
    return static_cast<int32_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
  };
  Result r;
  {
    WaitCursor wait;
    r = ScaleCommand(m_doc, whole(dialog.m_newWidth), whole(dialog.m_newHeight));
  }
  PaintSwatch();
  if (r.ok()) {
    UpdateTitle();
  }
  Repaint();
}

void MainDialog::OnColor() {
  if (m_doc.image.GetBits() == nullptr) return;
  ColorDialog dialog(this, messages_);
  dialog.m_depthChoice = DepthChoiceOf(m_doc.image.BitCount());
  dialog.m_dither = m_ditherChoice;
  dialog.m_paletteType = m_paletteChoice;
  if (RunModal(dialog) != QDialog::Accepted) return;
  m_ditherChoice = dialog.m_dither;
  m_paletteChoice = dialog.m_paletteType;
  const ColorSettings settings{m_ditherChoice, m_paletteChoice, dialog.m_precisionValue};
  const int depth = DepthOfChoice(dialog.m_depthChoice);
  if (depth == 0) {
    ApplyColorSettings(m_doc.image, settings);
    return;
  }
  Result r;
  {
    WaitCursor wait;
    r = ColourCommand(m_doc, settings, depth);
  }
  PaintSwatch();
  if (r.ok()) UpdateTitle();
  Repaint();
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The desktop has no system menu to extend; the window's own context menu
  // carries its entry.
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(pxm) (&A)..."));
  if (menu.exec(event->globalPos()) == about) OnAbout();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  const QString path = urls.front().toLocalFile();
  event->acceptProposedAction();
  LoadPath(path);
}

}  // namespace pixmill::ui
