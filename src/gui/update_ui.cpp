#include "gui/update_ui.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "app/today_list.h"
#include "app/update.h"
#include "app/workspace.h"
#include "gui/qt_platform.h"
#include "gui/style.h"
#include "list/settings_file.h"
#include "store/paths.h"
#include "store/text.h"
#include "web/jquants_client.h"

namespace tavrine::gui {

namespace {

constexpr const char* kSettingsTitle = "J-Quants API の設定";
constexpr int kKeyBoxWidth = 320;
constexpr int kNoticeShownMs = 15000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A message of the engine's as a box shows it: lines, not CRs.
QString Lines(const std::string& s) { return Q(s).replace(QLatin1Char('\r'), QLatin1Char('\n')); }

// Clears a flag when the scope ends, however it ends.
struct Running {
  explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
  ~Running() { flag_ = false; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;
  bool& flag_;
};

}  // namespace

const std::vector<std::pair<std::string, QString>>& JQuantsPlans() {
  static const std::vector<std::pair<std::string, QString>> plans = {
      {"free", QStringLiteral("フリー (約12週間遅れ)")},
      {"light", QStringLiteral("ライト")},
      {"standard", QStringLiteral("スタンダード")},
      {"premium", QStringLiteral("プレミアム")},
  };
  return plans;
}

JQuantsKeyDialog::JQuantsKeyDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("JQuantsKeyDialog"));
  setWindowTitle(QString::fromUtf8(kSettingsTitle));
  // The dialog edits the settings' key and plan; the environment's, which
  // win over them, are only named.
  const std::string keptKey = ReadSetting("update", "key");
  const std::string keptPlan = ReadSetting("update", "plan");
  const bool keyFromEnvironment = std::getenv("TAVRINE_JQUANTS_KEY") != nullptr;
  const bool planFromEnvironment = std::getenv("TAVRINE_JQUANTS_PLAN") != nullptr;

  auto* v = new QVBoxLayout(this);
  auto* intro = new QLabel(
      QStringLiteral("一括更新は日本取引所グループの J-Quants API から株価を受け取ります。\n"
                     "J-Quants のサイトで発行した APIキーと、契約しているプランを選んで下さい。"),
      this);
  v->addWidget(intro);
  auto* form = new QFormLayout;
  key_ = new QLineEdit(this);
  key_->setObjectName(QStringLiteral("JQuantsKey"));
  key_->setEchoMode(QLineEdit::Password);
  key_->setMinimumWidth(kKeyBoxWidth);
  key_->setText(Q(keptKey));
  form->addRow(QStringLiteral("APIキー"), key_);
  plan_ = new QComboBox(this);
  plan_->setObjectName(QStringLiteral("JQuantsPlan"));
  for (const auto& [word, label] : JQuantsPlans()) plan_->addItem(label, Q(word));
  const int at = plan_->findData(Q(keptPlan).toLower());
  plan_->setCurrentIndex(at < 0 ? 0 : at);
  form->addRow(QStringLiteral("プラン"), plan_);
  v->addLayout(form);

  auto* note = new QLabel(this);
  note->setObjectName(QStringLiteral("JQuantsNote"));
  note->setWordWrap(true);
  QStringList overriding;
  if (keyFromEnvironment) overriding << QStringLiteral("TAVRINE_JQUANTS_KEY");
  if (planFromEnvironment) overriding << QStringLiteral("TAVRINE_JQUANTS_PLAN");
  if (!overriding.isEmpty())
    note->setText(QStringLiteral("環境変数 %1 が設定されているため、一括更新ではそちらを使います。")
                      .arg(overriding.join(QStringLiteral("、"))));
  v->addWidget(note);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &JQuantsKeyDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  v->addWidget(buttons);
}

void JQuantsKeyDialog::accept() {
  auto* note = findChild<QLabel*>(QStringLiteral("JQuantsNote"));
  try {
    SaveJQuantsSettings(key_->text().trimmed().toStdString(),
                        plan_->currentData().toString().toStdString());
  } catch (const std::exception& e) {
    // The reason never holds the key; the dialog stays for a correction.
    note->setStyleSheet(QStringLiteral("color: #B00000;"));
    note->setText(Lines(e.what()));
    return;
  }
  QDialog::accept();
}

SignalNotice NewSignalNotice(const WorkTable& stockList, int newestDay) {
  const std::string day = DateToStr(newestDay);
  const std::vector<TodayListRow> rows =
      TodayListRows(TodaySignals(stockList, true), TodaySignals(stockList, false));
  // Each stock once, in code order, only when its newest day is the new day.
  QStringList names;
  std::set<int> seen;
  SignalNotice n;
  n.day = Q(day);
  for (const TodayListRow& r : rows) {
    if (r.date != day) continue;
    ++n.signalCount;
    if (seen.insert(r.column).second) names << Q(r.code + " " + r.name).trimmed();
  }
  n.stocks = static_cast<int>(names.size());
  if (names.isEmpty()) {
    n.title = QStringLiteral("一括更新: %1 まで").arg(Q(day));
    n.text = QStringLiteral("新しい信号の出た銘柄はありません。");
    return n;
  }
  n.title = QStringLiteral("%1 に信号の出た銘柄: %2銘柄").arg(Q(day)).arg(names.size());
  const qsizetype more = names.size() - kNoticeNames;
  if (more > 0) names.erase(names.begin() + kNoticeNames, names.end());
  n.text = names.join(QStringLiteral("、"));
  if (more > 0) n.text += QStringLiteral(" ほか%1銘柄").arg(more);
  return n;
}

