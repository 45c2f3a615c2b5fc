// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet import into the results database: column letters, the row-range warnings, the
// lookups added once, refused rows named while the others land, a cancel that stores nothing.
#include "controls/workbook.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/sheet_import.h"
#include "test_support.h"

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

QString valueText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        return v.toDate().toString(Qt::ISODate);
    return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 15) : v.toString();
}

// Rows 2 to 7 of a sheet laid out as users lay out theirs: 101 and 102 new, 101 again, 50 already
// stored, 103 in a unit with no area, and a row without a RecordID.
void fillSheet(WorkbookSheet &s)
{
    const QStringList headings{u"RecordID"_s, u"Area"_s, u"Unit"_s, u"Lithology"_s, u"Interp"_s, u"Tech"_s,
                               u"System"_s, u"IAge"_s, u"IAgePError"_s, u"Date"_s, u"Comment"_s, u"Material"_s};
    for (int c = 0; c < headings.size(); ++c)
        s.setText(1, c + 1, headings[c]);
    struct Row
    {
        QVariant id;
        QString area, unit, lithology, interp, tech;
        double age;
    };
    const QList<Row> rows{
        {101, u"ZAF"_s, u"Bushveld"_s, u"granite"_s, u"Empl"_s, u"TIMS"_s, 2054000},
        {102, u"BWA"_s, u"Bushveld"_s, u"gabbro"_s, u"Empl"_s, u"SHRIMP"_s, 2055000.4},
        {101, u"ZAF"_s, u"Bushveld"_s, u"granite"_s, u"Empl"_s, u"TIMS"_s, 1},
        {50, u"ZAF"_s, u"Bushveld"_s, u"granite"_s, u"Empl"_s, u"TIMS"_s, 2},
        {103, QString(), u"Kaapvaal"_s, u"granite"_s, u"Empl"_s, u"TIMS"_s, 3200000},
        {QVariant(), u"ZAF"_s, u"Bushveld"_s, u"granite"_s, u"Empl"_s, u"TIMS"_s, 4},
    };
    int r = 2;
    for (const Row &row : rows) {
        if (row.id.isValid())
            s.setNumber(r, 1, row.id.toDouble());
        s.setText(r, 2, row.area);
        s.setText(r, 3, row.unit);
        s.setText(r, 4, row.lithology);
        s.setText(r, 5, row.interp);
        s.setText(r, 6, row.tech);
        s.setText(r, 7, u"UPb"_s);
        s.setNumber(r, 8, row.age);
        s.setText(r, 9, u"5000"_s); // a number typed as text
        s.setNumber(r, 10, 45000);  // 2023-03-15
        s.setText(r, 11, u"row %1"_s.arg(r));
        s.setText(r, 12, u"zr"_s);
        ++r;
    }
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
        dm.KVResults.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
        dm.KVResults.exec(u"insert into IsoRgr30 (RecordID, IAge) values (50, 7)"_s);
        // Rows a user's working database may hold beside the installed ones.
        dm.KVtmp.exec(u"insert into KVImpDet (FieldName, TN, ColumnLet, ColumnNo) values "
                      u"('NoSuchField', 'T', 'B', 0), ('Age', 'N', 'H', 0)"_s);
        fillSheet(sheet);
        // Letters as users type them: lower case, blanks around, "0" and blank for no column.
        storeImportMapping(*dm.ImportDet,
                           {{u"RecordID"_s, u"N"_s, u"A"_s}, {u"CountryAbr"_s, u"T"_s, u"b"_s},
                            {u"UnitName"_s, u"T"_s, u" C"_s}, {u"Lithology"_s, u"T"_s, u"D "_s},
                            {u"InterpAbr"_s, u"T"_s, u"e"_s}, {u"TechAbr"_s, u"T"_s, u"F"_s},
                            {u"IsotopeSystem"_s, u"T"_s, u"G"_s}, {u"IAge"_s, u"N"_s, u"H"_s},
                            {u"IAgePError"_s, u"N"_s, u"I"_s}, {u"DateString"_s, u"D"_s, u"J"_s},
                            {u"Comment"_s, u"T"_s, u"K"_s}, {u"MaterialAbr"_s, u"T"_s, u"0"_s}});
        dm.KVtmp.exec(u"update KVImpDet set ColumnLet = 'B' where FieldName = 'NoSuchField'"_s);
        dm.KVtmp.exec(u"update KVImpDet set ColumnLet = 'H' where FieldName = 'Age'"_s);
        dm.ImportDet->refresh();
        ui.clear();
    }
    QStringList rows(const QString &sql)
    {
        QStringList out;
        QSqlQuery q = dm.KVResults.exec(sql);
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << (q.value(i).isNull() ? u"-"_s : valueText(q.value(i)));
            out << row.join(u'|');
        }
        return out;
    }
    // Every table the import writes, for checking that nothing changed.
    QStringList contents()
    {
        QStringList all;
        for (const QString &sql :
             {u"select CountryAbr from Country order by 1"_s, u"select UnitName, CountryAbr from Suite order by 1"_s,
              u"select Lithology from Lithol order by 1"_s, u"select InterpAbr from Interpretation order by 1"_s,
              u"select TechAbr from Technique order by 1"_s, u"select IsoSystem from IsoSystem order by 1"_s,
              u"select RecordID from IsoRgr30 order by 1"_s})
            all << rows(sql).join(u',');
        return all;
    }

    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    WorkbookSheet sheet;
};

} // namespace

