// The colour dialog: depth, dithering, palette kind and precision.
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/dialogs.h"

namespace pixmill::ui {

namespace {

// A spin box whose text the user cannot type into: the precision changes
// only by its arrows (or the arrow keys).
class ArrowsOnlySpin : public QSpinBox {
 public:
  using QSpinBox::lineEdit;
  using QSpinBox::QSpinBox;
};

}  // namespace

ColorDialog::ColorDialog(QWidget* parent, MessageSink* messages) : ModalDialog(parent), m_messages(messages) {
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
  for (int i = 0; i < 5; ++i) depthRadios[static_cast<size_t>(i)] = AddRadio(m_depthGroup, depthLayout, depths[i], i);
  noneRadio = AddRadio(m_ditherGroup, ditherLayout, tr("なし"), 0);
  diffusionRadio = AddRadio(m_ditherGroup, ditherLayout, tr("誤差拡散"), 1);
  orderedRadio = AddRadio(m_ditherGroup, ditherLayout, tr("組織的"), 2);
  optimizedRadio = AddRadio(m_paletteGroup, paletteLayout, tr("最適化"), 0);
  standardRadio = AddRadio(m_paletteGroup, paletteLayout, tr("標準"), 1);
  qualityRadio = AddRadio(m_paletteGroup, paletteLayout, tr("高品質"), 3);
  qualityRadio->setToolTip(tr("画素ごとに最も近い色を選ぶ、時間のかかる最適化"));
  fileRadio = AddRadio(m_paletteGroup, paletteLayout, tr("指定"), 2);
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
    SelectRadio(m_depthGroup, m_depthChoice);
    SelectRadio(m_ditherGroup, m_dither);
    SelectRadio(m_paletteGroup, m_paletteType);
    precisionSpin->setValue(m_precisionValue);
    return true;
  }
  m_depthChoice = SelectedRadio(m_depthGroup);
  m_dither = SelectedRadio(m_ditherGroup);
  m_paletteType = SelectedRadio(m_paletteGroup);
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
  FocusGroup(m_depthGroup);
}

void ColorDialog::accept() {
  if (fileRadio->isChecked() && m_paletteFile.isEmpty()) {
    if (m_messages) m_messages->ShowMessage(tr("パレットファイルを指定してください").toStdString());
    paletteFileButton->setFocus();
    return;
  }
  if (!Transfer(false)) {
    if (m_messages) m_messages->ShowMessage(tr("精度には 1 から 16 までの整数を入力してください").toStdString());
    precisionEdit->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace pixmill::ui
