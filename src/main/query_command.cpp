// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/query_command.h"

#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/read_only_scope.h"
#include "main/query_definition.h"

#include <algorithm>
#include <cmath>

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString countSelect = u"select count(ISORGR30.RECORDID)"_s;
const QString fromLine =
    u"from isorgr30, Country, Interpretation, Approach,Material,Methods,Technique, IsoSystem,Suite,Lithol"_s;
// Query1's select and from lines: the count query takes what follows them.
constexpr int headLines = 7;

const QStringList selectLines{
    u"select ISORGR30.CountryAbr, ISORGR30.UnitName, ISORGR30.Lithology, ISORGR30.MaterialAbr, ISORGR30.ApproachAbr, "_s,
    u"ISORGR30.InterpAbr, ISORGR30.IsotopeSystem, ISORGR30.TechAbr, ISORGR30.MethodAbr, ISORGR30.RecordID, "_s,
    u"ISORGR30.PrefLevel, ISORGR30.IAge, ISORGR30.IAgePError, ISORGR30.IAgeMError, "_s,
    u"ISORGR30.Age, ISORGR30.AgePError, ISORGR30.AgeMError, ISORGR30.AgeUnits, ISORGR30.DateString, "_s,
    u"ISORGR30.DecayConst1, ISORGR30.DecayConst2, ISORGR30.SigmaPercentDC1, ISORGR30.SigmaPercentDC2, "_s,
    u"ISORGR30.Comment, ISORGR30.RegisteredUser, ISORGR30.Confidential "_s,
};

const QStringList joinLines{
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

const QStringList orderLines{
    u"ORDER by CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel,TechAbr,IAge"_s,
    u"ORDER by RecordID"_s,
    u"ORDER by IAge,CountryAbr,UnitName,MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel"_s,
    u"ORDER by MaterialAbr,IsotopeSystem,ApproachAbr,InterpAbr,PrefLevel,IAge,TechAbr,CountryAbr,UnitName"_s,
};

// A value goes between quotes in the text: a quote inside it is doubled, so that "O'Brien" is
// looked for as written instead of ending the literal.
QString quoted(const QString &value)
{
    QString text = value;
    text.replace(u'\'', u"''"_s);
    return text;
}

void addConditions(QStringList &lines, const QueryDefinition &definition, int firstRow, int lastRow)
{
    for (int row = firstRow; row <= lastRow; ++row) {
        const QStringList values = definition.values(row);
        if (values.isEmpty())
            continue;
        const QString &prefix = descriptorKind(row).conditionPrefix;
        lines << u"AND "_s;
        if (values.size() > 1)
            lines << u" ("_s;
        lines << prefix + quoted(values.first()) + u'\'';
        for (qsizetype i = 1; i < values.size(); ++i)
            lines << u"OR "_s << prefix + quoted(values[i]) + u'\'';
        if (values.size() > 1)
            lines << u") "_s;
    }
}

// The date in thousandths of the age unit, as IAge stores it.
QString thousandths(const QString &text)
{
    return QString::number(std::llround(QueryDefinition::dateValue(text) * 1000));
}

// Shows the busy window for its lifetime, so that no way out of a command leaves it on screen.
class BusyWindow
{
public:
    BusyWindow(Interaction &ui, const QString &text) : m_ui(ui) { m_ui.busy(text); }
    ~BusyWindow() { done(); }
    void done()
    {
        if (!m_done)
            m_ui.busyDone();
        m_done = true;
    }

private:
    Interaction &m_ui;
    bool m_done = false;
};

} // namespace

QueryCommand::QueryCommand(TdmKVResults &dm, Interaction &ui) : m_dm(dm), m_ui(ui) {}

QStringList QueryCommand::queryLines(const QueryDefinition &definition)
{
    if (definition.order < 0 || definition.order >= int(orderLines.size()))
        throw InputError(u"There is no sort order %1 (the orders are 0 to 3)."_s.arg(definition.order));
    QStringList lines = selectLines;
    lines << fromLine;
    for (int row = 10; row <= 15; ++row)
        if (definition.hasValues(row))
            lines << descriptorKind(row).extraTable;
    if (definition.isochronOnly)
        lines << u",ISOSTATISTICS "_s;

    lines << joinLines;
    for (int row = 10; row <= 15; ++row)
        if (definition.hasValues(row))
            lines << descriptorKind(row).joinLine;

    addConditions(lines, definition, 1, 9);
    if (definition.isochronOnly)
        lines
            << u"AND "_s << u"(ISOSTATISTICS.RECORDID = ISORGR30.RECORDID)"_s << u"AND "_s
            << u"(ISOSTATISTICS.MSWD < ISOSTATISTICS.FCutOff or ISOSTATISTICS.ProbOfFit > ISOSTATISTICS.Alpha)"_s;
    if (definition.fromDate)
        lines << u"AND "_s << u"ISORGR30.IAge > "_s + thousandths(definition.fromDateText);
    if (definition.toDate)
        lines << u"AND "_s << u"ISORGR30.IAge < "_s + thousandths(definition.toDateText);
    if (definition.fromDate || definition.toDate)
        lines << u"AND "_s << u"ISORGR30.AgeUnits = '"_s + quoted(definition.ageUnits) + u'\'';
    addConditions(lines, definition, 10, 15);
    // The level goes into the text as the number it is; a database without levels has none to compare with.
    bool isLevel = false;
    const int level = definition.prefLevel.trimmed().toInt(&isLevel);
    if (definition.prefLevelChecked && isLevel)
        lines << u"AND "_s << u"ISORGR30.PrefLevel >= "_s + QString::number(level);
    if (definition.decayConstants == QueryDefinition::DecayConstants::WithoutUncertainties)
        lines << u"AND "_s << u"ISORGR30.SigmaPercentDC1 <= 0.0001"_s;
    else if (definition.decayConstants == QueryDefinition::DecayConstants::WithUncertainties)
        lines << u"AND "_s << u"ISORGR30.SigmaPercentDC1 > 0.0001"_s;
    lines << orderLines[definition.order];
    return lines;
}

