// SPDX-License-Identifier: GPL-3.0-or-later
// Every workbook format writes and reads back the same cells; bad files and unwritable targets give a
// FileError naming the file and leave the workbook and any good file alone.
#include "biff_records.h"
#include "controls/compound_file_writer.h"
#include "controls/workbook.h"
#include "core/errors.h"
#include "workbook_cells.h"

#include <QBuffer>
#include <QProcess>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Three sheets: texts with characters beyond ASCII, numbers with 15 significant digits, gaps, an
// empty sheet. Windows-1252 holds every character, so Excel 5 files keep them too.
enum LongTexts { NoLongTexts, LongTexts, VeryLongTexts };

void fillSample(Workbook &workbook, int longTexts)
{
    workbook.setNumSheets(3);
    workbook.setSheetName(1, u"Résumé"_s);
    workbook.setSheetName(2, u"Data 2"_s);
    workbook.setSheetName(3, u"Empty"_s);
    WorkbookSheet &first = workbook.sheetAt(1);
    first.setText(1, 1, u"Itmagzir – é à ö ±"_s);
    first.setNumber(1, 2, 1.23456789012345);
    first.setNumber(1, 4, -9.87654321098765e-5);  // C1 stays empty
    first.setNumber(2, 1, 123456789012345.0);
    first.setText(2, 3, u"007"_s);               // a text that reads as a number stays text
    first.setText(2, 4, u"a, \"quoted\"\nline"_s);
    first.setNumber(4, 2, 0.1);                   // row 3 stays empty
    first.setNumber(4, 3, 0);
    first.setText(5, 256, u"far right €"_s);
    WorkbookSheet &second = workbook.sheetAt(2);
    for (int r = 1; r <= 300; ++r) {
        second.setText(r, 1, u"row %1 – ß"_s.arg(r).left(longTexts ? 100 : 12));
        second.setNumber(r, 2, r * 1.5);
    }
    if (longTexts != NoLongTexts) {
        // Texts past one SST record (8224 bytes), narrow and wide, split across CONTINUE records.
        second.setText(301, 1, QString(9000, u'x'));
        second.setText(302, 1, QString(3000, u'ä') + QString(3000, u'Ω'));
    }
    if (longTexts == VeryLongTexts) {
        // Texts spanning three records and more.
        second.setText(303, 1, QString(20000, u'y'));
        second.setText(304, 1, QString(5000, u'ä') + QString(5000, u'Ω'));
    }
}

} // namespace

class TestWorkbookFormats : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void emptyWorkbook_data();
    void emptyWorkbook();
    void readsGoldenFiles_data();
    void readsGoldenFiles();
    void readsHandMadeXls_data();
    void readsHandMadeXls();
    void badInput_data();
    void badInput();
    void badTarget_data();
    void badTarget();
    void millionRows();
    void kvtoolVerbs();

private:
    void addDamagedXlsRows(const QByteArray &xls);
    QTemporaryDir m_dir{QDir::tempPath() + u"/tst_workbook_formats-XXXXXX"_s};
public:
    TestWorkbookFormats() { m_dir.setAutoRemove(qEnvironmentVariableIsEmpty("KV_KEEP_TEST_FILES")); }
};

void TestWorkbookFormats::roundTrip_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("longTexts");
    QTest::addColumn<bool>("oneSheet");
    QTest::newRow("Excel 97") << 11 << u"out97.xls"_s << int(VeryLongTexts) << false;
    QTest::newRow("Excel 5") << 4 << u"out5.xls"_s << int(NoLongTexts) << false;
    QTest::newRow("xlsx") << int(FileTypeXlsx) << u"out.xlsx"_s << int(VeryLongTexts) << false;
    QTest::newRow("csv") << int(FileTypeCsv) << u"out.csv"_s << int(VeryLongTexts) << true;
}

