// SPDX-License-Identifier: GPL-3.0-or-later
// The map of sample localities and the localities written for GIS programs, on small fixtures: which
// samples are mapped where, the two classifications, the reuse of the working table, the area outlines,
// and the GeoJSON, KML and CSV files as GDAL reads them.
#include "core/errors.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/gis_export.h"
#include "graphs/graph_date.h"
#include "graphs/graph_map.h"
#include "graphs/plot_settings.h"
#include "graphs/plot_state.h"
#include "main/query_definition.h"
#include "main/settings.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// Records 1 to 4 with their samples. Default plot settings: group 1 is Empl/Extr ("Emplacement"), the
// bands run 400-900, 900-1400, 1400-1900, 1900-2500 and 2500-4000 Ma.
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
        Connection &r = dm.KVResults;
        Transaction t(r);
        const QString record =
            u"insert into IsoRgr30 (RecordID, IsotopeSystem, InterpAbr, IAge, IAgePError, "
            u"IAgeMError, UnitName, CountryAbr, MaterialAbr) values (?, ?, ?, ?, 5000, 5000, "
            u"'Bushveld', 'ZAF', 'zr')"_s;
        r.exec(record, {1, u"UPb"_s, u"Empl"_s, 2054000});
        r.exec(record, {2, u"UPb"_s, u"Meta"_s, 900000});  // on a band's maximum: the next band's
        r.exec(record, {3, u"RbSr"_s, u"Odd"_s, 1500000}); // in no interpretation group
        r.exec(record, {4, u"UPb"_s, u"Empl"_s, 100000});  // in no date band
        const QString sample = u"insert into SmpReg (RecordID, IsoSystem, SampleNo) values (?, ?, ?)"_s;
        const QString locality = u"insert into SmpLoc (SampleNo, Latitude, Longitude) values (?, ?, ?)"_s;
        for (const auto &[id, system, no, lat, lon] :
             {std::tuple{1, u"UPb"_s, u"A-1"_s, -25.5, 28.25}, std::tuple{1, u"UPb"_s, u"A-2"_s, 0.0, 29.0},
              std::tuple{1, u"UPb"_s, u"A-3"_s, -24.0, 0.0},   // longitude 0: no locality
              std::tuple{1, u"RbSr"_s, u"A-4"_s, -24.0, 27.0}, // another system's sample
              std::tuple{2, u"UPb"_s, u"B-1"_s, -26.0, 30.5}, std::tuple{3, u"RbSr"_s, u"C-1"_s, 99.0, 31.0},
              std::tuple{4, u"UPb"_s, u"D-1"_s, -27.0, 26.0}}) {
            r.exec(sample, {id, system, no});
            r.exec(locality, {no, lat, lon});
        }
        r.exec(sample, {2, u"UPb"_s, u"B-2"_s}); // no locality row
        r.exec(
            u"insert into SourceA (RecordID, SourceTypeID, SourceID) values (1, 'A', 'Walraven (1990)')"_s);
        // two rings of one area (an island after the main land), parted by 0/0, and a second area
        const QString outline =
            u"insert into AreaBound (CountryAbr, BoundarySequence, Longitude, Latitude) values (?, ?, ?, ?)"_s;
        const QList<std::tuple<QString, int, double, double>> outlines{
            {u"ZAF"_s, 1, 20.0, -30.0}, {u"ZAF"_s, 2, 30.0, -30.0}, {u"ZAF"_s, 3, 30.0, -25.0},
            {u"ZAF"_s, 4, 0.0, 0.0},    {u"ZAF"_s, 5, 32.0, -28.0}, {u"ZAF"_s, 6, 33.0, -28.0},
            {u"BWA"_s, 1, 21.0, -18.0}, {u"BWA"_s, 2, 25.0, -18.0}};
        for (const auto &[area, n, lon, lat] : outlines)
            r.exec(outline, {area, n, lon, lat});
        t.commit();
    }
    void run(const QueryDefinition &definition = {})
    {
        map.emplace();
        MapCommand(dm, ui, state).run(definition, *map);
    }
    int count(const QString &sql)
    {
        auto q = dm.KVtmp.exec(sql);
        q.next();
        return q.value(0).toInt();
    }
    // The points of a series of a chart as "lon/lat", an empty side as "-".
    QStringList points(const ChartGrid &chart, int series, int rows)
    {
        QStringList out;
        for (int r = 1; r <= rows; ++r) {
            const auto x = chart.value(r, 2 * series - 1), y = chart.value(r, 2 * series);
            out << (x ? QString::number(*x) : u"-"_s) + u'/' + (y ? QString::number(*y) : u"-"_s);
        }
        return out;
    }

    test::TempFolders folders;
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    PlotState state;
    std::optional<LocalityMap> map;
};

