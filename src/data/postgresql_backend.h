// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database_backend.h"

namespace kv {

/// The shared (LAN) database on a PostgreSQL server: rows found again by ctid with the values read,
/// large results streamed on a connection of their own.
class PostgresqlBackend : public DatabaseBackend
{
public:
    Backend kind() const override { return Backend::PostgreSQL; }
    QString describe(const QString &location) const override;
    QSqlDatabase addDatabase(const QString &location, const QString &qtName, bool create) const override;
    bool hasTable(const Connection &connection, const QString &table) const override;
    QString columnType(const ColumnDef &column) const override;
    void syncAutoIncrement(const Connection &connection, const QString &table, const QString &column) const override;
    int errorCode(const QString &nativeCode, const QString &text) const override;
    QString rowIdentity() const override;
    bool supportsReturning() const override { return true; }
    bool streamsOnOwnConnection() const override { return true; }
};

} // namespace kv
