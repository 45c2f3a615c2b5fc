// SPDX-License-Identifier: GPL-3.0-or-later
// Times the viewer's main query on a results database: the text the query command writes for all
// records (the ten-table join of the date records with their lookup tables), opened through Query1,
// where the connection adapts it to its back end, then counted and walked.
//   bench_query LOCATION [--order 0|1|2|3|none] [--print-sql]
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// The text the query command writes for all records in one of its sort orders ("none" leaves the
// order line out), so the figures follow the command's text as it changes.
QStringList querySql(const QString &order)
{
    kv::QueryDefinition definition;
    definition.prefLevelChecked = false;
    bool ok = false;
    const int index = order.toInt(&ok);
    if (order == u"none"_s) {
        definition.order = kv::QueryDefinition::OrderByCountry;
    } else if (ok && index >= kv::QueryDefinition::OrderByCountry && index <= kv::QueryDefinition::OrderByMaterial) {
        definition.order = index;
    } else {
        throw kv::InputError(u"--order takes 0, 1, 2, 3 or none, not %1."_s.arg(order));
    }
    definition.prepareForQuery();
    QStringList sql = kv::QueryCommand::queryLines(definition);
    if (order == u"none"_s)
        sql.removeLast(); // the order line comes last
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
            // The text as it runs on this database's back end.
            out << dm.KVResults.adapt(sql.join(u'\n')) << ";\n";
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
