// Rows of a recordset for a read-only grid: the columns are its fields, the rows those fetched
// so far; rowsFetched() tells the view about rows that arrived since.
#pragma once

#include "platform/db/Recordset.h"

#include <QAbstractTableModel>

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows rs (nullptr: nothing). The recordset must outlive its showing.
    void bind(const db::Recordset* rs);
    // The recordset now holds more rows than shown.
    void rowsFetched();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const db::Recordset* rs_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;
};
