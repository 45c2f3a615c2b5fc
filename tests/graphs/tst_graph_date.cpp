// SPDX-License-Identifier: GPL-3.0-or-later
// The date graph on small fixtures: who is plotted where, the uncertainties, the axis range, the curves,
// the weighted-mean panel, the radial plot, the grouping series and the reuse of the working tables.
#include "calc/dispersion.h"
#include "calc/kernel_density.h"
#include "calc/statistics.h"
#include "core/errors.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "graphs/graph_date.h"
#include "graphs/plot_settings.h"
#include "main/query_definition.h"
#include "main/settings.h"
#include "test_support.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

struct Date
{
    int id;
    QString interp;
    QVariant age, plus, minus;
    QString unit = u"Unit"_s;
};

// A results and a working database, the data module on them, and the plot settings in the
// configuration folder. Query1 reads every record in RecordID order.
struct Fixture
{
    explicit Fixture(const QString &backend = u"sqlite"_s) : results(backend), working(backend), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        dm.Query1->setSql({u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    }

    // Dates are stored as the record view keeps them, in thousandths of a Ma.
    void add(const QList<Date> &dates)
    {
        const auto thousandths = [](const QVariant &v) {
            return v.isNull() ? QVariant() : QVariant(qRound(v.toDouble() * 1000));
        };
        Transaction t(dm.KVResults);
        for (const Date &d : dates)
            dm.KVResults.exec(u"insert into IsoRgr30 (RecordID, UnitName, InterpAbr, IAge, IAgePError, IAgeMError) "
                              u"values (?, ?, ?, ?, ?, ?)"_s,
                              {d.id, d.unit, d.interp, thousandths(d.age), thousandths(d.plus), thousandths(d.minus)});
        t.commit();
    }
    void setting(const QString &section, const QString &key, const QString &value)
    {
        IniFile file(settingsFilePath());
        file.setValue(section, key, value);
        file.save();
    }
    void run(const QueryDefinition &definition = {})
    {
        graph.emplace();
        DateGraphCommand(dm, ui, plot).run(definition, *graph);
    }
    int count(const QString &table)
    {
        auto q = dm.KVtmp.exec(u"select count(*) from "_s + table);
        q.next();
        return q.value(0).toInt();
    }

    test::TempFolders folders;
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    PlotState plot;
    PlotGroupings &groupings = plot.groupings;
    PlotDateRange &range = plot.range;
    std::optional<DateGraph> graph;
};

// Values of a chart column for rows 1 to last, NaN where empty.
QList<double> column(const ChartGrid &chart, int col, int last)
{
    QList<double> values;
    for (int r = 1; r <= last; ++r)
        values << chart.value(r, col).value_or(qQNaN());
    return values;
}

bool close(double a, double b, double tolerance = 5e-3)
{
    return std::fabs(a - b) <= tolerance;
}

} // namespace

class TestGraphDate : public QObject
{
    Q_OBJECT

private slots:
    void groupMembership_data();
    void groupMembership();
    void ageErrorAv_data();
    void ageErrorAv();
    void groupingBasisRule_data();
    void groupingBasisRule();
    void charts_data() { test::addBackendRows(); }
    void charts();
    void axisRange_data();
    void axisRange();
    void rerunRoundsAgain();
    void curves();
    void curvesMatchTheDensity();
    void weightedMeanPanel_data();
    void weightedMeanPanel();
    void radialPlotSkipsSigmaZero();
    void dispersionAndDensity_data() { test::addBackendRows(); }
    void dispersionAndDensity();
    void flagsReuseWorkingTables_data() { test::addBackendRows(); }
    void flagsReuseWorkingTables();
    void groupingSeries_data() { test::addBackendRows(); }
    void groupingSeries();
    void plotSpaceQuestions_data();
    void plotSpaceQuestions();
    void workingTableFailures_data();
    void workingTableFailures();
};

