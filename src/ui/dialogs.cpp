#include "ui/dialogs.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>
#include <limits>

#include "image/image_buffer.h"
#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/qt_platform.h"

namespace pixmill::ui {

namespace {

// A spin box whose text the user cannot type into: the precision changes
// only by its arrows (or the arrow keys).
class ArrowsOnlySpin : public QSpinBox {
 public:
  using QSpinBox::lineEdit;
  using QSpinBox::QSpinBox;
};

QRadioButton* AddRadio(QButtonGroup& group, QVBoxLayout* layout, const QString& caption, int index) {
  auto* radio = new QRadioButton(caption);
  group.addButton(radio, index);
  layout->addWidget(radio);
  return radio;
}

QGroupBox* Group(const QString& caption, QVBoxLayout*& inner) {
  auto* box = new QGroupBox(caption);
  inner = new QVBoxLayout(box);
  return box;
}

void PrepareDialog(QDialog* d, const QString& caption) {
  d->setWindowTitle(caption);
  d->setFont(DialogFont());
  d->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void FixSize(QDialog* d) {
  d->adjustSize();
  d->setFixedSize(d->sizeHint());
}

}  // namespace

void SelectRadio(QButtonGroup& group, int index) {
  QAbstractButton* target = group.button(index);
  group.setExclusive(false);
  for (QAbstractButton* b : group.buttons()) b->setChecked(b == target);
  group.setExclusive(true);
}

int SelectedRadio(const QButtonGroup& group) { return group.checkedId(); }

// Gives the focus to a radio group as a dialog's tab stop does: to its
// selected radio, so that the arrow keys move the selection, else to its
// first enabled one. False when the group has no enabled radio.
bool FocusGroup(QButtonGroup& group) {
  QAbstractButton* target = group.checkedButton();
  if (target == nullptr || !target->isEnabled()) {
    target = nullptr;
    for (QAbstractButton* b : group.buttons()) {
      if (b->isEnabled()) {
        target = b;
        break;
      }
    }
  }
  if (target == nullptr) return false;
  target->setFocus();
  return true;
}

// ---------------------------------------------------------------- Convert

ConvertDialog::ConvertDialog(QWidget* parent) : ModalDialog(parent) {
  PrepareDialog(this, tr("コンバート"));
  QVBoxLayout* formLayout = nullptr;
  QVBoxLayout* outputLayout = nullptr;
  QGroupBox* formBox = Group(tr("コンバート形式"), formLayout);
  QGroupBox* outputBox = Group(tr("出力形式"), outputLayout);
  bitmapRadio = AddRadio(formGroup_, formLayout, tr("ビットマップ形式"), kFormBitmap);
  textureRadio = AddRadio(formGroup_, formLayout, tr("テクスチャ形式"), kFormTexture);
  characterRadio = AddRadio(formGroup_, formLayout, tr("キャラクタ形式"), kFormCharacter);
  binaryRadio = AddRadio(outputGroup_, outputLayout, tr("バイナリ形式"), kOutputBinary);
  textRadio = AddRadio(outputGroup_, outputLayout, tr("テキスト形式"), kOutputText);
  lzssBox = new QCheckBox(tr("LZSS圧縮"));
  paletteBox = new QCheckBox(tr("パレット"));
  okButton = new QPushButton(QStringLiteral("OK"));
  cancelButton = new QPushButton(QStringLiteral("Cancel"));
  okButton->setDefault(true);

  auto* middle = new QVBoxLayout;
  middle->addWidget(outputBox);
  middle->addWidget(lzssBox);
  middle->addWidget(paletteBox);
  middle->addStretch();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(formBox);
  layout->addLayout(middle);
  layout->addLayout(buttons);

  connect(bitmapRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormBitmap); });
  connect(textureRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormTexture); });
  connect(characterRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormCharacter); });
  connect(okButton, &QPushButton::clicked, this, &ConvertDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &ConvertDialog::reject);
  Transfer(true);
  FixSize(this);
}

void ConvertDialog::Transfer(bool toControls) {
  if (toControls) {
    SelectRadio(formGroup_, m_form);
    SelectRadio(outputGroup_, m_output);
    lzssBox->setChecked(m_lzss != 0);
    paletteBox->setChecked(m_palette != 0);
  } else {
    m_form = SelectedRadio(formGroup_);
    m_output = SelectedRadio(outputGroup_);
    m_lzss = lzssBox->isChecked() ? 1 : 0;
    m_palette = paletteBox->isChecked() ? 1 : 0;
  }
}

