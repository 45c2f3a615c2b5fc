// SPDX-License-Identifier: GPL-3.0-or-later
// Records for the graph commands on a fresh results and working database of one back end, with the
// plot settings in the configuration folder. Query1 reads every record in RecordID order.
#pragma once

#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "graphs/plot_state.h"
#include "main/settings.h"
#include "test_support.h"

#include <QSqlQuery>

namespace kv::test {

struct GraphRecord
{
    int id;
    QString interp;
    double age, plus = 10, minus = 10;
    QString unit = QStringLiteral("Unit");
    QString material = QStringLiteral("zr"), system = QStringLiteral("UPb"), approach = QStringLiteral("Conc");
};

struct GraphFixture
{
    explicit GraphFixture(const QString &backend = QStringLiteral("sqlite"))
        : results(backend), working(backend), dm(ui)
    {
        createDatabases({results.location(), working.location()}, true);
        dm.KVResults.bind(results.location());
        dm.KVtmp.bind(working.location());
        openExisting(dm.KVResults, DatabaseKind::Results);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        dm.Query1->setSql({QStringLiteral("select * from IsoRgr30"), QStringLiteral("order by RecordID")});
    }

    // Dates are stored as the record view keeps them, in thousandths of a Ma.
    void add(const QList<GraphRecord> &records)
    {
        Transaction t(dm.KVResults);
        for (const GraphRecord &r : records)
            dm.KVResults.exec(
                QStringLiteral("insert into IsoRgr30 (RecordID, UnitName, InterpAbr, IAge, IAgePError, IAgeMError, "
                               "MaterialAbr, IsotopeSystem, ApproachAbr) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {r.id, r.unit, r.interp, qRound(r.age * 1000), qRound(r.plus * 1000), qRound(r.minus * 1000),
                 r.material, r.system, r.approach});
        t.commit();
    }
    void exec(const QString &sql, const QVariantList &values = {}) { dm.KVResults.exec(sql, values); }
    void setting(const QString &section, const QString &key, const QString &value)
    {
        IniFile file(settingsFilePath());
        file.setValue(section, key, value);
        file.save();
    }
    int count(const QString &table)
    {
        auto q = dm.KVtmp.exec(QStringLiteral("select count(*) from ") + table);
        q.next();
        return q.value(0).toInt();
    }

    TempFolders folders;
    TestDatabase results;
    TestDatabase working;
    ScriptedInteraction ui;
    TdmKVResults dm;
    PlotState plot;
};

} // namespace kv::test
