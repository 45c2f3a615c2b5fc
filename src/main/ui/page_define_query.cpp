// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_define_query.h"

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/errors.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dmKV.h"
#include "main/query_command.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr int ValueColumns = QueryDefinition::Columns - 1; // the grid's column 0 is its row header
constexpr int KindRows = QueryDefinition::Rows - 1;        // and its row 0 the column header

QTableWidget *definitionGrid(QWidget *parent, const QString &name)
{
    auto *grid = new QTableWidget(KindRows, ValueColumns, parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setDefaultSectionSize(19);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int r = 0; r < KindRows; ++r)
        for (int c = 0; c < ValueColumns; ++c)
            grid->setItem(r, c, new QTableWidgetItem);
    // Every kind in sight at once, without scrolling.
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setMinimumHeight(grid->horizontalHeader()->sizeHint().height() + KindRows * 19 +
                           2 * grid->frameWidth());
    return grid;
}

// The lookup texts of the level are the database's own: shown, never written from this tab.
template <class Widget> void keepReadOnly(Widget *widget)
{
    QObject::connect(&widget->link(), &FieldLink::refresh, widget, [widget] { widget->setReadOnly(true); });
    widget->setReadOnly(true);
}

} // namespace

PageDefineQuery::PageDefineQuery(Interaction &widgetUi, QWidget *parent)
    : QWidget(parent), m_widgetUi(widgetUi), m_ui(&widgetUi)
{
    setObjectName(u"pgDefineQuery"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto *top = new QHBoxLayout;
    top->addWidget(buildDescriptors());
    top->addWidget(buildOptions(), 1);
    layout->addLayout(top);

    auto *pick = new QHBoxLayout;
    pick->addWidget(new QLabel(u"Descriptor"_s, this));
    dblcbAny = new DbLookupComboBox(m_widgetUi, this);
    dblcbAny->setObjectName(u"dblcbAny"_s);
    dblcbAny->setMinimumWidth(220);
    dblcbAny->setToolTip(u"Values of the descriptor kind chosen above"_s);
    // Lists of hundreds of units or references: typing part of a name finds it.
    dblcbAny->setEditable(true);
    dblcbAny->setInsertPolicy(QComboBox::NoInsert);
    dblcbAny->completer()->setFilterMode(Qt::MatchContains);
    dblcbAny->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    dblcbAny->completer()->setCompletionMode(QCompleter::PopupCompletion);
    connect(dblcbAny, &QComboBox::currentIndexChanged, this,
            [this] { guarded(*m_ui, [this] { descriptorChanged(); }); });
    connect(dblcbAny, &QComboBox::editTextChanged, this,
            [this] { guarded(*m_ui, [this] { descriptorChanged(); }); });
    pick->addWidget(dblcbAny, 1);
    bbAddToSelection = new QPushButton(u"&Add"_s, this);
    bbAddToSelection->setObjectName(u"bbAddToSelection"_s);
    connect(bbAddToSelection, &QPushButton::clicked, this,
            [this] { guarded(*m_ui, [this] { bbAddToSelectionClick(); }); });
    pick->addWidget(bbAddToSelection);
    bbRemoveFromSelection = new QPushButton(u"Remove"_s, this);
    bbRemoveFromSelection->setObjectName(u"bbRemoveFromSelection"_s);
    bbRemoveFromSelection->setToolTip(u"Removes the value of the grid's current cell"_s);
    connect(bbRemoveFromSelection, &QPushButton::clicked, this,
            [this] { guarded(*m_ui, [this] { bbRemoveFromSelectionClick(); }); });
    pick->addWidget(bbRemoveFromSelection);
    pick->addSpacing(12);
    bbExecuteQuery = new QPushButton(u"Execute Query"_s, this);
    bbExecuteQuery->setObjectName(u"bbExecuteQuery"_s);
    connect(bbExecuteQuery, &QPushButton::clicked, this, &PageDefineQuery::executeQuery);
    pick->addWidget(bbExecuteQuery);
    layout->addLayout(pick);
    layout->addWidget(buildGrids(), 1);
    showGrids();
}

QWidget *PageDefineQuery::buildDescriptors()
{
    gbDescriptors = new QGroupBox(u"Query on"_s, this);
    gbDescriptors->setObjectName(u"gbDescriptors"_s);
    auto *layout = new QGridLayout(gbDescriptors);
    layout->setVerticalSpacing(2);
    m_kinds = new QButtonGroup(this);
    // Object names after the kinds' own: rbArea, rbUnit, ... rbReference.
    static const char *const names[] = {
        "rbArea",     "rbUnit",           "rbLithology",      "rbMaterial",     "rbIsoSystem",
        "rbApproach", "rbInterpretation", "rbTechnique",      "rbMethod",       "rbGroup",
        "rbProvince", "rbTerrane",        "rbOrogenicPeriod", "rbChemicalType", "rbReference"};
    for (const DescriptorKind &kind : descriptorKinds()) {
        auto *button = new QRadioButton(kind.caption, gbDescriptors);
        button->setObjectName(QString::fromLatin1(names[kind.row - 1]));
        m_kinds->addButton(button, kind.row);
        kindButtons << button;
        // Three columns of five: the record's own codes, then the detail tables.
        layout->addWidget(button, (kind.row - 1) % 5, (kind.row - 1) / 5);
        const int row = kind.row;
        connect(button, &QRadioButton::toggled, this, [this, row](bool on) {
            if (on)
                guarded(*m_ui, [&] { KindClick(row); });
        });
    }
    return gbDescriptors;
}

QWidget *PageDefineQuery::buildGrids()
{
    auto *box = new QWidget(this);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    sgDefinition = definitionGrid(box, u"sgDefinition"_s);
    connect(sgDefinition, &QTableWidget::cellChanged, this, &PageDefineQuery::definitionCellEdited);
    layout->addWidget(sgDefinition);
    // Only the hidden grid, holding the key values, feeds the query.
    sgHiddenDefinition = definitionGrid(box, u"sgHiddenDefinition"_s);
    sgHiddenDefinition->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgHiddenDefinition->hide();
    layout->addWidget(sgHiddenDefinition);
    return box;
}

QWidget *PageDefineQuery::buildOptions()
{
    pcOptions = new QTabWidget(this);
    pcOptions->setObjectName(u"pcOptions"_s);
    tsDateRange = buildDateRange();
    tsOrder = buildOrder();
    tsStatistics = buildStatistics();
    tsGeographic = buildGeographic();
    pcOptions->addTab(tsDateRange, u"Date Range"_s);
    pcOptions->addTab(tsOrder, u"Order"_s);
    pcOptions->addTab(tsStatistics, u"Statistics"_s);
    pcOptions->addTab(tsGeographic, u"Geographic"_s);
    pcOptions->setTabEnabled(pcOptions->indexOf(tsGeographic), false);
    pcOptions->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return pcOptions;
}

QWidget *PageDefineQuery::buildDateRange()
{
    auto *page = new QWidget(this);
    page->setObjectName(u"tsDateRange"_s);
    auto *layout = new QGridLayout(page);
    cbFromDate = new QCheckBox(u"From Date"_s, page);
    cbFromDate->setObjectName(u"cbFromDate"_s);
    eFromDate = new QLineEdit(page);
    eFromDate->setObjectName(u"eFromDate"_s);
    cbToDate = new QCheckBox(u"To date"_s, page);
    cbToDate->setObjectName(u"cbToDate"_s);
    eToDate = new QLineEdit(page);
    eToDate->setObjectName(u"eToDate"_s);
    for (QLineEdit *edit : {eFromDate, eToDate}) {
        edit->setMaximumWidth(100);
        edit->setToolTip(u"Age in the unit chosen; the bound itself is left out"_s);
    }
    // Typing a date is choosing to use it.
    connect(eFromDate, &QLineEdit::textEdited, cbFromDate, [this] { cbFromDate->setChecked(true); });
    connect(eToDate, &QLineEdit::textEdited, cbToDate, [this] { cbToDate->setChecked(true); });
    connect(eFromDate, &QLineEdit::editingFinished, this,
            [this] { guarded(*m_ui, [this] { eFromDateExit(); }); });
    connect(eToDate, &QLineEdit::editingFinished, this,
            [this] { guarded(*m_ui, [this] { eToDateExit(); }); });
    dblcbAgeUnits = new DbLookupComboBox(m_widgetUi, page);
    dblcbAgeUnits->setObjectName(u"dblcbAgeUnits"_s);
    layout->addWidget(cbFromDate, 0, 0);
    layout->addWidget(eFromDate, 0, 1);
    layout->addWidget(cbToDate, 1, 0);
    layout->addWidget(eToDate, 1, 1);
    layout->addWidget(new QLabel(u"Age units"_s, page), 2, 0);
    layout->addWidget(dblcbAgeUnits, 2, 1);

    auto *decay = new QButtonGroup(page);
    rbAllDates = new QRadioButton(u"All dates"_s, page);
    rbAllDates->setObjectName(u"rbAllDates"_s);
    rbWithoutDCUncertainties = new QRadioButton(u"Only dates without decay constant uncertainties"_s, page);
    rbWithoutDCUncertainties->setObjectName(u"rbWithoutDCUncertainties"_s);
    rbWithDCUncertainties = new QRadioButton(u"Only dates with decay constant uncertainties"_s, page);
    rbWithDCUncertainties->setObjectName(u"rbWithDCUncertainties"_s);
    int row = 0;
    for (QRadioButton *button : {rbAllDates, rbWithoutDCUncertainties, rbWithDCUncertainties}) {
        decay->addButton(button);
        layout->addWidget(button, row++, 3);
    }
    rbAllDates->setChecked(true);
    layout->setColumnMinimumWidth(2, 24);
    layout->setColumnStretch(4, 1);
    return page;
}

QWidget *PageDefineQuery::buildOrder()
{
    auto *page = new QWidget(this);
    page->setObjectName(u"tsOrder"_s);
    auto *layout = new QHBoxLayout(page);
    rgOrderBy = new QGroupBox(u"Order by"_s, page);
    rgOrderBy->setObjectName(u"rgOrderBy"_s);
    auto *grid = new QGridLayout(rgOrderBy);
    m_orders = new QButtonGroup(page);
    const QStringList items{u"Country, Unit, Material, etc"_s, u"Unique record #"_s, u"Date"_s,
                            u"Material, Isotope system, Approach, etc"_s};
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i], rgOrderBy);
        m_orders->addButton(button, i);
        grid->addWidget(button, i % 2, i / 2);
    }
    m_orders->button(QueryDefinition::OrderByCountry)->setChecked(true);
    layout->addWidget(rgOrderBy);
    layout->addStretch(1);
    return page;
}

