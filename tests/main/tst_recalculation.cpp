// SPDX-License-Identifier: GPL-3.0-or-later
// Edit > Recalculate (epsilon/gamma, model ages), the raw isotope data panel and the decay-constant
// conversion, on small real databases (SQLite, and PostgreSQL when a test server is given). Expected
// values are worked out here from the formulas, not by the routines under test.
#include "calc/york_fit.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "main/recalculation.h"
#include "main/sample_datasets.h"
#include "test_support.h"

#include <QSqlQuery>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

constexpr double lambda = 6.54e-12;
constexpr double urParent = 0.1967, urDaughter = 0.512638, urScale = 10000;
constexpr double dmC1 = 0.219, dmC0 = 0.513151;

// One sample: "Y|N x sx y sy [xt yt r]" (xt, yt 1 for percent errors).
struct Sample
{
    bool included = true;
    double x = 0, sx = 0, y = 0, sy = 0, xt = 0, yt = 0, r = 0;
};

QList<Sample> parseSamples(const QString &spec)
{
    QList<Sample> samples;
    for (const QString &part : spec.split(u';', Qt::SkipEmptyParts)) {
        const QStringList w = part.simplified().split(u' ');
        Sample s;
        s.included = w.value(0) == u"Y"_s;
        const auto at = [&](int i) { return w.value(i, u"0"_s).toDouble(); };
        s.x = at(1);
        s.sx = at(2);
        s.y = at(3);
        s.sy = at(4);
        s.xt = at(5);
        s.yt = at(6);
        s.r = at(7);
        samples << s;
    }
    return samples;
}

struct Fixture
{
    explicit Fixture(const QString &backend) : results(backend), working(backend), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        Connection &c = dm.KVResults;
        Transaction t(c);
        const QString system = u"insert into IsoSystem (IsoSystem, IsoSystemName, DecayConst1) values (?, ?, ?)"_s;
        c.exec(system, {u"TSm"_s, u"Test samarium"_s, lambda});
        c.exec(system, {u"TQuad"_s, u"Quadratic reservoir"_s, lambda});
        c.exec(system, {u"TNeg"_s, u"No constant term"_s, lambda});
        c.exec(system, {u"TNoRoot"_s, u"No root"_s, lambda});
        c.exec(system, {u"TSlow"_s, u"Very slow decay"_s, 1e-16});
        for (const QString &s : {u"TSm"_s, u"TQuad"_s, u"TNeg"_s, u"TNoRoot"_s, u"TSlow"_s})
            c.exec(u"insert into IsoUR (IsoSystem, URparam1, URparam2, URparam3) values (?, ?, ?, ?)"_s,
                   {s, urParent, urDaughter, urScale});
        const QString model = u"insert into IsoModels (IsoSystem, ModelID, ModelParam1, ModelParam2, "
                              u"ModelParam3, ModelName) values (?, 'DM', ?, ?, ?, ?)"_s;
        c.exec(model, {u"TSm"_s, 0.0, dmC1, dmC0, u"DM (Liew 1988)"_s});
        c.exec(model, {u"TQuad"_s, 5e-23, -1.4e-12, 0.51315, u"Quadratic DM"_s});
        c.exec(model, {u"TNeg"_s, 0.0, dmC1, 0.0, u"Zero DM"_s});
        c.exec(model, {u"TNoRoot"_s, 1e-18, 0.0, 1.0, u"Rootless DM"_s});
        c.exec(model, {u"TSlow"_s, 0.0, dmC1, dmC0, u"Slow DM"_s});
        // The roles of every system's approaches name the same variables, except approach "Iso",
        // where X and Y swap: a value must be read through the record's own approach.
        const QString roles = u"insert into SysVarData (IsoSystem, ApproachAbr, XX, YY, X, Xerr, Xerrt, Y, "
                              u"Yerr, Yerrt, R) values (?, ?, '147Sm/144Nd', '143Nd/144Nd', ?, 'VXe', 'VXt', ?, "
                              u"'VYe', 'VYt', 'VR')"_s;
        for (const QString &s : {u"TSm"_s, u"TQuad"_s, u"TNeg"_s, u"TNoRoot"_s, u"TSlow"_s}) {
            for (const QString &a : {u"MdlRa"_s, u"DM"_s, u"CHUR"_s})
                c.exec(roles, {s, a, u"VX"_s, u"VY"_s});
            c.exec(roles, {s, u"Iso"_s, u"VY"_s, u"VX"_s});
        }
        for (const auto &[id, name] : {std::pair{u"VX"_s, u"147Sm/144Nd"_s}, std::pair{u"VY"_s, u"143Nd/144Nd"_s},
                                       std::pair{u"VXe"_s, u"147Sm/144Nd error"_s},
                                       std::pair{u"VYe"_s, u"143Nd/144Nd error"_s},
                                       std::pair{u"VXt"_s, u"147Sm/144Nd error type"_s},
                                       std::pair{u"VYt"_s, u"143Nd/144Nd error type"_s},
                                       std::pair{u"VR"_s, u"Error correlation"_s}})
            c.exec(u"insert into VarVar (VariableID, VariableName) values (?, ?)"_s, {id, name});
        t.commit();
    }

    // A record with its samples; the values go in with a normalising factor of 2 over half the value,
    // so that a value read without its factor shows.
    void addRecord(int id, const QString &system, const QString &interp, const QString &approach, double age,
                   const QList<Sample> &samples)
    {
        Connection &c = dm.KVResults;
        c.exec(u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, Lithology, MethodAbr, MaterialAbr, "
               u"IsotopeSystem, ApproachAbr, InterpAbr, AgeUnits, IAge, IAgePError, IAgeMError, DecayConst1) "
               u"values (?, 'UND', 'UNDEFINED', 'Not defined', 'R', 'nd', ?, ?, ?, 'Ma', ?, 1000, 1000, ?)"_s,
               {id, system, approach, interp, qRound(age * 1000), lambda});
        int n = 0;
        for (const Sample &s : samples) {
            const QString sampleNo = u"S%1-%2"_s.arg(id).arg(++n);
            c.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values (?, ?, ?, 'wr', ?)"_s,
                   {id, system, sampleNo, s.included ? u"Y"_s : u"N"_s});
            const QList<std::pair<QString, double>> values{{u"VX"_s, s.x},   {u"VXe"_s, s.sx}, {u"VXt"_s, s.xt},
                                                           {u"VY"_s, s.y},   {u"VYe"_s, s.sy}, {u"VYt"_s, s.yt},
                                                           {u"VR"_s, s.r}};
            for (const auto &[variable, value] : values) {
                const bool flag = variable.endsWith(u't');
                c.exec(u"insert into SmpData (SampleNo, Frac, IsoSystem, VariableID, DataValue, "
                       u"NormalisingFactor) values (?, 'wr', ?, ?, ?, ?)"_s,
                       {sampleNo, system, variable, flag ? value : value / 2, flag ? 1.0 : 2.0});
            }
        }
    }
    void query(const QString &condition)
    {
        dm.Query1->close();
        dm.Query1->setSql({u"select * from isorgr30"_s, u"where "_s + condition, u"order by RecordID"_s});
        dm.openShared();
    }
    QVariant scalar(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q = dm.KVResults.exec(sql, values);
        return q.next() ? q.value(0) : QVariant();
    }
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
};

