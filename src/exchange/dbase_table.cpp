// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/dbase_table.h"

#include "exchange/legacy_code_page.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QtEndian>

#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

int dbaseLanguageDriverCodePage(int driver)
{
    switch (driver) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19:
    case 0x1B: return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D:
    case 0x25: case 0x37: return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: return 1252; // 0x57: the Windows (ANSI) code page
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
    }
}

namespace {

struct Field
{
    char type;
    int offset;
    int size;
};

class DbaseReader
{
public:
    DbaseReader(const QString &path, LegacyTable &table) : m_path(path), m_table(table) {}
    void read();

private:
    [[noreturn]] void fault(const QString &what) const
    {
        throw QString(u"%1 is not a readable dBase table: %2."_s.arg(QFileInfo(m_path).fileName(), what));
    }
    [[noreturn]] void badValue(int record, int field, QByteArrayView bytes) const
    {
        fault(u"record %1 holds \"%2\" in field %3"_s.arg(record)
                  .arg(QString::fromLatin1(bytes).trimmed(), m_table.fields[field].name));
    }
    void readHeader();
    QVariant value(int record, int index, const Field &field, const uchar *p);
    QVariant memo(int record, int index, quint32 block);

    QString m_path;
    LegacyTable &m_table;
    QByteArray m_data;
    LegacyCodePage m_codePage;
    QList<Field> m_fields;
    int m_version = 0;
    int m_headerSize = 0;
    int m_recordSize = 0;
    quint32 m_recordCount = 0;
    bool m_fox = false;
    std::optional<QByteArray> m_memo;
    QString m_memoPath;
};

void DbaseReader::read()
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
    const auto *d = reinterpret_cast<const uchar *>(m_data.constData());
    m_table.rows.reserve(m_recordCount);
    for (quint32 r = 0; r < m_recordCount; ++r) {
        const uchar *record = d + m_headerSize + qint64(r) * m_recordSize;
        if (record[0] == '*')
            continue;
        if (record[0] != ' ')
            fault(u"record %1 is damaged"_s.arg(r + 1));
        QVariantList row;
        row.reserve(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            row << value(int(r + 1), i, m_fields[i], record + m_fields[i].offset);
        m_table.rows.push_back(std::move(row));
    }
}

void DbaseReader::readHeader()
{
    if (m_data.size() < 33)
        fault(u"its header is cut short"_s);
    const auto *d = reinterpret_cast<const uchar *>(m_data.constData());
    m_version = d[0];
    switch (m_version) {
    case 0x02: case 0x03: case 0x83: m_table.format = u"dBase III"_s; break;
    case 0x04: case 0x8B: case 0x8E: case 0x43: case 0x63: case 0xCB: m_table.format = u"dBase IV"_s; break;
    case 0x05: m_table.format = u"dBase 5"_s; break;
    case 0x30: case 0x31: case 0x32: case 0xF5: case 0xFB:
        m_table.format = u"FoxPro"_s;
        m_fox = true;
        break;
    default: fault(u"its version byte %1 is unknown"_s.arg(m_version));
    }
    m_recordCount = qFromLittleEndian<quint32>(d + 4);
    m_headerSize = qFromLittleEndian<quint16>(d + 8);
    m_recordSize = qFromLittleEndian<quint16>(d + 10);
    if (m_headerSize < 33 || m_headerSize > m_data.size())
        fault(u"its header size %1 does not fit the file"_s.arg(m_headerSize));
    if (m_recordSize < 1)
        fault(u"its records have no bytes"_s);
    if (qint64(m_headerSize) + qint64(m_recordCount) * m_recordSize > m_data.size())
        fault(u"it counts %1 records, its file holds fewer"_s.arg(m_recordCount));

    int codePage = dbaseLanguageDriverCodePage(d[29]);
    bool named = false;
    if (codePage == 0) {
        const QString cpg = siblingFile(m_path, u"cpg"_s);
        QFile file(cpg);
        if (!cpg.isEmpty() && file.open(QIODevice::ReadOnly)) {
            const QString name = QString::fromLatin1(file.read(64)).trimmed();
            if (!m_codePage.setCodePageName(name))
                throw QString(u"%1 is written in the code page \"%2\", which this system cannot read."_s.arg(
                    QFileInfo(m_path).fileName(), name));
            codePage = m_codePage.codePage();
            named = true;
        } else {
            codePage = 437;
        }
    }
    if (!named && !m_codePage.setCodePage(codePage))
        throw QString(u"%1 is written in code page %2, which this system cannot read."_s
                          .arg(QFileInfo(m_path).fileName())
                          .arg(codePage));
    m_table.codePage = codePage;

    int offset = 1; // after the deletion mark
    for (qsizetype at = 32; at < m_headerSize && d[at] != 0x0D; at += 32) {
        if (at + 32 > m_headerSize)
            fault(u"its field list is cut short"_s);
        const char type = char(d[at + 11]);
        int size = d[at + 16];
        const int decimals = d[at + 17];
        if (type == 'C' && !m_fox)
            size += decimals << 8; // long character fields keep their high byte there
        LegacyField field;
        field.name = m_codePage.decode(QByteArrayView(d + at, 11)).trimmed();
        field.size = size;
        switch (type) {
        case 'C': field.type = LegacyFieldType::Alpha; break;
        case 'N':
        case 'F':
            field.type = LegacyFieldType::Number;
            field.decimals = decimals;
            break;
        case 'D': field.type = LegacyFieldType::Date; break;
        case 'L': field.type = LegacyFieldType::Logical; break;
        case 'M': field.type = LegacyFieldType::Memo; break;
        case 'G': field.type = LegacyFieldType::Ole; break;
        case 'P': field.type = LegacyFieldType::Graphic; break;
        case 'B': field.type = m_fox ? LegacyFieldType::Number : LegacyFieldType::Blob; break;
        case 'I': field.type = LegacyFieldType::Long; break;
        case 'Y': field.type = LegacyFieldType::Currency; break;
        case 'T': field.type = LegacyFieldType::Timestamp; break;
        case '0': break; // FoxPro's hidden null flags
        default: fault(u"field %1 has the unknown type %2"_s.arg(field.name, QString::fromLatin1(&type, 1)));
        }
        const bool fixed4 = type == 'I';
        const bool fixed8 = type == 'Y' || type == 'T' || (type == 'B' && m_fox);
        if (size < 1 || (fixed4 && size != 4) || (fixed8 && size != 8) || (type == 'D' && size != 8)
            || (type == 'L' && size != 1))
            fault(u"field %1 has size %2"_s.arg(field.name).arg(size));
        if (type != '0') {
            m_fields << Field{type, offset, size};
            m_table.fields << field;
        }
        offset += size;
    }
    if (m_table.fields.isEmpty())
        fault(u"it has no fields"_s);
    if (offset > m_recordSize)
        fault(u"its fields take %1 bytes, its records %2"_s.arg(offset).arg(m_recordSize));
}

QVariant DbaseReader::value(int record, int index, const Field &field, const uchar *p)
{
    const QByteArrayView bytes(p, field.size);
    switch (field.type) {
    case 'C': {
        QByteArrayView text = bytes;
        while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\0'))
            text.chop(1);
        return text.isEmpty() ? QVariant() : QVariant(m_codePage.decode(text));
    }
    case 'N':
    case 'F':
    case 'B':
        if (field.type == 'B' && m_fox) {
            double number;
            const quint64 bits = qFromLittleEndian<quint64>(p);
            std::memcpy(&number, &bits, sizeof number);
            return number;
        }
        if (field.type == 'B')
            break;
        {
            const QByteArray text = QByteArray(bytes.data(), bytes.size()).trimmed();
            if (text.isEmpty() || text.count('*') == text.size() || text.count('\0') == text.size())
                return {};
            bool ok = false;
            const double number = text.toDouble(&ok);
            if (!ok)
                badValue(record, index, bytes);
            return number;
        }
    case 'D': {
        const QByteArray text = QByteArray(bytes.data(), bytes.size()).trimmed();
        if (text.isEmpty() || text == "00000000" || text.count('\0') == text.size())
            return {};
        const QDate date = QDate::fromString(QString::fromLatin1(text), u"yyyyMMdd");
        if (!date.isValid())
            badValue(record, index, bytes);
        return date;
    }
    case 'L':
        switch (p[0]) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        case ' ': case '?': case '\0': return {};
        default: badValue(record, index, bytes);
        }
    case 'I': return qint32(qFromLittleEndian<quint32>(p));
    case 'Y': return double(qint64(qFromLittleEndian<quint64>(p))) / 10000.0;
    case 'T': {
        const qint32 day = qint32(qFromLittleEndian<quint32>(p));
        const qint32 ms = qint32(qFromLittleEndian<quint32>(p + 4));
        if (day == 0 && ms == 0)
            return {};
        const QDate date = QDate::fromJulianDay(day);
        if (!date.isValid() || ms < 0 || ms >= 86400000)
            badValue(record, index, bytes);
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms));
    }
    default: break;
    }
    // Memo fields: the number of their first block in the memo file, as digits (binary in FoxPro).
    if (m_fox && field.size == 4) {
        const quint32 block = qFromLittleEndian<quint32>(p);
        return block == 0 ? QVariant() : memo(record, index, block);
    }
    const QByteArray digits = QByteArray(bytes.data(), bytes.size()).trimmed();
    if (digits.isEmpty() || digits.count('\0') == digits.size())
        return {};
    bool ok = false;
    const quint32 block = digits.toUInt(&ok);
    if (!ok)
        badValue(record, index, bytes);
    return block == 0 ? QVariant() : memo(record, index, block);
}

