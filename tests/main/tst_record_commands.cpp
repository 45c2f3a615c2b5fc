// SPDX-License-Identifier: GPL-3.0-or-later
// The record commands of the Edit menu and the record view, and the lookup editor's core, on small real
// databases (SQLite, and PostgreSQL when a test server is given).
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/lookup_tables.h"
#include "main/query_command.h"
#include "main/query_definition.h"
#include "main/record_commands.h"
#include "test_support.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

void fillFixture(Connection &r)
{
    Transaction t(r);
    const QString record =
        u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, Lithology, MethodAbr, MaterialAbr, "
        u"IsotopeSystem, AgeUnits, IAge, IAgePError, IAgeMError) values (?, 'ZAF', ?, 'Granite', "
        u"'I', 'zr', ?, 'Ma', ?, 20000, 20000)"_s;
    r.exec(record, {5576, u"Bushveld"_s, u"Rb-Sr"_s, 2054123});
    r.exec(record, {5600, u"Kaap Valley"_s, u"U-Pb"_s, 3227000});
    r.exec(record, {5663, u"Nelspruit"_s, u"U-Pb"_s, 3105000});
    // 5576: samples in two isotope systems and one row in every detail table
    for (const auto &[sample, system] :
         {std::pair{u"B-1"_s, u"Rb-Sr"_s}, std::pair{u"B-2"_s, u"Rb-Sr"_s}, std::pair{u"B-9"_s, u"U-Pb"_s}})
        r.exec(
            u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values (5576, ?, ?, 'a', 'Y')"_s,
            {system, sample});
    r.exec(u"insert into IsoStatistics (RecordID, MSWD, ProgName) values (5576, 1.7, 'Isoplot')"_s);
    r.exec(u"insert into IsoInit (RecordID, InitRatio) values (5576, 0.7045)"_s);
    r.exec(u"insert into IsoOther (RecordID, LwrIntercept) values (5576, 512)"_s);
    r.exec(u"insert into Grouping (RecordID, Grouping) values (5576, 'Bushveld')"_s);
    r.exec(u"insert into IsoOrogenic (RecordID, OrogenicPeriodID) values (5576, 'Eb')"_s);
    r.exec(u"insert into IsoChemType (RecordID, ChemTypeAbr) values (5576, 'A')"_s);
    r.exec(u"insert into IsoImages (RecordID, ImageTypeID, ImageID) values (5576, 'N', 1)"_s);
    r.exec(u"insert into IsoFor (RecordID, WhoForID) values (5576, 'CGS')"_s);
    r.exec(u"insert into IsoLab (RecordID, LaboratoryAbr) values (5576, 'CGS')"_s);
    // one reference of type "A" on 5576, two on 5663; provinces repeat on 5663
    r.exec(
        u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) values ('A', 5576, 7, 'Walraven (1990)')"_s);
    r.exec(
        u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) values ('A', 5663, 8, 'Kamo (1996)')"_s);
    r.exec(
        u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) values ('A', 5663, 9, 'Poujol (2003)')"_s);
    for (const QString &p : {u"Kaapvaal Craton"_s, u"Kaapvaal Craton"_s, u"Barberton"_s, u"Limpopo"_s})
        r.exec(u"insert into Province (RecordID, Province) values (5663, ?)"_s, {p});
    r.exec(u"insert into Province (RecordID, Province) values (5576, 'Bushveld Complex')"_s);
    r.exec(u"insert into Terrane (RecordID, Terrane) values (5663, 'Barberton GB')"_s);
    r.exec(u"insert into IsoLab (RecordID, LaboratoryAbr) values (5663, 'ROM')"_s);
    // lookups
    r.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName, DecayConst1, DecayConst2) "
           u"values ('U-Pb', 'Uranium-Lead', 1.55125e-10, 9.8485e-10)"_s);
    r.exec(u"insert into SourceListA (SourceNum, SourceID) values (7, 'Walraven (1990)')"_s);
    for (const QString &l : {u"Basalt"_s, u"arkose"_s, u"Argillite"_s, u"Granite"_s})
        r.exec(u"insert into Lithol (Lithology) values (?)"_s, {l});
    r.exec(u"insert into Country (CountryAbr, Country) values ('BWA', 'Botswana')"_s);
    r.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
    r.exec(u"insert into Suite (UnitName, CountryAbr) values ('Gaborone Granite', 'BWA')"_s);
    r.exec(u"insert into Suite (UnitName, CountryAbr) values ('Bushveld', 'ZAF')"_s);
    r.exec(u"insert into Suite (UnitName, CountryAbr) values ('Nelspruit', 'ZAF')"_s);
    t.commit();
    r.syncAutoIncrement(u"SourceListA"_s);
}