// The model initial ratio of one sample and its 1.96-sigma error, from the formulas.
std::pair<double, double> initialRatio(const Sample &s, double ageMa)
{
    const double f = std::exp(lambda * ageMa * 1e6) - 1;
    double sx = s.xt == 1 ? s.sx * s.x / 100 : s.sx, sy = s.yt == 1 ? s.sy * s.y / 100 : s.sy;
    const double g = -s.x * lambda * (f + 1);
    return {s.y - f * s.x, 1.96 * std::sqrt(sy * sy + f * f * sx * sx + g * g + 2 * f * s.r * sx * sy)};
}

double epsilonOf(double ratio, double ageMa)
{
    const double f = std::exp(lambda * ageMa * 1e6) - 1;
    return (ratio / (urDaughter - f * urParent) - 1) * urScale;
}

// The linear depleted-mantle model age in Ma.
double dmAge(double x, double y, double decay = lambda)
{
    return std::log((y - dmC0) / (x - dmC1) + 1) / decay / 1e6;
}

QString field(const RecalculationOutcome &o, const QString &name)
{
    for (const auto &[f, v] : o.stored)
        if (f == name)
            return v.isNull() ? u"<null>"_s : v.toString();
    return {};
}

QStringList storedNames(const RecalculationOutcome &o)
{
    QStringList names;
    for (const auto &p : o.stored)
        names << p.first;
    return names;
}

const Sample good{true, 0.15, 0.0005, 0.5125, 0.00001, 0, 0, 0.3};

} // namespace

class TestRecalculation : public QObject
{
    Q_OBJECT

private slots:
    void epsilon_data();
    void epsilon();
    void modelAge_data();
    void modelAge();
    void isochron_data();
    void isochron();
    void allRecordsIsOneTransaction_data();
    void allRecordsIsOneTransaction();
    void readFailureEndsTheRun_data() { test::addBackendRows(); }
    void readFailureEndsTheRun();
    void manyRecordsEachStored_data() { test::addBackendRows(); }
    void manyRecordsEachStored();
    void textsStoredAsWritten_data() { test::addBackendRows(); }
    void textsStoredAsWritten();
    void moreThanAThousandSamples_data() { test::addBackendRows(); }
    void moreThanAThousandSamples();
    void rawDataPanel_data() { test::addBackendRows(); }
    void rawDataPanel();
    void decayConversion_data();
    void decayConversion();
};

