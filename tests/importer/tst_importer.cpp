// SPDX-License-Identifier: GPL-3.0-or-later
// The importer's commands on real databases: settings, the connection, workbook opening, the
// last-row search and sheet switch, and the apply step with its refused rows and one transaction.
#include "controls/workbook.h"
#include "core/errors.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "importer/KVI_dmResults.h"
#include "importer/apply_step.h"
#include "importer/import_settings.h"
#include "importer/importer.h"
#include "importer_sheets.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

qint64 countRows(Connection &c, const QString &table)
{
    QSqlQuery q = c.exec(u"select count(*) from "_s + table);
    return q.next() ? q.value(0).toLongLong() : -1;
}

QStringList column(Connection &c, const QString &sql)
{
    QStringList values;
    QSqlQuery q = c.exec(sql);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).isNull() ? QString() : test::valueText(q.value(i)));
        values << row.join(u'|');
    }
    return values;
}

/// A workbook of named sheets written to an .xlsx file, as a user would bring one.
QString writeWorkbook(const QString &path, const QList<std::pair<QString, QList<QStringList>>> &sheets)
{
    Workbook book;
    book.setNumSheets(int(sheets.size()));
    for (int s = 0; s < sheets.size(); ++s) {
        book.setSheetName(s + 1, sheets[s].first);
        test::fillSheet(book.sheetAt(s + 1), sheets[s].second);
    }
    book.writeWorkbook(path, FileTypeXlsx);
    return path;
}

} // namespace

class TestImporter : public QObject
{
    Q_OBJECT

private slots:
    void settingsDefaults_data();
    void settingsDefaults();
    void settingsWrittenBack();
    void connection_data();
    void connection();
    void lastRow_data();
    void lastRow();
    void emptyA2GivesNoImport();
    void sheetSwitch();
    void refusedRowsSkipped_data();
    void refusedRowsSkipped();
    void overLimitStoresNothing_data();
    void overLimitStoresNothing();
    void rawDataReadsChosenSheet_data();
    void rawDataReadsChosenSheet();
    void unreadableWorkbook();

private:
    test::TempFolders m_folders;
};

void TestImporter::settingsDefaults_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("results");
    QTest::addColumn<int>("height");
    QTest::newRow("no file") << QByteArray() << u"C:\\KLV\\Results30"_s << 480;
    QTest::newRow("empty ResultsPath")
        << QByteArray("[Default directories]\r\nResultsPath=\r\n") << u"C:\\KLV\\Results30"_s << 480;
    QTest::newRow("given")
        << QByteArray("[Default directories]\r\nResultsPath=d:\\KLV\\Other\r\n[Form positions]\r\nMain Height=600\r\n")
        << u"d:\\KLV\\Other"_s << 600;
    QTest::newRow("a size that is no number")
        << QByteArray("[Form positions]\r\nMain Height=tall\r\n") << u"C:\\KLV\\Results30"_s << 480;
}

void TestImporter::settingsDefaults()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, results);
    QFETCH(int, height);
    IniFile file;
    file.parse(ini);
    const ImporterSettings s = readImporterSettings(file);
    QCOMPARE(s.ResultsPath, results);
    QCOMPARE(s.MainHeight, height);
    QCOMPARE(s.NetFileDir, u"C:\\"_s);
    QCOMPARE(s.FromRow, u"2"_s);
    QCOMPARE(s.ToRow, u"3"_s);
    QCOMPARE(s.MainLeft, 1);
    QCOMPARE(s.MainTop, 1);
    QCOMPARE(s.MainWidth, 800);
    QVERIFY(!s.DataImportPath.isEmpty());
    QCOMPARE(s.DataExportPath, s.DataImportPath);
}