QWidget *PageDefineQuery::buildStatistics()
{
    auto *page = new QWidget(this);
    page->setObjectName(u"tsStatistics"_s);
    auto *layout = new QGridLayout(page);
    cbPrefLevel = new QCheckBox(u"Only dates with preference level"_s, page);
    cbPrefLevel->setObjectName(u"cbPrefLevel"_s);
    cbPrefLevel->setChecked(true);
    dbePrefLevelNo = new DbEdit(m_widgetUi, page);
    dbePrefLevelNo->setObjectName(u"dbePrefLevelNo"_s);
    dbePrefLevelNo->setMaximumWidth(40);
    keepReadOnly(dbePrefLevelNo);
    dbnPrefLevel = new DatasetNavigator(m_widgetUi, page);
    dbnPrefLevel->setObjectName(u"dbnPrefLevel"_s);
    dbnPrefLevel->setVisibleButtons(DatasetNavigator::First | DatasetNavigator::Prior |
                                    DatasetNavigator::Next | DatasetNavigator::Last);
    lAndGreater = new QLabel(u"and greater"_s, page);
    dbmPrefDes = new DbMemo(m_widgetUi, page);
    dbmPrefDes->setObjectName(u"dbmPrefDes"_s);
    dbmPrefDes->setFixedHeight(36);
    keepReadOnly(dbmPrefDes);
    cbIsochronOnly = new QCheckBox(u"Only dates where MSWD < F  or  Probability > alpha"_s, page);
    cbIsochronOnly->setObjectName(u"cbIsochronOnly"_s);
    layout->addWidget(cbPrefLevel, 0, 0);
    layout->addWidget(dbePrefLevelNo, 0, 1);
    layout->addWidget(lAndGreater, 0, 2);
    layout->addWidget(dbnPrefLevel, 0, 3);
    layout->addWidget(dbmPrefDes, 1, 0, 1, 5);
    layout->addWidget(cbIsochronOnly, 2, 0, 1, 5);
    layout->setColumnStretch(4, 1);
    return page;
}