void TestRecalculation::epsilon_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("interp");
    QTest::addColumn<QString>("approach");
    QTest::addColumn<double>("age");
    QTest::addColumn<QVariant>("storedRatio"); // null: no IsoInit row
    QTest::addColumn<QString>("samples");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("stored");   // the fields written
    QTest::addColumn<int>("keptSample");       // 1-based sample whose ratio is stored, 0 none
    QTest::addColumn<QStringList>("messages"); // %R stands for the new ratio as the question shows it

    const QString one = u"Y 0.15 0.0005 0.5125 0.00001 0 0 0.3"_s;
    const QStringList all{u"InitRatio"_s, u"InitRatioError"_s, u"Epsilon"_s, u"EpsilonError"_s, u"NReg"_s,
                          u"NSamples"_s};
    const QString question = u"question: Recalculated value differs from original value. Store new value (%R)? %A"_s;
    for (const QString &b : test::backends()) {
        const auto row = [&](const char *name) { return &QTest::newRow(qPrintable(b + u": "_s + QString::fromUtf8(name))); };
        *row("one sample MdlR0/MdlRa, no stored row") << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant() << one
                                                      << true << false << all << 1 << QStringList{};
        *row("stored ratio 0 is overwritten unasked") << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant(0.0)
                                                      << one << true << false << all << 1 << QStringList{};
        *row("stored ratio asks, No keeps it") << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant(0.5069)
                                               << one << true << false << QStringList{} << 0 << QStringList{question};
        *row("stored ratio asks, Yes stores") << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant(0.5069) << one
                                              << true << true << all << 1 << QStringList{question};
        *row("all records: stored without asking")
            << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant(0.5069) << one << false << false << all << 1
            << QStringList{};
        // excluded, zero error (skipped), negative initial ratio (dropped), then the one that counts
        *row("skipped and dropped samples")
            << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant()
            << u"N 0.15 0.0005 0.5125 0.00001; Y 0.15 0 0.5125 0.00001; Y 30 0.01 0.51 0.00001; "
               u"Y 0.12 0.4 0.5110 0.002 1 1 0"_s
            << true << false << all << 4 << QStringList{};
        *row("no sample qualifies") << b << u"MdlR0"_s << u"MdlRa"_s << 3850.0 << QVariant()
                                    << u"Y 0.15 0 0.5125 0.00001"_s << true << false << QStringList{} << 0
                                    << QStringList{};
        *row("MdlR0 with another approach") << b << u"MdlR0"_s << u"DM"_s << 3850.0 << QVariant() << one << true
                                            << false << QStringList{} << 0 << QStringList{};
        // At 200 Ga the reservoir's ratio is below 0: the ratio is stored, no epsilon.
        *row("reservoir ratio not positive")
            << b << u"MdlR0"_s << u"MdlRa"_s << 200000.0 << QVariant() << u"Y 0.01 0.0001 0.9 0.0001"_s << true
            << false << all << 1
            << QStringList{u"warning: No epsilon value for record 7: the reservoir ratio at 200000.000 Ma is "
                           u"not positive."_s};
        // Another interpretation: the stored ratio stays, its epsilon is recalculated.
        *row("other interpretation, stored ratio") << b << u"Empl"_s << u"Iso"_s << 1000.0 << QVariant(0.5108)
                                                   << QString() << true << true
                                                   << QStringList{u"Epsilon"_s, u"EpsilonError"_s} << 0
                                                   << QStringList{u"question: Recalculated value differs from "
                                                                  u"original value. Store new value? %A"_s};
        *row("other interpretation, no stored ratio") << b << u"Empl"_s << u"Iso"_s << 1000.0 << QVariant(0.0)
                                                      << QString() << true << true << QStringList{} << 0
                                                      << QStringList{};
    }
}

void TestRecalculation::epsilon()
{
    QFETCH(QString, backend);
    QFETCH(QString, interp);
    QFETCH(QString, approach);
    QFETCH(double, age);
    QFETCH(QVariant, storedRatio);
    QFETCH(QString, samples);
    QFETCH(bool, single);
    QFETCH(bool, yes);
    QFETCH(QStringList, stored);
    QFETCH(int, keptSample);
    QFETCH(QStringList, messages);

    Fixture fx(backend);
    const QList<Sample> list = parseSamples(samples);
    fx.addRecord(7, u"TSm"_s, interp, approach, age, list);
    fx.addRecord(8, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 1.0, {}); // no samples: nothing, no message
    if (!storedRatio.isNull())
        fx.dm.KVResults.exec(u"insert into IsoInit (RecordID, InitRatio, InitRatioError) values (7, ?, 0.0002)"_s,
                             {storedRatio});
    fx.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    RecalculationOutcome o;
    if (single) {
        fx.query(u"RecordID = 7"_s);
        o = recalculateThisRecord(fx.dm, fx.ui, Recalculation::EpsilonGamma);
    } else {
        fx.query(u"RecordID in (7, 8)"_s);
        const QList<RecalculationOutcome> all = recalculateAllRecords(fx.dm, fx.ui, Recalculation::EpsilonGamma);
        QCOMPARE(all.size(), 2);
        QVERIFY(all[1].stored.isEmpty());
        o = all[0];
        QCOMPARE(fx.ui.texts(u"busy"_s), QStringList{u"This will take a long time ...."_s});
    }
    QCOMPARE(storedNames(o), stored);

    // The question shows the ratio of the first sample (the one sample of the rows that ask).
    const double ratio = list.isEmpty() ? 0 : initialRatio(list[0], age).first;
    if (keptSample > 0) {
        const auto [r0, e0] = initialRatio(list[keptSample - 1], age);
        QCOMPARE(fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble(), r0);
        QVERIFY(std::fabs(fx.scalar(u"select InitRatioError from IsoInit where RecordID = 7"_s).toDouble() - e0) <
                1e-12);
        QCOMPARE(fx.scalar(u"select NSamples from IsoStatistics where RecordID = 7"_s).toInt(), 1);
        QCOMPARE(fx.scalar(u"select NReg from IsoStatistics where RecordID = 7"_s).toDouble(), 1.0);
        // One sample leaves the MSWD as it was (here: none).
        QVERIFY(fx.scalar(u"select MSWD from IsoStatistics where RecordID = 7"_s).isNull());
        const QVariant epsilon = fx.scalar(u"select Epsilon from IsoInit where RecordID = 7"_s);
        if (age < 10000) {
            QVERIFY(std::fabs(epsilon.toDouble() - epsilonOf(r0, age)) < 1e-9);
            QVERIFY(std::fabs(fx.scalar(u"select EpsilonError from IsoInit where RecordID = 7"_s).toDouble() -
                              urScale * e0 / r0) < 1e-9);
        } else {
            QVERIFY(epsilon.isNull());
        }
    } else if (stored.contains(u"Epsilon"_s)) {
        // The stored ratio is never replaced, least of all by zero.
        QCOMPARE(fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble(), 0.5108);
        QVERIFY(std::fabs(fx.scalar(u"select Epsilon from IsoInit where RecordID = 7"_s).toDouble() -
                          epsilonOf(0.5108, age)) < 1e-9);
        QVERIFY(std::fabs(fx.scalar(u"select EpsilonError from IsoInit where RecordID = 7"_s).toDouble() -
                          urScale * 0.0002 / 0.5108) < 1e-9);
    } else if (!storedRatio.isNull()) {
        QCOMPARE(fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble(), storedRatio.toDouble());
        QVERIFY(fx.scalar(u"select Epsilon from IsoInit where RecordID = 7"_s).isNull());
    } else {
        QVERIFY(fx.scalar(u"select count(*) from IsoInit"_s).toInt() == 0);
    }
    QStringList expected;
    for (const QString &m : std::as_const(messages))
        expected << QString(m)
                        .replace(u"%R"_s, QString::number(ratio, 'f', 6))
                        .replace(u"%A"_s, yes ? u"[Yes]"_s : u"[No]"_s);
    QCOMPARE(fx.ui.messages(), expected);
}

