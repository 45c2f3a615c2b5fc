// SPDX-License-Identifier: GPL-3.0-or-later
// The XML scanner under the .xlsx reader, fed in chunks down to single bytes, and the reader itself on
// hand-made parts: every cell type, prefixes, rich text, and damaged parts as clear errors.
#include "controls/workbook.h"
#include "controls/xlsx_format.h"
#include "controls/xml_scanner.h"
#include "core/errors.h"
#include "workbook_cells.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <minizip/unzip.h>
#include <minizip/zip.h>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// The tokens as one line: <name a=v>, "text", </name>, and !problem where the scan stops.
QString transcript(const QByteArray &xml, qsizetype chunk)
{
    qsizetype at = 0;
    XmlScanner scan(
        [&](char *data, qsizetype capacity) {
            const qsizetype n = std::min(capacity, xml.size() - at);
            std::memcpy(data, xml.constData() + at, std::size_t(n));
            at += n;
            return n;
        },
        chunk);
    QString out;
    for (int guard = 0; guard < 10000; ++guard) {
        switch (scan.next()) {
        case XmlScanner::StartElement:
            out += u'<' + QString::fromUtf8(scan.name());
            for (const char *a : {"r", "t", "x:r"})
                if (!scan.attribute(a).isEmpty())
                    out += u' ' + QString::fromUtf8(a) + u'=' + QString::fromUtf8(scan.attribute(a));
            out += u'>';
            break;
        case XmlScanner::EndElement: out += u"</"_s + QString::fromUtf8(scan.name()) + u'>'; break;
        case XmlScanner::Characters: out += u'"' + QString::fromUtf8(scan.text()) + u'"'; break;
        case XmlScanner::EndDocument: return out;
        case XmlScanner::Invalid:
            switch (scan.problem()) {
            case XmlScanner::Malformed: return out + u"!malformed"_s;
            case XmlScanner::EndsEarly: return out + u"!early"_s;
            case XmlScanner::TooLong: return out + u"!long"_s;
            default: return out + u"!other"_s;
            }
        }
    }
    return out + u"!endless"_s;
}

