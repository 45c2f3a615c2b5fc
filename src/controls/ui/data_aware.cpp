// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/data_aware.h"

#include "core/errors.h"
#include "core/guard.h"
#include "core/interaction.h"

using namespace Qt::StringLiterals;

namespace kv {

FieldLink::FieldLink(QWidget *widget, Interaction &ui) : QObject(widget), m_ui(ui) {}

void FieldLink::setField(Dataset *dataset, const QString &field)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    m_field = field;
    if (dataset) {
        for (auto signal : {&Dataset::afterScroll, &Dataset::stateChanged, &Dataset::afterOpen, &Dataset::afterClose,
                            &Dataset::afterPost})
            m_connections << connect(dataset, signal, this, &FieldLink::refresh);
        // any field: calculated fields follow the ones they are made from
        m_connections << connect(dataset, &Dataset::fieldChanged, this, &FieldLink::refresh);
    }
    emit refresh();
}

bool FieldLink::canWrite() const
{
    return m_dataset && m_dataset->isOpen() && m_dataset->isLive() && !m_field.isEmpty();
}

bool FieldLink::write(const QVariant &value)
{
    if (!canWrite())
        return false;
    const bool written = guarded(m_ui, [&] {
        if (m_dataset->state() == Dataset::State::Browse) {
            const QVariant old = m_dataset->value(m_field);
            if (old == value || (old.isNull() && value.toString().isEmpty()))
                return; // nothing changed: stay in browse
            m_dataset->edit();
        }
        m_dataset->setValue(m_field, value);
    });
    if (!written)
        emit refresh();
    return written;
}

namespace {

QVariant shownValue(const FieldLink &link)
{
    try {
        return link.dataset()->value(link.field());
    } catch (const Error &) {
        return {};
    }
}

QString shownText(const FieldLink &link, bool forEditing)
{
    Dataset *d = link.dataset();
    try {
        if (!d || !d->isOpen() || link.field().isEmpty() ||
            (d->isEmpty() && d->state() != Dataset::State::Insert) || !d->hasField(link.field()))
            return {};
        return forEditing ? d->value(link.field()).toString() : d->displayText(link.field());
    } catch (const Error &) {
        return {}; // a row that cannot be read shows nothing; the command that moved there says why
    }
}

} // namespace

DbEdit::DbEdit(Interaction &ui, QWidget *parent) : QLineEdit(parent), m_link(this, ui)
{
    connect(&m_link, &FieldLink::refresh, this, &DbEdit::showValue);
    connect(this, &QLineEdit::editingFinished, this, &DbEdit::commit);
    showValue();
}

void DbEdit::commit()
{
    if (!m_showing && isModified()) {
        setModified(false);
        m_link.write(text());
    }
}

void DbEdit::showValue()
{
    m_showing = true;
    setText(shownText(m_link, hasFocus()));
    setModified(false);
    setReadOnly(!m_link.canWrite());
    m_showing = false;
}

DbMemo::DbMemo(Interaction &ui, QWidget *parent) : QPlainTextEdit(parent), m_link(this, ui)
{
    connect(&m_link, &FieldLink::refresh, this, &DbMemo::showValue);
    showValue();
}

void DbMemo::showValue()
{
    m_shown = shownText(m_link, true);
    setPlainText(m_shown);
    setReadOnly(!m_link.canWrite());
}

void DbMemo::commit()
{
    if (toPlainText() != m_shown)
        m_link.write(toPlainText());
}

void DbMemo::focusOutEvent(QFocusEvent *event)
{
    commit();
    QPlainTextEdit::focusOutEvent(event);
}

DbText::DbText(Interaction &ui, QWidget *parent) : QLabel(parent), m_link(this, ui)
{
    connect(&m_link, &FieldLink::refresh, this, [this] { setText(shownText(m_link, false)); });
}

DbCheckBox::DbCheckBox(Interaction &ui, QWidget *parent) : QCheckBox(parent), m_link(this, ui)
{
    connect(&m_link, &FieldLink::refresh, this, &DbCheckBox::showValue);
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing && !m_link.write(on ? m_checked : m_unchecked))
            showValue();
    });
}

void DbCheckBox::setValues(const QVariant &checked, const QVariant &unchecked)
{
    m_checked = checked;
    m_unchecked = unchecked;
    showValue();
}

void DbCheckBox::showValue()
{
    m_showing = true;
    Dataset *d = m_link.dataset();
    bool on = false;
    if (d && d->isOpen() && d->hasField(m_link.field()) && !(d->isEmpty() && d->state() == Dataset::State::Browse)) {
        const QVariant v = shownValue(m_link);
        on = m_checked.metaType().id() == QMetaType::QString ? v.toString() == m_checked.toString()
                                                              : (!v.isNull() && v.toDouble() != 0);
    }
    setChecked(on);
    setEnabled(m_link.canWrite());
    m_showing = false;
}

DbLookupComboBox::DbLookupComboBox(Interaction &ui, QWidget *parent) : QComboBox(parent), m_link(this, ui)
{
    connect(&m_link, &FieldLink::refresh, this, &DbLookupComboBox::showValue);
    connect(this, &QComboBox::activated, this, [this](int index) {
        // Without a data field the box is a plain picker and keeps what the user chose.
        if (!m_showing && m_link.dataset() && !m_link.write(itemData(index)))
            showValue();
    });
}

void DbLookupComboBox::setList(Dataset *list, const QString &keyField, const QString &listField)
{
    m_list = list;
    m_keyField = keyField;
    m_listField = listField;
    reloadList();
}

void DbLookupComboBox::reloadList()
{
    m_showing = true;
    clear();
    if (m_list && m_list->isOpen()) {
        // Read the list through the row accessor so the list dataset's own cursor stays where it is.
        guarded(m_link.interaction(), [&] {
            for (int row = 0;; ++row) {
                const QVariant key = m_list->valueAt(row, m_keyField);
                if (key.isNull() && m_list->valueAt(row, m_listField).isNull() &&
                    row >= m_list->recordCount())
                    break;
                addItem(m_list->valueAt(row, m_listField).toString(), key);
            }
        });
    }
    if (!m_link.dataset())
        setCurrentIndex(-1); // a plain picker starts again with no choice
    m_showing = false;
    showValue();
}

QVariant DbLookupComboBox::currentKey() const
{
    return currentIndex() >= 0 ? itemData(currentIndex()) : QVariant();
}

void DbLookupComboBox::showValue()
{
    m_showing = true;
    Dataset *d = m_link.dataset();
    int index = d ? -1 : currentIndex();
    if (d && d->isOpen() && d->hasField(m_link.field()) && !(d->isEmpty() && d->state() == Dataset::State::Browse)) {
        const QVariant v = shownValue(m_link);
        for (int i = 0; i < count(); ++i)
            if (itemData(i).toString() == v.toString()) {
                index = i;
                break;
            }
    }
    setCurrentIndex(index);
    setEnabled(!m_link.dataset() || m_link.canWrite());
    m_showing = false;
}

} // namespace kv
