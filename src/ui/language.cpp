#include "ui/language.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace pixmill::ui {

void InstallTranslations(QCoreApplication& app, const QLocale& locale) {
  const bool english = locale.language() == QLocale::English;
  auto* qt = new QTranslator(&app);
  if (qt->load(english ? QStringLiteral("qtbase_en") : QStringLiteral("qtbase_ja"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  }
  if (english) {
    auto* own = new QTranslator(&app);
    if (own->load(QStringLiteral(":/i18n/pixmill_en.qm"))) QCoreApplication::installTranslator(own);
  }
}

}  // namespace pixmill::ui
