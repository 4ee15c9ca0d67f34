// One table model class for every shown work table: the view asks for cells
// as it paints, so a table of a million cells costs nothing until seen.
#pragma once

#include <functional>

#include <QAbstractTableModel>
#include <cstdint>

#include "store/work_table.h"

namespace tavrine::gui {

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  GridModel(WorkTable& table, bool editable, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The column strip carries no text: the table's own row 0 holds the headings.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // When set and true, no cell may be edited (the list stays as it is while
  // a handler waits for a page).
  std::function<bool()> locked;

  // Brings the view up to the table: a reset when the displayed size moved,
  // one dataChanged over the whole table when only cells did. Returns true
  // when anything was refreshed.
  bool refresh();

  WorkTable& table() { return table_; }

  // When set, what a cell shows (its edit text stays the table's), and
  // whether it stands right-aligned.
  std::function<QString(int column, int row, const QString& text)> shown;
  std::function<bool(int column, int row, const QString& text)> alignRight;

 private:
  WorkTable& table_;
  bool editable_;
  int rows_, cols_;
  std::uint64_t version_;
};

// The statistics grid (StringGrid4 over StatsTable) as it reads: counts
// with 件, days with 日, trades per year with 回/年, on numbers only; the
// cells themselves keep the engine's texts.
QString StatsCellShown(int column, int row, const QString& text);
// Every number of the grid below its heading row stands right-aligned.
bool StatsCellIsNumber(int column, int row, const QString& text);

}  // namespace tavrine::gui