void TestGraphDate::groupMembership_data()
{
    QTest::addColumn<QString>("interp");
    QTest::addColumn<int>("group");
    // Group 1 Empl/Extr, group 2 Meta/"" (an empty code), group 4 Empl/Reset: the last match wins.
    QTest::newRow("last match wins") << u"Empl"_s << 4;
    QTest::newRow("first group only") << u"Extr"_s << 1;
    QTest::newRow("empty code") << u""_s << 2;
    QTest::newRow("case-sensitive") << u"empl"_s << 0;
    QTest::newRow("no group") << u"Depos"_s << 0;
}

void TestGraphDate::groupMembership()
{
    QFETCH(QString, interp);
    QFETCH(int, group);
    PlotGroupings g;
    g.GroupLookupA = {u"Empl"_s, u"Meta"_s, u"x1"_s, u"Empl"_s, u"x3"_s};
    g.GroupLookupB = {u"Extr"_s, u""_s, u"x2"_s, u"Reset"_s, u"x4"_s};
    QCOMPARE(DateGraphCommand::groupOf(g, interp), group);
}

void TestGraphDate::ageErrorAv_data()
{
    QTest::addColumn<QVariant>("probOfFit");
    QTest::addColumn<QVariant>("alpha");
    QTest::addColumn<QVariant>("degFreedom");
    QTest::addColumn<QVariant>("plus");
    QTest::addColumn<QVariant>("minus");
    QTest::addColumn<double>("expected");
    const QVariant none;
    // Student t(8, 97.5%) = 2.306 and t(infinity) = 1.960 from published tables: 40/(2 x 2.3065) and
    // 40/(2 x 1.9622) with the approximation's values.
    QTest::newRow("failed fit") << QVariant(0.01) << QVariant(0.05) << QVariant(8) << QVariant(20.0)
                                << QVariant(-20.0) << 8.671;
    QTest::newRow("passed fit") << QVariant(0.5) << QVariant(0.05) << QVariant(8) << QVariant(20.0)
                                << QVariant(20.0) << 10.193;
    QTest::newRow("no statistics") << none << none << none << QVariant(20.0) << QVariant(20.0) << 10.193;
    QTest::newRow("empty alpha") << QVariant(0.01) << none << QVariant(8) << QVariant(20.0) << QVariant(20.0)
                                 << 10.193;
    QTest::newRow("failed fit, empty errors") << QVariant(0.01) << QVariant(0.05) << QVariant(8) << none << none
                                              << 0.1 / (2 * 2.3065);
    QTest::newRow("passed fit, empty errors") << none << none << none << none << none << 100.1 / (2 * 1.9622);
    QTest::newRow("failed fit, no degrees") << QVariant(0.01) << QVariant(0.05) << none << QVariant(19.6)
                                            << QVariant(19.6) << 10.0;
    QTest::newRow("zero errors") << none << none << none << QVariant(0.0) << QVariant(0.0) << 0.0;
}

void TestGraphDate::ageErrorAv()
{
    QFETCH(QVariant, probOfFit);
    QFETCH(QVariant, alpha);
    QFETCH(QVariant, degFreedom);
    QFETCH(QVariant, plus);
    QFETCH(QVariant, minus);
    QFETCH(double, expected);
    const FitStatistics statistics{probOfFit, alpha, degFreedom};
    const bool hasStatistics = !probOfFit.isNull() || !alpha.isNull();
    const double value = kv::AgeErrorAv(hasStatistics ? &statistics : nullptr, plus, minus);
    QVERIFY2(close(value, expected, 1e-3), qPrintable(QString::number(value)));
}

void TestGraphDate::groupingBasisRule_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("nothing chosen") << QList<int>{} << u"Terrane"_s << u"Terrane"_s;
    QTest::newRow("province") << QList<int>{11} << u"Grouping"_s << u"Province"_s;
    QTest::newRow("last row wins") << QList<int>{10, 13} << u"Grouping"_s << u"Orogenic Period"_s;
    QTest::newRow("all five chosen") << QList<int>{10, 11, 12, 13, 14} << u"province"_s << u"province"_s;
}

void TestGraphDate::groupingBasisRule()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QueryDefinition definition;
    for (int row : rows)
        definition.addValue(row, u"v"_s, u"v"_s);
    QCOMPARE(DateGraphCommand::ApplyGroupingBasisRule(definition, before), after);
}

