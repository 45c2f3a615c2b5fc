// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <optional>

namespace kv {

/// One point of a straight-line fit with its 1-sigma errors and their correlation.
struct FitPoint
{
    double x = 0, y = 0, sx = 0, sy = 0, r = 0;
};

/// A line y = intercept + slope * x with 1-sigma errors.
struct LineFit
{
    double slope = 0, intercept = 0, slopeError = 0, interceptError = 0;
    double covariance = 0; // of slope and intercept
    double chi2 = 0;       // the sum of the weighted squared residuals
    int n = 0, dof = 0;    // points, and degrees of freedom n - 2
    /// chi2 / dof, and the upper tail of the chi-square distribution at chi2 (the probability of fit):
    /// none for two points, through which the line passes exactly.
    std::optional<double> mswd, probability;
};

/// The best straight line through points with errors in both coordinates (York et al., 2004,
/// Am. J. Phys. 72, 367), the fit behind an isochron. Throws InputError for fewer than two points, an
/// error that is not positive, a correlation outside (-1, 1), points that all have the same x (a
/// vertical line) or an iteration that does not settle.
LineFit yorkFit(const QList<FitPoint> &points);

/// An isochron age in Ma with its 1-sigma error.
struct IsochronAge
{
    double age = 0, error = 0;
};

/// The age of an isochron of the given slope, t = ln(1 + slope) / lambda (lambda per year), with the error
/// propagated from the slope's alone: sigma_t = sigma_slope / (lambda (1 + slope)). The decay constant's
/// own error is left out, as isochron ages are usually quoted. Throws InputError for a lambda that is not
/// positive or a slope of -1 or below, which gives no age.
IsochronAge isochronAge(const LineFit &fit, double lambda);

} // namespace kv
