// What the window saves and where: the statistics as CSV and the chart as
// PNG or PDF, the file dialogs' folders, and the exports' questions before
// a file is replaced, never writing over one of the program's data files.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <string>

#include "gui/chart_widget.h"
#include "gui/file_dialogs.h"
#include "gui/main_window.h"
#include "gui/print_preview.h"
#include "store/table_file.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class ExportsTest : public WindowTest {
  Q_OBJECT

 private slots:
  void statsCsvAndChartImage();
  void fileDialogsOpenWhereTheUserLastChose();
  void exportsAskBeforeReplacingAndNeverWriteDataFiles();
  void printShowsThePreviewFirst();
};

void ExportsTest::statsCsvAndChartImage() {
  // The grid's table as it stands, with a cell that needs quoting.
  WorkTable& stats = win->workspace().StatsTable;
  stats.set(12, 5, "a,\"b\" c");
  stats.set(9, 40, "x");
  const QString csv = home() + "/stats.csv";
  QVERIFY(win->saveStatsCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.rowCount(), 41);
  for (int r = 0; r <= 40; ++r)
    for (int c = 0; c < stats.colCount(); ++c) {
      const std::string& want = stats.cell(c, r);
      if (IsBlank(want))
        QVERIFY2(IsBlank(back.cell(c, r)), qPrintable(QStringLiteral("%1,%2").arg(c).arg(r)));
      else
        QCOMPARE(back.cell(c, r), want);
    }
  stats.set(12, 5, "");
  stats.set(9, 40, "");

  // The chart at the size shown, the readout left out.
  setChart();
  ChartWidget* chart = win->chart();
  hover(chart->pointPosition(ChartModel::owarine, 4));
  QVERIFY(chart->readoutShown());
  const QString png = home() + "/chart.png";
  QVERIFY(win->saveChartImage(png));
  QImage img(png);
  QCOMPARE(img.size(), chart->size() * chart->devicePixelRatio());
  QVERIFY(chart->readoutShown());  // back after the save
  // The close line's colour is in the picture.
  bool closeDrawn = false;
  for (int y = 0; y < img.height() && !closeDrawn; ++y)
    for (int x = 0; x < img.width() && !closeDrawn; ++x)
      closeDrawn = (img.pixel(x, y) & 0xFFFFFF) == 0x004080;
  QVERIFY(closeDrawn);

  const QString pdf = home() + "/chart.pdf";
  QVERIFY(win->saveChartImage(pdf));
  QFile f(pdf);
  QVERIFY(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  QVERIFY(bytes.startsWith("%PDF"));
  // One page, as large as the chart on screen (a point a pixel).
  QCOMPARE(
      bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1);
  const QRegularExpressionMatch box =
      QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"))
          .match(QString::fromLatin1(bytes));
  QVERIFY(box.hasMatch());
  QCOMPARE(qRound(box.captured(1).toDouble()), chart->width());
  QCOMPARE(qRound(box.captured(2).toDouble()), chart->height());

  // A folder that is not there: a report, no file.
  boxes.clear();
  QVERIFY(!win->saveStatsCsv(home() + "/none/stats.csv"));
  QVERIFY(!win->saveChartImage(home() + "/none/chart.png"));
  QCOMPARE(boxes.size(), std::size_t(2));
  QVERIFY(boxes[0].error && boxes[1].error);
  QVERIFY(!QFile::exists(home() + "/none/stats.csv"));
}

void ExportsTest::fileDialogsOpenWhereTheUserLastChose() {
  QTemporaryDir dir;
  const QString data = dir.filePath("data"), docs = dir.filePath("docs");
  const QString chosen = dir.filePath("chosen");
  QVERIFY(QDir().mkpath(chosen));
  // A build tree or a folder of the user's own: the data folder. An installed
  // program's data folder is hidden: the documents folder, else home.
  QCOMPARE(DialogFolder(QString(), data, false, docs), data);
  QCOMPARE(DialogFolder(QString(), data, true, docs), docs);
  QCOMPARE(DialogFolder(QString(), data, true, QString()), QDir::homePath());
  // A folder the user chose wins while it exists.
  QCOMPARE(DialogFolder(chosen, data, true, docs), chosen);
  QCOMPARE(DialogFolder(dir.filePath("gone"), data, false, docs), data);

  // A save: the dialog opens in the remembered folder, a name typed without
  // an extension gets the chosen kind's, and the folder is kept for the next.
  RememberDialogFolder(chosen + "/earlier.csv");
  const QString other = dir.filePath("other");
  QVERIFY(QDir().mkpath(other));
  QString openedIn;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    openedIn = d->directory().absolutePath();
    d->selectNameFilter(QStringLiteral("PDF 文書 (*.pdf)"));
    d->setDirectory(other);
    // The user types a name without an extension.
    if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
      name->setText(QStringLiteral("chart"));
    QMetaObject::invokeMethod(d, "accept");
  });
  poll.start(20);
  const QString path = AskSavePath(nullptr, QStringLiteral("画像保存"), QStringLiteral("7203.png"),
                                   {{QStringLiteral("PNG 画像 (*.png)"), QStringLiteral(".png")},
                                    {QStringLiteral("PDF 文書 (*.pdf)"), QStringLiteral(".pdf")}});
  poll.stop();
  QCOMPARE(openedIn, QDir(chosen).absolutePath());
  QCOMPARE(path, other + "/chart.pdf");
  QCOMPARE(DialogFolder(), QDir(other).absolutePath());
}

