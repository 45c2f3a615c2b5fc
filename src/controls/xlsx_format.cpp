// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/xlsx_format.h"

#include "controls/cell_value.h"
#include "controls/workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <minizip/unzip.h>
#include <xlsxwriter.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct ZipCloser
{
    void operator()(void *zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// Streams one zip entry through an XML reader, a chunk at a time.
class ZipXml
{
public:
    explicit ZipXml(unzFile zip) : m_zip(zip) {}
    ~ZipXml()
    {
        if (m_open)
            unzCloseCurrentFile(m_zip);
    }

    bool open(const QString &entry)
    {
        m_entry = entry;
        if (unzLocateFile(m_zip, entry.toUtf8().constData(), 1) != UNZ_OK)
            return false;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            return false;
        m_open = true;
        return true;
    }

    QXmlStreamReader::TokenType next()
    {
        for (;;) {
            const auto token = xml.readNext();
            if (token != QXmlStreamReader::Invalid
                || xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_ended)
                return token;
            const int n = unzReadCurrentFile(m_zip, m_buffer.data(), int(m_buffer.size()));
            if (n < 0) {
                m_zipError = true;
                return QXmlStreamReader::Invalid;
            }
            if (n == 0)
                m_ended = true;
            else
                xml.addData(QByteArray::fromRawData(m_buffer.data(), n));
            if (m_ended)
                return QXmlStreamReader::Invalid;
        }
    }

    /// The text of the current element up to its end, children's text included.
    bool elementText(QString &text)
    {
        text.resize(0);  // keeps the capacity: this runs once per cell
        int depth = 1;
        while (depth > 0) {
            switch (next()) {
            case QXmlStreamReader::Characters:
                text += xml.text();
                if (text.size() > MaxText) {
                    m_tooLong = true;
                    return false;
                }
                break;
            case QXmlStreamReader::StartElement: ++depth; break;
            case QXmlStreamReader::EndElement: --depth; break;
            case QXmlStreamReader::Invalid: return false;
            default: break;
            }
        }
        return true;
    }

    /// Skips the current element.
    bool skip()
    {
        int depth = 1;
        while (depth > 0) {
            switch (next()) {
            case QXmlStreamReader::StartElement: ++depth; break;
            case QXmlStreamReader::EndElement: --depth; break;
            case QXmlStreamReader::Invalid: return false;
            default: break;
            }
        }
        return true;
    }

    // Far beyond the 32,767 characters a cell holds: a value this long is a damaged or hostile file,
    // and must not fill the memory.
    static constexpr qsizetype MaxText = 1 << 20;
    bool m_tooLong = false;

    QString problem() const
    {
        if (m_tooLong)
            return u"the part %1 holds a value longer than %2 characters."_s.arg(m_entry).arg(MaxText);
        if (m_zipError)
            return u"the compressed part %1 is damaged."_s.arg(m_entry);
        if (m_ended && xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            return u"the part %1 ends too early."_s.arg(m_entry);
        return u"the part %1 is not well-formed XML (line %2: %3)."_s.arg(m_entry).arg(xml.lineNumber()).arg(xml.errorString());
    }

    QXmlStreamReader xml;

private:
    unzFile m_zip;
    QString m_entry;
    std::array<char, 1 << 16> m_buffer{};
    bool m_open = false;
    bool m_ended = false;
    bool m_zipError = false;
};

// By local name, so that any namespace prefix (r:id, x:id) matches; a copy, since the reader's
// attribute storage changes with the next token.
QString attribute(const QXmlStreamReader &xml, QStringView name)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    for (const auto &a : attributes)
        if (a.name() == name)
            return a.value().toString();
    return {};
}

// Resolves a relationship target against the folder of the part that names it.
QString resolvePart(const QString &base, QStringView target)
{
    QStringList parts;
    if (!target.startsWith(u'/'))
        parts = base.split(u'/', Qt::SkipEmptyParts);
    for (const auto &piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (piece != u".") {
            parts << piece.toString();
        }
    }
    return parts.join(u'/');
}

struct Relationship
{
    QString id;
    QString type;
    QString target;
};

bool readRelationships(unzFile zip, const QString &entry, const QString &base, QList<Relationship> &out,
                       QString &error)
{
    ZipXml part(zip);
    if (!part.open(entry))
        return true;  // a part without relationships
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::EndDocument)
            return true;
        if (token == QXmlStreamReader::Invalid) {
            error = part.problem();
            return false;
        }
        if (token == QXmlStreamReader::StartElement && part.xml.name() == u"Relationship") {
            if (attribute(part.xml, u"TargetMode") == u"External")
                continue;
            out.append({attribute(part.xml, u"Id"), attribute(part.xml, u"Type"),
                        resolvePart(base, attribute(part.xml, u"Target"))});
        }
    }
}

