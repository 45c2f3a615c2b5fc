// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

namespace kv {

/// Row counts of a synthetic database.
struct SyntheticSummary
{
    qint64 records = 0, samples = 0, sampleData = 0, detailRows = 0;
};

/// Fills a freshly created results database with a made-up but plausibly spread set of date records
/// for load and speed tests: lookup tables of a few dozen to a few thousand rows, the given number of
/// records with their details, samples and some raw data. The same count always gives the same rows.
/// Everything goes in one transaction. With smNdSamples above 0, every record is instead a Sm-Nd
/// depleted-mantle model age (CrsRs, DM) with that many included samples whose ratios give model ages
/// near a record's own age, for timing the recalculations; with isochrons as well, each such record is
/// a Sm-Nd isochron (Iso, Empl) of those samples instead.
SyntheticSummary writeSyntheticData(Connection &results, qint64 records, int smNdSamples = 0,
                                    bool isochrons = false);

} // namespace kv
