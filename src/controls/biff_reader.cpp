// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/biff_reader.h"

#include "controls/compound_file_reader.h"
#include "controls/windows1252.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

enum RecordId : quint16 {
    Formula = 0x0006,
    Eof = 0x000A,
    FilePass = 0x002F,
    Continue = 0x003C,
    CodePage = 0x0042,
    BoundSheet = 0x0085,
    MulRk = 0x00BD,
    RString = 0x00D6,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Rk = 0x027E,
    Bof = 0x0809,
};

quint16 get16(const uchar *p) { return qFromLittleEndian<quint16>(p); }
quint32 get32(const uchar *p) { return qFromLittleEndian<quint32>(p); }

double rkValue(quint32 rk)
{
    double value;
    if (rk & 2) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 1) ? value / 100 : value;
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00: return u"#NULL!"_s;
    case 0x07: return u"#DIV/0!"_s;
    case 0x0F: return u"#VALUE!"_s;
    case 0x17: return u"#REF!"_s;
    case 0x1D: return u"#NAME?"_s;
    case 0x24: return u"#NUM!"_s;
    default: return u"#N/A"_s;  // 0x2A, and codes no version of Excel writes
    }
}

struct Record
{
    quint16 id = 0;
    quint32 size = 0;
    const uchar *data = nullptr;  // valid until the next call of the stream
    quint64 offset = 0;
};

// Records of the workbook stream, read through a buffer of a megabyte or so.
class RecordStream
{
public:
    explicit RecordStream(CompoundFileReader &file) : m_file(file), m_end(file.streamSize()) {}

    quint64 position() const { return m_position; }
    quint64 size() const { return m_end; }
    void seek(quint64 position) { m_position = position; }
    bool atEnd() const { return m_position + 4 > m_end; }

    // False at the end of the stream or when the stream cannot be read (error() says which).
    bool next(Record &record)
    {
        if (atEnd())
            return false;
        if (!ensure(m_position, 4))
            return false;
        const uchar *header = bytes(m_position);
        const quint32 size = get16(header + 2);
        if (m_position + 4 + size > m_end) {
            m_error = u"the file is truncated or damaged (a record runs past the end of its stream)."_s;
            return false;
        }
        if (!ensure(m_position, 4 + size))
            return false;
        record.id = get16(bytes(m_position));
        record.size = size;
        record.data = bytes(m_position + 4);
        record.offset = m_position;
        m_position += 4 + size;
        return true;
    }

    // The id of the record that next() would read, 0 at the end. Ends the life of record data.
    quint16 peekId()
    {
        if (atEnd() || !ensure(m_position, 2))
            return 0;
        return get16(bytes(m_position));
    }

    const QString &error() const { return m_error; }

private:
    static constexpr quint64 Chunk = 1 << 20;

    const uchar *bytes(quint64 at) const { return reinterpret_cast<const uchar *>(m_buffer.data()) + (at - m_start); }

    bool ensure(quint64 at, quint64 size)
    {
        if (at >= m_start && at + size <= m_start + m_filled)
            return true;
        m_start = at;
        m_filled = std::min(std::max(Chunk, size), m_end - at);
        if (m_buffer.size() < m_filled)
            m_buffer.resize(m_filled);
        if (!m_file.read(at, m_buffer.data(), m_filled)) {
            m_error = m_file.errorString();
            m_filled = 0;
            return false;
        }
        return true;
    }

    CompoundFileReader &m_file;
    std::vector<char> m_buffer;
    quint64 m_start = 0;
    quint64 m_filled = 0;
    quint64 m_position = 0;
    quint64 m_end;
    QString m_error;
};

// A record with the CONTINUE records after it: their bodies one after another, and where each CONTINUE
// began, since a text's characters resume there after a byte that gives their width again.
struct ContinuedRecord
{
    std::vector<uchar> data;
    std::vector<std::size_t> starts;
};

// Reads the texts of a continued record in turn.
class TextCursor
{
public:
    TextCursor(const uchar *data, std::size_t size, const std::vector<std::size_t> *starts = nullptr, std::size_t position = 0)
        : m_data(data), m_size(size), m_starts(starts), m_position(position)
    {
    }

    std::size_t position() const { return m_position; }
    bool atEnd() const { return m_position >= m_size; }

