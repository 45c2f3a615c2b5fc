// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"
#include "data/session.h"
#include "importer/staging_table.h"

#include <memory>

namespace kv::importer {

/// The importer's own data module: its connection to the results database and the staging table
/// the readers fill (the viewer's data module is another class).
class TdmKVResults
{
public:
    TdmKVResults();
    ~TdmKVResults();

    Connection KVResults;
    Session Session1;
    /// The rows the last reader read, cleaned; null before the first reader runs.
    std::unique_ptr<StagingTable> cdsImport;

    /// Binds the connection to a location (a folder, an SQLite file or a PostgreSQL URI; a Windows
    /// drive path maps as the viewer maps it) and opens it. The database must exist and hold the
    /// results tables: the importer never creates one. Throws DatabaseError.
    void connectTo(const QString &location);
    /// Closes and opens the connection again, so a reader sees the database as it is now.
    void reconnect();
    /// Closes the staging table and the connection.
    void closeAll();
};

} // namespace kv::importer
