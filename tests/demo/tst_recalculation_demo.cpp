// SPDX-License-Identifier: GPL-3.0-or-later
// The recalculations on the demo's lunar Rb-Sr and Sm-Nd samples, checked against a calculation written
// here from the published formulas and the seed files themselves, not from the database or the code.
#include "calc/york_fit.h"
#include "core/scripted_interaction.h"
#include "data/installation.h"
#include "demo/demo_data.h"
#include "main/recalculation.h"
#include "test_support.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

struct Row
{
    double x, sx, y, sy, r;
};

QList<Row> seed(const QString &file)
{
    QFile f(QStringLiteral(KV_SOURCE_DIR) + u"/data/demo/"_s + file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read the seed file");
    QList<Row> rows;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> c = lines[i].trimmed().split(',');
        if (c.size() < 4)
            continue;
        rows << Row{c[0].toDouble(), c[1].toDouble(), c[2].toDouble(), c[3].toDouble(),
                    c.size() > 4 ? c[4].toDouble() : 0.0};
    }
    return rows;
}

// Two-pass weighted mean: 1/e² weights, then 1/(e² + internal²); the larger error of the two.
std::pair<double, double> weightedMean(const QList<double> &x, const QList<double> &e)
{
    if (x.size() == 1)
        return {x[0], e[0]};
    double s0 = 0, s1 = 0;
    for (qsizetype i = 0; i < x.size(); ++i) {
        const double w = e[i] != 0 ? 1 / (e[i] * e[i]) : 1;
        s0 += w;
        s1 += w * x[i];
    }
    const double mean = s1 / s0, internal = 1 / std::sqrt(s0);
    double t0 = 0, t3 = 0;
    for (qsizetype i = 0; i < x.size(); ++i) {
        const double w = 1 / (e[i] * e[i] + internal * internal);
        t0 += w;
        t3 += w * (x[i] - mean) * (x[i] - mean);
    }
    const double external = std::sqrt(t3 / t0 / double(x.size() - 1));
    return {mean, std::max(internal, external)};
}

double linearModelAge(double x, double y, double lambda, double c0, double c1)
{
    const double q = (y - c0) / (x - c1) + 1;
    return q > 0 ? std::log(q) / lambda / 1e6 : 0;
}

struct Demo
{
    explicit Demo(const QString &backend) : resultsDb(backend), workingDb(backend)
    {
        createDatabases({resultsDb.location(), workingDb.location()}, false);
        results.bind(resultsDb.location());
        results.open();
        working.bind(workingDb.location());
        working.open();
        writeDemoData(results, working);
    }
    QVariant scalar(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q = results.exec(sql, values);
        return q.next() ? q.value(0) : QVariant();
    }
    // The demo record of a system, interpretation and approach.
    int record(const QString &system, const QString &interp, const QString &approach)
    {
        return scalar(u"select RecordID from IsoRgr30 where IsotopeSystem = ? and InterpAbr = ? and "
                      u"ApproachAbr = ?"_s,
                      {system, interp, approach})
            .toInt();
    }
    test::TestDatabase resultsDb, workingDb;
    Connection results{u"KVResults"_s}, working{u"KVtmp"_s};
};

} // namespace

class TestRecalculationDemo : public QObject
{
    Q_OBJECT

private slots:
    void initialRatio_data();
    void initialRatio();
    void modelAge_data() { test::addBackendRows(); }
    void modelAge();
    void isochron_data();
    void isochron();
};

void TestRecalculationDemo::initialRatio_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("lambda");
    QTest::addColumn<double>("urParent");
    QTest::addColumn<double>("urDaughter");
    for (const QString &b : test::backends()) {
        QTest::newRow(qPrintable(b + u": Rb-Sr, Ocean of Storms"_s))
            << b << u"RbSr"_s << u"RbSr1.csv"_s << 1.42e-11 << 0.0827 << 0.7045;
        QTest::newRow(qPrintable(b + u": Sm-Nd, basalt 75075"_s))
            << b << u"SmNd"_s << u"SmNd2.csv"_s << 6.54e-12 << 0.1967 << 0.512638;
    }
}

