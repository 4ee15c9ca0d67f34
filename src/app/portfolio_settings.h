// The settings of a portfolio backtest (資金管理検証) read from text, as the
// driver's `portfolio` keys and the window's boxes give them, and its trade
// list as text and as a CSV file.
#pragma once

#include <string>
#include <vector>

#include "app/portfolio.h"
#include "app/portfolio_inputs.h"
#include "signals/portfolio.h"

namespace tavrine {

class Workspace;

struct PortfolioSettings {
  PortfolioInputOptions inputs;
  portfolio::Options options;
};

// The rule's name in the settings: its button's label, 乖離 for the
// deviation rule.
std::string PortfolioRuleName(int tag);

// The defaults with the workspace's current rule, entry direction and term set.
PortfolioSettings CurrentPortfolioSettings(const Workspace& ws);

// One setting: commission slip tax borrow capital fill slots rule entry term
// priority. False, with a Japanese message naming the text, when the key or
// the value does not read; the settings are then as they were.
bool SetPortfolioKey(PortfolioSettings& s, const std::string& key, const std::string& value,
                     std::string& error);
// "KEY=VALUE" words one after another; stops at the first that does not read.
bool ReadPortfolioKeys(PortfolioSettings& s, const std::vector<std::string>& words,
                       std::string& error);

// The trade list: 銘柄, 入日, 出日 ("-" while open), 株数, 入値, 出値, コスト,
// 損益(円), numbers in the 15-digit general form.
const std::vector<std::string>& PortfolioTradeHeadings();
std::vector<std::string> PortfolioTradeCells(const PortfolioRun& run, const portfolio::Trade& t);
// The trade list as a Shift-JIS CSV file, headings first; an existing file is
// only replaced once the new one is complete. Throws FileError.
void SavePortfolioTradesCsv(const PortfolioRun& run, const std::string& path);

}  // namespace tavrine
