// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool calc isochron: the York line fit of (x, y) points with correlated errors and its isochron age.
#include "app/kvtool.h"
#include "calc/york_fit.h"
#include "core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

// Reads "x,sx,y,sy[,rho]" rows of 1-sigma absolute errors; the first non-blank line may be a header.
QList<kv::FitPoint> readPoints(const QString &path)
{
    if (!QFileInfo(path).isFile())
        throw kv::FileError(u"File not found: %1"_s.arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw kv::FileError(u"Cannot read %1: %2"_s.arg(path, file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    QList<kv::FitPoint> points;
    bool firstLine = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(u',');
        QList<double> values;
        bool valid = fields.size() == 4 || fields.size() == 5;
        for (qsizetype k = 0; valid && k < fields.size(); ++k) {
            QString field = fields.at(k).trimmed();
            if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
                field = field.mid(1, field.size() - 2).trimmed();
            bool ok = false;
            values << field.toDouble(&ok);
            valid = ok && std::isfinite(values.last());
        }
        if (!valid && firstLine) {
            firstLine = false; // a header such as "x,sx,y,sy,rho"
            continue;
        }
        firstLine = false;
        if (!valid)
            throw kv::FileError(
                u"%1, line %2: expected four or five numbers \"x,sx,y,sy[,rho]\", found \"%3\""_s.arg(path)
                    .arg(i + 1)
                    .arg(line));
        points.append({values[0], values[2], values[1], values[3], values.value(4, 0.0)});
    }
    return points;
}

int calcIsochron(kv::tool::Context &c)
{
    const QString lambdaText = c.option(u"lambda"_s);
    if (c.args.size() != 1)
        throw kv::InputError(c.args.isEmpty() ? u"Missing argument: expected FILE."_s
                                              : u"Unexpected argument: %1"_s.arg(c.args.at(1)));
    if (lambdaText.isEmpty())
        throw kv::InputError(u"Give the decay constant: --lambda L (per year)."_s);
    bool ok = false;
    const double lambda = lambdaText.toDouble(&ok);
    if (!ok || !(lambda > 0) || !std::isfinite(lambda))
        throw kv::InputError(u"--lambda needs a positive number (per year), not \"%1\"."_s.arg(lambdaText));
    const QList<kv::FitPoint> points = readPoints(c.args.first());
    const kv::LineFit fit = kv::yorkFit(points);
    c.out << "n " << fit.n << '\n'
          << "slope " << number(fit.slope) << '\n'
          << "slope_error " << number(fit.slopeError) << '\n'
          << "intercept " << number(fit.intercept) << '\n'
          << "intercept_error " << number(fit.interceptError) << '\n'
          << "covariance " << number(fit.covariance) << '\n'
          << "dof " << fit.dof << '\n'
          << "mswd " << (fit.mswd ? number(*fit.mswd) : u"none (two points: the line passes through both)"_s)
          << '\n'
          << "p(chi2) " << (fit.probability ? number(*fit.probability) : u"none"_s) << '\n';
    c.out.flush();
    const kv::IsochronAge age = kv::isochronAge(fit, lambda);
    c.out << "age_ma " << number(age.age) << '\n' << "age_error_ma " << number(age.error) << '\n';
    return 0;
}

const kv::tool::Verb
    isochronVerb("calc isochron",
                 "FILE --lambda L  (CSV of x,sx,y,sy[,rho], 1-sigma absolute; a header line allowed)",
                 &calcIsochron);

} // namespace
