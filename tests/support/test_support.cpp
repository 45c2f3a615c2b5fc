// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kv::test {

TempFolders::TempFolders()
{
    QDir(m_dir.path()).mkpath(u"config"_s);
    QDir(m_dir.path()).mkpath(u"data"_s);
    qputenv("KELVORA_CONFIG_DIR", configDir().toUtf8());
    qputenv("KELVORA_DATA_DIR", dataDir().toUtf8());
}

QString TempFolders::configDir() const { return m_dir.path() + u"/config"_s; }
QString TempFolders::dataDir() const { return m_dir.path() + u"/data"_s; }

QStringList backends()
{
    QStringList list{u"sqlite"_s};
    if (!qEnvironmentVariableIsEmpty("KELVORA_TEST_PG"))
        list << u"postgresql"_s;
    return list;
}

void addBackendRows()
{
    QTest::addColumn<QString>("backend");
    for (const QString &backend : backends())
        QTest::newRow(backend.toUtf8().constData()) << backend;
}

TestDatabase::TestDatabase(const QString &backend)
{
    if (backend == u"sqlite"_s) {
        m_location = m_dir.path() + u"/test.sqlite"_s;
        return;
    }
    const QString server = qEnvironmentVariable("KELVORA_TEST_PG");
    if (server.isEmpty())
        qFatal("KELVORA_TEST_PG is not set");
    m_pgDatabase = u"kvt_%1"_s.arg(QRandomGenerator::global()->generate64(), 0, 16);
    Connection admin(u"admin"_s);
    admin.bind(server);
    admin.open();
    admin.exec(u"CREATE DATABASE "_s + m_pgDatabase);
    QUrl url(server);
    url.setPath(u"/"_s + m_pgDatabase);
    m_location = url.toString();
}

TestDatabase::~TestDatabase()
{
    if (m_pgDatabase.isEmpty())
        return;
    try {
        Connection admin(u"admin"_s);
        admin.bind(qEnvironmentVariable("KELVORA_TEST_PG"));
        admin.open();
        admin.exec(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(m_pgDatabase));
    } catch (const Error &e) {
        qWarning("could not drop a test database: %s", qPrintable(e.message()));
    }
}

std::unique_ptr<Connection> createDatabase(const TestDatabase &database, DatabaseKind kind, const QString &name)
{
    auto connection = std::make_unique<Connection>(name);
    connection->bind(database.location());
    connection->open(true);
    connection->createSchema(kind);
    return connection;
}

} // namespace kv::test
