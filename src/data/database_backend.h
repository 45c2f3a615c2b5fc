// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace kv {

class Connection;

/// What one database engine does its own way behind a Connection: opening, SQL types, the dialect
/// adapter, error codes, row identity, streaming and RETURNING. One class per engine; the engines keep
/// no state, so each is a single shared object.
class DatabaseBackend
{
public:
    virtual ~DatabaseBackend() = default;

    /// The back end a location string names: "postgresql://" URIs, "odbc:" connection strings, paths.
    static const DatabaseBackend &forLocation(const QString &location);
    static const DatabaseBackend &of(Backend backend);

    virtual Backend kind() const = 0;

    /// What the location names, for messages: a file path, a server and database, or the ODBC string
    /// without its password.
    virtual QString describe(const QString &location) const = 0;
    /// The files that hold the database, for an engine that keeps it in files; empty for a server.
    virtual QStringList databaseFiles(const QString &location) const;

    /// A Qt SQL connection named qtName set up for the location, not yet open; throws DatabaseError when
    /// the location is unusable (a missing file unless create is true, an invalid address).
    virtual QSqlDatabase addDatabase(const QString &location, const QString &qtName, bool create) const = 0;
    /// Settings applied once the database is open.
    virtual void configure(QSqlDatabase &database) const;
    /// Settings for writing a very large number of rows on this connection.
    virtual void prepareBulkWrite(const Connection &connection) const;
    /// Settings for a connection that reads a very large number of rows once each, in one pass.
    virtual void prepareStreamingRead(const Connection &connection) const;

    virtual bool hasTable(const Connection &connection, const QString &table) const;
    /// The column type in CREATE TABLE.
    virtual QString columnType(const ColumnDef &column) const;
    /// After rows were written with explicit values into an autoinc column, lets the next assigned value
    /// follow the largest one stored.
    virtual void syncAutoIncrement(const Connection &connection, const QString &table, const QString &column) const;

    /// The SQL text as it should run on this engine.
    virtual QString adapt(const QString &sql) const;

    /// The code the handlers know (EngineCode) for an engine error, 0 for the others.
    virtual int errorCode(const QString &nativeCode, const QString &text) const;
    /// True for the "busy"/"stale snapshot" refusals that releasing the connection's readers can cure.
    virtual bool isSnapshotConflict(const QString &nativeCode) const;
    /// True when a failed statement leaves the transaction usable, so that a run of writes may skip a
    /// refused row and go on in one transaction.
    virtual bool transactionSurvivesErrors() const;

    /// The column that finds a row read before again (SQLite's rowid, PostgreSQL's ctid); empty when
    /// the engine has none, and the row is found by the values read alone.
    virtual QString rowIdentity() const;
    /// True when INSERT ... RETURNING hands back the assigned autoinc value.
    virtual bool supportsReturning() const;
    /// True when one INSERT may carry many rows.
    virtual bool insertsManyRows() const;

    /// True when the driver streams a forward-only result only while nothing else runs on its connection
    /// (PostgreSQL): a dataset that may read a very large result reads it through a connection of its
    /// own, through a server cursor when its text has no parameters.
    virtual bool streamsOnOwnConnection() const;

    /// True when an alias may name the driver alone and a binding's DATABASE NAME the file it opens.
    virtual bool takesDatabaseFile() const;
};

} // namespace kv
