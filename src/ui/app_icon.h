#pragma once

#include <QIcon>

namespace pixmill::ui {

// The program's icon: a small pixel-art palette, drawn at start-up.
QIcon AppIcon();

}  // namespace pixmill::ui