void TestRecalculationDemo::initialRatio()
{
    QFETCH(QString, backend);
    QFETCH(QString, system);
    QFETCH(QString, file);
    QFETCH(double, lambda);
    QFETCH(double, urParent);
    QFETCH(double, urDaughter);
    Demo demo(backend);
    const int id = demo.record(system, u"MdlR0"_s, u"MdlRa"_s);
    QVERIFY(id > 0);
    const double age = demo.scalar(u"select IAge from IsoRgr30 where RecordID = ?"_s, {id}).toInt() * 0.001;

    const double f = std::exp(lambda * age * 1e6) - 1;
    QList<double> ratios, errors;
    for (const Row &p : seed(file)) {
        const double r0 = p.y - f * p.x;
        if (r0 < 0)
            continue;
        const double g = -p.x * lambda * (f + 1);
        ratios << r0;
        errors << 1.96 * std::sqrt(p.sy * p.sy + f * f * p.sx * p.sx + g * g + 2 * f * p.r * p.sx * p.sy);
    }
    const auto [ratio, sigma] = weightedMean(ratios, errors);
    const double epsilon = (ratio / (urDaughter - f * urParent) - 1) * 10000;

    ScriptedInteraction ui;
    const QList<RecalculationOutcome> out =
        recalculateRecords(demo.results, ui, Recalculation::EpsilonGamma, RecalculationScope::AllRecords, {id});
    QCOMPARE(out.size(), 1);
    QVERIFY2(!out[0].stored.isEmpty(), qPrintable(out[0].line()));
    const auto near = [](double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; };
    const double storedRatio = demo.scalar(u"select InitRatio from IsoInit where RecordID = ?"_s, {id}).toDouble();
    QVERIFY2(near(storedRatio, ratio, 1e-12), qPrintable(QString::number(storedRatio, 'g', 15)));
    QVERIFY(near(demo.scalar(u"select InitRatioError from IsoInit where RecordID = ?"_s, {id}).toDouble(), sigma,
                 1e-12));
    QVERIFY(near(demo.scalar(u"select Epsilon from IsoInit where RecordID = ?"_s, {id}).toDouble(), epsilon, 1e-8));
    QCOMPARE(demo.scalar(u"select NSamples from IsoStatistics where RecordID = ?"_s, {id}).toInt(),
             int(ratios.size()));
    QCOMPARE(ui.messages(), QStringList{});
}

void TestRecalculationDemo::modelAge()
{
    QFETCH(QString, backend);
    Demo demo(backend);
    const int id = demo.record(u"SmNd"_s, u"CrsRs"_s, u"DM"_s);
    QVERIFY(id > 0);
    constexpr double lambda = 6.54e-12, c0 = 0.513151, c1 = 0.219; // DM of Liew & Hofmann (1988)
    QList<double> ages, errors;
    for (const Row &p : seed(u"SmNd2.csv"_s)) {
        const double a0 = linearModelAge(p.x, p.y, lambda, c0, c1);
        if (a0 < 0)
            continue;
        const double up = linearModelAge(p.x + 1.96 * p.sx, p.y + 1.96 * p.sy, lambda, c0, c1);
        const double down = linearModelAge(p.x - 1.96 * p.sx, p.y - 1.96 * p.sy, lambda, c0, c1);
        ages << a0;
        errors << std::sqrt((up - a0) * (up - a0) + (a0 - down) * (a0 - down) + 1e-6);
    }
    const auto [age, sigma] = weightedMean(ages, errors);

    ScriptedInteraction ui;
    const QList<RecalculationOutcome> out =
        recalculateRecords(demo.results, ui, Recalculation::ModelAge, RecalculationScope::AllRecords, {id});
    QVERIFY2(!out.value(0).stored.isEmpty(), qPrintable(out.value(0).line()));
    QCOMPARE(demo.scalar(u"select IAge from IsoRgr30 where RecordID = ?"_s, {id}).toInt(),
             int(std::nearbyint(age * 1000)));
    QCOMPARE(demo.scalar(u"select IAgePError from IsoRgr30 where RecordID = ?"_s, {id}).toInt(),
             int(std::nearbyint(sigma * 1000)));
    QCOMPARE(demo.scalar(u"select Model from IsoInit where RecordID = ?"_s, {id}).toString(), u"DM (Liew 1988)"_s);
    QCOMPARE(demo.scalar(u"select NSamples from IsoStatistics where RecordID = ?"_s, {id}).toInt(),
             int(ages.size()));
}

