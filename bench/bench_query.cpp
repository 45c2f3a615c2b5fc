// SPDX-License-Identifier: GPL-3.0-or-later
// Times the viewer's main query on a results database: the nine-table join of the date records with
// their lookup tables, opened through Query1 as the query command does, then counted and walked.
//   bench_query LOCATION [--order 0|1|2|3|none] [--print-sql]
#include "core/scripted_interaction.h"
#include "data/dmKV.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QStringList querySql(const QString &order)
{
    QStringList sql{
        u"select ISORGR30.CountryAbr, ISORGR30.UnitName, ISORGR30.Lithology, ISORGR30.MaterialAbr, "
        u"ISORGR30.ApproachAbr, "_s,
        u"ISORGR30.InterpAbr, ISORGR30.IsotopeSystem, ISORGR30.TechAbr, ISORGR30.MethodAbr, ISORGR30.RecordID, "_s,
        u"ISORGR30.PrefLevel, ISORGR30.IAge, ISORGR30.IAgePError, ISORGR30.IAgeMError, "_s,
        u"ISORGR30.Age, ISORGR30.AgePError, ISORGR30.AgeMError, ISORGR30.AgeUnits, ISORGR30.DateString, "_s,
        u"ISORGR30.DecayConst1, ISORGR30.DecayConst2, ISORGR30.SigmaPercentDC1, ISORGR30.SigmaPercentDC2, "_s,
        u"ISORGR30.Comment, ISORGR30.RegisteredUser, ISORGR30.Confidential "_s,
        u"from isorgr30, Country, Interpretation, Approach,Material,Methods,Technique, IsoSystem,Suite,Lithol"_s,
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
    // The order lines name bare columns, which Paradox resolved to the first table; SQL engines call
    // CountryAbr, UnitName and the other codes ambiguous in this join, so they are qualified here.
    static const QList<QStringList> orders{
        {u"CountryAbr"_s, u"UnitName"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s,
         u"InterpAbr"_s, u"PrefLevel"_s, u"TechAbr"_s, u"IAge"_s},
        {u"RecordID"_s},
        {u"IAge"_s, u"CountryAbr"_s, u"UnitName"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s,
         u"InterpAbr"_s, u"PrefLevel"_s},
        {u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s, u"InterpAbr"_s, u"PrefLevel"_s, u"IAge"_s,
         u"TechAbr"_s, u"CountryAbr"_s, u"UnitName"_s},
    };
    bool ok = false;
    const int index = order.toInt(&ok);
    if (ok && index >= 0 && index < orders.size()) {
        QStringList columns;
        for (const QString &column : orders[index])
            columns << u"ISORGR30."_s + column;
        sql << u"ORDER by "_s + columns.join(u',');
    } else if (order != u"none"_s)
        throw kv::InputError(u"--order takes 0, 1, 2, 3 or none, not %1."_s.arg(order));
    return sql;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments().mid(1);
    QString order = u"0"_s;
    bool printSql = false;
    if (const qsizetype i = args.indexOf(u"--order"_s); i >= 0 && i + 1 < args.size()) {
        order = args[i + 1];
        args.remove(i, 2);
    }
    if (args.removeAll(u"--print-sql"_s) > 0)
        printSql = true;
    if (args.size() != 1) {
        QTextStream(stderr) << "usage: bench_query LOCATION [--order 0|1|2|3|none] [--print-sql]\n";
        return 2;
    }
    try {
        kv::ScriptedInteraction ui;
        kv::TdmKVResults dm(ui);
        dm.KVResults.bind(args[0]);
        dm.KVResults.open(false, u"IsoRgr30"_s);
        const QStringList sql = querySql(order);
        if (printSql) {
            out << sql.join(u'\n') << ";\n";
            return 0;
        }
        out << "database: " << dm.KVResults.describe() << "\norder: " << order << '\n';
        const auto report = [&out](const char *what, const QElapsedTimer &timer, qint64 value = -1) {
            out << qSetFieldWidth(28) << Qt::left << what << qSetFieldWidth(0)
                << QString::number(timer.nsecsElapsed() / 1e9, 'f', 3) << " s";
            if (value >= 0)
                out << "  (" << value << ")";
            out << "  peak " << peakKilobytes() / 1024 << " MB\n";
            out.flush();
        };

        kv::Dataset &query = *dm.Query1;
        query.close();
        query.setSql(sql);
        QElapsedTimer timer;
        timer.start();
        query.open();
        report("open and first row", timer, query.isEmpty() ? 0 : query.value(u"RecordID"_s).toInt());

        timer.start();
        QSqlQuery bare = dm.KVResults.exec(u"select count(*) from IsoRgr30"_s);
        bare.next();
        report("count(*) of IsoRgr30", timer, bare.value(0).toLongLong());

        timer.start();
        const int joined = query.recordCount();
        report("count of the join", timer, joined);

        timer.start();
        qint64 rows = 0;
        qint64 checksum = 0;
        for (query.first(); !query.eof(); query.next()) {
            ++rows;
            checksum += query.value(u"IAge"_s).toLongLong();
        }
        report("walk every row", timer, rows);
        out << "IAge sum " << checksum << '\n';
        return 0;
    } catch (const kv::Error &e) {
        QTextStream(stderr) << "error: " << e.message() << '\n';
        return 1;
    }
}
