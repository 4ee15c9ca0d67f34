#include "gui/stock_finder.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QScrollBar>
#include <QStringListModel>
#include <algorithm>

#include "gui/widgets.h"

namespace tavrine::gui {

namespace {
constexpr int kVisibleProposals = 12;
constexpr int kProposalMargin = 16;  // frame and item padding around a line
constexpr int kMaxProposalWidth = 420;
}  // namespace

StockFinder::StockFinder(TextBox* box, std::function<const WorkTable&()> stockList)
    : QObject(box), box_(box), stockList_(std::move(stockList)) {
  model_ = new QStringListModel(this);
  completer_ = new QCompleter(model_, this);
  // The list is filtered here, not by the completer; the completer is not
  // the box's own so that it never writes the line into the box.
  completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
  completer_->setMaxVisibleItems(kVisibleProposals);
  completer_->setWidget(box);
  connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this,
          [this](const QModelIndex& index) { choose(index.row()); });
  // What the user types (keys or an input method) is looked up; text put
  // into the box by the program is not. Enter on the typed text closes the
  // list.
  connect(box, &QLineEdit::textEdited, this, &StockFinder::update);
  connect(box, &TextBox::keyPressed, this, &StockFinder::hide);
  box->enterChoosesProposal = [this] {
    return shown() && completer_->popup()->currentIndex().isValid();
  };
}

void StockFinder::update() {
  matches_ = FindStocks(stockList_(), box_->text().toStdString());
  QStringList lines;
  for (const StockMatch& m : matches_) lines << Shown(m.code) + QLatin1Char(' ') + Shown(m.name);
  model_->setStringList(lines);
  if (lines.isEmpty() || !box_->isVisible()) {
    hide();
    return;
  }
  // Wide enough for the longest line: the box itself is only a code wide.
  QAbstractItemView* popup = completer_->popup();
  const QFontMetrics fm(popup->font());
  int width = box_->width();
  for (const QString& line : lines)
    width = std::max(width, fm.horizontalAdvance(line) + kProposalMargin);
  width = std::min(width + popup->verticalScrollBar()->sizeHint().width(), kMaxProposalWidth);
  completer_->complete(QRect(0, 0, width, box_->height()));
  // Nothing is chosen until the user moves into the list.
  completer_->popup()->setCurrentIndex({});
}

void StockFinder::hide() { completer_->popup()->hide(); }

bool StockFinder::shown() const { return completer_->popup()->isVisible(); }

QStringList StockFinder::proposals() const { return model_->stringList(); }

void StockFinder::choose(int row) {
  if (row < 0 || row >= static_cast<int>(matches_.size())) return;
  const std::string code = matches_[static_cast<std::size_t>(row)].code;
  hide();
  if (onChosen) onChosen(code);
}

}  // namespace tavrine::gui
