// SPDX-License-Identifier: GPL-3.0-or-later
// The stratigraphic table of a query's records: its 18 columns, dates in Ma, the offsets summed, a
// record whose unit has no Suite row left out, an empty query, a query text with nothing to join by.
#include "controls/workbook.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/strat_table.h"
#include "main/query_command.h"
#include "main/query_definition.h"
#include "test_support.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

struct Fixture
{
    explicit Fixture(const QString &backend) : results(backend), working(backend), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        Connection &c = dm.KVResults;
        Transaction t(c);
        c.exec(u"insert into Country (CountryAbr, Country, CountryOffset, CountryOffset2, CountryOffset3) values "
               u"('ZAF', 'South Africa', 1, 2, 3), ('BWA', 'Botswana', 100, null, 300)"_s);
        c.exec(u"insert into Suite (UnitName, CountryAbr, GISID, FormationOffset, FormationOffset2, "
               u"FormationOffset3) values ('Bushveld', 'ZAF', 77, 0.5, 20, 30), ('Gaborone', 'BWA', null, 1, 2, 3)"_s);
        c.exec(u"insert into Lithol (Lithology) values ('granite')"_s);
        c.exec(u"insert into Interpretation (InterpAbr, Interpretation) values ('Em', 'Emplacement')"_s);
        c.exec(u"insert into Material (MaterialAbr, MaterialDescription) values ('zr', 'zircon')"_s);
        c.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName) values ('UPb', 'Uranium-lead')"_s);
        c.exec(u"insert into Approach (ApproachAbr, ApproachDescription) values ('Cr', 'Crystallisation')"_s);
        c.exec(u"insert into Technique (TechAbr, Technique) values ('SH', 'SHRIMP')"_s);
        c.exec(u"insert into Methods (MethodAbr, MethodName) values ('P', 'Published')"_s);
        const QString record =
            u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, IAge, IAgePError, IAgeMError, PrefLevel, "
            u"Lithology, MaterialAbr, IsotopeSystem, ApproachAbr, InterpAbr, TechAbr, MethodAbr, AgeUnits) values "
            u"(?, ?, ?, ?, ?, ?, ?, 'granite', 'zr', 'UPb', 'Cr', 'Em', 'SH', 'P', 'Ma')"_s;
        c.exec(record, {1, u"ZAF"_s, u"Bushveld"_s, 2054000, 1500, 2500, 3});
        c.exec(record, {2, u"BWA"_s, u"Gaborone"_s, 2781250, 4000, 4000, 1});
        c.exec(record, {3, u"ZAF"_s, u"No Suite row"_s, 1000000, 1000, 1000, 2});
        t.commit();
    }
    // Query1 as the query command leaves it, for a definition.
    QStringList query(QueryDefinition definition = {})
    {
        definition.prefLevelChecked = false;
        QueryCommand command(dm, ui);
        if (!command.execute(definition))
            qFatal("%s", qPrintable(command.lastError()));
        return dm.Query1->sql();
    }
    QStringList row(const Workbook &workbook, int r)
    {
        QStringList cells;
        for (int c = 1; c <= 18; ++c)
            cells << workbook.sheetAt(1).text(r, c);
        return cells;
    }

    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

} // namespace

class TestStratTable : public QObject
{
    Q_OBJECT

private slots:
    void table_data() { test::addBackendRows(); }
    void table();
    void emptyQuery_data() { test::addBackendRows(); }
    void emptyQuery();
    void queryWithoutJoins();
};

void TestStratTable::table()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QueryDefinition byAge;
    byAge.order = 2; // by IAge first
    const QStringList lines = stratQueryLines(f.query(byAge));
    Workbook workbook;
    QCOMPARE(fillStratigraphicTable(f.dm.KVResults, lines, workbook, f.ui), 2);
    QCOMPARE(f.row(workbook, 1),
             (QStringList{u"Country"_s, u"CountryOffset"_s, u"UnitName"_s, u"UnitOffset"_s, u"Interpretation"_s,
                          u"Rank"_s, u"Date"_s, u"+95%"_s, u"-95%"_s, u"Material"_s, u"IsotopeSystem"_s,
                          u"Approach"_s, u"Technique"_s, u"Country+Unit Offset"_s, u"Country+Unit Offset 2"_s,
                          u"Country+Unit Offset 3"_s, u"GIS ID"_s, u"Method"_s}));
    // In the query's order; record 3, whose unit has no Suite row, is not there. Blank offsets and
    // identifiers count as 0.
    QCOMPARE(f.row(workbook, 2),
             (QStringList{u"South Africa"_s, u"1"_s, u"Bushveld"_s, u"0.5"_s, u"Emplacement"_s, u"3"_s, u"2054"_s,
                          u"1.5"_s, u"2.5"_s, u"zircon"_s, u"Uranium-lead"_s, u"Crystallisation"_s, u"SHRIMP"_s,
                          u"1.5"_s, u"22"_s, u"33"_s, u"77"_s, u"Published"_s}));
    QCOMPARE(f.row(workbook, 3),
             (QStringList{u"Botswana"_s, u"100"_s, u"Gaborone"_s, u"1"_s, u"Emplacement"_s, u"1"_s, u"2781.25"_s,
                          u"4"_s, u"4"_s, u"zircon"_s, u"Uranium-lead"_s, u"Crystallisation"_s, u"SHRIMP"_s,
                          u"101"_s, u"2"_s, u"303"_s, u"0"_s, u"Published"_s}));
    QCOMPARE(workbook.sheetAt(1).lastRow(), 3);
    QCOMPARE(workbook.sheetAt(1).kind(2, 7), CellKind::Number);
    QCOMPARE(workbook.sheetAt(1).kind(2, 1), CellKind::Text);
}

void TestStratTable::emptyQuery()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QueryDefinition none;
    none.addValue(1, u"Nowhere"_s, u"XXX"_s);
    Workbook workbook;
    QCOMPARE(fillStratigraphicTable(f.dm.KVResults, stratQueryLines(f.query(none)), workbook, f.ui), 0);
    // The headings alone: no row of blanks and zeros for a record that is not there.
    QCOMPARE(workbook.sheetAt(1).lastRow(), 1);
    QCOMPARE(workbook.sheetAt(1).lastColumn(), 18);
}

void TestStratTable::queryWithoutJoins()
{
    // Query1 as start-up leaves it: the ten tables unjoined would be a cross product of them all.
    QVERIFY_THROWS_EXCEPTION(InputError,
                             stratQueryLines({u"select * from isorgr30"_s, u"where RecordID=5576"_s}));
}

QTEST_GUILESS_MAIN(TestStratTable)
#include "tst_strat_table.moc"
