// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/sheet_generator.h"

#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/errors.h"
#include "data/connection.h"
#include "data/schema.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>

#include <cmath>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Day serials as Excel counts them (1 is 1 January 1900, with its phantom 29 February).
constexpr qint64 julianDayOfSerialZero = 2415019; // 30 December 1899

std::optional<double> numberOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? std::optional(number) : std::nullopt;
    }
    case QMetaType::QDate: return double(value.toDate().toJulianDay() - julianDayOfSerialZero);
    case QMetaType::QTime: return value.toTime().msecsSinceStartOfDay() / 86400000.0;
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        return double(when.date().toJulianDay() - julianDayOfSerialZero)
               + when.time().msecsSinceStartOfDay() / 86400000.0;
    }
    case QMetaType::QString: {
        // As the text reads, leading and trailing blanks aside; "inf" and the like are no numbers.
        // Most texts are names and codes: those that cannot begin a number are passed over at once.
        const QString raw = value.toString();
        qsizetype first = 0;
        while (first < raw.size() && raw[first].isSpace())
            ++first;
        if (first == raw.size())
            return std::nullopt;
        const char16_t c = raw[first].unicode();
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'))
            return std::nullopt;
        bool ok = false;
        const QString text = raw.trimmed();
        const double number = QLocale::c().toDouble(text, &ok);
        if (ok && std::isfinite(number) && !text.isEmpty())
            return number;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<QString> textOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString: return value.toString();
    case QMetaType::Bool: return value.toBool() ? u"True"_s : u"False"_s;
    case QMetaType::Double:
    case QMetaType::Float: return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::QDate: return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime: return value.toTime().toString(u"HH:mm:ss"_s);
    case QMetaType::QDateTime: return value.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    case QMetaType::QByteArray: return std::nullopt; // pictures and other bytes are no text
    default: return value.canConvert<QString>() ? std::optional(value.toString()) : std::nullopt;
    }
}

std::unique_ptr<WorkbookSheet> headerSheet(const QStringList &names)
{
    auto sheet = std::make_unique<WorkbookSheet>(u"Sheet1"_s);
    for (int p = 1; p <= names.size(); ++p)
        sheet->setText(1, p, names[p - 1]);
    return sheet;
}

void finish(std::unique_ptr<WorkbookSheet> sheet, Workbook &workbook)
{
    std::vector<std::unique_ptr<WorkbookSheet>> sheets;
    sheets.push_back(std::move(sheet));
    workbook.replaceSheets(std::move(sheets));
    workbook.setRow(1);
}

void checkWidth(int fields)
{
    if (fields > WorkbookSheet::MaxColumns)
        throw InputError(u"The table has %1 fields; a sheet holds %2 columns."_s.arg(fields).arg(WorkbookSheet::MaxColumns));
}

void checkRows(qint64 records)
{
    if (records + 1 > WorkbookSheet::MaxRows)
        throw InputError(u"The table has %1 records; a sheet holds %2 rows with the field names."_s.arg(records).arg(
            WorkbookSheet::MaxRows));
}

} // namespace

NumericColumnFlags NumericColumnFlags::all()
{
    NumericColumnFlags flags;
    flags.flags.fill(true);
    return flags;
}

void writeSheetCell(WorkbookSheet &sheet, int row, int column, const QVariant &value, bool asNumber)
{
    // A blank field stays an empty cell rather than a 0 or an empty text.
    if (value.isNull() || !value.isValid())
        return;
    if (asNumber) {
        if (const auto number = numberOf(value))
            sheet.setNumber(row, column, *number);
        else if (const auto text = textOf(value))
            sheet.setText(row, column, *text);
        return;
    }
    if (const auto text = textOf(value))
        sheet.setText(row, column, *text);
    else if (const auto number = numberOf(value))
        sheet.setNumber(row, column, *number);
}

SheetExportResult fillSheet(const LegacyTable &table, const NumericColumnFlags &flags, Workbook &workbook)
{
    checkWidth(int(table.fields.size()));
    checkRows(qint64(table.rows.size()));
    auto sheet = headerSheet(table.fieldNames());
    int r = 1;
    for (const QVariantList &values : table.rows) {
        ++r;
        for (int p = 1; p <= values.size(); ++p)
            writeSheetCell(*sheet, r, p, values[p - 1], flags.isSet(p));
    }
    finish(std::move(sheet), workbook);
    return {int(table.fields.size()), int(table.rows.size())};
}

QStringList exportableTables(Connection &connection)
{
    QStringList names;
    for (const TableDef *table : Schema::tables(DatabaseKind::Results))
        if (connection.hasTable(table->name))
            names << table->name;
    return names;
}

QString exportableTable(Connection &connection, const QString &name)
{
    const TableDef *table = Schema::table(name);
    if (!table || table->database != DatabaseKind::Results || !connection.hasTable(table->name))
        throw InputError(u"The database %1 has no table %2."_s.arg(connection.describe(), name));
    return table->name;
}

