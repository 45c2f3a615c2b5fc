// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool calc ...: the numerical routines of the date statistics and model ages, on numbers given here.
#include "app/kvtool.h"
#include "calc/dispersion.h"
#include "calc/kernel_density.h"
#include "calc/model_age.h"
#include "calc/statistics.h"
#include "core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Ten significant digits are asked for; twelve leave room for comparing with other programs.
QString number(double value)
{
    return QString::number(value, 'g', 12);
}

double parseNumber(const QString &text, const QString &what)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw kv::InputError(u"%1 is not a number: \"%2\""_s.arg(what, text));
    return value;
}

QList<double> positional(kv::tool::Context &c, const QStringList &names)
{
    if (c.args.size() < names.size())
        throw kv::InputError(u"Missing arguments: expected %1."_s.arg(names.join(u' ')));
    if (c.args.size() > names.size())
        throw kv::InputError(u"Unexpected argument: %1"_s.arg(c.args.at(names.size())));
    QList<double> values;
    for (qsizetype i = 0; i < names.size(); ++i)
        values << parseNumber(c.args.at(i), names.at(i));
    return values;
}

QString unquoted(QString field)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
        field = field.mid(1, field.size() - 2).trimmed();
    return field;
}

// Reads "age,sigma" rows; the first non-blank line may be a header. With agesOnly a row may hold the age
// alone, and a sigma beside it is read but not needed.
QList<kv::calc::AgeSigma> readDates(const QString &path, bool agesOnly = false)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw kv::FileError(u"File not found: %1"_s.arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw kv::FileError(u"Cannot read %1: %2"_s.arg(path, file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    QList<kv::calc::AgeSigma> dates;
    bool firstLine = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(u',');
        bool ageOk = false;
        bool sigmaOk = false; // both stay false unless the line has exactly two fields
        double age = 0;
        double sigma = 0;
        if (fields.size() == 2 || (agesOnly && fields.size() == 1)) {
            age = unquoted(fields.at(0)).toDouble(&ageOk);
            sigmaOk = fields.size() == 1;
            if (fields.size() == 2)
                sigma = unquoted(fields.at(1)).toDouble(&sigmaOk);
        }
        const bool valid = ageOk && sigmaOk && std::isfinite(age) && std::isfinite(sigma);
        if (!valid && firstLine) {
            firstLine = false; // a header such as "X,errX"
            continue;
        }
        firstLine = false;
        if (!valid)
            throw kv::FileError(u"%1, line %2: expected %3, found \"%4\""_s.arg(path)
                                    .arg(i + 1)
                                    .arg(agesOnly ? u"an age or two numbers \"age,sigma\""_s
                                                  : u"two numbers \"age,sigma\""_s)
                                    .arg(line));
        dates.append({age, sigma});
    }
    if (dates.isEmpty())
        throw kv::FileError(u"%1 holds no dates."_s.arg(path));
    return dates;
}

int calcWmean(kv::tool::Context &c)
{
    if (c.args.size() != 1)
        throw kv::InputError(c.args.isEmpty() ? u"Missing argument: expected FILE."_s
                                              : u"Unexpected argument: %1"_s.arg(c.args.at(1)));
    const QList<kv::calc::AgeSigma> dates = readDates(c.args.first());
    const kv::calc::WeightedMean mean = kv::calc::WeightedMeanOfAges(dates);
    const double probability = kv::calc::FProbability(mean.n - 1, 999, mean.mswd, c.ui);
    c.out << "mean " << number(mean.mean) << '\n'
          << "internal_error " << number(mean.internalError) << '\n'
          << "external_error " << number(mean.externalError) << '\n'
          << "mswd " << number(mean.mswd) << '\n'
          << "n " << mean.n << '\n'
          << "probability_of_fit " << number(probability) << '\n';
    // The figures other programs give for the same dates; the errors are one sigma.
    const kv::calc::ConventionalMswd conventional = kv::calc::ConventionalMswdOfAges(dates);
    const kv::calc::RandomEffectsMean random = kv::calc::RandomEffectsMeanOfAges(dates);
    if (conventional.defined && random.defined) {
        c.out << "MSWD (conventional) " << number(conventional.mswd) << '\n'
              << "p(chi2) " << number(conventional.pChi2) << '\n'
              << "mean (random effects) " << number(random.mean) << " +/- " << number(random.meanError) << '\n'
              << "dispersion " << number(random.dispersion) << " +/- " << number(random.dispersionError) << '\n';
    } else {
        c.out << "# the conventional MSWD and the random-effects mean need two dates or more, each with a "
                 "positive sigma\n";
    }
    return 0;
}

int calcKde(kv::tool::Context &c)
{
    const bool adaptive = c.flag(u"adaptive"_s);
    const QString from = c.option(u"from"_s);
    const QString to = c.option(u"to"_s);
    const QString points = c.option(u"points"_s);
    if (c.args.size() != 1)
        throw kv::InputError(c.args.isEmpty() ? u"Missing argument: expected FILE."_s
                                              : u"Unexpected argument: %1"_s.arg(c.args.at(1)));
    std::vector<double> ages;
    for (const kv::calc::AgeSigma &date : readDates(c.args.first(), true))
        ages.push_back(date.age);
    if (!(kv::calc::BotevBandwidth(ages) > 0))
        throw kv::InputError(u"A kernel density needs two different ages or more."_s);
    kv::calc::DensityGrid grid = kv::calc::DefaultDensityGrid(ages);
    if (!from.isEmpty())
        grid.from = parseNumber(from, u"--from"_s);
    if (!to.isEmpty())
        grid.to = parseNumber(to, u"--to"_s);
    if (!points.isEmpty()) {
        bool ok = false;
        grid.points = points.toInt(&ok);
        if (!ok || grid.points < 2 || grid.points > 1000000)
            throw kv::InputError(u"--points takes a whole number from 2 to 1000000, not \"%1\"."_s.arg(points));
    }
    if (!(grid.to > grid.from))
        throw kv::InputError(u"The curve needs --to above --from (%1 to %2)."_s.arg(grid.from).arg(grid.to));
    const kv::calc::KernelDensity density = kv::calc::KernelDensityOf(ages, grid, adaptive);
    c.out << "bandwidth " << number(density.bandwidth) << '\n'
          << "n " << ages.size() << '\n'
          << "# x density" << (adaptive ? " (adaptive)" : "") << '\n';
    for (size_t k = 0; k < density.x.size(); ++k)
        c.out << number(density.x[k]) << ' ' << number(density.density[k]) << '\n';
    return 0;
}

int calcFprob(kv::tool::Context &c)
{
    const QList<double> v = positional(c, {u"DF1"_s, u"DF2"_s, u"F"_s});
    c.out << number(kv::calc::FProbability(v[0], v[1], v[2], c.ui)) << '\n';
    return 0;
}

int calcT95(kv::tool::Context &c)
{
    const QList<double> v = positional(c, {u"DF"_s});
    c.out << number(kv::calc::StudentT95(v[0])) << '\n';
    return 0;
}

int calcModelAge(kv::tool::Context &c)
{
    const QString k = c.option(u"k"_s, u"1.96"_s);
    const QString sigmaY = c.option(u"sy"_s);
    const QString sigmaX = c.option(u"sx"_s);
    const QList<double> v = positional(c, {u"LAMBDA"_s, u"C0"_s, u"C1"_s, u"C2"_s, u"Y"_s, u"X"_s});
    const double age = kv::calc::ModelAge(v[0], v[1], v[2], v[3], v[4], v[5]);
    c.out << "age " << number(age) << '\n';
    if (!sigmaY.isEmpty() || !sigmaX.isEmpty()) {
        // A missing sigma counts as not positive, which the routine floors.
        const double sy = sigmaY.isEmpty() ? 0 : parseNumber(sigmaY, u"--sy"_s);
        const double sx = sigmaX.isEmpty() ? 0 : parseNumber(sigmaX, u"--sx"_s);
        const double error =
            kv::calc::ModelAgeError(v[0], v[1], v[2], v[3], parseNumber(k, u"--k"_s), sy, v[4], sx, v[5]);
        c.out << "error " << number(error) << '\n';
    }
    return 0;
}

const kv::tool::Verb wmeanVerb("calc wmean", "FILE  (CSV of age,sigma; a header line allowed)", &calcWmean);
const kv::tool::Verb kdeVerb("calc kde",
                             "FILE [--adaptive] [--from A --to B --points N]  (CSV of ages, or age,sigma)",
                             &calcKde);
const kv::tool::Verb fprobVerb("calc fprob", "DF1 DF2 F", &calcFprob);
const kv::tool::Verb t95Verb("calc t95", "DF", &calcT95);
const kv::tool::Verb modelAgeVerb("calc model-age", "LAMBDA C0 C1 C2 Y X [--k K --sy SY --sx SX]",
                                  &calcModelAge);

} // namespace