void TestWorkbookFormats::roundTrip()
{
    QFETCH(int, fileType);
    QFETCH(QString, file);
    QFETCH(int, longTexts);
    QFETCH(bool, oneSheet);
    Workbook written;
    fillSample(written, longTexts);
    written.setViewScale(70);
    const QString path = m_dir.filePath(file);
    KV_EXPECT_NO_ERROR(written.writeWorkbook(path, fileType));

    Workbook read;
    int found = 0;
    KV_EXPECT_NO_ERROR(read.readWorkbook(path, found));
    QCOMPARE(found, fileType);
    if (oneSheet) {
        // A CSV file holds the active sheet, named after the file.
        QCOMPARE(read.numSheets(), 1);
        QCOMPARE(read.sheetName(1), u"out"_s);
        QCOMPARE(test::cellLines(read), test::cellLines(written, 1));
    } else {
        QCOMPARE(read.numSheets(), 3);
        for (int s = 1; s <= 3; ++s)
            QCOMPARE(read.sheetName(s), written.sheetName(s));
        QCOMPARE(test::cellLines(read), test::cellLines(written));
    }
}

void TestWorkbookFormats::emptyWorkbook_data()
{
    roundTrip_data();
}

void TestWorkbookFormats::emptyWorkbook()
{
    QFETCH(int, fileType);
    QFETCH(QString, file);
    const QString path = m_dir.filePath(u"empty-"_s + file);
    Workbook written;
    KV_EXPECT_NO_ERROR(written.writeWorkbook(path, fileType));
    Workbook read;
    read.sheetAt(1).setNumber(1, 1, 5);
    int found = 0;
    KV_EXPECT_NO_ERROR(read.readWorkbook(path, found));
    QCOMPARE(found, fileType);
    QCOMPARE(read.numSheets(), 1);
    QVERIFY(read.sheetAt(1).isEmpty());
}

void TestWorkbookFormats::readsGoldenFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QStringList>("cells");
    // Written by openpyxl, LibreOffice and Gnumeric from the same workbook (tests/fixtures/workbook/
    // make_fixtures.py); C3 holds the date 2024-01-15, serial 45306.
    const QStringList sample{u"1|1|1|t|Itmagzir – é à ö ±"_s, u"1|1|2|n|1.5"_s, u"1|2|1|n|123456789012345"_s,
                             u"1|2|2|t|text"_s, u"1|3|3|n|45306"_s, u"1|4|1|n|0.1"_s, u"2|1|1|n|-2.25"_s,
                             u"2|2|2|t|Grüße"_s};
    QTest::newRow("openpyxl .xlsx") << u"openpyxl.xlsx"_s << int(FileTypeXlsx) << sample;
    QTest::newRow("LibreOffice Excel 97") << u"soffice97.xls"_s << 11 << sample;
    QTest::newRow("Gnumeric Excel 5") << u"gnumeric95.xls"_s << 4 << sample;
    // Formulas LibreOffice computed, read as their stored results: a number, a text, TRUE, #DIV/0!,
    // "" (no cell), a text of 10,000 characters (a STRING record with CONTINUE), a date, a formula
    // over the other sheet.
    QTest::newRow("LibreOffice Excel 97 formulas")
        << u"soffice_formulas97.xls"_s << 11
        << QStringList{u"1|1|1|n|2.5"_s, u"1|1|2|n|2500"_s, u"1|1|3|t|Zr 2.5"_s, u"1|1|4|n|1"_s, u"1|1|5|t|#DIV/0!"_s,
                       u"1|1|7|t|"_s + QString(5000, u'a').replace(u"a"_s, u"ab"_s), u"1|1|8|n|45306"_s,
                       u"1|1|9|t|Гранит"_s, u"1|2|1|n|20"_s, u"2|1|1|n|10"_s};
    // Hand-made: inline and rich strings, a boolean, a formula's text, an error, an ISO date, rows and
    // cells without r attributes.
    QTest::newRow("inline strings, no references")
        << u"inline.xlsx"_s << int(FileTypeXlsx)
        << QStringList{u"1|1|1|t|first"_s, u"1|1|2|n|2.5"_s, u"1|1|3|n|1"_s, u"1|3|2|t|rich text"_s,
                       u"1|3|3|t|formula"_s, u"1|4|1|t|#N/A"_s, u"1|4|2|n|45306.5"_s};
}

