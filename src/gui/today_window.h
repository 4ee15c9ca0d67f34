// "本日の信号": the stocks whose rule signals turned to buy or sell on their
// newest priced day, for S1 .. S3 and the seven term rules of the long- and
// the short-term set, always judged honestly (app/today_list.h). Sortable by
// any column; a double click charts the stock with that rule and term set in
// the main window; the list saves as CSV; Escape closes the window.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/today_list.h"
#include "store/work_table.h"

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
class QTableView;
QT_END_NAMESPACE

namespace tavrine::gui {

class TodayModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<TodayListRow> rows);
  const std::vector<TodayListRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The list's one order by a column (SortTodayRows).
  void sort(int column, Qt::SortOrder order) override;

 private:
  std::vector<TodayListRow> rows_;
};

// What the window needs from the main window, called on the window's thread.
struct TodaySource {
  std::function<WorkTable()> stockList;  // a copy of the stock list
  std::function<void(const TodayListRow& row)> pick;
};

class TodayWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TodayWindow(TodaySource source, QWidget* parent = nullptr);

  // Judges every stock of a fresh copy of the list and shows the new
  // signals in the first order.
  void refresh();
  // Saves the list in the order shown; false (after a message) on failure.
  bool saveCsv(const QString& path);
  // Charts the stock and rule of a shown row in the main window.
  void pickRow(int viewRow);

  TodayModel* model() const { return model_; }
  QTableView* table() const { return table_; }
  QLabel* statusLabel() const { return status_; }

  // Message boxes go here instead of on screen when set (tests).
  std::function<void(const std::string& text, bool isError)> messageHook;

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void chooseCsv();

  TodaySource source_;
  TodayModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* csv_ = nullptr;
};

}  // namespace tavrine::gui
