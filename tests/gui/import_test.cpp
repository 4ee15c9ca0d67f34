// Daily-price files into the stock list from the window: the "取込" button
// beside the price collection, the guide of a first start until an import,
// files dropped on the window and the undo, and files handed over by a
// second start of the program.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocalServer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
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
  // One box with the totals.
  QCOMPARE(got.size(), std::size_t(1));
  QVERIFY(!got[0].error);
  QVERIFY(QString::fromStdString(got[0].text).contains(QStringLiteral("追加 1銘柄")));
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
  QTRY_VERIFY_WITH_TIMEOUT(!boxes.empty(), 30000);
  QVERIFY2(QString::fromStdString(boxes[0].text).contains(QStringLiteral("追加 2銘柄")),
           boxes[0].text.c_str());
  const WorkTable& list = win->workspace().StockList;
  int found = 0;
  for (int c = 1; c < 198; ++c)
    found += list.cell(c, 0).rfind("6501", 0) == 0 || list.cell(c, 0).rfind("6502", 0) == 0;
  QCOMPARE(found, 2);
}

QTEST_MAIN(ImportTest)
#include "import_test.moc"
