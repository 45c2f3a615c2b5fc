// SPDX-License-Identifier: GPL-3.0-or-later
// The plot-settings windows and the date graph window: what they show, and what closing and saving write.
#include "controls/ui/chart_view.h"
#include "controls/ui/workbook_view.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "graphs/graph_closure.h"
#include "graphs/graph_date.h"
#include "graphs/graph_ratios.h"
#include "graphs/ui/KV_Seli.h"
#include "graphs/ui/KV_grph.h"
#include "graphs/ui/KV_grphi.h"
#include "graphs/ui/KV_grpht.h"
#include "graphs/ui/KV_selpg.h"
#include "graphs/ui/key_combo_box.h"
#include "main/connections.h"
#include "main/settings.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_main.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

void writeSettings(const QByteArray &text)
{
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// kvtool's standard output, or what went wrong.
QString kvtool(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(KV_KVTOOL), args);
    if (!tool.waitForFinished(180000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return u"kvtool failed: "_s + QString::fromUtf8(tool.readAllStandardError());
    return QString::fromUtf8(tool.readAllStandardOutput());
}

/// The viewer started on the databases of the data folder, its boxes scripted.
struct Viewer
{
    ScriptedInteraction ui;
    TfmRes fmRes;
    std::unique_ptr<TdmKVResults> dm;
    std::unique_ptr<ViewerConnections> connections;
    std::unique_ptr<TfmSelPG> selPG;

    Viewer()
    {
        fmRes.setInteraction(&ui);
        dm = std::make_unique<TdmKVResults>(fmRes.interaction());
        connections = std::make_unique<ViewerConnections>(*dm, fmRes.interaction());
        connections->bindInitial();
        selPG = std::make_unique<TfmSelPG>(fmRes.plotState(), fmRes.interaction(), dm.get(), &fmRes);
        fmRes.setPlotWindows(selPG.get(), nullptr);
        fmRes.attach(*dm, *connections);
        fmRes.show();
        QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
    }
    ~Viewer() { fmRes.FormClose(); }

    /// Graph > "Date grouped by Interpretation": the panel and the count of dates as kvtool prints them,
    /// read from the window the command opened; empty when no window opened.
    QStringList dateGraph()
    {
        QStringList figures;
        QObject shown; // the timer goes with it when no window opened
        QTimer::singleShot(0, &shown, [&] {
            auto *window = qobject_cast<TfmKVGraph *>(QApplication::activeModalWidget());
            if (!window)
                return;
            const PlotDateRange &range = fmRes.plotState().range;
            figures = {u"Mean\t"_s + window->eDate->text(),
                       u"+/-\t%1\tMa   (95% confidence)"_s.arg(window->eError->text()),
                       u"MSWD\t"_s + window->eMSWD->text(),
                       u"Probability of fit\t"_s + window->eProbabilityOfFit->text(),
                       u"MSWD (conventional)\t"_s + window->eMswdConventional->text(),
                       u"p(chi2)\t"_s + window->ePChi2->text(),
                       u"Mean with overdispersion\t%1\t+/-\t%2\tMa   (1 sigma)"_s.arg(window->eMeanRandom->text(),
                                                                                 window->eMeanRandomError->text()),
                       u"Dispersion\t%1\t+/-\t%2\tMa   (1 sigma)"_s.arg(window->eDispersion->text(),
                                                                   window->eDispersionError->text()),
                       u"# dates = %1, axis %2 to %3 Ma"_s.arg(dm->TempDataDI->recordCount())
                           .arg(range.PlotDateMin)
                           .arg(range.PlotDateMax)};
            window->accept();
        });
        fmRes.GraphDateByInterpretation->trigger();
        return figures;
    }
};

} // namespace

class TestGraphWindows : public QObject
{
    Q_OBJECT

private slots:
    void selPGShowsAndWrites();
    void selPGKeepsButtonForUnknownBasis();
    void selDI2WritesCheckedPlotsOnly();
    void graphWindow();
    void classificationClearsFlags();
    void windowAndKvtoolAgree();
    void graphFailureShowsOneBox();
    void ratioWindowTabs_data();
    void ratioWindowTabs();
    void ratioAndClosureMenus();
};

void TestGraphWindows::selPGShowsAndWrites()
{
    test::TempFolders folders;
    PlotState state;
    ScriptedInteraction ui;
    TfmSelPG window(state, ui);
    window.show();
    QCOMPARE(window.windowTitle(), u"Select plot groupings"_s);
    QCOMPARE(window.PageControl1->count(), 4);
    QCOMPARE(window.eGTitle[3]->text(), u"Reset (unknown)"_s);
    QCOMPARE(window.dblcbGa[0]->key(), u"Empl"_s); // not in the (missing) list: kept, no text shown
    QCOMPARE(window.dblcbGa[0]->currentText(), QString());
    QVERIFY(window.rbBasis[0]->isChecked());
    QCOMPARE(window.eMinimumUncertainty->text(), u"1.0"_s);

    // Leaving a bound edit converts its text at once, a decimal comma ending the number.
    window.eDa[1]->setText(u"950,5"_s);
    emit window.eDa[1]->editingFinished();
    QCOMPARE(window.groupings().DateMin[1], 950.0f);
    QCOMPARE(window.groupings().DateMinText[1], u"950,5"_s);

    window.eGTitle[0]->setText(u"Intrusion's age"_s);
    window.rbBasis[2]->setChecked(true);
    window.cbDateGroup[4]->setChecked(false);
    window.accept();
    IniFile file(settingsFilePath());
    QCOMPARE(file.value(u"Classification"_s, u"Group 1"_s), u"Intrusion's age"_s);
    QCOMPARE(file.value(u"Classification"_s, u"Group 1 lookup a"_s), u"Empl"_s);
    QCOMPARE(file.value(u"Classification"_s, u"Date 2 minimum"_s), u"950,5"_s);
    QCOMPARE(file.value(u"Classification"_s, u"Apply 5"_s), u"0"_s);
    QCOMPARE(file.value(u"Classification"_s, u"How grouped"_s), u"Terrane"_s);
    QCOMPARE(file.value(u"Graph settings"_s, u"Max Rows"_s), u"160"_s);
    // Closing does not refresh the titles the graphs read; the next load does.
    QCOMPARE(window.groupings().GroupTitle[0], u"Emplacement"_s);
    window.LoadPlotGroupings();
    QCOMPARE(window.groupings().GroupTitle[0], u"Intrusion's age"_s);
}

void TestGraphWindows::selPGKeepsButtonForUnknownBasis()
{
    test::TempFolders folders;
    writeSettings("[Classification]\r\nHow grouped=Province\r\n[Graph settings]\r\nMax Rows=500\r\n");
    PlotState state;
    ScriptedInteraction ui;
    TfmSelPG window(state, ui);
    window.show();
    QVERIFY(window.rbBasis[1]->isChecked());
    QCOMPARE(window.plotState().MaxRows, 500);
    window.accept();
    writeSettings("[Classification]\r\nHow grouped=province\r\n");
    window.show();
    QCOMPARE(window.groupings().HowGrouped, u"province"_s);
    QVERIFY(window.rbBasis[1]->isChecked()); // the button that was on stays on
    QCOMPARE(window.plotState().MaxRows, 500); // no key: the value of the run
    window.accept();
    QCOMPARE(IniFile(settingsFilePath()).value(u"Classification"_s, u"How grouped"_s), u"Province"_s);
}

void TestGraphWindows::selDI2WritesCheckedPlotsOnly()
{
    test::TempFolders folders;
    test::TestDatabase working(u"sqlite"_s);
    ScriptedInteraction ui;
    TdmKVResults dm(ui);
    createDatabases({test::TestDatabase(u"sqlite"_s).location(), working.location()}, true);
    dm.KVtmp.bind(working.location());
    dm.KVtmp.open();
    PlotState state;
    TfmSelDI2 window(state, ui, &dm);
    window.show();
    QCOMPARE(window.windowTitle(), u"Define graphs"_s);
    QCOMPARE(window.axisText(2, true), u"Epsilon/Gamma"_s);
    QCOMPARE(window.axisText(3, false), u"Date (Ma)"_s);
    QVERIFY(!window.cbP[0]->isChecked() && !window.cbP[1]->isChecked() && !window.cbP[2]->isChecked());
    window.dblcbPY[0]->setKey(u"MU"_s);
    window.dblcbPY[1]->setKey(u"I"_s);
    window.cbP[1]->setChecked(true);
    window.accept();
    IniFile file(settingsFilePath());
    QCOMPARE(file.keys(u"Plot axes"_s), (QStringList{u"Plot 2 X axis"_s, u"Plot 2 Y axis"_s}));
    QCOMPARE(file.value(u"Plot axes"_s, u"Plot 2 Y axis"_s), u"I"_s);
    window.closeVariablesList();
    QVERIFY(!window.VariablesList->isOpen());
}

void TestGraphWindows::graphWindow()
{
    test::TempFolders folders;
    DateGraph graph;
    graph.VtChDI.setRow(1);
    graph.VtChDI.setColumn(3);
    graph.VtChDI.setData(u"1500"_s);
    graph.SSDI.setRow(1);
    graph.SSDI.setCol(1);
    graph.SSDI.setText(u"Emplacement"_s);
    graph.eDate = u" 1500.00"_s;
    graph.eMSWD = u" 1.20"_s;
    graph.groupingTabsVisible = false;
    graph.saveEnabled = true;
    ScriptedInteraction ui;
    TfmKVGraph window(graph, ui);
    window.show();
    QCOMPARE(window.windowTitle(), u"Date grouped by Interpretation"_s);
    QCOMPARE(window.pc1->currentWidget(), window.tsDI);
    QStringList tabs;
    for (int i = 0; i < window.pc1->count(); ++i)
        if (window.pc1->isTabVisible(i))
            tabs << window.pc1->tabText(i);
    QCOMPARE(tabs, (QStringList{u"Interpretation"_s, u"Interpretation histogram"_s, u"Kernel density"_s,
                                u"Radial plot"_s, u"Spreadsheet"_s}));
    QCOMPARE(window.eDate->text(), u" 1500.00"_s);
    QCOMPARE(window.eMSWD->text(), u" 1.20"_s);
    QCOMPARE(window.VtChDI->grid().value(1, 3), 1500.0);
    QVERIFY(window.bbSave->isEnabled());

    // Save: cancelled writes nothing; the second filter entry writes Excel 5.
    window.bbSaveClick();
    const QString path = QDir(folders.path()).filePath(u"curves"_s);
    ui.queueFiles({{path, 1}});
    window.bbSaveClick();
    QVERIFY(ui.texts(u"error"_s).isEmpty());
    Workbook read;
    int type = 0;
    read.readWorkbook(path + u".XLS"_s, type);
    QCOMPARE(type, 4);
    read.setRow(1);
    read.setCol(1);
    QCOMPARE(read.text(), u"Emplacement"_s);
}

void TestGraphWindows::classificationClearsFlags()
{
    test::TempFolders folders;
    ScriptedInteraction ui;
    TfmRes fmRes;
    fmRes.setInteraction(&ui);
    TdmKVResults dm(fmRes.interaction());
    ViewerConnections connections(dm, fmRes.interaction());
    connections.bindInitial();
    fmRes.attach(dm, connections);
    TfmSelPG selPG(fmRes.plotState(), fmRes.interaction(), &dm, &fmRes);
    fmRes.setPlotWindows(&selPG, nullptr);
    QVERIFY(fmRes.OptionsClassification->isEnabled());
    QVERIFY(fmRes.GraphDateByInterpretation->isEnabled());
    dm.DateDataCurrent = dm.GroupedDateDataCurrent = dm.MapDataCurrent = true;
    QTimer::singleShot(0, &selPG, [&selPG] {
        QVERIFY(selPG.isVisible());
        selPG.accept();
    });
    fmRes.OptionsClassification->trigger();
    QVERIFY(!dm.DateDataCurrent && !dm.GroupedDateDataCurrent && !dm.MapDataCurrent);
    QVERIFY(QFile::exists(settingsFilePath())); // closing wrote the settings
}

void TestGraphWindows::windowAndKvtoolAgree()
{
    test::TempFolders folders;
    const QString demo = kvtool({u"demo"_s});
    QVERIFY2(!demo.startsWith(u"kvtool failed"_s), qPrintable(demo));
    Viewer viewer;
    viewer.fmRes.QueryExecute->trigger();
    QCOMPARE(viewer.ui.texts(u"error"_s), QStringList());
    const QStringList before = viewer.dateGraph();
    QCOMPARE(before.size(), 9);

    // The user moves the lunar model ages into group 3 and widens the curves.
    QTimer::singleShot(0, viewer.selPG.get(), [&viewer] {
        TfmSelPG &window = *viewer.selPG;
        window.dblcbGa[2]->setKey(u"MdlR0"_s);
        window.dblcbGb[2]->setKey(u"CrsRs"_s);
        window.eMinimumUncertainty->setText(u"25"_s);
        window.accept();
    });
    viewer.fmRes.OptionsClassification->trigger();
    const QStringList after = viewer.dateGraph();
    QVERIFY2(after != before, qPrintable(after.join(u" | "_s)));
    QVERIFY2(!after[8].startsWith(u"# dates = 0,"_s), qPrintable(after[8]));
    QCOMPARE(viewer.fmRes.plotState().groupings.GroupLookupA[2], u"MdlR0"_s);

    // kvtool on the same databases and settings file prints what the window shows.
    // It prints the query's text first, then the record count and the panel.
    const QStringList out = kvtool({u"--no"_s, u"graph"_s, u"date"_s}).split(u'\n', Qt::SkipEmptyParts);
    const qsizetype count = out.indexOf(QRegularExpression(u"^# records = \\d+$"_s));
    QVERIFY2(count >= 0, qPrintable(out.join(u'\n')));
    // The kernel density bandwidths it adds are in the window's spreadsheet, not in its panel.
    QStringList printed = out.mid(count + 1);
    printed.removeIf([](const QString &line) { return line.startsWith(u"Kernel density bandwidth\t"_s); });
    QCOMPARE(printed, after);
    QCOMPARE(viewer.ui.texts(u"error"_s), QStringList());
}

void TestGraphWindows::graphFailureShowsOneBox()
{
    test::TempFolders folders;
    createDatabases(defaultLocations(), false);
    Viewer viewer;
    viewer.dm->KVtmp.exec(u"drop table KVTemp2"_s); // the working table cannot be emptied
    viewer.ui.clear();
    QVERIFY(viewer.dateGraph().isEmpty()); // no window
    // The command throws; the main window's one guard shows it, once, in the error box.
    const QStringList messages = viewer.ui.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(u"error: The working table KVTemp2 could not be emptied"_s),
             qPrintable(messages[0]));
    QCOMPARE(viewer.ui.texts(u"progress"_s).last(), QString());
}

