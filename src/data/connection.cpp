// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/connection.h"

#include "core/paths.h"
#include "data/dataset.h"
#include "data/dialect_adapter.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

QAtomicInt connectionCounter;

const QString sqliteFileName = u"kelvora.sqlite"_s;

} // namespace

Connection::Connection(const QString &name)
    : m_name(name), m_qtName(u"%1#%2"_s.arg(name).arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

Connection::~Connection()
{
    close();
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);
}

Backend Connection::backendOf(const QString &location)
{
    if (location.startsWith(u"postgresql://"_s, Qt::CaseInsensitive) ||
        location.startsWith(u"postgres://"_s, Qt::CaseInsensitive))
        return Backend::PostgreSQL;
    if (location.startsWith(u"odbc:"_s, Qt::CaseInsensitive))
        return Backend::ODBC;
    return Backend::SQLite;
}

QString Connection::resolvePath(const QString &location)
{
    static const QRegularExpression drivePath(u"^[A-Za-z]:[\\\\/]"_s);
    QString path = location;
#ifndef Q_OS_WIN
    if (drivePath.match(path).hasMatch()) {
        // d:\KLV\Results30 lives on as <data dir>/Results30 on systems without drive letters.
        QString rest = path.mid(3);
        rest.replace(u'\\', u'/');
        while (rest.endsWith(u'/'))
            rest.chop(1);
        path = dataDir() + u'/' + rest.section(u'/', -1);
    }
#endif
    const QFileInfo info(path);
    if (info.isDir() || path.endsWith(u'/') || path.endsWith(u'\\') || info.suffix().isEmpty())
        return QDir(path).filePath(sqliteFileName);
    return path;
}

void Connection::bind(const QString &location)
{
    close();
    m_location = location;
    m_backend = backendOf(location);
}

QString Connection::describe() const
{
    switch (m_backend) {
    case Backend::SQLite:
        return resolvePath(m_location);
    case Backend::PostgreSQL: {
        QUrl url(m_location);
        url.setPassword({});
        return url.toString();
    }
    case Backend::ODBC: {
        // Messages name the database, never its password.
        static const QRegularExpression password(u"(PWD|PASSWORD)=(\\{[^}]*\\}|[^;]*)"_s,
                                                 QRegularExpression::CaseInsensitiveOption);
        QString text = m_location;
        return text.replace(password, u"\\1=***"_s);
    }
    }
    return m_location;
}

void Connection::open(bool create, const QString &requiredTable)
{
    if (isOpen())
        return;
    if (m_location.isEmpty())
        throw DatabaseError(u"The connection %1 is bound to no database."_s.arg(m_name));
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);

    QSqlDatabase db;
    switch (m_backend) {
    case Backend::SQLite: {
        const QString path = resolvePath(m_location);
        if (!QFileInfo::exists(path)) {
            if (!create)
                throw DatabaseError(u"The database %1 does not exist."_s.arg(path));
            if (!QDir().mkpath(QFileInfo(path).absolutePath()))
                throw DatabaseError(u"Cannot create the folder of the database %1."_s.arg(path));
        }
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_qtName);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=10000"_s);
        break;
    }
    case Backend::PostgreSQL: {
        const QUrl url(m_location);
        if (!url.isValid() || url.host().isEmpty())
            throw DatabaseError(u"The database location %1 is not a valid PostgreSQL address."_s.arg(m_location));
        db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_qtName);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setDatabaseName(url.path().mid(1));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setConnectOptions(u"connect_timeout=10"_s);
        break;
    }
    case Backend::ODBC:
        db = QSqlDatabase::addDatabase(u"QODBC"_s, m_qtName);
        db.setDatabaseName(m_location.mid(5));
        break;
    }
    if (!db.isValid())
        throw DatabaseError(u"No database driver for %1 is installed."_s.arg(describe()));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_qtName);
        throw DatabaseError(u"Cannot open the database %1: %2"_s.arg(describe(), error.text()));
    }
    if (m_backend == Backend::SQLite) {
        QSqlQuery pragma(db);
        pragma.exec(u"PRAGMA journal_mode=WAL"_s);
        pragma.exec(u"PRAGMA synchronous=NORMAL"_s);
    }
    if (!requiredTable.isEmpty() && !hasTable(requiredTable)) {
        close();
        throw DatabaseError(u"The database %1 holds no Kelvora database (the table %2 is missing)."_s.arg(
            describe(), requiredTable));
    }
}

QSqlDatabase Connection::streamingDatabase(const Dataset *owner)
{
    QSqlDatabase main = database();
    const QString name = m_streams.value(owner);
    if (!name.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
    }
    const QString newName = u"%1#stream%2"_s.arg(m_qtName).arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::cloneDatabase(main, newName);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(newName);
        throw DatabaseError(u"Cannot open the database %1: %2"_s.arg(describe(), error.text()));
    }
    m_streams.insert(owner, newName);
    return db;
}

