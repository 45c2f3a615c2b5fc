// SPDX-License-Identifier: GPL-3.0-or-later
// Dates against closure temperatures on small fixtures: the series of the grouping basis, the closure
// temperature of each record, the listing, the date axis and the plot space.
#include "core/errors.h"
#include "graph_fixture.h"
#include "graphs/graph_closure.h"
#include "main/query_definition.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kv;
using kv::test::GraphFixture;
using kv::test::GraphRecord;

namespace {

struct Fixture : GraphFixture
{
    using GraphFixture::GraphFixture;

    void run(const QueryDefinition &definition = {})
    {
        graph.emplace();
        ClosureGraphCommand(dm, ui, plot).run(definition, *graph);
    }
    QStringList sheetRow(int row)
    {
        Workbook &book = graph->ssDI;
        QStringList cells;
        book.setRow(row);
        for (int c = 1; c <= 10; ++c) {
            book.setCol(c);
            cells << book.text();
        }
        return cells;
    }
    std::optional<ClosureGraph> graph;
};

QueryDefinition choosing(int row, const QStringList &values)
{
    QueryDefinition definition;
    for (const QString &v : values)
        definition.addValue(row, v, v);
    return definition;
}

} // namespace

class TestGraphClosure : public QObject
{
    Q_OBJECT

private slots:
    void seriesAndListing_data() { test::addBackendRows(); }
    void seriesAndListing();
    void noBasisValue();
    void plotSpace_data();
    void plotSpace();
};

void TestGraphClosure::seriesAndListing()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.exec(u"insert into BlockingT (MaterialAbr, IsoSystem, ApproachAbr, BlockingT, BlockingTUncertainty) "
           u"values ('zr', 'UPb', 'Conc', 900, 50), ('bi', 'KAr', 'Conv', 300, 25)"_s);
    f.add({{1, u"Empl"_s, 1000, 10, 20, u"Alpha"_s},
           {2, u"Cool"_s, 500, 5, 5, u"Beta"_s, u"bi"_s, u"KAr"_s, u"Conv"_s},
           {3, u"Empl"_s, 2000, 10, 10, u"Gamma"_s, u"mz"_s}, // no closure temperature: plotted at 0
           {4, u"Empl"_s, 3456, 10, 10, u"Delta"_s},            // no chosen value: widens the axis only
           {5, u"Empl"_s, 120, 30, 30, u"Eps"_s}});
    f.exec(u"insert into IsoChemType (RecordID, ChemTypeAbr) values (1, 'I'), (1, 'S'), (2, 'S'), (3, 'A'), "
           u"(4, 'M'), (5, 'I')"_s);
    // Six chosen values: every one is a series with its own columns.
    f.run(choosing(14, {u"I"_s, u"S"_s, u"A"_s, u"x1"_s, u"x2"_s, u"x3"_s}));
    const ClosureGraph &g = *f.graph;
    QCOMPARE(f.plot.groupings.HowGrouped, u"Chemical Type"_s);
    QVERIFY(g.saveEnabled);

    const ChartGrid &chart = g.VtChDT;
    QCOMPARE(chart.columnCount(), 12);
    QCOMPARE(chart.columnLabel(1), u"I"_s);
    QCOMPARE(chart.columnLabel(5), u"A"_s);
    QCOMPARE(chart.columnLabel(11), u"x3"_s);
    QCOMPARE(g.seriesPoints, (QList<int>{2, 2, 1, 0, 0, 0}));
    QCOMPARE(chart.rowCount(), 2);
    QCOMPARE(chart.value(1, 1), 1000.0); // I: records 1 and 5
    QCOMPARE(chart.value(1, 2), 900.0);
    QCOMPARE(chart.value(2, 1), 120.0);
    QCOMPARE(chart.value(1, 3), 1000.0); // S: record 1 again, and record 2
    QCOMPARE(chart.value(2, 3), 500.0);
    QCOMPARE(chart.value(2, 4), 300.0);
    QCOMPARE(chart.value(1, 5), 2000.0); // A: at 0
    QCOMPARE(chart.value(1, 6), 0.0);

    // Every record widens the date axis, in whole hundreds: 90 to 3466 Ma.
    QCOMPARE(chart.axis(AxisX).minimum, 0.0);
    QCOMPARE(chart.axis(AxisX).maximum, 3500.0);
    QCOMPARE(chart.axis(AxisX).majorDivisions, 5);

    QCOMPARE(f.sheetRow(1), (QStringList{u"Group"_s, u"Unit"_s, u"Date"_s, u"+95%"_s, u"-95%"_s,
                                         u"Isotope System"_s, u"Material Abr."_s, u"Approach Abr."_s,
                                         u"Closure Temperature"_s, u"+/- 1 s.d."_s}));
    QCOMPARE(f.sheetRow(2), (QStringList{u"I"_s, u"Alpha"_s, u"1000"_s, u"10"_s, u"20"_s, u"UPb"_s, u"zr"_s,
                                         u"Conc"_s, u"900"_s, u"50"_s}));
    QCOMPARE(f.sheetRow(3).mid(0, 3), (QStringList{u"I"_s, u"Eps"_s, u"120"_s}));
    QCOMPARE(f.sheetRow(5), (QStringList{u"S"_s, u"Beta"_s, u"500"_s, u"5"_s, u"5"_s, u"KAr"_s, u"bi"_s,
                                         u"Conv"_s, u"300"_s, u"25"_s}));
    QCOMPARE(f.sheetRow(6).mid(8), (QStringList{u"0"_s, u"0"_s}));
    QCOMPARE(g.ssDI.maxRowOf(1), 6);

    QCOMPARE(f.count(u"KVTemp4"_s), 5);
    auto q = f.dm.KVtmp.exec(u"select Grouping, SuitName, BlockingT, AgePlusError from KVTemp4 where Age = 500"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"S"_s);
    QCOMPARE(q.value(2).toDouble(), 300.0);
    QCOMPARE(q.value(3).toDouble(), 5.0);
    f.run(choosing(14, {u"S"_s}));
    QCOMPARE(f.count(u"KVTemp4"_s), 2); // refilled on every run
}

