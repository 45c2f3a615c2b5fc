// SPDX-License-Identifier: GPL-3.0-or-later
// The York line fit and the isochron age: York's own example (York et al. 2004, Am. J. Phys. 72, 367,
// the Pearson data with York's weights), and a second calculation written here that minimises the sum of
// weighted squared residuals directly and propagates the errors of the data by finite differences, on
// that example, the demo's lunar Rb-Sr and Sm-Nd analyses and a few made-up sets; then the degenerate
// cases and kvtool calc isochron.
#include "calc/statistics.h"
#include "calc/york_fit.h"
#include "core/errors.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

QList<FitPoint> pearsonYork()
{
    const double x[]{0, 0.9, 1.8, 2.6, 3.3, 4.4, 5.2, 6.1, 6.5, 7.4};
    const double y[]{5.9, 5.4, 4.4, 4.6, 3.5, 3.7, 2.8, 2.8, 2.4, 1.5};
    const double wx[]{1000, 1000, 500, 800, 200, 80, 60, 20, 1.8, 1};
    const double wy[]{1, 1.8, 4, 8, 20, 20, 70, 70, 100, 500};
    QList<FitPoint> points;
    for (int i = 0; i < 10; ++i)
        points << FitPoint{x[i], y[i], 1 / std::sqrt(wx[i]), 1 / std::sqrt(wy[i]), 0};
    return points;
}

// A seed file of the demo: x, sx, y, sy[, rho] after a header line.
QList<FitPoint> seed(const QString &file)
{
    QFile f(QStringLiteral(KV_SOURCE_DIR) + u"/data/demo/"_s + file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read the seed file");
    QList<FitPoint> points;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> c = lines[i].trimmed().split(',');
        if (c.size() >= 4)
            points << FitPoint{c[0].toDouble(), c[2].toDouble(), c[1].toDouble(), c[3].toDouble(),
                               c.size() > 4 ? c[4].toDouble() : 0.0};
    }
    return points;
}

// S(a, b) = sum (y - a - b x)^2 / V(b), V = sy^2 + b^2 sx^2 - 2 b rho sx sy. For a given b the best a is
// the V-weighted mean of y - b x; dS/db is then the partial derivative at that a.
struct Objective
{
    const QList<FitPoint> &p;
    double intercept(double b) const
    {
        double sw = 0, s = 0;
        for (const FitPoint &q : p) {
            const double w = 1 / (q.sy * q.sy + b * b * q.sx * q.sx - 2 * b * q.r * q.sx * q.sy);
            sw += w;
            s += w * (q.y - b * q.x);
        }
        return s / sw;
    }
    double sum(double b) const
    {
        const double a = intercept(b);
        double s = 0;
        for (const FitPoint &q : p) {
            const double e = q.y - a - b * q.x;
            s += e * e / (q.sy * q.sy + b * b * q.sx * q.sx - 2 * b * q.r * q.sx * q.sy);
        }
        return s;
    }
    double slopeOfSum(double b) const
    {
        const double a = intercept(b);
        double d = 0;
        for (const FitPoint &q : p) {
            const double v = q.sy * q.sy + b * b * q.sx * q.sx - 2 * b * q.r * q.sx * q.sy;
            const double dv = 2 * b * q.sx * q.sx - 2 * q.r * q.sx * q.sy;
            const double e = q.y - a - b * q.x;
            d += -2 * e * q.x / v - e * e * dv / (v * v);
        }
        return d;
    }
};

// The root of dS/db between lo and hi by bisection, to the last bit.
double bisect(const Objective &o, double lo, double hi)
{
    double flo = o.slopeOfSum(lo);
    if (flo * o.slopeOfSum(hi) > 0)
        qFatal("no sign change of dS/db in the bracket");
    for (int i = 0; i < 400; ++i) {
        const double mid = (lo + hi) / 2;
        if (mid == lo || mid == hi)
            break;
        const double fm = o.slopeOfSum(mid);
        if ((fm < 0) == (flo < 0)) {
            lo = mid;
            flo = fm;
        } else {
            hi = mid;
        }
    }
    return (lo + hi) / 2;
}

// The slope minimising S: the smallest S on a grid about the least-squares slope, then the root of dS/db
// beside it.
double minimisingSlope(const QList<FitPoint> &p)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const FitPoint &q : p) {
        sx += q.x;
        sy += q.y;
        sxx += q.x * q.x;
        sxy += q.x * q.y;
    }
    const double n = double(p.size());
    const double b0 = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const Objective o{p};
    const double width = 4 * std::abs(b0) + 1;
    constexpr int steps = 4000;
    const double step = 2 * width / steps;
    double best = b0 - width;
    for (int k = 0; k <= steps; ++k) {
        const double b = b0 - width + k * step;
        if (o.sum(b) < o.sum(best))
            best = b;
    }
    return bisect(o, best - step, best + step);
}