void ExportsTest::exportsAskBeforeReplacingAndNeverWriteDataFiles() {
  // The dialog's answers come from the test: each pickFile takes the next
  // answer ("" cancels), the replace question answers `replace`.
  QStringList answers, proposed, confirmed, refusals;
  bool replace = false;
  SaveQuestions q;
  q.pickFile = [&](QWidget*, const QString&, const QString& p, const QStringList& filters,
                   QString* chosen) {
    proposed << p;
    if (answers.isEmpty()) return QString();
    // "NAME|FILTER" chooses the kind as well.
    const QStringList parts = answers.takeFirst().split(QLatin1Char('|'));
    if (parts.size() > 1) *chosen = filters.value(parts[1].toInt());
    return parts[0];
  };
  q.confirmReplace = [&](QWidget*, const QString&, const QString& p) {
    confirmed << p;
    return replace;
  };
  q.refuse = [&](QWidget*, const QString&, const QString& text) { refusals << text; };
  // Qt's questions come back however the test ends.
  struct Restore {
    SaveQuestions kept;
    ~Restore() { SetSaveQuestions(kept); }
  } restore{SetSaveQuestions(q)};
  auto reset = [&] {
    answers.clear();
    proposed.clear();
    confirmed.clear();
    refusals.clear();
  };
  auto bytes = [](const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
  };
  const QString home = WindowTest::home();
  const QString listPath = home + QStringLiteral("/デ-タ一覧.csv");
  const QByteArray list = bytes(listPath);
  QVERIFY(list.size() > 100);

  // CSV保存 with the stock list's name typed without ".csv": refused with a
  // message naming it, the dialog comes back on it, the list is untouched.
  reset();
  answers = {home + QStringLiteral("/デ-タ一覧"), QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(refusals.size(), 1);
  QVERIFY2(refusals[0].contains(QStringLiteral("デ-タ一覧.csv")), qPrintable(refusals[0]));
  QVERIFY(confirmed.isEmpty());
  QCOMPARE(proposed.size(), 2);
  QCOMPARE(proposed[1], listPath);
  QCOMPARE(bytes(listPath), list);

  // 画像保存 through a link that leads to the list, and the calendar under
  // the root's folder: refused alike.
  QVERIFY(QFile::link(listPath, home + "/shot.png"));
  reset();
  answers = {home + "/shot.png", home + "/tavrine/hizuke|1", QString()};
  QTest::mouseClick(w("ChartImageButton"), Qt::LeftButton);
  QCOMPARE(refusals.size(), 1);  // hizuke.pdf is no data file: asked nothing, written
  QCOMPARE(bytes(listPath), list);
  QVERIFY(bytes(home + "/tavrine/hizuke.pdf").startsWith("%PDF"));
  QFile::remove(home + "/tavrine/hizuke.pdf");
  QFile::remove(home + "/shot.png");

  // Every data file of the program, in each of its folders, is refused;
  // the same names elsewhere, and other names here, are not.
  for (const char* name : {"デ-タ一覧.csv", "memo.txt", "Fname.txt", "tavrine.ini",
                           "tavrine/hizuke.csv", "listwerk/kabuka/code.txt", "tavrine.lock"})
    QVERIFY2(!ExportRefusal(home + "/" + QString::fromUtf8(name)).isEmpty(), name);
  QVERIFY(!ExportRefusal(home + "/tavrine/../memo.txt").isEmpty());
  QVERIFY(ExportRefusal(home + "/stats.csv").isEmpty());
  QVERIFY(ExportRefusal(home + "/config/memo.txt").isEmpty());

  // An existing file named without its extension is asked about as the file
  // with it: "no" writes nothing and opens the dialog again, "yes" replaces.
  const QString report = home + "/report.csv";
  {
    QFile f(report);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
  }
  reset();
  replace = false;
  answers = {home + "/report", QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
  QCOMPARE(proposed.value(1), report);
  QCOMPARE(bytes(report), QByteArray("old\r\n"));
  reset();
  replace = true;
  answers = {home + "/report"};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
  QVERIFY(bytes(report) != QByteArray("old\r\n"));
  // With the extension typed: the same single question.
  reset();
  replace = false;
  answers = {report, QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
}

void ExportsTest::printShowsThePreviewFirst() {
  // A user's 印刷 (no file named to print into) opens the preview of the
  // chart's page; closing it prints nothing and says nothing.
  const QByteArray pdf = qgetenv("TAVRINE_PRINT_PDF");
  qunsetenv("TAVRINE_PRINT_PDF");
  int opened = 0;
  int pages = -1;
  QString title;
  printPreviewHook = [&](QPrintPreviewDialog& d) {
    ++opened;
    title = d.windowTitle();
    if (auto* w = d.findChild<QPrintPreviewWidget*>()) {
      w->updatePreview();
      pages = w->pageCount();
    }
    d.reject();
  };
  boxes.clear();
  QTest::mouseClick(w("Button59"), Qt::LeftButton);
  printPreviewHook = nullptr;
  qputenv("TAVRINE_PRINT_PDF", pdf);
  QCOMPARE(opened, 1);
  QCOMPARE(pages, 1);
  QCOMPARE(title, QStringLiteral("印刷プレビュー"));
  QVERIFY(boxes.empty());
  QVERIFY(!QFile::exists(QString::fromLocal8Bit(pdf)));
}

QTEST_MAIN(ExportsTest)
#include "exports_test.moc"
