// SPDX-License-Identifier: GPL-3.0-or-later
// Rows written in batches come back exactly as given, whatever their texts, numbers, dates and bytes,
// across the batch boundaries and the last short batch; a text wider than its column is refused.
#include "core/errors.h"
#include "data/connection.h"
#include "data/row_writer.h"
#include "test_support.h"

#include <QDate>
#include <QSqlQuery>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace kv;

class TestRowWriter : public QObject
{
    Q_OBJECT

private slots:
    void valuesComeBack_data() { test::addBackendRows(); }
    void valuesComeBack();
    void tooWideRefused_data() { test::addBackendRows(); }
    void tooWideRefused();
};

void TestRowWriter::valuesComeBack()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);

    // Values that array and parameter literals get wrong when they are quoted or printed carelessly.
    const QList<QVariant> texts{u"\"quoted\""_s, u"back\\slash\\"_s, u"{a,b}"_s, u"NULL"_s, QString(u""_s),
                                u"it's"_s, u"Ø ü 中"_s, u" blanks "_s, QVariant()};
    const QList<QVariant> numbers{0.1 + 0.2, -1.5e-300, 1.7976931348623157e308, 123456789.123456789, 0.0,
                                  QVariant()};
    const QList<QVariant> smalls{-32768, 32767, 0, QVariant()};
    const QList<QVariant> dates{QDate(1899, 12, 30), QDate(2026, 12, 11), QDate(1, 1, 1), QVariant()};
    const QList<QVariant> bytes{QByteArray("\0\\\"\xff{,}", 8), QByteArray("NULL"), QVariant()};
    const int rows = 4321; // more than two batches of every engine, and a short last one
    {
        Transaction transaction(*c);
        RowWriter records(*c, u"IsoRgr30"_s,
                          {u"RecordID"_s, u"UnitName"_s, u"Comment"_s, u"DecayConst1"_s, u"PrefLevel"_s,
                           u"DateString"_s});
        RowWriter images(*c, u"IsoImages"_s, {u"RecordID"_s, u"Graphic"_s});
        for (int i = 0; i < rows; ++i) {
            records.add({i, texts[i % texts.size()], texts[(i + 1) % texts.size()], numbers[i % numbers.size()],
                         smalls[i % smalls.size()], dates[i % dates.size()]});
            if (i < 100)
                images.add({i, bytes[i % bytes.size()]});
        }
        records.flush();
        images.flush();
        QCOMPARE(records.count(), rows);
        transaction.commit();
    }

    const auto same = [](const QVariant &stored, const QVariant &given) {
        if (given.isNull())
            return stored.isNull();
        if (given.typeId() == QMetaType::Double)
            return stored.toDouble() == given.toDouble();
        if (given.typeId() == QMetaType::QDate)
            return stored.toDate() == given.toDate();
        if (given.typeId() == QMetaType::QByteArray)
            return stored.toByteArray() == given.toByteArray();
        return !stored.isNull() && stored.toString() == given.toString();
    };
    QSqlQuery q = c->exec(u"select RecordID, UnitName, Comment, DecayConst1, PrefLevel, DateString from IsoRgr30 "
                          u"order by RecordID"_s);
    int n = 0;
    while (q.next()) {
        const int i = q.value(0).toInt();
        QCOMPARE(i, n++);
        const QList<QVariant> given{texts[i % texts.size()], texts[(i + 1) % texts.size()],
                                    numbers[i % numbers.size()], smalls[i % smalls.size()], dates[i % dates.size()]};
        for (int col = 0; col < given.size(); ++col)
            QVERIFY2(same(q.value(col + 1), given[col]),
                     qPrintable(u"row %1 column %2: %3"_s.arg(i).arg(col + 1).arg(q.value(col + 1).toString())));
    }
    QCOMPARE(n, rows);
    QSqlQuery g = c->exec(u"select RecordID, Graphic from IsoImages order by RecordID"_s);
    n = 0;
    while (g.next()) {
        QCOMPARE(g.value(0).toInt(), n);
        QVERIFY2(same(g.value(1), bytes[n % bytes.size()]), qPrintable(QString::number(n)));
        ++n;
    }
    QCOMPARE(n, 100);
}

void TestRowWriter::tooWideRefused()
{
    QFETCH(QString, backend);
    test::TestDatabase database(backend);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    RowWriter writer(*c, u"Country"_s, {u"CountryAbr"_s});
    writer.add({u"ZAF"_s});
    QVERIFY_THROWS_EXCEPTION(InputError, writer.add({u"ZAFR"_s}));
    writer.flush();
    QSqlQuery q = c->exec(u"select CountryAbr from Country where CountryAbr like 'ZAF%'"_s);
    QStringList stored;
    while (q.next())
        stored << q.value(0).toString();
    QCOMPARE(stored, QStringList{u"ZAF"_s});
}

QTEST_GUILESS_MAIN(TestRowWriter)
#include "tst_row_writer.moc"
