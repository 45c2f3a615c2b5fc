// SPDX-License-Identifier: GPL-3.0-or-later
// The import window and the stratigraphic table's window as a user drives them.
#include "controls/ui/workbook_view.h"
#include "controls/workbook.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/ui/KV_import.h"
#include "exchange/ui/KV_strat.h"
#include "main/connections.h"
#include "main/ui/KV_main.h"
#include "main/ui/page_checks.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestExchangeWindows : public QObject
{
    Q_OBJECT

private slots:
    void importWindow();
    void stratWindowSaves();
    void stratFromMainMenu();
};

void TestExchangeWindows::importWindow()
{
    test::TempFolders folders;
    test::TestDatabase results(u"sqlite"_s), working(u"sqlite"_s);
    createDatabases({results.location(), working.location()}, true);
    ScriptedInteraction ui;
    TdmKVResults dm(ui);
    dm.KVResults.bind(results.location());
    dm.KVtmp.bind(working.location());
    openExisting(dm.KVResults, DatabaseKind::Results);
    openExisting(dm.KVtmp, DatabaseKind::Working);

    QTemporaryDir dir;
    const QString file = dir.filePath(u"dates.xls"_s);
    {
        Workbook book;
        book.sheetAt(1).setText(1, 1, u"RecordID"_s);
        book.sheetAt(1).setText(1, 2, u"Area"_s);
        for (int r = 2; r <= 4; ++r) {
            book.sheetAt(1).setNumber(r, 1, 300 + r);
            book.sheetAt(1).setText(r, 2, u"NAM"_s);
        }
        book.writeWorkbook(file, FileTypeExcel97);
    }

    TfmKVImport w(dm, ui);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), u"Import data from spreadsheet to Kelvora"_s);
    QVERIFY(!w.pDefine->isVisible() && !w.gbDefineRows->isVisible() && !w.bbImport->isVisible());
    QVERIFY(!w.FileImportData->isEnabled());

    ui.queueFiles({{file, 0}});
    w.bbOpenSheet->click();
    QVERIFY(w.pDefine->isVisible() && w.gbDefineRows->isVisible() && w.bbImport->isVisible());
    QVERIFY(w.FileImportData->isEnabled());
    QCOMPARE(w.workbook().viewScale(), 70);

    // The grid: names shown, not edited; letters typed in lower case kept in upper case.
    QAbstractItemModel *grid = w.gridImportDet->model();
    QCOMPARE(grid->headerData(1, Qt::Horizontal).toString(), u"T / N / D"_s);
    const auto rowOf = [&](const QString &field) {
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->index(r, 0).data().toString() == field)
                return r;
        return -1;
    };
    QVERIFY(!(grid->flags(grid->index(rowOf(u"RecordID"_s), 0)) & Qt::ItemIsEditable));
    QVERIFY(grid->setData(grid->index(rowOf(u"RecordID"_s), 2), u"a"_s));
    QVERIFY(grid->setData(grid->index(rowOf(u"CountryAbr"_s), 2), u"b"_s));
    QVERIFY(grid->setData(grid->index(rowOf(u"CountryAbr"_s), 1), u"t"_s));

    // A single row is refused and the window stays; the range then goes in and the button closes it.
    w.meFromRow->setText(u"2"_s);
    w.meToRow->setText(u"2"_s);
    w.bbImport->click();
    QCOMPARE(ui.texts(u"warning"_s), QStringList{u"Incorrect value entered for rows to import"_s});
    QVERIFY(w.isVisible());
    ui.clear();
    w.meToRow->setText(u"4"_s);
    w.bbImport->click();
    QCOMPARE(ui.texts(u"information"_s), QStringList{u"Geochronology records imported\n3 imported, 0 refused."_s});
    QVERIFY(ui.texts(u"warning"_s).isEmpty());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QSqlQuery q = dm.KVResults.exec(u"select count(*) from IsoRgr30 where CountryAbr = 'NAM'"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    QSqlQuery det = dm.KVtmp.exec(u"select ColumnLet, TN from KVImpDet where FieldName = 'CountryAbr'"_s);
    QVERIFY(det.next());
    QCOMPARE(det.value(0).toString() + det.value(1).toString(), u"BT"_s);
    QVERIFY(!dm.ImportDet->isOpen()); // closed with the window
}

