// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/postgresql_backend.h"

#include "data/connection.h"

#include <QSqlQuery>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kv {

QString PostgresqlBackend::describe(const QString &location) const
{
    QUrl url(location);
    url.setPassword({});
    return url.toString();
}

QSqlDatabase PostgresqlBackend::addDatabase(const QString &location, const QString &qtName, bool) const
{
    const QUrl url(location);
    if (!url.isValid() || url.host().isEmpty())
        throw DatabaseError(u"The database location %1 is not a valid PostgreSQL address."_s.arg(location));
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, qtName);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setDatabaseName(url.path().mid(1));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    // No JIT compiling of plans: it costs the server up to a second per statement, on every round of a
    // batch command and on the first rows of a query, and it repays that only on queries far longer than
    // the program's.
    db.setConnectOptions(u"connect_timeout=10;options='-c jit=off'"_s);
    return db;
}

bool PostgresqlBackend::hasTable(const Connection &connection, const QString &table) const
{
    QSqlQuery q = connection.exec(u"SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() "
                                  u"AND table_name = ?"_s,
                                  {table.toLower()});
    return q.next();
}

QString PostgresqlBackend::columnType(const ColumnDef &column) const
{
    switch (column.type) {
    case ColumnType::Float:
        return u"DOUBLE PRECISION"_s;
    case ColumnType::Graphic:
        return u"BYTEA"_s;
    case ColumnType::AutoInc:
        return u"SERIAL PRIMARY KEY"_s;
    default:
        return DatabaseBackend::columnType(column);
    }
}

void PostgresqlBackend::syncAutoIncrement(const Connection &connection, const QString &table,
                                          const QString &column) const
{
    connection.exec(u"SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE((SELECT MAX(%2) FROM %1), 0) + 1, "
                    u"false)"_s.arg(table.toLower(), column.toLower()));
}

int PostgresqlBackend::errorCode(const QString &nativeCode, const QString &text) const
{
    if (nativeCode == u"23505"_s)
        return KeyViolation;
    if (nativeCode == u"23502"_s)
        return RequiredFieldMissing;
    if (nativeCode == u"23503"_s)
        return text.contains(u"still referenced"_s) ? DetailsExist : ForeignKeyError;
    if (nativeCode.startsWith(u"23"_s))
        return IntegrityError;
    return 0;
}

QString PostgresqlBackend::rowIdentity() const
{
    return u"ctid"_s;
}

} // namespace kv
