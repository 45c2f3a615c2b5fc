// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/workbook_format.h"

#include "controls/csv_format.h"
#include "controls/workbook.h"
#include "controls/xls_format.h"
#include "controls/xlsx_format.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kv {

QString WorkbookFormat::dialogFilter() const
{
    return u"%1 (%2)"_s.arg(description(), nameFilters().join(u' '));
}

// The one place formats are registered; the order is that of the dialog filters.
std::vector<std::unique_ptr<WorkbookFormat>> workbookFormats()
{
    std::vector<std::unique_ptr<WorkbookFormat>> formats;
    formats.push_back(std::make_unique<XlsFormat>(XlsFormat::Biff8));
    formats.push_back(std::make_unique<XlsFormat>(XlsFormat::Biff5));
    formats.push_back(std::make_unique<XlsxFormat>());
    formats.push_back(std::make_unique<CsvFormat>());
    return formats;
}

std::unique_ptr<WorkbookFormat> workbookFormatForType(int fileType)
{
    for (auto &format : workbookFormats())
        if (format->fileType() == fileType)
            return std::move(format);
    return nullptr;
}

QStringList workbookDialogFilters()
{
    QStringList filters;
    for (const auto &format : workbookFormats())
        filters << format->dialogFilter();
    return filters;
}

QString workbookDialogFilterString()
{
    return workbookDialogFilters().join(u";;"_s);
}

int workbookFileTypeForFilter(int entry)
{
    const auto formats = workbookFormats();
    if (entry < 1 || entry > int(formats.size()))
        return FileTypeExcel97;
    return formats[entry - 1]->fileType();
}

int workbookFileTypeForFilter(const QString &filter)
{
    const QStringList filters = workbookDialogFilters();
    return workbookFileTypeForFilter(int(filters.indexOf(filter)) + 1);
}

QString workbookDefaultSuffix(int fileType)
{
    auto format = workbookFormatForType(fileType);
    if (!format)
        format = workbookFormatForType(FileTypeExcel97);
    return format->nameFilters().constFirst().mid(2);  // "*.XLS" gives "XLS"
}

int workbookFileTypeForName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx")
        return FileTypeXlsx;
    if (suffix == u"csv")
        return FileTypeCsv;
    return FileTypeExcel97;
}

int workbookFileTypeForSave(const QString &path, int entry)
{
    // The name says the format: a filter entry never puts one format under another's extension. Only
    // the Excel version of an .xls name comes from the entry chosen.
    const QString suffix = QFileInfo(path).suffix().toLower();
    const int chosen = workbookFileTypeForFilter(entry);
    if (suffix == u"xls")
        return chosen == FileTypeExcel5 ? FileTypeExcel5 : FileTypeExcel97;
    if (suffix == u"xlsx" || suffix == u"csv")
        return workbookFileTypeForName(path);
    return chosen;
}

QString workbookSavePath(const QString &path, int entry)
{
    if (!QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + workbookDefaultSuffix(workbookFileTypeForFilter(entry));
}

} // namespace kv
