// The convert dialog: the export's form, output, LZSS and palette.
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "ui/dialogs.h"
#include "ui/qt_platform.h"

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
  QVBoxLayout* characterLayout = nullptr;
  characterGroup = Group(tr("キャラクタ"), characterLayout);
  uniqueBox = new QCheckBox(tr("重複を除く"));
  uniqueBox->setToolTip(tr("同じ8×8ブロックは一度だけ書き出す"));
  flipsBox = new QCheckBox(tr("反転も同じとする"));
  flipsBox->setToolTip(tr("左右・上下に反転したブロックも同じブロックとみなす"));
  budgetSpin = new QSpinBox;
  budgetSpin->setRange(0, kMaxMapCharacters);
  budgetSpin->setSpecialValueText(tr("制限なし"));
  budgetSpin->setToolTip(tr("キャラクタ数の上限: 超えると近いブロックをまとめる"));
  mapEdit = new QLineEdit;
  mapEdit->setPlaceholderText(tr("マップなし"));
  mapButton = new QPushButton(tr("マップ..."));
  auto* budgetRow = new QHBoxLayout;
  budgetRow->addWidget(new QLabel(tr("上限")));
  budgetRow->addWidget(budgetSpin, 1);
  auto* mapRow = new QHBoxLayout;
  mapRow->addWidget(mapEdit, 1);
  mapRow->addWidget(mapButton);
  characterLayout->addWidget(uniqueBox);
  characterLayout->addWidget(flipsBox);
  characterLayout->addLayout(budgetRow);
  characterLayout->addLayout(mapRow);
  sizeLabel = new QLabel;
  sizeLabel->setWordWrap(true);
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
  auto* left = new QVBoxLayout;
  left->addWidget(formBox);
  left->addWidget(characterGroup);
  left->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(middle);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(sizeLabel);

  connect(bitmapRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormBitmap); });
  connect(textureRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormTexture); });
  connect(characterRadio, &QRadioButton::clicked, this, [this] { OnFormClicked(kFormCharacter); });
  connect(mapButton, &QPushButton::clicked, this, [this] {
    if (!askMapPath) return;
    if (const QString path = askMapPath(); !path.isEmpty()) mapEdit->setText(path);
  });
  for (QAbstractButton* b : {static_cast<QAbstractButton*>(binaryRadio), static_cast<QAbstractButton*>(textRadio),
                             static_cast<QAbstractButton*>(lzssBox), static_cast<QAbstractButton*>(paletteBox),
                             static_cast<QAbstractButton*>(uniqueBox), static_cast<QAbstractButton*>(flipsBox)}) {
    connect(b, &QAbstractButton::toggled, this, [this] { MeasureSize(); });
  }
  connect(budgetSpin, &QSpinBox::valueChanged, this, [this] { MeasureSize(); });
  connect(&m_measuring, &QFutureWatcher<Measured>::finished, this, [this] {
    const Measured m = m_measuring.result();
    if (m.serial != *m_latest) return;  // a later choice is being measured
    if (!m.ok) {
      sizeLabel->setText(tr("書き出せません: %1").arg(FromUtf8(m.reason)));
      return;
    }
    const ExportSummary& s = m.summary;
    QString text = tr("サイズ %L1 バイト").arg(static_cast<qulonglong>(s.bytes));
    if (m.choices.output == kOutputText) text += tr("、DATA %L1 行").arg(static_cast<qulonglong>(s.dataLines));
    if (m.choices.lzss) text += tr("（圧縮前 %L1 バイト）").arg(static_cast<qulonglong>(s.uncompressed));
    if (m.choices.form == kFormCharacter) text += tr("、キャラクタ %L1 個").arg(static_cast<qulonglong>(s.characters));
    sizeLabel->setText(text);
  });
  connect(okButton, &QPushButton::clicked, this, &ConvertDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &ConvertDialog::reject);
  Transfer(true);
  FixSize(this);
}

void ConvertDialog::Transfer(bool toControls) {
  if (toControls) {
    const QuietWhile quiet(m_quiet);
    SelectRadio(m_formGroup, m_form);
    SelectRadio(m_outputGroup, m_output);
    lzssBox->setChecked(m_lzss != 0);
    paletteBox->setChecked(m_palette != 0);
    uniqueBox->setChecked(m_unique != 0);
    flipsBox->setChecked(m_flips != 0);
    budgetSpin->setValue(m_maxCharacters);
    mapEdit->setText(m_mapFile);
  } else {
    m_form = SelectedRadio(m_formGroup);
    m_output = SelectedRadio(m_outputGroup);
    m_lzss = lzssBox->isChecked() ? 1 : 0;
    m_palette = paletteBox->isChecked() ? 1 : 0;
    m_unique = uniqueBox->isChecked() ? 1 : 0;
    m_flips = flipsBox->isChecked() ? 1 : 0;
    m_maxCharacters = budgetSpin->value();
    m_mapFile = mapEdit->text().trimmed();
  }
}

CharacterChoices ConvertDialog::Characters() const {
  CharacterChoices c;
  if (m_form != kFormCharacter) return c;
  c.unique = m_unique != 0;
  c.flips = m_flips != 0;
  c.maxCharacters = m_maxCharacters;
  c.mapPath = ToPath(m_mapFile);
  return c;
}

void ConvertDialog::MeasureSize() {
  if (m_quiet) return;
  const int serial = ++*m_latest;
  if (!m_picture || SelectedRadio(m_formGroup) < 0) {
    sizeLabel->clear();
    return;
  }
  const ExportChoices choices{SelectedRadio(m_formGroup), SelectedRadio(m_outputGroup), lzssBox->isChecked() ? 1 : 0,
                              paletteBox->isChecked() ? 1 : 0};
  CharacterChoices characters;
  if (choices.form == kFormCharacter) {
    characters.unique = uniqueBox->isChecked();
    characters.flips = flipsBox->isChecked();
    characters.maxCharacters = budgetSpin->value();
  }
  sizeLabel->setText(tr("サイズを計算中…"));
  m_measuring.setFuture(QtConcurrent::run([picture = m_picture, choices, characters, serial, latest = m_latest] {
    Measured m;
    m.serial = serial;
    m.choices = choices;
    if (serial != *latest) return m;  // another choice came since
    const Result r = MeasureExportCommand(*picture, choices, characters, m.summary);
    m.ok = r.ok();
    m.reason = r.reason();
    return m;
  }));
}

void ConvertDialog::Enable(const ConvertOffer& offer) {
  characterGroup->setEnabled(offer.character && m_form == kFormCharacter);
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
  m_unique = m_flips = m_maxCharacters = 0;
  m_mapFile.clear();
  Transfer(true);
  m_state = StartConvertDialog(m_bitCount, m_width, m_height);
  m_form = m_state.fields.form;
  m_output = m_state.fields.output;
  m_lzss = m_state.fields.lzss;
  m_palette = m_state.fields.palette;
  Enable(m_state.enabled);
  Transfer(true);
  MeasureSize();
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
  MeasureSize();
}

void ConvertDialog::accept() {
  Transfer(false);
  QDialog::accept();
}

}  // namespace pixmill::ui
