#include "ui/main_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

#include "app/convert_rules.h"
#include "platform/file_io.h"
#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"

namespace pixmill::ui {

namespace {

constexpr const char* kOpenFilter =
    "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)|*.BMP|ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|ﾃｸｽﾁｬ(*.d)|*.d|ALL(*.*)|*.*||";

QColor KeyColour() { return QColor(kKeyColor & 0xFF, (kKeyColor >> 8) & 0xFF, (kKeyColor >> 16) & 0xFF); }

QString Tr(const char* text) { return QCoreApplication::translate("MainDialog", text); }

// What lies behind a failure, in the program's words; empty when unknown.
QString CauseText(Result::Cause cause, bool writing) {
  using C = Result::Cause;
  switch (cause) {
    case C::kNotFound:
      return writing ? Tr("書き込む先のフォルダがありません。") : Tr("ファイルが見つかりません。");
    case C::kNoPermission:
      return writing ? Tr("このフォルダに書き込む権限がありません。") : Tr("ファイルを読む権限がありません。");
    case C::kIsFolder:
      return writing ? Tr("同じ名前のフォルダがあります。") : Tr("フォルダは読み込めません。");
    case C::kNoSpace:
      return Tr("ディスクがいっぱいです。");
    case C::kNotAPicture:
      return Tr("このプログラムが読める画像ではありません（BMP、PNG、書き出したデータ）。");
    case C::kDamaged:
      return Tr("ファイルが壊れています。");
    case C::kTooLarge:
      return writing ? Tr("書き出せる大きさを超えています。") : Tr("画像が大きすぎます。");
    case C::kNoMemory:
      return Tr("メモリが足りません。");
    case C::kUnknown:
      break;
  }
  return {};
}

// Passes the save prompt on, keeping the path chosen for a message, and
// lets the window settle once the dialog has gone.
class AnsweredPrompt : public SavePathPrompt {
 public:
  AnsweredPrompt(SavePathPrompt& inner, std::function<void()> settle) : inner_(inner), settle_(std::move(settle)) {}
  std::optional<std::string> AskSavePath(const SaveRequest& request) override {
    const std::optional<std::string> answer = inner_.AskSavePath(request);
    if (answer) path = *answer;
    settle_();
    return answer;
  }
  std::string path;

 private:
  SavePathPrompt& inner_;
  std::function<void()> settle_;
};

}  // namespace

MainDialog::MainDialog(QString cmdLine, QWidget* parent) : QDialog(parent), m_cmdLine(std::move(cmdLine)) {
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

  // Sizes in dialog units, as the window's template gives them.
  const DialogUnits du(font());
  auto button = [&](const char* caption, int width, int height) {
    auto* b = new QPushButton(Tr(caption));
    b->setFixedSize(du.X(width), du.Y(height));
    b->setAutoDefault(true);  // Return clicks the focused button, as Space does
    return b;
  };
  openButton = button("開く", 50, 14);
  saveButton = button("保存", 50, 14);
  convertButton = button("コンバート", 50, 14);
  scaleButton = button("拡大縮小", 50, 14);
  colourButton = button("色数変更", 50, 14);
  transparentButton = button("透過色", 30, 15);
  swatch = new QLineEdit;
  swatch->setReadOnly(true);
  swatch->setFocusPolicy(Qt::NoFocus);
  swatch->setFixedSize(du.X(50) - du.X(30) - du.X(5), du.Y(15));  // its right edge under the buttons'

  preview = new PreviewView(m_doc.image);
  preview->setFixedSize(du.X(185), du.Y(150));
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
  aboutButton->setToolTip(Tr("バージョン情報 (F1)"));

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

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(du.X(5));
  grid->setVerticalSpacing(du.Y(5));
  grid->addLayout(left, 0, 0, Qt::AlignTop | Qt::AlignLeft);
  grid->addLayout(view, 0, 1, Qt::AlignTop | Qt::AlignLeft);
  grid->addWidget(progressBar, 1, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  connect(openButton, &QPushButton::clicked, this, &MainDialog::OnOpen);
  connect(saveButton, &QPushButton::clicked, this, &MainDialog::OnSave);
  connect(convertButton, &QPushButton::clicked, this, &MainDialog::OnConvert);
  connect(scaleButton, &QPushButton::clicked, this, &MainDialog::OnScale);
  connect(colourButton, &QPushButton::clicked, this, &MainDialog::OnColor);
  connect(transparentButton, &QPushButton::clicked, this, &MainDialog::OnTransparent);
  connect(aboutButton, &QToolButton::clicked, this, &MainDialog::OnAbout);
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, &MainDialog::OnAbout);
  connect(hScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(hScroll, m_hScrollMax, m_lastHPos, action, true); });
  connect(vScroll, &QScrollBar::actionTriggered, this,
          [this](int action) { OnScroll(vScroll, m_vScrollMax, m_lastVPos, action, false); });
  connect(preview, &PreviewView::Clicked, this, &MainDialog::Pick);
  connect(preview, &PreviewView::ScrollRequested, this, &MainDialog::ScrollBy);
  connect(preview, &PreviewView::Resized, this, &MainDialog::UpdateScrollRanges);
  for (QScrollBar* bar : {hScroll, vScroll}) bar->setRange(0, 0);

