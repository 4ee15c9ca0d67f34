#include "gui/splash_window.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/style.h"

namespace tavrine::gui {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TSplashWindow"));
  setFixedSize(344, 154);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setLineWidth(2);
  Fill(panel, kPickerFace);
  outer->addWidget(panel);

  auto* v = new QVBoxLayout(panel);
  v->setContentsMargins(20, 12, 20, 12);
  v->setSpacing(4);
  auto* title = new QLabel(QStringLiteral("tavrine"), panel);
  title->setFont(PixelFont(26, true));
  title->setStyleSheet(QStringLiteral("color: %1").arg(kHeadingFace.name()));
  auto* opening = new QLabel(QStringLiteral("tavrine_veｒ1.2を開いています。"), panel);
  opening->setFont(PixelFont(13));
  auto* wait = new QLabel(QStringLiteral("しばらく、お待ちください。"), panel);
  wait->setFont(PixelFont(13));
  prog_ = new QLabel(QStringLiteral("---"), panel);
  prog_->setObjectName(QStringLiteral("LabelProg"));
  prog_->setFont(PixelFont(13));
  prog_->setStyleSheet(QStringLiteral("color: #800000"));
  v->addWidget(title);
  v->addWidget(opening);
  v->addWidget(wait);
  v->addStretch(1);
  v->addWidget(prog_);

  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect g = s->availableGeometry();
    move(g.center() - QPoint(width() / 2, height() / 2));
  }
}

void SplashWindow::setProgress(const QString& text) {
  prog_->setText(text);
  if (!isVisible()) return;
  prog_->repaint();
  // Let the window system put the painted line on screen; user input waits.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tavrine::gui
