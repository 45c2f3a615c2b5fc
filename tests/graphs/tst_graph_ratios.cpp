// SPDX-License-Identifier: GPL-3.0-or-later
// The initial and model ratio graphs, plain and grouped, on small fixtures: the axis kinds, who is
// plotted where and listed how, the axis limits, the plot-space questions and the working table.
#include "core/errors.h"
#include "graph_fixture.h"
#include "graphs/graph_ratios.h"
#include "main/query_definition.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kv;
using kv::test::GraphFixture;
using kv::test::GraphRecord;

namespace {

const QString Date = u"Date (Ma)"_s, Ratio = u"Initial ratio"_s, Eps = u"Epsilon/Gamma"_s;

struct Fixture : GraphFixture
{
    using GraphFixture::GraphFixture;

    // The record's initial ratio, epsilon and mu with their uncertainties.
    void init(int id, double ratio, double ratioError, double epsilon, double epsilonError, double mu = 0)
    {
        exec(u"insert into IsoInit (RecordID, InitRatio, InitRatioError, Epsilon, EpsilonError, Mu, MuPError, "
             u"MuMError) values (?, ?, ?, ?, ?, ?, 0.2, 0.4)"_s,
             {id, ratio, ratioError, epsilon, epsilonError, mu});
    }
    void run(const RatioPlots &plots, bool grouped = false, const QueryDefinition &definition = {})
    {
        graph.emplace();
        RatioGraphCommand(dm, ui, plot).run(definition, [&] { return plots; }, grouped, *graph);
    }
    // A cell of a sheet: its text, or its number as text.
    QString cell(int sheet, int row, int col)
    {
        Workbook &book = graph->SSI;
        book.setSheet(sheet);
        book.setRow(row);
        book.setCol(col);
        return book.text();
    }
    std::optional<double> value(int plot, int row, int column) const
    {
        return graph->VtChDI[plot - 1].value(row, column);
    }
    std::optional<RatioGraph> graph;
};

RatioPlots onePlot(const QString &x, const QString &y)
{
    RatioPlots plots;
    plots[0] = {true, x, y};
    return plots;
}

QueryDefinition choosing(int row, const QStringList &values)
{
    QueryDefinition definition;
    for (const QString &v : values)
        definition.addValue(row, v, v);
    return definition;
}

} // namespace

class TestGraphRatios : public QObject
{
    Q_OBJECT

private slots:
    void classification_data();
    void classification();
    void plainGraph_data() { test::addBackendRows(); }
    void plainGraph();
    void dateAxis_data();
    void dateAxis();
    void plotSpace_data();
    void plotSpace();
    void groupedGraph_data() { test::addBackendRows(); }
    void groupedGraph();
    void groupedSeries_data();
    void groupedSeries();
    void workingTableCannotBeEmptied();
    void typedQueryWithFewerFields_data() { test::addBackendRows(); }
    void typedQueryWithFewerFields();
};

void TestGraphRatios::classification_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("date") << Date << int(AxisKind::Date) << u"Date (Ma)"_s;
    QTest::newRow("T(UR)") << u"T(UR) model age"_s << int(AxisKind::TUR) << u"T (UR)"_s;
    QTest::newRow("T(DM)") << u"T(DM) age"_s << int(AxisKind::TDM) << u"T (DM)"_s;
    // Later tests win: "i" after "DM", "Eps" after "i".
    QTest::newRow("Initial T(DM)") << u"Initial T(DM)"_s << int(AxisKind::InitialRatio) << u"Initial Ratio"_s;
    QTest::newRow("Eps and i") << Eps << int(AxisKind::Epsilon) << u"Epsilon/Gamma (T)"_s;
    QTest::newRow("mu") << u"238U/204Pb (mu)"_s << int(AxisKind::Mu) << u"Model 238U/204Pb (i)"_s;
    QTest::newRow("case-sensitive") << u"DATE"_s << int(AxisKind::None) << QString();
}

