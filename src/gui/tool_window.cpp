#include "gui/tool_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QTimer>
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

QPushButton* ToolWindow::stripButton(QWidget* strip, const QString& caption, const char* name,
                                     int width) {
  auto* b = new QPushButton(caption, strip);
  b->setObjectName(QString::fromLatin1(name));
  b->setFixedSize(width, 26);
  return b;
}

QPushButton* ToolWindow::addCsvButton(QWidget* strip, const char* name, const QString& suggested,
                                      std::function<bool(const QString&)> save) {
  csv_ = stripButton(strip, QStringLiteral("CSV保存"), name, 78);
  connect(csv_, &QPushButton::clicked, this,
          [this, suggested, save = std::move(save)] { askCsv(suggested, save); });
  return csv_;
}

QProgressBar* ToolWindow::addProgressLine(QBoxLayout* strip, const char* statusName, bool wideBar) {
  QWidget* face = strip->parentWidget();
  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  auto* bar = new QProgressBar(face);
  bar->setRange(0, 1);
  bar->setValue(0);
  status_ = new QLabel(face);
  status_->setObjectName(QString::fromLatin1(statusName));
  row->addWidget(bar, wideBar ? 1 : 0);
  row->addWidget(status_, wideBar ? 0 : 1);
  strip->addLayout(row);
  return bar;
}

QTimer* ToolWindow::pollTimer(std::function<void()> poll) {
  auto* t = new QTimer(this);
  t->setInterval(50);
  connect(t, &QTimer::timeout, this, std::move(poll));
  return t;
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

QTableView* RowsToolWindow::addRowList(const QString& name, QAbstractItemModel* model,
                                       std::initializer_list<int> widths, int stretchColumn) {
  table_ = MakeRowList(this, name, model, widths, stretchColumn);
  root()->addWidget(table_, 1);
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { pickRow(i.row()); });
  return table_;
}

}  // namespace tavrine::gui
