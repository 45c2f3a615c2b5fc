// SPDX-License-Identifier: GPL-3.0-or-later
// The dataset layer on real databases: masters and details, filters, live editing, posting errors,
// calculated fields, and rows fetched as they are read.
#include "core/scripted_interaction.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/post_error_handlers.h"
#include "test_support.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// Three records (RecordIDs 10, 20, 30), with statistics rows for 10 (two) and 30 (one).
void fillRecords(Connection &c)
{
    Transaction t(c);
    for (const auto &[id, age] : {std::pair{10, 1500}, std::pair{20, 1234}, std::pair{30, 2710000}})
        c.exec(u"insert into IsoRgr30 (RecordID, IAge, IAgePError, IAgeMError, CountryAbr) values (?, ?, 5, 7, 'ZAF')"_s,
               {id, age});
    c.exec(u"insert into IsoStatistics (RecordID, MSWD, NSamples) values (10, 1.5, 4)"_s);
    c.exec(u"insert into IsoStatistics (RecordID, MSWD, NSamples) values (10, 2.5, 5)"_s);
    c.exec(u"insert into IsoStatistics (RecordID, MSWD, NSamples) values (30, 0.9, 12)"_s);
    t.commit();
}

std::unique_ptr<Dataset> makeDataset(Connection &c, const QStringList &sql, bool live = true)
{
    auto d = std::make_unique<Dataset>(u"ds"_s, &c);
    d->setSql(sql);
    d->setLive(live);
    return d;
}

