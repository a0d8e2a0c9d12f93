// The language of the interface: Qt's own dialogs (file dialogs, message
// boxes, the scroll bars' menus) speak the program's language.
#pragma once

#include <QCoreApplication>

namespace pixmill::ui {

void InstallTranslations(QCoreApplication& app);

}  // namespace pixmill::ui