class TestSheetImport : public QObject
{
    Q_OBJECT

private slots:
    void columnLetters_data();
    void columnLetters();
    void rowRange_data();
    void rowRange();
    void import_data() { test::addBackendRows(); }
    void import();
    void cancelStoresNothing_data();
    void cancelStoresNothing();
    void largeSheet_data() { test::addBackendRows(); }
    void largeSheet();
};

void TestSheetImport::columnLetters_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<int>("column"); // 0: no column (an error the import turns into 0)
    QTest::newRow("a") << u"a"_s << 1;
    QTest::newRow("blank before") << u" A"_s << 1;
    QTest::newRow("blank after") << u"A "_s << 1;
    QTest::newRow("ab") << u"ab"_s << 28;
    QTest::newRow("AA") << u"AA"_s << 27;
    QTest::newRow("IV") << u"IV"_s << 256;
    QTest::newRow("blank inside") << u"A B"_s << 28;
    QTest::newRow("ABC: first letter") << u"ABC"_s << 1;
    QTest::newRow("0") << u"0"_s << -16;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("blanks only") << u"   "_s << 0;
}

void TestSheetImport::columnLetters()
{
    QFETCH(QString, letters);
    QFETCH(int, column);
    if (column == 0)
        QVERIFY_THROWS_EXCEPTION(InputError, ColumnLetterToNumber(letters));
    else
        QCOMPARE(ColumnLetterToNumber(letters), column);
}

void TestSheetImport::rowRange_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("warning");
    const QString fromWarning = u"Incorrect value entered for From row"_s;
    const QString toWarning = u"Incorrect value entered for To row"_s;
    const QString rangeWarning = u"Incorrect value entered for rows to import"_s;
    QTest::newRow("from not a number") << u"two"_s << u"7"_s << fromWarning;
    QTest::newRow("from empty") << QString() << u"7"_s << fromWarning;
    QTest::newRow("from 0: no such row") << u"0"_s << u"7"_s << fromWarning;
    QTest::newRow("to not a number") << u"2"_s << u"7.5"_s << toWarning;
    QTest::newRow("to empty") << u"2"_s << QString() << toWarning;
    QTest::newRow("from = to") << u"3"_s << u"3"_s << rangeWarning;
    QTest::newRow("to before from") << u"7"_s << u"2"_s << rangeWarning;
}

