// SPDX-License-Identifier: GPL-3.0-or-later
// The "Define Query" tab and the query's pages in the main window: a query picked with the radio
// buttons, the descriptor box and "&Add", run through the menu; an edited text re-applied; a text the
// engine rejects.
#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_main.h"
#include "main/ui/page_checks.h"
#include "main/ui/page_define_query.h"
#include "main/ui/page_developer_query.h"
#include "main/ui/page_form_view.h"
#include "query_fixture.h"
#include "test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

// Records by area, material and preference level. Asking for South Africa or Botswana, zircon, level 2
// and up finds 1, 2 and 7: 3 and 4 are biotite, 5 lies in another area, 6's material has no lookup row
// and 8 is below the level. Ordered by country, Botswana's record 7 comes first.
void fillFixture(Connection &c)
{
    Transaction t(c);
    c.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa'), ('BWA', 'Botswana'), "
           u"('NAM', 'Namibia')"_s);
    c.exec(u"insert into Suite (UnitName, CountryAbr) values ('Bushveld', 'ZAF'), ('Gaborone', 'BWA'), "
           u"('Damara', 'NAM')"_s);
    test::insertQueryLookups(c);
    c.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName) values ('U-Pb', 'Uranium-lead'), "
           u"('Rb-Sr', 'Rubidium-strontium')"_s);
    // Not in key order: the start-up level is the second in key order, 2.
    c.exec(u"insert into PrefLevel (PrefLevelNo, PrefDes) values (3, 'best'), (1, 'any'), (2, 'good')"_s);
    c.exec(u"insert into GroupingList (Grouping) values ('G1')"_s);
    test::insertQueryRecords(c, {{1, u"ZAF"_s, u"Bushveld"_s, u"zr"_s, u"U-Pb"_s, 2054000, 3},
                                 {2, u"ZAF"_s, u"Bushveld"_s, u"zr"_s, u"U-Pb"_s, 2060000, 2},
                                 {3, u"BWA"_s, u"Gaborone"_s, u"bt"_s, u"U-Pb"_s, 1500000, 2},
                                 {4, u"BWA"_s, u"Gaborone"_s, u"bt"_s, u"U-Pb"_s, 1500010, 3},
                                 {5, u"NAM"_s, u"Damara"_s, u"zr"_s, u"U-Pb"_s, 550000, 2},
                                 {6, u"ZAF"_s, u"Bushveld"_s, u"xx"_s, u"U-Pb"_s, 2000000, 3},
                                 {7, u"BWA"_s, u"Gaborone"_s, u"zr"_s, u"U-Pb"_s, 2780000, 2, 1.42e-11},
                                 {8, u"ZAF"_s, u"Bushveld"_s, u"zr"_s, u"U-Pb"_s, 2050000, 1}});
    c.exec(u"insert into Grouping (RecordID, Grouping) values (1, 'G1'), (6, 'G1')"_s);
    t.commit();
}

// Notes whether the busy window was still up when an error box came.
struct RecordingInteraction : ScriptedInteraction
{
    QList<bool> busyAtError;
    void error(const QString &text) override
    {
        busyAtError << isBusy();
        ScriptedInteraction::error(text);
    }
};

/// The viewer started on the fixture, with a scripted interaction in place of message boxes.
struct Program
{
    test::TempFolders folders;
    RecordingInteraction ui;
    TfmRes fmRes;
    std::unique_ptr<TdmKVResults> dm;
    std::unique_ptr<ViewerConnections> connections;