QWidget *PageDefineQuery::buildGeographic()
{
    auto *page = new QWidget(this);
    page->setObjectName(u"tsGeographic"_s);
    // Limits of a search by locality: kept out of sight and out of the query.
    eMinLatitude = new QLineEdit(page);
    eMaxLatitude = new QLineEdit(page);
    eMinLongitude = new QLineEdit(page);
    eMaxLongitude = new QLineEdit(page);
    for (QLineEdit *edit : {eMinLatitude, eMaxLatitude, eMinLongitude, eMaxLongitude})
        edit->hide();
    return page;
}

void PageDefineQuery::attach(TdmKVResults &dm)
{
    m_dm = &dm;
    dblcbAgeUnits->setList(dm.AgeUnits, u"AgeUnits"_s, u"AgeUnits"_s);
    dbePrefLevelNo->setField(dm.PrefLevel, u"PrefLevelNo"_s);
    dbmPrefDes->setField(dm.PrefLevel, u"PrefDes"_s);
    dbnPrefLevel->setDataset(dm.PrefLevel);
    reloadLists();
}

void PageDefineQuery::reloadLists()
{
    const QString units =
        dblcbAgeUnits->currentIndex() >= 0 ? dblcbAgeUnits->currentKey().toString() : m_definition.ageUnits;
    dblcbAgeUnits->reloadList();
    dblcbAgeUnits->setCurrentIndex(dblcbAgeUnits->findData(units));
    reloadDescriptorList();
}

