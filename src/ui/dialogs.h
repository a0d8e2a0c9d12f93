// The option dialogs of the three commands, the choice of a reading and
// the About box.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/convert_rules.h"
#include "app/document.h"
#include "platform/prompts.h"

namespace pixmill::ui {

// A modal dialog whose start-up runs when it is shown modally.
class ModalDialog : public QDialog {
  Q_OBJECT
 public:
  using QDialog::QDialog;
  virtual void OnInitDialog() = 0;
  int exec() override {
    OnInitDialog();
    return QDialog::exec();
  }
};

// What the dialogs are built of: a radio added to a group and a layout,
// a framed group, a dialog's caption and font, and its size fixed at what
// its layout wants.
QRadioButton* AddRadio(QButtonGroup& group, QVBoxLayout* layout, const QString& caption, int index);
QGroupBox* Group(const QString& caption, QVBoxLayout*& inner);
void PrepareDialog(QDialog* d, const QString& caption);
void FixSize(QDialog* d);

// Sets a flag for its lifetime.
class QuietWhile {
 public:
  explicit QuietWhile(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
  ~QuietWhile() { m_flag = m_was; }
  QuietWhile(const QuietWhile&) = delete;
  QuietWhile& operator=(const QuietWhile&) = delete;

 private:
  bool& m_flag;
  bool m_was;
};

// Selects the button of `index` in an exclusive group, or none for -1.
void SelectRadio(QButtonGroup& group, int index);
// The index of the selected button, -1 when none is.
int SelectedRadio(const QButtonGroup& group);
// Focus to the group's selected radio (else its first enabled one).
bool FocusGroup(QButtonGroup& group);

class ConvertDialog : public ModalDialog {
  Q_OBJECT
 public:
  explicit ConvertDialog(QWidget* parent = nullptr);

  // Fields, moved to and from the controls by Transfer.
  int m_form = -1;
  int m_output = -1;
  int m_lzss = 0;
  int m_palette = 0;
  // The character form's choices beyond those four, offered with it.
  int m_unique = 0;
  int m_flips = 0;
  int m_maxCharacters = 0;  // 0: no budget
  QString m_mapFile;        // empty: no map
  // The picture's size and depth, set by the window before the dialog runs;
  // and the picture itself, for the size its export comes to.
  int m_width = 0;
  int m_height = 0;
  int m_bitCount = 0;
  std::shared_ptr<const ImageBuffer> m_picture;
  // Asks where the map goes; set by the window that runs the dialog.
  std::function<QString()> askMapPath;

  void Transfer(bool toControls);
  // The choices the fields hold, as the export takes them.
  ExportChoices Choices() const { return {m_form, m_output, m_lzss, m_palette}; }
  CharacterChoices Characters() const;

  QRadioButton* bitmapRadio;
  QRadioButton* textureRadio;
  QRadioButton* characterRadio;
  QRadioButton* binaryRadio;
  QRadioButton* textRadio;
  QCheckBox* lzssBox;
  QCheckBox* paletteBox;
  QGroupBox* characterGroup;
  QCheckBox* uniqueBox;
  QCheckBox* flipsBox;
  QSpinBox* budgetSpin;
  QLineEdit* mapEdit;
  QPushButton* mapButton;
  QLabel* sizeLabel;  // the size the export of the choice shown comes to
  QPushButton* okButton;
  QPushButton* cancelButton;

  void OnInitDialog() override;
  void accept() override;

 private:
  void OnFormClicked(int form);
  void Enable(const ConvertOffer& offer);
  // Measures, beside the dialog, the export of the choice the controls show;
  // the label says so until the figure is there.
  void MeasureSize();

  QButtonGroup m_formGroup;
  QButtonGroup m_outputGroup;
  ConvertDialogState m_state;
  struct Measured {
    int serial = 0;
    bool ok = false;
    std::string reason;
    ExportSummary summary;
    ExportChoices choices;
  };
  QFutureWatcher<Measured> m_measuring;
  // The latest measuring asked for; earlier ones not yet begun are skipped.
  std::shared_ptr<std::atomic<int>> m_latest = std::make_shared<std::atomic<int>>(0);
  bool m_quiet = false;  // while the controls are set from the fields
};

class ColorDialog : public ModalDialog {
  Q_OBJECT
 public:
  explicit ColorDialog(QWidget* parent = nullptr, MessageSink* messages = nullptr);

  int m_depthChoice = -1;  // 0 "1bit" .. 4 "24bit"
  int m_dither = -1;       // 0 none, 1 error diffusion, 2 ordered
  int m_paletteType = -1;  // a PaletteKind: 0 optimised, 1 standard, 2 a palette file, 3 quality
  QString m_paletteFile;   // the palette file chosen, for 2
  int m_precisionValue = 0;

  // Fields to the controls, or back; false when the precision text is not
  // a whole number from 1 to 16.
  bool Transfer(bool toControls);
  void OnInitDialog() override;
  void accept() override;

  std::array<QRadioButton*, 5> depthRadios{};
  QRadioButton* noneRadio;
  QRadioButton* diffusionRadio;
  QRadioButton* orderedRadio;
  QRadioButton* optimizedRadio;
  QRadioButton* standardRadio;
  QRadioButton* qualityRadio;
  QRadioButton* fileRadio;
  QPushButton* paletteFileButton;
  // Asks for the palette file; set by the window that runs the dialog.
  std::function<QString()> askPaletteFile;
  QSpinBox* precisionSpin;
  QLineEdit* precisionEdit;
  QPushButton* okButton;
  QPushButton* cancelButton;

 private:
  void ShowPaletteFile();

  MessageSink* m_messages;
  QButtonGroup m_depthGroup;
  QButtonGroup m_ditherGroup;
  QButtonGroup m_paletteGroup;
};

class ScaleDialog : public ModalDialog {
  Q_OBJECT
 public:
  explicit ScaleDialog(QWidget* parent = nullptr, MessageSink* messages = nullptr);

  QString m_widthText;
  QString m_heightText;
  int m_keepAspectBox = 0;
  int m_linked = 0;
  double m_newWidth = 0;
  double m_newHeight = 0;
  double m_baseWidth = 0;
  double m_baseHeight = 0;
  double m_aspect = 0;

  void Transfer(bool toControls);
  void OnInitDialog() override;
  void accept() override;

  QLineEdit* widthEdit;
  QLineEdit* heightEdit;
  QComboBox* widthUnit;
  QComboBox* heightUnit;
  QCheckBox* aspectBox;
  QPushButton* okButton;
  QPushButton* cancelButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnWidthEdited();
  void OnHeightEdited();
  void OnWidthUnit();
  void OnHeightUnit();
  void OnAspectClicked();

  MessageSink* m_messages;
  bool m_started = false;
};

// The leading number of a text as atof reads it (blanks, sign, digits,
// fraction, exponent); 0 when the text starts with no number.
double LeadingNumber(const QString& text);
// "%d" of the value truncated toward zero.
QString WholeText(double value);

// Exported data whose size fits more than one layout: which reading to
// take, the one the loader took first chosen to begin with.
class ReadingDialog : public ModalDialog {
  Q_OBJECT
 public:
  ReadingDialog(const QString& fileName, const std::vector<DataReading>& readings, QWidget* parent = nullptr);
  void OnInitDialog() override;
  // The index of the chosen reading.
  int Chosen() const { return SelectedRadio(group); }
  // "8 ビット、パレット付き": a reading in the program's words.
  static QString ReadingText(const DataReading& reading);

  QButtonGroup group;
  std::vector<QRadioButton*> radios;
  QPushButton* okButton;
};

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace pixmill::ui
