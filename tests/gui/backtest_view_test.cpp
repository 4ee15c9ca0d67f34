// The backtest picture: filled from StatsTables the real chain made, its
// curves, bars and summary read back, and saved as a PNG.
#include <QAreaSeries>
#include <QBarSet>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "../support/recording_platform.h"
#include "../support/start_cells.h"
#include "app/workspace.h"
#include "gui/backtest_view.h"
#include "gui/grid_model.h"
#include "signals/figures.h"
#include "store/platform.h"
#include "store/text.h"

using namespace tavrine;
using namespace tavrine::gui;

namespace {

// Where to keep the pictures for a look by hand (TAVRINE_VIEW_DIR), else a
// temporary folder.
QString PicturePath(const QTemporaryDir& dir, const QString& name) {
  const QByteArray keep = qgetenv("TAVRINE_VIEW_DIR");
  return keep.isEmpty() ? dir.filePath(name) : QDir(QString::fromLocal8Bit(keep)).filePath(name);
}

// A workspace with the control cells the start-up leaves.
struct Session {
  testing::RecordingPlatform platform;
  Workspace ws{platform};
  Session() { testing::RuleStartCells(ws); }
  void day(int r, int day, long long close, int signal) {
    ws.CalcTable.set(0, r, Day(day));
    ws.CalcTable.setInt(1, r, close);
    ws.CalcTable.setInt(7, r, signal);
  }
  void runS1() {
    Event ev;
    ev.kind = Event::Click;
    ws.dispatch("Button37", ev);
  }
  static std::string Day(int n) { return DateToStr(DaysFromCivil(2000, 1, 3) + n); }
};

qreal Msecs(const std::string& date) {
  return static_cast<qreal>(
      QDate(1899, 12, 30).addDays(StrToDate(date)).startOfDay().toMSecsSinceEpoch());
}

// Pixels of the image near a colour.
int PixelsNear(const QImage& image, QColor c) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - c.red()) < 24 && std::abs(p.green() - c.green()) < 24 &&
          std::abs(p.blue() - c.blue()) < 24)
        ++n;
    }
  return n;
}

}  // namespace

class BacktestViewTest : public QObject {
  Q_OBJECT

 private slots:
  // Multiples read as numbers do: 万, 億 and 兆 instead of exponents.
  void multiplesReadAsWords() {
    QCOMPARE(MultipleText(1e8), QStringLiteral("1億倍"));
    QCOMPARE(MultipleText(1e4), QStringLiteral("1万倍"));
    QCOMPARE(MultipleText(2.5e4), QStringLiteral("2.5万倍"));
    QCOMPARE(MultipleText(123456), QStringLiteral("12.3万倍"));
    QCOMPARE(MultipleText(99999999), QStringLiteral("1億倍"));  // not 10000万倍
    QCOMPARE(MultipleText(3e12), QStringLiteral("3兆倍"));
    QCOMPARE(MultipleText(1), QStringLiteral("1倍"));
    QCOMPARE(MultipleText(1.5), QStringLiteral("1.5倍"));
    QCOMPARE(MultipleText(0.5), QStringLiteral("0.5倍"));
    QCOMPARE(MultipleText(1000), QStringLiteral("1000倍"));
  }

  // The statistics grid's units stand on numbers only, each in its place.
  void statisticsCellsReadWithUnits() {
    QCOMPARE(StatsCellShown(11, 3, QStringLiteral("42")), QStringLiteral("42件"));
    QCOMPARE(StatsCellShown(11, 4, QStringLiteral("3.5")), QStringLiteral("3.5回/年"));
    QCOMPARE(StatsCellShown(13, 4, QStringLiteral("12.3")), QStringLiteral("12.3日"));
    QCOMPARE(StatsCellShown(9, 2, QStringLiteral("7")), QStringLiteral("7件"));
    QCOMPARE(StatsCellShown(7, 9, QStringLiteral("3")), QStringLiteral("3日"));
    QCOMPARE(StatsCellShown(8, 9, QStringLiteral("5")), QStringLiteral("5件"));
    QCOMPARE(StatsCellShown(3, 12, QStringLiteral("30")), QStringLiteral("30日"));
    // Captions, blanks and ratios keep their texts.
    QCOMPARE(StatsCellShown(13, 3, QStringLiteral("S1")), QStringLiteral("S1"));
    QCOMPARE(StatsCellShown(11, 3, QString()), QString());
    QCOMPARE(StatsCellShown(8, 3, QStringLiteral("1.052")), QStringLiteral("1.052"));
    QCOMPARE(StatsCellShown(3, 0, QStringLiteral("所要日数")), QStringLiteral("所要日数"));
    QVERIFY(StatsCellIsNumber(8, 3, QStringLiteral("1.052")));
    QVERIFY(!StatsCellIsNumber(7, 3, QStringLiteral("全利率平均")));
    QVERIFY(!StatsCellIsNumber(8, 0, QStringLiteral("1")));  // the heading row
  }

