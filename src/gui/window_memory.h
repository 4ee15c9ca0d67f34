// What the window remembers between runs, in the user's settings
// (QSettings, organisation and program "tavrine"): where it stood, whether it
// was maximised, the splitter's sizes and the column widths the user gave the
// grids, and how the chart draws (candles or the close line, their colours,
// the lower lines' pane).
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <map>

#include "gui/chart_style.h"

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace tavrine::gui {

struct WindowMemory {
  QRect geometry;  // the window's normal geometry; null when never saved
  bool maximized = false;
  QList<int> splitter;  // the splitter's sizes, top to bottom
  // Per grid (by component name): column -> width, for the columns whose
  // width is not the grid's default.
  std::map<QString, std::map<int, int>> columns;
  ChartStyle chart;

  static WindowMemory load();
  void save() const;
};

// The money settings of 資金管理検証 as its boxes show them (the rule, entry
// direction and term follow the main window instead).
struct PortfolioMemory {
  QString capital = QStringLiteral("3000000");
  QString positions = QStringLiteral("5");
  QString commission = QStringLiteral("zero");
  QString slip = QStringLiteral("0");
  QString tax = QStringLiteral("20.315");
  QString borrow = QStringLiteral("1.15");
  bool fillClose = false;     // false: 始値
  bool priorityCode = false;  // false: 売買代金

  static PortfolioMemory load();
  void save() const;
};

// The saved geometry placed within the screens' available areas: on the
// screen it overlaps most, shrunk to fit that screen and moved inside it.
// A null rectangle when it overlaps none (the window then takes its default
// place).
QRect FitToScreens(const QRect& saved, const QList<QRect>& screens);

// Remembered splitter sizes made to fit `room` pixels with every pane at
// least its minimum: sizes above the room are cut to it, then all are
// scaled down together. Empty (the designed sizes then) when the list does
// not match the panes or the minimums alone do not fit.
QList<int> FitSplitter(const QList<int>& saved, int room, const QList<int>& minimums);
// True when a layout can be remembered: every pane at least its minimum.
bool SplitterWorthKeeping(const QList<int>& sizes, const QList<int>& minimums);

}  // namespace tavrine::gui