struct Fixture
{
    explicit Fixture(const QString &backend) : results(backend), working(backend), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        fillFixture(dm.KVResults);
    }
    // Query1 on the given records, in RecordID order, with the record view open.
    void query(const QString &condition = u"RecordID > 0"_s)
    {
        dm.Query1->close();
        dm.Query1->setSql({u"select * from isorgr30"_s, u"where "_s + condition, u"order by RecordID"_s});
        dm.openShared();
        for (Dataset *d : {dm.Province, dm.Terrane, dm.IsoOrogenic, dm.IsoChemType})
            d->open();
    }
    int count(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q = dm.KVResults.exec(sql, values);
        return q.next() ? q.value(0).toInt() : -1;
    }
    QVariant scalar(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q = dm.KVResults.exec(sql, values);
        return q.next() ? q.value(0) : QVariant();
    }
    // Another program refuses the next writes of one kind to a table, as a failing server would.
    void refuse(const QString &table, const QString &operation)
    {
        if (dm.KVResults.backend() == Backend::SQLite) {
            dm.KVResults.exec(
                u"create trigger refuse_%1 before %2 on %1 begin select raise(abort, 'refused'); end"_s.arg(
                    table, operation));
        } else {
            dm.KVResults.exec(u"create function refuse() returns trigger language plpgsql as "
                              u"$$ begin raise exception 'refused'; end $$"_s);
            dm.KVResults.exec(
                u"create trigger refuse_%1 before %2 on %1 for each row execute function refuse()"_s.arg(
                    table, operation));
        }
    }
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

const QString detailCount = u"select count(*) from %1 where RecordID = ?"_s;

} // namespace

class TestRecordCommands : public QObject
{
    Q_OBJECT

private slots:
    void nextRecordId_data() { test::addBackendRows(); }
    void nextRecordId();
    void newRecord_data();
    void newRecord();
    void newRecordCancelled_data() { test::addBackendRows(); }
    void newRecordCancelled();
    void newRecordTakesTheNextFreeNumber_data() { test::addBackendRows(); }
    void newRecordTakesTheNextFreeNumber();
    void newRecordFailedPost_data() { test::addBackendRows(); }
    void newRecordFailedPost();
    void equivalentTdm_data();
    void equivalentTdm();
    void deleteRecord_data() { test::addBackendRows(); }
    void deleteRecord();
    void deleteRecordFailureLeavesEverything_data();
    void deleteRecordFailureLeavesEverything();
    void applyGroupDescriptor_data() { test::addBackendRows(); }
    void applyGroupDescriptor();
    void roundsTiesToEven_data();
    void roundsTiesToEven();
    void dateBoxes_data();
    void dateBoxes();
    void ageBoxes_data() { test::addBackendRows(); }
    void ageBoxes();
    void editOfAChangedRecordIsReported_data() { test::addBackendRows(); }
    void editOfAChangedRecordIsReported();
    void navigationKeepsDetailsOnTheRecord_data() { test::addBackendRows(); }
    void navigationKeepsDetailsOnTheRecord();
    void importImage_data();
    void importImage();
    void twoPicturesInOneRecord_data() { test::addBackendRows(); }
    void twoPicturesInOneRecord();
    void deletedRecordLeavesNothingToTheNext_data() { test::addBackendRows(); }
    void deletedRecordLeavesNothingToTheNext();
    void newRecordsAreFoundByTheQuery_data() { test::addBackendRows(); }
    void newRecordsAreFoundByTheQuery();
    void lookupSearch_data();
    void lookupSearch();
    void unitsFollowTheArea();
};

void TestRecordCommands::nextRecordId()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QCOMPARE(nextRecordID(f.dm), 5664);
    showNextRecordID(f.dm, f.ui);
    QCOMPARE(f.ui.messages(), QStringList{u"information: Next available RecordID is 5664"_s});
    f.dm.KVResults.exec(u"delete from IsoRgr30"_s);
    QCOMPARE(nextRecordID(f.dm), 1);
}

void TestRecordCommands::newRecord_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("system");
    QTest::addColumn<bool>("defaultDc");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("iAge");
    QTest::addColumn<double>("decayConstant2");
    QTest::addColumn<int>("references");
    for (const QString &backend : test::backends()) {
        const QByteArray b = backend.toUtf8();
        // 12.3456 Ma in thousandths is 12345.6, to the nearest 12346
        QTest::newRow(b + " date converted")
            << backend << u"12.3456"_s << u"U-Pb"_s << true << u"not defined"_s << 12346 << 9.8485e-10 << 1;
        QTest::newRow(b + " empty date keeps 0")
            << backend << u""_s << u"U-Pb"_s << true << u"not defined"_s << 0 << 9.8485e-10 << 1;
        QTest::newRow(b + " system never chosen")
            << backend << u"1.5"_s << u"na"_s << true << u"not defined"_s << 1500 << 0.0 << 1;
        QTest::newRow(b + " reference chosen")
            << backend << u"abc"_s << u"U-Pb"_s << false << u"Walraven (1990)"_s << 0 << -1.0 << 2;
        // beyond what the thousandths hold: said, and the date left at 0
        QTest::newRow(b + " date out of range")
            << backend << u"2000001"_s << u"U-Pb"_s << true << u"not defined"_s << 0 << 9.8485e-10 << 1;
    }
}

