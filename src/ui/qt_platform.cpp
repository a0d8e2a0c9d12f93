#include "ui/qt_platform.h"

#include <QtGui/qguiapplication_platform.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <cstdlib>

namespace pixmill::ui {

std::optional<QPoint> NativePointer(const QWidget& window) {
#if QT_CONFIG(xcb)
  const auto* x11 = QGuiApplication::platformName() == QLatin1String("xcb")
                        ? qApp->nativeInterface<QNativeInterface::QX11Application>()
                        : nullptr;
  if (x11 != nullptr) {
    xcb_connection_t* connection = x11->connection();
    const xcb_query_pointer_cookie_t cookie = xcb_query_pointer(connection, static_cast<xcb_window_t>(window.winId()));
    if (xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(connection, cookie, nullptr)) {
      const QPoint at(reply->win_x, reply->win_y);
      std::free(reply);
      return at;
    }
  }
#endif
  (void)window;
  return std::nullopt;
}

void BarProgress::SetRange(int lo, int hi) {
  // Any int range: a long compression counts far more than 65535 steps.
  m_bar->setRange(lo, std::max(lo, hi));
  m_gate = std::max(1, (m_bar->maximum() - lo) / 2000);
  Show(lo);
}

void BarProgress::SetPosition(int pos) {
  if (pos == m_bar->minimum()) return Show(pos);
  if (pos - m_lastRead < m_gate && pos >= m_lastRead) return;
  m_lastRead = pos;
  if (m_shown.elapsed() >= kInterval) Show(pos);
}

void BarProgress::Show(int pos) {
  m_lastRead = pos;
  m_bar->setValue(std::clamp(pos, m_bar->minimum(), m_bar->maximum()));
  m_shown.restart();
}

// The file types' labels the program's dialogs show, for the translation
// tools; the labels themselves come from the core.
[[maybe_unused]] constexpr const char* kFilterLabels[] = {
    QT_TRANSLATE_NOOP("Filters", "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)"), QT_TRANSLATE_NOOP("Filters", "ﾋﾞｯﾄﾏｯﾌﾟ(*.0)"),
    QT_TRANSLATE_NOOP("Filters", "ﾋﾞｯﾄﾏｯﾌﾟ(*.1)"),   QT_TRANSLATE_NOOP("Filters", "ﾃｸｽﾁｬ(*.d)"),
    QT_TRANSLATE_NOOP("Filters", "DATA(*.d)"),       QT_TRANSLATE_NOOP("Filters", "Veltor(*.bas)"),
    QT_TRANSLATE_NOOP("Filters", "ALL(*.*)"),        QT_TRANSLATE_NOOP("Filters", "PNG(*.png)"),
};

QStringList QtNameFilters(const std::vector<FileFilter>& filters) {
  QStringList list;
  for (const FileFilter& f : filters) {
    QString pattern = FromUtf8(f.pattern);
    QStringList patterns = {pattern};
    if (pattern.toLower() != pattern) patterns << pattern.toLower();
    if (pattern.toUpper() != pattern && !patterns.contains(pattern.toUpper())) patterns << pattern.toUpper();
    // The label shows as it is (the pattern part is hidden in the dialog).
    list << QCoreApplication::translate("Filters", f.label.c_str()) + " (" + patterns.join(' ') + ")";
  }
  return list;
}

void ConfigureSaveDialog(QFileDialog& dialog, const SaveRequest& request) {
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  const QStringList filters = QtNameFilters(request.filters);
  dialog.setNameFilters(filters);
  const int selected = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex - 1 : 0;
  if (!filters.isEmpty()) dialog.selectNameFilter(filters[selected]);
  const QString fallback = FromUtf8(request.defaultExtension);
  auto suffixFor = [patterns = request.filters, fallback](qsizetype index) {
    if (index >= 0 && index < static_cast<qsizetype>(patterns.size())) {
      const std::string& pattern = patterns[static_cast<size_t>(index)].pattern;
      if (pattern.rfind("*.", 0) == 0 && pattern.find_first_of("*?;", 2) == std::string::npos) {
        return FromUtf8(pattern.substr(2));
      }
    }
    return fallback;
  };
  dialog.setDefaultSuffix(suffixFor(selected));
  // The dialog names the type the user picks by its label alone, since the
  // patterns are hidden.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, request, suffixFor](const QString& f) {
    qsizetype index = -1;
    for (size_t i = 0; i < request.filters.size(); ++i) {
      if (QCoreApplication::translate("Filters", request.filters[i].label.c_str()) == f)
        index = static_cast<qsizetype>(i);
    }
    dialog.setDefaultSuffix(suffixFor(index));
  });
  dialog.selectFile(FromUtf8(request.proposedName));
}

std::optional<std::string> DialogSavePrompt::AskSavePath(const SaveRequest& request) {
  QFileDialog dialog(m_parent);
  ConfigureSaveDialog(dialog, request);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

void BoxMessages::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Pixmill"), FromUtf8(text), QMessageBox::Ok, m_parent);
  box.exec();
}

void BoxMessages::ShowFailure(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Pixmill"), FromUtf8(text), QMessageBox::Ok, m_parent);
  box.exec();
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace pixmill::ui
