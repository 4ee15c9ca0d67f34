// The manual shipped with the program: the help window shows it without a
// manual host and when the host cannot be reached, a reachable host serves
// the same pages, and every caption the user sees is explained in it.
#include <QAbstractButton>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include <httplib.h>

#include "../../tools/quote-server/quote_site.h"
#include "app/scan.h"
#include "gui/backtest_view.h"
#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/portfolio_window.h"
#include "gui/scan_window.h"
#include "gui/today_window.h"
#include "sample_folder.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// Captions are compared without blanks (the memo's "保　　存" is written so
// in the manual, but a line break may fall anywhere), without the keyboard
// marker "&" and without the "..." of a button that opens a dialog.
QString Normal(QString s) {
  s.remove(QLatin1Char('&'));
  s.remove(QStringLiteral("..."));
  s.remove(QChar(0x2026));
  static const QRegularExpression blanks(QStringLiteral("[\\s\\x{3000}]+"));
  s.remove(blanks);
  return s;
}

// A caption that names nothing a reader looks up: no letter at all (numbers,
// "-", "---").
bool NamesNothing(const QString& caption) {
  return std::none_of(caption.begin(), caption.end(), [](QChar c) { return c.isLetter(); });
}

// A picture of the page as the document holds it: the bytes loaded, or the
// image the layout made of them.
QImage PictureOf(ManualBrowser* b, const QString& name) {
  const QVariant v = b->document()->resource(QTextDocument::ImageResource, QUrl(name));
  if (v.userType() == QMetaType::QImage) return v.value<QImage>();
  if (v.userType() == QMetaType::QPixmap) return v.value<QPixmap>().toImage();
  QImage image;
  image.loadFromData(v.toByteArray());
  return image;
}

QString DocumentTitle(ManualBrowser* b) {
  return b->document()->metaInformation(QTextDocument::DocumentTitle);
}

// Asks the browser for an address and waits for the page it shows: 1 the
// page asked for, 0 a page that says why not, -1 none in time.
int PageShownFor(ManualBrowser* b, const QUrl& url, int timeoutMs) {
  QSignalSpy shown(b, &ManualBrowser::pageShown);
  b->navigate(url);
  if (!QTest::qWaitFor([&shown] { return !shown.isEmpty(); }, timeoutMs)) return -1;
  return shown.last().at(1).toBool() ? 1 : 0;
}

}  // namespace

class ManualTest : public QObject {
  Q_OBJECT

 private slots:
  // Each test on a fresh window over a sample folder of its own.
  void init();
  void cleanup();
  void cleanupTestCase() { cleanup(); }
  void everyCaptionIsExplainedInTheManual();
  void withoutHostTheShippedPagesShow();
  void shippedPagesFollowLinksAndShowPictures();
  void unreachableHostFallsBackToTheShippedPage();
  void reachableHostServesTheSameManual();
  void aHostileHostIsNeverShownAsTheManual();

 private:
  // The plain text of every shipped page, one after the other.
  QString manualText() const;
  void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  void closeHelp() {
    win->workspace().form.setVisible("TForm4", false);
    win->mirror();
  }

  std::unique_ptr<DataFolder> folder;
  std::unique_ptr<MainWindow> win;
  std::unique_ptr<HelpWindow> help;
  std::vector<std::string> boxes;
};

void ManualTest::init() {
  // Qt Test runs no cleanup() after an init() that failed: what such an
  // init left goes first, its folder before the next one takes the
  // environment. Nothing listens at the quote host: the manual host the
  // engine names fails at once.
  cleanup();
  folder = SampleFolder("2026/12/04", 6, 1300);
  folder->unset("TAVRINE_MANUAL_HOST");
  boxes.clear();
  WindowOptions wo;
  wo.messageHook = [this](const std::string& t, bool) { boxes.push_back(t); };
  help = std::make_unique<HelpWindow>();
  win = ShowWindow(wo, help.get());
  QVERIFY(win);
}

void ManualTest::cleanup() {
  win.reset();
  help.reset();
  folder.reset();
}

QString ManualTest::manualText() const {
  QString all;
  QDirIterator it(QStringLiteral(":/manual"), {QStringLiteral("*.htm")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile f(it.next());
    if (!f.open(QIODevice::ReadOnly)) continue;
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(f.readAll()));
    all += doc.toPlainText() + QLatin1Char('\n');
  }
  return all;
}

