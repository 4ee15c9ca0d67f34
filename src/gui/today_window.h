// "本日の信号": the stocks whose rule signals turned to buy or sell on their
// newest priced day, for S1 .. S3 and the seven term rules of the long- and
// the short-term set, always judged honestly (app/today_list.h). Sortable by
// any column; a double click charts the stock with that rule and term set in
// the main window; the list saves as CSV; Escape closes the window.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/today_list.h"
#include "gui/rows_model.h"
#include "gui/tool_window.h"
#include "store/work_table.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
QT_END_NAMESPACE

namespace tavrine::gui {

class TodayModel : public RowsModel<TodayListRow> {
 public:
  explicit TodayModel(QObject* parent)
      : RowsModel(TodayColumnHeadings(), &TodayRowCells, static_cast<Sorter>(&SortTodayRows),
                  parent) {}

 protected:
  Qt::Alignment alignment(int column) const override;
  QVariant other(const TodayListRow& row, int column, int role) const override;
};

// Which of today's signals the window shows.
struct TodayFilter {
  bool newestDayOnly = false;  // only stocks priced up to the newest day of the list
  int tag = -1;                // one rule's tag, -1 every rule
  int side = 0;                // 1 買い only, -1 売り only, 0 both
};
// The rows that pass the filter, in their order; newest is the newest day
// of any stock.
std::vector<TodayListRow> FilterTodayRows(const std::vector<TodayListRow>& rows,
                                          const TodayFilter& filter, const std::string& newest);

// What the window needs from the main window, called on the window's thread.
struct TodaySource {
  std::function<WorkTable()> stockList;  // a copy of the stock list
  std::function<void(const TodayListRow& row)> pick;
};

class TodayWindow : public RowsToolWindow {
  Q_OBJECT
 public:
  explicit TodayWindow(TodaySource source, QWidget* parent = nullptr);

  // Judges every stock of a fresh copy of the list and shows the new
  // signals in the first order.
  void refresh();
  bool saveCsv(const QString& path) override;
  void pickRow(int viewRow) override;

  TodayModel* model() const { return model_; }
  QCheckBox* newestDayBox() const { return newestDay_; }
  QComboBox* ruleBox() const { return rule_; }
  QComboBox* sideBox() const { return side_; }
  // "更新後に通知": the desktop notice after 一括更新, on or off.
  QCheckBox* noticeBox() const { return notice_; }

 private:
  // Shows the rows of the last judging that pass the filters, in the order
  // the header shows.
  void applyFilter();

  TodaySource source_;
  TodayModel* model_ = nullptr;
  QCheckBox* newestDay_ = nullptr;
  QComboBox* rule_ = nullptr;
  QComboBox* side_ = nullptr;
  QCheckBox* notice_ = nullptr;
  std::vector<TodayListRow> all_;  // the last judging, unfiltered
  std::string newest_;
  int stocksJudged_ = 0;
};

}  // namespace tavrine::gui
