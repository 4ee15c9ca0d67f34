#include "gui/stock_money_window.h"

#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "gui/money_panels.h"

namespace tavrine::gui {

StockMoneyWindow::StockMoneyWindow(QWidget* parent)
    : ToolWindow(QStringLiteral("StockMoneyWindow"), QStringLiteral("資金の成績"),
                 QStringLiteral("資金の成績"), {420, 760}, parent) {
  QBoxLayout* strip = addControlStrip(QBoxLayout::TopToBottom);
  note_ = new QLabel(strip->parentWidget());
  note_->setObjectName(QStringLiteral("StockMoneyNote"));
  note_->setWordWrap(true);
  strip->addWidget(note_);
  panel_ = new MoneyStatsPanel(QStringLiteral("StockMoney"), QStringLiteral("資金"), this);
  root()->addWidget(panel_, 1);
  showMoney(nullptr, 0, {});
}

void StockMoneyWindow::showMoney(const StockMoney* m, long double taxPercent,
                                 const QString& subject) {
  headingLabel()->setText(subject.isEmpty() ? QStringLiteral("資金の成績")
                                            : QStringLiteral("資金の成績　") + subject);
  if (!m) {
    panel_->show(nullptr, nullptr, 0, std::nullopt);
    note_->setText(QStringLiteral("実売買で「売買コスト…」の計算を入れた銘柄の検証で表示します。"));
    return;
  }
  const StockMoneyStats s = ComputeStockMoneyStats(*m, taxPercent);
  panel_->show(&s.money, &s.hold, s.capital, std::nullopt);
  note_->setText(
      QStringLiteral("元手 %1円、100株単位で再投資。買持は同じ元手で初日の終値に買い続けた場合。")
          .arg(QLocale(QLocale::English).toString(m->result.capital)));
}

}  // namespace tavrine::gui
