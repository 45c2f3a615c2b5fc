// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

namespace kv {
class Interaction;
}

namespace kv::calc {

// The statistics of dates that the date graphs use. Pure functions: arguments in, value out. A
// floating-point fault throws FloatingPointError (calc/floating_point_error.h).

/// One date: an age in Ma with its one-sigma uncertainty.
struct AgeSigma
{
    double age = 0;
    double sigma = 0;
};

/// Result of a two-pass weighted mean. The errors are one sigma; n is the number of values used.
struct WeightedMean
{
    double mean = 0;
    double internalError = 0;
    double externalError = 0;
    double mswd = 0;
    int n = 0;
};

/// Value of the normal density at x; 0 for a sigma of 0 and far out in the tails.
double NormalDensity(double x, double mean, double sigma);
/// ln Γ(x) by a six-term Lanczos series, for x > 0.
double LogGamma(double x);
/// Continued-fraction factor of the incomplete beta function. Tells the user when it does not converge.
double BetaContinuedFraction(double a, double b, double x, Interaction &ui);
/// Regularized incomplete beta function I_x(a, b). Tells the user when x is outside [0, 1] and returns 0.
double IncompleteBeta(double a, double b, double x, Interaction &ui);
/// Probability that an F-distributed variable with df1 and df2 degrees of freedom exceeds f.
double FProbability(double df1, double df2, double f, Interaction &ui);
/// Upper tail of the chi-square distribution with dof degrees of freedom at chi2: Q(dof/2, chi2/2), the
/// regularized upper incomplete gamma function (series below a + 1, Lentz's continued fraction above; to
/// about 1e-14 relative). Throws FloatingPointError for dof <= 0 or a negative or non-finite chi2.
double ChiSquareUpperTail(double chi2, double dof);
/// Two-sided 95% Student-t multiplier for df degrees of freedom (1.96 for df <= 0).
double StudentT95(double df);

/// Weighted mean of dates with MSWD and internal and external errors. The first pass weighs each date by
/// 1/sigma² (1 when sigma is 0); the second by 1/(sigma² + internal error²) around the first pass's mean.
/// The table-reading WeightedMeanOfDates of the date graphs hands its rows to this.
WeightedMean WeightedMeanOfAges(std::span<const AgeSigma> dates);

} // namespace kv::calc
