// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QFormLayout;
class QGroupBox;
class QVBoxLayout;
class QGridLayout;
class QTableView;

namespace kv {

class DbEdit;
class DbLookupComboBox;
class Interaction;
class TdmKVResults;
struct ViewerSettings;

/// What the record pages share: the record navigators, the detail panels whose controls are enabled
/// by their rows, and the lookup boxes to fill again when the lookups were read anew.
class RecordView : public QObject
{
    Q_OBJECT

public:
    /// How a panel's navigator treats its controls.
    enum class PanelKind
    {
        Samples,
        InsertOnly,
        AnyButton,
        Laboratory,
        Images,
        WhoFor
    };

    RecordView(TdmKVResults &dm, Interaction &ui, QObject *parent = nullptr);

    TdmKVResults &dm() const { return m_dm; }
    Interaction &ui() const { return m_ui; }
    ViewerSettings *settings = nullptr;
    /// The commands the record navigators' Insert and Delete run (New record, Delete record).
    std::function<void()> onNewRecord, onDeleteRecord;

    /// A navigator on Query1 with the given buttons; its clicks run recordNavigatorClick.
    DatasetNavigator *recordNavigator(QWidget *parent, DatasetNavigator::Buttons buttons);
    /// A navigator on a detail dataset; its clicks enable the panel and give new rows their defaults.
    DatasetNavigator *detailNavigator(QWidget *parent, Dataset *dataset, DatasetNavigator::Buttons buttons,
                                      PanelKind kind);
    /// Controls enabled only while the record has rows in the dataset; enableOnly controls are enabled
    /// by rows or an insert but never disabled by moving (the samples tab's own).
    void addPanelControls(Dataset *dataset, const QList<QWidget *> &controls, bool enableOnly = false);
    void addLookupBox(DbLookupComboBox *box) { m_lookupBoxes << box; }

    /// The record navigator's work after its own action.
    void recordNavigatorClick(DatasetNavigator::Button button);
    /// What the query commands call with First.
    void recordChanged() { recordNavigatorClick(DatasetNavigator::First); }
    /// Enables each panel by its rows.
    void updatePanels();
    /// Fills every lookup box from its list again.
    void reloadLookupBoxes();

signals:
    void pictureCleared();
    void decayConstant2Shown(bool shown);
    void localityChartRebind();

private:
    void detailNavigatorClick(Dataset *dataset, PanelKind kind, DatasetNavigator::Button button);
    void detailNavigatorWork(Dataset *dataset, PanelKind kind, DatasetNavigator::Button button);
    void enablePanel(Dataset *dataset, bool enabled, bool formViewOnly = false);

    struct Panel
    {
        QPointer<Dataset> dataset;
        QList<QPointer<QWidget>> controls;
        bool formViewOnly = false;
    };
    TdmKVResults &m_dm;
    Interaction &m_ui;
    QList<Panel> m_panels;
    QList<QPointer<DbLookupComboBox>> m_lookupBoxes;
};

/// The record header: unit, lithology, area, material, system, approach, technique, method,
/// interpretation, rank and the date, on QResults; editable only on "Form View".
QWidget *recordHeader(RecordView &view, QWidget *parent, bool editable, QList<DbEdit *> *ageBoxes = nullptr);

/// The top of a record tab that shows the record read-only: the record navigator (browse, delete, edit,
/// post, cancel, refresh) and the record header. Returns the page's layout to add the tab's panels to.
QVBoxLayout *recordPageLayout(RecordView &view, QWidget *page);

/// A titled group holding a panel's navigator above its controls.
QGroupBox *panelBox(QWidget *parent, const QString &title, QWidget *navigator = nullptr);
/// Puts a page into a tab of the main window, scrolled when the window is small.
void placePage(QWidget *tab, QWidget *page);

/// A labelled edit box on a field, added to a form.
DbEdit *addField(RecordView &view, QFormLayout *form, const QString &caption, Dataset *dataset,
                 const QString &field);
/// Columns as wide as their texts (up to a limit), one line per row.
void fitColumns(QTableView *view);
/// A grid over some fields of a dataset; the grid's current row follows the dataset and moves it.
QTableView *datasetGrid(Interaction &ui, QWidget *parent, Dataset *dataset, const QStringList &fields,
                        const QStringList &titles = {});

} // namespace kv
