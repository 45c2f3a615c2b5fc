// SPDX-License-Identifier: GPL-3.0-or-later
// The "Data" tab's raw isotope data panel and the Edit > Recalculate items of the main window.
#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/ui/KV_main.h"
#include "main/ui/page_checks.h"
#include "main/ui/page_data.h"
#include "test_support.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

void fillFixture(Connection &c)
{
    Transaction t(c);
    c.exec(u"insert into IsoUR (IsoSystem, URparam1, URparam2, URparam3) values ('SmNd', 0.1967, 0.512638, 10000)"_s);
    c.exec(u"insert into IsoModels (IsoSystem, ModelID, ModelParam1, ModelParam2, ModelParam3, ModelName) "
           u"values ('SmNd', 'DM', 0, 0.219, 0.513151, 'DM (Liew 1988)')"_s);
    c.exec(u"insert into SysVarData (IsoSystem, ApproachAbr, XX, YY, X, Xerr, Xerrt, Y, Yerr, Yerrt, R) values "
           u"('SmNd', 'DM', '147Sm/144Nd', '143Nd/144Nd', 'VX', 'VXe', 'VXt', 'VY', 'VYe', 'VYt', 'VR')"_s);
    c.exec(u"insert into VarVar (VariableID, VariableName) values ('VX', '147Sm/144Nd'), ('VY', '143Nd/144Nd')"_s);
    const QString record = u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, Lithology, MethodAbr, "
                           u"MaterialAbr, IsotopeSystem, ApproachAbr, InterpAbr, AgeUnits, IAge, DecayConst1) "
                           u"values (?, 'UND', 'UNDEFINED', 'Not defined', 'R', 'nd', 'SmNd', 'DM', 'CrsRs', "
                           u"'Ma', 1000000, 6.54e-12)"_s;
    c.exec(record, {1});
    c.exec(record, {2}); // no samples
    for (const auto &[sample, x, y] : {std::tuple{u"A"_s, 0.12, 0.5115}, std::tuple{u"B"_s, 0.13, 0.5118}}) {
        c.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values (1, 'SmNd', ?, 'wr', 'Y')"_s,
               {sample});
        for (const auto &[variable, value] : {std::pair{u"VX"_s, x}, std::pair{u"VXe"_s, x * 0.005},
                                              std::pair{u"VY"_s, y}, std::pair{u"VYe"_s, y * 0.00002}})
            c.exec(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID, DataValue, NormalisingFactor) "
                   u"values (?, 'wr', 'SmNd', ?, ?, 1)"_s,
                   {sample, variable, value});
    }
    t.commit();
}

struct Program
{
    test::TempFolders folders;
    ScriptedInteraction ui;
    TfmRes fmRes;
    std::unique_ptr<TdmKVResults> dm;
    std::unique_ptr<ViewerConnections> connections;
    std::unique_ptr<TdmSmp> smp;

    Program()
    {
        createDatabases(defaultLocations(), false);
        {
            Connection filler(u"filler"_s);
            filler.bind(defaultLocations().results);
            openExisting(filler, DatabaseKind::Results);
            fillFixture(filler);
        }
        fmRes.setInteraction(&ui);
        dm = std::make_unique<TdmKVResults>(fmRes.interaction());
        connections = std::make_unique<ViewerConnections>(*dm, fmRes.interaction());
        smp = std::make_unique<TdmSmp>(*dm);
        connections->setSampleModule(smp.get());
        connections->bindInitial();
        fmRes.attach(*dm, *connections);
        fmRes.show();
        QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
    }
    void showRecord(int id)
    {
        dm->Query1->close();
        dm->Query1->setSql({u"select * from isorgr30"_s, u"where RecordID = "_s + QString::number(id)});
        dm->openShared();
    }
    PageData &page() { return *fmRes.dataPage(); }
};

} // namespace

class TestDataPage : public QObject
{
    Q_OBJECT

private slots:
    void showDataFollowsTheSampleGrid();
    void recordWithoutSamples();
    void modelAgeThroughTheMenu();
    void isochronThroughTheMenu();
};

