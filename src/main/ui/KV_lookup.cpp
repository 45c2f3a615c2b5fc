// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_lookup.h"

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dataset_model.h"
#include "data/dmKV.h"
#include "main/lookup_tables.h"
#include "main/record_commands.h"
#include "main/ui/record_view.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

QString &TfmLookup::rememberedArea()
{
    static QString area;
    return area;
}

TfmLookup::TfmLookup(TdmKVResults &dm, Interaction &ui, QWidget *parent) : QDialog(parent), m_dm(dm), m_ui(ui)
{
    setObjectName(u"fmLookup"_s);
    setWindowTitle(u"Edit Lookup Tables"_s);
    auto *layout = new QVBoxLayout(this);
    auto *close = new QPushButton(u"Close"_s, this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto *top = new QHBoxLayout;
    top->addWidget(close);
    top->addStretch();
    layout->addLayout(top);

    auto *middle = new QHBoxLayout;
    layout->addLayout(middle);
    auto *radio = new QGroupBox(u"Select table to edit"_s, this);
    auto *radioLayout = new QGridLayout(radio);
    rgTables = new QButtonGroup(this);
    const QList<LookupTableItem> &items = lookupTableItems();
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i].caption, radio);
        rgTables->addButton(button, i);
        radioLayout->addWidget(button, i % 9, i / 9);
    }
    connect(rgTables, &QButtonGroup::idClicked, this,
            [this](int item) { guarded(m_ui, [&] { rgTablesClick(item); }); });
    middle->addWidget(radio);

    auto *side = new QVBoxLayout;
    middle->addLayout(side, 1);
    gbClosureFields = new QGroupBox(u"Closure temperature lookup fields"_s, this);
    auto *tabs = new QTabWidget(gbClosureFields);
    tabs->addTab(grid(tabs, u"IsoSys"_s), u"Isotope system"_s);
    tabs->addTab(grid(tabs, u"Approach"_s), u"Approach"_s);
    tabs->addTab(grid(tabs, u"Material"_s), u"Material"_s);
    (new QVBoxLayout(gbClosureFields))->addWidget(tabs);
    side->addWidget(gbClosureFields);

    gbArea = new QGroupBox(u"Area"_s, this);
    lbArea = new QListWidget(gbArea);
    connect(lbArea, &QListWidget::currentRowChanged, this,
            [this] { guarded(m_ui, [this] { lbAreaClick(); }); });
    (new QVBoxLayout(gbArea))->addWidget(lbArea);
    side->addWidget(gbArea);

    gbFind = new QGroupBox(u"Find"_s, this);
    auto *find = new QHBoxLayout(gbFind);
    bbClear = new QToolButton(gbFind);
    bbClear->setText(u"Clear"_s);
    connect(bbClear, &QToolButton::clicked, this, &TfmLookup::bbClearClick);
    eLookup = new QLineEdit(gbFind);
    eLookup->setObjectName(u"eLookup"_s);
    connect(eLookup, &QLineEdit::textEdited, this,
            [this](const QString &text) { guarded(m_ui, [&] { eLookupChange(text); }); });
    find->addWidget(bbClear);
    find->addWidget(eLookup);
    side->addWidget(gbFind);

    gbReference = new QGroupBox(u"Reference details"_s, this);
    dbmSourceDes = new DbMemo(ui, gbReference);
    dbmSourceDes->setField(dm.SourceList, u"SourceDes"_s);
    (new QVBoxLayout(gbReference))->addWidget(dbmSourceDes);
    side->addWidget(gbReference);
    side->addStretch();

    dbnLookup = new DatasetNavigator(ui, this);
    // A unit added while an area is chosen belongs to that area.
    connect(dbnLookup, &DatasetNavigator::clicked, this, [this](DatasetNavigator::Button button) {
        QListWidgetItem *area = lbArea->currentItem();
        if (button == DatasetNavigator::Insert && m_item == 1 && area &&
            m_dm.Suite->state() == Dataset::State::Insert)
            guarded(m_ui, [&] { m_dm.Suite->setValue(u"CountryAbr"_s, area->data(Qt::UserRole)); });
    });
    layout->addWidget(dbnLookup);
    dbgLookup = new QTableView(this);
    dbgLookup->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(dbgLookup, 1);
    resize(900, 700);
}

