// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool record: the record commands of the "Edit" menu on one record, chosen by its RecordID.
#include "app/kvtool.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/record_commands.h"

#include <QDate>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The data module on the installation's databases, with Query1 standing on one record (or none).
struct Session
{
    Session(kv::tool::Context &c) : dm(c.ui)
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
        for (kv::Dataset *d : {dm.Province, dm.Terrane, dm.IsoOrogenic, dm.IsoChemType, dm.QWhoFor})
            d->open();
        if (dm.Query1->isEmpty())
            throw kv::InputError(u"There is no record %1 in the results database."_s.arg(recordID));
    }
    kv::TdmKVResults dm;
};

int recordIDArgument(kv::tool::Context &c)
{
    if (c.args.isEmpty())
        throw kv::InputError(u"Give the RecordID of the record."_s);
    bool ok = false;
    const int id = c.args.takeFirst().toInt(&ok);
    if (!ok || id <= 0)
        throw kv::InputError(u"A RecordID is a whole number above 0."_s);
    return id;
}

QString shown(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    if (v.metaType().id() == QMetaType::QByteArray)
        return u"<picture, %1 bytes>"_s.arg(v.toByteArray().size());
    return v.toString();
}

void printRows(QTextStream &out, kv::Dataset &d, const QString &title)
{
    if (!d.isOpen() || d.isEmpty())
        return;
    const QStringList fields = d.fieldNames();
    out << title << ":\n";
    for (d.first(); !d.eof(); d.next()) {
        QStringList parts;
        for (const QString &field : fields)
            if (field.compare(u"RecordID"_s, Qt::CaseInsensitive) != 0)
                parts << field + u'=' + shown(d.value(field));
        out << "  " << parts.join(u"  "_s) << '\n';
    }
}

int show(kv::tool::Context &c)
{
    Session s(c);
    const int id = recordIDArgument(c);
    c.expectNoMoreArgs();
    s.openRecord(id);
    kv::Dataset &r = *s.dm.QResults;
    for (const QString &field : r.fieldNames()) {
        const QString text = r.hasField(field) ? r.displayText(field) : QString();
        c.out << field << ": "
              << (r.value(field).metaType().id() == QMetaType::QDate ? shown(r.value(field)) : text) << '\n';
    }
    const std::pair<kv::Dataset *, const char16_t *> details[]{{s.dm.QStatistics, u"Statistics"},
                                                               {s.dm.QInit, u"Initial ratios"},
                                                               {s.dm.QOther, u"Secondary intercept"},
                                                               {s.dm.QGrouping, u"Group descriptors"},
                                                               {s.dm.Province, u"Provinces"},
                                                               {s.dm.Terrane, u"Terranes"},
                                                               {s.dm.IsoOrogenic, u"Orogenic periods"},
                                                               {s.dm.IsoChemType, u"Chemical types"},
                                                               {s.dm.QRef, u"References"},
                                                               {s.dm.QLab, u"Laboratories"},
                                                               {s.dm.QImages, u"Images"},
                                                               {s.dm.QWhoFor, u"Who for"},
                                                               {s.dm.QSmpReg, u"Samples"}};
    for (const auto &[dataset, title] : details)
        printRows(c.out, *dataset, QString::fromUtf16(title));
    return 0;
}

int nextId(kv::tool::Context &c)
{
    Session s(c);
    c.expectNoMoreArgs();
    c.out << kv::nextRecordID(s.dm) << '\n';
    return 0;
}

int remove(kv::tool::Context &c)
{
    Session s(c);
    const int id = recordIDArgument(c);
    c.expectNoMoreArgs();
    s.openRecord(id);
    if (!kv::deleteRecord(s.dm, c.ui))
        return 1;
    c.out << "deleted record " << id << '\n';
    return 0;
}

int tdm(kv::tool::Context &c)
{
    Session s(c);
    const int id = recordIDArgument(c);
    c.expectNoMoreArgs();
    s.openRecord(id);
    c.out << kv::newEquivalentTDM(s.dm, c.ui) << '\n';
    return 0;
}

int create(kv::tool::Context &c)
{
    Session s(c);
    kv::NewRecordValues v;
    v.CountryAbr = c.option(u"area"_s, v.CountryAbr);
    v.UnitName = c.option(u"unit"_s, v.UnitName);
    v.Lithology = c.option(u"lithology"_s, v.Lithology);
    v.MaterialAbr = c.option(u"material"_s, v.MaterialAbr);
    v.IsotopeSystem = c.option(u"system"_s, v.IsotopeSystem);
    v.ApproachAbr = c.option(u"approach"_s, v.ApproachAbr);
    v.TechAbr = c.option(u"technique"_s, v.TechAbr);
    v.MethodAbr = c.option(u"method"_s, v.MethodAbr);
    v.InterpAbr = c.option(u"interpretation"_s, v.InterpAbr);
    const QString rank = c.option(u"rank"_s, u"1"_s);
    bool ok = false;
    v.PrefLevel = rank.toInt(&ok);
    if (!ok)
        throw kv::InputError(u"The rank '%1' is no whole number."_s.arg(rank));
    v.AgeUnits = c.option(u"age-units"_s, v.AgeUnits);
    v.date = c.option(u"date"_s);
    v.plus = c.option(u"plus"_s);
    v.minus = c.option(u"minus"_s);
    v.reference = c.option(u"reference"_s, v.reference);
    v.defaultDecayConstants = !c.flag(u"no-default-dc"_s);
    c.expectNoMoreArgs();
    s.dm.Query1->open();
    const int id = kv::newRecord(s.dm, c.ui, v);
    if (id == 0)
        return 1;
    c.out << id << '\n';
    return 0;
}

kv::tool::Verb showVerb("record show", "ID [--results LOC] [--working LOC]", &show);
kv::tool::Verb nextIdVerb("record next-id", "[--results LOC] [--working LOC]", &nextId);
kv::tool::Verb deleteVerb("record delete", "ID [--yes] [--results LOC] [--working LOC]", &remove);
kv::tool::Verb tdmVerb("record tdm", "ID [--results LOC] [--working LOC]", &tdm);
kv::tool::Verb
    newVerb("record new",
            "[--area A] [--unit U] [--lithology L] [--material M] [--system S] [--approach A] "
            "[--technique T] [--method M] [--interpretation I] [--rank N] [--age-units U] [--date MA] "
            "[--plus MA] [--minus MA] [--reference SOURCEID] [--no-default-dc] [--results LOC] [--working LOC]",
            &create);

} // namespace
