// SPDX-License-Identifier: GPL-3.0-or-later
// The two data modules on a small real database: every dataset's text runs on both back ends, details
// follow their masters, and the calculated fields and filters of the shared datasets hold.
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "test_support.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

void fillFixture(Connection &r, Connection &w)
{
    Transaction t(r);
    r.exec(u"insert into IsoRgr30 (RecordID, CountryAbr, IsotopeSystem, MaterialAbr, ApproachAbr, InterpAbr, IAge, "
           u"IAgePError, IAgeMError) values (5576, 'MDG', 'Rb-Sr', 'wr', 'MdlRa', 'MdlR0', 3300000, 40000, 40000)"_s);
    r.exec(u"insert into IsoRgr30 (RecordID, CountryAbr, IsotopeSystem, IAge) values (5577, 'ZAF', 'U-Pb', 1500)"_s);
    for (const auto &[sample, latitude] : {std::pair{u"LA-1"_s, -33.5}, std::pair{u"LA-2"_s, 90.0}}) {
        r.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values (5576, 'Rb-Sr', ?, 'a', 'Y')"_s,
               {sample});
        r.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude, Elevation) values (?, ?, 25.5, 1200.25)"_s,
               {sample, latitude});
    }
    // a sample registered under another system is not one of this record's samples
    r.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values (5576, 'U-Pb', 'LA-9', 'a', 'Y')"_s);
    r.exec(u"insert into SysVarData (IsoSystem, ApproachAbr, X, Y, R) values ('Rb-Sr', 'MdlRa', 'RbSr', 'SrSr', 'Rho')"_s);
    r.exec(u"insert into VarVar (VariableID, VariableName) values ('RbSr', '87Rb/86Sr')"_s);
    r.exec(u"insert into VarVar (VariableID, VariableName) values ('SrSr', '87Sr/86Sr')"_s);
    r.exec(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID, DataValue, NormalisingFactor) "
           u"values ('LA-1', 'a', 'Rb-Sr', 'RbSr', 0.0312, 1)"_s);
    r.exec(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID, DataValue, NormalisingFactor) "
           u"values ('LA-1', 'a', 'Rb-Sr', 'SrSr', 0.7013, 1)"_s);
    r.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName, DecayConst1) values ('Rb-Sr', 'Rubidium-Strontium', 1.42e-11)"_s);
    r.exec(u"insert into IsoUR (IsoSystem, URparam1, URparam2, URparam3) values ('Rb-Sr', 0.0827, 0.7045, 10000)"_s);
    r.exec(u"insert into IsoStatistics (RecordID, MSWD) values (5576, 1.7)"_s);
    r.exec(u"insert into Grouping (RecordID, Grouping) values (5576, 'Ocean of Storms')"_s);
    t.commit();
    w.exec(u"insert into ReferTo (Software, ReferToID, ReferToMemo) values ('Other', 9, 'not ours')"_s);
}

struct Modules
{
    explicit Modules(const QString &backend)
        : results(backend), working(backend), dm(ui), smp(dm)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        fillFixture(dm.KVResults, dm.KVtmp);
    }
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    TdmSmp smp;
};

} // namespace

class TestDataModules : public QObject
{
    Q_OBJECT

private slots:
    void everyDatasetOpens_data() { test::addBackendRows(); }
    void everyDatasetOpens();
    void recordDetailsFollowQuery1_data() { test::addBackendRows(); }
    void recordDetailsFollowQuery1();
    void sampleDataFollowQuerydm_data() { test::addBackendRows(); }
    void sampleDataFollowQuerydm();
    void flags();
    void missingDatabaseIsNamed();
};

void TestDataModules::everyDatasetOpens()
{
    QFETCH(QString, backend);
    Modules m(backend);
    m.dm.openShared();
    QSet<QString> names;
    for (Dataset *d : m.dm.datasets()) {
        QVERIFY2(!names.contains(d->name().toLower()), qPrintable(d->name()));
        names.insert(d->name().toLower());
        try {
            d->open();
        } catch (const Error &e) {
            QFAIL(qPrintable(d->name() + u": "_s + e.message()));
        }
    }
    QVERIFY(m.dm.Query1->isOpen() && m.dm.QLocThisUnit->isOpen() && m.dm.ReferTo->isOpen());
    for (Dataset *d : m.smp.datasets()) {
        try {
            d->open();
        } catch (const Error &e) {
            QFAIL(qPrintable(d->name() + u": "_s + e.message()));
        }
    }
    // Only the acknowledgements of this program are shown.
    QCOMPARE(m.dm.ReferTo->recordCount(), 2);
    for (m.dm.ReferTo->first(); !m.dm.ReferTo->eof(); m.dm.ReferTo->next())
        QCOMPARE(m.dm.ReferTo->text(u"Software"_s), u"Kelvora"_s);
    m.dm.closeAll();
    for (Dataset *d : m.dm.datasets())
        QVERIFY(!d->isOpen());
}