QueryDefinition areas(const QStringList &codes)
{
    QueryDefinition d;
    for (const QString &code : codes)
        d.addValue(1, code + u" area"_s, code);
    return d;
}

} // namespace

class TestGraphMap : public QObject
{
    Q_OBJECT

private slots:
    void whatIsMapped_data() { test::addBackendRows(); }
    void whatIsMapped();
    void reuseReclassifiesBands_data() { test::addBackendRows(); }
    void reuseReclassifiesBands();
    void outlines_data();
    void outlines();
    void emptyResult();
    void tableThatCannotBeEmptied();
    void gisFiles_data();
    void gisFiles();
    void gisFormats_data();
    void gisFormats();
    void refusedTextWritesNothing_data();
    void refusedTextWritesNothing();
};

void TestGraphMap::whatIsMapped()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.run();
    const LocalityMap &m = *f.map;
    // B-1, C-1, D-1: longitude 0, another system's sample and a missing locality are left out
    QCOMPARE(m.transferred, 5);
    QVERIFY(!m.reused);
    QVERIFY(f.dm.MapDataCurrent);
    // Emplacement: records 1 and 4; a latitude of 0 leaves the point's Y cell empty
    QCOMPARE(m.interpretationPoints, (std::array<int, 5>{3, 1, 0, 0, 0}));
    QCOMPARE(f.points(m.VtChM1, 1, 3), (QStringList{u"28.25/-25.5"_s, u"29/-"_s, u"26/-27"_s}));
    QCOMPARE(m.VtChM1.seriesLabel(1), u"Emplacement"_s);
    // the record in no group is on the date-band chart only; 900 Ma is in the second band; 100 Ma in none
    QCOMPARE(f.count(u"select count(*) from KVTempM where Interpretation = 'nihil'"_s), 1);
    QCOMPARE(m.bandPoints, (std::array<int, 5>{0, 1, 1, 2, 0}));
    QCOMPARE(f.points(m.VtChM2, 3, 1), QStringList{u"31/99"_s});
    QCOMPARE(m.VtChM2.seriesLabel(2), u"900 - 1400"_s);
    QCOMPARE(f.count(u"select count(*) from KVTempM where AgeBand = 'nihil'"_s), 1);
    QCOMPARE(m.outlinePoints, 0); // no area chosen
    QCOMPARE(f.ui.messages(), QStringList());
}

void TestGraphMap::reuseReclassifiesBands()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    f.run();
    // Samples added now are not seen while the table is current; changed bands are.
    f.dm.KVResults.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo) values (1, 'UPb', 'A-9')"_s);
    f.dm.KVResults.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude) values ('A-9', -20, 20)"_s);
    IniFile file(settingsFilePath());
    file.setValue(u"Classification"_s, u"Date 3 minimum"_s, u"1600"_s);
    file.save();
    f.run();
    QVERIFY(f.map->reused);
    QCOMPARE(f.map->transferred, 0);
    QCOMPARE(f.count(u"select count(*) from KVTempM"_s), 5);
    // 1500 Ma is in no band now, and no longer shown in the one it was in before
    QCOMPARE(f.map->bandPoints, (std::array<int, 5>{0, 1, 0, 2, 0}));
    QCOMPARE(f.count(u"select count(*) from KVTempM where AgeBand = 'nihil'"_s), 2);
    f.dm.clearCurrentDataFlags();
    f.run();
    QCOMPARE(f.map->transferred, 6);
}

