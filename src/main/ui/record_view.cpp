// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/record_view.h"

#include "controls/ui/data_aware.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dataset_model.h"
#include "data/dmKV.h"
#include "main/record_commands.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// An age box of "Form View": shows the age in Ma; leaving it stores a changed value, a double click
// asks for a new one.
class AgeBox : public QLineEdit
{
public:
    AgeBox(RecordView &view, const QString &storedField, QWidget *parent)
        : QLineEdit(parent), m_view(view), m_storedField(storedField)
    {
        setMaximumWidth(90);
        setAlignment(Qt::AlignRight);
        setProperty("storesOnLeave", true); // a command that reads the record takes what is typed here
        Dataset *r = view.dm().QResults;
        for (auto signal :
             {&Dataset::afterScroll, &Dataset::afterOpen, &Dataset::afterClose, &Dataset::afterPost})
            connect(r, signal, this, [this] { showValue(); });
        connect(this, &QLineEdit::editingFinished, this, [this] {
            if (isModified()) {
                setModified(false);
                guarded(m_view.ui(), [this] { ageBoxLeft(m_view.dm(), m_view.ui(), m_storedField, text()); });
                showValue();
            }
        });
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent *) override
    {
        guarded(m_view.ui(), [this] { ageBoxDoubleClicked(m_view.dm(), m_view.ui(), m_storedField); });
        showValue();
    }

private:
    void showValue()
    {
        Dataset *r = m_view.dm().QResults;
        guarded(m_view.ui(), [&] {
            setText(r->isOpen() && !r->isEmpty() ? r->displayText(m_storedField.mid(1)) : QString());
        });
        setModified(false);
    }
    RecordView &m_view;
    QString m_storedField;
};

} // namespace

RecordView::RecordView(TdmKVResults &dm, Interaction &ui, QObject *parent)
    : QObject(parent), m_dm(dm), m_ui(ui)
{
    // The second decay constant's boxes follow the record however it was reached.
    const auto showSecond = [this] {
        Dataset *r = m_dm.QResults;
        emit decayConstant2Shown(r->isOpen() && !r->isEmpty() && r->value(u"DecayConst2"_s).toDouble() > 0);
    };
    connect(dm.QResults, &Dataset::afterScroll, this, showSecond);
    connect(dm.QResults, &Dataset::afterOpen, this, showSecond);
}

DatasetNavigator *RecordView::recordNavigator(QWidget *parent, DatasetNavigator::Buttons buttons)
{
    auto *navigator = new DatasetNavigator(m_ui, parent);
    navigator->setDataset(m_dm.Query1);
    // The result set is walked; the record's own row (QResults) is what is edited and posted.
    navigator->setEditDataset(m_dm.QResults);
    navigator->setVisibleButtons(buttons);
    const auto takeOver = [&](DatasetNavigator::Button button, const std::function<void()> &work) {
        QToolButton *tool = navigator->button(button);
        disconnect(tool, &QToolButton::clicked, nullptr, nullptr);
        connect(tool, &QToolButton::clicked, this, [this, work] { guarded(m_ui, work); });
    };
    // A record is added and deleted with its details, never alone.
    takeOver(DatasetNavigator::Delete, [this] {
        if (onDeleteRecord)
            onDeleteRecord();
        recordChanged();
    });
    takeOver(DatasetNavigator::Insert, [this] {
        if (onNewRecord)
            onNewRecord();
        recordChanged();
    });
    // Post stamps the date modified and writes the row once.
    takeOver(DatasetNavigator::Post, [this] { recordNavigatorClick(DatasetNavigator::Post); });
    connect(navigator, &DatasetNavigator::clicked, this, &RecordView::recordNavigatorClick);
    return navigator;
}

DatasetNavigator *RecordView::detailNavigator(QWidget *parent, Dataset *dataset,
                                              DatasetNavigator::Buttons buttons, PanelKind kind)
{
    auto *navigator = new DatasetNavigator(m_ui, parent);
    navigator->setDataset(dataset);
    navigator->setVisibleButtons(buttons);
    connect(navigator, &DatasetNavigator::clicked, this,
            [this, dataset, kind](DatasetNavigator::Button button) {
                detailNavigatorClick(dataset, kind, button);
            });
    return navigator;
}

void RecordView::addPanelControls(Dataset *dataset, const QList<QWidget *> &controls, bool enableOnly)
{
    Panel panel;
    panel.dataset = dataset;
    for (QWidget *w : controls)
        panel.controls << w;
    panel.formViewOnly = enableOnly;
    m_panels << panel;
    enablePanel(dataset, detailHasRows(*dataset));
}

