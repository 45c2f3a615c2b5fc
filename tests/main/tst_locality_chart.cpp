// SPDX-License-Identifier: GPL-3.0-or-later
// The record's locality chart without its page: the sites below latitude 90, the country's outline broken
// at its 0/0 points, and a series that cannot be read leaving the other one drawn.
#include "controls/chart_grid.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/locality_chart.h"
#include "test_support.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// Record 5576 with sites at latitudes -25.5, 90 and -26; South Africa's outline of four points, the
// third 0/0.
struct Fixture
{
    Fixture() : results(u"sqlite"_s), working(u"sqlite"_s), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        Connection &r = dm.KVResults;
        r.exec(u"insert into IsoRgr30 (RecordID, IsotopeSystem, IAge) values (5576, 'U-Pb', 2054000)"_s);
        for (const auto &[sample, latitude] :
             {std::pair{u"B-1"_s, -25.5}, std::pair{u"B-2"_s, 90.0}, std::pair{u"B-3"_s, -26.0}}) {
            r.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo) values (5576, 'U-Pb', ?)"_s,
                   {sample});
            r.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude) values (?, ?, 28.0)"_s,
                   {sample, latitude});
        }
        r.exec(u"insert into SADCCtry (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
        for (int i = 0; i < 4; ++i)
            r.exec(u"insert into SADCBound (CountryAbr, BoundarySequence, Longitude, Latitude) "
                   u"values ('ZAF', ?, ?, ?)"_s,
                   {i, i == 2 ? 0.0 : 20.0 + i, i == 2 ? 0.0 : -30.0 - i});
        dm.Query1->setSql({u"select * from isorgr30"_s, u"order by RecordID"_s});
        dm.openShared();
    }

    test::TempFolders folders;
    test::TestDatabase results, working;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

// Latitudes of a series, rows 1 to 4, NaN where empty.
QList<double> latitudes(const ChartGrid &chart, int series)
{
    QList<double> values;
    for (int r = 1; r <= 4; ++r)
        values << chart.value(r, series + 1).value_or(qQNaN());
    return values;
}

bool same(const QList<double> &a, const QList<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (qIsNaN(a[i]) && qIsNaN(b[i]))))
            return false;
    return true;
}

} // namespace

class TestLocalityChart : public QObject
{
    Q_OBJECT

private slots:
    void series_data();
    void series();
};

void TestLocalityChart::series_data()
{
    QTest::addColumn<bool>("showBoundary");
    QTest::addColumn<QString>("broken");
    QTest::addColumn<QList<double>>("sites");
    QTest::addColumn<QList<double>>("outline");
    const double none = qQNaN();
    const QList<double> sites{-25.5, -26.0, none, none};
    const QList<double> outline{-30.0, -31.0, none, -33.0};
    QTest::newRow("both") << true << QString() << sites << outline;
    QTest::newRow("boundary hidden") << false << QString() << sites << QList<double>{none, none, none, none};
    // The record's sites cannot be read: the country is still drawn, and nothing is reported.
    QTest::newRow("sites unreadable")
        << true << u"SmpLoc"_s << QList<double>{none, none, none, none} << outline;
}

void TestLocalityChart::series()
{
    QFETCH(bool, showBoundary);
    QFETCH(QString, broken);
    QFETCH(QList<double>, sites);
    QFETCH(QList<double>, outline);
    Fixture f;
    if (!broken.isEmpty())
        f.dm.KVResults.exec(u"drop table "_s + broken);
    ChartGrid chart(10, 6);
    chart.setRow(10);
    chart.setColumn(1);
    chart.setData(u"7"_s); // what the chart showed before goes
    RebindLocalityChart(f.dm, showBoundary, chart);
    QVERIFY2(same(latitudes(chart, CurrentSite), sites), qPrintable(QString::number(chart.rowCount())));
    QVERIFY(same(latitudes(chart, Boundaries), outline));
    QCOMPARE(chart.columnLabel(CurrentSite), u"Current site"_s);
    QVERIFY(!chart.value(1, AllLocalities));
    QCOMPARE(chart.rowCount(), showBoundary ? 4 : 2);
    QCOMPARE(f.ui.messages(), QStringList());
}

QTEST_GUILESS_MAIN(TestLocalityChart)
#include "tst_locality_chart.moc"
