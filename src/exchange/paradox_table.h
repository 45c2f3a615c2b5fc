// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/legacy_table.h"

namespace kv {

/// Paradox tables of versions 3 to 7: the .DB file with its records, and the .MB file beside it for
/// memos and other blobs longer than their leader. Texts and field names are read in the table's code
/// page (version 3 tables name none: DOS 437).
class ParadoxTableFormat : public LegacyTableFormat
{
public:
    QString description() const override;
    QStringList nameFilters() const override;
    bool read(const QString &path, LegacyTable &table) override;
};

} // namespace kv