// Shared strings in one pool: a million of them cost little more than their characters.
struct SharedStrings
{
    std::u16string pool;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> spans;

    void add(QStringView s)
    {
        spans.emplace_back(pool.size(), std::uint32_t(s.size()));
        pool.append(reinterpret_cast<const char16_t *>(s.utf16()), std::size_t(s.size()));
    }
    QStringView at(std::size_t i) const
    {
        return QStringView(pool.data() + spans[i].first, qsizetype(spans[i].second));
    }
};

// Text of a string item: every <t>, phonetic runs left out.
bool readStringItem(ZipXml &part, QString &text)
{
    text.resize(0);
    int depth = 1;
    bool inT = false;
    int skipDepth = 0;
    while (depth > 0) {
        switch (part.next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (skipDepth == 0 && (part.xml.name() == u"rPh" || part.xml.name() == u"phoneticPr"))
                skipDepth = depth;
            inT = skipDepth == 0 && part.xml.name() == u"t";
            break;
        case QXmlStreamReader::EndElement:
            if (depth == skipDepth)
                skipDepth = 0;
            --depth;
            inT = false;
            break;
        case QXmlStreamReader::Characters:
            if (inT)
                text += part.xml.text();
            if (text.size() > ZipXml::MaxText) {
                part.m_tooLong = true;
                return false;
            }
            break;
        case QXmlStreamReader::Invalid: return false;
        default: break;
        }
    }
    return true;
}

// Excel writes characters XML cannot hold as _xHHHH_.
void unescapeOoxml(QString &text)
{
    if (!text.contains(u"_x"))
        return;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(text).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out.append(QChar(char16_t(code)));
                i += 6;
                continue;
            }
        }
        out.append(text[i]);
    }
    text = out;
}

bool readSharedStrings(unzFile zip, const QString &entry, SharedStrings &strings, QString &error)
{
    ZipXml part(zip);
    if (!part.open(entry))
        return true;  // a workbook without texts has no table
    QString text;
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::EndDocument)
            return true;
        if (token == QXmlStreamReader::Invalid) {
            error = part.problem();
            return false;
        }
        if (token == QXmlStreamReader::StartElement && part.xml.name() == u"si") {
            if (!readStringItem(part, text)) {
                error = part.problem();
                return false;
            }
            unescapeOoxml(text);
            strings.add(text);
        }
    }
}

// "AB12" to row 12, column 28; false when it is no cell reference.
bool parseReference(QStringView ref, int &row, int &column)
{
    qsizetype i = 0;
    int c = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i) {
        const char16_t ch = ref[i].toUpper().unicode();
        if (ch < u'A' || ch > u'Z' || c > Workbook::MaxColumns)
            return false;
        c = c * 26 + (ch - u'A' + 1);
    }
    long long r = 0;
    const qsizetype digitsFrom = i;
    for (; i < ref.size() && ref[i].isDigit(); ++i) {
        r = r * 10 + (ref[i].unicode() - u'0');
        if (r > Workbook::MaxRows + 1LL)
            r = Workbook::MaxRows + 1LL;
    }
    if (i != ref.size() || (digitsFrom == 0 && i > 0))
        return false;
    column = c == 0 ? column : c;
    row = i == digitsFrom ? row : int(r);
    return true;
}

