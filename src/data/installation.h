// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace kv {

/// Where the results and the working database of an installation live (location strings).
struct DatabaseLocations
{
    QString results;
    QString working;
};

/// The default locations: the folders Results30 and tmpDB20 of the data folder.
DatabaseLocations defaultLocations();

/// True when the location already holds a database (an SQLite file, or Kelvora tables on a server).
bool databaseExists(const QString &location, DatabaseKind kind);

/// Creates the results and the working database with every table, empty but for the installation
/// data. An existing database is refused unless force is true, in which case it is replaced.
void createDatabases(const DatabaseLocations &locations, bool force);

/// Opens a connection on an existing database of the given kind; a clear error when the location does
/// not exist or holds no Kelvora database.
void openExisting(Connection &connection, DatabaseKind kind);

/// A lookup row the installation delivers for a code the program writes itself.
struct InstalledCode
{
    QString table;
    QStringList columns; // the key column first
    QVariantList values;
};
/// The lookup rows of the codes the new-record, T(DM) and laboratory commands write.
const QList<InstalledCode> &installedCodes();

/// Writes the rows an installation delivers: plot variables, the import column mapping and the
/// acknowledgement texts in the working database; the reference "not defined", the source type "A",
/// the age unit "Ma" and the installed codes in the results database.
void writeInstallationData(Connection &results, Connection &working);

} // namespace kv
