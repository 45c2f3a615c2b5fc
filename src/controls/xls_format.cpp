// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/xls_format.h"

#include "controls/biff_reader.h"
#include "controls/biff_writer.h"
#include "controls/compound_file_reader.h"
#include "controls/workbook.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace kv {

int XlsFormat::fileType() const
{
    return m_version == Biff8 ? FileTypeExcel97 : FileTypeExcel5;
}

QString XlsFormat::description() const
{
    return m_version == Biff8 ? u"Excel 97/Excel 8"_s : u"Excel 5 and 7/95"_s;
}

QStringList XlsFormat::nameFilters() const
{
    return {u"*.XLS"_s, u"*.xls"_s};
}

bool XlsFormat::supportsContent(const QString &, const QByteArray &head) const
{
    return head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

bool XlsFormat::read(const QString &path, WorkbookSheets &sheets, int &fileType)
{
    // Unbuffered: the readers ask for large pieces and keep their own buffer.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(u"the file cannot be opened (%1)."_s.arg(file.errorString()));
    CompoundFileReader compound(file);
    if (!compound.open())
        return fail(compound.errorString());
    // Excel 97 names its stream Workbook, Excel 5 Book. Excel 2007 and later encrypt a protected
    // workbook into a compound file with an EncryptedPackage stream instead.
    const QString name = compound.hasStream(u"Workbook") ? u"Workbook"_s : u"Book"_s;
    if (!compound.hasStream(name)) {
        if (compound.hasStream(u"EncryptedPackage"))
            return fail(u"the workbook is protected by a password."_s);
        return fail(u"it holds no Excel workbook (the compound file has no Workbook stream)."_s);
    }
    if (!compound.openStream(name))
        return fail(compound.errorString());
    int biff = 0;
    QString error;
    if (!readBiffWorkbook(compound, sheets, biff, error))
        return fail(error);
    fileType = biff == 8 ? FileTypeExcel97 : FileTypeExcel5;
    return true;
}

bool XlsFormat::write(const Workbook &workbook, QIODevice &device)
{
    QString error;
    if (!writeBiffWorkbook(workbook, device, m_version, error))
        return fail(error);
    return true;
}

} // namespace kv