  // A curve that grows to 1e8 on the logarithmic scale: its labels name
  // the multiples in words, 1万倍 among them, and no label has an exponent.
  void logAxisLabelsReadAsMultiples() {
    BacktestFigures f;
    f.trades = 8;
    f.startDay = DaysFromCivil(2000, 1, 3);
    double e = 1;
    for (int i = 0; i < 8; ++i) {
      e *= 10;
      f.curve.push_back({DateToStr(*f.startDay + 30 * (i + 1)), e, 0, std::nullopt});
    }
    f.equity = e;
    BacktestView view;
    view.resize(1000, 720);
    view.show(f, Distributions{});
    QVERIFY(view.logScale());
    const QStringList labels = view.equityAxisLabels();
    QVERIFY2(labels.contains(QStringLiteral("1万倍")), qPrintable(labels.join(' ')));
    QVERIFY2(labels.contains(QStringLiteral("1億倍")), qPrintable(labels.join(' ')));
    for (const QString& l : labels) {
      QVERIFY2(!l.contains('e'), qPrintable(l));
      QVERIFY(l.endsWith(QStringLiteral("倍")));
    }
    // The linear scale has the axis' own labels instead.
    view.setLogScale(false);
    QVERIFY(view.equityAxisLabels().isEmpty());
    view.setLogScale(true);
    QCOMPARE(view.equityAxisLabels(), labels);
  }

