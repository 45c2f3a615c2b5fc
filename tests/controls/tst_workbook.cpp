// SPDX-License-Identifier: GPL-3.0-or-later
// The workbook model: cell semantics callers rely on, the active sheet and cell, dialog filters.
#include "controls/cell_value.h"
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/errors.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace kv;

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void generalText_data();
    void generalText();
    void numberOfText_data();
    void numberOfText();
    void dateSerial_data();
    void dateSerial();
    void activeCell();
    void sheets();
    void maxRow();
    void sparseStorage();
    void outOfRange_data();
    void outOfRange();
    void dialogFilters_data();
    void dialogFilters();
};

void TestWorkbook::generalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    // Expected texts are those of Python's '%.15G' % value, the general format's rule.
    QTest::newRow("0.1") << 0.1 << u"0.1"_s;
    QTest::newRow("1e-7") << 1e-7 << u"1E-07"_s;
    QTest::newRow("0.0001") << 0.0001 << u"0.0001"_s;
    QTest::newRow("123456789012345678") << 123456789012345678.0 << u"1.23456789012346E+17"_s;
    QTest::newRow("15 digits") << 123456789012345.0 << u"123456789012345"_s;
    QTest::newRow("1e15") << 1e15 << u"1E+15"_s;
    QTest::newRow("1/3") << 1.0 / 3.0 << u"0.333333333333333"_s;
    QTest::newRow("2/3 rounds") << 2.0 / 3.0 << u"0.666666666666667"_s;
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << u"0.3"_s;
    QTest::newRow("integer") << 100.0 << u"100"_s;
    QTest::newRow("negative") << -2.5 << u"-2.5"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("1.5e300") << 1.5e300 << u"1.5E+300"_s;
}

void TestWorkbook::generalText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    Workbook workbook;
    workbook.setRow(3);
    workbook.setCol(2);
    workbook.setNumber(value);
    QCOMPARE(workbook.text(), text);
    QCOMPARE(workbook.number(), value);
}

void TestWorkbook::numberOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("integer") << u"42"_s << 42.0;
    QTest::newRow("blanks around") << u" 3.5 "_s << 3.5;
    QTest::newRow("exponent") << u"-1e3"_s << -1000.0;
    QTest::newRow("plus sign") << u"+7"_s << 7.0;
    QTest::newRow("leading zeros") << u"007"_s << 7.0;
    QTest::newRow("word") << u"abc"_s << 0.0;
    QTest::newRow("decimal comma") << u"1,5"_s << 0.0;
    QTest::newRow("trailing letters") << u"12abc"_s << 0.0;
    QTest::newRow("infinity") << u"1e999"_s << 0.0;
    QTest::newRow("lone sign") << u"-"_s << 0.0;
}

void TestWorkbook::numberOfText()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    Workbook workbook;
    workbook.setText(text);
    QCOMPARE(workbook.text(), text);  // a text cell keeps its text as typed
    QCOMPARE(workbook.number(), number);
}

void TestWorkbook::dateSerial_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("epoch1904");
    QTest::addColumn<double>("serial");
    // Serials as Excel shows them for these dates (its DATEVALUE; 60 is its phantom 1900-02-29).
    QTest::newRow("2024-01-15") << u"2024-01-15"_s << false << 45306.0;
    QTest::newRow("noon") << u"2024-01-15 12:00:00"_s << false << 45306.5;
    QTest::newRow("ISO T") << u"2024-01-15T06:00:00"_s << false << 45306.25;
    QTest::newRow("1900-01-01") << u"1900-01-01"_s << false << 1.0;
    QTest::newRow("1900-02-28") << u"1900-02-28"_s << false << 59.0;
    QTest::newRow("1900-03-01") << u"1900-03-01"_s << false << 61.0;
    QTest::newRow("1904 epoch") << u"1904-01-02"_s << true << 1.0;
    QTest::newRow("time only") << u"18:00:00"_s << false << 0.75;
}

void TestWorkbook::dateSerial()
{
    QFETCH(QString, text);
    QFETCH(bool, epoch1904);
    QFETCH(double, serial);
    double got = -1;
    QVERIFY(dateTextToSerial(text, epoch1904, got));
    QCOMPARE(got, serial);
}

void TestWorkbook::activeCell()
{
    Workbook workbook;
    QSignalSpy changed(&workbook, &Workbook::cellChanged);
    workbook.setRow(2);
    workbook.setCol(5);
    workbook.setText(u"Itmagzir – é à ö ±"_s);
    workbook.setCol(6);
    workbook.setNumber(1.25);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(2).toInt(), 6);

    workbook.setCol(5);
    QCOMPARE(workbook.text(), u"Itmagzir – é à ö ±"_s);
    QCOMPARE(workbook.number(), 0.0);
    workbook.setCol(7);
    QCOMPARE(workbook.text(), QString());  // empty cell
    QCOMPARE(workbook.number(), 0.0);

    // Overwriting changes the kind; an empty text empties the cell.
    workbook.setCol(5);
    workbook.setNumber(3);
    QCOMPARE(workbook.sheetAt(1).kind(2, 5), CellKind::Number);
    workbook.setText(u"x"_s);
    QCOMPARE(workbook.sheetAt(1).kind(2, 5), CellKind::Text);
    workbook.setText({});
    QCOMPARE(workbook.sheetAt(1).kind(2, 5), CellKind::Empty);
    QCOMPARE(workbook.sheetAt(1).cellCount(), std::size_t(1));
}