    // A BIFF8 text: its length (two bytes, or one for sheet names), option flags, the counts of rich
    // runs and Far-East data when the flags say so, the characters, then the runs and data, skipped.
    bool unicode(bool longLength, std::u16string &out)
    {
        const std::size_t headerSize = longLength ? 3 : 2;
        if (m_size - m_position < headerSize)
            return false;
        std::size_t count = longLength ? get16(m_data + m_position) : m_data[m_position];
        m_position += headerSize - 1;
        quint8 flags = m_data[m_position++];
        std::size_t extra = 0;
        if (flags & 0x08) {
            if (m_size - m_position < 2)
                return false;
            extra += 4 * std::size_t(get16(m_data + m_position));
            m_position += 2;
        }
        if (flags & 0x04) {
            if (m_size - m_position < 4)
                return false;
            extra += get32(m_data + m_position);
            m_position += 4;
        }
        while (count > 0) {
            const std::size_t boundary = nextStart();
            if (m_position == boundary) {
                // The characters go on in a CONTINUE record, which gives their width anew.
                if (boundary >= m_size)
                    return false;
                flags = m_data[m_position++];
                continue;
            }
            const bool wide = flags & 0x01;
            const std::size_t room = (std::min(boundary, m_size) - m_position) / (wide ? 2 : 1);
            if (room == 0) {
                if (boundary >= m_size)
                    return false;
                m_position = boundary;  // half a character before the boundary: damage, skipped
                continue;
            }
            const std::size_t n = std::min(room, count);
            const std::size_t old = out.size();
            out.resize(old + n);
            if (wide) {
                qFromLittleEndian<quint16>(m_data + m_position, qsizetype(n), out.data() + old);
                m_position += 2 * n;
            } else {
                const uchar *from = m_data + m_position;
                char16_t *to = out.data() + old;
                for (std::size_t i = 0; i < n; ++i)
                    to[i] = from[i];
                m_position += n;
            }
            count -= n;
        }
        if (m_size - m_position < extra)
            return false;
        m_position += extra;
        return true;
    }

    // A BIFF5 text: its length in one or two bytes, then bytes in the workbook's code page.
    bool bytes(bool longLength, const uchar *&text, std::size_t &size)
    {
        const std::size_t headerSize = longLength ? 2 : 1;
        if (m_size - m_position < headerSize)
            return false;
        size = longLength ? get16(m_data + m_position) : m_data[m_position];
        m_position += headerSize;
        if (m_size - m_position < size)
            return false;
        text = m_data + m_position;
        m_position += size;
        return true;
    }

private:
    std::size_t nextStart()
    {
        if (!m_starts)
            return m_size;
        while (m_next < m_starts->size() && (*m_starts)[m_next] < m_position)
            ++m_next;
        return m_next < m_starts->size() ? (*m_starts)[m_next] : m_size;
    }

    const uchar *m_data;
    std::size_t m_size;
    const std::vector<std::size_t> *m_starts;
    std::size_t m_position;
    std::size_t m_next = 0;
};

// Excel 5 texts are bytes in the workbook's code page (its CODEPAGE record, Windows-1252 without one).
class CodePageDecoder
{
public:
    bool setCodePage(int codePage)
    {
        m_codePage = codePage;
        m_decoder = QStringDecoder();
        switch (codePage) {
        case 367:    // ASCII
        case 1200:   // UTF-16, which Excel 5 texts cannot be: taken as the default
        case 1252:
        case 32769:  // Windows-1252, as Excel 2 and 3 name it
            m_codePage = 1252;
            return true;
        case 932: return use("Shift_JIS");
        case 936: return use("GBK");
        case 949: return use("windows-949");
        case 950: return use("Big5");
        case 1361: return use("johab");
        case 10000:
        case 32768: return use("macintosh");
        case 10006: return use("x-mac-greek");
        case 10007: return use("x-mac-cyrillic");
        case 10029: return use("x-mac-centraleurroman");
        case 10079: return use("x-mac-icelandic");
        case 10081: return use("x-mac-turkish");
        default: break;
        }
        const QByteArray number = QByteArray::number(codePage);
        return use("windows-" + number) || use("IBM" + number) || use("cp" + number);
    }

    void append(const uchar *text, std::size_t size, std::u16string &out)
    {
        if (m_codePage == 1252) {
            const std::size_t old = out.size();
            out.resize(old + size);
            for (std::size_t i = 0; i < size; ++i)
                out[old + i] = fromWindows1252(text[i]);
            return;
        }
        m_decoder.resetState();
        const QString decoded = m_decoder.decode(QByteArrayView(text, qsizetype(size)));
        out.append(reinterpret_cast<const char16_t *>(decoded.utf16()), std::size_t(decoded.size()));
    }

private:
    bool use(const QByteArray &name)
    {
        m_decoder = QStringDecoder(name.constData());
        return m_decoder.isValid();
    }