void TestWorkbookFormats::readsGoldenFiles()
{
    QFETCH(QString, file);
    QFETCH(int, fileType);
    QFETCH(QStringList, cells);
    Workbook workbook;
    int found = 0;
    KV_EXPECT_NO_ERROR(workbook.readWorkbook(QStringLiteral(KV_FIXTURES_DIR "/workbook/") + file, found));
    QCOMPARE(found, fileType);
    QCOMPARE(test::cellLines(workbook), cells);
    if (file.startsWith(u"soffice_formulas")) {
        QCOMPARE(workbook.sheetName(1), u"Formeln"_s);
        QCOMPARE(workbook.sheetName(2), u"Quelle"_s);
    } else if (file != u"inline.xlsx") {
        QCOMPARE(workbook.sheetName(1), u"Données"_s);
        QCOMPARE(workbook.sheetName(2), u"Zahlen"_s);
    }
}

void TestWorkbookFormats::readsHandMadeXls_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QStringList>("sheetNames");
    QTest::addColumn<QStringList>("cells");
    QStringList cells;
    const QByteArray excel5 = test::excel5CodePageStream(cells);
    QTest::newRow("Excel 5, code page 1251") << test::compoundFile(excel5, u"Book"_s) << 4
                                             << QStringList{u"Породы"_s} << cells;
    const QByteArray excel97 = test::excel97RecordsStream(cells);
    QTest::newRow("Excel 97 records") << test::compoundFile(excel97, u"Workbook"_s) << 11
                                      << QStringList{u"Données"_s, u"Ωmega"_s} << cells;
}

void TestWorkbookFormats::readsHandMadeXls()
{
    QFETCH(QByteArray, content);
    QFETCH(int, fileType);
    QFETCH(QStringList, sheetNames);
    QFETCH(QStringList, cells);
    const QString path = m_dir.filePath(u"handmade.xls"_s);
    writeAll(path, content);
    Workbook workbook;
    int found = 0;
    KV_EXPECT_NO_ERROR(workbook.readWorkbook(path, found));
    QCOMPARE(found, fileType);
    QStringList names;
    for (int s = 1; s <= workbook.numSheets(); ++s)
        names << workbook.sheetName(s);
    QCOMPARE(names, sheetNames);
    QCOMPARE(test::cellLines(workbook), cells);
}

