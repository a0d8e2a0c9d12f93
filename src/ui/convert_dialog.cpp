// The convert dialog: the export's form, output, LZSS and palette.
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/dialogs.h"

namespace pixmill::ui {

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

}  // namespace pixmill::ui
