// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the built kvtool's record verbs on a small database.
#include "data/connection.h"
#include "data/installation.h"
#include "test_support.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestKvtoolRecord : public QObject
{
    Q_OBJECT

private slots:
    void verbs_data() { test::addBackendRows(); }
    void verbs();
};

namespace {

using Run = test::ProgramRun;

Run kvtool(const QStringList &args, const DatabaseLocations &at)
{
    return test::runKvtool(args + QStringList{u"--results"_s, at.results, u"--working"_s, at.working}, 30000);
}

} // namespace

void TestKvtoolRecord::verbs()
{
    QFETCH(QString, backend);
    test::TempFolders folders;
    test::TestDatabase results(backend), working(backend);
    const DatabaseLocations at{results.location(), working.location()};
    createDatabases(at, true);
    {
        Connection r(u"fill"_s);
        r.bind(at.results);
        r.open();
        r.exec(
            u"insert into IsoRgr30 (RecordID, IsotopeSystem, UnitName, IAge) values (5576, 'Rb-Sr', 'Bushveld', 2054000)"_s);
        r.exec(
            u"insert into IsoRgr30 (RecordID, IsotopeSystem, UnitName, IAge) values (5663, 'U-Pb', 'Nelspruit', 3105000)"_s);
        r.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo) values (5576, 'Rb-Sr', 'B-1')"_s);
        r.exec(u"insert into Province (RecordID, Province) values (5663, 'Kaapvaal Craton')"_s);
    }
    QCOMPARE(kvtool({u"record"_s, u"next-id"_s}, at).out, u"5664\n"_s);

    Run run = kvtool({u"record"_s, u"new"_s, u"--date"_s, u"12.3456"_s, u"--area"_s, u"ZAF"_s}, at);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, u"5664\n"_s);
    run = kvtool({u"record"_s, u"show"_s, u"5664"_s}, at);
    QVERIFY2(run.out.contains(u"IAge: 12346\n"_s), qPrintable(run.out));
    QVERIFY(run.out.contains(u"CountryAbr: ZAF\n"_s));
    QVERIFY(run.out.contains(u"Grouping=NEW"_s));

    run = kvtool({u"record"_s, u"tdm"_s, u"5663"_s}, at);
    QCOMPARE(run.out, u"5665\n"_s);
    QVERIFY(run.err.contains(u"information: Record added"_s));
    run = kvtool({u"record"_s, u"show"_s, u"5665"_s}, at);
    QVERIFY(run.out.contains(u"IsotopeSystem: SmNd\n"_s));
    QVERIFY(run.out.contains(u"Province=Kaapvaal Craton"_s));

    // without an answer the question is refused and nothing is deleted
    run = kvtool({u"record"_s, u"delete"_s, u"5576"_s}, at);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains(u"question: Are you sure you want to delete this record?"_s));
    QVERIFY(kvtool({u"record"_s, u"show"_s, u"5576"_s}, at).out.contains(u"SampleNo=B-1"_s));
    run = kvtool({u"--yes"_s, u"record"_s, u"delete"_s, u"5576"_s}, at);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, u"deleted record 5576\n"_s);
    run = kvtool({u"record"_s, u"show"_s, u"5576"_s}, at);
    QVERIFY(run.exitCode != 0);
    QVERIFY(run.err.contains(u"There is no record 5576"_s));
    run = kvtool({u"record"_s, u"show"_s, u"x"_s}, at);
    QVERIFY(run.exitCode != 0);
    QVERIFY(run.err.contains(u"whole number"_s));
}

QTEST_GUILESS_MAIN(TestKvtoolRecord)
#include "tst_kvtool_record.moc"
