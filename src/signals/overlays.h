// Lower-line overlays, term modes and the selection from StockPicker.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Series;
class Rules;
class Backtest;
class ChartView;


class Overlays {
 public:
  Overlays(State& ws, Series& series, Rules& rules, Backtest& backtest, ChartView& chartView) : ws_(ws), series_(series), rules_(rules), backtest_(backtest), chartView_(chartView) {}

  void Button79Click();
  void Button30Click();
  void Button13Click();
  void Button82Click();
  void Button80Click();
  void Button85Click();
  void Button81Click();
  void Button33Click();
  void Button103Click();

 // SeriesTable column 11 from S5 (column 13) or from the S1 auxiliary line
  // (column 12).
  void FillColumn11(bool fromS5);

 private:
  // Deviation line of factor k against the average in column maCol into
  // CalcTable column 25 for rows first .. lastRow, then the bands and the
  // overlay copy.
  void DeviationOverlay(long double k, int maCol, long double band, int lastRow);
  void OverlayCopy(long long upper, long long lower, int first, int lastRow,
                   const std::function<void(int)>& deviation);
  // The short-term set: G columns, short overlay, deviation band column.
  void ShortTermSet();
  State& ws_;
  Series& series_;
  Rules& rules_;
  Backtest& backtest_;
  ChartView& chartView_;
};

}  // namespace tavrine
