// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kv::test {

/// Points KELVORA_CONFIG_DIR and KELVORA_DATA_DIR at a fresh temporary folder for its lifetime.
class TempFolders
{
public:
    TempFolders();
    QString path() const { return m_dir.path(); }
    QString configDir() const;
    QString dataDir() const;

private:
    QTemporaryDir m_dir;
};

/// The back ends tests run on: "sqlite" always, "postgresql" when KELVORA_TEST_PG names a server.
QStringList backends();

/// Adds a "backend" column with a row per back end to a Qt Test _data() table.
void addBackendRows();

/// A fresh, empty database on one back end: an SQLite file in a temporary folder, or a new database on
/// the test PostgreSQL server, dropped again when the object goes.
class TestDatabase
{
public:
    explicit TestDatabase(const QString &backend);
    ~TestDatabase();
    /// The location string to bind a connection to.
    const QString &location() const { return m_location; }

private:
    QTemporaryDir m_dir;
    QString m_location;
    QString m_pgDatabase;
};

/// A connection bound to a fresh database holding the tables of one database kind.
std::unique_ptr<Connection> createDatabase(const TestDatabase &database, DatabaseKind kind,
                                           const QString &name = QStringLiteral("KVResults"));

/// How a program a test ran ended and what it printed; exitCode is -1 when it crashed or did not end in time.
struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

/// Runs a program to its end, as from a shell, in the given environment (the test's own by default).
ProgramRun runProgram(const QString &program, const QStringList &args, int timeoutMs = 120000,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
/// The same for this build's kvtool.
ProgramRun runKvtool(const QStringList &args, int timeoutMs = 120000);

/// Whether scripts/packages.txt, which the set-up installs, names a Debian package: a second reader it
/// names must be there, so its absence fails a test instead of skipping it.
bool packageListed(const QString &package);
/// A Python that has the module, Debian's first (a python3 earlier on PATH may lack it); empty for none.
QString pythonWith(const QString &module);

} // namespace kv::test
