// Daily-price files into the stock list from the window: the "取込" button
// beside the price collection, the guide of a first start until an import,
// files dropped on the window and the undo, and files handed over by a
// second start of the program.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/chart_widget.h"
#include "gui/handover.h"
#include "gui/import_ui.h"
#include "gui/main_window.h"
#include "store/codec.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class ImportTest : public WindowTest {
  Q_OBJECT

 private slots:
  void importButtonBesideThePriceCollection();
  void firstStartShowsTheGuideUntilAnImport();
  void filesHandedOverByASecondStartAreImported();
  void handOverStaysWithTheUserAndKeepsEveryName();
  void aSummaryOfManyRefusalsScrolls();
  void aPlainImportIsSaidOnTheStatusBarNotInABox();
};

void ImportTest::importButtonBesideThePriceCollection() {
  auto* import = qobject_cast<QPushButton*>(w("ImportButton"));
  QVERIFY(import);
  QCOMPARE(import->text(), QStringLiteral("取込"));
  QVERIFY(import->toolTip().contains(QStringLiteral("Ctrl+I")));
  QVERIFY(import->isVisibleTo(win.get()));
  QWidget* panel = w("Panel1");
  QCOMPARE(import->parentWidget(), panel);
  QVERIFY(panel->rect().contains(import->geometry()));
  // Under "株価収集", in its column, covering no other control of the panel.
  QCOMPARE(import->x(), w("BitBtn1")->x());
  QVERIFY(import->y() > w("BitBtn1")->geometry().bottom());
  for (QObject* o : panel->children()) {
    auto* other = qobject_cast<QWidget*>(o);
    if (!other || other == import || other->objectName() == "Panel11") continue;
    QVERIFY2(!other->geometry().intersects(import->geometry()), qPrintable(other->objectName()));
  }
  // Ctrl+I opens the same import.
  bool ctrlI = false;
  for (QShortcut* k : win->findChildren<QShortcut*>())
    ctrlI |= k->key() == QKeySequence(Qt::CTRL | Qt::Key_I);
  QVERIFY(ctrlI);
  // With a list that holds stocks the guide stays away.
  QVERIFY(!w("ImportGuide")->isVisibleTo(win.get()));
}

