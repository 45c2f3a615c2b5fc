// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_main.h"

#include "core/guard.h"
#include "data/dmKV.h"
#include "controls/workbook.h"
#include "data/aliases.h"
#include "data/installation.h"
#include "exchange/gis_export.h"
#include "exchange/ui/Gen_sht.h"
#include "exchange/strat_table.h"
#include "exchange/ui/KV_import.h"
#include "exchange/ui/KV_strat.h"
#include "graphs/graph_closure.h"
#include "graphs/graph_date.h"
#include "graphs/graph_map.h"
#include "graphs/graph_ratios.h"
#include "graphs/ui/KV_Seli.h"
#include "graphs/ui/KV_Map.h"
#include "graphs/ui/KV_grph.h"
#include "graphs/ui/KV_grphi.h"
#include "graphs/ui/KV_grpht.h"
#include "graphs/ui/KV_selpg.h"
#include "main/connections.h"
#include "main/query_command.h"
#include "main/record_commands.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_ReferTo.h"
#include "main/ui/KV_about.h"
#include "main/ui/page_checks.h"
#include "main/ui/page_define_query.h"
#include "reports/KV_rp_Summary.h"
#include "reports/ui/KV_rbPreview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace kv {

TfmRes::TfmRes(QWidget *parent) : QMainWindow(parent), m_widgetUi(this), m_ui(&m_widgetUi)
{
    setObjectName(u"fmRes"_s);
    setWindowTitle(u"Kelvora :  Geochronology database viewer"_s);
    // The platform's font rather than the design's Arial 8: menus and dialogs use it too.
    m_widgetUi.setProgressPanel([this](const QString &text) { setProgressText(text); });
    buildToolBar();
    buildPages();
    buildStatusBar();
    buildMenu();
    resize(789, 528 + menuBar()->sizeHint().height());
}

TfmRes::~TfmRes() = default;

void TfmRes::setInteraction(Interaction *ui)
{
    m_ui = ui ? ui : &m_widgetUi;
    m_query.reset(); // made again on the new interaction
    pgDefineQuery->setInteraction(m_ui);
}

void TfmRes::setBusyWindow(TfmProcessing *window)
{
    m_widgetUi.setBusyWindow(window);
}

void TfmRes::setPlotWindows(TfmSelPG *selPG, TfmSelDI2 *selDI2)
{
    m_selPG = selPG;
    m_selDI2 = selDI2;
}

void TfmRes::GraphDateGroupedByInterpretationClick()
{
    if (!m_dm)
        return;
    command([this] {
        DateGraph graph;
        try {
            DateGraphCommand(*m_dm, *m_ui, m_plot).run(pgDefineQuery->definition(), graph);
        } catch (const Error &) {
            m_ui->progress(QString()); // the panel does not keep the phase that failed
            throw;
        }
        TfmKVGraph window(graph, *m_ui, this);
        window.exec();
    });
}

void TfmRes::GraphInitialAndModelRatiosClick()
{
    showRatioGraph(false);
}

void TfmRes::GraphInitialAndModelRatiosGroupedClick()
{
    showRatioGraph(true);
}

void TfmRes::showRatioGraph(bool grouped)
{
    if (!m_dm)
        return;
    command([this, grouped] {
        RatioGraph graph;
        // "Define graphs" is asked each time, once the working table is emptied.
        const auto defineGraphs = [this] {
            RatioPlots plots;
            if (!m_selDI2)
                return plots;
            m_selDI2->exec();
            for (int n = 1; n <= PlotAxes::Plots; ++n)
                plots[n - 1] = {m_selDI2->cbP[n - 1]->isChecked(), m_selDI2->axisText(n, false),
                                m_selDI2->axisText(n, true)};
            return plots;
        };
        try {
            RatioGraphCommand(*m_dm, *m_ui, m_plot).run(pgDefineQuery->definition(), defineGraphs, grouped, graph);
        } catch (const Error &) {
            m_ui->progress(QString()); // the panel does not keep the phase that failed
            if (m_selDI2)
                m_selDI2->closeVariablesList();
            throw;
        }
        if (m_selDI2)
            m_selDI2->closeVariablesList();
        TfmKVGraphI window(graph, *m_ui, this);
        window.exec();
    });
}

