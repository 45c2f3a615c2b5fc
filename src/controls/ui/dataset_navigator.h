// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFlags>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include "data/dataset.h"

class QToolButton;

namespace kv {

class Interaction;

/// The row of buttons that walks and edits a dataset: First, Prior, Next, Last, Insert, Delete, Edit,
/// Post, Cancel, Refresh. Buttons follow the dataset's state; errors are shown through the interaction.
class DatasetNavigator : public QWidget
{
    Q_OBJECT

public:
    enum Button {
        First = 0x1,
        Prior = 0x2,
        Next = 0x4,
        Last = 0x8,
        Insert = 0x10,
        Delete = 0x20,
        Edit = 0x40,
        Post = 0x80,
        Cancel = 0x100,
        Refresh = 0x200,
        AllButtons = 0x3ff,
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    DatasetNavigator(Interaction &ui, QWidget *parent = nullptr);

    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_dataset; }
    /// The dataset that Insert, Delete, Edit, Post and Cancel act on and are enabled by, when it is not
    /// the one walked (a record navigator walks the result set and edits the record's own row).
    void setEditDataset(Dataset *dataset);
    Dataset *editDataset() const { return m_editDataset ? m_editDataset.data() : m_dataset.data(); }
    void setVisibleButtons(Buttons buttons);
    /// Asks "Delete record?" before a delete (on by default).
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }

    QToolButton *button(Button which) const { return m_buttons.value(which); }
    /// Performs a button's action, as a click does.
    void click(Button which);

signals:
    /// After a button's action was performed.
    void clicked(kv::DatasetNavigator::Button button);

private:
    void updateButtons();

    Interaction &m_ui;
    QPointer<Dataset> m_dataset;
    QPointer<Dataset> m_editDataset;
    QHash<Button, QToolButton *> m_buttons;
    bool m_confirmDelete = true;
    QList<QMetaObject::Connection> m_connections;
    QList<QMetaObject::Connection> m_editConnections;
};

} // namespace kv

Q_DECLARE_OPERATORS_FOR_FLAGS(kv::DatasetNavigator::Buttons)
