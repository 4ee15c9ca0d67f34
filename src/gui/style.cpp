#include "gui/style.h"

#include <QPalette>
#include <QWidget>

namespace tavrine::gui {

QFont PixelFont(int px, bool bold) {
  QFont f(QString::fromLatin1(kFontFamily));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

void Fill(QWidget* w, const QColor& c) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
}

}  // namespace tavrine::gui