QStringList QueryCommand::countOfText(const QStringList &queryLines)
{
    // The count is the text's own rows: any text that runs as Query1 counts, and a text that is not
    // one statement that reads is refused here, before Query1 runs. Its final ORDER BY only costs time.
    QStringList inner = queryLines;
    while (!inner.isEmpty() && inner.last().trimmed().isEmpty())
        inner.removeLast();
    static const QRegularExpression orderLine(u"^\\s*order\\s+by\\b"_s,
                                              QRegularExpression::CaseInsensitiveOption);
    if (inner.size() > 1 && orderLine.match(inner.last()).hasMatch())
        inner.removeLast();
    QStringList lines{u"select count(*) from ("_s};
    lines << inner << u") kvcount"_s;
    return lines;
}

QStringList QueryCommand::countLines(const QStringList &queryLines)
{
    QStringList lines{countSelect, fromLine};
    if (queryLines.size() >= headLines + 2)
        lines << queryLines.mid(headLines, queryLines.size() - headLines - 1);
    return lines;
}

bool QueryCommand::groupedEnabled(const QueryDefinition &definition, bool initialRatiosEnabled)
{
    bool grouped = false;
    for (int row = 10; row <= 14; ++row)
        grouped = grouped || definition.hasValues(row);
    return grouped && initialRatiosEnabled;
}

QStringList QueryCommand::memoLines(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (text.endsWith(u'\n'))
        lines.removeLast();
    return lines;
}

QString QueryCommand::startPrefLevel(Dataset &prefLevel)
{
    if (!prefLevel.isOpen())
        prefLevel.open();
    QList<int> levels;
    for (prefLevel.first(); !prefLevel.eof(); prefLevel.next())
        if (!prefLevel.value(u"PrefLevelNo"_s).isNull())
            levels << prefLevel.value(u"PrefLevelNo"_s).toInt();
    prefLevel.first();
    std::sort(levels.begin(), levels.end());
    return levels.size() >= 2 ? QString::number(levels[1]) : QString();
}

void QueryCommand::beginRun()
{
    m_dm.clearCurrentDataFlags();
    m_dm.QResults->close();
    m_dm.QLocThisUnit->close();
    m_dm.Query1->close();
    m_dm.QCount->close();
    m_lastError.clear();
}

bool QueryCommand::execute(QueryDefinition &definition)
{
    QStringList lines;
    try {
        definition.prepareForQuery();
        lines = queryLines(definition);
    } catch (const InputError &e) {
        m_ui.warning(e.message());
        return false;
    }
    BusyWindow busy(m_ui, u"Executing query ...."_s);
    beginRun();
    m_groupedEnabled = groupedEnabled(definition, m_initialRatiosEnabled);
    m_dm.Query1->setSql(lines);
    m_checksQueryText = lines.join(u'\n');
    m_developerText = m_checksQueryText;
    const QStringList count = countLines(lines);
    m_dm.QCount->setSql(count);
    m_checksCountText = count.join(u'\n');
    const bool ok = run(false);
    // The busy window goes before the error box, so that the box is not read as still running.
    busy.done();
    if (!ok)
        m_ui.error(m_lastError);
    return ok;
}

bool QueryCommand::reapply(const QString &developerText)
{
    BusyWindow busy(m_ui, u"Executing query ...."_s);
    beginRun();
    const QStringList lines = memoLines(developerText);
    const QStringList count = countOfText(lines);
    m_dm.QCount->setSql(count);
    m_checksCountText = count.join(u'\n');
    m_dm.Query1->setSql(lines);
    m_developerText = developerText;
    const bool ok = run(true);
    busy.done();
    if (!ok)
        m_ui.error(m_lastError);
    return ok;
}

bool QueryCommand::run(bool typedText)
{
    Dataset &query = *m_dm.Query1;
    Dataset &count = *m_dm.QCount;
    try {
        {
            // The engine refuses any write while the texts run: a text typed on the "Developer" tab
            // may only read. The count goes first there, as it refuses what is not one select.
            ReadOnlyScope readOnly(*query.connection());
            if (typedText) {
                count.prepare();
                count.open();
            }
            query.prepare();
            query.open();
            if (!typedText) {
                count.prepare();
                count.open();
            }
        }
        m_recordCount = count.isEmpty() ? 0 : count.value(count.fieldNames().value(0)).toInt();
        m_recordCountText = QString::number(m_recordCount);
        m_dm.QResults->open();
        m_dm.QLocThisUnit->prepare();
        m_dm.QLocThisUnit->open();
        query.first();
        m_showsSecondDecayConstant =
            !m_dm.QResults->isEmpty() && m_dm.QResults->value(u"DecayConst2"_s).toDouble() > 0;
        return true;
    } catch (const Error &e) {
        // The result set is left closed and counted as empty, so no later command works on a
        // half-run query.
        m_lastError = e.message();
        for (Dataset *d : {m_dm.QLocThisUnit, m_dm.QResults, &count, &query})
            d->close();
        m_recordCount = 0;
        m_recordCountText = u"0"_s;
        m_showsSecondDecayConstant = false;
        return false;
    }
}

} // namespace kv
