// SPDX-License-Identifier: GPL-3.0-or-later
// A small writer of Paradox tables and memo files for the tests: the field types and blob places that
// the real tables beside the tests do not show, and legacy folders to migrate.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QtEndian>

#include <cstring>

namespace kv::test {

struct PxField
{
    QByteArray name; // in the table's code page
    uchar type;      // 0x01 alpha, 0x02 date, ... as the header stores it
    int size;        // bytes in the record; for BCD its decimals
};

inline int pxStoredSize(const PxField &f)
{
    return f.type == 0x17 ? 17 : f.size;
}

// Numbers high byte first with the sign bit inverted; a negative double with every bit inverted.
inline QByteArray pxInteger(qint64 value, int size)
{
    QByteArray b(size, '\0');
    const quint64 bits = quint64(value);
    for (int i = 0; i < size; ++i)
        b[size - 1 - i] = char((bits >> (8 * i)) & 0xFF);
    b[0] = char(b[0] ^ 0x80);
    return b;
}

inline QByteArray pxDouble(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, 8);
    QByteArray b(8, '\0');
    qToBigEndian(bits, b.data());
    if (value < 0 || (value == 0 && std::signbit(value))) {
        for (char &c : b)
            c = char(~c);
    } else {
        b[0] = char(b[0] | 0x80);
    }
    return b;
}

inline QByteArray pxDate(QDate date)
{
    return pxInteger(date.toJulianDay() - 1721425, 4);
}

inline QByteArray pxAlpha(const QByteArray &text, int size)
{
    QByteArray b = text.left(size);
    b.append(QByteArray(size - b.size(), '\0'));
    return b;
}

// A BCD number given as its digits (up to 32, decimals included) and sign.
inline QByteArray pxBcd(const QByteArray &digits, int decimals, bool negative)
{
    QByteArray b(17, '\0');
    const QByteArray all = QByteArray(32 - digits.size(), '0') + digits;
    b[0] = char(0x80 | decimals);
    for (int i = 0; i < 16; ++i)
        b[1 + i] = char(((all[2 * i] - '0') << 4) | (all[2 * i + 1] - '0'));
    if (negative)
        for (char &c : b)
            c = char(~c);
    return b;
}

// A blob's place in the record: its leader, then offset (with the entry index in its low byte),
// length and modification number, little-endian.
inline QByteArray pxBlob(const QByteArray &data, int leader, quint32 offset)
{
    QByteArray b = data.left(leader);
    b.append(QByteArray(leader - b.size(), '\0'));
    char tail[10];
    qToLittleEndian(offset, tail);
    qToLittleEndian(quint32(data.size()), tail + 4);
    qToLittleEndian(quint16(1), tail + 8);
    b.append(tail, 10);
    return b;
}

/// A memo file being built: the 4 KB header, then blocks of one blob (type 2) or of up to 64 short
/// ones (type 3). add* return the offset the record stores.
class PxMemoFile
{
public:
    PxMemoFile() : m_data(0x1000, '\0')
    {
        m_data[0] = 0;
        qToLittleEndian(quint16(1), m_data.data() + 1);
    }
    quint32 addSingle(const QByteArray &blob)
    {
        const quint32 at = quint32(m_data.size());
        const int chunks = int((9 + blob.size() + 0xFFF) / 0x1000);
        QByteArray block(chunks * 0x1000, '\0');
        block[0] = 2;
        qToLittleEndian(quint16(chunks), block.data() + 1);
        qToLittleEndian(quint32(blob.size()), block.data() + 3);
        qToLittleEndian(quint16(1), block.data() + 7);
        std::memcpy(block.data() + 9, blob.constData(), size_t(blob.size()));
        m_data += block;
        return at | 0xFF;
    }
    // Short blobs (under 2 KB in all) share one block; entries are used from 0x3F down.
    quint32 addShort(const QByteArray &blob)
    {
        if (m_subBlock < 0 || m_nextChunk * 16 + blob.size() > 0x1000 || m_nextEntry < 0) {
            m_subBlock = int(m_data.size());
            QByteArray block(0x1000, '\0');
            block[0] = 3;
            qToLittleEndian(quint16(1), block.data() + 1);
            m_data += block;
            m_nextChunk = 0x150 / 16;
            m_nextEntry = 0x3F;
        }
        const int entry = m_nextEntry--;
        const int chunks = int((blob.size() + 15) / 16);
        char *e = m_data.data() + m_subBlock + 12 + 5 * entry;
        e[0] = char(m_nextChunk);
        e[1] = char(chunks);
        qToLittleEndian(quint16(1), e + 2);
        e[4] = char(blob.size() - (chunks - 1) * 16);
        std::memcpy(m_data.data() + m_subBlock + m_nextChunk * 16, blob.constData(), size_t(blob.size()));
        m_nextChunk += chunks;
        return quint32(m_subBlock) | quint32(entry);
    }
    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
    int m_subBlock = -1;
    int m_nextChunk = 0;
    int m_nextEntry = -1;
};

