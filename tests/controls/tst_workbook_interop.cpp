// SPDX-License-Identifier: GPL-3.0-or-later
// Other programs read the files we write and we read theirs: python3-xlrd (.xls, Excel 97 and
// Excel 5), python3-openpyxl (.xlsx) and, when installed, LibreOffice and Gnumeric. Skipped when a
// tool is missing;
// the golden files in tests/fixtures/workbook keep the reading side tested without them.
#include "controls/workbook.h"
#include "workbook_cells.h"

#include <QDir>
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

// A Python that has the module: Debian's first, since a python3 earlier on PATH may lack it.
QString pythonWith(const QString &module)
{
    for (const QString &candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        QProcess p;
        p.start(candidate, {u"-c"_s, u"import "_s + module});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}

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
// columns from 1.
const QString xlrdScript = uR"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
cells = []
for s, sheet in enumerate(book.sheets(), 1):
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_TEXT:
                cells.append([s, r + 1, c + 1, "t", cell.value])
            elif cell.ctype == xlrd.XL_CELL_NUMBER:
                cells.append([s, r + 1, c + 1, "n", cell.value])
            elif cell.ctype != xlrd.XL_CELL_EMPTY:
                cells.append([s, r + 1, c + 1, "?", str(cell.value)])
print(json.dumps([book.sheet_names(), cells, book.biff_version]))
)"_s;

const QString openpyxlScript = uR"(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
cells = []
for s, sheet in enumerate(book.worksheets, 1):
    for row in sheet.iter_rows():
        for cell in row:
            v = cell.value
            if v is None:
                continue
            kind = "t" if isinstance(v, str) else "n" if isinstance(v, (int, float)) else "?"
            cells.append([s, cell.row, cell.column, kind, v if kind != "?" else str(v)])
print(json.dumps([book.sheetnames, cells, 0]))
)"_s;

QString numberText(double value)
{
    char buffer[40];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, r.ptr - buffer);
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

private:
    QTemporaryDir m_dir;
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
    if (python.isEmpty())
        QSKIP("python3 with this module is not installed");

    Workbook workbook;
    fillSample(workbook, fileType == 4);
    const QString path = m_dir.filePath(fileType == FileTypeXlsx ? u"ours.xlsx"_s : u"ours%1.xls"_s.arg(fileType));
    KV_EXPECT_NO_ERROR(workbook.writeWorkbook(path, fileType));

    QByteArray output;
    QVERIFY(runPython(python, module == u"xlrd" ? xlrdScript : openpyxlScript, {path}, &output));
    const QJsonArray result = QJsonDocument::fromJson(output).array();
    QVERIFY2(result.size() == 3, output.left(500).constData());
    QCOMPARE(result[0].toArray().toVariantList(), (QVariantList{u"Résumé"_s, u"Zahlen – ß"_s}));
    QCOMPARE(result[2].toInt(), biffVersion);
    QStringList cells;
    for (const auto &item : result[1].toArray()) {
        const QJsonArray c = item.toArray();
        const QString kind = c[3].toString();
        cells << u"%1|%2|%3|%4|%5"_s.arg(c[0].toInt()).arg(c[1].toInt()).arg(c[2].toInt()).arg(kind,
                   kind == u"n" ? numberText(c[4].toDouble()) : c[4].toString());
    }
    QCOMPARE(cells, test::cellLines(workbook));
}

void TestWorkbookInterop::weReadOpenpyxl()
{
    const QString python = pythonWith(u"openpyxl"_s);
    if (python.isEmpty())
        QSKIP("python3-openpyxl is not installed");
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
    // Excel 5 files cannot have, and neither xlrd nor FreeXL reads the result.)
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
    if (program.isEmpty())
        QSKIP("the converter is not installed");
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

QTEST_GUILESS_MAIN(TestWorkbookInterop)
#include "tst_workbook_interop.moc"
