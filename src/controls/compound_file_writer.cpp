// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/compound_file_writer.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace kv {

namespace {

constexpr qint64 SectorSize = 512;
constexpr quint32 FreeSector = 0xFFFFFFFF;
constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FatSector = 0xFFFFFFFD;
constexpr quint32 DifatSector = 0xFFFFFFFC;
constexpr quint32 NoStream = 0xFFFFFFFF;
// Streams below this size belong in the mini stream; ours are padded to it instead.
constexpr qint64 MiniStreamCutoff = 4096;

void put16(QByteArray &b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray &b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

QByteArray directoryEntry(const QString &name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    QByteArray e(128, '\0');
    const QString shortName = name.left(31);
    for (qsizetype i = 0; i < shortName.size(); ++i)
        put16(e, int(2 * i), shortName[i].unicode());
    put16(e, 0x40, name.isEmpty() ? 0 : quint16(2 * (shortName.size() + 1)));
    e[0x42] = char(type);
    e[0x43] = char(type == 0 ? 0 : 1);  // black
    put32(e, 0x44, NoStream);
    put32(e, 0x48, NoStream);
    put32(e, 0x4C, child);
    put32(e, 0x74, start);
    put32(e, 0x78, size);
    return e;
}

} // namespace

CompoundFileWriter::CompoundFileWriter(QIODevice &device, const QString &streamName)
    : m_device(device), m_streamName(streamName)
{
}

bool CompoundFileWriter::begin()
{
    m_buffer.reserve(1 << 20);
    return m_device.write(QByteArray(SectorSize, '\0')) == SectorSize;
}

bool CompoundFileWriter::flush()
{
    if (m_buffer.isEmpty())
        return true;
    if (m_device.write(m_buffer) != m_buffer.size())
        return false;
    m_written += m_buffer.size();
    m_buffer.clear();
    return true;
}

bool CompoundFileWriter::write(const char *data, qint64 size)
{
    m_buffer.append(data, size);
    return m_buffer.size() < (1 << 20) || flush();
}

bool CompoundFileWriter::patch(qint64 offset, const QByteArray &data)
{
    if (offset >= m_written) {
        m_buffer.replace(offset - m_written, data.size(), data);
        return true;
    }
    if (!flush())
        return false;
    const qint64 end = m_device.pos();
    return m_device.seek(SectorSize + offset) && m_device.write(data) == data.size() && m_device.seek(end);
}

bool CompoundFileWriter::finish()
{
    qint64 size = position();
    if (size < MiniStreamCutoff) {
        m_buffer.append(QByteArray(MiniStreamCutoff - size, '\0'));
        size = MiniStreamCutoff;
    }
    if (size > 0xFFFFFFFFLL)
        return false;  // beyond what a version 3 compound file holds
    const qint64 padding = (SectorSize - size % SectorSize) % SectorSize;
    m_buffer.append(QByteArray(padding, '\0'));
    if (!flush())
        return false;

    const quint32 streamSectors = quint32((size + SectorSize - 1) / SectorSize);
    const quint32 directorySector = streamSectors;
    // Each FAT sector maps 128 sectors, itself included; past 109 of them DIFAT sectors list the rest.
    quint32 fatCount = 1;
    quint32 difatCount = 0;
    for (;;) {
        difatCount = fatCount > 109 ? (fatCount - 109 + 126) / 127 : 0;
        const quint64 total = quint64(streamSectors) + 1 + fatCount + difatCount;
        if (quint64(fatCount) * 128 >= total)
            break;
        ++fatCount;
    }
    const quint32 firstFat = directorySector + 1;
    const quint32 firstDifat = firstFat + fatCount;

    QByteArray directory;
    directory += directoryEntry(QStringLiteral("Root Entry"), 5, 1, EndOfChain, 0);
    directory += directoryEntry(m_streamName, 2, NoStream, 0, quint32(size));
    directory += directoryEntry({}, 0, NoStream, 0, 0);
    directory += directoryEntry({}, 0, NoStream, 0, 0);
    if (m_device.write(directory) != directory.size())
        return false;

    QByteArray fat(qsizetype(fatCount) * SectorSize, '\xFF');
    for (quint32 s = 0; s < streamSectors; ++s)
        put32(fat, int(4 * s), s + 1 < streamSectors ? s + 1 : EndOfChain);
    put32(fat, int(4 * directorySector), EndOfChain);
    for (quint32 s = 0; s < fatCount; ++s)
        put32(fat, int(4 * (firstFat + s)), FatSector);
    for (quint32 s = 0; s < difatCount; ++s)
        put32(fat, int(4 * (firstDifat + s)), DifatSector);
    if (m_device.write(fat) != fat.size())
        return false;

    if (difatCount > 0) {
        QByteArray difat(qsizetype(difatCount) * SectorSize, '\xFF');
        for (quint32 i = 109; i < fatCount; ++i) {
            const quint32 k = i - 109;
            put32(difat, int((k / 127) * SectorSize + (k % 127) * 4), firstFat + i);
        }
        for (quint32 d = 0; d < difatCount; ++d)
            put32(difat, int(d * SectorSize + 127 * 4), d + 1 < difatCount ? firstDifat + d + 1 : EndOfChain);
        if (m_device.write(difat) != difat.size())
            return false;
    }

    QByteArray header(SectorSize, '\0');
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    std::memcpy(header.data(), signature, 8);
    put16(header, 0x18, 0x003E);
    put16(header, 0x1A, 0x0003);
    put16(header, 0x1C, 0xFFFE);
    put16(header, 0x1E, 9);  // 512-byte sectors
    put16(header, 0x20, 6);  // 64-byte mini sectors
    put32(header, 0x2C, fatCount);
    put32(header, 0x30, directorySector);
    put32(header, 0x38, quint32(MiniStreamCutoff));
    put32(header, 0x3C, EndOfChain);
    put32(header, 0x44, difatCount > 0 ? firstDifat : EndOfChain);
    put32(header, 0x48, difatCount);
    for (quint32 i = 0; i < 109; ++i)
        put32(header, int(0x4C + 4 * i), i < fatCount ? firstFat + i : FreeSector);
    return m_device.seek(0) && m_device.write(header) == header.size();
}

} // namespace kv
