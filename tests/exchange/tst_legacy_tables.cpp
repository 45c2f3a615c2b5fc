// SPDX-License-Identifier: GPL-3.0-or-later
// The Paradox and dBase readers: the real Paradox tables of the shared data read field for field (with
// pxlib as the second reader where it is installed), hand-made tables of every field type and blob
// place, dBase files written by other programs, and damaged files answered by a clear error.
#include "core/errors.h"
#include "exchange/dbase_table.h"
#include "exchange/legacy_table.h"
#include "paradox_writer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef KV_HAVE_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

using namespace Qt::StringLiterals;
using namespace kv;
using namespace kv::test;

// A read that must succeed; a kv::Error fails the test with its message.
#define KV_READS(call)                                                                              \
    do {                                                                                            \
        try {                                                                                       \
            call;                                                                                   \
        } catch (const kv::Error &e) {                                                              \
            QFAIL(qPrintable(e.message()));                                                         \
        }                                                                                           \
    } while (false)

namespace {

const QString paradoxData = QStringLiteral(KV_SOURCE_DIR "/../shared/data/paradox");

QString dataDir()
{
    // The shared data sit beside the checkout; CI lays them out the same way.
    for (const QString &dir : {paradoxData, QStringLiteral(KV_SOURCE_DIR "/../../shared/data/paradox"),
                               u"/work/shared/data/paradox"_s})
        if (QFileInfo::exists(dir + u"/CUSTOMER.DB"_s))
            return dir;
    return {};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString show(const QVariant &v)
{
    if (v.isNull())
        return u"<blank>"_s;
    if (v.typeId() == QMetaType::QByteArray)
        return u"bytes:"_s + QString::fromLatin1(v.toByteArray().toHex());
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    if (v.typeId() == QMetaType::QTime)
        return v.toTime().toString(u"HH:mm:ss.zzz"_s);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss.zzz"_s);
    return v.toString();
}

// The fields of every type, as one record of a hand-made table holds them.
struct TypedValue
{
    PxField field;
    QByteArray stored;
    QString expected;
};

QList<TypedValue> everyType()
{
    return {
        {{"Alpha", 0x01, 12}, pxAlpha("granite", 12), u"granite"_s},
        {{"Date", 0x02, 4}, pxDate(QDate(1996, 5, 4)), u"1996-05-04"_s},
        {{"Short", 0x03, 2}, pxInteger(-2, 2), u"-2"_s},
        {{"Long", 0x04, 4}, pxInteger(-70000, 4), u"-70000"_s},
        {{"Money", 0x05, 8}, pxDouble(-12.25), u"-12.25"_s},
        {{"Number", 0x06, 8}, pxDouble(2541.5), u"2541.5"_s},
        {{"Zero", 0x06, 8}, pxDouble(0), u"0"_s},
        {{"Yes", 0x09, 1}, QByteArray(1, char(0x81)), u"true"_s},
        {{"No", 0x09, 1}, QByteArray(1, char(0x80)), u"false"_s},
        {{"Time", 0x14, 4}, pxInteger(13 * 3600000 + 5 * 60000 + 7 * 1000 + 250, 4), u"13:05:07.250"_s},
        {{"Stamp", 0x15, 8}, pxDouble((QDate(2001, 2, 3).toJulianDay() - 1721425) * 86400000.0 + 3600000.0 + 500),
         u"2001-02-03 01:00:00.500"_s},
        {{"Counter", 0x16, 4}, pxInteger(416, 4), u"416"_s},
        {{"Bcd", 0x17, 2}, pxBcd("12345", 2, false), u"123.45"_s},
        {{"NegBcd", 0x17, 3}, pxBcd("7250", 3, true), u"-7.25"_s},
        {{"Bytes", 0x18, 3}, QByteArray("\x01\x02\x03", 3), u"bytes:010203"_s},
        {{"Blank", 0x06, 8}, QByteArray(8, '\0'), u"<blank>"_s},
        {{"BlankText", 0x01, 5}, QByteArray(5, '\0'), u"<blank>"_s},
    };
}

} // namespace

class TestLegacyTables : public QObject
{
    Q_OBJECT

private slots:
    void realParadoxTables_data();
    void realParadoxTables();
    void secondReader_data();
    void secondReader();
    void everyFieldType_data();
    void everyFieldType();
    void blobs();
    void codePages_data();
    void codePages();
    void damagedParadox_data();
    void damagedParadox();
    void everyCutOfATable();
    void dbaseFromOtherWriters_data();
    void dbaseFromOtherWriters();
    void damagedDbase_data();
    void damagedDbase();

private:
    QTemporaryDir m_dir;
};

void TestLegacyTables::realParadoxTables_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("records");
    QTest::addColumn<QStringList>("firstRecord"); // field=value for the fields named

