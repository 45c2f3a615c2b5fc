// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/biff_writer.h"

#include "controls/windows1252.h"

#include "controls/compound_file_writer.h"
#include "controls/workbook.h"
#include "controls/xlsx_format.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

enum RecordId : quint16 {
    Bof = 0x0809,
    Eof = 0x000A,
    Codepage = 0x0042,
    Window1 = 0x003D,
    DateMode = 0x0022,
    Font = 0x0031,
    Xf = 0x00E0,
    Style = 0x0293,
    BoundSheet = 0x0085,
    Sst = 0x00FC,
    Continue = 0x003C,
    ExtSst = 0x00FF,
    Dimensions = 0x0200,
    Window2 = 0x023E,
    Scale = 0x00A0,
    Number = 0x0203,
    LabelSst = 0x00FD,
    Label = 0x0204,
};

constexpr int CellXf = 15;  // the first cell XF after the 15 style XFs

// Little-endian record body builder.
class Body
{
public:
    Body &u8(quint8 v) { m_data.append(char(v)); return *this; }
    Body &u16(quint16 v) { char b[2]; qToLittleEndian(v, b); m_data.append(b, 2); return *this; }
    Body &u32(quint32 v) { char b[4]; qToLittleEndian(v, b); m_data.append(b, 4); return *this; }
    Body &f64(double v) { char b[8]; qToLittleEndian(v, b); m_data.append(b, 8); return *this; }
    Body &bytes(const QByteArray &b) { m_data.append(b); return *this; }
    const QByteArray &data() const { return m_data; }
    qsizetype size() const { return m_data.size(); }
    void clear() { m_data.clear(); }

private:
    QByteArray m_data;
};

class Stream
{
public:
    explicit Stream(CompoundFileWriter &file) : m_file(file) {}

    bool record(quint16 id, const QByteArray &body)
    {
        char header[4];
        qToLittleEndian(id, header);
        qToLittleEndian(quint16(body.size()), header + 2);
        return m_file.write(header, 4) && m_file.write(body);
    }
    bool record(quint16 id, const Body &body) { return record(id, body.data()); }
    // A fixed-size cell record without building a QByteArray: the hot path.
    bool raw(const char *data, int size) { return m_file.write(data, size); }
    qint64 position() const { return m_file.position(); }
    CompoundFileWriter &file() { return m_file; }

private:
    CompoundFileWriter &m_file;
};

bool isLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// Characters of a BIFF8 string: one byte each when all fit, else UTF-16LE.
QByteArray biff8Chars(QStringView text, bool wide)
{
    QByteArray out;
    out.reserve(text.size() * (wide ? 2 : 1));
    for (const QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        if (wide)
            out.append(char(c.unicode() >> 8));
    }
    return out;
}

// Tracks the SST's records: a string's header never splits, and a CONTINUE that carries the rest of a
// string starts with the string's width flag.
class SstWriter
{
public:
    static constexpr qsizetype MaxBody = 8224;

    SstWriter(Stream &stream, quint32 count) : m_stream(stream)
    {
        m_bucket = std::max<quint32>(8, (count + 127) / 128);
        m_body.reserve(MaxBody);
        char header[8];
        qToLittleEndian(count, header);
        qToLittleEndian(count, header + 4);
        m_body.append(header, 8);
    }

    bool add(QStringView text)
    {
        const bool wide = !isLatin1(text);
        const int charSize = wide ? 2 : 1;
        // A string that does not fit the rest of the record starts a new one: it splits only when
        // longer than a whole record, and then over as few records as it can.
        const qsizetype size = 3 + text.size() * charSize;
        if (m_body.size() + size > MaxBody && m_body.size() > (m_first ? 8 : 0) && !flush())
            return false;
        if (m_index++ % m_bucket == 0)
            m_buckets.push_back({quint32(m_stream.position() + 4 + m_body.size()), quint16(4 + m_body.size())});
        char header[3];
        qToLittleEndian(quint16(text.size()), header);
        header[2] = char(wide ? 1 : 0);
        m_body.append(header, 3);
        const QByteArray chars = biff8Chars(text, wide);
        qsizetype done = 0;
        while (done < chars.size()) {
            qsizetype room = (MaxBody - m_body.size()) / charSize * charSize;
            if (room == 0) {
                if (!flush())
                    return false;
                m_body.append(char(wide ? 1 : 0));
                continue;
            }
            const qsizetype n = std::min(room, chars.size() - done);
            m_body.append(chars.constData() + done, n);
            done += n;
        }
        return true;
    }

