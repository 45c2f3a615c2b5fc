// SPDX-License-Identifier: GPL-3.0-or-later
// The record pages on a small database: navigation keeps every panel on the record and enables it by
// its rows, detail inserts take the record's RecordID, the picture clears, the chart shows the sites.
#include "controls/ui/chart_view.h"
#include "controls/ui/data_aware.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/lookup_tables.h"
#include "main/record_commands.h"
#include "main/ui/KV_lookup.h"
#include "main/ui/KV_new.h"
#include "main/ui/page_form_view.h"
#include "main/ui/page_images.h"
#include "main/ui/page_samples.h"
#include "main/ui/record_view.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

struct Fixture
{
    explicit Fixture(const QString &backend) : results(backend), working(backend), dm(ui), view(dm, ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        Connection &r = dm.KVResults;
        r.exec(u"insert into IsoRgr30 (RecordID, IsotopeSystem, IAge) values (5576, 'U-Pb', 2054000)"_s);
        r.exec(
            u"insert into IsoRgr30 (RecordID, IsotopeSystem, IAge, DecayConst2) values (5600, 'U-Pb', 3227000, 9.8485e-10)"_s);
        r.exec(u"insert into IsoStatistics (RecordID, MSWD) values (5576, 1.7)"_s);
        r.exec(u"insert into Grouping (RecordID, Grouping) values (5576, 'Bushveld')"_s);
        for (const auto &[sample, latitude] :
             {std::pair{u"B-1"_s, -25.5}, std::pair{u"B-2"_s, 90.0}, std::pair{u"B-3"_s, -26.0}}) {
            r.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo) values (5576, 'U-Pb', ?)"_s,
                   {sample});
            r.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude) values (?, ?, 28.0)"_s,
                   {sample, latitude});
        }
        r.exec(u"insert into SADCCtry (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
        for (int i = 0; i < 4; ++i)
            r.exec(
                u"insert into SADCBound (CountryAbr, BoundarySequence, Longitude, Latitude) values ('ZAF', ?, ?, ?)"_s,
                {i, i == 2 ? 0.0 : 20.0 + i, i == 2 ? 0.0 : -30.0 - i});
        dm.Query1->setSql({u"select * from isorgr30"_s, u"where RecordID > 0"_s, u"order by RecordID"_s});
        formView = new PageFormView(view, nullptr);
        samples = new PageSamples(view, nullptr);
        images = new PageImages(view, nullptr);
        dm.openShared();
        view.reloadLookupBoxes();
        view.recordChanged();
    }
    ~Fixture()
    {
        delete formView;
        delete samples;
        delete images;
    }
    // The edit boxes of one dataset on a page.
    QList<DbEdit *> boxesOf(QWidget *page, Dataset *dataset)
    {
        QList<DbEdit *> boxes;
        for (DbEdit *e : page->findChildren<DbEdit *>())
            if (e->link().dataset() == dataset)
                boxes << e;
        return boxes;
    }
    DatasetNavigator *navigatorOf(QWidget *page, Dataset *dataset)
    {
        for (DatasetNavigator *n : page->findChildren<DatasetNavigator *>())
            if (n->dataset() == dataset)
                return n;
        return nullptr;
    }
    test::TestDatabase results;
    test::TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    RecordView view;
    PageFormView *formView;
    PageSamples *samples;
    PageImages *images;
};

bool allEnabled(const QList<DbEdit *> &boxes, bool enabled)
{
    for (DbEdit *e : boxes)
        if (e->isEnabled() != enabled)
            return false;
    return !boxes.isEmpty();
}

} // namespace

class TestRecordPages : public QObject
{
    Q_OBJECT

private slots:
    void navigationFollowsTheRecord_data() { test::addBackendRows(); }
    void navigationFollowsTheRecord();
    void recordDeleteRunsTheCommand();
    void localityChart();
    void lookupEditor();
    void newRecordDialog_data();
    void newRecordDialog();
};