void TestWorkbookFormats::badInput_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");  // empty: no file at all
    QTest::addColumn<QString>("reason");

    Workbook sample;
    fillSample(sample, LongTexts);
    KV_EXPECT_NO_ERROR(sample.writeWorkbook(m_dir.filePath(u"good.xls"_s), 11));
    KV_EXPECT_NO_ERROR(sample.writeWorkbook(m_dir.filePath(u"good.xlsx"_s), FileTypeXlsx));
    const QByteArray xls = readAll(m_dir.filePath(u"good.xls"_s));
    const QByteArray xlsx = readAll(m_dir.filePath(u"good.xlsx"_s));

    QTest::newRow("missing") << u"missing.xls"_s << QByteArray() << u"does not exist"_s;
    QTest::newRow("empty") << u"empty.xls"_s << QByteArray("") << u"empty"_s;
    QTest::newRow("truncated xls") << u"truncated.xls"_s << xls.left(xls.size() / 2) << u""_s;
    QTest::newRow("truncated xls header") << u"header.xls"_s << xls.left(600) << u""_s;
    QTest::newRow("truncated xlsx") << u"truncated.xlsx"_s << xlsx.left(xlsx.size() / 2) << u""_s;
    QByteArray corrupt = xls;
    for (qsizetype i = 512; i < corrupt.size(); i += 7)
        corrupt[i] = char(corrupt[i] ^ 0x5A);
    QTest::newRow("corrupt xls") << u"corrupt.xls"_s << corrupt << u""_s;
    QByteArray corruptZip = xlsx;
    for (qsizetype i = 40; i < corruptZip.size() - 200; i += 11)
        corruptZip[i] = char(corruptZip[i] ^ 0x5A);
    QTest::newRow("corrupt xlsx") << u"corrupt.xlsx"_s << corruptZip << u""_s;
    QTest::newRow("picture named .xls") << u"picture.xls"_s << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                        << u"not an Excel workbook"_s;
    QTest::newRow("text named .xls") << u"text.xls"_s << QByteArray("a,b\n1,2\n") << u"not an Excel workbook"_s;
    QTest::newRow("binary named .csv")
        << u"binary.csv"_s << QByteArray("a,b\0\1\2", 7) << u"not an Excel workbook"_s;
    QTest::newRow("open quote csv") << u"quote.csv"_s << QByteArray("a,\"b\n") << u"not closed"_s;
    QTest::newRow("endless csv field") << u"endless.csv"_s << (QByteArray("a,\"") + QByteArray(3 << 20, 'b'))
                                       << u"longer than"_s;

    // A zip archive that is no workbook.
    {
        QFile zip(QStringLiteral(KV_FIXTURES_DIR "/workbook/inline.xlsx"));
        QVERIFY(zip.open(QIODevice::ReadOnly));
        QByteArray bytes = zip.readAll();
        bytes.replace("xl/workbook.xml", "xl/notebook.xml");
        QTest::newRow("zip without workbook") << u"other.xlsx"_s << bytes << u"not an Excel workbook"_s;
    }
    // A sheet row past the last row .xlsx allows (hand-made by make_fixtures.py).
    QTest::newRow("row 1048577 in xlsx")
        << u"rows.xlsx"_s << readAll(QStringLiteral(KV_FIXTURES_DIR "/workbook/too_many_rows.xlsx"))
        << u"more than 1048576 rows"_s;

    // Excel 2007 and later encrypt a protected workbook into an "EncryptedPackage" compound file.
    {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        CompoundFileWriter writer(buffer, u"EncryptedPackage"_s);
        QVERIFY(writer.begin() && writer.write(QByteArray(5000, '\x42')) && writer.finish());
        QTest::newRow("password-protected xlsx") << u"protected.xlsx"_s << buffer.data() << u"password"_s;
    }
    // An .xls with a FILEPASS record (XOR obfuscation) in place of WINDOW1: 22 bytes for 22 bytes,
    // FILEPASS (10) + INTERFACEHDR (6) + MMS (6).
    {
        QByteArray bytes = xls;
        const QByteArray window1("\x3D\x00\x12\x00", 4);
        const qsizetype at = bytes.indexOf(window1);
        QVERIFY(at > 0);
        const QByteArray filepass("\x2F\x00\x06\x00\x00\x00\x34\x12\x78\x56"
                                  "\xE1\x00\x02\x00\xB0\x04"
                                  "\xC1\x00\x02\x00\x00\x00", 22);
        bytes.replace(at, 22, filepass);
        QTest::newRow("password-protected xls") << u"protected.xls"_s << bytes << u"password"_s;
    }
    addDamagedXlsRows(xls);
}

