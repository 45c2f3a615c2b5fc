// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool recalc, data show, convert-decay: the Edit > Recalculate commands, the raw isotope data panel
// of the "Data" tab and the decay-constant conversion, on one record or on the records of a query.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "main/query_command.h"
#include "main/recalculation.h"
#include "main/sample_datasets.h"

using namespace Qt::StringLiterals;

namespace {

// The data module on the installation's databases, with Query1 standing on one record.
struct Session
{
    explicit Session(kv::tool::Context &c) : dm(c.ui)
    {
        kv::DatabaseLocations locations = kv::defaultLocations();
        locations.results = c.option(u"results"_s, locations.results);
        locations.working = c.option(u"working"_s, locations.working);
        dm.KVResults.bind(locations.results);
        kv::openExisting(dm.KVResults, kv::DatabaseKind::Results);
        dm.KVtmp.bind(locations.working);
        kv::openExisting(dm.KVtmp, kv::DatabaseKind::Working);
    }
    void openRecord(int recordID)
    {
        dm.Query1->close();
        dm.Query1->setSql({u"select * from isorgr30"_s, u"where RecordID="_s + QString::number(recordID)});
        dm.openShared();
        if (dm.Query1->isEmpty())
            throw kv::InputError(u"There is no record %1 in the results database."_s.arg(recordID));
    }
    kv::TdmKVResults dm;
};

int recordID(const QString &text)
{
    bool ok = false;
    const int id = text.toInt(&ok);
    if (!ok || id <= 0)
        throw kv::InputError(u"A RecordID is a whole number above 0."_s);
    return id;
}

int recalc(kv::tool::Context &c)
{
    if (c.args.isEmpty())
        throw kv::InputError(u"Say what to recalculate: epsilon, model-age or isochron."_s);
    const QString kind = c.args.takeFirst();
    kv::Recalculation what = kv::Recalculation::EpsilonGamma;
    if (kind == u"epsilon"_s)
        what = kv::Recalculation::EpsilonGamma;
    else if (kind == u"model-age"_s)
        what = kv::Recalculation::ModelAge;
    else if (kind == u"isochron"_s)
        what = kv::Recalculation::Isochron;
    else
        throw kv::InputError(u"Unknown recalculation \"%1\": epsilon, model-age or isochron."_s.arg(kind));
    const QString record = c.option(u"record"_s);
    const bool all = c.flag(u"all"_s);
    if (record.isEmpty() == !all)
        throw kv::InputError(u"Give either --record ID or --all."_s);

    QList<kv::RecalculationOutcome> outcomes;
    if (!all) {
        Session s(c);
        c.expectNoMoreArgs();
        s.openRecord(recordID(record));
        outcomes << kv::recalculateThisRecord(s.dm, c.ui, what);
    } else {
        kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
        c.expectNoMoreArgs();
        kv::TdmKVResults dm(c.ui);
        kv::QueryCommand command(dm, c.ui);
        if (!options.run(c, dm, command))
            return 1;
        outcomes = kv::recalculateAllRecords(dm, c.ui, what);
    }
    for (const kv::RecalculationOutcome &o : std::as_const(outcomes))
        c.out << o.line() << '\n';
    return 0;
}

QString shown(const QVariant &v)
{
    return v.isNull() ? QString() : v.metaType().id() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 12)
                                                                           : v.toString();
}

int dataShow(kv::tool::Context &c)
{
    Session s(c);
    if (c.args.isEmpty())
        throw kv::InputError(u"Give the RecordID of the record."_s);
    const int id = recordID(c.args.takeFirst());
    c.expectNoMoreArgs();
    s.openRecord(id);
    kv::TdmSmp smp(s.dm);
    const kv::RawDataPanel panel = kv::readRawDataPanel(s.dm, smp);
    c.out << "System: " << panel.systemName << '\n'
          << "XX: " << panel.XX << '\n'
          << "YY: " << panel.YY << '\n';
    if (panel.samples.isEmpty())
        c.out << "no samples\n";
    for (const kv::RawDataSample &sample : panel.samples) {
        c.out << "Sample " << sample.SampleNo << "  Frac=" << sample.Frac << "  Included=" << sample.Included
              << '\n';
        for (const kv::RawDataRow &row : sample.rows) {
            c.out << "  " << row.role << ": " << row.variableName << "  Value=" << shown(row.value)
                  << "  Normalising factor=" << shown(row.factor);
            if (row.role.endsWith(u"errt"_s))
                c.out << "  (1 = %, 0 = a)";
            c.out << '\n';
        }
    }
    kv::CloseSampleDataSets(s.dm, smp, c.ui);
    kv::UnbindRawDataPanel(smp);
    return 0;
}

int convertDecay(kv::tool::Context &c)
{
    Session s(c);
    const QString record = c.option(u"record"_s);
    if (record.isEmpty())
        throw kv::InputError(u"Give the record: --record ID."_s);
    c.expectNoMoreArgs();
    s.openRecord(recordID(record));
    const kv::DecayConversion d = kv::convertToCurrentDecayConstants(s.dm, c.ui);
    if (!d.converted) {
        c.out << "unchanged: " << d.reason << '\n';
        return 0;
    }
    c.out << "IAge: " << d.oldIAge << " -> " << d.newIAge << '\n'
          << "DecayConst1: " << QString::number(d.oldDecayConst1, 'g', 12) << " -> "
          << QString::number(d.newDecayConst1, 'g', 12) << '\n';
    return 0;
}

kv::tool::Verb recalcVerb(
    "recalc", "epsilon|model-age|isochron --record ID [--yes|--no] | --all " KV_QUERY_OPTIONS_USAGE, &recalc);
kv::tool::Verb dataShowVerb("data show", "ID [--results LOC] [--working LOC]", &dataShow);
kv::tool::Verb convertVerb("convert-decay", "--record ID [--results LOC] [--working LOC]", &convertDecay);

} // namespace
