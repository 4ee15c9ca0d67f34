#include "gui/chart_bars.h"

#include <QFileInfo>

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/price_store.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine::gui {

ChartExtras ChartBarsSource::operator()() {
  ChartExtras out;
  const WorkTable& s = ws_.SeriesTable;
  // The 9-day and 65-day stochastics views: 100 % is half the price scale.
  if (ctl::OscillatorState.is(s, 3) || ctl::OscillatorState.is(s, 4)) {
    const int p = s.getInt(ctl::PriceScale);
    if (p > 0) out.percentOf = 0.5 * p;
  }
  const int k = ctl::StockFound.on(s) ? s.getInt(ctl::StockColumn) : 0;
  const WorkTable& t = ws_.StockList;
  if (k < stocklist::kFirstStockColumn || k > stocklist::kLastStockColumn || k >= t.colCount()) {
    key_.clear();
    bars_.clear();
    return out;
  }
  const std::string code = LeftBytes(t.cell(k, 0), 4);
  const std::vector<ListClose> closes = ListClosesOf(t, k);
  // The store's file and its write-ahead log: a write shows in one of them.
  std::string key = code + '\t' + std::to_string(closes.size());
  if (!closes.empty())
    key += '\t' + std::to_string(closes.front().day) + '\t' + closes.front().close;
  for (const QString& name : {QString::fromStdString(PriceStorePath()),
                              QString::fromStdString(PriceStorePath() + "-wal")}) {
    const QFileInfo f(name);
    key += '\t' + std::to_string(f.exists() ? f.lastModified().toMSecsSinceEpoch() : 0) + '\t' +
           std::to_string(f.exists() ? f.size() : 0);
  }
  if (key != key_) {
    key_ = key;
    bars_ = closes.empty() ? std::vector<PriceBar>{}
                           : DailyBars(ReadStoredBars(PriceStorePath(), code), closes);
  }
  out.bars = bars_;
  return out;
}

}  // namespace tavrine::gui