void TestRecalculation::modelAge_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("interp");
    QTest::addColumn<double>("storedAge");
    QTest::addColumn<QString>("samples");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<double>("expectedAge"); // Ma; 0 when nothing is stored
    QTest::addColumn<QStringList>("messages");

    const double linear = dmAge(0.12, 0.5115);
    const QString one = u"Y 0.12 0.0006 0.5115 0.00001"_s;
    const QString ask = u"question: Recalculated value differs from original value. Store new value (%1)? [Yes]"_s;
    const QString askNo = u"question: Recalculated value differs from original value. Store new value (%1)? [No]"_s;
    for (const QString &b : test::backends()) {
        const auto row = [&](const char *name) { return &QTest::newRow(qPrintable(b + u": "_s + QString::fromUtf8(name))); };
        *row("linear, asked and stored") << b << u"TSm"_s << u"CrsRs"_s << 1000.0 << one << true << true << linear
                                         << QStringList{ask.arg(linear, 0, 'f', 3)};
        *row("linear, answered No") << b << u"TSm"_s << u"CrsRs"_s << 1000.0 << one << true << false << 0.0
                                    << QStringList{askNo.arg(linear, 0, 'f', 3)};
        *row("all records: unasked") << b << u"TSm"_s << u"CrsRs"_s << 1000.0 << one << false << false << linear
                                     << QStringList{};
        *row("within 0.1 % of the stored age") << b << u"TSm"_s << u"CrsRs"_s << linear * 1.0009 << one << true
                                               << true << 0.0 << QStringList{};
        *row("just beyond 0.1 %") << b << u"TSm"_s << u"CrsRs"_s << linear * 1.0012 << one << true << true
                                  << linear << QStringList{ask.arg(linear, 0, 'f', 3)};
        *row("quadratic model") << b << u"TQuad"_s << u"CrsRs"_s << 1000.0 << u"Y 0.11 0.0005 0.5115 0.00001"_s
                                << false << false << 3224.22988608156085 << QStringList{};
        *row("c0 not positive") << b << u"TNeg"_s << u"CrsRs"_s << 1000.0 << one << true << true << 0.0
                                << QStringList{};
        *row("Newton gives up after 50 steps") << b << u"TNoRoot"_s << u"CrsRs"_s << 1000.0
                                               << u"Y 0.000001 0.0000001 0.5 0.00001"_s << true << true << 0.0
                                               << QStringList{};
        *row("not a crustal residence age") << b << u"TSm"_s << u"Empl"_s << 1000.0 << one << true << true << 0.0
                                            << QStringList{};
        *row("age beyond the field") << b << u"TSlow"_s << u"CrsRs"_s << 1000.0 << one << true << true << 0.0
                                     << QStringList{u"warning: The model age of record 7 (%1 Ma) cannot be "
                                                    u"stored: its value in thousandths of a Ma does not fit the "
                                                    u"age field."_s.arg(dmAge(0.12, 0.5115, 1e-16), 0, 'f', 3)};
    }
}

