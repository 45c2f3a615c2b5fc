// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace kv {

enum class Backend { SQLite, PostgreSQL, ODBC };

/// Which database a table belongs to: the results database or the user's working database.
enum class DatabaseKind { Results, Working };

enum class ColumnType { Text, Int16, Int32, Float, Date, Memo, FormattedMemo, Graphic, AutoInc };

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Text;
    int width = 0; // characters for text and memo columns
    bool required = false;

    QMetaType::Type metaType() const;
    bool isText() const { return type == ColumnType::Text; }
};

struct TableDef
{
    QString name;
    DatabaseKind database = DatabaseKind::Results;
    QList<ColumnDef> columns;
    QList<QStringList> uniqueKeys;
    QList<QStringList> indexes;

    const ColumnDef *column(const QString &columnName) const; // case-insensitive; null when absent
};

/// The tables of both databases, as data: the DDL and the datasets' field definitions come from here.
class Schema
{
public:
    static const QList<TableDef> &tables();
    static QList<const TableDef *> tables(DatabaseKind database);
    /// Case-insensitive; null when there is no such table.
    static const TableDef *table(const QString &name);
    /// The spelling the schema gives a column name, looked up in every table; the name itself when unknown.
    static QString columnSpelling(const QString &name);
    /// The first column of that name in any table (column names keep one meaning across tables).
    static const ColumnDef *anyColumn(const QString &name);
    /// The statements that create one table with its keys and indexes.
    static QStringList createStatements(const TableDef &table, Backend backend);
    /// A text cut to the width of its column, as the stored format keeps it.
    static QVariant cutToWidth(const ColumnDef &column, const QVariant &value);
};

} // namespace kv
