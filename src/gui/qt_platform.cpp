#include "gui/qt_platform.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "gui/help_window.h"
#include "gui/splash_window.h"
#include "gui/widgets.h"

namespace tavrine::gui {

namespace {

// Above this many lines a message is shown in a box whose text scrolls.
constexpr int kBoxLines = 24;
// The scrolling box's text takes at most this part of the screen's height.
constexpr double kBoxScreenPart = 0.6;
constexpr int kBoxTextWidth = 560;

// A box of a long message (an import's summary with many refused files):
// the icon, the text in a scroll area no higher than part of the screen, OK.
class LongMessageBox : public QDialog {
 public:
  LongMessageBox(const QString& text, bool isError, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LongMessageBox"));
    setWindowTitle(QStringLiteral("tavrine"));
    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(isError ? QStyle::SP_MessageBoxCritical
                                               : QStyle::SP_MessageBoxInformation,
                                       nullptr, this)
                        .pixmap(side, side));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* label = new QLabel(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setMinimumWidth(kBoxTextWidth);
    auto* area = new QScrollArea(this);
    area->setWidget(label);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScreen* screen =
        parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const int room =
        screen ? static_cast<int>(screen->availableGeometry().height() * kBoxScreenPart) : 480;
    area->setFixedHeight(std::min(room, label->sizeHint().height() + 2 * area->frameWidth()));
    area->setMinimumWidth(kBoxTextWidth + area->verticalScrollBar()->sizeHint().width() +
                          2 * area->frameWidth());
    row->addWidget(area, 1);
    v->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    v->addWidget(buttons);
  }
};

}  // namespace

void QtPlatform::box(const std::string& text, bool isError) {
  if (messageHook) {
    messageHook(text, isError);
    return;
  }
  QWidget* owner = parent && parent->isVisible() ? parent.data() : nullptr;
  const QString shown = ToQt(text);
  std::unique_ptr<QDialog> mb;
  if (shown.count(QLatin1Char('\n')) + 1 > kBoxLines)
    mb = std::make_unique<LongMessageBox>(shown, isError, owner);
  else
    mb = std::make_unique<QMessageBox>(isError ? QMessageBox::Critical : QMessageBox::Information,
                                       QStringLiteral("tavrine"), shown, QMessageBox::Ok, owner);
  // A box must not open behind the splash window, which stays on top.
  if (splash && splash->isVisible()) mb->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // The wait cursor of a running handler is not the box's.
  const bool waiting = waits_ > 0;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  mb->exec();
  if (waiting) QApplication::restoreOverrideCursor();
}

void QtPlatform::message(const std::string& text) { box(text, false); }

void QtPlatform::success(const std::string& text) {
  const bool oneLine = text.find_first_of("\r\n") == std::string::npos;
  if (oneLine && onSuccess)
    onSuccess(text);
  else
    box(text, false);
}

void SaySuccess(Platform& platform, const std::string& text) {
  if (auto* window = dynamic_cast<QtPlatform*>(&platform))
    window->success(text);
  else
    platform.message(text);
}
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
