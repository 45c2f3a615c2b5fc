// SPDX-License-Identifier: GPL-3.0-or-later
// The importer's main window with a scripted user: start and its settings, the readers from the menu,
// the raw-data sheet choice with "Read data", the grid of staged rows and the settings written at close.
#include "controls/workbook.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "importer/import_settings.h"
#include "importer/ui/KVI_main.h"
#include "../importer_sheets.h"
#include "test_support.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

void writeSettings(const QString &results)
{
    QFile f(importerSettingsFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("[Default directories]\r\nResultsPath=") + results.toUtf8() +
            "\r\n[Form positions]\r\nMain Left=40\r\nMain Top=30\r\nMain Width=900\r\nMain Height=600\r\n");
}

QString workbookFile(const QString &path, const QList<std::pair<QString, QList<QStringList>>> &sheets)
{
    Workbook book;
    book.setNumSheets(int(sheets.size()));
    for (int s = 0; s < sheets.size(); ++s) {
        book.setSheetName(s + 1, sheets[s].first);
        test::fillSheet(book.sheetAt(s + 1), sheets[s].second);
    }
    book.writeWorkbook(path, FileTypeExcel97);
    return path;
}

qint64 count(Connection &c, const QString &table)
{
    QSqlQuery q = c.exec(u"select count(*) from "_s + table);
    return q.next() ? q.value(0).toLongLong() : -1;
}

} // namespace

class TestKviMain : public QObject
{
    Q_OBJECT

private slots:
    void startAndClose();
    void failedConnectionEndsProgram();
    void readersFromTheMenu();

private:
    test::TempFolders m_folders;
};

void TestKviMain::startAndClose()
{
    test::TestDatabase db(u"sqlite"_s);
    test::createDatabase(db, DatabaseKind::Results)->close();
    writeSettings(db.location());
    ScriptedInteraction ui;
    {
        TForm1 form(importerSettingsFilePath(), &ui);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.started());
        QCOMPARE(form.windowTitle(), u"Kelvora spreadsheet importer"_s);
        QVERIFY(form.dm.KVResults.isOpen());
        QVERIFY(!form.PageControl1->isVisible());
        QVERIFY(!form.bbReadData->isVisible());
        QCOMPARE(form.size(), QSize(900, 600));
        QCOMPARE(form.eFromRow->text(), u"2"_s);
        form.resize(700, 500);
        form.bbExit->click();
        QVERIFY(!form.isVisible());
        QVERIFY(!form.dm.KVResults.isOpen());
    }
    QCOMPARE(ui.messages(), QStringList());
    IniFile ini(importerSettingsFilePath());
    QCOMPARE(ini.value(u"Form positions"_s, u"Main Width"_s), u"700"_s);
    QCOMPARE(ini.value(u"Form positions"_s, u"Main Height"_s), u"500"_s);
    QCOMPARE(ini.value(u"Input fields"_s, u"From Row"_s), u"2"_s);
    QVERIFY(ini.contains(u"File Paths"_s, u"Data import path"_s));
    QCOMPARE(ini.value(u"Default directories"_s, u"ResultsPath"_s), db.location());
}

void TestKviMain::failedConnectionEndsProgram()
{
    writeSettings(m_folders.dataDir() + u"/NoSuchDatabase"_s);
    ScriptedInteraction ui;
    TForm1 form(importerSettingsFilePath(), &ui);
    QSignalSpy failed(&form, &TForm1::startFailed);
    form.show();
    QVERIFY(!form.started());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(ui.texts(u"error"_s).size(), 1);
    QVERIFY2(ui.texts(u"error"_s)[0].contains(u"NoSuchDatabase"_s), qPrintable(ui.texts(u"error"_s)[0]));
}

void TestKviMain::readersFromTheMenu()
{
    test::TestDatabase db(u"sqlite"_s);
    auto results = test::createDatabase(db, DatabaseKind::Results);
    writeSettings(db.location());
    const QString localities = workbookFile(
        m_folders.path() + u"/loc.xls"_s,
        {{u"Sheet1"_s, {{u"SampleNo"_s, u"Latitude"_s}, {u"S1"_s, u"-20"_s}, {u"S2"_s, u""_s}, {u"S1"_s, u"1"_s}}}});
    const QStringList rawHead{u"SampleNo"_s, u"Frac"_s, u"Rb87Sr86"_s};
    const QString raw = workbookFile(m_folders.path() + u"/raw.xls"_s,
                                     {{u"RbSr"_s, {rawHead, {u"A"_s, u"wr"_s, u"1"_s}}},
                                      {u"SmNd"_s, {rawHead, {u"B"_s, u"wr"_s, u"2"_s}, {u"C"_s, u"wr"_s, u"3"_s}}}});
    ScriptedInteraction ui;
    TForm1 form(importerSettingsFilePath(), &ui);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    ui.queueFiles({{localities, 0}});
    form.Samplelocalities1->trigger();
    QVERIFY(form.PageControl1->isVisible());
    QVERIFY(form.gbSummary->isVisible());
    QCOMPARE(form.eToRow->text(), u"4"_s);
    QCOMPARE(form.DBGrid1->model()->rowCount(), 3);
    QCOMPARE(ui.texts(u"information"_s), (QStringList{u"2 rows stored, 1 refused.\nrow 4: the same SampleNo as row 2"_s}));
    QCOMPARE(ui.texts(u"warning"_s), QStringList());
    QCOMPARE(ui.texts(u"progress"_s).last(), u"Completed"_s);
    QCOMPARE(count(*results, u"SmpLoc"_s), 2);

    ui.clear();
    ui.queueFiles({{raw, 0}});
    form.Rawdata1->trigger();
    QVERIFY(form.bbReadData->isVisible());
    QCOMPARE(form.cbSheetName->count(), 2);
    QCOMPARE(form.cbSheetName->currentText(), u"RbSr"_s);
    QCOMPARE(form.eToRow->text(), u"2"_s);
    QCOMPARE(form.DBGrid1->model()->rowCount(), 3); // only prepared: the last reader's rows stay
    // The user picks the second sheet: its last row is found again.
    form.cbSheetName->setCurrentIndex(1);
    emit form.cbSheetName->activated(1);
    QCOMPARE(form.eToRow->text(), u"3"_s);
    form.bbReadData->click();
    QVERIFY(!form.bbReadData->isVisible());
    QCOMPARE(form.DBGrid1->model()->rowCount(), 2);
    QCOMPARE(ui.texts(u"information"_s), (QStringList{u"2 rows stored, 0 refused."_s}));
    QCOMPARE(ui.texts(u"warning"_s), QStringList());
    QCOMPARE(count(*results, u"SmpData"_s), 2);
    QSqlQuery q = results->exec(u"select count(*) from SmpData where IsoSystem = 'SmNd'"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);

    // A cancelled dialog: nothing happens, the grid keeps the raw-data rows.
    ui.clear();
    form.Unitdefinitions1->trigger();
    QCOMPARE(ui.texts(u"information"_s), QStringList());
    QCOMPARE(ui.texts(u"progress"_s), QStringList());
    QCOMPARE(form.DBGrid1->model()->rowCount(), 2);
    QCOMPARE(count(*results, u"Suite"_s), 0);
}

QTEST_MAIN(TestKviMain)
#include "tst_kvi_main.moc"