  adjustSize();
  setFixedSize(sizeHint());
  setWindowIcon(AppIcon());
  PaintSwatch();
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
  Settle();
  LoadPath(path);
}

bool MainDialog::LoadPath(const QString& path) {
  Result r;
  {
    WaitCursor wait;
    r = LoadCommand(m_doc, ToPath(path));
  }
  if (!r.ok()) {
    Report(Tr("%1 を読み込めませんでした。").arg(FromUtf8(BaseName(ToPath(path)))), r, false);
    return false;
  }
  UpdateTitle();
  Repaint();
  return true;
}

void MainDialog::UpdateTitle() {
  if (m_doc.image.GetInfo() == nullptr) return;
  UpdateScrollRanges();
  setWindowTitle(FromUtf8(WindowTitle(m_doc)));
}

void MainDialog::UpdateScrollRanges() {
  const ImageBuffer& image = m_doc.image;
  if (!image.IsValid()) return;
  // Every picture pixel can be scrolled into view: the maximum leaves the
  // last column and row whole inside the frame.
  m_hScrollMax = std::max(0, image.Width() - preview->VisibleColumns());
  m_vScrollMax = std::max(0, image.Height() - preview->VisibleRows());
  // A bar keeps its position within the new range.
  hScroll->setRange(0, m_hScrollMax);
  vScroll->setRange(0, m_vScrollMax);
  hScroll->setPageStep(std::max(1, preview->VisibleColumns()));
  vScroll->setPageStep(std::max(1, preview->VisibleRows()));
  preview->SetPosition(hScroll->value(), vScroll->value());
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
  (void)horizontal;
  last = p;
  preview->SetPosition(hScroll->value(), vScroll->value());
}

void MainDialog::ScrollBy(Qt::Orientation orientation, int action) {
  const bool across = orientation == Qt::Horizontal;
  QScrollBar* bar = across ? hScroll : vScroll;
  const int max = across ? m_hScrollMax : m_vScrollMax;
  if (action == QAbstractSlider::SliderToMinimum || action == QAbstractSlider::SliderToMaximum) {
    bar->setSliderPosition(action == QAbstractSlider::SliderToMinimum ? 0 : max);
    action = QAbstractSlider::SliderMove;
  }
  OnScroll(bar, max, across ? m_lastHPos : m_lastVPos, action, across);
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
}

void MainDialog::Repaint() {
  update();
  preview->PictureChanged();
}

void MainDialog::Settle() {
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
}

void MainDialog::Report(const QString& what, const Result& r, bool writing) {
  if (r.ok() || r.kind() == Result::Kind::kCancelled || r.kind() == Result::Kind::kNothingToDo) return;
  QString text = what;
  const QString cause = CauseText(r.cause(), writing);
  if (!cause.isEmpty()) text += QStringLiteral("\n") + cause;
  text += QStringLiteral("\n(") + FromUtf8(r.reason()) + QStringLiteral(")");
  messages_->ShowFailure(text.toStdString());
}

void MainDialog::OnSave() {
  if (m_doc.image.GetBits() == nullptr) return;
  AnsweredPrompt prompt(*savePrompt_, [this] { Settle(); });
  const Result r = SaveCommand(m_doc, prompt);
  Report(Tr("%1 に保存できませんでした。").arg(FromUtf8(BaseName(prompt.path))), r, true);
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
    if (choices.form < 0) {
      Report(Tr("この画像に使えるコンバート形式がありません。幅が8の倍数でない1bit・4bitの画像は書き出せません。"),
             Result::Refused(NoFormReason(m_doc.image.BitCount(), m_doc.image.Width())), true);
    } else {
      AnsweredPrompt prompt(*savePrompt_, [this] { Settle(); });
      Result r;
      {
        WaitCursor wait;
        r = ConvertCommand(m_doc, choices, prompt, messages_);
      }
      Report(Tr("%1 にコンバートできませんでした。").arg(FromUtf8(BaseName(prompt.path))), r, true);
    }
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
  Settle();
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
  if (r.ok()) UpdateTitle();
  Repaint();
  Report(Tr("拡大縮小できませんでした。"), r, false);
}

void MainDialog::OnColor() {
  if (m_doc.image.GetBits() == nullptr) return;
  ColorDialog dialog(this, messages_);
  dialog.m_depthChoice = DepthChoiceOf(m_doc.image.BitCount());
  dialog.m_dither = m_ditherChoice;
  dialog.m_paletteType = m_paletteChoice;
  if (RunModal(dialog) != QDialog::Accepted) return;
  Settle();
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
  Report(Tr("色数を変更できませんでした。"), r, false);
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  RunAbout(about);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The desktop has no system menu to extend; the window's own context menu
  // carries its entry.
  QMenu menu(this);
  QAction* about = menu.addAction(Tr("ﾊﾞｰｼﾞｮﾝ情報(pxm) (&A)..."));
  about->setShortcut(QKeySequence::HelpContents);
  if (menu.exec(event->globalPos()) == about) OnAbout();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  LoadPath(urls.front().toLocalFile());
}

}  // namespace pixmill::ui
