// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool's command line as a user meets it: --help and --version, usage errors and their exit codes
// (0 done, 1 failed, 2 bad usage), and an unknown option named with the verb's usage.
#include "test_support.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = kv::test::ProgramRun;

Run kvtool(const QStringList &args)
{
    return kv::test::runKvtool(args, 60000);
}

// The verbs `kvtool --help` lists, with their usage.
QMap<QString, QString> listedVerbs()
{
    QMap<QString, QString> verbs;
    const Run help = kvtool({u"--help"_s});
    for (const QString &text : help.out.split(u'\n')) {
        if (!text.startsWith(u"  kvtool "_s))
            continue;
        // A verb's words are the lower-case ones before the first argument of its usage.
        const QStringList words = text.mid(9).split(u' ');
        QStringList verb;
        for (const QString &word : words) {
            if (word.isEmpty() || word.startsWith(u'-') || word.startsWith(u'[') || word != word.toLower() ||
                word.contains(u'|'))
                break;
            verb << word;
        }
        verbs.insert(verb.join(u' '), text.mid(9 + verb.join(u' ').size()).trimmed());
    }
    return verbs;
}

} // namespace

class TestKvtoolUsage : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void everyVerb_data();
    void everyVerb();
};

void TestKvtoolUsage::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutText");
    QTest::addColumn<QString>("stderrText");

    const QString version = u"kvtool " KELVORA_VERSION "\n"_s;
    QTest::newRow("--help") << QStringList{u"--help"_s} << 0 << u"  kvtool synth --records N"_s << QString();
    QTest::newRow("-h") << QStringList{u"-h"_s} << 0 << u"  kvtool demo ["_s << QString();
    QTest::newRow("--version") << QStringList{u"--version"_s} << 0 << version << QString();
    QTest::newRow("nothing") << QStringList{} << 2 << QString() << u"usage: kvtool"_s;
    QTest::newRow("unknown verb") << QStringList{u"frobnicate"_s, u"--force"_s} << 2 << QString()
                                  << u"error: Unknown verb: frobnicate\n"_s;
    QTest::newRow("unknown option before the verb") << QStringList{u"--frob"_s, u"demo"_s} << 2 << QString()
                                                    << u"error: Unknown option: --frob\n"_s;
    QTest::newRow("verb --help") << QStringList{u"synth"_s, u"--help"_s} << 0
                                 << u"usage: kvtool synth --records N [--smnd-samples N"_s << QString();
    QTest::newRow("two-word verb -h") << QStringList{u"calc"_s, u"wmean"_s, u"-h"_s} << 0
                                      << u"usage: kvtool calc wmean FILE"_s << QString();
    QTest::newRow("--help among other arguments")
        << QStringList{u"--yes"_s, u"record"_s, u"delete"_s, u"7"_s, u"--help"_s} << 0
        << u"usage: kvtool record delete ID"_s << QString();
    // Before the check the ID would have been "--frob", and the message about a bad record number.
    QTest::newRow("unknown option where an ID goes")
        << QStringList{u"record"_s, u"show"_s, u"--frob"_s, u"5"_s} << 2 << QString()
        << u"error: Unknown option: --frob\nusage: kvtool record show ID [--results LOC]"_s;
    QTest::newRow("unknown option=value") << QStringList{u"demo"_s, u"--resutls=x.sqlite"_s} << 2 << QString()
                                          << u"error: Unknown option: --resutls\nusage: kvtool demo"_s;
    QTest::newRow("flag given a value") << QStringList{u"demo"_s, u"--force=1"_s} << 2 << QString()
                                        << u"error: Unknown option: --force=1\n"_s;
    QTest::newRow("option without its value") << QStringList{u"query"_s, u"--area"_s} << 2 << QString()
                                              << u"error: Option --area needs a value.\nusage: kvtool query"_s;
    QTest::newRow("extra argument") << QStringList{u"calc"_s, u"t95"_s, u"5"_s, u"6"_s} << 2 << QString()
                                    << u"error: Unexpected argument: 6\nusage: kvtool calc t95 DF"_s;
    // A value that starts with dashes belongs to its option; a negative number is no option.
    QTest::newRow("value looking like an option")
        << QStringList{u"record"_s, u"show"_s, u"1"_s, u"--results"_s, u"--no-such.sqlite"_s} << 1 << QString()
        << u"--no-such.sqlite"_s;
    QTest::newRow("negative number")
        << QStringList{u"calc"_s, u"model-age"_s, u"1.42e-11"_s, u"0.7"_s, u"-0.5"_s, u"0"_s, u"0.71"_s, u"0.1"_s}
        << 0 << u"age "_s << QString();
    QTest::newRow("failure is 1") << QStringList{u"record"_s, u"show"_s, u"1"_s, u"--results"_s, u"/nonexistent/r.sqlite"_s}
                                  << 1 << QString() << u"does not exist"_s;
    // The options a verb reads must be in its usage, or the check refuses them.
    QTest::newRow("record new takes --results")
        << QStringList{u"record"_s, u"new"_s, u"--results"_s, u"/nonexistent/r.sqlite"_s} << 1 << QString()
        << u"does not exist"_s;
}

void TestKvtoolUsage::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutText);
    QFETCH(QString, stderrText);
    kv::test::TempFolders folders;
    const Run run = kvtool(args);
    QVERIFY2(run.exitCode == exitCode, qPrintable(u"exit %1\n%2%3"_s.arg(run.exitCode).arg(run.out, run.err)));
    if (!stdoutText.isEmpty())
        QVERIFY2(run.out.contains(stdoutText), qPrintable(run.out));
    if (!stderrText.isEmpty())
        QVERIFY2(run.err.contains(stderrText), qPrintable(run.err));
    // Help goes to standard output, errors to standard error.
    if (exitCode == 0)
        QVERIFY2(!run.err.contains(u"usage"_s), qPrintable(run.err));
}

void TestKvtoolUsage::everyVerb_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("usage");
    const QMap<QString, QString> verbs = listedVerbs();
    QVERIFY(verbs.contains(u"demo"_s) && verbs.contains(u"calc wmean"_s) && verbs.contains(u"graph date"_s));
    for (auto it = verbs.cbegin(); it != verbs.cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
}

// Each verb, the ones added later too, answers --help with its usage and names an unknown option.
void TestKvtoolUsage::everyVerb()
{
    QFETCH(QString, verb);
    QFETCH(QString, usage);
    kv::test::TempFolders folders;
    const QStringList words = verb.split(u' ');
    const QString usageLine = u"usage: kvtool "_s + verb + u' ' + usage + u'\n';

    const Run help = kvtool(words + QStringList{u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    QCOMPARE(help.out, usageLine);

    const Run bad = kvtool(words + QStringList{u"--no-such-option"_s});
    QCOMPARE(bad.exitCode, 2);
    // Qt may have warned about the window system first.
    QVERIFY2(bad.err.endsWith(u"error: Unknown option: --no-such-option\n"_s + usageLine), qPrintable(bad.err));
    QVERIFY(bad.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestKvtoolUsage)
#include "tst_kvtool_usage.moc"
