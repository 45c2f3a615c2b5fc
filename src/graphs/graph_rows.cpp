// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/graph_rows.h"

#include "core/errors.h"
#include "data/read_only_scope.h"
#include "data/schema.h"
#include "graphs/plot_settings.h"
#include "graphs/plot_state.h"
#include "main/query_definition.h"

#include <QSqlRecord>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv::graphs {

const std::array<Basis, 5> &bases()
{
    static const std::array<Basis, 5> b{{{10, u"Grouping"_s, u"Grouping"_s},
                                         {11, u"Province"_s, u"Province"_s},
                                         {12, u"Terrane"_s, u"Terrane"_s},
                                         {13, u"IsoOrogenic"_s, u"OrogenicPeriodID"_s},
                                         {14, u"IsoChemType"_s, u"ChemTypeAbr"_s}}};
    return b;
}

int basisIndex(const QString &howGrouped)
{
    const auto &names = PlotGroupings::basisNames();
    for (int i = 0; i < int(names.size()); ++i)
        if (names[i] == howGrouped)
            return i;
    return -1;
}

bool anyBasisValue(const QueryDefinition &definition)
{
    for (const Basis &b : bases())
        if (definition.count(b.row) > 0)
            return true;
    return false;
}

QString stored(const QString &table, const QString &column, const QString &text)
{
    const ColumnDef *def = Schema::table(table)->column(column);
    return Schema::cutToWidth(*def, text).toString();
}

StoredText::StoredText(const QString &table, const QString &column)
    : m_column(Schema::table(table)->column(column))
{
}

QString StoredText::operator()(const QString &text) const
{
    return Schema::cutToWidth(*m_column, text).toString();
}

QHash<int, QStringList> basisValuesByRecord(Connection &results, const Basis &basis)
{
    QHash<int, QStringList> values;
    forEachRow(results, u"select RecordID, %1 from %2"_s.arg(basis.field, basis.table), {},
               [&](QSqlQuery &q) { values[q.value(0).toInt()] << q.value(1).toString(); });
    return values;
}

void forEachQueryRecord(Connection &results, const QStringList &queryLines,
                        const std::function<void(const QueryRecord &)> &f)
{
    const QString sql = queryLines.join(u'\n');
    std::optional<ReadOnlyScope> readOnly(std::in_place, results);
    QSqlQuery q = results.query();
    q.setForwardOnly(true);
    // Only the fields the graphs read cross from the engine: the query's own text selects every field of
    // its records, memos included. The text is run as it stands when it cannot be read that way (a typed
    // text without one of the fields, or with two of one name); the fields it lacks then read empty.
    const QString adapted = results.adapt(sql);
    const QString narrow = u"select q.RecordID, q.IAge, q.IAgePError, q.IAgeMError, q.UnitName, q.InterpAbr, "
                           u"q.MaterialAbr, q.IsotopeSystem, q.ApproachAbr from (\n%1\n) q"_s.arg(adapted);
    if (!q.exec(narrow)) {
        // A failed statement ends a PostgreSQL transaction: the plain text runs in a scope of its own.
        q = QSqlQuery();
        readOnly.reset();
        readOnly.emplace(results);
        q = results.query();
        q.setForwardOnly(true);
        if (!q.exec(adapted))
            throw results.translate(q.lastError(), sql);
    }
    const QSqlRecord record = q.record();
    const auto column = [&](const QString &name, bool required) {
        const int index = record.indexOf(name);
        if (index < 0 && required)
            throw InputError(u"The query gives no column %1, which the graph needs."_s.arg(name));
        return index;
    };
    const int cId = column(u"RecordID"_s, true), cAge = column(u"IAge"_s, true);
    const int cPlus = column(u"IAgePError"_s, true), cMinus = column(u"IAgeMError"_s, true);
    const int cUnit = column(u"UnitName"_s, false), cInterp = column(u"InterpAbr"_s, false);
    const int cMaterial = column(u"MaterialAbr"_s, false), cSystem = column(u"IsotopeSystem"_s, false);
    const int cApproach = column(u"ApproachAbr"_s, false);
    const auto text = [&q](int c) { return c < 0 ? QString() : q.value(c).toString(); };
    const auto thousandths = [&q](int c) {
        const QVariant v = q.value(c);
        return v.isNull() ? QVariant() : QVariant(v.toDouble() * 0.001);
    };
    QueryRecord r;
    while (q.next()) {
        r.recordId = q.value(cId).toInt();
        r.unitName = text(cUnit);
        r.interpAbr = text(cInterp);
        r.materialAbr = text(cMaterial);
        r.isotopeSystem = text(cSystem);
        r.approachAbr = text(cApproach);
        r.age = q.value(cAge).toDouble() * 0.001;
        r.agePError = thousandths(cPlus);
        r.ageMError = thousandths(cMinus);
        f(r);
    }
    if (q.lastError().isValid())
        throw results.translate(q.lastError(), sql);
}

void emptyWorkingTable(Connection &working, const QString &table)
{
    // One statement: a row that cannot be deleted fails the command instead of being retried forever.
    try {
        working.exec(u"delete from "_s + table);
    } catch (const DatabaseError &e) {
        throw DatabaseError(u"The working table %1 could not be emptied: %2"_s.arg(table, e.message()));
    }
}

void roundToHundreds(PlotDateRange &range)
{
    double &low = range.PlotDateMin;
    double &high = range.PlotDateMax;
    if (low < 0)
        low = 0;
    if (high < low)
        high = low + 100;
    low = 100.0 * (qint64(std::trunc(low)) / 100);
    high = 100.0 * (qint64(std::trunc(high)) / 100 + 1);
}

void applyDateOverrides(const QueryDefinition &definition, PlotDateRange &range)
{
    bool ok = false;
    if (definition.fromDate) {
        const double from = definition.fromDateText.trimmed().toDouble(&ok);
        if (ok)
            range.PlotDateMin = from;
    }
    if (definition.toDate) {
        const double to = definition.toDateText.trimmed().toDouble(&ok);
        if (ok)
            range.PlotDateMax = to;
    }
}

} // namespace kv::graphs