void TestGraphDate::charts()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.setting(u"Classification"_s, u"Group 2"_s, u"Rock's age"_s); // a quote in a title selects as any text
    f.add({{1, u"Empl"_s, 1500.0, 20.0, 10.0},
           {2, u"Meta"_s, 1234.567, QVariant(), 5.0},
           {3, u"Xeno"_s, 3000.0, 1.0, 1.0},
           {4, u"Empl"_s, 1600.0, 20.0, 20.0}});
    f.run();
    const DateGraph &g = *f.graph;
    QCOMPARE(f.count(u"KVTemp2"_s), 3); // the record of no group is left out
    QCOMPARE(g.VtChDI.rowCount(), 2);
    QCOMPARE(g.VtChDI.columnLabel(1), u"Emplacement"_s);
    QCOMPARE(g.VtChDI.columnLabel(4), u"Rock's age"_s);
    QCOMPARE(g.VtChCum.columnLabel(3), u"Rock's age"_s);
    QCOMPARE(g.VtChG.columnLabel(9), u"Mineralisation"_s);
    // Upper limit, lower limit, date.
    QCOMPARE(column(g.VtChDI, 1, 2), (QList<double>{1520, 1620}));
    QCOMPARE(column(g.VtChDI, 2, 2), (QList<double>{1490, 1580}));
    QCOMPARE(column(g.VtChDI, 3, 2), (QList<double>{1500, 1600}));
    // An empty plus error: the date alone; the date keeps its digits.
    QCOMPARE(g.VtChDI.value(1, 4), 1234.57);
    QCOMPARE(g.VtChDI.value(1, 5), 1229.57);
    QCOMPARE(g.VtChDI.value(1, 6), 1234.567);
    QVERIFY(!g.VtChDI.value(2, 6));
    // The spreadsheet: titles in row 1, 501 curve points below.
    Workbook &sheet = const_cast<Workbook &>(g.SSDI);
    sheet.setRow(1);
    sheet.setCol(3);
    QCOMPARE(sheet.text(), u"Rock's age"_s);
    sheet.setRow(502);
    sheet.setCol(1);
    QCOMPARE(sheet.number(), f.range.PlotDateMax);
    QVERIFY(!g.groupingTabsVisible);
    QVERIFY(g.saveEnabled);
    // The status texts, in order, start and end as the command's phases go.
    const QStringList status = f.ui.texts(u"progress"_s);
    QCOMPARE(status.mid(0, 6), (QStringList{u"Reading .INI file"_s, u"Transfering data"_s,
                                            u"Deleting temporary data"_s, u"Deleting temporary data"_s,
                                            u"Duplicating query"_s, u"Creating form"_s}));
    QVERIFY(status.contains(u"Filter on for group3"_s));
    QVERIFY(status.contains(u"Filling Galbraith graph for5"_s));
    QCOMPARE(status.last(), QString());
}

void TestGraphDate::axisRange_data()
{
    QTest::addColumn<QList<Date>>("dates");
    QTest::addColumn<QString>("from");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("1234.6 to 2345") << QList<Date>{{1, u"Empl"_s, 1244.6, 5.0, 10.0}, {2, u"Empl"_s, 2340.0, 5.0, 5.0}}
                                    << QString() << 1200.0 << 2400.0;
    QTest::newRow("below 0") << QList<Date>{{1, u"Empl"_s, 50.0, 5.0, 100.0}} << QString() << 0.0 << 100.0;
    QTest::newRow("no date") << QList<Date>{{1, u"None"_s, 50.0, 5.0, 5.0}} << QString() << 5000.0 << 5200.0;
    QTest::newRow("from date") << QList<Date>{{1, u"Empl"_s, 1500.0, 5.0, 5.0}} << u" 1450.5"_s << 1450.5 << 1600.0;
    QTest::newRow("from date no number") << QList<Date>{{1, u"Empl"_s, 1500.0, 5.0, 5.0}} << u"abc"_s << 1400.0
                                         << 1600.0;
}