int countRows(Connection &c, const QString &sql)
{
    QSqlQuery q = c.exec(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private slots:
    void detailFollowsMaster_data() { test::addBackendRows(); }
    void detailFollowsMaster();
    void filterSelectsRows_data() { test::addBackendRows(); }
    void filterSelectsRows();
    void liveEditing_data() { test::addBackendRows(); }
    void liveEditing();
    void changedByAnotherUser_data() { test::addBackendRows(); }
    void changedByAnotherUser();
    void engineErrorsThroughHandlers_data() { test::addBackendRows(); }
    void engineErrorsThroughHandlers();
    void handlerForms_data();
    void handlerForms();
    void calculatedAges_data();
    void calculatedAges();
    void localityFields_data();
    void localityFields();
    void displayFormats_data();
    void displayFormats();
    void largeResultIsReadLazily_data() { test::addBackendRows(); }
    void largeResultIsReadLazily();
};

void TestDataset::detailFollowsMaster()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    fillRecords(*c);
    auto master = makeDataset(*c, {u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    auto detail = makeDataset(*c, {u"select * from IsoStatistics"_s, u"where RecordID=:RecordID"_s, u"order by MSWD"_s});
    detail->setMaster(master.get());
    detail->open(); // before the master: no row to take the parameter from
    QVERIFY(detail->isEmpty());
    master->open();
    QCOMPARE(detail->recordCount(), 2);
    QCOMPARE(detail->value(u"MSWD"_s).toDouble(), 1.5);
    master->next();
    QCOMPARE(master->value(u"RecordID"_s).toInt(), 20);
    QVERIFY(detail->isEmpty() && detail->eof());
    master->next();
    QCOMPARE(detail->recordCount(), 1);
    QCOMPARE(detail->value(u"NSamples"_s).toInt(), 12);
    // While the master's controls are disabled its details stay; enabling brings them up to date.
    master->disableControls();
    master->first();
    QCOMPARE(detail->value(u"NSamples"_s).toInt(), 12);
    master->enableControls();
    QCOMPARE(detail->value(u"NSamples"_s).toInt(), 4);
    // A new detail row takes its key from the code that inserts it, and is found again after a move.
    detail->append();
    detail->setValue(u"RecordID"_s, master->value(u"RecordID"_s));
    detail->setValue(u"MSWD"_s, 3.5);
    QVERIFY(detail->post());
    master->last();
    master->first();
    QCOMPARE(detail->recordCount(), 3);
    master->close();
    QVERIFY(detail->isEmpty());
}

void TestDataset::filterSelectsRows()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    fillRecords(*c);
    auto d = makeDataset(*c, {u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    d->open();
    QCOMPARE(d->recordCount(), 3);
    d->setFilter(u"IAge < 2000"_s);
    d->setFiltered(true);
    QCOMPARE(d->recordCount(), 2);
    QCOMPARE(d->value(u"RecordID"_s).toInt(), 10);
    d->setFilter(u"RecordID = 30"_s);
    QCOMPARE(d->recordCount(), 1);
    QCOMPARE(d->value(u"RecordID"_s).toInt(), 30);
    d->setFiltered(false);
    QCOMPARE(d->recordCount(), 3);
}

void TestDataset::liveEditing()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    fillRecords(*c);
    auto d = makeDataset(*c, {u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    addAgeFields(*d);
    d->open();

    // edit and post
    d->next();
    d->edit();
    d->setValue(u"IAge"_s, 4321);
    QCOMPARE(d->value(u"Age"_s).toDouble(), 4.321); // calculated fields follow the row in edit
    d->setValue(u"UnitName"_s, u"Ntonga Formation – Itremo"_s);
    QVERIFY(d->post());
    QCOMPARE(countRows(*c, u"select IAge from IsoRgr30 where RecordID = 20"_s), 4321);
    QSqlQuery unit = c->exec(u"select UnitName from IsoRgr30 where RecordID = 20"_s);
    QVERIFY(unit.next());
    QCOMPARE(unit.value(0).toString(), u"Ntonga Formation – Itremo"_s);

    // cancel leaves the table and the row as they were
    d->edit();
    d->setValue(u"IAge"_s, 1);
    d->cancel();
    QCOMPARE(d->value(u"IAge"_s).toInt(), 4321);
    QCOMPARE(countRows(*c, u"select IAge from IsoRgr30 where RecordID = 20"_s), 4321);

    // insert, then find it by moving
    d->insert();
    QCOMPARE(d->state(), Dataset::State::Insert);
    d->setValue(u"RecordID"_s, 40);
    d->setValue(u"IAge"_s, u"250"_s); // numbers typed as text are taken as numbers
    QVERIFY(d->post());
    QCOMPARE(d->recordCount(), 4);
    QCOMPARE(countRows(*c, u"select count(*) from IsoRgr30"_s), 4);
    QVERIFY(d->locate(u"RecordID"_s, 40));
    QCOMPARE(d->value(u"Age"_s).toDouble(), 0.25);

    // a value that is no number for a number field is refused before anything is written
    d->edit();
    QVERIFY_THROWS_EXCEPTION(InputError, d->setValue(u"IAge"_s, u"abc"_s));
    d->cancel();

    // delete
    QVERIFY(d->locate(u"RecordID"_s, 10));
    d->remove();
    QCOMPARE(countRows(*c, u"select count(*) from IsoRgr30 where RecordID = 10"_s), 0);
    QCOMPARE(d->recordCount(), 3);
    QVERIFY(!d->locate(u"RecordID"_s, 10));

    // a read-only dataset refuses to edit
    auto readOnly = makeDataset(*c, {u"select * from IsoRgr30"_s}, false);
    readOnly->open();
    QVERIFY_THROWS_EXCEPTION(Error, readOnly->edit());
}

void TestDataset::changedByAnotherUser()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    fillRecords(*c);
    Connection other(u"other"_s);
    other.bind(database.location());
    other.open();
    auto mine = makeDataset(*c, {u"select * from IsoRgr30"_s, u"where RecordID = 20"_s});
    auto theirs = makeDataset(other, {u"select * from IsoRgr30"_s, u"where RecordID = 20"_s});
    // A long result left half read on my connection holds an old snapshot of the database.
    {
        Transaction t(*c);
        for (int i = 1; i <= 1000; ++i)
            c->exec(u"insert into Grouping (RecordID, Grouping) values (?, 'G')"_s, {i});
        t.commit();
    }
    auto numbers = makeDataset(*c, {u"select RecordID as i from Grouping"_s, u"order by RecordID"_s}, false);
    numbers->open();
    mine->open();
    theirs->open();
    theirs->edit();
    theirs->setValue(u"IAge"_s, 2000);
    QVERIFY(theirs->post());
    mine->edit();
    mine->setValue(u"IAge"_s, 3000);
    try {
        mine->post();
        QFAIL("a row changed by another user was overwritten");
    } catch (const DatabaseError &e) {
        QCOMPARE(e.code(), int(RecordChanged));
    }
    QCOMPARE(countRows(*c, u"select IAge from IsoRgr30 where RecordID = 20"_s), 2000);
    mine->cancel();
    mine->refresh();
    mine->edit();
    mine->setValue(u"IAge"_s, 3000);
    QVERIFY(mine->post());
    QCOMPARE(countRows(*c, u"select IAge from IsoRgr30 where RecordID = 20"_s), 3000);
    // the long result reads on to its end after its cursor was let go
    int walked = 1;
    for (numbers->next(); !numbers->eof(); numbers->next())
        ++walked;
    QCOMPARE(walked, 1000);
    QCOMPARE(numbers->value(u"i"_s).toInt(), 1000);

    // a row deleted by another user is reported, not silently "deleted" again
    other.exec(u"delete from IsoRgr30 where RecordID = 20"_s);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, mine->remove());
}

void TestDataset::engineErrorsThroughHandlers()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
    c->exec(u"insert into SmpLoc (SampleNo, Latitude) values ('S1', -30)"_s);
    ScriptedInteraction ui;

    // A new Country whose code exists: the new row is discarded and the key violation goes on.
    auto countries = makeDataset(*c, {u"select * from Country"_s});
    countries->setPostErrorHandler(firstFormPostErrorHandler(ui));
    countries->open();
    countries->append();
    countries->setValue(u"CountryAbr"_s, u"ZAF"_s);
    countries->setValue(u"Country"_s, u"Again"_s);
    try {
        countries->post();
        QFAIL("the key violation did not go on to the caller");
    } catch (const DatabaseError &e) {
        QCOMPARE(e.code(), int(KeyViolation));
    }
    QCOMPARE(countries->state(), Dataset::State::Browse);
    QCOMPARE(countries->recordCount(), 1);
    QCOMPARE(countries->text(u"Country"_s), u"South Africa"_s);
    QVERIFY(ui.messages().isEmpty());

    // A missing key is a missing required field: a warning, and the row stays in insert.
    countries->append();
    countries->setValue(u"Country"_s, u"Nowhere"_s);
    QVERIFY(!countries->post());
    QCOMPARE(countries->state(), Dataset::State::Insert);
    QCOMPARE(ui.messages(), QStringList{u"warning: Required field missing"_s});
    countries->setValue(u"CountryAbr"_s, u"NAM"_s);
    QVERIFY(countries->post());
    QCOMPARE(countRows(*c, u"select count(*) from Country"_s), 2);

    // SmpLoc's own handler
    ui.clear();
    auto localities = makeDataset(*c, {u"select * from SmpLoc"_s});
    localities->setPostErrorHandler(smpLocPostErrorHandler(ui));
    localities->open();
    localities->append();
    localities->setValue(u"SampleNo"_s, u"S1"_s);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, localities->post());
    QCOMPARE(localities->state(), Dataset::State::Browse);
    localities->append();
    localities->setValue(u"Latitude"_s, 10.0);
    QVERIFY(!localities->post());
    QCOMPARE(localities->state(), Dataset::State::Insert);
    QCOMPARE(ui.messages(), (QStringList{u"warning: Unable to insert data record for S1"_s,
                                         u"warning: Please provide an Employee ID"_s}));
    QCOMPARE(countRows(*c, u"select count(*) from SmpLoc"_s), 1);
}

