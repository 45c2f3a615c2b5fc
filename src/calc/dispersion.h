// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/statistics.h"

#include <span>

namespace kv::calc {

// The scatter of dates about their mean as other geochronology programs report it, beside the two-pass
// weighted mean of WeightedMeanOfAges. Both need two dates or more, each with a positive, finite sigma;
// otherwise the result says it is not defined and holds zeros.

/// The conventional MSWD of a weighted mean and the probability of a larger one.
struct ConventionalMswd
{
    bool defined = false;
    double mean = 0;  // first-pass mean, weights 1/sigma²
    double mswd = 0;  // Σ((x - mean)/sigma)² / (n - 1)
    double pChi2 = 0; // upper chi-square tail at (n - 1)·MSWD with n - 1 degrees of freedom
    int dof = 0;
};

/// Maximum-likelihood mean and dispersion of dates with overdispersion, with their one-sigma errors.
struct RandomEffectsMean
{
    bool defined = false;
    double mean = 0;
    double meanError = 0;
    double dispersion = 0; // ω >= 0
    double dispersionError = 0;
    int n = 0;
};

/// MSWD about the 1/σ²-weighted mean and its chi-square probability (Wendt & Carl 1991, Chem. Geol. 86, 275).
ConventionalMswd ConventionalMswdOfAges(std::span<const AgeSigma> dates);

/// Mean μ and dispersion ω maximising the likelihood of xᵢ ~ N(μ, σᵢ² + ω²), the random-effects model of
/// DerSimonian & Laird (1986, Control. Clin. Trials 7, 177) fitted by maximum likelihood as in Vermeesch
/// (2018, Geosci. Front. 9, 1479); the errors come from the inverse of the observed Fisher information.
RandomEffectsMean RandomEffectsMeanOfAges(std::span<const AgeSigma> dates);

} // namespace kv::calc