void TestGraphRatios::classification()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, title);
    QCOMPARE(int(classifyAxis(text)), kind);
    QCOMPARE(axisTitle(classifyAxis(text)), title);
}

void TestGraphRatios::plainGraph()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    // Group 1 titled with an apostrophe; group 3 takes the records without an interpretation code.
    f.setting(u"Classification"_s, u"Group 1"_s, u"Dyke's age"_s);
    f.setting(u"Classification"_s, u"Group 3 lookup a"_s, QString());
    f.setting(u"Classification"_s, u"Group 3 lookup b"_s, QString());
    f.add({{1, u"Empl"_s, 1234.6, 5, 5, u"Alpha"_s},
           {2, u"Meta"_s, 1500}, // no initial-ratio row: ratio 0, left out
           {3, u"Other"_s, 1600}, // in no group
           {4, u""_s, 2340, 20, 10, u"Gamma"_s},
           {5, u"Meta"_s, 1800, 6, 4, u"Beta"_s}});
    f.init(1, 0.7045, 0.0002, 2.5, 0.5);
    f.init(3, 0.7100, 0.0003, 1.0, 0.5);
    f.init(4, 0.7030, 0.0001, 0.0, 0.5); // epsilon 0: out of the epsilon plot only
    f.init(5, 0.7060, 0.0004, -3.5, 0.7);
    RatioPlots plots;
    plots[0] = {true, Date, Ratio};
    plots[1] = {true, Date, QString()}; // no shown text: switched off
    plots[2] = {true, Ratio, Eps};
    f.run(plots);
    const RatioGraph &g = *f.graph;
    QCOMPARE(g.ShowPlot, (std::array<bool, 3>{true, false, true}));
    QCOMPARE(g.caption[0], u"Date (Ma) vs Initial Ratio"_s);
    QCOMPARE(g.caption[1], u"Initial ratio 2"_s);
    QCOMPARE(g.caption[2], u"Initial Ratio vs Epsilon/Gamma (T)"_s);
    QCOMPARE(g.VtChDI[2].axis(AxisX).title, u"Initial Ratio"_s);
    QCOMPARE(g.VtChDI[2].axis(AxisY).title, u"Epsilon/Gamma (T)"_s);
    QVERIFY(g.saveEnabled);

    // Sheet 1: the accepted records in query order.
    const QList<QStringList> sheet1{{u"Unit"_s, u"InterpAbr"_s, u"Date (Ma)"_s, u"Initial Ratio"_s},
                                    {u"Alpha"_s, u"Empl"_s, u"1234.6"_s, u"0.7045"_s},
                                    {u"Gamma"_s, QString(), u"2340"_s, u"0.703"_s},
                                    {u"Beta"_s, u"Meta"_s, u"1800"_s, u"0.706"_s}};
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(f.cell(1, r, c), sheet1[r - 1][c - 1]);
    QCOMPARE(f.cell(1, 5, 1), QString());
    QCOMPARE(f.cell(3, 2, 4), u"2.5"_s);
    QCOMPARE(f.cell(3, 3, 4), u"-3.5"_s); // record 4 has epsilon 0
    QCOMPARE(f.cell(3, 4, 1), QString());

    // Series by group: X in column 2g - 1, Y beside it, labelled with the group's title.
    QCOMPARE(g.VtChDI[0].columnLabel(1), u"Dyke's age"_s);
    QCOMPARE(g.VtChDI[0].columnLabel(3), u"Metamorphism"_s);
    QCOMPARE(g.VtChDI[2].columnLabel(5), u"Deposition"_s);
    QCOMPARE(f.value(1, 1, 1), 1234.6);
    QCOMPARE(f.value(1, 1, 2), 0.7045);
    QCOMPARE(f.value(1, 1, 3), 1800.0);
    QCOMPARE(f.value(1, 1, 5), 2340.0);
    QCOMPARE(f.value(1, 1, 6), 0.703);
    QVERIFY(!f.value(1, 2, 1));
    QCOMPARE(f.value(3, 1, 4), -3.5);
    QVERIFY(!f.value(2, 1, 1));

    QCOMPARE(f.count(u"KVTemp3"_s), 5);
    auto q = f.dm.KVtmp.exec(u"select Interpretation, ColumnNo, VariableX from KVTemp3 where PlotNo = 1 "
                             u"order by VariableX"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"Dyke's age"_s);
    QCOMPARE(q.value(1).toInt(), 1);
    QCOMPARE(q.value(2).toDouble(), 1234.6);

    // A date X axis: 1234.6 to 2340 Ma gives 1230 to 2350; plot 3's ratio axis stays automatic.
    QCOMPARE(g.VtChDI[0].axis(AxisX).automatic, false);
    QCOMPARE(g.VtChDI[0].axis(AxisX).minimum, 1230.0);
    QCOMPARE(g.VtChDI[0].axis(AxisX).maximum, 2350.0);
    QVERIFY(g.VtChDI[2].axis(AxisX).automatic);

    // Run again: the table holds this run's rows only.
    f.run(onePlot(Date, Eps));
    QCOMPARE(f.count(u"KVTemp3"_s), 2);
    QCOMPARE(f.graph->ShowPlot, (std::array<bool, 3>{true, false, false}));
}

