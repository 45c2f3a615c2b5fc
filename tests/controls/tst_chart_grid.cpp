// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/chart_grid.h"
#include "core/errors.h"

#include <QTest>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;
using kv::ChartGrid;

namespace {
// A cell's value, NaN when empty.
double cell(const ChartGrid &grid, int row, int column)
{
    return grid.value(row, column).value_or(qQNaN());
}
} // namespace

class TestChartGrid : public QObject
{
    Q_OBJECT

private slots:
    void counts_data();
    void counts();
    void currentCell_data();
    void currentCell();
    void data_data();
    void data();
    void resizeKeepsOrDropsCells();
    void writingNeedsACell();
    void labels();
    void axisScale_data();
    void axisScale();
    void axisCallOrder();
    void largestGridStaysSparse();
    void seriesOfStyles_data();
    void seriesOfStyles();
    void outlinePairs();
};

void TestChartGrid::counts_data()
{
    QTest::addColumn<bool>("rows");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");

    for (const bool rows : {true, false}) {
        const char *what = rows ? "rows" : "columns";
        QTest::addRow("%s 0", what) << rows << 0 << true;
        QTest::addRow("%s 1", what) << rows << 1 << true;
        QTest::addRow("%s 501", what) << rows << 501 << true;
        QTest::addRow("%s 32767", what) << rows << 32767 << true;
        QTest::addRow("%s 32768", what) << rows << 32768 << false;
        // MaxRows is a 32-bit setting; 65536 would wrap to 0 in a 16-bit count.
        QTest::addRow("%s 40000", what) << rows << 40000 << false;
        QTest::addRow("%s 65536", what) << rows << 65536 << false;
        QTest::addRow("%s INT_MAX", what) << rows << INT_MAX << false;
        QTest::addRow("%s -1", what) << rows << -1 << false;
        QTest::addRow("%s -32768", what) << rows << -32768 << false;
    }
}

void TestChartGrid::counts()
{
    QFETCH(bool, rows);
    QFETCH(int, count);
    QFETCH(bool, accepted);

    ChartGrid grid(7, 7);
    const auto set = [&] { rows ? grid.setRowCount(count) : grid.setColumnCount(count); };
    const auto get = [&] { return rows ? grid.rowCount() : grid.columnCount(); };
    if (accepted) {
        set();
        QCOMPARE(get(), count);
    } else {
        try {
            set();
            QFAIL("count accepted");
        } catch (const kv::InputError &error) {
            QVERIFY2(error.message().contains(QString::number(count)), qPrintable(error.message()));
        }
        QCOMPARE(get(), 7); // a refused count changes nothing
    }
}

void TestChartGrid::currentCell_data()
{
    QTest::addColumn<bool>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("accepted");

    for (const bool row : {true, false}) {
        const char *what = row ? "row" : "column";
        QTest::addRow("%s 1 of 5", what) << row << 5 << 1 << true;
        QTest::addRow("%s 5 of 5", what) << row << 5 << 5 << true;
        QTest::addRow("%s 6 of 5", what) << row << 5 << 6 << false;
        QTest::addRow("%s 0 of 5", what) << row << 5 << 0 << false;
        QTest::addRow("%s -1 of 5", what) << row << 5 << -1 << false;
        QTest::addRow("%s 1 of 0", what) << row << 0 << 1 << false;
        QTest::addRow("%s 32767 of 32767", what) << row << 32767 << 32767 << true;
        QTest::addRow("%s 32768 of 32767", what) << row << 32767 << 32768 << false;
        // 65537 is row 1 once cut to 16 bits
        QTest::addRow("%s 65537 of 32767", what) << row << 32767 << 65537 << false;
    }
}

void TestChartGrid::currentCell()
{
    QFETCH(bool, row);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(bool, accepted);

    ChartGrid grid(row ? count : 3, row ? 3 : count);
    const int before = row ? grid.row() : grid.column();
    try {
        row ? grid.setRow(index) : grid.setColumn(index);
        QVERIFY2(accepted, "index accepted");
        QCOMPARE(row ? grid.row() : grid.column(), index);
        grid.setData(u"12.5"_s);
        QCOMPARE(cell(grid, row ? index : 1, row ? 1 : index), 12.5);
    } catch (const kv::InputError &error) {
        QVERIFY2(!accepted, qPrintable(error.message()));
        QCOMPARE(row ? grid.row() : grid.column(), before);
    }
}

