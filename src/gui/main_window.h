// The main window TForm1. It holds the engine (Workspace), lays out the
// areas and controls, forwards every event of the Form's controls to
// Workspace::dispatch by component name (its own buttons call the engine
// directly), and after each event mirrors the engine: the Form onto the
// widgets, the work tables onto the grids, the chart model onto the chart.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "gui/qt_platform.h"
#include "gui/window_memory.h"

QT_BEGIN_NAMESPACE
class QSplitter;
class QStatusBar;
QT_END_NAMESPACE

namespace tavrine::gui {

class BacktestView;
class ChartWidget;
class HandOverServer;
class GridModel;
class ListJobs;
class GridView;
class HelpWindow;
class ListUpdate;
class StockAdd;
class PriceFileImport;
class ScanWindow;
class PortfolioWindow;
class SplashWindow;
class StockFinder;
class TodayWindow;

struct WindowOptions {
  // Run the start-up (Button52) while the window is created.
  bool runStartup = true;
  // Message boxes go here instead of on screen when set (tests).
  std::function<void(const std::string& text, bool isError)> messageHook;
  // Told each success the status bar says as well (unattended runs print
  // them as they print their boxes).
  std::function<void(const std::string& text)> successHook;
  // The splash window that shows the start-up's progress.
  SplashWindow* splash = nullptr;
  // Restore the layout kept from the last run and keep it on close
  // (window_memory.h). Off for unattended runs, whose pictures must not
  // depend on the user's last session.
  bool remember = true;
};

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MainWindow(WindowOptions options = {});
  ~MainWindow() override;

  Workspace& workspace() { return ws_; }
  QtPlatform& platform() { return platform_; }

  // Takes the help window in: its controls are mirrored and wired like ours.
  void attachHelp(HelpWindow* help);
  HelpWindow* help() const { return help_; }

  // Sends a control event to the engine, then mirrors the engine. An event
  // that changes the stock list (the collection, its storing, a price added
  // by hand) runs as one of the list's jobs.
  void fire(const std::string& control, const Event& ev);
  // The jobs that change the stock list, one at a time (list_jobs.h):
  // import, 一括更新, the collection, rename, remove, undo.
  ListJobs& jobs() { return *jobs_; }
  // Types a text into a text box as the user would: the box and the Form
  // take it and the change event runs.
  void typeInto(const std::string& control, const std::string& text);
  // Charts the stock of code as typing it into Edit1 and pressing Enter
  // does, then mirrors the engine.
  void selectCode(const std::string& code);
  // Brings every widget, grid and the chart up to the engine's state.
  void mirror();
  // Shows the window where it stood when last closed (within the screens),
  // else as the start-up asked (size, centre, maximised).
  void showAsAsked();
  // Keeps the window's geometry, splitter sizes and the grids' column widths
  // in the user's settings (done when the window is closed).
  void rememberLayout();

  QWidget* widget(const std::string& name) const;
  GridModel* model(const std::string& table) const;
  GridView* grid(const std::string& component) const;
  ChartWidget* chart() const { return chart_; }
  QSplitter* splitter() const { return splitter_; }
  // The proposals under the code box Edit1.
  StockFinder* finder() const { return finder_; }

  // The rule scan window ("一括検証"), made on first use.
  ScanWindow* openScan();
  ScanWindow* scanWindow() const { return scan_; }
  // The portfolio backtest window ("資金管理検証"), made on first use; each
  // opening takes the current rule, entry direction and term.
  PortfolioWindow* openPortfolio();
  PortfolioWindow* portfolioWindow() const { return portfolio_; }
  // Makes a stock and rule current as the user would, as PickScanRow does:
  // the code typed into Edit1 and Enter, then the rule button of the tag
  // (after "長" until it reads "短" for a short-term row of G3 .. ST). Stops
  // when the stock is not found or a handler reports an error.
  void pickStockRule(const std::string& code, int tag, bool shortTerm);

  // "本日の信号": today's new signals of every stock, made on first use and
  // judged anew at each opening.
  TodayWindow* openToday();
  TodayWindow* todayWindow() const { return today_; }
  // "検証方式" on the rule panel: judges the charted stock anew the chosen
  // way (the statistics, the chart and the label beside the statistics
  // follow) and keeps the choice in the settings unless unattended.
  void setJudging(Judging j);

  // "検証図" beside the statistics: the picture of the current stock's
  // backtest, made on first use; while open it follows each new chain.
  BacktestView* openBacktest();
  BacktestView* backtestView() const { return backtest_; }

  // "CSV保存" and "画像保存" beside the statistics: each asks for a file,
  // then saves. The save itself, for tests: false after an error report.
  bool saveStatsCsv(const QString& path);
  bool saveChartImage(const QString& path);

  // "取込": daily-price files into the stock list (import_ui.h). importFiles
  // does all but the file dialog: false when no stock was taken.
  void chooseImport();
  bool importFiles(const QStringList& paths);
  PriceFileImport& importer() { return *importer_; }
  // "一括更新" (update_ui.h): the stock list brought up to the newest day of
  // the J-Quants API, the key asked for first when there is none; "更新設定"
  // opens the key dialog.
  void chooseUpdate();
  void chooseUpdateSettings();
  ListUpdate& updater() { return *updater_; }
  // "銘柄追加" (add_stock_ui.h): one stock from the J-Quants API by code or
  // name, run as a list job like 一括更新.
  void chooseAddStock();
  StockAdd& adder() { return *adder_; }
  // "元に戻す": the stock list as it was before its last change, after a
  // question (askUndo answers it in tests).
  void chooseUndo();
  std::function<bool()> askUndo;
  // The picker's context menu: a new name for the stock of a heading
  // ("1301 極洋"), asked in a box (askName answers it in tests, an empty
  // answer keeps the name), and its removal after a question (askRemove).
  void chooseRename(const QString& heading);
  void chooseRemove(const QString& heading);
  std::function<QString(const QString& heading)> askName;
  std::function<bool(const QString& heading)> askRemove;

