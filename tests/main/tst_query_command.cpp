// SPDX-License-Identifier: GPL-3.0-or-later
// The query command on real databases: counts and orders, re-applying an edited text, a text the engine
// rejects, a quoted value, and kvtool query end to end.
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "main/query_command.h"
#include "main/query_definition.h"
#include "query_fixture.h"
#include "test_support.h"

#include <QProcess>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// Six records. 3 is dated exactly 1500 Ma (a strict bound leaves it out); 5 is in the area "O'K";
// 6 names a material without a lookup row, so no query with the joins finds it.
void fillFixture(Connection &c)
{
    Transaction t(c);
    c.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa'), ('BWA', 'Botswana'), "
           u"('O''K', 'Quoted')"_s);
    c.exec(u"insert into Suite (UnitName, CountryAbr) values ('Bushveld', 'ZAF'), ('Kaap Valley', 'ZAF'), "
           u"('Gaborone', 'BWA'), ('Okwa', 'O''K')"_s);
    test::insertQueryLookups(c);
    c.exec(u"insert into IsoSystem (IsoSystem) values ('U-Pb'), ('Rb-Sr')"_s);
    c.exec(u"insert into PrefLevel (PrefLevelNo) values (3), (1), (2)"_s);
    test::insertQueryRecords(c,
                             {{1, u"ZAF"_s, u"Bushveld"_s, u"zr"_s, u"U-Pb"_s, 2054000, 3, 0.0, 0.0},
                              {2, u"ZAF"_s, u"Kaap Valley"_s, u"zr"_s, u"U-Pb"_s, 3227000, 2, 1.5e-10, 0.1},
                              {3, u"BWA"_s, u"Gaborone"_s, u"bt"_s, u"Rb-Sr"_s, 1500000, 1, 0.0, 0.0},
                              {4, u"BWA"_s, u"Gaborone"_s, u"bt"_s, u"Rb-Sr"_s, 1500010, 2, 0.0, 0.0},
                              {5, u"O'K"_s, u"Okwa"_s, u"zr"_s, u"U-Pb"_s, 1000000, 2, 0.0, 0.0},
                              {6, u"ZAF"_s, u"Bushveld"_s, u"xx"_s, u"U-Pb"_s, 2000000, 3, 0.0, 0.0}});
    c.exec(u"insert into Grouping (RecordID, Grouping) values (1, 'G1'), (6, 'G1')"_s);
    c.exec(u"insert into SourceA (RecordID, SourceID) values (2, 'Smith 1990')"_s);
    c.exec(u"insert into IsoStatistics (RecordID, MSWD, FCutoff, ProbOfFit, Alpha) values "
           u"(4, 0.5, 2.0, 0.6, 0.05), (3, 5.0, 2.0, 0.01, 0.05)"_s);
    t.commit();
}

// A data module on the fixture, as start-up leaves it connected.
struct Fixture
{
    explicit Fixture(const QString &backend) : database(backend), dm(ui)
    {
        auto filler = test::createDatabase(database, DatabaseKind::Results);
        fillFixture(*filler);
        filler->close();
        dm.KVResults.bind(database.location());
        dm.KVResults.open();
    }
    QList<int> recordIds()
    {
        QList<int> ids;
        for (dm.Query1->first(); !dm.Query1->eof(); dm.Query1->next())
            ids << dm.Query1->value(u"RecordID"_s).toInt();
        dm.Query1->first();
        return ids;
    }

    test::TestDatabase database;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

void define(QueryDefinition &d, const QString &step)
{
    const QStringList w = step.split(u' ');
    if (w[0] == u"pref"_s)
        d.prefLevelChecked = w[1] != u"none"_s, d.prefLevel = w[1];
    else if (w[0] == u"order"_s)
        d.order = w[1].toInt();
    else if (w[0] == u"from"_s)
        d.fromDate = true, d.fromDateText = w[1];
    else if (w[0] == u"isochron"_s)
        d.isochronOnly = true;
    else if (w[0] == u"dc"_s)
        d.decayConstants = w[1] == u"with"_s ? QueryDefinition::DecayConstants::WithUncertainties
                                             : QueryDefinition::DecayConstants::WithoutUncertainties;
    else
        d.addValue(w[0].toInt(), w.mid(1).join(u' '), w.mid(1).join(u' '));
}

} // namespace