void RecordView::enablePanel(Dataset *dataset, bool enabled, bool)
{
    for (const Panel &panel : std::as_const(m_panels)) {
        if (panel.dataset != dataset)
            continue;
        // The samples tab's own controls are enabled by an insert and never disabled by moving.
        if (!enabled && panel.formViewOnly)
            continue;
        for (const auto &w : panel.controls)
            if (w)
                w->setEnabled(enabled);
    }
}

void RecordView::updatePanels()
{
    QList<Dataset *> seen;
    for (const Panel &panel : std::as_const(m_panels))
        if (panel.dataset && !seen.contains(panel.dataset.data())) {
            seen << panel.dataset.data();
            enablePanel(panel.dataset, detailHasRows(*panel.dataset));
        }
}

void RecordView::recordNavigatorClick(DatasetNavigator::Button button)
{
    guarded(m_ui, [&] {
        m_dm.QImageSelected->close();
        emit pictureCleared();
        Dataset *r = m_dm.QResults;
        emit decayConstant2Shown(r->isOpen() && !r->isEmpty() && r->value(u"DecayConst2"_s).toDouble() > 0);
        if (button == DatasetNavigator::Post)
            postRecord(m_dm, m_ui);
        if (button & (DatasetNavigator::First | DatasetNavigator::Prior | DatasetNavigator::Next |
                      DatasetNavigator::Last | DatasetNavigator::Refresh)) {
            updatePanels();
            emit localityChartRebind();
        }
    });
}

void RecordView::detailNavigatorClick(Dataset *dataset, PanelKind kind, DatasetNavigator::Button button)
{
    guarded(m_ui, [&] { detailNavigatorWork(dataset, kind, button); });
}

void RecordView::detailNavigatorWork(Dataset *dataset, PanelKind kind, DatasetNavigator::Button button)
{
    const bool inserted = button == DatasetNavigator::Insert && dataset->state() == Dataset::State::Insert;
    try {
        if (inserted)
            setDetailDefaults(m_dm, *dataset);
    } catch (const Error &e) {
        m_ui.warning(e.message());
    }
    switch (kind) {
    case PanelKind::InsertOnly:
        if (inserted)
            enablePanel(dataset, true);
        break;
    case PanelKind::Images:
        if (button != DatasetNavigator::Insert) {
            try {
                m_dm.QImageSelected->close();
            } catch (const Error &) {
            }
            emit pictureCleared();
        }
        [[fallthrough]];
    case PanelKind::AnyButton:
    case PanelKind::Samples:
        enablePanel(dataset, inserted || detailHasRows(*dataset));
        break;
    case PanelKind::Laboratory:
    case PanelKind::WhoFor:
        break;
    }
}

void RecordView::reloadLookupBoxes()
{
    for (const auto &box : std::as_const(m_lookupBoxes))
        if (box)
            box->reloadList();
}

QWidget *recordHeader(RecordView &view, QWidget *parent, bool editable, QList<DbEdit *> *)
{
    TdmKVResults &dm = view.dm();
    Dataset *r = dm.QResults;
    auto *box = new QWidget(parent);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto lookup = [&](const QString &field, Dataset *list, const QString &key, const QString &shown) {
        auto *combo = new DbLookupComboBox(view.ui(), box);
        combo->setField(r, field);
        combo->setList(list, key, shown);
        combo->setMinimumContentsLength(12);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        view.addLookupBox(combo);
        if (!editable) {
            // Shown, not changed, on the other tabs.
            combo->setFocusPolicy(Qt::NoFocus);
            combo->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        return combo;
    };
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);
    int row = 0;
    const auto put = [&](int column, const QString &caption, QWidget *w, int span = 1) {
        grid->addWidget(new QLabel(caption, box), row, column * 2);
        grid->addWidget(w, row, column * 2 + 1, 1, span);
    };
    put(0, u"Unit"_s, lookup(u"UnitName"_s, dm.SuiteList, u"UnitName"_s, u"UnitName"_s), 3);
    ++row;
    put(0, u"Lithology"_s, lookup(u"Lithology"_s, dm.Lithology, u"Lithology"_s, u"Lithology"_s));
    put(1, u"Area"_s, lookup(u"CountryAbr"_s, dm.Country, u"CountryAbr"_s, u"Country"_s));
    ++row;
    put(0, u"Material"_s, lookup(u"MaterialAbr"_s, dm.Material, u"MaterialAbr"_s, u"MaterialDescription"_s));
    put(1, u"System"_s, lookup(u"IsotopeSystem"_s, dm.IsoSys, u"IsoSystem"_s, u"IsoSystemName"_s));
    ++row;
    put(0, u"Approach"_s, lookup(u"ApproachAbr"_s, dm.Approach, u"ApproachAbr"_s, u"ApproachDescription"_s));
    put(1, u"Technique"_s, lookup(u"TechAbr"_s, dm.Technique, u"TechAbr"_s, u"Technique"_s));
    ++row;
    put(0, u"Interpretation"_s,
        lookup(u"InterpAbr"_s, dm.Interpretation, u"InterpAbr"_s, u"Interpretation"_s));
    if (editable)
        put(1, u"Method"_s, lookup(u"MethodAbr"_s, dm.Methods, u"MethodAbr"_s, u"MethodName"_s));
    ++row;
    put(0, u"Rank"_s, lookup(u"PrefLevel"_s, dm.PrefLevel, u"PrefLevelNo"_s, u"PrefLevelNo"_s));
    auto *dates = new QWidget(box);
    auto *line = new QHBoxLayout(dates);
    line->setContentsMargins(0, 0, 0, 0);
    const QStringList stored{u"IAge"_s, u"IAgePError"_s, u"IAgeMError"_s};
    const QStringList signs{QString(), u"+"_s, u"-"_s};
    for (int i = 0; i < 3; ++i) {
        if (!signs[i].isEmpty())
            line->addWidget(new QLabel(signs[i], dates));
        if (editable) {
            line->addWidget(new AgeBox(view, stored[i], dates));
        } else {
            auto *text = new DbText(view.ui(), dates);
            text->setField(r, stored[i].mid(1));
            text->setMinimumWidth(60);
            text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            text->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            line->addWidget(text);
        }
    }
    auto *units = new DbText(view.ui(), dates);
    units->setField(r, u"AgeUnits"_s);
    line->addWidget(units);
    line->addWidget(new QLabel(u"(95% conf.)"_s, dates));
    line->addStretch();
    put(1, u"Date"_s, dates);
    return box;
}

