// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

namespace kv {

class Dataset;
class Interaction;

/// Shows a dataset to grids and QDataWidgetMapper: a row per dataset row, a column per field (or the
/// fields chosen). Reading a cell never moves the dataset's cursor; editing a cell moves the cursor to
/// its row and puts the dataset in edit, and the row is posted when the cursor leaves it.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DatasetModel(Dataset *dataset, QObject *parent = nullptr);

    Dataset *dataset() const { return m_dataset; }
    /// Where a refused edit of a cell is reported (a grid's edits come from Qt's event handling, where
    /// nothing may be thrown).
    void setInteraction(Interaction *ui) { m_ui = ui; }
    /// The fields shown, in order; all fields of the dataset when empty.
    void setFields(const QStringList &fields);
    QStringList fields() const;
    /// Column titles instead of the field names.
    void setTitles(const QStringList &titles);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    void reset();
    QVariant cellData(const QModelIndex &index, int role) const;

    QPointer<Dataset> m_dataset;
    Interaction *m_ui = nullptr;
    QStringList m_fields;
    QStringList m_titles;
    mutable int m_rowCount = -1;
};

} // namespace kv
