// SPDX-License-Identifier: GPL-3.0-or-later
// The tables of both databases as the back ends create them: every column with its type and width, the
// keys the program relies on, and texts cut to their column's width.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "test_support.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void tablesAndColumns_data() { test::addBackendRows(); }
    void tablesAndColumns();
    void textIsCutToWidth_data() { test::addBackendRows(); }
    void textIsCutToWidth();
    void keysAreEnforced_data() { test::addBackendRows(); }
    void keysAreEnforced();
    void knownTables();
    void sessionSettings_data() { test::addBackendRows(); }
    void sessionSettings();
};

void TestSchema::tablesAndColumns()
{
    QFETCH(QString, backend);
    for (const DatabaseKind kind : {DatabaseKind::Results, DatabaseKind::Working}) {
        test::TestDatabase database(backend);
        auto connection = test::createDatabase(database, kind);
        for (const TableDef *table : Schema::tables(kind)) {
            QVERIFY2(connection->hasTable(table->name), qPrintable(table->name));
            QSqlQuery query = connection->exec(u"select * from %1 where 1 = 0"_s.arg(table->name));
            const QSqlRecord record = query.record();
            QCOMPARE(record.count(), table->columns.size());
            for (const ColumnDef &column : table->columns) {
                QVERIFY2(record.indexOf(column.name) >= 0, qPrintable(table->name + u'.' + column.name));
                if (!column.isText())
                    continue;
                int width = 0;
                if (backend == u"postgresql"_s) {
                    QSqlQuery info = connection->exec(
                        u"select character_maximum_length from information_schema.columns "
                        u"where table_name = ? and column_name = ?"_s,
                        {table->name.toLower(), column.name.toLower()});
                    QVERIFY(info.next());
                    width = info.value(0).toInt();
                } else {
                    QSqlQuery info = connection->exec(u"PRAGMA table_info(%1)"_s.arg(table->name));
                    while (info.next())
                        if (info.value(1).toString() == column.name)
                            width = info.value(2).toString().section(u'(', 1).chopped(1).toInt();
                }
                QVERIFY2(width == column.width, qPrintable(table->name + u'.' + column.name));
            }
        }
    }
}

void TestSchema::textIsCutToWidth()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto connection = test::createDatabase(database, DatabaseKind::Results);
    Dataset country(u"CountryList"_s, connection.get());
    country.setSql({u"select * from Country"_s});
    country.setLive(true);
    country.open();
    country.append();
    country.setValue(u"CountryAbr"_s, u"ZAFX"_s);
    country.setValue(u"Country"_s, u"The Republic of South Africa and its islands"_s);
    QVERIFY(country.post());
    QCOMPARE(country.text(u"CountryAbr"_s), u"ZAF"_s);
    QSqlQuery stored = connection->exec(u"select CountryAbr, Country from Country"_s);
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toString(), u"ZAF"_s);
    QCOMPARE(stored.value(1).toString(), u"The Republic of South Africa a"_s); // 30 characters
}

void TestSchema::keysAreEnforced()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto connection = test::createDatabase(database, DatabaseKind::Results);
    connection->exec(u"insert into IsoRgr30 (RecordID, IAge) values (1, 100)"_s);
    const auto codeOf = [&](const QString &sql) {
        try {
            connection->exec(sql);
        } catch (const DatabaseError &e) {
            return e.code();
        }
        return -1;
    };
    QCOMPARE(codeOf(u"insert into IsoRgr30 (RecordID, IAge) values (1, 200)"_s), int(KeyViolation));
    QCOMPARE(codeOf(u"insert into IsoRgr30 (IAge) values (300)"_s), int(RequiredFieldMissing));
    connection->exec(u"insert into GroupingList (Grouping) values ('Irumide')"_s);
    QCOMPARE(codeOf(u"insert into GroupingList (Grouping) values ('Irumide')"_s), int(KeyViolation));
    connection->exec(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID) values ('S1', 'a', 'Rb-Sr', 'X')"_s);
    QCOMPARE(codeOf(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID) values ('S1', 'a', 'Rb-Sr', 'X')"_s),
             int(KeyViolation));
    // another fraction of the same sample is a row of its own
    QCOMPARE(codeOf(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID) values ('S1', 'b', 'Rb-Sr', 'X')"_s),
             -1);
}

void TestSchema::knownTables()
{
    // The detail tables carry RecordID, and every column name keeps one type across tables.
    for (const char16_t *name : {u"IsoStatistics", u"IsoInit", u"IsoOther", u"Grouping", u"Province", u"Terrane",
                                 u"IsoOrogenic", u"IsoChemType", u"SourceA", u"IsoLab", u"IsoImages", u"IsoFor",
                                 u"SmpReg"}) {
        const TableDef *table = Schema::table(QString::fromUtf16(name));
        QVERIFY(table);
        QVERIFY(table->column(u"recordid"_s));
    }
    QCOMPARE(Schema::table(u"isorgr30"_s)->columns.size(), 27);
    QCOMPARE(Schema::columnSpelling(u"iageperror"_s), u"IAgePError"_s);
    QCOMPARE(Schema::table(u"SourceListA"_s)->column(u"SourceNum"_s)->type, ColumnType::AutoInc);
}

// The engine settings every connection and every bulk write run with: they decide how fast the graphs,
// imports and recalculations are, and a connection option that does not take is silently ignored.
void TestSchema::sessionSettings()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto connection = test::createDatabase(database, DatabaseKind::Results);
    const auto setting = [&](const QString &sql) {
        QSqlQuery q = connection->exec(sql);
        return q.next() ? q.value(0).toString() : QString();
    };
    if (backend == u"postgresql"_s) {
        QCOMPARE(setting(u"show jit"_s), u"off"_s);
    } else {
        QCOMPARE(setting(u"PRAGMA cache_size"_s), u"-65536"_s);
        connection->engine().prepareBulkWrite(*connection);
        QCOMPARE(setting(u"PRAGMA cache_size"_s), u"-131072"_s);
        QCOMPARE(setting(u"PRAGMA temp_store"_s), u"2"_s); // memory
        connection->engine().prepareStreamingRead(*connection);
        QCOMPARE(setting(u"PRAGMA cache_size"_s), u"-2000"_s);
    }
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
