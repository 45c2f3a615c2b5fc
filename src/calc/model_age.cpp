// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/model_age.h"
#include "calc/floating_point_error.h"

#include <algorithm>
#include <cmath>

namespace kv::calc {

double ModelAge(double lambda, double c0, double c1, double c2, double y, double x)
{
    FloatingPointGuard guard("ModelAge");
    if (c0 <= 0)
        return FailedModelAge;

    long double t; // years
    if (c2 != 0) {
        // Newton on F(t) = M(t) - (y - x·(e^(λt) - 1)) from 4.6 Ga; at most 50 steps may succeed.
        constexpr long double failed = -9.99999e9L;
        t = 4.6e9L;
        int k = 0;
        for (;;) {
            const long double growth = std::exp(lambda * t);
            const long double f = c0 + c1 * t + c2 * t * t - (y - x * (growth - 1));
            const long double slope = 2 * c2 * t + c1 + lambda * x * growth;
            long double next;
            if (slope != 0) {
                next = t - f / slope;
            } else {
                next = 1000000;
                k = 51;
            }
            const long double delta = std::fabs(t - next);
            t = next;
            ++k;
            if (k > 50) {
                t = failed;
                break;
            }
            if (delta < 20000)
                break;
        }
    } else if (c1 > 0) {
        const long double q = (y - static_cast<long double>(c0)) / (x - static_cast<long double>(c1)) + 1;
        t = q > 0 ? std::log(q) / lambda : 0;
    } else {
        // No reservoir to compare with: the sample has no model age.
        return FailedModelAge;
    }
    // An overflow inside the iteration ends in NaN and then the failure value; the guard still reports it.
    return guard.result(t / 1000000);
}

double ModelAgeError(double lambda, double c0, double c1, double c2, double k, double sigmaY, double y,
                     double sigmaX, double x)
{
    FloatingPointGuard guard("ModelAgeError");
    if (!(sigmaX > 0))
        sigmaX = 0.00001;
    if (!(sigmaY > 0))
        sigmaY = 0.00001;
    const long double dy = static_cast<long double>(k) * sigmaY;
    const long double dx = static_cast<long double>(k) * sigmaX;
    const long double a0 = ModelAge(lambda, c0, c1, c2, y, x);
    const long double aPlus =
        ModelAge(lambda, c0, c1, c2, static_cast<double>(y + dy), static_cast<double>(x + dx));
    const long double aMinus =
        ModelAge(lambda, c0, c1, c2, static_cast<double>(y - dy), static_cast<double>(x - dx));
    return guard.result(std::sqrt((aPlus - a0) * (aPlus - a0) + (a0 - aMinus) * (a0 - aMinus) + 1e-6L));
}

WeightedMean WeightedMeanOfSamples(const SampleArrays &samples, int n)
{
    if (n <= 0)
        return {};
    n = std::min(n, SampleArrays::Capacity);
    return WeightedMeanOfSamples(std::span<const double>(samples.SampleValues).subspan(1, size_t(n)),
                                 std::span<const double>(samples.SampleErrors).subspan(1, size_t(n)));
}

WeightedMean WeightedMeanOfSamples(std::span<const double> values, std::span<const double> errors)
{
    FloatingPointGuard guard("WeightedMeanOfSamples");
    WeightedMean result;
    const size_t n = std::min(values.size(), errors.size());
    if (n <= 1) {
        if (n == 1) {
            result.mean = guard.result(values[0]);
            result.internalError = guard.result(errors[0]);
            result.externalError = result.internalError;
            result.n = 1;
        }
        return result;
    }

    int count = 0;
    long double s0 = 0;
    long double s1 = 0;
    for (size_t i = 0; i < n; ++i) {
        ++count;
        const long double e = errors[i];
        const long double w = e != 0 ? 1 / (e * e) : 1;
        s0 += w;
        s1 += w * values[i];
    }
    const long double mean = s1 / s0;
    const long double internal = s0 > 0 ? 1 / std::sqrt(s0) : static_cast<long double>(UndefinedError);

    long double t0 = 0;
    long double t1 = 0;
    long double t2 = 0;
    long double t3 = 0;
    for (size_t i = 0; i < n; ++i) {
        const long double x = values[i];
        const long double e = errors[i];
        const long double w = 1 / (e * e + internal * internal);
        t0 += w;
        t1 += w * x;
        t2 += w * x * x;
        t3 += w * (x - mean) * (x - mean);
    }
    result.mean = guard.result(mean);
    result.internalError = guard.result(internal);
    result.mswd = guard.result((t2 - t1 * t1 / t0) / (count - 1));
    result.externalError =
        guard.result(t0 > 0 ? std::sqrt(t3 / t0 / (count - 1)) : static_cast<long double>(UndefinedError));
    result.n = count;
    return result;
}

} // namespace kv::calc