    Program()
    {
        createDatabases(defaultLocations(), false);
        {
            Connection filler(u"filler"_s);
            filler.bind(defaultLocations().results);
            openExisting(filler, DatabaseKind::Results);
            fillFixture(filler);
        }
        fmRes.setInteraction(&ui);
        dm = std::make_unique<TdmKVResults>(fmRes.interaction());
        connections = std::make_unique<ViewerConnections>(*dm, fmRes.interaction());
        connections->bindInitial();
        fmRes.attach(*dm, *connections);
        fmRes.show();
        QTRY_VERIFY(!fmRes.statusPanel(0)->text().isEmpty());
    }
    PageDefineQuery &page() { return *fmRes.pgDefineQuery; }
    /// Checks a kind's radio button, picks a shown text in the descriptor box and clicks "&Add".
    void add(int row, const QString &shown)
    {
        page().kindButtons[row - 1]->click();
        const int index = page().dblcbAny->findText(shown);
        QVERIFY2(index >= 0, qPrintable(shown));
        page().dblcbAny->setCurrentIndex(index);
        page().bbAddToSelection->click();
    }
    /// What the "Form View" shows of a field of the current record.
    QString field(const QString &name)
    {
        const auto bound = [&](FieldLink &link) {
            return link.dataset() == dm->QResults && link.field().compare(name, Qt::CaseInsensitive) == 0;
        };
        for (DbText *w : fmRes.formView()->findChildren<DbText *>())
            if (bound(w->link()))
                return w->text();
        for (DbEdit *w : fmRes.formView()->findChildren<DbEdit *>())
            if (bound(w->link()))
                return w->text();
        for (DbLookupComboBox *w : fmRes.formView()->findChildren<DbLookupComboBox *>())
            if (bound(w->link()))
                return w->currentText();
        qWarning("no box of the Form View shows %s", qPrintable(name));
        return u"(no box)"_s;
    }
    bool secondDecayConstantShown() { return !fmRes.formView()->decayConstant2->isHidden(); }
    QStringList queryLines() { return fmRes.pgChecks->mmQuery->toPlainText().split(u'\n'); }
};

} // namespace

class TestDefineQueryPage : public QObject
{
    Q_OBJECT

private slots:
    void startUpResetsDefinition();
    void addAndRemove();
    void dateBoxes_data();
    void dateBoxes();
    void queryThroughMenu();
    void reapplyEditedText();
    void rejectedText_data();
    void rejectedText();
};

void TestDefineQueryPage::startUpResetsDefinition()
{
    Program p;
    QCOMPARE(p.ui.messages(), QStringList());
    PageDefineQuery &page = p.page();
    QTableWidget *grid = page.sgDefinition;
    QCOMPARE(grid->rowCount(), 15);
    QCOMPARE(grid->columnCount(), 8);
    QCOMPARE(grid->verticalHeaderItem(0)->text(), u"Area"_s);
    QCOMPARE(grid->verticalHeaderItem(12)->text(), u"Orog. Period"_s);
    QCOMPARE(grid->verticalHeaderItem(14)->text(), u"Reference"_s);
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), QString(17, u' ') + u"3"_s + QString(5, u' '));
    QVERIFY(page.sgHiddenDefinition->isHidden());
    QStringList captions;
    for (QRadioButton *button : page.kindButtons) {
        QVERIFY(!button->isChecked());
        captions << button->text();
    }
    QCOMPARE(captions.size(), 15);
    QCOMPARE(captions[3], u"Material used"_s);
    QCOMPARE(captions[12], u"Orogenic period"_s);
    // Before a kind is chosen the box lists the isotope systems (the installation's two, "na" and
    // "SmNd", among them), in order, with nothing picked.
    QCOMPARE(page.dblcbAny->count(), 4);
    QCOMPARE(page.dblcbAny->currentIndex(), -1);
    QCOMPARE(page.dblcbAny->itemText(1), u"Rubidium-strontium"_s);
    QCOMPARE(page.dbePrefLevelNo->text(), u"2"_s);
    QVERIFY(page.dbePrefLevelNo->isReadOnly());
    QCOMPARE(page.dbmPrefDes->toPlainText(), u"good"_s);
    QVERIFY(page.cbPrefLevel->isChecked());
    QCOMPARE(page.dblcbAgeUnits->currentText(), u"Ma"_s);
    QVERIFY(page.rbAllDates->isChecked());
    QVERIFY(!page.pcOptions->isTabEnabled(page.pcOptions->indexOf(page.tsGeographic)));
    QVERIFY(p.fmRes.eNumRecords->text().isEmpty());
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsDefineQuery);
    // The level's navigator moves the level the query uses.
    page.dbnPrefLevel->click(DatasetNavigator::First);
    const QString first = page.dbePrefLevelNo->text();
    QVERIFY2(first == u"1"_s || first == u"3"_s, qPrintable(first)); // key order or the order written
    page.readChoices();
    QCOMPARE(page.definition().prefLevel, first);
}