    int m_codePage = 1252;
    QStringDecoder m_decoder;
};

struct SheetEntry
{
    quint64 offset = 0;
    std::vector<uchar> name;  // as stored, decoded once the code page is known
};

class BiffReader
{
public:
    explicit BiffReader(CompoundFileReader &file) : m_records(file) {}

    bool read(WorkbookSheets &sheets, int &version, QString &error);

private:
    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }
    bool streamFailed(const QString &what)
    {
        return fail(m_records.error().isEmpty() ? what : m_records.error());
    }
    bool readGlobals();
    bool readSharedStrings(const Record &sst);
    void collect(const Record &first, ContinuedRecord &record);
    bool readSheet(WorkbookSheet &sheet, quint64 offset, quint64 &end);
    bool cellText(const Record &record, std::size_t at, bool longLength, std::u16string &out);
    bool put(WorkbookSheet &sheet, const uchar *data, double value);
    bool put(WorkbookSheet &sheet, const uchar *data, const std::u16string &text);
    bool place(const WorkbookSheet &sheet, const uchar *data, int &row, int &column);
    QString damaged(const WorkbookSheet &sheet, const char *record) const
    {
        return u"the sheet \"%1\" holds a damaged %2 record."_s.arg(sheet.name(), QLatin1StringView(record));
    }

    RecordStream m_records;
    int m_version = 8;
    CodePageDecoder m_decoder;
    int m_codePage = 1252;
    std::vector<SheetEntry> m_sheetEntries;
    std::u16string m_strings;               // the shared texts, one after another
    std::vector<std::size_t> m_stringStarts; // where each begins; one more at the end
    std::u16string m_text;
    QString m_error;
};

void BiffReader::collect(const Record &first, ContinuedRecord &record)
{
    record.data.assign(first.data, first.data + first.size);
    record.starts.clear();
    while (m_records.peekId() == Continue) {
        Record next;
        if (!m_records.next(next))
            return;
        record.starts.push_back(record.data.size());
        record.data.insert(record.data.end(), next.data, next.data + next.size);
    }
}

bool BiffReader::readSharedStrings(const Record &sst)
{
    ContinuedRecord record;
    collect(sst, record);
    if (!m_records.error().isEmpty())
        return fail(m_records.error());
    if (record.data.size() < 8)
        return fail(u"its table of texts is damaged."_s);
    const quint32 count = get32(record.data.data() + 4);
    m_stringStarts.clear();
    m_stringStarts.reserve(std::min<std::size_t>(count, record.data.size() / 3) + 1);
    m_strings.reserve(record.data.size());
    TextCursor cursor(record.data.data(), record.data.size(), &record.starts, 8);
    for (quint32 i = 0; i < count && !cursor.atEnd(); ++i) {
        m_stringStarts.push_back(m_strings.size());
        if (!cursor.unicode(true, m_strings))
            return fail(u"its table of texts is damaged (text %1 is cut short)."_s.arg(i + 1));
    }
    m_stringStarts.push_back(m_strings.size());
    return true;
}

bool BiffReader::readGlobals()
{
    Record record;
    if (!m_records.next(record))
        return streamFailed(u"it holds no Excel workbook."_s);
    if (record.id == 0x0009 || record.id == 0x0209 || record.id == 0x0409)
        return fail(u"it is an Excel 2, 3 or 4 file; save it as Excel 97 or Excel 5 first."_s);
    if (record.id != Bof || record.size < 4)
        return fail(u"it holds no Excel workbook (its stream does not begin with a BOF record)."_s);
    const quint16 biff = get16(record.data), type = get16(record.data + 2);
    if (biff == 0x0600)
        m_version = 8;
    else if (biff == 0x0500)
        m_version = 5;
    else
        return fail(u"it is an Excel file of an unknown version (%1)."_s.arg(uint(biff), 4, 16, QChar(u'0')));
    if (type != 0x0005)
        return fail(u"it holds no Excel workbook (its first part is no workbook globals)."_s);

    for (;;) {
        if (!m_records.next(record))
            return streamFailed(u"the file is truncated or damaged (the workbook globals do not end)."_s);
        switch (record.id) {
        case Eof: return true;
        case FilePass: return fail(u"the workbook is protected by a password."_s);
        case CodePage:
            if (record.size >= 2)
                m_codePage = get16(record.data);
            break;
        case BoundSheet: {
            if (record.size < 6)
                return fail(u"its list of sheets is damaged."_s);
            // Chart, macro and module sheets hold no cells.
            if (record.data[5] != 0)
                break;
            SheetEntry entry;
            entry.offset = get32(record.data);
            entry.name.assign(record.data + 6, record.data + record.size);
            m_sheetEntries.push_back(std::move(entry));
            break;
        }
        case Sst:
            if (m_version == 8 && !readSharedStrings(record))
                return false;
            break;
        default: break;
        }
    }
}

