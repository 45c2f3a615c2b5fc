// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the workbook tests: a workbook's cells as comparable lines.
#pragma once

#include "controls/cell_value.h"
#include "controls/workbook.h"
#include "core/errors.h"

#include <QTest>

#include <QStringList>

#include <charconv>

/// Runs a workbook call that must succeed; a kv::Error fails the test with its message instead of
/// ending the test program.
#define KV_EXPECT_NO_ERROR(call)                                                                    \
    do {                                                                                            \
        try {                                                                                       \
            call;                                                                                   \
        } catch (const kv::Error &e) {                                                              \
            QFAIL(qPrintable(e.message()));                                                         \
        }                                                                                           \
    } while (false)

namespace kv::test {

/// "sheet|row|column|kind|value" for every cell; numbers in their shortest exact form, or in general
/// format (15 digits) for a writer that keeps no more.
inline QStringList cellLines(const Workbook &workbook, int onlySheet = 0, bool general = false)
{
    QStringList lines;
    for (int s = 1; s <= workbook.numSheets(); ++s) {
        if (onlySheet && s != onlySheet)
            continue;
        workbook.sheetAt(s).forEachCell([&](const WorkbookSheet::CellRef &c) {
            QString value;
            if (c.kind == CellKind::Number && general) {
                value = generalNumberText(c.number);
            } else if (c.kind == CellKind::Number) {
                char buffer[40];
                const auto r = std::to_chars(buffer, buffer + sizeof buffer, c.number);
                value = QString::fromLatin1(buffer, r.ptr - buffer);
            } else {
                value = c.text.toString();
            }
            lines << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(onlySheet ? 1 : s)
                         .arg(c.row)
                         .arg(c.column)
                         .arg(c.kind == CellKind::Number ? QStringLiteral("n") : QStringLiteral("t"), value);
            return true;
        });
    }
    return lines;
}

} // namespace kv::test
