// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dmKV.h"

#include "data/post_error_handlers.h"

#include <QHash>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

void addAgeFields(Dataset &dataset)
{
    const QList<std::pair<QString, QString>> ages{
        {u"Age"_s, u"IAge"_s}, {u"AgePError"_s, u"IAgePError"_s}, {u"AgeMError"_s, u"IAgeMError"_s}};
    for (const auto &[field, stored] : ages) {
        dataset.addCalculatedField(field, [stored](const Dataset &d) -> QVariant {
            const QVariant thousandths = d.value(stored);
            if (thousandths.isNull())
                return {};
            return thousandths.toDouble() * 0.001;
        });
        dataset.setDisplayFormat(field, u"###0.00"_s);
    }
}

void addLocalityFields(Dataset &dataset)
{
    const auto direction = [](const QString &field, const QString &positive, const QString &negative) {
        return [=](const Dataset &d) -> QVariant {
            const QVariant v = d.value(field);
            if (v.isNull())
                return {};
            return v.toDouble() >= 0 ? positive : negative;
        };
    };
    // part 0: whole degrees, 1: minutes, 2: seconds, each truncated
    const auto sexagesimal = [](const QString &field, int part) {
        return [=](const Dataset &d) -> QVariant {
            const QVariant v = d.value(field);
            if (v.isNull())
                return {};
            const double a = std::fabs(v.toDouble());
            const double degrees = std::trunc(a);
            const double minutes = std::trunc((a - degrees) * 60);
            const double seconds = std::trunc((a - degrees - minutes / 60) * 3600);
            return int(part == 0 ? degrees : part == 1 ? minutes : seconds);
        };
    };
    dataset.addCalculatedField(u"LatDir"_s, direction(u"Latitude"_s, u"N"_s, u"S"_s));
    dataset.addCalculatedField(u"LonDir"_s, direction(u"Longitude"_s, u"E"_s, u"W"_s));
    dataset.addCalculatedField(u"LatDeg"_s, sexagesimal(u"Latitude"_s, 0));
    dataset.addCalculatedField(u"LatMin"_s, sexagesimal(u"Latitude"_s, 1));
    dataset.addCalculatedField(u"LatSec"_s, sexagesimal(u"Latitude"_s, 2));
    dataset.addCalculatedField(u"LonDeg"_s, sexagesimal(u"Longitude"_s, 0));
    dataset.addCalculatedField(u"LonMin"_s, sexagesimal(u"Longitude"_s, 1));
    dataset.addCalculatedField(u"LonSec"_s, sexagesimal(u"Longitude"_s, 2));
}

void applyDisplayFormats(Dataset &dataset)
{
    static const QHash<QString, QString> formats = [] {
        QHash<QString, QString> f;
        const auto set = [&f](const QStringList &fields, const QString &format) {
            for (const QString &field : fields)
                f.insert(field, format);
        };
        set({u"Latitude"_s, u"Longitude"_s, u"LatitudePrecision"_s, u"LongitudePrecision"_s}, u"###0.00000"_s);
        set({u"Elevation"_s, u"ElevationPrecision"_s}, u"######0.00"_s);
        set({u"BlockingT"_s, u"BlockingTUncertainty"_s}, u"###0.0"_s);
        set({u"MSWD"_s}, u"####0.000"_s);
        set({u"NReg"_s}, u"###0.00"_s);
        set({u"Alpha"_s, u"ProbOfFit"_s, u"ProbOfConcordance"_s}, u"0.000"_s);
        set({u"FCutoff"_s}, u"##0.00"_s);
        set({u"Ludwigp"_s}, u"#0.00"_s);
        set({u"XCentroid"_s, u"YCentroid"_s, u"ZCentroid"_s, u"XConstrain"_s, u"YConstrain"_s, u"ZConstrain"_s},
            u"###0.000000"_s);
        set({u"AgeConstrain"_s}, u"###0.00"_s);
        set({u"InitRatio"_s, u"InitRatioError"_s, u"InitialRatio3D"_s, u"InitialRatio3dError"_s}, u"##0.000000"_s);
        set({u"Epsilon"_s, u"EpsilonError"_s}, u"####0.00"_s);
        set({u"Mu"_s, u"MuPError"_s, u"MuMError"_s}, u"###0.000"_s);
        set({u"LwrIntercept"_s, u"LwrPError"_s, u"LwrMError"_s}, u"###0.00"_s);
        return f;
    }();
    for (auto it = formats.cbegin(); it != formats.cend(); ++it)
        dataset.setDisplayFormat(it.key(), it.value());
}

