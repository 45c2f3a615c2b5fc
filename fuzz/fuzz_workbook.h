// SPDX-License-Identifier: GPL-3.0-or-later
// Shared body of the reader fuzz targets: the input goes to a file with the given suffix and is read
// as a workbook; a FileError is the expected answer to bad input, anything else is a finding.
#pragma once

#include "controls/workbook.h"
#include "core/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

inline int fuzzWorkbookRead(const uint8_t *data, size_t size, const char *suffix)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const QString path = QDir::tempPath() + QStringLiteral("/kv-fuzz-%1.").arg(getpid())
                                + QString::fromLatin1(suffix);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    kv::Workbook workbook;
    int fileType = 0;
    try {
        workbook.readWorkbook(path, fileType);
        // Whatever was read must be consistent enough to write again.
        for (int s = 1; s <= workbook.numSheets(); ++s)
            workbook.sheetAt(s).forEachCell([](const kv::WorkbookSheet::CellRef &) { return true; });
    } catch (const kv::FileError &) {
    }
    return 0;
}
