// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_lookups.h"

#include "data/installation.h"
#include "data/row_writer.h"

#include <tuple>

using namespace Qt::StringLiterals;

namespace kv::demo {

namespace {

void write(Connection &db, const QString &table, const QStringList &columns, const QList<QVariantList> &rows)
{
    // The installation's row of a code the demo describes too gives way to the demo's.
    for (const InstalledCode &code : installedCodes())
        if (code.table == table && code.columns.first() == columns.first())
            for (const QVariantList &row : rows)
                if (row.first() == code.values.first())
                    db.exec(u"delete from %1 where %2 = ?"_s.arg(table, columns.first()), {row.first()});
    RowWriter writer(db, table, columns);
    for (const QVariantList &row : rows)
        writer.add(row);
    writer.flush();
}

const QVariant none;

} // namespace

const QList<Area> &areas()
{
    static const QList<Area> list{
        {u"MDG"_s, u"Madagascar"_s},
        {u"IND"_s, u"India"_s},
        {u"ZMB"_s, u"Zambia"_s},
        {u"TZA"_s, u"Tanzania"_s},
        {u"COD"_s, u"Democratic Republic of Congo"_s},
        {u"MWI"_s, u"Malawi"_s},
        {u"MOZ"_s, u"Mozambique"_s},
        {u"ZAF"_s, u"South Africa"_s},
        {u"NAM"_s, u"Namibia"_s},
        {u"BWA"_s, u"Botswana"_s},
        {u"ZWE"_s, u"Zimbabwe"_s},
        {u"LSO"_s, u"Lesotho"_s},
        {u"SWZ"_s, u"Eswatini (Swaziland)"_s},
        {u"AGO"_s, u"Angola"_s},
        {u"ETH"_s, u"Ethiopia"_s},
        {u"ISR"_s, u"Israel"_s},
        {u"IRN"_s, u"Iran"_s},
        {u"SAU"_s, u"Saudi Arabia"_s},
        // Records that name only a continent, and the lunar samples of the isochron examples.
        {u"AFR"_s, u"Africa, country not given"_s},
        {u"LUN"_s, u"Moon"_s},
    };
    return list;
}

QString areaCodeOf(const QString &countryName)
{
    for (const Area &area : areas())
        if (area.name.compare(countryName, Qt::CaseInsensitive) == 0)
            return area.code;
    return {};
}

QString areaName(const QString &code)
{
    for (const Area &area : areas())
        if (area.code == code)
            return area.name;
    return {};
}

void writeLookups(Connection &db)
{
    // Decay constants: U Jaffey et al. (1971); Rb Steiger & Jaeger (1977); Sm Lugmair & Marti (1978);
    // Lu Soederlund et al. (2004); K total Steiger & Jaeger (1977); Re Smoliar et al. (1996);
    // 232Th Steiger & Jaeger (1977).
    write(db, u"IsoSystem"_s,
          {u"IsoSystem"_s, u"IsoSystemName"_s, u"IsoSysNo"_s, u"DecayConst1"_s, u"DecayConst2"_s},
          {
              {u"UPb"_s, u"Uranium-lead"_s, 1, lambda238U, lambda235U},
              {u"PbPb"_s, u"Lead-lead (207Pb/206Pb)"_s, 2, lambda238U, lambda235U},
              {u"RbSr"_s, u"Rubidium-strontium"_s, 3, lambda87Rb, none},
              {u"SmNd"_s, u"Samarium-neodymium"_s, 4, lambda147Sm, none},
              {u"LuHf"_s, u"Lutetium-hafnium"_s, 5, 1.867e-11, none},
              {u"KAr"_s, u"Potassium-argon"_s, 6, 5.543e-10, none},
              {u"Ar-Ar"_s, u"Argon-argon (40Ar/39Ar)"_s, 7, 5.543e-10, none},
              {u"Re-Os"_s, u"Rhenium-osmium"_s, 8, 1.666e-11, none},
              {u"Th-Pb"_s, u"Thorium-lead"_s, 9, 4.9475e-11, none},
          });
    write(db, u"Material"_s, {u"MaterialAbr"_s, u"MaterialDescription"_s},
          {
              {u"zr"_s, u"zircon"_s},
              {u"mz"_s, u"monazite"_s},
              {u"bd"_s, u"baddeleyite"_s},
              {u"zr+bd"_s, u"zircon and baddeleyite"_s},
              {u"xt"_s, u"xenotime"_s},
              {u"ti"_s, u"titanite"_s},
              {u"ap"_s, u"apatite"_s},
              {u"ru"_s, u"rutile"_s},
              {u"wr"_s, u"whole rock"_s},
              {u"mwr"_s, u"mineral separates and whole rock"_s},
              {u"bi"_s, u"biotite"_s},
              {u"mu"_s, u"muscovite"_s},
              {u"hb"_s, u"hornblende"_s},
              {u"pl"_s, u"plagioclase"_s},
              {u"gt"_s, u"garnet"_s},
              {u"ns"_s, u"not specified"_s},
          });
    write(db, u"Technique"_s, {u"TechAbr"_s, u"Technique"_s},
          {
              {u"SHRIM"_s, u"SHRIMP ion microprobe"_s},
              {u"SIMS"_s, u"Other ion microprobe (SIMS)"_s},
              {u"LAICP"_s, u"LA-ICPMS"_s},
              {u"TIMS"_s, u"TIMS (isotope dilution)"_s},
              {u"PbEv"_s, u"Pb-evaporation (TIMS)"_s},
              {u"SH+LA"_s, u"SHRIMP and LA-ICPMS"_s},
              {u"SH+TI"_s, u"SHRIMP and TIMS"_s},
              {u"MCICP"_s, u"Solution MC-ICPMS"_s},
              {u"NGMS"_s, u"Noble-gas mass spectrometry"_s},
              {u"ns"_s, u"Not reported"_s},
          });
    write(db, u"Approach"_s, {u"ApproachAbr"_s, u"ApproachDescription"_s},
          {
              {u"Conc"_s, u"U-Pb concordia age"_s},
              {u"UI"_s, u"U-Pb discordia upper intercept"_s},
              {u"LI"_s, u"U-Pb discordia lower intercept"_s},
              {u"WM"_s, u"Weighted mean 207Pb/206Pb age"_s},
              {u"Pb76"_s, u"207Pb/206Pb age"_s},
              {u"UPb"_s, u"U-Pb age, approach not reported"_s},
              {u"Iso"_s, u"Isochron"_s},
              {u"MdlRa"_s, u"Model initial ratio from sample ratios and age"_s},
              {u"DM"_s, u"Model age relative to the depleted mantle"_s},
              {u"CHUR"_s, u"Model age relative to CHUR"_s},
              {u"RD"_s, u"Model age relative to another reservoir"_s},
              {u"Plat"_s, u"40Ar/39Ar plateau age"_s},
              {u"Conv"_s, u"Conventional K-Ar age"_s},
          });
    // The first eight are the codes of the default plot groups.
    write(db, u"Interpretation"_s, {u"InterpAbr"_s, u"Interpretation"_s},
          {
              {u"Empl"_s, u"Magmatic crystallisation"_s},
              {u"Extr"_s, u"Extrusion"_s},
              {u"Meta"_s, u"Metamorphism"_s},
              {u"Cool"_s, u"Cooling"_s},
              {u"Depos"_s, u"Deposition"_s},
              {u"Diag"_s, u"Diagenesis"_s},
              {u"Reset"_s, u"Isotopic resetting (unknown)"_s},
              {u"Miner"_s, u"Mineralisation"_s},
              {u"CrsRs"_s, u"Crustal residence (model age)"_s},
              {u"MdlR0"_s, u"Model initial ratio"_s},
              {u"Inher"_s, u"Inheritance"_s},
              {u"MaxDp"_s, u"Maximum depositional age"_s},
          });
    write(db, u"Methods"_s, {u"MethodAbr"_s, u"MethodName"_s},
          {
              {u"C"_s, u"Conventional (ID)"_s},
              {u"I"_s, u"In situ microbeam"_s},
              {u"E"_s, u"Pb evaporation"_s},
              {u"M"_s, u"Mixed methods"_s},
              {u"U"_s, u"Not reported"_s},
          });
    write(db, u"PrefLevel"_s, {u"PrefLevelNo"_s, u"PrefDes"_s},
          {
              {0, u"Not rated: the uncertainty or the context of the date is missing."_s},
              {1, u"Published date, not assessed further."_s},
              {2, u"Published date with its analytical data in this database."_s},
              {3, u"Preferred date for the unit."_s},
          });
    // Present-day reservoirs: Sm-Nd CHUR Jacobsen & Wasserburg (1980), Rb-Sr UR DePaolo & Wasserburg
    // (1976), Lu-Hf CHUR Bouvier et al. (2008).
    write(db, u"IsoUR"_s, {u"IsoSystem"_s, u"URparam1"_s, u"URparam2"_s, u"URparam3"_s},
          {
              {u"SmNd"_s, 0.1967, 0.512638, 10000.0},
              {u"RbSr"_s, 0.0827, 0.7045, 10000.0},
              {u"LuHf"_s, 0.0336, 0.282785, 10000.0},
          });
    // Linear reservoir curves: ModelParam1 c2 = 0, ModelParam2 c1 the parent/daughter ratio,
    // ModelParam3 c0 the present daughter ratio. DM Sm-Nd: Liew & Hofmann (1988); DM Lu-Hf: Griffin
    // et al. (2000).
    write(
        db, u"IsoModels"_s,
        {u"IsoSystem"_s, u"ModelID"_s, u"ModelParam1"_s, u"ModelParam2"_s, u"ModelParam3"_s, u"ModelName"_s},
        {
            {u"SmNd"_s, u"CHUR"_s, 0.0, 0.1967, 0.512638, u"CHUR (Jacobsen 1980)"_s},
            {u"SmNd"_s, u"DM"_s, 0.0, 0.219, 0.513151, u"DM (Liew 1988)"_s},
            {u"LuHf"_s, u"CHUR"_s, 0.0, 0.0336, 0.282785, u"CHUR (Bouvier 2008)"_s},
            {u"LuHf"_s, u"DM"_s, 0.0, 0.0384, 0.28325, u"DM (Griffin 2000)"_s},
        });
    write(db, u"VarVar"_s, {u"VariableID"_s, u"VariableName"_s},
          {
              {u"Rb87Sr86"_s, u"87Rb/86Sr"_s},
              {u"Rb87Sr86e"_s, u"87Rb/86Sr error (1 sigma)"_s},
              {u"Rb87Sr86t"_s, u"87Rb/86Sr error type"_s},
              {u"Sr87Sr86"_s, u"87Sr/86Sr"_s},
              {u"Sr87Sr86e"_s, u"87Sr/86Sr error (1 sigma)"_s},
              {u"Sr87Sr86t"_s, u"87Sr/86Sr error type"_s},
              {u"RbSrRho"_s, u"Rb-Sr error correlation"_s},
              {u"Sm147Nd144"_s, u"147Sm/144Nd"_s},
              {u"Sm147Nd144e"_s, u"147Sm/144Nd error (1 sigma)"_s},
              {u"Sm147Nd144t"_s, u"147Sm/144Nd error type"_s},
              {u"Nd143Nd144"_s, u"143Nd/144Nd"_s},
              {u"Nd143Nd144e"_s, u"143Nd/144Nd error (1 sigma)"_s},
              {u"Nd143Nd144t"_s, u"143Nd/144Nd error type"_s},
              {u"SmNdRho"_s, u"Sm-Nd error correlation"_s},
          });
    const QStringList roles{u"IsoSystem"_s, u"ApproachAbr"_s, u"XX"_s,   u"YY"_s,    u"X"_s, u"Xerr"_s,
                            u"Xerrt"_s,     u"Y"_s,           u"Yerr"_s, u"Yerrt"_s, u"R"_s};
    const QVariantList rbSr{u"87Rb/86Sr"_s, u"87Sr/86Sr"_s, u"Rb87Sr86"_s,  u"Rb87Sr86e"_s, u"Rb87Sr86t"_s,
                            u"Sr87Sr86"_s,  u"Sr87Sr86e"_s, u"Sr87Sr86t"_s, u"RbSrRho"_s};
    const QVariantList smNd{u"147Sm/144Nd"_s, u"143Nd/144Nd"_s, u"Sm147Nd144"_s,
                            u"Sm147Nd144e"_s, u"Sm147Nd144t"_s, u"Nd143Nd144"_s,
                            u"Nd143Nd144e"_s, u"Nd143Nd144t"_s, u"SmNdRho"_s};
    QList<QVariantList> sysVar;
    for (const QString &approach : {u"MdlRa"_s, u"Iso"_s})
        sysVar << (QVariantList{u"RbSr"_s, approach} + rbSr);
    for (const QString &approach : {u"MdlRa"_s, u"Iso"_s, u"DM"_s, u"CHUR"_s})
        sysVar << (QVariantList{u"SmNd"_s, approach} + smNd);
    write(db, u"SysVarData"_s, roles, sysVar);
    // Closure temperatures (deg C) of the dated materials, with their uncertainties. Approximate values
    // after Cherniak & Watson (2001) for zircon, Cherniak et al. (2004) for monazite, Frost et al. (2000)
    // for titanite, Cherniak et al. (1991) for apatite, Jaeger (1979) and Harrison et al. (1985, 2009) for
    // the micas and hornblende; baddeleyite and zircon with baddeleyite as zircon (Heaman & LeCheminant
    // 1993). The U-Pb minerals take the same value whatever approach derived the date.
    QList<QVariantList> closure;
    const QStringList upbApproaches{u"Conc"_s, u"UI"_s, u"WM"_s, u"Pb76"_s, u"UPb"_s};
    for (const auto &[material, celsius, uncertainty] :
         {std::tuple{u"zr"_s, 900.0, 50.0}, std::tuple{u"bd"_s, 900.0, 50.0}, std::tuple{u"zr+bd"_s, 900.0, 50.0},
          std::tuple{u"mz"_s, 725.0, 25.0}})
        for (const QString &approach : upbApproaches)
            closure.append({material, u"UPb"_s, approach, celsius, uncertainty});
    closure += QList<QVariantList>{
        {u"ti"_s, u"UPb"_s, u"Conc"_s, 660.0, 40.0},   {u"ap"_s, u"UPb"_s, u"Conc"_s, 450.0, 50.0},
        {u"hb"_s, u"Ar-Ar"_s, u"Plat"_s, 500.0, 50.0}, {u"mu"_s, u"Ar-Ar"_s, u"Plat"_s, 400.0, 50.0},
        {u"mu"_s, u"RbSr"_s, u"Iso"_s, 500.0, 50.0},   {u"bi"_s, u"Ar-Ar"_s, u"Plat"_s, 325.0, 50.0},
        {u"bi"_s, u"RbSr"_s, u"Iso"_s, 300.0, 50.0},   {u"bi"_s, u"KAr"_s, u"Conv"_s, 300.0, 50.0},
    };
    write(db, u"BlockingT"_s,
          {u"MaterialAbr"_s, u"IsoSystem"_s, u"ApproachAbr"_s, u"BlockingT"_s, u"BlockingTUncertainty"_s}, closure);
    write(db, u"ImageTypes"_s, {u"ImageTypeID"_s, u"ImageType"_s},
          {
              {u"N"_s, u"Not classified"_s},
              {u"C"_s, u"Concordia diagram"_s},
              {u"I"_s, u"Isochron diagram"_s},
              {u"P"_s, u"Photograph"_s},
              {u"M"_s, u"Map"_s},
              {u"L"_s, u"Cathodoluminescence image"_s},
          });
    write(db, u"Laboratories"_s, {u"LaboratoryAbr"_s, u"LaboratoryName"_s},
          {
              {u"ANU-RSES"_s, u"Research School of Earth Sciences, ANU, Canberra"_s},
              {u"Curtin-JdL"_s, u"John de Laeter Centre, Curtin University, Perth"_s},
              {u"NIGL"_s, u"NERC Isotope Geosciences Laboratory, Keyworth"_s},
              {u"GSC"_s, u"Geological Survey of Canada, Ottawa"_s},
              {u"ETH"_s, u"ETH Zurich, Institute of Geochemistry"_s},
          });
    write(db, u"ForList"_s, {u"WhoForID"_s, u"WhoFor"_s},
          {
              {u"PUB"_s, u"Public"_s},
              {u"GS"_s, u"Geological survey"_s},
              {u"UNI"_s, u"University project"_s},
          });
    write(db, u"ChemTypes"_s, {u"ChemTypeAbr"_s, u"ChemicalType"_s},
          {
              {u"I"_s, u"I-type granite"_s},
              {u"S"_s, u"S-type granite"_s},
              {u"A"_s, u"A-type granite"_s},
              {u"M"_s, u"M-type granite"_s},
              {u"TTG"_s, u"TTG (tonalite-trondhjemite)"_s},
          });
    write(db, u"OrogenicPeriod"_s, {u"OrogenicPeriodID"_s, u"OrogenicPeriod"_s},
          {
              {u"PAN"_s, u"Pan-African"_s},
              {u"GREN"_s, u"Grenvillian"_s},
              {u"KIB"_s, u"Kibaran"_s},
              {u"EBUR"_s, u"Eburnean"_s},
              {u"NEOA"_s, u"Neoarchaean"_s},
          });
}

} // namespace kv::demo