void Connection::dropStreamingDatabase(const Dataset *owner)
{
    const QString name = m_streams.take(owner);
    if (name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void Connection::close()
{
    const QList<const Dataset *> owners = m_streams.keys();
    for (const Dataset *owner : owners)
        dropStreamingDatabase(owner);
    if (!QSqlDatabase::contains(m_qtName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_qtName, false);
        if (db.isOpen())
            db.close();
    }
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_qtName) && QSqlDatabase::database(m_qtName, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    if (!isOpen())
        throw DatabaseError(u"The connection %1 is not open."_s.arg(m_name));
    return QSqlDatabase::database(m_qtName, false);
}

QSqlQuery Connection::query() const
{
    return QSqlQuery(database());
}

QSqlQuery Connection::exec(const QString &sql, const QVariantList &values) const
{
    QSqlQuery q(database());
    if (values.isEmpty()) {
        if (!q.exec(sql))
            throw translate(q.lastError(), sql);
        return q;
    }
    if (!q.prepare(sql))
        throw translate(q.lastError(), sql);
    for (const QVariant &value : values)
        q.addBindValue(value);
    if (!q.exec())
        throw translate(q.lastError(), sql);
    return q;
}

QSqlQuery Connection::prepare(const QString &sql) const
{
    QSqlQuery q(database());
    if (!q.prepare(sql))
        throw translate(q.lastError(), sql);
    return q;
}

void Connection::execPrepared(QSqlQuery &query) const
{
    if (!query.exec())
        throw translate(query.lastError(), query.lastQuery());
}

bool Connection::hasTable(const QString &table) const
{
    if (m_backend == Backend::PostgreSQL) {
        QSqlQuery q = exec(u"SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() "
                           u"AND table_name = ?"_s,
                           {table.toLower()});
        return q.next();
    }
    if (m_backend == Backend::SQLite) {
        QSqlQuery q = exec(u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"_s,
                           {table});
        return q.next();
    }
    return database().tables().contains(table, Qt::CaseInsensitive);
}

void Connection::createSchema(DatabaseKind kind)
{
    Transaction transaction(*this);
    for (const TableDef *table : Schema::tables(kind))
        for (const QString &statement : Schema::createStatements(*table, m_backend))
            exec(statement);
    transaction.commit();
}

void Connection::syncAutoIncrement(const QString &table)
{
    if (m_backend != Backend::PostgreSQL)
        return; // SQLite's AUTOINCREMENT already follows the largest value stored
    const TableDef *definition = Schema::table(table);
    if (!definition)
        return;
    for (const ColumnDef &column : definition->columns)
        if (column.type == ColumnType::AutoInc)
            exec(u"SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE((SELECT MAX(%2) FROM %1), 0) + 1, "
                 u"false)"_s.arg(table.toLower(), column.name.toLower()));
}

void Connection::begin()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        throw translate(db.lastError(), u"BEGIN"_s);
}

void Connection::commit()
{
    QSqlDatabase db = database();
    if (!db.commit())
        throw translate(db.lastError(), u"COMMIT"_s);
}

void Connection::rollback()
{
    QSqlDatabase db = database();
    if (!db.rollback())
        throw translate(db.lastError(), u"ROLLBACK"_s);
}

void Connection::addReader(Dataset *dataset)
{
    if (!m_readers.contains(dataset))
        m_readers << dataset;
}

void Connection::removeReader(Dataset *dataset)
{
    m_readers.removeAll(dataset);
}

void Connection::releaseReaders()
{
    const QList<Dataset *> readers = m_readers;
    for (Dataset *dataset : readers)
        dataset->releaseCursor();
}

bool Connection::isSnapshotConflict(const DatabaseError &error) const
{
    if (m_backend != Backend::SQLite)
        return false;
    const int code = error.nativeCode().toInt();
    return (code & 0xff) == 5 || (code & 0xff) == 6; // SQLITE_BUSY (and BUSY_SNAPSHOT), SQLITE_LOCKED
}

QString Connection::adapt(const QString &sql) const
{
    // PostgreSQL plans the texts well and resolves ORDER BY names itself.
    return m_backend == Backend::SQLite ? DialectAdapter::forSqlite(sql) : sql;
}

DatabaseError Connection::translate(const QSqlError &error, const QString &context) const
{
    const QString native = error.nativeErrorCode();
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    int code = 0;
    if (m_backend == Backend::SQLite) {
        const int sqliteCode = native.toInt();
        if ((sqliteCode & 0xff) == 19) { // SQLITE_CONSTRAINT and its extended codes
            if (sqliteCode == 2067 || sqliteCode == 1555 || text.contains(u"UNIQUE"_s))
                code = KeyViolation;
            else if (sqliteCode == 1299 || text.contains(u"NOT NULL"_s))
                code = RequiredFieldMissing;
            else if (sqliteCode == 787 || text.contains(u"FOREIGN KEY"_s))
                code = ForeignKeyError;
            else
                code = IntegrityError;
        }
    } else if (m_backend == Backend::PostgreSQL) {
        if (native == u"23505"_s)
            code = KeyViolation;
        else if (native == u"23502"_s)
            code = RequiredFieldMissing;
        else if (native == u"23503"_s)
            code = text.contains(u"still referenced"_s) ? DetailsExist : ForeignKeyError;
        else if (native.startsWith(u"23"_s))
            code = IntegrityError;
    }
    QString message = text.trimmed();
    if (message.isEmpty())
        message = u"Unknown database error"_s;
    message += u"\nDatabase: %1"_s.arg(describe());
    Q_UNUSED(context);
    return DatabaseError(message, code, native);
}

} // namespace kv