void TestRecalculation::modelAge()
{
    QFETCH(QString, backend);
    QFETCH(QString, system);
    QFETCH(QString, interp);
    QFETCH(double, storedAge);
    QFETCH(QString, samples);
    QFETCH(bool, single);
    QFETCH(bool, yes);
    QFETCH(double, expectedAge);
    QFETCH(QStringList, messages);

    Fixture fx(backend);
    fx.addRecord(7, system, interp, u"DM"_s, storedAge, parseSamples(samples));
    fx.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    fx.query(u"RecordID = 7"_s);
    const int before = fx.scalar(u"select IAge from IsoRgr30 where RecordID = 7"_s).toInt();
    QStringList log;
    const RecalculationOutcome o =
        single ? recalculateThisRecord(fx.dm, fx.ui, Recalculation::ModelAge, &log)
               : recalculateAllRecords(fx.dm, fx.ui, Recalculation::ModelAge, &log).value(0);
    const int after = fx.scalar(u"select IAge from IsoRgr30 where RecordID = 7"_s).toInt();
    if (expectedAge > 0) {
        QCOMPARE(after, int(std::nearbyint(expectedAge * 1000)));
        QCOMPARE(field(o, u"IAge"_s).toInt(), after);
        QCOMPARE(fx.scalar(u"select IAgePError from IsoRgr30 where RecordID = 7"_s),
                 fx.scalar(u"select IAgeMError from IsoRgr30 where RecordID = 7"_s));
        QCOMPARE(fx.scalar(u"select Model from IsoInit where RecordID = 7"_s).toString().isEmpty(), false);
        QCOMPARE(fx.scalar(u"select NSamples from IsoStatistics where RecordID = 7"_s).toInt(), 1);
    } else {
        QCOMPARE(after, before);
        QVERIFY(o.stored.isEmpty());
        QVERIFY(!o.reason.isEmpty());
        QCOMPARE(fx.scalar(u"select count(*) from IsoInit"_s).toInt(), 0);
    }
    QCOMPARE(fx.ui.messages(), messages);
    if (interp == u"CrsRs"_s) {
        QCOMPARE(log.value(0).startsWith(u"Starting sample "_s), true);
        QVERIFY(log.filter(u"Starting to read data"_s).size() == 1);
    }
}

void TestRecalculation::isochron_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("interp");
    QTest::addColumn<QString>("approach");
    QTest::addColumn<QString>("samples");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("reason");  // empty: stored
    QTest::addColumn<QString>("message"); // the first message shown, up to its end or to "%"
    // About 1000 Ma (f = 0.00656), scattered a little; one sample excluded and far off the line, one with
    // percent errors (0.3 % and 0.002 %), one with an error correlation.
    const QString line = u"Y 0.10 0.0005 0.511660 0.00001; N 0.12 0.0005 0.6 0.00001; "
                         u"Y 0.15 0.3 0.511980 0.002 1 1; Y 0.20 0.0005 0.512316 0.00001 0 0 0.4; "
                         u"Y 0.25 0.0005 0.512640 0.00001"_s;
    const QString two = u"Y 0.10 0.0005 0.511660 0.00001; N 0.15 0.0005 0.511980 0.00001; "
                        u"Y 0.20 0.0005 0.512316 0.00001; Y 0.25 0 0.512640 0.00001"_s;
    for (const QString &b : test::backends()) {
        const auto row = [&](const QString &name) -> QTestData & {
            return QTest::newRow(qPrintable(b + u": "_s + name));
        };
        row(u"all records"_s) << b << u"MdlR0"_s << u"MdlRa"_s << line << false << false << QString()
                              << QString();
        row(u"approach Iso reads its own roles"_s)
            << b << u"Empl"_s << u"Iso"_s << line << false << false << QString() << QString();
        row(u"one record, Yes"_s) << b << u"Empl"_s << u"MdlRa"_s << line << true << true << QString()
                                  << u"question: Isochron of 4 samples: age %"_s;
        row(u"one record, No"_s) << b << u"Empl"_s << u"MdlRa"_s << line << true << false << u"answered No"_s
                                 << u"question: Isochron of 4 samples: age %"_s;
        row(u"two usable samples"_s)
            << b << u"Empl"_s << u"MdlRa"_s << two << true << true << u"at least three included samples"_s
            << u"warning: No isochron age for record 7: an isochron needs at least three "
               u"included samples with values and errors, and the record has 2."_s;
        row(u"model age left alone"_s)
            << b << u"CrsRs"_s << u"DM"_s << line << false << true << u"not an isochron age"_s << QString();
    }
}