void ConvertDialog::Enable(const ConvertOffer& offer) {
  bitmapRadio->setEnabled(offer.bitmap);
  textureRadio->setEnabled(offer.texture);
  characterRadio->setEnabled(offer.character);
  binaryRadio->setEnabled(offer.binary);
  textRadio->setEnabled(offer.text);
  lzssBox->setEnabled(offer.lzss);
  paletteBox->setEnabled(offer.palette);
}

void ConvertDialog::OnInitDialog() {
  m_form = m_output = -1;  // the fields at their construction values: nothing selected
  m_lzss = m_palette = 0;
  Transfer(true);
  state_ = StartConvertDialog(m_bitCount, m_width, m_height);
  m_form = state_.fields.form;
  m_output = state_.fields.output;
  m_lzss = state_.fields.lzss;
  m_palette = state_.fields.palette;
  Enable(state_.enabled);
  Transfer(true);
  // The first enabled control in tab order takes the focus.
  if (!FocusGroup(formGroup_) && !FocusGroup(outputGroup_)) {
    for (QWidget* w :
         {static_cast<QWidget*>(lzssBox), static_cast<QWidget*>(paletteBox), static_cast<QWidget*>(okButton)}) {
      if (w->isEnabled()) {
        w->setFocus();
        break;
      }
    }
  }
}

void ConvertDialog::OnFormClicked(int form) {
  state_.fields = {m_form, m_output, m_lzss, m_palette};
  ClickForm(state_, form);
  m_form = state_.fields.form;
  m_output = state_.fields.output;
  m_lzss = state_.fields.lzss;
  Enable(state_.enabled);
  Transfer(true);
}

void ConvertDialog::accept() {
  Transfer(false);
  QDialog::accept();
}

// ---------------------------------------------------------------- Colour

ColorDialog::ColorDialog(QWidget* parent, MessageSink* messages) : ModalDialog(parent), messages_(messages) {
  PrepareDialog(this, tr("色数変更"));
  QVBoxLayout* depthLayout = nullptr;
  QVBoxLayout* ditherLayout = nullptr;
  QVBoxLayout* paletteLayout = nullptr;
  QVBoxLayout* precisionLayout = nullptr;
  QGroupBox* depthBox = Group(tr("色数"), depthLayout);
  QGroupBox* ditherBox = Group(tr("ディザリング"), ditherLayout);
  QGroupBox* paletteBox = Group(tr("パレット"), paletteLayout);
  QGroupBox* precisionBox = Group(tr("精度"), precisionLayout);
  const char* depths[] = {"1bit", "4bit", "8bit", "16bit", "24bit"};
  for (int i = 0; i < 5; ++i) depthRadios[static_cast<size_t>(i)] = AddRadio(depthGroup_, depthLayout, depths[i], i);
  noneRadio = AddRadio(ditherGroup_, ditherLayout, tr("なし"), 0);
  diffusionRadio = AddRadio(ditherGroup_, ditherLayout, tr("誤差拡散"), 1);
  orderedRadio = AddRadio(ditherGroup_, ditherLayout, tr("組織的"), 2);
  optimizedRadio = AddRadio(paletteGroup_, paletteLayout, tr("最適化"), 0);
  standardRadio = AddRadio(paletteGroup_, paletteLayout, tr("標準"), 1);
  qualityRadio = AddRadio(paletteGroup_, paletteLayout, tr("高品質"), 3);
  qualityRadio->setToolTip(tr("画素ごとに最も近い色を選ぶ、時間のかかる最適化"));
  fileRadio = AddRadio(paletteGroup_, paletteLayout, tr("指定"), 2);
  paletteFileButton = new QPushButton(tr("ファイル..."));
  paletteFileButton->setToolTip(tr("パレットファイル (.gpl .pal .act .hex .txt) か、パレットのある画像"));
  paletteLayout->addWidget(paletteFileButton);
  auto* spin = new ArrowsOnlySpin;
  spin->lineEdit()->setReadOnly(true);
  spin->setRange(0, 99);
  precisionSpin = spin;
  precisionEdit = spin->lineEdit();
  precisionLayout->addWidget(precisionSpin);
  okButton = new QPushButton(QStringLiteral("OK"));
  cancelButton = new QPushButton(QStringLiteral("Cancel"));
  okButton->setDefault(true);

  auto* right = new QVBoxLayout;
  right->addWidget(ditherBox);
  right->addWidget(paletteBox);
  right->addWidget(precisionBox);
  right->addStretch();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(depthBox, 0, Qt::AlignTop);
  layout->addLayout(right);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &ColorDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &ColorDialog::reject);
  connect(paletteFileButton, &QPushButton::clicked, this, [this] {
    if (!askPaletteFile) return;
    const QString path = askPaletteFile();
    if (path.isEmpty()) return;
    m_paletteFile = path;
    fileRadio->setChecked(true);
    ShowPaletteFile();
  });
  FixSize(this);
}