void TestDataset::handlerForms_data()
{
    // handler: 1 first form, 2 second form, 3 second form of Laboratories
    QTest::addColumn<int>("form");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<bool>("discarded");
    const QString none;
    QTest::newRow("1 integrity") << 1 << 9728 << u"warning: Error in integrity"_s << false << false;
    QTest::newRow("1 key violation") << 1 << 9729 << none << true << true;
    QTest::newRow("1 required") << 1 << 9732 << u"warning: Required field missing"_s << false << false;
    QTest::newRow("1 foreign key") << 1 << 9733 << u"warning: Foreign key"_s << false << false;
    QTest::newRow("1 details exist") << 1 << 9734 << u"warning: Details exist"_s << false << false;
    QTest::newRow("1 lookup range") << 1 << 9736 << none << true << false;
    QTest::newRow("1 other") << 1 << 0 << none << true << false;
    QTest::newRow("2 integrity") << 2 << 9728 << u"warning: Error in integrity"_s << false << false;
    QTest::newRow("2 key violation") << 2 << 9729 << none << true << true;
    QTest::newRow("2 lookup range") << 2 << 9736 << u"warning: Field value out of lookup table range"_s << false
                                    << false;
    QTest::newRow("2 other") << 2 << 0 << u"message: engine text"_s << true << false;
    QTest::newRow("3 lookup range") << 3 << 9736 << u"warning: Probable duplicate ID"_s << false << false;
}

