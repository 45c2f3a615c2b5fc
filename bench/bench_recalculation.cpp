// SPDX-License-Identifier: GPL-3.0-or-later
// Times Edit > Recalculate > "Model ages for all records" (or epsilon, or isochron ages) over every record
// of a database, e.g. after `kvtool synth --records 100000 --smnd-samples 10` (with --isochrons for the
// isochron ages). The run stores its results: on a fresh database the model ages are written; a second run
// reads and computes the same and finds nothing to store. Isochron ages are stored on every run.
//   bench_recalculation LOCATION [epsilon|model-age|isochron]
#include "core/scripted_interaction.h"
#include "data/connection.h"
#include "data/installation.h"
#include "main/recalculation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

long peakKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    if (args.isEmpty()) {
        out << "usage: bench_recalculation LOCATION [epsilon|model-age|isochron]\n";
        return 2;
    }
    const kv::Recalculation what = args.value(1) == u"epsilon"_s    ? kv::Recalculation::EpsilonGamma
                                   : args.value(1) == u"isochron"_s ? kv::Recalculation::Isochron
                                                                    : kv::Recalculation::ModelAge;
    try {
        kv::Connection results(u"KVResults"_s);
        results.bind(args[0]);
        kv::openExisting(results, kv::DatabaseKind::Results);
        QList<int> ids;
        {
            QSqlQuery q = results.exec(u"select RecordID from IsoRgr30 order by RecordID"_s);
            while (q.next())
                ids << q.value(0).toInt();
        }
        kv::ScriptedInteraction ui;
        QElapsedTimer timer;
        timer.start();
        const QList<kv::RecalculationOutcome> outcomes =
            kv::recalculateRecords(results, ui, what, kv::RecalculationScope::AllRecords, ids);
        const qint64 ms = timer.elapsed();
        qint64 stored = 0;
        for (const kv::RecalculationOutcome &o : std::as_const(outcomes))
            stored += o.stored.isEmpty() ? 0 : 1;
        out << results.describe() << ": " << ids.size() << " records, " << stored << " stored, " << ms
            << " ms, peak memory " << peakKilobytes() / 1024 << " MB\n";
    } catch (const kv::Error &e) {
        out << "error: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
