// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_format.h"

namespace kv {

/// Office Open XML workbooks (.xlsx): read by streaming the zip entries through XML scanners,
/// written with libxlsxwriter in its constant-memory mode.
class XlsxFormat : public WorkbookFormat
{
public:
    /// `chunk`: how many inflated bytes of a sheet are read at a time.
    explicit XlsxFormat(qsizetype chunk = qsizetype(1) << 16) : m_chunk(chunk) {}
    int fileType() const override;
    QString description() const override;
    QStringList nameFilters() const override;
    bool supportsContent(const QString &path, const QByteArray &head) const override;
    bool read(const QString &path, WorkbookSheets &sheets, int &fileType) override;
    bool write(const Workbook &workbook, QIODevice &device) override;

private:
    qsizetype m_chunk;
};

/// A sheet name Excel accepts: at most 31 characters, none of []:*?/\ , not blank, unique among
/// `taken` (compared without case), which it joins.
QString excelSheetName(const QString &name, int number, QStringList &taken);

} // namespace kv
