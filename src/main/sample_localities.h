// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QVariant>

#include <functional>

class QSqlQuery;

namespace kv {

class Connection;

/// A sample of a query's record, of the record's own isotope system, with its locality (null coordinates
/// when the sample has no locality row) and the record's fields.
struct QuerySample
{
    QVariant recordId, age, agePlus, ageMinus;
    QString interpAbr, unitName, countryAbr, materialAbr, isotopeSystem;
    QString sampleNo;
    QVariant latitude, longitude, elevation;
};

/// Hands every sample of every record of a query text (Query1's lines) to f, read by one statement that
/// joins the query to the samples, rather than a query per record and sample. The query's text must
/// select the record's RecordID, IAge, IAgePError, IAgeMError, InterpAbr, UnitName, CountryAbr, MaterialAbr
/// and IsotopeSystem, as the query command's text does.
void forEachQuerySample(Connection &results, const QStringList &queryLines,
                        const std::function<void(const QuerySample &)> &f);

} // namespace kv
