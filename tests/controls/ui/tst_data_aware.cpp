// SPDX-License-Identifier: GPL-3.0-or-later
// Widgets bound to dataset fields follow the cursor and write what the user enters.
#include "controls/ui/data_aware.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "test_support.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

class TestDataAware : public QObject
{
    Q_OBJECT

private slots:
    void widgetsFollowAndWrite();
    void lookupBoxWithoutField();
};

void TestDataAware::widgetsFollowAndWrite()
{
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(
        u"insert into IsoRgr30 (RecordID, IAge, InterpAbr, Confidential, Comment) values (1, 1500, 'Empl', 0, 'first')"_s);
    c->exec(
        u"insert into IsoRgr30 (RecordID, IAge, InterpAbr, Confidential) values (2, 2710000, 'Meta', 1)"_s);
    c->exec(u"insert into Interpretation (InterpAbr, Interpretation) values ('Empl', 'Emplacement')"_s);
    c->exec(u"insert into Interpretation (InterpAbr, Interpretation) values ('Meta', 'Metamorphism')"_s);
    Dataset records(u"QResults"_s, c.get());
    records.setSql({u"select * from IsoRgr30"_s, u"order by RecordID"_s});
    records.setLive(true);
    addAgeFields(records);
    Dataset interpretations(u"Interpretation"_s, c.get());
    interpretations.setSql({u"select * from Interpretation"_s});
    ScriptedInteraction ui;

    DbEdit age(ui), iage(ui);
    DbCheckBox confidential(ui);
    DbLookupComboBox interpretation(ui);
    DbMemo comment(ui);
    records.open();
    interpretations.open();
    age.setField(&records, u"Age"_s);
    iage.setField(&records, u"IAge"_s);
    confidential.setField(&records, u"Confidential"_s);
    comment.setField(&records, u"Comment"_s);
    interpretation.setField(&records, u"InterpAbr"_s);
    interpretation.setList(&interpretations, u"InterpAbr"_s, u"Interpretation"_s);

    QCOMPARE(age.text(), u"1.50"_s);
    QVERIFY(!confidential.isChecked());
    QCOMPARE(interpretation.count(), 2);
    QCOMPARE(interpretation.currentText(), u"Emplacement"_s);
    QCOMPARE(comment.toPlainText(), u"first"_s);
    records.next();
    QCOMPARE(age.text(), u"2710.00"_s);
    QVERIFY(confidential.isChecked());
    QCOMPARE(interpretation.currentText(), u"Metamorphism"_s);
    QVERIFY(comment.toPlainText().isEmpty());

    // typing a new value: the dataset goes into edit and the calculated age follows
    iage.setText(u"2700500"_s);
    iage.setModified(true);
    emit iage.editingFinished();
    QCOMPARE(records.state(), Dataset::State::Edit);
    QCOMPARE(age.text(), u"2700.50"_s);
    interpretation.setCurrentIndex(0);
    emit interpretation.activated(0);
    confidential.setChecked(false);
    QVERIFY(records.post());
    QSqlQuery stored = c->exec(u"select IAge, InterpAbr, Confidential from IsoRgr30 where RecordID = 2"_s);
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toInt(), 2700500);
    QCOMPARE(stored.value(1).toString(), u"Empl"_s);
    QCOMPARE(stored.value(2).toInt(), 0);

    // a value that is no number is refused with a message, and the box shows the stored value again
    iage.setText(u"old"_s);
    iage.setModified(true);
    emit iage.editingFinished();
    QCOMPARE(ui.texts(u"error"_s).size(), 1);
    records.cancel();
    QCOMPARE(iage.text(), u"2700500"_s);
    QCOMPARE(records.state(), Dataset::State::Browse);

    // a read-only dataset gives read-only widgets
    records.setLive(false);
    records.refresh();
    QVERIFY(iage.isReadOnly());
    QVERIFY(!confidential.isEnabled());
}

void TestDataAware::lookupBoxWithoutField()
{
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(u"insert into Interpretation (InterpAbr, Interpretation) values ('Empl', 'Emplacement'), "
            u"('Meta', 'Metamorphism')"_s);
    Dataset interpretations(u"Interpretation"_s, c.get());
    interpretations.setSql({u"select * from Interpretation"_s});
    interpretations.open();
    ScriptedInteraction ui;
    // A plain picker (the query's descriptor box): starts with no choice and keeps the user's.
    DbLookupComboBox picker(ui);
    picker.setList(&interpretations, u"InterpAbr"_s, u"Interpretation"_s);
    QCOMPARE(picker.count(), 2);
    QCOMPARE(picker.currentIndex(), -1);
    picker.setCurrentIndex(1);
    emit picker.activated(1);
    QCOMPARE(picker.currentKey().toString(), u"Meta"_s);
    QVERIFY(picker.isEnabled());
    QCOMPARE(ui.messages(), QStringList());
    picker.reloadList();
    QCOMPARE(picker.currentIndex(), -1);
}

QTEST_MAIN(TestDataAware)
#include "tst_data_aware.moc"
