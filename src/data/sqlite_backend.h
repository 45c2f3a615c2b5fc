// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database_backend.h"

namespace kv {

/// The embedded default: a database file of the user, in WAL mode, rows found again by rowid.
class SqliteBackend : public DatabaseBackend
{
public:
    Backend kind() const override { return Backend::SQLite; }
    QString describe(const QString &location) const override;
    QStringList databaseFiles(const QString &location) const override;
    QSqlDatabase addDatabase(const QString &location, const QString &qtName, bool create) const override;
    void configure(QSqlDatabase &database) const override;
    void prepareBulkWrite(const Connection &connection) const override;
    void prepareStreamingRead(const Connection &connection) const override;
    bool hasTable(const Connection &connection, const QString &table) const override;
    QString adapt(const QString &sql) const override;
    int errorCode(const QString &nativeCode, const QString &text) const override;
    bool isSnapshotConflict(const QString &nativeCode) const override;
    bool transactionSurvivesErrors() const override { return true; }
    QString rowIdentity() const override;
    bool supportsReturning() const override { return true; }
};

} // namespace kv