struct Reference
{
    double slope, intercept, chi2, slopeError, interceptError, covariance;
};

// The errors of slope and intercept propagated from the errors of the data to first order, by central
// differences over each value, taken where the line's derivatives are meant to be taken: at the points
// moved onto the fitted line, each along its own error ellipse (the closest point of the line in the
// point's Mahalanobis distance, d = -C n e / (n' C n) with n = (-b, 1) and e the point's residual).
Reference reference(const QList<FitPoint> &data)
{
    Reference r{};
    r.slope = minimisingSlope(data);
    const Objective o{data};
    r.intercept = o.intercept(r.slope);
    r.chi2 = o.sum(r.slope);
    QList<FitPoint> p = data;
    for (FitPoint &q : p) {
        const double b = r.slope, e = q.y - r.intercept - b * q.x;
        const double v = q.sy * q.sy + b * b * q.sx * q.sx - 2 * b * q.r * q.sx * q.sy;
        q.x += (b * q.sx * q.sx - q.r * q.sx * q.sy) * e / v;
        q.y -= (q.sy * q.sy - b * q.r * q.sx * q.sy) * e / v;
    }
    double vb = 0, va = 0, cab = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        double db[2], da[2];
        for (int coordinate = 0; coordinate < 2; ++coordinate) {
            const double h = 1e-4 * (coordinate == 0 ? p[i].sx : p[i].sy);
            double b[2], a[2];
            for (int side = 0; side < 2; ++side) {
                QList<FitPoint> moved = p;
                (coordinate == 0 ? moved[i].x : moved[i].y) += side == 0 ? h : -h;
                const Objective m{moved};
                const double w = 1e-3 * std::abs(r.slope) + 1e-9;
                b[side] = bisect(m, r.slope - w, r.slope + w);
                a[side] = m.intercept(b[side]);
            }
            db[coordinate] = (b[0] - b[1]) / (2 * h);
            da[coordinate] = (a[0] - a[1]) / (2 * h);
        }
        const double sx = p[i].sx, sy = p[i].sy, rho = p[i].r;
        vb += db[0] * db[0] * sx * sx + db[1] * db[1] * sy * sy + 2 * rho * sx * sy * db[0] * db[1];
        va += da[0] * da[0] * sx * sx + da[1] * da[1] * sy * sy + 2 * rho * sx * sy * da[0] * da[1];
        cab += da[0] * db[0] * sx * sx + da[1] * db[1] * sy * sy +
               rho * sx * sy * (da[0] * db[1] + da[1] * db[0]);
    }
    r.slopeError = std::sqrt(vb);
    r.interceptError = std::sqrt(va);
    r.covariance = cab;
    return r;
}

// The upper tail of chi-square in closed form: for even k, exp(-x/2) sum_{j<k/2} (x/2)^j / j!; for odd k,
// erfc(sqrt(x/2)) + exp(-x/2) sum_{j=1}^{(k-1)/2} (x/2)^(j-1/2) / Gamma(j+1/2).
double chiSquareTail(double x, int k)
{
    const double h = x / 2;
    double sum = 0;
    if (k % 2 == 0) {
        double term = 1;
        for (int j = 0; j < k / 2; ++j) {
            sum += term;
            term *= h / (j + 1);
        }
        return std::exp(-h) * sum;
    }
    for (int j = 1; j <= (k - 1) / 2; ++j)
        sum += std::pow(h, j - 0.5) / std::tgamma(j + 0.5);
    return std::erfc(std::sqrt(h)) + std::exp(-h) * sum;
}

bool near(double a, double b, double relative, double absolute = 0)
{
    return std::abs(a - b) <= std::max(relative * std::abs(b), absolute);
}

} // namespace

Q_DECLARE_METATYPE(QList<kv::FitPoint>)

class TestYorkFit : public QObject
{
    Q_OBJECT

private slots:
    void yorksExample();
    void againstIndependent_data();
    void againstIndependent();
    void lunarAges_data();
    void lunarAges();
    void twoPointsAndFlat();
    void refused_data();
    void refused();
    void kvtool_data();
    void kvtool();

private:
    QTemporaryDir m_dir;
};

