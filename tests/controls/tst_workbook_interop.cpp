// SPDX-License-Identifier: GPL-3.0-or-later
// Other programs read the files we write and we read theirs: python3-xlrd (.xls, Excel 97 and
// Excel 5), python3-openpyxl (.xlsx), LibreOffice and, when installed, Gnumeric. A row whose tool
// scripts/packages.txt installs fails when the tool is missing; the others skip, and the golden
// files in tests/fixtures/workbook keep the reading side tested without them.
#include "biff_records.h"
#include "controls/workbook.h"
#include "workbook_cells.h"

#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <charconv>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

using test::packageListed;

} // namespace

// A missing tool fails the row when the set-up installs it, else skips it.
#define KV_REQUIRE_TOOL(found, package)                                                                   \
    do {                                                                                                  \
        if (!(found)) {                                                                                   \
            if (packageListed(package))                                                                   \
                QFAIL(qPrintable(u"%1 is in scripts/packages.txt but not installed (run make setup)"_s.arg(package))); \
            QSKIP(qPrintable(u"%1 is not installed"_s.arg(package)));                                     \
        }                                                                                                 \
    } while (false)

namespace {

using test::pythonWith;

bool runPython(const QString &python, const QString &script, const QStringList &args, QByteArray *output = nullptr)
{
    QProcess p;
    p.start(python, QStringList{u"-c"_s, script} + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning().noquote() << p.readAllStandardError();
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return true;
}

// The reader scripts print [[sheet names], [[sheet, row, column, kind, value], ...]], rows and
// columns from 1, as our workbook holds cells: formulas as their stored results, booleans as 1 and 0,
// errors as their text, dates as serial numbers; an empty text is no cell.
const QString xlrdScript = uR"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
cells = []
for s, sheet in enumerate(book.sheets(), 1):
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_TEXT:
                if cell.value != "":
                    cells.append([s, r + 1, c + 1, "t", cell.value])
            elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE, xlrd.XL_CELL_BOOLEAN):
                cells.append([s, r + 1, c + 1, "n", float(cell.value)])
            elif cell.ctype == xlrd.XL_CELL_ERROR:
                cells.append([s, r + 1, c + 1, "t", xlrd.error_text_from_code[cell.value]])
            elif cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                cells.append([s, r + 1, c + 1, "?", str(cell.value)])
print(json.dumps([book.sheet_names(), cells, book.biff_version]))
)"_s;

const QString openpyxlScript = uR"(
import datetime, json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], data_only=True)
cells = []
for s, sheet in enumerate(book.worksheets, 1):
    for row in sheet.iter_rows():
        for cell in row:
            v = cell.value
            if v is None or v == "":
                continue
            if isinstance(v, datetime.datetime):
                v = (v - datetime.datetime(1899, 12, 30)).total_seconds() / 86400
            kind = "t" if isinstance(v, str) else "n" if isinstance(v, (int, float)) else "?"
            cells.append([s, cell.row, cell.column, kind, float(v) if kind == "n" else v if kind == "t" else str(v)])
print(json.dumps([book.sheetnames, cells, 0]))
)"_s;

QString numberText(double value)
{
    char buffer[40];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, r.ptr - buffer);
}

// What a reader script printed: sheet names, cell lines as test::cellLines gives them, the BIFF version.
struct TheirCells
{
    QStringList names;
    QStringList cells;
    int biffVersion = -1;
};

bool readWith(const QString &python, const QString &script, const QString &path, TheirCells &theirs)
{
    QByteArray output;
    if (!runPython(python, script, {path}, &output))
        return false;
    const QJsonArray result = QJsonDocument::fromJson(output).array();
    if (result.size() != 3) {
        qWarning() << output.left(500);
        return false;
    }
    for (const auto &name : result[0].toArray())
        theirs.names << name.toString();
    for (const auto &item : result[1].toArray()) {
        const QJsonArray c = item.toArray();
        const QString kind = c[3].toString();
        theirs.cells << u"%1|%2|%3|%4|%5"_s.arg(c[0].toInt()).arg(c[1].toInt()).arg(c[2].toInt()).arg(kind,
                            kind == u"n" ? numberText(c[4].toDouble()) : c[4].toString());
    }
    theirs.biffVersion = result[2].toInt();
    return true;
}

