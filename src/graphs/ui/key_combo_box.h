// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QPointer>

namespace kv {

class Dataset;

/// A lookup combo box that holds a key value of its own rather than a field's: it lists a dataset's
/// rows by one field and keeps another as the key. A key the list does not hold is kept all the same,
/// with no text shown.
class KeyComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit KeyComboBox(QWidget *parent = nullptr);

    /// Lists the rows of an open dataset; a closed or missing one gives an empty list.
    void setList(Dataset *list, const QString &keyField, const QString &listField);
    void setKey(const QString &key);
    const QString &key() const { return m_key; }
    /// The shown text of the key; empty when the list does not hold it.
    QString shownText() const { return currentIndex() >= 0 ? currentText() : QString(); }

private:
    QString m_key;
};

} // namespace kv