TdmKVResults::TdmKVResults(Interaction &ui, QObject *parent) : QObject(parent), m_ui(ui)
{
    Connection &R = KVResults;
    Connection &T = KVtmp;
    const auto table = [](const QString &name) { return QStringList{u"select * from "_s + name}; };
    const auto detail = [](const QString &name) {
        return QStringList{u"select * from "_s + name, u"where RecordID=:RecordID"_s};
    };

    Country = make(u"Country"_s, R, table(u"Country"_s), true);
    CountryList = make(u"CountryList"_s, R, table(u"Country"_s), true);
    Suite = make(u"Suite"_s, R, table(u"Suite"_s), true);
    SuiteList = make(u"SuiteList"_s, R, table(u"Suite"_s), true);
    Lithology = make(u"Lithology"_s, R, table(u"Lithol"_s), true);
    Interpretation = make(u"Interpretation"_s, R, table(u"Interpretation"_s), true);
    Technique = make(u"Technique"_s, R, table(u"Technique"_s), true);
    IsoSys = make(u"IsoSys"_s, R, table(u"IsoSystem"_s), true);
    SmpLoc = make(u"SmpLoc"_s, R, table(u"SmpLoc"_s), true);
    PrefLevel = make(u"PrefLevel"_s, R, table(u"PrefLevel"_s), true);
    Approach = make(u"Approach"_s, R, table(u"Approach"_s), true);
    Material = make(u"Material"_s, R, table(u"Material"_s), true);
    Methods = make(u"Methods"_s, R, table(u"Methods"_s), true);
    SourceType = make(u"SourceType"_s, R, table(u"SourceType"_s), true);
    Source = make(u"Source"_s, R, table(u"SourceA"_s), true);
    SourceList = make(u"SourceList"_s, R, table(u"SourceListA"_s), true);
    ProvinceList = make(u"ProvinceList"_s, R, table(u"ProvinceList"_s), true);
    TerraneList = make(u"TerraneList"_s, R, table(u"TerraneList"_s), true);
    OrogenicPeriods = make(u"OrogenicPeriods"_s, R, table(u"OrogenicPeriod"_s), true);
    ImageTypes = make(u"ImageTypes"_s, R, table(u"ImageTypes"_s), true);
    ChemTypes = make(u"ChemTypes"_s, R, table(u"ChemTypes"_s), true);
    AgeUnits = make(u"AgeUnits"_s, R, table(u"AgeUnits"_s), true);
    Laboratories = make(u"Laboratories"_s, R, table(u"Laboratories"_s), true);
    Boundary = make(u"Boundary"_s, R, table(u"AreaBound"_s), true);
    BlockingT = make(u"BlockingT"_s, R, table(u"BlockingT"_s), true);
    SADCCtry = make(u"SADCCtry"_s, R, table(u"SADCCtry"_s), true);
    GroupLst = make(u"GroupLst"_s, R, table(u"GroupingList"_s), true);
    ForList = make(u"ForList"_s, R, table(u"ForList"_s), false);

    TempDataMap = make(u"TempDataMap"_s, T, table(u"KVTempM"_s), true);
    TempDataDI = make(u"TempDataDI"_s, T, table(u"KVTemp2"_s), true);
    TempDataDG = make(u"TempDataDG"_s, T, table(u"KVTemp2g"_s), true);
    TempDataI = make(u"TempDataI"_s, T, table(u"KVTemp3"_s), true);
    TempDT = make(u"TempDT"_s, T, table(u"KVTemp4"_s), true);
    ReferTo = make(u"ReferTo"_s, T,
                   {u"select DISTINCT * "_s, u"from ReferTo"_s, u"where ReferTo.Software = 'Kelvora'"_s}, false);
    ImportDet = make(u"ImportDet"_s, T, table(u"KVImpDet"_s), true);

    Query1 = make(u"Query1"_s, R, {u"select * from isorgr30"_s, u"where RecordID=5576"_s}, true);
    QCount = make(u"QCount"_s, R, {u"select count(RecordID)"_s, u"from ISORGR30"_s}, false);
    Querydm = make(u"Querydm"_s, R, {u"select * from isorgr30"_s}, false, nullptr, true);
    IsoResults = make(u"IsoResults"_s, R, {u"select * from IsoRgr30"_s, u"where ISORGR30.RecordID >= '5664'"_s}, true);
    MaxRecord = make(u"MaxRecord"_s, R, {u"select RecordID from IsoRgr30"_s, u"order by RecordID"_s}, true);
    QLastRecordID = make(u"QLastRecordID"_s, R, {u"select RecordID from IsoRgr30"_s, u"order by RecordID"_s}, false);
    GroupingFree = make(u"GroupingFree"_s, R, {u"select Grouping from Grouping"_s}, true);
    for (Dataset *d : {Query1, Querydm, IsoResults})
        addAgeFields(*d);
    Query1->setStreamed(true);
    Querydm->setStreamed(true);

    QResults = make(u"QResults"_s, R, detail(u"IsoRgr30"_s), true, Query1);
    addAgeFields(*QResults);
    QStatistics = make(u"QStatistics"_s, R, detail(u"IsoStatistics"_s), true, Query1);
    QInit = make(u"QInit"_s, R, detail(u"IsoInit"_s), true, Query1);
    QOther = make(u"QOther"_s, R, detail(u"IsoOther"_s), true, Query1);
    QGrouping = make(u"QGrouping"_s, R, detail(u"Grouping"_s), true, Query1);
    Province = make(u"Province"_s, R, detail(u"Province"_s), true, Query1);
    Terrane = make(u"Terrane"_s, R, detail(u"Terrane"_s), true, Query1);
    IsoOrogenic = make(u"IsoOrogenic"_s, R, detail(u"IsoOrogenic"_s), true, Query1);
    IsoChemType = make(u"IsoChemType"_s, R,
                       {u"select * from IsoChemType"_s, u"where IsoChemType.RecordID = :RecordID"_s}, true, Query1);
    QRef = make(u"QRef"_s, R, detail(u"SourceA"_s), true, Query1);
    QLab = make(u"QLab"_s, R, detail(u"IsoLab"_s), true, Query1);
    QImages = make(u"QImages"_s, R, detail(u"IsoImages"_s), true, Query1);
    QWhoFor = make(u"QWhoFor"_s, R, {u"select * from IsoFor"_s, u"where RecordID = :RecordID"_s}, false, Query1);
    QSmpReg = make(u"QSmpReg"_s, R,
                   {u"select * from SmpReg"_s, u"where RecordID=:RecordID"_s, u"and IsoSystem = :IsotopeSystem"_s},
                   true, Query1);
    QSmpLoc = make(u"QSmpLoc"_s, R, {u"select * from SmpLoc"_s, u"where SampleNo=:SampleNo"_s}, true, QSmpReg);
    addLocalityFields(*QSmpLoc);
    QSmpLoc->setDisplayFormat(u"Elevation"_s, u"######0.0"_s);
    QSmpLoc->setDisplayFormat(u"ElevationPrecision"_s, u"######0.0"_s);
    const QStringList blockingT{u"select * from BlockingT"_s, u"where MaterialAbr=:MaterialAbr"_s,
                                u"and IsoSystem=:IsotopeSystem"_s, u"and ApproachAbr=:ApproachAbr"_s};
    QBlockingT = make(u"QBlockingT"_s, R, blockingT, true, Query1);
    QRefDes = make(u"QRefDes"_s, R, {u"select * from SourceListA"_s, u"where SourceID=:SourceID"_s}, true, QRef);
    QRefLookup = make(u"QRefLookup"_s, R,
                      {u"select SourceNum,SourceID,SourceDes from SourceListA"_s, u"order by SourceID"_s}, true);
    QImageSelected = make(u"QImageSelected"_s, R,
                          {u"select Graphic from IsoImages"_s, u"where RecordID=:RecordID"_s,
                           u"and ImageTypeID=:ImageTypeID"_s, u"and ImageID=:ImageID"_s},
                          true, QImages);
    QLocThisUnit = make(u"QLocThisUnit"_s, R,
                        {u"select SmpReg.RecordID, SmpReg.SampleNo, SmpLoc.Latitude, SmpLoc.Longitude "_s,
                         u"from SmpReg,SmpLoc"_s, u"where SmpReg.RecordID=:RecordID"_s,
                         u"and SmpReg.SampleNo=SmpLoc.SampleNo"_s, u"and SmpLoc.Latitude < 90.0"_s},
                        true, Query1);
    SADCbound = make(u"SADCbound"_s, R, {u"select * from SADCBound"_s, u"where CountryAbr = :CountryAbr"_s}, true,
                     SADCCtry);

    QdmInit = make(u"QdmInit"_s, R, detail(u"IsoInit"_s), true, Querydm);
    QdmStatistics = make(u"QdmStatistics"_s, R, detail(u"IsoStatistics"_s), true, Querydm);
    IsoImages = make(u"IsoImages"_s, R, detail(u"IsoImages"_s), true, Querydm);
    QdmGrouping = make(u"QdmGrouping"_s, R, detail(u"Grouping"_s), false, Querydm, true);
    QdmProvince = make(u"QdmProvince"_s, R, detail(u"Province"_s), false, Querydm, true);
    QdmTerrane = make(u"QdmTerrane"_s, R, detail(u"Terrane"_s), false, Querydm, true);
    QdmOrogenicPeriod = make(u"QdmOrogenicPeriod"_s, R, detail(u"IsoOrogenic"_s), false, Querydm, true);
    QdmChemType = make(u"QdmChemType"_s, R,
                       {u"select * from IsoChemType"_s, u"where IsoChemType.RecordID = :RecordID"_s}, false,
                       Querydm, true);
    QdmSource = make(u"QdmSource"_s, R, detail(u"SourceA"_s), false, Querydm, true);
    QdmSmp = make(u"QdmSmp"_s, R,
                  {u"select * from SmpReg"_s, u"where RecordID=:RecordID"_s, u"and IsoSystem = :IsotopeSystem"_s},
                  false, Querydm, true);
    QdmSmpLoc = make(u"QdmSmpLoc"_s, R, {u"select * from SmpLoc"_s, u"where SampleNo=:SampleNo"_s}, false, QdmSmp,
                     true);
    QdmBlockingT = make(u"QdmBlockingT"_s, R, blockingT, false, Querydm, true);
    Grouping = make(u"Grouping"_s, R, detail(u"Grouping"_s), true, IsoResults);

    for (Dataset *d : {TempDataMap, TempDataDI, TempDataDG, TempDataI, GroupLst, Grouping, CountryList, SuiteList,
                       Lithology, Interpretation, Technique, Approach, Material, Source, SourceList})
        d->setPostErrorHandler(firstFormPostErrorHandler(m_ui));
    for (Dataset *d : {IsoResults, Query1, QdmInit, QdmStatistics, QRef, QLab})
        d->setPostErrorHandler(secondFormPostErrorHandler(m_ui));
    Laboratories->setPostErrorHandler(secondFormPostErrorHandler(m_ui, u"Probable duplicate ID"_s));
    SmpLoc->setPostErrorHandler(smpLocPostErrorHandler(m_ui));
}

