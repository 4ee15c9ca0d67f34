// The main window's way of judging and today's signals: the switch
// "検証方式" and the button "本日の信号" on the rule panel's third row, the
// label over the statistics, and the today window.
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/scan.h"
#include "gui/judging_ui.h"
#include "gui/main_window.h"
#include "gui/style.h"
#include "gui/today_window.h"
#include "gui/widgets.h"

namespace tavrine::gui {

namespace {

// The rule panel's third row, under the term and scan buttons.
constexpr int kThirdRowTop = 64;
constexpr QRect kJudgingCaption{4, kThirdRowTop, 52, 26};
constexpr QRect kJudgingBox{58, kThirdRowTop, 76, 26};
constexpr QRect kTodayButton{138, kThirdRowTop, 74, 26};
// The line over the statistics grid.
constexpr int kJudgingLabelHeight = 18;
constexpr int kJudgingLabelIndent = 6;

}  // namespace

void MainWindow::buildJudgingControls(QWidget* rulePanel) {
  auto* caption = new QLabel(QStringLiteral("検証方式"), rulePanel);
  bind("JudgingCaption", caption);
  caption->setGeometry(kJudgingCaption);
  caption->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);

  auto* box = new QComboBox(rulePanel);
  bind("JudgingBox", box);
  box->setGeometry(kJudgingBox);
  box->addItem(JudgingName(Judging::Honest), static_cast<int>(Judging::Honest));
  box->addItem(JudgingName(Judging::Hindsight), static_cast<int>(Judging::Hindsight));
  box->setItemData(0, JudgingToolTip(Judging::Honest), Qt::ToolTipRole);
  box->setItemData(1, JudgingToolTip(Judging::Hindsight), Qt::ToolTipRole);
  box->setToolTip(
      QStringLiteral("実売買: その日までの株価で判定し翌日の終値で売買します。\n"
                     "後知恵: 後の日の株価を含む元の計算です。"));
  connect(box, &QComboBox::activated, this, [this, box](int index) {
    setJudging(static_cast<Judging>(box->itemData(index).toInt()));
  });

  auto* today = new QPushButton(QStringLiteral("本日の信号"), rulePanel);
  bind("TodayButton", today);
  today->setGeometry(kTodayButton);
  today->setToolTip(QStringLiteral("最新の日に買い・売りに変わった銘柄と規則を一覧にします"));
  connect(today, &QPushButton::clicked, this, [this] { openToday(); });

  // The label stands over the statistics grid, in a column of its own with
  // it, so the grid keeps no mark of the way of judging.
  GridView* stats = grid("StringGrid4");
  QWidget* area = stats->parentWidget();
  auto* column = new QWidget(area);
  auto* v = new QVBoxLayout(column);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* label = new QLabel(column);
  bind("JudgingLabel", label);
  label->setFixedHeight(kJudgingLabelHeight);
  label->setIndent(kJudgingLabelIndent);
  label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  delete area->layout()->replaceWidget(stats, column);
  // The grid keeps the height it may shrink to; the area grows by the line.
  area->setMinimumHeight(area->minimumHeight() + kJudgingLabelHeight);
  v->addWidget(label);
  v->addWidget(stats, 1);
}

void MainWindow::startJudging() {
  // Unattended runs judge as a first start does, whatever the user chose.
  ws_.judging = remember_ ? LoadJudging() : Judging::Honest;
}

void MainWindow::setJudging(Judging j) {
  platform_.beginWait();
  ws_.setJudging(j);
  platform_.endWait();
  // A handler waiting for a page leaves the way as it was.
  if (remember_ && ws_.judging == j) SaveJudging(j);
  mirror();
}

void MainWindow::mirrorJudging() {
  const Judging j = ws_.judging;
  if (auto* box = qobject_cast<QComboBox*>(widget("JudgingBox"))) {
    const int index = box->findData(static_cast<int>(j));
    if (box->currentIndex() != index) box->setCurrentIndex(index);
  }
  if (auto* label = qobject_cast<QLabel*>(widget("JudgingLabel"))) {
    const QString text = JudgingLabelText(j);
    if (label->text() != text) {
      label->setText(text);
      label->setToolTip(JudgingToolTip(j));
      label->setStyleSheet(JudgingLabelStyle(j));
    }
  }
}

TodayWindow* MainWindow::openToday() {
  if (!today_) {
    TodaySource source;
    source.stockList = [this] { return ws_.StockList; };
    source.pick = [this](const TodayListRow& row) {
      pickStockRule(row.code, row.tag, row.shortTerm);
    };
    today_ = new TodayWindow(std::move(source), this);
    today_->messageHook = platform_.messageHook;
  }
  today_->refresh();
  today_->show();
  today_->raise();
  today_->activateWindow();
  return today_;
}

}  // namespace tavrine::gui
