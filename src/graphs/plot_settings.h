// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

namespace kv {

class IniFile;

/// The state of the plot-groupings window: what its controls hold and the public fields the graph
/// commands read. Lives for the whole run, as the window does.
struct PlotGroupings
{
    static constexpr int Groups = 5;
    static constexpr int Bands = 5;

    // Interpretation groups: legend titles and the two interpretation codes of each.
    std::array<QString, Groups> GroupTitle, GroupLookupA, GroupLookupB;
    // Date bands, as typed and as numbers.
    std::array<QString, Bands> DateTitle, DateMinText, DateMaxText;
    std::array<bool, Bands> DateApply{};
    std::array<float, Bands> DateMin{}, DateMax{};
    /// Basis of the grouped graphs, exactly as read: a name of basisNames() or anything the file held.
    QString HowGrouped = QStringLiteral("Grouping");
    /// The basis radio button that is on (index into basisNames()); kept when the file names no basis.
    int basisButton = 0;
    QString MinimumUncertaintyText = QStringLiteral("1.0");
    float MinimumUncertainty = 1.0f;

    /// "Grouping", "Province", "Terrane", "Orogenic Period", "Chemical Type", in radio-button order.
    static const std::array<QString, 5> &basisNames();

    /// Leaving a band's minimum or maximum edit: the text and its value.
    void setDateMinText(int band, const QString &text);
    void setDateMaxText(int band, const QString &text);
};

/// Which plots the initial-ratio graphs draw and their axis variables (VariableAbr codes).
struct PlotAxes
{
    static constexpr int Plots = 3;
    std::array<bool, Plots> plotOn{}; // never stored: every run starts with all plots off
    std::array<QString, Plots> X, Y;
};

/// The largest number of rows a chart may be given; replaced by the settings file's value.
constexpr int DefaultMaxRows = 160;

/// The numeric value of a settings text as the plot settings read it: leading blanks, a sign, digits,
/// a fraction after a point and an exponent; the longest such start of the text counts ("12,5" is 12),
/// and a text without one is 0.
double settingsNumber(const QString &text);

/// LoadPlotGroupings: reads the "Classification" section and "Graph settings"/"Max Rows" (with maxRows
/// as its default) into the groupings.
void LoadPlotGroupings(const IniFile &file, PlotGroupings &groupings, int &maxRows);
/// LoadPlotGroupings from the settings file, read afresh.
void LoadPlotGroupings(PlotGroupings &groupings, int &maxRows);
/// What closing the plot-groupings window writes. Sets HowGrouped from the radio button that is on.
void SavePlotGroupings(IniFile &file, PlotGroupings &groupings, int maxRows);

/// LoadPlotAxes: the six "Plot axes" keys. The plot switches are left as they are.
void LoadPlotAxes(const IniFile &file, PlotAxes &axes);
/// What closing the plot-axes window writes: the keys of the plots that are switched on, no others.
void SavePlotAxes(IniFile &file, const PlotAxes &axes);

} // namespace kv
