// 銘柄追加 in the window against the in-process stand-in of the J-Quants
// API, on a folder without a list: 一括更新 first says how to add a stock;
// the button asks for a name, offers the stocks it matches, runs with its
// progress dialog and makes the list with the chosen stock charted; 中止
// in the dialog leaves every file as it was; while a handler waits in its
// box the addition is refused without a dialog.
#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../web/jquants_support.h"
#include "app/workspace.h"
#include "gui/add_stock_ui.h"
#include "gui/main_window.h"
#include "gui/update_ui.h"
#include "store/control_cells.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;

namespace {

struct Box {
  std::string text;
  bool isError;
};

std::map<std::string, std::string> Files(const testing::DataFolder& f) {
  return testing::FileBytes(f, {"デ-タ一覧.csv", "tavrine/hizuke.csv", "tavrine.ini"});
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Counts the progress dialogs shown while it lives.
class ShownDialogs : public QObject {
 public:
  ShownDialogs() { qApp->installEventFilter(this); }
  ~ShownDialogs() override { qApp->removeEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched)) ++count;
    return false;
  }
};

}  // namespace

class AddStockWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanup();
  void onAnEmptyFolderTheButtonAddsTheChosenStock();
  void cancelInTheDialogChangesNothing();
  void anAdditionWhileAHandlerRunsIsRefusedWithoutADialog();

 private:
  // A sample folder without its list and calendar, the stand-in serving its
  // market, and a started window on it.
  void start();

  QTemporaryDir dir;
  std::unique_ptr<testing::DataFolder> folder;
  std::unique_ptr<jquantstest::LiveJQuants> site;
  std::unique_ptr<MainWindow> win;
  sample::Result data;
  std::vector<Box> boxes;
  std::vector<QString> progress;
};

void AddStockWindowTest::initTestCase() {
  QVERIFY(dir.isValid());
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path() + "/config");
}

void AddStockWindowTest::start() {
  win.reset();
  site.reset();
  folder.reset();
  folder = std::make_unique<testing::DataFolder>();
  data = jquantstest::SampleFolder(*folder, 6, 300, 0);
  std::filesystem::remove(folder->path("デ-タ一覧.csv"));
  std::filesystem::remove(folder->path("tavrine/hizuke.csv"));
  site = std::make_unique<jquantstest::LiveJQuants>(*folder);
  WindowOptions wo;
  wo.remember = false;
  wo.messageHook = [this](const std::string& t, bool e) { boxes.push_back({t, e}); };
  win = testing::ShowWindow(wo);
  QVERIFY(win);
  win->adder().onProgress = [this](QProgressDialog& bar) {
    QVERIFY(bar.isVisible());
    QCOMPARE(bar.windowModality(), Qt::WindowModal);
    if (progress.empty() || progress.back() != bar.labelText()) progress.push_back(bar.labelText());
  };
  boxes.clear();
  progress.clear();
}

void AddStockWindowTest::cleanup() {
  win.reset();
  site.reset();
  folder.reset();
}

