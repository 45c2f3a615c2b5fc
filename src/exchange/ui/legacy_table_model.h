// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>

namespace kv {

struct LegacyTable;

/// Shows a table read from a file or the database in a grid: a column per field, a row per record.
class LegacyTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    /// The table shown (null for none); the caller keeps it alive while it is shown.
    void setTable(const LegacyTable *table);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const LegacyTable *m_table = nullptr;
};

} // namespace kv
