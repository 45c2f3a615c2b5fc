// SPDX-License-Identifier: GPL-3.0-or-later
// The main window coming up and going down on real databases, and the small windows it shows.
#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_ReferTo.h"
#include "main/ui/KV_about.h"
#include "main/ui/KV_main.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

/// The program's start-up objects, with a scripted interaction in place of message boxes.
struct Program
{
    test::TempFolders folders;
    ScriptedInteraction ui;
    TfmRes fmRes;
    std::unique_ptr<TdmKVResults> dm;
    std::unique_ptr<ViewerConnections> connections;

    Program()
    {
        fmRes.setInteraction(&ui);
        dm = std::make_unique<TdmKVResults>(fmRes.interaction());
        connections = std::make_unique<ViewerConnections>(*dm, fmRes.interaction());
        connections->bindInitial();
        fmRes.attach(*dm, *connections);
    }
    void start()
    {
        fmRes.show();
        QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty() || !ui.texts(u"error"_s).isEmpty());
    }
};

// Every item of a menu as "Menu > Item", with "(off)" after disabled ones and "(hidden)" after hidden ones.
void listMenu(const QString &path, const QList<QAction *> &actions, QStringList &out)
{
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        const QString name = path.isEmpty() ? action->text() : path + u" > "_s + action->text();
        out << name + (action->isEnabled() ? u""_s : u" (off)"_s) +
                   (action->isVisible() ? u""_s : u" (hidden)"_s);
        if (action->menu())
            listMenu(name, action->menu()->actions(), out);
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void frame();
    void startsOnLocalDatabase();
    void missingDatabaseLeavesWindowUsable();
    void exitDisconnectsAndWritesSettings();
    void busyWindow();
    void aboutBox();
    void acknowledgementWindow();
};

void TestMainWindow::frame()
{
    test::TempFolders folders;
    TfmRes w;
    QCOMPARE(w.windowTitle(), u"Kelvora :  Geochronology database viewer"_s);
    QStringList tabs;
    for (int i = 0; i < w.PageControl1->count(); ++i)
        tabs << w.PageControl1->tabText(i);
    QCOMPARE(tabs, (QStringList{u"Define Query"_s, u"Form View"_s, u"Samples"_s, u"References"_s,
                                u"Associations"_s, u"Statistics"_s, u"Images"_s, u"Offsets"_s, u"Data"_s,
                                u"Checks"_s, u"Developer"_s}));
    QStringList menu;
    listMenu({}, w.menuBar()->actions(), menu);
    QCOMPARE(menu, (QStringList{
                       u"&File"_s,
                       u"&File > &Export"_s,
                       u"&File > &Export > &Excel spreadsheet"_s,
                       u"&File > &Export > GIS Localities"_s,
                       u"&File > &Export > &Stratigraphic table"_s,
                       u"&File > &Import Excel spreadsheet"_s,
                       u"&File > &Print"_s,
                       u"&File > E&xit"_s,
                       u"&Edit"_s,
                       u"&Edit > &New record (off)"_s,
                       u"&Edit > &Delete record (off)"_s,
                       u"&Edit > Get next available Record&ID (off)"_s,
                       u"&Edit > New &equivalent record for"_s,
                       u"&Edit > New &equivalent record for > T(&DM) (off)"_s,
                       u"&Edit > &Lookup tables (off)"_s,
                       u"&Edit > &Update Group Descriptor list"_s,
                       u"&Edit > Convert to current decay &constants (off)"_s,
                       u"&Edit > &Recalculate"_s,
                       u"&Edit > &Recalculate > Epsilon/Gamma for this record (off)"_s,
                       u"&Edit > &Recalculate > Model age for this record (off)"_s,
                       u"&Edit > &Recalculate > Epsilon/Gamma for all records (off)"_s,
                       u"&Edit > &Recalculate > Model ages for all records (off)"_s,
                       u"&Edit > &Recalculate > Isochron age for this record (off)"_s,
                       u"&Edit > &Recalculate > Isochron age for all records (off)"_s,
                       u"&Query"_s,
                       u"&Graph"_s,
                       u"&Graph > &Date grouped by Interpretation"_s,
                       u"&Graph > &Initial and model ratios"_s,
                       u"&Graph > Initial and model ratios (&Grouped) (off)"_s,
                       u"&Graph > &Map of sample localities"_s,
                       u"&Graph > Date vs Closure &T"_s,
                       u"&Options"_s,
                       u"&Options > Graph &classification"_s,
                       u"&Options > Link to &LAN database"_s,
                       u"&Window (off) (hidden)"_s,
                       u"&Window > &Cascade (off)"_s,
                       u"&Window > &Tile (off)"_s,
                       u"&Help"_s,
                       u"&Help > &About"_s,
                   }));
    QCOMPARE(w.tbExit->toolTip(), u"Exit"_s);
    QCOMPARE(w.bbApplyGroup->text(), u"Apply Group Descriptor"_s);
    QCOMPARE(w.lNumRecords->text(), u"# records = "_s);
    QVERIFY(w.eNumRecords->isReadOnly());
    QCOMPARE(w.statusPanel(0)->width(), 150);
    QCOMPARE(w.statusPanel(1)->width(), 450);
    w.setProgressText(u"Reading dates ..."_s);
    QCOMPARE(w.statusPanel(1)->text(), u"Reading dates ..."_s);
}

