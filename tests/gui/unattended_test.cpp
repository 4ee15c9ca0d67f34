// An unattended run of the window (unattended_run.h): its actions reach the
// engine as the user's would, a scan runs to its end before the pictures,
// the pointer's readout is shown, each picture asked for is saved at its
// window's size, and the run ends the event loop.
#include <QAbstractItemModel>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/scan.h"

#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "gui/scan_window.h"
#include "gui/unattended_run.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class UnattendedTest : public WindowTest {
  Q_OBJECT

 private slots:
  void playsActionsThenSavesPicturesAndQuits();
};

void UnattendedTest::playsActionsThenSavesPicturesAndQuits() {
  const std::string code = Headings()[2].substr(0, 4);
  UnattendedRun run;
  QVERIFY(!run.asked());
  run.actions = {{"set", "Edit1=" + code}, {"enter", "Edit1"}, {"click", "Button73"}};
  run.helpText = "規則の説明";
  run.scan = "long";
  run.hover = true;
  run.hoverAt = QPointF(520, 220);
  run.shotMain = home() + "/main.png";
  run.shotHelp = home() + "/help.png";
  run.shotScan = home() + "/scan.png";
  run.shotBacktest = home() + "/backtest.png";
  run.settleMs = 50;
  QVERIFY(run.asked());
  events.clear();
  // The scan holds on until long after the run would have shot without
  // waiting for it.
  auto released = std::make_shared<std::atomic<bool>>(false);
  win->openScan()->runner = [released](const WorkTable& list, const ScanOptions& o) {
    while (!*released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return RunScan(list, o);
  };
  win->scanWindow()->hide();
  QTimer::singleShot(20 * run.settleMs, [released] { *released = true; });

  StartUnattendedRun(*win, *help, run);
  // Returns once the run has quit the event loop.
  const int rc = QApplication::exec();
  *released = true;
  QCOMPARE(rc, 0);

  // The code typed and entered, then G3's button, each one event.
  const QString T = QString::number(Event::Change), K = QString::number(Event::KeyPress),
                C = QString::number(Event::Click);
  QVERIFY2(
      eventSequence().startsWith(QStringLiteral("Edit1:%1 Edit1:%2:13 Button73:%3").arg(T, K, C)),
      qPrintable(eventSequence()));
  QCOMPARE(text("Edit1"), QString::fromStdString(code));
  QCOMPARE(help->label()->text(), QStringLiteral("規則の説明"));
  // The pictures wait for the scan to end.
  ScanWindow* scan = win->scanWindow();
  QVERIFY(scan && !scan->running());
  QVERIFY(scan->model()->rowCount() > 0);
  QVERIFY(win->chart()->readoutShown());

  auto shot = [](const QString& path, const QWidget* of) {
    const QImage image(path);
    return !image.isNull() && image.size() == of->size() * of->devicePixelRatio();
  };
  QVERIFY(shot(run.shotMain, win.get()));
  QVERIFY(shot(run.shotHelp, help.get()));
  QVERIFY(shot(run.shotScan, scan));
  QVERIFY(win->backtestView() && shot(run.shotBacktest, win->backtestView()));
}

QTEST_MAIN(UnattendedTest)
#include "unattended_test.moc"
