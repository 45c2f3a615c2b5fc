// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/sample_localities.h"

#include "data/connection.h"
#include "data/read_only_scope.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace kv {

void forEachQuerySample(Connection &results, const QStringList &queryLines,
                        const std::function<void(const QuerySample &)> &f)
{
    // The query as it runs on this engine (its joins in order), the samples joined to its records; the
    // whole text is not adapted again, as the adapter leaves explicit joins as written.
    const QString sql =
        u"select q.RecordID, q.IAge, q.IAgePError, q.IAgeMError, q.InterpAbr, q.UnitName, q.CountryAbr, "
        u"q.MaterialAbr, q.IsotopeSystem, SmpReg.SampleNo, SmpLoc.Latitude, SmpLoc.Longitude, "
        u"SmpLoc.Elevation\n"
        u"from (\n%1\n) q CROSS JOIN SmpReg LEFT JOIN SmpLoc ON SmpLoc.SampleNo = SmpReg.SampleNo\n"
        u"where SmpReg.RecordID = q.RecordID and SmpReg.IsoSystem = q.IsotopeSystem"_s.arg(
            results.adapt(queryLines.join(u'\n')));
    // Query1 may hold a typed text that was refused: whatever it is, it only reads here.
    ReadOnlyScope readOnly(results);
    QSqlQuery q = results.query();
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw results.translate(q.lastError(), sql);
    const auto thousandths = [](const QVariant &v) {
        return v.isNull() ? QVariant() : QVariant(v.toDouble() * 0.001);
    };
    QuerySample s;
    while (q.next()) {
        s.recordId = q.value(0);
        s.age = thousandths(q.value(1));
        s.agePlus = thousandths(q.value(2));
        s.ageMinus = thousandths(q.value(3));
        s.interpAbr = q.value(4).toString();
        s.unitName = q.value(5).toString();
        s.countryAbr = q.value(6).toString();
        s.materialAbr = q.value(7).toString();
        s.isotopeSystem = q.value(8).toString();
        s.sampleNo = q.value(9).toString();
        s.latitude = q.value(10);
        s.longitude = q.value(11);
        s.elevation = q.value(12);
        f(s);
    }
    if (q.lastError().isValid())
        throw results.translate(q.lastError(), sql);
}

} // namespace kv
