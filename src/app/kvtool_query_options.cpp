// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/kvtool_query_options.h"

#include "data/dmKV.h"
#include "main/query_command.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace kv::tool {

QueryOptions QueryOptions::take(Context &c)
{
    QueryOptions o;
    QueryDefinition &definition = o.definition;
    for (const DescriptorKind &kind : descriptorKinds())
        for (const QString &value : c.options(kind.optionName))
            definition.addValue(kind.row, value, value);

    const QString from = c.option(u"from"_s);
    const QString to = c.option(u"to"_s);
    definition.fromDate = !from.isEmpty();
    definition.fromDateText = from;
    definition.toDate = !to.isEmpty();
    definition.toDateText = to;
    o.ageUnits = c.option(u"age-units"_s);

    const QString dc = c.option(u"dc"_s, u"all"_s);
    if (dc == u"all"_s)
        definition.decayConstants = QueryDefinition::DecayConstants::All;
    else if (dc == u"without"_s)
        definition.decayConstants = QueryDefinition::DecayConstants::WithoutUncertainties;
    else if (dc == u"with"_s)
        definition.decayConstants = QueryDefinition::DecayConstants::WithUncertainties;
    else
        throw InputError(u"--dc takes all, without or with, not '%1'."_s.arg(dc));

    const QString order = c.option(u"order"_s, u"0"_s);
    bool ok = false;
    definition.order = order.toInt(&ok);
    if (!ok || definition.order < 0 || definition.order > 3)
        throw InputError(u"--order takes 0 to 3, not '%1'."_s.arg(order));
    o.prefLevel = c.option(u"pref-level"_s);
    if (!o.prefLevel.isEmpty() && o.prefLevel != u"none"_s) {
        o.prefLevel.toInt(&ok);
        if (!ok)
            throw InputError(u"--pref-level takes a level number or none, not '%1'."_s.arg(o.prefLevel));
    }
    definition.isochronOnly = c.flag(u"isochron-only"_s);
    o.queryFile = c.option(u"query-file"_s);
    o.locations = defaultLocations();
    o.locations.results = c.option(u"results"_s, o.locations.results);
    o.locations.working = c.option(u"working"_s, o.locations.working);
    return o;
}

bool QueryOptions::run(Context &c, TdmKVResults &dm, QueryCommand &command)
{
    QString editedText;
    if (!queryFile.isEmpty()) {
        QFile file(queryFile);
        if (!file.open(QIODevice::ReadOnly))
            throw FileError(u"Cannot read the query file %1: %2"_s.arg(queryFile, file.errorString()));
        editedText = QString::fromUtf8(file.readAll());
    }

    dm.KVResults.bind(locations.results);
    openExisting(dm.KVResults, DatabaseKind::Results);
    dm.KVtmp.bind(locations.working);
    openExisting(dm.KVtmp, DatabaseKind::Working);

    // As start-up leaves it: the second preference level, unless told otherwise.
    definition.prefLevel = QueryCommand::startPrefLevel(*dm.PrefLevel);
    if (!ageUnits.isEmpty())
        definition.ageUnits = ageUnits;
    if (prefLevel == u"none"_s)
        definition.prefLevelChecked = false;
    else if (!prefLevel.isEmpty())
        definition.prefLevel = prefLevel;

    const bool ran = queryFile.isEmpty() ? command.execute(definition) : command.reapply(editedText);
    if (!command.developerText().isEmpty())
        c.out << command.developerText() << '\n';
    return ran;
}

} // namespace kv::tool
