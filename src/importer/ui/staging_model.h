// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>

namespace kv {

class StagingTable;

/// The "Data table" grid's model: the rows the last reader staged, a column per field. Reads the
/// staging table only when a view asks, so a large sheet costs nothing until it is scrolled.
class StagingModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit StagingModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    /// Shows another staging table (null for none); the model does not own it.
    void setStaging(const StagingTable *staging);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const StagingTable *m_staging = nullptr;
};

} // namespace kv
