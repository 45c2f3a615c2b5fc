// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet generator's export (numeric-column flags, an empty table, a table of the database, kvtool
// export-table) and the migration of a folder of legacy Paradox tables into a new database.
#include "controls/workbook.h"
#include "core/errors.h"
#include "data/connection.h"
#include "data/schema.h"
#include "exchange/legacy_migration.h"
#include "exchange/legacy_table.h"
#include "exchange/sheet_generator.h"
#include "paradox_writer.h"
#include "query_fixture.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;
using namespace kv::test;

namespace {

#define KV_NO_ERROR(call)                                                                           \
    do {                                                                                            \
        try {                                                                                       \
            call;                                                                                   \
        } catch (const kv::Error &e) {                                                              \
            QFAIL(qPrintable(e.message()));                                                         \
        }                                                                                           \
    } while (false)

QString cell(const WorkbookSheet &sheet, int row, int column)
{
    switch (sheet.kind(row, column)) {
    case CellKind::Empty: return u"empty"_s;
    case CellKind::Number: return u"number:"_s + QString::number(sheet.number(row, column), 'g', 15);
    case CellKind::Text: return u"text:"_s + sheet.text(row, column);
    }
    return {};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString customerTable()
{
    for (const QString &dir : {QStringLiteral(KV_SOURCE_DIR "/../shared/data/paradox"), u"/work/shared/data/paradox"_s})
        if (QFileInfo::exists(dir + u"/CUSTOMER.DB"_s))
            return dir + u"/CUSTOMER.DB"_s;
    return {};
}

// A legacy value of a schema column, stored as Paradox stores it.
PxField pxFieldOf(const ColumnDef &column)
{
    const QByteArray name = column.name.toLatin1();
    switch (column.type) {
    case ColumnType::Text: return {name, 0x01, std::min(column.width, 255)};
    case ColumnType::Int16: return {name, 0x03, 2};
    case ColumnType::Int32: return {name, 0x04, 4};
    case ColumnType::Float: return {name, 0x06, 8};
    case ColumnType::Date: return {name, 0x02, 4};
    case ColumnType::Memo: return {name, 0x0C, 11};
    case ColumnType::FormattedMemo: return {name, 0x0E, 11};
    case ColumnType::Graphic: return {name, 0x10, 10};
    case ColumnType::AutoInc: return {name, 0x16, 4};
    }
    return {name, 0x01, 1};
}

// The stored bytes of one value of a field (a null QVariant: blank).
QByteArray pxValue(const PxField &field, const QVariant &value, PxMemoFile &mb)
{
    if (value.isNull())
        return QByteArray(pxStoredSize(field), '\0');
    switch (field.type) {
    case 0x01: return pxAlpha(value.toByteArray(), field.size);
    case 0x02: return pxDate(value.toDate());
    case 0x03: return pxInteger(value.toInt(), 2);
    case 0x04:
    case 0x16: return pxInteger(value.toInt(), 4);
    case 0x06: return pxDouble(value.toDouble());
    default: {
        const QByteArray bytes = value.toByteArray();
        const int leader = field.size - 10;
        return pxBlob(bytes, leader, bytes.size() <= leader ? 0 : bytes.size() > 2000 ? mb.addSingle(bytes) : mb.addShort(bytes));
    }
    }
}

// A legacy results folder: every table of the schema, empty but for the records given (column name to
// value, in the table's code page), each table with its memo file.
void writeLegacyFolder(const QString &dir, const QHash<QString, QList<QVariantMap>> &records,
                       const QHash<QString, QList<PxField>> &fieldsOverride = {})
{
    for (const TableDef *table : Schema::tables(DatabaseKind::Results)) {
        QList<PxField> fields;
        for (const ColumnDef &column : table->columns)
            fields << pxFieldOf(column);
        if (fieldsOverride.contains(table->name))
            fields = fieldsOverride[table->name];
        PxMemoFile mb;
        QList<QByteArray> rows;
        for (const QVariantMap &record : records.value(table->name)) {
            QByteArray row;
            for (const PxField &field : fields)
                row += pxValue(field, record.value(QString::fromLatin1(field.name)), mb);
            rows << row;
        }
        writeFile(dir + u'/' + table->name + u".DB"_s, paradoxTable(fields, rows, 0x0C, 850));
        writeFile(dir + u'/' + table->name + u".MB"_s, mb.data());
    }
}

QVariantMap record(std::initializer_list<std::pair<QString, QVariant>> values)
{
    QVariantMap map;
    for (const auto &[key, value] : values)
        map.insert(key, value);
    return map;
}

int runKvtool(const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(KV_KVTOOL), args);
    if (!p.waitForFinished(120000))
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}

} // namespace

