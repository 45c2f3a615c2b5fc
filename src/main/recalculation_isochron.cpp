// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/recalculation_isochron.h"

#include "core/errors.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr double Multiplier = 1.96; // the stored errors' level, as the other recalculations store them

QString shown(double v, int digits)
{
    return QString::number(v, 'f', digits);
}

IsochronRecalculation refused(const QString &reason)
{
    IsochronRecalculation r;
    r.reason = reason;
    return r;
}

} // namespace

IsochronRecalculation recalculateIsochron(const RecalculationInput &in)
{
    if (in.InterpAbr == u"CrsRs"_s || in.ApproachAbr == u"DM"_s || in.ApproachAbr == u"CHUR"_s ||
        in.ApproachAbr == u"RD"_s)
        return refused(u"a crustal residence (model) age is not an isochron age"_s);
    if (!(in.lambda.value_or(0) > 0))
        return refused(u"the isotope system %1 has no decay constant"_s.arg(in.IsotopeSystem));
    const double lambda = *in.lambda;

    QList<FitPoint> points;
    for (const SampleValues &s : in.samples) {
        if (!s.included)
            continue;
        const double x = s.X.value_or(0), y = s.Y.value_or(0);
        double sx = s.Xerr.value_or(0), sy = s.Yerr.value_or(0);
        const double r = s.R.value_or(0);
        if (!(x > 0 && y > 0 && sx > 0 && sy > 0) || !(std::abs(r) < 1))
            continue;
        std::tie(sx, sy) = absoluteErrors(s, x, y, sx, sy);
        points << FitPoint{x, y, sx, sy, r};
    }
    if (points.size() < 3)
        return refused(u"an isochron needs at least three included samples with values and errors, and the "
                       u"record has %1"_s.arg(points.size()));

    IsochronRecalculation out;
    out.usable = int(points.size());
    try {
        out.fit = yorkFit(points);
        out.age = isochronAge(out.fit, lambda);
    } catch (const InputError &e) {
        QString reason = e.message();
        if (reason.endsWith(u'.'))
            reason.chop(1);
        return refused(reason);
    }
    const LineFit &fit = out.fit;
    if (!(out.age.age > 0))
        return refused(u"the isochron gives no positive age (%1 Ma)"_s.arg(shown(out.age.age, 3)));
    const double ageError = Multiplier * out.age.error;
    const std::optional<int> iAge = ageThousandths(out.age.age), iError = ageThousandths(ageError);
    if (!iAge || !iError)
        return refused(u"the isochron age (%1 Ma) does not fit the age field"_s.arg(shown(out.age.age, 3)));
    const double ratio = fit.intercept, ratioError = Multiplier * fit.interceptError;

    QString stored = in.hasInit && in.InitRatio ? shown(*in.InitRatio, 6) : u"none"_s;
    if (in.hasInit && in.InitRatio && in.InitRatioError)
        stored += u" \u00b1 "_s + shown(*in.InitRatioError, 6);
    out.question = u"Isochron of %1 samples: age %2 \u00b1 %3 Ma (stored %4 Ma), initial ratio %5 \u00b1 %6 "
                   u"(stored %7), MSWD %8, probability of fit %9. Store the new values?"_s.arg(out.usable)
                       .arg(shown(*iAge * 0.001, 3), shown(*iError * 0.001, 3), shown(in.Age, 3),
                            shown(ratio, 6), shown(ratioError, 6), stored, shown(fit.mswd.value_or(0), 2),
                            shown(fit.probability.value_or(0), 3));

    // The epsilon of the new ratio at the new age; without a positive reservoir ratio an old epsilon would
    // belong to another ratio and goes.
    QVariant epsilon(QMetaType::fromType<double>()), epsilonError(QMetaType::fromType<double>());
    const double f = std::expm1(lambda * out.age.age * 1e6);
    const double scale = in.URparam3.value_or(0);
    if (in.URparam1 && in.URparam2 && *in.URparam2 - f * *in.URparam1 > 0 && ratio != 0) {
        epsilon = (ratio / (*in.URparam2 - f * *in.URparam1) - 1) * scale;
        epsilonError = scale * ratioError / ratio;
    } else {
        out.warnings << u"No epsilon value for record %1: the reservoir ratio at %2 Ma is not positive."_s
                            .arg(in.RecordID)
                            .arg(shown(out.age.age, 3));
    }
    out.record = {{u"IAge"_s, *iAge},
                  {u"IAgePError"_s, *iError},
                  {u"IAgeMError"_s, *iError},
                  {u"DecayConst1"_s, lambda}};
    out.init = {{u"InitRatio"_s, ratio},
                {u"InitRatioError"_s, ratioError},
                {u"Epsilon"_s, epsilon},
                {u"EpsilonError"_s, epsilonError}};
    out.statistics = {
        {u"MSWD"_s, *fit.mswd},     {u"NReg"_s, double(out.usable)},    {u"NSamples"_s, out.usable},
        {u"DegFreedom"_s, fit.dof}, {u"ProbOfFit"_s, *fit.probability}, {u"ProgName"_s, u"York fit"_s}};
    return out;
}

} // namespace kv