void TestDefineQueryPage::addAndRemove()
{
    Program p;
    PageDefineQuery &page = p.page();
    // A kind just chosen leaves the box empty.
    page.kindButtons[1]->click();
    page.bbAddToSelection->click();
    QCOMPARE(p.ui.messages(), QStringList{u"information: First specify a descriptor"_s});
    // Part of a name typed into the box is not yet a value of the list.
    page.kindButtons[0]->click();
    QTest::keyClicks(page.dblcbAny, u"Botsw"_s);
    page.bbAddToSelection->click();
    QCOMPARE(p.ui.texts(u"information"_s).size(), 2);
    QVERIFY(page.sgDefinition->item(0, 0)->text().isEmpty());
    p.add(1, u"South Africa"_s);
    p.add(1, u"Botswana"_s);
    p.add(1, u"Namibia"_s);
    p.add(4, u"zircon"_s);
    QCOMPARE(page.sgDefinition->item(0, 1)->text(), u"Botswana"_s);
    QCOMPARE(page.sgHiddenDefinition->item(0, 1)->text(), u"BWA"_s);
    QCOMPARE(page.sgDefinition->item(3, 0)->text(), u"zircon"_s);
    QCOMPARE(page.sgHiddenDefinition->item(3, 0)->text(), u"zr"_s);
    QCOMPARE(page.definition().values(1), (QStringList{u"ZAF"_s, u"BWA"_s, u"NAM"_s}));

    // Remove at South Africa's cell: the later values move left.
    page.sgDefinition->setCurrentCell(0, 0);
    page.bbRemoveFromSelection->click();
    QCOMPARE(page.sgDefinition->item(0, 0)->text(), u"Botswana"_s);
    QCOMPARE(page.sgDefinition->item(0, 1)->text(), u"Namibia"_s);
    QVERIFY(page.sgDefinition->item(0, 2)->text().isEmpty());
    QCOMPARE(page.definition().values(1), (QStringList{u"BWA"_s, u"NAM"_s}));
    // Typing into the visible grid changes what is shown, never what is asked for.
    page.sgDefinition->item(0, 0)->setText(u"typed"_s);
    QCOMPARE(page.definition().cell(1, 1), u"typed"_s);
    QCOMPARE(page.definition().values(1), (QStringList{u"BWA"_s, u"NAM"_s}));
    // Remove at an empty cell of the row still takes its last value out of the query.
    page.sgDefinition->setCurrentCell(0, 5);
    page.bbRemoveFromSelection->click();
    QCOMPARE(page.definition().values(1), QStringList{u"BWA"_s});
    QCOMPARE(p.ui.messages().size(), 2);
}

void TestDefineQueryPage::dateBoxes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("warnings");
    // 1500 Ma is 1,500,000 thousandths; 0.0005 rounds half away from zero to 1 thousandth.
    QTest::newRow("whole") << u"1500"_s << u"  1500.00"_s << u"ISORGR30.IAge > 1500000"_s << 0;
    QTest::newRow("fraction") << u" 2054.5 "_s << u"  2054.50"_s << u"ISORGR30.IAge > 2054500"_s << 0;
    QTest::newRow("no number") << u"15OO"_s << u"15OO"_s << QString() << 2;
}