void TestRecordCommands::newRecord()
{
    QFETCH(QString, backend);
    QFETCH(QString, date);
    QFETCH(QString, system);
    QFETCH(bool, defaultDc);
    QFETCH(QString, reference);
    QFETCH(int, iAge);
    QFETCH(double, decayConstant2);
    QFETCH(int, references);
    Fixture f(backend);
    f.query();
    NewRecordValues v;
    v.CountryAbr = u"ZAF"_s;
    v.IsotopeSystem = system;
    v.date = date;
    v.plus = u"0.25"_s;
    v.defaultDecayConstants = defaultDc;
    v.reference = reference;
    QCOMPARE(kv::newRecord(f.dm, f.ui, v), 5664);
    QCOMPARE(f.ui.messages(), date == u"2000001"_s
                                  ? QStringList{u"warning: Problem converting age to integer*1000"_s}
                                  : QStringList());
    QSqlQuery q = f.dm.KVResults.exec(u"select IAge, IAgePError, IAgeMError, DecayConst2, CountryAbr, "
                                      u"UnitName, MethodAbr, PrefLevel, AgeUnits "
                                      u"from IsoRgr30 where RecordID = 5664"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), iAge);
    QCOMPARE(q.value(1).toInt(), 250);
    QVERIFY(q.value(2).isNull());
    if (decayConstant2 < 0)
        QVERIFY(q.value(3).isNull());
    else
        QCOMPARE(q.value(3).toDouble(), decayConstant2);
    QCOMPARE(q.value(4).toString(), u"ZAF"_s);
    QCOMPARE(q.value(5).toString(), u"UNDEFINED"_s);
    QCOMPARE(q.value(6).toString(), u"R"_s);
    QCOMPARE(q.value(7).toInt(), 1);
    QCOMPARE(q.value(8).toString(), u"Ma"_s);
    QCOMPARE(f.scalar(u"select Grouping from Grouping where RecordID = 5664"_s).toString(), u"NEW"_s);
    QCOMPARE(f.count(u"select count(*) from GroupingList where Grouping = 'NEW'"_s), 1);
    QCOMPARE(f.scalar(u"select LaboratoryAbr from IsoLab where RecordID = 5664"_s).toString(), u"nd"_s);
    QCOMPARE(f.count(detailCount.arg(u"SourceA"_s), {5664}), references);
    QCOMPARE(f.count(u"select count(*) from SourceA where RecordID = 5664 and SourceID = ?"_s, {reference}),
             1);
    QVERIFY(!f.dm.IsoResults->isOpen());
    // a second new record finds "NEW" in the list already and still gets its group row
    QCOMPARE(kv::newRecord(f.dm, f.ui, v), 5665);
    QCOMPARE(f.count(u"select count(*) from GroupingList where Grouping = 'NEW'"_s), 1);
    QCOMPARE(f.count(detailCount.arg(u"Grouping"_s), {5665}), 1);
}

void TestRecordCommands::newRecordCancelled()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    QCOMPARE(kv::newRecord(f.dm, f.ui, NewRecordValues{}, false), 0);
    QCOMPARE(f.count(u"select count(*) from IsoRgr30"_s), 3);
    QCOMPARE(f.count(detailCount.arg(u"Grouping"_s), {5664}), 0);
    QCOMPARE(f.count(detailCount.arg(u"SourceA"_s), {5664}), 0);
}

void TestRecordCommands::newRecordTakesTheNextFreeNumber()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    QCOMPARE(startNewRecord(f.dm), 5664);
    // another user stores record 5664 while the dialog is open
    Connection other(u"other"_s);
    other.bind(f.results.location());
    other.open();
    other.exec(u"insert into IsoRgr30 (RecordID, UnitName) values (5664, 'theirs')"_s);
    NewRecordValues v;
    v.date = u"2"_s;
    QVERIFY(acceptNewRecord(f.dm, f.ui, v, {}));
    QCOMPARE(finishNewRecord(f.dm, true, false), 5665);
    QCOMPARE(f.ui.messages(), QStringList());
    QCOMPARE(f.scalar(u"select UnitName from IsoRgr30 where RecordID = 5664"_s).toString(), u"theirs"_s);
    QCOMPARE(f.scalar(u"select IAge from IsoRgr30 where RecordID = 5665"_s).toInt(), 2000);
    QCOMPARE(f.count(detailCount.arg(u"Grouping"_s), {5665}), 1);
    QCOMPARE(f.count(detailCount.arg(u"Grouping"_s), {5664}), 0);
}

