// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/york_fit.h"

#include "calc/statistics.h"
#include "core/errors.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

LineFit yorkFit(const QList<FitPoint> &points)
{
    const qsizetype n = points.size();
    if (n < 2)
        throw InputError(u"A line fit needs at least two points, not %1."_s.arg(n));
    QList<double> wx(n), wy(n), alpha(n), weight(n), beta(n);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const FitPoint &p = points[i];
        if (!(p.sx > 0) || !(p.sy > 0))
            throw InputError(u"Point %1 of a line fit has no positive error."_s.arg(i + 1));
        if (!(std::abs(p.r) < 1))
            throw InputError(
                u"Point %1 of a line fit has an error correlation of %2, outside -1 to 1."_s.arg(i + 1).arg(
                    p.r));
        wx[i] = 1 / (p.sx * p.sx);
        wy[i] = 1 / (p.sy * p.sy);
        alpha[i] = std::sqrt(wx[i] * wy[i]);
        sx += p.x;
        sy += p.y;
        sxx += p.x * p.x;
        sxy += p.x * p.y;
    }
    // Ordinary least squares gives the starting slope.
    const double denominator = n * sxx - sx * sx;
    if (denominator == 0)
        throw InputError(
            u"The points of a line fit all have the same x: the line is vertical and has no slope."_s);
    double b = (n * sxy - sx * sy) / denominator;
    double xbar = 0, ybar = 0;
    bool settled = false;
    for (int iteration = 0; iteration < 200 && !settled; ++iteration) {
        double sw = 0, swx = 0, swy = 0;
        for (qsizetype i = 0; i < n; ++i) {
            weight[i] = wx[i] * wy[i] / (wx[i] + b * b * wy[i] - 2 * b * points[i].r * alpha[i]);
            sw += weight[i];
            swx += weight[i] * points[i].x;
            swy += weight[i] * points[i].y;
        }
        xbar = swx / sw;
        ybar = swy / sw;
        double top = 0, bottom = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const double u = points[i].x - xbar, v = points[i].y - ybar;
            beta[i] = weight[i] * (u / wy[i] + b * v / wx[i] - (b * u + v) * points[i].r / alpha[i]);
            top += weight[i] * beta[i] * v;
            bottom += weight[i] * beta[i] * u;
        }
        const double next = top / bottom;
        if (!std::isfinite(next))
            throw InputError(u"The line fit found no slope for these points."_s);
        const double change = std::abs(next - b);
        b = next;
        settled = change <= 1e-15 * std::max(1.0, std::abs(b));
        // Stepping in the last digits for the whole run is settled too.
        if (iteration == 199 && change <= 1e-10 * std::max(1.0, std::abs(b)))
            settled = true;
    }
    if (!settled)
        throw InputError(u"The line fit did not settle on a slope in 200 steps."_s);
    LineFit fit;
    fit.n = int(n);
    fit.dof = int(n) - 2;
    fit.slope = b;
    fit.intercept = ybar - b * xbar;
    double sw = 0, swAdjusted = 0;
    for (qsizetype i = 0; i < n; ++i) {
        sw += weight[i];
        swAdjusted += weight[i] * (xbar + beta[i]);
    }
    const double adjustedMean = swAdjusted / sw;
    double su2 = 0, chi2 = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const double u = xbar + beta[i] - adjustedMean;
        su2 += weight[i] * u * u;
        const double residual = points[i].y - b * points[i].x - fit.intercept;
        chi2 += weight[i] * residual * residual;
    }
    fit.slopeError = std::sqrt(1 / su2);
    fit.interceptError = std::sqrt(1 / sw + adjustedMean * adjustedMean / su2);
    fit.covariance = -adjustedMean / su2;
    fit.chi2 = chi2;
    if (fit.dof > 0) {
        fit.mswd = chi2 / fit.dof;
        fit.probability = calc::ChiSquareUpperTail(chi2, fit.dof);
    }
    return fit;
}

IsochronAge isochronAge(const LineFit &fit, double lambda)
{
    if (!(lambda > 0))
        throw InputError(u"An isochron age needs a positive decay constant, not %1."_s.arg(lambda));
    if (!(fit.slope > -1))
        throw InputError(u"An isochron of slope %1 gives no age: ln(1 + slope) needs a slope above -1."_s.arg(
            fit.slope, 0, 'g', 6));
    IsochronAge a;
    a.age = std::log1p(fit.slope) / lambda / 1e6;
    a.error = fit.slopeError / (lambda * (1 + fit.slope)) / 1e6;
    return a;
}

} // namespace kv