void TestRecordPages::navigationFollowsTheRecord()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    const QList<DbEdit *> statistics = f.boxesOf(f.formView, f.dm.QStatistics);
    QVERIFY(allEnabled(statistics, true));
    QVERIFY(f.formView->dbgGrouping->isEnabled());
    QVERIFY(f.formView->dbgSamples->isEnabled());
    QVERIFY(!f.formView->decayConstant2->isVisibleTo(f.formView));
    const auto mswd = std::find_if(statistics.cbegin(), statistics.cend(),
                                   [](DbEdit *e) { return e->link().field() == u"MSWD"_s; });
    QVERIFY(mswd != statistics.cend());
    QCOMPARE((*mswd)->text(), u"1.700"_s); // shown as "####0.000"
    f.images->Image1->setPixmap(QPixmap(8, 8));

    f.formView->dbnQuery1->click(DatasetNavigator::Next);
    QCOMPARE(f.dm.QResults->value(u"RecordID"_s).toInt(), 5600);
    QVERIFY(allEnabled(statistics, false));
    QVERIFY(!f.formView->dbgGrouping->isEnabled());
    QVERIFY(!f.formView->dbgSamples->isEnabled());
    // the samples tab's own grid is not disabled by moving
    QVERIFY(f.samples->dbgSamples->isEnabled());
    QVERIFY(f.formView->decayConstant2->isVisibleTo(f.formView));
    QVERIFY(f.images->Image1->pixmap().isNull());

    // Insert on the statistics navigator enables the boxes and gives the row the record's RecordID
    DatasetNavigator *navigator = f.navigatorOf(f.formView, f.dm.QStatistics);
    QVERIFY(navigator);
    navigator->click(DatasetNavigator::Insert);
    QVERIFY(allEnabled(statistics, true));
    QCOMPARE(f.dm.QStatistics->value(u"RecordID"_s).toInt(), 5600);
    f.dm.QStatistics->setValue(u"MSWD"_s, 0.8);
    QVERIFY(f.dm.QStatistics->post());
    QSqlQuery q = f.dm.KVResults.exec(u"select count(*) from IsoStatistics where RecordID = 5600"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);

    // a group descriptor inserted on the record takes its RecordID and "NEW"
    f.navigatorOf(f.formView, f.dm.QGrouping)->click(DatasetNavigator::Insert);
    QVERIFY(f.formView->dbgGrouping->isEnabled());
    QCOMPARE(f.dm.QGrouping->value(u"Grouping"_s).toString(), u"NEW"_s);
    QCOMPARE(f.dm.QGrouping->value(u"RecordID"_s).toInt(), 5600);
    f.dm.QGrouping->cancel();

    f.formView->dbnQuery1->click(DatasetNavigator::First);
    QCOMPARE(f.dm.QResults->value(u"RecordID"_s).toInt(), 5576);
    QVERIFY(allEnabled(statistics, true));
    QCOMPARE(f.dm.QSmpReg->recordCount(), 3);
}

void TestRecordPages::recordDeleteRunsTheCommand()
{
    Fixture f(u"sqlite"_s);
    int deletes = 0;
    f.view.onDeleteRecord = [&deletes] { ++deletes; };
    f.formView->dbnQuery1->button(DatasetNavigator::Delete)->click();
    QCOMPARE(deletes, 1);
    // the navigator itself removed nothing: a record goes only with its details
    QSqlQuery q = f.dm.KVResults.exec(u"select count(*) from IsoRgr30"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
}

void TestRecordPages::localityChart()
{
    Fixture f(u"sqlite"_s);
    const ChartGrid &chart = f.samples->VtChLocality->grid();
    // the site at latitude 90 is left off; columns 3/4 are the sites, 5/6 the outline
    QCOMPARE(chart.value(1, 4), std::optional<double>(-25.5));
    QCOMPARE(chart.value(2, 4), std::optional<double>(-26.0));
    QVERIFY(!chart.value(3, 4));
    QCOMPARE(chart.value(1, 5), std::optional<double>(20.0));
    // the 0/0 point breaks the outline instead of drawing a line to the equator
    QVERIFY(!chart.value(3, 5));
    QCOMPARE(chart.value(4, 6), std::optional<double>(-33.0));
    f.samples->cbShowBoundary->setChecked(false);
    QVERIFY(!chart.value(1, 5));
    QCOMPARE(chart.value(1, 4), std::optional<double>(-25.5));
}

void TestRecordPages::lookupEditor()
{
    Fixture f(u"sqlite"_s);
    Connection &r = f.dm.KVResults;
    for (const QString &l : {u"Basalt"_s, u"arkose"_s, u"Argillite"_s})
        r.exec(u"insert into Lithol (Lithology) values (?)"_s, {l});
    r.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
    r.exec(u"insert into Suite (UnitName, CountryAbr) values ('Bushveld', 'ZAF')"_s);
    {
        TfmLookup window(f.dm, f.ui);
        window.FormShow();
        window.rgTables->button(2)->click();
        QVERIFY(window.gbFind->isVisibleTo(&window));
        QVERIFY(!window.gbArea->isVisibleTo(&window));
        QTest::keyClicks(window.eLookup, u"AR"_s);
        QCOMPARE(f.dm.Lithology->text(u"Lithology"_s), u"arkose"_s);
        QCOMPARE(window.dbgLookup->currentIndex().row(), 2); // after the installation's "Not defined"
        // units wait for an area
        window.rgTables->button(1)->click();
        QVERIFY(window.gbArea->isVisibleTo(&window));
        QVERIFY(window.eLookup->text().isEmpty());
        QCOMPARE(window.dbgLookup->model()->rowCount(), 0);
        window.lbArea->setCurrentRow(0);
        QCOMPARE(window.dbgLookup->model()->rowCount(), 1);
        window.accept();
    }
    QCOMPARE(TfmLookup::rememberedArea(), u"ZAF"_s);
    QVERIFY(!f.dm.Suite->isOpen());
    reopenAfterLookupEditor(f.dm);
    QVERIFY(f.dm.Suite->isOpen() && f.dm.Lithology->isOpen());
    QCOMPARE(f.ui.messages(), QStringList());
}

void TestRecordPages::newRecordDialog_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("stored"); // IAge of the stored record, -1 for none
    QTest::newRow("OK") << true << false << 12346;
    QTest::newRow("Cancel") << false << false << -1;
    QTest::newRow("post refused") << true << true << -1;
}

