// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite dialect adapter: which texts it rewrites and how, and that the rewritten texts run there
// with the plans they are meant to get.
#include "data/connection.h"
#include "data/dialect_adapter.h"
#include "test_support.h"

#include <QSqlError>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestDialectAdapter : public QObject
{
    Q_OBJECT

private slots:
    void forSqlite_data();
    void forSqlite();
    void ambiguousOrderRuns();
    void onlySqliteIsAdapted();
};

void TestDialectAdapter::forSqlite_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one table, unchanged")
        << u"select * from IsoRgr30\norder by RecordID"_s << u"select * from IsoRgr30\norder by RecordID"_s;
    QTest::newRow("not a select") << u"update IsoRgr30, Country set x = 1"_s
                                  << u"update IsoRgr30, Country set x = 1"_s;
    QTest::newRow("comma joins become cross joins")
        << u"select count(ISORGR30.RECORDID)\nfrom isorgr30, Country,Suite\n,GROUPING \nWHERE a = b"_s
        << u"select count(ISORGR30.RECORDID)\nfrom isorgr30 CROSS JOIN Country CROSS JOIN Suite CROSS JOIN "
           u"GROUPING "
           u"\nWHERE a = b"_s;
    QTest::newRow("date records first") << u"select x from Country c, IsoRgr30 r where c.a = r.a"_s
                                        << u"select x from IsoRgr30 r CROSS JOIN Country c where c.a = r.a"_s;
    QTest::newRow("order by names of the select list")
        << u"select ISORGR30.CountryAbr, Suite.UnitName \nfrom isorgr30, Suite\nWHERE ISORGR30.UnitName = "
           u"SUITE.UnitName \nORDER by CountryAbr,UnitName desc"_s
        << u"select * from (\nselect ISORGR30.CountryAbr, Suite.UnitName \nfrom isorgr30 CROSS JOIN "
           u"Suite\nWHERE "
           u"ISORGR30.UnitName = SUITE.UnitName\n) ORDER by CountryAbr,UnitName desc"_s;
    QTest::newRow("order by an alias, trailing semicolon")
        << u"select a.x AS y from a, b order by y;"_s
        << u"select * from (\nselect a.x AS y from a CROSS JOIN b\n) order by y"_s;
    QTest::newRow("star select list") << u"select * from a, b order by x"_s
                                      << u"select * from (\nselect * from a CROSS JOIN b\n) order by x"_s;
    QTest::newRow("order by a name not selected")
        << u"select a.x from a, b order by z"_s << u"select a.x from a CROSS JOIN b order by z"_s;
    QTest::newRow("order by an expression")
        << u"select a.x from a, b order by a.x"_s << u"select a.x from a CROSS JOIN b order by a.x"_s;
    QTest::newRow("order by position")
        << u"select a.x from a, b order by 1"_s << u"select a.x from a CROSS JOIN b order by 1"_s;
    QTest::newRow("order then limit") << u"select a.x from a, b order by x limit 5"_s
                                      << u"select a.x from a CROSS JOIN b order by x limit 5"_s;
    QTest::newRow("quoted text is not parsed")
        << u"select a.x from a, b where a.n = 'O''Brien, from, order by' order by x"_s
        << u"select * from (\nselect a.x from a CROSS JOIN b where a.n = 'O''Brien, from, order by'\n) order by x"_s;
    QTest::newRow("explicit joins kept, order resolved")
        << u"select a.x from a join b on a.k = b.k order by x"_s
        << u"select * from (\nselect a.x from a join b on a.k = b.k\n) order by x"_s;
    QTest::newRow("subquery in from, unchanged")
        << u"select q.x from (select x from a, b) q, c"_s << u"select q.x from (select x from a, b) q, c"_s;
    QTest::newRow("count around a text: the text is adapted")
        << u"select count(*) from (\nselect a.x from a, b\n) kvcount"_s
        << u"select count(*) from (\nselect a.x from a CROSS JOIN b\n) kvcount"_s;
    QTest::newRow("count around an ordered text")
        << u"select count(*) from (select a.x from a, b order by x) as n"_s
        << u"select count(*) from (select * from (\nselect a.x from a CROSS JOIN b\n) order by x) as n"_s;
    QTest::newRow("subquery joined to more, unchanged")
        << u"select count(*) from (select x from a, b) q join c on q.x = c.x"_s
        << u"select count(*) from (select x from a, b) q join c on q.x = c.x"_s;
    QTest::newRow("compound select, unchanged") << u"select x from a, b union select x from c order by x"_s
                                                << u"select x from a, b union select x from c order by x"_s;
    QTest::newRow("open quote, unchanged")
        << u"select x from a, b where y = 'open"_s << u"select x from a, b where y = 'open"_s;
    QTest::newRow("comment kept") << u"select x -- from a, b\nfrom a, b"_s
                                  << u"select x -- from a, b\nfrom a CROSS JOIN b"_s;
}

void TestDialectAdapter::forSqlite()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(DialectAdapter::forSqlite(sql), expected);
}

void TestDialectAdapter::ambiguousOrderRuns()
{
    // SQLite itself calls the bare name ambiguous; adapted, it sorts by the selected column.
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(
        u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa'), ('BWA', 'Botswana')"_s);
    c->exec(u"insert into Suite (UnitName, CountryAbr) values ('U1', 'ZAF'), ('U2', 'BWA')"_s);
    c->exec(
        u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName) values (1, 'ZAF', 'U1'), (2, 'BWA', 'U2')"_s);
    const QString text =
        u"select ISORGR30.CountryAbr, ISORGR30.RecordID from isorgr30, Country, Suite "
        u"WHERE ISORGR30.CountryAbr = COUNTRY.CountryAbr AND ISORGR30.UnitName = SUITE.UnitName "
        u"ORDER by CountryAbr"_s;
    QSqlQuery raw(c->database());
    QVERIFY(!raw.exec(text));
    QVERIFY2(raw.lastError().text().contains(u"ambiguous"_s), qPrintable(raw.lastError().text()));

    QSqlQuery adapted = c->exec(c->adapt(text));
    QList<int> ids;
    while (adapted.next())
        ids << adapted.value(1).toInt();
    QCOMPARE(ids, (QList<int>{2, 1}));
}

void TestDialectAdapter::onlySqliteIsAdapted()
{
    const QString text = u"select a.x from a, b order by x"_s;
    Connection pg(u"pg"_s);
    pg.bind(u"postgresql://u@localhost/db"_s);
    QCOMPARE(pg.adapt(text), text);
    Connection sqlite(u"lite"_s);
    sqlite.bind(u"/tmp/x.sqlite"_s);
    QCOMPARE(sqlite.adapt(text), u"select * from (\nselect a.x from a CROSS JOIN b\n) order by x"_s);
}

QTEST_GUILESS_MAIN(TestDialectAdapter)
#include "tst_dialect_adapter.moc"
