// SPDX-License-Identifier: GPL-3.0-or-later
// Times the summary report to PDF on a results database: the query over every record, then the report
// with its samples, sources and lookups, with the pages, the file's size and the peak memory.
//
//   bench_report [--limit N] LOCATION [OUT.pdf]
//
// LOCATION is a results database, e.g. the Results30 folder after `kvtool synth --records 10000`;
// --limit N reports the records with RecordID up to N only.
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/query_command.h"
#include "main/query_definition.h"
#include "reports/KV_rp_Summary.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

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

} // namespace

int main(int argc, char *argv[])
{
    // The report measures its fonts: the window system, offscreen without a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments().mid(1);
    int limit = 0;
    if (args.size() >= 2 && args[0] == u"--limit"_s) {
        limit = args[1].toInt();
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        out << "usage: bench_report [--limit N] LOCATION [OUT.pdf]\n";
        return 2;
    }
    QTemporaryDir temp;
    const QString pdf = args.value(1, temp.filePath(u"summary.pdf"_s));
    try {
        ScriptedInteraction ui;
        TdmKVResults dm(ui);
        dm.KVResults.bind(args[0]);
        openExisting(dm.KVResults, DatabaseKind::Results);
        QueryCommand command(dm, ui);
        // The query command's text for every record in the first order, as the "Define Query" tab
        // writes it; a limit adds a condition on RecordID.
        QStringList lines = QueryCommand::queryLines([] {
            QueryDefinition d;
            d.prefLevelChecked = false;
            return d;
        }());
        if (limit > 0)
            lines.insert(lines.size() - 1, u"AND ISORGR30.RecordID <= %1"_s.arg(limit));
        QElapsedTimer timer;
        timer.start();
        if (!command.reapply(lines.join(u'\n'))) {
            out << "query failed: " << command.lastError() << '\n';
            return 1;
        }
        const qint64 queryMs = timer.restart();
        int pages = 0;
        {
            const ReportDatasets datasets(dm);
            TfmReportSummary summary(dm);
            pages = report::writePdf(summary, pdf);
        }
        const qint64 reportMs = timer.elapsed();
        out << "records " << command.recordCount() << ", pages " << pages << ", PDF "
            << QFileInfo(pdf).size() / 1024 << " KiB\n"
            << "query " << queryMs << " ms, report " << reportMs << " ms ("
            << (command.recordCount() ? double(reportMs) / command.recordCount() : 0.0) << " ms a record)\n"
            << "peak memory " << procStatus("VmHWM:") << '\n';
    } catch (const Error &e) {
        out << "error: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
