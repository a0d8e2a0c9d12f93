// The desktop program: runs the main window and ends when it closes.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/language.h"
#include "ui/main_dialog.h"

namespace pixmill::ui {

class PixmillApp : public QApplication {
 public:
  PixmillApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Pixmill"));
    setApplicationVersion(QString::fromLatin1(kVersion));
    setWindowIcon(AppIcon());
    InstallTranslations(*this);
    QStringList args = arguments();
    args.removeFirst();
    m_cmdLine = args.join(' ');
  }

  // Runs the main window; the program ends when it closes, which is its
  // normal end whichever way it closes.
  int InitInstance() {
    MainDialog dialog(m_cmdLine);
    dialog.show();
    dialog.OnInitDialog();
    (void)dialog.exec();
    return 0;
  }

  QString m_cmdLine;
};

}  // namespace pixmill::ui

int main(int argc, char** argv) {
  pixmill::ui::PixmillApp app(argc, argv);
  const int status = app.InitInstance();
  // Nothing is left to write once the window has closed (every save is
  // complete when its command returns), so the program leaves at once,
  // without waiting for the teardown of Qt's helper threads and caches.
  std::fflush(nullptr);
  std::_Exit(status);
}
