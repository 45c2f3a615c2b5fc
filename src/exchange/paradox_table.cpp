// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/paradox_table.h"

#include "exchange/legacy_code_page.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Day 1 of Paradox dates (and of the days of its timestamps) is 1 January of the year 1.
constexpr qint64 julianDayBeforeYear1 = 1721425;
constexpr qint64 msPerDay = 86400000;

struct FieldType
{
    LegacyFieldType type;
    bool blob;
};

std::optional<FieldType> fieldTypeOf(uchar code)
{
    switch (code) {
    case 0x01: return FieldType{LegacyFieldType::Alpha, false};
    case 0x02: return FieldType{LegacyFieldType::Date, false};
    case 0x03: return FieldType{LegacyFieldType::Short, false};
    case 0x04: return FieldType{LegacyFieldType::Long, false};
    case 0x05: return FieldType{LegacyFieldType::Currency, false};
    case 0x06: return FieldType{LegacyFieldType::Number, false};
    case 0x09: return FieldType{LegacyFieldType::Logical, false};
    case 0x0C: return FieldType{LegacyFieldType::Memo, true};
    case 0x0D: return FieldType{LegacyFieldType::Blob, true};
    case 0x0E: return FieldType{LegacyFieldType::FormattedMemo, true};
    case 0x0F: return FieldType{LegacyFieldType::Ole, true};
    case 0x10: return FieldType{LegacyFieldType::Graphic, true};
    case 0x14: return FieldType{LegacyFieldType::Time, false};
    case 0x15: return FieldType{LegacyFieldType::Timestamp, false};
    case 0x16: return FieldType{LegacyFieldType::AutoInc, false};
    case 0x17: return FieldType{LegacyFieldType::Bcd, false};
    case 0x18: return FieldType{LegacyFieldType::Bytes, false};
    default: return std::nullopt;
    }
}

// The size a field of this type must have in the record; 0 when the header's size stands.
int fixedSize(LegacyFieldType type)
{
    switch (type) {
    case LegacyFieldType::Date:
    case LegacyFieldType::Long:
    case LegacyFieldType::AutoInc:
    case LegacyFieldType::Time: return 4;
    case LegacyFieldType::Short: return 2;
    case LegacyFieldType::Currency:
    case LegacyFieldType::Number:
    case LegacyFieldType::Timestamp: return 8;
    case LegacyFieldType::Logical: return 1;
    case LegacyFieldType::Bcd: return 17;
    default: return 0;
    }
}

bool allZero(const uchar *p, int size)
{
    for (int i = 0; i < size; ++i)
        if (p[i])
            return false;
    return true;
}

// Numbers are stored high byte first with the sign bit inverted, so that the bytes sort as the
// numbers do and a blank field is all zeros.
qint64 storedInteger(const uchar *p, int size)
{
    quint64 value = p[0] ^ 0x80u;
    for (int i = 1; i < size; ++i)
        value = (value << 8) | p[i];
    const int bits = size * 8;
    if (value & (quint64(1) << (bits - 1)))
        return qint64(value) - (qint64(1) << bits);
    return qint64(value);
}

