#include "gui/today_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
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

Qt::Alignment TodayModel::alignment(int column) const {
  return column == kTodayClose  ? Qt::AlignRight
         : column == kTodaySide ? Qt::AlignHCenter
                                : Qt::AlignLeft;
}

QVariant TodayModel::other(const TodayListRow& row, int column, int role) const {
  // Buy and sell in the colours of the chart's trade markers.
  if (role == Qt::ForegroundRole && column == kTodaySide)
    return QColor(row.buy ? QColor(0xC0, 0x00, 0x00) : QColor(0x00, 0x40, 0xC0));
  return {};
}

// ---- window ------------------------------------------------------------

TodayWindow::TodayWindow(TodaySource source, QWidget* parent)
    : ToolWindow(QStringLiteral("TodayWindow"), QStringLiteral("本日の信号"),
                 QStringLiteral("本日の信号　買い・売りに変わった銘柄"), {560, 520}, parent),
      source_(std::move(source)) {
  QBoxLayout* row = addControlStrip(QBoxLayout::LeftToRight);
  QWidget* strip = row->parentWidget();
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

  model_ = new TodayModel(this);
  table_ = MakeRowList(this, QStringLiteral("TodayTable"), model_, {56, 170, 56, 44, 84, 70},
                       kTodayName);
  table_->horizontalHeader()->setSortIndicator(kTodayCode, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  table_->setToolTip(QStringLiteral("ダブルクリックでその銘柄と規則をチャートに出します"));
  root()->addWidget(table_, 1);

  connect(again, &QPushButton::clicked, this, [this] { refresh(); });
  connect(csv_, &QPushButton::clicked, this, [this] {
    askCsv(QStringLiteral("本日の信号.csv"), [this](const QString& p) { return saveCsv(p); });
  });
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { pickRow(i.row()); });
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
  return saveOrSay([&] { SaveTodayCsv(model_->rows(), path.toStdString()); });
}

}  // namespace tavrine::gui