    QTest::newRow("CUSTOMER (7, memo file)")
        << u"CUSTOMER.DB"_s << u"Paradox 7"_s << 1252 << 20
        << QStringList{u"CustNo=1"_s, u"FirstName=Luke"_s, u"LastName=Justice"_s, u"City=Santa Cruz"_s,
                       u"Comments=<blank>"_s, u"DateEntered=1996-02-02"_s};
    QTest::newRow("CONTACTS (7)") << u"CONTACTS.DB"_s << u"Paradox 7"_s << 437 << 55 << QStringList{};
    QTest::newRow("AMOUNT (3: dates, currency, a zero)")
        << u"MTDEMO/AMOUNT.DB"_s << u"Paradox 3"_s << 437 << 50
        << QStringList{u"Date=1989-01-01"_s, u"Customer #=1332"_s, u"Total Rental Fee=3.5"_s,
                       u"Sales Tax Rate=5"_s, u"Sales Tax Amount=0.16999999999999998"_s, u"Store State=NV"_s};
    QTest::newRow("KRENTAL (3, 18 blocks)") << u"MTDEMO/KRENTAL.DB"_s << u"Paradox 3"_s << 437 << 198 << QStringList{};
    QTest::newRow("RENTAL (3, a free block)") << u"MTDEMO/RENTAL.DB"_s << u"Paradox 3"_s << 437 << 198 << QStringList{};
    QTest::newRow("EMPLOYEE (3, short integers)") << u"MTDEMO/EMPLOYEE.DB"_s << u"Paradox 3"_s << 437 << 21 << QStringList{};
    QTest::newRow("CUSTOMER of MTDEMO (3, A240)") << u"MTDEMO/CUSTOMER.DB"_s << u"Paradox 3"_s << 437 << 28 << QStringList{};
}

void TestLegacyTables::realParadoxTables()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(int, codePage);
    QFETCH(int, records);
    QFETCH(QStringList, firstRecord);
    const QString dir = dataDir();
    if (dir.isEmpty())
        QSKIP("the shared Paradox tables are not beside the checkout");
    LegacyTable table;
    KV_READS(table = readLegacyTable(dir + u'/' + file));
    QCOMPARE(table.format, format);
    QCOMPARE(table.codePage, codePage);
    QCOMPARE(int(table.rows.size()), records);
    for (const QString &pair : firstRecord) {
        const QString name = pair.section(u'=', 0, 0);
        const int index = table.fieldIndex(name);
        QVERIFY2(index >= 0, qPrintable(name));
        QCOMPARE(name + u'=' + show(table.rows.front()[index]), pair);
    }
}

void TestLegacyTables::secondReader_data()
{
    QTest::addColumn<QString>("file");
    const QString dir = dataDir();
    for (const QString &sub : {u""_s, u"MTDEMO/"_s})
        for (const QString &name : QDir(dir + u'/' + sub).entryList({u"*.DB"_s}, QDir::Files))
            QTest::newRow(qPrintable(sub + name)) << sub + name;
}

