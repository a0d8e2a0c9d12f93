// The main window: the one picture, its preview with scroll bars and zoom,
// the six commands, undo and redo, dropping files, picking the transparent
// colour, and a status bar that tells about the picture and the pixel under
// the pointer.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegion>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QToolButton>
#include <functional>
#include <memory>
#include <optional>

#include "app/document.h"
#include "app/history.h"
#include "ui/dialogs.h"
#include "ui/palette_panel.h"
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
  void OnUndo();
  void OnRedo();
  // Writes the picture's palette to a file the user names.
  void OnSavePalette();

  // Loads a file as Open, a drop and the command line do; says why when it
  // cannot. True when the picture was replaced.
  // A character export is read with its map: `mapPath`, or one asked for.
  bool LoadPath(const QString& path, const QString& mapPath = {});
  void UpdateTitle();
  // Scroll ranges from the picture and what the preview shows of it.
  void UpdateScrollRanges();

  // The zoom levels: fit (0), then 1/4, 1/2, 1, 2, 3, 4, 6, 8, 12, 16.
  static constexpr double kZooms[] = {0, 0.25, 0.5, 1, 2, 3, 4, 6, 8, 12, 16};
  // Zooms to a level, keeping the picture pixel under `around` (preview
  // coordinates; its middle when none) where it is.
  void SetZoomLevel(int level, std::optional<QPointF> around = std::nullopt);
  int ZoomLevel() const { return m_zoomLevel; }

  // Picks the colour of a picture pixel, or the key colour for none.
  void Pick(std::optional<QPoint> pixel);
  // The status bar's text about the pixel under the pointer.
  void Hover(std::optional<QPoint> pixel);

  // The platform prompts; tests replace them with fakes.
  void SetSavePrompt(SavePathPrompt* prompt) { m_savePrompt = prompt; }
  void SetMessages(MessageSink* messages) { m_messages = messages; }
  BarProgress& Progress() { return *m_progress; }

  Document m_doc;  // the picture, its file name and the picked colour
  History m_history;
  QString m_cmdLine;
  int m_hScrollMax = 0;
  int m_vScrollMax = 0;
  int m_keepAspect = 1;
  int m_ditherChoice = 1;
  int m_paletteChoice = 0;
  QString m_paletteFile;  // the palette file chosen in the colour dialog, for the run
  int m_lastHPos = 0;
  int m_lastVPos = 0;

  QPushButton* openButton;
  QPushButton* saveButton;
  QPushButton* convertButton;
  QPushButton* scaleButton;
  QPushButton* colourButton;
  QPushButton* transparentButton;
  QLineEdit* swatch;
  QComboBox* zoomBox;
  QCheckBox* gridBox;
  QCheckBox* consoleBox;
  QCheckBox* paletteBox;  // the palette panel shown, for the run
  PalettePanel* palettePanel;
  QCheckBox* cellBox;       // the cell grid
  QLineEdit* cellSizeEdit;  // its cells' size, WxH
  QToolButton* aboutButton;
  PreviewView* preview;
  QScrollBar* vScroll;
  QScrollBar* hScroll;
  QProgressBar* progressBar;
  QLabel* pictureStatus;  // size, depth, colours in use, zoom
  QLabel* pixelStatus;    // the pixel under the pointer
  QLabel* pickedStatus;   // the picked colour

 protected:
  // Seams for the tests: how an option dialog runs and how Open asks for a
  // file. The program runs them modally.
  virtual int RunModal(ModalDialog& dialog) { return dialog.exec(); }
  virtual void RunAbout(QDialog& about) { about.exec(); }
  virtual QString AskOpenPath();
  // A palette file to read (a palette or a picture with one), or to write
  // (m_riffChosen tells whether the RIFF type was chosen for it).
  virtual QString AskPalettePath(bool save);
  bool m_riffChosen = false;
  // A colour for a palette entry; invalid when the user cancels.
  virtual QColor AskColour(const QColor& initial);
  // The map of a character export: where it goes, or the one to read.
  virtual QString AskMapPath(bool save);

  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The option dialog is gone from the screen and what it covered of the
  // window repainted before the long work of its command starts.
  void Settle();
  // Runs a command that may change the document as one undo step: the
  // state before it is kept, the wait cursor shows while it runs, and the
  // step is forgotten when the command fails and changed nothing.
  // `recorded` tells whether the step was kept.
  Result Change(const std::function<Result()>& command, bool* recorded = nullptr);
  // Says what was done in the status bar for a few seconds.
  void Notice(const QString& text);
  // Shows why a command failed, reading or writing a file; nothing for a
  // cancel or nothing to do.
  void Report(const QString& what, const Result& r, bool writing);
  // Everything that follows the picture after it changed: title, scroll
  // ranges, zoom at fit, swatch, status bar, preview.
  void PictureChanged();
  // The figures of the last colour change, once measured.
  void ShowMeasuredChange();
  void OnScroll(QScrollBar* bar, int max, int& last, int action);
  // Scrolling asked for by the wheel or the keys over the preview.
  void ScrollBy(Qt::Orientation orientation, int action);
  // Moves both bars to the given positions (clamped), as a thumb move does.
  void ScrollTo(int hpos, int vpos);
  void ApplyFit();
  // The pixel readout of where the pointer is now, over the picture as it
  // now is and as it is now shown.
  void FollowPointer();
  void ShowCellGrid();
  // The palette panel: shown for pictures with a palette, when asked for.
  void ShowPalette();
  void OnEntryClicked(int entry, bool partner);
  void OnEditEntry();
  void OnSwapEntries();
  void OnMoveEntry(int by);
  void OnLoadPalette();
  // A palette edit as one undo step, the panel's choice kept where asked.
  void EditPalette(const std::function<Result()>& edit, std::optional<int> chosen, std::optional<int> partner);
  void PaintSwatch();
  void ShowPictureStatus();

  std::unique_ptr<BarProgress> m_progress;
  DialogSavePrompt m_dialogSave{this};
  BoxMessages m_boxMessages{this};
  SavePathPrompt* m_savePrompt = &m_dialogSave;
  MessageSink* m_messages = &m_boxMessages;
  int m_zoomLevel = 3;  // 1x
  int m_coloursInUse = 0;
  size_t m_blocks = 0;         // distinct 8 x 8 blocks
  bool m_cellsChosen = false;  // the user set the cell grid on or off
  int m_pictureSerial = 0;
  // Where windows of this program (dialogs) left the screen since the last
  // Settle, in screen coordinates; all of it when one of them was shown by
  // the desktop itself (a native file dialog), whose place is not known.
  QRegion m_uncovered;
  bool m_uncoveredAll = false;
  ConvertDialog* m_convertDialog = nullptr;  // a child of the window  // counts the changes of the picture
  QString m_changeReport;                    // how far the last colour change moved it
  QFutureWatcher<ChangeReport> m_measuring;  // the measuring of the last colour change
  int m_measuredSerial = -1;
  int m_measuredDepth = 0;
};

}  // namespace pixmill::ui
