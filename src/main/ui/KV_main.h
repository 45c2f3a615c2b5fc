// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graphs/plot_state.h"
#include "main/ui/widget_interaction.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;

namespace kv {

class Dataset;
class PageChecks;
class PageDefineQuery;
class PageDeveloperQuery;
class QueryCommand;
class TdmKVResults;
class TfmSelDI2;
class TfmSelPG;
class TfmProcessing;
class ViewerConnections;
class RecordView;
class PageFormView;
class PageSamples;
class PageImages;
class PageData;

/// The viewer's main window: toolbar, the record pages, the status bar and the main menu. Its
/// handlers hand the work to the core commands.
class TfmRes : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfmRes(QWidget *parent = nullptr);
    ~TfmRes() override;

    /// How the window's commands talk to the user: message boxes, unless a test gives its own.
    Interaction &interaction() { return *m_ui; }
    void setInteraction(Interaction *ui);
    /// The data module and the connections the window works on (they are made after the window).
    void attach(TdmKVResults &dm, ViewerConnections &connections);
    void setBusyWindow(TfmProcessing *window);
    /// The plot settings and date range of the run: the two plot-settings windows edit them, the graph
    /// commands read them.
    PlotState &plotState() { return m_plot; }
    /// The two plot-settings windows made at start-up (on plotState()).
    void setPlotWindows(TfmSelPG *selPG, TfmSelDI2 *selDI2);
    /// The "Form View" page of the record.
    PageFormView *formView() const { return m_formView; }

    /// The start-up proper, run once when the window is first shown.
    void FormShow();
    /// Closing: settings written, datasets closed, connections dropped.
    void FormClose();
    void ExitClick();
    void LinkToLANClick();
    void UpdateGroupDescriptorListClick();
    void AboutClick();
    /// File > "&Print": the report launcher over the records of the current query.
    void FilePrint1Click();
    void GraphDateGroupedByInterpretationClick();
    void GraphInitialAndModelRatiosClick();
    void GraphInitialAndModelRatiosGroupedClick();
    void GraphBlockingTClick();
    void GraphMapClick();
    /// File > Export > "GIS Localities".
    void FileExportClick();
    void FileExportGISClick();
    /// File > "&Import Excel spreadsheet" and File > Export > "&Stratigraphic table".
    void FileImportSpreadsheetClick();
    void FileStratigraphicTableClick();
    void OptionsGraphClassificationClick();

    // The record commands of the Edit menu and the toolbar (KV_main_records.cpp)
    void EditNewRecordClick();
    void EditDeleteRecordClick();
    void EditNextRecordIDClick();
    void EditEquivalentTDMClick();
    void EditLookupTablesClick();
    void bbApplyGroupClick();
    void PageControl1Change();

    // Edit > Recalculate, the decay-constant conversion and the "Data" tab (KV_main_recalc.cpp)
    void EpsilonGammaforthisrecord1Click();
    void Modelageforthisrecord1Click();
    void EpsilonGammaforallrecords1Click();
    void Modelagesforallrecords1Click();
    void IsochronAgeThisRecordClick();
    void IsochronAgeAllRecordsClick();
    void ConvertToCurrentDecayConstantsClick();
    void bShowRawIsotopeDataClick();
    PageData *dataPage() const { return m_data; }
    RecordView *recordView() const { return m_recordView; }
    void ShowReferTo(Dataset &referTo);
    /// "Execute Query" and the "&Query" menu: the query command.
    void QueryExecuteClick();
    /// "Re-apply Query" on the "Developer" tab: runs the edited text.
    void bbReapplyQueryClick();

    // Status bar panels, numbered from 0: the connection and the progress panel.
    QLabel *statusPanel(int index) const;
    void setProgressText(const QString &text);

    QToolBar *ToolBar1;
    QAction *tbExit;
    QPushButton *bbApplyGroup;
    QLineEdit *eApplyGroup;
    QLabel *lNumRecords;
    QLineEdit *eNumRecords;

    QTabWidget *PageControl1;
    QWidget *tsDefineQuery, *tsFormView, *tsSamples, *tsReferences, *tsAssociations, *tsStatistics, *tsImages,
        *tsOffsets, *tsData, *tsChecks, *tsDeveloper;
    PageDefineQuery *pgDefineQuery;
    PageChecks *pgChecks;
    PageDeveloperQuery *pgDeveloperQuery;

    QMenu *mnFile, *mnExport, *mnEdit, *mnNewEquivalent, *mnRecalculate, *mnGraph, *mnOptions, *mnWindow,
        *mnHelp;
    QAction *FileExportExcel, *FileExportGIS, *FileExportStratTable, *FileImportExcel, *FilePrint, *FileExit;
    QAction *EditNewRecord, *EditDeleteRecord, *EditNextRecordID, *EditEquivalentTDM, *EditLookupTables,
        *EditUpdateGroupList, *EditConvertDecayConstants, *EditRecalcEpsilonThis, *EditRecalcModelThis,
        *EditRecalcEpsilonAll, *EditRecalcModelAll, *EditRecalcIsochronThis, *EditRecalcIsochronAll;
    QAction *QueryExecute;
    QAction *GraphDateByInterpretation, *GraphRatios, *GraphRatiosGrouped, *GraphMap, *GraphClosureT;
    QAction *OptionsClassification, *OptionsLinkLAN;
    QAction *WindowCascade, *WindowTile;
    QAction *HelpAbout;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    /// Runs a handler's work: errors become the error box, and rows in edit are posted first
    /// (postsEdits), so that no command drops what the user typed.
    void command(const std::function<void()> &work, bool postsEdits = true);
    /// Takes what is being typed into its field and posts every row in edit; false when one was refused.
    bool leaveEdits();
    void buildToolBar();
    void buildPages();
    void buildStatusBar();
    void buildMenu();
    void updateLinkItem();
    /// The window's part of a connection definition that went through.
    void afterConnectionsDefined();
    // The query's pages and command (KV_main_query.cpp).
    void buildQueryPages();
    void attachQueryPages();
    void resetQueryDefinition();
    QueryCommand &queryCommand();
    void showQueryResult(bool ok);
    void showRatioGraph(bool grouped);
    void buildRecordPages();
    void buildDataPage();
    /// Leaving the "Data" tab or another command: the sample datasets closed, the panel unbound.
    void closeSampleData();
    void afterRecordPagesConnected();

    WidgetInteraction m_widgetUi;
    Interaction *m_ui;
    TdmKVResults *m_dm = nullptr;
    ViewerConnections *m_connections = nullptr;
    PlotState m_plot;
    TfmSelPG *m_selPG = nullptr;
    TfmSelDI2 *m_selDI2 = nullptr;
    RecordView *m_recordView = nullptr;
    PageFormView *m_formView = nullptr;
    PageSamples *m_samples = nullptr;
    PageImages *m_images = nullptr;
    PageData *m_data = nullptr;
    QLabel *m_panels[2];
    bool m_shown = false;
    bool m_exitRequested = false;
    int m_currentTab = 0; // the tab shown before a change, to go back to when an edit was refused
    bool m_closed = false;
    std::unique_ptr<QueryCommand> m_query;
};

} // namespace kv