bool BiffReader::place(const WorkbookSheet &sheet, const uchar *data, int &row, int &column)
{
    row = get16(data) + 1;
    column = get16(data + 2) + 1;
    if (column > WorkbookSheet::MaxColumns)
        return fail(u"the sheet \"%1\" holds a cell in column %2, past the last (%3)."_s.arg(sheet.name()).arg(column)
                        .arg(WorkbookSheet::MaxColumns));
    return true;
}

bool BiffReader::put(WorkbookSheet &sheet, const uchar *data, double value)
{
    int row, column;
    if (!place(sheet, data, row, column))
        return false;
    sheet.setNumber(row, column, value);
    return true;
}

bool BiffReader::put(WorkbookSheet &sheet, const uchar *data, const std::u16string &text)
{
    int row, column;
    if (!place(sheet, data, row, column))
        return false;
    sheet.setText(row, column, QStringView(text.data(), qsizetype(text.size())));
    return true;
}

// The text of a LABEL, RSTRING or STRING record from a byte offset: Unicode in Excel 97, code-page
// bytes in Excel 5.
bool BiffReader::cellText(const Record &record, std::size_t at, bool longLength, std::u16string &out)
{
    out.clear();
    if (at > record.size)
        return false;
    TextCursor cursor(record.data, record.size, nullptr, at);
    if (m_version == 8)
        return cursor.unicode(longLength, out);
    const uchar *bytes = nullptr;
    std::size_t size = 0;
    if (!cursor.bytes(longLength, bytes, size))
        return false;
    m_decoder.append(bytes, size, out);
    return true;
}