void TestMainWindow::startsOnLocalDatabase()
{
    Program p;
    createDatabases(defaultLocations(), false);
    p.start();
    QCOMPARE(p.ui.messages(), QStringList());
    QCOMPARE(p.fmRes.statusPanel(0)->text(), u"Local database"_s);
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsDefineQuery);
    QVERIFY(!p.fmRes.bbApplyGroup->isEnabled());
    QVERIFY(p.fmRes.eNumRecords->text().isEmpty());
    // No LAN section: the link item is unchecked and cannot be used.
    QVERIFY(!p.fmRes.OptionsLinkLAN->isChecked());
    QVERIFY(!p.fmRes.OptionsLinkLAN->isEnabled());
    QVERIFY(p.dm->Query1->isOpen() && p.dm->GroupLst->isOpen());

    p.fmRes.close();
    QVERIFY(!p.dm->Query1->isOpen());
    QVERIFY(!p.dm->KVResults.isOpen() && !p.dm->KVtmp.isOpen());
    const IniFile settings(settingsFilePath());
    QCOMPARE(settings.value(u"Database Type"_s, u"DatabaseID"_s), u"1"_s);
    QCOMPARE(settings.value(u"LAN Implementation"_s, u"LanPossible"_s), u"0"_s);
    QCOMPARE(settings.value(u"Report setup"_s, u"Rave file"_s), u"C:\\KLV\\Results30\\Kelvora.rav"_s);
}

void TestMainWindow::missingDatabaseLeavesWindowUsable()
{
    Program p;
    createDatabases(defaultLocations(), false);
    const QString missing = p.folders.path() + u"/lan/Results30"_s;
    IniFile settings(settingsFilePath());
    settings.setBool(u"LAN Implementation"_s, u"LanPossible"_s, true);
    settings.setBool(u"LAN Implementation"_s, u"LanImplementation"_s, true);
    settings.setValue(u"LAN Implementation"_s, u"ResultsPath"_s, missing);
    settings.save();
    p.start();
    const QStringList errors = p.ui.texts(u"error"_s);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(missing + u"/kelvora.sqlite"_s), qPrintable(errors[0]));
    QCOMPARE(p.fmRes.statusPanel(0)->text(), u"LAN database"_s);
    QVERIFY(p.fmRes.OptionsLinkLAN->isEnabled());
    QVERIFY(p.fmRes.OptionsLinkLAN->isChecked());
    QVERIFY(!p.dm->Query1->isOpen());

    // The user switches to the local database.
    p.fmRes.OptionsLinkLAN->trigger();
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QCOMPARE(p.fmRes.statusPanel(0)->text(), u"Local database"_s);
    QVERIFY(!p.fmRes.OptionsLinkLAN->isChecked());
    QVERIFY(p.dm->Query1->isOpen());
    p.fmRes.EditUpdateGroupList->trigger();
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
}

