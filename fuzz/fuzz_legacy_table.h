// SPDX-License-Identifier: GPL-3.0-or-later
// Shared body of the legacy table fuzz targets: the input is the table file, and for Paradox the
// second half of it also the memo file beside it; a FileError is the expected answer to bad input.
#pragma once

#include "core/errors.h"
#include "exchange/legacy_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

inline int fuzzLegacyTableRead(const uint8_t *data, size_t size, const char *suffix, const char *memoSuffix)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const QString base = QDir::tempPath() + QStringLiteral("/kv-fuzz-legacy-%1.").arg(getpid());
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // A table followed by its memo file, split at the first "MEMO" marker when there is one.
    const qsizetype split = bytes.indexOf("MEMO");
    auto write = [](const QString &path, const QByteArray &content) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    };
    write(base + QString::fromLatin1(suffix), split < 0 ? bytes : bytes.left(split));
    write(base + QString::fromLatin1(memoSuffix), split < 0 ? QByteArray() : bytes.mid(split + 4));
    try {
        const kv::LegacyTable table = kv::readLegacyTable(base + QString::fromLatin1(suffix));
        for (const QVariantList &row : table.rows)
            for (const QVariant &value : row)
                (void)value.toString();
    } catch (const kv::FileError &) {
    }
    return 0;
}