void TestDataModules::recordDetailsFollowQuery1()
{
    QFETCH(QString, backend);
    Modules m(backend);
    TdmKVResults &dm = m.dm;
    dm.openShared();
    // Query1's first text selects record 5576
    QCOMPARE(dm.Query1->value(u"RecordID"_s).toInt(), 5576);
    QCOMPARE(dm.Query1->displayText(u"Age"_s), u"3300.00"_s);
    QCOMPARE(dm.QResults->value(u"RecordID"_s).toInt(), 5576);
    QCOMPARE(dm.QStatistics->displayText(u"MSWD"_s), u"1.700"_s);
    QCOMPARE(dm.QGrouping->text(u"Grouping"_s), u"Ocean of Storms"_s);
    // samples of the record's own system, their localities, and the chart's list without latitude 90
    QCOMPARE(dm.QSmpReg->recordCount(), 2);
    QCOMPARE(dm.QSmpLoc->text(u"LatDir"_s), u"S"_s);
    QCOMPARE(dm.QSmpLoc->value(u"LatMin"_s).toInt(), 30);
    QCOMPARE(dm.QSmpLoc->displayText(u"Elevation"_s), u"1200.3"_s);
    QCOMPARE(dm.SmpLoc->displayText(u"Elevation"_s), u"1200.25"_s);
    dm.QSmpReg->next();
    QCOMPARE(dm.QSmpLoc->text(u"SampleNo"_s), u"LA-2"_s);
    QCOMPARE(dm.QLocThisUnit->recordCount(), 1);

    // A new query text moves every detail to the new record.
    dm.Query1->close();
    dm.Query1->setSql({u"select * from IsoRgr30"_s, u"where RecordID = 5577"_s});
    dm.Query1->open();
    QCOMPARE(dm.QResults->value(u"RecordID"_s).toInt(), 5577);
    QCOMPARE(dm.QResults->displayText(u"Age"_s), u"1.50"_s);
    QVERIFY(dm.QStatistics->isEmpty());
    QVERIFY(dm.QSmpReg->isEmpty());
    QVERIFY(dm.QSmpLoc->isEmpty());

    // A record edited through QResults reaches the table.
    dm.QResults->edit();
    dm.QResults->setValue(u"Comment"_s, u"Checked against the original publication"_s);
    QVERIFY(dm.QResults->post());
    QSqlQuery check = dm.KVResults.exec(u"select Comment from IsoRgr30 where RecordID = 5577"_s);
    QVERIFY(check.next());
    QCOMPARE(check.value(0).toString(), u"Checked against the original publication"_s);
}

void TestDataModules::sampleDataFollowQuerydm()
{
    QFETCH(QString, backend);
    Modules m(backend);
    TdmKVResults &dm = m.dm;
    TdmSmp &smp = m.smp;
    dm.Query1->open();
    // the current record, as the recalculation of one record reads it
    dm.Querydm->setSql({u"select * from IsoRgr30"_s, u"where RecordID = :RecordID"_s});
    dm.Querydm->setMaster(dm.Query1);
    dm.Querydm->open();
    for (Dataset *d : {smp.QIsoSys, smp.QUR, smp.QSysVarData, smp.QModel, smp.QdmResults})
        d->open();
    dm.QdmSmp->open();
    for (Dataset *d : {smp.QX, smp.QY, smp.QR, smp.QXname, smp.QYname})
        d->open();
    QCOMPARE(smp.QIsoSys->displayText(u"DecayConst1"_s), u"1.42000e-11"_s);
    QCOMPARE(smp.QUR->displayText(u"URparam2"_s), u"7.04500e-01"_s);
    QCOMPARE(dm.QdmSmp->text(u"SampleNo"_s), u"LA-1"_s);
    QCOMPARE(smp.QX->value(u"DataValue"_s).toDouble(), 0.0312);
    QCOMPARE(smp.QY->value(u"DataValue"_s).toDouble(), 0.7013);
    QVERIFY(smp.QR->isEmpty()); // no correlation stored for this sample
    QCOMPARE(smp.QXname->text(u"VariableName"_s), u"87Rb/86Sr"_s);
    dm.QdmSmp->next();
    QCOMPARE(dm.QdmSmp->text(u"SampleNo"_s), u"LA-2"_s);
    QVERIFY(smp.QX->isEmpty());
    QVERIFY(smp.QModel->isEmpty());
}

void TestDataModules::flags()
{
    ScriptedInteraction ui;
    TdmKVResults dm(ui);
    QVERIFY(!dm.MapDataCurrent && !dm.DateDataCurrent && !dm.GroupedDateDataCurrent && !dm.RatioDataCurrent);
    dm.MapDataCurrent = dm.DateDataCurrent = dm.GroupedDateDataCurrent = dm.RatioDataCurrent = true;
    dm.clearCurrentDataFlags();
    QVERIFY(!dm.MapDataCurrent && !dm.DateDataCurrent && !dm.GroupedDateDataCurrent && !dm.RatioDataCurrent);
}

void TestDataModules::missingDatabaseIsNamed()
{
    test::TempFolders folders;
    const QString missing = folders.dataDir() + u"/Nowhere"_s;
    Connection c(u"KVResults"_s);
    c.bind(missing);
    try {
        openExisting(c, DatabaseKind::Results);
        QFAIL("a missing database was opened");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(missing + u"/kelvora.sqlite"_s)); // never created by accident

    // a file that holds something else is no Kelvora database
    const QString other = folders.dataDir() + u"/other.sqlite"_s;
    {
        Connection o(u"other"_s);
        o.bind(other);
        o.open(true);
        o.exec(u"create table notes (text varchar(10))"_s);
    }
    c.bind(other);
    try {
        openExisting(c, DatabaseKind::Results);
        QFAIL("a foreign database was opened");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(u"holds no Kelvora database"_s), qPrintable(e.message()));
    }
    QVERIFY(!c.isOpen());
}

QTEST_GUILESS_MAIN(TestDataModules)
#include "tst_data_modules.moc"