class TestQueryCommand : public QObject
{
    Q_OBJECT

private slots:
    void counts_data();
    void counts();
    void reapplyEditedText_data() { test::addBackendRows(); }
    void reapplyEditedText();
    void rejectedText_data();
    void rejectedText();
    void typedTexts_data();
    void typedTexts();
    void badDate_data();
    void badDate();
    void startPrefLevel_data() { test::addBackendRows(); }
    void startPrefLevel();
    void largeResultInBatches_data() { test::addBackendRows(); }
    void largeResultInBatches();
    void ordersReadFromIndexes_data();
    void ordersReadFromIndexes();
    void kvtoolQuery();
};

void TestQueryCommand::counts_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("definition");
    QTest::addColumn<QList<int>>("ids"); // in the order the query returns them

    const QList<std::tuple<const char *, QStringList, QList<int>>> cases{
        // record 6 has no Material row: the joins leave it out
        {"everything, by country", {u"pref none"_s}, {3, 4, 5, 1, 2}},
        {"by record", {u"pref none"_s, u"order 1"_s}, {1, 2, 3, 4, 5}},
        {"by date", {u"pref none"_s, u"order 2"_s}, {5, 3, 4, 1, 2}},
        {"by material", {u"pref none"_s, u"order 3"_s}, {3, 4, 5, 2, 1}},
        {"two areas", {u"pref none"_s, u"1 ZAF"_s, u"1 BWA"_s}, {3, 4, 1, 2}},
        {"two areas and a material", {u"1 ZAF"_s, u"1 BWA"_s, u"4 zr"_s}, {1, 2}},
        {"after 1500 Ma, strictly", {u"from 1500"_s, u"order 2"_s}, {4, 1, 2}},
        {"preference level 2 and up", {u"pref 2"_s}, {4, 5, 1, 2}},
        // a database without preference levels starts with none chosen: no condition, not a blank one
        {"no preference level to compare with", {u"pref "_s}, {3, 4, 5, 1, 2}},
        {"a quoted area", {u"1 O'K"_s}, {5}},
        {"a group", {u"10 G1"_s}, {1}},
        {"a reference", {u"15 Smith 1990"_s}, {2}},
        {"isochrons only", {u"isochron"_s}, {4}},
        {"with decay-constant uncertainties", {u"pref none"_s, u"dc with"_s}, {2}},
        {"without decay-constant uncertainties",
         {u"pref none"_s, u"dc without"_s, u"order 1"_s},
         {1, 3, 4, 5}},
        {"nothing found", {u"1 ZAF"_s, u"4 bt"_s}, {}},
    };
    for (const QString &backend : test::backends())
        for (const auto &[name, definition, ids] : cases)
            QTest::newRow(qPrintable(backend + u": "_s + QString::fromUtf8(name)))
                << backend << definition << ids;
}

void TestQueryCommand::counts()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, definition);
    QFETCH(QList<int>, ids);

    Fixture f(backend);
    QueryDefinition d;
    for (const QString &step : definition)
        define(d, step);
    f.dm.DateDataCurrent = f.dm.MapDataCurrent = true;
    QueryCommand command(f.dm, f.ui);
    QVERIFY2(command.execute(d), qPrintable(command.lastError()));

    QCOMPARE(command.recordCount(), int(ids.size()));
    QCOMPARE(command.recordCountText(), QString::number(ids.size()));
    QCOMPARE(f.recordIds(), ids);
    QVERIFY(!f.dm.DateDataCurrent && !f.dm.MapDataCurrent);
    QVERIFY(!f.ui.isBusy());
    QCOMPARE(f.ui.texts(u"busy"_s), QStringList{u"Executing query ...."_s});
    QCOMPARE(f.ui.messages(), QStringList());
    QCOMPARE(command.developerText(), f.dm.Query1->sqlText());
    QCOMPARE(command.checksQueryText(), f.dm.Query1->sqlText());
    QCOMPARE(command.checksCountText(), f.dm.QCount->sqlText());
    // the record view shows the first record, with its second decay constant when it has one
    if (!ids.isEmpty()) {
        QCOMPARE(f.dm.QResults->value(u"RecordID"_s).toInt(), ids.first());
        QCOMPARE(command.showsSecondDecayConstant(), ids.first() == 2);
    } else {
        QVERIFY(f.dm.QResults->isEmpty());
    }
}