void TestGraphMap::outlines_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("rows"); // the outline column pair, row by row
    QTest::newRow("one area, two rings")
        << QStringList{u"ZAF"_s}
        << QStringList{u"20/-30"_s, u"30/-30"_s, u"30/-25"_s, u"-/-"_s, u"32/-28"_s, u"33/-28"_s, u"-/-"_s};
    QTest::newRow("two areas, parted")
        << QStringList{u"BWA"_s, u"ZAF"_s}
        << QStringList{u"21/-18"_s, u"25/-18"_s, u"-/-"_s,    u"20/-30"_s, u"30/-30"_s,
                       u"30/-25"_s, u"-/-"_s,    u"32/-28"_s, u"33/-28"_s, u"-/-"_s};
    QTest::newRow("an area without outline") << QStringList{u"MDG"_s} << QStringList{u"-/-"_s};
}

void TestGraphMap::outlines()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, rows);
    Fixture f;
    f.run(areas(chosen));
    for (const ChartGrid *chart : {&f.map->VtChM1, &f.map->VtChM2}) {
        QVERIFY(chart->isOutline(MapCommand::OutlineColumn));
        QCOMPARE(f.points(*chart, (MapCommand::OutlineColumn + 1) / 2, int(rows.size())), rows);
    }
}

void TestGraphMap::emptyResult()
{
    Fixture f;
    f.dm.Query1->setSql({u"select * from IsoRgr30"_s, u"where RecordID > 100"_s});
    f.run(areas({u"BWA"_s}));
    QCOMPARE(f.map->transferred, 0);
    QCOMPARE(f.map->interpretationPoints, (std::array<int, 5>{}));
    QCOMPARE(f.map->bandPoints, (std::array<int, 5>{}));
    QCOMPARE(f.map->outlinePoints, 2);
    QCOMPARE(f.ui.messages(), QStringList());
}

void TestGraphMap::tableThatCannotBeEmptied()
{
    // A row that cannot be deleted stops the command with a message, instead of a delete loop.
    Fixture f;
    f.run();
    f.dm.clearCurrentDataFlags();
    f.dm.KVtmp.exec(
        u"create trigger refuse before delete on KVTempM begin select raise(abort, 'locked elsewhere'); end"_s);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, f.run());
    QVERIFY(!f.dm.MapDataCurrent);
    QVERIFY(!f.dm.Querydm->isOpen());
}

void TestGraphMap::gisFiles_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("file");
    for (const QString &backend : test::backends())
        for (const QString &file : {u"localities.geojson"_s, u"localities.kml"_s, u"localities.csv"_s})
            QTest::newRow(qPrintable(backend + u' ' + file)) << backend << file;
}

