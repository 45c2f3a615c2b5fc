// SPDX-License-Identifier: GPL-3.0-or-later
// The query definition the "Define Query" tab edits, and the text the query command writes for it.
// Expected lines are copied from the written description of the query text, not from the code.
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

const QString order0 =
    u"ORDER by CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel,TechAbr,IAge"_s;
const QStringList joins{
    u"WHERE ISORGR30.CountryAbr = COUNTRY.CountryAbr "_s,
    u"AND ISORGR30.UnitName = SUITE.UnitName "_s,
    u"AND ISORGR30.Lithology = LITHOL.Lithology "_s,
    u"AND ISORGR30.MaterialAbr = MATERIAL.MaterialAbr "_s,
    u"AND ISORGR30.ApproachAbr = APPROACH.ApproachAbr "_s,
    u"AND ISORGR30.InterpAbr = INTERPRETATION.InterpAbr "_s,
    u"AND ISORGR30.IsotopeSystem = ISOSYSTEM.IsoSystem "_s,
    u"AND ISORGR30.TechAbr = TECHNIQUE.TechAbr "_s,
    u"AND ISORGR30.MethodAbr = METHODS.MethodAbr "_s,
};

// Runs a little script of what the tab's user does: "add ROW VALUE", "remove COLUMN ROW", "from TEXT",
// "to TEXT", "pref LEVEL|none|empty", "isochron", "dc with|without", "order N".
void play(QueryDefinition &d, const QStringList &script)
{
    for (const QString &step : script) {
        const QStringList w = step.split(u' ');
        if (w[0] == u"add"_s)
            d.addValue(w[1].toInt(), u"shown "_s + w.mid(2).join(u' '), w.mid(2).join(u' '));
        else if (w[0] == u"remove"_s)
            d.removeFromSelection(w[1].toInt(), w[2].toInt());
        else if (w[0] == u"from"_s)
            d.fromDate = true, d.fromDateText = w.mid(1).join(u' ');
        else if (w[0] == u"to"_s)
            d.toDate = true, d.toDateText = w.mid(1).join(u' ');
        else if (w[0] == u"pref"_s && w[1] == u"none"_s)
            d.prefLevelChecked = false;
        else if (w[0] == u"pref"_s)
            d.prefLevel = w[1] == u"empty"_s ? QString() : w[1];
        else if (w[0] == u"isochron"_s)
            d.isochronOnly = true;
        else if (w[0] == u"dc"_s)
            d.decayConstants = w[1] == u"with"_s ? QueryDefinition::DecayConstants::WithUncertainties
                                                 : QueryDefinition::DecayConstants::WithoutUncertainties;
        else if (w[0] == u"order"_s)
            d.order = w[1].toInt();
        else
            qFatal("unknown step");
    }
}

} // namespace

class TestQueryDefinition : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void addAndRemove();
    void addAsks();
    void formatDate_data();
    void formatDate();
    void queryLines_data();
    void queryLines();
    void countLines();
    void memoLines();
};

void TestQueryDefinition::startState()
{
    QueryDefinition d;
    d.addValue(1, u"South Africa"_s, u"ZAF"_s);
    d.ageUnits = u"Ga"_s;
    d.reset(u"2"_s);
    QCOMPARE(d.count(1), 0);
    QCOMPARE(d.hiddenCell(1, 1), QString());
    QCOMPARE(d.cell(3, 0), u"                 3     "_s);
    QCOMPARE(d.cell(0, 13), u"Orog. Period"_s);
    QCOMPARE(d.ageUnits, u"Ma"_s);
    QCOMPARE(d.prefLevel, u"2"_s);
    QVERIFY(d.prefLevelChecked);
    QVERIFY(!d.fromDate && !d.toDate && !d.isochronOnly);
    QCOMPARE(d.order, 0);
    QCOMPARE(d.decayConstants, QueryDefinition::DecayConstants::All);
}

