// SPDX-License-Identifier: GPL-3.0-or-later
// Expected values marked "mpmath" were computed with python3 and mpmath 1.3 at 30 digits
// (mpmath.betainc(..., regularized=True) for the incomplete beta and F tails, mpmath.loggamma,
// findroot on the t distribution function); "table" values come from printed tables of the t and F
// distributions; the rest were worked out by hand from the weights.
#include "calc/floating_point_error.h"
#include "calc/statistics.h"
#include "core/scripted_interaction.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace kv::calc;

namespace {

const QString betaiRange = u"Input parameter for betai out of range"_s;
const QString betacfSlow = u"Error in betacf. a or b too big, or itmax too small"_s;

bool closeTo(double actual, double expected, double tolerance)
{
    return std::fabs(actual - expected) <= tolerance;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void normalDensity_data();
    void normalDensity();
    void logGamma_data();
    void logGamma();
    void incompleteBeta_data();
    void incompleteBeta();
    void continuedFractionThatDoesNotConverge();
    void fProbability_data();
    void fProbability();
    void studentT95_data();
    void studentT95();
    void chiSquareUpperTail_data();
    void chiSquareUpperTail();
    void weightedMeanOfAges_data();
    void weightedMeanOfAges();
    void floatingPointFaults();
};

void TestStatistics::normalDensity_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");

    QTest::newRow("at the mean") << 5.0 << 5.0 << 1.0 << 0.398942280401432678 << 1e-15;
    QTest::newRow("one half sigma out, sigma 2")
        << 1.0 << 0.0 << 2.0 << 0.176032663382149739 << 1e-15; // mpmath
    QTest::newRow("sigma 0") << 5.0 << 5.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("negative sigma") << 5.0 << 5.0 << -1.0 << -0.398942280401432678 << 1e-15;
    // With a tiny sigma the density just inside z² = 2000 is still representable, so the cut shows:
    // z = 44.72 (z² = 1999.9) gives exp(-z²/2)/(√(2π)σ) = 2.151955404363e-135 (mpmath), z = 44.73 gives 0.
    QTest::newRow("z squared just below 2000")
        << 44.72e-300 << 0.0 << 1e-300 << 2.15195540436306564e-135 << 1e-144;
    QTest::newRow("z squared just above 2000") << 44.73e-300 << 0.0 << 1e-300 << 0.0 << 0.0;
    QTest::newRow("far out") << 1e300 << 0.0 << 1.0 << 0.0 << 0.0;
}

void TestStatistics::normalDensity()
{
    QFETCH(double, x);
    QFETCH(double, mean);
    QFETCH(double, sigma);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const double value = NormalDensity(x, mean, sigma);
    QVERIFY2(closeTo(value, expected, tolerance), qPrintable(QString::number(value, 'g', 17)));
    if (expected == 0)
        QCOMPARE(value, 0.0); // exactly 0, not a denormal
}

void TestStatistics::logGamma_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected"); // mpmath

    QTest::newRow("0.5") << 0.5 << 0.572364942924700087;
    QTest::newRow("1") << 1.0 << 0.0;
    QTest::newRow("3") << 3.0 << 0.693147180559945309;
    QTest::newRow("10.5") << 10.5 << 13.9406252194037636;
    QTest::newRow("100") << 100.0 << 359.134205369575399;
}

void TestStatistics::logGamma()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    // The six-term series is good to about 2e-10.
    const double value = LogGamma(x);
    QVERIFY2(closeTo(value, expected, 1e-9), qPrintable(QString::number(value, 'g', 17)));
}

