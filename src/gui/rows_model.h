// A table model over rows the engine made: the engine names the columns and
// gives the one order a click on a heading sorts by, so the table, its CSV
// and the driver agree.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "gui/widgets.h"

namespace tavrine::gui {

template <class Row>
class RowsModel : public QAbstractTableModel {
 public:
  using Sorter = void (*)(std::vector<Row>& rows, int column, bool descending);
  using Cells = std::vector<std::string> (*)(const Row& row);

  RowsModel(const std::vector<std::string>& headings, Cells cells, Sorter sorter, QObject* parent)
      : QAbstractTableModel(parent), headings_(headings), cells_(cells), sorter_(sorter) {}

  void setRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<Row>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
  }
  // The engine's cell texts (the tooltip whole, the table through
  // display()), aligned by alignment(), anything else from other().
  QVariant data(const QModelIndex& index, int role) const override {
    const Row* row = rowAt(index);
    if (!row) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
      const std::vector<std::string> cells = cells_(*row);
      if (index.column() >= static_cast<int>(cells.size())) return {};
      const QString cell = Shown(cells[static_cast<std::size_t>(index.column())]);
      return role == Qt::DisplayRole ? display(index.column(), cell) : cell;
    }
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::AlignVCenter | alignment(index.column()));
    return other(*row, index.column(), role);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return {};
    return QString::fromStdString(headings_[static_cast<std::size_t>(section)]);
  }
  void sort(int column, Qt::SortOrder order) override {
    if (column < 0 || column >= columnCount()) return;
    reorder([&](std::vector<Row>& rows) { sorter_(rows, column, order == Qt::DescendingOrder); });
  }

 protected:
  // Puts the rows in another order, telling the views.
  template <class F>
  void reorder(F&& f) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    f(rows_);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  }

  virtual QString display(int /*column*/, const QString& cell) const { return cell; }
  virtual Qt::Alignment alignment(int column) const = 0;
  virtual QVariant other(const Row& /*row*/, int /*column*/, int /*role*/) const { return {}; }

 private:
  // The row of an index, nullptr outside the rows.
  const Row* rowAt(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<std::size_t>(index.row())];
  }

  const std::vector<std::string>& headings_;
  Cells cells_;
  Sorter sorter_;
  std::vector<Row> rows_;
};

}  // namespace tavrine::gui