void TestImporter::settingsWrittenBack()
{
    const QString path = importerSettingsFilePath();
    QCOMPARE(QFileInfo(path).fileName(), u"KVImport3.INI"_s);
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(m_folders.configDir()).absolutePath());
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Default directories]\r\nNetFileDir=N:\\\r\nResultsPath=\r\n[Other]\r\nKeep=1\r\n"
                "[Input fields]\r\nFrom Row=5\r\n");
    }
    IniFile file(path);
    ImporterSettings s = readImporterSettings(file);
    QCOMPARE(s.FromRow, u"5"_s);
    s.ResultsPath = u"/changed"_s; // only read: never written
    s.DataImportPath = u"/data/in"_s;
    s.MainWidth = 1024;
    writeImporterSettings(file, s);
    file.save();
    IniFile again(path);
    QCOMPARE(again.value(u"Default directories"_s, u"ResultsPath"_s), QString());
    QVERIFY(again.contains(u"Default directories"_s, u"ResultsPath"_s));
    QCOMPARE(again.value(u"Default directories"_s, u"NetFileDir"_s), u"N:\\"_s);
    QCOMPARE(again.value(u"Other"_s, u"Keep"_s), u"1"_s);
    QCOMPARE(again.value(u"File Paths"_s, u"Data import path"_s), u"/data/in"_s);
    QCOMPARE(again.value(u"Input fields"_s, u"From Row"_s), u"5"_s);
    QCOMPARE(again.value(u"Input fields"_s, u"To Row"_s), u"3"_s);
    QCOMPARE(again.value(u"Form positions"_s, u"Main Width"_s), u"1024"_s);
    QCOMPARE(again.value(u"Form positions"_s, u"Main Left"_s), u"1"_s);
}

void TestImporter::connection_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("created"); // where the database is made first; empty for none
    QTest::addColumn<QString>("error");   // a part of the message; empty when it opens
    const QString data = m_folders.dataDir();
    QTest::newRow("Windows drive path maps to the data folder")
        << u"C:\\KLV\\Results30"_s << data + u"/Results30"_s << QString();
    QTest::newRow("a folder") << data + u"/Folder"_s << data + u"/Folder"_s << QString();
    QTest::newRow("an SQLite file") << data + u"/own.sqlite"_s << data + u"/own.sqlite"_s << QString();
    QTest::newRow("missing database") << data + u"/Missing"_s << QString() << u"Missing"_s;
    QTest::newRow("a database that is no Kelvora database")
        << data + u"/empty.sqlite"_s << u"empty:"_s + data + u"/empty.sqlite"_s << u"SmpData"_s;
}

void TestImporter::connection()
{
    QFETCH(QString, setting);
    QFETCH(QString, created);
    QFETCH(QString, error);
    if (created.startsWith(u"empty:"_s)) {
        Connection c(u"make"_s);
        c.bind(created.mid(6));
        c.open(true);
    } else if (!created.isEmpty()) {
        QDir().mkpath(QFileInfo(created).suffix().isEmpty() ? created : QFileInfo(created).absolutePath());
        Connection c(u"make"_s);
        c.bind(created);
        c.open(true);
        c.createSchema(DatabaseKind::Results);
    }
    importer::TdmKVResults dm;
    try {
        dm.connectTo(setting);
        QVERIFY2(error.isEmpty(), "the connection should have failed");
        QVERIFY(dm.KVResults.isOpen());
        QCOMPARE(countRows(dm.KVResults, u"SmpData"_s), 0);
    } catch (const DatabaseError &e) {
        QVERIFY2(!error.isEmpty(), qPrintable(e.message()));
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
        QVERIFY(!dm.KVResults.isOpen());
    }
}

void TestImporter::lastRow_data()
{
    QTest::addColumn<QList<QStringList>>("sheet");
    QTest::addColumn<int>("lastRow");
    QTest::newRow("A2 empty") << QList<QStringList>{{u"SampleNo"_s}, {u""_s, u"x"_s}, {u"S3"_s}} << 0;
    QTest::newRow("headings only") << QList<QStringList>{{u"SampleNo"_s}} << 0;
    QTest::newRow("stops at the first gap")
        << QList<QStringList>{{u"SampleNo"_s}, {u"S2"_s}, {u"S3"_s}, {u""_s}, {u"S5"_s}} << 3;
    QTest::newRow("numbers count as values") << QList<QStringList>{{u"RecordID"_s}, {u"1"_s}, {u"0"_s}} << 3;
    QTest::newRow("A1 empty does not matter") << QList<QStringList>{{u""_s}, {u"S2"_s}} << 2;
}

