// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool report summary end to end: a synthetic database's records in the PDF in query order, and the
// messages for a missing --pdf and a file that cannot be written.
#include "report_text.h"
#include "test_support.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = kv::test::ProgramRun;

Run kvtool(const QStringList &args)
{
    return kv::test::runKvtool(args);
}

} // namespace

class TestKvtoolReport : public QObject
{
    Q_OBJECT

private slots:
    void summaryOfSyntheticRecords_data();
    void summaryOfSyntheticRecords();
    void badArguments_data();
    void badArguments();
};

void TestKvtoolReport::summaryOfSyntheticRecords_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("byRecord");
    QTest::newRow("by record") << QStringList{u"--order"_s, u"1"_s} << true;
    QTest::newRow("by date") << QStringList{u"--order"_s, u"2"_s} << false;
}

void TestKvtoolReport::summaryOfSyntheticRecords()
{
    QFETCH(QStringList, options);
    QFETCH(bool, byRecord);
    kv::test::TempFolders folders;
    const Run synth = kvtool({u"synth"_s, u"--records"_s, u"40"_s});
    QVERIFY2(synth.exitCode == 0, qPrintable(synth.err));
    const QString pdf = folders.path() + u"/summary.pdf"_s;
    // The query's own output: its text first, then the count, then the pages written.
    const Run run = kvtool(QStringList{u"report"_s, u"summary"_s, u"--pref-level"_s, u"none"_s} + options +
                           QStringList{u"--pdf"_s, pdf});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(u"\n# records = 40\n# pages = "_s), qPrintable(run.out));
    QVERIFY(QFileInfo(pdf).size() > 0);

    QString error;
    const QString text = kv::test::pdfText(pdf, &error);
    QVERIFY2(!text.isEmpty(), qPrintable(error));
    QList<int> ids;
    QList<double> dates;
    static const QRegularExpression recordId(u"# (\\d+)"_s);
    for (auto it = recordId.globalMatch(text); it.hasNext();)
        ids << it.next().captured(1).toInt();
    static const QRegularExpression date(u"Date (\\d+\\.\\d)"_s);
    for (auto it = date.globalMatch(text); it.hasNext();)
        dates << it.next().captured(1).toDouble();
    QCOMPARE(ids.size(), 40);
    QCOMPARE(dates.size(), 40);
    QList<int> sortedIds = ids;
    std::sort(sortedIds.begin(), sortedIds.end());
    QCOMPARE(sortedIds.first(), 1);
    QCOMPARE(sortedIds.last(), 40);
    if (byRecord) {
        QCOMPARE(ids, sortedIds);
    } else {
        QList<double> sortedDates = dates;
        std::sort(sortedDates.begin(), sortedDates.end());
        QCOMPARE(dates, sortedDates);
        QVERIFY(ids != sortedIds);
    }
    const int pages = run.out.section(u"# pages = "_s, 1).trimmed().toInt();
    QVERIFY2(pages >= 8 && text.contains(u"Page %1"_s.arg(pages)), qPrintable(run.out));
}

void TestKvtoolReport::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no --pdf") << QStringList{u"report"_s, u"summary"_s} << 2 << u"--pdf OUT"_s;
    QTest::newRow("missing folder") << QStringList{u"report"_s, u"summary"_s, u"--pdf"_s, u"%1/none/x.pdf"_s} << 1
                                    << u"error: Cannot write %1/none/x.pdf"_s;
}

void TestKvtoolReport::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    kv::test::TempFolders folders;
    const Run synth = kvtool({u"synth"_s, u"--records"_s, u"3"_s});
    QVERIFY2(synth.exitCode == 0, qPrintable(synth.err));
    for (QString &arg : args)
        arg.replace(u"%1"_s, folders.path());
    const Run run = kvtool(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(QString(message).replace(u"%1"_s, folders.path())), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestKvtoolReport)
#include "tst_kvtool_report.moc"