void TestMainWindow::exitDisconnectsAndWritesSettings()
{
    Program p;
    createDatabases(defaultLocations(), false);
    IniFile settings(settingsFilePath());
    settings.setValue(u"Database Type"_s, u"DatabaseID"_s, {}); // mended to "1" on the way
    settings.setValue(u"Plot axes"_s, u"Plot 1 X"_s, u"DATE"_s);
    settings.save();
    p.start();
    QVERIFY(p.fmRes.isVisible());
    p.fmRes.tbExit->trigger();
    QVERIFY(!p.fmRes.isVisible());
    QVERIFY(!p.dm->KVResults.isOpen());
    QVERIFY(!p.dm->Query1->isOpen());
    const IniFile written(settingsFilePath());
    QCOMPARE(written.value(u"Database Type"_s, u"DatabaseID"_s), u"1"_s);
    QCOMPARE(written.value(u"Plot axes"_s, u"Plot 1 X"_s), u"DATE"_s);
    QCOMPARE(p.ui.messages(), QStringList());
}

void TestMainWindow::busyWindow()
{
    QWidget owner;
    TfmProcessing window(&owner);
    QCOMPARE(window.windowTitle(), u"Busy processing ...."_s);
    QCOMPARE(window.Label1->text(), u"Calculating ..."_s);
    WidgetInteraction ui(&owner);
    ui.setBusyWindow(&window);
    ui.busy(u"Executing query ...."_s);
    QVERIFY(window.isVisible());
    QVERIFY(!window.Done);
    QCOMPARE(window.Label1->text(), u"Executing query ...."_s);
    QTRY_VERIFY_WITH_TIMEOUT(window.ProgressBar1->value() >= 2, 3000); // a step every 500 ms
    window.ProgressBar1->setValue(100);
    QTRY_COMPARE_WITH_TIMEOUT(window.ProgressBar1->value(), 0, 2000); // starts again once full
    ui.busyDone();
    QVERIFY(window.Done);
    QVERIFY(!window.isVisible());
    QVERIFY(!window.Timer1->isActive());
}

void TestMainWindow::aboutBox()
{
    TAboutBox about;
    QCOMPARE(about.windowTitle(), u"About Kelvora"_s);
    QCOMPARE(about.ProductName->text(), u"Kelvora"_s);
    QVERIFY(about.ProductName->font().bold());
    about.show();
    QCOMPARE(about.Version->text(), u"Version 3.3.0.0"_s);
    QCOMPARE(about.Comments->text(), u"Geochronology database viewer. "_s);
}

void TestMainWindow::acknowledgementWindow()
{
    test::TempFolders folders;
    createDatabases(defaultLocations(), false);
    ScriptedInteraction ui;
    TdmKVResults dm(ui);
    dm.KVtmp.bind(defaultLocations().working);
    openExisting(dm.KVtmp, DatabaseKind::Working);
    Dataset &referTo = *dm.ReferTo;
    referTo.open();
    // The installation's two texts (see writeInstallationData), in the order they were written.
    TfmReferTo window(referTo, ui);
    QCOMPARE(window.windowTitle(), u"Kelvora Geochronology Database"_s);
    QVERIFY(window.Label1->text().startsWith(u"Please acknowledge use of this software and database"_s));
    const QString first = window.DBMemo1->toPlainText();
    QVERIFY2(first.startsWith(u"Kelvora geochronology database viewer, version"_s), qPrintable(first));
    DatasetNavigator *navigator = window.DBNavigator1;
    for (auto button : {DatasetNavigator::Insert, DatasetNavigator::Delete, DatasetNavigator::Edit,
                        DatasetNavigator::Post, DatasetNavigator::Cancel, DatasetNavigator::Refresh})
        QVERIFY(navigator->button(button)->isHidden());
    QVERIFY(!navigator->button(DatasetNavigator::First)->isEnabled());
    navigator->button(DatasetNavigator::Next)->click();
    QVERIFY(window.DBMemo1->toPlainText().startsWith(u"Please cite the original publication"_s));
    navigator->button(DatasetNavigator::First)->click();
    QCOMPARE(window.DBMemo1->toPlainText(), first);
    navigator->button(DatasetNavigator::Last)->click();
    QVERIFY(window.DBMemo1->toPlainText().startsWith(u"Please cite the original publication"_s));
    QVERIFY(!navigator->button(DatasetNavigator::Next)->isEnabled());
    QVERIFY(navigator->button(DatasetNavigator::Prior)->isEnabled());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
