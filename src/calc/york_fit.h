// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

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
    double mswd = 0;
    int n = 0;
};

/// The best straight line through points with errors in both coordinates (York et al., 2004,
/// Am. J. Phys. 72, 367), the fit behind an isochron. Throws InputError for fewer than three points
/// or a zero error.
LineFit yorkFit(const QList<FitPoint> &points);

} // namespace kv