void ImportTest::firstStartShowsTheGuideUntilAnImport() {
  // A data folder with nothing in it, as a first start has it.
  DataFolder firstStart(kToday, DataFolder::Empty{});
  firstStart.set("TAVRINE_QUOTE_HOST", "127.0.0.1:1");
  const QDir empty(PathOf(firstStart));

  std::vector<Box> got;
  WindowOptions o;
  o.messageHook = [&got](const std::string& t, bool e) { got.push_back({t, e}); };
  auto first = ShowWindow(o);
  QVERIFY(first);
  // A folder without a list or a calendar is a first start: no error.
  QVERIFY(got.empty());
  QWidget* guide = first->widget("ImportGuide");
  QVERIFY(guide && guide->isVisibleTo(first.get()));
  QVERIFY(first->chart()->geometry().contains(guide->geometry()));
  QVERIFY(guide->findChild<QPushButton*>(QStringLiteral("ImportGuideButton")));
  // No design text in the empty memo.
  auto* memo = qobject_cast<QPlainTextEdit*>(first->widget("Memo3"));
  QVERIFY(memo->toPlainText().isEmpty());

  // A file whose name gives the code.
  const QString yahoo = empty.filePath("7203.T.csv");
  WritePriceFile(yahoo, 40, 2500);
  got.clear();
  QVERIFY(first->importFiles({yahoo}));
  Workspace& ws = first->workspace();
  QCOMPARE(LeftBytes(ws.StockList.cell(1, 0), 4), std::string("7203"));
  QVERIFY(!ws.chart.line(ChartModel::owarine).points.empty());
  auto line = [&](const char* name) {
    return qobject_cast<QLineEdit*>(first->widget(name))->text();
  };
  QCOMPARE(line("Edit1"), QStringLiteral("7203"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("7203")));
  // The totals on the status bar, no box.
  QVERIFY(got.empty());
  QVERIFY(first->successBar()->currentMessage().contains(QStringLiteral("追加 1銘柄")));
  QVERIFY(!guide->isVisibleTo(first.get()));

  // A file that names no code: the code asked for goes with it; a file
  // whose question is cancelled is left alone.
  const QString plain = empty.filePath("prices.csv"), other = empty.filePath("download.csv");
  WritePriceFile(plain, 30, 1200, true);
  WritePriceFile(other, 30, 800);
  QStringList asked;
  first->importer().askCode = [&asked](const QString& file) {
    asked << file;
    return file == "prices.csv" ? QStringLiteral("9984") : QString();
  };
  got.clear();
  QVERIFY(first->importFiles({plain, other}));
  QCOMPARE(asked, QStringList({"prices.csv", "download.csv"}));
  QCOMPARE(line("Edit1"), QStringLiteral("9984"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("9984")));
  QCOMPARE(got.size(), std::size_t(1));
  bool found9984 = false;
  for (int c = 1; c <= 197; ++c) found9984 |= LeftBytes(ws.StockList.cell(c, 0), 4) == "9984";
  QVERIFY(found9984);

  // Files dropped on the window: more than a few go one by one under the
  // progress bar, still with one box; one of them is refused.
  QList<QUrl> urls;
  for (const char* name : {"6758.csv", "8306.csv", "9432.csv", "4502.csv"}) {
    const QString p = empty.filePath(QString::fromLatin1(name));
    WritePriceFile(p, 60, 3000);
    urls << QUrl::fromLocalFile(p);
  }
  const QString broken = empty.filePath("1301.csv");
  WriteLines(broken.toStdString(), {"Date,Close", "yesterday,abc"}, false);
  urls << QUrl::fromLocalFile(broken);
  urls << QUrl(QStringLiteral("https://example.com/1332.csv"));  // not a file: passed over
  got.clear();
  QMimeData mime;
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(first.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(first.get(), &drop);
  QVERIFY(drop.isAccepted());
  QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t(1), 30000);
  const QString summary = QString::fromStdString(got[0].text);
  QVERIFY2(summary.contains(QStringLiteral("追加 4銘柄")), qPrintable(summary));
  QVERIFY2(summary.contains(QStringLiteral("1301.csv")), qPrintable(summary));
  QVERIFY(!summary.contains(QStringLiteral("1332")));
  QCOMPARE(line("Edit1"), QStringLiteral("4502"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("4502")));
  QVERIFY(!guide->isVisibleTo(first.get()));

  // 元に戻す: asked first; a no changes nothing, a yes puts back the list
  // as it was before the dropped files, file and grid alike.
  const QString listPath = empty.filePath(QStringLiteral("デ-タ一覧.csv"));
  const QByteArray afterDrop = ReadAll(listPath);
  first->askUndo = [] { return false; };
  first->chooseUndo();
  QCOMPARE(ReadAll(listPath), afterDrop);
  first->askUndo = [] { return true; };
  got.clear();
  first->chooseUndo();
  QCOMPARE(got.size(), std::size_t(1));
  QVERIFY(!got[0].error);
  bool found4502 = false;
  for (int c = 1; c <= 197; ++c) found4502 |= LeftBytes(ws.StockList.cell(c, 0), 4) == "4502";
  QVERIFY(!found4502);
  QVERIFY(ReadAll(listPath) != afterDrop);
  first.reset();
}

void ImportTest::filesHandedOverByASecondStartAreImported() {
  // The name follows the folder, whatever way it is written, and the user.
  const QString home = WindowTest::home();
  QVERIFY(QFile::link(home, home + "/../" + QFileInfo(home).fileName() + "-link"));
  const QString viaLink = home + "-link";
  QCOMPARE(HandOverName(1000, viaLink + "/"), HandOverName(1000, home));
  QVERIFY(HandOverName(1000, home) != HandOverName(1001, home));
  QVERIFY(HandOverName(1000, home) != HandOverName(1000, home + "/tavrine"));
  QFile::remove(viaLink);

  // Nobody listening: the newcomer hears so at once and starts its own window.
  const QString name = HandOverName(1000, home);
  QVERIFY(!HandOverFiles(name, {}));

  // A socket file left by a window that was killed does not stop the next.
  HandOverServer server;
  {
    QLocalServer dead;
    QVERIFY(dead.listen(name));
    const QString left = dead.fullServerName();
    dead.close();
    QFile f(left);  // the file as a killed window leaves it
    QVERIFY(f.open(QIODevice::WriteOnly));
  }
  QVERIFY(server.listen(name));
  ServeWindow(server, *win);

  // Files named relative to the newcomer's folder arrive absolute and are
  // imported as "取込" imports them.
  const QString files = home + QStringLiteral("/渡す ファイル");
  QVERIFY(QDir().mkpath(files));
  WritePriceFile(files + "/6502.csv", 40, 2600);
  WritePriceFile(files + "/6501.csv", 40, 2700);
  boxes.clear();
  std::atomic<int> answered{-1};
  // The newcomer runs in the files' folder; it is joined and the folder put
  // back however the test ends.
  struct Newcomer {
    QString keep = QDir::currentPath();
    std::thread thread;
    ~Newcomer() {
      if (thread.joinable()) thread.join();
      QDir::setCurrent(keep);
    }
  } newcomer;
  QDir::setCurrent(files);
  newcomer.thread = std::thread([&] {
    answered = HandOverFiles(name, {QStringLiteral("6502.csv"), files + "/6501.csv"}) ? 1 : 0;
  });
  QTRY_VERIFY_WITH_TIMEOUT(answered.load() >= 0, 30000);
  QCOMPARE(answered.load(), 1);
  // Said on the status bar, as the user's own import is.
  QTRY_VERIFY_WITH_TIMEOUT(!win->successes().isEmpty(), 30000);
  QVERIFY(boxes.empty());
  QVERIFY2(win->successes()[0].contains(QStringLiteral("追加 2銘柄")),
           qPrintable(win->successes()[0]));
  const WorkTable& list = win->workspace().StockList;
  int found = 0;
  for (int c = 1; c < 198; ++c)
    found += list.cell(c, 0).rfind("6501", 0) == 0 || list.cell(c, 0).rfind("6502", 0) == 0;
  QCOMPARE(found, 2);
}

