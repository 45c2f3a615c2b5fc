// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/database_backend.h"

#include "data/connection.h"
#include "data/odbc_backend.h"
#include "data/postgresql_backend.h"
#include "data/sqlite_backend.h"

using namespace Qt::StringLiterals;

namespace kv {

const DatabaseBackend &DatabaseBackend::of(Backend backend)
{
    static const SqliteBackend sqlite;
    static const PostgresqlBackend postgresql;
    static const OdbcBackend odbc;
    switch (backend) {
    case Backend::SQLite:
        return sqlite;
    case Backend::PostgreSQL:
        return postgresql;
    case Backend::ODBC:
        return odbc;
    }
    return sqlite;
}

const DatabaseBackend &DatabaseBackend::forLocation(const QString &location)
{
    if (location.startsWith(u"postgresql://"_s, Qt::CaseInsensitive) ||
        location.startsWith(u"postgres://"_s, Qt::CaseInsensitive))
        return of(Backend::PostgreSQL);
    if (location.startsWith(u"odbc:"_s, Qt::CaseInsensitive))
        return of(Backend::ODBC);
    return of(Backend::SQLite);
}

QStringList DatabaseBackend::databaseFiles(const QString &) const
{
    return {};
}

void DatabaseBackend::configure(QSqlDatabase &) const {}

void DatabaseBackend::prepareBulkWrite(const Connection &) const {}

void DatabaseBackend::prepareStreamingRead(const Connection &) const {}

bool DatabaseBackend::hasTable(const Connection &connection, const QString &table) const
{
    return connection.database().tables().contains(table, Qt::CaseInsensitive);
}

QString DatabaseBackend::columnType(const ColumnDef &column) const
{
    switch (column.type) {
    case ColumnType::Text:
        return u"VARCHAR(%1)"_s.arg(column.width);
    case ColumnType::Int16:
        return u"SMALLINT"_s;
    case ColumnType::Int32:
        return u"INTEGER"_s;
    case ColumnType::Float:
        return u"DOUBLE"_s;
    case ColumnType::Date:
        return u"DATE"_s;
    case ColumnType::Memo:
    case ColumnType::FormattedMemo:
        return u"TEXT"_s;
    case ColumnType::Graphic:
        return u"BLOB"_s;
    case ColumnType::AutoInc:
        return u"INTEGER PRIMARY KEY AUTOINCREMENT"_s;
    }
    return {};
}

// SQLite's AUTOINCREMENT already follows the largest value stored.
void DatabaseBackend::syncAutoIncrement(const Connection &, const QString &, const QString &) const {}

// PostgreSQL plans the system's texts well and resolves ORDER BY names itself.
QString DatabaseBackend::adapt(const QString &sql) const
{
    return sql;
}

int DatabaseBackend::errorCode(const QString &, const QString &) const
{
    return 0;
}

bool DatabaseBackend::isSnapshotConflict(const QString &) const
{
    return false;
}

bool DatabaseBackend::transactionSurvivesErrors() const
{
    return false;
}

QString DatabaseBackend::rowIdentity() const
{
    return {};
}

bool DatabaseBackend::supportsReturning() const
{
    return false;
}

bool DatabaseBackend::insertsManyRows() const
{
    return true;
}

bool DatabaseBackend::streamsOnOwnConnection() const
{
    return false;
}

bool DatabaseBackend::takesDatabaseFile() const
{
    return false;
}

} // namespace kv