void PageDefineQuery::reloadDescriptorList()
{
    if (!m_dm)
        return;
    const DescriptorKind &kind = descriptorKind(m_definition.listedKind());
    dblcbAny->setList(m_dm->dataset(kind.lookupDataset), kind.keyField, kind.listField);
    // Long lists (areas, references) are found by name more easily in order.
    dblcbAny->model()->sort(0);
    dblcbAny->setCurrentIndex(-1);
    descriptorChanged();
}

void PageDefineQuery::resetDefinition()
{
    QString level;
    if (m_dm && m_dm->PrefLevel->isOpen()) {
        // The second level in key order, whatever order the table's rows come in.
        Dataset &levels = *m_dm->PrefLevel;
        const QString second = QueryCommand::startPrefLevel(levels);
        levels.first();
        while (!second.isEmpty() && !levels.eof() && levels.value(u"PrefLevelNo"_s).toString() != second)
            levels.next();
        if (second.isEmpty() || levels.eof()) {
            levels.first();
            levels.next();
        }
        level = dbePrefLevelNo->text().trimmed();
    }
    m_definition.reset(level);
    dblcbAgeUnits->reloadList();
    dblcbAgeUnits->setCurrentIndex(dblcbAgeUnits->findData(m_definition.ageUnits));
    reloadDescriptorList();
    showGrids();
}

