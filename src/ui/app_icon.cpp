#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

#include "ui/dialog_units.h"

namespace pixmill::ui {

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const int cell = size / 4;
    static const QColor kColours[16] = {{0, 0, 0},     {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
                                        {168, 0, 0},   {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
                                        {84, 84, 84},  {84, 84, 248},  {84, 248, 84},  {84, 248, 248},
                                        {248, 84, 84}, {248, 84, 248}, {248, 248, 84}, {248, 248, 248}};
    for (int i = 0; i < 16; ++i) p.fillRect((i % 4) * cell, (i / 4) * cell, cell, cell, kColours[i]);
    p.setPen(QColor(0, 0, 0));
    p.drawRect(0, 0, size - 1, size - 1);
    icon.addPixmap(pixmap);
  }
  return icon;
}

QFont DialogFont() {
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(9);
  return font;
}

}  // namespace pixmill::ui
