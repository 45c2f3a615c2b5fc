// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/york_fit.h"
#include "main/recalculation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

namespace kv {

/// What Edit > Recalculate > "Isochron age" makes of one record: the York fit of its included samples and
/// the fields it stores, or why it stores nothing.
struct IsochronRecalculation
{
    QString reason; // not empty: nothing is stored
    LineFit fit;
    IsochronAge age;      // Ma, 1 sigma
    int usable = 0;       // samples in the fit
    QString question;     // the comparison with the stored values, asked before storing one record
    QStringList warnings; // shown for one record
    QList<std::pair<QString, QVariant>> record, init, statistics; // of IsoRgr30, IsoInit, IsoStatistics
};

/// Fits the record's included samples with usable X, Y and errors (percent errors made absolute, as the
/// epsilon command does). Model ages (CrsRs, DM, CHUR, RD) are left alone: their age is not an isochron's.
/// Errors are stored at 1.96 sigma, as the other recalculations store theirs; the epsilon of the new
/// initial ratio at the new age goes with it.
IsochronRecalculation recalculateIsochron(const RecalculationInput &in);

} // namespace kv
