// The way of judging ("検証方式") as the windows show it and the user's
// settings keep it: "実売買" (every value a rule reads for a day comes from
// closes up to that day) or "後知恵" (the original computation, which reads
// later closes).
#pragma once

#include <QString>

#include "signals/money.h"
#include "store/state.h"

namespace tavrine::gui {

// "実売買" or "後知恵", as the switch offers them.
QString JudgingName(Judging j);
// The line beside the statistics: "検証方式: 実売買" or
// "検証方式: 後知恵（将来の株価を含む）".
QString JudgingLabelText(Judging j);
// What the way of judging means for the figures, for tooltips.
QString JudgingToolTip(Judging j);
// Style of the label: hindsight stands out, since its figures could not
// have been earned.
QString JudgingLabelStyle(Judging j);

// The way kept in the user's settings; 実売買 when none was kept or the
// kept value is unknown.
Judging LoadJudging();
void SaveJudging(Judging j);

// The per-stock cost model (売買コスト) kept in the user's settings as its
// text; not set when none was kept or the kept text does not read.
CostModel LoadCostModel();
void SaveCostModel(const CostModel& m);

// What the money of the current backtest adds to the label: final equity
// over the capital, costs and tax in yen.
QString MoneyLabelText(const money::MoneyResult& r);

}  // namespace tavrine::gui
