// SPDX-License-Identifier: GPL-3.0-or-later
// Times the query command on a results database: the count query, the first row of Query1 and the whole
// command, for every sort order and for a selective query, with the peak memory of the process.
//
//   bench_query_command [--fill N] [--walk] LOCATION
//
// --fill N first replaces LOCATION with a synthetic results database of N records (lookup tables, about
// 4% of the records with an area that has no lookup row, a group row for every tenth record); --walk
// also reads every row of the first query, as an export does.
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

QString procStatus(const char *key)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return u"?"_s;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return QString::fromLatin1(line.mid(qstrlen(key) + 1).trimmed());
    return u"?"_s;
}

// Rows are made by the database itself from a series, so a million records take seconds.
void fill(Connection &c, int records)
{
    const bool pg = c.backend() == Backend::PostgreSQL;
    const auto series = [&](int n, const QString &insert, const QString &select) {
        if (pg)
            c.exec(u"%1 %2 from generate_series(1::bigint, %3) as s(i)"_s.arg(insert, select).arg(n));
        else
            c.exec(
                u"with recursive s(i) as (select 1 union all select i + 1 from s where i < %3) %1 %2 from s"_s
                    .arg(insert, select)
                    .arg(n));
    };
    Transaction t(c);
    series(50, u"insert into Country (CountryAbr, Country)"_s, u"select 'C' || (i - 1), 'Country ' || i"_s);
    series(2000, u"insert into Suite (UnitName, CountryAbr)"_s,
           u"select 'Unit ' || (i - 1), 'C' || (i % 50)"_s);
    series(20, u"insert into Lithol (Lithology)"_s, u"select 'Lith ' || (i - 1)"_s);
    series(10, u"insert into Material (MaterialAbr, MaterialDescription)"_s, u"select 'M' || (i - 1), 'M'"_s);
    series(8, u"insert into IsoSystem (IsoSystem)"_s, u"select 'S' || (i - 1)"_s);
    series(5, u"insert into Approach (ApproachAbr)"_s, u"select 'A' || (i - 1)"_s);
    series(10, u"insert into Interpretation (InterpAbr)"_s, u"select 'I' || (i - 1)"_s);
    series(10, u"insert into Technique (TechAbr)"_s, u"select 'T' || (i - 1)"_s);
    const QString chr = pg ? u"chr"_s : u"char"_s;
    series(3, u"insert into Methods (MethodAbr)"_s, u"select %1(cast(64 + i as integer))"_s.arg(chr));
    series(6, u"insert into PrefLevel (PrefLevelNo)"_s, u"select i - 1"_s);
    // Multiplicative hashes of the record number spread the codes and ages without a random source.
    series(records,
           u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, Lithology, MaterialAbr, IsotopeSystem, "
           u"ApproachAbr, InterpAbr, TechAbr, MethodAbr, IAge, IAgePError, IAgeMError, Age, AgePError, "
           u"AgeMError, "
           u"AgeUnits, PrefLevel, SigmaPercentDC1, DecayConst1, DecayConst2, Comment, Confidential)"_s,
           u"select i, 'C' || ((i * 2654435761) % 52), 'Unit ' || ((i * 40503) % 2000), "
           u"'Lith ' || ((i * 7919) % 20), 'M' || ((i * 104729) % 10), 'S' || ((i * 15485863) % 8), "
           u"'A' || ((i * 3571) % 5), 'I' || ((i * 1299709) % 10), 'T' || ((i * 611953) % 10), "
           u"%1(cast(65 + i % 3 as integer)), (i * 2246822519) % 4000000, 5000, 5000, ((i * 2246822519) % "
           u"4000000) * 0.001, "
           u"5, 5, 'Ma', (i * 31) % 6, case when i % 4 = 0 then 0.1 else 0 end, 1.55125e-10, 0, "
           u"'synthetic record', 0"_s.arg(chr));
    series(records / 10, u"insert into Grouping (RecordID, Grouping)"_s,
           u"select i * 10, 'G' || (i % 100)"_s);
    t.commit();
    if (pg)
        c.exec(u"analyze"_s);
}

struct Figures
{
    qint64 firstRowMs;
    qint64 countMs;
    qint64 commandMs;
    int records;
};

