// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/batch_read.h"

#include "controls/workbook.h"
#include "core/errors.h"
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "importer/KVI_dmResults.h"
#include "importer/importer.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString usage =
    u"usage: kvimport --read localities|raw|records|units FILE [--sheet N] [--results LOCATION]"_s;

} // namespace

bool isBatchRead(const QStringList &arguments)
{
    return arguments.contains(u"--read"_s);
}

int runBatchRead(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    std::optional<SheetReader> reader;
    QString file;
    QString results;
    int sheet = 0;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto next = [&]() -> QString {
            if (i + 1 >= arguments.size())
                throw InputError(u"%1 needs a value.\n%2"_s.arg(a, usage));
            return arguments[++i];
        };
        try {
            if (a == u"--read"_s) {
                const QString word = next();
                reader = sheetReaderNamed(word);
                if (!reader)
                    throw InputError(u"There is no reader \"%1\".\n%2"_s.arg(word, usage));
            } else if (a == u"--sheet"_s) {
                bool ok = false;
                sheet = next().toInt(&ok);
                if (!ok || sheet < 1)
                    throw InputError(u"--sheet takes a sheet number from 1."_s);
            } else if (a == u"--results"_s) {
                results = next();
            } else if (a.startsWith(u"--"_s) || !file.isEmpty()) {
                throw InputError(u"Unknown argument %1.\n%2"_s.arg(a, usage));
            } else {
                file = a;
            }
        } catch (const Error &e) {
            err << u"error: "_s << e.message() << Qt::endl;
            return 2;
        }
    }
    if (!reader || file.isEmpty()) {
        err << usage << Qt::endl;
        return 2;
    }

    ScriptedInteraction ui(true);
    IniFile ini(importerSettingsFilePath());
    ImporterSettings settings = readImporterSettings(ini);
    if (!results.isEmpty())
        settings.ResultsPath = results;
    importer::TdmKVResults dm;
    Workbook workbook;
    Importer importer(dm, workbook, settings);
    try {
        dm.Session1.setNetFileDir(settings.NetFileDir);
        dm.connectTo(settings.ResultsPath);
        importer.openWorkbookFile(file);
        if (sheet > workbook.numSheets())
            throw InputError(u"%1 has %2 sheets; there is no sheet %3."_s.arg(file).arg(workbook.numSheets()).arg(sheet));
        if (sheet > 0)
            importer.switchSheet(sheet - 1, ui);
        else
            importer.findLastRow(ui);
    } catch (const Error &e) {
        err << u"error: "_s << e.message() << Qt::endl;
        return 1;
    }

    out << u"Sheet %1 \"%2\", rows %3 to %4"_s.arg(importer.currentSheet())
               .arg(workbook.sheetName(importer.currentSheet()))
               .arg(importer.firstDataRow())
               .arg(importer.lastDataRow())
        << Qt::endl;
    if (importer.lastDataRow() <= 1) {
        out << u"No data rows: cell A2 is empty."_s << Qt::endl;
        return 0;
    }
    const ImportOutcome outcome = importer.importCurrentSheet(*reader, ui);
    out << u"Rows read: %1"_s.arg(outcome.read) << Qt::endl;
    out << u"Removed by cleaning: %1"_s.arg(outcome.removed) << Qt::endl;
    out << u"Stored: %1"_s.arg(outcome.failed ? 0 : outcome.apply.stored) << Qt::endl;
    out << u"Refused: %1"_s.arg(outcome.apply.refusedCount) << Qt::endl;
    for (const RefusedRow &row : outcome.apply.refused)
        out << u"  "_s << row.describe() << Qt::endl;
    if (outcome.apply.refusedCount > outcome.apply.refused.size())
        out << u"  ... and %1 more"_s.arg(outcome.apply.refusedCount - outcome.apply.refused.size()) << Qt::endl;
    dm.closeAll();
    return outcome.failed ? 1 : 0;
}

} // namespace kv