void TestQueryCommand::reapplyEditedText()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QueryDefinition d;
    d.prefLevelChecked = false;
    QueryCommand command(f.dm, f.ui);
    QVERIFY(command.execute(d));
    QCOMPARE(command.recordCount(), 5);

    // The developer adds a condition before the order line and reverses the order.
    QStringList lines = QueryCommand::memoLines(command.developerText());
    lines.insert(lines.size() - 1, u"AND ISORGR30.PrefLevel >= 2"_s);
    lines.last() = u"ORDER by RecordID desc"_s;
    f.dm.RatioDataCurrent = true;
    QVERIFY2(command.reapply(lines.join(u"\r\n"_s) + u"\r\n"_s), qPrintable(command.lastError()));
    QCOMPARE(command.recordCount(), 4);
    QCOMPARE(f.recordIds(), (QList<int>{5, 4, 2, 1}));
    QCOMPARE(f.dm.Query1->sql(), lines);
    QCOMPARE(f.dm.QCount->sql().mid(f.dm.QCount->sql().size() - 2),
             (QStringList{u"AND ISORGR30.PrefLevel >= 2"_s, u") kvcount"_s}));
    QVERIFY(!f.dm.RatioDataCurrent);
    QVERIFY(!f.ui.isBusy());
    QCOMPARE(f.ui.messages(), QStringList());
}

void TestQueryCommand::rejectedText_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("how");
    for (const QString &backend : test::backends()) {
        QTest::newRow(qPrintable(backend + u": hand-edited"_s)) << backend << u"edited"_s;
        QTest::newRow(qPrintable(backend + u": a joined table missing"_s)) << backend << u"table"_s;
    }
}

void TestQueryCommand::rejectedText()
{
    QFETCH(QString, backend);
    QFETCH(QString, how);
    Fixture f(backend);
    QueryCommand command(f.dm, f.ui);
    QueryDefinition d;
    d.prefLevelChecked = false;
    d.addValue(1, u"ZAF"_s, u"ZAF"_s);
    QVERIFY(command.execute(d));
    QCOMPARE(command.recordCount(), 2);
    f.ui.clear();

    bool ran = true;
    if (how == u"edited"_s) {
        ran = command.reapply(QString(command.developerText()).replace(u"WHERE"_s, u"WHER"_s));
    } else if (how == u"table"_s) {
        for (Dataset *open : f.dm.datasets()) // SQLite drops no table that a cursor reads
            open->close();
        // one of the nine tables the built query joins, away for this run
        f.dm.KVResults.exec(u"alter table Material rename to MaterialAway"_s);
        ran = command.execute(d);
        f.dm.KVResults.exec(u"alter table MaterialAway rename to Material"_s);
    }
    QVERIFY(!ran);
    QCOMPARE(f.ui.texts(u"error"_s).size(), 1);
    QCOMPARE(f.ui.texts(u"error"_s).first(), command.lastError());
    QVERIFY(!command.lastError().isEmpty());
    QVERIFY(!f.ui.isBusy());
    QVERIFY(!f.dm.Query1->isOpen());
    QVERIFY(!f.dm.QCount->isOpen());
    QVERIFY(f.dm.QResults->isEmpty());
    QCOMPARE(command.recordCount(), 0);
    QCOMPARE(command.recordCountText(), u"0"_s);

    // The next query runs as if nothing had happened.
    QVERIFY(command.execute(d));
    QCOMPARE(command.recordCount(), 2);
    QCOMPARE(f.recordIds(), (QList<int>{1, 2}));
}