void TestRecalculation::isochron()
{
    QFETCH(QString, backend);
    QFETCH(QString, interp);
    QFETCH(QString, approach);
    QFETCH(QString, samples);
    QFETCH(bool, single);
    QFETCH(bool, yes);
    QFETCH(QString, reason);
    QFETCH(QString, message);

    Fixture fx(backend);
    QList<Sample> list = parseSamples(samples);
    // The expected fit, from the samples as given: percent errors made absolute, excluded ones left out.
    QList<FitPoint> points;
    for (const Sample &s : std::as_const(list))
        if (s.included && s.sx > 0 && s.sy > 0)
            points << FitPoint{s.x, s.y, s.xt == 1 ? s.sx * s.x / 100 : s.sx,
                               s.yt == 1 ? s.sy * s.y / 100 : s.sy, s.r};
    // Approach Iso of the fixture reads X from the variable the others read Y from (and the errors alike).
    if (approach == u"Iso"_s)
        for (Sample &s : list)
            std::swap(s.x, s.y);
    fx.addRecord(7, u"TSm"_s, interp, approach, 1000, list);
    fx.dm.KVResults.exec(
        u"insert into IsoInit (RecordID, InitRatio, InitRatioError) values (7, 0.5110, 0.0002)"_s);
    fx.ui.setDefaultAnswer(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    fx.query(u"RecordID = 7"_s);
    const RecalculationOutcome o =
        single ? recalculateThisRecord(fx.dm, fx.ui, Recalculation::Isochron)
               : recalculateAllRecords(fx.dm, fx.ui, Recalculation::Isochron).value(0);
    const QStringList messages = fx.ui.messages();
    if (message.isEmpty()) {
        QCOMPARE(messages, QStringList{});
    } else {
        QVERIFY(!messages.isEmpty());
        QVERIFY2(messages[0].startsWith(message.section(u'%', 0, 0)), qPrintable(messages[0]));
    }
    if (!reason.isEmpty()) {
        QVERIFY2(o.stored.isEmpty() && o.reason.contains(reason), qPrintable(o.line()));
        QCOMPARE(fx.scalar(u"select IAge from IsoRgr30 where RecordID = 7"_s).toInt(), 1000000);
        QCOMPARE(fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble(), 0.5110);
        QCOMPARE(fx.scalar(u"select count(*) from IsoStatistics"_s).toInt(), 0);
        return;
    }
    QVERIFY2(!o.stored.isEmpty(), qPrintable(o.line()));
    const LineFit fit = yorkFit(points);
    const double f = fit.slope, age = std::log1p(f) / lambda / 1e6;
    const double ageError = 1.96 * fit.slopeError / (lambda * (1 + f)) / 1e6;
    QCOMPARE(fx.scalar(u"select IAge from IsoRgr30 where RecordID = 7"_s).toInt(), qRound(age * 1000));
    QCOMPARE(fx.scalar(u"select IAgePError from IsoRgr30 where RecordID = 7"_s).toInt(),
             qRound(ageError * 1000));
    QCOMPARE(fx.scalar(u"select IAgeMError from IsoRgr30 where RecordID = 7"_s).toInt(),
             qRound(ageError * 1000));
    const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::fabs(b); };
    const double ratio = fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble();
    QVERIFY2(near(ratio, fit.intercept), qPrintable(QString::number(ratio, 'g', 15)));
    QVERIFY(near(fx.scalar(u"select InitRatioError from IsoInit where RecordID = 7"_s).toDouble(),
                 1.96 * fit.interceptError));
    const double reservoir = urDaughter - f * urParent;
    QVERIFY(near(fx.scalar(u"select Epsilon from IsoInit where RecordID = 7"_s).toDouble(),
                 (fit.intercept / reservoir - 1) * urScale));
    QVERIFY(near(fx.scalar(u"select MSWD from IsoStatistics where RecordID = 7"_s).toDouble(), *fit.mswd));
    QVERIFY(near(fx.scalar(u"select ProbOfFit from IsoStatistics where RecordID = 7"_s).toDouble(),
                 *fit.probability));
    QCOMPARE(fx.scalar(u"select DegFreedom from IsoStatistics where RecordID = 7"_s).toInt(), 2);
    QCOMPARE(fx.scalar(u"select NSamples from IsoStatistics where RecordID = 7"_s).toInt(), 4);
    if (single) {
        // The question sets the new values beside the stored ones.
        QVERIFY2(messages[0].contains(u"(stored 1000.000 Ma)"_s) &&
                     messages[0].contains(u"(stored 0.511000 \u00b1 0.000200)"_s) &&
                     messages[0].contains(u"age %1 \u00b1"_s.arg(qRound(age * 1000) * 0.001, 0, 'f', 3)),
                 qPrintable(messages[0]));
    }
}

void TestRecalculation::allRecordsIsOneTransaction_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<Recalculation>("what");
    for (const QString &b : test::backends()) {
        QTest::newRow(qPrintable(b + u": epsilon"_s)) << b << Recalculation::EpsilonGamma;
        QTest::newRow(qPrintable(b + u": isochron"_s)) << b << Recalculation::Isochron;
    }
}

void TestRecalculation::allRecordsIsOneTransaction()
{
    QFETCH(QString, backend);
    QFETCH(Recalculation, what);
    Fixture fx(backend);
    // Three samples on an isochron near 1000 Ma; the epsilon command takes their mean model ratio.
    const QList<Sample> samples =
        parseSamples(u"Y 0.10 0.0005 0.511656 0.00001; Y 0.15 0.0005 0.511984 0.00001; "
                     u"Y 0.20 0.0005 0.512312 0.00001"_s);
    fx.addRecord(7, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, samples);
    fx.addRecord(8, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, samples);
    // 7 has its statistics row and is written by updates; 8 needs a new one, which the server refuses.
    fx.dm.KVResults.exec(u"insert into IsoStatistics (RecordID, MSWD) values (7, 1.5)"_s);
    if (fx.dm.KVResults.backend() == Backend::SQLite) {
        fx.dm.KVResults.exec(u"create trigger refuse before insert on IsoStatistics begin "
                             u"select raise(abort, 'refused'); end"_s);
    } else {
        fx.dm.KVResults.exec(u"create function refuse() returns trigger language plpgsql as "
                             u"$$ begin raise exception 'refused'; end $$"_s);
        fx.dm.KVResults.exec(u"create trigger refuse before insert on IsoStatistics for each row "
                             u"execute function refuse()"_s);
    }
    fx.query(u"RecordID in (7, 8)"_s);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, recalculateAllRecords(fx.dm, fx.ui, what));
    QCOMPARE(fx.scalar(u"select count(*) from IsoInit"_s).toInt(), 0);
    QVERIFY(fx.scalar(u"select NSamples from IsoStatistics where RecordID = 7"_s).isNull());
    QCOMPARE(fx.scalar(u"select count(*) from IsoRgr30 where IAge = 3850000"_s).toInt(), 2);
    QVERIFY(!fx.ui.isBusy());
}

