// 一括更新 in the window and without it, against the in-process stand-in of
// the J-Quants API: the button asks for a missing key and runs with its
// progress dialog, 中止 and a wrong key leave every file as it was, the
// settings dialog saves the key and plan, the notification names the stocks
// with a new signal; `tavrine --update` runs without a window or hands the
// update to the window that holds the data folder, and exits with the
// outcome, and SIGTERM cancels it cleanly. The key is never shown.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/build_paths.h"
#include "../web/jquants_support.h"
#include "app/today_list.h"
#include "app/workspace.h"
#include "gui/handover.h"
#include "gui/import_ui.h"
#include "gui/list_jobs.h"
#include "gui/main_window.h"
#include "gui/notification.h"
#include "gui/update_ui.h"
#include "session_bus.h"
#include "store/codec.h"
#include "store/save_guard.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using jquantstest::kKey;

namespace {

struct Box {
  std::string text;
  bool isError;
};

// The bytes of every file an update may write.
std::map<std::string, std::string> Files(const testing::DataFolder& f) {
  return testing::FileBytes(f, {"デ-タ一覧.csv", "tavrine/hizuke.csv", "listwerk/kabuka/code.txt",
                                "tavrine.ini", "tavrine/adjust.log"});
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class UpdateWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void buttonAsksForAMissingKeyThenUpdatesWithProgress();
  void cancelAndAWrongKeyChangeNothing();
  void anUpdateWhileAHandlerRunsIsRefused();
  void noticeNamesTheStocksWithANewSignal();
  void withoutAWindowTheUpdateRunsAndExitsWithItsOutcome();
  void aWindowHoldingTheFolderRunsTheUpdateItIsHanded();
  void aFileHandedOverDuringAnUpdateWaitsForIt();
  void anUpdateHandedOverDuringAnImportQuestionWaitsForIt();
  void aWindowStartedDuringTheTimersUpdateWaitsForIt();
  void aSignalEndsTheUpdateWithoutAWindowCleanly();
  void withoutAWindowTheNoticeGoesOverTheSessionBus();

 private:
  // A sample list four days behind the stand-in, served with `o`, and a
  // started window on it.
  void start(jquantssite::Options o = {});
  // The texts the program showed: boxes and the progress dialog's lines.
  void expectKeyNeverShown(const std::vector<QString>& more = {});
  // tavrine --update with the environment as it is, notify-send recording
  // its arguments into `notified`; the run's exit code, stdout and stderr.
  struct Run {
    int code = -1;
    QString out, err;
  };
  // `extra` is added to the environment.
  QProcess* startProgram(const QStringList& args = {QStringLiteral("--update")},
                         const QProcessEnvironment& extra = {});
  Run finish(QProcess* p);
  // A price file of the window's list's days (oldest first), closes from
  // 500 up, at `path`.
  QString writeListPrices(const QString& path);
  // This process holds the folder as the window's program does, and the
  // window answers hand-overs.
  void serve(HandOverServer& server);
  // The stock list on disk holds the update's new day and the stock 7777.
  void expectUpdateAndImportSaved();

  QTemporaryDir dir;
  QString fakeBin, notified;
  std::unique_ptr<testing::DataFolder> folder;
  std::unique_ptr<jquantstest::LiveJQuants> site;
  std::unique_ptr<MainWindow> win;
  std::vector<Box> boxes;
  std::vector<QString> progress;
  std::vector<SignalNotice> notices;
  int asked = 0;
};

void UpdateWindowTest::initTestCase() {
  QVERIFY(dir.isValid());
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path() + "/config");
  // A notify-send that records what it was asked to show.
  fakeBin = dir.path() + "/bin";
  notified = dir.path() + "/notified";
  QVERIFY(QDir().mkpath(fakeBin));
  QFile tool(fakeBin + "/notify-send");
  QVERIFY(tool.open(QIODevice::WriteOnly));
  tool.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + notified.toUtf8() + "\"\n");
  tool.close();
  tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void UpdateWindowTest::start(jquantssite::Options o) {
  // The window and the folder of a test before go first: a folder puts the
  // environment back as it found it, so the old one must leave before the
  // new one looks.
  win.reset();
  site.reset();
  folder.reset();
  folder = std::make_unique<testing::DataFolder>();
  jquantstest::SampleFolder(*folder, 6, 300, 4);
  site = std::make_unique<jquantstest::LiveJQuants>(*folder, o);
  WindowOptions wo;
  wo.remember = false;
  wo.messageHook = [this](const std::string& t, bool e) { boxes.push_back({t, e}); };
  win = testing::ShowWindow(wo);
  QVERIFY(win);
  win->updater().notify = [this](const SignalNotice& n) { notices.push_back(n); };
  win->updater().onProgress = [this](QProgressDialog& bar) {
    // The dialog is up, modal to the window, while the run goes on.
    QVERIFY(bar.isVisible());
    QCOMPARE(bar.windowModality(), Qt::WindowModal);
    if (progress.empty() || progress.back() != bar.labelText()) progress.push_back(bar.labelText());
  };
  win->updater().askSettings = [this](JQuantsKeyDialog& d) {
    ++asked;
    d.keyBox()->setText(Q(kKey));
    d.accept();
  };
  boxes.clear();
}

