// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/legacy_migration.h"

#include "core/errors.h"
#include "data/connection.h"
#include "data/row_writer.h"
#include "data/schema.h"
#include "exchange/legacy_table.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <cmath>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

int MigrationReport::read() const
{
    int n = 0;
    for (const MigratedTable &t : tables)
        n += t.read;
    return n;
}

int MigrationReport::stored() const
{
    int n = 0;
    for (const MigratedTable &t : tables)
        n += t.stored;
    return n;
}

int MigrationReport::refused() const
{
    int n = 0;
    for (const MigratedTable &t : tables)
        n += int(t.refused.size());
    return n;
}

namespace {

// A legacy value as the column takes it; the reason in `why` when it cannot.
std::optional<QVariant> converted(const QVariant &value, const ColumnDef &column, QString &why)
{
    if (value.isNull())
        return QVariant();
    const int type = value.typeId();
    const bool isText = type == QMetaType::QString;
    const bool isNumber = type == QMetaType::Int || type == QMetaType::Double || type == QMetaType::LongLong;
    auto refuse = [&](const QString &what) -> std::optional<QVariant> {
        why = u"%1 \"%2\" is %3"_s.arg(column.name, value.toString(), what);
        return std::nullopt;
    };
    switch (column.type) {
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::FormattedMemo: {
        QString text;
        if (isText)
            text = value.toString();
        else if (type == QMetaType::Double)
            text = QString::number(value.toDouble(), 'g', 15);
        else if (type == QMetaType::QDate)
            text = value.toDate().toString(Qt::ISODate);
        else if (type == QMetaType::QByteArray)
            return refuse(u"not a text"_s);
        else
            text = value.toString();
        if (column.type == ColumnType::Text && text.size() > column.width) {
            why = u"%1 \"%2\" is longer than its %3 characters"_s.arg(column.name, text).arg(column.width);
            return std::nullopt;
        }
        return QVariant(text);
    }
    case ColumnType::Int16:
    case ColumnType::Int32:
    case ColumnType::AutoInc: {
        double number = 0;
        bool ok = isNumber;
        if (isNumber)
            number = value.toDouble();
        else if (isText)
            number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        else if (type == QMetaType::Bool)
            number = value.toBool() ? 1 : 0, ok = true;
        const double limit = column.type == ColumnType::Int16 ? 32767 : std::numeric_limits<qint32>::max();
        if (!ok || !std::isfinite(number) || number != std::floor(number) || std::fabs(number) > limit)
            return refuse(u"not a whole number the column holds"_s);
        return QVariant(int(number));
    }
    case ColumnType::Float: {
        double number = 0;
        bool ok = isNumber;
        if (isNumber)
            number = value.toDouble();
        else if (isText)
            number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (!ok || !std::isfinite(number))
            return refuse(u"not a number"_s);
        return QVariant(number);
    }
    case ColumnType::Date: {
        if (type == QMetaType::QDate)
            return value;
        if (type == QMetaType::QDateTime)
            return QVariant(value.toDateTime().date());
        const QDate date = isText ? QDate::fromString(value.toString().trimmed(), Qt::ISODate) : QDate();
        if (!date.isValid())
            return refuse(u"not a date"_s);
        return QVariant(date);
    }
    case ColumnType::Graphic:
        if (type != QMetaType::QByteArray)
            return refuse(u"not a picture"_s);
        return value;
    }
    return value;
}

// One table read from the folder and checked, its records as the schema's columns take them.
struct StagedTable
{
    const TableDef *def = nullptr;
    QStringList columns;
    std::vector<QVariantList> rows;
    MigratedTable report;
};

StagedTable stage(const TableDef &def, const LegacyTable &file, QStringList &faults)
{
    StagedTable staged;
    staged.def = &def;
    staged.report.table = def.name;
    staged.report.file = QFileInfo(file.path).fileName();
    staged.report.read = int(file.rows.size());

    QList<int> sources; // a field of the file per column taken
    QList<const ColumnDef *> columns;
    for (const LegacyField &field : file.fields)
        if (!def.column(field.name))
            faults << u"%1 has the field \"%2\", which the table %3 does not have."_s.arg(staged.report.file,
                                                                                         field.name, def.name);
    for (const ColumnDef &column : def.columns) {
        const int index = file.fieldIndex(column.name);
        if (index < 0) {
            if (column.required)
                faults << u"%1 lacks the field %2, which the table %3 requires."_s.arg(staged.report.file,
                                                                                       column.name, def.name);
            else
                staged.report.notes << u"no field %1: left blank"_s.arg(column.name);
            continue;
        }
        sources << index;
        columns << &column;
        staged.columns << column.name;
    }

    // Keys as the database would check them, so that a duplicate is refused here, not by the engine.
    QList<QList<int>> keys;
    for (const QStringList &key : def.uniqueKeys) {
        QList<int> positions;
        for (const QString &name : key) {
            int at = -1;
            for (int c = 0; c < staged.columns.size(); ++c)
                if (staged.columns[c].compare(name, Qt::CaseInsensitive) == 0)
                    at = c;
            positions << at;
        }
        if (!positions.contains(-1))
            keys << positions;
    }
    QList<QSet<QString>> seen(keys.size());

    staged.rows.reserve(file.rows.size());
    for (std::size_t r = 0; r < file.rows.size(); ++r) {
        const QVariantList &record = file.rows[r];
        QVariantList row;
        row.reserve(columns.size());
        QString why;
        for (int c = 0; c < columns.size() && why.isEmpty(); ++c) {
            const auto value = converted(record.value(sources[c]), *columns[c], why);
            if (!value)
                break;
            if (value->isNull() && columns[c]->required)
                why = u"%1 is blank"_s.arg(columns[c]->name);
            row << *value;
        }
        for (int k = 0; k < keys.size() && why.isEmpty(); ++k) {
            QStringList parts;
            for (const int p : keys[k])
                parts << row[p].toString();
            const QString tuple = parts.join(QChar(0x1F));
            if (seen[k].contains(tuple)) {
                QStringList named;
                for (const int p : keys[k])
                    named << staged.columns[p] + u' ' + row[p].toString();
                why = u"a record with %1 came before"_s.arg(named.join(u", "_s));
            } else {
                seen[k].insert(tuple);
            }
        }
        if (!why.isEmpty()) {
            staged.report.refused << u"record %1: %2"_s.arg(r + 1).arg(why);
            continue;
        }
        staged.rows.push_back(std::move(row));
    }
    staged.report.stored = int(staged.rows.size());
    return staged;
}

bool isEmptyResultsDatabase(Connection &target)
{
    for (const TableDef *table : Schema::tables(DatabaseKind::Results)) {
        if (!target.hasTable(table->name))
            return false;
        QSqlQuery query = target.exec(u"select count(*) from "_s + table->name);
        if (query.next() && query.value(0).toLongLong() > 0)
            return false;
    }
    return true;
}

} // namespace

