// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the built kvtool's calc verbs on the command line.
// average.csv (fixtures/calc, see its README) holds 28 206Pb/238U ages with errors from IsoplotR's examples.
// Expected figures were computed with python3 and mpmath 1.3: the weighted mean and its errors at 30 digits
// from the file's values, the F tail with mpmath.betainc (the continued fraction stops at 3e-7, so the
// routine agrees to about 1e-8).
#include "test_support.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

class TestKvtoolCalc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void verbs_data();
    void verbs();

private:
    QTemporaryDir m_dir;
};

void TestKvtoolCalc::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile malformed(m_dir.filePath(u"malformed.csv"_s));
    QVERIFY(malformed.open(QIODevice::WriteOnly));
    malformed.write("age,sigma\n100,1\n101;2\n");
    malformed.close();
    QFile headerOnly(m_dir.filePath(u"empty.csv"_s));
    QVERIFY(headerOnly.open(QIODevice::WriteOnly));
    headerOnly.write("age,sigma\n");
}

void TestKvtoolCalc::verbs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("keys"); // the first word of each output line; "" for a bare number
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("relativeTolerance");
    QTest::addColumn<QString>("stderrText");

    const QString average = QStringLiteral(KV_FIXTURES_DIR) + u"/calc/average.csv"_s;
    QTest::newRow("wmean") << QStringList{u"calc"_s, u"wmean"_s, average} << 0
                           << QStringList{u"mean"_s, u"internal_error"_s,    u"external_error"_s, u"mswd"_s,
                                          u"n"_s,    u"probability_of_fit"_s}
                           << QList<double>{249.921178687791433,
                                            0.329613281138832435,
                                            0.386810782591788796,
                                            1.30718473816663197,
                                            28,
                                            0.135938327274309720}
                           << 2e-9 << QString();
    QTest::newRow("fprob") << QStringList{u"calc"_s, u"fprob"_s, u"9"_s, u"999"_s, u"1"_s} << 0
                           << QStringList{u""_s} << QList<double>{0.438101736301224513} << 1e-8 << QString();
    QTest::newRow("fprob out of range goes on")
        << QStringList{u"calc"_s, u"fprob"_s, u"1"_s, u"1"_s, u"-3"_s} << 0 << QStringList{u""_s}
        << QList<double>{0} << 0.0 << u"message: Input parameter for betai out of range"_s;
    // The approximation against the exact 4.30265 of the t distribution (mpmath).
    QTest::newRow("t95") << QStringList{u"calc"_s, u"t95"_s, u"2"_s} << 0 << QStringList{u""_s}
                         << QList<double>{4.30265272974946385} << 1e-4 << QString();
    QTest::newRow("model-age linear with error")
        << QStringList{u"calc"_s,   u"model-age"_s, u"6.54e-12"_s, u"0.512638"_s, u"0.1967"_s, u"0"_s,
                       u"0.5115"_s, u"0.11"_s,      u"--sy"_s,     u"0.00001"_s,  u"--sx"_s,   u"0.001"_s}
        << 0 << QStringList{u"age"_s, u"error"_s} << QList<double>{1993.93349315054602, 15.0936058908079855}
        << 1e-10 << QString();
    QTest::newRow("model-age fails") << QStringList{u"calc"_s,   u"model-age"_s, u"6.54e-12"_s, u"0"_s,
                                                    u"0.1967"_s, u"0"_s,         u"0.5115"_s,   u"0.11"_s}
                                     << 0 << QStringList{u"age"_s} << QList<double>{-9999.99} << 0.0
                                     << QString();

    const QString missing = m_dir.filePath(u"missing.csv"_s);
    QTest::newRow("missing file") << QStringList{u"calc"_s, u"wmean"_s, missing} << 1 << QStringList()
                                  << QList<double>() << 0.0 << missing;
    QTest::newRow("malformed line") << QStringList{u"calc"_s, u"wmean"_s, m_dir.filePath(u"malformed.csv"_s)}
                                    << 1 << QStringList() << QList<double>() << 0.0
                                    << u"malformed.csv, line 3: expected two numbers"_s;
    QTest::newRow("no dates") << QStringList{u"calc"_s, u"wmean"_s, m_dir.filePath(u"empty.csv"_s)} << 1
                              << QStringList() << QList<double>() << 0.0 << u"holds no dates"_s;
    QTest::newRow("bad number") << QStringList{u"calc"_s, u"fprob"_s, u"9"_s, u"x"_s, u"1"_s} << 2
                                << QStringList() << QList<double>() << 0.0 << u"DF2 is not a number: \"x\""_s;
    QTest::newRow("missing argument") << QStringList{u"calc"_s, u"t95"_s} << 2 << QStringList()
                                      << QList<double>() << 0.0 << u"Missing arguments: expected DF."_s;
    QTest::newRow("division by zero")
        << QStringList{u"calc"_s,   u"model-age"_s, u"6.54e-12"_s, u"0.512638"_s,
                       u"0.1967"_s, u"0"_s,         u"0.5115"_s,   u"0.1967"_s}
        << 1 << QStringList() << QList<double>() << 0.0
        << u"Floating-point fault in ModelAge: division by zero."_s;
}

void TestKvtoolCalc::verbs()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, keys);
    QFETCH(QList<double>, values);
    QFETCH(double, relativeTolerance);
    QFETCH(QString, stderrText);

    QProcess tool;
    tool.start(QStringLiteral(KV_KVTOOL), args);
    QVERIFY(tool.waitForFinished(30000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit, qPrintable(err));
    QVERIFY2(tool.exitCode() == exitCode, qPrintable(out + err));
    if (!stderrText.isEmpty())
        QVERIFY2(err.contains(stderrText), qPrintable(err));

    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), keys.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList words = lines[i].split(u' ');
        if (!keys[i].isEmpty()) {
            QCOMPARE(words.size(), 2);
            QCOMPARE(words.takeFirst(), keys[i]);
        }
        bool ok = false;
        const double value = words.first().toDouble(&ok);
        QVERIFY2(ok, qPrintable(lines[i]));
        QVERIFY2(std::fabs(value - values[i]) <= relativeTolerance * std::fabs(values[i]),
                 qPrintable(lines[i]));
    }
}

QTEST_GUILESS_MAIN(TestKvtoolCalc)
#include "tst_kvtool_calc.moc"