TdmKVResults::~TdmKVResults()
{
    // The datasets go before the connections they read through.
    closeAll();
    qDeleteAll(m_datasets);
    m_datasets.clear();
}

Dataset *TdmKVResults::make(const QString &name, Connection &connection, const QStringList &sql, bool live,
                            Dataset *master, bool forwardOnly)
{
    auto *dataset = new Dataset(name, &connection, this);
    dataset->setSql(sql);
    dataset->setLive(live);
    dataset->setForwardOnly(forwardOnly);
    if (master)
        dataset->setMaster(master);
    applyDisplayFormats(*dataset);
    m_datasets << dataset;
    return dataset;
}

Dataset *TdmKVResults::dataset(const QString &name) const
{
    for (Dataset *d : m_datasets)
        if (d->name().compare(name, Qt::CaseInsensitive) == 0)
            return d;
    return nullptr;
}

void TdmKVResults::clearCurrentDataFlags()
{
    MapDataCurrent = false;
    DateDataCurrent = false;
    GroupedDateDataCurrent = false;
    RatioDataCurrent = false;
}

void TdmKVResults::closeAll()
{
    // Details first, so that closing a master does not re-run them.
    for (auto it = m_datasets.crbegin(); it != m_datasets.crend(); ++it)
        (*it)->close();
}

void TdmKVResults::openShared()
{
    for (Dataset *d : {SADCCtry, SADCbound, AgeUnits, CountryList, SuiteList, Lithology, Material, IsoSys, Approach,
                       Interpretation, Technique, Methods, GroupLst, PrefLevel, Suite, SourceType, SourceList, Source,
                       SmpLoc, GroupingFree, Country, Boundary, BlockingT, Grouping, ProvinceList, TerraneList,
                       Province, Terrane, OrogenicPeriods, ChemTypes, IsoOrogenic, IsoChemType, TempDataMap,
                       QRefLookup, TempDataDI, TempDataDG, TempDataI, TempDT})
        d->open();
    for (Dataset *d : {ImageTypes, Laboratories, Query1, QResults, QOther, QStatistics, QImages, QInit, QGrouping,
                       QRef, QRefDes, QSmpReg, QSmpLoc, QBlockingT, QLab, QLocThisUnit})
        d->open();
    QImageSelected->prepare();
}

} // namespace kv
