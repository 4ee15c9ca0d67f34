#include "gui/tool_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QShowEvent>
#include <QVBoxLayout>

#include <exception>

#include "gui/file_dialogs.h"
#include "gui/style.h"
#include "gui/widgets.h"

namespace tavrine::gui {

ToolWindow::ToolWindow(const QString& name, const QString& title, const QString& heading,
                       QSize size, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName(name);
  setWindowTitle(title);
  setFont(PixelFont(12));
  resize(size);
  root_ = new QVBoxLayout(this);
  root_->setContentsMargins(0, 0, 0, 0);
  root_->setSpacing(0);
  heading_ = AddHeadingStrip(this, root_, heading);
}

void ToolWindow::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) PlaceOnScreen(this, parentWidget(), !testAttribute(Qt::WA_Moved));
  QWidget::showEvent(e);
}

QBoxLayout* ToolWindow::addControlStrip(QBoxLayout::Direction direction, int sideMargin,
                                        int spacing) {
  auto* strip = new QWidget(this);
  Fill(strip, kControlFace);
  auto* layout = new QBoxLayout(direction, strip);
  layout->setContentsMargins(sideMargin, 6, sideMargin, 6);
  layout->setSpacing(spacing);
  root_->addWidget(strip);
  return layout;
}

bool ToolWindow::saveOrSay(const std::function<void()>& save) {
  try {
    save();
  } catch (const std::exception& e) {
    box(QString::fromStdString(e.what()), true);
    return false;
  }
  return true;
}

void ToolWindow::askCsv(const QString& suggested, const std::function<bool(const QString&)>& save) {
  const QString path =
      AskSavePath(this, QStringLiteral("CSV保存"), suggested,
                  {{QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral(".csv")}});
  if (!path.isEmpty()) save(path);
}

void ToolWindow::box(const QString& text, bool isError) {
  if (messageHook) {
    messageHook(text.toStdString(), isError);
    return;
  }
  if (isError)
    QMessageBox::critical(this, QStringLiteral("tavrine"), text);
  else
    QMessageBox::information(this, QStringLiteral("tavrine"), text);
}

void ToolWindow::keyPressEvent(QKeyEvent* e) {
  // Escape from anywhere in the window closes it.
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(e);
}

}  // namespace tavrine::gui