void TestExchangeWindows::stratWindowSaves()
{
    ScriptedInteraction ui;
    Workbook book;
    book.sheetAt(1).setText(1, 1, u"Country"_s);
    book.sheetAt(1).setNumber(2, 7, 2054.5);
    TfmStrat w(book, ui);
    QCOMPARE(w.windowTitle(), u"Generate Excel spreadsheet for producing a geochronology stratigraphic table"_s);
    QCOMPARE(w.bbSave->toolTip(), u"Save data to Excel spreadsheet"_s);
    QTemporaryDir dir;
    // The second entry, Excel 5, and a name without its suffix.
    ui.queueFiles({{dir.filePath(u"dates"_s), 1}});
    w.bbSave->click();
    QVERIFY2(ui.texts(u"error"_s).isEmpty(), qPrintable(ui.texts(u"error"_s).join(u'\n')));
    const QStringList written = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(written.size(), 1);
    Workbook back;
    int type = 0;
    back.readWorkbook(dir.filePath(written.first()), type);
    QCOMPARE(type, int(FileTypeExcel5));
    QCOMPARE(back.sheetAt(1).number(2, 7), 2054.5);
}

void TestExchangeWindows::stratFromMainMenu()
{
    test::TempFolders folders;
    const DatabaseLocations locations = defaultLocations(); // where the KVLAN alias points too
    createDatabases(locations, false);
    {
        Connection c(u"fill"_s);
        c.bind(locations.results);
        openExisting(c, DatabaseKind::Results);
        for (const QString &sql :
             {u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s,
              u"insert into Suite (UnitName, CountryAbr) values ('Bushveld', 'ZAF')"_s,
              u"insert into Lithol (Lithology) values ('granite')"_s,
              u"insert into Interpretation (InterpAbr) values ('Em')"_s,
              u"insert into Material (MaterialAbr) values ('zr')"_s, u"insert into IsoSystem (IsoSystem) values ('UPb')"_s,
              u"insert into Approach (ApproachAbr) values ('Cr')"_s, u"insert into Technique (TechAbr) values ('SH')"_s,
              u"insert into Methods (MethodAbr) values ('P')"_s,
              u"insert into PrefLevel (PrefLevelNo) values (1), (2), (3)"_s})
            c.exec(sql);
        const QString record = u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, IAge, PrefLevel, Lithology, "
                               u"MaterialAbr, IsotopeSystem, ApproachAbr, InterpAbr, TechAbr, MethodAbr) values "
                               u"(?, 'ZAF', ?, 2054000, 3, 'granite', 'zr', 'UPb', 'Cr', 'Em', 'SH', 'P')"_s;
        c.exec(record, {1, u"Bushveld"_s});
        c.exec(record, {2, u"No Suite row"_s});
    }
    ScriptedInteraction ui;
    TfmRes fmRes;
    fmRes.setInteraction(&ui);
    TdmKVResults dm(fmRes.interaction());
    ViewerConnections connections(dm, fmRes.interaction());
    connections.bindInitial();
    fmRes.attach(dm, connections);
    fmRes.show();
    QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
    fmRes.QueryExecuteClick();
    QVERIFY2(ui.texts(u"error"_s).isEmpty(), qPrintable(ui.texts(u"error"_s).join(u'\n')));

    int rows = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *w = qobject_cast<TfmStrat *>(QApplication::activeModalWidget())) {
            rows = w->SprdSheet->workbook()->sheetAt(1).lastRow();
            w->bbClose->click();
        }
    });
    poll.start(20);
    fmRes.FileExportStratTable->trigger();
    poll.stop();
    QVERIFY2(ui.texts(u"error"_s).isEmpty(), qPrintable(ui.texts(u"error"_s).join(u'\n')));
    QCOMPARE(rows, 2); // the headings and record 1: record 2's unit has no Suite row
    QVERIFY(fmRes.pgChecks->mmQuery->toPlainText().startsWith(u"select ISORGR30.CountryAbr"_s));
    QVERIFY(fmRes.statusPanel(1)->text().isEmpty());
    fmRes.close();
}

QTEST_MAIN(TestExchangeWindows)
#include "tst_exchange_windows.moc"