void TestQueryDefinition::addAndRemove()
{
    QueryDefinition d;
    for (int i = 1; i <= 9; ++i)
        d.addValue(2, u"Unit %1"_s.arg(i), u"U%1"_s.arg(i));
    // the ninth value took the eighth's place
    QCOMPARE(d.count(2), 8);
    QCOMPARE(d.values(2),
             (QStringList{u"U1"_s, u"U2"_s, u"U3"_s, u"U4"_s, u"U5"_s, u"U6"_s, u"U7"_s, u"U9"_s}));
    QCOMPARE(d.cell(8, 2), u"Unit 9"_s);

    d.removeFromSelection(3, 2); // the later values move left, in both grids
    QCOMPARE(d.values(2), (QStringList{u"U1"_s, u"U2"_s, u"U4"_s, u"U5"_s, u"U6"_s, u"U7"_s, u"U9"_s}));
    QCOMPARE(d.cell(3, 2), u"Unit 4"_s);
    QCOMPARE(d.cell(8, 2), QString());
    d.removeFromSelection(8, 2); // an empty cell: the row still loses its last value
    QCOMPARE(d.count(2), 6);
    QCOMPARE(d.values(2).last(), u"U7"_s);
    QCOMPARE(d.hiddenCell(7, 2), u"U9"_s); // still in the grid, no longer used

    d.removeFromSelection(1, 4); // an empty row stays at 0
    QCOMPARE(d.count(4), 0);
    d.removeFromSelection(0, 2); // the label column is never a current cell
    QCOMPARE(d.cell(0, 2), u"Unit"_s);
    QCOMPARE(d.count(2), 6);

    d.setCell(1, 2, u"typed"_s); // typing shows, but the query reads the hidden grid
    QCOMPARE(d.values(2).first(), u"U1"_s);
    QVERIFY_THROWS_EXCEPTION(InputError, d.addValue(16, u"x"_s, u"x"_s));
}

void TestQueryDefinition::addAsks()
{
    ScriptedInteraction ui;
    QueryDefinition d;
    d.chooseKind(4);
    QVERIFY(!d.addToSelection(ui));
    QCOMPARE(ui.messages(), QStringList{u"information: First specify a descriptor"_s});
    d.setDescriptor(u"zircon"_s, u"zr"_s);
    QVERIFY(d.addToSelection(ui));
    QCOMPARE(d.values(4), QStringList{u"zr"_s});
    QCOMPARE(d.cell(1, 4), u"zircon"_s);
    d.chooseKind(1); // choosing a kind clears the box
    QCOMPARE(d.descriptorText(), QString());

    // Before any kind is chosen the box lists isotope systems: its value goes to that row.
    QueryDefinition start;
    start.setDescriptor(u"Uranium-lead"_s, u"U-Pb"_s);
    QVERIFY(start.addToSelection(ui));
    QCOMPARE(start.values(5), QStringList{u"U-Pb"_s});
}

void TestQueryDefinition::formatDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("valid");
    QTest::newRow("whole") << u"1500"_s << u"  1500.00"_s << true;
    QTest::newRow("fraction") << u" 0.5"_s << u"  0.50"_s << true;
    QTest::newRow("rounded") << u"2.125"_s << u"  2.13"_s << true; // 2.125 is exact in binary; rounds up
    QTest::newRow("negative") << u"-3"_s << u"  -3.00"_s << true;
    QTest::newRow("empty") << u""_s << u""_s << true;
    QTest::newRow("word") << u"old"_s << QString() << false;
    QTest::newRow("comma") << u"1,5"_s << QString() << false;
}

void TestQueryDefinition::formatDate()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, valid);
    if (valid)
        QCOMPARE(QueryDefinition::formatDate(text), expected);
    else
        QVERIFY_THROWS_EXCEPTION(InputError, QueryDefinition::formatDate(text));
}

