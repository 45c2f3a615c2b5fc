// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "demo/demo_data.h"
#include "demo/synthetic_data.h"
#include "test_support.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// The joins every query of the viewer carries: a record is found only when all nine codes have rows.
const QString nineTableJoin =
    u"select count(*) from IsoRgr30, Country, Interpretation, Approach, Material, Methods, Technique, "
    u"IsoSystem, "
    u"Suite, Lithol "
    u"where IsoRgr30.CountryAbr = Country.CountryAbr and IsoRgr30.UnitName = Suite.UnitName "
    u"and IsoRgr30.Lithology = Lithol.Lithology and IsoRgr30.MaterialAbr = Material.MaterialAbr "
    u"and IsoRgr30.ApproachAbr = Approach.ApproachAbr and IsoRgr30.InterpAbr = Interpretation.InterpAbr "
    u"and IsoRgr30.IsotopeSystem = IsoSystem.IsoSystem and IsoRgr30.TechAbr = Technique.TechAbr "
    u"and IsoRgr30.MethodAbr = Methods.MethodAbr"_s;

qint64 scalar(Connection &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q = db.exec(sql, values);
    if (!q.next())
        throw DatabaseError(u"no row from "_s + sql);
    return q.value(0).toLongLong();
}

/// A fresh pair of databases on one back end, created as an installation does.
struct Databases
{
    explicit Databases(const QString &backend) : resultsDb(backend), workingDb(backend)
    {
        createDatabases({resultsDb.location(), workingDb.location()}, false);
        results.bind(resultsDb.location());
        results.open();
        working.bind(workingDb.location());
        working.open();
    }
    test::TestDatabase resultsDb, workingDb;
    Connection results{u"KVResults"_s}, working{u"KVtmp"_s};
};

struct DemoDatabases : Databases
{
    explicit DemoDatabases(const QString &backend) : Databases(backend)
    {
        writeDemoData(results, working, &summary);
    }
    DemoSummary summary;
};

} // namespace

class TestDemoData : public QObject
{
    Q_OBJECT

private slots:
    void everyRecordIsFoundByTheJoin_data() { test::addBackendRows(); }
    void everyRecordIsFoundByTheJoin()
    {
        QFETCH(QString, backend);
        DemoDatabases db(backend);
        // The compilation has 621 rows, 6 of them with an age of 0; plus one Rb-Sr and two Sm-Nd records.
        QCOMPARE(db.summary.datedRecords, 615);
        QCOMPARE(db.summary.skippedNoAge, 6);
        QCOMPARE(scalar(db.results, u"select count(*) from IsoRgr30"_s), 618);
        QCOMPARE(scalar(db.results, nineTableJoin), 618);
        // Every sample of a record has its locality row, and every reference link its reference.
        QCOMPARE(scalar(db.results,
                        u"select count(*) from SmpReg where SampleNo not in (select SampleNo from SmpLoc)"_s),
                 0);
        QCOMPARE(scalar(db.results, u"select count(*) from SourceA where SourceID not in "
                                    u"(select SourceID from SourceListA)"_s),
                 0);
        QCOMPARE(scalar(db.results, u"select count(*) from IsoRgr30 where RecordID not in "
                                    u"(select RecordID from SmpReg)"_s),
                 0);
        // Group descriptors and the list the query window offers agree.
        QCOMPARE(scalar(db.results, u"select count(*) from Grouping where Grouping not in "
                                    u"(select Grouping from GroupingList)"_s),
                 0);
        // The default plot groups' interpretation codes can all be chosen.
        QCOMPARE(scalar(db.results,
                        u"select count(*) from Interpretation where InterpAbr in "
                        u"('Empl','Extr','Meta','Cool','Depos','Diag','Reset','Miner','CrsRs','MdlR0')"_s),
                 10);
    }

    void textsFitTheirColumns()
    {
        // SQLite does not enforce VARCHAR widths, so a loader that wrote too much would go unnoticed there.
        DemoDatabases db(u"sqlite"_s);
        for (const TableDef *table : Schema::tables(DatabaseKind::Results))
            for (const ColumnDef &column : table->columns)
                if (column.isText()) {
                    const qint64 longest =
                        scalar(db.results, u"select coalesce(max(length(%1)), 0) from %2"_s.arg(column.name,
                                                                                                table->name));
                    QVERIFY2(longest <= column.width,
                             qPrintable(
                                 u"%1.%2 holds %3 characters"_s.arg(table->name, column.name).arg(longest)));
                }
    }

