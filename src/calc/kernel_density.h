// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

namespace kv::calc {

// Kernel density estimates of dates with a Gaussian kernel. A density needs two different values; for
// fewer the result says it is not defined. A value that is not finite throws FloatingPointError.

/// Where a density is evaluated: points equally spaced from from to to, both included.
struct DensityGrid
{
    double from = 0;
    double to = 0;
    int points = 512;
};

/// A density on its grid, integrating to 1 over the whole line.
struct KernelDensity
{
    bool defined = false;
    bool adaptive = false;
    double bandwidth = 0; // the fixed bandwidth; the adaptive one scales it per value
    std::vector<double> x;
    std::vector<double> density;
};

/// Bandwidth of the diffusion estimator of Botev, Grotowski & Kroese (2010, Ann. Stat. 38, 2916): the
/// improved Sheather-Jones fixed point on the cosine transform of the binned values; 0 for fewer than
/// two different values.
double BotevBandwidth(std::span<const double> values);

/// The grid a density of these values is drawn on: 512 points over their range widened by a tenth on
/// each side.
DensityGrid DefaultDensityGrid(std::span<const double> values);

/// Gaussian kernel density with the Botev bandwidth (Silverman 1986, Density Estimation, ch. 3); adaptive,
/// each value's bandwidth is scaled by sqrt(g / pilot(value)), the pilot being the fixed-bandwidth density
/// and g its geometric mean over the values (Abramson 1982, Ann. Stat. 10, 1217).
KernelDensity KernelDensityOf(std::span<const double> values, const DensityGrid &grid, bool adaptive);

} // namespace kv::calc