void TestWorkbookFormats::addDamagedXlsRows(const QByteArray &xls)
{
    // Damage to the compound file of one of ours: its header, FAT and directory are where our writer
    // puts them (the FAT's first sector named in the header, the directory's in the header too).
    auto at32 = [](const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    auto with32 = [](QByteArray b, qsizetype at, quint32 value) {
        qToLittleEndian(value, b.data() + at);
        return b;
    };
    const qsizetype fat = (qsizetype(at32(xls, 0x4C)) + 1) * 512;
    const quint32 directorySector = at32(xls, 0x30);
    const qsizetype directory = (qsizetype(directorySector) + 1) * 512;
    const quint32 streamSize = at32(xls, directory + 128 + 0x78);
    QTest::newRow("sector loop") << u"loop.xls"_s << with32(xls, fat + 4 * 2, 1) << u"loops"_s;
    QTest::newRow("directory loop") << u"dirloop.xls"_s << with32(xls, fat + 4 * directorySector, directorySector)
                                    << u"loops"_s;
    QTest::newRow("sector past the end") << u"far.xls"_s << with32(xls, fat + 4, 0x00FFFFFF) << u"past the end of the file"_s;
    QTest::newRow("chain ends early") << u"short.xls"_s << with32(xls, fat + 4, 0xFFFFFFFE) << u"ends before its length"_s;
    QTest::newRow("stream longer than the file") << u"long.xls"_s << with32(xls, directory + 128 + 0x78, 0x7FFFFFFF)
                                                 << u"longer than the file"_s;
    QTest::newRow("FAT past the end") << u"fat.xls"_s << with32(xls, 0x2C, 100000) << u"allocation table"_s;
    // The stream cut in its last record but one (WINDOW2 or SCALE; EOF is 4 bytes).
    QTest::newRow("record past the stream") << u"cut.xls"_s << with32(xls, directory + 128 + 0x78, streamSize - 5)
                                            << u"past the end of its stream"_s;

    // Hand-made workbook streams, each with one fault.
    auto sheetWith = [](const QByteArray &sheetRecords, const QByteArray &globals = {}) {
        test::BiffStream s;
        s.bof(8, 0x0005).record(0x0042, test::BiffBody().u16(1200));
        QByteArray stream = s.data() + globals;
        test::BiffStream rest;
        rest.boundSheet(QByteArray("\x01\x00S", 3)).eof();
        // The sheet begins right after the globals.
        QByteArray tail = rest.data();
        const quint32 offset = quint32(stream.size() + tail.size());
        qToLittleEndian(offset, tail.data() + 4);
        test::BiffStream sheet;
        sheet.bof(8, 0x0010);
        return test::compoundFile(stream + tail + sheet.data() + sheetRecords + QByteArray("\x0A\x00\x00\x00", 4),
                                  u"Workbook"_s);
    };
    auto records = [](std::initializer_list<std::pair<quint16, QByteArray>> list) {
        test::BiffStream s;
        for (const auto &[id, body] : list)
            s.record(id, body);
        return s.data();
    };
    const QByteArray oneText = records({{0x00FC, test::BiffBody().u32(1).u32(1).u16(2).u8(0).bytes("ab").data()}});
    QTest::newRow("missing shared text") << u"sst.xls"_s
        << sheetWith(records({{0x00FD, test::cell(1, 1).u32(5).data()}}), oneText) << u"text 6"_s;
    QTest::newRow("shared text cut short") << u"sstcut.xls"_s
        << sheetWith({}, records({{0x00FC, test::BiffBody().u32(1).u32(1).u16(100).u8(0).bytes("abcdefghij").data()}}))
        << u"table of texts"_s;
    QTest::newRow("text past an empty CONTINUE") << u"sstempty.xls"_s
        << sheetWith({}, records({{0x00FC, test::BiffBody().u32(1).u32(1).u16(4).u8(0).bytes("ab").data()},
                                  {0x003C, QByteArray()}}))
        << u"table of texts"_s;
    QTest::newRow("column past the last") << u"column.xls"_s
        << sheetWith(records({{0x0203, test::cell(1, 65535).f64(1).data()}})) << u"column 65535"_s;
    QTest::newRow("MULRK past the last column") << u"mulrk.xls"_s
        << sheetWith(records({{0x00BD, test::BiffBody().u16(0).u16(16380).u16(15).u32(2).u16(15).u32(2).u16(15).u32(2)
                                           .u16(15).u32(2).u16(15).u32(2).u16(16384).data()}}))
        << u"damaged MULRK"_s;
    QTest::newRow("short NUMBER") << u"number.xls"_s
        << sheetWith(records({{0x0203, test::cell(1, 1).data()}})) << u"damaged NUMBER"_s;
    QTest::newRow("short FORMULA") << u"formula.xls"_s
        << sheetWith(records({{0x0006, test::cell(1, 1).u32(0).data()}})) << u"damaged FORMULA"_s;
    QTest::newRow("sheet without EOF") << u"noeof.xls"_s
        << test::compoundFile(test::BiffStream().bof(8, 5).boundSheet(QByteArray("\x01\x00S", 3)).eof()
                                  .beginSheet(8).record(0x0203, test::cell(1, 1).f64(1)).data()
                                  + QByteArray(6000, '\0'),
                              u"Workbook"_s)
        << u"cut short"_s;
    QTest::newRow("globals without EOF") << u"noglobalseof.xls"_s
        << test::compoundFile(test::BiffStream().bof(8, 5).data() + QByteArray(5000, '\0'), u"Workbook"_s)
        << u"globals do not end"_s;
    {
        test::BiffStream s;
        s.bof(8, 5).record(0x0085, test::BiffBody().u32(0x7FFFFFFF).u16(0).bytes(QByteArray("\x01\x00S", 3))).eof();
        QTest::newRow("sheet past the stream") << u"offset.xls"_s << test::compoundFile(s.data(), u"Workbook"_s)
                                               << u"missing from the file"_s;
    }
    {
        // Two sheets on one substream: reading each would take time growing with the square of the file.
        test::BiffStream s;
        s.bof(8, 5).boundSheet(QByteArray("\x01\x00" "A", 3)).boundSheet(QByteArray("\x01\x00" "B", 3)).eof();
        QByteArray stream = s.data();
        const quint32 offset = quint32(stream.size());
        for (qsizetype at = stream.indexOf(QByteArray("\x85\x00", 2)); at >= 0; at = stream.indexOf(QByteArray("\x85\x00", 2), at + 1))
            qToLittleEndian(offset, stream.data() + at + 4);
        test::BiffStream sheet;
        sheet.bof(8, 0x10).record(0x0203, test::cell(1, 1).f64(1)).eof();
        QTest::newRow("sheets overlap") << u"overlap.xls"_s << test::compoundFile(stream + sheet.data(), u"Workbook"_s)
                                        << u"overlap"_s;
    }
    QTest::newRow("only a chart sheet") << u"chart.xls"_s
        << test::compoundFile(test::BiffStream().bof(8, 5).boundSheet(QByteArray("\x01\x00" "C", 3), 2).eof().data(),
                              u"Workbook"_s)
        << u"no worksheet"_s;
    QTest::newRow("unknown code page") << u"codepage.xls"_s
        << test::compoundFile(test::BiffStream().bof(5, 5).record(0x0042, test::BiffBody().u16(12345)).eof().data(),
                              u"Book"_s)
        << u"code page 12345"_s;
    QTest::newRow("Excel 4 workbook") << u"excel4.xls"_s
        << test::compoundFile(test::BiffStream().record(0x0409, test::BiffBody().u16(0).u16(0x100)).eof().data(), u"Book"_s)
        << u"Excel 2, 3 or 4"_s;
    QTest::newRow("Word document") << u"word.xls"_s << test::compoundFile(QByteArray(5000, 'w'), u"WordDocument"_s)
                                   << u"no Excel workbook"_s;
}

void TestWorkbookFormats::badInput()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(file);
    if (!content.isNull())
        writeAll(path, content);

    Workbook workbook;
    workbook.setText(u"kept"_s);
    int fileType = 0;
    try {
        workbook.readWorkbook(path, fileType);
        QFAIL("the file was read");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
    QCOMPARE(workbook.text(), u"kept"_s);  // the workbook is unchanged
}

void TestWorkbookFormats::badTarget_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("target");   // relative to the temporary folder
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such folder") << 11 << u"nowhere/out.xls"_s << 1 << 1 << 1 << u""_s;
    QTest::newRow("folder is a file") << int(FileTypeXlsx) << u"good.xls/out.xlsx"_s << 1 << 1 << 1 << u""_s;
    QTest::newRow("million rows to Excel 97") << 11 << u"kept.xls"_s << 1000000 << 1 << 1 << u"65536"_s;
    QTest::newRow("70000 rows to Excel 97") << 11 << u"kept.xls"_s << 70000 << 1 << 1 << u"65536"_s;
    QTest::newRow("20000 rows to Excel 5") << 4 << u"kept.xls"_s << 20000 << 1 << 1 << u"16384"_s;
    QTest::newRow("257 columns to Excel 97") << 11 << u"kept.xls"_s << 1 << 257 << 1 << u"256"_s;
    QTest::newRow("long text to Excel 5") << 4 << u"kept.xls"_s << 1 << 1 << 256 << u"255"_s;
    QTest::newRow("too long text to xlsx") << int(FileTypeXlsx) << u"kept.xlsx"_s << 1 << 1 << 32768 << u"32,767"_s;
    QTest::newRow("unknown type") << 99 << u"kept.xls"_s << 1 << 1 << 1 << u"99"_s;
}