QStringList sheetNames(const Workbook &workbook)
{
    QStringList names;
    for (int s = 1; s <= workbook.numSheets(); ++s)
        names << workbook.sheetName(s);
    return names;
}

QString xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// A flat OpenDocument spreadsheet: each sheet a name and rows of cells, a cell "=..." an OpenFormula,
// "#..." a number, else a text.
QByteArray flatOds(const QList<std::pair<QString, QList<QStringList>>> &sheets)
{
    QString xml = uR"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
)"_s;
    for (const auto &[name, rows] : sheets) {
        xml += u"<table:table table:name=\"%1\">"_s.arg(xmlEscaped(name));
        for (const QStringList &row : rows) {
            xml += u"<table:table-row>"_s;
            for (const QString &cell : row) {
                if (cell.isEmpty())
                    xml += u"<table:table-cell/>"_s;
                else if (cell.startsWith(u'='))
                    xml += u"<table:table-cell table:formula=\"of:%1\"/>"_s.arg(xmlEscaped(cell));
                else if (cell.startsWith(u'#'))
                    xml += u"<table:table-cell office:value-type=\"float\" office:value=\"%1\"/>"_s.arg(cell.mid(1));
                else
                    xml += u"<table:table-cell office:value-type=\"string\"><text:p>%1</text:p></table:table-cell>"_s
                               .arg(xmlEscaped(cell));
            }
            xml += u"</table:table-row>"_s;
        }
        xml += u"</table:table>"_s;
    }
    xml += u"</office:spreadsheet></office:body></office:document>\n"_s;
    return xml.toUtf8();
}

void fillSample(Workbook &workbook, bool excel5)
{
    workbook.setNumSheets(2);
    workbook.setSheetName(1, u"Résumé"_s);
    workbook.setSheetName(2, u"Zahlen – ß"_s);
    WorkbookSheet &first = workbook.sheetAt(1);
    first.setText(1, 1, u"Itmagzir – é à ö ±"_s);
    first.setNumber(1, 2, 1.23456789012345);
    first.setNumber(1, 4, -9.87654321098765e-5);
    first.setNumber(3, 1, 123456789012345.0);
    first.setText(3, 2, u"007"_s);
    first.setNumber(4, 3, 1.0 / 3.0);
    WorkbookSheet &second = workbook.sheetAt(2);
    for (int r = 1; r <= 2000; ++r) {
        second.setText(r, 1, u"Zeile %1 – Größe €"_s.arg(r));
        second.setNumber(r, 3, r * 0.25);
    }
    if (!excel5) {
        // Texts spanning two, three and four SST records.
        second.setText(2001, 1, QString(9000, u'x'));
        second.setText(2002, 1, QString(5000, u'ä') + QString(5000, u'Ω'));
        second.setText(2003, 1, QString(30000, u'y'));
    }
}

} // namespace

class TestWorkbookInterop : public QObject
{
    Q_OBJECT

private slots:
    void othersReadOurFiles_data();
    void othersReadOurFiles();
    void weReadOpenpyxl();
    void converters_data();
    void converters();
    void libreOfficeFiles_data();
    void libreOfficeFiles();
    void xlrdReadsHandMadeXls_data();
    void xlrdReadsHandMadeXls();

private:
    QString libreOfficeFixtures();

    QTemporaryDir m_dir;
    QString m_fixtures;  // LibreOffice's files, made at the first row that needs them
    QString m_fixtureProblem;
};