// pxlib reads every field but the blobs (it aborts on real memo files, so it is never given one).
void TestLegacyTables::secondReader()
{
#ifndef KV_HAVE_PXLIB
    QSKIP("pxlib (pxlib-dev) is not installed");
#else
    QFETCH(QString, file);
    const QString path = dataDir() + u'/' + file;
    LegacyTable ours;
    KV_READS(ours = readLegacyTable(path));

    pxdoc_t *px = PX_new();
    QVERIFY(px);
    QCOMPARE(PX_open_file(px, QFile::encodeName(path).constData()), 0);
    QCOMPARE(PX_get_num_records(px), int(ours.rows.size()));
    int fieldCount = 0;
    pxfield_t *fields = PX_get_fields(px);
    fieldCount = px->px_head->px_numfields;
    QCOMPARE(fieldCount, int(ours.fields.size()));
    int compared = 0;
    for (int r = 0; r < int(ours.rows.size()); ++r) {
        pxval_t **values = PX_retrieve_record(px, r);
        QVERIFY(values);
        for (int f = 0; f < fieldCount; ++f) {
            const pxval_t *v = values[f];
            const QVariant &mine = ours.rows[std::size_t(r)][f];
            const int type = fields[f].px_ftype;
            QString theirs;
            bool skip = false;
            if (v->isnull) {
                theirs = u"<blank>"_s;
            } else {
                switch (type) {
                case pxfAlpha: theirs = QString::fromLatin1(v->value.str.val, v->value.str.len); break;
                case pxfDate:
                    theirs = QDate::fromJulianDay(1721425 + v->value.lval).toString(Qt::ISODate);
                    break;
                case pxfShort:
                case pxfLong:
                case pxfAutoInc: theirs = QString::number(v->value.lval); break;
                case pxfCurrency:
                case pxfNumber: theirs = QString::number(v->value.dval, 'g', 17); break;
                case pxfLogical: theirs = v->value.lval ? u"true"_s : u"false"_s; break;
                default: skip = true;
                }
            }
            if (skip)
                continue;
            QString mineText = show(mine);
            // pxlib gives the stored bytes of a text; ASCII compares as it is, other bytes as '?'.
            if (type == pxfAlpha && !v->isnull) {
                for (QChar &c : theirs)
                    if (c.unicode() > 0x7F)
                        c = u'?';
                for (QChar &c : mineText)
                    if (c.unicode() > 0x7F)
                        c = u'?';
            }
            // pxlib gives a blank (all-zero) number or date as 0.
            const bool zero = type == pxfCurrency || type == pxfNumber ? v->value.dval == 0 : v->value.lval == 0;
            if (mineText == u"<blank>" && !v->isnull && type != pxfAlpha && (zero || theirs.isEmpty()))
                theirs = mineText;
            if (mineText != theirs)
                QFAIL(qPrintable(u"record %1, field %2: ours %3, pxlib %4"_s.arg(r + 1)
                                     .arg(ours.fields[f].name, mineText, theirs)));
            ++compared;
        }
        for (int f = 0; f < fieldCount; ++f) {
            if (values[f]->type == pxfAlpha && values[f]->value.str.val)
                px->free(px, values[f]->value.str.val);
            px->free(px, values[f]);
        }
        px->free(px, values);
    }
    PX_close(px);
    PX_delete(px);
    QVERIFY(compared > 0);
#endif
}

void TestLegacyTables::everyFieldType_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("Paradox 3") << 0x03;
    QTest::newRow("Paradox 4") << 0x09;
    QTest::newRow("Paradox 5") << 0x0B;
    QTest::newRow("Paradox 7") << 0x0C;
}

void TestLegacyTables::everyFieldType()
{
    QFETCH(int, version);
    QList<PxField> fields;
    QByteArray record;
    for (const TypedValue &t : everyType()) {
        fields << t.field;
        record += t.stored;
    }
    // Several blocks' worth of records, the last one different.
    QList<QByteArray> records(60, record);
    QByteArray last = record;
    last.replace(0, 12, pxAlpha("basalt", 12));
    records << last;
    const QString path = m_dir.filePath(u"types.db"_s);
    writeFile(path, paradoxTable(fields, records, version));
    LegacyTable table;
    KV_READS(table = readLegacyTable(path));
    QCOMPARE(int(table.rows.size()), 61);
    const QList<TypedValue> expected = everyType();
    for (int f = 0; f < expected.size(); ++f) {
        QCOMPARE(table.fields[f].name, QString::fromLatin1(expected[f].field.name));
        QCOMPARE(show(table.rows[0][f]), expected[f].expected);
    }
    QCOMPARE(table.rows.back()[0].toString(), u"basalt"_s);
}