Figures measure(TdmKVResults &dm, ScriptedInteraction &ui, QueryDefinition definition)
{
    QueryDefinition prepared = definition;
    prepared.prepareForQuery();
    const QStringList lines = QueryCommand::queryLines(prepared);
    Figures f{};
    QElapsedTimer timer;
    {
        Dataset query(u"Query1"_s, &dm.KVResults);
        query.setStreamed(true);
        query.setSql(lines);
        timer.start();
        query.open();
        f.firstRowMs = timer.elapsed();
    }
    {
        Dataset count(u"QCount"_s, &dm.KVResults);
        count.setSql(QueryCommand::countLines(lines));
        timer.start();
        count.open();
        f.countMs = timer.elapsed();
    }
    QueryCommand command(dm, ui);
    timer.start();
    if (!command.execute(definition))
        throw Error(u"The query failed: "_s + command.lastError());
    f.commandMs = timer.elapsed();
    f.records = command.recordCount();
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    int records = 0;
    const qsizetype fillAt = args.indexOf(u"--fill"_s);
    if (fillAt >= 0 && fillAt + 1 < args.size()) {
        records = args[fillAt + 1].toInt();
        args.remove(fillAt, 2);
    }
    const bool walk = args.removeAll(u"--walk"_s) > 0;
    if (args.size() != 1) {
        fprintf(stderr, "usage: bench_query_command [--fill N] [--walk] LOCATION\n");
        return 2;
    }
    const QString location = args.first();
    try {
        ScriptedInteraction ui;
        if (records > 0) {
            QElapsedTimer timer;
            timer.start();
            Connection c(u"fill"_s);
            if (Connection::backendOf(location) == Backend::SQLite)
                QFile::remove(Connection::resolvePath(location));
            c.bind(location);
            c.open(true);
            if (c.hasTable(u"IsoRgr30"_s))
                throw Error(u"%1 holds a database already; give a fresh location to fill."_s.arg(location));
            c.createSchema(DatabaseKind::Results);
            fill(c, records);
            out << "filled " << records << " records in " << timer.elapsed() << " ms\n";
            out.flush();
        }

        TdmKVResults dm(ui);
        dm.KVResults.bind(location);
        openExisting(dm.KVResults, DatabaseKind::Results);

        QList<std::pair<QString, QueryDefinition>> cases;
        for (int order = 0; order <= 3; ++order) {
            QueryDefinition all;
            all.prefLevelChecked = false;
            all.order = order;
            cases.append({u"all records, order %1"_s.arg(order), all});
        }
        QueryDefinition selective;
        selective.prefLevelChecked = false;
        // values the database holds, whichever database it is
        const auto firstValue = [&dm](const QString &sql) {
            QSqlQuery q = dm.KVResults.exec(sql);
            return q.next() ? q.value(0).toString() : QString();
        };
        const QString area = firstValue(u"select min(CountryAbr) from Country"_s);
        const QString group = firstValue(u"select min(Grouping) from Grouping"_s);
        selective.addValue(1, area, area);
        selective.fromDate = selective.toDate = true;
        selective.fromDateText = u"1000"_s;
        selective.toDateText = u"1500"_s;
        cases.append({u"area %1, 1000 to 1500 Ma"_s.arg(area), selective});
        QueryDefinition grouped;
        grouped.prefLevelChecked = false;
        grouped.addValue(10, group, group);
        cases.append({u"group %1"_s.arg(group), grouped});

        out << "case | records | first row ms | count ms | command ms | RSS\n";
        for (const auto &[name, definition] : cases) {
            const Figures f = measure(dm, ui, definition);
            out << name << " | " << f.records << " | " << f.firstRowMs << " | " << f.countMs << " | "
                << f.commandMs << " | " << procStatus("VmRSS:") << '\n';
            out.flush();
        }
        if (walk) {
            QueryDefinition all;
            all.prefLevelChecked = false;
            QueryCommand command(dm, ui);
            command.execute(all);
            QElapsedTimer timer;
            timer.start();
            qint64 rows = 0;
            dm.Query1->disableControls(); // as an export does: the record view stays where it is
            for (dm.Query1->first(); !dm.Query1->eof(); dm.Query1->next())
                ++rows;
            dm.Query1->enableControls();
            out << "walked " << rows << " rows in " << timer.elapsed() << " ms, RSS " << procStatus("VmRSS:")
                << '\n';
        }
        out << "peak memory (VmHWM): " << procStatus("VmHWM:") << '\n';
    } catch (const Error &e) {
        fprintf(stderr, "error: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
