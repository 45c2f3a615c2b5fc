// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

class QIODevice;

namespace kv {

/// Reads streams of a compound file (the OLE2 container of .xls files) from a seekable device without
/// loading the file: it keeps the allocation table and one stream's sector list, and reads the
/// stream's bytes where they lie. Damage (a sector past the end, a loop, a stream longer than its
/// chain) is an error, never a read outside the file.
class CompoundFileReader
{
public:
    explicit CompoundFileReader(QIODevice &device) : m_device(device) {}

    /// Reads the header, the allocation table and the directory; false with errorString().
    bool open();
    /// Whether the root storage holds a stream of this name (compared without case).
    bool hasStream(QStringView name) const;
    /// Makes a stream of the root storage the one that read() reads.
    bool openStream(QStringView name);
    std::uint64_t streamSize() const { return m_streamSize; }
    /// Reads exactly size bytes of the open stream from offset; false when they are not all there.
    bool read(std::uint64_t offset, char *data, std::uint64_t size);

    QString errorString() const { return m_error; }

private:
    struct Entry
    {
        QString name;
        std::uint8_t type = 0;
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    bool fail(const QString &message);
    bool readSector(std::uint32_t sector, char *data);
    bool readAt(std::uint64_t position, char *data, std::uint64_t size);
    bool chain(std::uint32_t start, std::uint64_t size, const std::vector<std::uint32_t> &table,
               std::uint64_t tableLimit, std::uint32_t unit, std::vector<std::uint32_t> &sectors);
    int findInRoot(QStringView name) const;

    QIODevice &m_device;
    QString m_error;
    std::uint64_t m_fileSize = 0;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_miniCutoff = 4096;
    std::uint32_t m_firstMiniFat = 0;
    std::uint32_t m_miniFatCount = 0;
    std::uint64_t m_fileSectors = 0;  // whole or partial sectors after the header
    std::vector<std::uint32_t> m_fat;
    std::vector<Entry> m_entries;

    // The open stream: its sectors in the file, or its bytes when it lives in the mini stream.
    std::vector<std::uint32_t> m_streamSectors;
    QByteArray m_smallStream;
    bool m_inMiniStream = false;
    std::uint64_t m_streamSize = 0;
};

} // namespace kv
