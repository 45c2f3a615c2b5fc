// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-made .xls files for the reader tests: records the writers of the machine do not write (Excel 5
// code pages, MULRK, RSTRING, BOOLERR, formulas in Excel 5) and damage put in on purpose.
#pragma once

#include "controls/compound_file_writer.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QtEndian>

#include <initializer_list>
#include <vector>

namespace kv::test {

/// A record body built from little-endian fields.
class BiffBody
{
public:
    BiffBody &u8(quint8 v) { m_data.append(char(v)); return *this; }
    BiffBody &u16(quint16 v) { char b[2]; qToLittleEndian(v, b); m_data.append(b, 2); return *this; }
    BiffBody &u32(quint32 v) { char b[4]; qToLittleEndian(v, b); m_data.append(b, 4); return *this; }
    BiffBody &f64(double v) { char b[8]; qToLittleEndian(v, b); m_data.append(b, 8); return *this; }
    BiffBody &bytes(const QByteArray &b) { m_data.append(b); return *this; }
    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
};

/// A workbook stream of records; a sheet's BOUNDSHEET offset is filled in when its BOF is added.
class BiffStream
{
public:
    BiffStream &record(quint16 id, const QByteArray &body)
    {
        char header[4];
        qToLittleEndian(id, header);
        qToLittleEndian(quint16(body.size()), header + 2);
        m_data.append(header, 4).append(body);
        return *this;
    }
    BiffStream &record(quint16 id, const BiffBody &body) { return record(id, body.data()); }
    BiffStream &bof(int version, quint16 type)
    {
        BiffBody b;
        b.u16(version == 8 ? 0x0600 : 0x0500).u16(type).u16(0x0DBB).u16(0x07CC);
        if (version == 8)
            b.u32(0).u32(6);
        return record(0x0809, b);
    }
    BiffStream &eof() { return record(0x000A, QByteArray()); }
    /// BOUNDSHEET with a placeholder offset; name is the stored name field (length byte included).
    BiffStream &boundSheet(const QByteArray &nameField, quint8 type = 0)
    {
        m_sheetOffsets.push_back(m_data.size() + 4);
        return record(0x0085, BiffBody().u32(0).u8(0).u8(type).bytes(nameField));
    }
    /// Starts the next sheet here: its BOUNDSHEET gets this offset.
    BiffStream &beginSheet(int version)
    {
        char offset[4];
        qToLittleEndian(quint32(m_data.size()), offset);
        m_data.replace(m_sheetOffsets.at(m_nextSheet++), 4, QByteArray(offset, 4));
        return bof(version, 0x0010);
    }
    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
    std::vector<qsizetype> m_sheetOffsets;
    std::size_t m_nextSheet = 0;
};

/// A cell record's row, column and XF fields, rows and columns from 1.
inline BiffBody cell(int row, int column)
{
    return BiffBody().u16(quint16(row - 1)).u16(quint16(column - 1)).u16(15);
}

/// A FORMULA record whose stored result is the 8 bytes given, with a one-token formula (=1).
inline BiffBody formula(int row, int column, const QByteArray &result)
{
    return cell(row, column).bytes(result).u16(0).u32(0).u16(2).u8(0x1E).u16(1);
}

/// The 8 result bytes of a formula that gave a text (0), a boolean (1), an error (2) or "" (3).
inline QByteArray specialResult(quint8 type, quint8 value = 0)
{
    return BiffBody().u8(type).u8(0).u8(value).u8(0).u16(0).u16(0xFFFF).data();
}

inline QByteArray numberResult(double value)
{
    return BiffBody().f64(value).data();
}

/// The stream in a compound file, as the file's bytes.
inline QByteArray compoundFile(const QByteArray &stream, const QString &streamName)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    CompoundFileWriter writer(buffer, streamName);
    if (!writer.begin() || !writer.write(stream) || !writer.finish())
        return {};
    return buffer.data();
}

/// The 16 XF records (15 style XFs, then the cell XF 15 that cell() names) that readers such as xlrd
/// need to tell numbers from dates.
inline void addXfs(BiffStream &s, int version)
{
    for (int i = 0; i < 16; ++i) {
        const bool style = i < 15;
        BiffBody b;
        b.u16(0).u16(0).u16(style ? 0xFFF5 : 0x0001);
        if (version == 8)
            b.u8(0x20).u8(0).u8(0).u8(style ? 0xF4 : 0).u32(0).u32(0).u16(0x20C0);
        else
            b.u8(0x20).u8(style ? 0xF4 : 0).u32(0x20C0).u32(0);
        s.record(0x00E0, b);
    }
}