void TestGraphDate::axisRange()
{
    QFETCH(QList<Date>, dates);
    QFETCH(QString, from);
    QFETCH(double, low);
    QFETCH(double, high);
    Fixture f;
    f.add(dates);
    QueryDefinition definition;
    definition.fromDate = !from.isEmpty();
    definition.fromDateText = from;
    f.run(definition);
    QCOMPARE(f.range.PlotDateMin, low);
    QCOMPARE(f.range.PlotDateMax, high);
    QCOMPARE(f.graph->VtChCum.axis(AxisX).minimum, low);
    QCOMPARE(f.graph->VtChCum.axis(AxisX).maximum, high);
    QCOMPARE(f.graph->VtChCum.value(1, 1), low);
    QCOMPARE(f.graph->VtChCum.value(501, 1), high);
}

void TestGraphDate::rerunRoundsAgain()
{
    Fixture f;
    f.add({{1, u"Empl"_s, 1234.6, 0.0, 0.0}, {2, u"Empl"_s, 2345.0, 0.0, 0.0}});
    f.run();
    QCOMPARE(f.range.PlotDateMax, 2400.0);
    f.run(); // both tables current: the limits of the last run are rounded again
    QCOMPARE(f.range.PlotDateMin, 1200.0);
    QCOMPARE(f.range.PlotDateMax, 2500.0);
    f.dm.clearCurrentDataFlags();
    f.run();
    QCOMPARE(f.range.PlotDateMax, 2400.0);
}

void TestGraphDate::curves()
{
    Fixture f;
    f.setting(u"Classification"_s, u"Minimum uncertainty"_s, u"10"_s);
    // 1500 +/- 0.1 (sigma about 0.05, below the minimum of 10): axis 1400 to 1600, a point every 0.4 Ma.
    f.add({{1, u"Empl"_s, 1500.0, 0.1, 0.1}, {2, u"Meta"_s, 1500.0, 0.1, 0.1}, {3, u"Meta"_s, 1500.0, 0.1, 0.1}});
    f.run();
    const ChartGrid &cum = f.graph->VtChCum;
    double highest = 0;
    for (int col = 2; col <= 10; col += 2)
        for (double v : column(cum, col, 501))
            if (!qIsNaN(v))
                highest = std::max(highest, v);
    QCOMPARE(highest, 100.0);
    // Group 2 holds two of the three dates: it peaks at 100 at 1500 Ma (point 250, row 251), group 1 at 50.
    QCOMPARE(cum.value(251, 3), 1500.0);
    QCOMPARE(cum.value(251, 4), 100.0);
    QCOMPARE(cum.value(251, 2), 50.0);
    // One minimum uncertainty away (1510 Ma, row 276) a normal curve stands at exp(-1/2) = 60.653 %.
    QCOMPARE(cum.value(276, 3), 1510.0);
    QCOMPARE(cum.value(276, 4), 60.653);
    // Row 1 (k = 0) repeats point 1.
    QCOMPARE(cum.value(1, 4), cum.value(2, 4));
    QCOMPARE(cum.value(1, 6), 0.0); // empty groups are flat at 0
}