namespace {

QString selectText(const TableDef &table)
{
    QStringList columns;
    for (const ColumnDef &column : table.columns)
        columns << column.name;
    return u"select "_s + columns.join(u", "_s) + u" from "_s + table.name;
}

QVariant fieldValue(const QVariant &value, const ColumnDef &column)
{
    if (value.isNull())
        return {};
    switch (column.type) {
    case ColumnType::Date: {
        // SQLite keeps dates as texts.
        if (value.typeId() == QMetaType::QString) {
            const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
            return date.isValid() ? QVariant(date) : value;
        }
        return value.toDate();
    }
    case ColumnType::Graphic: return value.toByteArray();
    default: return value;
    }
}

LegacyFieldType fieldTypeOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Text: return LegacyFieldType::Alpha;
    case ColumnType::Int16: return LegacyFieldType::Short;
    case ColumnType::Int32: return LegacyFieldType::Long;
    case ColumnType::AutoInc: return LegacyFieldType::AutoInc;
    case ColumnType::Float: return LegacyFieldType::Number;
    case ColumnType::Date: return LegacyFieldType::Date;
    case ColumnType::Memo: return LegacyFieldType::Memo;
    case ColumnType::FormattedMemo: return LegacyFieldType::FormattedMemo;
    case ColumnType::Graphic: return LegacyFieldType::Graphic;
    }
    return LegacyFieldType::Alpha;
}

template <typename F>
void forEachRow(Connection &connection, const QString &name, F &&f)
{
    const TableDef &table = *Schema::table(exportableTable(connection, name));
    QSqlQuery query = connection.query();
    query.setForwardOnly(true);
    if (!query.exec(selectText(table)))
        throw connection.translate(query.lastError(), table.name);
    const int count = int(table.columns.size());
    QVariantList row;
    while (query.next()) {
        row.clear();
        for (int c = 0; c < count; ++c)
            row << fieldValue(query.value(c), table.columns[c]);
        f(row);
    }
    if (query.lastError().isValid())
        throw connection.translate(query.lastError(), table.name);
}

} // namespace

LegacyTable readDatabaseTable(Connection &connection, const QString &name)
{
    const TableDef &def = *Schema::table(exportableTable(connection, name));
    LegacyTable table;
    table.path = def.name;
    table.format = connection.describe();
    for (const ColumnDef &column : def.columns)
        table.fields << LegacyField{column.name, fieldTypeOf(column.type), column.width, 0};
    forEachRow(connection, def.name, [&](const QVariantList &row) { table.rows.push_back(row); });
    return table;
}

SheetExportResult fillSheetFromDatabase(Connection &connection, const QString &name,
                                        const NumericColumnFlags &flags, Workbook &workbook)
{
    const TableDef &def = *Schema::table(exportableTable(connection, name));
    QStringList names;
    for (const ColumnDef &column : def.columns)
        names << column.name;
    checkWidth(int(names.size()));
    auto sheet = headerSheet(names);
    int r = 1;
    forEachRow(connection, def.name, [&](const QVariantList &row) {
        if (++r > WorkbookSheet::MaxRows)
            checkRows(r);
        for (int p = 1; p <= row.size(); ++p)
            writeSheetCell(*sheet, r, p, row[p - 1], flags.isSet(p));
    });
    finish(std::move(sheet), workbook);
    return {int(names.size()), r - 1};
}

SheetGenerator::SheetGenerator() : m_workbook(std::make_unique<Workbook>()) {}

SheetGenerator::~SheetGenerator() = default;

void SheetGenerator::opened(LegacyTable table, const QString &name, const QString &folder)
{
    m_table = std::move(table);
    m_tableName = name;
    if (!folder.isEmpty()) {
        if (saveFolder.isEmpty())
            saveFolder = folder;
        tableFolder = folder;
    }
}

void SheetGenerator::openFile(const QString &path)
{
    LegacyTable table = readLegacyTable(path);
    const QFileInfo info(path);
    saveFileName = info.completeBaseName();
    opened(std::move(table), info.absoluteFilePath(), info.absolutePath());
}

void SheetGenerator::openDatabaseTable(Connection &connection, const QString &name)
{
    LegacyTable table = readDatabaseTable(connection, name);
    const QString tableName = table.path;
    saveFileName = tableName;
    opened(std::move(table), tableName, QString());
}

SheetExportResult SheetGenerator::fill()
{
    if (!m_table)
        throw InputError(u"Open a table first."_s);
    const SheetExportResult result = fillSheet(*m_table, flags, *m_workbook);
    m_table.reset();
    return result;
}

QString SheetGenerator::save(const QString &path, int filterEntry)
{
    const QString target = workbookSavePath(path, filterEntry);
    m_workbook->writeWorkbook(target, workbookFileTypeForSave(target, filterEntry));
    saveFolder = QFileInfo(target).absolutePath();
    return target;
}

} // namespace kv
