// SPDX-License-Identifier: GPL-3.0-or-later
// Expected ages were computed with python3 and mpmath 1.3 at 30 to 40 digits: the linear model ages from
// T = ln(1 + (y - c0)/(x - c1))/λ (the CHUR model age of the literature), the quadratic one as the root of
// c0 + c1·t + c2·t² = y - x·(e^(λt) - 1) found by mpmath.findroot.
#include "calc/floating_point_error.h"
#include "calc/model_age.h"

#include <QTest>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;
using namespace kv::calc;

namespace {

// Sm-Nd: λ of 147Sm and the chondritic reservoir today.
constexpr double smLambda = 6.54e-12;
constexpr double churNd = 0.512638;
constexpr double churSmNd = 0.1967;

} // namespace

class TestModelAge : public QObject
{
    Q_OBJECT

private slots:
    void modelAge_data();
    void modelAge();
    void modelAgeFaults_data();
    void modelAgeFaults();
    void modelAgeError_data();
    void modelAgeError();
    void weightedMeanOfSamples_data();
    void weightedMeanOfSamples();
    void moreThanCapacity();
};

void TestModelAge::modelAge_data()
{
    QTest::addColumn<double>("lambda");
    QTest::addColumn<double>("c0");
    QTest::addColumn<double>("c1");
    QTest::addColumn<double>("c2");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected"); // Ma
    QTest::addColumn<double>("tolerance");

    QTest::newRow("linear") << smLambda << churNd << churSmNd << 0.0 << 0.5115 << 0.11 << 1993.93349315054602
                            << 1e-9;
    QTest::newRow("linear, sample on the reservoir")
        << smLambda << churNd << churSmNd << 0.0 << churNd << 0.11 << 0.0 << 0.0;
    // The sample's line never meets the reservoir (q = -1): no logarithm, age 0.
    QTest::newRow("linear, q not positive") << smLambda << 0.5 << 0.2 << 0.0 << 0.3 << 0.3 << 0.0 << 0.0;
    QTest::newRow("c0 = 0") << smLambda << 0.0 << churSmNd << 0.0 << 0.5115 << 0.11 << FailedModelAge << 0.0;
    QTest::newRow("c0 negative, quadratic")
        << smLambda << -0.5 << -1.4e-12 << 5e-23 << 0.5115 << 0.11 << FailedModelAge << 0.0;
    // No reservoir parent/daughter ratio: there is no line to meet, so no model age.
    QTest::newRow("linear, c1 = 0") << smLambda << churNd << 0.0 << 0.0 << 0.5115 << 0.11 << FailedModelAge
                                    << 0.0;
    QTest::newRow("linear, c1 negative")
        << smLambda << churNd << -0.1 << 0.0 << 0.5115 << 0.11 << FailedModelAge << 0.0;
    // Newton from 4.6 Ga takes five steps here; the last step moves less than 20000 years, and the
    // convergence is quadratic, so the age is far closer than that.
    QTest::newRow("quadratic") << smLambda << 0.51315 << -1.4e-12 << 5e-23 << 0.5115 << 0.11
                               << 3224.22988608156085 << 1e-6;
    // 1 + 1e-18·t² has no root: Newton wanders (it stays below 2e11 years) and gives up after 50 steps.
    QTest::newRow("quadratic without a root")
        << smLambda << 1.0 << 0.0 << 1e-18 << 0.0 << 0.0 << FailedModelAge << 0.0;
    // F'(4.6e9) = 2·c2·4.6e9 + c1 is exactly 0 with these powers of two: the iteration fails at once.
    QTest::newRow("zero derivative at the start")
        << smLambda << 1.0 << -4.6e9 * std::ldexp(1.0, -59) << std::ldexp(1.0, -60) << 0.5 << 0.0
        << FailedModelAge << 0.0;
}

void TestModelAge::modelAge()
{
    QFETCH(double, lambda);
    QFETCH(double, c0);
    QFETCH(double, c1);
    QFETCH(double, c2);
    QFETCH(double, y);
    QFETCH(double, x);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const double age = ModelAge(lambda, c0, c1, c2, y, x);
    QVERIFY2(std::fabs(age - expected) <= tolerance, qPrintable(QString::number(age, 'g', 17)));
}

void TestModelAge::modelAgeFaults_data()
{
    QTest::addColumn<double>("lambda");
    QTest::addColumn<double>("c0");
    QTest::addColumn<double>("c1");
    QTest::addColumn<double>("c2");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("x");

    QTest::newRow("x equal to the reservoir's ratio")
        << smLambda << churNd << churSmNd << 0.0 << 0.5115 << churSmNd;
    QTest::newRow("lambda 0, linear") << 0.0 << churNd << churSmNd << 0.0 << 0.5115 << 0.11;
    // e^(λt) overflows even extended precision at t = 4.6e9 when λ = 1e-5.
    QTest::newRow("exponential overflows") << 1e-5 << 0.51315 << -1.4e-12 << 5e-23 << 0.5115 << 0.11;
}

void TestModelAge::modelAgeFaults()
{
    QFETCH(double, lambda);
    QFETCH(double, c0);
    QFETCH(double, c1);
    QFETCH(double, c2);
    QFETCH(double, y);
    QFETCH(double, x);
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, ModelAge(lambda, c0, c1, c2, y, x));
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, ModelAgeError(lambda, c0, c1, c2, 1.96, 1e-5, y, 1e-3, x));
    // The next sample starts clean.
    QCOMPARE(ModelAge(smLambda, churNd, churSmNd, 0.0, churNd, 0.11), 0.0);
}