void TestGraphDate::curvesMatchTheDensity()
{
    // Dates of very different widths, one reaching below the axis: the sheet's curve is the sum of the
    // normal densities at every point, to 1e-9 relative, as the statistical function gives them.
    Fixture f;
    f.setting(u"Classification"_s, u"Minimum uncertainty"_s, u"0.5"_s);
    const QList<Date> dates{{1, u"Empl"_s, 1210.0, 300.0, 300.0}, {2, u"Empl"_s, 1500.0, 2.0, 2.0},
                            {3, u"Empl"_s, 1502.5, 30.0, 10.0}, {4, u"Empl"_s, 2950.0, 40.0, 40.0}};
    f.add(dates);
    f.run();
    const double low = f.range.PlotDateMin, high = f.range.PlotDateMax;
    std::vector<double> expected(501, 0.0);
    double largest = 0;
    for (int k = 1; k <= 500; ++k) {
        for (const Date &d : dates) {
            const double s = std::max(kv::AgeErrorAv(nullptr, d.plus, d.minus), 0.5);
            expected[k] += calc::NormalDensity(low + k * (high - low) / 500, d.age.toDouble(), s);
        }
        if (expected[k] < 0.001)
            expected[k] = 0;
        largest = std::max(largest, expected[k]);
    }
    Workbook &sheet = f.graph->SSDI;
    for (int k = 1; k <= 500; ++k) {
        sheet.setRow(k + 2);
        sheet.setCol(2);
        const double want = 100.0 * expected[k] / largest;
        QVERIFY2(std::fabs(sheet.number() - want) <= 1e-9 * std::max(want, 1e-300) || (want == 0 && sheet.number() == 0),
                 qPrintable(u"point %1: %2, not %3"_s.arg(k).arg(sheet.number(), 0, 'g', 17).arg(want, 0, 'g', 17)));
    }
}

void TestGraphDate::weightedMeanPanel_data()
{
    QTest::addColumn<QList<Date>>("dates");
    QTest::addColumn<QStringList>("panel");
    QTest::newRow("no date") << QList<Date>{} << QStringList{u" 0.00"_s, u" 0.00"_s, u""_s, u""_s};
    // One date: t(999) times its sigma, which is the 95% error itself, 20.
    QTest::newRow("one date") << QList<Date>{{1, u"Empl"_s, 1500.0, 20.0, 20.0}}
                              << QStringList{u" 1500.00"_s, u" 20.00"_s, u""_s, u""_s};
    // Two identical dates: internal error 1/sqrt(2) of one, MSWD 0 and a fit probability of 1.
    QTest::newRow("identical") << QList<Date>{{1, u"Empl"_s, 1500.0, 20.0, 20.0}, {2, u"Meta"_s, 1500.0, 20.0, 20.0}}
                               << QStringList{u" 1500.00"_s, u" 14.14"_s, u" 0.00"_s, u" 1.000"_s};
    // Two dates 3 sigma apart (sigma 10): mean halfway, MSWD (1.5^2 + 1.5^2)/1 = 4.5 on the first pass's
    // sigma widened by the internal error 10/sqrt(2): 4.5 x 100/150 = 3.00; F(1, 999) upper tail of 3.00 is 0.084.
    QTest::newRow("apart") << QList<Date>{{1, u"Empl"_s, 1000.0, 19.62, 19.62}, {2, u"Empl"_s, 1030.0, 19.62, 19.62}}
                           << QStringList{u" 1015.00"_s, u""_s, u" 3.00"_s, u" 0.084"_s};
}

void TestGraphDate::weightedMeanPanel()
{
    QFETCH(QList<Date>, dates);
    QFETCH(QStringList, panel);
    Fixture f;
    f.add(dates);
    f.add({{99, u"Other"_s, 10.0, 1.0, 1.0}}); // in no group: not in the mean
    f.run();
    const DateGraph &g = *f.graph;
    QCOMPARE(g.eDate, panel[0]);
    if (!panel[1].isEmpty())
        QCOMPARE(g.eError, panel[1]);
    QCOMPARE(g.eMSWD, panel[2]);
    QCOMPARE(g.eProbabilityOfFit, panel[3]);
}

