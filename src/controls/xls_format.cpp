// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/xls_format.h"

#include "controls/biff_writer.h"
#include "controls/cell_value.h"
#include "controls/workbook.h"

#include <QFile>

#include <freexl.h>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

QString freexlProblem(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return u"the file cannot be opened."_s;
    case FREEXL_INSUFFICIENT_MEMORY: return u"there is not enough memory to read it."_s;
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE: return u"its compound-file header is damaged."_s;
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR: return u"the file is truncated or damaged."_s;
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY: return u"its allocation tables are damaged."_s;
    case FREEXL_BIFF_INVALID_BOF:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return u"it holds no Excel workbook."_s;
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX: return u"its table of texts is damaged."_s;
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET: return u"its texts are in a character set that cannot be read."_s;
    case FREEXL_ILLEGAL_RK_VALUE: return u"it holds a damaged number."_s;
    case FREEXL_CRAFTED_FILE: return u"it is severely damaged."_s;
    default: return u"the workbook is damaged (FreeXL error %1)."_s.arg(code);
    }
}

struct Handle
{
    const void *xls = nullptr;
    ~Handle()
    {
        if (xls)
            freexl_close(xls);
    }
};

// An encrypted Excel 2007 workbook is a compound file with an "EncryptedPackage" stream and no
// workbook; FreeXL only says the workbook is missing.
bool isEncryptedPackage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray name("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    const QByteArray data = file.read(64 << 20);
    return data.contains(name);
}

} // namespace

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
    const QByteArray localPath = QFile::encodeName(path);
    {
        // Look at the globals alone first: a protected workbook is refused before its cells are read.
        Handle info;
        const int opened = freexl_open_info(localPath.constData(), &info.xls);
        if (opened != FREEXL_OK) {
            if (isEncryptedPackage(path))
                return fail(u"the workbook is protected by a password."_s);
            return fail(freexlProblem(opened));
        }
        unsigned int password = 0;
        if (freexl_get_info(info.xls, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
            && password == FREEXL_BIFF_OBFUSCATED)
            return fail(u"the workbook is protected by a password."_s);
    }

    Handle handle;
    const int opened = freexl_open(localPath.constData(), &handle.xls);
    if (opened != FREEXL_OK)
        return fail(freexlProblem(opened));
    if (!handle.xls) {
        // FreeXL gives up without an error code on a text that spans more than two records (over
        // about 16,000 characters), as on other damage it cannot name.
        return fail(u"FreeXL cannot read it: it is damaged or holds a text longer than about 16,000 characters."_s);
    }
    unsigned int biff = 0, dateMode = 0, sheetCount = 0;
    freexl_get_info(handle.xls, FREEXL_BIFF_VERSION, &biff);
    freexl_get_info(handle.xls, FREEXL_BIFF_DATEMODE, &dateMode);
    if (freexl_get_info(handle.xls, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        return fail(u"the workbook's sheets cannot be listed."_s);
    const bool epoch1904 = dateMode == FREEXL_BIFF_DATEMODE_1904;

    WorkbookSheets result;
    for (unsigned short index = 0; index < sheetCount; ++index) {
        const char *utf8Name = nullptr;
        int rc = freexl_get_worksheet_name(handle.xls, index, &utf8Name);
        if (rc != FREEXL_OK)
            return fail(freexlProblem(rc));
        auto sheet = std::make_unique<WorkbookSheet>(QString::fromUtf8(utf8Name ? utf8Name : ""));
        rc = freexl_select_active_worksheet(handle.xls, index);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (rc == FREEXL_OK)
            rc = freexl_worksheet_dimensions(handle.xls, &rows, &columns);
        if (rc != FREEXL_OK)
            return fail(freexlProblem(rc));
        if (rows > unsigned(Workbook::MaxRows))
            return fail(u"the sheet \"%1\" has more than %2 rows."_s.arg(sheet->name()).arg(Workbook::MaxRows));
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell;
                rc = freexl_get_cell_value(handle.xls, r, c, &cell);
                if (rc != FREEXL_OK)
                    return fail(freexlProblem(rc));
                const int row = int(r) + 1, column = int(c) + 1;
                double serial = 0;
                switch (cell.type) {
                case FREEXL_CELL_INT: sheet->setNumber(row, column, cell.value.int_value); break;
                case FREEXL_CELL_DOUBLE: sheet->setNumber(row, column, cell.value.double_value); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    sheet->setText(row, column, QString::fromUtf8(cell.value.text_value));
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    // FreeXL turns dates into texts; the sheet keeps the serial the file holds.
                    if (dateTextToSerial(QString::fromUtf8(cell.value.text_value), epoch1904, serial))
                        sheet->setNumber(row, column, serial);
                    else
                        sheet->setText(row, column, QString::fromUtf8(cell.value.text_value));
                    break;
                default: break;
                }
            }
        result.push_back(std::move(sheet));
    }
    sheets = std::move(result);
    fileType = biff == FREEXL_BIFF_VER_8 ? FileTypeExcel97 : FileTypeExcel5;
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
