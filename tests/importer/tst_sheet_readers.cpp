// SPDX-License-Identifier: GPL-3.0-or-later
// The four sheet readers and their cleaning rules: which fields a sheet's headings and cells fill,
// which rows are removed and which blanks take a marker.
#include "controls/workbook_sheet.h"
#include "core/scripted_interaction.h"
#include "importer/sheet_readers.h"
#include "importer_sheets.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

Q_DECLARE_METATYPE(kv::SheetReader)

class TestSheetReaders : public QObject
{
    Q_OBJECT

private slots:
    void readAndClean_data();
    void readAndClean();
    void rawDataLayout();
    void cleaningStatusTexts_data();
    void cleaningStatusTexts();
    void convertText_data();
    void convertText();
};

void TestSheetReaders::readAndClean_data()
{
    QTest::addColumn<SheetReader>("reader");
    QTest::addColumn<QString>("sheetName");
    QTest::addColumn<QList<QStringList>>("sheet");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("removed");

    const QStringList loc{u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s};
    QTest::newRow("localities: a heading that names no field is passed over")
        << SheetReader::Localities << u"Sheet1"_s
        << QList<QStringList>{{u"SampleNo"_s, u"Colour"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s},
                              {u"S1"_s, u"red"_s, u"-23.5"_s, u"30.25"_s, u"1200"_s}}
        << loc << QStringList{u"S1|-23.5|30.25|1200"_s} << 0;
    QTest::newRow("localities: headings in any case, with blanks around")
        << SheetReader::Localities << u"Sheet1"_s
        << QList<QStringList>{{u" sampleno"_s, u"LATITUDE "_s}, {u"S1"_s, u"-1"_s}} << loc
        << QStringList{u"S1|-1|0|0"_s} << 0;
    QTest::newRow("localities: blank and refused values take the markers")
        << SheetReader::Localities << u"Sheet1"_s
        << QList<QStringList>{{u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s},
                              {u"S1"_s, u""_s, u""_s, u""_s},
                              {u"S2"_s, u"NA"_s, u"12,5"_s, u"  "_s}}
        << loc << QStringList{u"S1|900000|0|0"_s, u"S2|900000|0|0"_s} << 0;
    QTest::newRow("localities: a sample number wider than its column is cut")
        << SheetReader::Localities << u"Sheet1"_s
        << QList<QStringList>{{u"SampleNo"_s}, {u"ABCDEFGHIJKLMNOPQRST"_s}} << QStringList{u"SampleNo"_s}
        << QStringList{u"ABCDEFGHIJKLMNO"_s} << 0;

    // Columns 3..6: a variable normalised by 10000, a column headed "NA", a variable whose factor is
    // column 6.
    const QStringList rawHead{u"SampleNo"_s, u"Frac"_s, u"Rb87Sr86"_s, u"NA"_s, u"Sr87Sr86"_s, u"Factor"_s};
    const QStringList raw{u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s, u"DataValue"_s,
                          u"NormalisingFactor"_s};
    QTest::newRow("raw: one row per variable, a heading \"NA\" drops its column")
        << SheetReader::RawData << u"RbSr"_s
        << QList<QStringList>{rawHead, {u"L1"_s, u"a"_s, u"0.5"_s, u"9"_s, u"0.71"_s, u"2"_s}} << raw
        << QStringList{u"L1|a|RbSr|Rb87Sr86|0.5|10000"_s, u"L1|a|RbSr|Sr87Sr86|0.71|2"_s} << 18;
    QTest::newRow("raw: a value \"NA\" and an empty value give no row")
        << SheetReader::RawData << u"RbSr"_s
        << QList<QStringList>{rawHead, {u"L1"_s, u"a"_s, u"NA"_s, u"9"_s, u""_s, u"2"_s}} << raw
        << QStringList{} << 20;
    QTest::newRow("raw: a blank or refused factor becomes 10000")
        << SheetReader::RawData << u"RbSr"_s
        << QList<QStringList>{rawHead,
                              {u"L1"_s, u"a"_s, u""_s, u""_s, u"0.71"_s, u""_s},
                              {u"L2"_s, u"b"_s, u""_s, u""_s, u"0.72"_s, u"x"_s}}
        << raw << QStringList{u"L1|a|RbSr|Sr87Sr86|0.71|10000"_s, u"L2|b|RbSr|Sr87Sr86|0.72|10000"_s} << 38;
    QTest::newRow("raw: two consecutive sheet rows without values are both removed")
        << SheetReader::RawData << u"SmNd"_s
        << QList<QStringList>{rawHead,
                              {u"L1"_s, u"a"_s, u"1"_s},
                              {u"L2"_s, u"a"_s},
                              {u"L3"_s, u"a"_s},
                              {u"L4"_s, u"a"_s, u"4"_s}}
        << raw << QStringList{u"L1|a|SmNd|Rb87Sr86|1|10000"_s, u"L4|a|SmNd|Rb87Sr86|4|10000"_s} << 78;
    QTest::newRow("raw: identity fields follow the headings of columns 1 and 2")
        << SheetReader::RawData << u"UPb"_s
        << QList<QStringList>{{u"Frac"_s, u"SampleNo"_s, u"U238"_s}, {u"f1"_s, u"Z9"_s, u"120"_s}} << raw
        << QStringList{u"Z9|f1|UPb|U238|120|10000"_s} << 19;
    QTest::newRow("raw: a sheet name wider than IsoSystem is cut")
        << SheetReader::RawData << u"A very long sheet name"_s
        << QList<QStringList>{{u"SampleNo"_s, u"Frac"_s, u"U238"_s}, {u"Z9"_s, u"f1"_s, u"120"_s}} << raw
        << QStringList{u"Z9|f1|A very long she|U238|120|10000"_s} << 19;

    const QStringList recHead{u"RecordID"_s, u"IAge"_s, u"CountryAbr"_s, u"PrefLevel"_s, u"UnitName"_s,
                              u"IAgePError"_s, u"Notes"_s};
    const QStringList rec{u"RecordID"_s, u"IAge"_s, u"CountryAbr"_s, u"PrefLevel"_s, u"UnitName"_s,
                          u"IAgePError"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s,
                          u"TechAbr"_s, u"InterpAbr"_s};
    QTest::newRow("records: a full row keeps its values, missing fields take the markers")
        << SheetReader::Records << u"Sheet1"_s
        << QList<QStringList>{recHead, {u"7"_s, u"1500"_s, u"ZAF"_s, u"3"_s, u"Bushveld"_s, u"20"_s, u"x"_s}}
        << rec << QStringList{u"7|1500|ZAF|3|Bushveld|20|nd|na|nd|nd|nd"_s} << 0;
    QTest::newRow("records: a blank rank becomes 0, blank codes the undefined ones")
        << SheetReader::Records << u"Sheet1"_s
        << QList<QStringList>{recHead, {u"7"_s, u"1500"_s}} << rec
        << QStringList{u"7|1500|UND|0|UNDEFINED|100000|nd|na|nd|nd|nd"_s} << 0;
    QTest::newRow("records: without IAge or RecordID, or with an IAge that is no integer, not imported")
        << SheetReader::Records << u"Sheet1"_s
        << QList<QStringList>{recHead,
                              {u"1"_s, u""_s, u"ZAF"_s},
                              {u"2"_s, u"2.5"_s, u"ZAF"_s},
                              {u"3"_s, u"300"_s, u"ZAF"_s},
                              {u"note"_s, u"400"_s, u"ZAF"_s},
                              {u"5"_s, u"500"_s, u"ZAF"_s}}
        << QStringList{u"RecordID"_s, u"IAge"_s}
        << QStringList{u"3|300"_s, u"5|500"_s} << 3;
    QTest::newRow("records: a rank out of the 16-bit range is refused, so 0")
        << SheetReader::Records << u"Sheet1"_s
        << QList<QStringList>{recHead, {u"7"_s, u"1500"_s, u"ZAF"_s, u"40000"_s}}
        << QStringList{u"RecordID"_s, u"PrefLevel"_s} << QStringList{u"7|0"_s} << 0;

    const QStringList units{u"UnitName"_s, u"UnitRank"_s, u"CountryAbr"_s, u"GISID"_s};
    QTest::newRow("units: rows without a unit name removed, blank area UND")
        << SheetReader::Units << u"Sheet1"_s
        << QList<QStringList>{{u"Row"_s, u"UnitName"_s, u"UnitRank"_s, u"CountryAbr"_s, u"GISID"_s},
                              {u"1"_s, u"Bushveld"_s, u"Complex"_s, u"ZAF"_s, u"12"_s},
                              {u"2"_s, u""_s, u"Fm"_s, u"ZAF"_s},
                              {u"3"_s, u""_s, u"Gp"_s},
                              {u"4"_s, u"Karoo"_s, u"Sgp"_s, u""_s, u"x"_s}}
        << units << QStringList{u"Bushveld|Compl|ZAF|12"_s, u"Karoo|Sgp|UND|-"_s} << 2;
}

