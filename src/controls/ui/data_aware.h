// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dataset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

namespace kv {

class Interaction;

/// Ties one widget to one field of a dataset: the widget shows the current row's value and follows the
/// cursor; a change the user makes puts the dataset in edit and sets the field.
class FieldLink : public QObject
{
    Q_OBJECT

public:
    FieldLink(QWidget *widget, Interaction &ui);
    void setField(Dataset *dataset, const QString &field);
    Dataset *dataset() const { return m_dataset; }
    const QString &field() const { return m_field; }
    /// Writes a value the user entered; errors (a wrong number, a read-only dataset) are shown.
    bool write(const QVariant &value);
    bool canWrite() const;
    Interaction &interaction() const { return m_ui; }

signals:
    /// The widget should show the field anew.
    void refresh();

private:
    Interaction &m_ui;
    QPointer<Dataset> m_dataset;
    QString m_field;
    QList<QMetaObject::Connection> m_connections;
};

/// An edit box on a field (`dbe` controls). It shows the field's display text and writes on leaving.
class DbEdit : public QLineEdit
{
    Q_OBJECT

public:
    DbEdit(Interaction &ui, QWidget *parent = nullptr);
    FieldLink &link() { return m_link; }
    void setField(Dataset *dataset, const QString &field) { m_link.setField(dataset, field); }
    /// Writes what was typed to the field, as leaving the box does.
    void commit();

private:
    void showValue();
    FieldLink m_link;
    bool m_showing = false;
};

/// A memo on a field.
class DbMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    DbMemo(Interaction &ui, QWidget *parent = nullptr);
    FieldLink &link() { return m_link; }
    void setField(Dataset *dataset, const QString &field) { m_link.setField(dataset, field); }
    /// Writes what was typed to the field, as leaving the memo does.
    void commit();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showValue();
    FieldLink m_link;
    QString m_shown;
};

/// A read-only text on a field (`dbt` controls).
class DbText : public QLabel
{
    Q_OBJECT

public:
    DbText(Interaction &ui, QWidget *parent = nullptr);
    FieldLink &link() { return m_link; }
    void setField(Dataset *dataset, const QString &field) { m_link.setField(dataset, field); }

private:
    FieldLink m_link;
};

/// A check box on a field: checked when the stored number is not 0 (or the text equals the checked value).
class DbCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    DbCheckBox(Interaction &ui, QWidget *parent = nullptr);
    FieldLink &link() { return m_link; }
    void setField(Dataset *dataset, const QString &field) { m_link.setField(dataset, field); }
    void setValues(const QVariant &checked, const QVariant &unchecked);

private:
    void showValue();
    FieldLink m_link;
    QVariant m_checked = 1;
    QVariant m_unchecked = 0;
    bool m_showing = false;
};

/// A lookup combo box (`dblcb` controls): lists the rows of a list dataset by their list field, and sets
/// the data field of the target dataset to the chosen row's key field.
class DbLookupComboBox : public QComboBox
{
    Q_OBJECT

public:
    DbLookupComboBox(Interaction &ui, QWidget *parent = nullptr);
    FieldLink &link() { return m_link; }
    void setField(Dataset *dataset, const QString &field) { m_link.setField(dataset, field); }
    /// The list: its key field (stored in the data field) and the field shown.
    void setList(Dataset *list, const QString &keyField, const QString &listField);
    /// Reads the list dataset again (after its rows changed).
    void reloadList();
    /// The key of the chosen row; null when none is chosen.
    QVariant currentKey() const;

private:
    void showValue();
    FieldLink m_link;
    QPointer<Dataset> m_list;
    QString m_keyField;
    QString m_listField;
    bool m_showing = false;
};

} // namespace kv
