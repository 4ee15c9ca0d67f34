#include "gui/qt_platform.h"

#include <QApplication>
#include <QMessageBox>
#include <QUrl>

#include "gui/help_window.h"
#include "gui/splash_window.h"
#include "gui/widgets.h"

namespace tavrine::gui {

void QtPlatform::box(const std::string& text, bool isError) {
  if (messageHook) {
    messageHook(text, isError);
    return;
  }
  // A box must not open behind the splash window, which stays on top.
  QMessageBox mb(isError ? QMessageBox::Critical : QMessageBox::Information,
                 QStringLiteral("tavrine"), ToQt(text), QMessageBox::Ok,
                 parent && parent->isVisible() ? parent.data() : nullptr);
  if (splash && splash->isVisible()) mb.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // The wait cursor of a running handler is not the box's.
  const bool waiting = waits_ > 0;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  mb.exec();
  if (waiting) QApplication::restoreOverrideCursor();
}

void QtPlatform::message(const std::string& text) { box(text, false); }
void QtPlatform::error(const std::string& text) {
  ++errors;
  box(text, true);
}

void QtPlatform::progress(const std::string& text) {
  if (splash) splash->setProgress(QString::fromStdString(text));
}

void QtPlatform::status(const std::string& text) {
  if (onStatus) onStatus(text);
}

void QtPlatform::navigate(const std::string& url) {
  lastUrl = url;
  if (help) help->browser()->navigate(QUrl(QString::fromStdString(url)));
}

std::string QtPlatform::printChart() { return onPrint ? onPrint() : std::string{}; }

void QtPlatform::processEvents() {
  if (onPump) onPump();
  QCoreApplication::processEvents();
}

void QtPlatform::beginWait() {
  ++waits_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPlatform::endWait() {
  if (waits_ == 0) return;
  --waits_;
  QApplication::restoreOverrideCursor();
}

}  // namespace tavrine::gui