void TestLegacyTables::blobs()
{
    // A memo in its leader, one in a block of its own, two short ones sharing a block, a picture, a
    // memo file missing; the leader holds the first bytes of every memo.
    PxMemoFile mb;
    const QByteArray longMemo = QByteArray("Granite of the Bushveld Complex; ").repeated(200);
    const QByteArray shortMemo = "Dated by U-Pb on zircon, 95% confidence.";
    const QByteArray picture("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const quint32 single = mb.addSingle(longMemo);
    const quint32 shortOne = mb.addShort(shortMemo);
    const quint32 pictureAt = mb.addShort(picture);
    const QList<PxField> fields{{"Id", 0x03, 2}, {"Comment", 0x0C, 30}, {"Graphic", 0x10, 10}};
    const QList<QByteArray> records{
        pxInteger(1, 2) + pxBlob("short memo", 20, 0) + pxBlob({}, 0, 0),
        pxInteger(2, 2) + pxBlob(longMemo, 20, single) + pxBlob(picture, 0, pictureAt),
        pxInteger(3, 2) + pxBlob(shortMemo, 20, shortOne) + pxBlob({}, 0, 0),
    };
    const QString path = m_dir.filePath(u"memos.DB"_s);
    writeFile(path, paradoxTable(fields, records));
    writeFile(m_dir.filePath(u"memos.MB"_s), mb.data());
    LegacyTable table;
    KV_READS(table = readLegacyTable(path));
    QCOMPARE(table.rows[0][1].toString(), u"short memo"_s);
    QVERIFY(table.rows[0][2].isNull());
    QCOMPARE(table.rows[1][1].toString(), QString::fromLatin1(longMemo));
    QCOMPARE(table.rows[1][2].toByteArray(), picture);
    QCOMPARE(table.rows[2][1].toString(), QString::fromLatin1(shortMemo));

    QFile::remove(m_dir.filePath(u"memos.MB"_s));
    try {
        readLegacyTable(path);
        QFAIL("a missing memo file was not reported");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(u"memos.MB, which is missing"_s), qPrintable(e.message()));
    }
}

void TestLegacyTables::codePages_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fieldName");
    QTest::newRow("DOS 437") << 437 << QByteArray("Ma\xa7") << QByteArray("Ni\xa4o, 5\xf8") << u"Niño, 5°"_s << u"Maº"_s;
    QTest::newRow("DOS 850") << 850 << QByteArray("Ma\xa7") << QByteArray("Z\x81rich \xd4") << u"Zürich È"_s << u"Maº"_s;
    QTest::newRow("Windows 1252") << 1252 << QByteArray("M\xe9") << QByteArray("U\x96Pb \xb1") << u"U–Pb ±"_s << u"Mé"_s;
    QTest::newRow("DOS 866") << 866 << QByteArray("\x8c\xa0") << QByteArray("\x83\xe0\xa0\xad\xa8\xe2") << u"Гранит"_s
                             << u"Ма"_s;
}

void TestLegacyTables::codePages()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    QFETCH(QString, fieldName);
    const QString path = m_dir.filePath(u"codepage.db"_s);
    writeFile(path, paradoxTable({{name, 0x01, 20}, {"Memo", 0x0C, 30}},
                                 {pxAlpha(stored, 20) + pxBlob(stored, 20, 0)}, 0x0C, codePage));
    LegacyTable table;
    KV_READS(table = readLegacyTable(path));
    QCOMPARE(table.codePage, codePage);
    QCOMPARE(table.rows[0][0].toString(), text);
    QCOMPARE(table.rows[0][1].toString(), text);
    QCOMPARE(table.fields[0].name, fieldName);
}

