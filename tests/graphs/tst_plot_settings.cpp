// SPDX-License-Identifier: GPL-3.0-or-later
// The plot settings in Kelvora3.INI: defaults of a first start, what the windows' close handlers write.
#include "core/ini_file.h"
#include "graphs/plot_settings.h"
#include "main/settings.h"
#include "test_support.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestPlotSettings : public QObject
{
    Q_OBJECT

private slots:
    void firstStartDefaults();
    void basisMatchesExactly_data();
    void basisMatchesExactly();
    void maxRows();
    void axesWriteCheckedPlotsOnly();
    void numbers_data();
    void numbers();
    void roundTrip();
};

void TestPlotSettings::firstStartDefaults()
{
    test::TempFolders folders;
    QVERIFY(!QFile::exists(settingsFilePath()));
    PlotGroupings g;
    int maxRows = DefaultMaxRows;
    LoadPlotGroupings(g, maxRows);
    QCOMPARE(maxRows, 160);
    QCOMPARE(g.GroupTitle, (std::array<QString, 5>{u"Emplacement"_s, u"Metamorphism"_s, u"Deposition"_s,
                                                   u"Reset (unknown)"_s, u"Mineralisation"_s}));
    QCOMPARE(g.GroupLookupA, (std::array<QString, 5>{u"Empl"_s, u"Meta"_s, u"Depos"_s, u"Reset"_s, u"Miner"_s}));
    QCOMPARE(g.GroupLookupB, (std::array<QString, 5>{u"Extr"_s, u"Cool"_s, u"Diag"_s, u"Reset"_s, u"Miner"_s}));
    QCOMPARE(g.DateTitle[0], u"400 - 900"_s);
    QCOMPARE(g.DateTitle[4], u"2500 - 4000"_s);
    QCOMPARE(g.DateMin, (std::array<float, 5>{400, 900, 1400, 1900, 2500}));
    QCOMPARE(g.DateMax, (std::array<float, 5>{900, 1400, 1900, 2500, 4000}));
    QCOMPARE(g.DateApply, (std::array<bool, 5>{true, true, true, true, true}));
    QCOMPARE(g.HowGrouped, u"Grouping"_s);
    QCOMPARE(g.basisButton, 0);
    QCOMPARE(g.MinimumUncertaintyText, u"1.0"_s);
    QCOMPARE(g.MinimumUncertainty, 1.0f);

    PlotAxes axes;
    LoadPlotAxes(IniFile(settingsFilePath()), axes);
    QCOMPARE(axes.X, (std::array<QString, 3>{u"DATE"_s, u"DATE"_s, u"DATE"_s}));
    QCOMPARE(axes.Y, (std::array<QString, 3>{u"I"_s, u"EPS"_s, u"MU"_s}));
    QCOMPARE(axes.plotOn, (std::array<bool, 3>{false, false, false}));
    // Loading never writes: the file is still missing.
    QVERIFY(!QFile::exists(settingsFilePath()));
}

void TestPlotSettings::basisMatchesExactly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("buttonBefore");
    QTest::addColumn<int>("buttonAfter");
    QTest::addColumn<QString>("writtenOnClose");
    QTest::newRow("Province") << u"Province"_s << 0 << 1 << u"Province"_s;
    QTest::newRow("Orogenic Period") << u"Orogenic Period"_s << 0 << 3 << u"Orogenic Period"_s;
    // Lower case matches no button: the text stays as read, the button that was on stays on.
    QTest::newRow("province, Terrane was on") << u"province"_s << 2 << 2 << u"Terrane"_s;
    QTest::newRow("province, first display") << u"province"_s << 0 << 0 << u"Grouping"_s;
    QTest::newRow("blank") << u""_s << 4 << 4 << u"Chemical Type"_s;
}

void TestPlotSettings::basisMatchesExactly()
{
    QFETCH(QString, stored);
    QFETCH(int, buttonBefore);
    QFETCH(int, buttonAfter);
    QFETCH(QString, writtenOnClose);
    IniFile file;
    file.setValue(u"Classification"_s, u"How grouped"_s, stored);
    PlotGroupings g;
    g.basisButton = buttonBefore;
    int maxRows = DefaultMaxRows;
    LoadPlotGroupings(file, g, maxRows);
    QCOMPARE(g.HowGrouped, stored);
    QCOMPARE(g.basisButton, buttonAfter);
    SavePlotGroupings(file, g, maxRows);
    QCOMPARE(file.value(u"Classification"_s, u"How grouped"_s), writtenOnClose);
    QCOMPARE(g.HowGrouped, writtenOnClose);
}

