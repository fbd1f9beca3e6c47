#include "querytool/RecordsetModel.h"

namespace {
int fetchedRows(const db::Recordset* rs) {
    return rs && rs->isOpen() ? static_cast<int>(rs->recordCount()) : 0;
}
}  // namespace

void RecordsetModel::bind(const db::Recordset* rs) {
    beginResetModel();
    rs_ = rs;
    rows_ = fetchedRows(rs);
    columns_ = rs && rs->isOpen() ? rs->fieldCount() : 0;
    endResetModel();
}

void RecordsetModel::rowsFetched() {
    const int now = fetchedRows(rs_);
    if (now <= rows_) return;
    beginInsertRows({}, rows_, now - 1);
    rows_ = now;
    endInsertRows();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!rs_ || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    if (index.row() >= rows_ || index.column() >= columns_) return {};
    const db::Value& v = rs_->value(index.row(), index.column());
    if (v.isNull()) return {};
    return QString::fromStdString(v.toString());
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (!rs_ || section >= columns_) return {};
    return QString::fromStdString(rs_->fieldInfo(section).name);
}
