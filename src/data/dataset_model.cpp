// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dataset_model.h"

#include "core/guard.h"
#include "data/dataset.h"

namespace kv {

DatasetModel::DatasetModel(Dataset *dataset, QObject *parent) : QAbstractTableModel(parent), m_dataset(dataset)
{
    connect(dataset, &Dataset::rowsReset, this, &DatasetModel::reset);
    connect(dataset, &Dataset::afterPost, this, [this] {
        if (m_dataset && m_dataset->recNo() >= 0 && m_dataset->recNo() < rowCount())
            emit dataChanged(index(m_dataset->recNo(), 0), index(m_dataset->recNo(), columnCount() - 1));
    });
    connect(dataset, &Dataset::fieldChanged, this, [this](const QString &field) {
        const int column = int(fields().indexOf(field));
        if (column >= 0 && m_dataset->recNo() >= 0 && m_dataset->recNo() < rowCount())
            emit dataChanged(index(m_dataset->recNo(), column), index(m_dataset->recNo(), column));
    });
}

void DatasetModel::reset()
{
    beginResetModel();
    m_rowCount = -1;
    endResetModel();
}

void DatasetModel::setFields(const QStringList &fields)
{
    beginResetModel();
    m_fields = fields;
    endResetModel();
}

QStringList DatasetModel::fields() const
{
    if (!m_fields.isEmpty())
        return m_fields;
    return m_dataset && m_dataset->isOpen() ? m_dataset->fieldNames() : QStringList();
}

void DatasetModel::setTitles(const QStringList &titles)
{
    m_titles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataset || !m_dataset->isOpen())
        return 0;
    if (m_rowCount < 0) {
        try {
            m_rowCount = m_dataset->recordCount();
        } catch (const Error &) {
            return 0; // a grid asks again when the rows are read anew
        }
    }
    return m_rowCount;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(fields().size());
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    // Painting asks for every cell: a row that cannot be read shows empty instead of a box per cell.
    try {
        return cellData(index, role);
    } catch (const Error &) {
        return {};
    }
}

QVariant DatasetModel::cellData(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataset || !m_dataset->isOpen())
        return {};
    const QString field = fields().value(index.column());
    if (field.isEmpty())
        return {};
    if (role == Qt::DisplayRole)
        return m_dataset->displayTextAt(index.row(), field);
    if (role == Qt::EditRole)
        return m_dataset->valueAt(index.row(), field);
    if (role == Qt::TextAlignmentRole) {
        const QVariant v = m_dataset->valueAt(index.row(), field);
        const int type = v.metaType().id();
        if (type == QMetaType::Double || type == QMetaType::Int)
            return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < m_titles.size())
        return m_titles[section];
    return fields().value(section);
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && m_dataset && m_dataset->isLive())
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_dataset || !m_dataset->isLive())
        return false;
    bool stored = false;
    const auto edit = [&] {
        if (m_dataset->recNo() != index.row() && !m_dataset->moveTo(index.row()))
            return;
        if (m_dataset->state() == Dataset::State::Browse)
            m_dataset->edit();
        m_dataset->setValue(fields().value(index.column()), value);
        stored = true;
    };
    // A value the field cannot take (a word in a number column) is refused with its message; the row
    // stays in edit with what it held, so nothing typed before is lost.
    if (m_ui) {
        guarded(*m_ui, edit);
    } else {
        try {
            edit();
        } catch (const Error &) {
        }
    }
    return stored;
}

} // namespace kv