struct SheetEntry
{
    QString name;
    QString part;
};

bool readSheet(unzFile zip, const QString &entry, const SharedStrings &strings, bool epoch1904,
               WorkbookSheet &sheet, QString &error)
{
    ZipXml part(zip);
    if (!part.open(entry)) {
        error = u"the sheet \"%1\" is missing (%2)."_s.arg(sheet.name(), entry);
        return false;
    }
    auto &xml = part.xml;
    int row = 0;
    int column = 0;
    QString value;
    QString inlineText;
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::EndDocument)
            return true;
        if (token == QXmlStreamReader::Invalid) {
            error = part.problem();
            return false;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"row") {
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView r = attributes.value(QLatin1StringView("r"));
            int number = row + 1;
            if (!r.isEmpty()) {
                bool ok = false;
                number = r.toInt(&ok);
                if (!ok || number < 1) {
                    error = u"the sheet \"%1\" has a bad row number \"%2\"."_s.arg(sheet.name(), r.toString());
                    return false;
                }
            }
            if (number > Workbook::MaxRows) {
                error = u"the sheet \"%1\" has more than %2 rows."_s.arg(sheet.name()).arg(Workbook::MaxRows);
                return false;
            }
            row = number;
            column = 0;
        } else if (name == u"c") {
            int cellRow = row == 0 ? 1 : row;
            int cellColumn = column + 1;
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView ref = attributes.value(QLatin1StringView("r"));
            if (!ref.isEmpty() && !parseReference(ref, cellRow, cellColumn)) {
                error = u"the sheet \"%1\" has a bad cell reference \"%2\"."_s.arg(sheet.name(), ref.toString());
                return false;
            }
            if (cellRow > Workbook::MaxRows || cellColumn > Workbook::MaxColumns || cellColumn < 1) {
                error = u"the sheet \"%1\" has a cell outside %2 rows and %3 columns."_s.arg(sheet.name())
                            .arg(Workbook::MaxRows).arg(Workbook::MaxColumns);
                return false;
            }
            row = cellRow;
            column = cellColumn;
            enum { Number, Shared, Inline, Text, Boolean, Date } type = Number;
            const QStringView t = attributes.value(QLatin1StringView("t"));
            if (t == u"s")
                type = Shared;
            else if (t == u"inlineStr")
                type = Inline;
            else if (t == u"str" || t == u"e")
                type = Text;
            else if (t == u"b")
                type = Boolean;
            else if (t == u"d")
                type = Date;
            bool haveValue = false;
            bool haveInline = false;
            int depth = 1;
            while (depth > 0) {
                const auto t = part.next();
                if (t == QXmlStreamReader::Invalid) {
                    error = part.problem();
                    return false;
                }
                if (t == QXmlStreamReader::EndElement) {
                    --depth;
                } else if (t == QXmlStreamReader::StartElement) {
                    if (xml.name() == u"v") {
                        if (!part.elementText(value)) {
                            error = part.problem();
                            return false;
                        }
                        haveValue = true;
                    } else if (xml.name() == u"is") {
                        if (!readStringItem(part, inlineText)) {
                            error = part.problem();
                            return false;
                        }
                        unescapeOoxml(inlineText);
                        haveInline = true;
                    } else if (!part.skip()) {  // formulas and extensions
                        error = part.problem();
                        return false;
                    }
                }
            }
            if (type == Inline) {
                if (haveInline)
                    sheet.setText(row, column, inlineText);
            } else if (!haveValue) {
                continue;
            } else if (type == Shared) {
                bool ok = false;
                const qulonglong index = QStringView(value).trimmed().toULongLong(&ok);
                if (!ok || index >= strings.spans.size()) {
                    error = u"the sheet \"%1\" refers to a missing shared string %2."_s.arg(sheet.name(), value);
                    return false;
                }
                sheet.setText(row, column, strings.at(index));
            } else if (type == Text) {
                unescapeOoxml(value);
                sheet.setText(row, column, value);
            } else if (type == Boolean) {
                sheet.setNumber(row, column, value.trimmed() == u"1" ? 1.0 : 0.0);
            } else if (type == Date) {
                double serial = 0;
                if (dateTextToSerial(value, epoch1904, serial))
                    sheet.setNumber(row, column, serial);
                else
                    sheet.setText(row, column, value);
            } else {
                double number = 0;
                if (!parseNumberText(value, number)) {
                    error = u"the sheet \"%1\" has a bad number \"%2\"."_s.arg(sheet.name(), value.left(40));
                    return false;
                }
                sheet.setNumber(row, column, number);
            }
        }
    }
}

} // namespace

