// Pieces the money windows share (資金管理検証 and the per-stock 資金の成績):
// the summary statistics beside those of the buy-and-hold, the table by
// year, the numbers as they read there, and the portfolio's trade list.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "signals/equity_stats.h"

QT_BEGIN_NAMESPACE
class QTableWidget;
class QTableWidgetItem;
QT_END_NAMESPACE

namespace tavrine {
struct PortfolioRun;
}

namespace tavrine::gui {

// The statistics' numbers: whole yen grouped by thousands, a fixed number of
// decimals, a fraction as a percent with two decimals; "-" for no value.
QString YenText(const std::optional<double>& v);
QString FixedText(const std::optional<double>& v, int decimals);
QString PercentText(const std::optional<double>& v);

// A read-only table of whole rows in alternating colours.
QTableWidget* PlainTable(QWidget* parent, const QString& name, const QStringList& headings);
QTableWidgetItem* TableCell(const QString& text, bool number);

// The summary of a money backtest (最終資産, CAGR, 最大DD ... 税) beside the
// same items of its buy-and-hold, over the table by year (損益率, 最大DD,
// 取引数).
class MoneyStatsPanel : public QWidget {
 public:
  // name prefixes the tables' object names (name + "Summary", name +
  // "Years"); column heads the backtest's column of the summary.
  MoneyStatsPanel(const QString& name, const QString& column, QWidget* parent);

  // Shows s and hold over the capital; with no s the items stand with no
  // values. skipped adds the row 見送り (entries left out for want of a
  // slot or cash).
  void show(const equity::Stats* s, const equity::Stats* hold, double capital,
            std::optional<int> skipped);

  // A summary row's value as shown, its buy-and-hold value (column 1) or its
  // unit (column 2); empty when there is no such row.
  QString value(const QString& item, int column = 0) const;
  QStringList items() const;
  QTableWidget* summary() const { return summary_; }
  QTableWidget* years() const { return years_; }

 private:
  void showYears(const std::vector<equity::YearRow>& years);

  QTableWidget* summary_ = nullptr;
  QTableWidget* years_ = nullptr;
};

// The trades of a portfolio run as the engine's cells, yen grouped by
// thousands, an open trade's exit day as 保有中.
class PortfolioTradeModel : public QAbstractTableModel {
 public:
  explicit PortfolioTradeModel(QObject* parent) : QAbstractTableModel(parent) {}

  void setRun(const PortfolioRun* run);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const PortfolioRun* run_ = nullptr;
};

}  // namespace tavrine::gui