// A zip archive of the given entries, stored deflated.
bool writeZip(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto &[name, data] : entries) {
        ok = ok && zipOpenNewFileInZip64(zip, name.constData(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                         Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, data.constData(), unsigned(data.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// Every entry of a zip archive.
QList<std::pair<QByteArray, QByteArray>> readZip(const QString &path)
{
    QList<std::pair<QByteArray, QByteArray>> entries;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return entries;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
            || unzOpenCurrentFile(zip) != UNZ_OK)
            break;
        QByteArray data(qsizetype(info.uncompressed_size), '\0');
        const int n = unzReadCurrentFile(zip, data.data(), unsigned(data.size()));
        unzCloseCurrentFile(zip);
        if (n != data.size())
            break;
        entries.append({QByteArray(name), data});
    }
    unzClose(zip);
    return entries;
}

const QByteArray SheetHead = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
const QByteArray SheetTail = "</sheetData></worksheet>";

// A one-sheet workbook; `workbookPr` goes into the workbook part, `strings` (when not empty) is the
// shared string table.
QList<std::pair<QByteArray, QByteArray>> bookParts(const QByteArray &sheet, const QByteArray &strings,
                                                   const QByteArray &workbookPr = {})
{
    QList<std::pair<QByteArray, QByteArray>> parts{
        {"_rels/.rels", R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml", R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
                                + workbookPr + R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels", R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)"},
        {"xl/worksheets/sheet1.xml", sheet}};
    if (!strings.isEmpty())
        parts.append({"xl/sharedStrings.xml", strings});
    return parts;
}

// The cells read, or "error: " and the reader's message.
QStringList readBook(const QString &path, qsizetype chunk)
{
    XlsxFormat format(chunk);
    WorkbookSheets sheets;
    int type = 0;
    if (!format.read(path, sheets, type))
        return {u"error: "_s + format.errorString()};
    Workbook book;
    book.setNumSheets(int(sheets.size()));
    for (std::size_t s = 0; s < sheets.size(); ++s)
        sheets[s]->forEachCell([&](const WorkbookSheet::CellRef &c) {
            if (c.kind == CellKind::Number)
                book.sheetAt(int(s) + 1).setNumber(c.row, c.column, c.number);
            else
                book.sheetAt(int(s) + 1).setText(c.row, c.column, c.text);
            return true;
        });
    return test::cellLines(book);
}

} // namespace

class TestXlsxReader : public QObject
{
    Q_OBJECT

private slots:
    void scanner_data();
    void scanner();
    void scannerBounds();
    void cells_data();
    void cells();
    void truncatedParts();

private:
    QTemporaryDir m_dir;
};

void TestXlsxReader::scanner_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("tokens");

    QTest::newRow("elements and text") << QByteArray(R"(<a><b r="1">x</b></a>)") << uR"(<a><b r=1>"x"</b></a>)"_s;
    QTest::newRow("prefixes") << QByteArray(R"(<x:sheetData xmlns:x="urn:x"><x:c x:r="A1" r="B2"/></x:sheetData>)")
                              << uR"(<sheetData><c r=B2 x:r=A1></c></sheetData>)"_s;
    QTest::newRow("attribute order, quotes, spaces")
        << QByteArray("<c t = 's'\n\tr=\"A1\" />") << uR"(<c r=A1 t=s></c>)"_s;
    QTest::newRow("references in attributes")
        << QByteArray(R"(<c r="a&amp;&lt;&#x41;&#66;" t="x&#10;y	z&#9;"/>)") << u"<c r=a&<AB t=x\ny z\t></c>"_s;
    QTest::newRow("references in text")
        << QByteArray("<t>&lt;&gt;&amp;&quot;&apos;&#233;&#x20AC;&#x1F600;&#X41;</t>")
        << u"<t>!malformed"_s;  // &#X is no reference: only a lower-case x
    QTest::newRow("references in text, good")
        << QByteArray("<t>&lt;&gt;&amp;&quot;&apos;&#233;&#x20ac;&#x1F600;&#0065;</t>")
        << u"<t>\"<>&\"'é€\U0001F600A\"</t>"_s;
    QTest::newRow("CDATA") << QByteArray("<t>a<![CDATA[<b>&amp;]]]>c</t>") << u"<t>\"a\"\"<b>&amp;]\"\"c\"</t>"_s;
    QTest::newRow("comments and instructions")
        << QByteArray(R"(<?xml version="1.0"?><!-- c --><a><!-- x > y - z -->b<?pi data > ? ?>c</a><!--after-->)")
        << uR"(<a>"b""c"</a>)"_s;
    QTest::newRow("line ends") << QByteArray("<t>a\r\nb\rc\r</t>") << u"<t>\"a\nb\nc\n\"</t>"_s;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF<a/>\n") << u"<a></a>"_s;
    QTest::newRow("multi-byte characters") << QByteArray("<t>é€\xF0\x9F\x98\x80</t>") << u"<t>\"é€\U0001F600\"</t>"_s;

    QTest::newRow("ends inside text") << QByteArray("<a><b>text") << u"<a><b>!early"_s;
    QTest::newRow("ends inside a tag") << QByteArray(R"(<a><b r="1)") << u"<a>!early"_s;
    QTest::newRow("ends inside a reference") << QByteArray("<a>x&am") << u"<a>!early"_s;
    QTest::newRow("ends after the root opens") << QByteArray("<a>") << u"<a>!early"_s;
    QTest::newRow("empty") << QByteArray() << u"!early"_s;
    QTest::newRow("unterminated reference") << QByteArray("<t>a &amp b</t>") << u"<t>!malformed"_s;
    QTest::newRow("undeclared entity") << QByteArray("<t>&nbsp;</t>") << u"<t>!malformed"_s;
    QTest::newRow("reference to NUL") << QByteArray("<t>&#0;</t>") << u"<t>!malformed"_s;
    QTest::newRow("reference to a surrogate") << QByteArray("<t>&#xD800;</t>") << u"<t>!malformed"_s;
    QTest::newRow("reference out of range") << QByteArray("<t>&#x110000000041;</t>") << u"<t>!malformed"_s;
    QTest::newRow("end tag mismatch") << QByteArray("<a><b></a></b>") << u"<a><b>!malformed"_s;
    QTest::newRow("attribute twice") << QByteArray(R"(<c r="1" r="2"/>)") << u"!malformed"_s;
    QTest::newRow("attribute without quotes") << QByteArray("<c r=A1/>") << u"!malformed"_s;
    QTest::newRow("attributes without space") << QByteArray(R"(<c r="1"t="2"/>)") << u"!malformed"_s;
    QTest::newRow("< in an attribute") << QByteArray(R"(<c r="<"/>)") << u"!malformed"_s;
    QTest::newRow("document type") << QByteArray("<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>") << u"!malformed"_s;
    QTest::newRow("]]> in text") << QByteArray("<t>a]]>b</t>") << u"<t>!malformed"_s;
    QTest::newRow("control character") << QByteArray("<t>a\x01</t>") << u"<t>!malformed"_s;
    QTest::newRow("bad UTF-8") << QByteArray("<t>\xC3(</t>") << u"<t>!malformed"_s;
    QTest::newRow("overlong UTF-8") << QByteArray("<t>\xC0\xBC</t>") << u"<t>!malformed"_s;
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0t\0>\0\xE9\0<\0/\0t\0>\0", 18) << u"<t>\"é\"</t>"_s;
    QTest::newRow("UTF-16 without a mark") << QByteArray("\0<\0?\0x\0m\0l\0?\0>\0<\0a\0/\0>", 22) << u"<a></a>"_s;
    QTest::newRow("Latin-1") << QByteArray("<?xml version='1.0' encoding = \"ISO-8859-1\"?><t>\xE9</t>") << u"<t>\"é\"</t>"_s;
    QTest::newRow("unknown encoding") << QByteArray("<?xml version='1.0' encoding='x-none'?><t/>") << u"!malformed"_s;
    QTest::newRow("text outside the root") << QByteArray("x<a/>") << u"!malformed"_s;
    QTest::newRow("two roots") << QByteArray("<a/><b/>") << u"<a></a>!malformed"_s;
    QTest::newRow("-- in a comment") << QByteArray("<a><!-- a -- b --></a>") << u"<a>!malformed"_s;
    QTest::newRow("< and a space") << QByteArray("<a>< b/></a>") << u"<a>!malformed"_s;
    QTest::newRow("unclosed comment") << QByteArray("<a><!-- a </a>") << u"<a>!early"_s;
}

void TestXlsxReader::scanner()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, tokens);
    // Chunks down to a byte split every tag, reference and character between two reads.
    for (const qsizetype chunk : {1, 2, 3, 5, 7, 64, 65536})
        QCOMPARE(transcript(xml, chunk), tokens);
}

