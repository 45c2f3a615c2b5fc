// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/legacy_table.h"

namespace kv {

/// dBase III and IV tables (.DBF), with memos from the .DBT file beside them (FoxPro's .FPT as well).
/// Texts are read in the code page the language driver byte names, else the one a .cpg file beside the
/// table names, else DOS 437. Deleted records are left out.
class DbaseTableFormat : public LegacyTableFormat
{
public:
    QString description() const override;
    QStringList nameFilters() const override;
    bool read(const QString &path, LegacyTable &table) override;
};

/// The code page a dBase language driver byte stands for; 0 when it names none.
int dbaseLanguageDriverCodePage(int driver);

} // namespace kv
