// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/strat_table.h"

#include "controls/workbook.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "data/connection.h"
#include "data/read_only_scope.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The query's select and from lines; what follows them is its own.
constexpr int queryHeadLines = 7;

// The fields are named rather than "select *": the ten tables share column names (CountryAbr, UnitName,
// DecayConst1, ...), and an engine that sorts by output name refuses an ORDER BY over duplicates. The
// record's own sort and join columns come first, so the query's order line finds each once.
const QStringList stratHead{
    u"select ISORGR30.CountryAbr, ISORGR30.UnitName, ISORGR30.MaterialAbr, ISORGR30.IsotopeSystem, "_s,
    u"ISORGR30.ApproachAbr, ISORGR30.InterpAbr, ISORGR30.TechAbr, ISORGR30.MethodAbr, ISORGR30.RecordID, "_s,
    u"ISORGR30.PrefLevel, ISORGR30.IAge, ISORGR30.IAgePError, ISORGR30.IAgeMError, "_s,
    u"COUNTRY.Country, COUNTRY.CountryOffset, COUNTRY.CountryOffset2, COUNTRY.CountryOffset3, "_s,
    u"SUITE.FormationOffset, SUITE.FormationOffset2, SUITE.FormationOffset3, SUITE.GISID, "_s,
    u"INTERPRETATION.Interpretation, MATERIAL.MaterialDescription, ISOSYSTEM.IsoSystemName, "_s,
    u"APPROACH.ApproachDescription, TECHNIQUE.Technique, METHODS.MethodName "_s,
    u"from isorgr30,Country,Interpretation,Approach,Material,Methods,Technique,IsoSystem,Suite,Lithol"_s,
};

// Positions in the select list above.
enum Column
{
    UnitName = 1,
    PrefLevel = 9,
    IAge,
    IAgePError,
    IAgeMError,
    Country,
    CountryOffset,
    CountryOffset2,
    CountryOffset3,
    FormationOffset,
    FormationOffset2,
    FormationOffset3,
    GISID,
    Interpretation,
    MaterialDescription,
    IsoSystemName,
    ApproachDescription,
    Technique,
    MethodName,
};

// How often, in rows, the progress panel is written.
constexpr int reportEvery = 1000;

} // namespace

const QStringList &stratHeadings()
{
    static const QStringList headings{
        u"Country"_s,
        u"CountryOffset"_s,
        u"UnitName"_s,
        u"UnitOffset"_s,
        u"Interpretation"_s,
        u"Rank"_s,
        u"Date"_s,
        u"+95%"_s,
        u"-95%"_s,
        u"Material"_s,
        u"IsotopeSystem"_s,
        u"Approach"_s,
        u"Technique"_s,
        u"Country+Unit Offset"_s,
        u"Country+Unit Offset 2"_s,
        u"Country+Unit Offset 3"_s,
        u"GIS ID"_s,
        u"Method"_s,
    };
    return headings;
}

QStringList stratQueryLines(const QStringList &queryLines)
{
    if (queryLines.size() <= queryHeadLines)
        throw InputError(u"The current query has no joins or conditions after its select and from lines, so "
                         u"there is no stratigraphic table to build from it. Run a query first."_s);
    return stratHead + queryLines.mid(queryHeadLines);
}

int fillStratigraphicTable(Connection &connection, const QStringList &stratLines, Workbook &workbook,
                           Interaction &ui)
{
    const QString sql = connection.adapt(stratLines.join(u'\n'));
    // The query's lines may be a typed text: whatever it says, it only reads here.
    ReadOnlyScope readOnly(connection);
    QSqlQuery q = connection.query();
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw connection.translate(q.lastError(), sql);

    workbook.clear();
    WorkbookSheet &sheet = workbook.sheetAt(workbook.sheet());
    const QStringList &headings = stratHeadings();
    for (int c = 0; c < headings.size(); ++c)
        sheet.setText(1, c + 1, headings[c]);

    // Missing numbers are written as 0, as an offset left blank means none.
    const auto number = [&](int column) { return q.value(column).toDouble(); };
    const auto text = [&](int column, int sheetColumn, int row) {
        const QString value = q.value(column).toString();
        if (!value.isEmpty())
            sheet.setText(row, sheetColumn, value);
    };
    int row = 1;
    while (q.next()) {
        ++row;
        if (row % reportEvery == 0)
            ui.progress(u"Filling spreadsheet for row "_s + QString::number(row));
        text(Country, 1, row);
        sheet.setNumber(row, 2, number(CountryOffset));
        text(UnitName, 3, row);
        sheet.setNumber(row, 4, number(FormationOffset));
        text(Interpretation, 5, row);
        sheet.setNumber(row, 6, number(PrefLevel));
        sheet.setNumber(row, 7, number(IAge) / 1000);
        sheet.setNumber(row, 8, number(IAgePError) / 1000);
        sheet.setNumber(row, 9, number(IAgeMError) / 1000);
        text(MaterialDescription, 10, row);
        text(IsoSystemName, 11, row);
        text(ApproachDescription, 12, row);
        text(Technique, 13, row);
        sheet.setNumber(row, 14, number(CountryOffset) + number(FormationOffset));
        sheet.setNumber(row, 15, number(CountryOffset2) + number(FormationOffset2));
        sheet.setNumber(row, 16, number(CountryOffset3) + number(FormationOffset3));
        sheet.setNumber(row, 17, number(GISID));
        text(MethodName, 18, row);
    }
    if (q.lastError().isValid())
        throw connection.translate(q.lastError(), sql);
    workbook.setMaxRow(row);
    workbook.setRow(1);
    workbook.setCol(1);
    return row - 1;
}

} // namespace kv