void TestStatistics::incompleteBeta_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QStringList>("messages");

    // I_0.4(2, 3) = 0.5248 exactly (a polynomial for integer a and b).
    QTest::newRow("2, 3 at 0.4") << 2.0 << 3.0 << 0.4 << 0.5248 << QStringList();
    QTest::newRow("0.5, 0.5 at 0.3") << 0.5 << 0.5 << 0.3 << 0.369010119565545375 << QStringList(); // mpmath
    QTest::newRow("10, 2 at 0.9, upper side") << 10.0 << 2.0 << 0.9 << 0.6973568802 << QStringList();
    QTest::newRow("1, 1 is the identity") << 1.0 << 1.0 << 0.25 << 0.25 << QStringList();
    QTest::newRow("x = 0") << 2.0 << 3.0 << 0.0 << 0.0 << QStringList();
    QTest::newRow("x = 1") << 2.0 << 3.0 << 1.0 << 1.0 << QStringList();
    QTest::newRow("a = 0 at x = 0") << 0.0 << 3.0 << 0.0 << 1.0 << QStringList();
    QTest::newRow("x = 1.5") << 2.0 << 3.0 << 1.5 << 0.0 << QStringList{betaiRange};
    QTest::newRow("x slightly negative") << 2.0 << 3.0 << -1e-12 << 0.0 << QStringList{betaiRange};
}

void TestStatistics::incompleteBeta()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, x);
    QFETCH(double, expected);
    QFETCH(QStringList, messages);
    kv::ScriptedInteraction ui;
    const double value = IncompleteBeta(a, b, x, ui);
    // The continued fraction stops at a relative change of 3e-7.
    QVERIFY2(closeTo(value, expected, 1e-6), qPrintable(QString::number(value, 'g', 17)));
    QCOMPARE(ui.texts(u"message"_s), messages);
}

void TestStatistics::continuedFractionThatDoesNotConverge()
{
    // With a and b in the millions the fraction needs about √a terms, far more than its 100.
    kv::ScriptedInteraction ui;
    const double value = IncompleteBeta(1e6, 1e6, 0.5, ui);
    QCOMPARE(ui.texts(u"message"_s), QStringList{betacfSlow});
    QVERIFY(std::isfinite(value)); // the routine carries on with what it has
    ui.clear();
    const double fraction = BetaContinuedFraction(1e6, 1e6, 0.5, ui);
    QCOMPARE(ui.texts(u"message"_s), QStringList{betacfSlow});
    QVERIFY(std::isfinite(fraction));
}

void TestStatistics::fProbability_data()
{
    QTest::addColumn<double>("df1");
    QTest::addColumn<double>("df2");
    QTest::addColumn<double>("f");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");

    QTest::newRow("9, 999, MSWD 1") << 9.0 << 999.0 << 1.0 << 0.438101736301224513 << 1e-7;      // mpmath
    QTest::newRow("9, 999, MSWD 2") << 9.0 << 999.0 << 2.0 << 0.0363263566092007864 << 1e-8;     // mpmath
    QTest::newRow("27, 999, MSWD 1.5") << 27.0 << 999.0 << 1.5 << 0.0491290067736434313 << 1e-8; // mpmath
    QTest::newRow("3, 7 below the mean") << 3.0 << 7.0 << 0.5 << 0.694036387568813724 << 1e-7;   // mpmath
    // 5% points of the F distribution (table): F(1, 10) = 4.96, F(5, 20) = 2.71, to the table's 3 digits.
    QTest::newRow("table F(1, 10) 5%") << 1.0 << 10.0 << 4.96 << 0.05 << 2e-4;
    QTest::newRow("table F(5, 20) 5%") << 5.0 << 20.0 << 2.71 << 0.05 << 2e-4;
    QTest::newRow("f = 0") << 9.0 << 999.0 << 0.0 << 1.0 << 0.0;
    QTest::newRow("MSWD rounded below 0")
        << 9.0 << 999.0 << -0.001 << 0.999999999999468118 << 1e-9; // as +0.001
    QTest::newRow("one date: df1 = 0") << 0.0 << 999.0 << 0.0 << 1.0 << 0.0;
}