void TestRecordCommands::newRecordFailedPost()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    f.refuse(u"IsoRgr30"_s, u"insert"_s);
    f.ui.clear();
    QCOMPARE(kv::newRecord(f.dm, f.ui, NewRecordValues{}), 0);
    QVERIFY(f.ui.texts(u"warning"_s).contains(u"Error inserting new record"_s));
    QCOMPARE(f.count(u"select count(*) from IsoRgr30"_s), 3);
    QCOMPARE(f.count(u"select count(*) from Grouping where Grouping = 'NEW'"_s), 0);
    QCOMPARE(f.count(detailCount.arg(u"SourceA"_s), {5664}), 0);
}

void TestRecordCommands::equivalentTdm_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("source");
    QTest::addColumn<QStringList>("references");
    QTest::addColumn<QStringList>("provinces");
    QTest::addColumn<QString>("laboratory");
    for (const QString &backend : test::backends()) {
        const QByteArray b = backend.toUtf8();
        QTest::newRow(b + " one reference") << backend << 5576 << QStringList{u"Walraven (1990)"_s}
                                            << QStringList{u"Bushveld Complex"_s} << u"CGS"_s;
        // the current province and the next two, the repeat dropped; Limpopo is the fourth
        QTest::newRow(b + " two references, repeated provinces")
            << backend << 5663 << QStringList{u"Kamo (1996)"_s, u"Poujol (2003)"_s}
            << QStringList{u"Barberton"_s, u"Kaapvaal Craton"_s} << u"ROM"_s;
    }
}

void TestRecordCommands::equivalentTdm()
{
    QFETCH(QString, backend);
    QFETCH(int, source);
    QFETCH(QStringList, references);
    QFETCH(QStringList, provinces);
    QFETCH(QString, laboratory);
    Fixture f(backend);
    f.query(u"RecordID = %1"_s.arg(source));
    QCOMPARE(newEquivalentTDM(f.dm, f.ui), 5664);
    QCOMPARE(f.ui.messages(), QStringList{u"information: Record added"_s});
    QSqlQuery q = f.dm.KVResults.exec(
        u"select IsotopeSystem, ApproachAbr, TechAbr, InterpAbr, IAge, IAgePError, "
        u"UnitName, Lithology, MethodAbr, MaterialAbr from IsoRgr30 where RecordID = 5664"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"SmNd"_s);
    QCOMPARE(q.value(1).toString(), u"DM"_s);
    QCOMPARE(q.value(2).toString(), u"TIMS"_s);
    QCOMPARE(q.value(3).toString(), u"CrsRs"_s);
    QCOMPARE(q.value(4).toInt(), 1000);
    QCOMPARE(q.value(5).toInt(), 1000);
    QCOMPARE(q.value(6).toString(),
             f.scalar(u"select UnitName from IsoRgr30 where RecordID = ?"_s, {source}).toString());
    QCOMPARE(q.value(7).toString(), u"Granite"_s);
    QCOMPARE(q.value(8).toString(), u"I"_s);
    QCOMPARE(q.value(9).toString(), u"zr"_s);
    QStringList stored;
    for (QSqlQuery r =
             f.dm.KVResults.exec(u"select SourceID from SourceA where RecordID = 5664 order by SourceID"_s);
         r.next();)
        stored << r.value(0).toString();
    QCOMPARE(stored, references);
    stored.clear();
    for (QSqlQuery r =
             f.dm.KVResults.exec(u"select Province from Province where RecordID = 5664 order by Province"_s);
         r.next();)
        stored << r.value(0).toString();
    QCOMPARE(stored, provinces);
    QCOMPARE(f.scalar(u"select LaboratoryAbr from IsoLab where RecordID = 5664"_s).toString(), laboratory);
}