// A value longer than the scanner holds is refused; comments of any length are passed over without
// being held.
void TestXlsxReader::scannerBounds()
{
    const QByteArray longText = "<t>" + QByteArray(XmlScanner::MaxToken + 1, 'x') + "</t>";
    QCOMPARE(transcript(longText, 65536), u"<t>!long"_s);
    const QByteArray longTag = "<c r=\"" + QByteArray(XmlScanner::MaxToken + 1, 'x') + "\"/>";
    QCOMPARE(transcript(longTag, 65536), u"!long"_s);
    const QByteArray longComment = "<a><!--" + QByteArray(XmlScanner::MaxToken * 2, '-').replace("--", "- ") + "--></a>";
    QCOMPARE(transcript(longComment, 65536), u"<a></a>"_s);
}

void TestXlsxReader::cells_data()
{
    QTest::addColumn<QByteArray>("sheet");    // the rows, between <sheetData> and </sheetData>
    QTest::addColumn<QByteArray>("strings");  // the shared string table, or none
    QTest::addColumn<QByteArray>("workbookPr");
    QTest::addColumn<QStringList>("cells");

    const QByteArray sst = R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" uniqueCount="3">)"
                           R"(<si><t>granite</t></si>)"
                           R"(<si><r><t>Zir</t></r><r><rPr><b/></rPr><t xml:space="preserve">con &amp; co</t></r><rPh sb="0" eb="1"><t>ジ</t></rPh><phoneticPr fontId="1"/></si>)"
                           R"(<si><t>tab_x0009_here__x0041_</t></si></sst>)";
    QTest::newRow("every cell type")
        << QByteArray(R"(<row r="1"><c r="A1"><v>1.5</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>)"
                      R"(<c r="D1" t="inlineStr"><is><r><t>in</t></r><r><rPr><i/></rPr><t>line</t></r></is></c><c r="E1" t="b"><v>1</v></c>)"
                      R"(<c r="F1" t="e"><f>1/0</f><v>#DIV/0!</v></c><c r="G1" t="d"><v>2024-01-15T12:00:00</v></c><c r="H1" s="1"/>)"
                      R"(<c r="I1"><f>1+1</f><v>2</v></c><c r="J1" t="s"><v> 2 </v></c><c r="K1" t="s"><v>0</v></c></row>)")
        << sst << QByteArray()
        << QStringList{u"1|1|1|n|1.5"_s, u"1|1|2|t|Zircon & co"_s, u"1|1|3|t|ab"_s, u"1|1|4|t|inline"_s,
                       u"1|1|5|n|1"_s, u"1|1|6|t|#DIV/0!"_s, u"1|1|7|n|45306.5"_s, u"1|1|9|n|2"_s,
                       u"1|1|10|t|tab\there_A"_s, u"1|1|11|t|granite"_s};
    QTest::newRow("1904 dates") << QByteArray(R"(<row><c t="d"><v>1904-01-02</v></c><c t="d"><v>not a date</v></c></row>)")
                                << QByteArray() << QByteArray(R"(<workbookPr date1904="1"/>)")
                                << QStringList{u"1|1|1|n|1"_s, u"1|1|2|t|not a date"_s};
    QTest::newRow("prefixes")
        << QByteArray(R"(<x:row xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" r="2"><x:c r="C2" t="s"><x:v>0</x:v></x:c></x:row>)")
        << QByteArray(R"(<x:sst xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:si><x:t>gneiss</x:t></x:si></x:sst>)")
        << QByteArray() << QStringList{u"1|2|3|t|gneiss"_s};
    QTest::newRow("rows and cells without r")
        << QByteArray(R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c><c r="E7"><v>4</v></c><c><v>5</v></c></row><row><c><v>6</v></c></row>)")
        << QByteArray() << QByteArray()
        << QStringList{u"1|1|1|n|1"_s, u"1|1|2|n|2"_s, u"1|2|1|n|3"_s, u"1|7|5|n|4"_s, u"1|7|6|n|5"_s, u"1|8|1|n|6"_s};
    QTest::newRow("comments, CDATA, references")
        << QByteArray("<!-- made by hand --><row r='1'><c r='A1' t='inlineStr'><is><t><![CDATA[<5 & >2]]>&#x20;&#955;</t></is></c>"
                      "<c t='str' r='B1'><v>a\r\nb</v></c><?keep this?><c r='C1'><v>&#x31;e3</v></c></row>")
        << QByteArray() << QByteArray() << QStringList{u"1|1|1|t|<5 & >2 λ"_s, u"1|1|2|t|a\nb"_s, u"1|1|3|n|1000"_s};

    const QStringList none;
    QTest::newRow("bad number") << QByteArray(R"(<row><c><v>1,5</v></c></row>)") << QByteArray() << QByteArray()
                                << QStringList{u"error: the sheet \"S\" has a bad number \"1,5\"."_s};
    QTest::newRow("missing shared string") << QByteArray(R"(<row><c t="s"><v>3</v></c></row>)") << sst << QByteArray()
                                           << QStringList{u"error: the sheet \"S\" refers to a missing shared string 3."_s};
    QTest::newRow("row past the last") << QByteArray(R"(<row r="1048577"><c><v>1</v></c></row>)") << QByteArray()
                                       << QByteArray() << QStringList{u"error: the sheet \"S\" has more than 1048576 rows."_s};
    QTest::newRow("column past the last") << QByteArray(R"(<row><c r="XFE1"><v>1</v></c></row>)") << QByteArray()
                                          << QByteArray()
                                          << QStringList{u"error: the sheet \"S\" has a cell outside 1048576 rows and 16384 columns."_s};
    QTest::newRow("bad reference") << QByteArray(R"(<row><c r="1A"><v>1</v></c></row>)") << QByteArray() << QByteArray()
                                   << QStringList{u"error: the sheet \"S\" has a bad cell reference \"1A\"."_s};
    QTest::newRow("unterminated entity") << QByteArray(R"(<row><c t="str"><v>a &amp b</v></c></row>)") << QByteArray()
                                         << QByteArray()
                                         << QStringList{u"error: the part xl/worksheets/sheet1.xml is not well-formed XML (byte 165: an unterminated entity reference)."_s};
    QTest::newRow("broken shared strings")
        << QByteArray(R"(<row><c t="s"><v>0</v></c></row>)") << QByteArray("<sst><si><t>a</si></sst>") << QByteArray()
        << QStringList{u"error: the part xl/sharedStrings.xml is not well-formed XML (byte 13: an end tag that does not match its start tag)."_s};
    QTest::newRow("too long a text")
        << QByteArray("<row><c t=\"inlineStr\"><is><t>" + QByteArray(600000, 'a') + "</t><t>" + QByteArray(600000, 'b')
                      + "</t></is></c></row>")
        << QByteArray() << QByteArray()
        << QStringList{u"error: the part xl/worksheets/sheet1.xml holds a value longer than 1048576 characters."_s};
}