int XlsxFormat::fileType() const
{
    return FileTypeXlsx;
}

QString XlsxFormat::description() const
{
    return u"Excel 2007-365"_s;
}

QStringList XlsxFormat::nameFilters() const
{
    return {u"*.xlsx"_s};
}

bool XlsxFormat::supportsContent(const QString &, const QByteArray &head) const
{
    return head.startsWith("PK\x03\x04");
}

bool XlsxFormat::read(const QString &path, WorkbookSheets &sheets, int &fileType)
{
    ZipHandle zip(unzOpen64(QFile::encodeName(path).constData()));
    if (!zip)
        return fail(u"it is not a valid zip archive (truncated or damaged)."_s);
    QString error;

    QList<Relationship> rootRels;
    if (!readRelationships(zip.get(), u"_rels/.rels"_s, {}, rootRels, error))
        return fail(error);
    QString workbookPart = u"xl/workbook.xml"_s;
    for (const auto &rel : rootRels)
        if (rel.type.endsWith(u"/officeDocument"))
            workbookPart = rel.target;
    const QString base = workbookPart.section(u'/', 0, -2);
    const QString relsPart = (base.isEmpty() ? QString() : base + u'/') + u"_rels/"_s
                             + workbookPart.section(u'/', -1) + u".rels"_s;
    QList<Relationship> rels;
    if (!readRelationships(zip.get(), relsPart, base, rels, error))
        return fail(error);

    // The workbook part lists the sheets in order, with their names.
    std::vector<SheetEntry> entries;
    bool epoch1904 = false;
    {
        ZipXml part(zip.get());
        if (!part.open(workbookPart))
            return fail(u"it is a zip archive but not an Excel workbook (no %1)."_s.arg(workbookPart));
        for (bool done = false; !done;) {
            const auto token = part.next();
            if (token == QXmlStreamReader::EndDocument)
                break;
            if (token == QXmlStreamReader::Invalid)
                return fail(part.problem());
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (part.xml.name() == u"workbookPr") {
                const QString d = attribute(part.xml, u"date1904");
                epoch1904 = d == u"1" || d == u"true";
            } else if (part.xml.name() == u"sheet") {
                const QString id = attribute(part.xml, u"id");
                QString target;
                for (const auto &rel : rels)
                    if (rel.id == id)
                        target = rel.target;
                if (target.isEmpty())
                    return fail(u"the sheet \"%1\" has no part."_s.arg(attribute(part.xml, u"name")));
                entries.push_back({attribute(part.xml, u"name"), target});
            }
        }
    }
    if (entries.empty())
        return fail(u"the workbook lists no sheets."_s);

    QString stringsPart = (base.isEmpty() ? QString() : base + u'/') + u"sharedStrings.xml"_s;
    for (const auto &rel : rels)
        if (rel.type.endsWith(u"/sharedStrings"))
            stringsPart = rel.target;
    SharedStrings strings;
    if (!readSharedStrings(zip.get(), stringsPart, strings, error))
        return fail(error);

    WorkbookSheets result;
    for (const auto &entry : entries) {
        auto sheet = std::make_unique<WorkbookSheet>(entry.name);
        // Chart sheets and dialog sheets hold no cells; they come in as empty sheets.
        if (!entry.part.contains(u"chartsheets/") && !readSheet(zip.get(), entry.part, strings, epoch1904, *sheet, error))
            return fail(error);
        result.push_back(std::move(sheet));
    }
    sheets = std::move(result);
    fileType = FileTypeXlsx;
    return true;
}