void TestSheetImport::rowRange()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, warning);
    Fixture f(u"sqlite"_s);
    const QStringList before = f.contents();
    SheetImport command(f.dm, f.ui);
    QVERIFY(!command.run(f.sheet, from, to));
    QCOMPARE(f.ui.messages(), QStringList{u"warning: "_s + warning});
    QCOMPARE(f.contents(), before);
    // Nothing was touched: the column numbers are not even worked out.
    QSqlQuery q = f.dm.KVtmp.exec(u"select ColumnNo from KVImpDet where FieldName = 'RecordID'"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void TestSheetImport::import()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    SheetImport command(f.dm, f.ui);
    const auto result = command.run(f.sheet, u"2"_s, u" 7"_s);
    QVERIFY(result && !result->cancelled);
    QCOMPARE(result->records.stored, 3);
    QCOMPARE(f.ui.messages(),
             QStringList{u"warning: Geochronology records imported\n3 imported, 3 refused.\n"
                         u"row 4: the same RecordID as row 2\n"
                         u"row 5: the same RecordID as a row already stored\n"
                         u"row 7: required field RecordID is blank"_s});

    // The codes of rows 2 to 7, each once, the unit with the area of its first row; ZAF was there.
    QCOMPARE(f.rows(u"select CountryAbr from Country where CountryAbr <> 'UND' order by 1"_s),
             (QStringList{u"BWA"_s, u"ZAF"_s}));
    QCOMPARE(f.rows(u"select UnitName, CountryAbr from Suite where UnitName <> 'UNDEFINED' order by 1"_s),
             (QStringList{u"Bushveld|ZAF"_s, u"Kaapvaal|-"_s}));
    QCOMPARE(f.rows(u"select Lithology from Lithol where Lithology <> 'Not defined' order by 1"_s),
             (QStringList{u"gabbro"_s, u"granite"_s}));
    QCOMPARE(f.rows(u"select count(*) from Interpretation where InterpAbr = 'Empl'"_s), QStringList{u"1"_s});
    // TIMS was installed; "SHRIMP" is cut to the code's five characters, in the lookup as in the record.
    QCOMPARE(f.rows(u"select count(*) from Technique where TechAbr in ('TIMS', 'SHRIM')"_s), QStringList{u"2"_s});
    QCOMPARE(f.rows(u"select count(*) from IsoSystem where IsoSystem = 'UPb'"_s), QStringList{u"1"_s});
    QCOMPARE((QList<std::pair<QString, qint64>>(result->lookupsAdded)),
             (QList<std::pair<QString, qint64>>{{u"Country"_s, 1}, {u"Suite"_s, 2}, {u"Lithol"_s, 2},
                                                {u"Interpretation"_s, 1}, {u"Technique"_s, 1},
                                                {u"IsoSystem"_s, 1}}));

    // Numbers rounded into integer fields, a number typed as text, the date's day number; column "0"
    // (MaterialAbr) and the calculated Age store nothing; record 50 is as it was.
    QCOMPARE(f.rows(u"select TechAbr from IsoRgr30 where RecordID = 102"_s), QStringList{u"SHRIM"_s});
    QCOMPARE(f.rows(u"select RecordID, CountryAbr, UnitName, IAge, IAgePError, DateString, Comment, MaterialAbr, "
                    u"Age from IsoRgr30 order by RecordID"_s),
             (QStringList{u"50|-|-|7|-|-|-|-|-"_s, u"101|ZAF|Bushveld|2054000|5000|2023-03-15|row 2|-|-"_s,
                          u"102|BWA|Bushveld|2055000|5000|2023-03-15|row 3|-|-"_s,
                          u"103|-|Kaapvaal|3200000|5000|2023-03-15|row 6|-|-"_s}));

    // The mapping keeps the letters in upper case and the column numbers worked out.
    QSqlQuery q = f.dm.KVtmp.exec(u"select FieldName, ColumnLet, ColumnNo from KVImpDet where FieldName in "
                                  u"('Lithology', 'InterpAbr', 'MaterialAbr', 'ApproachAbr') order by FieldName"_s);
    QStringList mapping;
    while (q.next())
        mapping << u"%1|%2|%3"_s.arg(q.value(0).toString(), q.value(1).toString()).arg(q.value(2).toInt());
    QCOMPARE(mapping, (QStringList{u"ApproachAbr||0"_s, u"InterpAbr|E|5"_s, u"Lithology|D |4"_s,
                                   u"MaterialAbr|0|-16"_s}));

    // The same rows again: no code twice, every record refused.
    f.ui.clear();
    const QStringList before = f.contents();
    const auto again = SheetImport(f.dm, f.ui).run(f.sheet, u"2"_s, u"7"_s);
    QVERIFY(again);
    QCOMPARE(again->records.stored, 0);
    QCOMPARE(again->records.refusedCount, 6);
    for (const auto &[table, added] : again->lookupsAdded)
        QCOMPARE(added, 0);
    QCOMPARE(f.contents(), before);
}

