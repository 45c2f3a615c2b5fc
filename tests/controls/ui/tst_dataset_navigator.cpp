// SPDX-License-Identifier: GPL-3.0-or-later
// The navigator's buttons follow the dataset and act on it.
#include "controls/ui/dataset_navigator.h"
#include "core/scripted_interaction.h"
#include "data/dataset.h"
#include "test_support.h"

#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace kv;

class TestDatasetNavigator : public QObject
{
    Q_OBJECT

private slots:
    void buttonsFollowDataset();
};

void TestDatasetNavigator::buttonsFollowDataset()
{
    test::TestDatabase database(u"sqlite"_s);
    auto c = test::createDatabase(database, DatabaseKind::Results);
    c->exec(u"insert into Country (CountryAbr, Country) values ('BWA', 'Botswana')"_s);
    c->exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa')"_s);
    Dataset d(u"Country"_s, c.get());
    d.setSql({u"select * from Country"_s, u"order by CountryAbr"_s});
    d.setLive(true);
    ScriptedInteraction ui;
    DatasetNavigator navigator(ui);
    navigator.setDataset(&d);
    using N = DatasetNavigator;
    const auto enabled = [&](N::Button b) { return navigator.button(b)->isEnabled(); };
    QVERIFY(!enabled(N::Next) && !enabled(N::Insert)); // closed

    d.open();
    QVERIFY(!enabled(N::First) && !enabled(N::Prior) && enabled(N::Next) && enabled(N::Last));
    QVERIFY(enabled(N::Insert) && enabled(N::Delete) && !enabled(N::Post) && !enabled(N::Cancel));
    navigator.click(N::Next);
    QCOMPARE(d.text(u"CountryAbr"_s), u"ZAF"_s);
    QVERIFY(enabled(N::First) && enabled(N::Prior));
    navigator.click(N::Next); // past the last row
    QVERIFY(!enabled(N::Next) && !enabled(N::Last));
    QCOMPARE(d.text(u"CountryAbr"_s), u"ZAF"_s);

    // delete asks first; No keeps the row
    ui.queueAnswers({Interaction::Answer::No, Interaction::Answer::Yes});
    navigator.click(N::Delete);
    QCOMPARE(d.recordCount(), 2);
    navigator.click(N::Delete);
    QCOMPARE(d.recordCount(), 1);
    QCOMPARE(ui.texts(u"question"_s), (QStringList{u"Delete record? [No]"_s, u"Delete record? [Yes]"_s}));

    // insert; a failing post is shown as an error and the row stays in insert
    navigator.click(N::Insert);
    QVERIFY(enabled(N::Post) && enabled(N::Cancel) && !enabled(N::Next) && !enabled(N::Insert));
    d.setValue(u"CountryAbr"_s, u"BWA"_s);
    navigator.click(N::Post);
    QCOMPARE(ui.texts(u"error"_s).size(), 1);
    QVERIFY(ui.texts(u"error"_s).first().contains(u"UNIQUE"_s, Qt::CaseInsensitive));
    QCOMPARE(d.state(), Dataset::State::Insert);
    navigator.click(N::Cancel);
    QCOMPARE(d.state(), Dataset::State::Browse);

    navigator.setVisibleButtons(N::First | N::Prior | N::Next | N::Last);
    QVERIFY(navigator.button(N::Delete)->isHidden() && !navigator.button(N::First)->isHidden());
}

QTEST_MAIN(TestDatasetNavigator)
#include "tst_dataset_navigator.moc"