void TestGraphRatios::dateAxis_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::newRow("rounded") << QString() << QString() << 1230.0 << 2350.0;
    QTest::newRow("from date") << u"1000"_s << QString() << 1000.0 << 2350.0;
    QTest::newRow("to date") << QString() << u"3000.5"_s << 1230.0 << 3000.5;
    QTest::newRow("not a number") << u"abc"_s << QString() << 1230.0 << 2350.0;
}

void TestGraphRatios::dateAxis()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    Fixture f;
    f.add({{1, u"Empl"_s, 1234.6}, {2, u"Empl"_s, 2340}, {3, u"Empl"_s, 2344.5}});
    f.init(1, 0.7, 0.1, 1, 1);
    f.init(2, 0.7, 0.1, 1, 1);
    QueryDefinition definition;
    definition.fromDate = !from.isEmpty();
    definition.fromDateText = from;
    definition.toDate = !to.isEmpty();
    definition.toDateText = to;
    f.run(onePlot(Date, Ratio), false, definition);
    const ChartAxis &x = f.graph->VtChDI[0].axis(AxisX);
    QCOMPARE(x.minimum, minimum);
    QCOMPARE(x.maximum, maximum);
    QCOMPARE(x.majorDivisions, 5);
    QCOMPARE(f.plot.range.PlotDateMin, minimum);
}

void TestGraphRatios::plotSpace_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("rows");
    const QString increase = u"Maximum records exceeds plot space allocation. Increase space?"_s;
    const QString limit = u"Maximum records exceeds maximum plot space allocation. Increase to limit?"_s;
    QTest::newRow("200 of 160, yes") << 200 << true << limit << 160;
    QTest::newRow("200 of 160, no") << 200 << false << limit << 100;
    QTest::newRow("120, yes") << 120 << true << increase << 120;
    QTest::newRow("120, no") << 120 << false << increase << 100;
}

void TestGraphRatios::plotSpace()
{
    QFETCH(int, records);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(int, rows);
    Fixture f;
    QList<GraphRecord> dates;
    for (int i = 1; i <= records; ++i)
        dates.append({i, u"Empl"_s, 1000.0 + i});
    f.add(dates);
    f.exec(u"insert into IsoInit (RecordID, InitRatio) select RecordID, 0.7 + RecordID / 10000.0 from IsoRgr30"_s);
    f.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    f.run(onePlot(Date, Ratio));
    QCOMPARE(f.ui.texts(u"question"_s), QStringList{question + (yes ? u" [Yes]"_s : u" [No]"_s)});
    // All three charts keep one plot space; the first records of the group are drawn.
    for (const ChartGrid &chart : f.graph->VtChDI)
        QCOMPARE(chart.rowCount(), rows);
    QCOMPARE(f.graph->points[0], rows);
    QCOMPARE(f.value(1, rows, 1), 1000.0 + rows);
    // The sheet lists every record.
    QCOMPARE(f.graph->SSI.maxRowOf(1), records + 1);
}