void UpdateWindowTest::init() {
  boxes.clear();
  progress.clear();
  notices.clear();
  asked = 0;
  QFile::remove(notified);
}

void UpdateWindowTest::cleanup() {
  win.reset();
  site.reset();
  folder.reset();
  DisableSaveGuard();
}

void UpdateWindowTest::expectKeyNeverShown(const std::vector<QString>& more) {
  std::vector<QString> texts = progress;
  for (const Box& b : boxes) texts.push_back(Q(b.text));
  if (win)
    for (const QString& said : win->successes()) texts.push_back(said);
  for (const SignalNotice& n : notices) {
    texts.push_back(n.title);
    texts.push_back(n.text);
  }
  texts.insert(texts.end(), more.begin(), more.end());
  for (const QString& t : texts) QVERIFY2(!t.contains(QString::fromLatin1(kKey)), qPrintable(t));
}

QProcess* UpdateWindowTest::startProgram(const QStringList& args,
                                         const QProcessEnvironment& extra) {
  auto* p = new QProcess(this);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", fakeBin + ":" + env.value("PATH"));
  env.insert(extra);
  p->setProcessEnvironment(env);
  p->start(QString::fromUtf8(testing::kProgramExe), args);
  return p;
}

QString UpdateWindowTest::writeListPrices(const QString& path) {
  const WorkTable& list = win->workspace().StockList;
  std::vector<std::string> days;
  for (int r = 1; r <= 300 && !IsBlank(list.cell(0, r)); ++r)
    days.insert(days.begin(), list.cell(0, r));
  std::string text = "日付,始値,高値,安値,終値,出来高\r\n";
  for (std::size_t i = 0; i < days.size(); ++i) {
    const std::string c = std::to_string(500 + i);
    text += days[i] + "," + c + "," + c + "," + c + "," + c + ",1000\r\n";
  }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return {};
  f.write(text.data(), static_cast<qint64>(text.size()));
  return path;
}

void UpdateWindowTest::serve(HandOverServer& server) {
  EnableSaveGuard("tavrine");
  QCOMPARE(Q(ClaimDataFolder()), QString());
  QVERIFY(server.listen(HandOverName()));
  ServeWindow(server, *win);
}

void UpdateWindowTest::expectUpdateAndImportSaved() {
  const std::string saved = testing::ReadFileBytes(folder->path("デ-タ一覧.csv"));
  QVERIFY(saved.find("2003/12/26") != std::string::npos);
  const std::string heading = saved.substr(0, saved.find('\n'));
  QVERIFY2(
      heading.find(",7777") != std::string::npos || heading.find(",\"7777 ") != std::string::npos,
      Cp932ToUtf8(heading).c_str());
}