    bool finish()
    {
        if (!flush())
            return false;
        Body ext;
        ext.u16(quint16(m_bucket));
        for (const auto &b : m_buckets)
            ext.u32(b.first).u16(b.second).u16(0);
        return m_stream.record(ExtSst, ext);
    }

private:
    bool flush()
    {
        const bool ok = m_stream.record(m_first ? Sst : Continue, m_body);
        m_first = false;
        m_body.clear();
        return ok;
    }

    Stream &m_stream;
    quint32 m_bucket;
    quint32 m_index = 0;
    bool m_first = true;
    QByteArray m_body;
    std::vector<std::pair<quint32, quint16>> m_buckets;
};

Body bof(int version, quint16 type)
{
    Body b;
    if (version == 8)
        b.u16(0x0600).u16(type).u16(0x0DBB).u16(0x07CC).u32(0).u32(6);
    else
        b.u16(0x0500).u16(type).u16(0x0DBB).u16(0x07CC);
    return b;
}

Body font(int version)
{
    Body b;
    b.u16(200).u16(0).u16(0x7FFF).u16(400).u16(0).u8(0).u8(0).u8(0).u8(0);
    b.u8(5);
    if (version == 8)
        b.u8(0);
    b.bytes("Arial");
    return b;
}

Body xf(int version, bool style)
{
    Body b;
    b.u16(0).u16(0).u16(style ? 0xFFF5 : 0x0001);
    if (version == 8) {
        b.u8(0x20).u8(0).u8(0).u8(style ? 0xF4 : 0);
        b.u32(0).u32(0).u16(0x20C0);
    } else {
        b.u8(0x20).u8(style ? 0xF4 : 0);
        b.u32(0x20C0).u32(0);
    }
    return b;
}

} // namespace

