// The language of the interface. Japanese, the texts the program is written
// in, unless the locale asks for English; Qt's own dialogs (file dialogs,
// message boxes, the scroll bars' menus) follow.
#pragma once

#include <QCoreApplication>
#include <QLocale>

namespace pixmill::ui {

// Installs the translators for the system's locale, or for `locale`.
void InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());

}  // namespace pixmill::ui