class TestSheetGenerator : public QObject
{
    Q_OBJECT

private slots:
    void numericFlags_data();
    void numericFlags();
    void fieldsPast100();
    void emptyTable();
    void realTable();
    void databaseTable_data();
    void databaseTable();
    void kvtoolExportTable();
    void migration_data();
    void migration();
    void migrationRefused_data();
    void migrationRefused();

private:
    TempFolders m_folders;
    QTemporaryDir m_dir;
};

void TestSheetGenerator::numericFlags_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("flag");
    QTest::addColumn<QString>("cell");

    QTest::newRow("numeric text flagged") << QVariant(u"1234"_s) << true << u"number:1234"_s;
    QTest::newRow("numeric text with blanks") << QVariant(u" 12.5 "_s) << true << u"number:12.5"_s;
    QTest::newRow("exponent") << QVariant(u"1e3"_s) << true << u"number:1000"_s;
    QTest::newRow("letters flagged") << QVariant(u"MG-12a"_s) << true << u"text:MG-12a"_s;
    QTest::newRow("inf is no number") << QVariant(u"inf"_s) << true << u"text:inf"_s;
    QTest::newRow("decimal comma is text") << QVariant(u"12,5"_s) << true << u"text:12,5"_s;
    QTest::newRow("numeric text unflagged") << QVariant(u"1234"_s) << false << u"text:1234"_s;
    QTest::newRow("number flagged") << QVariant(2541.5) << true << u"number:2541.5"_s;
    QTest::newRow("number unflagged") << QVariant(2541.5) << false << u"text:2541.5"_s;
    QTest::newRow("integer unflagged") << QVariant(7) << false << u"text:7"_s;
    QTest::newRow("date flagged: its day serial") << QVariant(QDate(2000, 1, 1)) << true << u"number:36526"_s;
    QTest::newRow("date unflagged") << QVariant(QDate(2000, 1, 1)) << false << u"text:2000-01-01"_s;
    QTest::newRow("logical") << QVariant(true) << true << u"text:True"_s;
    QTest::newRow("blank number stays empty") << QVariant(QMetaType(QMetaType::Double)) << true << u"empty"_s;
    QTest::newRow("blank text stays empty") << QVariant() << false << u"empty"_s;
    QTest::newRow("picture bytes") << QVariant(QByteArray("\x89PNG", 4)) << true << u"empty"_s;
}

void TestSheetGenerator::numericFlags()
{
    QFETCH(QVariant, value);
    QFETCH(bool, flag);
    QFETCH(QString, cell);
    WorkbookSheet sheet;
    writeSheetCell(sheet, 2, 3, value, flag);
    QCOMPARE(::cell(sheet, 2, 3), cell);
}

void TestSheetGenerator::fieldsPast100()
{
    LegacyTable table;
    QVariantList row;
    for (int p = 1; p <= 101; ++p) {
        table.fields << LegacyField{u"F%1"_s.arg(p), LegacyFieldType::Alpha, 5, 0};
        row << u"1234"_s;
    }
    table.rows.push_back(row);
    Workbook workbook;
    const SheetExportResult result = fillSheet(table, NumericColumnFlags::all(), workbook);
    QCOMPARE(result.fields, 101);
    QCOMPARE(result.records, 1);
    const WorkbookSheet &sheet = workbook.sheetAt(1);
    QCOMPARE(cell(sheet, 1, 101), u"text:F101"_s);
    QCOMPARE(cell(sheet, 2, 1), u"number:1234"_s);
    QCOMPARE(cell(sheet, 2, 100), u"number:1234"_s);
    QCOMPARE(cell(sheet, 2, 101), u"text:1234"_s);
    QCOMPARE(workbook.row(), 1);
}

void TestSheetGenerator::emptyTable()
{
    const QString path = m_dir.filePath(u"empty.DB"_s);
    writeFile(path, paradoxTable({{"RecordID", 0x04, 4}, {"UnitName", 0x01, 50}}, {}));
    LegacyTable table;
    KV_NO_ERROR(table = readLegacyTable(path));
    Workbook workbook;
    QCOMPARE(fillSheet(table, NumericColumnFlags::all(), workbook).records, 0);
    const WorkbookSheet &sheet = workbook.sheetAt(1);
    QCOMPARE(int(sheet.cellCount()), 2);
    QCOMPARE(sheet.lastRow(), 1);
    QCOMPARE(cell(sheet, 1, 2), u"text:UnitName"_s);
}

