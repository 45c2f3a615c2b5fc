// SPDX-License-Identifier: GPL-3.0-or-later
// The conventional MSWD and the random-effects mean against calculations written here: the chi-square
// tail from its closed forms (erfc and a finite series), the maximum of the likelihood by a grid search
// that zooms in on the best point, and the errors from a finite-difference Hessian of the likelihood.
#include "calc/dispersion.h"

#include <QFile>
#include <QTest>
#include <cmath>
#include <numbers>
#include <vector>

using namespace Qt::StringLiterals;
using namespace kv::calc;

using Dates = std::vector<AgeSigma>;
Q_DECLARE_METATYPE(Dates)

namespace {

// The 28 ages of fixtures/calc/average.csv.
Dates average()
{
    QFile file(QStringLiteral(KV_FIXTURES_DIR) + u"/calc/average.csv"_s);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("average.csv is missing");
    Dates dates;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        if (fields.size() == 2)
            dates.push_back({fields[0].toDouble(), fields[1].toDouble()});
    }
    return dates;
}

// Upper tail of chi-square with k degrees of freedom: for even k a Poisson sum, for odd k erfc and a
// series in sqrt(x).
double chiSquareTail(double x, int k)
{
    if (k % 2 == 0) {
        double term = 1, sum = 1;
        for (int j = 1; j < k / 2; ++j)
            sum += term *= x / 2 / j;
        return std::exp(-x / 2) * sum;
    }
    double term = std::sqrt(2 * x / std::numbers::pi) * std::exp(-x / 2), sum = 0;
    for (int j = 1; j <= (k - 1) / 2; ++j) {
        sum += term;
        term *= x / (2 * j + 1);
    }
    return std::erfc(std::sqrt(x / 2)) + sum;
}

double logLikelihood(const Dates &dates, double mu, double omega)
{
    double sum = 0;
    for (const AgeSigma &d : dates) {
        const double v = d.sigma * d.sigma + omega * omega;
        sum += -0.5 * (std::log(v) + (d.age - mu) * (d.age - mu) / v);
    }
    return sum;
}

struct Fit
{
    double mu, omega, muError, omegaError;
};

// Grid search over (μ, ω >= 0), 41 x 41 points, shrinking the grid around its best point.
Fit bruteForce(const Dates &dates)
{
    double lo = dates[0].age, hi = dates[0].age, sigma = 0;
    for (const AgeSigma &d : dates) {
        lo = std::min(lo, d.age);
        hi = std::max(hi, d.age);
        sigma = std::max(sigma, d.sigma);
    }
    double mu = (lo + hi) / 2, omega = 0;
    double muHalf = (hi - lo) / 2 + sigma, omegaHalf = hi - lo + sigma;
    for (int round = 0; round < 60; ++round) {
        double best = -INFINITY, bestMu = mu, bestOmega = omega;
        for (int i = -20; i <= 20; ++i)
            for (int j = -20; j <= 20; ++j) {
                const double m = mu + muHalf * i / 20;
                const double o = std::max(0.0, omega + omegaHalf * j / 20);
                const double l = logLikelihood(dates, m, o);
                if (l > best) {
                    best = l;
                    bestMu = m;
                    bestOmega = o;
                }
            }
        mu = bestMu;
        omega = bestOmega;
        muHalf *= 0.6;
        omegaHalf *= 0.6;
    }
    // Minus the Hessian by central differences (the likelihood is even in ω, so this holds at ω = 0 too).
    const double hm = 1e-4 * (muHalf / 0.6 + sigma), ho = 1e-4 * (sigma + omega);
    const auto l = [&](double dm, double dw) { return logLikelihood(dates, mu + dm, omega + dw); };
    const double a = -(l(hm, 0) - 2 * l(0, 0) + l(-hm, 0)) / (hm * hm);
    const double c = -(l(0, ho) - 2 * l(0, 0) + l(0, -ho)) / (ho * ho);
    const double b = -(l(hm, ho) - l(hm, -ho) - l(-hm, ho) + l(-hm, -ho)) / (4 * hm * ho);
    const double det = a * c - b * b;
    return {mu, omega, std::sqrt(c / det), std::sqrt(a / det)};
}

} // namespace

class TestDispersion : public QObject
{
    Q_OBJECT

private slots:
    void conventionalMswd_data();
    void conventionalMswd();
    void randomEffects_data();
    void randomEffects();
    void equalErrorsHaveAClosedForm();
    void notDefined_data();
    void notDefined();
};

void TestDispersion::conventionalMswd_data()
{
    QTest::addColumn<Dates>("dates");
    QTest::newRow("average.csv") << average();
    QTest::newRow("two dates") << Dates{{100, 1}, {103, 2}};
    QTest::newRow("equal errors") << Dates{{10, 0.5}, {11, 0.5}, {12.5, 0.5}, {9, 0.5}};
    QTest::newRow("no scatter") << Dates{{250, 2}, {250, 3}, {250, 1}};
    QTest::newRow("far too much scatter") << Dates{{100, 0.1}, {200, 0.1}, {300, 0.1}, {150, 0.1}};
}