inline QByteArray utf16(const QString &text)
{
    QByteArray out;
    for (const QChar c : text)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return out;
}

/// An Excel 5 workbook in code page 1251 (Cyrillic) with every cell record an Excel 5 file holds
/// values in, a chart sheet that holds none, and the cells it must read as.
inline QByteArray excel5CodePageStream(QStringList &cells)
{
    auto cp1251 = [](const QString &text) {
        QStringEncoder encoder("windows-1251");
        return QByteArray(encoder.encode(text));
    };
    const QByteArray name = cp1251(QStringLiteral("Породы"));
    BiffStream s;
    s.bof(5, 0x0005).record(0x0042, BiffBody().u16(1251));
    addXfs(s, 5);
    s.boundSheet(QByteArray(1, char(name.size())) + name).boundSheet(QByteArray("\x05Chart", 6), 2).eof();
    s.beginSheet(5);
    const QByteArray granite = cp1251(QStringLiteral("Гранит – серый"));
    s.record(0x0204, cell(1, 1).u16(quint16(granite.size())).bytes(granite));
    s.record(0x027E, cell(1, 2).u32((42u << 2) | 2));                 // RK integer
    s.record(0x027E, cell(1, 3).u32(0x40040000u));                     // RK float 2.5
    s.record(0x027E, cell(1, 4).u32(quint32(-123 * 4) | 3));           // RK integer / 100
    s.record(0x00BD, BiffBody().u16(1).u16(0).u16(15).u32((1u << 2) | 2).u16(15).u32((1u << 2) | 3)
                         .u16(15).u32(quint32(-5 * 4) | 2).u16(2));    // MULRK A2:C2
    s.record(0x0203, cell(3, 1).f64(1.0 / 3.0));
    s.record(0x0205, cell(3, 2).u8(1).u8(0));                          // TRUE
    s.record(0x0205, cell(3, 3).u8(0x07).u8(1));                       // #DIV/0!
    s.record(0x0006, formula(4, 1, numberResult(2500)));
    const QByteArray zr = cp1251(QStringLiteral("Zr 2,5 – ё"));
    s.record(0x0006, formula(4, 2, specialResult(0)));
    s.record(0x0207, BiffBody().u16(quint16(zr.size())).bytes(zr));
    s.record(0x0006, formula(4, 3, specialResult(1, 1)));
    s.record(0x0006, formula(4, 4, specialResult(2, 0x2A)));
    s.record(0x0006, formula(4, 5, specialResult(3)));                 // "": stays empty
    const QByteArray basalt = cp1251(QStringLiteral("Базальт"));
    s.record(0x00D6, cell(5, 1).u16(quint16(basalt.size())).bytes(basalt).u8(1).u8(2).u8(0));
    s.eof();
    cells = QStringList{QStringLiteral("1|1|1|t|Гранит – серый"), QStringLiteral("1|1|2|n|42"), QStringLiteral("1|1|3|n|2.5"),
                        QStringLiteral("1|1|4|n|-1.23"), QStringLiteral("1|2|1|n|1"), QStringLiteral("1|2|2|n|0.01"),
                        QStringLiteral("1|2|3|n|-5"), QStringLiteral("1|3|1|n|0.3333333333333333"), QStringLiteral("1|3|2|n|1"),
                        QStringLiteral("1|3|3|t|#DIV/0!"), QStringLiteral("1|4|1|n|2500"), QStringLiteral("1|4|2|t|Zr 2,5 – ё"),
                        QStringLiteral("1|4|3|n|1"), QStringLiteral("1|4|4|t|#N/A"), QStringLiteral("1|5|1|t|Базальт")};
    return s.data();
}