void TestChartGrid::data_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<double>("expected");

    // What the graph commands write: "###0.00", "###0.000000" in a point or comma locale, and a
    // field's general text.
    QTest::newRow("point") << u"1234.50"_s << true << false << 1234.5;
    QTest::newRow("comma") << u"1234,50"_s << true << false << 1234.5;
    QTest::newRow("six decimals") << u"-26.123456"_s << true << false << -26.123456;
    QTest::newRow("six decimals comma") << u"-26,123456"_s << true << false << -26.123456;
    QTest::newRow("general") << u"2714.8"_s << true << false << 2714.8;
    QTest::newRow("exponent") << u"1.5E-3"_s << true << false << 0.0015;
    QTest::newRow("integer") << u"100"_s << true << false << 100.0;
    QTest::newRow("spaces") << u"  42 "_s << true << false << 42.0;
    QTest::newRow("zero") << u"0.000"_s << true << false << 0.0;
    QTest::newRow("empty") << QString() << true << true << 0.0;
    QTest::newRow("blank") << u"   "_s << true << true << 0.0;
    QTest::newRow("word") << u"abc"_s << false << false << 0.0;
    QTest::newRow("thousands and point") << u"1,234.5"_s << false << false << 0.0;
    QTest::newRow("two points") << u"1.2.3"_s << false << false << 0.0;
    QTest::newRow("two commas") << u"1,234,5"_s << false << false << 0.0;
    QTest::newRow("trailing text") << u"12 Ma"_s << false << false << 0.0;
    QTest::newRow("nan") << u"nan"_s << false << false << 0.0;
    QTest::newRow("infinity") << u"inf"_s << false << false << 0.0;
    QTest::newRow("overflow") << u"1e400"_s << false << false << 0.0;
}

void TestChartGrid::data()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(bool, empty);
    QFETCH(double, expected);

    ChartGrid grid(2, 2);
    grid.setRow(2);
    grid.setColumn(2);
    grid.setData(u"99"_s);
    try {
        grid.setData(text);
        QVERIFY2(accepted, "text accepted");
        if (empty)
            QVERIFY(!grid.value(2, 2));
        else
            QCOMPARE(cell(grid, 2, 2), expected);
    } catch (const kv::InputError &error) {
        QVERIFY2(!accepted, qPrintable(error.message()));
        QVERIFY2(error.message().contains(text), qPrintable(error.message()));
        QCOMPARE(cell(grid, 2, 2), 99.0); // a refused text leaves the cell as it was
    }
    QVERIFY(!grid.value(1, 1));
}

void TestChartGrid::resizeKeepsOrDropsCells()
{
    ChartGrid grid(5, 3);
    grid.setRow(5);
    grid.setColumn(3);
    grid.setData(u"7"_s);
    grid.setRow(2);
    grid.setData(u"8"_s);

    grid.setRowCount(4);
    QCOMPARE(grid.row(), 2);
    QVERIFY(!grid.value(5, 3));
    grid.setRowCount(6);
    QVERIFY2(!grid.value(5, 3), "a dropped row came back when the grid grew");
    QCOMPARE(cell(grid, 2, 3), 8.0);

    grid.setRow(6);
    grid.setRowCount(3);
    QCOMPARE(grid.row(), 3); // the current row follows the shrinking grid

    grid.setColumnCount(2);
    QCOMPARE(grid.column(), 2);
    grid.setColumnCount(3);
    QVERIFY(!grid.value(2, 3));

    grid.setRowCount(0);
    QCOMPARE(grid.row(), 0);
    grid.setRowCount(2);
    QCOMPARE(grid.row(), 1);
}

void TestChartGrid::writingNeedsACell()
{
    ChartGrid grid;
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setData(u"1"_s));
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setColumnLabel(u"Emplacement"_s));
    grid.setColumnCount(2);
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setData(u"1"_s)); // still no row
    grid.setColumnLabel(u"Emplacement"_s);
    QCOMPARE(grid.columnLabel(1), u"Emplacement"_s);
}

void TestChartGrid::labels()
{
    ChartGrid grid(1, 15);
    grid.setColumn(13);
    grid.setColumnLabel(u"Metamorphism"_s);
    grid.setColumn(1);
    grid.setColumnLabel(u"Crystallization"_s);
    QCOMPARE(grid.columnLabel(13), u"Metamorphism"_s);
    QCOMPARE(grid.columnLabel(1), u"Crystallization"_s);
    QCOMPARE(grid.columnLabel(2), QString());

    grid.setColumnCount(12);
    grid.setColumnCount(15);
    QCOMPARE(grid.columnLabel(13), QString());
    QCOMPARE(grid.columnLabel(1), u"Crystallization"_s);
}

void TestChartGrid::axisScale_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("divisions");
    QTest::addColumn<double>("limit");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("X") << 0 << 5 << 2350.0 << true;
    QTest::newRow("Y") << 1 << 5 << 100.0 << true;
    QTest::newRow("one division") << 1 << 1 << -5.0 << true;
    QTest::newRow("most divisions") << 0 << 32767 << 1.0 << true;
    QTest::newRow("no divisions") << 0 << 0 << 1.0 << false;
    QTest::newRow("negative divisions") << 1 << -5 << 1.0 << false;
    QTest::newRow("too many divisions") << 0 << 32768 << 1.0 << false;
    QTest::newRow("axis 2") << 2 << 5 << 1.0 << false;
    QTest::newRow("axis -1") << -1 << 5 << 1.0 << false;
    QTest::newRow("nan limit") << 0 << 5 << qQNaN() << false;
    QTest::newRow("infinite limit") << 1 << 5 << qInf() << false;
}