void TestRecalculation::readFailureEndsTheRun()
{
    // The samples are read beside the writing: a table the reading needs, gone, ends the run with the
    // database's message, nothing stored, and no reader left waiting.
    QFETCH(QString, backend);
    Fixture fx(backend);
    fx.addRecord(7, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, {good});
    fx.query(u"RecordID = 7"_s);
    fx.dm.KVResults.exec(u"drop table SysVarData"_s);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, recalculateAllRecords(fx.dm, fx.ui, Recalculation::EpsilonGamma));
    QCOMPARE(fx.scalar(u"select count(*) from IsoInit"_s).toInt(), 0);
    QVERIFY(!fx.ui.isBusy());
}

void TestRecalculation::manyRecordsEachStored()
{
    // More records than one write batch holds, half of them editing rows they have and half adding rows.
    QFETCH(QString, backend);
    Fixture fx(backend);
    constexpr int n = 1203;
    fx.dm.KVResults.begin();
    for (int id = 1; id <= n; ++id) {
        fx.addRecord(id, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, {good});
        if (id % 2)
            fx.dm.KVResults.exec(u"insert into IsoStatistics (RecordID, MSWD) values (?, 1.5)"_s, {id});
    }
    fx.dm.KVResults.commit();
    fx.query(u"RecordID > 0"_s);
    const QList<RecalculationOutcome> all = recalculateAllRecords(fx.dm, fx.ui, Recalculation::EpsilonGamma);
    QCOMPARE(all.size(), n);
    QCOMPARE(fx.scalar(u"select count(*) from IsoInit"_s).toInt(), n);
    QCOMPARE(fx.scalar(u"select count(*) from IsoStatistics where NSamples = 1"_s).toInt(), n);
    QCOMPARE(fx.scalar(u"select count(*) from IsoStatistics"_s).toInt(), n);
    const double expected = initialRatio(good, 3850).first;
    for (int id : {1, 500, 501, 1000, n})
        QVERIFY(std::fabs(fx.scalar(u"select InitRatio from IsoInit where RecordID = ?"_s, {id}).toDouble() -
                          expected) < 1e-12);
}

void TestRecalculation::textsStoredAsWritten()
{
    // The batched writes carry texts in array literals: quotes, backslashes, commas and braces in a model
    // name are stored as they are, for a row edited and a row added.
    QFETCH(QString, backend);
    Fixture fx(backend);
    const QString name = u"\"DM\", {a\\b} 'x'"_s;
    fx.dm.KVResults.exec(u"update IsoModels set ModelName = ? where IsoSystem = 'TSm'"_s, {name});
    const Sample sample{true, 0.12, 0.0006, 0.5115, 0.00001};
    fx.addRecord(7, u"TSm"_s, u"CrsRs"_s, u"DM"_s, 1000, {sample});
    fx.addRecord(8, u"TSm"_s, u"CrsRs"_s, u"DM"_s, 1000, {sample});
    fx.dm.KVResults.exec(u"insert into IsoInit (RecordID, Model) values (8, 'old')"_s);
    fx.query(u"RecordID > 0"_s);
    QCOMPARE(recalculateAllRecords(fx.dm, fx.ui, Recalculation::ModelAge).size(), 2);
    for (int id : {7, 8})
        QCOMPARE(fx.scalar(u"select Model from IsoInit where RecordID = ?"_s, {id}).toString(), name);
}

void TestRecalculation::moreThanAThousandSamples()
{
    QFETCH(QString, backend);
    Fixture fx(backend);
    // 1000 samples of one ratio and a 1001st of another: the mean moves only if the last one counts.
    QList<Sample> samples(1000, good);
    Sample last = good;
    last.y = 0.5135;
    samples << last;
    fx.dm.KVResults.begin();
    fx.addRecord(7, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, samples);
    fx.dm.KVResults.commit();
    fx.query(u"RecordID = 7"_s);
    const RecalculationOutcome o = recalculateThisRecord(fx.dm, fx.ui, Recalculation::EpsilonGamma);
    QCOMPARE(field(o, u"NSamples"_s), u"1001"_s);
    const double r0 = initialRatio(good, 3850).first, r1 = initialRatio(last, 3850).first;
    // equal errors: the plain mean
    const double expected = (1000 * r0 + r1) / 1001;
    QVERIFY(std::fabs(fx.scalar(u"select InitRatio from IsoInit where RecordID = 7"_s).toDouble() - expected) < 1e-12);
}

