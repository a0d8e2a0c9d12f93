#include "ui/language.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace pixmill::ui {

void InstallTranslations(QCoreApplication& app) {
  auto* qt = new QTranslator(&app);
  if (qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  }
}

}  // namespace pixmill::ui
