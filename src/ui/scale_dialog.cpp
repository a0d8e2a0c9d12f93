// The scale dialog: the new size in pixels or percent, the aspect kept or not.
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "image/image_buffer.h"
#include "ui/dialog_units.h"
#include "ui/dialogs.h"

namespace pixmill::ui {

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

ScaleDialog::ScaleDialog(QWidget* parent, MessageSink* messages) : ModalDialog(parent), m_messages(messages) {
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
    if (m_started) OnWidthUnit();
  });
  connect(heightUnit, &QComboBox::currentIndexChanged, this, [this] {
    if (m_started) OnHeightUnit();
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
  m_started = false;
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
  m_started = true;
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
    if (m_messages) m_messages->ShowMessage(tr("1から4096までの数を入力してください").toStdString());
    return;
  }
  Transfer(false);
  QDialog::accept();
}

}  // namespace pixmill::ui