bool BiffReader::readSheet(WorkbookSheet &sheet, quint64 offset, quint64 &end)
{
    m_records.seek(offset);
    Record record;
    if (!m_records.next(record) || record.id != Bof)
        return streamFailed(u"the sheet \"%1\" is missing from the file: it is damaged."_s.arg(sheet.name()));
    int depth = 1;  // charts embedded in the sheet are substreams of their own, BOF to EOF
    bool pendingString = false;
    int pendingRow = 0, pendingColumn = 0;
    for (;;) {
        if (!m_records.next(record))
            return streamFailed(u"the sheet \"%1\" is cut short: the file is truncated or damaged."_s.arg(sheet.name()));
        if (record.id == Bof) {
            ++depth;
            continue;
        }
        if (record.id == Eof) {
            if (--depth == 0)
                break;
            continue;
        }
        if (depth != 1)
            continue;
        const uchar *d = record.data;
        switch (record.id) {
        case Number:
            if (record.size < 14)
                return fail(damaged(sheet, "NUMBER"));
            if (!put(sheet, d, qFromLittleEndian<double>(d + 6)))
                return false;
            break;
        case Rk:
            if (record.size < 10)
                return fail(damaged(sheet, "RK"));
            if (!put(sheet, d, rkValue(get32(d + 6))))
                return false;
            break;
        case MulRk: {
            if (record.size < 6)
                return fail(damaged(sheet, "MULRK"));
            int row, column;
            if (!place(sheet, d, row, column))
                return false;
            const quint32 count = (record.size - 6) / 6;
            if (column - 1 + count > quint32(WorkbookSheet::MaxColumns))
                return fail(damaged(sheet, "MULRK"));
            for (quint32 i = 0; i < count; ++i)
                sheet.setNumber(row, column + int(i), rkValue(get32(d + 4 + 6 * i + 2)));
            break;
        }
        case LabelSst: {
            if (record.size < 10)
                return fail(damaged(sheet, "LABELSST"));
            const quint32 index = get32(d + 6);
            if (std::size_t(index) + 1 >= m_stringStarts.size())
                return fail(u"the sheet \"%1\" refers to text %2, which its table of texts lacks."_s.arg(sheet.name())
                                .arg(quint64(index) + 1));
            int row, column;
            if (!place(sheet, d, row, column))
                return false;
            const std::size_t from = m_stringStarts[index];
            sheet.setText(row, column, QStringView(m_strings.data() + from, qsizetype(m_stringStarts[index + 1] - from)));
            break;
        }
        case Label:
        case RString:
            if (record.size < 6 || !cellText(record, 6, true, m_text))
                return fail(damaged(sheet, record.id == Label ? "LABEL" : "RSTRING"));
            if (!put(sheet, d, m_text))
                return false;
            break;
        case BoolErr:
            if (record.size < 8)
                return fail(damaged(sheet, "BOOLERR"));
            if (d[7]) {
                const QString text = errorText(d[6]);
                m_text.assign(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
                if (!put(sheet, d, m_text))
                    return false;
            } else if (!put(sheet, d, d[6] ? 1.0 : 0.0)) {
                return false;
            }
            break;
        case Formula: {
            if (record.size < 20)
                return fail(damaged(sheet, "FORMULA"));
            pendingString = false;
            const uchar *result = d + 6;
            if (get16(result + 6) != 0xFFFF) {
                if (!put(sheet, d, qFromLittleEndian<double>(result)))
                    return false;
                break;
            }
            switch (result[0]) {
            case 0:  // a text, in the STRING record that follows
                if (!place(sheet, d, pendingRow, pendingColumn))
                    return false;
                pendingString = true;
                break;
            case 1:
                if (!put(sheet, d, result[2] ? 1.0 : 0.0))
                    return false;
                break;
            case 2: {
                const QString text = errorText(result[2]);
                m_text.assign(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
                if (!put(sheet, d, m_text))
                    return false;
                break;
            }
            default: break;  // an empty text: the cell stays empty
            }
            break;
        }
        case String: {
            if (!pendingString)
                break;
            pendingString = false;
            ContinuedRecord continued;
            collect(record, continued);
            if (!m_records.error().isEmpty())
                return fail(m_records.error());
            Record whole = record;
            whole.data = continued.data.data();
            whole.size = quint32(continued.data.size());
            m_text.clear();
            bool ok = false;
            if (m_version == 8) {
                TextCursor cursor(continued.data.data(), continued.data.size(), &continued.starts);
                ok = cursor.unicode(true, m_text);
            } else {
                ok = cellText(whole, 0, true, m_text);
            }
            if (!ok)
                return fail(damaged(sheet, "STRING"));
            sheet.setText(pendingRow, pendingColumn, QStringView(m_text.data(), qsizetype(m_text.size())));
            break;
        }
        default: break;
        }
    }
    end = m_records.position();
    return true;
}

bool BiffReader::read(WorkbookSheets &sheets, int &version, QString &error)
{
    if (!readGlobals()) {
        error = m_error;
        return false;
    }
    if (m_version == 5 && !m_decoder.setCodePage(m_codePage)) {
        error = u"its texts are in code page %1, which cannot be read."_s.arg(m_codePage);
        return false;
    }
    if (m_sheetEntries.empty()) {
        error = u"the workbook holds no worksheet."_s;
        return false;
    }

    // Sheets are separate parts of the stream, read in the order they lie in it. Ones that overlap are
    // damage, and reading them would take time growing with the square of the file.
    std::vector<std::size_t> order(m_sheetEntries.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return m_sheetEntries[a].offset < m_sheetEntries[b].offset;
    });
    WorkbookSheets result(m_sheetEntries.size());
    quint64 previousEnd = 0;
    for (const std::size_t index : order) {
        const SheetEntry &entry = m_sheetEntries[index];
        std::u16string name;
        bool ok = false;
        TextCursor cursor(entry.name.data(), entry.name.size());
        if (m_version == 8) {
            ok = cursor.unicode(false, name);
        } else {
            const uchar *bytes = nullptr;
            std::size_t size = 0;
            ok = cursor.bytes(false, bytes, size);
            if (ok)
                m_decoder.append(bytes, size, name);
        }
        if (!ok) {
            error = u"its list of sheets is damaged."_s;
            return false;
        }
        auto sheet = std::make_unique<WorkbookSheet>(QString::fromUtf16(name.data(), qsizetype(name.size())));
        if (entry.offset < previousEnd) {
            error = u"its sheets overlap: the file is damaged."_s;
            return false;
        }
        if (!readSheet(*sheet, entry.offset, previousEnd)) {
            error = m_error;
            return false;
        }
        result[index] = std::move(sheet);
    }
    sheets = std::move(result);
    version = m_version;
    return true;
}

} // namespace

bool readBiffWorkbook(CompoundFileReader &file, WorkbookSheets &sheets, int &biffVersion, QString &error)
{
    BiffReader reader(file);
    return reader.read(sheets, biffVersion, error);
}

} // namespace kv