    void nonAsciiTextsSurvive_data() { test::addBackendRows(); }
    void nonAsciiTextsSurvive()
    {
        QFETCH(QString, backend);
        DemoDatabases db(backend);
        // The seed file is Windows-1252: 0xF6 is ö, 0xE1 á, 0xE9 é, 0xB1 ±, 0xCB Ë.
        const QString kroener = u"Kr\u00f6ner et al. 2000"_s;
        QCOMPARE(scalar(db.results, u"select count(*) from SourceListA where SourceID = ?"_s, {kroener}), 1);
        // 26 rows cite it so and one with a double space; all 27 have an age.
        QCOMPARE(scalar(db.results, u"select count(*) from SourceA where SourceID = ?"_s, {kroener}), 27);
        QCOMPARE(scalar(db.results, u"select count(*) from SourceListA where SourceID = ?"_s,
                        {u"Vr\u00e1na et al. (2004)"_s}),
                 1);
        for (const QString &lithology :
             {u"M\u00e9tadiorite"_s, u"Orthogneiss granitique \u00cb biotite, W. Itremo"_s,
              u"2. Miako Gneiss \u2013 leucosome (6)"_s})
            QVERIFY2(
                scalar(db.results, u"select count(*) from IsoRgr30 where Lithology = ?"_s, {lithology}) >= 1,
                qPrintable(lithology));
        // 56 characters in the file, cut to the column's 50.
        QCOMPARE(scalar(db.results, u"select count(*) from Lithol where Lithology = ?"_s,
                        {u"Gneiss migmatitique a biotite, amphibole \u00b1 clinopy"_s}),
                 1);
        // A DOI comes through in the reference's description.
        QSqlQuery q = db.results.exec(u"select SourceDes from SourceListA where SourceDes like ?"_s,
                                      {u"%10.1016/j.precamres.2016.05.014%"_s});
        QVERIFY(q.next());
    }