void TestGraphRatios::groupedGraph()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    const QString longProvince = u"Eastern Highlands Province ZW"_s; // wider than the table's Grouping
    f.add({{1, u"Empl"_s, 1000, 10, 20, u"Alpha"_s},
           {2, u"Meta"_s, 2000, 4, 4, u"Beta"_s},
           {3, u"Empl"_s, 3000, 10, 10, u"Gamma"_s},
           {4, u"Other"_s, 4000, 2, 2, u"Delta"_s}, // in no interpretation group, still a series member
           {5, u"Empl"_s, 1500, 2, 2, u"Eps"_s}});
    for (int id = 1; id <= 5; ++id)
        f.init(id, 0.70 + id / 100.0, 0.001 * id, id, 0.5);
    f.exec(u"insert into Province (RecordID, Province) values (1, 'Kaapvaal'), (1, 'O''Kiep'), (2, 'O''Kiep'), "
           u"(3, 'Limpopo'), (4, 'Kaapvaal'), (5, ?)"_s,
           {longProvince});
    f.run(onePlot(Date, Ratio), true, choosing(11, {u"Kaapvaal"_s, u"O'Kiep"_s, longProvince}));
    const RatioGraph &g = *f.graph;
    QCOMPARE(f.plot.groupings.HowGrouped, u"Province"_s);

    // Every record is listed, the matched value beside it; record 1 keeps its later province.
    const QStringList header{u"Unit"_s,      u"InterpAbr"_s,          u"Date (Ma)"_s,         u"Initial Ratio"_s,
                             u"Group descriptor"_s, u"X date +/- 95%"_s, u"Y ratio +/- 95%"_s};
    for (int c = 1; c <= 7; ++c)
        QCOMPARE(f.cell(1, 1, c), header[c - 1]);
    QCOMPARE(f.cell(1, 2, 5), u"O'Kiep"_s);
    QCOMPARE(f.cell(1, 2, 6), u"15"_s);    // (10 + 20) / 2
    QCOMPARE(f.cell(1, 2, 7), u"0.001"_s); // InitRatioError
    QCOMPARE(f.cell(1, 4, 1), u"Gamma"_s);
    QCOMPARE(f.cell(1, 4, 5), QString()); // Limpopo: listed, in no series
    QCOMPARE(f.cell(1, 6, 5), longProvince);

    QCOMPARE(g.VtChDI[0].columnCount(), 6);
    QCOMPARE(g.VtChDI[0].columnLabel(1), u"Kaapvaal"_s);
    QCOMPARE(g.VtChDI[0].columnLabel(3), u"O'Kiep"_s);
    QCOMPARE(g.VtChDI[0].columnLabel(5), longProvince);
    QCOMPARE(f.value(1, 1, 1), 4000.0); // Kaapvaal: record 4 only
    QVERIFY(!f.value(1, 2, 1));
    QCOMPARE(f.value(1, 1, 3), 1000.0); // O'Kiep: records 1 and 2
    QCOMPARE(f.value(1, 2, 3), 2000.0);
    QCOMPARE(f.value(1, 1, 5), 1500.0); // the long value selects its record
    QCOMPARE(f.value(1, 1, 6), 0.75);
    QCOMPARE(f.count(u"KVTemp3"_s), 5);
    auto q = f.dm.KVtmp.exec(u"select Grouping, ColumnNo from KVTemp3 where VariableX = 1500"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), longProvince.left(20));
    QCOMPARE(q.value(1).toInt(), 5);
}