void TestQueryCommand::typedTexts_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count"); // -1: refused
    const QString nineLineUpdate =
        u"update IsoRgr30\nset Comment = 'gone'\nwhere 1 = 1\nand 2 = 2\nand 3 = 3\nand 4 = 4\nand 5 = 5\n"
        u"and 6 = 6\nand 7 = 7"_s;
    const QList<std::tuple<const char *, QString, int>> cases{
        // record 6 has no lookup rows but no join here leaves it out
        {"three lines of another shape",
         u"select RecordID, IAge from IsoRgr30\nwhere IAge > 1000000\nORDER by RecordID"_s, 5},
        {"a table added to the from line", u"grouped"_s, 1},
        {"one line, no order", u"select RecordID from IsoRgr30"_s, 6},
        {"delete", u"delete from Grouping"_s, -1},
        {"an update of nine lines", nineLineUpdate, -1},
        {"insert from a select",
         u"insert into Grouping (RecordID, Grouping) select RecordID, 'X' from IsoRgr30"_s, -1},
        {"a select, then a delete", u"select RecordID from IsoRgr30;\ndelete from Grouping"_s, -1},
        {"a delete behind the order line",
         u"select RecordID from IsoRgr30\nORDER by RecordID; delete from Grouping"_s, -1},
        {"a writing WITH", u"with d as (delete from Grouping returning RecordID)\nselect RecordID from d"_s,
         -1},
        {"a function that writes", u"select RecordID, nextval('sourcelista_sourcenum_seq') from IsoRgr30"_s,
         -1},
    };
    for (const QString &backend : test::backends())
        for (const auto &[name, text, count] : cases)
            QTest::newRow(qPrintable(backend + u": "_s + QString::fromUtf8(name)))
                << backend << text << count;
}

void TestQueryCommand::typedTexts()
{
    // A text typed on the "Developer" tab runs only when it is one statement that reads; it is counted
    // by its own rows whatever its shape, and a refused one changes nothing stored.
    QFETCH(QString, backend);
    QFETCH(QString, text);
    QFETCH(int, count);
    Fixture f(backend);
    QueryCommand command(f.dm, f.ui);
    QueryDefinition d;
    d.prefLevelChecked = false;
    QVERIFY(command.execute(d));
    if (text == u"grouped"_s) {
        QStringList lines = QueryCommand::memoLines(command.developerText());
        lines[6] += u", GROUPING"_s;
        lines.insert(lines.size() - 1,
                     u"AND ISORGR30.RecordID = GROUPING.RecordID AND Grouping.Grouping = 'G1'"_s);
        text = lines.join(u'\n');
    }
    f.ui.clear();
    const bool ran = command.reapply(text);
    QVERIFY(!f.ui.isBusy());
    if (count >= 0) {
        QVERIFY2(ran, qPrintable(command.lastError()));
        QCOMPARE(command.recordCount(), count);
        QCOMPARE(int(f.recordIds().size()), count);
        QCOMPARE(f.ui.messages(), QStringList());
    } else {
        QVERIFY(!ran);
        QCOMPARE(f.ui.texts(u"error"_s).size(), 1);
        QVERIFY(!f.dm.Query1->isOpen());
        QCOMPARE(command.recordCountText(), u"0"_s);
    }
    f.dm.Query1->close();
    QSqlQuery groups = f.dm.KVResults.exec(u"select count(*) from Grouping"_s);
    QVERIFY(groups.next());
    QCOMPARE(groups.value(0).toInt(), 2);
    QSqlQuery comments = f.dm.KVResults.exec(u"select count(*) from IsoRgr30 where Comment = 'gone'"_s);
    QVERIFY(comments.next());
    QCOMPARE(comments.value(0).toInt(), 0);
    // the connection writes again afterwards
    f.dm.KVResults.exec(u"insert into Grouping (RecordID, Grouping) values (2, 'G2')"_s);

    // and the built query still counts as before
    QVERIFY(command.execute(d));
    QCOMPARE(command.recordCount(), 5);
}