void TestRecalculation::rawDataPanel()
{
    QFETCH(QString, backend);
    Fixture fx(backend);
    fx.addRecord(7, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, {good, Sample{false, 0.2, 0.001, 0.513, 0.00002}});
    fx.addRecord(8, u"TSm"_s, u"MdlR0"_s, u"Iso"_s, 3850, {good});
    fx.addRecord(9, u"TSm"_s, u"MdlR0"_s, u"MdlRa"_s, 3850, {});
    TdmSmp smp(fx.dm);

    fx.query(u"RecordID = 7"_s);
    RawDataPanel p = readRawDataPanel(fx.dm, smp);
    QCOMPARE(p.systemName, u"Test samarium"_s);
    QCOMPARE(p.XX, u"147Sm/144Nd"_s);
    QCOMPARE(p.samples.size(), 2);
    QCOMPARE(p.samples[1].Included, u"N"_s);
    const RawDataRow &x = p.samples[0].rows[0];
    QCOMPARE(x.role, u"X"_s);
    QCOMPARE(x.variableName, u"147Sm/144Nd"_s);
    // one row each, the stored value with its factor
    QCOMPARE(x.value.toDouble(), good.x / 2);
    QCOMPARE(x.factor.toDouble(), 2.0);
    QCOMPARE(p.samples[1].rows[3].value.toDouble(), 0.513 / 2);
    CloseSampleDataSets(fx.dm, smp, fx.ui);
    UnbindRawDataPanel(smp);

    // Approach "Iso" gives X the variable that is Y elsewhere.
    fx.query(u"RecordID = 8"_s);
    p = readRawDataPanel(fx.dm, smp);
    QCOMPARE(p.samples.size(), 1);
    QCOMPARE(p.samples[0].rows[0].variableName, u"143Nd/144Nd"_s);
    QCOMPARE(p.samples[0].rows[0].value.toDouble(), good.y / 2);
    CloseSampleDataSets(fx.dm, smp, fx.ui);

    fx.query(u"RecordID = 9"_s);
    p = readRawDataPanel(fx.dm, smp);
    QVERIFY(p.samples.isEmpty());
    QCOMPARE(p.systemName, u"Test samarium"_s);
    CloseSampleDataSets(fx.dm, smp, fx.ui);
    QCOMPARE(fx.ui.messages(), QStringList{});

    // The set reads of the recalculations take the same roles.
    const QList<RecalculationInput> in = readRecalculationInputs(fx.dm.KVResults, {8, 7});
    QCOMPARE(in.size(), 2);
    QCOMPARE(in[0].RecordID, 7);
    QCOMPARE(in[0].samples.size(), 2);
    QCOMPARE(*in[0].samples[0].X, good.x);
    QCOMPARE(*in[1].samples[0].X, good.y);
}

void TestRecalculation::decayConversion_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("system");
    QTest::addColumn<double>("recordConstant");
    QTest::addColumn<QVariant>("second");
    QTest::addColumn<int>("expectedIAge");
    for (const QString &b : test::backends()) {
        const auto row = [&](const char *name) { return &QTest::newRow(qPrintable(b + u": "_s + QString::fromUtf8(name))); };
        *row("1000 Ma at +2 %") << b << u"TSm"_s << lambda * 1.02 << QVariant() << 1020000;
        *row("already current") << b << u"TSm"_s << lambda << QVariant() << 1000000;
        *row("second constant") << b << u"TSm"_s << lambda * 1.02 << QVariant(1e-10) << 1000000;
        *row("unknown system") << b << u"TNone"_s << lambda * 1.02 << QVariant() << 1000000;
        *row("no record constant") << b << u"TSm"_s << 0.0 << QVariant() << 1000000;
        *row("zero current constant") << b << u"TZero"_s << lambda * 1.02 << QVariant() << 1000000;
    }
}

void TestRecalculation::decayConversion()
{
    QFETCH(QString, backend);
    QFETCH(QString, system);
    QFETCH(double, recordConstant);
    QFETCH(QVariant, second);
    QFETCH(int, expectedIAge);
    Fixture fx(backend);
    fx.dm.KVResults.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName, DecayConst1) values ('TZero', 'Zero', 0)"_s);
    fx.addRecord(7, system, u"Empl"_s, u"Iso"_s, 1000, {});
    fx.dm.KVResults.exec(u"update IsoRgr30 set DecayConst1 = ?, DecayConst2 = ?, IAgePError = 4321 where RecordID = 7"_s,
                         {recordConstant, second.isNull() ? QVariant(QMetaType::fromType<double>()) : second});
    fx.query(u"RecordID = 7"_s);
    const DecayConversion d = convertToCurrentDecayConstants(fx.dm, fx.ui);
    QCOMPARE(d.converted, expectedIAge != 1000000);
    QVERIFY(d.converted || !d.reason.isEmpty());
    QCOMPARE(fx.scalar(u"select IAge from IsoRgr30 where RecordID = 7"_s).toInt(), expectedIAge);
    QCOMPARE(fx.scalar(u"select IAgePError from IsoRgr30 where RecordID = 7"_s).toInt(), 4321);
    QCOMPARE(fx.scalar(u"select DecayConst1 from IsoRgr30 where RecordID = 7"_s).toDouble(),
             d.converted ? lambda : recordConstant);
    QCOMPARE(fx.ui.messages(), QStringList{});
}

QTEST_GUILESS_MAIN(TestRecalculation)
#include "tst_recalculation.moc"