void TestWorkbookInterop::othersReadOurFiles_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("biffVersion");  // as xlrd reports it; 0 for .xlsx
    QTest::newRow("Excel 97 by xlrd") << 11 << u"xlrd"_s << 80;
    QTest::newRow("Excel 5 by xlrd") << 4 << u"xlrd"_s << 70;
    QTest::newRow("xlsx by openpyxl") << int(FileTypeXlsx) << u"openpyxl"_s << 0;
}

void TestWorkbookInterop::othersReadOurFiles()
{
    QFETCH(int, fileType);
    QFETCH(QString, module);
    QFETCH(int, biffVersion);
    const QString python = pythonWith(module);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-"_s + module);

    Workbook workbook;
    fillSample(workbook, fileType == 4);
    const QString path = m_dir.filePath(fileType == FileTypeXlsx ? u"ours.xlsx"_s : u"ours%1.xls"_s.arg(fileType));
    KV_EXPECT_NO_ERROR(workbook.writeWorkbook(path, fileType));

    TheirCells theirs;
    QVERIFY(readWith(python, module == u"xlrd" ? xlrdScript : openpyxlScript, path, theirs));
    QCOMPARE(theirs.names, (QStringList{u"Résumé"_s, u"Zahlen – ß"_s}));
    QCOMPARE(theirs.biffVersion, biffVersion);
    QCOMPARE(theirs.cells, test::cellLines(workbook));
}

void TestWorkbookInterop::weReadOpenpyxl()
{
    const QString python = pythonWith(u"openpyxl"_s);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-openpyxl"_s);
    const QString path = m_dir.filePath(u"theirs.xlsx"_s);
    const QString script = uR"(
import datetime, sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Données"
ws["A1"] = "Itmagzir – é à ö ±"
ws["C1"] = 1 / 3
ws["A3"] = datetime.datetime(2024, 1, 15, 12, 0)
ws["B3"] = True
for r in range(1, 1001):
    ws.cell(row=r + 3, column=2, value=r * 1.5)
wb.create_sheet("Zweite")["B2"] = "Grüße"
wb.save(sys.argv[1])
)"_s;
    QVERIFY(runPython(python, script, {path}));
    Workbook workbook;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(workbook.readWorkbook(path, fileType));
    QCOMPARE(fileType, int(FileTypeXlsx));
    QCOMPARE(workbook.sheetName(2), u"Zweite"_s);
    const QStringList cells = test::cellLines(workbook);
    QCOMPARE(cells.size(), 1000 + 5);
    QCOMPARE(cells[0], u"1|1|1|t|Itmagzir – é à ö ±"_s);
    QCOMPARE(workbook.sheetAt(1).text(1, 3), u"0.333333333333333"_s);
    QCOMPARE(workbook.sheetAt(1).number(1, 3), 1.0 / 3.0);
    QCOMPARE(workbook.sheetAt(1).number(3, 1), 45306.5);  // the date's serial
    QCOMPARE(workbook.sheetAt(1).number(3, 2), 1.0);      // TRUE
    QCOMPARE(workbook.sheetAt(1).number(1003, 2), 1500.0);
    QCOMPARE(workbook.sheetAt(2).text(2, 2), u"Grüße"_s);
}

