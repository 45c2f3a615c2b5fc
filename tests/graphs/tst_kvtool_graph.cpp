// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool graph date end to end on the demo database: the panel printed, the spreadsheet and charts written,
// the questions answered from the command line.
#include "controls/workbook.h"
#include "test_support.h"

#include <QDir>
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

class TestKvtoolGraph : public QObject
{
    Q_OBJECT

private slots:
    void dateGraphOnDemo();
    void badType();
    void ratiosAndClosureOnDemo();
};

void TestKvtoolGraph::dateGraphOnDemo()
{
    kv::test::TempFolders folders;
    const Run demo = kvtool({u"demo"_s});
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.err));

    const QDir dir(folders.path());
    const QString sheet = dir.filePath(u"graph.xlsx"_s);
    const Run run = kvtool({u"--no"_s, u"graph"_s, u"date"_s, u"--province"_s, u"Tanzania Craton"_s,
                            u"--province"_s, u"Dharwar Craton"_s, u"--save"_s, sheet, u"--images"_s,
                            dir.filePath(u"charts"_s)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    // More dates than the plot space: asked twice (date chart, radial plot) and for each province series.
    QVERIFY2(run.err.contains(u"question: Maximum records exceeds"_s), qPrintable(run.err));
    QVERIFY(run.err.contains(u"[No]"_s));
    // The panel as the window shows it: a mean with two decimals, a probability with three.
    const QStringList lines = run.out.split(u'\n');
    const auto line = [&](const QString &label) {
        for (const QString &l : lines)
            if (l.startsWith(label + u'\t'))
                return l.mid(label.size() + 1);
        return QString();
    };
    QVERIFY2(QRegularExpression(u"^ \\d+\\.\\d\\d$"_s).match(line(u"Mean"_s)).hasMatch(), qPrintable(run.out));
    QVERIFY(QRegularExpression(u"^ \\d+\\.\\d\\d\tMa   \\(95% confidence\\)$"_s).match(line(u"+/-"_s)).hasMatch());
    QVERIFY(QRegularExpression(u"^ \\d\\.\\d\\d\\d$"_s).match(line(u"Probability of fit"_s)).hasMatch());
    // The row beside the panel: all four figures defined on the demo's dates, which scatter far more
    // than their errors (p(chi2) 0), and a bandwidth for the first group.
    QVERIFY(QRegularExpression(u"^ \\d+\\.\\d\\d$"_s).match(line(u"MSWD (conventional)"_s)).hasMatch());
    QCOMPARE(line(u"p(chi2)"_s), u" 0.000"_s);
    QVERIFY2(QRegularExpression(u"^ \\d+\\.\\d\\d\t\\+/-\t \\d+\\.\\d\\d\tMa   \\(1 sigma\\)$"_s)
                 .match(line(u"Dispersion"_s))
                 .hasMatch(),
             qPrintable(run.out));
    QVERIFY(line(u"Mean with overdispersion"_s).endsWith(u"\tMa   (1 sigma)"_s));
    QVERIFY2(QRegularExpression(u"^Emplacement\t\\d+\\.\\d\\d\tMa$"_s).match(line(u"Kernel density bandwidth"_s)).hasMatch(),
             qPrintable(run.out));

    kv::Workbook workbook;
    int type = 0;
    workbook.readWorkbook(sheet, type);
    QCOMPARE(type, int(kv::FileTypeXlsx));
    workbook.setRow(1);
    workbook.setCol(1);
    QCOMPARE(workbook.text(), u"Emplacement"_s);
    workbook.setCol(11);
    QCOMPARE(workbook.text(), u"Tanzania Craton"_s);
    workbook.setCol(13);
    QCOMPARE(workbook.text(), u"Dharwar Craton"_s);
    workbook.setCol(15); // the kernel densities after the two series
    QVERIFY2(workbook.text().startsWith(u"Emplacement: kernel density, bandwidth "_s), qPrintable(workbook.text()));
    QCOMPARE(workbook.maxRow(), 513);

    for (const QString &name : {u"interpretation"_s, u"interpretation_histogram"_s, u"kernel_density"_s,
                                u"radial_plot"_s, u"grouping"_s, u"grouping_histogram"_s}) {
        const QFileInfo png(dir.filePath(u"charts/"_s + name + u".png"_s));
        QVERIFY2(png.exists() && png.size() > 10000, qPrintable(png.filePath()));
    }
}

void TestKvtoolGraph::badType()
{
    kv::test::TempFolders folders;
    const Run run = kvtool({u"graph"_s, u"date"_s, u"--save"_s, u"x.xls"_s, u"--type"_s, u"pdf"_s});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains(u"--type pdf"_s));
}

void TestKvtoolGraph::ratiosAndClosureOnDemo()
{
    kv::test::TempFolders folders;
    const Run demo = kvtool({u"demo"_s});
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.err));
    const QDir dir(folders.path());
    const QStringList provinces{u"--province"_s, u"Tanzania Craton"_s, u"--province"_s, u"Dharwar Craton"_s};

    // Grouped ratios: the demo's initial ratios give points, every record of the query is listed.
    const QString sheet = dir.filePath(u"ratios.xls"_s);
    Run run = kvtool(QStringList{u"--yes"_s, u"graph"_s, u"ratios-grouped"_s} + provinces +
                     QStringList{u"--plot"_s, u"2:Date (Ma),Epsilon/Gamma"_s, u"--save"_s, sheet, u"--images"_s,
                                 dir.filePath(u"charts"_s)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    const QRegularExpression plot(u"^plot 2\\tDate \\(Ma\\) vs Epsilon/Gamma \\(T\\)\\t(\\d+) points\\t(\\d+) listed$"_s,
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = plot.match(run.out);
    QVERIFY2(m.hasMatch(), qPrintable(run.out));
    QVERIFY(m.captured(1).toInt() > 10);
    QVERIFY(run.out.contains(u"# series by Province"_s));
    kv::Workbook workbook;
    int type = 0;
    workbook.readWorkbook(sheet, type);
    QCOMPARE(type, 11);
    workbook.setSheet(2);
    workbook.setRow(1);
    workbook.setCol(6);
    QCOMPARE(workbook.text(), u"X date +/- 95%"_s);
    QCOMPARE(workbook.maxRow() - 1, m.captured(2).toInt());
    QVERIFY(QFileInfo(dir.filePath(u"charts/plot2.png"_s)).size() > 10000);

    // Closure temperatures: a series per province, the listing written.
    const QString listing = dir.filePath(u"closure.csv"_s);
    run = kvtool(QStringList{u"--yes"_s, u"graph"_s, u"closure"_s} + provinces + QStringList{u"--save"_s, listing});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY2(QRegularExpression(u"^series 2\\tDharwar Craton\\t[1-9]\\d* points$"_s,
                                QRegularExpression::MultilineOption)
                 .match(run.out)
                 .hasMatch(),
             qPrintable(run.out));
    workbook.readWorkbook(listing, type);
    workbook.setRow(2);
    workbook.setCol(9);
    QCOMPARE(workbook.number(), 900.0); // the first Tanzania record is a zircon

    // An axis that is no variable is refused with the variables there are.
    run = kvtool({u"graph"_s, u"ratios"_s, u"--plot"_s, u"1:Date (Ma),Ratio"_s});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(u"\"Ratio\" is no variable"_s) && run.err.contains(u"Initial ratio"_s),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestKvtoolGraph)
#include "tst_kvtool_graph.moc"