void TestQueryCommand::badDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::newRow("no number") << u"early"_s;
    QTest::newRow("beyond what IAge holds") << u"1e17"_s;
    QTest::newRow("just beyond") << u"2147484"_s;
    QTest::newRow("far below") << u"-3e6"_s;
}

void TestQueryCommand::badDate()
{
    // A from-date that is no number is said before anything runs; the last result stays.
    Fixture f(u"sqlite"_s);
    QueryCommand command(f.dm, f.ui);
    QueryDefinition d;
    d.prefLevelChecked = false;
    QVERIFY(command.execute(d));
    const QString lastText = f.dm.Query1->sqlText();
    QFETCH(QString, date);
    d.fromDate = true;
    d.fromDateText = date;
    f.ui.clear();
    QVERIFY(!command.execute(d));
    QCOMPARE(f.ui.texts(u"warning"_s).size(), 1);
    QVERIFY(f.ui.texts(u"warning"_s).first().contains(u"'%1'"_s.arg(date)));
    QVERIFY(f.ui.texts(u"busy"_s).isEmpty());
    QCOMPARE(f.dm.Query1->sqlText(), lastText);
    QVERIFY(f.dm.Query1->isOpen());
    QCOMPARE(command.recordCount(), 5);
}

void TestQueryCommand::startPrefLevel()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    // rows were stored 3, 1, 2: the second in key order is 2
    QCOMPARE(QueryCommand::startPrefLevel(*f.dm.PrefLevel), u"2"_s);
    f.dm.PrefLevel->close();
    f.dm.KVResults.exec(u"delete from PrefLevel where PrefLevelNo <> 1"_s);
    QCOMPARE(QueryCommand::startPrefLevel(*f.dm.PrefLevel), QString());
}

void TestQueryCommand::largeResultInBatches()
{
    // More rows than one batch of a PostgreSQL cursor: every row arrives once, in order, and leaving
    // the result half read ends the cursor's transaction.
    QFETCH(QString, backend);
    Fixture f(backend);
    const int total = 2600;
    {
        Transaction t(f.dm.KVResults);
        QSqlQuery insert = f.dm.KVResults.prepare(
            u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, MaterialAbr, IsotopeSystem, IAge, "
            u"Lithology, "
            u"ApproachAbr, InterpAbr, TechAbr, MethodAbr) values (?, 'BWA', 'Gaborone', 'bt', 'Rb-Sr', 5, "
            u"'granite', 'A', 'I', 'T', 'M')"_s);
        for (int id = 100; id < 100 + total; ++id) {
            insert.addBindValue(id);
            f.dm.KVResults.execPrepared(insert);
        }
        t.commit();
    }
    QueryDefinition d;
    d.prefLevelChecked = false;
    d.order = QueryDefinition::OrderByRecord;
    QueryCommand command(f.dm, f.ui);
    QVERIFY(command.execute(d));
    QCOMPARE(command.recordCount(), total + 5);
    QList<int> ids = f.recordIds();
    QCOMPARE(ids.size(), total + 5);
    QCOMPARE(ids.mid(5), [&] {
        QList<int> expected;
        for (int id = 100; id < 100 + total; ++id)
            expected << id;
        return expected;
    }());

    f.dm.Query1->moveTo(1500);
    f.dm.Query1->close();
    if (backend == u"postgresql"_s) {
        QSqlQuery open = f.dm.KVResults.exec(u"select count(*) from pg_stat_activity where datname = "
                                             u"current_database() and state like 'idle in transaction%'"_s);
        QVERIFY(open.next());
        QCOMPARE(open.value(0).toInt(), 0);
    }
}