void TestWorkbookInterop::converters_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<int>("sourceType");
    QTest::addColumn<QString>("target");  // LibreOffice's filter or Gnumeric's exporter
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("general");    // the converter keeps 15 significant digits
    const QString xlsx = u"xlsx"_s, xls = u"xls"_s;
    QTest::newRow("our Excel 5 to LibreOffice Excel 97") << u"soffice"_s << 4 << u"xls:MS Excel 97"_s << xls << false;
    QTest::newRow("our Excel 5 to LibreOffice xlsx") << u"soffice"_s << 4 << u"xlsx:Calc MS Excel 2007 XML"_s << xlsx << true;
    QTest::newRow("our Excel 97 to LibreOffice xlsx") << u"soffice"_s << 11 << u"xlsx:Calc MS Excel 2007 XML"_s << xlsx << true;
    QTest::newRow("our xlsx to LibreOffice Excel 97") << u"soffice"_s << int(FileTypeXlsx) << u"xls:MS Excel 97"_s << xls << false;
    // (Not our Excel 97 to Gnumeric's Excel 5: Gnumeric keeps the Excel 97 code page, UTF-16, which
    // Excel 5 files cannot have, and xlrd does not read the result.)
    QTest::newRow("our Excel 97 to Gnumeric xlsx") << u"ssconvert"_s << 11 << u"Gnumeric_Excel:xlsx2"_s << xlsx << false;
    QTest::newRow("our Excel 5 to Gnumeric Excel 97") << u"ssconvert"_s << 4 << u"Gnumeric_Excel:excel_biff8"_s << xls << false;
    QTest::newRow("our xlsx to Gnumeric Excel 5") << u"ssconvert"_s << int(FileTypeXlsx) << u"Gnumeric_Excel:excel_biff7"_s << xls << false;
}

void TestWorkbookInterop::converters()
{
    QFETCH(QString, tool);
    QFETCH(int, sourceType);
    QFETCH(QString, target);
    QFETCH(QString, extension);
    QFETCH(bool, general);
    const QString program = QStandardPaths::findExecutable(tool);
    KV_REQUIRE_TOOL(!program.isEmpty(), tool == u"soffice" ? u"libreoffice-calc-nogui"_s : u"gnumeric"_s);
    // Our file, converted by another program: what it read is what we read back. Excel 5 files
    // hold no text past 255 characters, and LibreOffice's Excel 97 export cuts the 30,000-character
    // one, so those get the short sample.
    const bool toExcel5 = target.endsWith(u"biff7");
    const bool shortSample = sourceType == 4 || toExcel5 || (tool == u"soffice" && extension == u"xls");
    Workbook ours;
    fillSample(ours, shortSample);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_');
    const QString source = m_dir.filePath(tag + (sourceType == FileTypeXlsx ? u".xlsx"_s : u".xls"_s));
    KV_EXPECT_NO_ERROR(ours.writeWorkbook(source, sourceType));

    const QString outDir = m_dir.filePath(u"out-"_s + tag);
    QDir().mkpath(outDir);
    const QString converted = outDir + u'/' + QFileInfo(source).completeBaseName() + u'.' + extension;
    QProcess p;
    if (tool == u"soffice")
        p.start(program, {u"--headless"_s, u"-env:UserInstallation=file://"_s + m_dir.filePath(u"profile"_s),
                          u"--convert-to"_s, target, u"--outdir"_s, outDir, source});
    else
        p.start(program, {u"-T"_s, target, source, converted});
    QVERIFY(p.waitForFinished(180000));
    QVERIFY2(QFile::exists(converted), p.readAllStandardError().constData());
    Workbook theirs;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(theirs.readWorkbook(converted, fileType));
    QCOMPARE(fileType, toExcel5 ? 4 : extension == u"xls" ? 11 : int(FileTypeXlsx));
    QCOMPARE(theirs.sheetName(2), u"Zahlen – ß"_s);
    QCOMPARE(test::cellLines(theirs, 0, general), test::cellLines(ours, 0, general));
}