void TestRecordPages::newRecordDialog()
{
    QFETCH(bool, ok);
    QFETCH(bool, refused);
    QFETCH(int, stored);
    Fixture f(u"sqlite"_s);
    Connection &r = f.dm.KVResults;
    r.exec(
        u"insert into IsoSystem (IsoSystem, IsoSystemName, DecayConst1) values ('U-Pb', 'Uranium-lead', 1.55125e-10)"_s);
    if (refused)
        r.exec(
            u"create trigger refuse before insert on IsoRgr30 begin select raise(abort, 'refused'); end"_s);
    f.dm.IsoSys->refresh();
    QCOMPARE(startNewRecord(f.dm), 5601);
    bool failed = false;
    {
        Tfm_New dialog(f.dm, f.ui);
        QCOMPARE(dialog.windowTitle(), u"New data record"_s);
        QCOMPARE(dialog.lRecordID->text(), u"5601"_s);
        QCOMPARE(dialog.cbReference->currentText(), u"not defined"_s);
        QVERIFY(dialog.cbDefaultDC->isChecked());
        QCOMPARE(dialog.cbDefaultDC->focusPolicy(), Qt::ClickFocus);
        // choosing the system takes its decay constants
        const int uPb = dialog.dblcbSystem->findText(u"Uranium-lead"_s);
        QVERIFY(uPb >= 0);
        dialog.dblcbSystem->setCurrentIndex(uPb);
        emit dialog.dblcbSystem->activated(uPb);
        QCOMPARE(dialog.decayConstants().DecayConst1, 1.55125e-10);
        QTest::keyClicks(dialog.eDate, u"12.3456"_s);
        if (ok)
            dialog.bbOKClick();
        else
            dialog.bbCancelClick();
        QCOMPARE(dialog.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        failed = dialog.Failed;
    }
    QCOMPARE(failed, refused);
    QCOMPARE(f.ui.texts(u"warning"_s).contains(u"Error inserting new record"_s), refused);
    QCOMPARE(finishNewRecord(f.dm, ok, failed), stored < 0 ? 0 : 5601);
    QSqlQuery q = r.exec(u"select IAge, IsotopeSystem, DecayConst1 from IsoRgr30 where RecordID = 5601"_s);
    QCOMPARE(q.next(), stored >= 0);
    if (stored >= 0) {
        QCOMPARE(q.value(0).toInt(), stored);
        QCOMPARE(q.value(1).toString(), u"U-Pb"_s);
        QCOMPARE(q.value(2).toDouble(), 1.55125e-10);
    }
}

QTEST_MAIN(TestRecordPages)
#include "tst_record_pages.moc"
