// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/synthetic_data.h"

#include "demo/demo_lookups.h"
#include "data/row_writer.h"

#include <QDate>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr int areaCount = 60;
constexpr int unitCount = 3000;
constexpr int groupingCount = 200;
constexpr int provinceCount = 40;
constexpr int terraneCount = 40;
constexpr int referenceCount = 2000;
constexpr int firstReferenceNum = 1000;

/// splitmix64: small, fast and the same on every platform and library, unlike the std distributions.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    double unit() { return double(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    /// An index skewed towards the front, as real databases hold many dates of a few units.
    int skewed(int n) { return std::min(n - 1, int(n * std::pow(unit(), 2.5))); }
    template <typename T> const T &pick(const QList<std::pair<T, int>> &weighted)
    {
        int total = 0;
        for (const auto &item : weighted)
            total += item.second;
        int r = below(total);
        for (const auto &item : weighted) {
            if (r < item.second)
                return item.first;
            r -= item.second;
        }
        return weighted.last().first;
    }
    const QString &pick(const QStringList &list) { return list[below(int(list.size()))]; }

private:
    quint64 m_state;
};

struct SystemProfile
{
    QString system;
    int weight;
    QStringList approaches, materials, techniques;
};

const QList<SystemProfile> &profiles()
{
    static const QList<SystemProfile> list{
        {u"UPb"_s,
         50,
         {u"Conc"_s, u"UI"_s, u"LI"_s, u"WM"_s, u"Pb76"_s, u"UPb"_s},
         {u"zr"_s, u"zr"_s, u"zr"_s, u"zr"_s, u"mz"_s, u"bd"_s, u"ti"_s, u"ap"_s, u"xt"_s, u"ru"_s},
         {u"SHRIM"_s, u"SHRIM"_s, u"LAICP"_s, u"LAICP"_s, u"TIMS"_s, u"SIMS"_s}},
        {u"Ar-Ar"_s, 12, {u"Plat"_s}, {u"bi"_s, u"mu"_s, u"hb"_s, u"pl"_s}, {u"NGMS"_s}},
        {u"RbSr"_s, 10, {u"Iso"_s, u"Iso"_s, u"MdlRa"_s}, {u"wr"_s, u"bi"_s, u"mu"_s}, {u"TIMS"_s}},
        {u"SmNd"_s,
         8,
         {u"Iso"_s, u"MdlRa"_s, u"DM"_s, u"CHUR"_s},
         {u"wr"_s, u"gt"_s, u"mwr"_s},
         {u"TIMS"_s, u"MCICP"_s}},
        {u"KAr"_s, 8, {u"Conv"_s}, {u"bi"_s, u"mu"_s, u"hb"_s, u"wr"_s}, {u"NGMS"_s}},
        {u"LuHf"_s, 5, {u"Iso"_s, u"DM"_s, u"CHUR"_s}, {u"zr"_s, u"gt"_s, u"wr"_s}, {u"MCICP"_s, u"LAICP"_s}},
        {u"PbPb"_s, 4, {u"WM"_s, u"Pb76"_s}, {u"zr"_s, u"wr"_s}, {u"PbEv"_s, u"TIMS"_s}},
        {u"Re-Os"_s, 2, {u"Iso"_s}, {u"wr"_s}, {u"MCICP"_s, u"TIMS"_s}},
        {u"Th-Pb"_s, 1, {u"Conc"_s}, {u"mz"_s}, {u"SHRIM"_s}},
    };
    return list;
}

QString methodOf(const QString &technique)
{
    if (technique == u"TIMS"_s || technique == u"MCICP"_s)
        return u"C"_s;
    if (technique == u"PbEv"_s)
        return u"E"_s;
    if (technique == u"NGMS"_s)
        return u"M"_s;
    return u"I"_s;
}

QStringList lithologies()
{
    const QStringList prefixes{u""_s,        u"Biotite "_s,     u"Hornblende "_s,
                               u"Garnet "_s, u"Porphyritic "_s, u"Foliated "_s};
    const QStringList rocks{
        u"granite"_s, u"granodiorite"_s, u"tonalite"_s,    u"gneiss"_s,      u"schist"_s,
        u"basalt"_s,  u"rhyolite"_s,     u"dacite"_s,      u"gabbro"_s,      u"sandstone"_s,
        u"shale"_s,   u"migmatite"_s,    u"amphibolite"_s, u"pegmatite"_s,   u"syenite"_s,
        u"diorite"_s, u"andesite"_s,     u"quartzite"_s,   u"charnockite"_s, u"dolerite"_s,
        u"tuff"_s,    u"greywacke"_s,    u"orthogneiss"_s, u"paragneiss"_s,  u"monzogranite"_s};
    QStringList list;
    for (const QString &prefix : prefixes)
        for (const QString &rock : rocks) {
            QString name = prefix + rock;
            name[0] = name[0].toUpper();
            list << name;
        }
    return list;
}