QVariant DbaseReader::memo(int record, int index, quint32 block)
{
    const LegacyField &field = m_table.fields[index];
    if (!m_memo) {
        m_memoPath = siblingFile(m_path, m_fox ? u"FPT"_s : u"DBT"_s);
        if (m_memoPath.isEmpty())
            throw QString(u"%1 keeps the memos of field %2 in a memo file %3, which is missing."_s.arg(
                QFileInfo(m_path).fileName(), field.name,
                QFileInfo(m_path).completeBaseName() + (m_fox ? u".FPT"_s : u".DBT"_s)));
        QFile file(m_memoPath);
        if (!file.open(QIODevice::ReadOnly))
            throw QString(u"Cannot read %1: %2"_s.arg(m_memoPath, file.errorString()));
        m_memo = file.readAll();
        if (m_memo->size() < 512)
            throw QString(u"The memo file %1 is damaged: its header is cut short."_s.arg(m_memoPath));
    }
    const QByteArray &mb = *m_memo;
    auto damaged = [&] {
        throw QString(u"The memo file %1 is damaged: the memo of record %2, field %3, lies past its end."_s.arg(
            QFileInfo(m_memoPath).fileName()).arg(record).arg(field.name));
    };
    const auto *d = reinterpret_cast<const uchar *>(mb.constData());
    QByteArray data;
    if (m_fox) {
        const int blockSize = qFromBigEndian<quint16>(d + 6);
        const qint64 at = qint64(block) * (blockSize ? blockSize : 64);
        if (at + 8 > mb.size())
            damaged();
        const quint32 length = qFromBigEndian<quint32>(d + at + 4);
        if (at + 8 + qint64(length) > mb.size())
            damaged();
        data = mb.mid(at + 8, length);
    } else {
        // dBase IV names its block size and heads each memo with FF FF 08 00 and its length; dBase III
        // blocks are 512 bytes and a memo ends at the first 1A.
        const int named = qFromLittleEndian<quint16>(d + 20);
        const bool four = m_version == 0x8B || m_version == 0x8E || m_version == 0xCB;
        const int blockSize = four && named >= 64 ? named : 512;
        const qint64 at = qint64(block) * blockSize;
        if (at >= mb.size())
            damaged();
        if (at + 8 <= mb.size() && d[at] == 0xFF && d[at + 1] == 0xFF && d[at + 2] == 0x08 && d[at + 3] == 0x00) {
            const quint32 length = qFromLittleEndian<quint32>(d + at + 4);
            if (length < 8 || at + qint64(length) > mb.size())
                damaged();
            data = mb.mid(at + 8, length - 8);
        } else {
            qsizetype end = mb.indexOf('\x1A', at);
            if (end < 0)
                end = mb.size();
            data = mb.mid(at, end - at);
        }
    }
    if (data.isEmpty())
        return {};
    if (field.type == LegacyFieldType::Memo)
        return m_codePage.decode(data);
    return data;
}

} // namespace

QString DbaseTableFormat::description() const
{
    return u"DBase files"_s;
}

QStringList DbaseTableFormat::nameFilters() const
{
    return {u"*.DBF"_s};
}

bool DbaseTableFormat::read(const QString &path, LegacyTable &table)
{
    return readWith<DbaseReader>(path, table);
}

} // namespace kv
