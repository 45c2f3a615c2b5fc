// SPDX-License-Identifier: GPL-3.0-or-later
// A grid's view of a dataset: cells read without moving the cursor, edits reach the table.
#include "data/dataset.h"
#include "data/dataset_model.h"
#include "data/dmKV.h"
#include "test_support.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestDatasetModel : public QObject
{
    Q_OBJECT

private slots:
    void gridOverDataset();
};

void TestDatasetModel::gridOverDataset()
{
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    for (int i = 1; i <= 300; ++i)
        c->exec(u"insert into IsoRgr30 (RecordID, IAge) values (?, ?)"_s, {i, i * 1000});
    Dataset d(u"Query1"_s, c.get());
    d.setSql({u"select RecordID, IAge from IsoRgr30"_s, u"order by RecordID"_s});
    d.setLive(true);
    addAgeFields(d);
    DatasetModel model(&d);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    d.open();
    QCOMPARE(model.rowCount(), 300);
    QCOMPARE(model.columnCount(), 5); // RecordID, IAge and the three calculated ages
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"Age"_s);

    QSignalSpy scrolls(&d, &Dataset::afterScroll);
    QCOMPARE(model.data(model.index(249, 2)).toString(), u"250.00"_s);
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toInt(), 1);
    QCOMPARE(d.recNo(), 0); // reading cells does not move the cursor
    QCOMPARE(scrolls.count(), 0);

    QVERIFY(model.setData(model.index(9, 1), 12345));
    QCOMPARE(d.recNo(), 9);
    QCOMPARE(d.state(), Dataset::State::Edit);
    QCOMPARE(model.data(model.index(9, 2)).toString(), u"12.35"_s); // the row in edit shows its new values
    d.next(); // leaving the row posts it
    QCOMPARE(d.state(), Dataset::State::Browse);
    QSqlQuery stored = c->exec(u"select IAge from IsoRgr30 where RecordID = 10"_s);
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toInt(), 12345);

    // a new row shows up, and closing empties the grid
    d.append();
    d.setValue(u"RecordID"_s, 301);
    QVERIFY(d.post());
    QCOMPARE(model.rowCount(), 301);
    d.close();
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestDatasetModel)
#include "tst_dataset_model.moc"