void TestYorkFit::yorksExample()
{
    // York et al. (2004): b = -0.4805 +/- 0.0706, a = 5.4799 +/- 0.3592, errors that are scaled by the
    // square root of the MSWD (1.4833 here); the fit's own are 0.0580 and 0.2950.
    const LineFit fit = yorkFit(pearsonYork());
    QVERIFY2(near(fit.slope, -0.4805, 0, 5e-5), qPrintable(QString::number(fit.slope, 'g', 10)));
    QVERIFY(near(fit.intercept, 5.4799, 0, 5e-5));
    QVERIFY(fit.mswd);
    QVERIFY(near(*fit.mswd, 1.4833, 0, 5e-5));
    const double scale = std::sqrt(*fit.mswd);
    QVERIFY2(near(fit.slopeError * scale, 0.0706, 0, 5e-5),
             qPrintable(QString::number(fit.slopeError, 'g', 10)));
    QVERIFY2(near(fit.interceptError * scale, 0.3592, 0, 5e-5),
             qPrintable(QString::number(fit.interceptError, 'g', 10)));
    QCOMPARE(fit.n, 10);
    QCOMPARE(fit.dof, 8);
}

void TestYorkFit::againstIndependent_data()
{
    QTest::addColumn<QList<FitPoint>>("points");
    QTest::newRow("York 2004, Pearson data") << pearsonYork();
    QTest::newRow("lunar Rb-Sr, Ocean of Storms") << seed(u"RbSr1.csv"_s);
    QTest::newRow("lunar Sm-Nd, basalt 75075, correlated") << seed(u"SmNd2.csv"_s);
    QTest::newRow("all errors equal") << QList<FitPoint>{{1, 2.1, 0.1, 0.1, 0},
                                                         {2, 3.9, 0.1, 0.1, 0},
                                                         {3, 6.2, 0.1, 0.1, 0},
                                                         {4, 7.8, 0.1, 0.1, 0},
                                                         {5, 10.3, 0.1, 0.1, 0}};
    QTest::newRow("strong correlations of both signs")
        << QList<FitPoint>{{0.10, 0.5120, 0.002, 0.0002, 0.9},
                           {0.14, 0.5127, 0.003, 0.0001, -0.7},
                           {0.19, 0.5139, 0.002, 0.0003, 0.5},
                           {0.25, 0.5146, 0.004, 0.0002, 0.95}};
}

void TestYorkFit::againstIndependent()
{
    QFETCH(QList<FitPoint>, points);
    const LineFit fit = yorkFit(points);
    const Reference r = reference(points);
    const auto show = [](double a, double b) {
        return qPrintable(u"%1 against %2"_s.arg(a, 0, 'g', 15).arg(b, 0, 'g', 15));
    };
    QVERIFY2(near(fit.slope, r.slope, 1e-10), show(fit.slope, r.slope));
    QVERIFY2(near(fit.intercept, r.intercept, 1e-10), show(fit.intercept, r.intercept));
    QVERIFY2(near(fit.chi2, r.chi2, 1e-8), show(fit.chi2, r.chi2));
    QVERIFY2(near(fit.slopeError, r.slopeError, 1e-5), show(fit.slopeError, r.slopeError));
    QVERIFY2(near(fit.interceptError, r.interceptError, 1e-5), show(fit.interceptError, r.interceptError));
    QVERIFY2(near(fit.covariance, r.covariance, 1e-5), show(fit.covariance, r.covariance));
    const int dof = int(points.size()) - 2;
    QCOMPARE(fit.dof, dof);
    QVERIFY(fit.mswd && fit.probability);
    QVERIFY2(near(*fit.mswd, r.chi2 / dof, 1e-8), show(*fit.mswd, r.chi2 / dof));
    const double p = chiSquareTail(r.chi2, dof);
    QVERIFY2(near(*fit.probability, p, 1e-7), show(*fit.probability, p));
}

void TestYorkFit::lunarAges_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("lambda");
    QTest::newRow("Rb-Sr, Ocean of Storms") << u"RbSr1.csv"_s << 1.42e-11;
    QTest::newRow("Sm-Nd, basalt 75075") << u"SmNd2.csv"_s << 6.54e-12;
}

void TestYorkFit::lunarAges()
{
    QFETCH(QString, file);
    QFETCH(double, lambda);
    const QList<FitPoint> points = seed(file);
    const Reference r = reference(points);
    const IsochronAge age = isochronAge(yorkFit(points), lambda);
    QVERIFY2(near(age.age, std::log(1 + r.slope) / lambda / 1e6, 1e-10),
             qPrintable(QString::number(age.age)));
    QVERIFY(near(age.error, r.slopeError / (lambda * (1 + r.slope)) / 1e6, 1e-5));
}

