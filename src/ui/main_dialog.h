// The main window: the one picture, its preview with scroll bars, the six
// commands, dropping files and picking the transparent colour.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <memory>
#include <optional>

#include "app/document.h"
#include "ui/dialogs.h"
#include "ui/preview.h"
#include "ui/qt_platform.h"

namespace pixmill::ui {

class MainDialog : public QDialog {
  Q_OBJECT
 public:
  // `cmdLine` is the program's command line: a file to load, quotes allowed.
  explicit MainDialog(QString cmdLine, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Start-up, once the window shows: progress bar to the picture, the key
  // colour, the command line (a file that cannot be loaded is reported
  // over the window).
  void OnInitDialog();

  // The commands.
  void OnOpen();
  void OnSave();
  void OnConvert();
  void OnScale();
  void OnColor();
  void OnTransparent();
  void OnAbout();

  // Loads a file as Open, a drop and the command line do; says why when it
  // cannot. True when the picture was replaced.
  bool LoadPath(const QString& path);
  void UpdateTitle();
  // Scroll ranges from the picture and what the preview shows of it.
  void UpdateScrollRanges();

  // Picks the colour of a picture pixel, or the key colour for none.
  void Pick(std::optional<QPoint> pixel);

  // The platform prompts; tests replace them with fakes.
  void SetSavePrompt(SavePathPrompt* prompt) { savePrompt_ = prompt; }
  void SetMessages(MessageSink* messages) { messages_ = messages; }
  BarProgress& Progress() { return *progress_; }

  Document m_doc;  // the picture, its file name and the picked colour
  QString m_cmdLine;
  int m_hScrollMax = 0;
  int m_vScrollMax = 0;
  int m_keepAspect = 1;
  int m_ditherChoice = 1;
  int m_paletteChoice = 0;
  int m_lastHPos = 0;
  int m_lastVPos = 0;

  QPushButton* openButton;
  QPushButton* saveButton;
  QPushButton* convertButton;
  QPushButton* scaleButton;
  QPushButton* colourButton;
  QPushButton* transparentButton;
  QLineEdit* swatch;
  QToolButton* aboutButton;
  PreviewView* preview;
  QScrollBar* vScroll;
  QScrollBar* hScroll;
  QProgressBar* progressBar;

 protected:
  // Seams for the tests: how an option dialog runs and how Open asks for a
  // file. The program runs them modally.
  virtual int RunModal(ModalDialog& dialog) { return dialog.exec(); }
  virtual void RunAbout(QDialog& about) { about.exec(); }
  virtual QString AskOpenPath();

  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The option dialog is gone from the screen and the window repainted
  // before the long work of its command starts.
  void Settle();
  // Shows why a command failed, reading or writing a file; nothing for a
  // cancel or nothing to do.
  void Report(const QString& what, const Result& r, bool writing);
  void OnScroll(QScrollBar* bar, int max, int& last, int action, bool horizontal);
  // Scrolling asked for by the wheel or the keys over the preview.
  void ScrollBy(Qt::Orientation orientation, int action);
  void PaintSwatch();
  void Repaint();

  std::unique_ptr<BarProgress> progress_;
  DialogSavePrompt dialogSave_{this};
  BoxMessages boxMessages_{this};
  SavePathPrompt* savePrompt_ = &dialogSave_;
  MessageSink* messages_ = &boxMessages_;
};

}  // namespace pixmill::ui
