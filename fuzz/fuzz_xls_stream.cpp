// SPDX-License-Identifier: GPL-3.0-or-later
// The input is the workbook stream of an .xls file, put in a sound compound file: mutations reach
// the BIFF records instead of being stopped by the container.
#include "controls/compound_file_writer.h"
#include "fuzz_workbook.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    const bool excel5 = size > 0 && (data[0] & 1);  // the first byte picks the stream's name
    kv::CompoundFileWriter writer(buffer, excel5 ? QStringLiteral("Book") : QStringLiteral("Workbook"));
    if (size == 0 || !writer.begin() || !writer.write(reinterpret_cast<const char *>(data) + 1, qint64(size) - 1)
        || !writer.finish())
        return 0;
    const QByteArray file = buffer.data();
    return fuzzWorkbookRead(reinterpret_cast<const uint8_t *>(file.constData()), size_t(file.size()), "xls");
}
