// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/statistics.h"
#include "calc/floating_point_error.h"
#include "core/interaction.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv::calc {

double NormalDensity(double x, double mean, double sigma)
{
    FloatingPointGuard guard("NormalDensity");
    const long double s = sigma;
    if (std::fabs(s) <= 0)
        return 0;
    const long double z = (x - static_cast<long double>(mean)) / s;
    const long double z2 = z * z;
    // Far in the tails the density is taken as 0 without evaluating the exponential.
    if (z2 >= 2000)
        return 0;
    return guard.result(std::exp(-z2 / 2) / (2.5066282746310005L * s));
}

double LogGamma(double xx)
{
    FloatingPointGuard guard("LogGamma");
    // The series has poles and negative sums below 0; the logarithm of Γ is only asked for x > 0.
    if (!(xx > 0))
        throw FloatingPointError(u"LogGamma needs a positive argument, not %1."_s.arg(xx));
    static constexpr long double coefficients[6] = {76.18009173L,  -86.50532033L,  24.01409822L,
                                                    -1.231739516L, 0.00120858003L, -0.00000536382L};
    long double x = xx - 1.0L;
    long double tmp = x + 5.5L;
    tmp = (x + 0.5L) * std::log(tmp) - tmp;
    long double ser = 1;
    for (const long double k : coefficients) {
        x += 1;
        ser += k / x;
    }
    return guard.result(tmp + std::log(2.50662827465L * ser));
}

double BetaContinuedFraction(double a, double b, double x, Interaction &ui)
{
    FloatingPointGuard guard("BetaContinuedFraction");
    constexpr int maxIterations = 100;
    constexpr long double tolerance = 3e-7L;
    const long double qab = static_cast<long double>(a) + b;
    const long double qap = a + 1.0L;
    const long double qam = a - 1.0L;
    long double am = 1;
    long double bm = 1;
    long double az = 1;
    long double bz = 1 - qab * x / qap;
    for (int m = 1; m <= maxIterations; ++m) {
        const long double em = m;
        const long double tem = em + em;
        long double d = em * (b - em) * x / ((qam + tem) * (a + tem));
        const long double ap = az + d * am;
        const long double bp = bz + d * bm;
        d = -(a + em) * (qab + em) * x / ((a + tem) * (qap + tem));
        const long double app = ap + d * az;
        const long double bpp = bp + d * bz;
        const long double aold = az;
        am = ap / bpp;
        bm = bp / bpp;
        az = app / bpp;
        bz = 1;
        if (std::fabs(az - aold) < tolerance * std::fabs(az))
            return guard.result(az);
    }
    // A fault (NaN never passes the test above) is reported as such, not as slow convergence.
    const double value = guard.result(az);
    ui.message(u"Error in betacf. a or b too big, or itmax too small"_s);
    return value;
}

double IncompleteBeta(double a, double b, double x, Interaction &ui)
{
    FloatingPointGuard guard("IncompleteBeta");
    if (x < 0 || x > 1) {
        ui.message(u"Input parameter for betai out of range"_s);
        return 0;
    }
    long double bt = 0;
    if (x != 0 && x != 1) {
        bt = std::exp(static_cast<long double>(LogGamma(a + b)) - LogGamma(a) - LogGamma(b) +
                      a * std::log(static_cast<long double>(x)) + b * std::log(1.0L - x));
    }
    // The continued fraction converges fast only on one side of the mean; use the symmetry on the other.
    if (x < (a + 1.0L) / (static_cast<long double>(a) + b + 2)) {
        if (a == 0)
            return guard.result(1);
        return guard.result(bt * BetaContinuedFraction(a, b, x, ui) / a);
    }
    if (b == 0)
        return guard.result(1);
    return guard.result(1 - bt * BetaContinuedFraction(b, a, 1 - x, ui) / b);
}

double FProbability(double df1, double df2, double f, Interaction &ui)
{
    FloatingPointGuard guard("FProbability");
    long double x = df2 / (df2 + static_cast<long double>(df1) * f);
    guard.check();
    // A slightly negative f (an MSWD that rounding pushed below 0) would put x above 1.
    if (x > 1)
        x = 1 / x;
    return guard.result(IncompleteBeta(df2 / 2, df1 / 2, static_cast<double>(x), ui));
}