/// A whole .DB file: version 3 (0x03), 4 (0x09), 5 (0x0B) or 7 (0x0C), 1 KB blocks, records given as
/// their stored bytes.
inline QByteArray paradoxTable(const QList<PxField> &fields, const QList<QByteArray> &records, int version = 0x0C,
                               int codePage = 437)
{
    int recordSize = 0;
    for (const PxField &f : fields)
        recordSize += pxStoredSize(f);
    const int blockSize = 0x400;
    const int perBlock = (blockSize - 6) / recordSize;
    const int blocks = records.isEmpty() ? 0 : int((records.size() + perBlock - 1) / perBlock);
    const int headerSize = 0x800;
    QByteArray h(headerSize, '\0');
    auto u16 = [&](int at, int v) { qToLittleEndian(quint16(v), h.data() + at); };
    auto u32 = [&](int at, quint32 v) { qToLittleEndian(v, h.data() + at); };
    u16(0, recordSize);
    u16(2, headerSize);
    h[4] = 2;
    h[5] = 1;
    u32(6, quint32(records.size()));
    u16(0x0A, blocks);
    u16(0x0C, blocks);
    u16(0x0E, blocks ? 1 : 0);
    u16(0x10, blocks);
    u16(0x21, int(fields.size()));
    h[0x39] = char(version);
    const bool newHeader = version > 4;
    if (newHeader) {
        u32(0x25, 0xFF00FF00);
        u16(0x58, 0x100 | version);
        u16(0x5A, 0x100 | version);
        u16(0x6A, codePage);
    }
    int at = newHeader ? 0x78 : 0x58;
    for (const PxField &f : fields) {
        h[at++] = char(f.type);
        h[at++] = char(f.size);
    }
    at += 4 + 4 * int(fields.size());
    const QByteArray tableName = "test.db";
    std::memcpy(h.data() + at, tableName.constData(), size_t(tableName.size()));
    at += version >= 0x0C ? 261 : 79;
    for (const PxField &f : fields) {
        std::memcpy(h.data() + at, f.name.constData(), size_t(f.name.size()));
        at += int(f.name.size()) + 1;
    }
    for (int i = 0; i < fields.size(); ++i) {
        u16(at, i + 1);
        at += 2;
    }
    std::memcpy(h.data() + at, "ascii", 5);

    QByteArray file = h;
    for (int b = 0; b < blocks; ++b) {
        QByteArray block(blockSize, '\0');
        const int first = b * perBlock;
        const int count = int(std::min<qsizetype>(perBlock, records.size() - first));
        qToLittleEndian(quint16(b + 1 < blocks ? b + 2 : 0), block.data());
        qToLittleEndian(quint16(b), block.data() + 2);
        qToLittleEndian(qint16((count - 1) * recordSize), block.data() + 4);
        for (int r = 0; r < count; ++r) {
            const QByteArray &record = records[first + r];
            std::memcpy(block.data() + 6 + r * recordSize, record.constData(), size_t(std::min<qsizetype>(record.size(), recordSize)));
        }
        file += block;
    }
    return file;
}

} // namespace kv::test