void TestRecordCommands::deleteRecord()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    QCOMPARE(f.dm.QResults->value(u"RecordID"_s).toInt(), 5576);
    f.ui.queueAnswers({Interaction::Answer::Cancel});
    QVERIFY(!kv::deleteRecord(f.dm, f.ui));
    QCOMPARE(f.count(u"select count(*) from IsoRgr30"_s), 3);
    f.ui.queueAnswers({Interaction::Answer::Yes});
    QVERIFY(kv::deleteRecord(f.dm, f.ui));
    QCOMPARE(f.ui.texts(u"question"_s).size(), 2);
    QCOMPARE(f.ui.texts(u"error"_s), QStringList());
    QCOMPARE(f.count(detailCount.arg(u"IsoRgr30"_s), {5576}), 0);
    for (const QString &table : {u"Grouping"_s, u"Province"_s, u"IsoOrogenic"_s, u"IsoChemType"_s,
                                 u"SourceA"_s, u"IsoOther"_s, u"IsoInit"_s, u"IsoStatistics"_s, u"IsoLab"_s})
        QVERIFY2(f.count(detailCount.arg(table), {5576}) == 0, qPrintable(table));
    // the sample of the other isotope system stays; images and who-for rows go with the record
    QCOMPARE(f.count(detailCount.arg(u"SmpReg"_s), {5576}), 1);
    QCOMPARE(f.scalar(u"select IsoSystem from SmpReg where RecordID = 5576"_s).toString(), u"U-Pb"_s);
    QCOMPARE(f.count(detailCount.arg(u"IsoImages"_s), {5576}), 0);
    QCOMPARE(f.count(detailCount.arg(u"IsoFor"_s), {5576}), 0);
    // the other records keep theirs
    QCOMPARE(f.count(detailCount.arg(u"Province"_s), {5663}), 4);
    // the record view moves on to a stored record
    QCOMPARE(f.dm.Query1->recordCount(), 2);
    QCOMPARE(f.dm.QResults->value(u"RecordID"_s).toInt(), f.dm.Query1->value(u"RecordID"_s).toInt());
}

void TestRecordCommands::deleteRecordFailureLeavesEverything_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("changedByOther");
    for (const QString &backend : test::backends()) {
        QTest::newRow((backend + u" changed by another user"_s).toUtf8()) << backend << true;
        QTest::newRow((backend + u" refused by the database"_s).toUtf8()) << backend << false;
    }
}

void TestRecordCommands::deleteRecordFailureLeavesEverything()
{
    QFETCH(QString, backend);
    QFETCH(bool, changedByOther);
    Fixture f(backend);
    f.query();
    if (changedByOther) {
        Connection other(u"other"_s);
        other.bind(f.results.location());
        other.open();
        other.exec(u"update IsoRgr30 set Comment = 'checked' where RecordID = 5576"_s);
    } else {
        f.refuse(u"IsoRgr30"_s, u"delete"_s);
    }
    f.ui.queueAnswers({Interaction::Answer::Yes});
    QVERIFY(!kv::deleteRecord(f.dm, f.ui));
    const QStringList errors = f.ui.texts(u"error"_s);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(u"The record 5576 was not deleted"_s), qPrintable(errors[0]));
    if (changedByOther)
        QVERIFY2(errors[0].contains(u"another user changed or deleted this record"_s), qPrintable(errors[0]));
    QCOMPARE(f.count(detailCount.arg(u"IsoRgr30"_s), {5576}), 1);
    QCOMPARE(f.count(detailCount.arg(u"SmpReg"_s), {5576}), 3);
    for (const QString &table : {u"Grouping"_s, u"Province"_s, u"IsoOrogenic"_s, u"IsoChemType"_s,
                                 u"SourceA"_s, u"IsoOther"_s, u"IsoInit"_s, u"IsoStatistics"_s})
        QVERIFY2(f.count(detailCount.arg(table), {5576}) == 1, qPrintable(table));
}

void TestRecordCommands::applyGroupDescriptor()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query(u"RecordID >= 5600"_s);
    QVERIFY(!kv::applyGroupDescriptor(f.dm, f.ui, u"  "_s));
    QCOMPARE(f.ui.texts(u"warning"_s).size(), 1);
    QVERIFY(kv::applyGroupDescriptor(f.dm, f.ui, u"Barberton GB"_s));
    QCOMPARE(f.scalar(u"select Grouping from Grouping where RecordID = 5600"_s).toString(),
             u"Barberton GB"_s);
    QCOMPARE(f.count(detailCount.arg(u"Grouping"_s), {5663}), 0);
}

void TestRecordCommands::roundsTiesToEven_data()
{
    QTest::addColumn<double>("ma");
    QTest::addColumn<int>("thousandths");
    // Each product with 1000 is exactly x.5 in binary doubles (checked with Python's repr); IEEE 754
    // round-half-even gives the even neighbour.
    QTest::newRow("0.0005") << 0.0005 << 0;
    QTest::newRow("0.0015") << 0.0015 << 2;
    QTest::newRow("0.0025") << 0.0025 << 2;
    QTest::newRow("1.2345") << 1.2345 << 1234;
    QTest::newRow("1.2335") << 1.2335 << 1234;
    QTest::newRow("-0.0035") << -0.0035 << -4;
    QTest::newRow("12.3456") << 12.3456 << 12346;
}