// A real table through the sheet to an .xlsx file and back: postal codes read as numbers, names as
// texts, the memo column empty.
void TestSheetGenerator::realTable()
{
    const QString path = customerTable();
    if (path.isEmpty())
        QSKIP("the shared Paradox tables are not beside the checkout");
    Workbook workbook;
    KV_NO_ERROR(fillSheet(readLegacyTable(path), NumericColumnFlags::all(), workbook));
    const QString out = m_dir.filePath(u"customer.xlsx"_s);
    KV_NO_ERROR(workbook.writeWorkbook(out, FileTypeXlsx));
    Workbook back;
    int type = 0;
    KV_NO_ERROR(back.readWorkbook(out, type));
    const WorkbookSheet &sheet = back.sheetAt(1);
    QCOMPARE(sheet.lastRow(), 21);
    QStringList header, first;
    for (int c = 1; c <= 10; ++c) {
        header << sheet.text(1, c);
        first << cell(sheet, 2, c);
    }
    QCOMPARE(header.join(u'|'), u"CustNo|FirstName|LastName|EMail|Street|City|State/Prov|Zip/Postal Code|Comments|DateEntered"_s);
    QCOMPARE(first.join(u'|'), u"number:1|text:Luke|text:Justice|text:luke@fun.com|text:4-976 Sugarloaf Hwy|"
                               "text:Santa Cruz|text:CA|number:94766|empty|number:35097"_s);
}

void TestSheetGenerator::databaseTable_data()
{
    addBackendRows();
}

void TestSheetGenerator::databaseTable()
{
    QFETCH(QString, backend);
    TestDatabase database(backend);
    auto results = createDatabase(database, DatabaseKind::Results);
    insertQueryLookups(*results);
    insertQueryRecords(*results, {{7, u"ZA"_s, u"Bushveld"_s, u"zr"_s, u"U-Pb"_s, 2054000, 1},
                                  {9, u"NA"_s, u"Damara"_s, u"bt"_s, u"Rb-Sr"_s, 550500, 2}});
    QVERIFY(exportableTables(*results).contains(u"IsoRgr30"_s));
    QVERIFY(!exportableTables(*results).contains(u"KVTemp2"_s));

    Workbook workbook;
    SheetExportResult result;
    KV_NO_ERROR(result = fillSheetFromDatabase(*results, u"isorgr30"_s, NumericColumnFlags::all(), workbook));
    const TableDef *def = Schema::table(u"IsoRgr30"_s);
    QCOMPARE(result.records, 2);
    QCOMPARE(result.fields, int(def->columns.size()));
    const WorkbookSheet &sheet = workbook.sheetAt(1);
    auto column = [&](const QString &name) {
        for (int c = 0; c < def->columns.size(); ++c)
            if (def->columns[c].name == name)
                return c + 1;
        return 0;
    };
    QStringList got;
    for (int r = 2; r <= 3; ++r)
        got << cell(sheet, r, column(u"RecordID"_s)) + u' ' + cell(sheet, r, column(u"UnitName"_s)) + u' '
                   + cell(sheet, r, column(u"IAge"_s)) + u' ' + cell(sheet, r, column(u"Comment"_s));
    got.sort();
    QCOMPARE(got, (QStringList{u"number:7 text:Bushveld number:2054000 empty"_s,
                               u"number:9 text:Damara number:550500 empty"_s}));
    QCOMPARE(sheet.text(1, column(u"SigmaPercentDC2"_s)), u"SigmaPercentDC2"_s);

    // Only the schema's tables of the results database are ever named in SQL.
    for (const QString &name : {u"KVTemp2"_s, u"IsoRgr30; drop table Suite"_s, u"sqlite_master"_s}) {
        try {
            fillSheetFromDatabase(*results, name, NumericColumnFlags::all(), workbook);
            QFAIL(qPrintable(name + u" was exported"_s));
        } catch (const InputError &e) {
            QVERIFY2(e.message().contains(u"has no table"_s), qPrintable(e.message()));
        }
    }
    QVERIFY(results->hasTable(u"Suite"_s));
}

