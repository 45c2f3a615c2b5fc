// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/statistics.h"

#include <array>
#include <span>

namespace kv::calc {

// The model-age and weighted-mean routines of the epsilon/gamma and model-age commands. Pure
// functions; a floating-point fault throws FloatingPointError, which the commands catch per sample.

/// Value of a model age that cannot be formed (Ma), and of an undefined error.
inline constexpr double FailedModelAge = -9999.99;
inline constexpr double UndefinedError = -9999.99;

/// The per-sample results of the record being computed: entries 1 to n are used, index 0 never.
struct SampleArrays
{
    static constexpr int Capacity = 1000;
    std::array<double, Capacity + 1> SampleValues{};
    std::array<double, Capacity + 1> SampleErrors{};
};

/// Model age in Ma of a sample with daughter ratio y and parent/daughter ratio x against the reservoir
/// curve c0 + c1·t + c2·t² (Newton iteration) or, when c2 is 0, the linear reservoir with present ratio
/// c0 and parent/daughter ratio c1 (closed form). lambda is the decay constant per year.
/// Returns FailedModelAge when c0 <= 0, when c2 is 0 and c1 <= 0, or when the iteration fails.
double ModelAge(double lambda, double c0, double c1, double c2, double y, double x);

/// Uncertainty in Ma of ModelAge, from moving both ratios together by k·sigma up and down.
/// Sigmas that are not positive count as 0.00001.
double ModelAgeError(double lambda, double c0, double c1, double c2, double k, double sigmaY, double y,
                     double sigmaX, double x);

/// Two-pass weighted mean of entries 1 to n (at most 1000) of SampleValues with SampleErrors.
/// n = 1 gives the value with its error as both errors; n <= 0 gives only n = 0.
WeightedMean WeightedMeanOfSamples(const SampleArrays &samples, int n);
/// The same mean over every value given (no cap): values[i] with errors[i], as many as values holds.
WeightedMean WeightedMeanOfSamples(std::span<const double> values, std::span<const double> errors);

} // namespace kv::calc