void TestRecordCommands::roundsTiesToEven()
{
    QFETCH(double, ma);
    QFETCH(int, thousandths);
    QCOMPARE(roundToThousandths(ma), thousandths);
}

void TestRecordCommands::dateBoxes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("thousandths"); // -1: not a number
    QTest::newRow("12.3456") << u"12.3456"_s << 12346;
    QTest::newRow("spaces") << u" 3300 "_s << 3300000;
    QTest::newRow("empty") << u""_s << -1;
    QTest::newRow("word") << u"old"_s << -1;
    QTest::newRow("largest") << u"2000000"_s << 2000000000;
    QTest::newRow("too large for the column") << u"1e9"_s << -2; // -2: refused
    QTest::newRow("too small") << u"-2000000.5"_s << -2;
}

void TestRecordCommands::dateBoxes()
{
    QFETCH(QString, text);
    QFETCH(int, thousandths);
    try {
        const auto v = thousandthsOf(text);
        QCOMPARE(v.has_value() ? *v : -1, thousandths);
    } catch (const InputError &) {
        QCOMPARE(-2, thousandths);
    }
}

void TestRecordCommands::ageBoxes()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    Dataset &r = *f.dm.QResults;
    QCOMPARE(r.displayText(u"Age"_s), u"2054.12"_s);
    // passing through the box keeps the third decimal
    QVERIFY(!ageBoxLeft(f.dm, f.ui, u"IAge"_s, u"2054.12"_s));
    QVERIFY(!ageBoxDoubleClicked(f.dm, f.ui, u"IAge"_s)); // input cancelled
    QCOMPARE(f.scalar(u"select IAge from IsoRgr30 where RecordID = 5576"_s).toInt(), 2054123);
    QCOMPARE(f.ui.texts(u"input"_s).size(), 1);
    QVERIFY(ageBoxLeft(f.dm, f.ui, u"IAge"_s, u"2054.1235"_s));
    QCOMPARE(f.scalar(u"select IAge from IsoRgr30 where RecordID = 5576"_s).toInt(), 2054124);
    f.ui.queueInputs({u"0.0025"_s});
    QVERIFY(ageBoxDoubleClicked(f.dm, f.ui, u"IAgeMError"_s));
    QCOMPARE(f.scalar(u"select IAgeMError from IsoRgr30 where RecordID = 5576"_s).toInt(), 2);
    QVERIFY(!ageBoxLeft(f.dm, f.ui, u"IAgePError"_s, u"twenty"_s));
    QCOMPARE(f.ui.texts(u"warning"_s).size(), 1);
    QCOMPARE(f.scalar(u"select IAgePError from IsoRgr30 where RecordID = 5576"_s).toInt(), 20000);
}

void TestRecordCommands::editOfAChangedRecordIsReported()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    Connection other(u"other"_s);
    other.bind(f.results.location());
    other.open();
    other.exec(u"update IsoRgr30 set IAge = 2060000 where RecordID = 5576"_s);
    QVERIFY(!ageBoxLeft(f.dm, f.ui, u"IAge"_s, u"1.5"_s));
    const QStringList warnings = f.ui.texts(u"warning"_s);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains(u"another user changed or deleted this record"_s), qPrintable(warnings[0]));
    QCOMPARE(f.scalar(u"select IAge from IsoRgr30 where RecordID = 5576"_s).toInt(), 2060000);
    // the record view now shows what is stored
    QCOMPARE(f.dm.QResults->value(u"IAge"_s).toInt(), 2060000);
    QCOMPARE(f.dm.QResults->state(), Dataset::State::Browse);
}

void TestRecordCommands::navigationKeepsDetailsOnTheRecord()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    TdmKVResults &dm = f.dm;
    const QList<Dataset *> panels{dm.QStatistics, dm.QInit,       dm.QOther, dm.QGrouping, dm.Province,
                                  dm.IsoOrogenic, dm.IsoChemType, dm.QRef,   dm.QImages,   dm.QSmpReg};
    for (Dataset *d : panels)
        QVERIFY2(detailHasRows(*d), qPrintable(d->name()));
    QCOMPARE(dm.QSmpReg->recordCount(), 2); // the record's own system only
    dm.Query1->next();
    QCOMPARE(dm.QResults->value(u"RecordID"_s).toInt(), 5600);
    for (Dataset *d : panels)
        QVERIFY2(!detailHasRows(*d), qPrintable(d->name()));
    // Insert on the statistics navigator gives the row the record's RecordID
    dm.QStatistics->insert();
    QVERIFY(detailHasRows(*dm.QStatistics));
    setDetailDefaults(dm, *dm.QStatistics);
    dm.QStatistics->setValue(u"MSWD"_s, 0.9);
    QVERIFY(postReported(*dm.QStatistics, f.ui));
    QCOMPARE(f.scalar(u"select MSWD from IsoStatistics where RecordID = 5600"_s).toDouble(), 0.9);
    dm.QImages->insert();
    setDetailDefaults(dm, *dm.QImages);
    QCOMPARE(dm.QImages->value(u"ImageTypeID"_s).toString(), u"N"_s);
    QCOMPARE(dm.QImages->value(u"ImageID"_s).toInt(), 1);
    QCOMPARE(dm.QImages->value(u"RecordID"_s).toInt(), 5600);
    dm.QImages->cancel();
    dm.Query1->next();
    QCOMPARE(dm.Province->recordCount(), 4);
    QCOMPARE(dm.QRef->recordCount(), 2);
    QVERIFY(!detailHasRows(*dm.QStatistics));
    dm.Query1->first();
    QCOMPARE(dm.QStatistics->value(u"MSWD"_s).toDouble(), 1.7);
    QCOMPARE(dm.QSmpLoc->isOpen(), true);
}