void TestXlsxReader::cells()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, strings);
    QFETCH(QByteArray, workbookPr);
    QFETCH(QStringList, cells);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') + u".xlsx"_s);
    QVERIFY(writeZip(path, bookParts(SheetHead + sheet + SheetTail, strings, workbookPr)));
    // A chunk of 5 bytes splits most tags of the sheet between two reads from the zip entry.
    QCOMPARE(readBook(path, 5), cells);
    QCOMPARE(readBook(path, 1 << 16), cells);
}

// Sheets and shared string tables cut short, whole files cut short: a clear error each time, never
// a crash, a hang or cells made up.
void TestXlsxReader::truncatedParts()
{
    Workbook sample;
    for (int r = 1; r <= 200; ++r) {
        sample.sheetAt(1).setText(r, 1, u"row %1 – é"_s.arg(r));
        sample.sheetAt(1).setNumber(r, 2, r / 7.0);
    }
    const QString written = m_dir.filePath(u"written.xlsx"_s);
    KV_EXPECT_NO_ERROR(sample.writeWorkbook(written, FileTypeXlsx));
    const QStringList files{QStringLiteral(KV_FIXTURES_DIR "/workbook/openpyxl.xlsx"),
                            QStringLiteral(KV_FIXTURES_DIR "/workbook/inline.xlsx"), written};
    for (const QString &file : files) {
        const auto entries = readZip(file);
        QVERIFY2(!entries.isEmpty(), qPrintable(file));
        const QStringList whole = readBook(file, 1 << 16);
        QVERIFY2(!whole.value(0).startsWith(u"error"), qPrintable(whole.value(0)));
        for (qsizetype e = 0; e < entries.size(); ++e) {
            const QByteArray &name = entries[e].first;
            if (name.contains("_rels") || !(name.contains("worksheets/") || name.contains("sharedStrings")))
                continue;
            const QByteArray &data = entries[e].second;
            const qsizetype step = data.size() > 20000 ? 997 : 13;
            const qsizetype closed = data.lastIndexOf('>') + 1;  // whatever follows the root is blank
            for (qsizetype cut = 0; cut < closed; cut += step) {
                auto damaged = entries;
                damaged[e].second = data.left(cut);
                const QString path = m_dir.filePath(u"cut.xlsx"_s);
                QFile::remove(path);
                QVERIFY(writeZip(path, damaged));
                const QStringList got = readBook(path, 7);
                QVERIFY2(got.size() == 1 && got[0].startsWith(u"error: the part") && got[0].endsWith(u"ends too early."),
                         qPrintable(u"%1 %2 cut at %3: %4"_s.arg(file, QString::fromUtf8(name)).arg(cut).arg(got.join(u'\n'))));
            }
        }
        const QByteArray bytes = [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        for (qsizetype cut = 0; cut < bytes.size(); cut += 997) {
            const QString path = m_dir.filePath(u"short.xlsx"_s);
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes.left(cut));
            out.close();
            Workbook book;
            int type = 0;
            try {
                book.readWorkbook(path, type);
                QFAIL(qPrintable(u"%1 cut at %2 was read"_s.arg(file).arg(cut)));
            } catch (const FileError &) {
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestXlsxReader)
#include "tst_xlsx_reader.moc"
