// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/errors.h"
#include "data/database_backend.h"
#include "data/schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

class QSqlError;

namespace kv {

class Dataset;

/// One named database connection (KVResults, KVtmp, ...) bound to a location string: a
/// "postgresql://" URI, an "odbc:" connection string, or the path of an SQLite file or of a folder
/// holding "kelvora.sqlite".
class Connection
{
public:
    explicit Connection(const QString &name);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    const QString &name() const { return m_name; }

    void bind(const QString &location);
    const QString &location() const { return m_location; }
    Backend backend() const { return m_engine->kind(); }
    /// What the engine behind the location does its own way (SQL types, row identity, streaming, ...).
    const DatabaseBackend &engine() const { return *m_engine; }
    /// What the location names, for messages: a file path, a server and database, or the ODBC string.
    QString describe() const;

    /// Opens the database. A missing SQLite file is an error unless create is true; requiredTable, when
    /// given, must exist, or the location holds no Kelvora database.
    void open(bool create = false, const QString &requiredTable = {});
    void close();
    bool isOpen() const;

    QSqlDatabase database() const;
    /// A fresh query on this connection.
    QSqlQuery query() const;

    /// Runs one statement with positional values; throws DatabaseError.
    QSqlQuery exec(const QString &sql, const QVariantList &values = {}) const;
    /// Prepares a statement for repeated execution; throws DatabaseError.
    QSqlQuery prepare(const QString &sql) const;
    /// Executes a prepared statement; throws DatabaseError.
    void execPrepared(QSqlQuery &query) const;

    bool hasTable(const QString &table) const;
    /// Creates every table of one database kind, with its keys and indexes, in one transaction.
    void createSchema(DatabaseKind kind);

    /// After rows were written with explicit values into an autoinc column, lets the next assigned
    /// value follow the largest one stored.
    void syncAutoIncrement(const QString &table);

    void begin();
    void commit();
    void rollback();

    /// The SQL text as it should run on this back end (the system's texts stay as written).
    QString adapt(const QString &sql) const;

    /// An engine error as the DatabaseError the handlers understand, naming the database.
    DatabaseError translate(const QSqlError &error, const QString &context = {}) const;

    /// PostgreSQL streams a result row by row only while nothing else runs on its connection, so a
    /// dataset that may read a very large result reads it through a connection of its own.
    QSqlDatabase streamingDatabase(const Dataset *owner);
    void dropStreamingDatabase(const Dataset *owner);

    /// Datasets reading through this connection. When the database refuses a write because this
    /// connection's open cursors still hold an old snapshot (another program wrote since), the cursors
    /// are released and the write is tried once more.
    void addReader(Dataset *dataset);
    void removeReader(Dataset *dataset);
    void releaseReaders();
    /// True for the engine's "busy"/"stale snapshot" refusals that releasing the readers can cure.
    bool isSnapshotConflict(const DatabaseError &error) const;

    /// Resolves a location string: Windows drive paths become folders of the data folder.
    static QString resolvePath(const QString &location);
    static Backend backendOf(const QString &location);

private:
    QString m_name;
    QString m_qtName;
    QString m_location;
    const DatabaseBackend *m_engine = &DatabaseBackend::of(Backend::SQLite);
    QList<Dataset *> m_readers;
    QHash<const Dataset *, QString> m_streams; // owner -> Qt connection name
};

/// Commits on commit(), rolls back when left without it.
class Transaction
{
public:
    explicit Transaction(Connection &connection) : m_connection(connection) { m_connection.begin(); }
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_connection.rollback();
            } catch (...) {
            }
        }
    }
    void commit()
    {
        m_connection.commit();
        m_done = true;
    }

private:
    Connection &m_connection;
    bool m_done = false;
};

} // namespace kv
