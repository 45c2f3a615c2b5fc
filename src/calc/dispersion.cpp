// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/dispersion.h"
#include "calc/floating_point_error.h"

#include <cmath>
#include <limits>

namespace kv::calc {

namespace {

bool usable(std::span<const AgeSigma> dates)
{
    if (dates.size() < 2)
        return false;
    for (const AgeSigma &d : dates)
        if (!std::isfinite(d.age) || !std::isfinite(d.sigma) || !(d.sigma > 0))
            return false;
    return true;
}

// The weighted mean for an added variance tau, and the score of the profile likelihood in tau (twice its
// derivative): Σ wᵢ²(xᵢ - μ)² - Σ wᵢ with wᵢ = 1/(σᵢ² + τ).
struct Profile
{
    double mean = 0;
    double score = 0;
};

Profile profile(std::span<const AgeSigma> dates, double tau)
{
    long double s0 = 0, s1 = 0;
    for (const AgeSigma &d : dates) {
        const long double w = 1 / (static_cast<long double>(d.sigma) * d.sigma + tau);
        s0 += w;
        s1 += w * d.age;
    }
    const long double mean = s1 / s0;
    long double s2 = 0;
    for (const AgeSigma &d : dates) {
        const long double w = 1 / (static_cast<long double>(d.sigma) * d.sigma + tau);
        const long double r = d.age - mean;
        s2 += w * w * r * r;
    }
    return {static_cast<double>(mean), static_cast<double>(s2 - s0)};
}

} // namespace

ConventionalMswd ConventionalMswdOfAges(std::span<const AgeSigma> dates)
{
    ConventionalMswd result;
    if (!usable(dates))
        return result;
    FloatingPointGuard guard("ConventionalMswdOfAges");
    long double s0 = 0, s1 = 0;
    for (const AgeSigma &d : dates) {
        const long double w = 1 / (static_cast<long double>(d.sigma) * d.sigma);
        s0 += w;
        s1 += w * d.age;
    }
    const long double mean = s1 / s0;
    long double chi2 = 0;
    for (const AgeSigma &d : dates) {
        const long double z = (d.age - mean) / d.sigma;
        chi2 += z * z;
    }
    result.dof = int(dates.size()) - 1;
    result.mean = guard.result(mean);
    result.mswd = guard.result(chi2 / result.dof);
    result.pChi2 = ChiSquareUpperTail(guard.result(chi2), result.dof);
    result.defined = true;
    return result;
}

RandomEffectsMean RandomEffectsMeanOfAges(std::span<const AgeSigma> dates)
{
    RandomEffectsMean result;
    if (!usable(dates))
        return result;
    FloatingPointGuard guard("RandomEffectsMeanOfAges");

    // The profile log-likelihood in τ = ω² has the derivative score/2. Where it falls at τ = 0 the dates
    // scatter no more than their errors allow and ω = 0; otherwise τ is the first zero of the score,
    // bracketed by doubling and found by bisection.
    double tau = 0;
    Profile at = profile(dates, 0);
    if (at.score > 0) {
        long double sum = 0;
        for (const AgeSigma &d : dates)
            sum += d.age;
        const long double plain = sum / dates.size();
        long double spread = 0;
        for (const AgeSigma &d : dates)
            spread += (d.age - plain) * (d.age - plain);
        double low = 0;
        double high = std::max(static_cast<double>(spread / dates.size()), std::numeric_limits<double>::min());
        for (int i = 0; i < 2000 && profile(dates, high).score > 0; ++i) {
            low = high;
            high *= 2;
        }
        for (int i = 0; i < 200 && high - low > 1e-15 * high; ++i) {
            const double middle = low + (high - low) / 2;
            (profile(dates, middle).score > 0 ? low : high) = middle;
        }
        tau = low + (high - low) / 2;
        at = profile(dates, tau);
    }
    const double omega = std::sqrt(tau);

    // Observed information of ℓ = -½ Σ [ln vᵢ + rᵢ²/vᵢ], vᵢ = σᵢ² + ω², in (μ, ω): minus the Hessian.
    long double sw = 0, sw2r = 0, sw2r2 = 0, sw2 = 0, sw3r2 = 0;
    for (const AgeSigma &d : dates) {
        const long double w = 1 / (static_cast<long double>(d.sigma) * d.sigma + tau);
        const long double r = d.age - at.mean;
        sw += w;
        sw2r += w * w * r;
        sw2r2 += w * w * r * r;
        sw2 += w * w;
        sw3r2 += w * w * w * r * r;
    }
    const long double iMuMu = sw;
    const long double iMuOmega = 2 * omega * sw2r;
    const long double iOmegaOmega = -(sw2r2 - sw) - static_cast<long double>(tau) * (2 * sw2 - 4 * sw3r2);
    const long double determinant = iMuMu * iOmegaOmega - iMuOmega * iMuOmega;

    result.n = int(dates.size());
    result.mean = guard.result(at.mean);
    result.dispersion = guard.result(omega);
    if (determinant > 0) {
        result.meanError = guard.result(std::sqrt(iOmegaOmega / determinant));
        result.dispersionError = guard.result(std::sqrt(iMuMu / determinant));
    } else {
        // A likelihood flat in ω (the score is exactly 0 at ω = 0): ω is not bounded by the data.
        result.meanError = guard.result(1 / std::sqrt(iMuMu));
        result.dispersionError = std::numeric_limits<double>::infinity();
    }
    result.defined = true;
    return result;
}

} // namespace kv::calc
