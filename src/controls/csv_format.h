// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_format.h"

namespace kv {

/// Comma-separated values in UTF-8: one sheet, named after the file. Unquoted fields that read as
/// numbers become number cells; texts that would read as numbers are written quoted, so they stay texts.
class CsvFormat : public WorkbookFormat
{
public:
    int fileType() const override;
    QString description() const override;
    QStringList nameFilters() const override;
    bool supportsContent(const QString &path, const QByteArray &head) const override;
    bool read(const QString &path, WorkbookSheets &sheets, int &fileType) override;
    bool write(const Workbook &workbook, QIODevice &device) override;
};

} // namespace kv