void TestStatistics::fProbability()
{
    QFETCH(double, df1);
    QFETCH(double, df2);
    QFETCH(double, f);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    kv::ScriptedInteraction ui;
    const double value = FProbability(df1, df2, f, ui);
    QVERIFY2(closeTo(value, expected, tolerance), qPrintable(QString::number(value, 'g', 17)));
    QVERIFY(ui.messages().isEmpty());
}

void TestStatistics::studentT95_data()
{
    QTest::addColumn<double>("df");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");

    // Exact 97.5% quantiles (mpmath; the same as a t table's 4.303, 2.571, 2.228, 2.042, 1.962); the
    // approximation is good to about 5e-4 for df >= 2 (the table's last digit).
    QTest::newRow("1") << 1.0 << 12.706 << 0.0;
    QTest::newRow("2") << 2.0 << 4.30265272974946385 << 1e-3;
    QTest::newRow("5") << 5.0 << 2.57058183563631551 << 1e-3;
    QTest::newRow("10") << 10.0 << 2.22813885198627475 << 1e-3;
    QTest::newRow("30") << 30.0 << 2.04227245630123831 << 1e-3;
    QTest::newRow("999") << 999.0 << 1.96234146113344998 << 1e-3;
    QTest::newRow("0") << 0.0 << 1.96 << 0.0;
    QTest::newRow("negative") << -3.0 << 1.96 << 0.0;
    // Below 1 the denominator turns negative near df = 0.07: the result is its absolute value
    // (1/|0.11085·0.05² - 0.00765·0.05 - 0.02446·0.05³| = 9222.3272542826, python3).
    QTest::newRow("0.05") << 0.05 << 9222.3272542826 << 1e-6;
}

void TestStatistics::studentT95()
{
    QFETCH(double, df);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const double value = StudentT95(df);
    QVERIFY2(closeTo(value, expected, tolerance), qPrintable(QString::number(value, 'g', 17)));
}

// Reference values from the closed forms: even dof, exp(-x/2) times the partial exponential series
// (50-digit decimal arithmetic); dof 1 and 3, erfc(sqrt(x/2)) (plus sqrt(2x/pi) exp(-x/2) for 3).
void TestStatistics::chiSquareUpperTail_data()
{
    QTest::addColumn<double>("chi2");
    QTest::addColumn<double>("dof");
    QTest::addColumn<double>("expected");
    QTest::newRow("dof 2, exp(-1)") << 2.0 << 2.0 << 0.36787944117144232;
    QTest::newRow("dof 4 tail") << 10.0 << 4.0 << 0.040427681994512803;
    QTest::newRow("dof 100 far tail") << 150.0 << 100.0 << 9.0393204235400909e-4;
    QTest::newRow("dof 100 near 1") << 60.0 << 100.0 << 0.99948110853745197;
    QTest::newRow("dof 20 tiny chi2") << 0.5 << 20.0 << 0.99999999999979058;
    QTest::newRow("dof 40 middle") << 39.0 << 40.0 << 0.51514425331406268;
    QTest::newRow("dof 1, 5 %") << 3.841458820694124 << 1.0 << 0.05000000000000008;
    QTest::newRow("dof 1 tail") << 9.0 << 1.0 << 0.0026997960632601913;
    QTest::newRow("dof 1 small") << 0.01 << 1.0 << 0.920344325445942;
    QTest::newRow("dof 3") << 5.0 << 3.0 << 0.17179714429673315;
    QTest::newRow("zero chi2") << 0.0 << 7.0 << 1.0;
}

void TestStatistics::chiSquareUpperTail()
{
    QFETCH(double, chi2);
    QFETCH(double, dof);
    QFETCH(double, expected);
    const double value = ChiSquareUpperTail(chi2, dof);
    QVERIFY2(std::fabs(value - expected) <= 1e-13 * expected,
             qPrintable(QString::number(value, 'g', 17)));
}

