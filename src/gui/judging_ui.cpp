#include "gui/judging_ui.h"

#include <QSettings>

namespace tavrine::gui {

namespace {

constexpr const char* kKey = "rules/judging";

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

}  // namespace tavrine::gui