void TestGraphDate::dispersionAndDensity()
{
    // Two groups of dates and one in no group: the row of dispersion figures covers every plotted date,
    // the kernel densities one group each, scaled by the group's size.
    QFETCH(QString, backend);
    Fixture f(backend);
    const QList<Date> empl{{1, u"Empl"_s, 1500.0, 20.0, 20.0}, {2, u"Empl"_s, 1540.0, 10.0, 30.0},
                           {3, u"Empl"_s, 1620.0, 20.0, 20.0}, {4, u"Empl"_s, 1555.0, 8.0, 8.0}};
    const QList<Date> meta{{5, u"Meta"_s, 2000.0, 15.0, 15.0}, {6, u"Meta"_s, 2100.0, 15.0, 15.0}};
    f.add(empl);
    f.add(meta);
    f.add({{7, u"Other"_s, 10.0, 1.0, 1.0}});
    f.run();
    const DateGraph &g = *f.graph;

    std::vector<calc::AgeSigma> all;
    std::array<std::vector<double>, 2> ages;
    for (const auto &[group, dates] : {std::pair{0, empl}, std::pair{1, meta}})
        for (const Date &d : dates) {
            all.push_back({d.age.toDouble(), AgeErrorAv(nullptr, d.plus, d.minus)});
            ages[group].push_back(d.age.toDouble());
        }
    const calc::ConventionalMswd conventional = calc::ConventionalMswdOfAges(all);
    const calc::RandomEffectsMean random = calc::RandomEffectsMeanOfAges(all);
    QVERIFY(random.dispersion > 100); // the two groups lie far apart
    QCOMPARE(g.eMswdConventional, u' ' + Dataset::formatNumber(conventional.mswd, u"###0.00"_s));
    QCOMPARE(g.ePChi2, u' ' + Dataset::formatNumber(conventional.pChi2, u"0.000"_s));
    QCOMPARE(g.eMeanRandom, u' ' + Dataset::formatNumber(random.mean, u"###0.00"_s));
    QCOMPARE(g.eMeanRandomError, u' ' + Dataset::formatNumber(random.meanError, u"###0.00"_s));
    QCOMPARE(g.eDispersion, u' ' + Dataset::formatNumber(random.dispersion, u"###0.00"_s));
    QCOMPARE(g.eDispersionError, u' ' + Dataset::formatNumber(random.dispersionError, u"###0.00"_s));

    const calc::DensityGrid grid{f.range.PlotDateMin, f.range.PlotDateMax, 512};
    std::array<calc::KernelDensity, 2> densities{calc::KernelDensityOf(ages[0], grid, false),
                                                 calc::KernelDensityOf(ages[1], grid, false)};
    QCOMPARE(g.kdeBandwidths[0], densities[0].bandwidth);
    QCOMPARE(g.kdeBandwidths[1], densities[1].bandwidth);
    QCOMPARE(g.kdeBandwidths[2], 0.0); // no dates
    double largest = 0;
    for (int i = 0; i < 2; ++i)
        for (double v : densities[i].density)
            largest = std::max(largest, v * double(ages[i].size()));
    QCOMPARE(g.VtChKde.columnLabel(1), u"Emplacement"_s);
    Workbook &sheet = f.graph->SSDI;
    sheet.setRow(1);
    sheet.setCol(11);
    QVERIFY2(sheet.text().startsWith(u"Emplacement: kernel density, bandwidth "_s), qPrintable(sheet.text()));
    double highest = 0;
    for (int k = 0; k < 512; ++k) {
        for (int i = 0; i < 2; ++i) {
            const double want = 100 * densities[i].density[k] * double(ages[i].size()) / largest;
            QVERIFY(close(g.VtChKde.value(k + 1, 2 * i + 1).value_or(-1), densities[i].x[k]));
            QVERIFY(close(g.VtChKde.value(k + 1, 2 * i + 2).value_or(-1), want));
            sheet.setRow(k + 2);
            sheet.setCol(11 + 2 * i);
            QCOMPARE(sheet.number(), densities[i].x[k]);
            sheet.setCol(12 + 2 * i);
            QVERIFY(std::fabs(sheet.number() - want) <= 1e-9);
            highest = std::max(highest, sheet.number());
        }
    }
    QCOMPARE(highest, 100.0);
    QCOMPARE(densities[0].x[511], f.range.PlotDateMax);

    // One date: none of the figures is defined, and the fields stay empty.
    Fixture single(backend);
    single.add({{1, u"Empl"_s, 1500.0, 20.0, 20.0}});
    single.run();
    QCOMPARE(single.graph->eMswdConventional, QString());
    QCOMPARE(single.graph->eDispersion, QString());
    QCOMPARE(single.graph->kdeBandwidths[0], 0.0);
}