void TfmRes::GraphBlockingTClick()
{
    if (!m_dm)
        return;
    command([this] {
        ClosureGraph graph;
        try {
            ClosureGraphCommand(*m_dm, *m_ui, m_plot).run(pgDefineQuery->definition(), graph);
        } catch (const Error &) {
            m_ui->progress(QString()); // the panel does not keep the phase that failed
            throw;
        }
        TfmKVGraphT window(graph, *m_ui, this);
        window.exec();
    });
}

void TfmRes::GraphMapClick()
{
    if (!m_dm)
        return;
    command([this] {
        LocalityMap map;
        try {
            MapCommand(*m_dm, *m_ui, m_plot).run(pgDefineQuery->definition(), map);
        } catch (const Error &) {
            m_ui->progress(QString()); // the panel does not keep the phase that failed
            throw;
        }
        TfmKVMap window(map, this);
        window.exec();
    });
}

void TfmRes::FileExportClick()
{
    command(
        [this] {
            TfmGenSheet window(*m_ui, m_dm ? &m_dm->KVResults : nullptr, this);
            window.generator().flags = NumericColumnFlags::all();
            window.exec();
        },
        false);
}

void TfmRes::FileExportGISClick()
{
    if (!m_dm)
        return;
    command([this] {
        const QStringList filters = gisDialogFilters();
        const auto choice = m_ui->saveFile(u"GIS Localities"_s, filters, QString(), u"localities.geojson"_s);
        if (!choice)
            return;
        // The name's extension says the format; a bare name takes the entry chosen.
        QString path = choice->path;
        const QStringList suffixes{u"geojson"_s, u"kml"_s, u"csv"_s};
        if (QFileInfo(path).suffix().isEmpty())
            path += u'.' + suffixes.value(choice->filterIndex, suffixes.first());
        m_ui->busy(u"Writing localities ...."_s);
        GisExportResult result;
        try {
            result = exportGisLocalities(*m_dm, gisFormatOf(path), path);
        } catch (const Error &) {
            m_ui->busyDone();
            throw;
        }
        m_ui->busyDone();
        m_ui->information(gisExportMessage(result, path));
    });
}

void TfmRes::FileImportSpreadsheetClick()
{
    if (!m_dm)
        return;
    command([this] {
        TfmKVImport window(*m_dm, *m_ui, this);
        window.exec();
    });
}

void TfmRes::FileStratigraphicTableClick()
{
    if (!m_dm)
        return;
    command([this] {
        Workbook workbook;
        try {
            m_ui->progress(u"Duplicating query"_s);
            const QStringList lines = stratQueryLines(m_dm->Query1->sql());
            pgChecks->mmQuery->setPlainText(lines.join(u'\n'));
            Connection lan(u"KVLAN"_s);
            lan.bind(AliasRegistry::load().location(u"KVLAN"_s));
            openExisting(lan, DatabaseKind::Results);
            fillStratigraphicTable(lan, lines, workbook, *m_ui);
        } catch (const Error &) {
            m_ui->progress(QString()); // the panel does not keep the phase that failed
            throw;
        }
        m_ui->progress(QString());
        TfmStrat window(workbook, *m_ui, this);
        window.exec();
    });
}

void TfmRes::OptionsGraphClassificationClick()
{
    if (!m_selPG)
        return;
    command(
        [this] {
            m_selPG->exec();
            // The next graph rebuilds its working data with the new settings.
            if (m_dm)
                m_dm->clearCurrentDataFlags();
        },
        false);
}

void TfmRes::attach(TdmKVResults &dm, ViewerConnections &connections)
{
    m_dm = &dm;
    m_connections = &connections;
    connections.onConnectionPanel = [this](const QString &text) {
        m_panels[0]->setText(text);
        m_panels[0]->repaint();
    };
    connections.onShowReferTo = [this](Dataset &referTo) { ShowReferTo(referTo); };
    m_query.reset();
    attachQueryPages();
    buildRecordPages();
}