TfmLookup::~TfmLookup()
{
    guarded(m_ui, [this] { FormClose(); });
}

QTableView *TfmLookup::grid(QWidget *parent, const QString &dataset)
{
    auto *view = new QTableView(parent);
    auto *model = new DatasetModel(m_dm.dataset(dataset), view);
    model->setInteraction(&m_ui);
    view->setModel(model);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

void TfmLookup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    move(1, 1);
}

void TfmLookup::FormShow()
{
    openLookupEditor(m_dm, rememberedArea());
    lbArea->blockSignals(true);
    lbArea->clear();
    Dataset *areas = m_dm.Country;
    if (areas->isOpen())
        for (int r = 0; r < areas->recordCount(); ++r) {
            auto *item = new QListWidgetItem(areas->valueAt(r, u"Country"_s).toString(), lbArea);
            item->setData(Qt::UserRole, areas->valueAt(r, u"CountryAbr"_s));
            if (item->data(Qt::UserRole).toString() == rememberedArea())
                lbArea->setCurrentItem(item);
        }
    lbArea->sortItems();
    lbArea->blockSignals(false);
    for (QGroupBox *group : {gbArea, gbClosureFields, gbFind, gbReference})
        group->hide();
}

void TfmLookup::done(int result)
{
    // Closing the tables would drop a row in edit: it is posted first, and a refused one keeps the
    // editor open so that the user can correct or cancel it.
    bool stored = true;
    guarded(m_ui, [&] { stored = postPendingEdits(m_dm, m_ui); });
    if (!stored)
        return;
    guarded(m_ui, [this] { FormClose(); });
    QDialog::done(result);
}

void TfmLookup::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    if (QListWidgetItem *item = lbArea->currentItem())
        rememberedArea() = item->data(Qt::UserRole).toString();
    QItemSelectionModel *oldSelection = dbgLookup->selectionModel();
    dbgLookup->setModel(nullptr);
    delete oldSelection;
    delete m_model;
    m_model = nullptr;
    closeLookupEditor(m_dm);
}

void TfmLookup::showDataset(int item)
{
    Dataset *d = m_dm.dataset(lookupTableItems().at(item).dataset);
    auto *model = new DatasetModel(d, this);
    model->setInteraction(&m_ui);
    QItemSelectionModel *oldSelection = dbgLookup->selectionModel();
    dbgLookup->setModel(model);
    delete oldSelection; // the view leaves the old one to its owner
    fitColumns(dbgLookup);
    delete m_model;
    m_model = model;
    dbnLookup->setDataset(d);
    // The grid's current row follows the dataset's cursor (the search moves it), and the other way.
    connect(d, &Dataset::afterScroll, model, [this, d] {
        if (d->recNo() >= 0 && dbgLookup->currentIndex().row() != d->recNo())
            dbgLookup->selectRow(d->recNo());
    });
    connect(dbgLookup->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
            [this, d](const QModelIndex &index) {
                guarded(m_ui, [&] {
                    if (index.isValid() && d->isOpen() && d->recNo() != index.row())
                        d->moveTo(index.row());
                });
            });
}

void TfmLookup::rgTablesClick(int item)
{
    if (item < 0 || item >= lookupTableItems().size())
        return;
    gbFind->hide();
    gbReference->hide();
    eLookup->clear();
    m_item = item;
    showDataset(item);
    const LookupTableItem &table = lookupTableItems().at(item);
    gbArea->setVisible(table.showsArea);
    gbClosureFields->setVisible(table.showsClosureFields);
    gbReference->setVisible(table.showsReferenceDetails);
    gbFind->show();
}

void TfmLookup::eLookupChange(const QString &text)
{
    if (m_item < 0)
        return;
    const LookupTableItem &table = lookupTableItems().at(m_item);
    if (Dataset *d = m_dm.dataset(table.dataset))
        locatePrefix(*d, table.searchField, text);
}

void TfmLookup::bbClearClick()
{
    eLookup->clear();
    eLookup->setFocus();
}

void TfmLookup::lbAreaClick()
{
    QListWidgetItem *item = lbArea->currentItem();
    setUnitArea(m_dm, item ? item->data(Qt::UserRole).toString() : QString());
    if (m_item == 1)
        showDataset(1);
}

} // namespace kv
