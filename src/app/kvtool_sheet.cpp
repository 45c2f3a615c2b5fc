// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool verbs for spreadsheet files: dump the cells of a workbook, convert between formats.
#include "app/kvtool.h"
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/errors.h"

#include <charconv>

using namespace Qt::StringLiterals;

namespace {

// The file arguments; an option left over is a usage error.
QStringList takeFiles(kv::tool::Context &c, int count, const QString &what)
{
    QStringList files;
    while (!c.args.isEmpty() && !c.args.first().startsWith(u"--"))
        files << c.args.takeFirst();
    c.expectNoMoreArgs();
    if (files.size() != count)
        throw kv::InputError(what);
    return files;
}

// One cell per line: tabs, line breaks and backslashes in texts are escaped.
QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += u"\\\\"; break;
        case u'\t': out += u"\\t"; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        default: out += c;
        }
    }
    return out;
}

int sheetDump(kv::tool::Context &c)
{
    const QString sheetOption = c.option(u"sheet"_s);
    const QStringList files = takeFiles(c, 1, u"Give one workbook file."_s);
    kv::Workbook workbook;
    int fileType = 0;
    workbook.readWorkbook(files[0], fileType);
    int first = 1, last = workbook.numSheets();
    if (!sheetOption.isEmpty()) {
        bool ok = false;
        const int n = sheetOption.toInt(&ok);
        if (!ok || n < 1 || n > workbook.numSheets())
            throw kv::InputError(u"--sheet %1: the workbook has sheets 1 to %2."_s.arg(sheetOption).arg(workbook.numSheets()));
        first = last = n;
    }
    for (int s = first; s <= last; ++s)
        workbook.sheetAt(s).forEachCell([&](const kv::WorkbookSheet::CellRef &cell) {
            c.out << s << '\t' << cell.row << '\t' << cell.column << '\t';
            if (cell.kind == kv::CellKind::Number) {
                char buffer[40];
                const auto r = std::to_chars(buffer, buffer + sizeof buffer, cell.number);
                c.out << "number\t" << QLatin1StringView(buffer, r.ptr - buffer) << '\n';
            } else {
                c.out << "text\t" << escaped(cell.text) << '\n';
            }
            return true;
        });
    return 0;
}

int sheetConvert(kv::tool::Context &c)
{
    const QString type = c.option(u"type"_s);
    const QStringList files = takeFiles(c, 2, u"Give the file to read and the file to write."_s);
    int fileType = kv::workbookFileTypeForName(files[1]);
    if (type == u"xlsx")
        fileType = kv::FileTypeXlsx;
    else if (type == u"csv")
        fileType = kv::FileTypeCsv;
    else if (type == u"11" || type == u"4")
        fileType = type.toInt();
    else if (!type.isEmpty())
        throw kv::InputError(u"--type %1: use 11 (Excel 97), 4 (Excel 5), xlsx or csv."_s.arg(type));
    kv::Workbook workbook;
    int readType = 0;
    workbook.readWorkbook(files[0], readType);
    workbook.writeWorkbook(files[1], fileType);
    return 0;
}

kv::tool::Verb dump("sheet dump", "FILE [--sheet N]", &sheetDump);
kv::tool::Verb convert("sheet convert", "IN OUT [--type 11|4|xlsx|csv]", &sheetConvert);

} // namespace