void TestLegacyTables::damagedParadox_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("reason");

    const QList<PxField> fields{{"Id", 0x04, 4}, {"Name", 0x01, 10}, {"Memo", 0x0C, 11}};
    QList<QByteArray> records;
    for (int i = 0; i < 150; ++i)
        records << pxInteger(i, 4) + pxAlpha("x", 10) + pxBlob("m", 1, 0);
    const QByteArray good = paradoxTable(fields, records);
    const int blocks = qFromLittleEndian<quint16>(good.constData() + 0x0C);
    QVERIFY(blocks > 2);
    auto with16 = [](QByteArray b, qsizetype at, int v) {
        qToLittleEndian(quint16(v), b.data() + at);
        return b;
    };
    auto with32 = [](QByteArray b, qsizetype at, quint32 v) {
        qToLittleEndian(v, b.data() + at);
        return b;
    };
    const qsizetype block2 = 0x800 + 0x400;

    QTest::newRow("missing") << QByteArray() << u"does not exist"_s;
    QTest::newRow("empty") << QByteArray("") << u"is empty"_s;
    QTest::newRow("header cut short") << good.left(40) << u"header is cut short"_s;
    QTest::newRow("last block cut off") << good.left(good.size() - 0x400) << u"past the end of the file"_s;
    QTest::newRow("block cut short") << good.left(good.size() - 0x200) << u"is cut short"_s;
    QTest::newRow("blocks loop") << with16(good, block2, 1) << u"loops at block 1"_s;
    QTest::newRow("block far away") << with16(good, block2, 4000) << u"block 4000 lies past the end"_s;
    QTest::newRow("more records than counted") << with32(good, 6, 100) << u"more records than its header counts"_s;
    QTest::newRow("fewer records than counted") << with32(good, 6, 400) << u"counts 400 records, its blocks hold 150"_s;
    QTest::newRow("record offset not a record") << with16(good, block2 + 4, 7) << u"block 2 is damaged"_s;
    QTest::newRow("unknown field type") << with16(good, 0x78, 0x0477) << u"unknown type code 119"_s;
    QTest::newRow("field size against its type") << with16(good, 0x78, 0x0304) << u"has size 3, where its type takes 4"_s;
    QTest::newRow("record size against the fields") << with16(good, 0, 30) << u"its fields take 25 bytes, its records 30"_s;
    QTest::newRow("index file") << QByteArray(good).replace(4, 1, "\x01") << u"index file"_s;
    QTest::newRow("unknown version") << QByteArray(good).replace(0x39, 1, "\x42") << u"version code 66"_s;
    QTest::newRow("unknown block size") << QByteArray(good).replace(5, 1, "\x07") << u"block size code 7"_s;
    QTest::newRow("password") << with32(good, 0x5C, 0x12345678) << u"protected with a password"_s;
    QTest::newRow("unknown code page") << with16(good, 0x6A, 4242) << u"code page 4242"_s;
    QTest::newRow("field names cut") << good.left(0x78 + 6 + 4 + 12 + 261 + 3) << u"header size 2048 does not fit"_s;
    QTest::newRow("memo longer than its leader, no memo file")
        << QByteArray(good).replace(0x800 + 6 + 14 + 5, 1, "\x05") << u"longer than its leader"_s;
    QTest::newRow("memo in a missing memo file")
        << with32(good, 0x800 + 6 + 14 + 1, 0x10FF) << u"which is missing"_s;
    QTest::newRow("text named .DB") << QByteArray("RecordID,Age\n1,2\n").repeated(10) << u"not a readable Paradox table"_s;
}

void TestLegacyTables::damagedParadox()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(u"damaged.DB"_s);
    QFile::remove(path);
    if (!content.isNull())
        writeFile(path, content);
    try {
        readLegacyTable(path);
        QFAIL("the damaged table was read");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
}