UpdateWindowTest::Run UpdateWindowTest::finish(QProcess* p) {
  // The window's own events run while the program waits for it.
  [&] { QTRY_VERIFY_WITH_TIMEOUT(p->state() == QProcess::NotRunning, 120000); }();
  Run r;
  r.code = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
  r.out = QString::fromUtf8(p->readAllStandardOutput());
  r.err = QString::fromUtf8(p->readAllStandardError());
  delete p;
  return r;
}

void UpdateWindowTest::buttonAsksForAMissingKeyThenUpdatesWithProgress() {
  start();
  qunsetenv("TAVRINE_JQUANTS_KEY");  // the folder puts it back at the end
  Workspace& ws = win->workspace();
  const QString code = Q(ws.form.text("Edit1"));
  QVERIFY(!code.isEmpty());
  QVERIFY(Q(ws.form.text("Edit2")) != QStringLiteral("2003/12/26"));

  // First a key the settings refuse: the dialog stays, says why, never
  // echoes the key, and writes nothing.
  win->updater().askSettings = [this](JQuantsKeyDialog& d) {
    ++asked;
    QCOMPARE(d.keyBox()->echoMode(), QLineEdit::Password);
    QCOMPARE(d.planBox()->count(), 4);
    d.keyBox()->setText(QStringLiteral("全角キー 123"));
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Rejected));
    const QString note = d.findChild<QLabel*>(QStringLiteral("JQuantsNote"))->text();
    QVERIFY2(note.contains(QStringLiteral("APIキー")), qPrintable(note));
    QVERIFY(!note.contains(QStringLiteral("全角キー")));
    QVERIFY(!std::filesystem::exists(folder->path("tavrine.ini")) ||
            testing::ReadFileBytes(folder->path("tavrine.ini")).find("key=") == std::string::npos);
    // Then the right one, with the plan chosen.
    d.keyBox()->setText(QStringLiteral("  ") + Q(kKey) + QStringLiteral(" "));
    d.planBox()->setCurrentIndex(d.planBox()->findData(QStringLiteral("light")));
    d.accept();
  };
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QCOMPARE(asked, 1);

  // The key and plan are kept for the owner only.
  const std::string ini = testing::ReadFileBytes(folder->path("tavrine.ini"));
  QVERIFY2(ini.find(std::string("key=") + kKey) != std::string::npos, ini.c_str());
  QVERIFY(ini.find("plan=light") != std::string::npos);
  QCOMPARE(std::filesystem::status(folder->path("tavrine.ini")).permissions() &
               std::filesystem::perms::all,
           std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // One request a day, each shown in the dialog.
  QVERIFY2(progress.size() >= 4, qPrintable(QString::number(progress.size())));
  QVERIFY(std::find(progress.begin(), progress.end(),
                    QStringLiteral("一括更新: 2003/12/26 の株価を取得しています (4/4日)")) !=
          progress.end());
  QVERIFY(!win->findChild<QProgressDialog*>() || !win->findChild<QProgressDialog*>()->isVisible());

  // The summary on the status bar, no box; the list, the calendar and the
  // chart show the new days, with the same stock on the chart.
  QVERIFY2(boxes.empty(), boxes.empty() ? "" : boxes[0].text.c_str());
  QVERIFY2(win->successBar()->currentMessage().startsWith(
               QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(win->successBar()->currentMessage()));
  QCOMPARE(Q(ws.StockList.cell(0, 1)), QStringLiteral("2003/12/26"));
  QVERIFY(testing::ReadFileBytes(folder->path("tavrine/hizuke.csv")).find("2003/12/26") !=
          std::string::npos);
  QCOMPARE(Q(ws.form.text("Edit1")), code);
  QCOMPARE(Q(ws.form.text("Edit2")), QStringLiteral("2003/12/26"));
  QCOMPARE(notices.size(), std::size_t{1});
  QVERIFY(notices[0].title.contains(QStringLiteral("2003/12/26")));
  expectKeyNeverShown();

  // Again: the key is there, so no question; nothing new, nothing written,
  // no notification.
  const auto files = Files(*folder);
  boxes.clear();
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QCOMPARE(asked, 1);
  QVERIFY(boxes.empty());
  QCOMPARE(win->successBar()->currentMessage(),
           QStringLiteral("デ-タ一覧は最新です (2003/12/26 まで)"));
  QCOMPARE(notices.size(), std::size_t{1});
  QVERIFY(Files(*folder) == files);

  // 更新設定 shows the kept key (as dots) and plan; a cancel keeps them.
  win->updater().askSettings = [this](JQuantsKeyDialog& d) {
    ++asked;
    QCOMPARE(d.keyBox()->text(), QString::fromLatin1(kKey));
    QCOMPARE(d.planBox()->currentData().toString(), QStringLiteral("light"));
    d.keyBox()->setText(QStringLiteral("other-key"));
    d.reject();
  };
  QTest::mouseClick(win->widget("UpdateSettingsButton"), Qt::LeftButton);
  QCOMPARE(asked, 2);
  QVERIFY(Files(*folder) == files);
}

void UpdateWindowTest::cancelAndAWrongKeyChangeNothing() {
  // The second day's request is answered 429 with a wait of ten minutes.
  jquantssite::Options o;
  o.rateLimitAt = 2;
  o.retryAfter = 600;
  start(o);
  const auto files = Files(*folder);

  // 中止 while the run waits for the service's limit.
  bool clicked = false;
  win->updater().onProgress = [&](QProgressDialog& bar) {
    progress.push_back(bar.labelText());
    if (clicked || !bar.labelText().contains(QStringLiteral("秒待っています"))) return;
    clicked = true;
    QPushButton* cancel = nullptr;
    for (QPushButton* b : bar.findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("中止")) cancel = b;
    QVERIFY(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
  };
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QVERIFY(clicked);
  QCOMPARE(asked, 0);
  QVERIFY(boxes.empty());
  QCOMPARE(win->successBar()->currentMessage(),
           QStringLiteral("一括更新を中止しました。デ-タ一覧は変わっていません。"));
  QVERIFY(Files(*folder) == files);
  QVERIFY(notices.empty());

  // A key the service refuses, entered through 更新設定: one error box,
  // every file but the settings as it was, the key in none of the texts.
  const std::string wrong = "WRONG-key-31415";
  win->updater().askSettings = [&](JQuantsKeyDialog& d) {
    ++asked;
    // The settings hold no key yet; the environment's is named, not shown.
    QVERIFY(d.keyBox()->text().isEmpty());
    QVERIFY(d.findChild<QLabel*>(QStringLiteral("JQuantsNote"))
                ->text()
                .contains(QStringLiteral("TAVRINE_JQUANTS_KEY")));
    d.keyBox()->setText(Q(wrong));
    d.planBox()->setCurrentIndex(d.planBox()->findData(QStringLiteral("premium")));
    d.accept();
  };
  QTest::mouseClick(win->widget("UpdateSettingsButton"), Qt::LeftButton);
  QCOMPARE(asked, 1);
  QVERIFY(testing::ReadFileBytes(folder->path("tavrine.ini")).find("plan=premium") !=
          std::string::npos);
  qunsetenv("TAVRINE_JQUANTS_KEY");  // the settings' key is used
  auto before = Files(*folder);
  boxes.clear();
  win->updater().onProgress = {};
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QCOMPARE(asked, 1);
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(boxes[0].isError);
  QVERIFY2(Q(boxes[0].text).startsWith(QStringLiteral("一括更新できませんでした")),
           boxes[0].text.c_str());
  QVERIFY2(Q(boxes[0].text).contains(QStringLiteral("キー")), boxes[0].text.c_str());
  QVERIFY(boxes[0].text.find(wrong) == std::string::npos);
  QVERIFY(Files(*folder) == before);
  expectKeyNeverShown();
}

void UpdateWindowTest::anUpdateWhileAHandlerRunsIsRefused() {
  start();
  const auto files = Files(*folder);
  // A hand-over's update arrives while a handler waits in its message box:
  // it is refused with the busy note, and answered so.
  std::vector<UpdateSummary> answered;
  win->platform().messageHook = [&](const std::string& t, bool e) {
    boxes.push_back({t, e});
    if (answered.empty())
      win->updater().run(false, [&](const UpdateSummary& s) { answered.push_back(s); });
  };
  win->fire("Button18", Event{});  // 保存 of the memo: "保存しました。"
  QVERIFY2(!answered.empty(), "no handler showed a box");
  QVERIFY(answered[0].busy);
  QCOMPARE(UpdateStatus(answered[0]), 1);
  QVERIFY(UpdateOutcomeText(answered[0]).contains(QStringLiteral("デ-タ一覧は変わっていません")));
  QCOMPARE(Q(win->workspace().form.text("StatusBar1")), Q(kBusyStatus));
  QVERIFY(Files(*folder) == files);
}

void UpdateWindowTest::noticeNamesTheStocksWithANewSignal() {
  start();
  const WorkTable& list = win->workspace().StockList;
  const std::string day = list.cell(0, 1);
  // A stock of the sample with a new signal on the newest day, copied as
  // twelve stocks, and once more a day older (the same signal, new on the
  // day before): ten are named, two counted, the older one left out.
  const std::vector<TodayListRow> rows =
      TodayListRows(TodaySignals(list, true), TodaySignals(list, false));
  const auto signalling =
      std::find_if(rows.begin(), rows.end(), [&](const TodayListRow& r) { return r.date == day; });
  QVERIFY(signalling != rows.end());
  WorkTable copies = list;
  for (int c = 1; c <= 197; ++c) copies.set(c, 0, "");
  for (int c = 1; c <= 13; ++c) {
    const int shift = c == 13 ? 1 : 0;
    copies.set(c, 1, "");
    for (int r = 1; r + shift < copies.rowCount(); ++r)
      copies.set(c, r + shift, list.cell(signalling->column, r));
    copies.set(c, 0, std::to_string(3000 + c) + " 写し" + std::to_string(c));
  }
  SignalNotice n = NewSignalNotice(copies, StrToDate(day));
  QCOMPARE(n.title, Q(day) + QStringLiteral(" に信号の出た銘柄: 12銘柄"));
  QStringList named;
  for (int c = 1; c <= kNoticeNames; ++c) named << QStringLiteral("%1 写し%2").arg(3000 + c).arg(c);
  QCOMPARE(n.text, named.join(QStringLiteral("、")) + QStringLiteral(" ほか2銘柄"));

  // The older one alone: nothing new on the new day.
  for (int c = 1; c <= 12; ++c) copies.set(c, 0, "");
  n = NewSignalNotice(copies, StrToDate(day));
  QCOMPARE(n.text, QStringLiteral("新しい信号の出た銘柄はありません。"));
}

void UpdateWindowTest::withoutAWindowTheUpdateRunsAndExitsWithItsOutcome() {
  // A service that answers its second request of prices with an HTML page:
  // the run fails, says why on standard error, and changes nothing.
  jquantssite::Options bad;
  bad.htmlAt = 2;
  start(bad);
  win.reset();  // no window: the program takes the folder itself
  const auto files = Files(*folder);
  Run r = finish(startProgram());
  QCOMPARE(r.code, 1);
  QVERIFY2(
      r.err.contains(QStringLiteral("一括更新できませんでした。デ-タ一覧は変わっていません。")),
      qPrintable(r.err));
  QVERIFY(Files(*folder) == files);
  QVERIFY(!QFile::exists(notified));
  expectKeyNeverShown({r.out, r.err});

  // A sound service: the new days, one line a request, the summary on
  // standard output, a notification of the new day.
  site.reset();
  site = std::make_unique<jquantstest::LiveJQuants>(*folder);
  r = finish(startProgram());
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("(4/4日)")), qPrintable(r.out));
  QVERIFY2(r.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(r.out));
  QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
  QVERIFY(testing::ReadFileBytes(folder->path("デ-タ一覧.csv")) != files.at("デ-タ一覧.csv"));
  QFile note(notified);
  QVERIFY(note.open(QIODevice::ReadOnly));
  const QString said = QString::fromUtf8(note.readAll());
  QVERIFY2(said.contains(QStringLiteral("2003/12/26")), qPrintable(said));
  expectKeyNeverShown({r.out, r.err, said});

  // Nothing new: status 0, nothing written.
  const auto after = Files(*folder);
  r = finish(startProgram());
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("デ-タ一覧は最新です (2003/12/26 まで)")),
           qPrintable(r.out));
  QVERIFY(Files(*folder) == after);
}

