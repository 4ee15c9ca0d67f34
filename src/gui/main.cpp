// Program entry: the splash window first, then the main window (whose
// creation runs the start-up), a second hidden splash window, the help
// window, and the event loop. `tavrine --update` runs 一括更新 without a
// window instead, or hands it to the window that holds the data folder; the
// options of an unattended run go to unattended_run.h.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/update.h"
#include "app/workspace.h"
#include "gui/handover.h"
#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/notification.h"
#include "gui/splash_window.h"
#include "gui/style.h"
#include "gui/unattended_run.h"
#include "gui/update_ui.h"
#include "store/folder_lock.h"
#include "store/heap.h"
#include "store/paths.h"
#include "store/save_guard.h"

using namespace tavrine;
using namespace tavrine::gui;

namespace {

struct Options {
  bool quitAfterStart = false;
  // 一括更新 without a window, then the exit status.
  bool update = false;
  // 本日の信号 opened once the window is up (a click on the update's notice).
  bool today = false;
  // Actions and pictures of an unattended run (unattended_run.h).
  UnattendedRun run;
  // Price files named without an option (a desktop's "open with"), imported
  // after the start-up as "--import" imports them.
  QStringList files;
};

void Usage() {
  std::fprintf(stderr,
               "usage: tavrine --update\n"
               "       tavrine [--quit-after-start] [--click CONTROL | --set CONTROL=TEXT | "
               "--enter CONTROL | --import FILE]... [--today] [FILE]...\n"
               "       [--help-text TEXT]\n"
               "       [--scan long|short] [--hover X,Y]\n"
               "       [--chart day|week|month[,line][,overlay]]\n"
               "       [--screenshot FILE] [--screenshot-help FILE] [--screenshot-scan FILE]\n"
               "       [--screenshot-portfolio FILE]\n"
               "       [--screenshot-backtest FILE] [--settle MS]\n");
}

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto next = [&](const char*& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (!std::strcmp(a, "--quit-after-start")) {
      o.quitAfterStart = true;
    } else if (!std::strcmp(a, "--update") && argc == 2) {
      o.update = true;
    } else if (!std::strcmp(a, "--today")) {
      o.today = true;
    } else if (!std::strcmp(a, "--click") && next(v)) {
      o.run.actions.push_back({"click", v});
    } else if (!std::strcmp(a, "--set") && next(v)) {
      o.run.actions.push_back({"set", v});
    } else if (!std::strcmp(a, "--enter") && next(v)) {
      o.run.actions.push_back({"enter", v});
    } else if (!std::strcmp(a, "--import") && next(v)) {
      o.run.actions.push_back({"import", v});
    } else if (!std::strcmp(a, "--help-text") && next(v)) {
      o.run.helpText = v;
    } else if (!std::strcmp(a, "--screenshot") && next(v)) {
      o.run.shotMain = QString::fromLocal8Bit(v);
    } else if (!std::strcmp(a, "--screenshot-help") && next(v)) {
      o.run.shotHelp = QString::fromLocal8Bit(v);
    } else if (!std::strcmp(a, "--screenshot-scan") && next(v)) {
      o.run.shotScan = QString::fromLocal8Bit(v);
    } else if (!std::strcmp(a, "--screenshot-portfolio") && next(v)) {
      o.run.shotPortfolio = QString::fromLocal8Bit(v);
    } else if (!std::strcmp(a, "--screenshot-backtest") && next(v)) {
      o.run.shotBacktest = QString::fromLocal8Bit(v);
    } else if (!std::strcmp(a, "--scan") && next(v) &&
               (!std::strcmp(v, "long") || !std::strcmp(v, "short"))) {
      o.run.scan = v;
    } else if (!std::strcmp(a, "--hover") && next(v)) {
      const QStringList xy = QString::fromLocal8Bit(v).split(',');
      bool okX = false, okY = false;
      if (xy.size() != 2) return false;
      o.run.hoverAt = QPointF(xy[0].toDouble(&okX), xy[1].toDouble(&okY));
      if (!okX || !okY) return false;
      o.run.hover = true;
    } else if (!std::strcmp(a, "--chart") && next(v)) {
      if (!ApplyChartStyleWords(v, o.run.chartStyle)) return false;
      o.run.styled = true;
    } else if (!std::strcmp(a, "--settle") && next(v)) {
      o.run.settleMs = std::atoi(v);
    } else if (a[0] != '-') {
      o.files << QString::fromLocal8Bit(a);
    } else {
      return false;
    }
  }
  return true;
}

