#include "gui/grid_model.h"

#include <QBrush>
#include <QColor>

#include "gui/widgets.h"

namespace tavrine::gui {

GridModel::GridModel(WorkTable& table, bool editable, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      editable_(editable),
      rows_(table.rowCount()),
      cols_(table.colCount()),
      version_(table.version()) {}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int c = index.column(), r = index.row();
  switch (role) {
    case Qt::DisplayRole:
      if (shown) return shown(c, r, Shown(table_.cell(c, r)));
      return Shown(table_.cell(c, r));
    case Qt::EditRole:
      return Shown(table_.cell(c, r));
    case Qt::TextAlignmentRole:
      if (alignRight && alignRight(c, r, Shown(table_.cell(c, r))))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::BackgroundRole:
      // Row 0 and column 0 are the grid's fixed cells.
      if (r == 0 || c == 0) return QBrush(QColor(0xF0, 0xF0, 0xF0));
      return {};
    default:
      return {};
  }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
    return false;
  // A cell left as it was shown keeps its text, codes and all.
  const QString text = value.toString();
  if (text == Shown(table_.cell(index.column(), index.row()))) return true;
  table_.set(index.column(), index.row(), FromQt(text));
  version_ = table_.version();
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Fixed cells are not edited in place.
  if (editable_ && index.row() > 0 && index.column() > 0 && !(locked && locked()))
    f |= Qt::ItemIsEditable;
  return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole) return {};
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool GridModel::refresh() {
  if (table_.rowCount() != rows_ || table_.colCount() != cols_) {
    beginResetModel();
    rows_ = table_.rowCount();
    cols_ = table_.colCount();
    version_ = table_.version();
    endResetModel();
    return true;
  }
  if (table_.version() == version_) return false;
  version_ = table_.version();
  if (rows_ > 0 && cols_ > 0)
    emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::DisplayRole});
  return true;
}

bool StatsCellIsNumber(int /*column*/, int row, const QString& text) {
  if (row < 1) return false;
  bool ok = false;
  text.trimmed().toDouble(&ok);
  return ok;
}

QString StatsCellShown(int column, int row, const QString& text) {
  if (!StatsCellIsNumber(column, row, text)) return text;
  const char* unit = nullptr;
  if (column == 3 && row >= 1) unit = "日";                  // the trades' holding days
  if (row == 2 && column >= 8 && column <= 14) unit = "件";  // trades of each ratio range
  if (column == 11 && row == 3) unit = "件";                 // 全頻度
  if (column == 11 && row == 4) unit = "回/年";              // 年平均頻度
  if (column == 13 && (row == 4 || row == 5)) unit = "日";   // 平均日数, 最頻日数
  if (column == 7 && row >= 7) unit = "日";                  // the holding days' histogram
  if (column == 8 && row >= 7) unit = "件";
  return unit ? text + QString::fromUtf8(unit) : text;
}

}  // namespace tavrine::gui