void TestImporter::lastRow()
{
    QFETCH(QList<QStringList>, sheet);
    QFETCH(int, lastRow);
    importer::TdmKVResults dm;
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    importer.openWorkbookFile(writeWorkbook(m_folders.path() + u"/last.xlsx"_s, {{u"S"_s, sheet}}));
    ScriptedInteraction ui;
    QCOMPARE(importer.findLastRow(ui), lastRow);
    QCOMPARE(importer.lastDataRow(), lastRow);
    QCOMPARE(importer.rowLimit(1), lastRow + 1);
    QCOMPARE(ui.messages(), QStringList());
}

void TestImporter::emptyA2GivesNoImport()
{
    test::TestDatabase db(u"sqlite"_s);
    test::createDatabase(db, DatabaseKind::Results)->close();
    importer::TdmKVResults dm;
    dm.connectTo(db.location());
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    const QString file = writeWorkbook(m_folders.path() + u"/a2.xlsx"_s,
                                       {{u"S"_s, {{u"SampleNo"_s, u"Latitude"_s}, {u""_s, u"10"_s}, {u"S3"_s, u"1"_s}}}});
    for (SheetReader reader : {SheetReader::Localities, SheetReader::RawData}) {
        ScriptedInteraction ui;
        ui.queueFiles({{file, 0}});
        QVERIFY(!importer.runReader(reader, ui));
        QVERIFY(!importer.readDataOffered());
        QCOMPARE(ui.texts(u"progress"_s), QStringList()); // nothing read, nothing "Completed"
    }
    QCOMPARE(countRows(dm.KVResults, u"SmpLoc"_s), 0);
    QCOMPARE(settings.DataImportPath, QFileInfo(file).absolutePath());

    ScriptedInteraction cancelled;
    QVERIFY(!importer.runReader(SheetReader::Localities, cancelled)); // no file queued: the dialog is cancelled
}

void TestImporter::sheetSwitch()
{
    // Twelve sheets, more than the ten row limits the window once kept: sheet n has n data rows, but
    // the sixth has none.
    QList<std::pair<QString, QList<QStringList>>> sheets;
    for (int s = 1; s <= 12; ++s) {
        QList<QStringList> rows{{u"SampleNo"_s}};
        if (s != 6)
            for (int r = 0; r < s; ++r)
                rows << QStringList{u"S%1_%2"_s.arg(s).arg(r)};
        sheets.append({u"Sheet %1"_s.arg(s), rows});
    }
    importer::TdmKVResults dm;
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    importer.openWorkbookFile(writeWorkbook(m_folders.path() + u"/many.xlsx"_s, sheets));
    QCOMPARE(importer.sheetNames().size(), 12);
    QCOMPARE(importer.currentSheet(), 1);
    ScriptedInteraction ui;
    QCOMPARE(importer.findLastRow(ui), 2);
    for (int index : {11, 2, 5, 0, 9}) {
        importer.switchSheet(index, ui);
        const int sheet = index + 1;
        const int expected = sheet == 6 ? 0 : sheet + 1;
        QCOMPARE(importer.currentSheet(), sheet);
        QCOMPARE(book.sheet(), sheet);
        QCOMPARE(importer.lastDataRow(), expected);
        QCOMPARE(importer.rowLimit(sheet), expected + 1);
        QCOMPARE(book.maxRow(), expected + 1 < 2 ? 10 : expected + 1);
        QCOMPARE(book.viewScale(), 70);
        QCOMPARE(book.row(), 1);
    }
    QCOMPARE(ui.messages(), QStringList());
}

void TestImporter::refusedRowsSkipped_data()
{
    test::addBackendRows();
}