void TestQueryDefinition::queryLines_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("extraTables"); // between the from line and the joins
    QTest::addColumn<QStringList>("extraJoins");  // after the nine joins
    QTest::addColumn<QStringList>("conditions");  // after the joins, up to the order line
    QTest::addColumn<QString>("orderLine");
    QTest::addColumn<bool>("grouped");
    QTest::addColumn<QString>("fromText"); // the from-date box after the command

    QTest::newRow("two areas and a material")
        << QStringList{u"add 1 ZAF"_s, u"add 4 zr"_s, u"add 1 BWA"_s} << QStringList() << QStringList()
        << QStringList{u"AND "_s,
                       u" ("_s,
                       u"ISORGR30.CountryAbr = 'ZAF'"_s,
                       u"OR "_s,
                       u"ISORGR30.CountryAbr = 'BWA'"_s,
                       u") "_s,
                       u"AND "_s,
                       u"ISORGR30.MaterialAbr = 'zr'"_s}
        << order0 << false << QString();
    QTest::newRow("from-date 1500") << QStringList{u"from 1500"_s, u"pref empty"_s} << QStringList()
                                    << QStringList()
                                    << QStringList{u"AND "_s, u"ISORGR30.IAge > 1500000"_s, u"AND "_s,
                                                   u"ISORGR30.AgeUnits = 'Ma'"_s}
                                    << order0 << false << u"  1500.00"_s;
    QTest::newRow("ninth value replaces the eighth")
        << QStringList{u"add 9 a"_s, u"add 9 b"_s, u"add 9 c"_s, u"add 9 d"_s, u"add 9 e"_s,
                       u"add 9 f"_s, u"add 9 g"_s, u"add 9 h"_s, u"add 9 i"_s}
        << QStringList() << QStringList()
        << QStringList{u"AND "_s,
                       u" ("_s,
                       u"ISORGR30.MethodAbr = 'a'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'b'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'c'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'd'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'e'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'f'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'g'"_s,
                       u"OR "_s,
                       u"ISORGR30.MethodAbr = 'i'"_s,
                       u") "_s}
        << order0 << false << QString();
    QTest::newRow("removing from an empty cell")
        << QStringList{u"add 1 ZAF"_s, u"add 1 BWA"_s, u"remove 5 1"_s} << QStringList() << QStringList()
        << QStringList{u"AND "_s, u"ISORGR30.CountryAbr = 'ZAF'"_s} << order0 << false << QString();
    // With nothing else restricting, the empty level stays checked, but there is no level to compare with:
    // no condition rather than an incomplete text.
    QTest::newRow("empty preference level")
        << QStringList{u"pref empty"_s} << QStringList() << QStringList() << QStringList() << order0 << false
        << QString();
    QTest::newRow("empty preference level, with an area")
        << QStringList{u"pref empty"_s, u"add 1 ZAF"_s} << QStringList() << QStringList()
        << QStringList{u"AND "_s, u"ISORGR30.CountryAbr = 'ZAF'"_s} << order0 << false << QString();
    QTest::newRow("no condition at all")
        << QStringList{u"pref none"_s, u"order 1"_s} << QStringList() << QStringList() << QStringList()
        << u"ORDER by RecordID"_s << false << QString();
    QTest::newRow("row 15 alone") << QStringList{u"add 15 Smith 1990"_s, u"pref 2"_s}
                                  << QStringList{u",SOURCEA "_s}
                                  << QStringList{u"AND ISORGR30.RecordID = SOURCEA.RecordID "_s}
                                  << QStringList{u"AND "_s, u"SOURCEA.SourceID = 'Smith 1990'"_s, u"AND "_s,
                                                 u"ISORGR30.PrefLevel >= 2"_s}
                                  << order0 << false << QString();
    QTest::newRow("grouped: a group and a province")
        << QStringList{u"add 11 Kaapvaal"_s, u"add 10 G1"_s, u"pref none"_s}
        << QStringList{u",GROUPING "_s, u",PROVINCE "_s}
        << QStringList{u"AND ISORGR30.RecordID = GROUPING.RecordID "_s,
                       u"AND ISORGR30.RecordID = PROVINCE.RecordID "_s}
        << QStringList{u"AND "_s, u"Grouping.Grouping = 'G1'"_s, u"AND "_s,
                       u"Province.Province = 'Kaapvaal'"_s}
        << order0 << true << QString();
    QTest::newRow("every other clause, in its place")
        << QStringList{u"add 14 cA"_s, u"add 1 ZAF"_s, u"isochron"_s, u"to 3000"_s,
                       u"from 2.5"_s,  u"pref 1"_s,    u"dc with"_s,  u"order 2"_s}
        << QStringList{u",ISOCHEMTYPE "_s, u",ISOSTATISTICS "_s}
        << QStringList{u"AND ISORGR30.RecordID = ISOCHEMTYPE.RecordID "_s}
        << QStringList{u"AND "_s,
                       u"ISORGR30.CountryAbr = 'ZAF'"_s,
                       u"AND "_s,
                       u"(ISOSTATISTICS.RECORDID = ISORGR30.RECORDID)"_s,
                       u"AND "_s,
                       u"(ISOSTATISTICS.MSWD < ISOSTATISTICS.FCutOff or ISOSTATISTICS.ProbOfFit > ISOSTATISTICS.Alpha)"_s,
                       u"AND "_s,
                       u"ISORGR30.IAge > 2500"_s,
                       u"AND "_s,
                       u"ISORGR30.IAge < 3000000"_s,
                       u"AND "_s,
                       u"ISORGR30.AgeUnits = 'Ma'"_s,
                       u"AND "_s,
                       u"IsoChemType.ChemTypeAbr = 'cA'"_s,
                       u"AND "_s,
                       u"ISORGR30.PrefLevel >= 1"_s,
                       u"AND "_s,
                       u"ISORGR30.SigmaPercentDC1 > 0.0001"_s}
        << u"ORDER by IAge,CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel"_s
        << true << u"  2.50"_s;
    QTest::newRow("without decay-constant uncertainties, order 3")
        << QStringList{u"dc without"_s, u"pref none"_s, u"order 3"_s} << QStringList() << QStringList()
        << QStringList{u"AND "_s, u"ISORGR30.SigmaPercentDC1 <= 0.0001"_s}
        << u"ORDER by MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel,IAge,TechAbr,CountryAbr,UnitName"_s
        << false << QString();
    QTest::newRow("a quote in a key value is doubled")
        << QStringList{u"add 3 Gneiss d'Amont"_s} << QStringList() << QStringList()
        << QStringList{u"AND "_s, u"ISORGR30.Lithology = 'Gneiss d''Amont'"_s} << order0 << false
        << QString();
}

