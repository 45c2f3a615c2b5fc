// SPDX-License-Identifier: GPL-3.0-or-later
// Workbooks of other programs imported with `kvtool import-sheet`, and the stratigraphic table that
// `kvtool strat` writes read back by them: what it prints and what lands in the database.
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

using test::packageListed;
using test::pythonWith;
using Run = test::ProgramRun;

Run run(const QString &program, const QStringList &args)
{
    return test::runProgram(program, args);
}

QStringList rows(Connection &c, const QString &sql)
{
    QStringList out;
    QSqlQuery q = c.exec(sql);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).isNull() ? u"-"_s : q.value(i).toString());
        out << row.join(u'|');
    }
    return out;
}

// The same sheet from each writer: two records in a new area and unit, then record 201 again.
const char *importWriters[][3] = {
    {"xlwt", "python3-xlwt", R"(
import sys, datetime, xlwt
wb = xlwt.Workbook()
ws = wb.add_sheet("Dates")
day = xlwt.easyxf(num_format_str="YYYY-MM-DD")
for c, h in enumerate(["RecordID", "Area", "Unit", "IAge", "Modified"]):
    ws.write(0, c, h)
for r, (rid, area, unit, age) in enumerate([(201, "ZAF", "Bushveld", 2054000), (202, "ZAF", "Bushveld", 2060000),
                                            (201, "ZAF", "Bushveld", 1)], 1):
    ws.write(r, 0, rid); ws.write(r, 1, area); ws.write(r, 2, unit); ws.write(r, 3, age)
    ws.write(r, 4, datetime.datetime(2023, 3, 15, 12, 0), day)
wb.save(sys.argv[1])
)"},
    {"openpyxl", "python3-openpyxl", R"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Dates"
ws.append(["RecordID", "Area", "Unit", "IAge", "Modified"])
for rid, age in ((201, 2054000), (202, 2060000), (201, 1)):
    ws.append([rid, "ZAF", "Bushveld", age, datetime.datetime(2023, 3, 15, 12, 0)])
wb.save(sys.argv[1])
)"},
};

} // namespace

#define KV_REQUIRE_PYTHON(module, package)                                                                \
    do {                                                                                                  \
        if (pythonWith(module).isEmpty()) {                                                                         \
            if (packageListed(package))                                                                   \
                QFAIL(qPrintable(u"%1 is in scripts/packages.txt but not installed"_s.arg(package)));     \
            QSKIP(qPrintable(u"%1 is not installed"_s.arg(package)));                                     \
        }                                                                                                 \
    } while (false)

class TestExchangeInterop : public QObject
{
    Q_OBJECT

private slots:
    void importSheet_data();
    void importSheet();
    void strat_data();
    void strat();
    void stratNeedsLanAlias();

private:
    test::TempFolders m_folders;
    QTemporaryDir m_dir;
};

void TestExchangeInterop::importSheet_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("suffix");
    for (const auto &w : importWriters)
        QTest::newRow(w[0]) << QString::fromUtf8(w[0]) << QString::fromUtf8(w[1]) << QString::fromUtf8(w[2])
                            << (QByteArray(w[0]) == "xlwt" ? u"xls"_s : u"xlsx"_s);
}