void TestGraphMap::gisFiles()
{
    // What a GIS program reads: every usable locality with its record's fields, nothing else.
    QFETCH(QString, backend);
    QFETCH(QString, file);
    Fixture f(backend);
    const QString path = f.folders.path() + u'/' + file;
    const GisExportResult result = exportGisLocalities(f.dm, gisFormatOf(path), path);
    // A-1, A-2 (latitude 0 is the equator), B-1, D-1; out: A-3 (longitude 0), C-1 (latitude 99), B-2 (none)
    QCOMPARE(result.written, 4);
    QCOMPARE(result.leftOut, 3);
    QVERIFY(gisExportMessage(result, path).contains(u"3 samples without a usable locality"_s));

    const QString ogrinfo = QStandardPaths::findExecutable(u"ogrinfo"_s);
    if (ogrinfo.isEmpty())
        QFAIL("ogrinfo (gdal-bin) is needed to read the files back; scripts/packages.txt installs it");
    QStringList args{u"-ro"_s, u"-al"_s, u"-q"_s};
    if (file.endsWith(u".csv"_s))
        args << u"-oo"_s << u"X_POSSIBLE_NAMES=Longitude"_s << u"-oo"_s << u"Y_POSSIBLE_NAMES=Latitude"_s;
    QProcess gdal;
    gdal.start(ogrinfo, args << path);
    QVERIFY(gdal.waitForFinished(60000));
    const QString out = QString::fromUtf8(gdal.readAllStandardOutput());
    QVERIFY2(gdal.exitCode() == 0, qPrintable(QString::fromUtf8(gdal.readAllStandardError())));
    QCOMPARE(out.count(u"OGRFeature("_s), 4);
    QVERIFY2(out.contains(u"POINT (28.25 -25.5)"_s), qPrintable(out));
    QVERIFY(out.contains(u"POINT (29 0)"_s));
    for (const QString &expected : {u"RecordID (Integer) = 1"_s, u"SampleNo (String) = A-1"_s,
                                    u"Reference (String) = Walraven (1990)"_s,
                                    u"IsotopeSystem (String) = UPb"_s, u"Interpretation (String) = Empl"_s})
        QVERIFY2(out.contains(expected) || file.endsWith(u".csv"_s), qPrintable(expected + u"\n"_s + out));
    // whole ages read as integers or reals, as the reader guesses from the numbers
    QVERIFY(out.contains(QRegularExpression(u"Age \\((Real|Integer|String)\\) = 2054\\b"_s)));
    // CSV fields are texts to GDAL unless told: the values are there all the same
    QVERIFY(out.contains(u"= Walraven (1990)"_s));
    QVERIFY(!out.contains(u"C-1"_s) && !out.contains(u"A-3"_s));
}

void TestGraphMap::gisFormats_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format"); // -1: refused
    QTest::newRow("geojson") << u"geojson"_s << int(GisFormat::GeoJson);
    QTest::newRow("file.GeoJSON") << u"out/file.GeoJSON"_s << int(GisFormat::GeoJson);
    QTest::newRow("kml") << u"kml"_s << int(GisFormat::Kml);
    QTest::newRow("file.csv") << u"x.csv"_s << int(GisFormat::Csv);
    QTest::newRow("shapefile") << u"x.shp"_s << -1;
}

void TestGraphMap::gisFormats()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    try {
        QCOMPARE(int(gisFormatOf(name)), format);
    } catch (const InputError &) {
        QCOMPARE(format, -1);
    }
}

void TestGraphMap::refusedTextWritesNothing_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("command");
    for (const QString &backend : test::backends())
        for (const QString &command : {u"map"_s, u"gis"_s, u"date graph"_s})
            QTest::newRow(qPrintable(backend + u' ' + command)) << backend << command;
}

void TestGraphMap::refusedTextWritesNothing()
{
    // "Re-apply Query" refuses a writing text but leaves it in Query1; the commands that run a copy of
    // Query1 must not write with it either.
    QFETCH(QString, backend);
    QFETCH(QString, command);
    Fixture f(backend);
    f.dm.Query1->setSql({u"delete from SmpReg"_s});
    if (command == u"map"_s) {
        QVERIFY_THROWS_EXCEPTION(DatabaseError, f.run());
    } else if (command == u"gis"_s) {
        const QString path = f.folders.path() + u"/x.csv"_s;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, exportGisLocalities(f.dm, GisFormat::Csv, path));
        QVERIFY(!QFile::exists(path));
    } else {
        DateGraph graph;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, DateGraphCommand(f.dm, f.ui, f.state).run({}, graph));
    }
    QSqlQuery q = f.dm.KVResults.exec(u"select count(*) from SmpReg"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 8); // every sample row of the fixture is still there
}

QTEST_GUILESS_MAIN(TestGraphMap)
#include "tst_graph_map.moc"