void TestSheetReaders::readAndClean()
{
    QFETCH(SheetReader, reader);
    QFETCH(QString, sheetName);
    QFETCH(QList<QStringList>, sheet);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, expected);
    QFETCH(int, removed);

    WorkbookSheet cells(sheetName);
    test::fillSheet(cells, sheet);
    StagingTable staging = readSheetRows(cells, int(sheet.size()), reader, sheetName);
    const qsizetype read = staging.size();
    QCOMPARE(read, reader == SheetReader::RawData ? 20 * (sheet.size() - 1) : sheet.size() - 1);
    ScriptedInteraction ui;
    QCOMPARE(cleanStagedRows(staging, reader, ui), qsizetype(removed));
    QCOMPARE(test::stagedLines(staging, fields), expected);
    QCOMPARE(staging.size(), read - removed);
}

void TestSheetReaders::rawDataLayout()
{
    // Columns 6, 11 and 17 are the factors of 5, 10 and 16; the rest of 3..25 are variables.
    QList<int> variables, factors;
    for (const RawDataColumn &c : rawDataColumns()) {
        variables << c.column;
        if (c.factorColumn)
            factors << c.column << c.factorColumn;
    }
    QCOMPARE(variables, (QList<int>{3, 4, 5, 7, 8, 9, 10, 12, 13, 14, 15, 16, 18, 19, 20, 21, 22, 23, 24, 25}));
    QCOMPARE(factors, (QList<int>{5, 6, 10, 11, 16, 17}));

    // A full 25-column row: every variable lands with the right factor.
    WorkbookSheet cells(u"RbSr"_s);
    QStringList head{u"SampleNo"_s, u"Frac"_s}, row{u"S"_s, u"f"_s};
    for (int c = 3; c <= 25; ++c) {
        head << u"V%1"_s.arg(c);
        row << QString::number(c * 10);
    }
    test::fillSheet(cells, {head, row});
    StagingTable staging = readSheetRows(cells, 2, SheetReader::RawData, u"RbSr"_s);
    ScriptedInteraction ui;
    QCOMPARE(cleanStagedRows(staging, SheetReader::RawData, ui), qsizetype(0));
    const QStringList lines = test::stagedLines(staging, {u"VariableID"_s, u"DataValue"_s, u"NormalisingFactor"_s});
    QCOMPARE(lines.size(), 20);
    QCOMPARE(lines[2], u"V5|50|60"_s);
    QCOMPARE(lines[3], u"V7|70|10000"_s);
    QCOMPARE(lines[6], u"V10|100|110"_s);
    QCOMPARE(lines[11], u"V16|160|170"_s);
    QCOMPARE(lines.last(), u"V25|250|10000"_s);
}