void TestChartGrid::axisScale()
{
    QFETCH(int, axis);
    QFETCH(int, divisions);
    QFETCH(double, limit);
    QFETCH(bool, accepted);

    ChartGrid grid;
    try {
        grid.setAxisMaximum(axis, limit);
        grid.setAxisMajorDivisions(axis, divisions);
        grid.setAxisTitle(axis, u"Date (Ma)"_s);
        QVERIFY2(accepted, "setting accepted");
        const kv::ChartAxis &scale = grid.axis(axis);
        QCOMPARE(scale.maximum, limit);
        QCOMPARE(scale.majorDivisions, divisions);
        QCOMPARE(scale.title, u"Date (Ma)"_s);
        QVERIFY(!scale.automatic);
        QVERIFY(grid.axis(1 - axis).automatic); // the other axis is untouched
    } catch (const kv::InputError &error) {
        QVERIFY2(!accepted, qPrintable(error.message()));
        if (axis == 0 || axis == 1)
            QCOMPARE(grid.axis(axis).majorDivisions, 5);
    }
}

void TestChartGrid::axisCallOrder()
{
    // Callers set the maximum before the minimum; moving a scale from 1230..2350 down to 0..500
    // passes through a maximum below the minimum and must not fail there.
    ChartGrid grid;
    grid.setAxisMaximum(kv::AxisX, 2350);
    grid.setAxisMinimum(kv::AxisX, 1230);
    grid.setAxisMaximum(kv::AxisX, 500);
    grid.setAxisMinimum(kv::AxisX, 0);
    QCOMPARE(grid.axis(kv::AxisX).minimum, 0.0);
    QCOMPARE(grid.axis(kv::AxisX).maximum, 500.0);
    QVERIFY(!grid.axis(kv::AxisX).automatic);

    grid.setAxisAuto(kv::AxisX, true);
    QVERIFY(grid.axis(kv::AxisX).automatic);
    grid.setAxisMinimum(kv::AxisX, 10); // a limit takes effect at once
    QVERIFY(!grid.axis(kv::AxisX).automatic);
}

void TestChartGrid::largestGridStaysSparse()
{
    // 32767 by 32767 cells of 8 bytes would be 8 GB; the grid holds only what is written.
    ChartGrid grid(ChartGrid::MaxCount, ChartGrid::MaxCount);
    for (const int column : {1, 16384, 32767}) {
        grid.setRow(32767);
        grid.setColumn(column);
        grid.setData(QString::number(column));
    }
    QCOMPARE(cell(grid, 32767, 16384), 16384.0);
    QCOMPARE(cell(grid, 32767, 32767), 32767.0);
    QVERIFY(!grid.value(32766, 32767));
    QCOMPARE(grid.columnValues(32767).size(), 32767);
    QCOMPARE(grid.columnValues(32767).last(), 32767.0);
    QVERIFY(std::isnan(grid.columnValues(32767).first()));
}

void TestChartGrid::seriesOfStyles_data()
{
    QTest::addColumn<kv::ChartStyle>("style");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("lastFirstColumn");

    // Dates: three columns a series, the label on column 3g - 2; pairs: the label on 2j - 1.
    QTest::newRow("dates 15") << kv::ChartStyle::Dates << 15 << 5 << 13;
    QTest::newRow("dates 16") << kv::ChartStyle::Dates << 16 << 5 << 13;
    QTest::newRow("dates 2") << kv::ChartStyle::Dates << 2 << 0 << 0;
    QTest::newRow("scatter 10") << kv::ChartStyle::Scatter << 10 << 5 << 9;
    QTest::newRow("curves 11") << kv::ChartStyle::Curves << 11 << 5 << 9;
    QTest::newRow("map 12") << kv::ChartStyle::Map << 12 << 6 << 11;
}

void TestChartGrid::seriesOfStyles()
{
    QFETCH(kv::ChartStyle, style);
    QFETCH(int, columns);
    QFETCH(int, series);
    QFETCH(int, lastFirstColumn);

    ChartGrid grid(1, columns);
    grid.setStyle(style);
    QCOMPARE(grid.seriesCount(), series);
    if (series > 0) {
        QCOMPARE(grid.seriesFirstColumn(series), lastFirstColumn);
        grid.setColumn(lastFirstColumn);
        grid.setColumnLabel(u"Terrane A"_s);
        QCOMPARE(grid.seriesLabel(series), u"Terrane A"_s);
    }
}

void TestChartGrid::outlinePairs()
{
    ChartGrid grid(1, 12);
    grid.setOutline(11, true);
    QVERIFY(grid.isOutline(11));
    QVERIFY(!grid.isOutline(1));
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setOutline(12, true));
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setOutline(0, true));
    QVERIFY_THROWS_EXCEPTION(kv::InputError, grid.setOutline(32769, true));
    grid.setOutline(11, false);
    QVERIFY(!grid.isOutline(11));
}

QTEST_GUILESS_MAIN(TestChartGrid)
#include "tst_chart_grid.moc"
