// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ui/legacy_table_model.h"

#include "exchange/legacy_table.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

using namespace Qt::StringLiterals;

namespace kv {

void LegacyTableModel::setTable(const LegacyTable *table)
{
    beginResetModel();
    m_table = table;
    endResetModel();
}

int LegacyTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : int(m_table->rows.size());
}

int LegacyTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : int(m_table->fields.size());
}

QVariant LegacyTableModel::data(const QModelIndex &index, int role) const
{
    if (!m_table || role != Qt::DisplayRole || !index.isValid())
        return {};
    const QVariant &value = m_table->rows[std::size_t(index.row())].value(index.column());
    switch (value.typeId()) {
    case QMetaType::QByteArray: return value.isNull() ? QVariant() : QVariant(u"(%1 bytes)"_s.arg(value.toByteArray().size()));
    case QMetaType::QString: {
        // A memo shows its first line, as a grid cell can.
        const QString text = value.toString();
        const qsizetype end = text.indexOf(u'\n');
        return end < 0 ? text : text.left(end) + u" ..."_s;
    }
    case QMetaType::QDate: return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: return value.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    case QMetaType::Bool: return value.toBool() ? u"True"_s : u"False"_s;
    default: return value;
    }
}

QVariant LegacyTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_table)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < m_table->fields.size() ? QVariant(m_table->fields[section].name) : QVariant();
}

} // namespace kv
