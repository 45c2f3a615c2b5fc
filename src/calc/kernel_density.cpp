// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/kernel_density.h"
#include "calc/floating_point_error.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace kv::calc {

namespace {

// The bandwidth follows the variant of IsoplotR and the provenance package, so that a density drawn here
// matches theirs: 512 bins over the range widened by a tenth on each side, bins closed on the right (the
// first also on the left) as R's hist() counts them, N the number of different values, the fixed point
// of t - ξγ^[7](t) searched in [0, 0.1], and 0.28·N^(-2/5) when the fixed point is not bracketed there.
// (Botev's own kde.m bins on 2^14 points and widens the search interval until it finds a sign change.)
constexpr int BandwidthBins = 512;

// Values are put into this many bins of the data's range for the sums of the density; a bin's values
// share their pilot and bandwidth. A bin adds its count times the kernel at its mean, corrected by the
// second-order term of the kernel's Taylor series times the variance of its values, which leaves an error
// of the order of (bin width / bandwidth)^4.
constexpr int DensityBins = 4096;
// A kernel adds nothing beyond this many bandwidths (exp(-50) relative).
constexpr double KernelReach = 10;

void requireFinite(std::span<const double> values)
{
    for (double v : values)
        if (!std::isfinite(v))
            throw FloatingPointError(u"A kernel density needs finite values, not %1."_s.arg(v));
}

// t - ξγ^[l](t) of Botev et al. (2010, eq. 29-30) with l = 7. weighted[s][k] holds (k + 1)^2s·a2 for the
// squared half cosine coefficients a2 of index k + 1; ii the squared indices.
constexpr int FixedPointOrder = 7;
using Weighted = std::vector<std::vector<double>>;

double fixedPoint(double t, double n, const std::vector<double> &ii, const Weighted &weighted)
{
    constexpr double pi = std::numbers::pi;
    const auto functional = [&](int s, double time) {
        const std::vector<double> &w = weighted[s];
        long double sum = 0;
        for (size_t k = 0; k < ii.size(); ++k)
            if (w[k] != 0)
                sum += w[k] * std::exp(-ii[k] * pi * pi * time);
        return static_cast<double>(2 * std::pow(pi, 2 * s) * sum);
    };
    double f = functional(FixedPointOrder, t);
    for (int s = FixedPointOrder - 1; s >= 2; --s) {
        double k0 = 1;
        for (int j = 1; j <= 2 * s - 1; j += 2)
            k0 *= j;
        k0 /= std::sqrt(2 * pi);
        const double c = (1 + std::pow(0.5, s + 0.5)) / 3;
        const double time = std::pow(2 * c * k0 / n / f, 2.0 / (3 + 2 * s));
        f = functional(s, time);
    }
    return t - std::pow(2 * n * std::sqrt(pi) * f, -0.4);
}

struct Bin
{
    double position = 0; // mean of its values
    double count = 0;
    double variance = 0; // of its values about their mean
    double bandwidth = 0;
};

// The kernel's sum over a bin's values at z bandwidths from their mean, relative to count·φ(z):
// 1 + (variance/2h²)(z² - 1).
double binFactor(const Bin &bin, double h, double z2)
{
    return 1 + bin.variance / (2 * h * h) * (z2 - 1);
}

std::vector<Bin> binned(std::span<const double> values)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    const double low = *lo;
    const double width = (*hi - low) / DensityBins;
    const auto binOf = [&](double v) { return std::clamp(int((v - low) / width), 0, DensityBins - 1); };
    std::vector<double> counts(DensityBins, 0.0), sums(DensityBins, 0.0), squares(DensityBins, 0.0);
    for (double v : values) {
        const int k = binOf(v);
        counts[k] += 1;
        sums[k] += v;
    }
    for (double v : values) {
        const int k = binOf(v);
        const double d = v - sums[k] / counts[k];
        squares[k] += d * d;
    }
    std::vector<Bin> bins;
    for (int k = 0; k < DensityBins; ++k)
        if (counts[k] > 0)
            bins.push_back({sums[k] / counts[k], counts[k], squares[k] / counts[k], 0});
    return bins;
}

} // namespace

