// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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

ProgramRun runProgram(const QString &program, const QStringList &args, int timeoutMs,
                      const QProcessEnvironment &environment)
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    ProgramRun run;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

ProgramRun runKvtool(const QStringList &args, int timeoutMs)
{
    return runProgram(QStringLiteral(KV_KVTOOL), args, timeoutMs);
}

bool packageListed(const QString &package)
{
    QFile file(QStringLiteral(KV_SOURCE_DIR "/scripts/packages.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd())
        if (QString::fromUtf8(file.readLine()).trimmed() == package)
            return true;
    return false;
}

QString pythonWith(const QString &module)
{
    for (const QString &candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        QProcess p;
        p.start(candidate, {u"-c"_s, u"import "_s + module});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}

} // namespace kv::test