void TestStatistics::weightedMeanOfAges_data()
{
    QTest::addColumn<QList<double>>("ages");
    QTest::addColumn<QList<double>>("sigmas");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("internalError");
    QTest::addColumn<double>("externalError");
    QTest::addColumn<double>("mswd");
    QTest::addColumn<int>("n");

    QTest::newRow("none") << QList<double>{} << QList<double>{} << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("one date") << QList<double>{100} << QList<double>{2} << 100.0 << 2.0 << 0.0 << 0.0 << 1;
    QTest::newRow("two identical") << QList<double>{250, 250} << QList<double>{1, 1} << 250.0 << M_SQRT1_2
                                   << 0.0 << 0.0 << 2;
    // Pass 1 weighs the σ = 0 date 1: mean 101, internal 1/√2. Pass 2 weighs 2 and 2/3:
    // T0 = 8/3, T1 = 268, T2 = 26936, T3 = 8/3, so MSWD = 26936 - 268²·3/8 = 2 and external = 1.
    QTest::newRow("sigma 0") << QList<double>{100, 102} << QList<double>{0, 1} << 101.0 << M_SQRT1_2 << 1.0
                             << 2.0 << 2;
    // Exact rational arithmetic in python3 (fractions) for pass 1, mpmath for pass 2.
    QTest::newRow("three dates") << QList<double>{10, 12, 14} << QList<double>{1, 1, 2} << 11.3333333333333333
                                 << 0.666666666666666667 << 0.987375508236472804 << 1.56327543424317618 << 3;
}

void TestStatistics::weightedMeanOfAges()
{
    QFETCH(QList<double>, ages);
    QFETCH(QList<double>, sigmas);
    QList<AgeSigma> dates;
    for (qsizetype i = 0; i < ages.size(); ++i)
        dates.append({ages[i], sigmas[i]});
    QFETCH(double, mean);
    QFETCH(double, internalError);
    QFETCH(double, externalError);
    QFETCH(double, mswd);
    QFETCH(int, n);
    const WeightedMean result = WeightedMeanOfAges(dates);
    QCOMPARE(result.n, n);
    QVERIFY2(closeTo(result.mean, mean, 1e-12), qPrintable(QString::number(result.mean, 'g', 17)));
    QVERIFY2(closeTo(result.internalError, internalError, 1e-12),
             qPrintable(QString::number(result.internalError, 'g', 17)));
    // MSWD and external error come from differences of sums: allow for the rounding in them.
    QVERIFY2(closeTo(result.externalError, externalError, 1e-9),
             qPrintable(QString::number(result.externalError, 'g', 17)));
    QVERIFY2(closeTo(result.mswd, mswd, 1e-9), qPrintable(QString::number(result.mswd, 'g', 17)));
}

void TestStatistics::floatingPointFaults()
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    kv::ScriptedInteraction ui;
    // The density at the mean of σ = 1e-320 is 4e319: more than a double holds.
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, NormalDensity(0, 0, 1e-320));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, NormalDensity(nan, 0, 1));
    // Γ has a pole at 0 and the series goes wrong below it.
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, LogGamma(0));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, LogGamma(-1.5));
    // 0/0 for x when both degrees of freedom and f are 0.
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, FProbability(0, 0, 0, ui));
    // A negative a: the incomplete beta function has no meaning there.
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, IncompleteBeta(-1, 2, 0.5, ui));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, StudentT95(nan));
    // No degrees of freedom (a single date) or a negative sum of squares has no chi-square tail.
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, ChiSquareUpperTail(1, 0));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, ChiSquareUpperTail(-1, 3));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, ChiSquareUpperTail(nan, 3));
    const QList<AgeSigma> overflowing{{1e300, 1e-300}, {2e300, 1e-300}};
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, WeightedMeanOfAges(overflowing));
    const QList<AgeSigma> notANumber{{100, 1}, {nan, 1}};
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, WeightedMeanOfAges(notANumber));
    // A fault leaves nothing behind for the next call.
    QCOMPARE(NormalDensity(0, 0, 1), 0.398942280401432678);
    QCOMPARE(WeightedMeanOfAges(QList<AgeSigma>{{1, 1}, {1, 1}}).n, 2);
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