// LibreOffice's .xls and .xlsx of two workbooks of ours, made in one start of soffice per format
// (each start takes seconds).
QString TestWorkbookInterop::libreOfficeFixtures()
{
    if (!m_fixtures.isEmpty() || !m_fixtureProblem.isEmpty())
        return m_fixtures;
    const QString program = QStandardPaths::findExecutable(u"soffice"_s);
    if (program.isEmpty())
        return {};
    const QString folder = m_dir.filePath(u"libreoffice"_s);
    QDir().mkpath(folder);

    QList<QStringList> numbers{{u"#1"_s, u"#-7"_s, u"#2.5"_s, u"#123456789012345"_s, u"#1e-07"_s},
                               {u"#0.1"_s, u"#0.3333333333333333"_s, u"#-1234.5678"_s}};
    for (int r = 3; r <= 400; ++r)
        numbers << QStringList{u"#%1"_s.arg(r * 1.5), u"#%1"_s.arg(r), u"#%1"_s.arg(r * 100)};
    // Long texts cross the 8,224-byte records of the table of texts, narrow, wide and changing width
    // between records; short ones before them put the long ones in the middle of a record.
    QList<QStringList> texts;
    for (int r = 1; r <= 300; ++r)
        texts << QStringList{u"Probe %1 – ß"_s.arg(r)};
    texts[0] << QString(9000, u'x');
    texts[1] << QString(5000, u'ä') + QString(5000, u'Ω');
    texts[2] << QString(20000, u'y');
    texts[3] << QString(4000, u'a') + QString(4200, u'Ж') + QString(4000, u'b');
    const QStringList nonLatin{u"Гранит"_s, u"Ωμέγα"_s, u"花崗岩"_s, u"جرانيت"_s, u"🪨 rock"_s, u"Itmagzir – é à ö ±"_s};
    for (int i = 0; i < nonLatin.size(); ++i)
        texts[4 + i] << nonLatin[i];
    const QByteArray texts97 = flatOds({{u"Zahlen"_s, numbers}, {u"Texte – Ω"_s, texts}, {u"Leer"_s, {}}});
    // Formulas of every result kind, one of them over another sheet.
    const QList<QStringList> formulas{
        {u"#2.5"_s, u"=[.A1]*1000"_s, u"=\"Zr \"&[.A1]"_s, u"=[.A1]>1"_s, u"=[.A1]<1"_s, u"=1/0"_s, u"=NA()"_s,
         u"=\"\""_s, u"=REPT(\"ab\";6000)"_s, u"=DATE(2024;1;15)"_s, u"=\"Гранит \"&\"Ω\""_s, u"=[$Quelle.A1]*2"_s}};
    const QByteArray formulas97 = flatOds({{u"Formeln"_s, formulas}, {u"Quelle"_s, {{u"#10"_s}}}});
    for (const auto &[name, content] : {std::pair{u"texts"_s, texts97}, std::pair{u"formulas"_s, formulas97}}) {
        QFile file(folder + u'/' + name + u".fods"_s);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            m_fixtureProblem = u"cannot write "_s + file.fileName();
            return {};
        }
    }
    for (const QString &target : {u"xls:MS Excel 97"_s, u"xlsx:Calc MS Excel 2007 XML"_s}) {
        QProcess p;
        p.start(program, {u"--headless"_s, u"-env:UserInstallation=file://"_s + m_dir.filePath(u"profile"_s),
                          u"--convert-to"_s, target, u"--outdir"_s, folder, folder + u"/texts.fods"_s,
                          folder + u"/formulas.fods"_s});
        if (!p.waitForFinished(300000) || p.exitCode() != 0) {
            m_fixtureProblem = u"soffice failed: "_s + QString::fromLocal8Bit(p.readAllStandardError());
            return {};
        }
    }
    m_fixtures = folder;
    return m_fixtures;
}