void TestDataset::handlerForms()
{
    QFETCH(int, form);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(bool, goesOn);
    QFETCH(bool, discarded);
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    ScriptedInteraction ui;
    auto d = makeDataset(*c, {u"select * from Laboratories"_s});
    d->open();
    d->append();
    const Dataset::PostErrorHandler handler = form == 1   ? firstFormPostErrorHandler(ui)
                                              : form == 2 ? secondFormPostErrorHandler(ui)
                                                          : secondFormPostErrorHandler(ui, u"Probable duplicate ID"_s);
    const auto action = handler(*d, DatabaseError(u"engine text"_s, code));
    QCOMPARE(action == Dataset::PostErrorAction::Fail, goesOn);
    QCOMPARE(d->state() == Dataset::State::Browse, discarded);
    QCOMPARE(ui.messages(), message.isEmpty() ? QStringList() : QStringList{message});
}

void TestDataset::calculatedAges_data()
{
    QTest::addColumn<QVariant>("iage");
    QTest::addColumn<QVariant>("age");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1500 is 1.50 Ma") << QVariant(1500) << QVariant(1.5) << u"1.50"_s;
    QTest::newRow("1234 shows 1.23") << QVariant(1234) << QVariant(1.234) << u"1.23"_s;
    QTest::newRow("Archaean") << QVariant(3465123) << QVariant(3465.123) << u"3465.12"_s;
    QTest::newRow("negative") << QVariant(-250) << QVariant(-0.25) << u"-0.25"_s;
    QTest::newRow("no age") << QVariant() << QVariant() << QString();
}

void TestDataset::calculatedAges()
{
    QFETCH(QVariant, iage);
    QFETCH(QVariant, age);
    QFETCH(QString, shown);
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(u"insert into IsoRgr30 (RecordID, IAge, Age) values (1, ?, 99)"_s, {iage});
    auto d = makeDataset(*c, {u"select * from IsoRgr30"_s});
    addAgeFields(*d);
    d->open();
    QCOMPARE(d->value(u"Age"_s).isNull(), age.isNull()); // the stored Age column is hidden by the calculation
    if (!age.isNull())
        QCOMPARE(d->value(u"Age"_s).toDouble(), age.toDouble());
    QCOMPARE(d->displayText(u"Age"_s), shown);
    // the calculated field is never written back over the stored column
    d->edit();
    d->setValue(u"Comment"_s, u"checked"_s);
    QVERIFY(d->post());
    QCOMPARE(countRows(*c, u"select Age from IsoRgr30"_s), 99);
}

