// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/csv_format.h"

#include "controls/cell_value.h"
#include "controls/windows1252.h"
#include "controls/workbook.h"

#include <QFile>
#include <QIODevice>
#include <QFileInfo>
#include <QStringDecoder>

#include <charconv>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// A field reads as a number when it is one as written: no blanks, no '+', no leading zeros ("007"
// is a code, not seven).
bool readsAsNumber(QStringView field, double &value)
{
    if (field.isEmpty() || field.front().isSpace() || field.back().isSpace() || field.front() == u'+')
        return false;
    const QStringView digits = field.front() == u'-' ? field.mid(1) : field;
    if (digits.size() > 1 && digits[0] == u'0' && digits[1].isDigit())
        return false;
    return parseNumberText(field, value);
}

class CsvParser
{
public:
    CsvParser(WorkbookSheet &sheet) : m_sheet(sheet) {}

    // Feeds decoded text; returns false with a message on a limit.
    bool feed(QStringView text, QString &error)
    {
        // Far beyond the 32,767 characters a cell holds: a damaged file (an unclosed quote, most
        // likely), which must not fill the memory.
        constexpr qsizetype MaxField = 1 << 20;
        if (m_field.size() > MaxField) {
            error = u"row %1 holds a field longer than %2 characters (an unclosed quote?)."_s.arg(m_row).arg(MaxField);
            return false;
        }
        for (const QChar ch : text) {
            const char16_t c = ch.unicode();
            if (m_afterCr) {
                m_afterCr = false;
                if (c == u'\n')
                    continue;
            }
            if (m_inQuotes) {
                if (c == u'"') {
                    m_inQuotes = false;
                    m_quoteClosed = true;
                } else {
                    m_field.append(ch);
                }
                continue;
            }
            if (c == u'"') {
                if (m_quoteClosed)
                    m_field.append(ch);  // "" inside a quoted field
                else if (m_field.isEmpty())
                    m_quoted = true;
                else
                    m_field.append(ch);  // a stray quote in an unquoted field stays text
                m_inQuotes = m_quoted;
                m_quoteClosed = false;
                continue;
            }
            m_quoteClosed = false;
            if (c == u',') {
                if (!endField(error))
                    return false;
            } else if (c == u'\n' || c == u'\r') {
                m_afterCr = c == u'\r';
                if (!endField(error) || !endRow(error))
                    return false;
            } else {
                m_field.append(ch);
            }
        }
        return true;
    }

    bool finish(QString &error)
    {
        if (m_inQuotes) {
            error = u"a quoted field is not closed at the end of the file."_s;
            return false;
        }
        if (m_column > 1 || !m_field.isEmpty() || m_quoted)
            return endField(error) && endRow(error);
        return true;
    }

private:
    bool endField(QString &error)
    {
        if (m_column > Workbook::MaxColumns) {
            error = u"row %1 has more than %2 fields."_s.arg(m_row).arg(Workbook::MaxColumns);
            return false;
        }
        if (!m_field.isEmpty()) {
            if (m_row > Workbook::MaxRows) {
                error = u"the file has more than %1 rows."_s.arg(Workbook::MaxRows);
                return false;
            }
            double value = 0;
            if (!m_quoted && readsAsNumber(m_field, value))
                m_sheet.setNumber(m_row, m_column, value);
            else
                m_sheet.setText(m_row, m_column, m_field);
        }
        m_field.clear();
        m_quoted = false;
        ++m_column;
        return true;
    }

    bool endRow(QString &)
    {
        ++m_row;
        m_column = 1;
        return true;
    }

    WorkbookSheet &m_sheet;
    QString m_field;
    int m_row = 1;
    int m_column = 1;
    bool m_inQuotes = false;
    bool m_quoted = false;
    bool m_quoteClosed = false;
    bool m_afterCr = false;
};

void appendField(QByteArray &out, QStringView text)
{
    double value = 0;
    bool quote = readsAsNumber(text, value) || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    for (const QChar c : text)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r') {
            quote = true;
            break;
        }
    if (!quote) {
        out += text.toUtf8();
        return;
    }
    out += '"';
    QByteArray bytes = text.toUtf8();
    bytes.replace("\"", "\"\"");
    out += bytes;
    out += '"';
}

enum class TextEncoding
{
    Utf8,
    Utf16LE,
    Utf16BE,
    Windows1252
};

