// Rows of a recordset for a read-only grid: the columns are its fields, the rows those fetched
// so far; rowsFetched() tells the view about rows that arrived since. A cell shows at most the
// first kPreviewBytes of a long value, marked as cut; WholeValueRole gives all of it.
#pragma once

#include "platform/db/Recordset.h"

#include <QAbstractTableModel>

#include <string_view>
#include <vector>

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr qsizetype kPreviewBytes = 64 * 1024;
    static constexpr int WholeValueRole = Qt::UserRole;

    explicit RecordsetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows rs (nullptr: nothing), its floating-point numbers in the form of its engine. The
    // recordset must outlive its showing.
    void bind(const db::Recordset* rs, db::RealForm form = db::RealForm::Plain);
    // The recordset now holds more rows than shown.
    void rowsFetched();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A value as a cell shows it: NULs as the replacement mark, at most kPreviewBytes of it
    // (cut at a character's start) followed by the cut mark.
    static QString preview(std::string_view bytes);
    // A number, Boolean or Null of the bound recordset's column as text.
    std::string scalarText(const db::Cell& v, int column) const;

private:
    const db::Recordset* rs_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;
    db::RealForm form_ = db::RealForm::Plain;
    std::vector<bool> single_;  // by column
};