void ManualTest::everyCaptionIsExplainedInTheManual() {
  const QString text = Normal(manualText());
  QVERIFY(text.size() > 5000);
  std::set<QString> captions;
  // Left out, by reason, for the test's log.
  std::map<QString, int> excluded;
  auto take = [&](const QString& caption, const QString& where) {
    if (caption.trimmed().isEmpty()) return;
    if (NamesNothing(caption)) {
      ++excluded[where + QStringLiteral(": numbers and signs without a letter")];
      return;
    }
    captions.insert(caption);
  };

  // The engine's controls with a caption the user sees. The hidden buttons
  // right on TForm1 carry handlers that other handlers call; they are never
  // shown (their captions are numbers and placeholders such as "立", "b6").
  const Form& form = win->workspace().form;
  for (const auto& [name, c] : form.all()) {
    if (c.kind != ControlKind::Button && c.kind != ControlKind::BitBtn &&
        c.kind != ControlKind::Label)
      continue;
    if (c.parent == "TForm1" && !c.visible) {
      ++excluded[QStringLiteral("hidden handler buttons, never shown")];
      continue;
    }
    if (c.parent == "TSplashWindow") {
      ++excluded[QStringLiteral("the splash window's progress line")];
      continue;
    }
    take(QString::fromStdString(c.text), QString::fromStdString(name));
  }
  // Buttons the window, the scan window, the backtest view and the today
  // window add of their own.
  ScanWindow* scan = win->openScan();
  BacktestView* figures = win->openBacktest();
  QList<QAbstractButton*> buttons = win->findChildren<QAbstractButton*>();
  buttons += scan->findChildren<QAbstractButton*>();
  buttons += figures->findChildren<QAbstractButton*>();
  buttons += help->findChildren<QAbstractButton*>();
  // The today window's buttons and columns.
  TodayWindow* today = win->openToday();
  buttons += today->findChildren<QAbstractButton*>();
  for (const std::string& h : TodayColumnHeadings())
    take(QString::fromStdString(h), QStringLiteral("today column"));
  // The portfolio window's buttons, summary items and trade list columns.
  PortfolioWindow* money = win->openPortfolio();
  buttons += money->findChildren<QAbstractButton*>();
  for (const QString& item : money->summaryItems()) take(item, QStringLiteral("portfolio summary"));
  for (const std::string& h : PortfolioTradeHeadings())
    take(QString::fromStdString(h), QStringLiteral("portfolio trade column"));
  for (QAbstractButton* b : buttons) take(b->text(), b->objectName());
  // The scan table's columns, the statistics block's captions and the
  // backtest view's figures.
  for (const std::string& h : ScanColumnHeadings())
    take(QString::fromStdString(h), QStringLiteral("scan column"));
  const WorkTable& stats = win->workspace().StatsTable;
  QVERIFY(stats.cell(7, 1) != "");
  for (int c = 0; c <= 14; ++c)
    for (int r = 0; r <= (c < 7 ? 0 : 6); ++r)
      take(QString::fromStdString(stats.cell(c, r)), QStringLiteral("StatsTable"));
  const QStringList summary =
      figures->summaryText().split(QRegularExpression(QStringLiteral("[\\s\\x{3000}]+")));
  QVERIFY(summary.size() >= 16);
  for (const QString& word : summary) take(word, QStringLiteral("backtest summary"));

  QStringList missing;
  for (const QString& c : captions)
    if (!text.contains(Normal(c))) missing << c;
  QStringList left;
  for (const auto& [why, n] : excluded) left << QStringLiteral("%1 (%2)").arg(why).arg(n);
  qInfo("%d captions looked up; left out: %s", static_cast<int>(captions.size()),
        qPrintable(left.join(QStringLiteral("; "))));
  QVERIFY2(missing.isEmpty(),
           qPrintable(QStringLiteral("not in the manual: ") + missing.join(QStringLiteral(" | "))));
  // The check does look things up: a caption nobody wrote is missing.
  QVERIFY(!text.contains(Normal(QStringLiteral("存在しない機能ボタン"))));
  scan->close();
  figures->close();
  today->close();
}

