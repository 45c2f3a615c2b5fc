// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>

namespace kv {

class QueryDefinition;
struct ColumnDef;
struct PlotDateRange;

/// What the graph commands share for reading their data and laying out their axes.
namespace graphs {

/// A grouping basis: its row of the query definition, its detail table and the value field.
struct Basis
{
    int row;
    QString table;
    QString field;
};

/// The five bases in the order of PlotGroupings::basisNames().
const std::array<Basis, 5> &bases();
/// Index into bases() of the basis a HowGrouped text names exactly; -1 for none.
int basisIndex(const QString &howGrouped);
/// Whether the query chooses a value of any basis.
bool anyBasisValue(const QueryDefinition &definition);

/// A text as a working table's column stores it, so that comparisons see what the table holds.
QString stored(const QString &table, const QString &column, const QString &text);

/// The same for many texts of one column, the column looked up once.
class StoredText
{
public:
    StoredText(const QString &table, const QString &column);
    QString operator()(const QString &text) const;

private:
    const ColumnDef *m_column;
};

/// Runs a statement forward-only, with values bound in order, and hands each row to f.
template <typename F>
void forEachRow(Connection &connection, const QString &sql, const QVariantList &values, F f)
{
    QSqlQuery q = connection.query();
    q.setForwardOnly(true);
    if (!q.prepare(connection.adapt(sql)))
        throw connection.translate(q.lastError(), sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw connection.translate(q.lastError(), sql);
    while (q.next())
        f(q);
    if (q.lastError().isValid())
        throw connection.translate(q.lastError(), sql);
}

/// The descriptor values of a basis of every record that has any, in the detail table's row order.
QHash<int, QStringList> basisValuesByRecord(Connection &results, const Basis &basis);

/// One record of the query as the graphs read it. Errors that are empty read as null.
struct QueryRecord
{
    int recordId = 0;
    QString unitName, interpAbr, materialAbr, isotopeSystem, approachAbr;
    double age = 0;
    QVariant agePError, ageMError;
};

/// Runs the query's text again (read-only: it may be a typed text that was refused) and hands each
/// record to f in the query's order. Dates come from the stored thousandths, as the result set shows them.
void forEachQueryRecord(Connection &results, const QStringList &queryLines,
                        const std::function<void(const QueryRecord &)> &f);

/// Empties a working table with one statement; a failure stops the command with a message.
void emptyWorkingTable(Connection &working, const QString &table);

/// The date graphs' axis range: a negative minimum becomes 0, a maximum below the minimum becomes
/// the minimum + 100, and both are rounded out to whole hundreds.
void roundToHundreds(PlotDateRange &range);
/// The ticked "from" and "to" dates of the query definition replace the limits when they are numbers.
void applyDateOverrides(const QueryDefinition &definition, PlotDateRange &range);

} // namespace graphs
} // namespace kv
