// SPDX-License-Identifier: GPL-3.0-or-later
// Workbooks written by other programs (openpyxl, xlwt, LibreOffice), imported by `kvimport --read`
// as a batch user runs it, without a display: what it prints and what lands in the database.
#include "core/ini_file.h"
#include "importer_sheets.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

using test::packageListed;
using test::pythonWith;
using Run = test::ProgramRun;

QString kvimport()
{
    return QFileInfo(QStringLiteral(KV_KVTOOL)).absoluteDir().filePath(u"kvimport"_s);
}

/// kvimport with no display at all: the batch mode must not need one.
Run runKvimport(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.remove(u"QT_QPA_PLATFORM"_s);
    return test::runProgram(kvimport(), args, 120000, env);
}

QStringList rows(Connection &c, const QString &sql)
{
    QStringList values;
    QSqlQuery q = c.exec(sql);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).isNull() ? QString() : test::valueText(q.value(i)));
        values << row.join(u'|');
    }
    return values;
}

} // namespace

#define KV_REQUIRE_TOOL(found, package)                                                                   \
    do {                                                                                                  \
        if (!(found)) {                                                                                   \
            if (packageListed(package))                                                                   \
                QFAIL(qPrintable(u"%1 is in scripts/packages.txt but not installed"_s.arg(package)));     \
            QSKIP(qPrintable(u"%1 is not installed"_s.arg(package)));                                     \
        }                                                                                                 \
    } while (false)

class TestImporterInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openpyxlRecords();
    void xlwtRawData();
    void libreOfficeLocalitiesAndUnits();
    void batchArguments_data();
    void batchArguments();

private:
    Run read(const QString &reader, const QString &file, const QStringList &more = {});

    test::TempFolders m_folders;
    QTemporaryDir m_dir;
    std::unique_ptr<test::TestDatabase> m_db;
    std::unique_ptr<Connection> m_results;
};

void TestImporterInterop::initTestCase()
{
    QVERIFY2(QFile::exists(kvimport()), qPrintable(kvimport()));
    m_db = std::make_unique<test::TestDatabase>(u"sqlite"_s);
    m_results = test::createDatabase(*m_db, DatabaseKind::Results);
}

Run TestImporterInterop::read(const QString &reader, const QString &file, const QStringList &more)
{
    return runKvimport(QStringList{u"--read"_s, reader, file, u"--results"_s, m_db->location()} + more);
}

void TestImporterInterop::openpyxlRecords()
{
    const QString python = pythonWith(u"openpyxl"_s);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-openpyxl"_s);
    const QString file = m_dir.filePath(u"records.xlsx"_s);
    QProcess p;
    p.start(python, {u"-c"_s, uR"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Records"
ws.append(["RecordID", "IAge", "Age", "CountryAbr", "UnitName", "PrefLevel", "IAgePError", "DateString", "Comment"])
ws.append([101, 2054000, 2054.0, "ZAF", "Bushveld Complex", 3, 2000, datetime.datetime(2024, 1, 15, 12, 0), "Grüße"])
ws.append([102, 1500, 1.5, None, None, None, None, None, None])
ws.append([103, None, 7.0, "BWA"])
ws.append([None, 800, 0.8, "NAM"])
ws.append([104, 1000, 1.0, "MOZ"])  # after the gap in column A: not read
wb.save(sys.argv[1])
)"_s, file});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    // Row 5 has no RecordID in column A, so the last-row search ends at row 4 and row 6 is not read;
    // row 4 has no IAge and is removed.
    const Run run = read(u"records"_s, file);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(u"Sheet 1 \"Records\", rows 2 to 4\n"_s), qPrintable(run.out));
    QVERIFY2(run.out.contains(u"Rows read: 3\nRemoved by cleaning: 1\nStored: 2\nRefused: 0\n"_s), qPrintable(run.out));
    QVERIFY(run.err.contains(u"information: 2 rows stored, 0 refused."_s));
    QCOMPARE(rows(*m_results, u"select RecordID, IAge, Age, CountryAbr, UnitName, PrefLevel, IAgePError, "
                              u"MaterialAbr, DateString, Comment from IsoRgr30 order by RecordID"_s),
             (QStringList{u"101|2054000|2054|ZAF|Bushveld Complex|3|2000|nd|2024-01-15|Grüße"_s,
                          u"102|1500|1.5|UND|UNDEFINED|0|100000|nd||"_s}));

    // The same sheet again: every row is a RecordID already stored, so each is refused and named.
    const Run again = read(u"records"_s, file);
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.contains(u"Stored: 0\nRefused: 2\n  row 2: "_s), qPrintable(again.out));
    QVERIFY(again.out.contains(u"\n  row 3: "_s));
}