void TestModelAge::modelAgeError_data()
{
    QTest::addColumn<double>("sigmaY");
    QTest::addColumn<double>("sigmaX");
    QTest::addColumn<double>("expected"); // Ma, mpmath from the closed form

    QTest::newRow("given sigmas") << 0.00001 << 0.001 << 15.0936058908079855;
    // Sigmas that are not positive count as 0.00001.
    QTest::newRow("zero sigmas") << 0.0 << 0.0 << 47.6181794974881884;
    QTest::newRow("negative sigmas") << -1.0 << -0.5 << 47.6181794974881884;
}

void TestModelAge::modelAgeError()
{
    QFETCH(double, sigmaY);
    QFETCH(double, sigmaX);
    QFETCH(double, expected);
    const double error = ModelAgeError(smLambda, churNd, churSmNd, 0.0, 1.96, sigmaY, 0.5115, sigmaX, 0.11);
    QVERIFY2(std::fabs(error - expected) <= 1e-8, qPrintable(QString::number(error, 'g', 17)));
}

void TestModelAge::weightedMeanOfSamples_data()
{
    QTest::addColumn<QList<double>>("values"); // entries 1, 2, ...
    QTest::addColumn<QList<double>>("errors");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("internalError");
    QTest::addColumn<double>("externalError");
    QTest::addColumn<double>("mswd");
    QTest::addColumn<int>("count");

    const QList<double> two{100, 102};
    QTest::newRow("n = 0") << two << QList<double>{1, 1} << 0 << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("n negative") << two << QList<double>{1, 1} << -3 << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    // One sample: its error is both errors (the weighted mean of dates gives external 0 instead).
    QTest::newRow("n = 1") << two << QList<double>{3, 1} << 1 << 100.0 << 3.0 << 3.0 << 0.0 << 1;
    QTest::newRow("two identical") << QList<double>{250, 250} << QList<double>{1, 1} << 2 << 250.0
                                   << M_SQRT1_2 << 0.0 << 0.0 << 2;
    // Worked by hand: weights 1 and 1 in pass 1 (the zero error counts 1), then 2 and 2/3; see the dates
    // test.
    QTest::newRow("zero error") << two << QList<double>{0, 1} << 2 << 101.0 << M_SQRT1_2 << 1.0 << 2.0 << 2;
    // Only the first n entries count, whatever lies behind them.
    QTest::newRow("entries past n ignored")
        << QList<double>{10, 12, 14, 1e6} << QList<double>{1, 1, 2, 0} << 3 << 11.3333333333333333
        << 0.666666666666666667 << 0.987375508236472804 << 1.56327543424317618 << 3;
}

void TestModelAge::weightedMeanOfSamples()
{
    QFETCH(QList<double>, values);
    QFETCH(QList<double>, errors);
    QFETCH(int, n);
    QFETCH(double, mean);
    QFETCH(double, internalError);
    QFETCH(double, externalError);
    QFETCH(double, mswd);
    QFETCH(int, count);
    auto samples = std::make_unique<SampleArrays>();
    samples->SampleValues[0] = samples->SampleErrors[0] = 1e6; // index 0 is never read
    for (qsizetype i = 0; i < values.size(); ++i) {
        samples->SampleValues[i + 1] = values[i];
        samples->SampleErrors[i + 1] = errors[i];
    }
    const WeightedMean result = WeightedMeanOfSamples(*samples, n);
    QCOMPARE(result.n, count);
    QVERIFY2(std::fabs(result.mean - mean) <= 1e-12, qPrintable(QString::number(result.mean, 'g', 17)));
    QVERIFY2(std::fabs(result.internalError - internalError) <= 1e-12,
             qPrintable(QString::number(result.internalError, 'g', 17)));
    QVERIFY2(std::fabs(result.externalError - externalError) <= 1e-9,
             qPrintable(QString::number(result.externalError, 'g', 17)));
    QVERIFY2(std::fabs(result.mswd - mswd) <= 1e-9, qPrintable(QString::number(result.mswd, 'g', 17)));
}

void TestModelAge::moreThanCapacity()
{
    // Entries 1..1000 hold 1..1000 with error 1: their mean is 500.5, internal error 1/√1000, whatever
    // larger n the caller passes.
    auto samples = std::make_unique<SampleArrays>();
    for (int i = 1; i <= SampleArrays::Capacity; ++i) {
        samples->SampleValues[i] = i;
        samples->SampleErrors[i] = 1;
    }
    const WeightedMean all = WeightedMeanOfSamples(*samples, 1000);
    for (const int n : {1001, 5000}) {
        const WeightedMean capped = WeightedMeanOfSamples(*samples, n);
        QCOMPARE(capped.n, 1000);
        QCOMPARE(capped.mean, 500.5);
        QCOMPARE(capped.internalError, 1 / std::sqrt(1000.0));
        QCOMPARE(capped.mswd, all.mswd);
        QCOMPARE(capped.externalError, all.externalError);
    }
}

QTEST_GUILESS_MAIN(TestModelAge)
#include "tst_model_age.moc"