void TestWorkbook::sheets()
{
    Workbook workbook;
    QCOMPARE(workbook.numSheets(), 1);
    QCOMPARE(workbook.sheetName(1), u"Sheet1"_s);
    workbook.setNumSheets(3);
    workbook.setSheetName(2, u"Résumé"_s);
    QCOMPARE(workbook.sheetName(2), u"Résumé"_s);
    QCOMPARE(workbook.sheetName(3), u"Sheet3"_s);

    // Cells belong to the active sheet.
    workbook.setSheet(2);
    workbook.setNumber(2);
    workbook.setSheet(3);
    QCOMPARE(workbook.text(), QString());
    workbook.setSheet(2);
    QCOMPARE(workbook.number(), 2.0);

    workbook.setNumSheets(1);
    QCOMPARE(workbook.sheet(), 1);
    QVERIFY_THROWS_EXCEPTION(InputError, workbook.setSheet(2));
    QVERIFY_THROWS_EXCEPTION(InputError, workbook.sheetName(0));
}

void TestWorkbook::maxRow()
{
    Workbook workbook;
    QCOMPARE(workbook.maxRow(), 0);
    workbook.setRow(12);
    workbook.setText(u"last"_s);
    QCOMPARE(workbook.maxRow(), 12);
    workbook.setMaxRow(5);  // the importer narrows the view to its rows; the cell stays
    QCOMPARE(workbook.maxRow(), 5);
    QCOMPARE(workbook.text(), u"last"_s);
    workbook.setNumSheets(2);
    workbook.setSheet(2);
    QCOMPARE(workbook.maxRow(), 0);
}

void TestWorkbook::sparseStorage()
{
    // Cells written out of order, far apart, and rewritten keep their values.
    WorkbookSheet sheet;
    sheet.setText(1000000, 16384, u"corner"_s);
    sheet.setNumber(1, 1, 1);
    sheet.setNumber(5, 3, 3);
    sheet.setNumber(5, 2, 2);
    sheet.setText(5, 1, u"a"_s);
    for (int i = 0; i < 1000; ++i)
        sheet.setText(5, 2, u"rewritten %1"_s.arg(i));
    QCOMPARE(sheet.cellCount(), std::size_t(5));
    QCOMPARE(sheet.text(1000000, 16384), u"corner"_s);
    QCOMPARE(sheet.text(5, 2), u"rewritten 999"_s);
    QCOMPARE(sheet.number(5, 3), 3.0);
    QCOMPARE(sheet.lastRow(), 1000000);
    QCOMPARE(sheet.lastColumn(), 16384);
    QCOMPARE(sheet.firstColumn(), 1);

    QStringList order;
    sheet.forEachCell([&](const WorkbookSheet::CellRef &c) {
        order << u"%1:%2"_s.arg(c.row).arg(c.column);
        return true;
    });
    QCOMPARE(order, (QStringList{u"1:1"_s, u"5:1"_s, u"5:2"_s, u"5:3"_s, u"1000000:16384"_s}));

    sheet.clearCell(1000000, 16384);
    QCOMPARE(sheet.lastRow(), 5);
}

void TestWorkbook::outOfRange_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::newRow("row 0") << 0 << 1;
    QTest::newRow("column 0") << 1 << 0;
    QTest::newRow("row past the sheet") << Workbook::MaxRows + 1 << 1;
    QTest::newRow("column past the sheet") << 1 << Workbook::MaxColumns + 1;
}

void TestWorkbook::outOfRange()
{
    QFETCH(int, row);
    QFETCH(int, col);
    Workbook workbook;
    QVERIFY_THROWS_EXCEPTION(InputError, {
        workbook.setRow(row);
        workbook.setCol(col);
    });
    QVERIFY_THROWS_EXCEPTION(InputError, workbook.sheetAt(1).setNumber(row, col, 1));
}

void TestWorkbook::dialogFilters_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("fileType");
    QTest::newRow("entry 1: Excel 97") << 1 << 11;
    QTest::newRow("entry 2: Excel 5") << 2 << 4;
    QTest::newRow("entry 3: xlsx") << 3 << int(FileTypeXlsx);
    QTest::newRow("entry 4: csv") << 4 << int(FileTypeCsv);
    QTest::newRow("none chosen") << 0 << 11;
    QTest::newRow("unknown entry") << 9 << 11;
}

void TestWorkbook::dialogFilters()
{
    QFETCH(int, entry);
    QFETCH(int, fileType);
    QCOMPARE(workbookFileTypeForFilter(entry), fileType);
    const QStringList filters = workbookDialogFilters();
    QCOMPARE(filters.size(), 4);
    QVERIFY(filters[0].startsWith(u"Excel 97/Excel 8 (*.XLS"_s));
    QVERIFY(filters[1].startsWith(u"Excel 5 and 7/95 (*.XLS"_s));
    QCOMPARE(filters[2], u"Excel 2007-365 (*.xlsx)"_s);
    QCOMPARE(filters[3], u"CSV (*.csv)"_s);
    if (entry >= 1 && entry <= 4)
        QCOMPARE(workbookFileTypeForFilter(filters[entry - 1]), fileType);
    QCOMPARE(workbookDefaultSuffix(fileType), fileType == FileTypeXlsx ? u"xlsx"_s
                                              : fileType == FileTypeCsv ? u"csv"_s
                                                                        : u"XLS"_s);
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