void TestDataPage::showDataFollowsTheSampleGrid()
{
    Program p;
    p.showRecord(1);
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsData);
    PageData &page = p.page();
    QVERIFY(page.dbe[0]->text().isEmpty());
    page.bShowRawIsotopeData->click();
    QCOMPARE(page.dbtIsoSystemName->text(), u"Samarium-neodymium"_s);
    QCOMPARE(page.dbtXX->text(), u"147Sm/144Nd"_s);
    QCOMPARE(page.dbt[0]->text(), u"147Sm/144Nd"_s);
    QCOMPARE(page.dbe[0]->text().toDouble(), 0.12);
    QCOMPARE(page.dbe[3]->text().toDouble(), 0.5115);
    DatasetNavigator *navigator = nullptr;
    for (DatasetNavigator *n : page.findChildren<DatasetNavigator *>())
        if (n->dataset() == p.dm->QdmSmp)
            navigator = n;
    QVERIFY(navigator);
    navigator->click(DatasetNavigator::Next);
    QCOMPARE(page.dbe[0]->text().toDouble(), 0.13);
    navigator->click(DatasetNavigator::Prior);
    QCOMPARE(page.dbe[0]->text().toDouble(), 0.12);
    // Leaving the tab closes the data sets and empties the panel.
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsFormView);
    QVERIFY(!p.dm->QdmSmp->isOpen());
    QVERIFY(page.dbe[0]->text().isEmpty());
    QVERIFY(page.dbtXX->text().isEmpty());
    QCOMPARE(p.ui.messages(), QStringList{});
}

void TestDataPage::recordWithoutSamples()
{
    Program p;
    p.showRecord(2);
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsData);
    p.page().bShowRawIsotopeData->click();
    QVERIFY(p.dm->QdmSmp->isOpen());
    QVERIFY(p.dm->QdmSmp->isEmpty());
    for (DbText *t : p.page().dbe)
        QVERIFY(t->text().isEmpty());
    QCOMPARE(p.ui.messages(), QStringList{});
}

void TestDataPage::modelAgeThroughTheMenu()
{
    Program p;
    p.showRecord(1);
    QVERIFY(p.fmRes.EditRecalcModelThis->isEnabled());
    p.ui.setDefaultAnswer(Interaction::Answer::Yes);
    p.fmRes.EditRecalcModelThis->trigger();
    QCOMPARE(p.ui.texts(u"question"_s).size(), 1);
    QVERIFY(p.ui.texts(u"question"_s)[0].startsWith(u"Recalculated value differs from original value."_s));
    QVERIFY(p.fmRes.pgChecks->Memo2->toPlainText().startsWith(u"Starting sample "_s));
    QSqlQuery q = p.dm->KVResults.exec(u"select IAge from IsoRgr30 where RecordID = 1"_s);
    QVERIFY(q.next());
    QVERIFY(q.value(0).toInt() != 1000000);
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{});
}

void TestDataPage::isochronThroughTheMenu()
{
    // The record is a model age: the command says so and stores nothing.
    Program p;
    p.showRecord(1);
    QVERIFY(p.fmRes.EditRecalcIsochronThis->isEnabled() && p.fmRes.EditRecalcIsochronAll->isEnabled());
    p.ui.setDefaultAnswer(Interaction::Answer::Yes);
    p.fmRes.EditRecalcIsochronThis->trigger();
    QCOMPARE(p.ui.texts(u"warning"_s),
             QStringList{
                 u"No isochron age for record 1: a crustal residence (model) age is not an isochron age."_s});
    QCOMPARE(p.ui.texts(u"question"_s), QStringList{});
    QSqlQuery q = p.dm->KVResults.exec(u"select IAge from IsoRgr30 where RecordID = 1"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1000000);
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{});
}

QTEST_MAIN(TestDataPage)
#include "tst_data_page.moc"
