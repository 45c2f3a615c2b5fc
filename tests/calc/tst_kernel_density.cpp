// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel density against calculations written here: the bandwidth worked out step by step as
// Botev et al. (2010) and IsoplotR describe it (histogram by comparing with every break, the cosine
// transform term by term, the fixed point by regula falsi), its value on a large normal sample against
// the asymptotically optimal (4/3n)^(1/5)·σ, and the densities as direct sums over every value.
#include "calc/floating_point_error.h"
#include "calc/kernel_density.h"

#include <QFile>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace Qt::StringLiterals;
using namespace kv::calc;

using Values = std::vector<double>;
Q_DECLARE_METATYPE(Values)

namespace {

constexpr double pi = std::numbers::pi;

Values averageAges()
{
    QFile file(QStringLiteral(KV_FIXTURES_DIR) + u"/calc/average.csv"_s);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("average.csv is missing");
    Values ages;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty())
            ages.push_back(lines[i].split(',')[0].toDouble());
    return ages;
}

// Two populations of dates, 1000 and 2000 of them, at normal quantiles with an irregular offset.
Values twoPopulations()
{
    Values ages;
    const auto quantile = [](double p) { // the normal quantile by bisection on erfc
        double lo = -10, hi = 10;
        for (int i = 0; i < 80; ++i) {
            const double mid = (lo + hi) / 2;
            (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? lo : hi) = mid;
        }
        return (lo + hi) / 2;
    };
    for (int i = 0; i < 1000; ++i)
        ages.push_back(1850 + 25 * quantile((i + 0.5) / 1000) + 0.37 * std::sin(7.1 * i));
    for (int i = 0; i < 2000; ++i)
        ages.push_back(2700 + 12 * quantile((i + 0.5) / 2000) + 0.21 * std::cos(3.3 * i));
    return ages;
}

double botevByHand(const Values &x)
{
    constexpr int n = 512;
    const double lo = *std::min_element(x.begin(), x.end()), hi = *std::max_element(x.begin(), x.end());
    const double low = lo - (hi - lo) / 10, r = (hi - lo) * 1.2, dx = r / n;
    std::vector<double> d(n, 0.0);
    for (double v : x)
        for (int k = 0; k < n; ++k)
            if ((v > low + k * dx || k == 0) && v <= low + (k + 1) * dx) {
                d[k] += 1.0 / double(x.size());
                break;
            }
    Values sorted = x;
    std::sort(sorted.begin(), sorted.end());
    const double distinct = double(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    std::vector<double> a2(n);
    for (int k = 1; k < n; ++k) {
        double s = 0;
        for (int j = 0; j < n; ++j)
            s += d[j] * std::cos(pi * k * (2 * j + 1) / (2.0 * n));
        a2[k] = s * s;
    }
    const auto functional = [&](int s, double t) {
        double sum = 0;
        for (int k = 1; k < n; ++k)
            sum += std::pow(double(k) * k, s) * a2[k] * std::exp(-double(k) * k * pi * pi * t);
        return 2 * std::pow(pi, 2 * s) * sum;
    };
    const auto g = [&](double t) {
        double f = functional(7, t);
        for (int s = 6; s >= 2; --s) {
            double k0 = 1;
            for (int j = 3; j <= 2 * s - 1; j += 2)
                k0 *= j;
            const double c = (1 + std::pow(2.0, -(s + 0.5))) / 3;
            f = functional(s, std::pow(2 * c * k0 / std::sqrt(2 * pi) / distinct / f, 2.0 / (3 + 2 * s)));
        }
        return t - std::pow(2 * distinct * std::sqrt(pi) * f, -0.4);
    };
    double a = 0, b = 0.1, ga = g(a), gb = g(b);
    if (ga * gb > 0)
        return std::sqrt(0.28 * std::pow(distinct, -0.4)) * r;
    int side = 0;
    for (int i = 0; i < 300 && std::fabs(b - a) > 1e-17; ++i) { // Illinois regula falsi
        const double c = (a * gb - b * ga) / (gb - ga);
        const double gc = g(c);
        if (gc * gb > 0) {
            b = c;
            gb = gc;
            if (side == -1)
                ga /= 2;
            side = -1;
        } else if (gc * ga > 0) {
            a = c;
            ga = gc;
            if (side == 1)
                gb /= 2;
            side = 1;
        } else {
            a = b = c;
        }
    }
    return std::sqrt((a + b) / 2) * r;
}

double gaussian(double x, double mean, double h)
{
    return std::exp(-0.5 * (x - mean) * (x - mean) / (h * h)) / (h * std::sqrt(2 * pi));
}

} // namespace

class TestKernelDensity : public QObject
{
    Q_OBJECT

private slots:
    void bandwidth_data();
    void bandwidth();
    void bandwidthOfANormalSample();
    void density_data();
    void density();
    void defaultGrid();
    void degenerate_data();
    void degenerate();
};

void TestKernelDensity::bandwidth_data()
{
    QTest::addColumn<Values>("values");
    QTest::newRow("average.csv") << averageAges();
    QTest::newRow("two populations") << twoPopulations();
    QTest::newRow("repeated values") << Values{5, 5, 5, 6, 7, 7, 9, 12, 12, 12, 12, 13};
    QTest::newRow("two values") << Values{100, 101};
}