// What the update says without a window: each request's progress on
// standard output, nothing else (the outcome is printed by the caller).
class ConsolePlatform : public SilentPlatform {
 public:
  void status(const std::string& text) override {
    if (text == last_) return;
    last_ = text;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

 private:
  std::string last_;
};

// What `tavrine --update` names itself in the data folder's lock file, so a
// window started meanwhile knows to wait for it.
constexpr const char* kUpdateProgram = "tavrine --update";

// True when `tavrine --update` holds the data folder. The holder writes its
// name just after it took the lock, so an empty lock file is read again for
// a moment.
bool UpdateHoldsFolder() {
  for (int i = 0; i < 20; ++i) {
    const LockHolder h = ReadLockHolder(HomeDir());
    if (h.pid > 0) return h.program == kUpdateProgram;
    QThread::msleep(50);
  }
  return false;
}

// A window started while `tavrine --update` holds the folder says so and
// waits for it to end, then takes the folder and opens on the list the
// update left. False when another program took the folder meanwhile.
bool WaitOutUpdate(bool scripted) {
  const QString note = QStringLiteral(
      "一括更新 (tavrine --update) の実行中です。\n"
      "終わりしだい、更新されたデ-タ一覧で開きます。");
  if (scripted) {
    std::printf("progress: %s\n", qPrintable(QString(note).replace('\n', ' ')));
    std::fflush(stdout);
  }
  SplashWindow waiting;
  waiting.setProgress(note);
  waiting.show();
  QEventLoop loop;
  QTimer poll;
  bool held = false;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    bool busy = false;
    if (ClaimDataFolder(&busy).empty()) {
      held = true;
      loop.quit();
    } else if (!busy || !UpdateHoldsFolder()) {
      loop.quit();
    }
  });
  poll.start(200);
  loop.exec();
  return held;
}

// Prints an outcome: the text on standard output when it ran, else on
// standard error; returns the status.
int Outcome(int status, const QString& text) {
  if (!text.isEmpty()) std::fprintf(status == 0 ? stdout : stderr, "%s\n", qPrintable(text));
  return status;
}

// How long `tavrine --update` waits for a click on its notice.
constexpr int kNoticeClickWaitMs = 60000;

// The notice after an update without a window: over D-Bus, where a click
// starts the window with 本日の信号 open; the data folder is let go first,
// so that window need not wait. Without a notification server, the tray or
// notify-send says it (no click then).
void NoticeWithoutWindow(const SignalNotice& n) {
  DisableSaveGuard();
  if (!QDBusConnection::sessionBus().isConnected()) {
    Notify(n, true);
    return;
  }
  DesktopNotifier notifier(QDBusConnection::sessionBus());
  QEventLoop loop;
  QObject::connect(&notifier, &DesktopNotifier::delivered, &loop, [&](bool ok) {
    if (ok) return;
    Notify(n, true);
    loop.quit();
  });
  QObject::connect(&notifier, &DesktopNotifier::opened, &loop, [&] {
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--today")});
    loop.quit();
  });
  QObject::connect(&notifier, &DesktopNotifier::allClosed, &loop, &QEventLoop::quit);
  QTimer::singleShot(kNoticeClickWaitMs, &loop, &QEventLoop::quit);
  notifier.notify(NewSignalsTitle(n.day, n.signalCount, n.stocks), n.text);
  loop.exec();
}