void UpdateWindowTest::aWindowHoldingTheFolderRunsTheUpdateItIsHanded() {
  start();
  // This process holds the folder as the window's program does, and listens.
  EnableSaveGuard("tavrine");
  QCOMPARE(Q(ClaimDataFolder()), QString());
  HandOverServer server;
  QVERIFY(server.listen(HandOverName()));
  ServeWindow(server, *win);

  // Without a key the window asks nothing: the program fails with the reason.
  qunsetenv("TAVRINE_JQUANTS_KEY");
  const auto files = Files(*folder);
  Run r = finish(startProgram());
  QCOMPARE(asked, 0);
  QCOMPARE(r.code, 1);
  QVERIFY2(r.err.contains(QStringLiteral("キーが設定されていません")), qPrintable(r.err));
  QVERIFY(Files(*folder) == files);
  QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), std::size_t{1}, 30000);
  QVERIFY(boxes[0].isError);

  // With the key the window runs it as its button does; the program hears
  // the summary and ends with status 0.
  qputenv("TAVRINE_JQUANTS_KEY", kKey);
  boxes.clear();
  r = finish(startProgram());
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(r.out));
  QCOMPARE(Q(win->workspace().StockList.cell(0, 1)), QStringLiteral("2003/12/26"));
  QCOMPARE(notices.size(), std::size_t{1});
  QTRY_COMPARE_WITH_TIMEOUT(win->successes().size(), 1, 30000);
  QVERIFY(boxes.empty());
  QVERIFY(!QFile::exists(notified));  // the window's notification, not the program's
  expectKeyNeverShown({r.out, r.err});

  // Files are still handed over as before (from a thread: the window
  // answers on this one).
  std::atomic<int> filesTaken{-1};
  std::thread newcomer([&] { filesTaken = HandOverFiles(HandOverName(), {}) ? 1 : 0; });
  QTRY_VERIFY_WITH_TIMEOUT(filesTaken.load() >= 0, 30000);
  newcomer.join();
  QCOMPARE(filesTaken.load(), 1);
}

