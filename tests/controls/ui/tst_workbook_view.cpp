// SPDX-License-Identifier: GPL-3.0-or-later
// The workbook view follows the workbook: its sheets, active sheet and cell, scale and Enabled.
#include "controls/ui/workbook_sheet_model.h"
#include "controls/ui/workbook_view.h"
#include "controls/workbook.h"

#include <QTabWidget>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestWorkbookView : public QObject
{
    Q_OBJECT

private slots:
    void columnNames_data();
    void columnNames();
    void followsWorkbook();
    void editsOnlyWhenEnabled();
};

void TestWorkbookView::columnNames_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::newRow("1") << 1 << u"A"_s;
    QTest::newRow("26") << 26 << u"Z"_s;
    QTest::newRow("27") << 27 << u"AA"_s;
    QTest::newRow("256") << 256 << u"IV"_s;       // Excel 97's last column
    QTest::newRow("16384") << 16384 << u"XFD"_s;  // .xlsx's last column
}

void TestWorkbookView::columnNames()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QCOMPARE(WorkbookSheetModel::columnName(column), name);
}

void TestWorkbookView::followsWorkbook()
{
    Workbook workbook;
    workbook.setNumSheets(2);
    workbook.setSheetName(2, u"Données"_s);
    WorkbookView view;
    view.setWorkbook(&workbook);
    QCOMPARE(view.tabs()->count(), 2);
    QCOMPARE(view.tabs()->tabText(1), u"Données"_s);

    // A burst of writes shows once the event loop runs.
    workbook.setSheet(2);
    for (int r = 1; r <= 500; ++r) {
        workbook.setRow(r);
        workbook.setCol(3);
        workbook.setNumber(r);
    }
    workbook.setRow(400);
    workbook.setCol(2);
    QCOMPARE(view.tabs()->currentIndex(), 1);
    QTableView *table = view.tableOf(2);
    QTRY_COMPARE(table->model()->rowCount(), 500);
    QCOMPARE(table->model()->index(499, 2).data().toString(), u"500"_s);
    QTRY_COMPARE(table->currentIndex(), table->model()->index(399, 1));

    // Clicking a tab or a cell moves the workbook's active sheet and cell.
    view.tabs()->setCurrentIndex(0);
    QCOMPARE(workbook.sheet(), 1);
    view.tableOf(1)->setCurrentIndex(view.tableOf(1)->model()->index(4, 6));
    QCOMPARE(workbook.row(), 5);
    QCOMPARE(workbook.col(), 7);

    // MaxRow narrows the view to its rows; the cells below stay in the workbook.
    workbook.setSheet(2);
    workbook.setMaxRow(10);
    QTRY_COMPARE(table->model()->rowCount(), 10);
    QCOMPARE(workbook.sheetAt(2).number(500, 3), 500.0);
    workbook.setSheet(1);

    const double before = view.tableOf(1)->font().pointSizeF();
    workbook.setViewScale(70);
    QVERIFY(qAbs(view.tableOf(1)->font().pointSizeF() - before * 0.7) < 0.01);

    // Reading a file or resetting the sheets rebuilds the tabs.
    workbook.setNumSheets(3);
    QCOMPARE(view.tabs()->count(), 3);
    workbook.clear();
    QCOMPARE(view.tabs()->count(), 1);
}

void TestWorkbookView::editsOnlyWhenEnabled()
{
    Workbook workbook;
    WorkbookView view;
    view.setWorkbook(&workbook);
    QAbstractItemModel *model = view.tableOf(1)->model();
    workbook.setEnabled(false);
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(view.tableOf(1)->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!model->setData(model->index(0, 0), u"12"_s, Qt::EditRole));
    QCOMPARE(workbook.sheetAt(1).kind(1, 1), CellKind::Empty);

    workbook.setEnabled(true);
    QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(model->setData(model->index(0, 0), u"12.5"_s, Qt::EditRole));
    QVERIFY(model->setData(model->index(0, 1), u"Itmagzir"_s, Qt::EditRole));
    QCOMPARE(workbook.sheetAt(1).kind(1, 1), CellKind::Number);
    QCOMPARE(workbook.sheetAt(1).number(1, 1), 12.5);
    QCOMPARE(workbook.sheetAt(1).text(1, 2), u"Itmagzir"_s);
}

QTEST_MAIN(TestWorkbookView)
#include "tst_workbook_view.moc"
