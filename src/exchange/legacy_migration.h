// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kv {

class Connection;

/// What the migration did with one table of the results database.
struct MigratedTable
{
    QString table;
    QString file;
    int read = 0;
    int stored = 0;
    QStringList refused; // "record N: reason", one per refused record
    QStringList notes;   // columns the file lacks, left blank
};

struct MigrationReport
{
    QList<MigratedTable> tables;
    QStringList leftOut; // table files of the folder that are no table of the results database
    int read() const;
    int stored() const;
    int refused() const;
};

/// Reads a folder of the older system's Paradox tables (each table of the results database from the
/// file of its name, columns by name, texts in the table's code page) into the results database of a
/// connection, which must be empty or not exist yet (it is created then). Every record goes in one
/// transaction; a record that breaks a key, lacks a required value or holds a value its column cannot
/// take is refused and named, the others are stored. A missing table, a table whose fields are not
/// the schema's, or a file that cannot be read stops the migration before anything is written (an
/// InputError or FileError naming every such table).
MigrationReport migrateLegacyFolder(const QString &folder, Connection &target);

/// The lines kvtool prints: per table the records read, stored and refused, then the reasons.
QStringList migrationReportLines(const MigrationReport &report);

} // namespace kv
