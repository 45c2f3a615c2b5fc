// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

#include <QList>
#include <QString>

namespace kv::demo {

/// An area of the demo: its code (an ISO 3166 alpha-3 code where it is a country) and name.
struct Area
{
    QString code;
    QString name;
};

/// Every area the demo knows; the Country table gets those that records or outlines use.
const QList<Area> &areas();
/// The area of a country name ("Madagascar", "Saudi Arabia"); empty when unknown.
QString areaCodeOf(const QString &countryName);
QString areaName(const QString &code);

// Decay constants the demo's records carry (per year).
inline constexpr double lambda238U = 1.55125e-10; // Jaffey et al. (1971)
inline constexpr double lambda235U = 9.8485e-10;  // Jaffey et al. (1971)
inline constexpr double lambda87Rb = 1.42e-11;    // Steiger & Jaeger (1977)
inline constexpr double lambda147Sm = 6.54e-12;   // Lugmair & Marti (1978)

/// Writes the lookup tables that do not come from the seed files: isotope systems, materials,
/// techniques, approaches, interpretations, methods, preference levels, reservoirs and models, the
/// raw-data roles and variable names, closure temperatures and the smaller lists.
void writeLookups(Connection &results);

} // namespace kv::demo
