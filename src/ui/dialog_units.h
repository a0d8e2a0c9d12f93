// Dialog units: a quarter of the average character width across and an
// eighth of the character height down, in the dialog's font.
#pragma once

#include <QFont>
#include <QFontMetrics>

namespace pixmill::ui {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics m(font);
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (m.horizontalAdvance(kLetters) / 26 + 1) / 2;
    m_baseY = m.height();
  }
  int X(int units) const { return units * m_baseX / 4; }
  int Y(int units) const { return units * m_baseY / 8; }

 private:
  int m_baseX = 6;
  int m_baseY = 12;
};

// The font of the program's windows: 9 point, a Japanese face.
QFont DialogFont();

}  // namespace pixmill::ui