namespace {
// Sets an environment variable (unset for a null value) until the scope ends.
struct EnvFor {
  EnvFor(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
  ~EnvFor() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  const char* name_;
  bool had_;
  QByteArray old_;
};

// Runs f on a thread of its own (a newcomer blocks on the socket while the
// window answers on this one) and waits for its answer.
template <typename F>
auto OnThread(F f) {
  using R = decltype(f());
  std::atomic<bool> done{false};
  R result{};
  std::thread t([&] {
    result = f();
    done = true;
  });
  [&] { QTRY_VERIFY_WITH_TIMEOUT(done.load(), 30000); }();
  t.join();
  return result;
}
}  // namespace

void ImportTest::handOverStaysWithTheUserAndKeepsEveryName() {
  const QString home = WindowTest::home();
  QTemporaryDir scratch;
  QVERIFY(scratch.isValid());
  const QString runtime = scratch.path() + "/run";
  QVERIFY(QDir().mkpath(runtime));

  // The socket lives in the user's runtime folder when only the user may
  // enter it; a folder others may enter is not used.
  {
    EnvFor xdg("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY2(HandOverName(CurrentUser(), home).startsWith(runtime + "/"),
             qPrintable(HandOverName(CurrentUser(), home)));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadOther | QFile::ExeOther));
    QVERIFY(!HandOverName(CurrentUser(), home).startsWith(runtime + "/"));
  }
  // Without one, a private folder under the temporary one; when that name
  // is taken by a folder others may write in, nothing is handed over.
  {
    EnvFor xdg("XDG_RUNTIME_DIR", QByteArray());
    EnvFor tmp("TMPDIR", QFile::encodeName(scratch.path()));
    const QString own = scratch.path() + QStringLiteral("/tavrine-%1").arg(CurrentUser());
    QCOMPARE(HandOverFolder(), own);
    QCOMPARE(QFileInfo(own).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFile::Permissions());
    QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::WriteOther | QFile::ReadOther | QFile::ExeOther));
    QCOMPARE(HandOverFolder(), QString());
    QCOMPARE(HandOverName(CurrentUser(), home), QString());
    HandOverServer refused;
    QVERIFY(!refused.listen(HandOverName(CurrentUser(), home)));
    QVERIFY(!HandOverFiles(HandOverName(CurrentUser(), home), {}));
  }

  const QString name = HandOverName(CurrentUser(), home);
  QVERIFY(!name.isEmpty());
  HandOverServer server;
  QVERIFY(server.listen(name));
  std::vector<QStringList> taken;
  server.onFiles = [&](const QStringList& files) { taken.push_back(files); };

  // Any name arrives as it is, a line feed or a backslash in it included.
  const QStringList odd = {home + QStringLiteral("/二行の\n名前.csv"),
                           home + QStringLiteral("/back\\slash\\n.csv")};
  QVERIFY(OnThread([&] { return HandOverFiles(name, odd); }));
  QTRY_COMPARE_WITH_TIMEOUT(taken.size(), std::size_t{1}, 30000);
  QCOMPARE(taken[0], odd);

  // A newcomer that finds another user's program at the other end tells it
  // nothing and believes nothing: no files, no update outcome.
  const uint other = CurrentUser() + 1;
  QVERIFY(!OnThread([&] { return HandOverFiles(name, {home + "/secret.csv"}, 30000, other); }));
  QVERIFY(!OnThread([&] { return HandOverUpdate(name, 30000, other); }).handed);
  // The window drops another user's connection unanswered.
  server.setPeerUser(other);
  QVERIFY(!OnThread([&] { return HandOverFiles(name, {home + "/theirs.csv"}); }));
  server.setPeerUser(CurrentUser());
  // Connections are taken in order: none of the refused ones came through.
  QVERIFY(OnThread([&] { return HandOverFiles(name, {home + "/mine.csv"}); }));
  QTRY_COMPARE_WITH_TIMEOUT(taken.size(), std::size_t{2}, 30000);
  QCOMPARE(taken[1], QStringList{home + "/mine.csv"});

  // A request that stalls, and one larger than any request, are dropped.
  server.setIdleMs(200);
  QLocalSocket stalled;
  stalled.connectToServer(name);
  QVERIFY(stalled.waitForConnected(3000));
  stalled.write("/half/a/path");
  stalled.flush();
  QTRY_COMPARE_WITH_TIMEOUT(stalled.state(), QLocalSocket::UnconnectedState, 30000);
  server.setIdleMs(kHandOverIdleMs);
  QLocalSocket flood;
  flood.connectToServer(name);
  QVERIFY(flood.waitForConnected(3000));
  flood.write(QByteArray(kHandOverMaxBytes + 1, 'a'));
  QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QLocalSocket::UnconnectedState, 30000);
  QCOMPARE(taken.size(), std::size_t{2});
}