void TestQueryCommand::ordersReadFromIndexes_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("definition");
    for (int order = 0; order <= 3; ++order)
        QTest::newRow(qPrintable(u"order %1"_s.arg(order))) << order << QStringList{u"pref none"_s};
    QTest::newRow("an area, by country") << 0 << QStringList{u"pref none"_s, u"1 ZAF"_s};
    QTest::newRow("a date range, by date") << 2 << QStringList{u"pref none"_s, u"from 1000"_s};
}

void TestQueryCommand::ordersReadFromIndexes()
{
    // SQLite plans as if the tables were large: every order must come from an index, with the date
    // records read first, so the first rows of a large result arrive without a sort of all of it.
    QFETCH(int, order);
    QFETCH(QStringList, definition);
    Fixture f(u"sqlite"_s);
    QueryDefinition d;
    for (const QString &step : definition)
        define(d, step);
    d.order = order;
    d.prepareForQuery();
    const QString text = f.dm.KVResults.adapt(QueryCommand::queryLines(d).join(u'\n'));
    QSqlQuery plan = f.dm.KVResults.exec(u"EXPLAIN QUERY PLAN "_s + text);
    QStringList steps;
    while (plan.next())
        steps << plan.value(u"detail"_s).toString();
    QVERIFY2(!steps.isEmpty() && steps.first().contains(u"isorgr30"_s, Qt::CaseInsensitive),
             qPrintable(steps.join(u"; "_s)));
    QVERIFY2(!steps.join(u' ').contains(u"TEMP B-TREE"_s), qPrintable(steps.join(u"; "_s)));
}

void TestQueryCommand::kvtoolQuery()
{
    test::TempFolders folders;
    test::TestDatabase results(u"sqlite"_s);
    fillFixture(*test::createDatabase(results, DatabaseKind::Results));
    const QString working = folders.dataDir() + u"/working.sqlite"_s;
    {
        Connection w(u"w"_s);
        w.bind(working);
        w.open(true);
        w.createSchema(DatabaseKind::Working);
    }
    const QString csv = folders.path() + u"/rows.csv"_s;
    QFile edited(folders.path() + u"/edited.sql"_s);

    QProcess tool;
    tool.start(QStringLiteral(KV_KVTOOL),
               {u"query"_s, u"--area"_s, u"ZAF"_s, u"--area"_s, u"O'K"_s, u"--order"_s, u"2"_s, u"--csv"_s,
                csv, u"--results"_s, results.location(), u"--working"_s, working});
    QVERIFY(tool.waitForFinished(60000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(out.contains(u"ISORGR30.CountryAbr = 'ZAF'\nOR \nISORGR30.CountryAbr = 'O''K'\n"_s),
             qPrintable(out));
    // start-up's preference level (2, the second row) leaves out nothing here but is in the text
    QVERIFY(out.contains(u"\nISORGR30.PrefLevel >= 2\n"_s));
    QVERIFY(out.endsWith(u"# records = 3\n"_s));
    QFile rows(csv);
    QVERIFY(rows.open(QIODevice::ReadOnly));
    const QStringList csvLines = QString::fromUtf8(rows.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(csvLines.size(), 4);
    QVERIFY(csvLines[0].startsWith(u"CountryAbr,UnitName,"_s));
    QVERIFY(csvLines[1].startsWith(u"O'K,Okwa,"_s)); // 1000 Ma first: ordered by date
    QVERIFY(csvLines[3].startsWith(u"ZAF,Kaap Valley,"_s));

    // a hand-edited text the engine rejects: the message on standard error, exit status 1
    QVERIFY(edited.open(QIODevice::WriteOnly));
    edited.write("select nothing from nowhere\n");
    edited.close();
    tool.start(QStringLiteral(KV_KVTOOL), {u"query"_s, u"--query-file"_s, edited.fileName(), u"--results"_s,
                                           results.location(), u"--working"_s, working});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(QString::fromUtf8(tool.readAllStandardError()).contains(u"error: "_s));

    tool.start(QStringLiteral(KV_KVTOOL),
               {u"query"_s, u"--order"_s, u"7"_s, u"--results"_s, results.location()});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestQueryCommand)
#include "tst_query_command.moc"
