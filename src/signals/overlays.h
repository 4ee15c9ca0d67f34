// Lower-line overlays, term modes and the selection from StockPicker.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Overlays {
 public:
  explicit Overlays(Workspace& ws) : ws_(ws) {}

  void Button79Click();
  void Button13Click();
  void Button82Click();
  void Button80Click();
  void Button85Click();
  void Button81Click();
  void Button33Click();
  void Button103Click();
  void StringGrid5MouseUp(int c, int r);
  void Button19Click();

 private:
  // Deviation line of factor k against the average in column maCol into
  // CalcTable column 25 for rows first .. lastRow, then the bands and the
  // overlay copy.
  void DeviationOverlay(long double k, int maCol, long double band, int lastRow);
  void OverlayCopy(long long upper, long long lower, int first, int lastRow,
                   const std::function<void(int)>& deviation);
  // The short-term set: G columns, short overlay, deviation band column.
  void ShortTermSet();
  // SeriesTable column 11 from S5 (column 13) or from the S1 auxiliary line
  // (column 12).
  void FillColumn11(bool fromS5);

  Workspace& ws_;
};

}  // namespace tavrine