// `tavrine --update`: a window of this user that holds the data folder runs
// the update and answers; else this run takes the folder and runs it here.
int RunUpdate(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tavrine"));
  EnableSaveGuard(kUpdateProgram);
  bool busy = false;
  const std::string refusal = ClaimDataFolder(&busy);
  if (busy) {
    const HandedUpdate handed = HandOverUpdate(HandOverName());
    if (handed.handed) return Outcome(handed.status, handed.text);
    return Outcome(1,
                   QString::fromStdString(FolderBusyMessage(HomeDir(), ReadLockHolder(HomeDir())))
                       .replace('\r', '\n'));
  }
  if (!refusal.empty()) return Outcome(1, QString::fromStdString(refusal).replace('\r', '\n'));

  ConsolePlatform platform;
  Workspace ws(platform);
  UpdateHooks hooks;
  // One line a request, and one a wait for the service's limit.
  hooks.progress = [&](const UpdateProgress& p) {
    platform.status(UpdateProgressText(p));
    return true;
  };
  // SIGINT or SIGTERM ends the update cleanly (nothing half saved), then
  // this run, as the signal asked.
  UpdateSignals stops;
  const UpdateSummary s = UpdateList(ws, hooks, false);
  const bool notice = s.days > 0 && !stops.signal() && UpdateNoticesOn();
  const SignalNotice n = notice ? NewSignalNotice(ws.StockList, s.newest) : SignalNotice{};
  const int status = Outcome(UpdateStatus(s), UpdateOutcomeText(s));
  stops.end();
  if (notice) NoticeWithoutWindow(n);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  KeepFreedMemory();
  SetExecutablePath(argv[0]);
  Options opt;
  if (!Parse(argc, argv, opt)) {
    Usage();
    return 2;
  }
  if (opt.update) return RunUpdate(argc, argv);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tavrine"));
  // Desktops match the window to its installed entry and icon by this id.
  QGuiApplication::setDesktopFileName(
      QString::fromUtf8(kAppId.data(), static_cast<qsizetype>(kAppId.size())));
  QApplication::setFont(PixelFont(12));
  LoadQtTranslations(app);

  const bool scripted = opt.quitAfterStart || opt.run.asked();

  // One writer a data folder, held from here to the end of the run. When a
  // window of this user has the folder, the files go to it and this run
  // ends; when another program has it, this run says which and ends.
  EnableSaveGuard("tavrine");
  bool busy = false;
  bool held = ClaimDataFolder(&busy).empty();
  if (busy) {
    if (HandOverFiles(HandOverName(), opt.files)) return 0;
    // The timer's update: the window opens once it has ended.
    if (UpdateHoldsFolder() && WaitOutUpdate(scripted)) {
      held = true;
      busy = false;
    }
  }
  if (busy) {
    const std::string refusal = FolderBusyAtStartMessage(HomeDir(), ReadLockHolder(HomeDir()));
    if (scripted) {
      std::printf("error: %s\n", refusal.c_str());
      return 1;
    }
    QMessageBox::critical(nullptr, QStringLiteral("tavrine"),
                          QString::fromStdString(refusal).replace('\r', '\n'));
    return 1;
  }
  // A folder that cannot be locked (read only) still opens for reading; its
  // saves are refused with the reason.
  HandOverServer handOver;
  if (held) handOver.listen(HandOverName());

  // The first splash window is up and painted before anything else runs.
  auto* splash = new SplashWindow;
  splash->show();
  splash->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

  WindowOptions wo;
  wo.splash = splash;
  wo.remember = !scripted;
  if (scripted) {
    // Unattended runs print their message boxes instead of waiting on them.
    wo.messageHook = [](const std::string& text, bool isError) {
      std::printf("%s: %s\n", isError ? "error" : "message", text.c_str());
      std::fflush(stdout);
    };
    // Successes too, though the window says them on its status bar.
    wo.successHook = [](const std::string& text) {
      std::printf("message: %s\n", text.c_str());
      std::fflush(stdout);
    };
  }
  MainWindow window(wo);

  // Progress texts after the start-up go to a hidden second splash window.
  auto* hidden = new SplashWindow;
  window.platform().splash = hidden;
  HelpWindow help;
  window.attachHelp(&help);

  window.showAsAsked();
  splash->close();
  splash->deleteLater();
  QCoreApplication::processEvents();
  const qint64 startMs = clock.elapsed();

  if (opt.quitAfterStart) {
    std::printf("start-up: %lld ms\n", static_cast<long long>(startMs));
    delete hidden;
    return 0;
  }

  if (!opt.files.isEmpty()) QTimer::singleShot(0, &window, [&] { window.importFiles(opt.files); });
  if (opt.today) QTimer::singleShot(0, &window, [&] { window.openToday(); });
  // Files handed over by a later `tavrine FILE...` on this folder.
  ServeWindow(handOver, window);

  if (scripted) StartUnattendedRun(window, help, opt.run);

  const int rc = QApplication::exec();
  delete hidden;
  return rc;
}
