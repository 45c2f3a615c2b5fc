// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/key_combo_box.h"

#include "data/dataset.h"

namespace kv {

KeyComboBox::KeyComboBox(QWidget *parent) : QComboBox(parent)
{
    // Interpretation names run to 30 characters: show them whole.
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::activated, this, [this](int index) { m_key = itemData(index).toString(); });
}

void KeyComboBox::setList(Dataset *list, const QString &keyField, const QString &listField)
{
    clear();
    if (list && list->isOpen()) {
        const int rows = list->recordCount();
        for (int row = 0; row < rows; ++row)
            addItem(list->valueAt(row, listField).toString(), list->valueAt(row, keyField).toString());
    }
    setKey(m_key);
}

void KeyComboBox::setKey(const QString &key)
{
    m_key = key;
    setCurrentIndex(findData(key));
}

} // namespace kv
