// The desktop program: runs the main window and ends when it closes.
#include <QApplication>
#include <QStringList>

#include "ui/app_icon.h"
#include "ui/main_dialog.h"

namespace pixmill::ui {

class PixmillApp : public QApplication {
 public:
  PixmillApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Pixmill"));
    setApplicationVersion(QStringLiteral("2.0"));
    setWindowIcon(AppIcon());
    QStringList args = arguments();
    args.removeFirst();
    m_cmdLine = args.join(' ');
  }

  int InitInstance() {
    MainDialog dialog(m_cmdLine);
    dialog.show();
    return dialog.exec() == QDialog::Accepted ? 0 : 0;
  }

  QString m_cmdLine;
};

}  // namespace pixmill::ui

int main(int argc, char** argv) {
  pixmill::ui::PixmillApp app(argc, argv);
  return app.InitInstance();
}