void TestSheetImport::cancelStoresNothing_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("stopAt"); // the keepGoing call that answers false
    for (const QString &backend : test::backends()) {
        QTest::addRow("%s, before the lookups", qPrintable(backend)) << backend << 1;
        QTest::addRow("%s, with the lookups written", qPrintable(backend)) << backend << 7;
        QTest::addRow("%s, with the records written", qPrintable(backend)) << backend << 8;
    }
}

void TestSheetImport::cancelStoresNothing()
{
    QFETCH(QString, backend);
    QFETCH(int, stopAt);
    Fixture f(backend);
    const QStringList before = f.contents();
    SheetImport command(f.dm, f.ui);
    int calls = 0;
    command.keepGoing = [&] { return ++calls < stopAt; };
    const auto result = command.run(f.sheet, u"2"_s, u"7"_s);
    QVERIFY(result);
    QVERIFY(result->cancelled);
    QCOMPARE(calls, stopAt);
    QCOMPARE(f.ui.messages(), QStringList{u"information: The import was cancelled: nothing was stored."_s});
    QCOMPARE(f.contents(), before);
}

void TestSheetImport::largeSheet()
{
    // Enough rows for several pieces and statements: a key given again thousands of rows later and one
    // already stored are refused and named, and texts the statements carry quoted land as they are.
    QFETCH(QString, backend);
    Fixture f(backend);
    const int last = 4601;
    const QString awkward = u"\"{a,b}\\ 'q' NULL, \u00d8 \\"_s;
    for (int r = 2; r <= last; ++r) {
        f.sheet.setNumber(r, 1, r == 4500 ? 1010 : r == 3001 ? 50 : 1000 + r);
        for (int c = 2; c <= 12; ++c)
            f.sheet.setText(r, c, QString());
        f.sheet.setText(r, 3, u"Unit %1"_s.arg(r % 7));
        f.sheet.setNumber(r, 8, 1000 * r + 0.25);
        f.sheet.setText(r, 11, r == 2500 ? awkward : r % 3 ? u"row %1"_s.arg(r) : QString());
    }
    const auto result = SheetImport(f.dm, f.ui).run(f.sheet, u"2"_s, QString::number(last));
    QVERIFY(result && !result->cancelled);
    QCOMPARE(f.ui.messages(), QStringList{u"warning: Geochronology records imported\n4598 imported, 2 refused.\n"
                                          u"row 3001: the same RecordID as a row already stored\n"
                                          u"row 4500: the same RecordID as row 10"_s});
    QCOMPARE(f.rows(u"select count(*), sum(RecordID), sum(IAge), count(Comment), count(UnitName) from IsoRgr30"_s),
             QStringList{u"4599|15177449|10579399007|3066|4598"_s});
    QCOMPARE(f.rows(u"select Comment from IsoRgr30 where RecordID = 3500"_s), QStringList{awkward});
    QCOMPARE(f.rows(u"select count(*) from Suite where UnitName like 'Unit %'"_s), QStringList{u"7"_s});
}

QTEST_GUILESS_MAIN(TestSheetImport)
#include "tst_sheet_import.moc"