/// An Excel 97 workbook whose shared texts take every form: compressed and UTF-16, rich and Far-East
/// runs, characters that change width in a CONTINUE record, runs that begin in one; a formula's text
/// continued in a CONTINUE record; a chart embedded in a sheet, whose cells are not the sheet's.
inline QByteArray excel97RecordsStream(QStringList &cells)
{
    BiffStream s;
    s.bof(8, 0x0005).record(0x0042, BiffBody().u16(1200));
    addXfs(s, 8);
    // XF 16: the built-in date-time format 22 ("m/d/yy h:mm").
    s.record(0x00E0, BiffBody().u16(0).u16(22).u16(0x0001).u8(0x20).u8(0).u8(0).u8(0).u32(0).u32(0).u16(0x20C0));
    s.boundSheet(BiffBody().u8(7).u8(0).bytes(QByteArray("Donn\xE9" "es")).data());
    s.boundSheet(BiffBody().u8(5).u8(1).bytes(utf16(QStringLiteral("Ωmega"))).data());
    s.boundSheet(QByteArray("\x05\x00" "Chart", 7), 2);

    BiffBody sst;
    sst.u32(8).u32(8);
    sst.u16(5).u8(0).bytes("plain");
    sst.u16(6).u8(1).bytes(utf16(QStringLiteral("Гранит")));
    sst.u16(9).u8(0x08).u16(2).bytes("rich text").u16(0).u16(1).u16(5).u16(2);
    sst.u16(3).u8(0x04).u32(6).bytes("ext").bytes("FEdata");
    sst.u16(15).u8(0).bytes("aaaaaaaaaa");  // 10 of 15 characters, the rest wide in the CONTINUE
    s.record(0x00FC, sst);
    BiffBody more;
    more.u8(1).bytes(utf16(QStringLiteral("ΩΩΩΩΩ")));
    more.u16(5).u8(0).bytes("after");
    more.u16(4).u8(0x0C).u16(1).u32(4).bytes("both");  // its run and Far-East data in the next record
    s.record(0x003C, more);
    s.record(0x003C, BiffBody().u16(0).u16(3).bytes("FE!!").u16(4).u8(0).bytes("last"));
    s.eof();

    s.beginSheet(8);
    for (int i = 0; i < 8; ++i)
        s.record(0x00FD, cell(1, i + 1).u32(quint32(i)));
    s.record(0x0204, cell(2, 1).u16(7).u8(0).bytes("label \xFC"));
    s.record(0x0204, cell(2, 2).u16(3).u8(1).bytes(utf16(QStringLiteral("Ωμέ"))));
    s.record(0x00BD, BiffBody().u16(1).u16(2).u16(15).u32(0x3FF00000u).u16(15).u32((7u << 2) | 2).u16(3));
    s.record(0x0006, formula(3, 1, specialResult(0)));
    // A shared formula between FORMULA and STRING: rows 3 to 3, column A, used once, "=1".
    s.record(0x04BC, BiffBody().u16(2).u16(2).u8(0).u8(0).u8(0).u8(1).u16(3).u8(0x1E).u16(1));
    s.record(0x0207, BiffBody().u16(12).u8(0).bytes("abcdef"));
    s.record(0x003C, BiffBody().u8(1).bytes(utf16(QStringLiteral("ΩΩΩΩΩΩ"))));
    s.record(0x0006, formula(3, 2, specialResult(1, 0)));
    s.record(0x0006, formula(3, 3, specialResult(2, 0x17)));
    s.record(0x0205, cell(3, 4).u8(0).u8(0));
    s.bof(8, 0x0020).record(0x0203, cell(10, 1).f64(99)).eof();  // an embedded chart
    s.record(0x0203, cell(11, 1).f64(7));
    // A date-time to the half second stays the serial the cell holds, fraction and all.
    s.record(0x0203, BiffBody().u16(11).u16(1).u16(16).f64(45306 + 0.5 / 86400));
    s.eof();
    s.beginSheet(8).record(0x027E, cell(1, 1).u32((3u << 2) | 2)).eof();

    cells = QStringList{QStringLiteral("1|1|1|t|plain"), QStringLiteral("1|1|2|t|Гранит"), QStringLiteral("1|1|3|t|rich text"),
                        QStringLiteral("1|1|4|t|ext"), QStringLiteral("1|1|5|t|aaaaaaaaaaΩΩΩΩΩ"), QStringLiteral("1|1|6|t|after"),
                        QStringLiteral("1|1|7|t|both"), QStringLiteral("1|1|8|t|last"), QStringLiteral("1|2|1|t|label ü"),
                        QStringLiteral("1|2|2|t|Ωμέ"), QStringLiteral("1|2|3|n|1"), QStringLiteral("1|2|4|n|7"),
                        QStringLiteral("1|3|1|t|abcdefΩΩΩΩΩΩ"), QStringLiteral("1|3|2|n|0"), QStringLiteral("1|3|3|t|#REF!"),
                        QStringLiteral("1|3|4|n|0"), QStringLiteral("1|11|1|n|7"), QStringLiteral("1|12|2|n|45306.000005787035"),
                        QStringLiteral("2|1|1|n|3")};
    return s.data();
}

} // namespace kv::test
