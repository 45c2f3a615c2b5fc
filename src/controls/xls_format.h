// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_format.h"

namespace kv {

/// Excel .xls workbooks: Excel 97 (BIFF8) or Excel 5 (BIFF5) in a compound file. Reading takes either
/// version (our compound-file and BIFF readers); writing writes the instance's own.
class XlsFormat : public WorkbookFormat
{
public:
    enum Version { Biff8 = 8, Biff5 = 5 };
    explicit XlsFormat(Version version) : m_version(version) {}

    int fileType() const override;
    QString description() const override;
    QStringList nameFilters() const override;
    bool supportsContent(const QString &path, const QByteArray &head) const override;
    bool read(const QString &path, WorkbookSheets &sheets, int &fileType) override;
    bool write(const Workbook &workbook, QIODevice &device) override;

private:
    Version m_version;
};

} // namespace kv
