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
  bitmapRadio = AddRadio(m_formGroup, formLayout, tr("ビットマップ形式"), kFormBitmap);
  textureRadio = AddRadio(m_formGroup, formLayout, tr("テクスチャ形式"), kFormTexture);
  characterRadio = AddRadio(m_formGroup, formLayout, tr("キャラクタ形式"), kFormCharacter);
  binaryRadio = AddRadio(m_outputGroup, outputLayout, tr("バイナリ形式"), kOutputBinary);
  textRadio = AddRadio(m_outputGroup, outputLayout, tr("テキスト形式"), kOutputText);
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
    SelectRadio(m_formGroup, m_form);
    SelectRadio(m_outputGroup, m_output);
    lzssBox->setChecked(m_lzss != 0);
    paletteBox->setChecked(m_palette != 0);
  } else {
    m_form = SelectedRadio(m_formGroup);
    m_output = SelectedRadio(m_outputGroup);
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
  m_state = StartConvertDialog(m_bitCount, m_width, m_height);
  m_form = m_state.fields.form;
  m_output = m_state.fields.output;
  m_lzss = m_state.fields.lzss;
  m_palette = m_state.fields.palette;
  Enable(m_state.enabled);
  Transfer(true);
  // The first enabled control in tab order takes the focus.
  if (!FocusGroup(m_formGroup) && !FocusGroup(m_outputGroup)) {
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
  m_state.fields = {m_form, m_output, m_lzss, m_palette};
  ClickForm(m_state, form);
  m_form = m_state.fields.form;
  m_output = m_state.fields.output;
  m_lzss = m_state.fields.lzss;
  Enable(m_state.enabled);
  Transfer(true);
}

void ConvertDialog::accept() {
  Transfer(false);
  QDialog::accept();
}

}  // namespace pixmill::ui