void ManualTest::withoutHostTheShippedPagesShow() {
  ManualBrowser* b = help->browser();
  QVERIFY(!ManualBrowser::ManualHostFromEnvironment());
  QVERIFY(!b->hostConfigured());
  // "利用説明": the browser face opens on the shipped full manual.
  click(win->findChild<QWidget*>(QStringLiteral("Button88")));
  QVERIFY(help->isVisible());
  QVERIFY(!help->panel()->isVisible());
  QCOMPARE(DocumentTitle(b), QStringLiteral("tavrine 利用説明書"));
  QVERIFY(b->showingShipped());
  QVERIFY(b->toPlainText().contains(QStringLiteral("目次")));

  QSignalSpy shown(b, &ManualBrowser::pageShown);
  click(help->button2());
  // The engine's address is unchanged; no request goes out for it.
  QCOMPARE(QString::fromStdString(win->platform().lastUrl),
           QStringLiteral("http://127.0.0.1:1/tavrine/tavrinekanni.htm"));
  QVERIFY(!b->loading());
  QCOMPARE(DocumentTitle(b), QStringLiteral("tavrine 簡易利用説明書"));
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/tavrinekanni.htm")));
  QCOMPARE(shown.count(), 1);
  QCOMPARE(shown.last().at(1).toBool(), true);

  click(help->button1());
  QCOMPARE(DocumentTitle(b), QStringLiteral("tavrine 利用説明書"));
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/tavrine.htm")));
  QVERIFY(help->button1()->isVisible() && help->button2()->isVisible());

  // Closed and opened again, the last page stays.
  click(win->findChild<QWidget*>(QStringLiteral("Button88")));
  QVERIFY(!help->isVisible());
  click(win->findChild<QWidget*>(QStringLiteral("Button88")));
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/tavrine.htm")));
  closeHelp();
}

void ManualTest::shippedPagesFollowLinksAndShowPictures() {
  ManualBrowser* b = help->browser();
  b->navigate(ManualBrowser::ShippedPage(QStringLiteral("tavrine.htm")));
  // The style sheet is read: the heading takes its colour.
  QTextCursor heading(b->document()->firstBlock());
  heading.movePosition(QTextCursor::NextCharacter);
  QCOMPARE(heading.charFormat().foreground().color(), QColor(0x00, 0x40, 0x80));
  // Pictures load from the resources, relative to the page.
  const QImage image = PictureOf(b, QStringLiteral("images/main.png"));
  QVERIFY(!image.isNull());
  QVERIFY(image.width() > 600);

  // A link with an anchor leads to that part of the other shipped page.
  emit b->anchorClicked(QUrl(QStringLiteral("kensho.htm#figures")));
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/kensho.htm#figures")));
  QCOMPARE(DocumentTitle(b), QStringLiteral("売買条件と検証の読み方 - tavrine 利用説明書"));
  QVERIFY(!b->loading());
  emit b->anchorClicked(QUrl(QStringLiteral("tavrine.htm")));
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/tavrine.htm")));

  // A page the program does not ship: said so, and no stand-in for the host's.
  QSignalSpy shown(b, &ManualBrowser::pageShown);
  b->navigate(ManualBrowser::ShippedPage(QStringLiteral("nothing.htm")));
  QCOMPARE(shown.last().at(1).toBool(), false);
  QVERIFY(!b->showingShipped());
  QVERIFY(b->toPlainText().contains(QStringLiteral("ページが見つかりません")));
  QVERIFY(
      ManualBrowser::ShippedCounterpart(QUrl(QStringLiteral("http://h/tavrine/x.htm"))).isEmpty());
  QVERIFY(ManualBrowser::ShippedCounterpart(QUrl(QStringLiteral("http://h/other/tavrine.htm")))
              .isEmpty());
  QCOMPARE(
      ManualBrowser::ShippedCounterpart(QUrl(QStringLiteral("http://h:8/tavrine/chart.htm#terms"))),
      QUrl(QStringLiteral("qrc:/manual/chart.htm#terms")));
}

void ManualTest::unreachableHostFallsBackToTheShippedPage() {
  ManualBrowser* b = help->browser();
  b->setHostConfigured(true);
  QSignalSpy shown(b, &ManualBrowser::pageShown);
  click(win->findChild<QWidget*>(QStringLiteral("Button88")));
  click(help->button2());
  // The host is asked first.
  QCOMPARE(b->current(), QUrl(QStringLiteral("http://127.0.0.1:1/tavrine/tavrinekanni.htm")));
  QTRY_VERIFY_WITH_TIMEOUT(shown.count() > 0, 10000);
  QCOMPARE(shown.last().at(1).toBool(), false);
  QVERIFY(b->showingShipped());
  QCOMPARE(DocumentTitle(b), QStringLiteral("tavrine 簡易利用説明書"));
  const QString text = b->toPlainText();
  QVERIFY(text.contains(QStringLiteral("接続できませんでした")));
  QVERIFY(text.contains(QStringLiteral("付属の説明書")));
  QVERIFY(text.contains(QStringLiteral("株価データを用意する")));
  // Its links stay with the shipped pages instead of asking the host again.
  emit b->anchorClicked(QUrl(QStringLiteral("tavrine.htm")));
  QVERIFY(!b->loading());
  QCOMPARE(b->shown(), QUrl(QStringLiteral("qrc:/manual/tavrine.htm")));
  closeHelp();
  b->setHostConfigured(false);
}

