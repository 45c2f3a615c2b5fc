// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool query: defines and runs a query as the "Define Query" tab does, or re-applies a hand-edited text.
#include "app/kvtool.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QDate>
#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

QString csvField(const QVariant &value)
{
    QString text =
        value.metaType().id() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        text = u'"' + text.replace(u'"', u"\"\""_s) + u'"';
    return text;
}

// Walks the result set from its first row and writes every row; the dataset keeps only a window.
void writeCsv(kv::Dataset &query, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw kv::FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    QTextStream stream(&file);
    const QStringList fields = query.fieldNames();
    QStringList header;
    for (const QString &field : fields)
        header << csvField(field);
    stream << header.join(u',') << '\n';
    // The record view's details need not follow every row.
    query.disableControls();
    for (query.first(); !query.eof(); query.next()) {
        QStringList row;
        for (const QString &field : fields)
            row << csvField(query.value(field));
        stream << row.join(u',') << '\n';
    }
    query.enableControls();
    stream.flush();
    if (!file.commit())
        throw kv::FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
}

int query(kv::tool::Context &c)
{
    kv::QueryDefinition definition;
    for (const kv::DescriptorKind &kind : kv::descriptorKinds())
        for (const QString &value : c.options(kind.optionName))
            definition.addValue(kind.row, value, value);

    const QString from = c.option(u"from"_s);
    const QString to = c.option(u"to"_s);
    definition.fromDate = !from.isEmpty();
    definition.fromDateText = from;
    definition.toDate = !to.isEmpty();
    definition.toDateText = to;
    const QString ageUnits = c.option(u"age-units"_s);

    const QString dc = c.option(u"dc"_s, u"all"_s);
    if (dc == u"all"_s)
        definition.decayConstants = kv::QueryDefinition::DecayConstants::All;
    else if (dc == u"without"_s)
        definition.decayConstants = kv::QueryDefinition::DecayConstants::WithoutUncertainties;
    else if (dc == u"with"_s)
        definition.decayConstants = kv::QueryDefinition::DecayConstants::WithUncertainties;
    else
        throw kv::InputError(u"--dc takes all, without or with, not '%1'."_s.arg(dc));

    const QString order = c.option(u"order"_s, u"0"_s);
    bool ok = false;
    definition.order = order.toInt(&ok);
    if (!ok || definition.order < 0 || definition.order > 3)
        throw kv::InputError(u"--order takes 0 to 3, not '%1'."_s.arg(order));
    const QString prefLevel = c.option(u"pref-level"_s);
    if (!prefLevel.isEmpty() && prefLevel != u"none"_s) {
        prefLevel.toInt(&ok);
        if (!ok)
            throw kv::InputError(u"--pref-level takes a level number or none, not '%1'."_s.arg(prefLevel));
    }
    definition.isochronOnly = c.flag(u"isochron-only"_s);
    const QString queryFile = c.option(u"query-file"_s);
    const QString csv = c.option(u"csv"_s);
    kv::DatabaseLocations locations = kv::defaultLocations();
    locations.results = c.option(u"results"_s, locations.results);
    locations.working = c.option(u"working"_s, locations.working);
    c.expectNoMoreArgs();

    QString editedText;
    if (!queryFile.isEmpty()) {
        QFile file(queryFile);
        if (!file.open(QIODevice::ReadOnly))
            throw kv::FileError(u"Cannot read the query file %1: %2"_s.arg(queryFile, file.errorString()));
        editedText = QString::fromUtf8(file.readAll());
    }

    kv::TdmKVResults dm(c.ui);
    dm.KVResults.bind(locations.results);
    kv::openExisting(dm.KVResults, kv::DatabaseKind::Results);
    dm.KVtmp.bind(locations.working);
    kv::openExisting(dm.KVtmp, kv::DatabaseKind::Working);

    // As start-up leaves it: the second preference level, unless told otherwise.
    definition.prefLevel = kv::QueryCommand::startPrefLevel(*dm.PrefLevel);
    if (!ageUnits.isEmpty())
        definition.ageUnits = ageUnits;
    if (prefLevel == u"none"_s)
        definition.prefLevelChecked = false;
    else if (!prefLevel.isEmpty())
        definition.prefLevel = prefLevel;

    kv::QueryCommand command(dm, c.ui);
    const bool ran = queryFile.isEmpty() ? command.execute(definition) : command.reapply(editedText);
    if (!command.developerText().isEmpty())
        c.out << command.developerText() << '\n';
    if (!ran)
        return 1;
    c.out << "# records = " << command.recordCountText() << '\n';
    if (!csv.isEmpty())
        writeCsv(*dm.Query1, csv);
    return 0;
}

kv::tool::Verb queryVerb(
    "query",
    "[--area V]... [--unit V]... [--lithology V]... [--material V]... [--system V]... [--approach V]... "
    "[--interpretation V]... [--technique V]... [--method V]... [--group V]... [--province V]... "
    "[--terrane V]... [--orogenic-period V]... [--chemical-type V]... [--reference V]... [--from AGE] [--to "
    "AGE] "
    "[--age-units U] [--dc all|without|with] [--order 0..3] [--pref-level N|none] [--isochron-only] "
    "[--query-file FILE] [--csv FILE] [--results LOC] [--working LOC]",
    &query);

} // namespace