void TestWorkbookFormats::badTarget()
{
    QFETCH(int, fileType);
    QFETCH(QString, target);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, textLength);
    QFETCH(QString, reason);
    writeAll(m_dir.filePath(u"good.xls"_s), "a good file");
    const QString path = m_dir.filePath(target);
    const QByteArray good("the good file this write must not spoil");
    if (target.startsWith(u"kept"))
        writeAll(path, good);

    Workbook workbook;
    workbook.sheetAt(1).setNumber(rows, columns, 1);
    workbook.sheetAt(1).setText(1, 1, QString(textLength, u'z'));
    try {
        workbook.writeWorkbook(path, fileType);
        QFAIL("the file was written");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
    if (target.startsWith(u"kept"))
        QCOMPARE(readAll(path), good);
    // No temporary file is left behind.
    const QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
    for (const QString &name : left)
        QVERIFY2(!name.contains(u".tmp") && !name.contains(u"~"), qPrintable(name));
}

void TestWorkbookFormats::millionRows()
{
    // .xlsx holds a million rows: written and read back whole.
    Workbook workbook;
    WorkbookSheet &sheet = workbook.sheetAt(1);
    for (int r = 1; r <= 1000000; ++r)
        sheet.setNumber(r, 1, r);
    sheet.setText(1000000, 2, u"last"_s);
    const QString path = m_dir.filePath(u"million.xlsx"_s);
    KV_EXPECT_NO_ERROR(workbook.writeWorkbook(path, FileTypeXlsx));
    Workbook read;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(read.readWorkbook(path, fileType));
    QCOMPARE(read.sheetAt(1).cellCount(), std::size_t(1000001));
    QCOMPARE(read.sheetAt(1).number(999999, 1), 999999.0);
    QCOMPARE(read.sheetAt(1).text(1000000, 2), u"last"_s);
    QCOMPARE(read.maxRow(), 1000000);
}