void TestPlotSettings::maxRows()
{
    IniFile file;
    file.parse("[Graph settings]\r\nMax Rows=500\r\n");
    PlotGroupings g;
    int maxRows = DefaultMaxRows;
    LoadPlotGroupings(file, g, maxRows);
    QCOMPARE(maxRows, 500);
    // A file without the key keeps the value the run already has.
    IniFile empty;
    LoadPlotGroupings(empty, g, maxRows);
    QCOMPARE(maxRows, 500);
    // Closing the window writes it although no control shows it.
    SavePlotGroupings(empty, g, 321);
    QCOMPARE(empty.value(u"Graph settings"_s, u"Max Rows"_s), u"321"_s);
}

void TestPlotSettings::axesWriteCheckedPlotsOnly()
{
    const QByteArray before = "[Plot axes]\r\nPlot 1 X axis=AGE\r\nPlot 1 Y axis=XX\r\n"
                              "Plot 2 X axis=DATE\r\nPlot 2 Y axis=EPS\r\n";
    IniFile file;
    file.parse(before);
    PlotAxes axes;
    LoadPlotAxes(file, axes);
    QCOMPARE(axes.X[0], u"AGE"_s);
    QCOMPARE(axes.Y[2], u"MU"_s); // missing key: default
    axes.X = {u"P1X"_s, u"P2X"_s, u"P3X"_s};
    axes.Y = {u"P1Y"_s, u"P2Y"_s, u"P3Y"_s};
    axes.plotOn = {false, true, false};
    SavePlotAxes(file, axes);
    QCOMPARE(file.toBytes(), QByteArray("[Plot axes]\r\nPlot 1 X axis=AGE\r\nPlot 1 Y axis=XX\r\n"
                                        "Plot 2 X axis=P2X\r\nPlot 2 Y axis=P2Y\r\n"));
}

void TestPlotSettings::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal comma") << u"1400,5"_s << 1400.0;
    QTest::newRow("point") << u"1400.5"_s << 1400.5;
    QTest::newRow("blanks and sign") << u"  -2.5e2"_s << -250.0;
    QTest::newRow("exponent without digits") << u"3e"_s << 3.0;
    QTest::newRow("fraction only") << u".25"_s << 0.25;
    QTest::newRow("trailing point") << u"+7."_s << 7.0;
    QTest::newRow("empty") << u""_s << 0.0;
    QTest::newRow("no digits") << u"abc"_s << 0.0;
    QTest::newRow("sign only") << u"-"_s << 0.0;
}

void TestPlotSettings::numbers()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(settingsNumber(text), value);
    // The band bounds take the same conversion.
    PlotGroupings g;
    g.setDateMinText(2, text);
    QCOMPARE(g.DateMinText[2], text);
    QCOMPARE(g.DateMin[2], float(value));
}

void TestPlotSettings::roundTrip()
{
    test::TempFolders folders;
    PlotGroupings g;
    int maxRows = DefaultMaxRows;
    LoadPlotGroupings(g, maxRows);
    g.GroupTitle[1] = u"Rock's age"_s;
    g.GroupLookupB[3] = QString();
    g.setDateMaxText(0, u"950"_s);
    g.DateApply[4] = false;
    g.basisButton = 4;
    g.MinimumUncertaintyText = u"2,5"_s;
    IniFile file(settingsFilePath());
    SavePlotGroupings(file, g, maxRows);
    file.save();

    PlotGroupings again;
    int rows = 1;
    LoadPlotGroupings(again, rows);
    QCOMPARE(rows, 160);
    QCOMPARE(again.GroupTitle[1], u"Rock's age"_s);
    QCOMPARE(again.GroupLookupB[3], QString()); // an empty code stays empty, not the default
    QCOMPARE(again.DateMax[0], 950.0f);
    QCOMPARE(again.DateApply[4], false);
    QCOMPARE(again.HowGrouped, u"Chemical Type"_s);
    QCOMPARE(again.MinimumUncertainty, 2.0f);
}

QTEST_GUILESS_MAIN(TestPlotSettings)
#include "tst_plot_settings.moc"