void UpdateWindowTest::aFileHandedOverDuringAnUpdateWaitsForIt() {
  // The second day's request is answered 429 with a wait of a second, during
  // which a second start hands a file to the window.
  jquantssite::Options o;
  o.rateLimitAt = 2;
  o.retryAfter = 1;
  start(o);
  HandOverServer server;
  serve(server);
  const QString file = writeListPrices(dir.path() + "/7777.csv");
  QVERIFY(!file.isEmpty());
  const WorkTable& list = win->workspace().StockList;
  const std::string first = list.cell(1, 0);
  const std::string code = first.substr(0, 4);
  win->askName = [](const QString&) { return QStringLiteral("待った名前"); };
  bool handed = false;
  win->updater().onProgress = [&](QProgressDialog& bar) {
    if (handed || !bar.labelText().contains(QStringLiteral("秒待っています"))) return;
    handed = true;
    std::atomic<int> ok{-1};
    std::thread newcomer([&] { ok = HandOverFiles(HandOverName(), {file}) ? 1 : 0; });
    QTRY_VERIFY_WITH_TIMEOUT(ok.load() >= 0, 30000);
    newcomer.join();
    QCOMPARE(ok.load(), 1);
    // The import waits for the update, and the status line says so.
    QTRY_COMPARE_WITH_TIMEOUT(
        Q(win->workspace().form.text("StatusBar1")),
        ListJobs::WaitNote(QStringLiteral("取込"), QStringLiteral("一括更新")), 30000);
    QCOMPARE(win->jobs().waiting(), 1);
    // A rename chosen in the window meanwhile waits behind them.
    win->chooseRename(Q(first));
    QCOMPARE(win->jobs().waiting(), 2);
    QCOMPARE(Q(win->workspace().StockList.cell(1, 0)), Q(first));
    QVERIFY(boxes.empty());
  };
  QTest::mouseClick(win->widget("UpdateButton"), Qt::LeftButton);
  QVERIFY(handed);
  // The update's summary, then the import's, on the list the update left;
  // then the rename, on the list the import left.
  const QStringList& said = win->successes();  // newest first
  QVERIFY(said.size() >= 2);
  QVERIFY2(said[said.size() - 1].contains(QStringLiteral("一括更新完了")), qPrintable(said.back()));
  QVERIFY2(said[said.size() - 2].contains(QStringLiteral("取込完了")), qPrintable(said[1]));
  for (const Box& b : boxes) QVERIFY2(!b.isError, b.text.c_str());
  QCOMPARE(win->jobs().waiting(), 0);
  QCOMPARE(Q(list.cell(1, 0)), Q(code) + QStringLiteral(" 待った名前"));
  QVERIFY(Cp932ToUtf8(testing::ReadFileBytes(folder->path("デ-タ一覧.csv")))
              .find(code + " 待った名前") != std::string::npos);
  QCOMPARE(Q(list.cell(0, 1)), QStringLiteral("2003/12/26"));
  bool found = false;
  for (int c = 1; c <= 197; ++c) found |= list.cell(c, 0).rfind("7777", 0) == 0;
  QVERIFY(found);
  expectUpdateAndImportSaved();
}