void TestExchangeInterop::importSheet()
{
    QFETCH(QString, module);
    QFETCH(QString, package);
    QFETCH(QString, script);
    QFETCH(QString, suffix);
    KV_REQUIRE_PYTHON(module, package);
    const QString file = m_dir.filePath(module + u'.' + suffix);
    const Run written = run(pythonWith(module), {u"-c"_s, script, file});
    QVERIFY2(written.exitCode == 0, qPrintable(written.err));

    test::TestDatabase results(u"sqlite"_s), working(u"sqlite"_s);
    createDatabases({results.location(), working.location()}, true);
    const QStringList args{u"import-sheet"_s, file,         u"--from"_s,          u"2"_s,
                           u"--to"_s,         u"4"_s,       u"--map"_s,           u"RecordID=A:N"_s,
                           u"--map"_s,        u"CountryAbr=b:T"_s, u"--map"_s,    u"UnitName=C:T"_s,
                           u"--map"_s,        u"IAge=D:N"_s, u"--map"_s,          u"DateString=E:D"_s,
                           u"--results"_s,    results.location(), u"--working"_s, working.location()};
    const Run imported = run(QStringLiteral(KV_KVTOOL), args);
    QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
    QVERIFY2(imported.out.contains(u"lookup rows added\tCountry\t1\nlookup rows added\tSuite\t1\n"_s),
             qPrintable(imported.out));
    QVERIFY2(imported.out.endsWith(u"records imported\t2\nrecords refused\t1\nrow 4: the same RecordID as row 2\n"_s),
             qPrintable(imported.out));
    QVERIFY2(imported.err.contains(u"warning: Geochronology records imported\n2 imported, 1 refused."_s),
             qPrintable(imported.err));

    Connection r(u"KVResults"_s), w(u"KVtmp"_s);
    r.bind(results.location());
    openExisting(r, DatabaseKind::Results);
    QCOMPARE(rows(r, u"select RecordID, CountryAbr, UnitName, IAge, DateString from IsoRgr30 order by 1"_s),
             (QStringList{u"201|ZAF|Bushveld|2054000|2023-03-15"_s, u"202|ZAF|Bushveld|2060000|2023-03-15"_s}));
    QCOMPARE(rows(r, u"select UnitName, CountryAbr from Suite where UnitName = 'Bushveld'"_s), QStringList{u"Bushveld|ZAF"_s});
    // The mapping is kept as the window keeps it: letters in upper case, the column numbers worked out.
    w.bind(working.location());
    openExisting(w, DatabaseKind::Working);
    QCOMPARE(rows(w, u"select FieldName, TN, ColumnLet, ColumnNo from KVImpDet where ColumnNo <> 0 order by 4"_s),
             (QStringList{u"RecordID|N|A|1"_s, u"CountryAbr|T|B|2"_s, u"UnitName|T|C|3"_s, u"IAge|N|D|4"_s,
                          u"DateString|D|E|5"_s}));

    // Again, with the mapping stored: nothing new, every row refused and named.
    const Run again = run(QStringLiteral(KV_KVTOOL), {u"import-sheet"_s, file, u"--from"_s, u"2"_s, u"--to"_s,
                                                      u"4"_s, u"--results"_s, results.location(), u"--working"_s,
                                                      working.location()});
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QVERIFY2(again.out.contains(u"lookup rows added\tCountry\t0\nlookup rows added\tSuite\t0\n"
                                u"records imported\t0\nrecords refused\t3\nrow 2: the same RecordID as a row "
                                u"already stored\n"_s),
             qPrintable(again.out));
}

void TestExchangeInterop::strat_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("script");
    QTest::newRow("xls read by xlrd") << u"xls"_s << u"xlrd"_s << u"python3-xlrd"_s << uR"(
import sys, xlrd
s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
for r in range(s.nrows):
    print("\t".join(str(v) for v in s.row_values(r)))
)"_s;
    QTest::newRow("xlsx read by openpyxl") << u"xlsx"_s << u"openpyxl"_s << u"python3-openpyxl"_s << uR"(
import sys, openpyxl
s = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
for row in s.iter_rows(values_only=True):
    print("\t".join("" if v is None else str(float(v) if isinstance(v, int) else v) for v in row))
)"_s;
}