void TestYorkFit::twoPointsAndFlat()
{
    // Two points: the line through both, no degrees of freedom, so no MSWD and no probability.
    const LineFit two = yorkFit({{1, 3, 0.1, 0.2, 0}, {4, 9, 0.1, 0.1, 0.3}});
    QVERIFY(near(two.slope, 2, 1e-12));
    QVERIFY(near(two.intercept, 1, 1e-12));
    QCOMPARE(two.dof, 0);
    QVERIFY(!two.mswd && !two.probability);
    QVERIFY(two.chi2 < 1e-20);
    QVERIFY(two.slopeError > 0 && std::isfinite(two.slopeError));

    // A flat isochron: slope 0, age 0, the age error from the slope error alone.
    const LineFit flat =
        yorkFit({{0.1, 0.7, 0.001, 0.0001, 0}, {0.2, 0.7, 0.001, 0.0001, 0}, {0.3, 0.7, 0.001, 0.0001, 0}});
    QCOMPARE(flat.slope, 0.0);
    QCOMPARE(*flat.mswd, 0.0);
    QCOMPARE(*flat.probability, 1.0);
    const IsochronAge age = isochronAge(flat, 1.42e-11);
    QCOMPARE(age.age, 0.0);
    QVERIFY(near(age.error, flat.slopeError / 1.42e-11 / 1e6, 1e-14));
    QVERIFY(age.error > 0);
}

void TestYorkFit::refused_data()
{
    QTest::addColumn<QList<FitPoint>>("points");
    QTest::addColumn<double>("lambda");
    QTest::addColumn<QString>("message");
    const QList<FitPoint> fine{{1, 1, 0.1, 0.1, 0}, {2, 2.1, 0.1, 0.1, 0}, {3, 2.9, 0.1, 0.1, 0}};
    QTest::newRow("one point") << QList<FitPoint>{{1, 1, 0.1, 0.1, 0}} << 1e-11 << u"at least two points"_s;
    QTest::newRow("vertical") << QList<FitPoint>{{2, 1, 0.1, 0.1, 0},
                                                 {2, 2, 0.1, 0.1, 0},
                                                 {2, 3, 0.1, 0.1, 0}}
                              << 1e-11 << u"vertical"_s;
    QTest::newRow("zero error") << QList<FitPoint>{{1, 1, 0.1, 0.1, 0},
                                                   {2, 2, 0, 0.1, 0},
                                                   {3, 3, 0.1, 0.1, 0}}
                                << 1e-11 << u"Point 2 of a line fit has no positive error"_s;
    QTest::newRow("correlation of 1")
        << QList<FitPoint>{{1, 1, 0.1, 0.1, 1}, {2, 2, 0.1, 0.1, 0}, {3, 3, 0.1, 0.1, 0}} << 1e-11
        << u"Point 1 of a line fit has an error correlation of 1"_s;
    QTest::newRow("slope -1") << QList<FitPoint>{{1, 5, 0.01, 0.01, 0},
                                                 {2, 4, 0.01, 0.01, 0},
                                                 {3, 3, 0.01, 0.01, 0}}
                              << 1e-11 << u"gives no age"_s;
    QTest::newRow("slope below -1") << QList<FitPoint>{{1, 5, 0.01, 0.01, 0},
                                                       {2, 3, 0.01, 0.01, 0},
                                                       {3, 1.1, 0.01, 0.01, 0}}
                                    << 1e-11 << u"gives no age"_s;
    QTest::newRow("no decay constant") << fine << 0.0 << u"positive decay constant"_s;
}