  // A saved picture names what it shows and the day it was made.
  void savedPictureCarriesSubjectAndDay() {
    BacktestView view;
    view.resize(900, 640);
    view.setSubject(QStringLiteral("1721 コムシス　S1　後知恵　入買"), QStringLiteral("1721_S1"));
    QTemporaryDir dir;
    const QString png = PicturePath(dir, QStringLiteral("subject.png"));
    QString titled;
    QLabel* title = nullptr;
    for (QLabel* l : view.findChildren<QLabel*>())
      if (l->text() == view.heading()) title = l;
    QVERIFY(title);
    // The heading is read while the picture is taken, through a paint.
    struct Spy : QObject {
      QString* seen;
      QLabel* label;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) *seen = label->text();
        return false;
      }
    } spy;
    spy.seen = &titled;
    spy.label = title;
    title->installEventFilter(&spy);
    QCOMPARE(view.saveImage(png), QString());
    title->removeEventFilter(&spy);
    QVERIFY2(titled.contains(QStringLiteral("1721 コムシス　S1　後知恵　入買")),
             qPrintable(titled));
    QVERIFY2(titled.contains(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))),
             qPrintable(titled));
    // The window's own heading is left as it was.
    QCOMPARE(view.heading(), QStringLiteral("検証図　1721 コムシス　S1　後知恵　入買"));
  }

  // The three-trade list: ratios 1.052, 0.93, 1.25 held 10, 50 and 121 days.
  void threeTrades() {
    Session s;
    s.ws.SeriesTable.set(2, 4862, "40");
    for (int r = 1; r <= 40; ++r) s.ws.CalcTable.set(7, r, "0");
    s.day(30, 0, 19, 2);
    s.day(28, 10, 20, -1);
    s.day(20, 100, 100, 3);
    s.day(18, 150, 93, -4);
    s.day(10, 200, 100, 1);
    s.day(8, 321, 125, -1);
    s.runS1();
    QVERIFY(s.platform.errors.empty());
    const WorkTable& stats = s.ws.StatsTable;
    const BacktestFigures f = ComputeFigures(stats);
    QCOMPARE(f.trades, 3);

    BacktestView view;
    view.resize(920, 700);
    view.show(f, stats);
    QCOMPARE(view.summaryText(),
             QStringLiteral("取引数 3　勝率 66.7%　最終資産倍率 1.223　最大DD 7.0%　PF "
                            "4.31　最長連敗 1　保有率 56.4%　買持 6.579"));

    // Steps: the start at 1, then two points at each exit.
    const QList<QPointF> eq = view.equitySeries()->points();
    QCOMPARE(eq.size(), 7);
    QCOMPARE(eq[0], QPointF(Msecs(Session::Day(0)), 1));
    QCOMPARE(eq[1], QPointF(Msecs(Session::Day(10)), 1));
    QCOMPARE(eq[2].y(), 1.052);
    QCOMPARE(eq[3].y(), 1.052);
    QCOMPARE(eq[6].x(), Msecs(Session::Day(321)));
    QVERIFY(std::abs(eq[6].y() - 1.052 * 0.93 * 1.25) < 1e-12);
    // Buy and hold: each exit close over the oldest entry close 19.
    const QList<QPointF> hold = view.holdSeries()->points();
    QCOMPARE(hold.size(), 4);
    QCOMPARE(hold[1].y(), 20.0 / 19);
    QCOMPARE(hold[2].y(), 93.0 / 19);
    QCOMPARE(hold[3], QPointF(Msecs(Session::Day(321)), 125.0 / 19));
    // Drawdown in percent below 0: 7 % after the loss, back to 0 at the new high.
    const QList<QPointF> dd = view.drawdownSeries()->upperSeries()->points();
    QCOMPARE(dd.size(), 7);
    QVERIFY(std::abs(dd[4].y() + 7) < 1e-9);
    QCOMPARE(dd[6].y(), 0.0);

    // The header row's captions, ranges broken before their upper end.
    QCOMPARE(view.rangeCategories(),
             (QStringList{"-0.95", "0.95<br>-1.00", "1.00<br>-1.05", "1.05<br>-1.10",
                          "1.10<br>-1.15", "1.15<br>-1.20", "1.20-"}));
    QList<qreal> ranges;
    for (int i = 0; i < view.rangeBars()->count(); ++i) ranges << view.rangeBars()->at(i);
    QCOMPARE(ranges, (QList<qreal>{1, 0, 0, 1, 0, 0, 1}));
    // 121 days at most: twenty-day ranges; 10 and 50 days in the first and
    // third, 121 in the last.
    const QStringList days = view.dayCategories();
    QCOMPARE(days.size(), 7);
    QCOMPARE(days.front(), QStringLiteral("1<br>-20"));
    QCOMPARE(days.back(), QStringLiteral("121<br>-140"));
    QList<qreal> dayCounts;
    for (int i = 0; i < view.dayBars()->count(); ++i) dayCounts << view.dayBars()->at(i);
    QCOMPARE(dayCounts, (QList<qreal>{1, 0, 1, 0, 0, 0, 1}));

    QTemporaryDir dir;
    const QString png = PicturePath(dir, QStringLiteral("three.png"));
    QCOMPARE(view.saveImage(png), QString());
    const QImage image(png);
    QCOMPARE(image.size(), view.size());
    QVERIFY(PixelsNear(image, QColor(0x1F, 0x5F, 0xBF)) > 100);  // the equity curve is drawn
    QVERIFY(PixelsNear(image, QColor(0xE0, 0x8A, 0x1E)) > 30);   // and buy and hold
    const QString refused = view.saveImage(dir.filePath(QStringLiteral("無い/検証図.png")));
    QVERIFY(refused.contains(QStringLiteral("保存できません")));
  }

  void noTrade() {
    WorkTable stats("StatsTable", 15, 2000);
    BacktestView view;
    view.show(ComputeFigures(stats), stats);
    QCOMPARE(view.summaryText(),
             QStringLiteral(
                 "取引数 0　勝率 -　最終資産倍率 -　最大DD -　PF -　最長連敗 -　保有率 -　買持 -"));
    QCOMPARE(view.equitySeries()->count(), 0);
    QCOMPARE(view.holdSeries()->count(), 0);
    QCOMPARE(view.dayBars()->sum(), 0.0);
    QTemporaryDir dir;
    QCOMPARE(view.saveImage(PicturePath(dir, QStringLiteral("empty.png"))), QString());
  }

  // A long random history through the chain: the pictures follow the table.
  void manyTrades() {
    Session s;
    std::mt19937 rng(99);
    const int v = 2400;
    s.ws.SeriesTable.set(2, 4862, std::to_string(v));
    int day = 0, state = 0;
    double price = 1500;
    for (int r = v + 5; r >= 1; --r) {
      day += (rng() % 5 == 0) ? 3 : 1;
      price *= 1 + (static_cast<int>(rng() % 201) - 98) / 2500.0;
      if (rng() % 3 == 0) state = static_cast<int>(rng() % 5) - 2;
      s.day(r, day, std::llround(price), state * 7);
    }
    s.runS1();
    QVERIFY(s.platform.errors.empty());
    const WorkTable& stats = s.ws.StatsTable;
    const BacktestFigures f = ComputeFigures(stats);
    QVERIFY2(f.trades > 100, std::to_string(f.trades).c_str());

    BacktestView view;
    view.resize(1000, 720);
    view.show(f, stats);
    const QList<QPointF> eq = view.equitySeries()->points();
    QCOMPARE(eq.size(), 1 + 2 * f.trades);
    QCOMPARE(eq.back().y(), *f.equity);
    QCOMPARE(eq.back().x(), Msecs(stats.cell(2, 1)));
    QCOMPARE(view.holdSeries()->points().back().y(), *f.buyAndHold);
    // Every listed trade with a holding time lands in one day bar.
    double listedDays = 0;
    for (int r = 1; r <= f.trades; ++r)
      if (StrToInt(stats.cell(3, r)) >= 1) ++listedDays;
    QCOMPARE(view.dayBars()->sum(), listedDays);
    QVERIFY(view.dayCategories().size() <= 10);
    double deepest = 0;
    for (const QPointF& p : view.drawdownSeries()->upperSeries()->points())
      deepest = std::min(deepest, p.y());
    QVERIFY(std::abs(deepest + *f.maxDrawdown * 100) < 1e-9);

    QTemporaryDir dir;
    const QString png = PicturePath(dir, QStringLiteral("many.png"));
    QCOMPARE(view.saveImage(png), QString());
    QVERIFY(PixelsNear(QImage(png), QColor(0xC8, 0x3C, 0x3C)) > 50);  // the drawdown area's edge
  }
};

QTEST_MAIN(BacktestViewTest)
#include "backtest_view_test.moc"
