// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

namespace kv {

/// The kinds of field a Paradox or dBase table holds, as their readers give them.
enum class LegacyFieldType
{
    Alpha,         // text (QString)
    Date,          // QDate
    Short,         // 16-bit integer (int)
    Long,          // 32-bit integer (int)
    AutoInc,       // 32-bit integer (int)
    Currency,      // double
    Number,        // double
    Bcd,           // double
    Logical,       // bool
    Time,          // QTime
    Timestamp,     // QDateTime
    Memo,          // text (QString)
    FormattedMemo, // text (QString)
    Blob,          // bytes (QByteArray)
    Ole,           // bytes
    Graphic,       // bytes
    Bytes,         // bytes
};

struct LegacyField
{
    QString name;
    LegacyFieldType type = LegacyFieldType::Alpha;
    int size = 0;     // bytes in the record (Paradox) or characters (dBase)
    int decimals = 0; // BCD and dBase numbers
};

/// Whether a field's values are texts, numbers or bytes; dates and times count as numbers.
bool isTextField(LegacyFieldType type);
bool isBinaryField(LegacyFieldType type);

/// A whole table read from a legacy table file: its fields and every record, a value per field (a null
/// QVariant for a blank one).
struct LegacyTable
{
    QString path;
    QString format;   // "Paradox 7", "dBase IV", ...
    int codePage = 0; // of its texts and field names
    QList<LegacyField> fields;
    std::vector<QVariantList> rows;

    QStringList fieldNames() const;
    /// The position of a field, case-insensitively; -1 when absent.
    int fieldIndex(const QString &name) const;
};

/// One legacy table format: its dialog filter, how to know its files, how to read them. Readers return
/// false and leave a message in errorString().
class LegacyTableFormat
{
public:
    virtual ~LegacyTableFormat() = default;

    /// The open dialog's description, e.g. "Paradox files".
    virtual QString description() const = 0;
    /// The dialog's patterns, e.g. {"*.DB"}.
    virtual QStringList nameFilters() const = 0;
    QString dialogFilter() const;
    /// Whether the file's name says this format.
    bool supportsName(const QString &path) const;

    virtual bool read(const QString &path, LegacyTable &table) = 0;

    QString errorString() const { return m_error; }

protected:
    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }
    /// Reads the file with a reader that fills the table and throws its message as a QString; a table
    /// that cannot be read is left empty.
    template <class Reader>
    bool readWith(const QString &path, LegacyTable &table)
    {
        table = LegacyTable();
        table.path = path;
        try {
            Reader(path, table).read();
        } catch (const QString &message) {
            table = LegacyTable();
            return fail(message);
        }
        return true;
    }

private:
    QString m_error;
};

/// Every format, in the order of the open dialog's filters: Paradox, then dBase.
std::vector<std::unique_ptr<LegacyTableFormat>> legacyTableFormats();
/// The open dialog's filters in Qt's form, "Paradox files (*.DB)" first.
QStringList legacyTableDialogFilters();
/// Whether a name ends in .DB or .DBF (any case).
bool isLegacyTableFile(const QString &path);
/// Reads a .DB or .DBF file whole; FileError with the reader's message when it cannot.
LegacyTable readLegacyTable(const QString &path);

/// A file's sibling with another extension (".MB", ".DBT"), found whatever the case of either name;
/// empty when there is none.
QString siblingFile(const QString &path, const QString &extension);

} // namespace kv