bool ColorDialog::Transfer(bool toControls) {
  if (toControls) {
    SelectRadio(depthGroup_, m_depthChoice);
    SelectRadio(ditherGroup_, m_dither);
    SelectRadio(paletteGroup_, m_paletteType);
    precisionSpin->setValue(m_precisionValue);
    return true;
  }
  m_depthChoice = SelectedRadio(depthGroup_);
  m_dither = SelectedRadio(ditherGroup_);
  m_paletteType = SelectedRadio(paletteGroup_);
  bool ok = false;
  const int value = precisionEdit->text().trimmed().toInt(&ok);
  if (!ok || value < 1 || value > 16) return false;
  m_precisionValue = value;
  return true;
}

void ColorDialog::ShowPaletteFile() {
  fileRadio->setText(m_paletteFile.isEmpty() ? tr("指定") : tr("指定: %1").arg(QFileInfo(m_paletteFile).fileName()));
  fileRadio->setToolTip(m_paletteFile);
}

void ColorDialog::OnInitDialog() {
  ShowPaletteFile();
  Transfer(true);  // the edit shows the field's 0 for a moment
  precisionSpin->setRange(1, 16);
  precisionSpin->setWrapping(true);
  precisionSpin->setValue(8);
  FocusGroup(depthGroup_);
}

void ColorDialog::accept() {
  if (fileRadio->isChecked() && m_paletteFile.isEmpty()) {
    if (messages_) messages_->ShowMessage(tr("パレットファイルを指定してください").toStdString());
    paletteFileButton->setFocus();
    return;
  }
  if (!Transfer(false)) {
    if (messages_) messages_->ShowMessage(tr("精度には 1 から 16 までの整数を入力してください").toStdString());
    precisionEdit->setFocus();
    return;
  }
  QDialog::accept();
}

// ---------------------------------------------------------------- Scale

double LeadingNumber(const QString& text) {
  const std::string s = text.toStdString();
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
      end = j;
    }
  }
  // from_chars takes no leading '+' and reads independently of the locale.
  size_t from = start;
  bool negative = false;
  if (s[from] == '+' || s[from] == '-') {
    negative = s[from] == '-';
    ++from;
  }
  double value = 0;
  const auto result = std::from_chars(s.data() + from, s.data() + end, value);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  return negative ? -value : value;
}

QString WholeText(double value) {
  double t = std::trunc(value);
  if (!(t == t)) t = 0;  // not a number
  t = std::clamp(t, static_cast<double>(std::numeric_limits<int>::min()),
                 static_cast<double>(std::numeric_limits<int>::max()));
  return QString::number(static_cast<int>(t));
}

ScaleDialog::ScaleDialog(QWidget* parent, MessageSink* messages) : ModalDialog(parent), messages_(messages) {
  PrepareDialog(this, tr("拡大縮小"));
  const DialogUnits du(font());
  widthEdit = new QLineEdit;
  heightEdit = new QLineEdit;
  widthEdit->setMinimumWidth(du.X(30));
  heightEdit->setMinimumWidth(du.X(30));
  widthUnit = new QComboBox;
  heightUnit = new QComboBox;
  aspectBox = new QCheckBox(tr("縦横比を固定"));
  okButton = new QPushButton(QStringLiteral("OK"));
  cancelButton = new QPushButton(QStringLiteral("Cancel"));
  okButton->setDefault(true);

  auto* widthLabel = new QLabel(tr("幅："));
  auto* heightLabel = new QLabel(tr("高さ："));
  widthLabel->setBuddy(widthEdit);
  heightLabel->setBuddy(heightEdit);
  auto* grid = new QGridLayout(this);
  grid->addWidget(widthLabel, 0, 0, Qt::AlignRight);
  grid->addWidget(widthEdit, 0, 1);
  grid->addWidget(widthUnit, 0, 2);
  grid->addWidget(okButton, 0, 3);
  grid->addWidget(heightLabel, 1, 0, Qt::AlignRight);
  grid->addWidget(heightEdit, 1, 1);
  grid->addWidget(heightUnit, 1, 2);
  grid->addWidget(cancelButton, 1, 3);
  grid->addWidget(aspectBox, 2, 1, 1, 2);
  setTabOrder(widthEdit, widthUnit);
  setTabOrder(widthUnit, heightEdit);
  setTabOrder(heightEdit, heightUnit);
  setTabOrder(heightUnit, aspectBox);
  setTabOrder(aspectBox, okButton);
  setTabOrder(okButton, cancelButton);

  widthEdit->installEventFilter(this);
  connect(widthEdit, &QLineEdit::textEdited, this, &ScaleDialog::OnWidthEdited);
  connect(heightEdit, &QLineEdit::textEdited, this, &ScaleDialog::OnHeightEdited);
  connect(widthUnit, &QComboBox::currentIndexChanged, this, [this] {
    if (started_) OnWidthUnit();
  });
  connect(heightUnit, &QComboBox::currentIndexChanged, this, [this] {
    if (started_) OnHeightUnit();
  });
  connect(aspectBox, &QCheckBox::clicked, this, &ScaleDialog::OnAspectClicked);
  connect(okButton, &QPushButton::clicked, this, &ScaleDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &ScaleDialog::reject);
  FixSize(this);
}