void TfmRes::buildToolBar()
{
    ToolBar1 = addToolBar(u"Tools"_s);
    ToolBar1->setObjectName(u"ToolBar1"_s);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbExit = ToolBar1->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), u"Exit"_s);
    tbExit->setToolTip(u"Exit"_s);
    connect(tbExit, &QAction::triggered, this, &TfmRes::ExitClick);
    ToolBar1->addSeparator();
    bbApplyGroup = new QPushButton(u"Apply Group Descriptor"_s, ToolBar1);
    bbApplyGroup->setEnabled(false); // the record commands enable it
    ToolBar1->addWidget(bbApplyGroup);
    eApplyGroup = new QLineEdit(ToolBar1);
    eApplyGroup->setMaxLength(20);
    eApplyGroup->setFixedWidth(150);
    eApplyGroup->setToolTip(u"Group descriptor to apply"_s);
    ToolBar1->addWidget(eApplyGroup);
    auto *spacer = new QWidget(ToolBar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar1->addWidget(spacer);
    lNumRecords = new QLabel(u"# records = "_s, ToolBar1);
    ToolBar1->addWidget(lNumRecords);
    eNumRecords = new QLineEdit(ToolBar1);
    eNumRecords->setReadOnly(true);
    eNumRecords->setFixedWidth(80);
    eNumRecords->setAlignment(Qt::AlignRight);
    ToolBar1->addWidget(eNumRecords);
}

void TfmRes::buildPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(u"PageControl1"_s);
    // Every tab stays in sight; the window is as wide as they need.
    PageControl1->setUsesScrollButtons(false);
    const auto page = [this](const QString &name, const QString &caption) {
        auto *widget = new QWidget(PageControl1);
        widget->setObjectName(name);
        PageControl1->addTab(widget, caption);
        return widget;
    };
    tsDefineQuery = page(u"tsDefineQuery"_s, u"Define Query"_s);
    tsFormView = page(u"tsFormView"_s, u"Form View"_s);
    tsSamples = page(u"tsSamples"_s, u"Samples"_s);
    tsReferences = page(u"tsReferences"_s, u"References"_s);
    tsAssociations = page(u"tsAssociations"_s, u"Associations"_s);
    tsStatistics = page(u"tsStatistics"_s, u"Statistics"_s);
    tsImages = page(u"tsImages"_s, u"Images"_s);
    tsOffsets = page(u"tsOffsets"_s, u"Offsets"_s);
    tsData = page(u"tsData"_s, u"Data"_s);
    tsChecks = page(u"tsChecks"_s, u"Checks"_s);
    tsDeveloper = page(u"tsDeveloper"_s, u"Developer"_s);
    setCentralWidget(PageControl1);
    buildQueryPages();
}

void TfmRes::buildStatusBar()
{
    const int widths[2] = {150, 450};
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(statusBar());
        m_panels[i]->setObjectName(u"StatusPanel%1"_s.arg(i));
        m_panels[i]->setFixedWidth(widths[i]);
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(m_panels[i]);
    }
}

QLabel *TfmRes::statusPanel(int index) const
{
    return index >= 0 && index < 2 ? m_panels[index] : nullptr;
}

void TfmRes::setProgressText(const QString &text)
{
    m_panels[1]->setText(text);
    m_panels[1]->repaint(); // shown now, while the command keeps the thread busy
}

