// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace kv {

/// Writes a compound file (the OLE2 container of .xls files) holding one stream, straight to a device:
/// the stream's bytes go out as they come, the allocation tables and the header follow at the end.
/// The device must be seekable.
class CompoundFileWriter
{
public:
    CompoundFileWriter(QIODevice &device, const QString &streamName);

    /// Reserves the header; false when the device fails.
    bool begin();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    /// Bytes of the stream written so far.
    qint64 position() const { return m_written + m_buffer.size(); }
    /// Overwrites bytes written earlier, at a stream offset.
    bool patch(qint64 offset, const QByteArray &data);
    /// Pads the stream, writes the directory, the allocation tables and the header.
    bool finish();

private:
    bool flush();

    QIODevice &m_device;
    QString m_streamName;
    QByteArray m_buffer;
    qint64 m_written = 0;
};

} // namespace kv