void ManualTest::reachableHostServesTheSameManual() {
  quotesite::Options o;
  o.market = folder->dir().string();
  quotesite::Site site(o);
  const int port = site.bind(0);
  QVERIFY(port > 0);
  site.start();
  const QString host = QStringLiteral("http://127.0.0.1:%1").arg(port);

  ManualBrowser* b = help->browser();
  b->setHostConfigured(true);
  QCOMPARE(PageShownFor(b, QUrl(host + QStringLiteral("/tavrine/tavrine.htm")), 10000), 1);
  QVERIFY(!b->showingShipped());
  QCOMPARE(b->shown(), QUrl(host + QStringLiteral("/tavrine/tavrine.htm")));
  QCOMPARE(DocumentTitle(b), QStringLiteral("tavrine 利用説明書"));
  // Its pictures and style sheet follow from the same host. A picture is
  // asked for when the layout (or this look) first wants it, and is there
  // once it has arrived.
  QTRY_VERIFY_WITH_TIMEOUT(!b->loading(), 10000);
  QTRY_VERIFY_WITH_TIMEOUT(!PictureOf(b, QStringLiteral("images/main.png")).isNull(), 10000);
  QTRY_VERIFY_WITH_TIMEOUT(!b->loading(), 10000);
  QTextCursor heading(b->document()->firstBlock());
  heading.movePosition(QTextCursor::NextCharacter);
  QCOMPARE(heading.charFormat().foreground().color(), QColor(0x00, 0x40, 0x80));
  const QString fromHost = b->toPlainText();
  b->navigate(ManualBrowser::ShippedPage(QStringLiteral("tavrine.htm")));
  QCOMPARE(fromHost, b->toPlainText());

  // A page the host does not have is the host's answer, not a stand-in.
  QCOMPARE(PageShownFor(b, QUrl(host + QStringLiteral("/tavrine/nothing.htm")), 10000), 0);
  QVERIFY(!b->showingShipped());
  QVERIFY(b->toPlainText().contains(QStringLiteral("ページが見つかりません")));
  b->setHostConfigured(false);
  site.stop();
}

// A page far larger than any manual page is stopped, and a redirect to
// another host is not followed.
void ManualTest::aHostileHostIsNeverShownAsTheManual() {
  httplib::Server server;
  const std::string big(5 << 20, 'x');
  server.Get("/tavrine/big.htm", [&big](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><body>" + big + "</body></html>", "text/html");
  });
  int port = 0;
  server.Get("/tavrine/away.htm", [&port](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("http://127.0.0.2:" + std::to_string(port) + "/tavrine/tavrine.htm");
  });
  port = server.bind_to_any_port("127.0.0.1");
  QVERIFY(port > 0);
  // Stopped and joined however the test ends.
  struct Listening {
    httplib::Server& server;
    std::thread thread{[this] { server.listen_after_bind(); }};
    ~Listening() {
      server.stop();
      thread.join();
    }
  } listening{server};
  const QString host = QStringLiteral("http://127.0.0.1:%1").arg(port);

  ManualBrowser* b = help->browser();
  b->setHostConfigured(true);
  QCOMPARE(PageShownFor(b, QUrl(host + QStringLiteral("/tavrine/big.htm")), 20000), 0);
  QVERIFY(b->toPlainText().contains(QStringLiteral("大きすぎる")));
  QVERIFY(b->toPlainText().size() < 1000);

  QCOMPARE(PageShownFor(b, QUrl(host + QStringLiteral("/tavrine/away.htm")), 20000), 0);
  QVERIFY(!b->toPlainText().contains(QStringLiteral("利用説明書")));
  QVERIFY(b->toPlainText().contains(QStringLiteral("転送")));
  b->setHostConfigured(false);
}

QTEST_MAIN(ManualTest)
#include "manual_test.moc"