void TestWorkbookInterop::libreOfficeFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<QStringList>("expected");  // lines that must be among ours, values found by hand
    const QStringList textSheets{u"Zahlen"_s, u"Texte – Ω"_s, u"Leer"_s};
    const QStringList texts{u"1|1|4|n|123456789012345"_s, u"1|2|3|n|-1234.5678"_s, u"1|400|3|n|40000"_s,
                            u"2|1|2|t|"_s + QString(9000, u'x'), u"2|2|2|t|"_s + QString(5000, u'ä') + QString(5000, u'Ω'),
                            u"2|4|2|t|"_s + QString(4000, u'a') + QString(4200, u'Ж') + QString(4000, u'b'),
                            u"2|7|2|t|花崗岩"_s, u"2|9|2|t|🪨 rock"_s, u"2|300|1|t|Probe 300 – ß"_s};
    const QStringList formulaSheets{u"Formeln"_s, u"Quelle"_s};
    const QStringList formulas{u"1|1|2|n|2500"_s, u"1|1|4|n|1"_s, u"1|1|5|n|0"_s, u"1|1|6|t|#DIV/0!"_s,
                               u"1|1|7|t|#N/A"_s, u"1|1|9|t|"_s + QString(6000, u'a').replace(u"a"_s, u"ab"_s),
                               u"1|1|10|n|45306"_s, u"1|1|11|t|Гранит Ω"_s, u"1|1|12|n|20"_s};
    QTest::newRow("texts, Excel 97 by xlrd") << u"texts.xls"_s << u"xlrd"_s << textSheets << texts;
    QTest::newRow("formulas, Excel 97 by xlrd") << u"formulas.xls"_s << u"xlrd"_s << formulaSheets << formulas;
    QTest::newRow("texts, xlsx by openpyxl") << u"texts.xlsx"_s << u"openpyxl"_s << textSheets << texts;
    QTest::newRow("formulas, xlsx by openpyxl") << u"formulas.xlsx"_s << u"openpyxl"_s << formulaSheets << formulas;
}

void TestWorkbookInterop::libreOfficeFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, module);
    QFETCH(QStringList, sheets);
    QFETCH(QStringList, expected);
    KV_REQUIRE_TOOL(!QStandardPaths::findExecutable(u"soffice"_s).isEmpty(), u"libreoffice-calc-nogui"_s);
    const QString python = pythonWith(module);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-"_s + module);
    const QString folder = libreOfficeFixtures();
    QVERIFY2(!folder.isEmpty(), qPrintable(m_fixtureProblem));

    const QString path = folder + u'/' + file;
    Workbook ours;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(ours.readWorkbook(path, fileType));
    QCOMPARE(fileType, file.endsWith(u".xls") ? 11 : int(FileTypeXlsx));
    QCOMPARE(sheetNames(ours), sheets);
    const QStringList cells = test::cellLines(ours);
    for (const QString &line : expected)
        QVERIFY2(cells.contains(line), qPrintable(line.left(80)));

    TheirCells theirs;
    QVERIFY(readWith(python, module == u"xlrd" ? xlrdScript : openpyxlScript, path, theirs));
    QCOMPARE(theirs.names, sheets);
    QCOMPARE(cells, theirs.cells);
}

void TestWorkbookInterop::xlrdReadsHandMadeXls_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("biffVersion");
    QStringList cells;
    QTest::newRow("Excel 5, code page 1251")
        << test::compoundFile(test::excel5CodePageStream(cells), u"Book"_s) << 70;
    QTest::newRow("Excel 97 records") << test::compoundFile(test::excel97RecordsStream(cells), u"Workbook"_s) << 80;
}

void TestWorkbookInterop::xlrdReadsHandMadeXls()
{
    // The hand-made files of tst_workbook_formats, read by xlrd as by us: they are what we take them for.
    QFETCH(QByteArray, content);
    QFETCH(int, biffVersion);
    const QString python = pythonWith(u"xlrd"_s);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-xlrd"_s);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') + u".xls"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    Workbook ours;
    int fileType = 0;
    KV_EXPECT_NO_ERROR(ours.readWorkbook(path, fileType));
    TheirCells theirs;
    QVERIFY(readWith(python, xlrdScript, path, theirs));
    QCOMPARE(theirs.biffVersion, biffVersion);
    QCOMPARE(theirs.names, sheetNames(ours));
    QCOMPARE(theirs.cells, test::cellLines(ours));
}

QTEST_GUILESS_MAIN(TestWorkbookInterop)
#include "tst_workbook_interop.moc"