MigrationReport migrateLegacyFolder(const QString &folder, Connection &target)
{
    const QDir dir(folder);
    if (!dir.exists())
        throw FileError(u"The folder %1 does not exist."_s.arg(folder));

    // The folder's tables by name, whatever the case of their files.
    QHash<QString, QString> files;
    for (const QString &name : dir.entryList({u"*.DB"_s}, QDir::Files))
        files.insert(QFileInfo(name).completeBaseName().toLower(), dir.filePath(name));

    MigrationReport report;
    QStringList faults;
    QList<StagedTable> staged;
    const QList<const TableDef *> tables = Schema::tables(DatabaseKind::Results);
    QSet<QString> ours;
    for (const TableDef *def : tables) {
        ours.insert(def->name.toLower());
        const QString path = files.value(def->name.toLower());
        if (path.isEmpty()) {
            faults << u"The table %1 (%1.DB) is missing."_s.arg(def->name);
            continue;
        }
        LegacyTable table;
        try {
            table = readLegacyTable(path);
        } catch (const FileError &error) {
            faults << error.message();
            continue;
        }
        staged << stage(*def, table, faults);
    }
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!ours.contains(it.key()))
            report.leftOut << QFileInfo(it.value()).fileName();
    report.leftOut.sort(Qt::CaseInsensitive);
    if (!faults.isEmpty())
        throw InputError(u"Nothing was migrated from %1:\n"_s.arg(folder) + faults.join(u'\n'));

    target.open(true);
    if (!target.hasTable(u"IsoRgr30"_s))
        target.createSchema(DatabaseKind::Results);
    else if (!isEmptyResultsDatabase(target))
        throw InputError(u"The database %1 already holds records; migrate into a new database."_s.arg(target.describe()));

    target.engine().prepareBulkWrite(target);
    Transaction transaction(target);
    for (StagedTable &table : staged) {
        if (!table.columns.isEmpty() && !table.rows.empty()) {
            RowWriter writer(target, table.def->name, table.columns);
            for (const QVariantList &row : table.rows)
                writer.add(row);
            writer.flush();
        }
        for (const ColumnDef &column : table.def->columns)
            if (column.type == ColumnType::AutoInc)
                target.syncAutoIncrement(table.def->name);
        report.tables << table.report;
    }
    transaction.commit();
    return report;
}

QStringList migrationReportLines(const MigrationReport &report)
{
    QStringList lines;
    lines << u"table\tfile\tread\tstored\trefused"_s;
    for (const MigratedTable &t : report.tables)
        lines << u"%1\t%2\t%3\t%4\t%5"_s.arg(t.table, t.file).arg(t.read).arg(t.stored).arg(t.refused.size());
    lines << u"total\t\t%1\t%2\t%3"_s.arg(report.read()).arg(report.stored()).arg(report.refused());
    for (const MigratedTable &t : report.tables) {
        for (const QString &why : t.refused)
            lines << u"refused\t%1\t%2"_s.arg(t.table, why);
        for (const QString &note : t.notes)
            lines << u"note\t%1\t%2"_s.arg(t.table, note);
    }
    for (const QString &file : report.leftOut)
        lines << u"left out\t%1\tnot a table of the results database"_s.arg(file);
    return lines;
}

} // namespace kv