void ScaleDialog::Transfer(bool toControls) {
  if (toControls) {
    widthEdit->setText(m_widthText);  // not a user edit: textEdited stays silent
    heightEdit->setText(m_heightText);
    aspectBox->setChecked(m_keepAspectBox != 0);
  } else {
    m_widthText = widthEdit->text();
    m_heightText = heightEdit->text();
    m_keepAspectBox = aspectBox->isChecked() ? 1 : 0;
  }
}

void ScaleDialog::OnInitDialog() {
  started_ = false;
  Transfer(true);
  m_newWidth = LeadingNumber(m_widthText);
  m_newHeight = LeadingNumber(m_heightText);
  m_aspect = m_newHeight / m_newWidth;
  m_baseWidth = m_newWidth;
  m_baseHeight = m_newHeight;
  for (QComboBox* unit : {widthUnit, heightUnit}) {
    unit->clear();
    unit->addItem(QStringLiteral("pixel"));
    unit->addItem(QStringLiteral("%"));
    unit->setCurrentIndex(0);
  }
  started_ = true;
  widthEdit->setFocus();
  if (m_keepAspectBox == 1) m_linked = 1;  // the focus is in the width edit from the start
}

bool ScaleDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widthEdit && event->type() == QEvent::FocusIn && m_keepAspectBox == 1) m_linked = 1;
  return ModalDialog::eventFilter(watched, event);
}

void ScaleDialog::OnAspectClicked() {
  Transfer(false);
  m_linked = m_keepAspectBox == 1 ? 1 : 0;
}

void ScaleDialog::OnWidthEdited() {
  if (m_linked != 1) return;
  Transfer(false);
  m_newWidth = LeadingNumber(m_widthText);
  if (!(m_newWidth > 0)) return;
  if (widthUnit->currentIndex() == 1) m_newWidth = m_newWidth * m_baseWidth / 100;
  m_newHeight = m_newWidth * m_aspect;
  m_heightText = heightUnit->currentIndex() == 0 ? WholeText(m_newHeight) : WholeText(m_newHeight * 100 / m_baseHeight);
  Transfer(true);
}

void ScaleDialog::OnHeightEdited() {
  if (m_linked != 1) return;
  Transfer(false);
  m_newHeight = LeadingNumber(m_heightText);
  if (!(m_newHeight > 0)) return;
  if (heightUnit->currentIndex() == 1) m_newHeight = m_newHeight * m_baseHeight / 100;
  m_newWidth = m_newHeight / m_aspect;
  m_widthText = widthUnit->currentIndex() == 0 ? WholeText(m_newWidth) : WholeText(m_newWidth * 100 / m_baseWidth);
  Transfer(true);
}

void ScaleDialog::OnWidthUnit() {
  Transfer(false);
  m_widthText = widthUnit->currentIndex() == 0 ? WholeText(m_newWidth) : WholeText(m_newWidth * 100 / m_baseWidth);
  Transfer(true);
}

void ScaleDialog::OnHeightUnit() {
  Transfer(false);
  m_heightText = heightUnit->currentIndex() == 0 ? WholeText(m_newHeight) : WholeText(m_newHeight * 100 / m_baseHeight);
  Transfer(true);
}

void ScaleDialog::accept() {
  Transfer(false);
  m_newWidth = LeadingNumber(m_widthText);
  m_newHeight = LeadingNumber(m_heightText);
  if (widthUnit->currentIndex() == 1) m_newWidth = m_newWidth * m_baseWidth / 100;
  if (heightUnit->currentIndex() == 1) m_newHeight = m_newHeight * m_baseHeight / 100;
  if (!(m_newWidth > 0) || m_newWidth > kMaxSide || !(m_newHeight > 0) || m_newHeight > kMaxSide) {
    if (messages_) messages_->ShowMessage(tr("1から4096までの数を入力してください").toStdString());
    return;
  }
  Transfer(false);
  QDialog::accept();
}

// ---------------------------------------------------------------- About

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  PrepareDialog(this, QStringLiteral("Version"));
  auto* icon = new QLabel;
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("Pixmill Version ") + kVersion);
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addWidget(text, 1);
  layout->addWidget(ok);
  FixSize(this);
}

}  // namespace pixmill::ui