void ImportTest::aSummaryOfManyRefusalsScrolls() {
  // Forty files that are no price files: one refusal each in the summary.
  const QString dir = home() + "/bad";
  QVERIFY(QDir().mkpath(dir));
  QStringList files;
  for (int i = 0; i < 40; ++i) {
    const QString path = dir + QStringLiteral("/%1.csv").arg(7000 + i);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("no prices here\n");
    files << path;
  }
  // The box is really shown, and looked at while it is up.
  win->platform().messageHook = nullptr;
  win->importer().askCode = [](const QString&) { return QString(); };
  bool seen = false;
  int boxHeight = 0, screenHeight = 0, scrollRange = 0;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || qobject_cast<QProgressDialog*>(box)) return;
    seen = true;
    boxHeight = box->frameGeometry().height();
    screenHeight = box->screen()->availableGeometry().height();
    if (auto* area = box->findChild<QScrollArea*>())
      scrollRange = area->verticalScrollBar()->maximum();
    box->accept();
  });
  look.start(50);
  win->importFiles(files);
  look.stop();
  QVERIFY(seen);
  // It fits on the screen, and its text scrolls.
  QVERIFY2(boxHeight <= screenHeight,
           qPrintable(QStringLiteral("%1 > %2").arg(boxHeight).arg(screenHeight)));
  QVERIFY(scrollRange > 0);
}

void ImportTest::aPlainImportIsSaidOnTheStatusBarNotInABox() {
  QStatusBar* bar = win->successBar();
  QVERIFY(bar && bar->isVisibleTo(win.get()));
  // Under everything else, as wide as the window.
  QCOMPARE(bar->geometry().bottom(), win->rect().bottom());
  QCOMPARE(bar->width(), win->width());
  QVERIFY(bar->currentMessage().isEmpty());

  // A file whose days all fit: the summary on the bar, no box.
  const QString one = home() + QStringLiteral("/6501.csv");
  WritePriceFile(one, 40, 2700);
  boxes.clear();
  QVERIFY(win->importFiles({one}));
  QVERIFY2(boxes.empty(), boxes.empty() ? "" : boxes[0].text.c_str());
  QVERIFY2(bar->currentMessage().startsWith(QStringLiteral("取込完了: 追加 1銘柄")),
           qPrintable(bar->currentMessage()));
  QCOMPARE(win->successes().size(), 1);
  QVERIFY(bar->toolTip().contains(bar->currentMessage()));

  // Two more: the newest first in the tooltip's history.
  const QString two = home() + QStringLiteral("/6502.csv"), more = home() + "/6504.csv";
  WritePriceFile(two, 40, 2600);
  WritePriceFile(more, 40, 2400);
  QVERIFY(win->importFiles({two, more}));
  QVERIFY(boxes.empty());
  QCOMPARE(win->successes().size(), 2);
  QVERIFY(bar->currentMessage().startsWith(QStringLiteral("取込完了: 追加 2銘柄")));
  QVERIFY(win->successes()[0].endsWith(bar->currentMessage()));
  QVERIFY(bar->toolTip().indexOf(win->successes()[0]) <
          bar->toolTip().indexOf(win->successes()[1]));

  // A summary that names a refused file is read in a box, as before.
  const QString broken = home() + QStringLiteral("/1301.csv");
  WriteLines(broken.toStdString(), {"Date,Close", "yesterday,abc"}, false);
  const QString three = home() + QStringLiteral("/6503.csv");
  WritePriceFile(three, 40, 2500);
  QVERIFY(win->importFiles({three, broken}));
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(!boxes[0].error);
  QVERIFY(QString::fromStdString(boxes[0].text).contains(QStringLiteral("1301.csv")));
  QCOMPARE(win->successes().size(), 2);
}

QTEST_MAIN(ImportTest)
#include "import_test.moc"