void UpdateWindowTest::anUpdateHandedOverDuringAnImportQuestionWaitsForIt() {
  start();
  HandOverServer server;
  serve(server);
  // A file that names no stock: the window asks for the code, and while it
  // asks, the timer's `tavrine --update` hands its update over.
  const QString file = writeListPrices(dir.path() + "/prices.csv");
  QVERIFY(!file.isEmpty());
  QProcess* timer = nullptr;
  win->importer().askCode = [&](const QString&) {
    timer = startProgram();
    [&] {
      QTRY_COMPARE_WITH_TIMEOUT(
          Q(win->workspace().form.text("StatusBar1")),
          ListJobs::WaitNote(QStringLiteral("一括更新"), QStringLiteral("取込")), 60000);
    }();
    return QStringLiteral("7777 待つ銘柄");
  };
  QVERIFY(win->importFiles({file}));
  QVERIFY(timer);
  // The update ran after the import, on the list the import saved, and the
  // program heard its real outcome.
  const Run r = finish(timer);
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(r.out));
  QCOMPARE(Q(win->workspace().StockList.cell(0, 1)), QStringLiteral("2003/12/26"));
  expectUpdateAndImportSaved();
}

void UpdateWindowTest::aWindowStartedDuringTheTimersUpdateWaitsForIt() {
  // The update waits five seconds for the service's limit; the window is
  // started meanwhile and imports a file once it is open.
  jquantssite::Options o;
  o.rateLimitAt = 2;
  o.retryAfter = 5;
  start(o);
  const QString file = writeListPrices(dir.path() + "/7777.csv");
  QVERIFY(!file.isEmpty());
  win.reset();
  QProcess* timer = startProgram();
  QByteArray said;
  QTRY_VERIFY_WITH_TIMEOUT((said += timer->readAllStandardOutput()).contains("待っています"),
                           60000);
  QProcess* window = startProgram(
      {QStringLiteral("--import"), file, QStringLiteral("--settle"), QStringLiteral("50")});
  const Run w = finish(window);
  Run u = finish(timer);
  u.out.prepend(QString::fromUtf8(said));
  QCOMPARE(u.code, 0);
  QVERIFY2(u.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(u.out));
  // The window said that it waits, opened on the updated list, and its
  // import was saved over it.
  QCOMPARE(w.code, 0);
  QVERIFY2(w.out.contains(QStringLiteral("progress: 一括更新 (tavrine --update) の実行中です。")),
           qPrintable(w.out + w.err));
  QVERIFY2(!w.out.contains(QStringLiteral("使用中")), qPrintable(w.out));
  expectUpdateAndImportSaved();
}

