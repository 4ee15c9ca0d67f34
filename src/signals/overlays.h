// The term-dependent columns and views: the term switch (長/短) with its G columns, the deviation
// overlays and their bands, ST, the lower-line selector, the trend-line zeros, and, judged
// honestly, the honest trend lines and rule columns over the hindsight ones.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "signals/honest.h"
#include "store/state.h"

namespace tavrine {

class Series;
class Rules;
class Backtest;
class ChartView;

class Overlays {
 public:
  Overlays(State& ws, Series& series, Rules& rules, Backtest& backtest, ChartView& chartView)
      : ws_(ws), series_(series), rules_(rules), backtest_(backtest), chartView_(chartView) {}

  // '長'/'短' (Button79; the scan's short term): ST (Button85Click), then the long set
  // (Button30Click) when ctl::TermMode is "1", else the short; TermMode flips, caption names the
  // term, OscillatorState "1", Button81 "S/O".
  void Button79Click();
  // Hidden; by the extraction (200+ rows), Button79Click and Button13Click in the long term:
  // Series::Pass200, long-term G columns, long deviation overlay (Button82Click), band signal
  // CalcTable column 31.
  void Button30Click();
  // 'S2'/'S3'/'S4' (Button13): next deviation view against the 25-, 75- or 200-day average
  // (columns 25..30, ctl::TermMode, ctl::OscillatorState "1", Button81 "S/O"); trend-line zeros,
  // newest point, lower lines redrawn.
  void Button13Click();
  // Hidden; by Button30Click: long deviation overlay, 200-day (Button13 "S4", ctl::TermMode "0")
  // after S3 in the S/O view, else 75-day ("S3", "1"); CalcTable and SeriesTable columns 25..30,
  // Button79 "長".
  void Button82Click();
  // Hidden; by the short set (Button79Click, Button13Click): 25-day deviation overlay with 4% bands
  // into CalcTable and SeriesTable columns 25..30.
  void Button80Click();
  // Hidden; by Button79Click and Button13Click (date in view changed): the ST signal, CalcTable
  // column 40, 65-day when ctl::TermMode is not "0", else 9-day.
  void Button85Click();
  // 'S' (Button81): next lower-line view S -> ST9 -> ST65 -> S/O (ctl::OscillatorState 0, 3, 4, 1);
  // fifth line (SeriesTable column 11) refilled, redraw.
  void Button81Click();
  // Hidden; by the re-window, the picker, Button13Click and the collection show step: "0" into
  // SeriesTable columns 7..10 and 26..28 over the first rows, where the trend lines have no value
  // yet.
  void Button33Click();
  // Hidden; by Button13Click and after a price added by hand (Button34Click): newest deviation
  // point SeriesTable[25,1] against the average Button13's caption names.
  void Button103Click();

  // SeriesTable column 11 from S5 (column 13) or from the S1 auxiliary line
  // (column 12).
  void FillColumn11(bool fromS5);

  // Judged honestly, puts the honest trend lines and rule columns of the
  // term set computed last into CalcTable (signals/honest.h), with their
  // copies beside the deviation line; nothing when judged with hindsight.
  // Run after the extraction's passes and after every term switch.
  void ApplyJudging();
  // After the extraction's passes: the long-term set, the ST of 65 days and
  // the deviation mode the long pass chose, judged as ApplyJudging does.
  void ExtractionJudged();
  // The term-dependent choices the rule columns were computed with last.
  const honest::Terms& terms() const { return terms_; }

 private:
  // Deviation line of the mode (rule_math::TermsOf) into CalcTable column 25
  // for rows first .. last - its offset, then the bands and the overlay copy.
  void DeviationOverlay(honest::Deviation mode);
  // deviation(r) gives the line's value on row r; S2 .. S4 are copied beside
  // it when copyLines.
  template <class Deviation>
  void OverlayCopy(long long upper, long long lower, int first, int lastRow, Deviation&& deviation,
                   bool copyLines);
  // The short-term set: G columns, short overlay, deviation band column.
  void ShortTermSet();
  // The long-term deviation mode the deviation button's caption names.
  honest::Deviation LongDeviation() const;
  bool honest() const { return ws_.judging == Judging::Honest; }

  State& ws_;
  honest::Terms terms_ = honest::kLongTerms;
  honest::ComputeCache honestCache_;
  // Set while a handler runs that ends with ApplyJudging, which rewrites the
  // copies of S2 .. S4 beside the deviation line.
  bool judgingFollows_ = false;
  Series& series_;
  Rules& rules_;
  Backtest& backtest_;
  ChartView& chartView_;
};

}  // namespace tavrine