void TestGraphWindows::ratioWindowTabs_data()
{
    QTest::addColumn<QList<bool>>("drawn");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("tabs");
    QTest::newRow("no plot") << QList<bool>{false, false, false} << u"tsSpreadSheet"_s << QStringList{u"Spreadsheet"_s};
    QTest::newRow("plots 2 and 3") << QList<bool>{false, true, true} << u"ts2"_s
                                   << QStringList{u"Initial ratio 2"_s, u"Initial ratio 3"_s, u"Spreadsheet"_s};
}

void TestGraphWindows::ratioWindowTabs()
{
    QFETCH(QList<bool>, drawn);
    QFETCH(QString, current);
    QFETCH(QStringList, tabs);
    test::TempFolders folders;
    RatioGraph graph;
    for (int n = 0; n < 3; ++n)
        graph.ShowPlot[n] = drawn[n];
    graph.saveEnabled = true;
    graph.SSI.setSheet(2);
    graph.SSI.setRow(1);
    graph.SSI.setCol(1);
    graph.SSI.setText(u"Unit"_s);
    ScriptedInteraction ui;
    TfmKVGraphI window(graph, ui);
    window.show();
    QCOMPARE(window.pc1->currentWidget()->objectName(), current);
    QStringList visible;
    for (int i = 0; i < window.pc1->count(); ++i)
        if (window.pc1->isTabVisible(i))
            visible << window.pc1->tabText(i);
    QCOMPARE(visible, tabs);
    // Save writes every sheet.
    const QString path = QDir(folders.path()).filePath(u"ratios.xls"_s);
    ui.queueFiles({{path, 0}});
    window.bbSaveClick();
    Workbook read;
    int type = 0;
    read.readWorkbook(path, type);
    QCOMPARE(type, 11);
    QCOMPARE(read.numSheets(), 3);
    read.setSheet(2);
    read.setRow(1);
    read.setCol(1);
    QCOMPARE(read.text(), u"Unit"_s);
}

