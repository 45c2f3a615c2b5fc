// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/query_definition.h"

#include <QList>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace kv {

class DatasetNavigator;
class DbEdit;
class DbLookupComboBox;
class DbMemo;
class Interaction;
class TdmKVResults;

/// The "Define Query" tab: the descriptor kinds and their lookup box, both definition grids, the date
/// range, order, statistics and geographic options. The definition itself is a QueryDefinition; the
/// widgets show it and hand every change to it.
class PageDefineQuery : public QWidget
{
    Q_OBJECT

public:
    /// `widgetUi` serves the data-aware controls; messages of the tab go to the interaction set later.
    PageDefineQuery(Interaction &widgetUi, QWidget *parent = nullptr);

    void setInteraction(Interaction *ui) { m_ui = ui; }
    /// The lookup lists the tab shows (open once the connections are defined).
    void attach(TdmKVResults &dm);
    /// Reads the descriptor box's and the age-unit box's lists again (after the connections changed).
    void reloadLists();

    QueryDefinition &definition() { return m_definition; }
    const QueryDefinition &definition() const { return m_definition; }

    /// Start-up: clears both grids and the counts, makes the second preference level current and sets
    /// the age unit to "Ma".
    void resetDefinition();
    /// The choices of the option tabs into the definition, before the query command reads it.
    void readChoices();
    /// The definition's choices back into the widgets (the command unchecks and reformats some).
    void showChoices();
    /// Both grids as the definition holds them.
    void showGrids();

    // Handlers
    void KindClick(int row);
    void bbAddToSelectionClick();
    void bbRemoveFromSelectionClick();
    void eFromDateExit();
    void eToDateExit();

    QGroupBox *gbDescriptors;
    /// The fifteen kind radio buttons, row 1 first.
    QList<QRadioButton *> kindButtons;
    DbLookupComboBox *dblcbAny;
    QPushButton *bbAddToSelection, *bbRemoveFromSelection, *bbExecuteQuery;
    QTableWidget *sgDefinition, *sgHiddenDefinition;

    QTabWidget *pcOptions;
    QWidget *tsDateRange, *tsOrder, *tsStatistics, *tsGeographic;
    QCheckBox *cbFromDate, *cbToDate;
    QLineEdit *eFromDate, *eToDate;
    DbLookupComboBox *dblcbAgeUnits;
    QRadioButton *rbAllDates, *rbWithoutDCUncertainties, *rbWithDCUncertainties;
    QGroupBox *rgOrderBy;
    QCheckBox *cbPrefLevel, *cbIsochronOnly;
    DbEdit *dbePrefLevelNo;
    DatasetNavigator *dbnPrefLevel;
    QLabel *lAndGreater;
    DbMemo *dbmPrefDes;
    QLineEdit *eMinLatitude, *eMaxLatitude, *eMinLongitude, *eMaxLongitude;

signals:
    /// "Execute Query" was clicked.
    void executeQuery();

private:
    QWidget *buildDescriptors();
    QWidget *buildGrids();
    QWidget *buildOptions();
    QWidget *buildDateRange();
    QWidget *buildOrder();
    QWidget *buildStatistics();
    QWidget *buildGeographic();
    void reloadDescriptorList();
    void leaveDate(QLineEdit *edit, QString &text);
    void descriptorChanged();
    void definitionCellEdited(int tableRow, int tableColumn);

    Interaction &m_widgetUi;
    QButtonGroup *m_kinds;
    QButtonGroup *m_orders;
    Interaction *m_ui;
    TdmKVResults *m_dm = nullptr;
    QueryDefinition m_definition;
    bool m_showing = false;
};

} // namespace kv