void TestWorkbookFormats::kvtoolVerbs()
{
    // openpyxl's workbook converted to Excel 97 (the default for .xls), then its second sheet dumped.
    const QString out = m_dir.filePath(u"converted.xls"_s);
    QProcess convert;
    convert.start(QStringLiteral(KV_KVTOOL),
                  {u"sheet"_s, u"convert"_s, QStringLiteral(KV_FIXTURES_DIR "/workbook/openpyxl.xlsx"), out});
    QVERIFY(convert.waitForFinished(60000));
    QCOMPARE(convert.exitCode(), 0);
    Workbook workbook;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(workbook.readWorkbook(out, fileType));
    QCOMPARE(fileType, 11);

    QProcess dump;
    dump.start(QStringLiteral(KV_KVTOOL), {u"sheet"_s, u"dump"_s, out, u"--sheet"_s, u"2"_s});
    QVERIFY(dump.waitForFinished(60000));
    QCOMPARE(dump.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(dump.readAllStandardOutput()), u"2\t1\t1\tnumber\t-2.25\n2\t2\t2\ttext\tGrüße\n"_s);

    // A formula cell is dumped as its result.
    QProcess formulas;
    formulas.start(QStringLiteral(KV_KVTOOL), {u"sheet"_s, u"dump"_s,
                                               QStringLiteral(KV_FIXTURES_DIR "/workbook/soffice_formulas97.xls")});
    QVERIFY(formulas.waitForFinished(60000));
    QCOMPARE(formulas.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(formulas.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.size(), 11);  // ten cells and the empty text after the last line end
    QCOMPARE(lines.mid(0, 5), (QStringList{u"1\t1\t1\tnumber\t2.5"_s, u"1\t1\t2\tnumber\t2500"_s,
                                           u"1\t1\t3\ttext\tZr 2.5"_s, u"1\t1\t4\tnumber\t1"_s,
                                           u"1\t1\t5\ttext\t#DIV/0!"_s}));
    QCOMPARE(lines[5], u"1\t1\t7\ttext\t"_s + QString(5000, u'a').replace(u"a"_s, u"ab"_s));
    QCOMPARE(lines.mid(6), (QStringList{u"1\t1\t8\tnumber\t45306"_s, u"1\t1\t9\ttext\tГранит"_s,
                                        u"1\t2\t1\tnumber\t20"_s, u"2\t1\t1\tnumber\t10"_s, QString()}));

    // A bad file is an error naming it, with exit code 1.
    QProcess bad;
    bad.start(QStringLiteral(KV_KVTOOL), {u"sheet"_s, u"dump"_s, m_dir.filePath(u"nothing.xls"_s)});
    QVERIFY(bad.waitForFinished(60000));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(QString::fromUtf8(bad.readAllStandardError()).contains(u"nothing.xls"_s));
}

QTEST_GUILESS_MAIN(TestWorkbookFormats)
#include "tst_workbook_formats.moc"