  // The bar under the window where successes that ask nothing are said for
  // a few seconds; its tooltip holds the last few, newest first.
  QStatusBar* successBar() const { return successBar_; }
  const QStringList& successes() const { return successes_; }

  // Sees every event before it is dispatched (tests).
  std::function<void(const std::string& control, const Event& ev)> dispatchHook;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  // ←/→ that no control took (a label, a panel, the window) step the date.
  void keyPressEvent(QKeyEvent* e) override;
  // Files dropped on the window are imported.
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  // The window's shortcut keys reach the window even from a text box that
  // would take them for editing (Ctrl+E as "end of line").
  bool eventFilter(QObject* watched, QEvent* e) override;
  bool stepDate(const QKeyEvent* key);

 private:
  void build();
  void fireNow(const std::string& control, const Event& ev);
  void buildChartArea(QWidget* area);
  void buildControlPanel(QWidget* panel);
  GridView* makeGrid(const std::string& component, int columnWidth, bool editable, QWidget* parent);
  void placeOverlays();
  void wireControls();
  // Sends the events of one control of the Form to the engine.
  void wireControl(const std::string& name, ControlKind kind);
  void bind(const std::string& name, QWidget* w);
  void mirrorForm();
  // Shows and marks the value grid's row of the base date when the date moved.
  void followBaseDate();
  void mirrorControl(const Control& c, QWidget* w);
  void syncText(const std::string& name);
  void textEdited(const std::string& name);
  void showStatus(const std::string& text);
  void showSuccess(const std::string& text);
  void chooseStatsCsv();
  void chooseChartImage();
  void refreshBacktest();
  void click(const std::string& control);
  // The keyboard shortcuts: each runs what its button runs.
  void addShortcuts();
  // F1: the manual window ("利用説明"), raised when it is already open.
  void showManual();
  // The control panel makes room at its right for the rule panel while it is
  // shown, so the panel covers no control.
  void placeRulePanel();
  // The save strip's buttons: one column while the strip is tall enough,
  // side by side when the statistics area is made short.
  void placeSaveStrip();
  // Gives the splitter's areas their sizes for the window's height: on
  // showing, and on each resize until the user drags a splitter.
  void sizeSplitter();
  // Each button's tooltip from the tooltip table; the term, lower-line and
  // rule buttons made checkable.
  void applyToolTips();
  // Shows the current term, the lower-line view and the chosen rule pressed.
  void mirrorPressed();
  // The way of judging (main_window_judging.cpp): the switch and the today
  // button on the rule panel's third row, the label over the statistics,
  // the way the start-up judges in, and their mirror.
  void buildJudgingControls(QWidget* rulePanel);
  void startJudging();
  void mirrorJudging();
  // The per-stock cost model's dialog (売買コスト); true when it was changed.
  bool editCosts();
  // The window's own tools (main_window_tools.cpp): the save strip's
  // buttons and "一括検証" on the rule panel.
  void buildSaveButtons(QWidget* strip);
  void buildScanButton(QWidget* rulePanel);
  // The stock list's own changes (main_window_list.cpp): the control
  // panel's 取込, 元に戻す, 一括更新 and 更新設定, the picker's context menu.
  void wireListButtons();
  void wirePickerMenu(GridView* picker);

  QtPlatform platform_;
  Workspace ws_;
  std::map<std::string, QWidget*> widgets_;
  std::map<std::string, GridModel*> models_;
  std::map<std::string, GridView*> grids_;
  ChartWidget* chart_ = nullptr;
  QWidget* chartArea_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QStatusBar* successBar_ = nullptr;
  QStringList successes_;  // newest first, with the time each was said
  std::function<void(const std::string&)> successHook_;
  HelpWindow* help_ = nullptr;
  ScanWindow* scan_ = nullptr;
  PortfolioWindow* portfolio_ = nullptr;
  BacktestView* backtest_ = nullptr;
  TodayWindow* today_ = nullptr;
  std::uint64_t backtestVersion_ = ~std::uint64_t{0};  // StatsTable's, as last shown
  std::uint64_t statsFitted_ = ~std::uint64_t{0};      // StatsTable's, as its columns were fitted
  std::string followedDate_;                           // base date the value grid was put on
  std::unique_ptr<PriceFileImport> importer_;
  std::unique_ptr<ListUpdate> updater_;
  std::unique_ptr<StockAdd> adder_;
  std::unique_ptr<ListJobs> jobs_;
  std::uint64_t formVersion_ = ~std::uint64_t{0};
  bool mirroring_ = false;
  bool sized_ = false;
  bool userSplit_ = false;  // the splitter's sizes are the user's (dragged or remembered)
  int askedWidth_ = 0, askedHeight_ = 0;
  QSize designSize_;     // TForm1's size in the Form as the window was built
  WindowMemory memory_;  // as loaded at start; the splitter's part is used once
  StockFinder* finder_ = nullptr;
  bool remember_ = true;
  QList<QKeySequence> shortcutKeys_;
};

// Files handed to `server` are imported by `window` as "取込" imports them;
// the window comes to the front first. An update handed to it runs as
// "一括更新" runs, without asking for a key, and its outcome is answered.
void ServeWindow(HandOverServer& server, MainWindow& window);

}  // namespace tavrine::gui