void TestImporterInterop::xlwtRawData()
{
    const QString python = pythonWith(u"xlwt"_s);
    KV_REQUIRE_TOOL(!python.isEmpty(), u"python3-xlwt"_s);
    const QString file = m_dir.filePath(u"raw.xls"_s);
    QProcess p;
    p.start(python, {u"-c"_s, uR"(
import sys, xlwt
wb = xlwt.Workbook()
for name, rows in (("RbSr", [["L1", "wr", 0.5, 0.7123, 1.2, 3]]),
                   ("SmNd", [["M1", "px", 0.14, "NA", 0.5126, None], ["M2", "cpx", None, 2, 0.5131, 5]])):
    ws = wb.add_sheet(name)
    for c, h in enumerate(["SampleNo", "Frac", "Sm147Nd144", "Nd143Nd144", "Sm", "SmNF"]):
        ws.write(0, c, h)
    for r, row in enumerate(rows, 1):
        for c, v in enumerate(row):
            if v is not None:
                ws.write(r, c, v)
wb.save(sys.argv[1])
)"_s, file});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const Run run = read(u"raw"_s, file, {u"--sheet"_s, u"2"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(u"Sheet 2 \"SmNd\", rows 2 to 3\nRows read: 40\nRemoved by cleaning: 36\nStored: 4\n"_s),
             qPrintable(run.out));
    QCOMPARE(rows(*m_results, u"select SampleNo, Frac, IsoSystem, VariableID, DataValue, NormalisingFactor "
                              u"from SmpData order by SampleNo, VariableID"_s),
             (QStringList{u"M1|px|SmNd|Sm|0.5126|10000"_s, u"M1|px|SmNd|Sm147Nd144|0.14|10000"_s,
                          u"M2|cpx|SmNd|Nd143Nd144|2|10000"_s, u"M2|cpx|SmNd|Sm|0.5131|5"_s}));
}

void TestImporterInterop::libreOfficeLocalitiesAndUnits()
{
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    KV_REQUIRE_TOOL(!soffice.isEmpty(), u"libreoffice-calc-nogui"_s);
    const QString localities = m_dir.filePath(u"localities.csv"_s);
    const QString units = m_dir.filePath(u"units.csv"_s);
    {
        QFile f(localities);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("SampleNo,Latitude,Longitude,Elevation,Remarks\nK1,-25.75,28.19,1339,ok\nK2,,31.5,,none\n"
                "K3,NA,30,12,\n");
        QFile g(units);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write("UnitName,UnitRank,CountryAbr,GISID\nBushveld Complex,Cmplx,ZAF,17\nKaroo Supergroup,SGp,,\n");
    }
    const QString out = m_dir.filePath(u"lo"_s);
    QProcess p;
    p.start(soffice, {u"--headless"_s, u"-env:UserInstallation=file://"_s + m_dir.filePath(u"profile"_s),
                      u"--convert-to"_s, u"xls:MS Excel 97"_s, u"--outdir"_s, out, localities, units});
    QVERIFY(p.waitForFinished(180000));
    QVERIFY2(QFile::exists(out + u"/localities.xls"_s), p.readAllStandardError().constData());

    const Run run = read(u"localities"_s, out + u"/localities.xls"_s);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(u"Rows read: 3\nRemoved by cleaning: 0\nStored: 3\nRefused: 0\n"_s), qPrintable(run.out));
    QCOMPARE(rows(*m_results, u"select SampleNo, Latitude, Longitude, Elevation from SmpLoc order by SampleNo"_s),
             (QStringList{u"K1|-25.75|28.19|1339"_s, u"K2|900000|31.5|0"_s, u"K3|900000|30|12"_s}));

    const Run unitRun = read(u"units"_s, out + u"/units.xls"_s);
    QVERIFY2(unitRun.exitCode == 0, qPrintable(unitRun.err));
    QCOMPARE(rows(*m_results, u"select UnitName, UnitRank, CountryAbr, GISID from Suite order by UnitName"_s),
             (QStringList{u"Bushveld Complex|Cmplx|ZAF|17"_s, u"Karoo Supergroup|SGp|UND|"_s}));
}

void TestImporterInterop::batchArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no reader") << QStringList{u"--read"_s} << 2 << u"--read needs a value"_s;
    QTest::newRow("unknown reader") << QStringList{u"--read"_s, u"links"_s, u"x.xls"_s} << 2
                                    << u"There is no reader \"links\""_s;
    QTest::newRow("no file") << QStringList{u"--read"_s, u"raw"_s} << 2 << u"usage: kvimport --read"_s;
    QTest::newRow("sheet 0") << QStringList{u"--read"_s, u"raw"_s, u"x.xls"_s, u"--sheet"_s, u"0"_s} << 2
                             << u"--sheet takes a sheet number from 1."_s;
    QTest::newRow("missing workbook") << QStringList{u"--read"_s, u"units"_s, u"/nonexistent/x.xls"_s} << 1
                                      << u"x.xls"_s;
    QTest::newRow("missing database")
        << QStringList{u"--read"_s, u"units"_s, u"x.xls"_s, u"--results"_s, u"/nonexistent/db"_s} << 1
        << u"/nonexistent/db"_s;
}

void TestImporterInterop::batchArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    if (!args.contains(u"--results"_s) && exitCode == 1)
        args << u"--results"_s << m_db->location();
    const Run run = runKvimport(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.out, QString());
}

QTEST_GUILESS_MAIN(TestImporterInterop)
#include "tst_importer_interop.moc"
