// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/compound_file_reader.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t MiniSectorSize = 64;
constexpr std::uint8_t StreamEntry = 2;
constexpr std::uint8_t RootEntry = 5;

std::uint16_t get16(const char *p) { return qFromLittleEndian<std::uint16_t>(p); }
std::uint32_t get32(const char *p) { return qFromLittleEndian<std::uint32_t>(p); }
std::uint64_t get64(const char *p) { return qFromLittleEndian<std::uint64_t>(p); }

const QString truncatedText = u"the file is truncated or damaged (%1)."_s;

} // namespace

bool CompoundFileReader::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool CompoundFileReader::readAt(std::uint64_t position, char *data, std::uint64_t size)
{
    if (position + size > m_fileSize)
        return false;
    return m_device.seek(qint64(position)) && m_device.read(data, qint64(size)) == qint64(size);
}

bool CompoundFileReader::readSector(std::uint32_t sector, char *data)
{
    if (sector >= m_fileSectors)
        return false;
    const std::uint64_t position = (std::uint64_t(sector) + 1) * m_sectorSize;
    const std::uint64_t size = std::min<std::uint64_t>(m_sectorSize, m_fileSize - position);
    // A last sector cut short by its writer reads as zeros past the end of the file.
    std::memset(data + size, 0, m_sectorSize - size);
    return readAt(position, data, size);
}

// The first units of a chain that hold size bytes. Every index must lie inside the table and the
// area it addresses (limit), and none may come twice: a loop would otherwise repeat data for ever.
bool CompoundFileReader::chain(std::uint32_t start, std::uint64_t size, const std::vector<std::uint32_t> &table,
                               std::uint64_t limit, std::uint32_t unit, std::vector<std::uint32_t> &sectors)
{
    sectors.clear();
    const std::uint64_t needed = (size + unit - 1) / unit;
    limit = std::min<std::uint64_t>(limit, table.size());
    if (needed > limit)
        return fail(truncatedText.arg(u"a stream is longer than the file"_s));
    sectors.reserve(needed);
    std::vector<bool> seen(limit, false);
    std::uint32_t current = start;
    for (std::uint64_t i = 0; i < needed; ++i) {
        if (current == EndOfChain)
            return fail(truncatedText.arg(u"a stream ends before its length"_s));
        if (current >= limit)
            return fail(truncatedText.arg(u"a sector lies past the end of the file"_s));
        if (seen[current])
            return fail(u"its allocation table is damaged (a chain of sectors loops)."_s);
        seen[current] = true;
        sectors.push_back(current);
        current = table[current];
    }
    return true;
}

