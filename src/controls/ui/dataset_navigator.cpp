// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/dataset_navigator.h"

#include "core/errors.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dataset.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace kv {

DatasetNavigator::DatasetNavigator(Interaction &ui, QWidget *parent) : QWidget(parent), m_ui(ui)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    const struct
    {
        Button button;
        QString glyph;
        QString hint;
    } buttons[] = {
        {First, u"|◀"_s, u"First record"_s},   {Prior, u"◀"_s, u"Prior record"_s},
        {Next, u"▶"_s, u"Next record"_s},      {Last, u"▶|"_s, u"Last record"_s},
        {Insert, u"+"_s, u"Insert record"_s},  {Delete, u"−"_s, u"Delete record"_s},
        {Edit, u"▲"_s, u"Edit record"_s},      {Post, u"✔"_s, u"Post edit"_s},
        {Cancel, u"✘"_s, u"Cancel edit"_s},    {Refresh, u"↻"_s, u"Refresh data"_s},
    };
    for (const auto &b : buttons) {
        auto *tool = new QToolButton(this);
        tool->setText(b.glyph);
        tool->setToolTip(b.hint);
        tool->setAccessibleName(b.hint);
        tool->setMinimumWidth(26);
        const Button which = b.button;
        connect(tool, &QToolButton::clicked, this, [this, which] { click(which); });
        layout->addWidget(tool);
        m_buttons.insert(which, tool);
    }
    layout->addStretch(1);
    updateButtons();
}

void DatasetNavigator::setDataset(Dataset *dataset)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    if (dataset) {
        for (auto signal : {&Dataset::afterScroll, &Dataset::stateChanged, &Dataset::afterOpen, &Dataset::afterClose,
                            &Dataset::afterPost, &Dataset::afterDelete})
            m_connections << connect(dataset, signal, this, &DatasetNavigator::updateButtons);
    }
    updateButtons();
}

void DatasetNavigator::setEditDataset(Dataset *dataset)
{
    for (const auto &c : std::as_const(m_editConnections))
        disconnect(c);
    m_editConnections.clear();
    m_editDataset = dataset;
    if (dataset) {
        for (auto signal : {&Dataset::afterScroll, &Dataset::stateChanged, &Dataset::afterOpen,
                            &Dataset::afterClose, &Dataset::afterPost, &Dataset::afterDelete})
            m_editConnections << connect(dataset, signal, this, &DatasetNavigator::updateButtons);
    }
    updateButtons();
}

void DatasetNavigator::setVisibleButtons(Buttons buttons)
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        it.value()->setVisible(buttons.testFlag(it.key()));
}

void DatasetNavigator::click(Button which)
{
    const bool edits = which & (Insert | Delete | Edit | Post | Cancel);
    Dataset *d = edits ? editDataset() : m_dataset.data();
    if (!d || !d->isOpen())
        return;
    guarded(m_ui, [&] {
        switch (which) {
        case First:
            d->first();
            break;
        case Prior:
            d->prior();
            break;
        case Next:
            d->next();
            break;
        case Last:
            d->last();
            break;
        case Insert:
            d->insert();
            break;
        case Delete:
            if (!m_confirmDelete || m_ui.askYesNo(u"Delete record?"_s))
                d->remove();
            break;
        case Edit:
            d->edit();
            break;
        case Post:
            d->post();
            break;
        case Cancel:
            d->cancel();
            break;
        case Refresh:
            d->refresh();
            break;
        case AllButtons:
            break;
        }
    });
    updateButtons();
    emit clicked(which);
}

void DatasetNavigator::updateButtons()
{
    // Walking follows the walked dataset, editing the edited one: each button is offered only when the
    // dataset it acts on can do it.
    Dataset *d = m_dataset;
    Dataset *e = editDataset();
    const bool open = d && d->isOpen();
    const bool browsing = open && d->state() == Dataset::State::Browse;
    const bool empty = !open || d->isEmpty();
    const bool editOpen = e && e->isOpen() && e->isLive();
    const bool editBrowsing = editOpen && e->state() == Dataset::State::Browse;
    const bool editing = editOpen && !editBrowsing;
    const bool editEmpty = !editOpen || e->isEmpty();
    m_buttons[First]->setEnabled(browsing && !empty && !d->bof());
    m_buttons[Prior]->setEnabled(browsing && !empty && !d->bof());
    m_buttons[Next]->setEnabled(browsing && !empty && !d->eof());
    m_buttons[Last]->setEnabled(browsing && !empty && !d->eof());
    m_buttons[Insert]->setEnabled(editBrowsing);
    m_buttons[Delete]->setEnabled(editBrowsing && !editEmpty);
    m_buttons[Edit]->setEnabled(editBrowsing && !editEmpty);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(browsing);
}

} // namespace kv