void Notify(const SignalNotice& n, bool wait) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) &&
      QSystemTrayIcon::isSystemTrayAvailable()) {
    auto* tray = new QSystemTrayIcon(
        QIcon::fromTheme(Q(std::string(kAppId)), QApplication::windowIcon()), qApp);
    tray->show();
    tray->showMessage(n.title, n.text, QSystemTrayIcon::Information, kNoticeShownMs);
    QTimer::singleShot(kNoticeShownMs + 1000, tray, &QObject::deleteLater);
    return;
  }
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("notify-send"));
  if (tool.isEmpty()) return;
  const QStringList args = {QStringLiteral("--app-name=tavrine"),
                            QStringLiteral("--icon=") + Q(std::string(kAppId)), n.title, n.text};
  if (!wait) {
    QProcess::startDetached(tool, args);
    return;
  }
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(5000);
}

int UpdateStatus(const UpdateSummary& s) {
  return s.busy || s.failed() || !s.errors.empty() ? 1 : 0;
}

QString UpdateOutcomeText(const UpdateSummary& s) {
  if (s.busy)
    return QStringLiteral(
        "一括更新できませんでした。デ-タ一覧は変わっていません。\n"
        "株価の受信中か一括更新の最中です。終わってからもう一度実行して下さい。");
  return Lines(s.Text());
}

bool ListUpdate::editSettings() {
  JQuantsKeyDialog d(parent_);
  if (askSettings) {
    askSettings(d);
    return d.result() == QDialog::Accepted;
  }
  return d.exec() == QDialog::Accepted;
}

void ListUpdate::choose() { run(true); }

UpdateSummary ListUpdate::run(bool ask, const std::function<void(const UpdateSummary&)>& done) {
  UpdateSummary s;
  if (running_) {
    // A hand-over while the user's own update runs: it waits for none.
    s.busy = true;
    if (done) done(s);
    return s;
  }
  Running guard(running_);
  if (ask && !ws_.busy() && LoadJQuantsSettings().key.empty() && !editSettings()) {
    s.cancelled = true;
    return s;
  }

  RunBar bar(parent_, ws_, QStringLiteral("UpdateProgress"), QStringLiteral("一括更新"),
             QStringLiteral("一括更新: 営業日を問い合わせています"), 0, &UpdateProgressText,
             onProgress);
  UpdateHooks hooks;
  hooks.progress = bar.hook();
  s = UpdateList(ws_, hooks, false);
  bar.close();

  // The window shows the list as it now is before anything is said about it;
  // a hand-over hears the outcome before the box waits for the user.
  changed_();
  if (done) done(s);
  if (s.busy) return s;
  if (s.days > 0) {
    const SignalNotice n = NewSignalNotice(ws_.StockList, s.newest);
    if (notify)
      notify(n);
    else
      Notify(n);
  }
  ReportOutcome(ws_.platform, s.failure.empty() ? std::string() : s.Headline(), s.Message(),
                s.errors);
  return s;
}

RunBar::RunBar(QWidget* parent, const Workspace& ws, const QString& objectName,
               const QString& title, const QString& first, int steps,
               std::string (*text)(const UpdateProgress&),
               const std::function<void(QProgressDialog&)>& onStep)
    : steps_(steps), text_(text), onStep_(onStep) {
  if (ws.busy()) return;
  dialog_ = std::make_unique<QProgressDialog>(first, QStringLiteral("中止"), 0, std::max(steps, 1),
                                              parent);
  QProgressDialog& bar = *dialog_;
  bar.setObjectName(objectName);
  bar.setWindowTitle(title);
  bar.setWindowModality(Qt::WindowModal);
  bar.setMinimumDuration(0);
  bar.setAutoClose(false);
  bar.setAutoReset(false);
  bar.setMinimumWidth(420);
  bar.setValue(0);
  bar.show();
}

std::function<bool(const UpdateProgress&)> RunBar::hook() {
  if (!dialog_) return {};
  return [this](const UpdateProgress& p) {
    QProgressDialog& bar = *dialog_;
    const int total = steps_ > 0 ? steps_ : std::max(p.total, 1);
    if (bar.maximum() != total) bar.setMaximum(total);
    if (bar.value() != std::min(p.done, total)) bar.setValue(std::min(p.done, total));
    const QString line = Q(text_(p));
    if (bar.labelText() != line) bar.setLabelText(line);
    if (onStep_) onStep_(bar);
    QCoreApplication::processEvents();
    return !bar.wasCanceled();
  };
}

void RunBar::close() {
  if (dialog_) dialog_->close();
}

void ReportOutcome(Platform& platform, const std::string& failure, const std::string& summary,
                   const std::vector<std::string>& errors) {
  if (!failure.empty()) {
    platform.error(failure);
    return;
  }
  SaySuccess(platform, summary);
  for (const std::string& e : errors) platform.error(e);
}

}  // namespace tavrine::gui