void TestKernelDensity::bandwidth()
{
    QFETCH(Values, values);
    const double expected = botevByHand(values);
    const double h = BotevBandwidth(values);
    QVERIFY2(std::fabs(h - expected) <= 1e-9 * expected,
             qPrintable(u"%1, expected %2"_s.arg(h, 0, 'g', 15).arg(expected, 0, 'g', 15)));
}

void TestKernelDensity::bandwidthOfANormalSample()
{
    // 100,000 standard normal quantiles: the optimal bandwidth is (4/(3n))^(1/5) = 0.10592 (Silverman 1986).
    const int n = 100000;
    Values x(n);
    for (int i = 0; i < n; ++i) {
        double lo = -10, hi = 10;
        const double p = (i + 0.5) / n;
        for (int k = 0; k < 60; ++k) {
            const double mid = (lo + hi) / 2;
            (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? lo : hi) = mid;
        }
        x[i] = (lo + hi) / 2;
    }
    const double optimal = std::pow(4.0 / (3.0 * n), 0.2);
    const double h = BotevBandwidth(x);
    QVERIFY2(std::fabs(h / optimal - 1) < 0.03, qPrintable(u"%1 against %2"_s.arg(h).arg(optimal)));
}

void TestKernelDensity::density_data()
{
    QTest::addColumn<Values>("values");
    QTest::addColumn<bool>("adaptive");
    QTest::addColumn<double>("tolerance"); // relative to the largest value
    QTest::newRow("average.csv") << averageAges() << false << 1e-12;
    QTest::newRow("average.csv, adaptive") << averageAges() << true << 1e-12;
    // 3000 values share 4096 bins: the bins' second moments keep the sums within 5e-7 of the peak (about
    // 2e-6 without them); adaptive, a bin's values also share their pilot.
    QTest::newRow("two populations") << twoPopulations() << false << 5e-7;
    QTest::newRow("two populations, adaptive") << twoPopulations() << true << 1e-5;
}

void TestKernelDensity::density()
{
    QFETCH(Values, values);
    QFETCH(bool, adaptive);
    QFETCH(double, tolerance);
    const double h = botevByHand(values);
    const double n = double(values.size());
    Values bandwidths(values.size(), h);
    if (adaptive) {
        Values pilot(values.size(), 0.0);
        double logSum = 0;
        for (size_t i = 0; i < values.size(); ++i) {
            for (double v : values)
                pilot[i] += gaussian(values[i], v, h) / n;
            logSum += std::log(pilot[i]);
        }
        const double g = std::exp(logSum / n);
        for (size_t i = 0; i < values.size(); ++i)
            bandwidths[i] = h * std::sqrt(g / pilot[i]);
    }
    const DensityGrid grid = DefaultDensityGrid(values);
    const KernelDensity result = KernelDensityOf(values, grid, adaptive);
    QVERIFY(result.defined);
    QCOMPARE(result.adaptive, adaptive);
    QCOMPARE(int(result.x.size()), 512);
    QCOMPARE(int(result.density.size()), 512);
    Values expected(512, 0.0);
    double largest = 0;
    for (int k = 0; k < 512; ++k) {
        QVERIFY(std::fabs(result.x[k] - (grid.from + (grid.to - grid.from) * k / 511)) <= 1e-9 * std::fabs(grid.to));
        for (size_t i = 0; i < values.size(); ++i)
            expected[k] += gaussian(result.x[k], values[i], bandwidths[i]) / n;
        largest = std::max(largest, expected[k]);
    }
    for (int k = 0; k < 512; ++k)
        QVERIFY2(std::fabs(result.density[k] - expected[k]) <= tolerance * largest,
                 qPrintable(u"point %1: %2, expected %3"_s.arg(k).arg(result.density[k], 0, 'g', 15).arg(expected[k], 0, 'g', 15)));
}

void TestKernelDensity::defaultGrid()
{
    const DensityGrid grid = DefaultDensityGrid(Values{120, 100, 150});
    QCOMPARE(grid.from, 95.0);
    QCOMPARE(grid.to, 155.0);
    QCOMPARE(grid.points, 512);
}

void TestKernelDensity::degenerate_data()
{
    QTest::addColumn<Values>("values");
    QTest::addColumn<bool>("defined");
    QTest::newRow("none") << Values{} << false;
    QTest::newRow("one value") << Values{250} << false;
    QTest::newRow("all equal") << Values{250, 250, 250, 250} << false;
    QTest::newRow("two values") << Values{250, 260} << true;
}

void TestKernelDensity::degenerate()
{
    QFETCH(Values, values);
    QFETCH(bool, defined);
    const KernelDensity result = KernelDensityOf(values, {200, 300, 11}, true);
    QCOMPARE(result.defined, defined);
    QCOMPARE(BotevBandwidth(values) > 0, defined);
    QCOMPARE(int(result.x.size()), 11);
    QCOMPARE(result.x[10], 300.0);
    double sum = 0;
    for (double d : result.density) {
        QVERIFY(std::isfinite(d) && d >= 0);
        sum += d;
    }
    QCOMPARE(sum > 0, defined);
    QVERIFY_THROWS_EXCEPTION(FloatingPointError, BotevBandwidth(Values{1, std::nan(""), 3}));
}

QTEST_GUILESS_MAIN(TestKernelDensity)
#include "tst_kernel_density.moc"