double ChiSquareUpperTail(double chi2, double dof)
{
    if (!(dof > 0) || !(chi2 >= 0) || !std::isfinite(chi2) || !std::isfinite(dof))
        throw FloatingPointError(
            u"The chi-square probability needs positive degrees of freedom and a chi-square of 0 or more, not %1 and %2."_s
                .arg(dof)
                .arg(chi2));
    const double a = dof / 2;
    const double x = chi2 / 2;
    if (x == 0)
        return 1;
    constexpr int maxSteps = 10000;
    constexpr double epsilon = 1e-16;
    const double logPrefactor = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1) {
        // P(a, x) by its power series; Q = 1 - P.
        double term = 1 / a;
        double sum = term;
        for (int n = 1; n < maxSteps; ++n) {
            term *= x / (a + n);
            sum += term;
            if (std::fabs(term) < std::fabs(sum) * epsilon)
                break;
        }
        return std::max(0.0, 1 - sum * std::exp(logPrefactor));
    }
    // Q(a, x) by its continued fraction, evaluated with the modified Lentz method.
    constexpr double tiny = 1e-300;
    double b = x + 1 - a;
    double c = 1 / tiny;
    double d = 1 / b;
    double h = d;
    for (int i = 1; i < maxSteps; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny)
            c = tiny;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < epsilon)
            break;
    }
    return std::exp(logPrefactor) * h;
}

double StudentT95(double df)
{
    FloatingPointGuard guard("StudentT95");
    long double t;
    if (df == 1) {
        t = 12.706L;
    } else if (df > 1) {
        const long double u = df - 0.85L;
        t = 1.96L - 0.00554568L / std::sqrt(u) + 2.4059333L / u + 0.6711777L / (u * u) -
            0.3831214L / (u * u * u);
    } else if (df > 0) {
        const long double d = df;
        t = 1 / (0.11085L * d * d - 0.00765L * d - 0.02446L * d * d * d);
    } else if (df <= 0) {
        t = 1.96L;
    } else {
        t = df; // not a number: reported by the guard
    }
    return guard.result(std::fabs(t));
}

WeightedMean WeightedMeanOfAges(std::span<const AgeSigma> dates)
{
    FloatingPointGuard guard("WeightedMeanOfDates");
    WeightedMean result;
    if (dates.empty())
        return result;
    if (dates.size() == 1) {
        result.mean = guard.result(dates.front().age);
        result.internalError = guard.result(dates.front().sigma);
        result.n = 1;
        return result;
    }

    int n = 0;
    long double s0 = 0;
    long double s1 = 0;
    for (const AgeSigma &date : dates) {
        ++n;
        const long double sigma = date.sigma;
        const long double w = sigma != 0 ? 1 / (sigma * sigma) : 1;
        s0 += w;
        s1 += w * date.age;
    }
    const long double mean = s1 / s0;
    const long double internal = s0 > 0 ? 1 / std::sqrt(s0) : -99.9L;

    // The second pass adds the internal error to every sigma, so a date with sigma 0 gets a finite weight.
    long double t0 = 0;
    long double t1 = 0;
    long double t2 = 0;
    long double t3 = 0;
    for (const AgeSigma &date : dates) {
        const long double x = date.age;
        const long double sigma = date.sigma;
        const long double w = 1 / (sigma * sigma + internal * internal);
        t0 += w;
        t1 += w * x;
        t2 += w * x * x;
        t3 += w * (x - mean) * (x - mean);
    }
    result.mean = guard.result(mean);
    result.internalError = guard.result(internal);
    result.mswd = guard.result((t2 - t1 * t1 / t0) / (n - 1));
    result.externalError = guard.result(t0 > 0 ? std::sqrt(t3 / t0 / (n - 1)) : -99.9L);
    result.n = n;
    return result;
}

} // namespace kv::calc
