// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/sqlite_backend.h"

#include "data/connection.h"
#include "data/dialect_adapter.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace kv {

QString SqliteBackend::describe(const QString &location) const
{
    return Connection::resolvePath(location);
}

QStringList SqliteBackend::databaseFiles(const QString &location) const
{
    // WAL mode keeps the recent writes beside the database until a checkpoint.
    const QString path = Connection::resolvePath(location);
    return {path, path + u"-wal"_s, path + u"-shm"_s};
}

QSqlDatabase SqliteBackend::addDatabase(const QString &location, const QString &qtName, bool create) const
{
    const QString path = Connection::resolvePath(location);
    if (!QFileInfo::exists(path)) {
        if (!create)
            throw DatabaseError(u"The database %1 does not exist."_s.arg(path));
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            throw DatabaseError(u"Cannot create the folder of the database %1."_s.arg(path));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, qtName);
    db.setDatabaseName(path);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=10000"_s);
    return db;
}

void SqliteBackend::configure(QSqlDatabase &database) const
{
    QSqlQuery pragma(database);
    pragma.exec(u"PRAGMA journal_mode=WAL"_s);
    pragma.exec(u"PRAGMA synchronous=NORMAL"_s);
    // A page cache of 64 MB rather than SQLite's 2 MB: a query over the records reads its pages again and
    // again (the joins, the graphs' working tables), each time from the file otherwise.
    pragma.exec(u"PRAGMA cache_size=-65536"_s);
}

void SqliteBackend::prepareBulkWrite(const Connection &connection) const
{
    connection.exec(u"PRAGMA cache_size = -131072"_s); // 128 MB
    // The savepoints of a bulk write keep the pages they may have to restore in memory, not in a
    // temporary file written page by page.
    connection.exec(u"PRAGMA temp_store = MEMORY"_s);
}

void SqliteBackend::prepareStreamingRead(const Connection &connection) const
{
    // SQLite's own 2 MB: pages read once each only cost memory and time in a larger cache.
    connection.exec(u"PRAGMA cache_size = -2000"_s);
}

bool SqliteBackend::hasTable(const Connection &connection, const QString &table) const
{
    QSqlQuery q = connection.exec(
        u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"_s, {table});
    return q.next();
}

QString SqliteBackend::adapt(const QString &sql) const
{
    return DialectAdapter::forSqlite(sql);
}

int SqliteBackend::errorCode(const QString &nativeCode, const QString &text) const
{
    const int sqliteCode = nativeCode.toInt();
    if ((sqliteCode & 0xff) != 19) // SQLITE_CONSTRAINT and its extended codes
        return 0;
    if (sqliteCode == 2067 || sqliteCode == 1555 || text.contains(u"UNIQUE"_s))
        return KeyViolation;
    if (sqliteCode == 1299 || text.contains(u"NOT NULL"_s))
        return RequiredFieldMissing;
    if (sqliteCode == 787 || text.contains(u"FOREIGN KEY"_s))
        return ForeignKeyError;
    return IntegrityError;
}

bool SqliteBackend::isSnapshotConflict(const QString &nativeCode) const
{
    const int code = nativeCode.toInt();
    return (code & 0xff) == 5 || (code & 0xff) == 6; // SQLITE_BUSY (and BUSY_SNAPSHOT), SQLITE_LOCKED
}

QString SqliteBackend::rowIdentity() const
{
    return u"rowid"_s;
}

} // namespace kv