void TestRecordCommands::importImage_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("format");
    for (const QString &backend : test::backends())
        for (const QString &format : {u"jpg"_s, u"png"_s, u"tif"_s, u"bmp"_s})
            QTest::newRow((backend + u' ' + format).toUtf8()) << backend << format;
}

void TestRecordCommands::importImage()
{
    QFETCH(QString, backend);
    QFETCH(QString, format);
    if (!QImageWriter::supportedImageFormats().contains(format.toUtf8()))
        QSKIP("this Qt has no writer for the format (qt6-image-formats-plugins)");
    Fixture f(backend);
    f.query();
    QTemporaryDir dir;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString path = dir.filePath(u"outcrop."_s + format);
    QVERIFY(picture.save(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    kv::importImage(f.dm, path);
    QCOMPARE(f.scalar(u"select Graphic from IsoImages where RecordID = 5576"_s).toByteArray(), bytes);
    const QImage shown = QImage::fromData(selectedImage(f.dm));
    QCOMPARE(shown.size(), QSize(40, 30));
    // a file that is no picture is refused and the stored one stays
    const QString fake = dir.filePath(u"notes."_s + format);
    QFile notes(fake);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("field notes, not a picture");
    notes.close();
    QVERIFY_THROWS_EXCEPTION(FileError, kv::importImage(f.dm, fake));
    QCOMPARE(f.scalar(u"select Graphic from IsoImages where RecordID = 5576"_s).toByteArray(), bytes);
}

void TestRecordCommands::twoPicturesInOneRecord()
{
    // A second image row takes the next number, and its picture never replaces the first one's.
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    QTemporaryDir dir;
    const auto picture = [&](const QString &name, Qt::GlobalColor color) {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(color);
        const QString path = dir.filePath(name);
        image.save(path, "PNG");
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return std::pair{path, file.readAll()};
    };
    const auto [first, firstBytes] = picture(u"outcrop.png"_s, Qt::red);
    const auto [second, secondBytes] = picture(u"thin-section.png"_s, Qt::blue);
    Dataset &images = *f.dm.QImages;
    kv::importImage(f.dm, first);
    images.insert();
    setDetailDefaults(f.dm, images);
    QCOMPARE(images.value(u"ImageID"_s).toInt(), 2);
    kv::importImage(f.dm, second); // posts the new row first
    QCOMPARE(f.count(detailCount.arg(u"IsoImages"_s), {5576}), 2);
    QCOMPARE(f.scalar(u"select Graphic from IsoImages where RecordID = 5576 and ImageID = 1"_s).toByteArray(),
             firstBytes);
    QCOMPARE(f.scalar(u"select Graphic from IsoImages where RecordID = 5576 and ImageID = 2"_s).toByteArray(),
             secondBytes);
    // a row given the type and number of another gets no picture, and the stored ones keep theirs
    images.insert();
    images.setValue(u"RecordID"_s, 5576);
    images.setValue(u"ImageTypeID"_s, u"N"_s);
    images.setValue(u"ImageID"_s, 1);
    QVERIFY_THROWS_EXCEPTION(InputError, kv::importImage(f.dm, second));
    QCOMPARE(f.scalar(u"select Graphic from IsoImages where RecordID = 5576 and ImageID = 1"_s).toByteArray(),
             firstBytes);
}

void TestRecordCommands::deletedRecordLeavesNothingToTheNext()
{
    // The next new record takes the largest RecordID plus one: after the largest was deleted, its number
    // again, which must come without the deleted record's rows.
    QFETCH(QString, backend);
    Fixture f(backend);
    f.query();
    const int id = kv::newRecord(f.dm, f.ui, NewRecordValues{});
    f.dm.KVResults.exec(u"insert into IsoImages (RecordID, ImageTypeID, ImageID) values (?, 'N', 1)"_s, {id});
    f.dm.KVResults.exec(u"insert into IsoFor (RecordID, WhoForID) values (?, 'CGS')"_s, {id});
    f.dm.KVResults.exec(u"insert into Province (RecordID, Province) values (?, 'Limpopo')"_s, {id});
    f.query(u"RecordID = %1"_s.arg(id));
    f.ui.queueAnswers({Interaction::Answer::Yes});
    QVERIFY(kv::deleteRecord(f.dm, f.ui));
    f.query();
    QCOMPARE(kv::newRecord(f.dm, f.ui, NewRecordValues{}), id);
    for (const auto &[table, rows] :
         {std::pair{u"IsoImages"_s, 0}, std::pair{u"IsoFor"_s, 0}, std::pair{u"Province"_s, 0},
          std::pair{u"Grouping"_s, 1}, std::pair{u"SourceA"_s, 1}, std::pair{u"IsoLab"_s, 1}})
        QVERIFY2(f.count(detailCount.arg(table), {id}) == rows, qPrintable(table));
}

void TestRecordCommands::newRecordsAreFoundByTheQuery()
{
    // A record made with the dialog's defaults and a T(DM) record carry codes of the program's own; the
    // installation's lookup rows let the nine-table query find them.
    QFETCH(QString, backend);
    Fixture f(backend);
    Connection &r = f.dm.KVResults;
    // the lookups of the copied record's own codes, as a real database has them
    r.exec(u"insert into Material (MaterialAbr) values ('zr')"_s);
    r.exec(u"insert into Methods (MethodAbr) values ('I')"_s);
    f.query(u"RecordID = 5663"_s);
    const int defaults = kv::newRecord(f.dm, f.ui, NewRecordValues{});
    const int tdm = kv::newEquivalentTDM(f.dm, f.ui);
    QCOMPARE(f.scalar(u"select IsotopeSystem from IsoRgr30 where RecordID = ?"_s, {tdm}).toString(),
             u"SmNd"_s);

    QueryDefinition everything;
    everything.prefLevelChecked = false;
    QueryCommand command(f.dm, f.ui);
    QVERIFY2(command.execute(everything), qPrintable(command.lastError()));
    QList<int> found;
    for (f.dm.Query1->first(); !f.dm.Query1->eof(); f.dm.Query1->next())
        found << f.dm.Query1->value(u"RecordID"_s).toInt();
    QVERIFY2(found.contains(defaults) && found.contains(tdm), qPrintable(QString::number(found.size())));
}

void TestRecordCommands::lookupSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("lithology");
    QTest::newRow("ar finds the first Ar or ar") << u"ar"_s << true << u"arkose"_s;
    QTest::newRow("ARG") << u"ARG"_s << true << u"Argillite"_s;
    QTest::newRow("no match stays") << u"gneiss"_s << false << u"Granite"_s;
}

void TestRecordCommands::lookupSearch()
{
    QFETCH(QString, typed);
    QFETCH(bool, found);
    QFETCH(QString, lithology);
    Fixture f(u"sqlite"_s);
    openLookupEditor(f.dm, {});
    const LookupTableItem &item = lookupTableItems().at(2);
    QCOMPARE(item.caption, u"Lithology"_s);
    Dataset *d = f.dm.dataset(item.dataset);
    QVERIFY(d && d->isOpen());
    d->last();
    QCOMPARE(locatePrefix(*d, item.searchField, typed), found);
    QCOMPARE(d->text(u"Lithology"_s), lithology);
    QCOMPARE(lookupTableItems().size(), 17);
    for (const LookupTableItem &i : lookupTableItems())
        QVERIFY2(f.dm.dataset(i.dataset), qPrintable(i.dataset));
    closeLookupEditor(f.dm);
}

void TestRecordCommands::unitsFollowTheArea()
{
    Fixture f(u"sqlite"_s);
    openLookupEditor(f.dm, {});
    QVERIFY(f.dm.Suite->isOpen());
    QCOMPARE(f.dm.Suite->recordCount(), 0);
    setUnitArea(f.dm, u"ZAF"_s);
    QCOMPARE(f.dm.Suite->recordCount(), 2);
    closeLookupEditor(f.dm);
    QVERIFY(!f.dm.Suite->isOpen());
    reopenAfterLookupEditor(f.dm);
    QCOMPARE(f.dm.Suite->recordCount(), 4); // with the installation's "UNDEFINED"
    // opened again with the remembered area
    openLookupEditor(f.dm, u"BWA"_s);
    QCOMPARE(f.dm.Suite->recordCount(), 1);
}

QTEST_GUILESS_MAIN(TestRecordCommands)
#include "tst_record_commands.moc"
