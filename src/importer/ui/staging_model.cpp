// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/ui/staging_model.h"

#include "importer/staging_table.h"

namespace kv {

void StagingModel::setStaging(const StagingTable *staging)
{
    beginResetModel();
    m_staging = staging;
    endResetModel();
}

int StagingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_staging ? 0 : int(m_staging->size());
}

int StagingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_staging ? 0 : m_staging->columnCount();
}

QVariant StagingModel::data(const QModelIndex &index, int role) const
{
    if (!m_staging || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_staging->rows()[size_t(index.row())].values.value(index.column());
}

QVariant StagingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_staging)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return m_staging->table().columns.value(section).name;
    return m_staging->rows()[size_t(section)].sheetRow;
}

} // namespace kv
