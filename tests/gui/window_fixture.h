// What the window's test programs share: the data folder a test starts
// from (six stocks over 300 weekdays, the sibling tools, a memo), price
// files to import, waits on the window's layout, and WindowTest, the base of
// a test class each of whose tests starts from a fresh window on a fresh
// data folder with fresh settings, and leaves nothing for the next.
#pragma once

#include <QObject>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../support/data_folder.h"
#include "app/scan.h"
#include "app/workspace.h"
#include "gui/help_window.h"
#include "gui/main_window.h"

class QModelIndex;
class QWidget;

namespace tavrine::gui {
class GridView;
class ScanWindow;
}  // namespace tavrine::gui

namespace tavrine::testing {

// Today for every window test: Tuesday 2026/12/08, the newest day of the list.
inline constexpr const char* kToday = "2026/12/08";

// The data folder's stock list: these six stocks over kDays weekdays back
// from today, row 1 the newest.
inline constexpr int kDays = 300;
std::vector<std::string> Headings();
std::string DateOfRow(int r);
std::string PriceOf(int c, int r);

// A data folder in full mode: the stock list of these headings over kDays
// weekdays, the memo, the sibling tools' files.
void WriteDataFolder(const QString& path, const std::vector<std::string>& headings);

// A daily-price file as a free price site gives it: the given number of
// weekdays up to Friday 2026/12/04, oldest first, closes from the base up.
void WritePriceFile(const QString& path, int days, int base, bool japanese = false);

// The folder's path as Qt spells it.
QString PathOf(const DataFolder& folder);

// Keeps the settings (the remembered layout, the way of judging, the
// dialogs' folders) in this folder, never in the user's.
void KeepSettingsIn(const QString& dir);

// Makes a main window on the data folder the environment names, with the
// help window attached when there is one, and shows it at 1280x800; null
// when it is not shown.
std::unique_ptr<gui::MainWindow> ShowWindow(const gui::WindowOptions& options,
                                            gui::HelpWindow* help = nullptr);

// A file's bytes, empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// What a widget shows: a button's or label's caption, a box's or memo's
// text, a combo box's choice, a status bar's message.
QString TextOf(const QWidget* w);

// The window has this size and its layout has come to rest: the window
// system agrees on the size, the top layout fills the window, and no
// layout request waits (those waiting are delivered by the check, so a
// later check sees whether they posted more). LayoutUnrest says what is not
// yet so (empty when nothing).
bool LayoutAtRest(QWidget* top, QSize size);
QString LayoutUnrest(QWidget* top, QSize size);
inline constexpr int kLayoutWait = 10000;

// Waits until the window's layout is at rest, and fails saying why not.
#define WAIT_FOR_LAYOUT(top, size)                                                   \
  QTRY_VERIFY2_WITH_TIMEOUT(::tavrine::testing::LayoutAtRest(top, size),             \
                            qPrintable(::tavrine::testing::LayoutUnrest(top, size)), \
                            ::tavrine::testing::kLayoutWait)

// Opens the grid's editor on a cell, enters text (none: leaves it as shown)
// and commits it with Enter; returns once the view has closed the editor.
void EditCell(gui::GridView* view, const QModelIndex& idx, const char* typed);

// A message box the window showed.
struct Box {
  std::string text;
  bool error;
};

// The base of a window test class. Before each test (each data row of a
// data-driven one) init() makes a data folder of its own (TAVRINE_HOME and
// TAVRINE_ROOT, the settings under its config/), writes the stock list into
// it and opens a main window of 1280x800 with the help window attached, on
// which every message box and dispatched event is recorded; cleanup() closes
// both and removes the folder, the environment put back. (Qt Test calls no
// cleanup() after a failed init(): the next init(), or cleanupTestCase(),
// does that part.) A derived class adds no init, cleanup or
// cleanupTestCase of its own.
class WindowTest : public QObject {
  Q_OBJECT

 protected slots:
  void init();
  void cleanup();
  void cleanupTestCase();

 protected:
  // The test's data folder.
  QString home() const;
  QWidget* w(const char* name) const { return win->widget(name); }
  QString text(const char* name) const { return TextOf(w(name)); }
  // Shows these controls (comma-separated) in the Form and mirrors it.
  void show(const QString& names);
  // Puts a known picture on the chart: owarine rows 1..10 at 100..190, S2
  // far below it.
  void setChart();
  // Does what the user does to a control: "click", "type" arg, "enter" and
  // "dblclick" (in a box, after typing arg when there is one), "release" on
  // grid cell arg ("col row", "-1 -1" below the rows), "press" on the
  // chart's close point arg ("none": on no point).
  void act(const QString& control, const QString& action, const QString& arg);
  // Moves the pointer over the chart to this point.
  void hover(const QPointF& at);
  // Versions of every table, the Form and the chart: equal lists mean
  // nothing was written.
  std::vector<std::uint64_t> stateVersions();
  // The recorded events as "control:kind" (":key" after a key press).
  QString eventSequence() const;
  // Opens the scan window and runs a scan that gives these rows; null when
  // it does not end.
  gui::ScanWindow* scanWith(std::vector<ScanRow> rows, bool shortTerm);

  std::unique_ptr<gui::MainWindow> win;
  std::unique_ptr<gui::HelpWindow> help;
  std::vector<Box> boxes;
  std::vector<std::pair<std::string, Event>> events;

 private:
  void tearDown();

  std::unique_ptr<testing::DataFolder> folder_;
};

}  // namespace tavrine::testing
