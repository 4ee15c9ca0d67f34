// An unattended run of the window (`tavrine --click ... --screenshot ...`):
// after the start-up it plays the user actions asked for, opens the scan and
// backtest windows when asked, waits for pages and scans to end, and saves
// pictures of the windows before it ends the program.
#pragma once

#include <QPointF>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "gui/chart_style.h"

namespace tavrine::gui {

class HelpWindow;
class MainWindow;

struct UnattendedRun {
  // User actions played after the start-up, in order: "click NAME",
  // "set NAME=TEXT" (typed into a text box), "enter NAME" (Enter key),
  // "import FILE" (the price file imported as "取込" would).
  std::vector<std::pair<std::string, std::string>> actions;
  std::string helpText;
  QString shotMain, shotHelp, shotScan, shotBacktest;
  // "資金管理検証" opened and run before its picture is taken.
  QString shotPortfolio;
  // "long" or "short": open the scan window and run a scan before the shots.
  std::string scan;
  // A pointer position over the chart (view pixels) for the readout.
  bool hover = false;
  QPointF hoverAt;
  int settleMs = 600;
  // How the chart draws, set before the actions (`--chart week,overlay`).
  bool styled = false;
  ChartStyle chartStyle;

  // True when any of the above was asked for.
  bool asked() const;
};

// Plays `run` on `window` once the event loop has run for run.settleMs, then
// quits the application. The three must outlive the event loop.
void StartUnattendedRun(MainWindow& window, HelpWindow& help, const UnattendedRun& run);

}  // namespace tavrine::gui