void TestDefineQueryPage::dateBoxes()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, line);
    QFETCH(int, warnings);
    Program p;
    PageDefineQuery &page = p.page();
    p.add(4, u"zircon"_s);
    page.eFromDate->setFocus();
    QTest::keyClicks(page.eFromDate, typed);
    QVERIFY(page.cbFromDate->isChecked()); // typing a bound is choosing it
    page.eFromDateExit();
    QCOMPARE(page.eFromDate->text(), shown);
    p.fmRes.QueryExecute->trigger();
    QCOMPARE(p.ui.texts(u"warning"_s).size(), warnings);
    if (line.isEmpty()) {
        // Refused before it ran: no query text, no count.
        QVERIFY(p.fmRes.pgChecks->mmQuery->toPlainText().isEmpty());
        QVERIFY(p.fmRes.eNumRecords->text().isEmpty());
        QVERIFY(p.ui.texts(u"busy"_s).isEmpty());
        return;
    }
    const QStringList lines = p.queryLines();
    const qsizetype at = lines.indexOf(line);
    QVERIFY2(at > 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.mid(at - 1, 4), (QStringList{u"AND "_s, line, u"AND "_s, u"ISORGR30.AgeUnits = 'Ma'"_s}));
}

void TestDefineQueryPage::queryThroughMenu()
{
    Program p;
    PageDefineQuery &page = p.page();
    p.fmRes.GraphRatios->setEnabled(true); // as the ratio graph does when it is there
    p.add(1, u"South Africa"_s);
    p.add(1, u"Botswana"_s);
    p.add(4, u"zircon"_s);
    p.fmRes.QueryExecute->trigger();

    QCOMPARE(p.ui.messages(), QStringList());
    QCOMPARE(p.ui.texts(u"busy"_s), QStringList{u"Executing query ...."_s});
    QVERIFY(!p.ui.isBusy());
    QCOMPARE(p.fmRes.eNumRecords->text(), u"3"_s);
    const QStringList lines = p.queryLines();
    const qsizetype at = lines.indexOf(u"AND ISORGR30.MethodAbr = METHODS.MethodAbr "_s);
    QVERIFY(at > 0);
    QCOMPARE(lines.mid(at + 1),
             (QStringList{u"AND "_s, u" ("_s, u"ISORGR30.CountryAbr = 'ZAF'"_s, u"OR "_s,
                          u"ISORGR30.CountryAbr = 'BWA'"_s, u") "_s, u"AND "_s,
                          u"ISORGR30.MaterialAbr = 'zr'"_s, u"AND "_s, u"ISORGR30.PrefLevel >= 2"_s,
                          u"ORDER by CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,"
                          u"PrefLevel,TechAbr,IAge"_s}));
    const QStringList count = p.fmRes.pgChecks->mmCountQuery->toPlainText().split(u'\n');
    QCOMPARE(count.first(), u"select count(ISORGR30.RECORDID)"_s);
    QCOMPARE(count.last(), u"ISORGR30.PrefLevel >= 2"_s);
    QCOMPARE(p.fmRes.pgDeveloperQuery->text(), p.fmRes.pgChecks->mmQuery->toPlainText());

    // The record view is on the first record, Botswana's.
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsFormView);
    QCOMPARE(p.field(u"RecordID"_s), u"7"_s);
    QCOMPARE(p.field(u"UnitName"_s), u"Gaborone"_s);
    QVERIFY(p.fmRes.bbApplyGroup->isEnabled());
    QVERIFY(p.secondDecayConstantShown()); // 7 has a second constant
    p.fmRes.formView()->dbnQuery1->click(DatasetNavigator::Next);
    QCOMPARE(p.field(u"RecordID"_s), u"2"_s); // Bushveld zircon, level 2 before level 3
    // No group, province, terrane, period or chemical type: nothing to group by.
    QVERIFY(!p.fmRes.GraphRatiosGrouped->isEnabled());

    // A group descriptor narrows the query to record 1 and makes the grouped graph possible.
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsDefineQuery);
    p.add(10, u"G1"_s);
    page.bbExecuteQuery->click();
    QCOMPARE(p.ui.messages(), QStringList());
    QCOMPARE(p.fmRes.eNumRecords->text(), u"1"_s);
    QCOMPARE(p.field(u"RecordID"_s), u"1"_s);
    QVERIFY(!p.secondDecayConstantShown());
    QVERIFY(p.fmRes.GraphRatiosGrouped->isEnabled());
    QVERIFY(p.dm->Query1->isOpen());
    QVERIFY(!p.dm->DateDataCurrent);
}

