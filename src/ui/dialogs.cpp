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

ReadingDialog::ReadingDialog(const QString& fileName, const std::vector<DataReading>& readings, QWidget* parent)
    : ModalDialog(parent) {
  PrepareDialog(this, tr("読み方"));
  auto* layout = new QVBoxLayout(this);
  auto* text =
      new QLabel(tr("%1 の大きさは、書き出したデータのいくつかの形に合います。\nどの形で読みますか。").arg(fileName));
  layout->addWidget(text);
  for (size_t k = 0; k < readings.size(); ++k) {
    radios.push_back(AddRadio(group, layout, ReadingText(readings[k]), static_cast<int>(k)));
  }
  okButton = new QPushButton(QStringLiteral("OK"));
  okButton->setDefault(true);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  layout->addLayout(buttons);
  FixSize(this);
}

void ReadingDialog::OnInitDialog() {
  SelectRadio(group, 0);
  FocusGroup(group);
}

QString ReadingDialog::ReadingText(const DataReading& reading) {
  if (reading.depth > 8) return tr("%1 ビットの色（1 画素 2 バイト）").arg(reading.depth);
  return (reading.palette ? tr("%1 ビット、パレット付き") : tr("%1 ビット、パレットなし")).arg(reading.depth);
}

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