void TestGraphDate::radialPlotSkipsSigmaZero()
{
    Fixture f;
    f.add({{1, u"Empl"_s, 1000.0, 19.62, 19.62}, {2, u"Empl"_s, 1010.0, 0.0, 0.0},
           {3, u"Empl"_s, 1030.0, 19.62, 19.62}});
    f.run();
    const ChartGrid &radial = f.graph->VtChG;
    // The date with sigma 0 weighs 1 in the first pass: the mean is pulled to it, and it has no point.
    const double mean = f.graph->eDate.toDouble();
    QVERIFY(mean > 1009 && mean < 1011);
    // sigma = 39.24 / (2 x 1.9622) = 9.999
    const QList<double> precision = column(radial, 1, 3);
    QVERIFY(close(precision[0], 0.1, 1e-4) && close(precision[1], 0.1, 1e-4));
    QVERIFY(qIsNaN(precision[2]));
    QVERIFY(close(*radial.value(1, 2), (1000.0 - mean) / 9.999, 0.01));
    QVERIFY(close(*radial.value(2, 2), (1030.0 - mean) / 9.999, 0.01));
}

void TestGraphDate::flagsReuseWorkingTables()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.add({{1, u"Empl"_s, 1000.0, 10.0, 10.0}, {2, u"Empl"_s, 1100.0, 10.0, 10.0}});
    f.run();
    QVERIFY(f.dm.DateDataCurrent);
    QVERIFY(f.dm.GroupedDateDataCurrent);
    f.dm.KVResults.exec(u"delete from IsoRgr30 where RecordID = 2"_s);
    f.ui.clear();
    f.run();
    QCOMPARE(f.count(u"KVTemp2"_s), 2); // current: not refilled
    QVERIFY(!f.ui.texts(u"progress"_s).contains(u"Appending data"_s));
    QCOMPARE(f.graph->VtChDI.rowCount(), 2);
    f.dm.clearCurrentDataFlags();
    f.run();
    QCOMPARE(f.count(u"KVTemp2"_s), 1);
    QCOMPARE(f.graph->VtChDI.rowCount(), 1);
}

void TestGraphDate::groupingSeries()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.add({{1, u"Empl"_s, 1000.0, 10.0, 10.0}, {2, u"Meta"_s, 2000.0, 10.0, 10.0},
           {3, u"Empl"_s, 3000.0, 10.0, 10.0}, {4, u"None"_s, 1500.0, 10.0, 10.0}});
    f.dm.KVResults.exec(u"insert into Province (RecordID, Province) values (1, 'Kaapvaal'), (1, 'O''Kiep'), "
                        u"(2, 'O''Kiep'), (3, 'Limpopo'), (4, 'Kaapvaal')"_s);
    QueryDefinition definition;
    definition.addValue(11, u"Kaapvaal"_s, u"Kaapvaal"_s);
    definition.addValue(11, u"O'Kiep"_s, u"O'Kiep"_s);
    f.run(definition);
    const DateGraph &g = *f.graph;
    QCOMPARE(f.groupings.HowGrouped, u"Province"_s);
    QVERIFY(g.groupingTabsVisible);
    QCOMPARE(f.count(u"KVTemp2g"_s), 3); // record 1 twice, record 2 once
    QCOMPARE(g.VtChDG.columnCount(), 6);
    QCOMPARE(g.VtChCG.columnCount(), 4);
    QCOMPARE(g.VtChDG.columnLabel(1), u"Kaapvaal"_s);
    QCOMPARE(g.VtChDG.columnLabel(4), u"O'Kiep"_s);
    QCOMPARE(g.VtChCG.columnLabel(3), u"O'Kiep"_s);
    QCOMPARE(g.VtChDG.rowCount(), 2);
    QCOMPARE(g.VtChDG.value(1, 3), 1000.0);
    QVERIFY(!g.VtChDG.value(2, 3)); // the Kaapvaal record 4 is in no interpretation group
    QCOMPARE(column(g.VtChDG, 6, 2), (QList<double>{1000, 2000}));
    // The interpretation charts keep every grouped record, Limpopo's included.
    QCOMPARE(g.VtChDI.rowCount(), 2);
    QCOMPARE(column(g.VtChDI, 3, 2), (QList<double>{1000, 3000}));
    // KVTemp2 carries the last chosen province of a record.
    auto q = f.dm.KVtmp.exec(u"select Grouping from KVTemp2 where Age = 1000"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"O'Kiep"_s);
    // Spreadsheet columns 11 to 14.
    Workbook &sheet = const_cast<Workbook &>(g.SSDI);
    sheet.setRow(1);
    sheet.setCol(13);
    QCOMPARE(sheet.text(), u"O'Kiep"_s);
    double highest = 0;
    for (int k = 2; k <= 502; ++k) {
        sheet.setRow(k);
        for (int col : {12, 14}) {
            sheet.setCol(col);
            highest = std::max(highest, sheet.number());
        }
    }
    QCOMPARE(highest, 100.0);
    // The kernel densities follow the two grouping series.
    sheet.setRow(1);
    sheet.setCol(15);
    QVERIFY2(sheet.text().startsWith(u"Emplacement: kernel density"_s), qPrintable(sheet.text()));
}