void TfmRes::buildMenu()
{
    // Items whose commands are not part of this window yet stay disabled.
    const auto item = [this](QMenu *menu, const QString &caption, bool enabled = false) {
        QAction *action = menu->addAction(caption);
        action->setEnabled(enabled);
        return action;
    };
    QMenuBar *bar = menuBar();

    mnFile = bar->addMenu(u"&File"_s);
    mnExport = mnFile->addMenu(u"&Export"_s);
    FileExportExcel = item(mnExport, u"&Excel spreadsheet"_s, true);
    connect(FileExportExcel, &QAction::triggered, this, &TfmRes::FileExportClick);
    FileExportGIS = item(mnExport, u"GIS Localities"_s, true);
    connect(FileExportGIS, &QAction::triggered, this, &TfmRes::FileExportGISClick);
    FileExportStratTable = item(mnExport, u"&Stratigraphic table"_s, true);
    connect(FileExportStratTable, &QAction::triggered, this, &TfmRes::FileStratigraphicTableClick);
    FileImportExcel = item(mnFile, u"&Import Excel spreadsheet"_s, true);
    connect(FileImportExcel, &QAction::triggered, this, &TfmRes::FileImportSpreadsheetClick);
    FilePrint = item(mnFile, u"&Print"_s, true);
    connect(FilePrint, &QAction::triggered, this, &TfmRes::FilePrint1Click);
    mnFile->addSeparator();
    FileExit = item(mnFile, u"E&xit"_s, true);
    connect(FileExit, &QAction::triggered, this, &TfmRes::ExitClick);

    mnEdit = bar->addMenu(u"&Edit"_s);
    EditNewRecord = item(mnEdit, u"&New record"_s);
    EditDeleteRecord = item(mnEdit, u"&Delete record"_s);
    EditNextRecordID = item(mnEdit, u"Get next available Record&ID"_s);
    mnNewEquivalent = mnEdit->addMenu(u"New &equivalent record for"_s);
    EditEquivalentTDM = item(mnNewEquivalent, u"T(&DM)"_s);
    mnEdit->addSeparator();
    EditLookupTables = item(mnEdit, u"&Lookup tables"_s);
    EditUpdateGroupList = item(mnEdit, u"&Update Group Descriptor list"_s, true);
    connect(EditUpdateGroupList, &QAction::triggered, this, &TfmRes::UpdateGroupDescriptorListClick);
    mnEdit->addSeparator();
    EditConvertDecayConstants = item(mnEdit, u"Convert to current decay &constants"_s);
    mnRecalculate = mnEdit->addMenu(u"&Recalculate"_s);
    EditRecalcEpsilonThis = item(mnRecalculate, u"Epsilon/Gamma for this record"_s);
    EditRecalcModelThis = item(mnRecalculate, u"Model age for this record"_s);
    EditRecalcEpsilonAll = item(mnRecalculate, u"Epsilon/Gamma for all records"_s);
    EditRecalcModelAll = item(mnRecalculate, u"Model ages for all records"_s);
    EditRecalcIsochronThis = item(mnRecalculate, u"Isochron age for this record"_s);
    EditRecalcIsochronAll = item(mnRecalculate, u"Isochron age for all records"_s);

    // The menu title itself runs the query.
    QueryExecute = bar->addAction(u"&Query"_s);
    connect(QueryExecute, &QAction::triggered, this, &TfmRes::QueryExecuteClick);

    mnGraph = bar->addMenu(u"&Graph"_s);
    GraphDateByInterpretation = item(mnGraph, u"&Date grouped by Interpretation"_s, true);
    connect(GraphDateByInterpretation, &QAction::triggered, this, &TfmRes::GraphDateGroupedByInterpretationClick);
    GraphRatios = item(mnGraph, u"&Initial and model ratios"_s, true);
    connect(GraphRatios, &QAction::triggered, this, &TfmRes::GraphInitialAndModelRatiosClick);
    // Enabled by a query that chooses a value of a grouping basis.
    GraphRatiosGrouped = item(mnGraph, u"Initial and model ratios (&Grouped)"_s);
    connect(GraphRatiosGrouped, &QAction::triggered, this, &TfmRes::GraphInitialAndModelRatiosGroupedClick);
    GraphMap = item(mnGraph, u"&Map of sample localities"_s, true);
    connect(GraphMap, &QAction::triggered, this, &TfmRes::GraphMapClick);
    GraphClosureT = item(mnGraph, u"Date vs Closure &T"_s, true);
    connect(GraphClosureT, &QAction::triggered, this, &TfmRes::GraphBlockingTClick);

    mnOptions = bar->addMenu(u"&Options"_s);
    OptionsClassification = item(mnOptions, u"Graph &classification"_s, true);
    connect(OptionsClassification, &QAction::triggered, this, &TfmRes::OptionsGraphClassificationClick);
    OptionsLinkLAN = item(mnOptions, u"Link to &LAN database"_s, true);
    OptionsLinkLAN->setCheckable(true);
    connect(OptionsLinkLAN, &QAction::triggered, this, &TfmRes::LinkToLANClick);

    mnWindow = bar->addMenu(u"&Window"_s);
    WindowCascade = item(mnWindow, u"&Cascade"_s);
    WindowTile = item(mnWindow, u"&Tile"_s);
    mnWindow->menuAction()->setVisible(false);
    mnWindow->menuAction()->setEnabled(false);

    mnHelp = bar->addMenu(u"&Help"_s);
    HelpAbout = item(mnHelp, u"&About"_s, true);
    connect(HelpAbout, &QAction::triggered, this, &TfmRes::AboutClick);
}