/// Keeping indexes up to date row by row costs far more than building each once after the load, and on
/// SQLite spills the page cache into the journal again and again: the loaded tables' indexes are
/// dropped for the load and built again before the commit.
class DeferredIndexes
{
public:
    DeferredIndexes(Connection &db, const QStringList &tables) : m_db(db)
    {
        for (const QString &table : tables) {
            const QStringList statements =
                Schema::createStatements(*Schema::table(table), db.backend()).mid(1);
            for (const QString &statement : statements) {
                const QStringList words = statement.split(u' ');
                const QString name = words.value(words[1] == u"UNIQUE"_s ? 3 : 2);
                db.exec(u"DROP INDEX "_s + name);
                m_statements << statement;
            }
        }
    }
    void restore()
    {
        for (const QString &statement : std::as_const(m_statements))
            m_db.exec(statement);
        m_statements.clear();
    }

private:
    Connection &m_db;
    QStringList m_statements;
};

} // namespace

SyntheticSummary writeSyntheticData(Connection &db, qint64 records, int smNdSamples, bool isochrons)
{
    if (smNdSamples < 0 || smNdSamples > 10000)
        throw InputError(u"The number of Sm-Nd samples per record must lie between 0 and 10000, not %1."_s.arg(
            smNdSamples));
    if (records < 0 || records > 100'000'000)
        throw InputError(
            u"The number of synthetic records must lie between 0 and 100000000, not %1."_s.arg(records));
    Random random(20261210);
    SyntheticSummary summary;
    db.engine().prepareBulkWrite(db);
    Transaction transaction(db);
    demo::writeLookups(db);

    QStringList areas;
    {
        RowWriter country(db, u"Country"_s, {u"CountryAbr"_s, u"Country"_s});
        for (int i = 0; i < areaCount; ++i) {
            areas << u"S%1"_s.arg(i, 2, 10, QChar(u'0'));
            country.add({areas.last(), u"Synthetic area %1"_s.arg(i + 1)});
        }
        country.flush();
    }
    QStringList units, unitAreas;
    {
        RowWriter suite(db, u"Suite"_s, {u"UnitName"_s, u"UnitRank"_s, u"CountryAbr"_s, u"GISID"_s});
        const QStringList ranks{u"Suite"_s, u"Group"_s, u"Fm"_s, u"Cplx"_s, u"Gran"_s};
        for (int i = 0; i < unitCount; ++i) {
            const QString &rank = ranks[i % ranks.size()];
            units << u"Synthetic %1 %2"_s.arg(rank).arg(i + 1, 4, 10, QChar(u'0'));
            unitAreas << areas[random.skewed(areaCount)];
            suite.add({units.last(), rank, unitAreas.last(), i + 1});
        }
        suite.flush();
    }
    const QStringList rocks = lithologies();
    const auto list = [&db](const QString &table, const QString &column, const QString &pattern, int count) {
        QStringList values;
        RowWriter writer(db, table, {column});
        for (int i = 0; i < count; ++i) {
            values << pattern.arg(i + 1, 3, 10, QChar(u'0'));
            writer.add({values.last()});
        }
        writer.flush();
        return values;
    };
    {
        RowWriter lithol(db, u"Lithol"_s, {u"Lithology"_s});
        for (const QString &rock : rocks)
            lithol.add({rock});
        lithol.flush();
    }
    const QStringList groupings = list(u"GroupingList"_s, u"Grouping"_s, u"Group %1"_s, groupingCount);
    const QStringList provinces = list(u"ProvinceList"_s, u"Province"_s, u"Province %1"_s, provinceCount);
    const QStringList terranes = list(u"TerraneList"_s, u"Terrane"_s, u"Terrane %1"_s, terraneCount);
    {
        RowWriter sources(db, u"SourceListA"_s, {u"SourceNum"_s, u"SourceID"_s, u"SourceDes"_s});
        for (int i = 0; i < referenceCount; ++i)
            sources.add({firstReferenceNum + i, u"Author%1 et al. %2"_s.arg(i + 1).arg(1960 + i % 60),
                         u"Synthetic reference number %1"_s.arg(i + 1)});
        sources.flush();
        db.syncAutoIncrement(u"SourceListA"_s);
    }

    DeferredIndexes indexes(db,
                            {u"IsoRgr30"_s, u"IsoStatistics"_s, u"IsoInit"_s, u"Grouping"_s, u"Province"_s,
                             u"Terrane"_s, u"SourceA"_s, u"SmpReg"_s, u"SmpLoc"_s, u"SmpData"_s});
    const QStringList recordColumns{u"RecordID"_s,    u"CountryAbr"_s,    u"UnitName"_s,    u"Lithology"_s,
                                    u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s, u"TechAbr"_s,
                                    u"InterpAbr"_s,   u"MethodAbr"_s,     u"PrefLevel"_s,   u"IAge"_s,
                                    u"IAgePError"_s,  u"IAgeMError"_s,    u"AgeUnits"_s,    u"DateString"_s,
                                    u"DecayConst1"_s};
    RowWriter recordWriter(db, u"IsoRgr30"_s, recordColumns);
    RowWriter statistics(db, u"IsoStatistics"_s,
                         {u"RecordID"_s, u"MSWD"_s, u"NReg"_s, u"NSamples"_s, u"ProbOfFit"_s});
    RowWriter init(db, u"IsoInit"_s, {u"RecordID"_s, u"InitRatio"_s, u"InitRatioError"_s, u"Epsilon"_s});
    RowWriter grouping(db, u"Grouping"_s, {u"RecordID"_s, u"Grouping"_s});
    RowWriter province(db, u"Province"_s, {u"RecordID"_s, u"Province"_s});
    RowWriter terrane(db, u"Terrane"_s, {u"RecordID"_s, u"Terrane"_s});
    RowWriter sourceA(db, u"SourceA"_s, {u"RecordID"_s, u"SourceTypeID"_s, u"SourceNum"_s, u"SourceID"_s});
    RowWriter smpReg(db, u"SmpReg"_s,
                     {u"RecordID"_s, u"IsoSystem"_s, u"SampleNo"_s, u"Frac"_s, u"Included"_s});
    RowWriter smpLoc(db, u"SmpLoc"_s, {u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s});
    RowWriter smpData(
        db, u"SmpData"_s,
        {u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s, u"DataValue"_s, u"NormalisingFactor"_s});

    QList<std::pair<int, int>> systemWeights;
    for (int i = 0; i < profiles().size(); ++i)
        systemWeights.append({i, profiles()[i].weight});
    const QList<std::pair<QString, int>> interpretations{
        {u"Empl"_s, 40}, {u"Extr"_s, 8},  {u"Meta"_s, 18}, {u"Cool"_s, 12}, {u"Depos"_s, 5},
        {u"Diag"_s, 2},  {u"Reset"_s, 3}, {u"Miner"_s, 4}, {u"Inher"_s, 5}, {u"MaxDp"_s, 3}};
    const QHash<QString, double> lambdas{
        {u"UPb"_s, demo::lambda238U},   {u"PbPb"_s, demo::lambda238U}, {u"RbSr"_s, demo::lambda87Rb},
        {u"SmNd"_s, demo::lambda147Sm}, {u"LuHf"_s, 1.867e-11},        {u"KAr"_s, 5.543e-10},
        {u"Ar-Ar"_s, 5.543e-10},        {u"Re-Os"_s, 1.666e-11},       {u"Th-Pb"_s, 4.9475e-11}};
    const QHash<QString, QStringList> variables{
        {u"RbSr"_s,
         {u"Rb87Sr86"_s, u"Rb87Sr86e"_s, u"Rb87Sr86t"_s, u"Sr87Sr86"_s, u"Sr87Sr86e"_s, u"Sr87Sr86t"_s,
          u"RbSrRho"_s}},
        {u"SmNd"_s,
         {u"Sm147Nd144"_s, u"Sm147Nd144e"_s, u"Sm147Nd144t"_s, u"Nd143Nd144"_s, u"Nd143Nd144e"_s,
          u"Nd143Nd144t"_s, u"SmNdRho"_s}}};
    const QDate baseDate(1995, 1, 1);

    const auto smNdProfile = std::find_if(profiles().cbegin(), profiles().cend(),
                                          [](const SystemProfile &p) { return p.system == u"SmNd"_s; });
    Q_ASSERT(smNdProfile != profiles().cend());
    const SystemProfile &smNd = *smNdProfile;
    const QString dm = isochrons ? u"Iso"_s : u"DM"_s;
    for (qint64 id = 1; id <= records; ++id) {
        const SystemProfile &p = smNdSamples > 0 ? smNd : profiles()[random.pick(systemWeights)];
        const QString &approach = smNdSamples > 0 ? dm : random.pick(p.approaches);
        QString interpretation;
        if (approach == u"DM"_s || approach == u"CHUR"_s)
            interpretation = u"CrsRs"_s;
        else if (approach == u"MdlRa"_s)
            interpretation = u"MdlR0"_s;
        else if (smNdSamples > 0)
            interpretation = u"Empl"_s;
        else
            interpretation = random.pick(interpretations);
        const QString &technique = random.pick(p.techniques);
        const int unit = random.skewed(unitCount);
        // Ages cluster around a few orogenic peaks over a thin spread of 0 to 4000 Ma.
        static const double peaks[]{550, 1050, 1850, 2700, 300, 1200};
        double age =
            random.chance(0.3) ? random.unit() * 4000 : peaks[random.below(6)] + (random.unit() - 0.5) * 300;
        age = std::clamp(age, 0.001, 4000.0);
        const int iAge = int(std::lround(age * 1000));
        const int iError = std::max(1, int(std::lround(iAge * (0.002 + 0.02 * random.unit()))));
        recordWriter.add({id, unitAreas[unit], units[unit], rocks[random.skewed(int(rocks.size()))],
                          random.pick(p.materials), p.system, approach, technique, interpretation,
                          methodOf(technique), random.below(4), iAge, iError, iError, u"Ma"_s,
                          baseDate.addDays(random.below(11000)), lambdas.value(p.system)});
        const int sampleCount = smNdSamples > 0 ? smNdSamples : 1 + random.below(3);
        if (random.chance(0.9))
            statistics.add({id, 0.3 + 2 * random.unit(), double(sampleCount + random.below(20)), sampleCount,
                            random.unit()});
        if (random.chance(0.6))
            init.add({id, 0.5 + random.unit(), 0.0001 + 0.001 * random.unit(), (random.unit() - 0.5) * 20});
        if (random.chance(0.8))
            grouping.add({id, groupings[random.skewed(groupingCount)]});
        if (random.chance(0.3))
            province.add({id, provinces[random.below(provinceCount)]});
        if (random.chance(0.2))
            terrane.add({id, terranes[random.below(terraneCount)]});
        if (random.chance(0.95)) {
            const int ref = random.skewed(referenceCount);
            sourceA.add({id, u"A"_s, firstReferenceNum + ref,
                         u"Author%1 et al. %2"_s.arg(ref + 1).arg(1960 + ref % 60)});
        }
        const bool withData = smNdSamples > 0 || (variables.contains(p.system) && random.chance(0.25));
        for (int s = 0; s < sampleCount; ++s) {
            const QString sampleNo =
                smNdSamples > 0 ? u"S%1-%2"_s.arg(id).arg(s + 1) : u"S%1%2"_s.arg(id).arg(QChar(u'a' + s));
            smpReg.add({id, p.system, sampleNo, u"1"_s,
                        smNdSamples > 0 || random.chance(0.95) ? u"Y"_s : u"N"_s});
            smpLoc.add({sampleNo, -35 + 70 * random.unit(), -20 + 80 * random.unit(), 2000 * random.unit()});
            ++summary.samples;
            if (withData) {
                const QStringList &ids = variables[p.system];
                double x = 0.05 + random.unit(), y = 0.5 + random.unit() * 0.3;
                if (smNdSamples > 0) {
                    // 147Sm/144Nd of crustal rocks, 143Nd/144Nd on the depleted-mantle line (Liew &
                    // Hofmann 1988) at the record's age, give or take 2 %.
                    x = 0.10 + 0.06 * random.unit();
                    const double t = age * (1 + 0.04 * (random.unit() - 0.5)) * 1e6;
                    y = 0.513151 + (x - 0.219) * std::expm1(demo::lambda147Sm * t);
                }
                const QList<double> values{x, x * 0.005, 0, y, y * 0.00005, 0, random.unit() * 0.5};
                for (int v = 0; v < 7; ++v)
                    smpData.add({sampleNo, u"1"_s, p.system, ids[v], values[v], 1.0});
                summary.sampleData += 7;
            }
        }
    }
    for (RowWriter *w : {&recordWriter, &statistics, &init, &grouping, &province, &terrane, &sourceA, &smpReg,
                         &smpLoc, &smpData})
        w->flush();
    indexes.restore();
    summary.records = recordWriter.count();
    summary.detailRows = statistics.count() + init.count() + grouping.count() + province.count() +
                         terrane.count() + sourceA.count();
    transaction.commit();
    return summary;
}

} // namespace kv