// The encodings CSV files come in: a byte-order mark says it; UTF-16 without one has a zero in every
// other byte for Latin text; anything else is tried as UTF-8 and read as Windows-1252 when it is not.
TextEncoding sniffEncoding(const QByteArray &head, qsizetype &bom)
{
    bom = 0;
    if (head.startsWith("\xEF\xBB\xBF")) {
        bom = 3;
        return TextEncoding::Utf8;
    }
    if (head.startsWith("\xFF\xFE")) {
        bom = 2;
        return TextEncoding::Utf16LE;
    }
    if (head.startsWith("\xFE\xFF")) {
        bom = 2;
        return TextEncoding::Utf16BE;
    }
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i + 1 < head.size(); i += 2) {
        evenZeros += head[i] == 0;
        oddZeros += head[i + 1] == 0;
    }
    const qsizetype pairs = head.size() / 2;
    if (pairs >= 2 && oddZeros * 10 >= pairs * 7 && evenZeros * 10 < pairs)
        return TextEncoding::Utf16LE;
    if (pairs >= 2 && evenZeros * 10 >= pairs * 7 && oddZeros * 10 < pairs)
        return TextEncoding::Utf16BE;
    return TextEncoding::Utf8;
}

} // namespace

int CsvFormat::fileType() const
{
    return FileTypeCsv;
}

QString CsvFormat::description() const
{
    return u"CSV"_s;
}

QStringList CsvFormat::nameFilters() const
{
    return {u"*.csv"_s};
}

bool CsvFormat::supportsContent(const QString &path, const QByteArray &head) const
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != u"csv" && suffix != u"txt")
        return false;
    // Zero bytes belong to UTF-16 text, or to a file that is no text at all.
    qsizetype bom = 0;
    return !head.contains('\0') || sniffEncoding(head, bom) != TextEncoding::Utf8;
}

bool CsvFormat::read(const QString &path, WorkbookSheets &sheets, int &fileType)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString() + u'.');
    qsizetype bom = 0;
    TextEncoding encoding = sniffEncoding(file.peek(4096), bom);
    for (;;) {
        file.seek(bom);
        auto sheet = std::make_unique<WorkbookSheet>(QFileInfo(path).completeBaseName().left(31));
        CsvParser parser(*sheet);
        std::optional<QStringDecoder> decoder;
        if (encoding != TextEncoding::Windows1252)
            decoder.emplace(encoding == TextEncoding::Utf8      ? QStringDecoder::Utf8
                            : encoding == TextEncoding::Utf16LE ? QStringDecoder::Utf16LE
                                                                : QStringDecoder::Utf16BE);
        QString error;
        bool notUtf8 = false;
        while (!file.atEnd()) {
            const QByteArray chunk = file.read(1 << 20);
            if (chunk.isEmpty())
                break;
            if (!decoder && chunk.contains('\0'))
                return fail(u"it is a binary file, not CSV text."_s);
            const QString text = decoder ? decoder->decode(chunk) : fromWindows1252(chunk);
            if (decoder && decoder->hasError()) {
                if (encoding != TextEncoding::Utf8)
                    return fail(u"it is damaged UTF-16 text."_s);
                notUtf8 = true;
                break;
            }
            if (encoding == TextEncoding::Utf8 && text.contains(QChar(0)))
                return fail(u"it is a binary file, not CSV text."_s);
            if (!parser.feed(text, error))
                return fail(error);
        }
        if (notUtf8) {
            // Not UTF-8: 8-bit text as Excel on Windows writes it. Read again from the start.
            encoding = TextEncoding::Windows1252;
            continue;
        }
        if (file.error() != QFile::NoError)
            return fail(file.errorString() + u'.');
        if (!parser.finish(error))
            return fail(error);
        sheets.push_back(std::move(sheet));
        fileType = FileTypeCsv;
        return true;
    }
}

bool CsvFormat::write(const Workbook &workbook, QIODevice &device)
{
    // A CSV file holds one sheet: the active one, as spreadsheets save it.
    const WorkbookSheet &sheet = workbook.sheetAt(workbook.sheet());
    QByteArray out;
    out.reserve(1 << 20);
    int row = 1;
    int column = 1;
    bool ok = true;
    sheet.forEachCell([&](const WorkbookSheet::CellRef &c) {
        for (; row < c.row; ++row, column = 1)
            out += "\r\n";
        for (; column < c.column; ++column)
            out += ',';
        if (c.kind == CellKind::Number) {
            char buffer[40];
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, c.number);
            out.append(buffer, r.ptr - buffer);
        } else {
            appendField(out, c.text);
        }
        if (out.size() > (1 << 20)) {
            ok = device.write(out) == out.size();
            out.clear();
        }
        return ok;
    });
    if (ok && !sheet.isEmpty())
        out += "\r\n";
    if (ok && !out.isEmpty())
        ok = device.write(out) == out.size();
    return ok ? true : fail(device.errorString() + u'.');
}

} // namespace kv