void TestSheetGenerator::kvtoolExportTable()
{
    const QString path = customerTable();
    if (path.isEmpty())
        QSKIP("the shared Paradox tables are not beside the checkout");
    const QString out = m_dir.filePath(u"kvtool.xls"_s);
    QByteArray stdOut, stdErr;
    QCOMPARE(runKvtool({u"export-table"_s, path, out}, &stdOut, &stdErr), 0);
    QVERIFY2(stdOut.contains("records exported\t20\n"), stdOut.constData());
    Workbook back;
    int type = 0;
    KV_NO_ERROR(back.readWorkbook(out, type));
    QCOMPARE(type, 11);
    QCOMPARE(back.sheetAt(1).text(1, 1), u"CustNo"_s);
    QCOMPARE(back.sheetAt(1).text(2, 2), u"Luke"_s);
    QCOMPARE(back.sheetAt(1).lastRow(), 21);

    QCOMPARE(runKvtool({u"export-table"_s, m_dir.filePath(u"missing.DB"_s), out}, nullptr, &stdErr), 1);
    QVERIFY2(stdErr.contains("does not exist"), stdErr.constData());
}

void TestSheetGenerator::migration_data()
{
    addBackendRows();
}

void TestSheetGenerator::migration()
{
    QFETCH(QString, backend);
    QTemporaryDir folder;
    const QByteArray longMemo = QByteArray("Walraven et al. 1990, Precambrian Research \x81" "ber alles. ").repeated(60);
    QHash<QString, QList<QVariantMap>> records;
    records[u"IsoRgr30"_s] = {
        record({{u"RecordID"_s, 1}, {u"CountryAbr"_s, QByteArray("ZA")}, {u"UnitName"_s, QByteArray("Bushveld")}, {u"IAge"_s, 2054000},
                {u"Age"_s, 2054.0}, {u"DateString"_s, QDate(1998, 3, 4)}, {u"Comment"_s, QByteArray("Z\x81rich lab")}}),
        record({{u"RecordID"_s, 2}, {u"CountryAbr"_s, QByteArray("NA")}, {u"Age"_s, -1.5}}),
        record({{u"RecordID"_s, 1}, {u"CountryAbr"_s, QByteArray("BW")}}),                 // a second record 1
        record({{u"CountryAbr"_s, QByteArray("ZW")}}),                                      // no RecordID
    };
    records[u"Country"_s] = {record({{u"CountryAbr"_s, QByteArray("CH")}, {u"Country"_s, QByteArray("Schweiz (Z\x81rich)")}})};
    records[u"SourceListA"_s] = {record({{u"SourceID"_s, QByteArray("Walraven1990")}, {u"SourceNum"_s, 416}, {u"SourceDes"_s, longMemo}})};
    records[u"IsoImages"_s] = {record({{u"RecordID"_s, 1}, {u"ImageTypeID"_s, QByteArray("N")}, {u"ImageID"_s, 1},
                                      {u"Graphic"_s, QByteArray("\x89PNG\r\n\x1a\n", 8).repeated(40)}})};
    // CountryAbr wider in the legacy table than the column: a longer code is refused.
    QList<PxField> suite;
    for (const ColumnDef &column : Schema::table(u"Suite"_s)->columns)
        suite << (column.name == u"CountryAbr" ? PxField{"CountryAbr", 0x01, 10} : pxFieldOf(column));
    records[u"Suite"_s] = {record({{u"UnitName"_s, QByteArray("Bushveld")}, {u"CountryAbr"_s, QByteArray("ZA")}}),
                          record({{u"UnitName"_s, QByteArray("Damara")}, {u"CountryAbr"_s, QByteArray("NAMIBIA")}})};
    writeLegacyFolder(folder.path(), records, {{u"Suite"_s, suite}});
    writeFile(folder.filePath(u"NOTOURS.DB"_s), paradoxTable({{"X", 0x01, 3}}, {}));

    TestDatabase database(backend);
    Connection target(u"KVResults"_s);
    target.bind(database.location());
    MigrationReport report;
    KV_NO_ERROR(report = migrateLegacyFolder(folder.path(), target));

    QHash<QString, MigratedTable> byName;
    for (const MigratedTable &t : report.tables)
        byName.insert(t.table, t);
    QCOMPARE(report.tables.size(), Schema::tables(DatabaseKind::Results).size());
    QCOMPARE(byName[u"IsoRgr30"_s].read, 4);
    QCOMPARE(byName[u"IsoRgr30"_s].stored, 2);
    QCOMPARE(byName[u"IsoRgr30"_s].refused,
             (QStringList{u"record 3: a record with RecordID 1 came before"_s, u"record 4: RecordID is blank"_s}));
    QCOMPARE(byName[u"Suite"_s].refused,
             QStringList{u"record 2: CountryAbr \"NAMIBIA\" is longer than its 3 characters"_s});
    QCOMPARE(report.stored(), 2 + 1 + 1 + 1 + 1);
    QCOMPARE(report.leftOut, QStringList{u"NOTOURS.DB"_s});

    QSqlQuery q = target.exec(u"select RecordID, UnitName, Age, DateString, Comment from IsoRgr30 order by RecordID"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toString(), u"Bushveld"_s);
    QCOMPARE(q.value(2).toDouble(), 2054.0);
    QCOMPARE(q.value(3).toDate(), QDate(1998, 3, 4));
    QCOMPARE(q.value(4).toString(), u"Zürich lab"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QCOMPARE(q.value(2).toDouble(), -1.5);
    QVERIFY(!q.next());
    q = target.exec(u"select Country from Country"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"Schweiz (Zürich)"_s);
    q = target.exec(u"select SourceDes, SourceNum from SourceListA"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString().size(), longMemo.size());
    QVERIFY(q.value(0).toString().startsWith(u"Walraven et al. 1990, Precambrian Research über alles."_s));
    q = target.exec(u"select Graphic from IsoImages"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toByteArray(), QByteArray("\x89PNG\r\n\x1a\n", 8).repeated(40));
    // The next reference gets the number after the largest migrated.
    target.exec(u"insert into SourceListA (SourceID) values ('next')"_s);
    q = target.exec(u"select SourceNum from SourceListA where SourceID = 'next'"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 417);

    // A second migration into the same database is refused and changes nothing.
    try {
        migrateLegacyFolder(folder.path(), target);
        QFAIL("a second migration was let into a database with records");
    } catch (const InputError &e) {
        QVERIFY2(e.message().contains(u"already holds records"_s), qPrintable(e.message()));
    }
    q = target.exec(u"select count(*) from IsoRgr30"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
}

void TestSheetGenerator::migrationRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing table") << u"missing"_s << u"The table Suite (Suite.DB) is missing."_s;
    QTest::newRow("foreign table") << u"foreign"_s << u"IsoRgr30.DB has the field \"Colour\", which the table IsoRgr30 does not have."_s;
    QTest::newRow("required field missing") << u"nokey"_s << u"Country.DB lacks the field CountryAbr, which the table Country requires."_s;
    QTest::newRow("damaged table") << u"damaged"_s << u"Lithol.DB is not a readable Paradox table"_s;
}

// A folder that is not wholly the results database is reported, and nothing is written.
void TestSheetGenerator::migrationRefused()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    QHash<QString, QList<PxField>> fields;
    if (damage == u"foreign") {
        QList<PxField> iso;
        for (const ColumnDef &column : Schema::table(u"IsoRgr30"_s)->columns)
            iso << pxFieldOf(column);
        iso << PxField{"Colour", 0x01, 10};
        fields.insert(u"IsoRgr30"_s, iso);
    } else if (damage == u"nokey") {
        fields.insert(u"Country"_s, {PxField{"Country", 0x01, 30}});
    }
    writeLegacyFolder(folder.path(), {{u"IsoRgr30"_s, {record({{u"RecordID"_s, 1}})}}}, fields);
    if (damage == u"missing")
        QVERIFY(QFile::remove(folder.filePath(u"Suite.DB"_s)));
    if (damage == u"damaged")
        writeFile(folder.filePath(u"Lithol.DB"_s), QByteArray("not a table"));

    const QString location = m_dir.filePath(u"refused-"_s + damage);
    QByteArray stdErr;
    QCOMPARE(runKvtool({u"migrate"_s, folder.path(), u"--to"_s, location}, nullptr, &stdErr), 2);
    QVERIFY2(QString::fromUtf8(stdErr).contains(reason), stdErr.constData());
    QVERIFY2(stdErr.contains("Nothing was migrated"), stdErr.constData());
    QVERIFY(!QFileInfo::exists(location + u"/kelvora.sqlite"_s));

    // The same folder whole goes in, through kvtool as a user runs it.
    if (damage == u"missing") {
        QTemporaryDir good;
        writeLegacyFolder(good.path(), {{u"IsoRgr30"_s, {record({{u"RecordID"_s, 1}})}}});
        QByteArray stdOut;
        QCOMPARE(runKvtool({u"migrate"_s, good.path(), u"--to"_s, location}, &stdOut, &stdErr), 0);
        QVERIFY2(stdOut.contains("IsoRgr30\tIsoRgr30.DB\t1\t1\t0\n"), stdOut.constData());
        QVERIFY2(stdOut.contains("\ntotal\t\t1\t1\t0\n"), stdOut.constData());
    }
}

QTEST_GUILESS_MAIN(TestSheetGenerator)
#include "tst_sheet_generator.moc"
