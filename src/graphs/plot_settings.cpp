// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/plot_settings.h"

#include "graphs/plot_state.h"

#include "core/ini_file.h"
#include "main/settings.h"

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString Classification = u"Classification"_s;
const QString GraphSettings = u"Graph settings"_s;
const QString PlotAxesSection = u"Plot axes"_s;

struct GroupDefault
{
    QString title, a, b;
};
const std::array<GroupDefault, 5> &groupDefaults()
{
    static const std::array<GroupDefault, 5> d{{{u"Emplacement"_s, u"Empl"_s, u"Extr"_s},
                                                {u"Metamorphism"_s, u"Meta"_s, u"Cool"_s},
                                                {u"Deposition"_s, u"Depos"_s, u"Diag"_s},
                                                {u"Reset (unknown)"_s, u"Reset"_s, u"Reset"_s},
                                                {u"Mineralisation"_s, u"Miner"_s, u"Miner"_s}}};
    return d;
}

constexpr std::array<int, 6> bandBounds{400, 900, 1400, 1900, 2500, 4000};

QString groupKey(int n, const QString &suffix = {})
{
    return u"Group %1%2"_s.arg(n).arg(suffix);
}

QString dateKey(int n, const QString &suffix = {})
{
    return u"Date %1%2"_s.arg(n).arg(suffix);
}

QString axisKey(int plot, QChar axis)
{
    return u"Plot %1 %2 axis"_s.arg(plot).arg(axis);
}

const std::array<QString, 3> axisDefaultsY{u"I"_s, u"EPS"_s, u"MU"_s};

} // namespace

const std::array<QString, 5> &PlotGroupings::basisNames()
{
    static const std::array<QString, 5> names{u"Grouping"_s, u"Province"_s, u"Terrane"_s, u"Orogenic Period"_s,
                                              u"Chemical Type"_s};
    return names;
}

void PlotGroupings::setDateMinText(int band, const QString &text)
{
    DateMinText.at(band) = text;
    DateMin.at(band) = float(settingsNumber(text));
}

void PlotGroupings::setDateMaxText(int band, const QString &text)
{
    DateMaxText.at(band) = text;
    DateMax.at(band) = float(settingsNumber(text));
}

double settingsNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && text[i] == u' ')
        ++i;
    const qsizetype start = i;
    if (i < size && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < size && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
        return i - from;
    };
    qsizetype mantissaDigits = digits();
    if (i < size && text[i] == u'.') {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        return 0.0;
    qsizetype end = i;
    if (i < size && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < size && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (digits() > 0)
            end = i;
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok); // QString::toDouble reads C locale
    return ok ? value : 0.0;
}

void LoadPlotGroupings(const IniFile &file, PlotGroupings &g, int &maxRows)
{
    maxRows = file.intValue(GraphSettings, u"Max Rows"_s, maxRows);
    for (int n = 1; n <= PlotGroupings::Groups; ++n) {
        const GroupDefault &d = groupDefaults()[n - 1];
        g.GroupTitle[n - 1] = file.value(Classification, groupKey(n), d.title);
        g.GroupLookupA[n - 1] = file.value(Classification, groupKey(n, u" lookup a"_s), d.a);
        g.GroupLookupB[n - 1] = file.value(Classification, groupKey(n, u" lookup b"_s), d.b);
    }
    for (int n = 1; n <= PlotGroupings::Bands; ++n) {
        const QString low = QString::number(bandBounds[n - 1]);
        const QString high = QString::number(bandBounds[n]);
        g.DateTitle[n - 1] = file.value(Classification, dateKey(n), low + u" - "_s + high);
        g.setDateMinText(n - 1, file.value(Classification, dateKey(n, u" minimum"_s), low));
        g.setDateMaxText(n - 1, file.value(Classification, dateKey(n, u" maximum"_s), high));
        g.DateApply[n - 1] = file.boolValue(Classification, u"Apply %1"_s.arg(n), true);
    }
    g.HowGrouped = file.value(Classification, u"How grouped"_s, u"Grouping"_s);
    const auto &names = PlotGroupings::basisNames();
    for (int i = 0; i < int(names.size()); ++i)
        if (names[i] == g.HowGrouped)
            g.basisButton = i;
    if (g.basisButton < 0 || g.basisButton >= int(names.size()))
        g.basisButton = 0;
    g.MinimumUncertaintyText = file.value(Classification, u"Minimum uncertainty"_s, u"1.0"_s);
    g.MinimumUncertainty = float(settingsNumber(g.MinimumUncertaintyText));
}

void LoadPlotGroupings(PlotGroupings &groupings, int &maxRows)
{
    LoadPlotGroupings(IniFile(settingsFilePath()), groupings, maxRows);
}

void LoadPlotGroupings(PlotState &state)
{
    LoadPlotGroupings(state.groupings, state.MaxRows);
}

void LoadPlotAxes(PlotState &state)
{
    LoadPlotAxes(IniFile(settingsFilePath()), state.axes);
}

void SavePlotGroupings(IniFile &file, PlotGroupings &g, int maxRows)
{
    file.setInt(GraphSettings, u"Max Rows"_s, maxRows);
    for (int n = 1; n <= PlotGroupings::Groups; ++n) {
        file.setValue(Classification, groupKey(n), g.GroupTitle[n - 1]);
        file.setValue(Classification, groupKey(n, u" lookup a"_s), g.GroupLookupA[n - 1]);
        file.setValue(Classification, groupKey(n, u" lookup b"_s), g.GroupLookupB[n - 1]);
    }
    for (int n = 1; n <= PlotGroupings::Bands; ++n) {
        file.setValue(Classification, dateKey(n), g.DateTitle[n - 1]);
        file.setValue(Classification, dateKey(n, u" minimum"_s), g.DateMinText[n - 1]);
        file.setValue(Classification, dateKey(n, u" maximum"_s), g.DateMaxText[n - 1]);
        file.setBool(Classification, u"Apply %1"_s.arg(n), g.DateApply[n - 1]);
    }
    const auto &names = PlotGroupings::basisNames();
    if (g.basisButton < 0 || g.basisButton >= int(names.size()))
        g.basisButton = 0;
    g.HowGrouped = names[g.basisButton];
    file.setValue(Classification, u"How grouped"_s, g.HowGrouped);
    file.setValue(Classification, u"Minimum uncertainty"_s, g.MinimumUncertaintyText);
}

void LoadPlotAxes(const IniFile &file, PlotAxes &axes)
{
    for (int p = 1; p <= PlotAxes::Plots; ++p) {
        axes.X[p - 1] = file.value(PlotAxesSection, axisKey(p, u'X'), u"DATE"_s);
        axes.Y[p - 1] = file.value(PlotAxesSection, axisKey(p, u'Y'), axisDefaultsY[p - 1]);
    }
}

void SavePlotAxes(IniFile &file, const PlotAxes &axes)
{
    for (int p = 1; p <= PlotAxes::Plots; ++p) {
        if (!axes.plotOn[p - 1])
            continue;
        file.setValue(PlotAxesSection, axisKey(p, u'X'), axes.X[p - 1]);
        file.setValue(PlotAxesSection, axisKey(p, u'Y'), axes.Y[p - 1]);
    }
}

} // namespace kv