void TestDispersion::conventionalMswd()
{
    QFETCH(Dates, dates);
    double s0 = 0, s1 = 0;
    for (const AgeSigma &d : dates) {
        s0 += 1 / (d.sigma * d.sigma);
        s1 += d.age / (d.sigma * d.sigma);
    }
    const double mean = s1 / s0;
    double chi2 = 0;
    for (const AgeSigma &d : dates)
        chi2 += std::pow((d.age - mean) / d.sigma, 2);
    const int dof = int(dates.size()) - 1;

    const ConventionalMswd result = ConventionalMswdOfAges(dates);
    QVERIFY(result.defined);
    QCOMPARE(result.dof, dof);
    QVERIFY(std::fabs(result.mean - mean) <= 1e-12 * std::fabs(mean));
    QVERIFY(std::fabs(result.mswd - chi2 / dof) <= 1e-12 * std::max(1.0, chi2));
    const double p = chiSquareTail(chi2, dof);
    QVERIFY2(std::fabs(result.pChi2 - p) <= 1e-12 + 1e-9 * p,
             qPrintable(u"p %1, expected %2"_s.arg(result.pChi2, 0, 'g', 15).arg(p, 0, 'g', 15)));
    // The first pass's MSWD reads higher than the two-pass figure of the system when there is scatter.
    if (chi2 > 0)
        QVERIFY(result.mswd > WeightedMeanOfAges(dates).mswd);
}

void TestDispersion::randomEffects_data()
{
    QTest::addColumn<Dates>("dates");
    QTest::addColumn<bool>("overdispersed");
    QTest::newRow("average.csv") << average() << true;
    QTest::newRow("strong scatter, unequal errors")
        << Dates{{100, 1}, {110, 2}, {95, 0.5}, {130, 5}, {104, 1}, {99, 3}} << true;
    QTest::newRow("two dates far apart") << Dates{{100, 1}, {110, 2}} << true;
    QTest::newRow("less scatter than the errors") << Dates{{100, 5}, {101, 5}, {99, 4}, {100.5, 6}} << false;
    QTest::newRow("no scatter") << Dates{{250, 2}, {250, 3}, {250, 1}} << false;
}

void TestDispersion::randomEffects()
{
    QFETCH(Dates, dates);
    QFETCH(bool, overdispersed);
    const Fit expected = bruteForce(dates);
    const RandomEffectsMean result = RandomEffectsMeanOfAges(dates);
    QVERIFY(result.defined);
    QCOMPARE(result.n, int(dates.size()));
    QCOMPARE(result.dispersion > 0, overdispersed);
    const QString text = u"mu %1 omega %2 (%3 %4), errors %5 %6 (%7 %8)"_s.arg(result.mean, 0, 'g', 12)
                             .arg(result.dispersion, 0, 'g', 12)
                             .arg(expected.mu, 0, 'g', 12)
                             .arg(expected.omega, 0, 'g', 12)
                             .arg(result.meanError, 0, 'g', 8)
                             .arg(result.dispersionError, 0, 'g', 8)
                             .arg(expected.muError, 0, 'g', 8)
                             .arg(expected.omegaError, 0, 'g', 8);
    QVERIFY2(std::fabs(result.mean - expected.mu) <= 1e-7 * std::fabs(expected.mu), qPrintable(text));
    QVERIFY2(std::fabs(result.dispersion - expected.omega) <= 1e-6 * (1 + expected.omega), qPrintable(text));
    QVERIFY2(std::fabs(result.meanError - expected.muError) <= 1e-4 * expected.muError, qPrintable(text));
    QVERIFY2(std::fabs(result.dispersionError - expected.omegaError) <= 1e-4 * expected.omegaError,
             qPrintable(text));
    // The maximum is no worse than the grid's.
    QVERIFY(logLikelihood(dates, result.mean, result.dispersion) >=
            logLikelihood(dates, expected.mu, expected.omega) - 1e-12);
}

void TestDispersion::equalErrorsHaveAClosedForm()
{
    // With one sigma for all, μ is the plain mean and ω² = max(0, Σ(x - μ)²/n - σ²); the mean's error is
    // sqrt((σ² + ω²)/n).
    const Dates dates{{10, 0.5}, {11, 0.5}, {12.5, 0.5}, {9, 0.5}, {10.25, 0.5}};
    double mean = 0;
    for (const AgeSigma &d : dates)
        mean += d.age / double(dates.size());
    double spread = 0;
    for (const AgeSigma &d : dates)
        spread += (d.age - mean) * (d.age - mean) / double(dates.size());
    const double omega = std::sqrt(spread - 0.25);
    const RandomEffectsMean result = RandomEffectsMeanOfAges(dates);
    QVERIFY(std::fabs(result.mean - mean) <= 1e-12 * mean);
    QVERIFY(std::fabs(result.dispersion - omega) <= 1e-12 * omega);
    QVERIFY(std::fabs(result.meanError - std::sqrt(spread / double(dates.size()))) <= 1e-12);
}

void TestDispersion::notDefined_data()
{
    QTest::addColumn<Dates>("dates");
    QTest::newRow("none") << Dates{};
    QTest::newRow("one date") << Dates{{100, 1}};
    QTest::newRow("a zero sigma") << Dates{{100, 1}, {101, 0}};
    QTest::newRow("a negative sigma") << Dates{{100, 1}, {101, -1}};
    QTest::newRow("not a number") << Dates{{100, 1}, {std::nan(""), 1}};
}

void TestDispersion::notDefined()
{
    QFETCH(Dates, dates);
    QVERIFY(!ConventionalMswdOfAges(dates).defined);
    const RandomEffectsMean random = RandomEffectsMeanOfAges(dates);
    QVERIFY(!random.defined);
    QCOMPARE(random.mean, 0.0);
}

QTEST_GUILESS_MAIN(TestDispersion)
#include "tst_dispersion.moc"
