#include "gui/today_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <set>

#include "gui/file_dialogs.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "signals/today.h"
#include "views/export.h"

namespace tavrine::gui {

// ---- model -------------------------------------------------------------

void TodayModel::setRows(std::vector<TodayListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int TodayModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TodayModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(TodayColumnHeadings().size());
}

QVariant TodayModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const TodayListRow& r = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    const auto cells = TodayRowCells(r);
    if (index.column() >= static_cast<int>(cells.size())) return {};
    return Shown(cells[static_cast<std::size_t>(index.column())]);
  }
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() == kTodayClose  ? Qt::AlignRight
                                                   : index.column() == kTodaySide ? Qt::AlignHCenter
                                                                                  : Qt::AlignLeft));
  // Buy and sell in the colours of the chart's trade markers.
  if (role == Qt::ForegroundRole && index.column() == kTodaySide)
    return QColor(r.buy ? QColor(0xC0, 0x00, 0x00) : QColor(0x00, 0x40, 0xC0));
  return {};
}

QVariant TodayModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  const auto& h = TodayColumnHeadings();
  if (section < 0 || section >= static_cast<int>(h.size())) return {};
  return QString::fromStdString(h[static_cast<std::size_t>(section)]);
}

void TodayModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount()) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  SortTodayRows(rows_, column, order == Qt::DescendingOrder);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- window ------------------------------------------------------------

TodayWindow::TodayWindow(TodaySource source, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(source)) {
  setObjectName(QStringLiteral("TodayWindow"));
  setWindowTitle(QStringLiteral("本日の信号"));
  setFont(PixelFont(12));
  resize(560, 520);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  AddHeadingStrip(this, root, QStringLiteral("本日の信号　買い・売りに変わった銘柄"));

  auto* strip = new QWidget(this);
  Fill(strip, kControlFace);
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(8, 6, 8, 6);
  row->setSpacing(6);
  status_ = new QLabel(strip);
  status_->setObjectName(QStringLiteral("TodayStatus"));
  status_->setWordWrap(true);
  status_->setToolTip(
      QStringLiteral("各銘柄の最新の株価の日に、前の日と符号が変わった規則を挙げます。"
                     "判定はその日までの株価だけで行います（実売買）。"));
  row->addWidget(status_, 1);
  auto* again = new QPushButton(QStringLiteral("更新"), strip);
  again->setObjectName(QStringLiteral("TodayRefresh"));
  again->setFixedSize(60, 26);
  csv_ = new QPushButton(QStringLiteral("CSV保存"), strip);
  csv_->setObjectName(QStringLiteral("TodayCsv"));
  csv_->setFixedSize(78, 26);
  row->addWidget(again);
  row->addWidget(csv_);
  root->addWidget(strip);

  model_ = new TodayModel(this);
  table_ = MakeRowList(this, QStringLiteral("TodayTable"), model_, {56, 170, 56, 44, 84, 70},
                       kTodayName);
  table_->horizontalHeader()->setSortIndicator(kTodayCode, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  table_->setToolTip(QStringLiteral("ダブルクリックでその銘柄と規則をチャートに出します"));
  root->addWidget(table_, 1);

  connect(again, &QPushButton::clicked, this, [this] { refresh(); });
  connect(csv_, &QPushButton::clicked, this, [this] { chooseCsv(); });
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { pickRow(i.row()); });
}

void TodayWindow::keyPressEvent(QKeyEvent* e) {
  // Escape from the table or a button of the window closes it.
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(e);
}

void TodayWindow::refresh() {
  // Well under a second for a full list: judged here, under the wait cursor.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const WorkTable list = source_.stockList ? source_.stockList() : WorkTable("StockList", 200, 0);
  const std::vector<TodayRow> longRows = TodaySignals(list, true);
  std::vector<TodayListRow> rows = TodayListRows(longRows, TodaySignals(list, false));
  QApplication::restoreOverrideCursor();

  // The newest day of any stock: the day the list is about.
  std::string newest;
  for (const TodayRow& r : longRows) newest = std::max(newest, r.date);
  const int count = static_cast<int>(rows.size());
  std::set<int> stocks;
  for (const TodayListRow& r : rows) stocks.insert(r.column);
  model_->setRows(std::move(rows));
  table_->sortByColumn(kTodayCode, Qt::AscendingOrder);
  csv_->setEnabled(count > 0);
  if (longRows.empty())
    status_->setText(QStringLiteral("銘柄一覧に銘柄がありません。"));
  else
    status_->setText(QStringLiteral("%1 までの株価：%2 銘柄中 %3 銘柄、%4 件（判定は実売買）")
                         .arg(Shown(newest))
                         .arg(static_cast<int>(longRows.size()))
                         .arg(static_cast<int>(stocks.size()))
                         .arg(count));
}

void TodayWindow::pickRow(int viewRow) {
  const auto& rows = model_->rows();
  if (viewRow < 0 || viewRow >= static_cast<int>(rows.size()) || !source_.pick) return;
  // Copied: the pick runs the main window's handlers.
  const TodayListRow row = rows[static_cast<std::size_t>(viewRow)];
  source_.pick(row);
}

bool TodayWindow::saveCsv(const QString& path) {
  try {
    SaveTodayCsv(model_->rows(), path.toStdString());
  } catch (const std::exception& e) {
    if (messageHook)
      messageHook(e.what(), true);
    else
      QMessageBox::critical(this, QStringLiteral("tavrine"), QString::fromStdString(e.what()));
    return false;
  }
  return true;
}

void TodayWindow::chooseCsv() {
  const QString path =
      AskSavePath(this, QStringLiteral("CSV保存"), QStringLiteral("本日の信号.csv"),
                  {{QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral(".csv")}});
  if (!path.isEmpty()) saveCsv(path);
}

}  // namespace tavrine::gui