void TestSheetReaders::cleaningStatusTexts_data()
{
    QTest::addColumn<SheetReader>("reader");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("localities") << SheetReader::Localities << QStringList{u"Checking for blank values"_s};
    QTest::newRow("raw data") << SheetReader::RawData << QStringList{u"Checking data for blank values"_s};
    QTest::newRow("records") << SheetReader::Records << QStringList{u"Checking for blank values"_s};
    QTest::newRow("units") << SheetReader::Units
                           << QStringList{u"Deleting blank values"_s, u"Checking for blank values"_s};
}

void TestSheetReaders::cleaningStatusTexts()
{
    QFETCH(SheetReader, reader);
    QFETCH(QStringList, texts);
    StagingTable staging(sheetReaderInfo(reader).table, sheetReaderInfo(reader).requiredFields);
    ScriptedInteraction ui;
    cleanStagedRows(staging, reader, ui);
    QCOMPARE(ui.texts(u"progress"_s), texts);
}

void TestSheetReaders::convertText_data()
{
    QTest::addColumn<QString>("column"); // Table.Column
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("float") << u"SmpLoc.Latitude"_s << u" -23.5 "_s << true << QVariant(-23.5);
    QTest::newRow("float in exponent form") << u"SmpData.DataValue"_s << u"1E-07"_s << true << QVariant(1e-7);
    QTest::newRow("float with a comma") << u"SmpLoc.Latitude"_s << u"23,5"_s << false << QVariant();
    QTest::newRow("empty is blank") << u"SmpLoc.Latitude"_s << u""_s << true << QVariant();
    QTest::newRow("blanks are blank") << u"Suite.UnitName"_s << u"   "_s << true << QVariant();
    QTest::newRow("int32") << u"IsoRgr30.IAge"_s << u"2500000"_s << true << QVariant(2500000);
    QTest::newRow("int32 fraction") << u"IsoRgr30.IAge"_s << u"12.5"_s << false << QVariant();
    QTest::newRow("int32 too large") << u"IsoRgr30.IAge"_s << u"3000000000"_s << false << QVariant();
    QTest::newRow("int16 too large") << u"IsoRgr30.PrefLevel"_s << u"32768"_s << false << QVariant();
    QTest::newRow("date ISO") << u"IsoRgr30.DateString"_s << u"2024-01-15"_s << true << QVariant(QDate(2024, 1, 15));
    QTest::newRow("date serial") << u"IsoRgr30.DateString"_s << u"45306"_s << true << QVariant(QDate(2024, 1, 15));
    QTest::newRow("date nonsense") << u"IsoRgr30.DateString"_s << u"soon"_s << false << QVariant();
    QTest::newRow("text cut") << u"IsoRgr30.CountryAbr"_s << u"ZAFR"_s << true << QVariant(u"ZAF"_s);
}

void TestSheetReaders::convertText()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QFETCH(QVariant, value);
    const ColumnDef *def = Schema::table(column.section(u'.', 0, 0))->column(column.section(u'.', 1));
    QVERIFY(def);
    QVariant converted(u"unset"_s);
    QCOMPARE(StagingTable::convertText(*def, text, converted), taken);
    if (taken)
        QCOMPARE(converted, value);
}

QTEST_GUILESS_MAIN(TestSheetReaders)
#include "tst_sheet_readers.moc"