void TestGraphDate::plotSpaceQuestions_data()
{
    QTest::addColumn<QString>("maxRows");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("drawn");
    const QString increase = u"Maximum records exceeds plot space allocation. Increase space?"_s;
    const QString limit = u"Maximum records exceeds maximum plot space allocation. Increase to limit?"_s;
    QTest::newRow("increase, yes") << u"160"_s << true << increase << 101;
    QTest::newRow("increase, no") << u"160"_s << false << increase << 100;
    QTest::newRow("limit, yes") << u"50"_s << true << limit << 50;
    QTest::newRow("limit, no") << u"50"_s << false << limit << 100;
}

void TestGraphDate::plotSpaceQuestions()
{
    QFETCH(QString, maxRows);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(int, drawn);
    Fixture f;
    f.setting(u"Graph settings"_s, u"Max Rows"_s, maxRows);
    QList<Date> dates;
    for (int i = 1; i <= 101; ++i)
        dates.append({i, u"Empl"_s, 1000.0 + i, 5.0, 5.0});
    f.add(dates);
    f.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    f.run();
    const QString asked = question + (yes ? u" [Yes]"_s : u" [No]"_s);
    QCOMPARE(f.ui.texts(u"question"_s), (QStringList{asked, asked})); // date chart, then radial plot
    const DateGraph &g = *f.graph;
    QCOMPARE(g.VtChDI.rowCount(), 101); // the largest group, whatever was drawn
    const QList<double> dates3 = column(g.VtChDI, 3, 101);
    QCOMPARE(int(std::count_if(dates3.begin(), dates3.end(), [](double v) { return !qIsNaN(v); })), drawn);
    const QList<double> radial = column(g.VtChG, 1, std::min(g.VtChG.rowCount(), 101));
    QCOMPARE(int(std::count_if(radial.begin(), radial.end(), [](double v) { return !qIsNaN(v); })), drawn);
}

void TestGraphDate::workingTableFailures_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("message");
    // A row that cannot be deleted ends the command with a message instead of being retried for ever.
    QTest::newRow("delete") << u"delete"_s << u"KVTemp2 could not be emptied"_s;
    QTest::newRow("insert") << u"insert"_s << u"kept"_s;
}

void TestGraphDate::workingTableFailures()
{
    QFETCH(QString, event);
    QFETCH(QString, message);
    Fixture f;
    f.add({{1, u"Empl"_s, 1000.0, 10.0, 10.0}});
    f.run();
    f.dm.KVtmp.exec(u"create trigger keep before %1 on KVTemp2 begin select raise(abort, 'kept'); end"_s.arg(event));
    f.dm.clearCurrentDataFlags();
    try {
        f.run();
        QFAIL("the working table should have failed");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QVERIFY(!f.dm.DateDataCurrent);
    QVERIFY(!f.dm.Querydm->isOpen());
    QVERIFY(!f.dm.Querydm->controlsDisabled());
}

QTEST_GUILESS_MAIN(TestGraphDate)
#include "tst_graph_date.moc"
