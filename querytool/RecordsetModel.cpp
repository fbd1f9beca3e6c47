#include "querytool/RecordsetModel.h"

#include <QLocale>

namespace {
int fetchedRows(const db::Recordset* rs) {
    return rs && rs->isOpen() ? static_cast<int>(rs->recordCount()) : 0;
}
}  // namespace

void RecordsetModel::bind(const db::Recordset* rs, db::RealForm form) {
    beginResetModel();
    rs_ = rs;
    rows_ = fetchedRows(rs);
    columns_ = rs && rs->isOpen() ? rs->fieldCount() : 0;
    form_ = form;
    single_.assign(static_cast<size_t>(columns_), false);
    for (int c = 0; c < columns_; ++c) single_[c] = rs->fieldInfo(c).type == db::adtype::Single;
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

QString RecordsetModel::preview(std::string_view bytes) {
    qsizetype shown = static_cast<qsizetype>(bytes.size());
    if (shown > kPreviewBytes) {
        shown = kPreviewBytes;
        while (shown > 0 && (static_cast<unsigned char>(bytes[shown]) & 0xC0) == 0x80) --shown;
    }
    QString text = QString::fromUtf8(bytes.data(), shown);
    text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    if (shown < static_cast<qsizetype>(bytes.size())) {
        const QLocale c = QLocale::c();
        text += QStringLiteral(" \u2026 [cut: %1 of %2 shown]")
                    .arg(c.formattedDataSize(shown), c.formattedDataSize(static_cast<qint64>(bytes.size())));
    }
    return text;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!rs_ || !index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != WholeValueRole) return {};
    const db::Cell v = rs_->cell(index.row(), index.column());
    if (v.kind == db::ValueKind::Null) return {};
    if (v.kind != db::ValueKind::Text && v.kind != db::ValueKind::Binary)
        return QString::fromStdString(scalarText(v, index.column()));
    const std::string_view bytes = v.bytes;
    if (role == WholeValueRole) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return preview(bytes);
}

std::string RecordsetModel::scalarText(const db::Cell& v, int column) const {
    if (v.kind != db::ValueKind::Double) return v.value().toString();
    return db::realText(v.real, form_, column < columns_ && single_[column]);
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (!rs_ || section >= columns_) return {};
    return QString::fromStdString(rs_->fieldInfo(section).name);
}