void TfmRes::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Start up once the window is on the screen, so that boxes shown meanwhile have it as their owner.
    QTimer::singleShot(0, this, &TfmRes::FormShow);
}

void TfmRes::FormShow()
{
    PageControl1->setCurrentWidget(tsDefineQuery);
    bbApplyGroup->setEnabled(false);
    if (!m_connections)
        return;
    command(
        [this] {
            m_connections->readSettings();
            updateLinkItem();
            m_connections->defineConnections();
            afterConnectionsDefined();
        },
        false);
    command(
        [this] {
            updateLinkItem();
            resetQueryDefinition();
            eNumRecords->clear();
            PageControl1->setCurrentWidget(tsDefineQuery);
        },
        false);
}

void TfmRes::updateLinkItem()
{
    const ViewerSettings &s = m_connections->settings();
    OptionsLinkLAN->setChecked(s.lanSelected());
    OptionsLinkLAN->setEnabled(s.LanPossible);
}

void TfmRes::afterConnectionsDefined()
{
    pgDefineQuery->reloadLists();
    PageControl1->setCurrentWidget(tsDefineQuery);
    afterRecordPagesConnected();
}

void TfmRes::LinkToLANClick()
{
    if (!m_connections)
        return;
    // Linking closes every dataset: what is in edit is posted first, or the link waits.
    bool stored = true;
    guarded(*m_ui, [&] { stored = leaveEdits(); });
    if (!stored) {
        OptionsLinkLAN->setChecked(m_connections->settings().lanSelected());
        return;
    }
    command(
        [this] {
            m_connections->link();
            afterConnectionsDefined();
        },
        false);
    // The check mark follows the state stored, whether or not the databases could be reached.
    OptionsLinkLAN->setChecked(m_connections->settings().lanSelected());
}

void TfmRes::UpdateGroupDescriptorListClick()
{
    if (!m_dm)
        return;
    command([this] { rebuildGroupingList(*m_dm); });
}

void TfmRes::AboutClick()
{
    command(
        [this] {
            TAboutBox about(this);
            about.exec();
        },
        false);
}

void TfmRes::FilePrint1Click()
{
    if (!m_dm)
        return;
    command([this] {
        // The report's datasets are open while the launcher is shown, and closed also when it fails.
        const ReportDatasets datasets(*m_dm);
        TfmPreview launcher(*m_dm, *m_ui, this);
        launcher.exec();
    });
}

void TfmRes::ShowReferTo(Dataset &referTo)
{
    TfmReferTo window(referTo, *m_ui, this);
    window.exec();
}

void TfmRes::ExitClick()
{
    // Closing asks about an edit that cannot be stored; only then are the connections dropped.
    m_exitRequested = true;
    if (!close())
        m_exitRequested = false;
}

void TfmRes::FormClose()
{
    if (m_closed || !m_connections)
        return;
    m_closed = true;
    guarded(*m_ui, [this] { m_connections->shutDown(); });
}

void TfmRes::closeEvent(QCloseEvent *event)
{
    bool leave = true;
    guarded(*m_ui, [&] {
        if (m_dm && !m_closed && hasPendingEdits(*m_dm) && !leaveEdits())
            leave = m_ui->askYesNo(u"The record being edited could not be stored. Close anyway and lose "
                                   u"the change?"_s);
    });
    if (!leave) {
        event->ignore();
        return;
    }
    if (m_exitRequested && m_connections && !m_closed)
        m_connections->disconnectQuietly();
    FormClose();
    event->accept();
}

} // namespace kv