void UpdateWindowTest::aSignalEndsTheUpdateWithoutAWindowCleanly() {
  // The service stalls on the first page; SIGTERM while the run waits for it.
  jquantssite::Options o;
  o.dripAt = 1;
  o.dripMs = 60000;
  start(o);
  win.reset();
  const auto files = Files(*folder);
  QProcess* p = startProgram();
  QTRY_VERIFY_WITH_TIMEOUT(site->site().barRequests() >= 1, 60000);
  QVERIFY(p->state() == QProcess::Running);
  ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
  const Run r = finish(p);
  QCOMPARE(r.code, -1);  // ended by the signal, after saying so
  QVERIFY2((r.out + r.err)
               .contains(QStringLiteral("一括更新を中止しました。デ-タ一覧は変わっていません。")),
           qPrintable(r.out + r.err));
  QVERIFY(Files(*folder) == files);
  QVERIFY(!QFile::exists(notified));
}

void UpdateWindowTest::withoutAWindowTheNoticeGoesOverTheSessionBus() {
  testing::TestSessionBus bus;
  QVERIFY2(!bus.address().isEmpty(), qPrintable(bus.why()));
  testing::FakeNotifications server;
  QVERIFY(server.serve(bus.address(), QStringLiteral("notices")));
  // The program's session bus is the test's, its settings this test's.
  QProcessEnvironment env;
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + "/config");
  QVERIFY(UpdateNoticesOn());

  start();
  win.reset();  // no window: the timer's run takes the folder itself
  QProcess* p = startProgram({QStringLiteral("--update")}, env);
  // It waits for a click on its notice; the notice closed lets it end.
  QTRY_COMPARE_WITH_TIMEOUT(server.calls.size(), std::size_t{1}, 120000);
  const testing::FakeNotifications::Call sent = server.calls[0];
  QVERIFY(server.close(sent.id));
  Run r = finish(p);
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(r.out));
  QVERIFY(!QFile::exists(notified));  // the bus took it: notify-send was not needed
  QCOMPARE(sent.app, QStringLiteral("tavrine"));
  QVERIFY(sent.actions.contains(QStringLiteral("default")));
  // The count of new signals is that of the list the run saved.
  WindowOptions wo;
  wo.remember = false;
  wo.messageHook = [this](const std::string& t, bool e) { boxes.push_back({t, e}); };
  win = testing::ShowWindow(wo);
  QVERIFY(win);
  const SignalNotice n = NewSignalNotice(win->workspace().StockList, StrToDate("2003/12/26"));
  QVERIFY(n.signalCount > 0);
  QCOMPARE(sent.summary, NewSignalsTitle(n.day, n.signalCount, n.stocks));
  QVERIFY2(sent.summary.contains(QStringLiteral("%1件").arg(n.signalCount)),
           qPrintable(sent.summary));
  QCOMPARE(sent.body, n.text);

  // Turned off: the same run sends nothing, on the bus or by notify-send.
  SetUpdateNoticesOn(false);
  start();
  win.reset();
  server.calls.clear();
  r = finish(startProgram({QStringLiteral("--update")}, env));
  SetUpdateNoticesOn(true);
  QCOMPARE(r.code, 0);
  QVERIFY2(r.out.contains(QStringLiteral("一括更新完了: 2003/12/26 まで 4日分")),
           qPrintable(r.out));
  // A notice sent would have been answered while the test waited.
  QCOMPARE(server.calls.size(), std::size_t{0});
  QVERIFY(!QFile::exists(notified));
}

QTEST_MAIN(UpdateWindowTest)
#include "update_test.moc"
