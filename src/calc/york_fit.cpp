// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/york_fit.h"

#include "core/errors.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

LineFit yorkFit(const QList<FitPoint> &points)
{
    const qsizetype n = points.size();
    if (n < 3)
        throw InputError(u"A line fit needs at least three points, not %1."_s.arg(n));
    QList<double> wx(n), wy(n), alpha(n), weight(n), beta(n);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const FitPoint &p = points[i];
        if (!(p.sx > 0) || !(p.sy > 0))
            throw InputError(u"Point %1 of a line fit has no positive error."_s.arg(i + 1));
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
        throw InputError(u"The points of a line fit all have the same x."_s);
    double b = (n * sxy - sx * sy) / denominator;
    double xbar = 0, ybar = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
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
        const bool converged = std::abs(next - b) <= 1e-15 * std::max(1.0, std::abs(b));
        b = next;
        if (converged)
            break;
    }
    LineFit fit;
    fit.n = int(n);
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
    fit.mswd = chi2 / double(n - 2);
    return fit;
}

} // namespace kv