void TestQueryDefinition::queryLines()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, extraTables);
    QFETCH(QStringList, extraJoins);
    QFETCH(QStringList, conditions);
    QFETCH(QString, orderLine);
    QFETCH(bool, grouped);
    QFETCH(QString, fromText);

    QueryDefinition d;
    play(d, script);
    d.prepareForQuery();
    const QStringList lines = QueryCommand::queryLines(d);

    QCOMPARE(lines.size(), 7 + extraTables.size() + joins.size() + extraJoins.size() + conditions.size() + 1);
    QCOMPARE(lines[0],
             u"select ISORGR30.CountryAbr, ISORGR30.UnitName, ISORGR30.Lithology, ISORGR30.MaterialAbr, "
             u"ISORGR30.ApproachAbr, "_s);
    QCOMPARE(lines[5], u"ISORGR30.Comment, ISORGR30.RegisteredUser, ISORGR30.Confidential "_s);
    QCOMPARE(
        lines[6],
        u"from isorgr30, Country, Interpretation, Approach,Material,Methods,Technique, IsoSystem,Suite,Lithol"_s);
    QCOMPARE(lines.mid(7, extraTables.size()), extraTables);
    QCOMPARE(lines.mid(7 + extraTables.size(), joins.size() + extraJoins.size()), joins + extraJoins);
    QCOMPARE(lines.mid(7 + extraTables.size() + joins.size() + extraJoins.size(), conditions.size()),
             conditions);
    QCOMPARE(lines.last(), orderLine);
    QCOMPARE(QueryCommand::groupedEnabled(d, true), grouped);
    QVERIFY(!QueryCommand::groupedEnabled(d, false));
    QCOMPARE(d.fromDateText.isEmpty() ? QString() : d.fromDateText, fromText);
}

void TestQueryDefinition::countLines()
{
    QueryDefinition d;
    play(d, {u"add 10 G1"_s, u"from 100"_s});
    d.prepareForQuery();
    const QStringList lines = QueryCommand::queryLines(d);
    const QStringList count = QueryCommand::countLines(lines);
    QCOMPARE(count[0], u"select count(ISORGR30.RECORDID)"_s);
    QCOMPARE(count[1], lines[6]);
    QCOMPARE(count[2], u",GROUPING "_s);
    QCOMPARE(count.mid(2), lines.mid(7, lines.size() - 8)); // all but the order line
    // A text of fewer than nine lines counts every record.
    QCOMPARE(QueryCommand::countLines(lines.mid(0, 8)).size(), 2);
}

void TestQueryDefinition::memoLines()
{
    QCOMPARE(QueryCommand::memoLines(u"a\r\nb\n"_s), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(QueryCommand::memoLines(u"a\n\nb"_s), (QStringList{u"a"_s, QString(), u"b"_s}));
    QCOMPARE(QueryCommand::memoLines(QString()), QStringList());
}

QTEST_GUILESS_MAIN(TestQueryDefinition)
#include "tst_query_definition.moc"
