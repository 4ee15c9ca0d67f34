// The window's 銘柄追加 (app/add_stock.h): a box asking for a code or a
// name, the choice when a name matches several stocks, the run with its
// progress dialog and 中止, and one summary box.
#pragma once

#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "app/add_stock.h"

QT_BEGIN_NAMESPACE
class QProgressDialog;
class QWidget;
QT_END_NAMESPACE

namespace tavrine {
class Workspace;
}  // namespace tavrine

namespace tavrine::gui {

class ListUpdate;

// "7203 トヨタ自動車 (プライム)", as the choice lists a stock.
QString MasterStockText(const MasterStock& m);

class StockAdd {
 public:
  // parent owns the dialogs; keys asks for the J-Quants API's key when there
  // is none; changed shows the tables as they now are.
  StockAdd(QWidget* parent, Workspace& ws, ListUpdate& keys, std::function<void()> changed)
      : parent_(parent), ws_(ws), keys_(keys), changed_(std::move(changed)) {}

  // The button: the code or name asked, the key dialog when there is no
  // key, then the run. Nothing happens when the box is left empty.
  void choose();
  // Runs the addition of the stock `query` names with the progress dialog,
  // then shows its summary.
  AddSummary run(const QString& query);

  // Instead of the boxes (tests): the code or name (empty: none), and the
  // index of the stock chosen among several (-1: none).
  std::function<QString()> askQuery;
  std::function<int(const std::vector<MasterStock>&)> askChoice;
  // Sees the progress dialog at each step of the run (tests).
  std::function<void(QProgressDialog&)> onProgress;

 private:
  QWidget* parent_;
  Workspace& ws_;
  ListUpdate& keys_;
  std::function<void()> changed_;
};

}  // namespace tavrine::gui