void TestGraphRatios::groupedSeries_data()
{
    QTest::addColumn<QString>("howGrouped");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("values");
    QTest::addColumn<QString>("basis");
    QTest::addColumn<int>("columns");
    // The query chooses only group descriptors: the basis rule switches from Terrane.
    QTest::newRow("terrane to grouping") << u"Terrane"_s << 10 << 2 << u"Grouping"_s << 4;
    // Eight chosen values: eight series, each with its columns.
    QTest::newRow("eight values") << u"Grouping"_s << 10 << 8 << u"Grouping"_s << 16;
    // Nothing chosen: nothing plotted, the charts keep their design.
    QTest::newRow("no value") << u"Grouping"_s << 10 << 0 << u"Grouping"_s << 10;
}

void TestGraphRatios::groupedSeries()
{
    QFETCH(QString, howGrouped);
    QFETCH(int, row);
    QFETCH(int, values);
    QFETCH(QString, basis);
    QFETCH(int, columns);
    Fixture f;
    f.setting(u"Classification"_s, u"How grouped"_s, howGrouped);
    QStringList chosen;
    for (int j = 1; j <= 8; ++j) {
        f.add({{j, u"Empl"_s, 1000.0 + j}});
        f.init(j, 0.7, 0.1, 1, 1);
        f.exec(u"insert into Grouping (RecordID, Grouping) values (?, ?)"_s, {j, u"G%1"_s.arg(j)});
        if (j <= values)
            chosen << u"G%1"_s.arg(j);
    }
    f.run(onePlot(Date, Ratio), true, choosing(row, chosen));
    const RatioGraph &g = *f.graph;
    QCOMPARE(f.plot.groupings.HowGrouped, basis);
    QCOMPARE(g.VtChDI[0].columnCount(), columns);
    for (int j = 1; j <= values; ++j) {
        QCOMPARE(g.VtChDI[0].columnLabel(2 * j - 1), chosen[j - 1]);
        QCOMPARE(f.value(1, 1, 2 * j - 1), 1000.0 + j);
    }
    QCOMPARE(g.points[0], values);
    QCOMPARE(g.SSI.maxRowOf(1), 9); // listed whether in a series or not
}

void TestGraphRatios::workingTableCannotBeEmptied()
{
    Fixture f;
    f.add({{1, u"Empl"_s, 1000}});
    f.init(1, 0.7, 0.1, 1, 1);
    f.run(onePlot(Date, Ratio));
    f.dm.KVtmp.exec(u"create trigger keep before delete on KVTemp3 begin select raise(abort, 'kept'); end"_s);
    bool asked = false;
    try {
        f.graph.emplace();
        RatioGraphCommand(f.dm, f.ui, f.plot)
            .run({}, [&] { asked = true; return onePlot(Date, Ratio); }, false, *f.graph);
        QFAIL("the working table should have failed");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(u"KVTemp3 could not be emptied"_s), qPrintable(e.message()));
    }
    QVERIFY(!asked); // the command stopped before "Define graphs"
    QCOMPARE(f.count(u"KVTemp3"_s), 1);
}

void TestGraphRatios::typedQueryWithFewerFields()
{
    // A typed text that selects only some fields, in its own order, is read as it stands.
    QFETCH(QString, backend);
    Fixture f(backend);
    f.add({{1, u"Empl"_s, 1000}, {2, u"Empl"_s, 2000}});
    f.init(1, 0.71, 0.1, 1, 1);
    f.init(2, 0.72, 0.1, 1, 1);
    f.dm.Query1->setSql({u"select RecordID, InterpAbr, IAge, IAgePError, IAgeMError from IsoRgr30"_s,
                         u"order by RecordID desc"_s});
    f.run(onePlot(Date, Ratio));
    QCOMPARE(f.value(1, 1, 1), 2000.0);
    QCOMPARE(f.value(1, 2, 2), 0.71);
    QCOMPARE(f.cell(1, 2, 1), QString()); // no unit in the text
}

QTEST_GUILESS_MAIN(TestGraphRatios)
#include "tst_graph_ratios.moc"