void TestExchangeInterop::strat()
{
    QFETCH(QString, suffix);
    QFETCH(QString, module);
    QFETCH(QString, package);
    QFETCH(QString, script);
    KV_REQUIRE_PYTHON(module, package);
    test::TestDatabase results(u"sqlite"_s), working(u"sqlite"_s);
    createDatabases({results.location(), working.location()}, true);
    {
        Connection c(u"KVResults"_s);
        c.bind(results.location());
        openExisting(c, DatabaseKind::Results);
        for (const QString &sql :
             {u"insert into Country (CountryAbr, Country, CountryOffset) values ('ZAF', 'South Africa', 2)"_s,
              u"insert into Suite (UnitName, CountryAbr, GISID, FormationOffset) values ('Bushveld', 'ZAF', 7, 0.5)"_s,
              u"insert into Lithol (Lithology) values ('granite')"_s,
              u"insert into Interpretation (InterpAbr, Interpretation) values ('Em', 'Emplacement')"_s,
              u"insert into Material (MaterialAbr, MaterialDescription) values ('zr', 'zircon')"_s,
              u"insert into IsoSystem (IsoSystem, IsoSystemName) values ('UPb', 'U-Pb')"_s,
              u"insert into Approach (ApproachAbr, ApproachDescription) values ('Cr', 'Crystallisation')"_s,
              u"insert into Technique (TechAbr, Technique) values ('SH', 'SHRIMP')"_s,
              u"insert into Methods (MethodAbr, MethodName) values ('P', 'Published')"_s,
              u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, IAge, IAgePError, IAgeMError, PrefLevel, "
              u"Lithology, MaterialAbr, IsotopeSystem, ApproachAbr, InterpAbr, TechAbr, MethodAbr) values "
              u"(1, 'ZAF', 'Bushveld', 2054500, 1500, 2500, 3, 'granite', 'zr', 'UPb', 'Cr', 'Em', 'SH', 'P')"_s})
            c.exec(sql);
    }
    const QString out = m_dir.filePath(u"strat."_s + suffix);
    const Run made = run(QStringLiteral(KV_KVTOOL), {u"strat"_s, u"--pref-level"_s, u"none"_s, u"--results"_s,
                                                     results.location(), u"--working"_s, working.location(), out});
    QVERIFY2(made.exitCode == 0, qPrintable(made.err));
    QVERIFY2(made.out.endsWith(u"rows written\t1\n"_s), qPrintable(made.out));
    const Run read = run(pythonWith(module), {u"-c"_s, script, out});
    QVERIFY2(read.exitCode == 0, qPrintable(read.err));
    QCOMPARE(read.out.split(u'\n', Qt::SkipEmptyParts),
             (QStringList{u"Country\tCountryOffset\tUnitName\tUnitOffset\tInterpretation\tRank\tDate\t+95%\t-95%\t"
                          u"Material\tIsotopeSystem\tApproach\tTechnique\tCountry+Unit Offset\t"
                          u"Country+Unit Offset 2\tCountry+Unit Offset 3\tGIS ID\tMethod"_s,
                          u"South Africa\t2.0\tBushveld\t0.5\tEmplacement\t3.0\t2054.5\t1.5\t2.5\tzircon\tU-Pb\t"
                          u"Crystallisation\tSHRIMP\t2.5\t0.0\t0.0\t7.0\tPublished"_s}));
}

void TestExchangeInterop::stratNeedsLanAlias()
{
    // The table is read through the KVLAN alias when no database is named: without it, a clear error and
    // no file.
    const DatabaseLocations locations = defaultLocations();
    createDatabases(locations, true);
    QFile aliases(m_folders.configDir() + u"/kvaliases.ini"_s);
    QVERIFY(aliases.open(QIODevice::WriteOnly));
    aliases.write("[Aliases]\nKVResults=" + locations.results.toUtf8() + "\nKVtmp=" + locations.working.toUtf8() +
                  "\n");
    aliases.close();
    const QString out = m_dir.filePath(u"no-alias.xls"_s);
    const Run made = run(QStringLiteral(KV_KVTOOL), {u"strat"_s, u"--pref-level"_s, u"none"_s, out});
    QVERIFY(made.exitCode != 0);
    QVERIFY2(made.err.contains(u"The database alias KVLAN is not defined in "_s), qPrintable(made.err));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestExchangeInterop)
#include "tst_exchange_interop.moc"