void TestDefineQueryPage::reapplyEditedText()
{
    Program p;
    p.add(1, u"South Africa"_s);
    p.add(1, u"Botswana"_s);
    p.add(4, u"zircon"_s);
    p.fmRes.QueryExecute->trigger();
    QCOMPARE(p.fmRes.eNumRecords->text(), u"3"_s);
    const QString before = p.fmRes.pgChecks->mmQuery->toPlainText();
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsDeveloper);
    // Level 1 and up, by record: 1, 2, 7 and 8.
    QString text = p.fmRes.pgDeveloperQuery->text();
    text.replace(u"ISORGR30.PrefLevel >= 2"_s, u"ISORGR30.PrefLevel >= 1"_s);
    text.replace(
        u"ORDER by CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel,TechAbr,IAge"_s,
        u"ORDER by RecordID"_s);
    p.fmRes.pgDeveloperQuery->setText(text);
    p.fmRes.pgDeveloperQuery->bbReapplyQuery->click();
    QCOMPARE(p.ui.messages(), QStringList());
    QCOMPARE(p.ui.texts(u"busy"_s).size(), 2);
    QVERIFY(!p.ui.isBusy());
    QCOMPARE(p.fmRes.eNumRecords->text(), u"4"_s);
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsFormView);
    QCOMPARE(p.field(u"RecordID"_s), u"1"_s);
    // the text's own rows are counted
    QVERIFY(p.fmRes.pgChecks->mmCountQuery->toPlainText().endsWith(u"ISORGR30.PrefLevel >= 1\n) kvcount"_s));
    QCOMPARE(p.fmRes.pgChecks->mmQuery->toPlainText(), before); // the memo of the built query
    QCOMPARE(p.fmRes.pgDeveloperQuery->text(), text);
}

void TestDefineQueryPage::rejectedText_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("unknown column") << u"ISORGR30.PrefLevel >= 2"_s << u"ISORGR30.NoSuchColumn >= 2"_s;
    QTest::newRow("level left empty") << u"ISORGR30.PrefLevel >= 2"_s << u"ISORGR30.PrefLevel >= "_s;
}

void TestDefineQueryPage::rejectedText()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    Program p;
    p.add(4, u"zircon"_s);
    p.fmRes.QueryExecute->trigger();
    QCOMPARE(p.fmRes.eNumRecords->text(), u"4"_s); // 1, 2, 5 and 7
    QCOMPARE(p.field(u"RecordID"_s), u"7"_s);
    QString text = p.fmRes.pgDeveloperQuery->text();
    QVERIFY(text.contains(from));
    text.replace(from, to);
    p.fmRes.pgDeveloperQuery->setText(text);
    p.fmRes.PageControl1->setCurrentWidget(p.fmRes.tsDeveloper);
    p.fmRes.bbReapplyQueryClick();

    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QCOMPARE(p.ui.busyAtError, QList<bool>{false}); // the box is not shown over the busy window
    QVERIFY(!p.ui.isBusy());
    QVERIFY(p.fmRes.eNumRecords->text().isEmpty());
    QVERIFY(p.field(u"RecordID"_s).isEmpty());
    QVERIFY(p.field(u"UnitName"_s).isEmpty());
    QVERIFY(!p.fmRes.bbApplyGroup->isEnabled());
    QVERIFY(!p.dm->Query1->isOpen());
    // The text stays for mending; the next query runs as before.
    QCOMPARE(p.fmRes.PageControl1->currentWidget(), p.fmRes.tsDeveloper);
    QCOMPARE(p.fmRes.pgDeveloperQuery->text(), text);
    p.fmRes.QueryExecute->trigger();
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QCOMPARE(p.fmRes.eNumRecords->text(), u"4"_s);
    QCOMPARE(p.field(u"RecordID"_s), u"7"_s);
}

QTEST_MAIN(TestDefineQueryPage)
#include "tst_define_query_page.moc"