void AddStockWindowTest::onAnEmptyFolderTheButtonAddsTheChosenStock() {
  start();
  auto* button = qobject_cast<QPushButton*>(win->widget("AddStockButton"));
  QVERIFY(button);
  QCOMPARE(button->text(), QStringLiteral("銘柄追加"));
  QVERIFY(button->isVisible());

  // 一括更新 has nothing to update: it says how to add a stock.
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY2(Q(boxes[0].text)
               .contains(QStringLiteral(
                   "デ-タ一覧に銘柄がありません。銘柄追加で銘柄コードか銘柄名を入れて下さい")),
           boxes[0].text.c_str());
  boxes.clear();

  // A part of a name two stocks at least hold, the second of them chosen.
  std::map<std::string, int> ends;
  for (const sample::Stock& s : data.stocks)
    if (s.inZenncode && s.name.size() >= 6) ++ends[s.name.substr(s.name.size() - 6)];
  std::string part;
  for (const auto& kv : ends)
    if (kv.second >= 2 && (part.empty() || kv.second > ends[part])) part = kv.first;
  QVERIFY(!part.empty());
  int queries = 0;
  std::vector<MasterStock> offered;
  win->adder().askQuery = [&] {
    ++queries;
    return Q(part);
  };
  win->adder().askChoice = [&](const std::vector<MasterStock>& m) {
    offered = m;
    return 1;
  };
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(queries, 1);
  QCOMPARE(static_cast<int>(offered.size()), ends[part]);
  QCOMPARE(MasterStockText(offered[1]), Q(offered[1].code + " " + offered[1].name + " (プライム)"));
  QVERIFY(std::find(progress.begin(), progress.end(),
                    Q("銘柄追加: " + offered[1].code + " の株価を取得しています")) !=
          progress.end());
  QVERIFY(!win->findChild<QProgressDialog*>() || !win->findChild<QProgressDialog*>()->isVisible());

  // One box, since it says more than one thing (the list and the calendar
  // made); the stock on the chart.
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(Q(boxes[0].text).contains(QStringLiteral("営業日カレンダーを作りました")));
  QVERIFY(win->successBar()->currentMessage().isEmpty());
  QVERIFY2(!boxes[0].isError, boxes[0].text.c_str());
  QVERIFY2(Q(boxes[0].text).startsWith(Q("銘柄追加完了: " + offered[1].code)),
           boxes[0].text.c_str());
  const Workspace& ws = win->workspace();
  QCOMPARE(Q(ws.StockList.cell(1, 0)), Q(offered[1].code + " " + offered[1].name));
  QVERIFY(std::filesystem::exists(folder->path("デ-タ一覧.csv")));
  QVERIFY(std::filesystem::exists(folder->path("tavrine/hizuke.csv")));
  QCOMPARE(Q(ctl::Heading.get(ws.SeriesTable)), Q(offered[1].code + " " + offered[1].name));
  QCOMPARE(Q(ws.form.text("Edit1")), Q(offered[1].code));

  win->grab().save(QDir::temp().filePath("tavrine_add_stock.png"));
}

void AddStockWindowTest::cancelInTheDialogChangesNothing() {
  start();
  const auto files = Files(*folder);
  const sample::Stock* st = nullptr;
  for (const sample::Stock& s : data.stocks)
    if (!st && s.inZenncode && s.close[0] >= 0) st = &s;
  QVERIFY(st);
  win->adder().askQuery = [&] { return Q(st->code); };
  win->adder().onProgress = [](QProgressDialog& bar) { bar.cancel(); };
  QTest::mouseClick(win->widget("AddStockButton"), Qt::LeftButton);
  // Nothing to decide: said on the status bar, no box.
  QVERIFY(boxes.empty());
  QCOMPARE(win->successBar()->currentMessage(),
           QStringLiteral("銘柄追加を中止しました。デ-タ一覧は変わっていません。"));
  QCOMPARE(site->site().barRequests(), 0L);
  QVERIFY(Files(*folder) == files);
  QVERIFY(win->workspace().StockList.cell(1, 0).empty());
}

void AddStockWindowTest::anAdditionWhileAHandlerRunsIsRefusedWithoutADialog() {
  start();
  const auto files = Files(*folder);
  // While a handler waits in its message box the engine refuses at once:
  // no progress dialog opens over the box, the service is not asked.
  std::vector<AddSummary> answered;
  int shownWhileBusy = -1;
  win->platform().messageHook = [&](const std::string& t, bool e) {
    boxes.push_back({t, e});
    if (!answered.empty()) return;
    ShownDialogs shown;
    answered.push_back(win->adder().run(Q(data.stocks[0].code)));
    shownWhileBusy = shown.count;
  };
  win->fire("Button18", Event{});  // 保存 of the memo: "保存しました。"
  QVERIFY2(!answered.empty(), "no handler showed a box");
  QVERIFY(answered[0].busy);
  QCOMPARE(shownWhileBusy, 0);
  QCOMPARE(Q(win->workspace().form.text("StatusBar1")), Q(kBusyStatus));
  QCOMPARE(site->site().barRequests(), 0L);
  QVERIFY(Files(*folder) == files);

  // Once the handler is done the same addition runs with its dialog.
  ShownDialogs shown;
  win->adder().run(Q(data.stocks[0].code));
  QVERIFY(shown.count > 0);
}

QTEST_MAIN(AddStockWindowTest)
#include "add_stock_test.moc"