QVBoxLayout *recordPageLayout(RecordView &view, QWidget *page)
{
    using Nav = DatasetNavigator;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(view.recordNavigator(page, Nav::First | Nav::Prior | Nav::Next | Nav::Last | Nav::Delete |
                                                     Nav::Edit | Nav::Post | Nav::Cancel | Nav::Refresh));
    layout->addWidget(recordHeader(view, page, false));
    return layout;
}

QGroupBox *panelBox(QWidget *parent, const QString &title, QWidget *navigator)
{
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QVBoxLayout(box);
    if (navigator) {
        navigator->setParent(box);
        layout->addWidget(navigator);
    }
    return box;
}

void placePage(QWidget *tab, QWidget *page)
{
    auto *scroll = new QScrollArea(tab);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(page);
    // Another page may share the tab (the query's part of "Developer"): the record's part goes on top.
    if (auto *box = qobject_cast<QBoxLayout *>(tab->layout())) {
        box->insertWidget(0, scroll, 1);
        return;
    }
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

DbEdit *addField(RecordView &view, QFormLayout *form, const QString &caption, Dataset *dataset,
                 const QString &field)
{
    auto *edit = new DbEdit(view.ui(), form->parentWidget());
    edit->setField(dataset, field);
    edit->setMaximumWidth(160);
    form->addRow(caption, edit);
    return edit;
}

void fitColumns(QTableView *view)
{
    view->setWordWrap(false);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    // Columns as wide as their texts, within reason; only small tables are measured.
    if (!view->model() || view->model()->rowCount() > 2000)
        return;
    view->resizeColumnsToContents();
    const int widest = std::max(120, view->fontMetrics().averageCharWidth() * 40);
    for (int c = 0; c < view->model()->columnCount(); ++c)
        view->setColumnWidth(c, std::min(view->columnWidth(c), widest));
}

QTableView *datasetGrid(Interaction &ui, QWidget *parent, Dataset *dataset, const QStringList &fields,
                        const QStringList &titles)
{
    auto *view = new QTableView(parent);
    auto *model = new DatasetModel(dataset, view);
    model->setInteraction(&ui);
    model->setFields(fields);
    if (!titles.isEmpty())
        model->setTitles(titles);
    view->setModel(model);
    fitColumns(view);
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [view] { fitColumns(view); });
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto follow = [view, dataset] {
        if (dataset->isOpen() && dataset->recNo() >= 0 && dataset->recNo() < view->model()->rowCount() &&
            view->currentIndex().row() != dataset->recNo())
            view->selectRow(dataset->recNo());
    };
    QObject::connect(dataset, &Dataset::afterScroll, view, follow);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, dataset,
                     [dataset, &ui](const QModelIndex &index) {
                         guarded(ui, [&] {
                             if (index.isValid() && dataset->isOpen() && dataset->recNo() != index.row() &&
                                 dataset->state() == Dataset::State::Browse)
                                 dataset->moveTo(index.row());
                         });
                     });
    return view;
}

} // namespace kv
