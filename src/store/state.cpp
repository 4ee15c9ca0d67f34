#include "store/state.h"

#include <map>

namespace tavrine {

WorkTable* State::table(const std::string& name) {
  static const std::map<std::string, std::string> components = {
      {"StringGrid1", "StockList"},      {"StringGrid2", "SeriesTable"},
      {"StringGrid3", "CalcTable"},      {"StringGrid4", "StatsTable"},
      {"StringGrid5", "StockPicker"},    {"StringGrid6", "WebRows"},
      {"StringGrid7", "CandidateTable"}, {"StringGrid8", "DateTable"},
      {"StringGrid9", "CacheTable"}};
  auto it = components.find(name);
  const std::string& n = it == components.end() ? name : it->second;
  for (WorkTable* t : tables())
    if (t->name() == n) return t;
  return nullptr;
}

std::vector<WorkTable*> State::tables() {
  return {&StockList, &SeriesTable,    &CalcTable, &StatsTable, &StockPicker,
          &WebRows,   &CandidateTable, &DateTable, &CacheTable};
}

void State::setStatus(const std::string& text) {
  form.setText("StatusBar1", text);
  platform.status(text);
}

void State::setProgress(const std::string& text) {
  form.setText("LabelProg", text);
  platform.progress(text);
}

}  // namespace tavrine