bool writeBiffWorkbook(const Workbook &workbook, QIODevice &device, int version, QString &error)
{
    const bool biff8 = version == 8;
    const int maxRows = biff8 ? 65536 : 16384;
    const int maxColumns = 256;
    const int maxText = biff8 ? 32767 : 255;
    const QString formatName = biff8 ? u"Excel 97"_s : u"Excel 5"_s;

    // Check everything first, so that nothing is written for a workbook the format cannot hold.
    quint64 textCount = 0;
    for (int s = 1; s <= workbook.numSheets(); ++s) {
        const WorkbookSheet &sheet = workbook.sheetAt(s);
        if (sheet.lastRow() > maxRows) {
            error = u"the sheet \"%1\" has %2 rows; %3 files hold at most %4 (save as Excel 2007-365, .xlsx)."_s
                        .arg(sheet.name()).arg(sheet.lastRow()).arg(formatName).arg(maxRows);
            return false;
        }
        if (sheet.lastColumn() > maxColumns) {
            error = u"the sheet \"%1\" has %2 columns; %3 files hold at most %4 (save as Excel 2007-365, .xlsx)."_s
                        .arg(sheet.name()).arg(sheet.lastColumn()).arg(formatName).arg(maxColumns);
            return false;
        }
        sheet.forEachCell([&](const WorkbookSheet::CellRef &c) {
            if (c.kind != CellKind::Text)
                return true;
            ++textCount;
            if (c.text.size() > maxText) {
                error = u"the text in sheet \"%1\", row %2, column %3 has %4 characters; %5 files hold at most %6 in a cell."_s
                            .arg(sheet.name()).arg(c.row).arg(c.column).arg(c.text.size()).arg(formatName).arg(maxText);
                return false;
            }
            return true;
        });
        if (!error.isEmpty())
            return false;
    }
    if (textCount > 0xFFFFFFFFull) {
        error = u"the workbook holds more texts than an %1 file can."_s.arg(formatName);
        return false;
    }

    CompoundFileWriter file(device, biff8 ? u"Workbook"_s : u"Book"_s);
    Stream out(file);
    const QString deviceError = u"the file cannot be written (%1)."_s;
    auto failed = [&] {
        error = deviceError.arg(device.errorString());
        return false;
    };
    if (!file.begin())
        return failed();

    // Workbook globals.
    bool ok = out.record(Bof, bof(version, 0x0005));
    ok = ok && out.record(Codepage, Body().u16(biff8 ? 1200 : 1252));
    ok = ok && out.record(Window1, Body().u16(0).u16(0).u16(0x3A5C).u16(0x23BE).u16(0x0038)
                                       .u16(quint16(workbook.sheet() - 1)).u16(0).u16(1).u16(600));
    ok = ok && out.record(DateMode, Body().u16(0));
    for (int i = 0; i < 5 && ok; ++i)
        ok = out.record(Font, font(version));
    for (int i = 0; i < 15 && ok; ++i)
        ok = out.record(Xf, xf(version, true));
    ok = ok && out.record(Xf, xf(version, false));
    ok = ok && out.record(Style, Body().u16(0x8000).u8(0).u8(0xFF));

    QStringList taken;
    std::vector<qint64> sheetOffsets;  // where each BOUNDSHEET's stream position goes
    for (int s = 1; s <= workbook.numSheets() && ok; ++s) {
        QString name = workbook.sheetAt(s).name();
        if (!biff8) {
            // Characters Windows-1252 lacks become '_' before the names are made unique.
            for (QChar &c : name)
                if (c != u'?' && toWindows1252(QStringView(&c, 1)) == "?")
                    c = u'_';
        }
        name = excelSheetName(name, s, taken);
        Body b;
        b.u32(0).u8(0).u8(0);
        if (biff8) {
            const bool wide = !isLatin1(name);
            b.u8(quint8(name.size())).u8(wide ? 1 : 0).bytes(biff8Chars(name, wide));
        } else {
            const QByteArray bytes = toWindows1252(name);
            b.u8(quint8(bytes.size())).bytes(bytes);
        }
        sheetOffsets.push_back(out.position() + 4);
        ok = out.record(BoundSheet, b);
    }
    if (ok && biff8) {
        SstWriter sst(out, quint32(textCount));
        for (int s = 1; s <= workbook.numSheets() && ok; ++s)
            workbook.sheetAt(s).forEachCell([&](const WorkbookSheet::CellRef &c) {
                if (c.kind == CellKind::Text)
                    ok = sst.add(c.text);
                return ok;
            });
        ok = ok && sst.finish();
    }
    ok = ok && out.record(Eof, QByteArray());

    // The sheets, each a substream that its BOUNDSHEET points at.
    quint32 stringIndex = 0;
    for (int s = 1; s <= workbook.numSheets() && ok; ++s) {
        const WorkbookSheet &sheet = workbook.sheetAt(s);
        char offset[4];
        qToLittleEndian(quint32(out.position()), offset);
        ok = file.patch(sheetOffsets[s - 1], QByteArray(offset, 4));
        ok = ok && out.record(Bof, bof(version, 0x0010));
        Body dimensions;
        const quint32 firstRow = sheet.isEmpty() ? 0 : quint32(sheet.firstRow() - 1);
        const quint32 lastRow = quint32(sheet.lastRow());
        const quint16 firstColumn = sheet.isEmpty() ? 0 : quint16(sheet.firstColumn() - 1);
        const quint16 lastColumn = quint16(sheet.lastColumn());
        if (biff8)
            dimensions.u32(firstRow).u32(lastRow);
        else
            dimensions.u16(quint16(firstRow)).u16(quint16(lastRow));
        dimensions.u16(firstColumn).u16(lastColumn).u16(0);
        ok = ok && out.record(Dimensions, dimensions);

        sheet.forEachCell([&](const WorkbookSheet::CellRef &c) {
            char cell[18];
            qToLittleEndian(quint16(c.row - 1), cell + 4);
            qToLittleEndian(quint16(c.column - 1), cell + 6);
            qToLittleEndian(quint16(CellXf), cell + 8);
            if (c.kind == CellKind::Number) {
                qToLittleEndian(quint16(Number), cell);
                qToLittleEndian(quint16(14), cell + 2);
                qToLittleEndian(c.number, cell + 10);
                ok = out.raw(cell, 18);
            } else if (biff8) {
                qToLittleEndian(quint16(LabelSst), cell);
                qToLittleEndian(quint16(10), cell + 2);
                qToLittleEndian(stringIndex++, cell + 10);
                ok = out.raw(cell, 14);
            } else {
                const QByteArray bytes = toWindows1252(c.text);
                qToLittleEndian(quint16(Label), cell);
                qToLittleEndian(quint16(8 + bytes.size()), cell + 2);
                qToLittleEndian(quint16(bytes.size()), cell + 10);
                ok = out.raw(cell, 12) && out.raw(bytes.constData(), int(bytes.size()));
            }
            return ok;
        });

        const bool active = s == workbook.sheet();
        const quint16 options = 0x00B6 | (active ? 0x0600 : 0);
        if (biff8)
            ok = ok && out.record(Window2, Body().u16(options).u16(0).u16(0).u16(0x40).u16(0).u16(0).u16(0).u32(0));
        else
            ok = ok && out.record(Window2, Body().u16(options).u16(0).u16(0).u32(0));
        if (workbook.viewScale() != 100)
            ok = ok && out.record(Scale, Body().u16(quint16(workbook.viewScale())).u16(100));
        ok = ok && out.record(Eof, QByteArray());
    }
    if (ok && out.position() > 0xFFFFFFFFLL) {
        error = u"the workbook is too large for an %1 file (save as Excel 2007-365, .xlsx)."_s.arg(formatName);
        return false;
    }
    ok = ok && file.finish();
    return ok ? true : failed();
}

} // namespace kv
