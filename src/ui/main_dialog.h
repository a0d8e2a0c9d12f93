// The main window: the one picture, its preview with scroll bars, the six
// commands, dropping files and picking the transparent colour.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include <memory>

#include "app/document.h"
#include "ui/dialogs.h"
#include "ui/qt_platform.h"

namespace pixmill::ui {

class MainDialog;

// The framed preview: frame pixel (X, Y) shows picture pixel
// (hpos + X - 1, vpos + Y - 1); beyond the picture, the key colour.
class PreviewFrame : public QFrame {
  Q_OBJECT
 public:
  explicit PreviewFrame(const MainDialog& owner, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const MainDialog& owner_;
};

class MainDialog : public QDialog {
  Q_OBJECT
 public:
  // `cmdLine` is the program's command line: a file to load, quotes allowed.
  explicit MainDialog(QString cmdLine, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Start-up: progress bar to the picture, the key colour, the command line.
  void OnInitDialog();

  // The commands.
  void OnOpen();
  void OnSave();
  void OnConvert();
  void OnScale();
  void OnColor();
  void OnTransparent();
  void OnAbout();

  // Loads a file as Open, a drop and the command line do. True when the
  // picture was replaced.
  bool LoadPath(const QString& path);
  void UpdateTitle();
  void ScrollPreview(int dx, int dy);

  // Where the preview's first picture pixel lies in the window.
  QPoint PreviewOrigin() const;
  // The picture pixel a click at window position `pos` picks.
  void PickAt(const QPoint& pos);

  // The platform prompts; tests replace them with fakes.
  void SetSavePrompt(SavePathPrompt* prompt) { savePrompt_ = prompt; }
  void SetMessages(MessageSink* messages) { messages_ = messages; }

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
  PreviewFrame* preview;
  QScrollBar* vScroll;
  QScrollBar* hScroll;
  QProgressBar* progressBar;

 protected:
  // Seams for the tests: how an option dialog runs and how Open asks for a
  // file. The program runs them modally.
  virtual int RunModal(ModalDialog& dialog) { return dialog.exec(); }
  virtual QString AskOpenPath();

  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void OnScroll(QScrollBar* bar, int max, int& last, int action, bool horizontal);
  void PaintSwatch();
  void Repaint();

  std::unique_ptr<BarProgress> progress_;
  DialogSavePrompt dialogSave_{this};
  BoxMessages boxMessages_{this};
  SavePathPrompt* savePrompt_ = &dialogSave_;
  MessageSink* messages_ = &boxMessages_;
};

}  // namespace pixmill::ui
