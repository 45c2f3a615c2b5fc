// SPDX-License-Identifier: GPL-3.0-or-later
// CSV files as Excel, Notepad and other programs write them: UTF-8 with or without a byte-order mark,
// UTF-16 in either byte order, and Windows-1252, all read to the same text.
#include "controls/workbook.h"
#include "core/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestCsvEncodings : public QObject
{
    Q_OBJECT

private slots:
    void encodings_data();
    void encodings();
    void characterAcrossChunks();
    void demoSeedFile();

private:
    QTemporaryDir m_dir;
};

namespace {

// Reads a file; the message of a refusal fails the test.
bool read(Workbook &book, const QString &path)
{
    try {
        int type = 0;
        book.readWorkbook(path, type);
        return type == FileTypeCsv;
    } catch (const Error &e) {
        qWarning("%s", qPrintable(e.message()));
        return false;
    }
}

QString cell(Workbook &book, int row, int column)
{
    book.setRow(row);
    book.setCol(column);
    return book.text();
}

QByteArray utf16(const QString &text, bool littleEndian, bool bom)
{
    QByteArray bytes;
    if (bom)
        bytes += littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xff), high = char(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

} // namespace

void TestCsvEncodings::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString text = u"Unit,Age\nCafé “Ma” – 5 €,1500\n"_s;
    QTest::newRow("UTF-8") << text.toUtf8();
    QTest::newRow("UTF-8 with a byte-order mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QTest::newRow("UTF-16 LE with a byte-order mark") << utf16(text, true, true);
    QTest::newRow("UTF-16 BE with a byte-order mark") << utf16(text, false, true);
    QTest::newRow("UTF-16 LE without one") << utf16(text, true, false);
    QTest::newRow("UTF-16 BE without one") << utf16(text, false, false);
    QTest::newRow("Windows-1252") << QByteArray("Unit,Age\nCaf\xE9 \x93Ma\x94 \x96 5 \x80,1500\n");
}

void TestCsvEncodings::encodings()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(u"sheet.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    Workbook book;
    QVERIFY(read(book, path));
    QCOMPARE(cell(book, 1, 1), u"Unit"_s);
    QCOMPARE(cell(book, 2, 1), u"Café “Ma” – 5 €"_s);
    QCOMPARE(cell(book, 2, 2), u"1500"_s);
    QCOMPARE(book.number(), 1500.0);
}

void TestCsvEncodings::characterAcrossChunks()
{
    // The file is read a mebibyte at a time: a character whose bytes fall on both sides still reads.
    QByteArray bytes(1 << 20, 'a');
    bytes[(1 << 20) - 2] = ',';
    bytes[(1 << 20) - 1] = '\xC3';
    bytes += "\xA9z\n";
    const QString path = m_dir.filePath(u"long.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    Workbook book;
    QVERIFY(read(book, path));
    QCOMPARE(cell(book, 1, 2), u"éz"_s);
}

void TestCsvEncodings::demoSeedFile()
{
    // The demo's compilation, as it was published: Windows-1252 with an en dash in "U–Pb".
    Workbook book;
    QVERIFY(read(book, QStringLiteral(KV_SOURCE_DIR "/data/demo/Itmagzir_upb.csv")));
    QVERIFY(book.maxRow() > 600);
    bool dash = false;
    for (int row = 1; row <= book.maxRow() && !dash; ++row)
        for (int column = 1; column <= 20 && !dash; ++column)
            dash = cell(book, row, column).contains(u"U–Pb"_s);
    QVERIFY(dash);
}

QTEST_GUILESS_MAIN(TestCsvEncodings)
#include "tst_csv_encodings.moc"