double BotevBandwidth(std::span<const double> values)
{
    requireFinite(values);
    if (values.size() < 2)
        return 0;
    FloatingPointGuard guard("BotevBandwidth");
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    const double range = *hi - *lo;
    if (!(range > 0))
        return 0;
    const double low = *lo - range / 10;
    const double r = range * 1.2;
    const double dx = r / BandwidthBins;

    std::vector<double> sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end());
    const double distinct = double(std::unique(sorted.begin(), sorted.end()) - sorted.begin());

    // Bin k holds (low + k·dx, low + (k + 1)·dx], with R's tolerance of 1e-7 bins on the breaks.
    std::vector<double> data(BandwidthBins, 0.0);
    for (double v : values) {
        const int k = std::clamp(int(std::ceil((v - low) / dx - 1e-7)) - 1, 0, BandwidthBins - 1);
        data[k] += 1;
    }
    for (double &d : data)
        d /= double(values.size());

    // Cosine transform a_k = w_k Σ_j d_j cos(πk(2j + 1)/2n), w_0 = 1 and 2 above, from a table of cosines.
    constexpr int n = BandwidthBins;
    std::vector<double> cosines(4 * n);
    for (int m = 0; m < 4 * n; ++m)
        cosines[m] = std::cos(std::numbers::pi * m / (2 * n));
    std::vector<double> ii(n - 1);
    Weighted a2(FixedPointOrder + 1, std::vector<double>(n - 1));
    for (int k = 1; k < n; ++k) {
        long double sum = 0;
        for (int j = 0; j < n; ++j)
            if (data[j] != 0)
                sum += data[j] * cosines[(k * (2 * j + 1)) % (4 * n)];
        const double a = 2 * static_cast<double>(sum);
        ii[k - 1] = double(k) * k;
        double weight = (a / 2) * (a / 2);
        for (int s = 1; s <= FixedPointOrder; ++s) {
            weight *= ii[k - 1];
            a2[s][k - 1] = weight;
        }
    }

    double t = 0;
    double lowT = 0, highT = 0.1;
    const double atLow = fixedPoint(lowT, distinct, ii, a2);
    const double atHigh = fixedPoint(highT, distinct, ii, a2);
    if ((atLow < 0) == (atHigh < 0) || atLow == 0 || atHigh == 0) {
        t = atLow == 0 ? lowT : atHigh == 0 ? highT : 0.28 * std::pow(distinct, -0.4);
    } else {
        const bool risesThroughZero = atLow < 0;
        for (int i = 0; i < 200; ++i) {
            const double middle = lowT + (highT - lowT) / 2;
            if (middle <= lowT || middle >= highT)
                break;
            const double value = fixedPoint(middle, distinct, ii, a2);
            ((value < 0) == risesThroughZero ? lowT : highT) = middle;
        }
        t = lowT + (highT - lowT) / 2;
    }
    return guard.result(std::sqrt(t) * r);
}

DensityGrid DefaultDensityGrid(std::span<const double> values)
{
    requireFinite(values);
    DensityGrid grid;
    if (values.empty())
        return grid;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    const double range = *hi - *lo;
    grid.from = *lo - range / 10;
    grid.to = *hi + range / 10;
    return grid;
}

KernelDensity KernelDensityOf(std::span<const double> values, const DensityGrid &grid, bool adaptive)
{
    KernelDensity result;
    result.adaptive = adaptive;
    const int points = std::max(grid.points, 0);
    result.x.resize(points);
    for (int k = 0; k < points; ++k)
        result.x[k] = points == 1 ? grid.from : grid.from + (grid.to - grid.from) * k / (points - 1);
    result.density.assign(points, 0.0);
    const double h = BotevBandwidth(values);
    if (!(h > 0))
        return result;
    FloatingPointGuard guard("KernelDensityOf");
    result.bandwidth = h;
    result.defined = true;
    const double total = double(values.size());
    std::vector<Bin> bins = binned(values);
    for (Bin &bin : bins)
        bin.bandwidth = h;

    if (adaptive) {
        // The pilot at every bin from the bins within reach (positions ascend with the bins).
        std::vector<double> pilot(bins.size(), 0.0);
        size_t first = 0;
        for (size_t i = 0; i < bins.size(); ++i) {
            while (bins[first].position < bins[i].position - KernelReach * h)
                ++first;
            long double sum = 0;
            for (size_t j = first; j < bins.size() && bins[j].position <= bins[i].position + KernelReach * h; ++j) {
                const double z = (bins[i].position - bins[j].position) / h;
                sum += bins[j].count * std::exp(-z * z / 2) * binFactor(bins[j], h, z * z);
            }
            pilot[i] = static_cast<double>(sum) / (total * h * std::sqrt(2 * std::numbers::pi));
        }
        long double logSum = 0;
        for (size_t i = 0; i < bins.size(); ++i)
            logSum += bins[i].count * std::log(pilot[i]);
        const double g = std::exp(static_cast<double>(logSum / total));
        for (size_t i = 0; i < bins.size(); ++i)
            bins[i].bandwidth = h * std::sqrt(g / pilot[i]);
    }

    const double step = points > 1 ? (grid.to - grid.from) / (points - 1) : 0;
    for (const Bin &bin : bins) {
        const double reach = KernelReach * bin.bandwidth;
        int kFirst = 0, kLast = points - 1;
        if (step > 0) {
            kFirst = int(std::clamp(std::floor((bin.position - reach - grid.from) / step), 0.0, double(points)));
            kLast = int(std::clamp(std::ceil((bin.position + reach - grid.from) / step), -1.0, double(points - 1)));
        }
        const double scale = bin.count / (total * bin.bandwidth * std::sqrt(2 * std::numbers::pi));
        for (int k = kFirst; k <= kLast; ++k) {
            const double z = (result.x[k] - bin.position) / bin.bandwidth;
            if (z * z < 2 * KernelReach * KernelReach)
                result.density[k] += scale * std::exp(-z * z / 2) * binFactor(bin, bin.bandwidth, z * z);
        }
    }
    for (double &d : result.density)
        d = guard.result(d);
    return result;
}

} // namespace kv::calc