void TestYorkFit::refused()
{
    QFETCH(QList<FitPoint>, points);
    QFETCH(double, lambda);
    QFETCH(QString, message);
    try {
        isochronAge(yorkFit(points), lambda);
        QFAIL("no error");
    } catch (const InputError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

void TestYorkFit::kvtool_data()
{
    QVERIFY(m_dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write a test file");
        f.write(text);
        return f.fileName();
    };
    QByteArray york = "x,sx,y,sy\n";
    for (const FitPoint &p : pearsonYork())
        york += QByteArray::number(p.x, 'g', 17) + ',' + QByteArray::number(p.sx, 'g', 17) + ',' +
                QByteArray::number(p.y, 'g', 17) + ',' + QByteArray::number(p.sy, 'g', 17) + '\n';
    const QString smNd = QStringLiteral(KV_SOURCE_DIR) + u"/data/demo/SmNd2.csv"_s;

    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // each line begins so
    QTest::addColumn<QString>("stderrText");
    const LineFit s = yorkFit(seed(u"SmNd2.csv"_s));
    const IsochronAge a = isochronAge(s, 6.54e-12);
    const auto n = [](double v) { return QString::number(v, 'g', 12); };
    QTest::newRow("Sm-Nd with rho") << QStringList{u"calc"_s, u"isochron"_s, smNd, u"--lambda"_s,
                                                   u"6.54e-12"_s}
                                    << 0
                                    << QStringList{u"n 4"_s,
                                                   u"slope "_s + n(s.slope),
                                                   u"slope_error "_s + n(s.slopeError),
                                                   u"intercept "_s + n(s.intercept),
                                                   u"intercept_error "_s + n(s.interceptError),
                                                   u"covariance "_s + n(s.covariance),
                                                   u"dof 2"_s,
                                                   u"mswd "_s + n(*s.mswd),
                                                   u"p(chi2) "_s + n(*s.probability),
                                                   u"age_ma "_s + n(a.age),
                                                   u"age_error_ma "_s + n(a.error)}
                                    << QString();
    QTest::newRow("York's example: slope below 0")
        << QStringList{u"calc"_s, u"isochron"_s, write(u"york.csv"_s, york), u"--lambda=1.42e-11"_s} << 0
        << QStringList{u"n 10"_s,
                       u"slope -0.4805"_s,
                       u"slope_error 0.0579"_s,
                       u"intercept 5.4799"_s,
                       u"intercept_error 0.2949"_s,
                       u"covariance"_s,
                       u"dof 8"_s,
                       u"mswd 1.48"_s,
                       u"p(chi2)"_s,
                       u"age_ma -4"_s,
                       u"age_error_ma"_s}
        << QString();
    QTest::newRow("two points") << QStringList{u"calc"_s, u"isochron"_s,
                                               write(u"two.csv"_s, "1,0.1,3,0.2\n4,0.1,9,0.1,0.3\n"),
                                               u"--lambda"_s, u"1e-11"_s}
                                << 0 << QStringList{u"n 2"_s,         u"slope 2"_s,         u"slope_error"_s,
                                                    u"intercept 1"_s, u"intercept_error"_s, u"covariance"_s,
                                                    u"dof 0"_s,       u"mswd none"_s,       u"p(chi2) none"_s,
                                                    u"age_ma"_s,      u"age_error_ma"_s}
                                << QString();
    QTest::newRow("vertical") << QStringList{u"calc"_s, u"isochron"_s,
                                             write(u"vertical.csv"_s,
                                                   "2,0.1,1,0.1\n2,0.1,2,0.1\n2,0.1,3,0.1\n"),
                                             u"--lambda"_s, u"1e-11"_s}
                              << 2 << QStringList() << u"the line is vertical"_s;
    QTest::newRow("no age") << QStringList{u"calc"_s, u"isochron"_s,
                                           write(u"steep.csv"_s,
                                                 "1,0.01,5,0.01\n2,0.01,3,0.01\n3,0.01,1.1,0.01\n"),
                                           u"--lambda"_s, u"1e-11"_s}
                            << 2 << QStringList{u"n 3"_s,
                                                u"slope -1.9"_s,
                                                u"slope_error"_s,
                                                u"intercept"_s,
                                                u"intercept_error"_s,
                                                u"covariance"_s,
                                                u"dof 1"_s,
                                                u"mswd"_s,
                                                u"p(chi2)"_s}
                            << u"gives no age"_s;
    QTest::newRow("no lambda") << QStringList{u"calc"_s, u"isochron"_s, smNd} << 2 << QStringList()
                               << u"--lambda L"_s;
    QTest::newRow("malformed line") << QStringList{u"calc"_s, u"isochron"_s,
                                                   write(u"bad.csv"_s, "x,sx,y,sy\n1,0.1,2,0.1\n1;2\n"),
                                                   u"--lambda"_s, u"1e-11"_s}
                                    << 1 << QStringList()
                                    << u"bad.csv, line 3: expected four or five numbers"_s;
}

void TestYorkFit::kvtool()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, stderrText);
    QProcess tool;
    tool.start(QStringLiteral(KV_KVTOOL), args);
    QVERIFY(tool.waitForFinished(30000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(tool.exitCode() == exitCode, qPrintable(out + err));
    if (!stderrText.isEmpty())
        QVERIFY2(err.contains(stderrText), qPrintable(err));
    const QStringList got = out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(got.size(), lines.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(got[i].startsWith(lines[i]), qPrintable(got[i] + u" / "_s + lines[i]));
}

QTEST_GUILESS_MAIN(TestYorkFit)
#include "tst_york_fit.moc"
