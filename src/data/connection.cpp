// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/connection.h"

#include "core/paths.h"
#include "data/dataset.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>

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
    return DatabaseBackend::forLocation(location).kind();
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
    m_engine = &DatabaseBackend::forLocation(location);
}

QString Connection::describe() const
{
    return m_engine->describe(m_location);
}

void Connection::open(bool create, const QString &requiredTable)
{
    if (isOpen())
        return;
    if (m_location.isEmpty())
        throw DatabaseError(u"The connection %1 is bound to no database."_s.arg(m_name));
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);

    QSqlDatabase db = m_engine->addDatabase(m_location, m_qtName, create);
    if (!db.isValid())
        throw DatabaseError(u"No database driver for %1 is installed."_s.arg(describe()));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_qtName);
        throw DatabaseError(u"Cannot open the database %1: %2"_s.arg(describe(), error.text()));
    }
    m_engine->configure(db);
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
    return m_engine->hasTable(*this, table);
}

void Connection::createSchema(DatabaseKind kind)
{
    Transaction transaction(*this);
    for (const TableDef *table : Schema::tables(kind))
        for (const QString &statement : Schema::createStatements(*table, m_engine->kind()))
            exec(statement);
    transaction.commit();
}

void Connection::syncAutoIncrement(const QString &table)
{
    const TableDef *definition = Schema::table(table);
    if (!definition)
        return;
    for (const ColumnDef &column : definition->columns)
        if (column.type == ColumnType::AutoInc)
            m_engine->syncAutoIncrement(*this, table, column.name);
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
    return m_engine->isSnapshotConflict(error.nativeCode());
}

QString Connection::adapt(const QString &sql) const
{
    return m_engine->adapt(sql);
}

DatabaseError Connection::translate(const QSqlError &error, const QString &context) const
{
    const QString native = error.nativeErrorCode();
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const int code = m_engine->errorCode(native, text);
    QString message = text.trimmed();
    if (message.isEmpty())
        message = u"Unknown database error"_s;
    message += u"\nDatabase: %1"_s.arg(describe());
    Q_UNUSED(context);
    return DatabaseError(message, code, native);
}

} // namespace kv