void TestImporter::refusedRowsSkipped()
{
    QFETCH(QString, backend);
    test::TestDatabase db(backend);
    auto results = test::createDatabase(db, DatabaseKind::Results);
    results->exec(u"insert into SmpLoc (SampleNo, Latitude) values ('S1', 11)"_s);
    results->close();

    importer::TdmKVResults dm;
    dm.connectTo(db.location());
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    // Column A only labels the rows, so a sample number can be blank.
    QList<QStringList> rows{{u"Label"_s, u"SampleNo"_s, u"Latitude"_s}};
    rows << QStringList{u"a"_s, u"S1"_s, u"-1"_s}  // row 2: stored already
         << QStringList{u"b"_s, u"S2"_s, u"-2"_s}  // row 3
         << QStringList{u"c"_s, u"S2"_s, u"-3"_s}  // row 4: the same sample again
         << QStringList{u"d"_s, u""_s, u"-4"_s}    // row 5: no sample number
         << QStringList{u"e"_s, u"S5"_s, u""_s};   // row 6
    for (int r = 7; r <= 450; ++r) // enough rows for several batches
        rows << QStringList{u"r"_s, u"T%1"_s.arg(r), QString::number(r)};
    rows << QStringList{u"z"_s, u"T8"_s, u"0"_s}; // row 451: a key from an earlier batch
    const QString file = writeWorkbook(m_folders.path() + u"/refused.xlsx"_s, {{u"Localities"_s, rows}});
    ScriptedInteraction ui;
    ui.queueFiles({{file, 0}});
    const auto outcome = importer.runReader(SheetReader::Localities, ui);
    QVERIFY(outcome);
    QVERIFY(!outcome->failed);
    QCOMPARE(outcome->read, 450);
    QCOMPARE(dm.cdsImport->size(), 450); // the sheet's rows only, not the table's
    QCOMPARE(outcome->apply.stored, 446);
    QCOMPARE(outcome->apply.refusedCount, 4);
    QList<int> refusedRows;
    for (const RefusedRow &r : outcome->apply.refused)
        refusedRows << r.sheetRow;
    QCOMPARE(refusedRows, (QList<int>{2, 4, 5, 451}));
    QCOMPARE(outcome->apply.refused[1].reason, u"the same SampleNo as row 3"_s);
    QCOMPARE(outcome->apply.refused[2].reason, u"required field SampleNo is blank"_s);
    QCOMPARE(outcome->apply.refused[3].reason, u"the same SampleNo as row 8"_s);
    QCOMPARE(outcome->apply.refused[0].reason, u"the same SampleNo as a row already stored"_s);

    QCOMPARE(ui.texts(u"information"_s),
             QStringList{u"446 rows stored, 4 refused.\nrow 2: the same SampleNo as a row already stored\n"
                         u"row 4: the same SampleNo as row 3\nrow 5: required field SampleNo is blank\n"
                         u"row 451: the same SampleNo as row 8"_s});
    QCOMPARE(ui.texts(u"warning"_s), QStringList());
    QCOMPARE(ui.texts(u"progress"_s),
             (QStringList{u"Reading data from spreadsheet"_s, u"Checking for blank values"_s, u"Applying updates"_s,
                          u"Completed"_s}));

    QCOMPARE(countRows(dm.KVResults, u"SmpLoc"_s), 447);
    QCOMPARE(column(dm.KVResults, u"select SampleNo, Latitude, Longitude, Elevation from SmpLoc "
                                  u"where SampleNo in ('S1','S2','S5') order by SampleNo"_s),
             (QStringList{u"S1|11||"_s, u"S2|-2|0|0"_s, u"S5|900000|0|0"_s}));
}

void TestImporter::overLimitStoresNothing_data()
{
    test::addBackendRows();
}

