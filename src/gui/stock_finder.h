// Proposals under the code box: as the user types a code prefix or a part of
// a name, the matching stocks of the list drop down (FindStocks); choosing
// one hands its code on. The box itself keeps any text typed into it.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "app/stock_search.h"

QT_BEGIN_NAMESPACE
class QCompleter;
class QStringListModel;
QT_END_NAMESPACE

namespace tavrine::gui {

class TextBox;

class StockFinder : public QObject {
  Q_OBJECT
 public:
  StockFinder(TextBox* box, std::function<const WorkTable&()> stockList);

  // Looks the box's text up and shows the proposals, or hides them when
  // nothing matches.
  void update();
  void hide();
  bool shown() const;

  QCompleter* completer() const { return completer_; }
  // The proposals as shown, "code name" a line.
  QStringList proposals() const;
  // Chooses the proposal of that line as a click on it would.
  void choose(int row);

  // Called with the chosen stock's code as the list holds it.
  std::function<void(const std::string& code)> onChosen;

 private:
  TextBox* box_;
  std::function<const WorkTable&()> stockList_;
  QCompleter* completer_;
  QStringListModel* model_;
  std::vector<StockMatch> matches_;
};

}  // namespace tavrine::gui
