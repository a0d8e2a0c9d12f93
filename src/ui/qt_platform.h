// The platform interfaces of the core, answered by Qt: the progress bar,
// the save dialog and message boxes; plus the wait cursor and the
// conversion of classic file-filter strings.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "platform/progress.h"
#include "platform/prompts.h"
#include "platform/system_colors.h"

namespace pixmill::ui {

// Drives a progress bar while a long operation keeps the one thread busy.
// A bar repaints itself at once when a new value changes what it shows, and
// only then; the bar is given a new value at most about 30 times a second
// however often the operation reports, and always when the operation goes
// back to its start.
class BarProgress : public ProgressSink {
 public:
  explicit BarProgress(QProgressBar* bar) : m_bar(bar) { m_shown.start(); }
  void SetRange(int lo, int hi) override;
  void SetPosition(int pos) override;

 private:
  void Show(int pos);
  static constexpr qint64 kInterval = 33;  // milliseconds between new values

  QProgressBar* m_bar;
  QElapsedTimer m_shown;
  // The clock is read only once the position has moved on by a step of
  // about a two-thousandth of the range since it was last read.
  int m_gate = 1;
  int m_lastRead = 0;
};

// Sets a file dialog up for a save request: its file types with the
// request's one selected, the proposed name, and the extension a name typed
// without one takes: the selected type's, or the request's default for a
// type without one of its own (ALL), following the type the user picks.
void ConfigureSaveDialog(QFileDialog& dialog, const SaveRequest& request);

class DialogSavePrompt : public SavePathPrompt {
 public:
  explicit DialogSavePrompt(QWidget* parent) : m_parent(parent) {}
  std::optional<std::string> AskSavePath(const SaveRequest& request) override;

 private:
  QWidget* m_parent;
};

class BoxMessages : public MessageSink {
 public:
  explicit BoxMessages(QWidget* parent) : m_parent(parent) {}
  void ShowMessage(const std::string& text) override;
  void ShowFailure(const std::string& text) override;

 private:
  QWidget* m_parent;
};

// Qt's name filters for classic filter entries. Each label already ends in
// its pattern, "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)"; the pattern matches both letter cases, as
// file names on this platform come in either.
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

// The wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Where the pointer really is, in device pixels from the top left of the
// window's inside, when the platform can say (an X server): the positions
// of mouse events come in whole logical pixels, which at a device pixel
// ratio above 1 do not tell the device pixels apart.
std::optional<QPoint> NativePointer(const QWidget& window);

// The colour of button faces, which is the transparent key colour: the
// window's background and what the preview shows beyond the picture.
inline QColor ButtonFace() {
  return QColor(kButtonFaceColour & 0xFF, (kButtonFaceColour >> 8) & 0xFF, (kButtonFaceColour >> 16) & 0xFF);
}

inline QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
// File names go to and come from the file system in its own encoding.
inline std::string ToPath(const QString& s) { return s.toLocal8Bit().toStdString(); }

}  // namespace pixmill::ui
