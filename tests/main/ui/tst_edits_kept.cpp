// SPDX-License-Identifier: GPL-3.0-or-later
// What the user types is kept: a record edited in the main window is stored before a query runs again,
// the tab changes or the window closes, or the user is asked; a bad value in a grid or a box is refused
// with a message, and the program goes on. On the nine-table query of the query command.
#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/scripted_interaction.h"
#include "data/dataset_model.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/lookup_tables.h"
#include "main/ui/KV_lookup.h"
#include "main/ui/KV_main.h"
#include "main/ui/page_form_view.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// The main window on the local database, with two records whose codes all have lookup rows (the
// installation's own), so that the query command's joins find them.
struct Program
{
    test::TempFolders folders;
    ScriptedInteraction ui;
    TfmRes fmRes;
    std::unique_ptr<TdmKVResults> dm;
    std::unique_ptr<ViewerConnections> connections;

    Program()
    {
        createDatabases(defaultLocations(), false);
        {
            Connection r(u"fill"_s);
            r.bind(defaultLocations().results);
            r.open();
            r.exec(u"insert into PrefLevel (PrefLevelNo) values (0), (1), (2)"_s);
            const QString record =
                u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, Lithology, MaterialAbr, "
                u"IsotopeSystem, "
                u"ApproachAbr, InterpAbr, TechAbr, MethodAbr, PrefLevel, IAge, AgeUnits, RegisteredUser) "
                u"values (?, 'UND', 'UNDEFINED', 'Not defined', 'nd', 'na', 'nd', 'nd', 'nd', 'R', 1, ?, "
                u"'Ma', "
                u"'first')"_s;
            r.exec(record, {10, 1500000});
            r.exec(record, {11, 2000000});
            r.exec(u"insert into IsoStatistics (RecordID, MSWD) values (10, 1.5)"_s);
        }
        fmRes.setInteraction(&ui);
        dm = std::make_unique<TdmKVResults>(fmRes.interaction());
        connections = std::make_unique<ViewerConnections>(*dm, fmRes.interaction());
        connections->bindInitial();
        fmRes.attach(*dm, *connections);
        fmRes.show();
        QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
        fmRes.QueryExecute->trigger();
        QCOMPARE(fmRes.eNumRecords->text(), u"2"_s);
        QCOMPARE(ui.messages(), QStringList());
    }
    // The "Regressed by" box of Form View, typed into and left, as a user does.
    DbEdit *regressedBy()
    {
        for (DbEdit *e : fmRes.formView()->findChildren<DbEdit *>())
            if (e->link().dataset() == dm->QResults && e->link().field() == u"RegisteredUser"_s)
                return e;
        return nullptr;
    }
    void type(const QString &text)
    {
        DbEdit *box = regressedBy();
        QVERIFY(!box->isReadOnly());
        box->setText(text); // as typed: changed by the user, not yet left
        box->setModified(true);
        emit box->editingFinished();
        QCOMPARE(dm->QResults->state(), Dataset::State::Edit);
    }
    QString stored(int id)
    {
        QSqlQuery q = dm->KVResults.exec(u"select RegisteredUser from IsoRgr30 where RecordID = ?"_s, {id});
        return q.next() ? q.value(0).toString() : QString();
    }
    // Another program refuses every change of the records from now on.
    void refuseUpdates()
    {
        dm->KVResults.exec(
            u"create trigger refuse before update on IsoRgr30 begin select raise(abort, 'refused'); end"_s);
    }
};

} // namespace

class TestEditsKept : public QObject
{
    Q_OBJECT

private slots:
    void editStoredBeforeTheNextCommand_data();
    void editStoredBeforeTheNextCommand();
    void refusedEditStopsTheCommand();
    void closingAsksWhenTheEditCannotBeStored();
    void formViewPostStampsTheDate();
    void badNumberInAGridCell();
    void badNumberInABox();
};

void TestEditsKept::editStoredBeforeTheNextCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("query run again") << u"query"_s;
    QTest::newRow("query re-applied") << u"reapply"_s;
    QTest::newRow("tab changed") << u"tab"_s;
    QTest::newRow("window closed") << u"close"_s;
}

void TestEditsKept::editStoredBeforeTheNextCommand()
{
    QFETCH(QString, command);
    Program p;
    p.type(u"second"_s);
    if (command == u"query"_s)
        p.fmRes.QueryExecute->trigger();
    else if (command == u"reapply"_s)
        p.fmRes.bbReapplyQueryClick();
    else if (command == u"tab"_s)
        p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsSamples);
    else
        p.fmRes.close();
    QCOMPARE(p.ui.messages(), QStringList());
    if (command == u"close"_s) {
        QVERIFY(!p.fmRes.isVisible());
        Connection r(u"check"_s);
        r.bind(defaultLocations().results);
        r.open();
        QSqlQuery q = r.exec(u"select RegisteredUser from IsoRgr30 where RecordID = 10"_s);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"second"_s);
        return;
    }
    QCOMPARE(p.stored(10), u"second"_s);
    QCOMPARE(p.dm->QResults->state(), Dataset::State::Browse);
}