void PageDefineQuery::showGrids()
{
    m_showing = true;
    for (QTableWidget *grid : {sgDefinition, sgHiddenDefinition}) {
        const bool hidden = grid == sgHiddenDefinition;
        QStringList header;
        for (int c = 1; c <= ValueColumns; ++c)
            header << (hidden ? m_definition.hiddenCell(c, 0) : m_definition.cell(c, 0));
        grid->setHorizontalHeaderLabels(header);
        QStringList labels;
        for (int r = 1; r <= KindRows; ++r) {
            labels << (hidden ? m_definition.hiddenCell(0, r) : m_definition.cell(0, r));
            for (int c = 1; c <= ValueColumns; ++c) {
                QTableWidgetItem *item = grid->item(r - 1, c - 1);
                item->setText(hidden ? m_definition.hiddenCell(c, r) : m_definition.cell(c, r));
                item->setToolTip(item->text()); // long unit names and references do not fit a column
            }
        }
        grid->setVerticalHeaderLabels(labels);
    }
    m_showing = false;
}

void PageDefineQuery::definitionCellEdited(int tableRow, int tableColumn)
{
    if (m_showing)
        return;
    m_definition.setCell(tableColumn + 1, tableRow + 1, sgDefinition->item(tableRow, tableColumn)->text());
}

void PageDefineQuery::KindClick(int row)
{
    m_definition.chooseKind(row);
    reloadDescriptorList();
}

void PageDefineQuery::descriptorChanged()
{
    // Only a value of the list counts: a text typed half-way is no descriptor.
    const int index = dblcbAny->findText(dblcbAny->currentText(), Qt::MatchExactly);
    if (index < 0)
        m_definition.setDescriptor({}, {});
    else
        m_definition.setDescriptor(dblcbAny->itemText(index), dblcbAny->itemData(index).toString());
}

void PageDefineQuery::bbAddToSelectionClick()
{
    if (m_definition.addToSelection(*m_ui))
        showGrids();
}

void PageDefineQuery::bbRemoveFromSelectionClick()
{
    m_definition.removeFromSelection(sgDefinition->currentColumn() + 1, sgDefinition->currentRow() + 1);
    showGrids();
}

void PageDefineQuery::leaveDate(QLineEdit *edit, QString &text)
{
    text = edit->text();
    try {
        text = QueryDefinition::formatDate(text);
        edit->setText(text);
    } catch (const InputError &e) {
        m_ui->warning(e.message());
    }
}

void PageDefineQuery::eFromDateExit()
{
    leaveDate(eFromDate, m_definition.fromDateText);
}

void PageDefineQuery::eToDateExit()
{
    leaveDate(eToDate, m_definition.toDateText);
}

void PageDefineQuery::readChoices()
{
    QueryDefinition &d = m_definition;
    d.fromDate = cbFromDate->isChecked();
    d.toDate = cbToDate->isChecked();
    d.fromDateText = eFromDate->text();
    d.toDateText = eToDate->text();
    if (dblcbAgeUnits->currentIndex() >= 0)
        d.ageUnits = dblcbAgeUnits->currentKey().toString();
    d.decayConstants =
        rbWithoutDCUncertainties->isChecked() ? QueryDefinition::DecayConstants::WithoutUncertainties
        : rbWithDCUncertainties->isChecked()  ? QueryDefinition::DecayConstants::WithUncertainties
                                              : QueryDefinition::DecayConstants::All;
    d.order = m_orders->checkedId() >= 0 ? m_orders->checkedId() : int(QueryDefinition::OrderByCountry);
    d.prefLevelChecked = cbPrefLevel->isChecked();
    d.prefLevel = dbePrefLevelNo->text().trimmed();
    d.isochronOnly = cbIsochronOnly->isChecked();
}

void PageDefineQuery::showChoices()
{
    const QueryDefinition &d = m_definition;
    cbFromDate->setChecked(d.fromDate);
    cbToDate->setChecked(d.toDate);
    eFromDate->setText(d.fromDateText);
    eToDate->setText(d.toDateText);
    cbPrefLevel->setChecked(d.prefLevelChecked);
    cbIsochronOnly->setChecked(d.isochronOnly);
}

} // namespace kv
