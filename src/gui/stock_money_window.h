// 資金の成績: the statistics of the current stock's backtest with money (実売買
// with a cost model set) beside the buy-and-hold of the same stock, and its
// table by year. Opened from the line over the statistics; follows the
// main window's backtest while open.
#pragma once

#include <QString>

#include "app/stock_money_stats.h"
#include "gui/tool_window.h"

QT_BEGIN_NAMESPACE
class QLabel;
QT_END_NAMESPACE

namespace tavrine::gui {

class MoneyStatsPanel;

class StockMoneyWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit StockMoneyWindow(QWidget* parent = nullptr);

  // Shows the money of a backtest taxed at taxPercent, subject naming it
  // ("1721 コムシス　S1　入買"); none: the items stand with no values and the
  // note says why.
  void showMoney(const StockMoney* m, long double taxPercent, const QString& subject);

  MoneyStatsPanel* panel() const { return panel_; }
  QLabel* noteLabel() const { return note_; }

 private:
  MoneyStatsPanel* panel_ = nullptr;
  QLabel* note_ = nullptr;
};

}  // namespace tavrine::gui
