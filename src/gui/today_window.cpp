#include "gui/today_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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
#include "gui/notification.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "signals/rules.h"
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

std::vector<TodayListRow> FilterTodayRows(const std::vector<TodayListRow>& rows,
                                          const TodayFilter& filter, const std::string& newest) {
  std::vector<TodayListRow> out;
  for (const TodayListRow& r : rows) {
    if (filter.newestDayOnly && r.date != newest) continue;
    if (filter.tag >= 0 && r.tag != filter.tag) continue;
    if (filter.side != 0 && r.buy != (filter.side > 0)) continue;
    out.push_back(r);
  }
  return out;
}

// ---- window ------------------------------------------------------------

TodayWindow::TodayWindow(TodaySource source, QWidget* parent)
    : RowsToolWindow(QStringLiteral("TodayWindow"), QStringLiteral("本日の信号"),
                     QStringLiteral("本日の信号　買い・売りに変わった銘柄"), {760, 520}, parent),
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
  newestDay_ = new QCheckBox(QStringLiteral("最新日のみ"), strip);
  newestDay_->setObjectName(QStringLiteral("TodayNewestDay"));
  newestDay_->setToolTip(
      QStringLiteral("株価が一覧の最新の日まである銘柄だけを出します（更新の遅れた銘柄を除く）"));
  rule_ = new QComboBox(strip);
  rule_->setObjectName(QStringLiteral("TodayRule"));
  rule_->setToolTip(QStringLiteral("この規則の信号だけを出します"));
  rule_->addItem(QStringLiteral("全規則"), -1);
  for (int tag = 0; tag < kRuleCount; ++tag)
    rule_->addItem(QString::fromUtf8(kRules[tag].label), tag);
  side_ = new QComboBox(strip);
  side_->setObjectName(QStringLiteral("TodaySide"));
  side_->setToolTip(QStringLiteral("買い・売りのどちらかだけを出します"));
  side_->addItem(QStringLiteral("買い・売り"), 0);
  side_->addItem(QStringLiteral("買い"), 1);
  side_->addItem(QStringLiteral("売り"), -1);
  notice_ = new QCheckBox(QStringLiteral("更新後に通知"), strip);
  notice_->setObjectName(QStringLiteral("TodayNotice"));
  notice_->setToolTip(QStringLiteral(
      "一括更新の後、新しい信号の数をデスクトップに通知します。通知を押すとこの窓を開きます"));
  notice_->setChecked(UpdateNoticesOn());
  connect(notice_, &QCheckBox::toggled, this, [](bool on) { SetUpdateNoticesOn(on); });
  row->addWidget(newestDay_);
  row->addWidget(rule_);
  row->addWidget(side_);
  row->addWidget(notice_);
  QPushButton* again = stripButton(strip, QStringLiteral("更新"), "TodayRefresh", 60);
  csv_ = addCsvButton(strip, "TodayCsv", QStringLiteral("本日の信号.csv"),
                      [this](const QString& p) { return saveCsv(p); });
  row->addWidget(again);
  row->addWidget(csv_);

  model_ = new TodayModel(this);
  addRowList(QStringLiteral("TodayTable"), model_, {56, 170, 56, 44, 84, 70}, kTodayName);
  table_->horizontalHeader()->setSortIndicator(kTodayCode, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  table_->setToolTip(QStringLiteral("ダブルクリックでその銘柄と規則をチャートに出します"));

  connect(again, &QPushButton::clicked, this, [this] { refresh(); });
  connect(newestDay_, &QCheckBox::toggled, this, [this] { applyFilter(); });
  connect(rule_, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
  connect(side_, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
}

void TodayWindow::refresh() {
  // Well under a second for a full list: judged here, under the wait cursor.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const WorkTable list = source_.stockList ? source_.stockList() : WorkTable("StockList", 200, 0);
  const std::vector<TodayRow> longRows = TodaySignals(list, true);
  std::vector<TodayListRow> rows = TodayListRows(longRows, TodaySignals(list, false));
  QApplication::restoreOverrideCursor();

  // The newest day of any stock: the day the list is about.
  newest_.clear();
  for (const TodayRow& r : longRows) newest_ = std::max(newest_, r.date);
  stocksJudged_ = static_cast<int>(longRows.size());
  all_ = std::move(rows);
  // A new judging starts in the first order.
  table_->horizontalHeader()->setSortIndicator(kTodayCode, Qt::AscendingOrder);
  applyFilter();
}

void TodayWindow::applyFilter() {
  TodayFilter f;
  f.newestDayOnly = newestDay_->isChecked();
  f.tag = rule_->currentData().toInt();
  f.side = side_->currentData().toInt();
  std::vector<TodayListRow> rows = FilterTodayRows(all_, f, newest_);
  const int count = static_cast<int>(rows.size());
  std::set<int> stocks;
  for (const TodayListRow& r : rows) stocks.insert(r.column);
  model_->setRows(std::move(rows));
  QHeaderView* h = table_->horizontalHeader();
  model_->sort(h->sortIndicatorSection(), h->sortIndicatorOrder());
  csv_->setEnabled(count > 0);
  const bool filtered = count != static_cast<int>(all_.size());
  if (stocksJudged_ == 0)
    status_->setText(QStringLiteral("銘柄一覧に銘柄がありません。"));
  else
    status_->setText(
        QStringLiteral("%1 までの株価：%2 銘柄中 %3 銘柄、%4 件%5（判定は実売買）")
            .arg(Shown(newest_))
            .arg(stocksJudged_)
            .arg(static_cast<int>(stocks.size()))
            .arg(count)
            .arg(filtered
                     ? QStringLiteral("（全 %1 件から絞り込み）").arg(static_cast<int>(all_.size()))
                     : QString()));
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
