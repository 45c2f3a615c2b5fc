// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kv {

/// Makes the system's SQL texts run well on SQLite. Two rewrites of a select over several tables
/// listed with commas, nothing more; any other text passes unchanged:
/// - the tables are joined in the written order, the date records (IsoRgr30) first, as CROSS JOINs,
///   which SQLite never reorders (its own plan for the query's ten-table join is ten times slower);
/// - a trailing ORDER BY of bare names that the select list yields is resolved against the select
///   list by sorting the query wrapped as a subquery (SQLite resolves such a name against the tables,
///   where CountryAbr is ambiguous between IsoRgr30, Country and Suite).
class DialectAdapter
{
public:
    static QString forSqlite(const QString &sql);
};

} // namespace kv
