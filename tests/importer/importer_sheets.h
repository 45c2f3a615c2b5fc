// SPDX-License-Identifier: GPL-3.0-or-later
// Small sheets for the importer's tests, written as a user types them: a cell that reads as a number
// is a number cell, an empty text no cell at all.
#pragma once

#include "controls/cell_value.h"
#include "controls/workbook.h"
#include "importer/staging_table.h"

#include <QList>
#include <QStringList>

namespace kv::test {

/// A value as the tests compare it: numbers with 15 significant digits, not QVariant's 6.
inline QString valueText(const QVariant &v)
{
    return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 15) : v.toString();
}

inline void fillSheet(WorkbookSheet &sheet, const QList<QStringList> &rows)
{
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString &text = rows[r][c];
            double number = 0;
            if (text.isEmpty())
                continue;
            if (r > 0 && parseNumberText(text, number))
                sheet.setNumber(r + 1, c + 1, number);
            else
                sheet.setText(r + 1, c + 1, text);
        }
}

/// The staged rows as "value|value|..." over the fields named, "-" for a blank field.
inline QStringList stagedLines(const StagingTable &staging, const QStringList &fields)
{
    QStringList lines;
    for (const StagedRow &row : staging.rows()) {
        QStringList values;
        for (const QString &field : fields) {
            const QVariant &v = row.values[staging.fieldIndex(field)];
            values << (v.isNull() ? QStringLiteral("-") : valueText(v));
        }
        lines << values.join(u'|');
    }
    return lines;
}

} // namespace kv::test