// A negative double has every bit inverted, a positive one only its sign bit.
double storedDouble(const uchar *p)
{
    uchar bytes[8];
    if (p[0] & 0x80) {
        std::memcpy(bytes, p, 8);
        bytes[0] &= 0x7F;
    } else {
        for (int i = 0; i < 8; ++i)
            bytes[i] = uchar(~p[i]);
    }
    const quint64 bits = qFromBigEndian<quint64>(bytes);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// 17 bytes: the sign (high bit set for positive numbers) and the count of decimals in the first byte,
// then 32 decimal digits, one per nibble; a negative number has every nibble inverted.
std::optional<double> storedBcd(const uchar *p, int decimals)
{
    const bool negative = !(p[0] & 0x80);
    const uchar flip = negative ? 0xFF : 0x00;
    double value = 0;
    for (int i = 1; i < 17; ++i) {
        const uchar byte = p[i] ^ flip;
        for (const int digit : {byte >> 4, byte & 0x0F}) {
            if (digit > 9)
                return std::nullopt;
            value = value * 10 + digit;
        }
    }
    value /= std::pow(10.0, decimals);
    return negative ? -value : value;
}

class ParadoxReader
{
public:
    ParadoxReader(const QString &path, LegacyTable &table) : m_path(path), m_table(table) {}

    // Throws the message of the first fault found.
    void read();

private:
    [[noreturn]] void fault(const QString &what) const
    {
        throw QString(u"%1 is not a readable Paradox table: %2."_s.arg(QFileInfo(m_path).fileName(), what));
    }
    quint16 u16(qsizetype at) const { return qFromLittleEndian<quint16>(m_data.constData() + at); }
    quint32 u32(qsizetype at) const { return qFromLittleEndian<quint32>(m_data.constData() + at); }

    void readHeader();
    void readRecords();
    QVariant value(const LegacyField &field, const uchar *p);
    QVariant blob(const LegacyField &field, const uchar *p);
    QByteArray blobFromMemoFile(const LegacyField &field, quint32 offset, quint32 length);

    QString m_path;
    LegacyTable &m_table;
    QByteArray m_data;
    LegacyCodePage m_codePage;
    int m_recordSize = 0;
    int m_headerSize = 0;
    int m_blockSize = 0;
    quint32 m_recordCount = 0;
    int m_firstBlock = 0;
    int m_version = 0;
    std::optional<QByteArray> m_memo; // the .MB file, read when a blob lives there
    QString m_memoPath;
};

void ParadoxReader::read()
{
    QFile file(m_path);
    if (!file.exists())
        throw QString(u"The file %1 does not exist."_s.arg(m_path));
    if (!file.open(QIODevice::ReadOnly))
        throw QString(u"Cannot read %1: %2"_s.arg(m_path, file.errorString()));
    m_data = file.readAll();
    if (m_data.isEmpty())
        throw QString(u"The file %1 is empty."_s.arg(m_path));
    readHeader();
    readRecords();
}

void ParadoxReader::readHeader()
{
    if (m_data.size() < 0x58)
        fault(u"its header is cut short"_s);
    const auto *d = reinterpret_cast<const uchar *>(m_data.constData());
    m_recordSize = u16(0);
    m_headerSize = u16(2);
    const int fileType = d[4];
    const int blockCode = d[5];
    m_recordCount = u32(6);
    m_firstBlock = u16(0x0E);
    const int fieldCount = qint16(u16(0x21));
    m_version = d[0x39];
    if (fileType != 0 && fileType != 2)
        fault(fileType <= 8 ? u"it is an index file, not a table"_s : u"its file type is unknown"_s);
    if (m_version < 3 || m_version > 0x0C)
        fault(u"its version code %1 is unknown"_s.arg(m_version));
    // Paradox 7 allows blocks of 16 and 32 KB besides the 1 to 4 KB of the older versions.
    if (!(blockCode >= 1 && blockCode <= 4) && blockCode != 16 && blockCode != 32)
        fault(u"its block size code %1 is unknown"_s.arg(blockCode));
    m_blockSize = blockCode * 0x400;
    if (fieldCount < 1 || fieldCount > 255)
        fault(u"it names %1 fields"_s.arg(fieldCount));
    if (m_headerSize < 0x58 || m_headerSize > m_data.size())
        fault(u"its header size %1 does not fit the file"_s.arg(m_headerSize));
    if (m_recordSize < 1 || m_recordSize > m_blockSize - 6)
        fault(u"its record size %1 does not fit its blocks"_s.arg(m_recordSize));

    const bool newHeader = m_version > 4; // Paradox 4 and later: 32 more bytes before the fields
    const quint32 encryption = newHeader ? (m_data.size() >= 0x60 ? u32(0x5C) : 0) : u32(0x25);
    if (encryption != 0)
        throw QString(u"%1 is protected with a password; remove the password in Paradox and open it again."_s
                          .arg(QFileInfo(m_path).fileName()));
    int codePage = 437;
    if (newHeader) {
        if (m_headerSize < 0x78)
            fault(u"its header is cut short"_s);
        codePage = u16(0x6A);
    }
    if (!m_codePage.setCodePage(codePage))
        throw QString(u"%1 is written in code page %2, which this system cannot read."_s
                          .arg(QFileInfo(m_path).fileName())
                          .arg(codePage));
    m_table.codePage = codePage;
    m_table.format = m_version <= 4 ? u"Paradox 3"_s
                     : m_version <= 9 ? u"Paradox 4"_s
                     : m_version <= 0x0B ? u"Paradox 5"_s
                                         : u"Paradox 7"_s;

    // Field types and sizes, the pointers Paradox keeps there in memory, the table's name (longer from
    // version 7 on), then the field names one after another.
    qsizetype at = newHeader ? 0x78 : 0x58;
    const qsizetype end = m_headerSize;
    if (at + 2 * fieldCount > end)
        fault(u"its field list is cut short"_s);
    int recordBytes = 0;
    for (int i = 0; i < fieldCount; ++i) {
        const uchar code = d[at + 2 * i];
        const int size = d[at + 2 * i + 1];
        const auto type = fieldTypeOf(code);
        if (!type)
            fault(u"field %1 has the unknown type code %2"_s.arg(i + 1).arg(code));
        LegacyField field;
        field.type = type->type;
        field.size = size;
        if (field.type == LegacyFieldType::Bcd) {
            field.decimals = size; // a BCD field's size is its count of decimals
            field.size = 17;
            if (size > 32)
                fault(u"BCD field %1 has %2 decimals"_s.arg(i + 1).arg(size));
        } else if (const int fixed = fixedSize(field.type); fixed && fixed != size) {
            fault(u"field %1 has size %2, where its type takes %3"_s.arg(i + 1).arg(size).arg(fixed));
        }
        if (field.size < 1 || (type->blob && field.size < 10))
            fault(u"field %1 has size %2"_s.arg(i + 1).arg(size));
        recordBytes += field.size;
        m_table.fields << field;
    }
    if (recordBytes != m_recordSize)
        fault(u"its fields take %1 bytes, its records %2"_s.arg(recordBytes).arg(m_recordSize));
    at += 2 * fieldCount + 4 + 4 * fieldCount + (m_version >= 0x0C ? 261 : 79);
    for (LegacyField &field : m_table.fields) {
        if (at >= end)
            fault(u"its field names are cut short"_s);
        const qsizetype nul = m_data.indexOf('\0', at);
        if (nul < 0 || nul >= end)
            fault(u"its field names are cut short"_s);
        field.name = m_codePage.decode(QByteArrayView(m_data).sliced(at, nul - at));
        at = nul + 1;
    }
}

void ParadoxReader::readRecords()
{
    m_table.rows.reserve(std::min<quint32>(m_recordCount, quint32(m_data.size() / m_recordSize)));
    std::unordered_set<int> seen;
    int block = m_recordCount == 0 && m_firstBlock == 0 ? 0 : m_firstBlock;
    while (block != 0) {
        if (!seen.insert(block).second)
            fault(u"its chain of blocks loops at block %1"_s.arg(block));
        const qint64 offset = m_headerSize + qint64(block - 1) * m_blockSize;
        if (block < 1 || offset + 6 > m_data.size())
            fault(u"block %1 lies past the end of the file"_s.arg(block));
        const int next = u16(offset);
        const int lastRecord = qint16(u16(offset + 4));
        if (lastRecord >= 0) {
            if (lastRecord % m_recordSize != 0 || 6 + lastRecord + m_recordSize > m_blockSize)
                fault(u"block %1 is damaged"_s.arg(block));
            if (offset + 6 + lastRecord + m_recordSize > m_data.size())
                fault(u"block %1 is cut short"_s.arg(block));
            const auto *p = reinterpret_cast<const uchar *>(m_data.constData() + offset + 6);
            for (int r = 0; r <= lastRecord / m_recordSize; ++r) {
                if (m_table.rows.size() >= m_recordCount)
                    fault(u"it holds more records than its header counts (%1)"_s.arg(m_recordCount));
                QVariantList row;
                row.reserve(m_table.fields.size());
                for (const LegacyField &field : m_table.fields) {
                    row << value(field, p);
                    p += field.size;
                }
                m_table.rows.push_back(std::move(row));
            }
        }
        block = next;
    }
    if (m_table.rows.size() != m_recordCount)
        fault(u"its header counts %1 records, its blocks hold %2"_s.arg(m_recordCount).arg(m_table.rows.size()));
}

QVariant ParadoxReader::value(const LegacyField &field, const uchar *p)
{
    switch (field.type) {
    case LegacyFieldType::Memo:
    case LegacyFieldType::FormattedMemo:
    case LegacyFieldType::Blob:
    case LegacyFieldType::Ole:
    case LegacyFieldType::Graphic: return blob(field, p);
    default: break;
    }
    if (allZero(p, field.size))
        return {};
    switch (field.type) {
    case LegacyFieldType::Alpha: {
        const QString text = m_codePage.decode(QByteArrayView(p, field.size));
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case LegacyFieldType::Short:
    case LegacyFieldType::Long:
    case LegacyFieldType::AutoInc: return int(storedInteger(p, field.size));
    case LegacyFieldType::Date: {
        const QDate date = QDate::fromJulianDay(julianDayBeforeYear1 + storedInteger(p, 4));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case LegacyFieldType::Time: {
        const qint64 ms = storedInteger(p, 4);
        if (ms < 0 || ms >= msPerDay)
            return {};
        return QTime::fromMSecsSinceStartOfDay(int(ms));
    }
    case LegacyFieldType::Timestamp: {
        const double ms = storedDouble(p);
        if (!std::isfinite(ms) || ms < 0 || ms > 4e14)
            return {};
        const qint64 whole = qint64(std::llround(ms));
        const QDate date = QDate::fromJulianDay(julianDayBeforeYear1 + whole / msPerDay);
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(whole % msPerDay)));
    }
    case LegacyFieldType::Currency:
    case LegacyFieldType::Number: return storedDouble(p);
    case LegacyFieldType::Bcd: {
        const auto number = storedBcd(p, field.decimals);
        return number ? QVariant(*number) : QVariant();
    }
    case LegacyFieldType::Logical:
        if ((p[0] & 0x7F) > 1)
            return {};
        return bool(p[0] & 1);
    case LegacyFieldType::Bytes: return QByteArray(reinterpret_cast<const char *>(p), field.size);
    default: return {};
    }
}

// A blob: its leader (the first bytes of its data, or all of it when short enough), then its place
// in the .MB file, its length and a modification number, little-endian.
QVariant ParadoxReader::blob(const LegacyField &field, const uchar *p)
{
    const int leader = field.size - 10;
    const quint32 offset = qFromLittleEndian<quint32>(p + leader);
    const quint32 length = qFromLittleEndian<quint32>(p + leader + 4);
    if (length == 0)
        return {};
    QByteArray data;
    if (offset == 0) {
        if (length > quint32(leader))
            fault(u"a blob of field %1 is longer than its leader but not in the memo file"_s.arg(field.name));
        data = QByteArray(reinterpret_cast<const char *>(p), qsizetype(length));
    } else {
        data = blobFromMemoFile(field, offset, length);
    }
    if (field.type == LegacyFieldType::Memo || field.type == LegacyFieldType::FormattedMemo)
        return m_codePage.decode(data);
    return data;
}

QByteArray ParadoxReader::blobFromMemoFile(const LegacyField &field, quint32 offset, quint32 length)
{
    if (!m_memo) {
        m_memoPath = siblingFile(m_path, u"MB"_s);
        if (m_memoPath.isEmpty())
            throw QString(u"%1 keeps the long texts of field %2 in its memo file %3, which is missing."_s.arg(
                QFileInfo(m_path).fileName(), field.name, QFileInfo(m_path).completeBaseName() + u".MB"_s));
        QFile file(m_memoPath);
        if (!file.open(QIODevice::ReadOnly))
            throw QString(u"Cannot read %1: %2"_s.arg(m_memoPath, file.errorString()));
        m_memo = file.readAll();
    }
    const QByteArray &mb = *m_memo;
    const QString name = QFileInfo(m_memoPath).fileName();
    auto damaged = [&](const QString &what) {
        throw QString(u"The memo file %1 is damaged: %2 (field %3)."_s.arg(name, what, field.name));
    };
    const int index = int(offset & 0xFF);
    const qint64 block = offset & ~quint32(0xFF);
    if (block < 0x1000 || block + 12 > mb.size())
        damaged(u"a blob lies past its end"_s);
    const auto *b = reinterpret_cast<const uchar *>(mb.constData() + block);
    if (index == 0xFF) {
        // A block of its own: type 2, its size in 4 KB units, the blob's length, a modification number.
        if (b[0] != 2)
            damaged(u"a blob points to a block of type %1"_s.arg(b[0]));
        const quint32 stored = qFromLittleEndian<quint32>(b + 3);
        if (stored != length)
            damaged(u"a blob's length differs from its record's"_s);
        if (block + 9 + qint64(length) > mb.size())
            damaged(u"a blob runs past its end"_s);
        return mb.mid(block + 9, qsizetype(length));
    }
    // A block of short blobs: type 3, a 12-byte header, then 64 entries of 5 bytes: the data's offset
    // and length in 16-byte units, a modification number, the bytes used of the last unit.
    if (b[0] != 3)
        damaged(u"a blob points to a block of type %1"_s.arg(b[0]));
    if (index > 63)
        damaged(u"a blob names entry %1 of a block"_s.arg(index));
    const uchar *entry = b + 12 + 5 * index;
    const qint64 start = qint64(entry[0]) * 16;
    const qint64 stored = entry[1] == 0 ? 0 : (qint64(entry[1]) - 1) * 16 + entry[4];
    if (start == 0 || stored != qint64(length) || entry[4] == 0 || entry[4] > 16)
        damaged(u"a blob's entry does not match its record"_s);
    if (start + stored > 0x1000 || block + start + stored > mb.size())
        damaged(u"a blob runs past its block"_s);
    return mb.mid(block + start, qsizetype(length));
}

} // namespace

QString ParadoxTableFormat::description() const
{
    return u"Paradox files"_s;
}

QStringList ParadoxTableFormat::nameFilters() const
{
    return {u"*.DB"_s};
}

bool ParadoxTableFormat::read(const QString &path, LegacyTable &table)
{
    return readWith<ParadoxReader>(path, table);
}

} // namespace kv