bool CompoundFileReader::open()
{
    m_fileSize = std::uint64_t(m_device.size());
    char header[512];
    if (m_fileSize < 512 || !readAt(0, header, 512))
        return fail(truncatedText.arg(u"no complete header"_s));
    if (std::memcmp(header, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0 || get16(header + 0x1C) != 0xFFFE)
        return fail(u"its compound-file header is damaged."_s);
    const std::uint16_t sectorShift = get16(header + 0x1E);
    if ((sectorShift != 9 && sectorShift != 12) || get16(header + 0x20) != 6)
        return fail(u"its compound-file header is damaged (sector size)."_s);
    m_sectorSize = 1u << sectorShift;
    const bool version4 = sectorShift == 12;
    const std::uint32_t fatCount = get32(header + 0x2C);
    const std::uint32_t firstDirectory = get32(header + 0x30);
    m_miniCutoff = get32(header + 0x38);
    m_firstMiniFat = get32(header + 0x3C);
    m_miniFatCount = get32(header + 0x40);
    std::uint32_t nextDifat = get32(header + 0x44);
    const std::uint32_t difatCount = get32(header + 0x48);
    m_fileSectors = m_fileSize > m_sectorSize ? (m_fileSize - m_sectorSize + m_sectorSize - 1) / m_sectorSize : 0;
    if (fatCount == 0 || fatCount > m_fileSectors)
        return fail(truncatedText.arg(u"its allocation table lies past the end of the file"_s));

    // The allocation table's own sectors: 109 listed in the header, the rest in a chain of DIFAT sectors.
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(get32(header + 0x4C + 4 * i));
    std::vector<char> sector(m_sectorSize);
    const std::uint32_t perSector = m_sectorSize / 4;
    for (std::uint32_t d = 0; fatSectors.size() < fatCount; ++d) {
        if (d >= difatCount || d >= m_fileSectors || !readSector(nextDifat, sector.data()))
            return fail(truncatedText.arg(u"its allocation table is incomplete"_s));
        for (std::uint32_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(get32(sector.data() + 4 * i));
        nextDifat = get32(sector.data() + 4 * (perSector - 1));
    }
    m_fat.assign(std::size_t(fatCount) * perSector, 0);
    for (std::uint32_t i = 0; i < fatCount; ++i) {
        if (!readSector(fatSectors[i], sector.data()))
            return fail(truncatedText.arg(u"its allocation table lies past the end of the file"_s));
        qFromLittleEndian<std::uint32_t>(sector.data(), perSector, m_fat.data() + std::size_t(i) * perSector);
    }

    // The directory's chain has no length of its own: it ends with its end mark.
    std::vector<bool> seen(m_fileSectors, false);
    m_entries.clear();
    for (std::uint32_t current = firstDirectory; current != EndOfChain;) {
        if (current >= m_fileSectors || current >= m_fat.size())
            return fail(truncatedText.arg(u"the directory lies past the end of the file"_s));
        if (seen[current])
            return fail(u"its allocation table is damaged (a chain of sectors loops)."_s);
        seen[current] = true;
        if (!readSector(current, sector.data()))
            return fail(truncatedText.arg(u"the directory lies past the end of the file"_s));
        for (std::uint32_t at = 0; at + 128 <= m_sectorSize; at += 128) {
            const char *e = sector.data() + at;
            Entry entry;
            const int nameBytes = std::min<int>(get16(e + 0x40), 64);
            const int nameChars = std::max(0, nameBytes / 2 - 1);
            entry.name.resize(nameChars);
            for (int i = 0; i < nameChars; ++i)
                entry.name[i] = QChar(get16(e + 2 * i));
            entry.type = std::uint8_t(e[0x42]);
            entry.left = get32(e + 0x44);
            entry.right = get32(e + 0x48);
            entry.child = get32(e + 0x4C);
            entry.start = get32(e + 0x74);
            // Version 3 files may leave junk in the upper half of the size.
            entry.size = version4 ? get64(e + 0x78) : get32(e + 0x78);
            m_entries.push_back(std::move(entry));
        }
        current = m_fat[current];
    }
    if (m_entries.empty() || m_entries[0].type != RootEntry)
        return fail(u"its compound-file directory is damaged."_s);
    return true;
}

// Entries of a storage form a binary tree under its child; walked with a visit mark, so a damaged
// tree that points back at itself ends.
int CompoundFileReader::findInRoot(QStringView name) const
{
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<std::uint32_t> pending{m_entries[0].child};
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        if (index >= m_entries.size() || seen[index])
            continue;
        seen[index] = true;
        const Entry &entry = m_entries[index];
        if (entry.type == StreamEntry && name.compare(entry.name, Qt::CaseInsensitive) == 0)
            return int(index);
        pending.push_back(entry.left);
        pending.push_back(entry.right);
    }
    return -1;
}

bool CompoundFileReader::hasStream(QStringView name) const
{
    return !m_entries.empty() && findInRoot(name) >= 0;
}

bool CompoundFileReader::openStream(QStringView name)
{
    m_streamSectors.clear();
    m_smallStream.clear();
    m_streamSize = 0;
    const int index = m_entries.empty() ? -1 : findInRoot(name);
    if (index < 0)
        return fail(u"the file holds no stream \"%1\"."_s.arg(name));
    const Entry &entry = m_entries[std::size_t(index)];
    if (entry.size > m_fileSize)
        return fail(truncatedText.arg(u"a stream is longer than the file"_s));
    m_inMiniStream = entry.size < m_miniCutoff;
    if (!m_inMiniStream) {
        if (!chain(entry.start, entry.size, m_fat, m_fileSectors, m_sectorSize, m_streamSectors))
            return false;
        m_streamSize = entry.size;
        return true;
    }

    // A small stream lives in 64-byte units of the mini stream, itself a stream of the root entry; its
    // table (the mini FAT) is a chain of ordinary sectors. Small streams are read whole.
    const Entry &root = m_entries[0];
    std::vector<std::uint32_t> containerSectors, miniFatSectors, miniSectors;
    const std::uint64_t miniFatBytes = std::uint64_t(m_miniFatCount) * m_sectorSize;
    if (root.size > m_fileSize || miniFatBytes > m_fileSize)
        return fail(truncatedText.arg(u"the mini stream is longer than the file"_s));
    if (!chain(root.start, root.size, m_fat, m_fileSectors, m_sectorSize, containerSectors)
        || !chain(m_firstMiniFat, miniFatBytes, m_fat, m_fileSectors, m_sectorSize, miniFatSectors))
        return false;
    std::vector<std::uint32_t> miniFat(std::size_t(m_miniFatCount) * (m_sectorSize / 4));
    std::vector<char> sector(m_sectorSize);
    for (std::size_t i = 0; i < miniFatSectors.size(); ++i) {
        if (!readSector(miniFatSectors[i], sector.data()))
            return fail(truncatedText.arg(u"the mini allocation table lies past the end of the file"_s));
        qFromLittleEndian<std::uint32_t>(sector.data(), m_sectorSize / 4, miniFat.data() + i * (m_sectorSize / 4));
    }
    if (!chain(entry.start, entry.size, miniFat, root.size / MiniSectorSize, MiniSectorSize, miniSectors))
        return false;
    m_smallStream.resize(qsizetype(miniSectors.size() * MiniSectorSize));
    for (std::size_t i = 0; i < miniSectors.size(); ++i) {
        const std::uint64_t at = std::uint64_t(miniSectors[i]) * MiniSectorSize;
        const std::uint32_t container = containerSectors[std::size_t(at / m_sectorSize)];
        const std::uint64_t position = (std::uint64_t(container) + 1) * m_sectorSize + at % m_sectorSize;
        if (!readAt(position, m_smallStream.data() + i * MiniSectorSize, MiniSectorSize))
            return fail(truncatedText.arg(u"a stream lies past the end of the file"_s));
    }
    m_smallStream.truncate(qsizetype(entry.size));
    m_streamSize = entry.size;
    return true;
}

bool CompoundFileReader::read(std::uint64_t offset, char *data, std::uint64_t size)
{
    if (offset > m_streamSize || size > m_streamSize - offset)
        return fail(truncatedText.arg(u"a record runs past the end of its stream"_s));
    if (m_inMiniStream) {
        std::memcpy(data, m_smallStream.constData() + offset, size);
        return true;
    }
    // Runs of consecutive sectors are read at once: writers mostly store a stream in one piece.
    while (size > 0) {
        std::size_t first = std::size_t(offset / m_sectorSize);
        const std::uint64_t within = offset % m_sectorSize;
        std::size_t last = first;
        std::uint64_t runBytes = m_sectorSize - within;
        while (runBytes < size && last + 1 < m_streamSectors.size()
               && m_streamSectors[last + 1] == m_streamSectors[last] + 1) {
            ++last;
            runBytes += m_sectorSize;
        }
        const std::uint64_t count = std::min(runBytes, size);
        const std::uint64_t position = (std::uint64_t(m_streamSectors[first]) + 1) * m_sectorSize + within;
        if (!readAt(position, data, count))
            return fail(truncatedText.arg(u"a stream lies past the end of the file"_s));
        data += count;
        offset += count;
        size -= count;
    }
    return true;
}

} // namespace kv
