#include "gui/unattended_run.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <cstdio>

#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/grid_model.h"
#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/portfolio_window.h"
#include "gui/scan_window.h"

namespace tavrine::gui {

bool UnattendedRun::asked() const {
  return !actions.empty() || !helpText.empty() || !shotMain.isEmpty() || !shotHelp.isEmpty() ||
         !shotScan.isEmpty() || !shotBacktest.isEmpty() || !shotPortfolio.isEmpty() ||
         !scan.empty() || hover || styled;
}

namespace {

// The pictures asked for, then the end of the program.
void Shoot(MainWindow& window, HelpWindow& help, const UnattendedRun& opt, ScanWindow* scan,
           BacktestView* figures, PortfolioWindow* money) {
  if (!opt.shotMain.isEmpty()) window.grab().save(opt.shotMain);
  if (!opt.shotHelp.isEmpty()) help.grab().save(opt.shotHelp);
  if (scan && !opt.shotScan.isEmpty()) scan->grab().save(opt.shotScan);
  if (figures) figures->grab().save(opt.shotBacktest);
  if (money) money->grab().save(opt.shotPortfolio);
  QApplication::quit();
}

// The actions, the scan and backtest windows, then a wait for a page on its
// way (up to ten seconds) and for a scan to end, the readout under the
// pointer, and the pictures once the window has settled.
void Play(MainWindow& window, HelpWindow& help, const UnattendedRun& opt) {
  if (opt.styled) window.chart()->setStyle(opt.chartStyle);
  for (const auto& [what, arg] : opt.actions) {
    Event ev;
    if (what == "set") {
      const auto eq = arg.find('=');
      window.typeInto(arg.substr(0, eq),
                      eq == std::string::npos ? std::string() : arg.substr(eq + 1));
      continue;
    }
    if (what == "import") {
      window.importFiles({QString::fromLocal8Bit(arg.c_str())});
      continue;
    }
    ev.kind = what == "enter" ? Event::KeyPress : Event::Click;
    ev.key = 13;
    window.fire(arg, ev);
  }
  if (!opt.helpText.empty()) {
    window.workspace().help.ShowText(opt.helpText);
    window.mirror();
  }
  ScanWindow* scan = nullptr;
  if (!opt.scan.empty() || !opt.shotScan.isEmpty()) {
    scan = window.openScan();
    scan->move(window.geometry().topLeft() + QPoint(120, 60));
    if (!opt.scan.empty()) {
      scan->setShortTerm(opt.scan == "short");
      scan->start();
    }
  }
  // "検証図" of the stock and rule the actions left current.
  BacktestView* figures = nullptr;
  if (!opt.shotBacktest.isEmpty()) {
    figures = window.openBacktest();
    figures->move(window.geometry().topLeft() + QPoint(80, 40));
  }
  // "資金管理検証" run with the settings it opens with.
  PortfolioWindow* money = nullptr;
  if (!opt.shotPortfolio.isEmpty()) {
    money = window.openPortfolio();
    money->move(window.geometry().topLeft() + QPoint(20, 20));
    money->start();
  }
  auto* wait = new QElapsedTimer;
  wait->start();
  auto* poll = new QTimer(&window);
  MainWindow* w = &window;
  HelpWindow* h = &help;
  const UnattendedRun* o = &opt;
  QObject::connect(poll, &QTimer::timeout, &window, [w, h, o, wait, poll, scan, figures, money] {
    if (h->browser()->loading() && wait->elapsed() < 10000) return;
    // A scan runs to its end, however long it takes.
    if (scan && scan->running()) return;
    if (money && money->running()) return;
    poll->stop();
    delete wait;
    if (scan) std::printf("scan: %d rows\n", scan->model()->rowCount());
    if (o->hover) {
      // As the pointer moving there would.
      ChartWidget* chart = w->chart();
      QMouseEvent move(QEvent::MouseMove, o->hoverAt, chart->viewport()->mapToGlobal(o->hoverAt),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(chart->viewport(), &move);
      if (chart->readoutShown())
        std::printf("readout: %s\n", qPrintable(chart->readoutText().replace('\n', " | ")));
    }
    std::fflush(stdout);
    QTimer::singleShot(o->settleMs, w, [w, h, o, scan, figures, money] {
      Shoot(*w, *h, *o, scan, figures, money);
    });
  });
  poll->start(50);
}

}  // namespace

void StartUnattendedRun(MainWindow& window, HelpWindow& help, const UnattendedRun& run) {
  MainWindow* w = &window;
  HelpWindow* h = &help;
  const UnattendedRun* o = &run;
  QTimer::singleShot(run.settleMs, w, [w, h, o] { Play(*w, *h, *o); });
}

}  // namespace tavrine::gui