void TestImporter::overLimitStoresNothing()
{
    QFETCH(QString, backend);
    test::TestDatabase db(backend);
    auto results = test::createDatabase(db, DatabaseKind::Results);
    results->exec(u"insert into Suite (UnitName) values ('Taken')"_s);
    // 300 good rows first, then three the database refuses (each a unit already stored): more than
    // the limit of 2, so the rows applied before them are undone as well.
    QList<QStringList> rows{{u"UnitName"_s, u"CountryAbr"_s}};
    for (int i = 0; i < 300; ++i)
        rows << QStringList{u"Unit %1"_s.arg(i), u"ZAF"_s};
    for (int i = 0; i < 3; ++i)
        rows << QStringList{u"Taken"_s, u"ZAF"_s};
    WorkbookSheet sheet(u"Units"_s);
    test::fillSheet(sheet, rows);
    StagingTable staging = readSheetRows(sheet, int(rows.size()), SheetReader::Units, u"Units"_s);
    // Rows 303 and 304 are refused in memory (the same unit as 302), row 302 by the database.
    const ApplyResult over = applyStagedRows(*results, staging, 2);
    QVERIFY(over.overLimit);
    QCOMPARE(over.stored, 0);
    QCOMPARE(countRows(*results, u"Suite"_s), 1);
    QVERIFY(applySummary(over).startsWith(u"More than 5000 rows were refused, so none was stored."_s));

    const ApplyResult within = applyStagedRows(*results, staging, 3);
    QVERIFY(!within.overLimit);
    QCOMPARE(within.stored, 300);
    QCOMPARE(within.refusedCount, 3);
    QCOMPARE(countRows(*results, u"Suite"_s), 301);
}

void TestImporter::rawDataReadsChosenSheet_data()
{
    test::addBackendRows();
}

void TestImporter::rawDataReadsChosenSheet()
{
    QFETCH(QString, backend);
    test::TestDatabase db(backend);
    test::createDatabase(db, DatabaseKind::Results)->close();
    importer::TdmKVResults dm;
    dm.connectTo(db.location());
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    const QStringList head{u"SampleNo"_s, u"Frac"_s, u"Rb87Sr86"_s, u"Sr87Sr86"_s};
    const QString file = writeWorkbook(
        m_folders.path() + u"/raw.xlsx"_s,
        {{u"RbSr"_s, {head, {u"A1"_s, u"wr"_s, u"0.5"_s, u"0.71"_s}}},
         {u"SmNd"_s, {head, {u"B1"_s, u"wr"_s, u"0.2"_s, u""_s}, {u"B2"_s, u"px"_s, u"0.3"_s, u"0.51"_s}}}});
    ScriptedInteraction ui;
    ui.queueFiles({{file, 0}});
    // Raw data only prepares: "Read data" is offered, nothing is read yet.
    QVERIFY(!importer.runReader(SheetReader::RawData, ui));
    QVERIFY(importer.readDataOffered());
    QCOMPARE(countRows(dm.KVResults, u"SmpData"_s), 0);
    importer.switchSheet(1, ui);
    QCOMPARE(importer.lastDataRow(), 3);
    const ImportOutcome outcome = importer.importCurrentSheet(SheetReader::RawData, ui);
    QVERIFY(!importer.readDataOffered());
    QCOMPARE(outcome.read, 40);
    QCOMPARE(outcome.apply.stored, 3);
    QCOMPARE(outcome.removed, 37);
    QCOMPARE(column(dm.KVResults, u"select SampleNo, Frac, IsoSystem, VariableID, DataValue, NormalisingFactor "
                                  u"from SmpData order by SampleNo, VariableID"_s),
             (QStringList{u"B1|wr|SmNd|Rb87Sr86|0.2|10000"_s, u"B2|px|SmNd|Rb87Sr86|0.3|10000"_s,
                          u"B2|px|SmNd|Sr87Sr86|0.51|10000"_s}));
}

void TestImporter::unreadableWorkbook()
{
    importer::TdmKVResults dm;
    Workbook book;
    ImporterSettings settings;
    settings.DataImportPath = u"/before"_s;
    Importer importer(dm, book, settings);
    const QString bad = m_folders.path() + u"/bad.xls"_s;
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is no workbook");
    f.close();
    ScriptedInteraction ui;
    ui.queueFiles({{bad, 0}});
    QVERIFY_THROWS_EXCEPTION(FileError, importer.runReader(SheetReader::Localities, ui));
    QCOMPARE(settings.DataImportPath, u"/before"_s);
    QVERIFY(importer.workbookFileName().isEmpty());
}

QTEST_GUILESS_MAIN(TestImporter)
#include "tst_importer.moc"