void TestDataset::localityFields_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("expected"); // LatDir LatDeg LatMin LatSec LonDir LonDeg LonMin LonSec
    // 12.3456 degrees are 12 deg 20' 44.16"; 179.99 degrees are 179 deg 59' 24"
    QTest::newRow("southern") << -33.5 << 18.25 << u"S 33 30 0 E 18 15 0"_s;
    QTest::newRow("seconds truncated") << 12.3456 << -179.99 << u"N 12 20 44 W 179 59 24"_s;
    QTest::newRow("equator and meridian") << 0.0 << 0.0 << u"N 0 0 0 E 0 0 0"_s;
    QTest::newRow("just south") << -0.5 << -0.0001 << u"S 0 30 0 W 0 0 0"_s;
}

void TestDataset::localityFields()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, expected);
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude) values ('S', ?, ?)"_s, {latitude, longitude});
    auto d = makeDataset(*c, {u"select * from SmpLoc"_s});
    addLocalityFields(*d);
    d->open();
    QStringList got;
    for (const QString &f : {u"LatDir"_s, u"LatDeg"_s, u"LatMin"_s, u"LatSec"_s, u"LonDir"_s, u"LonDeg"_s,
                             u"LonMin"_s, u"LonSec"_s})
        got << d->text(f);
    QCOMPARE(got.join(u' '), expected);
}

void TestDataset::displayFormats_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("shown");
    QTest::newRow("decay constant") << 1.55125e-10 << u"0.00000e+00"_s << u"1.55125e-10"_s;
    QTest::newRow("reservoir") << 0.512638 << u"0.00000e+00"_s << u"5.12638e-01"_s;
    QTest::newRow("big exponent") << 1.5e120 << u"0.00000e+00"_s << u"1.50000e+120"_s;
    QTest::newRow("ratio") << 0.70452 << u"##0.000000"_s << u"0.704520"_s;
    QTest::newRow("probability") << 0.4375 << u"0.000"_s << u"0.438"_s;
    QTest::newRow("elevation") << 1234.56 << u"######0.0"_s << u"1234.6"_s;
}

void TestDataset::displayFormats()
{
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, shown);
    QCOMPARE(Dataset::formatNumber(value, format), shown);
}

void TestDataset::largeResultIsReadLazily()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    const int total = 50000;
    {
        Transaction t(*c);
        QSqlQuery insert = c->prepare(u"insert into IsoRgr30 (RecordID, IAge) values (?, ?)"_s);
        for (int i = 1; i <= total; ++i) {
            insert.bindValue(0, i);
            insert.bindValue(1, i * 10);
            c->execPrepared(insert);
        }
        t.commit();
    }
    auto d = makeDataset(*c, {u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    d->setStreamed(true);
    d->open();
    const int readAtOpen = d->rowsRead();
    QVERIFY2(readAtOpen >= 1 && readAtOpen <= 1000, "the whole result was read at open");
    QCOMPARE(d->recordCount(), total);
    QCOMPARE(d->rowsRead(), readAtOpen);
    int walked = 1;
    for (d->next(); !d->eof(); d->next()) {
        ++walked;
        if (walked == 30000) // other statements on the connection meanwhile lose nothing
            QCOMPARE(countRows(*c, u"select count(*) from IsoRgr30"_s), total);
    }
    QCOMPARE(walked, total);
    QCOMPARE(d->value(u"RecordID"_s).toInt(), total);
    QVERIFY2(d->rowsHeld() < total, "every row was kept in memory");
    // Moving back past the rows kept runs the query again and lands on the right row.
    QVERIFY(d->moveTo(5));
    QCOMPARE(d->value(u"RecordID"_s).toInt(), 6);
    d->prior();
    QCOMPARE(d->value(u"RecordID"_s).toInt(), 5);
    d->last();
    QCOMPARE(d->value(u"RecordID"_s).toInt(), total);
    QVERIFY(d->eof());
    d->first();
    QCOMPARE(d->value(u"RecordID"_s).toInt(), 1);
    QVERIFY(d->bof());
    // an edit far into the result reaches its row
    QVERIFY(d->moveTo(45000));
    d->edit();
    d->setValue(u"IAge"_s, 7);
    QVERIFY(d->post());
    QCOMPARE(countRows(*c, u"select IAge from IsoRgr30 where RecordID = 45001"_s), 7);
}

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