// Every length of a small table with a memo file: the reader answers each with the table or a
// FileError, never with a crash or a hang.
void TestLegacyTables::everyCutOfATable()
{
    PxMemoFile mb;
    const quint32 at = mb.addShort("a memo longer than its leader");
    const QByteArray mbBytes = mb.data();
    const QByteArray db = paradoxTable({{"Id", 0x03, 2}, {"Memo", 0x0C, 11}, {"When", 0x15, 8}},
                                       {pxInteger(1, 2) + pxBlob("a memo longer than its leader", 1, at) + pxDouble(1e11)});
    const QString path = m_dir.filePath(u"cut.DB"_s);
    int read = 0;
    for (qsizetype n = 0; n <= db.size(); n += 7) {
        writeFile(path, db.left(n));
        for (const qsizetype m : {qsizetype(0), qsizetype(100), mbBytes.size() - 1, mbBytes.size()}) {
            writeFile(m_dir.filePath(u"cut.MB"_s), mbBytes.left(m));
            try {
                readLegacyTable(path);
                ++read;
            } catch (const FileError &) {
            }
        }
    }
    QVERIFY(read > 0); // the whole table with its whole memo file
}

void TestLegacyTables::dbaseFromOtherWriters_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("script"); // run with the output folder as its argument
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QStringList>("rows"); // a record per line, fields joined by |

    const QString dbfRows = uR"(
import dbf, sys, os
os.chdir(sys.argv[1])
t = dbf.Table('samples.dbf', 'sampleno C(15); age N(8,2); dated D; ok L; notes M', dbf_type='%1', codepage='%2')
t.open(dbf.READ_WRITE)
t.append(('Zoë-1', 1234.5, dbf.Date(2001, 2, 3), True, 'U±Pb zircon; ' * 60))
t.append(('MG-2', -0.25, None, False, 'short'))
t.append(('deleted', 1, None, None, ''))
t.append(('MG-3', None, dbf.Date(1999, 12, 31), None, ''))
dbf.delete(t[2])
t.close()
)"_s;
    const QStringList expected{
        u"Zoë-1|1234.5|2001-02-03|true|"_s + u"U±Pb zircon; "_s.repeated(60).trimmed(),
        u"MG-2|-0.25|<blank>|false|short"_s,
        u"MG-3|<blank>|1999-12-31|<blank>|<blank>"_s,
    };
    QTest::newRow("python3-dbf, dBase III, cp1252") << u"dbf"_s << dbfRows.arg(u"db3"_s, u"cp1252"_s)
                                                    << u"samples.dbf"_s << u"dBase III"_s << 1252 << expected;
    QTest::newRow("python3-dbf, dBase III, cp850") << u"dbf"_s << dbfRows.arg(u"db3"_s, u"cp850"_s)
                                                   << u"samples.dbf"_s << u"dBase III"_s << 850
                                                   << expected;
    QTest::newRow("python3-dbf, FoxPro, cp1252") << u"dbf"_s << dbfRows.arg(u"vfp"_s, u"cp1252"_s)
                                                 << u"samples.dbf"_s << u"FoxPro"_s << 1252 << expected;

    const QString csv = u"sampleno,age,dated\nZoë-1,1234.5,2001-02-03\nMG-2,-0.25,\n"_s;
    const QString ogr = uR"(
import sys, os, subprocess
os.chdir(sys.argv[1])
open('in.csv', 'w', encoding='utf-8').write(%1)
open('in.csvt', 'w').write('String(15),Real(8.2),Date')
subprocess.check_call(['ogr2ogr', '-f', 'ESRI Shapefile', '-lco', 'ENCODING=%2', 'out.dbf', 'in.csv'])
)"_s;
    QTest::newRow("ogr2ogr, UTF-8 (.cpg)") << u"ogr2ogr"_s << ogr.arg(u"'''"_s + csv + u"'''"_s, u"UTF-8"_s)
                                           << u"out.dbf"_s << u"dBase III"_s << 65001
                                           << QStringList{u"Zoë-1|1234.5|2001-02-03"_s, u"MG-2|-0.25|<blank>"_s};
    QTest::newRow("ogr2ogr, ISO-8859-1") << u"ogr2ogr"_s << ogr.arg(u"'''"_s + csv + u"'''"_s, u"ISO-8859-1"_s)
                                         << u"out.dbf"_s << u"dBase III"_s << 28591
                                         << QStringList{u"Zoë-1|1234.5|2001-02-03"_s, u"MG-2|-0.25|<blank>"_s};
}

