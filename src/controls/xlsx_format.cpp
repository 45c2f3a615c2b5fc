// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/xlsx_format.h"

#include "controls/cell_value.h"
#include "controls/workbook.h"
#include "controls/xml_scanner.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <minizip/unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct ZipCloser
{
    void operator()(void *zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// Streams one of the small zip entries (relationships, the workbook) through an XML reader.
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

    QString problem() const
    {
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

// Far beyond the 32,767 characters a cell holds: a value this long is a damaged or hostile file,
// and must not fill the memory.
constexpr qsizetype MaxText = 1 << 20;
// No UTF-16 code unit takes more than three bytes of UTF-8: more bytes than this are too many characters.
constexpr qsizetype MaxTextBytes = 3 * MaxText;

// One large part (a sheet, the shared strings) scanned straight from the zip entry, a chunk at a time.
class ZipScan
{
public:
    ZipScan(unzFile zip, qsizetype chunk)
        : m_zip(zip), scan([this](char *data, qsizetype capacity) {
              return qsizetype(unzReadCurrentFile(m_zip, data, unsigned(std::min<qsizetype>(capacity, 1 << 30))));
          }, chunk)
    {
    }
    ~ZipScan()
    {
        if (m_open)
            unzCloseCurrentFile(m_zip);
    }
    ZipScan(const ZipScan &) = delete;
    ZipScan &operator=(const ZipScan &) = delete;

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

    QString problem() const
    {
        if (m_tooLong || scan.problem() == XmlScanner::TooLong)
            return u"the part %1 holds a value longer than %2 characters."_s.arg(m_entry).arg(MaxText);
        switch (scan.problem()) {
        case XmlScanner::ReadFailed: return u"the compressed part %1 is damaged."_s.arg(m_entry);
        case XmlScanner::EndsEarly: return u"the part %1 ends too early."_s.arg(m_entry);
        default:
            return u"the part %1 is not well-formed XML (byte %2: %3)."_s.arg(m_entry).arg(scan.errorOffset())
                .arg(scan.errorString());
        }
    }

    /// The text of the current element up to its end, children's text included.
    bool elementText(std::string &text)
    {
        text.clear();
        for (int depth = 1; depth > 0;) {
            switch (scan.next()) {
            case XmlScanner::Characters:
                text.append(scan.text().data(), std::size_t(scan.text().size()));
                if (qsizetype(text.size()) > MaxTextBytes) {
                    m_tooLong = true;
                    return false;
                }
                break;
            case XmlScanner::StartElement: ++depth; break;
            case XmlScanner::EndElement: --depth; break;
            case XmlScanner::Invalid: return false;
            default: break;
            }
        }
        return true;
    }

    /// Skips the current element.
    bool skip()
    {
        for (int depth = 1; depth > 0;) {
            switch (scan.next()) {
            case XmlScanner::StartElement: ++depth; break;
            case XmlScanner::EndElement: --depth; break;
            case XmlScanner::Invalid: return false;
            default: break;
            }
        }
        return true;
    }

    /// Text of a string item: every <t>, phonetic runs left out.
    bool stringItem(std::string &text)
    {
        text.clear();
        bool inT = false;
        int skipDepth = 0;
        for (int depth = 1; depth > 0;) {
            switch (scan.next()) {
            case XmlScanner::StartElement:
                ++depth;
                if (skipDepth == 0 && (scan.name() == "rPh" || scan.name() == "phoneticPr"))
                    skipDepth = depth;
                inT = skipDepth == 0 && scan.name() == "t";
                break;
            case XmlScanner::EndElement:
                if (depth == skipDepth)
                    skipDepth = 0;
                --depth;
                inT = false;
                break;
            case XmlScanner::Characters:
                if (inT)
                    text.append(scan.text().data(), std::size_t(scan.text().size()));
                if (qsizetype(text.size()) > MaxTextBytes) {
                    m_tooLong = true;
                    return false;
                }
                break;
            case XmlScanner::Invalid: return false;
            default: break;
            }
        }
        return true;
    }

    /// The decoded text as a string, too long when it holds more characters than a value may.
    bool toString(const std::string &bytes, QString &text)
    {
        text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        if (text.size() > MaxText) {
            m_tooLong = true;
            return false;
        }
        return true;
    }

private:
    unzFile m_zip;
    QString m_entry;
    bool m_open = false;
    bool m_tooLong = false;

public:
    XmlScanner scan;
};

// A UTF-16 view of UTF-8 bytes that makes no copy on the heap for the short ASCII texts (numbers,
// references, indexes) that most cells hold.
class Utf16
{
public:
    explicit Utf16(QByteArrayView bytes)
    {
        if (bytes.size() <= qsizetype(sizeof m_short / sizeof m_short[0])) {
            qsizetype i = 0;
            for (; i < bytes.size() && uchar(bytes[i]) < 0x80; ++i)
                m_short[i] = char16_t(uchar(bytes[i]));
            if (i == bytes.size()) {
                m_view = QStringView(m_short, i);
                return;
            }
        }
        m_long = QString::fromUtf8(bytes);
        m_view = m_long;
    }
    Utf16(const Utf16 &) = delete;
    Utf16 &operator=(const Utf16 &) = delete;
    QStringView view() const { return m_view; }

private:
    char16_t m_short[64];
    QString m_long;
    QStringView m_view;
};

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

bool readSharedStrings(unzFile zip, const QString &entry, qsizetype chunk, SharedStrings &strings, QString &error)
{
    ZipScan part(zip, chunk);
    if (!part.open(entry))
        return true;  // a workbook without texts has no table
    std::string bytes;
    QString text;
    for (;;) {
        const auto token = part.scan.next();
        if (token == XmlScanner::EndDocument)
            return true;
        if (token == XmlScanner::Invalid) {
            error = part.problem();
            return false;
        }
        if (token == XmlScanner::StartElement && part.scan.name() == "si") {
            if (!part.stringItem(bytes) || !part.toString(bytes, text)) {
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

bool readSheet(unzFile zip, const QString &entry, qsizetype chunk, const SharedStrings &strings, bool epoch1904,
               WorkbookSheet &sheet, QString &error)
{
    ZipScan part(zip, chunk);
    if (!part.open(entry)) {
        error = u"the sheet \"%1\" is missing (%2)."_s.arg(sheet.name(), entry);
        return false;
    }
    XmlScanner &xml = part.scan;
    int row = 0;
    int column = 0;
    std::string value;
    std::string inlineBytes;
    QString text;
    for (;;) {
        const auto token = xml.next();
        if (token == XmlScanner::EndDocument)
            return true;
        if (token == XmlScanner::Invalid) {
            error = part.problem();
            return false;
        }
        if (token != XmlScanner::StartElement)
            continue;
        const QByteArrayView name = xml.name();
        if (name == "row") {
            const Utf16 r(xml.attribute("r"));
            int number = row + 1;
            if (!r.view().isEmpty()) {
                bool ok = false;
                number = r.view().toInt(&ok);
                if (!ok || number < 1) {
                    error = u"the sheet \"%1\" has a bad row number \"%2\"."_s.arg(sheet.name(), r.view().toString());
                    return false;
                }
            }
            if (number > Workbook::MaxRows) {
                error = u"the sheet \"%1\" has more than %2 rows."_s.arg(sheet.name()).arg(Workbook::MaxRows);
                return false;
            }
            row = number;
            column = 0;
        } else if (name == "c") {
            int cellRow = row == 0 ? 1 : row;
            int cellColumn = column + 1;
            {
                const Utf16 ref(xml.attribute("r"));
                if (!ref.view().isEmpty() && !parseReference(ref.view(), cellRow, cellColumn)) {
                    error = u"the sheet \"%1\" has a bad cell reference \"%2\"."_s.arg(sheet.name(),
                                                                                       ref.view().toString());
                    return false;
                }
            }
            if (cellRow > Workbook::MaxRows || cellColumn > Workbook::MaxColumns || cellColumn < 1) {
                error = u"the sheet \"%1\" has a cell outside %2 rows and %3 columns."_s.arg(sheet.name())
                            .arg(Workbook::MaxRows).arg(Workbook::MaxColumns);
                return false;
            }
            row = cellRow;
            column = cellColumn;
            enum { Number, Shared, Inline, Text, Boolean, Date } type = Number;
            const QByteArrayView t = xml.attribute("t");
            if (t == "s")
                type = Shared;
            else if (t == "inlineStr")
                type = Inline;
            else if (t == "str" || t == "e")
                type = Text;
            else if (t == "b")
                type = Boolean;
            else if (t == "d")
                type = Date;
            bool haveValue = false;
            bool haveInline = false;
            for (int depth = 1; depth > 0;) {
                const auto inner = xml.next();
                if (inner == XmlScanner::Invalid) {
                    error = part.problem();
                    return false;
                }
                if (inner == XmlScanner::EndElement) {
                    --depth;
                } else if (inner == XmlScanner::StartElement) {
                    if (xml.name() == "v") {
                        if (!part.elementText(value)) {
                            error = part.problem();
                            return false;
                        }
                        haveValue = true;
                    } else if (xml.name() == "is") {
                        if (!part.stringItem(inlineBytes)) {
                            error = part.problem();
                            return false;
                        }
                        haveInline = true;
                    } else if (!part.skip()) {  // formulas and extensions
                        error = part.problem();
                        return false;
                    }
                }
            }
            if (type == Inline) {
                if (haveInline) {
                    if (!part.toString(inlineBytes, text)) {
                        error = part.problem();
                        return false;
                    }
                    unescapeOoxml(text);
                    sheet.setText(row, column, text);
                }
            } else if (!haveValue) {
                continue;
            } else if (type == Text || type == Date) {
                if (!part.toString(value, text)) {
                    error = part.problem();
                    return false;
                }
                double serial = 0;
                if (type == Text) {
                    unescapeOoxml(text);
                    sheet.setText(row, column, text);
                } else if (dateTextToSerial(text, epoch1904, serial)) {
                    sheet.setNumber(row, column, serial);
                } else {
                    sheet.setText(row, column, text);
                }
            } else {
                const Utf16 v(QByteArrayView(value.data(), qsizetype(value.size())));
                if (type == Shared) {
                    bool ok = false;
                    const qulonglong index = v.view().trimmed().toULongLong(&ok);
                    if (!ok || index >= strings.spans.size()) {
                        error = u"the sheet \"%1\" refers to a missing shared string %2."_s.arg(sheet.name(),
                                                                                               v.view().toString());
                        return false;
                    }
                    sheet.setText(row, column, strings.at(index));
                } else if (type == Boolean) {
                    sheet.setNumber(row, column, v.view().trimmed() == u"1" ? 1.0 : 0.0);
                } else {
                    double number = 0;
                    if (!parseNumberText(v.view(), number)) {
                        error = u"the sheet \"%1\" has a bad number \"%2\"."_s.arg(sheet.name(),
                                                                                   v.view().left(40).toString());
                        return false;
                    }
                    sheet.setNumber(row, column, number);
                }
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
    if (!readSharedStrings(zip.get(), stringsPart, m_chunk, strings, error))
        return fail(error);

    WorkbookSheets result;
    for (const auto &entry : entries) {
        auto sheet = std::make_unique<WorkbookSheet>(entry.name);
        // Chart sheets and dialog sheets hold no cells; they come in as empty sheets.
        if (!entry.part.contains(u"chartsheets/") && !readSheet(zip.get(), entry.part, m_chunk, strings, epoch1904, *sheet, error))
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