void TestGraphClosure::noBasisValue()
{
    Fixture f;
    f.add({{1, u"Empl"_s, 1000}, {2, u"Empl"_s, 2000}});
    f.run();
    const ClosureGraph &g = *f.graph;
    QCOMPARE(f.count(u"KVTemp4"_s), 0);
    QCOMPARE(g.VtChDT.columnCount(), 10);
    QVERIFY(g.VtChDT.axis(AxisX).automatic); // the design axes
    QVERIFY(!g.VtChDT.value(1, 1));
    QCOMPARE(g.ssDI.maxRowOf(1), 1);
    QCOMPARE(f.plot.range.PlotDateMin, 900.0); // the range still follows the records
    QCOMPARE(f.plot.range.PlotDateMax, 2100.0);
}

void TestGraphClosure::plotSpace_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("drawn");
    QTest::newRow("yes") << true << 101;
    QTest::newRow("no") << false << 100;
}

void TestGraphClosure::plotSpace()
{
    QFETCH(bool, yes);
    QFETCH(int, drawn);
    Fixture f;
    QList<GraphRecord> records;
    for (int i = 1; i <= 101; ++i)
        records.append({i, u"Empl"_s, 1000.0 + i});
    f.add(records);
    f.exec(u"insert into Grouping (RecordID, Grouping) select RecordID, 'G' from IsoRgr30"_s);
    f.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    f.run(choosing(10, {u"G"_s}));
    QCOMPARE(f.ui.texts(u"question"_s),
             QStringList{u"Maximum records exceeds plot space allocation. Increase space?"_s +
                         (yes ? u" [Yes]"_s : u" [No]"_s)});
    QCOMPARE(f.graph->seriesPoints, QList<int>{drawn});
    QCOMPARE(f.graph->VtChDT.rowCount(), 101); // the longest series, whatever was drawn
    QCOMPARE(f.graph->ssDI.maxRowOf(1), 102);  // the sheet lists every row
}

QTEST_GUILESS_MAIN(TestGraphClosure)
#include "tst_graph_closure.moc"