void TestLegacyTables::dbaseFromOtherWriters()
{
    QFETCH(QString, tool);
    QFETCH(QString, script);
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(int, codePage);
    QFETCH(QStringList, rows);
    QString python;
    for (const QString &candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        QProcess p;
        p.start(candidate, {u"-c"_s, tool == u"dbf" ? u"import dbf"_s : u"pass"_s});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0) {
            python = candidate;
            break;
        }
    }
    if (python.isEmpty() || (tool == u"ogr2ogr" && QStandardPaths::findExecutable(u"ogr2ogr"_s).isEmpty()))
        QSKIP(qPrintable(tool + u" is not installed (python3-dbf, gdal-bin)"_s));
    QTemporaryDir dir;
    QProcess p;
    p.start(python, {u"-c"_s, script, dir.path()});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());

    LegacyTable table;
    KV_READS(table = readLegacyTable(dir.filePath(file)));
    QCOMPARE(table.format, format);
    QCOMPARE(table.codePage, codePage);
    QStringList got;
    for (const QVariantList &row : table.rows) {
        QStringList fields;
        for (const QVariant &v : row)
            fields << show(v).trimmed();
        got << fields.join(u'|');
    }
    QCOMPARE(got, rows);
}

void TestLegacyTables::damagedDbase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    // Two fields, C(5) and N(4,1), two records.
    QByteArray header(32 + 2 * 32 + 1, '\0');
    header[0] = 0x03;
    qToLittleEndian(quint32(2), header.data() + 4);
    qToLittleEndian(quint16(header.size()), header.data() + 8);
    qToLittleEndian(quint16(1 + 5 + 4), header.data() + 10);
    header[29] = 0x03;
    std::memcpy(header.data() + 32, "NAME", 4);
    header[32 + 11] = 'C';
    header[32 + 16] = 5;
    std::memcpy(header.data() + 64, "AGE", 3);
    header[64 + 11] = 'N';
    header[64 + 16] = 4;
    header[64 + 17] = 1;
    header[96] = 0x0D;
    const QByteArray good = header + " abc  12.5 de   -1.0\x1A";

    QTest::newRow("empty") << QByteArray("") << u"is empty"_s;
    QTest::newRow("header cut short") << good.left(20) << u"header is cut short"_s;
    QTest::newRow("records cut short") << good.left(good.size() - 8) << u"counts 2 records, its file holds fewer"_s;
    QTest::newRow("unknown version") << QByteArray(good).replace(0, 1, "\x77") << u"version byte 119"_s;
    QTest::newRow("unknown field type") << QByteArray(good).replace(64 + 11, 1, "Q") << u"unknown type Q"_s;
    QTest::newRow("fields wider than the record") << QByteArray(good).replace(64 + 16, 1, "\x40") << u"its fields take"_s;
    QTest::newRow("not a number") << QByteArray(good).replace(header.size() + 6, 4, "1x.5") << u"holds \"1x.5\" in field AGE"_s;
    QTest::newRow("damaged record mark") << QByteArray(good).replace(header.size(), 1, "#") << u"record 1 is damaged"_s;
    QTest::newRow("unknown language driver code page") << QByteArray(good).replace(29, 1, QByteArray(1, '\0')) << u""_s;
    QTest::newRow("memo file missing")
        << QByteArray(good).replace(0, 1, "\x83").replace(64 + 11, 1, "M").replace(header.size() + 6, 4, "   1")
        << u"memo file damaged.DBT, which is missing"_s;
}

void TestLegacyTables::damagedDbase()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(u"damaged.DBF"_s);
    writeFile(path, content);
    try {
        const LegacyTable table = readLegacyTable(path);
        // No language driver: DOS 437, and the file reads.
        QVERIFY2(reason.isEmpty(), "the damaged table was read");
        QCOMPARE(table.codePage, 437);
        QCOMPARE(table.rows[1][1].toDouble(), -1.0);
    } catch (const FileError &e) {
        QVERIFY2(!reason.isEmpty() && e.message().contains(reason), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestLegacyTables)
#include "tst_legacy_tables.moc"
