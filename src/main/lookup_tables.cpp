// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/lookup_tables.h"

#include "data/dmKV.h"

#include <QScopeGuard>
#include <exception>
#include <functional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Runs a step whose failure is ignored; only the editor's start ignores them (its grid stays empty).
void quietly(Dataset *d, void (Dataset::*step)())
{
    try {
        (d->*step)();
    } catch (const Error &) {
    }
}

// Runs the step on every dataset and then reports the first failure, so that one table that cannot
// be closed or opened does not leave the others as they were.
void eachThenReport(std::initializer_list<Dataset *> datasets, const std::function<void(Dataset *)> &step)
{
    std::exception_ptr first;
    for (Dataset *d : datasets) {
        try {
            step(d);
        } catch (const Error &) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

} // namespace

const QList<LookupTableItem> &lookupTableItems()
{
    static const QList<LookupTableItem> items{
        {u"Area"_s, u"CountryList"_s, u"CountryAbr"_s},
        {u"Unit"_s, u"Suite"_s, u"UnitName"_s, true},
        {u"Lithology"_s, u"Lithology"_s, u"Lithology"_s},
        {u"Material"_s, u"Material"_s, u"MaterialAbr"_s},
        {u"Approach"_s, u"Approach"_s, u"ApproachAbr"_s},
        {u"Interpretation"_s, u"Interpretation"_s, u"InterpAbr"_s},
        {u"Technique"_s, u"Technique"_s, u"TechAbr"_s},
        {u"Area boundaries"_s, u"Boundary"_s, u"CountryAbr"_s},
        {u"Closure temperature"_s, u"BlockingT"_s, u"IsoSystem"_s, false, true},
        {u"References"_s, u"SourceList"_s, u"SourceID"_s, false, false, true},
        {u"Provinces"_s, u"ProvinceList"_s, {}},
        {u"Terranes"_s, u"TerraneList"_s, {}},
        {u"Orogenic associations"_s, u"OrogenicPeriods"_s, {}},
        {u"Chemical types"_s, u"ChemTypes"_s, {}},
        {u"Sample localities"_s, u"SmpLoc"_s, u"SampleNo"_s},
        {u"Image types"_s, u"ImageTypes"_s, {}},
        {u"Laboratories"_s, u"Laboratories"_s, u"LaboratoryAbr"_s},
    };
    return items;
}

bool locatePrefix(Dataset &dataset, const QString &field, const QString &text)
{
    if (text.isEmpty() || field.isEmpty() || !dataset.isOpen() || !dataset.hasField(field))
        return false;
    // valueAt reads without moving the cursor, so a miss leaves the grid where it was.
    for (int row = 0; row < dataset.recordCount(); ++row)
        if (dataset.valueAt(row, field).toString().startsWith(text, Qt::CaseInsensitive))
            return dataset.moveTo(row);
    return false;
}

void setUnitArea(TdmKVResults &dm, const QString &area)
{
    dm.Suite->close();
    dm.Suite->setParam(u"CountryAbr"_s, area);
    dm.Suite->open();
}

void openLookupEditor(TdmKVResults &dm, const QString &area)
{
    // The editor's start ignores errors: a table that cannot be opened leaves its grid empty.
    quietly(dm.Country, &Dataset::close);
    quietly(dm.Suite, &Dataset::close);
    dm.Suite->setSql({u"select * from SUITE"_s, u"where CountryAbr = :CountryAbr"_s});
    quietly(dm.Country, &Dataset::open);
    dm.Suite->setParam(u"CountryAbr"_s, area);
    quietly(dm.Suite, &Dataset::open);
    // Tables already open are read again, so that the editor shows what other users added meanwhile.
    for (Dataset *d :
         {dm.CountryList, dm.Lithology, dm.Technique, dm.Interpretation, dm.Boundary, dm.BlockingT,
          dm.SourceList, dm.Approach, dm.Material, dm.ImageTypes, dm.Laboratories, dm.IsoSys, dm.ProvinceList,
          dm.TerraneList, dm.OrogenicPeriods, dm.ChemTypes, dm.SmpLoc})
        quietly(d, d->isOpen() && d->state() == Dataset::State::Browse ? &Dataset::refresh : &Dataset::open);
}

void closeLookupEditor(TdmKVResults &dm)
{
    const auto restoreSuite = qScopeGuard([&dm] { dm.Suite->setSql({u"select * from SUITE"_s}); });
    eachThenReport({dm.Country, dm.CountryList, dm.Suite, dm.Lithology, dm.Technique, dm.Interpretation,
                    dm.Boundary, dm.BlockingT, dm.SourceList, dm.Approach, dm.Material, dm.Laboratories},
                   [](Dataset *d) {
                       // A row left in edit is kept, as leaving a grid row keeps it; one the database
                       // refuses was reported by the dataset's post-error handler and is discarded.
                       try {
                           d->post();
                       } catch (const Error &) {
                           d->cancel();
                       }
                       d->close();
                   });
}

void reopenAfterLookupEditor(TdmKVResults &dm)
{
    eachThenReport({dm.Country, dm.CountryList, dm.Suite, dm.Lithology, dm.Technique, dm.Interpretation,
                    dm.Boundary, dm.BlockingT, dm.Approach, dm.Methods, dm.Material, dm.SourceType,
                    dm.SourceList, dm.Source, dm.ImageTypes, dm.Laboratories},
                   [](Dataset *d) { d->open(); });
}

} // namespace kv