void TestEditsKept::refusedEditStopsTheCommand()
{
    // The edit cannot be stored: the command does not run, the edit stays for the user to correct.
    Program p;
    p.type(u"second"_s);
    p.refuseUpdates();
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsFormView);
    p.ui.clear();
    p.fmRes.QueryExecute->trigger();
    QCOMPARE(p.ui.texts(u"warning"_s).size(), 1);
    QVERIFY(p.ui.texts(u"busy"_s).isEmpty()); // the query never started
    QCOMPARE(p.dm->QResults->state(), Dataset::State::Edit);
    QCOMPARE(p.dm->QResults->text(u"RegisteredUser"_s), u"second"_s);
    // a tab change goes back to the tab of the edit
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsReferences);
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsFormView);
    QCOMPARE(p.dm->QResults->state(), Dataset::State::Edit);
    QCOMPARE(p.stored(10), u"first"_s);
}

void TestEditsKept::closingAsksWhenTheEditCannotBeStored()
{
    Program p;
    p.type(u"second"_s);
    p.refuseUpdates();
    p.ui.clear();
    p.ui.queueAnswers({Interaction::Answer::No});
    QVERIFY(!p.fmRes.close());
    QVERIFY(p.fmRes.isVisible());
    QCOMPARE(p.ui.texts(u"question"_s).size(), 1);
    QCOMPARE(p.dm->QResults->state(), Dataset::State::Edit);
    QVERIFY(p.dm->KVResults.isOpen());
    p.ui.queueAnswers({Interaction::Answer::Yes});
    QVERIFY(p.fmRes.close());
    QVERIFY(!p.fmRes.isVisible());
}

void TestEditsKept::formViewPostStampsTheDate()
{
    Program p;
    DatasetNavigator *navigator = p.fmRes.formView()->dbnQuery1;
    QToolButton *post = navigator->button(DatasetNavigator::Post);
    QVERIFY(!post->isEnabled());
    QVERIFY(navigator->button(DatasetNavigator::Next)->isEnabled());
    p.type(u"second"_s);
    QVERIFY(post->isEnabled());
    post->click();
    QCOMPARE(p.ui.messages(), QStringList());
    QCOMPARE(p.stored(10), u"second"_s);
    QSqlQuery q = p.dm->KVResults.exec(u"select DateString from IsoRgr30 where RecordID = 10"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDate(), QDate::currentDate());
    QVERIFY(!post->isEnabled());
    // the navigators of the other tabs edit the record's row too, never the joined result
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsSamples);
    DatasetNavigator *samples = nullptr;
    for (DatasetNavigator *n : p.fmRes.tsSamples->findChildren<DatasetNavigator *>())
        if (n->dataset() == p.dm->Query1)
            samples = n;
    QVERIFY(samples);
    QCOMPARE(samples->editDataset(), p.dm->QResults);
    samples->button(DatasetNavigator::Edit)->click();
    QCOMPARE(p.dm->QResults->state(), Dataset::State::Edit);
    samples->button(DatasetNavigator::Cancel)->click();
    QCOMPARE(p.ui.messages(), QStringList());
}

void TestEditsKept::badNumberInAGridCell()
{
    // A word typed into a number column of the lookup editor is refused with a message; the program,
    // and the row's other edits, stay.
    Program p;
    p.dm->KVResults.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude) values ('S-1', -25.5, 28.0)"_s);
    TfmLookup editor(*p.dm, p.ui, &p.fmRes);
    editor.FormShow();
    int item = -1;
    for (int i = 0; i < lookupTableItems().size(); ++i)
        if (lookupTableItems().at(i).caption == u"Sample localities"_s)
            item = i;
    QVERIFY(item >= 0);
    editor.rgTablesClick(item);
    QAbstractItemModel *model = editor.dbgLookup->model();
    QVERIFY(model);
    int latitude = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == u"Latitude"_s)
            latitude = c;
    QVERIFY(latitude >= 0);
    p.ui.clear();
    QVERIFY(model->setData(model->index(0, latitude + 1), 29.5)); // Longitude, a good number
    QVERIFY(!model->setData(model->index(0, latitude), u"south"_s));
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QVERIFY2(p.ui.texts(u"error"_s).first().contains(u"south"_s), qPrintable(p.ui.texts(u"error"_s).first()));
    QCOMPARE(p.dm->SmpLoc->state(), Dataset::State::Edit);
    QCOMPARE(p.dm->SmpLoc->value(u"Longitude"_s).toDouble(), 29.5);
    editor.accept(); // closing posts the row
    QSqlQuery q = p.dm->KVResults.exec(u"select Latitude, Longitude from SmpLoc where SampleNo = 'S-1'"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), -25.5);
    QCOMPARE(q.value(1).toDouble(), 29.5);
}

void TestEditsKept::badNumberInABox()
{
    Program p;
    DbEdit *mswd = nullptr;
    for (DbEdit *e : p.fmRes.formView()->findChildren<DbEdit *>())
        if (e->link().dataset() == p.dm->QStatistics && e->link().field() == u"MSWD"_s)
            mswd = e;
    QVERIFY(mswd);
    p.ui.clear();
    mswd->setText(u"large"_s);
    mswd->setModified(true);
    emit mswd->editingFinished();
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QVERIFY2(!mswd->text().contains(u"large"_s), qPrintable(mswd->text())); // the stored value again
    QSqlQuery q = p.dm->KVResults.exec(u"select MSWD from IsoStatistics where RecordID = 10"_s);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), 1.5);
}

QTEST_MAIN(TestEditsKept)
#include "tst_edits_kept.moc"
