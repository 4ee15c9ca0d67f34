#include "gui/judging_ui.h"

#include <QLocale>
#include <QSettings>

namespace tavrine::gui {

namespace {

constexpr const char* kKey = "rules/judging";
constexpr const char* kCostsKey = "rules/costs";
constexpr const char* kCostsOnKey = "rules/costsOn";

QString Yen(long double v) {
  return QLocale(QLocale::Japanese).toString(static_cast<qlonglong>(money::FloorYen(v))) +
         QStringLiteral("円");
}

}  // namespace

QString JudgingName(Judging j) {
  return j == Judging::Honest ? QStringLiteral("実売買") : QStringLiteral("後知恵");
}

QString JudgingLabelText(Judging j) {
  return j == Judging::Honest ? QStringLiteral("検証方式: 実売買")
                              : QStringLiteral("検証方式: 後知恵（将来の株価を含む）");
}

QString JudgingToolTip(Judging j) {
  return j == Judging::Honest ? QStringLiteral(
                                    "実売買: 各日の判定にはその日までの株価だけを使い、"
                                    "翌日の終値で売買します。実際に得られた成績です。")
                              : QStringLiteral(
                                    "後知恵: 各日の判定に後の日の株価を含みます。"
                                    "この成績は実際の売買では得られません。");
}

QString JudgingLabelStyle(Judging j) {
  return j == Judging::Honest ? QStringLiteral("QLabel { color: #1E4620; }")
                              : QStringLiteral("QLabel { color: #A00000; font-weight: bold; }");
}

Judging LoadJudging() {
  const QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  return s.value(kKey).toString() == QLatin1String("hindsight") ? Judging::Hindsight
                                                                : Judging::Honest;
}

void SaveJudging(Judging j) {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kKey, j == Judging::Honest ? QStringLiteral("honest") : QStringLiteral("hindsight"));
}

CostModel LoadCostModel() {
  const QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  CostModel m;
  std::string error;
  if (!money::ReadCostModelText(s.value(kCostsKey).toString().toStdString(), m, error))
    return CostModel{};
  m.set = s.value(kCostsOnKey).toBool();
  return m;
}

void SaveCostModel(const CostModel& m) {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kCostsKey, QString::fromStdString(money::CostModelText(m)));
  s.setValue(kCostsOnKey, m.set);
}

QString MoneyLabelText(const money::MoneyResult& r) {
  return QStringLiteral("  資金 %1→%2 (%3倍)  コスト %4  税 %5")
      .arg(Yen(r.capital), Yen(r.finalEquity),
           QString::number(static_cast<double>(r.net()), 'f', 3), Yen(r.costs), Yen(r.tax));
}

}  // namespace tavrine::gui