void TestRecalculationDemo::isochron_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("lambda");
    for (const QString &b : test::backends()) {
        QTest::newRow(qPrintable(b + u": Rb-Sr, Ocean of Storms"_s))
            << b << u"RbSr"_s << u"RbSr1.csv"_s << 1.42e-11;
        QTest::newRow(qPrintable(b + u": Sm-Nd, basalt 75075"_s))
            << b << u"SmNd"_s << u"SmNd2.csv"_s << 6.54e-12;
    }
}

void TestRecalculationDemo::isochron()
{
    // Every analysis of the publication is an included sample of the model-ratio record, its correlation
    // read where the file has one: the stored fit is the fit of the seed file.
    QFETCH(QString, backend);
    QFETCH(QString, system);
    QFETCH(QString, file);
    QFETCH(double, lambda);
    Demo demo(backend);
    const int id = demo.record(system, u"MdlR0"_s, u"MdlRa"_s);
    const int model = demo.record(u"SmNd"_s, u"CrsRs"_s, u"DM"_s);
    QVERIFY(id > 0 && model > 0);
    const int modelAge = demo.scalar(u"select IAge from IsoRgr30 where RecordID = ?"_s, {model}).toInt();
    QList<FitPoint> points;
    for (const Row &p : seed(file))
        points << FitPoint{p.x, p.y, p.sx, p.sy, p.r};
    const LineFit fit = yorkFit(points);
    const double age = std::log(1 + fit.slope) / lambda / 1e6;

    ScriptedInteraction ui;
    const QList<RecalculationOutcome> out = recalculateRecords(demo.results, ui, Recalculation::Isochron,
                                                               RecalculationScope::AllRecords, {id, model});
    QCOMPARE(out.size(), 2);
    QVERIFY2(!out[0].stored.isEmpty(), qPrintable(out[0].line()));
    QVERIFY2(out[1].stored.isEmpty(), qPrintable(out[1].line()));
    QCOMPARE(demo.scalar(u"select IAge from IsoRgr30 where RecordID = ?"_s, {id}).toInt(),
             qRound(age * 1000));
    QCOMPARE(demo.scalar(u"select IAge from IsoRgr30 where RecordID = ?"_s, {model}).toInt(), modelAge);
    const double ratio = demo.scalar(u"select InitRatio from IsoInit where RecordID = ?"_s, {id}).toDouble();
    QVERIFY(std::fabs(ratio - fit.intercept) <= 1e-12);
    QCOMPARE(demo.scalar(u"select DegFreedom from IsoStatistics where RecordID = ?"_s, {id}).toInt(),
             int(points.size()) - 2);
    QVERIFY(std::fabs(demo.scalar(u"select MSWD from IsoStatistics where RecordID = ?"_s, {id}).toDouble() -
                      *fit.mswd) <= 1e-9 * *fit.mswd);
    QCOMPARE(ui.messages(), QStringList{});
}

QTEST_GUILESS_MAIN(TestRecalculationDemo)
#include "tst_recalculation_demo.moc"