    void isochronRecordsHaveTheirRawData_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("recordId");
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("x1");
        QTest::addColumn<double>("y1");
        QTest::addColumn<double>("x2");
        QTest::addColumn<double>("rho1");
        QTest::addColumn<QString>("xName");
        QTest::addColumn<int>("iAge");
        QTest::addColumn<double>("initRatio");
        QTest::addColumn<double>("mswd");
        // Ages, initial ratios and MSWDs from a separate York (2004) fit written in Python over the same
        // files, with the decay constants 1.42e-11 (87Rb) and 6.54e-12 (147Sm).
        for (const QString &backend : test::backends()) {
            QTest::addRow("%s Rb-Sr", qPrintable(backend))
                << backend << 2000 << 17 << 0.0312 << 0.7013 << 0.0536 << 0.0 << u"87Rb/86Sr"_s << 4426485
                << 0.6991514553 << 1.2316220806;
            QTest::addRow("%s Sm-Nd epsilon", qPrintable(backend))
                << backend << 2001 << 4 << 0.18649 << 0.51297 << 0.23209 << 0.014 << u"147Sm/144Nd"_s
                << 3927721 << 0.5081311509 << 0.0786639043;
            QTest::addRow("%s Sm-Nd model age", qPrintable(backend))
                << backend << 2002 << 4 << 0.18649 << 0.51297 << 0.23209 << 0.014 << u"147Sm/144Nd"_s
                << 3927721 << 0.5081311509 << 0.0786639043;
        }
    }
    void isochronRecordsHaveTheirRawData()
    {
        QFETCH(QString, backend);
        QFETCH(int, recordId);
        QFETCH(int, samples);
        QFETCH(double, x1);
        QFETCH(double, y1);
        QFETCH(double, x2);
        QFETCH(double, rho1);
        QFETCH(QString, xName);
        QFETCH(int, iAge);
        QFETCH(double, initRatio);
        QFETCH(double, mswd);
        DemoDatabases db(backend);
        ScriptedInteraction ui;
        TdmKVResults dm(ui);
        dm.KVResults.bind(db.resultsDb.location());
        dm.KVResults.open();
        TdmSmp smp(dm);
        // Opened as the recalculation opens them for one record.
        dm.Querydm->close();
        dm.Querydm->setSql({u"select * from IsoRgr30"_s, u"where RecordID = %1"_s.arg(recordId)});
        dm.Querydm->open();
        QCOMPARE(dm.Querydm->value(u"IAge"_s).toInt(), iAge);
        dm.QdmInit->open();
        QVERIFY(qAbs(dm.QdmInit->value(u"InitRatio"_s).toDouble() - initRatio) < 1e-9);
        dm.QdmStatistics->open();
        QVERIFY(qAbs(dm.QdmStatistics->value(u"MSWD"_s).toDouble() - mswd) < 1e-8);
        dm.QdmSmp->open();
        QCOMPARE(dm.QdmSmp->recordCount(), samples);
        QCOMPARE(dm.QdmSmp->text(u"Included"_s), u"Y"_s);
        for (Dataset *d : {smp.QIsoSys, smp.QUR, smp.QModel, smp.QSysVarData, smp.QX, smp.QY, smp.QXerr,
                           smp.QYerr, smp.QXerrt, smp.QYerrt, smp.QR, smp.QXname})
            d->open();
        QVERIFY(!smp.QIsoSys->isEmpty());
        QVERIFY(!smp.QUR->isEmpty());
        QCOMPARE(smp.QModel->isEmpty(),
                 recordId != 2002); // only the model-age record's approach names a model
        QCOMPARE(smp.QX->value(u"DataValue"_s).toDouble(), x1);
        QCOMPARE(smp.QX->value(u"NormalisingFactor"_s).toDouble(), 1.0);
        QCOMPARE(smp.QY->value(u"DataValue"_s).toDouble(), y1);
        QVERIFY(smp.QXerr->value(u"DataValue"_s).toDouble() > 0);
        QVERIFY(smp.QYerr->value(u"DataValue"_s).toDouble() > 0);
        QCOMPARE(smp.QXerrt->value(u"DataValue"_s).toInt(), 0); // absolute errors
        QCOMPARE(smp.QR->value(u"DataValue"_s).toDouble(), rho1);
        QCOMPARE(smp.QXname->text(u"VariableName"_s), xName);
        // The roles follow the sample.
        dm.QdmSmp->next();
        QCOMPARE(smp.QX->value(u"DataValue"_s).toDouble(), x2);
        smp.closeAll();
        dm.closeAll();
    }

    void outlinesAreClosedRings()
    {
        DemoDatabases db(u"sqlite"_s);
        // Rings per country in the seed file; ZAF's third and MOZ's second and third are holes.
        const QHash<QString, int> rings{{u"ZAF"_s, 3}, {u"NAM"_s, 1}, {u"BWA"_s, 1}, {u"ZWE"_s, 1},
                                        {u"MOZ"_s, 3}, {u"LSO"_s, 1}, {u"SWZ"_s, 1}, {u"ZMB"_s, 1},
                                        {u"MWI"_s, 3}, {u"AGO"_s, 2}, {u"TZA"_s, 4}, {u"MDG"_s, 3},
                                        {u"COD"_s, 1}};
        QCOMPARE(scalar(db.results, u"select count(*) from SADCCtry"_s), 13);
        QCOMPARE(scalar(db.results, u"select count(*) from SADCCtry where CountryAbr not in "
                                    u"(select CountryAbr from Country)"_s),
                 0);
        for (const QString &table : {u"AreaBound"_s, u"SADCBound"_s}) {
            int points = 0;
            for (auto it = rings.cbegin(); it != rings.cend(); ++it) {
                QList<QList<QPointF>> found{{}};
                int expectedSequence = 1;
                QSqlQuery q = db.results.exec(u"select BoundarySequence, Longitude, Latitude from %1 "
                                              u"where CountryAbr = ? order by BoundarySequence"_s.arg(table),
                                              {it.key()});
                while (q.next()) {
                    QCOMPARE(q.value(0).toInt(), expectedSequence++);
                    const QPointF p(q.value(1).toDouble(), q.value(2).toDouble());
                    if (p.x() == 0 && p.y() == 0)
                        found.append(QList<QPointF>());
                    else
                        found.last().append(p);
                }
                QVERIFY2(found.size() == it.value(), qPrintable(table + u' ' + it.key()));
                for (const QList<QPointF> &ring : found) {
                    QVERIFY(ring.size() >= 4);
                    QCOMPARE(ring.first(), ring.last());
                    points += int(ring.size());
                }
            }
            QCOMPARE(points, 3863);
        }
    }

    void kvtoolRefusesASecondRun()
    {
        const auto run = [](const QStringList &args, QString *err = nullptr, QString *out = nullptr) {
            QProcess process;
            process.start(QStringLiteral(KV_KVTOOL), args);
            if (!process.waitForFinished(120000))
                return -1;
            if (err)
                *err = QString::fromUtf8(process.readAllStandardError());
            if (out)
                *out = QString::fromUtf8(process.readAllStandardOutput());
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        QString err, out;
        QCOMPARE(run({u"demo"_s}, &err), 0);
        QCOMPARE(run({u"demo"_s}, &err), 1);
        QVERIFY2(err.contains(u"exists already"_s), qPrintable(err));
        QCOMPARE(run({u"demo"_s, u"--if-missing"_s}, &err, &out), 0);
        QCOMPARE(err, QString());
        QCOMPARE(out, QString());
        // The refused run left the demo as it was.
        Connection results(u"check"_s);
        results.bind(defaultLocations().results);
        results.open();
        QCOMPARE(scalar(results, u"select count(*) from IsoRgr30"_s), 618);
        results.close();
        QCOMPARE(run({u"demo"_s, u"--force"_s}, &err), 0);
        QCOMPARE(run({u"demo"_s, u"--if-missing"_s, u"--force"_s}, &err), 0);
    }

    void syntheticRecords_data() { test::addBackendRows(); }
    void syntheticRecords()
    {
        QFETCH(QString, backend);
        Databases db(backend);
        const SyntheticSummary summary = writeSyntheticData(db.results, 500);
        QCOMPARE(summary.records, 500);
        QCOMPARE(scalar(db.results, u"select count(*) from IsoRgr30"_s), 500);
        QCOMPARE(scalar(db.results, nineTableJoin), 500);
        const auto recordsWith = [&db](const QString &table) {
            return scalar(db.results, u"select count(distinct RecordID) from %1"_s.arg(table));
        };
        QCOMPARE(recordsWith(u"SmpReg"_s), 500);
        for (const QString &table : {u"IsoStatistics"_s, u"SourceA"_s, u"Grouping"_s})
            QVERIFY2(recordsWith(table) > 350, qPrintable(table));
        QVERIFY(recordsWith(u"IsoInit"_s) > 200);
        QVERIFY(scalar(db.results, u"select count(*) from SmpData"_s) > 0);
        QCOMPARE(scalar(db.results,
                        u"select count(*) from SmpReg where SampleNo not in (select SampleNo from SmpLoc)"_s),
                 0);
        QCOMPARE(scalar(db.results, u"select count(*) from IsoRgr30 where IAge < 0 or IAge > 4000000"_s), 0);
        QVERIFY(scalar(db.results, u"select count(distinct UnitName) from IsoRgr30"_s) > 50);
        // Fixed seed: a second database gets the same rows.
        Databases again(backend);
        writeSyntheticData(again.results, 500);
        const QString digest =
            u"select sum(IAge), sum(length(UnitName)), count(distinct Lithology) from IsoRgr30"_s;
        QSqlQuery a = db.results.exec(digest), b = again.results.exec(digest);
        QVERIFY(a.next() && b.next());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(a.value(i).toLongLong(), b.value(i).toLongLong());
    }

    void badSeedTextIsRefused()
    {
        // 0x81 is undefined in Windows-1252.
        QVERIFY_THROWS_EXCEPTION(InputError, decodeWindows1252(QByteArray("ab\x81"), u"x.csv"_s));
        QCOMPARE(decodeWindows1252(QByteArray("U\x96Pb \xb1 Kr\xf6ner"), u"x.csv"_s),
                 u"U\u2013Pb \u00b1 Kr\u00f6ner"_s);
        const QList<QStringList> rows = parseCsv(u"a,\"b,\"\"c\"\"\",\r\n1,2,\r\n"_s);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], (QStringList{u"a"_s, u"b,\"c\""_s, QString()}));
        QCOMPARE(rows[1], (QStringList{u"1"_s, u"2"_s, QString()}));
    }

private:
    test::TempFolders m_folders;
};

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demo_data.moc"