void TestGraphWindows::ratioAndClosureMenus()
{
    test::TempFolders folders;
    const QString demo = kvtool({u"demo"_s});
    QVERIFY2(!demo.startsWith(u"kvtool failed"_s), qPrintable(demo));
    Viewer viewer;
    TfmSelDI2 selDI2(viewer.fmRes.plotState(), viewer.fmRes.interaction(), viewer.dm.get(), &viewer.fmRes);
    viewer.fmRes.setPlotWindows(viewer.selPG.get(), &selDI2);
    viewer.ui.setDefaultAnswer(Interaction::Answer::Yes);
    viewer.fmRes.QueryExecute->trigger();
    QVERIFY(viewer.fmRes.GraphRatios->isEnabled());
    QVERIFY(viewer.fmRes.GraphClosureT->isEnabled());

    // "Define graphs" is shown first; plot 2 ticked with its stored axes (date against epsilon).
    QString caption;
    int points = 0;
    QObject shown;
    QTimer::singleShot(0, &shown, [&] {
        QCOMPARE(QApplication::activeModalWidget(), &selDI2);
        selDI2.cbP[1]->setChecked(true);
        QTimer::singleShot(0, &shown, [&] {
            auto *window = qobject_cast<TfmKVGraphI *>(QApplication::activeModalWidget());
            if (!window)
                return;
            caption = window->pc1->tabText(window->pc1->currentIndex());
            points = window->VtChDI[1]->grid().seriesCount();
            window->accept();
        });
        selDI2.accept();
    });
    viewer.fmRes.GraphRatios->trigger();
    QCOMPARE(caption, u"Date (Ma) vs Epsilon/Gamma (T)"_s);
    QVERIFY(points > 0);
    QVERIFY(!selDI2.VariablesList->isOpen());

    QString tab;
    QTimer::singleShot(0, &shown, [&] {
        auto *window = qobject_cast<TfmKVGraphT *>(QApplication::activeModalWidget());
        if (!window)
            return;
        tab = window->pc1->tabText(window->pc1->currentIndex());
        window->accept();
    });
    viewer.fmRes.GraphClosureT->trigger();
    QCOMPARE(tab, u"Date vs Closure T"_s);
    QCOMPARE(viewer.ui.texts(u"error"_s), QStringList());
}

QTEST_MAIN(TestGraphWindows)
#include "tst_graph_windows.moc"