QString excelSheetName(const QString &name, int number, QStringList &taken)
{
    QString clean;
    for (const QChar c : name)
        clean += QStringView(u"[]:*?/\\").contains(c) || c.unicode() < 0x20 ? u'_' : c;
    clean = clean.trimmed();
    if (clean.startsWith(u'\''))
        clean[0] = u'_';
    if (clean.endsWith(u'\''))
        clean[clean.size() - 1] = u'_';
    if (clean.isEmpty())
        clean = u"Sheet%1"_s.arg(number);
    clean.truncate(31);
    QString unique = clean;
    for (int n = 2; taken.contains(unique, Qt::CaseInsensitive); ++n) {
        const QString suffix = u" (%1)"_s.arg(n);
        unique = clean.left(31 - suffix.size()) + suffix;
    }
    taken << unique;
    return unique;
}

bool XlsxFormat::write(const Workbook &workbook, QIODevice &device)
{
    // libxlsxwriter writes to a path; the finished file is copied into the save file.
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(u"no temporary folder can be made (%1)."_s.arg(dir.errorString()));
    const QString temporary = dir.filePath(u"workbook.xlsx"_s);
    const QByteArray tmpdir = QFile::encodeName(dir.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    options.use_zip64 = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(temporary).constData(), &options);
    if (!book)
        return fail(u"the Excel writer cannot start."_s);

    QStringList taken;
    QString error;
    for (int s = 1; s <= workbook.numSheets() && error.isEmpty(); ++s) {
        const WorkbookSheet &sheet = workbook.sheetAt(s);
        const QByteArray name = excelSheetName(sheet.name(), s, taken).toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(book, name.constData());
        if (!ws) {
            error = u"the sheet name \"%1\" is not accepted."_s.arg(sheet.name());
            break;
        }
        if (workbook.viewScale() != 100)
            worksheet_set_zoom(ws, uint16_t(workbook.viewScale()));
        if (s == workbook.sheet())
            worksheet_activate(ws);
        QByteArray utf8;
        sheet.forEachCell([&](const WorkbookSheet::CellRef &c) {
            lxw_error result;
            if (c.kind == CellKind::Number) {
                result = worksheet_write_number(ws, lxw_row_t(c.row - 1), lxw_col_t(c.column - 1), c.number, nullptr);
            } else {
                if (c.text.size() > 32767) {
                    error = u"the text in sheet \"%1\", row %2, column %3 is longer than the 32,767 characters "
                             "a cell holds."_s.arg(sheet.name()).arg(c.row).arg(c.column);
                    return false;
                }
                utf8 = c.text.toUtf8();
                result = worksheet_write_string(ws, lxw_row_t(c.row - 1), lxw_col_t(c.column - 1), utf8.constData(), nullptr);
            }
            if (result != LXW_NO_ERROR) {
                error = u"sheet \"%1\", row %2, column %3: %4."_s.arg(sheet.name()).arg(c.row).arg(c.column)
                            .arg(QString::fromUtf8(lxw_strerror(result)));
                return false;
            }
            return true;
        });
    }
    const lxw_error closed = workbook_close(book);
    if (!error.isEmpty())
        return fail(error);
    if (closed != LXW_NO_ERROR)
        return fail(QString::fromUtf8(lxw_strerror(closed)) + u'.');

    QFile file(temporary);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString() + u'.');
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty() || device.write(chunk) != chunk.size())
            return fail(device.errorString() + u'.');
    }
    return true;
}

} // namespace kv
