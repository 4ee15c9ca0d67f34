// The window's 一括更新 (app/update.h): the dialog of the J-Quants API's key
// and plan, the run with its progress dialog and 中止, one summary box, the
// stock on the chart shown again, and a desktop notification naming the
// stocks with a new signal on the new day.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/update.h"
#include "list/update.h"

QT_BEGIN_NAMESPACE
class QComboBox;
class QLineEdit;
class QProgressDialog;
QT_END_NAMESPACE

namespace tavrine {
class Platform;
class WorkTable;
class Workspace;
}  // namespace tavrine

namespace tavrine::gui {

// "J-Quants API の設定": the key (shown as dots) and the plan, saved to
// tavrine.ini by SaveJQuantsSettings when accepted; a refused entry keeps
// the dialog open with the reason.
class JQuantsKeyDialog : public QDialog {
 public:
  explicit JQuantsKeyDialog(QWidget* parent);
  QLineEdit* keyBox() const { return key_; }
  QComboBox* planBox() const { return plan_; }
  void accept() override;

 private:
  QLineEdit* key_ = nullptr;
  QComboBox* plan_ = nullptr;
};

// The plans as the dialog lists them: the settings' word and its label.
const std::vector<std::pair<std::string, QString>>& JQuantsPlans();

// What a desktop notification after an update says: the title names the
// new day, the text the stocks whose rules turned to buy or sell on it
// (judged honestly), at most kNoticeNames of them and then how many more.
inline constexpr int kNoticeNames = 10;
struct SignalNotice {
  QString title, text;
  QString day;          // the new day
  int signalCount = 0;  // signals new on it
  int stocks = 0;       // stocks they are in
};
SignalNotice NewSignalNotice(const WorkTable& stockList, int newestDay);

// Shows a notification: the tray's balloon when the desktop has a tray and
// the program runs with widgets, else notify-send when it is installed,
// else nothing. wait: run notify-send to its end (a program about to exit).
void Notify(const SignalNotice& n, bool wait = false);

// The exit status and text of an update, as `tavrine --update` ends with
// them: 0 when it ran or nothing was new; the summary in lines.
int UpdateStatus(const UpdateSummary& s);
QString UpdateOutcomeText(const UpdateSummary& s);

// A run's progress dialog as 一括更新 and 銘柄追加 show it: window-modal at
// once, with 中止, kept open until the run closes it; and the engine's
// progress hook that moves it. The range follows the run's count of steps
// (or stays at `steps` when that is above 0), the line is text(p), onStep
// (kept by reference: it outlives the run) sees the dialog after each step;
// the hook answers false once 中止 was pressed. While a handler waits for a
// page (ws.busy()) the engine refuses the run at once with its note on the
// status line: then no dialog opens and there is no hook.
class RunBar {
 public:
  RunBar(QWidget* parent, const Workspace& ws, const QString& objectName, const QString& title,
         const QString& first, int steps, std::string (*text)(const UpdateProgress&),
         const std::function<void(QProgressDialog&)>& onStep);
  std::function<bool(const UpdateProgress&)> hook();
  void close();

 private:
  std::unique_ptr<QProgressDialog> dialog_;
  int steps_;
  std::string (*text_)(const UpdateProgress&);
  const std::function<void(QProgressDialog&)>& onStep_;
};

// What a run says at its end: the failure as an error box, else its summary
// as a success, then each error of a stock that could not be taken.
void ReportOutcome(Platform& platform, const std::string& failure, const std::string& summary,
                   const std::vector<std::string>& errors);

class ListUpdate {
 public:
  // parent owns the dialogs; changed shows the tables as they now are.
  ListUpdate(QWidget* parent, Workspace& ws, std::function<void()> changed)
      : parent_(parent), ws_(ws), changed_(std::move(changed)) {}

  // The button: the key dialog first when there is no key, then the run.
  void choose();
  // The key dialog; true when the settings were saved.
  bool editSettings();
  // Runs the update with the progress dialog. ask: without a key, the key
  // dialog opens (else the run fails with a message). Before the summary
  // box, done hears the outcome (a hand-over answers with it). Refused while
  // a handler waits for a page, and while an update runs.
  UpdateSummary run(bool ask, const std::function<void(const UpdateSummary&)>& done = {});
  bool running() const { return running_; }

  // Instead of the dialog's exec (tests): fills and accepts the dialog, or
  // leaves it for a cancel.
  std::function<void(JQuantsKeyDialog&)> askSettings;
  // Instead of Notify (tests).
  std::function<void(const SignalNotice&)> notify;
  // Sees the progress dialog at each step of the run (tests).
  std::function<void(QProgressDialog&)> onProgress;

 private:
  QWidget* parent_;
  Workspace& ws_;
  std::function<void()> changed_;
  bool running_ = false;
};

}  // namespace tavrine::gui
