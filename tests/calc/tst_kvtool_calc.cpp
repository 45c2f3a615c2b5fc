// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the built kvtool's calc verbs on the command line.
// average.csv (fixtures/calc, see its README) holds 28 206Pb/238U ages with errors from IsoplotR's examples.
// Expected figures were computed with python3 and mpmath 1.3: the weighted mean and its errors at 30 digits
// from the file's values, the F tail with mpmath.betainc (the continued fraction stops at 3e-7, so the
// routine agrees to about 1e-8), the chi-square tail with mpmath.gammainc, the random-effects mean by
// mpmath.findroot on the gradient of the likelihood and its errors from mpmath.diff's Hessian, the kernel
// density bandwidth by the same steps at 30 digits (findroot for the fixed point) and the density at a
// point as mpmath's sum of normal densities.
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
    void kde_data();
    void kde();

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
    headerOnly.close();
    QFile one(m_dir.filePath(u"one.csv"_s));
    QVERIFY(one.open(QIODevice::WriteOnly));
    one.write("100,1\n");
    one.close();
    QFile equal(m_dir.filePath(u"equal.csv"_s));
    QVERIFY(equal.open(QIODevice::WriteOnly));
    equal.write("age\n250\n250\n250\n");
}

void TestKvtoolCalc::verbs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("keys"); // the words before the first number of each line; "" for none
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("relativeTolerance");
    QTest::addColumn<QString>("stderrText");

    const QString average = QStringLiteral(KV_FIXTURES_DIR) + u"/calc/average.csv"_s;
    QTest::newRow("wmean") << QStringList{u"calc"_s, u"wmean"_s, average} << 0
                           << QStringList{u"mean"_s,
                                          u"internal_error"_s,
                                          u"external_error"_s,
                                          u"mswd"_s,
                                          u"n"_s,
                                          u"probability_of_fit"_s,
                                          u"MSWD (conventional)"_s,
                                          u"p(chi2)"_s,
                                          u"mean (random effects)"_s,
                                          u"dispersion"_s}
                           << QList<double>{249.921178687791433, 0.329613281138832435, 0.386810782591788796,
                                            1.30718473816663197, 28,                   0.135938327274309720,
                                            1.360130595374105,   0.100344734477131130, 249.923106791442106,
                                            0.400846005520203436, 1.03666226401008254, 0.510623566102809988}
                           << 2e-9 << QString();
    // One date: no scatter to measure, and a line saying so.
    QTest::newRow("wmean one date")
        << QStringList{u"calc"_s, u"wmean"_s, m_dir.filePath(u"one.csv"_s)} << 0
        << QStringList{u"mean"_s, u"internal_error"_s, u"external_error"_s, u"mswd"_s, u"n"_s,
                       u"probability_of_fit"_s}
        << QList<double>{100, 1, 0, 0, 1, 1} << 1e-12 << QString();
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
    QTest::newRow("kde of equal ages") << QStringList{u"calc"_s, u"kde"_s, m_dir.filePath(u"equal.csv"_s)} << 2
                                       << QStringList() << QList<double>() << 0.0
                                       << u"needs two different ages"_s;
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

    // Each line is words, then numbers (a second one after "+/-"); lines starting with # are comments.
    QStringList gotKeys;
    QList<double> got;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'#'))
            continue;
        QStringList words = line.split(u' ');
        QStringList key;
        bool ok = false;
        while (!words.isEmpty()) {
            words.first().toDouble(&ok);
            if (ok)
                break;
            key << words.takeFirst();
        }
        QVERIFY2(!words.isEmpty() && (words.size() == 1 || (words.size() == 3 && words[1] == u"+/-")),
                 qPrintable(line));
        gotKeys << key.join(u' ');
        got << words.first().toDouble();
        if (words.size() == 3) {
            got << words[2].toDouble(&ok);
            QVERIFY2(ok, qPrintable(line));
        }
    }
    QCOMPARE(gotKeys, keys);
    QCOMPARE(got.size(), values.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(std::fabs(got[i] - values[i]) <= relativeTolerance * std::fabs(values[i]),
                 qPrintable(u"value %1: %2, expected %3"_s.arg(i).arg(got[i], 0, 'g', 15).arg(values[i], 0, 'g', 15)));
}

void TestKvtoolCalc::kde_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<double>("bandwidth");
    QTest::addColumn<int>("points");
    QTest::addColumn<QList<double>>("point"); // index, x and density of one point of the curve
    QTest::addColumn<QString>("stderrText");

    QTest::newRow("default grid") << QStringList{} << 0 << 1.62634684675888387 << 512
                                  << QList<double>{255, 248.587553816046975, 0.127343614754119777} << QString();
    QTest::newRow("own grid") << QStringList{u"--from"_s, u"240"_s, u"--to"_s, u"260"_s, u"--points"_s, u"5"_s}
                              << 0 << 1.62634684675888387 << 5 << QList<double>{3, 255, 0.0262677250230641081}
                              << QString();
    QTest::newRow("adaptive") << QStringList{u"--adaptive"_s} << 0 << 1.62634684675888387 << 512 << QList<double>{}
                              << QString();
    QTest::newRow("reversed grid") << QStringList{u"--from"_s, u"260"_s, u"--to"_s, u"240"_s} << 2 << 0.0 << 0
                                   << QList<double>{} << u"--to above --from"_s;
    QTest::newRow("one point") << QStringList{u"--points"_s, u"1"_s} << 2 << 0.0 << 0 << QList<double>{}
                               << u"--points takes a whole number"_s;
}

void TestKvtoolCalc::kde()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(double, bandwidth);
    QFETCH(int, points);
    QFETCH(QList<double>, point);
    QFETCH(QString, stderrText);

    QProcess tool;
    tool.start(QStringLiteral(KV_KVTOOL),
               QStringList{u"calc"_s, u"kde"_s, QStringLiteral(KV_FIXTURES_DIR) + u"/calc/average.csv"_s} + options);
    QVERIFY(tool.waitForFinished(30000));
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(tool.exitCode() == exitCode, qPrintable(lines.join(u'\n') + err));
    if (!stderrText.isEmpty())
        QVERIFY2(err.contains(stderrText), qPrintable(err));
    if (exitCode != 0)
        return;
    QCOMPARE(lines.size(), points + 3);
    QVERIFY(lines[0].startsWith(u"bandwidth "_s));
    QVERIFY(std::fabs(lines[0].mid(10).toDouble() - bandwidth) <= 1e-9 * bandwidth);
    QCOMPARE(lines[1], u"n 28"_s);
    QVERIFY(lines[2].startsWith(u'#'));
    double mass = 0, previous = 0;
    for (int k = 0; k < points; ++k) {
        const QStringList xy = lines[3 + k].split(u' ');
        QCOMPARE(xy.size(), 2);
        if (k > 0)
            mass += xy[1].toDouble() * (xy[0].toDouble() - previous);
        previous = xy[0].toDouble();
    }
    if (points == 512) // the curve over the widened range holds most of the density (the tails are cut)
        QVERIFY2(mass > 0.9 && mass < 1.0, qPrintable(QString::number(mass)));
    if (!point.isEmpty()) {
        const QStringList xy = lines[3 + int(point[0])].split(u' ');
        QVERIFY(std::fabs(xy[0].toDouble() - point[1]) <= 1e-9 * point[1]);
        QVERIFY2(std::fabs(xy[1].toDouble() - point[2]) <= 1e-9 * point[2], qPrintable(xy[1]));
    }
}

QTEST_GUILESS_MAIN(TestKvtoolCalc)
#include "tst_kvtool_calc.moc"
