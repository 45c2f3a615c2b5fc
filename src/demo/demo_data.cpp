// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_data.h"

#include "calc/york_fit.h"
#include "demo/demo_lookups.h"
#include "data/row_writer.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QPointF>
#include <QSet>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString upbFile = u"Itmagzir_upb.csv"_s;
const QString outlineFile = u"southern_africa_outlines.csv"_s;
const QString notDefined = u"not defined"_s;
constexpr int notDefinedNum = 416;
constexpr int firstReferenceNum = 500; // clear of the installation's reference 416
constexpr int firstDatedRecord = 1000;
constexpr int firstIsochronRecord = 2000;
const QDate compiled(2020, 4, 14); // when the compilation was published

QByteArray readResource(const QString &name)
{
    QFile file(u":/demo/"_s + name);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(u"The demo seed file %1 is missing from the program."_s.arg(name));
    return file.readAll();
}

QString cutText(const QString &table, const QString &column, const QString &text)
{
    return Schema::cutToWidth(*Schema::table(table)->column(column), text).toString();
}

/// A CSV file as a header and records addressed by column name.
class CsvTable
{
public:
    CsvTable(const QString &fileName, const QString &text) : m_file(fileName)
    {
        m_rows = parseCsv(text);
        if (m_rows.isEmpty())
            throw InputError(u"The file %1 is empty."_s.arg(fileName));
        m_header = m_rows.takeFirst();
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].size() < m_header.size())
                throw InputError(u"%1, line %2: %3 fields where the header has %4."_s.arg(fileName)
                                     .arg(i + 2)
                                     .arg(m_rows[i].size())
                                     .arg(m_header.size()));
    }
    int column(const QString &name) const
    {
        const qsizetype index = m_header.indexOf(name);
        if (index < 0)
            throw InputError(u"The file %1 has no column \"%2\"."_s.arg(m_file, name));
        return int(index);
    }
    double number(qsizetype row, int column) const
    {
        bool ok = false;
        const double value = m_rows[row][column].trimmed().toDouble(&ok);
        if (!ok)
            throw InputError(
                u"%1, line %2: \"%3\" in column %4 is not a number."_s.arg(m_file).arg(row + 2).arg(
                    m_rows[row][column], m_header[column]));
        return value;
    }
    const QList<QStringList> &rows() const { return m_rows; }
    const QString &file() const { return m_file; }

private:
    QString m_file;
    QStringList m_header;
    QList<QStringList> m_rows;
};

// ---------------------------------------------------------------------------------------------------
// Outlines

struct Ring
{
    QString area;
    QList<QPointF> points; // x longitude, y latitude
};

QList<Ring> readOutlines()
{
    const CsvTable csv(outlineFile, QString::fromUtf8(readResource(outlineFile)));
    const int iso = csv.column(u"ISO3"_s), part = csv.column(u"Part"_s), seq = csv.column(u"Seq"_s);
    const int lon = csv.column(u"Longitude"_s), lat = csv.column(u"Latitude"_s);
    QList<Ring> rings;
    QString lastKey;
    for (qsizetype i = 0; i < csv.rows().size(); ++i) {
        const QStringList &row = csv.rows()[i];
        const QString key = row[iso] + u'/' + row[part];
        if (key != lastKey) {
            rings.append({row[iso], {}});
            lastKey = key;
        }
        if (int(csv.number(i, seq)) != rings.last().points.size() + 1)
            throw InputError(
                u"%1, line %2: the points of a ring are not in order."_s.arg(outlineFile).arg(i + 2));
        rings.last().points.append({csv.number(i, lon), csv.number(i, lat)});
    }
    return rings;
}

/// The area whose outline holds a point (even-odd rule, so a hole's inside is outside its country).
QString areaAt(const QList<Ring> &rings, const QPointF &p)
{
    QHash<QString, bool> inside;
    for (const Ring &ring : rings) {
        bool &in = inside[ring.area];
        for (qsizetype k = 0; k + 1 < ring.points.size(); ++k) {
            const QPointF &a = ring.points[k], &b = ring.points[k + 1];
            if ((a.y() > p.y()) != (b.y() > p.y()) &&
                p.x() < a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y()))
                in = !in;
        }
    }
    for (auto it = inside.cbegin(); it != inside.cend(); ++it)
        if (it.value())
            return it.key();
    return {};
}

// Rings of one area follow each other in one sequence; a point at 0/0 separates them, because the map
// leaves a point with longitude 0 empty and so breaks the line there.
int writeOutlines(Connection &db, const QList<Ring> &rings, QSet<QString> &areasUsed)
{
    RowWriter areaBound(db, u"AreaBound"_s,
                        {u"CountryAbr"_s, u"BoundarySequence"_s, u"Longitude"_s, u"Latitude"_s});
    RowWriter sadcBound(db, u"SADCBound"_s,
                        {u"CountryAbr"_s, u"BoundarySequence"_s, u"Longitude"_s, u"Latitude"_s});
    RowWriter sadcCountry(db, u"SADCCtry"_s, {u"CountryAbr"_s, u"Country"_s});
    QHash<QString, int> sequence;
    int points = 0;
    for (const Ring &ring : rings) {
        if (!areasUsed.contains(ring.area)) {
            if (demo::areaName(ring.area).isEmpty())
                throw InputError(u"%1: the area %2 is not known."_s.arg(outlineFile, ring.area));
            areasUsed.insert(ring.area);
        }
        int &n = sequence[ring.area];
        if (n == 0) {
            sadcCountry.add({ring.area, demo::areaName(ring.area)});
        } else {
            ++n;
            areaBound.add({ring.area, n, 0.0, 0.0});
            sadcBound.add({ring.area, n, 0.0, 0.0});
        }
        for (const QPointF &p : ring.points) {
            if (++n > 32767)
                throw InputError(u"%1: the outline of %2 has more points than a sequence number holds."_s.arg(
                    outlineFile, ring.area));
            areaBound.add({ring.area, n, p.x(), p.y()});
            sadcBound.add({ring.area, n, p.x(), p.y()});
            ++points;
        }
    }
    areaBound.flush();
    sadcBound.flush();
    sadcCountry.flush();
    return points;
}

// ---------------------------------------------------------------------------------------------------
// Shared writers of the records

const QStringList recordColumns{u"RecordID"_s,    u"CountryAbr"_s,    u"UnitName"_s,    u"Lithology"_s,
                                u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s, u"TechAbr"_s,
                                u"InterpAbr"_s,   u"MethodAbr"_s,     u"PrefLevel"_s,   u"IAge"_s,
                                u"IAgePError"_s,  u"IAgeMError"_s,    u"Age"_s,         u"AgePError"_s,
                                u"AgeMError"_s,   u"AgeUnits"_s,      u"DateString"_s,  u"DecayConst1"_s,
                                u"DecayConst2"_s, u"Comment"_s};

struct Reference
{
    int number = 0;
    QString description;
    QStringList dois;
};

struct Writers
{
    explicit Writers(Connection &db)
        : records(db, u"IsoRgr30"_s, recordColumns),
          smpReg(db, u"SmpReg"_s, {u"RecordID"_s, u"IsoSystem"_s, u"SampleNo"_s, u"Frac"_s, u"Included"_s}),
          smpLoc(db, u"SmpLoc"_s, {u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s}),
          smpData(db, u"SmpData"_s,
                  {u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s, u"DataValue"_s,
                   u"NormalisingFactor"_s}),
          sourceA(db, u"SourceA"_s, {u"RecordID"_s, u"SourceTypeID"_s, u"SourceNum"_s, u"SourceID"_s}),
          statistics(db, u"IsoStatistics"_s,
                     {u"RecordID"_s, u"MSWD"_s, u"NReg"_s, u"NSamples"_s, u"DegFreedom"_s, u"XCentroid"_s,
                      u"YCentroid"_s, u"ProgName"_s}),
          init(db, u"IsoInit"_s,
               {u"RecordID"_s, u"InitRatio"_s, u"InitRatioError"_s, u"Epsilon"_s, u"EpsilonError"_s, u"Mu"_s,
                u"MuPError"_s, u"MuMError"_s, u"Model"_s}),
          grouping(db, u"Grouping"_s, {u"RecordID"_s, u"Grouping"_s}),
          province(db, u"Province"_s, {u"RecordID"_s, u"Province"_s}),
          terrane(db, u"Terrane"_s, {u"RecordID"_s, u"Terrane"_s})
    {
    }
    void flush()
    {
        for (RowWriter *w : {&records, &smpReg, &smpLoc, &smpData, &sourceA, &statistics, &init, &grouping,
                             &province, &terrane})
            w->flush();
    }

    RowWriter records, smpReg, smpLoc, smpData, sourceA, statistics, init, grouping, province, terrane;

    // Lookup rows gathered from the seed files, written at the end.
    QMap<QString, QString> suites; // unit -> area
    QSet<QString> lithologies, provinces, terranes, groupings, areas;
    QList<QString> referenceOrder;
    QHash<QString, Reference> references;
    QHash<QString, std::optional<QPointF>> samples;

    int reference(const QString &citation, const QString &doi = {})
    {
        if (citation.isEmpty())
            return notDefinedNum;
        auto it = references.find(citation);
        if (it == references.end()) {
            it = references.insert(citation, {firstReferenceNum + int(referenceOrder.size()), citation, {}});
            referenceOrder << citation;
        }
        if (!doi.isEmpty() && !it->dois.contains(doi))
            it->dois << doi;
        return it->number;
    }
    void link(int recordId, const QString &citation)
    {
        const int number = reference(citation);
        sourceA.add({recordId, u"A"_s, number, citation.isEmpty() ? notDefined : citation});
    }
};

void writeGatheredLookups(Connection &db, Writers &w)
{
    RowWriter country(db, u"Country"_s, {u"CountryAbr"_s, u"Country"_s});
    for (const demo::Area &area : demo::areas())
        if (w.areas.contains(area.code))
            country.add({area.code, area.name});
    country.flush();
    RowWriter suite(db, u"Suite"_s, {u"UnitName"_s, u"CountryAbr"_s});
    for (auto it = w.suites.cbegin(); it != w.suites.cend(); ++it)
        suite.add({it.key(), it.value()});
    suite.flush();
    const auto list = [&db](const QString &table, const QString &column, const QSet<QString> &values) {
        QStringList sorted(values.cbegin(), values.cend());
        sorted.sort();
        RowWriter writer(db, table, {column});
        for (const QString &value : sorted)
            writer.add({value});
        writer.flush();
    };
    list(u"Lithol"_s, u"Lithology"_s, w.lithologies);
    list(u"ProvinceList"_s, u"Province"_s, w.provinces);
    list(u"TerraneList"_s, u"Terrane"_s, w.terranes);
    list(u"GroupingList"_s, u"Grouping"_s, w.groupings);
    RowWriter sources(db, u"SourceListA"_s, {u"SourceNum"_s, u"SourceID"_s, u"SourceDes"_s});
    for (const QString &citation : w.referenceOrder) {
        const Reference &ref = w.references[citation];
        QString description = ref.description;
        if (!ref.dois.isEmpty())
            description += u". DOI: "_s + ref.dois.join(u", "_s);
        sources.add({ref.number, citation, description});
    }
    sources.flush();
    db.syncAutoIncrement(u"SourceListA"_s);
}

// ---------------------------------------------------------------------------------------------------
// The compiled U-Pb ages

struct Analysis
{
    QString technique, approach, method, material; // material only when the method names one
};

// The compilation's "Analytical method" mixes the instrument with the way the age was derived.
Analysis analysisOf(const QString &text)
{
    QString t = text.toLower();
    t.replace(u'\u2013', u'-');
    Analysis a;
    const bool shrimp = t.contains(u"shrimp"_s), tims = t.contains(u"tims"_s), icp = t.contains(u"icp-ms"_s);
    if (shrimp && icp)
        a = {u"SH+LA"_s, {}, u"I"_s, {}};
    else if (shrimp && tims)
        a = {u"SH+TI"_s, {}, u"M"_s, {}};
    else if (shrimp)
        a = {u"SHRIM"_s, {}, u"I"_s, {}};
    else if (t.contains(u"evaporation"_s))
        a = {u"PbEv"_s, u"WM"_s, u"E"_s, {}};
    else if (tims)
        a = {u"TIMS"_s, {}, u"C"_s, {}};
    else if (icp)
        a = {u"LAICP"_s, {}, u"I"_s, {}};
    else if (t.contains(u"ims"_s))
        a = {u"SIMS"_s, {}, u"I"_s, {}};
    else
        a = {u"ns"_s, {}, u"U"_s, {}};
    if (a.approach.isEmpty()) {
        if (t.contains(u"concordia"_s))
            a.approach = u"Conc"_s;
        else if (t.contains(u"upper intercept"_s))
            a.approach = u"UI"_s;
        else if (t.startsWith(u"w.m."_s))
            a.approach = u"WM"_s;
        else if (t.startsWith(u"207pb/206pb"_s))
            a.approach = u"Pb76"_s;
        else
            a.approach = u"UPb"_s;
    }
    if (t.contains(u"monazite"_s))
        a.material = u"mz"_s;
    else if (t.contains(u"zircon"_s))
        a.material = u"zr"_s;
    return a;
}

QString materialOf(const QString &mineral, const QString &fromMethod)
{
    const QString m = mineral.toLower();
    if (m.isEmpty())
        return fromMethod.isEmpty() ? u"ns"_s : fromMethod;
    if (m == u"zircon+baddeleyite"_s)
        return u"zr+bd"_s;
    if (m.startsWith(u"zircon"_s))
        return u"zr"_s;
    if (m.startsWith(u"monazite"_s))
        return u"mz"_s;
    if (m.startsWith(u"baddeleyite"_s))
        return u"bd"_s;
    if (m.startsWith(u"xeno"_s)) // the compilation spells it "xenothime"
        return u"xt"_s;
    return u"ns"_s;
}

// Group descriptors hold 20 characters; the compilation's longer domain names are shortened readably.
QString groupingOf(const QString &domain)
{
    static const QHash<QString, QString> shorter{
        {u"Western Dharwar Craton"_s, u"W Dharwar Craton"_s},
        {u"Eastern Dharwar Craton"_s, u"E Dharwar Craton"_s},
        {u"Palghat Cauvery Shear System"_s, u"Palghat-Cauvery SZ"_s},
        {u"Anaboriana-Manampotsy"_s, u"Anaboriana-Manampot."_s},
        {u"Southern Granulite Terrane"_s, u"S Granulite Terrane"_s},
        {u"Chewore-Rufunsa Terrane"_s, u"Chewore-Rufunsa T."_s},
    };
    return cutText(u"Grouping"_s, u"Grouping"_s, shorter.value(domain, domain));
}

// The compilation gives no initial ratios. So that the ratio graphs have something to show, a share of
// its records get illustrative ones, marked as such in the Model field: an epsilon Hf between -12 and +8
// drawn from the record number, the initial 176Hf/177Hf it implies against the chondritic reservoir
// (176Hf/177Hf 0.282785, 176Lu/177Hf 0.0336, Bouvier et al. 2008; lambda 176Lu 1.867e-11/a, Soederlund et
// al. 2004), and a source 238U/204Pb about the second-stage 9.74 of Stacey & Kramers (1975).
QVariantList illustrativeInitialRatios(int recordId, double age)
{
    const auto unit = [recordId](double salt) {
        const double v = std::sin(recordId * 12.9898 + salt) * 43758.5453;
        return v - std::floor(v);
    };
    const double epsilon = std::round((-12 + 20 * unit(0)) * 10) / 10;
    const double chur = 0.282785 - 0.0336 * (std::exp(1.867e-11 * age * 1e6) - 1);
    const double ratio = chur * (1 + epsilon / 1e4);
    const double mu = std::round((9.74 + 0.8 * (unit(1) - 0.5)) * 100) / 100;
    return {recordId, ratio, 0.00003, epsilon, 1.0, mu, 0.1, 0.1, u"Demo, illustrative"_s};
}

void writeDatedRecords(Writers &w, const QList<Ring> &rings, DemoSummary &summary)
{
    const CsvTable csv(upbFile, decodeWindows1252(readResource(upbFile), upbFile));
    const int cSample = csv.column(u"Sample"_s), cCountry = csv.column(u"Country"_s);
    const int cRegion = csv.column(u"Region"_s), cDomain = csv.column(u"Domain"_s);
    const int cUnit = csv.column(u"Group/Strat unit"_s), cLithology = csv.column(u"Lithology"_s);
    const int cLon = csv.column(u"Longitude"_s), cLat = csv.column(u"Latitude"_s);
    const int cLocated = csv.column(u"Location method"_s), cMethod = csv.column(u"Analytical method"_s);
    const int cMineral = csv.column(u"Mineral"_s), cReference = csv.column(u"Reference"_s);
    const int cDoi = csv.column(u"DOI URL"_s), cAge = csv.column(u"age"_s), cError = csv.column(u"ageerr"_s);
    const int cLuHf = csv.column(u"Lu-Hf data? (Yes/No)"_s);
    // The header's last, unnamed column holds "2" where the uncertainty is given at 2 sigma.
    const int cSigma = csv.column(QString());

    int recordId = firstDatedRecord;
    for (qsizetype i = 0; i < csv.rows().size(); ++i) {
        const QStringList &row = csv.rows()[i];
        const auto field = [&row](int c) { return row[c].simplified(); };
        if (field(cAge).isEmpty() || csv.number(i, cAge) == 0) {
            ++summary.skippedNoAge;
            continue;
        }
        const double age = csv.number(i, cAge);
        const bool hasError = !field(cError).isEmpty();
        const double error = hasError ? csv.number(i, cError) : 0.0;

        std::optional<QPointF> place;
        if (!field(cLon).isEmpty() && !field(cLat).isEmpty()) {
            const QPointF p(csv.number(i, cLon), csv.number(i, cLat));
            if (std::abs(p.x()) <= 180 && std::abs(p.y()) <= 90)
                place = p;
        }
        QString area = demo::areaCodeOf(field(cCountry));
        if (area.isEmpty())
            area = demo::areaCodeOf(field(cRegion));
        if (area.isEmpty() && place)
            area = areaAt(rings, *place);
        if (area.isEmpty()) {
            if (field(cCountry) != u"Africa"_s)
                throw InputError(
                    u"%1, line %2: the country \"%3\" is not known."_s.arg(upbFile).arg(i + 2).arg(
                        field(cCountry)));
            area = u"AFR"_s;
        }
        w.areas.insert(area);

        QString unit = field(cUnit);
        if (unit.isEmpty())
            unit = u"Unnamed unit, "_s + demo::areaName(area);
        unit = cutText(u"Suite"_s, u"UnitName"_s, unit);
        if (!w.suites.contains(unit))
            w.suites.insert(unit, area);
        QString lithology = field(cLithology);
        if (lithology.isEmpty())
            lithology = u"Magmatic rock, not specified"_s;
        lithology = cutText(u"Lithol"_s, u"Lithology"_s, lithology);
        w.lithologies.insert(lithology);
        const Analysis analysis = analysisOf(field(cMethod));
        const QString material = materialOf(field(cMineral), analysis.material);

        // A sample named twice at one place is one sample; the same name elsewhere is another sample.
        const QString name = field(cSample).isEmpty() ? u"UPb-%1"_s.arg(recordId) : field(cSample);
        QString sampleNo = cutText(u"SmpReg"_s, u"SampleNo"_s, name);
        for (int n = 2; w.samples.contains(sampleNo) && w.samples.value(sampleNo) != place; ++n)
            sampleNo = cutText(u"SmpReg"_s, u"SampleNo"_s, name).left(12) + u'~' + QString::number(n);
        if (!w.samples.contains(sampleNo)) {
            w.samples.insert(sampleNo, place);
            // Latitude 99 marks a locality that is not known.
            w.smpLoc.add({sampleNo, place ? place->y() : 99.0, place ? place->x() : 0.0});
        }

        QStringList comment{u"Sample "_s + name};
        if (!field(cLocated).isEmpty())
            comment << u"location "_s + field(cLocated).toLower();
        if (hasError && field(cSigma) == u"2"_s)
            comment << u"uncertainty at 2 sigma"_s;
        if (field(cLuHf) == u"Yes"_s)
            comment << u"Lu-Hf data published"_s;
        const QVariant iError = hasError ? QVariant(qRound(error * 1000)) : QVariant();
        const QVariant fError = hasError ? QVariant(error) : QVariant();
        w.records.add({recordId,
                       area,
                       unit,
                       lithology,
                       material,
                       u"UPb"_s,
                       analysis.approach,
                       analysis.technique,
                       u"Empl"_s,
                       analysis.method,
                       hasError ? 1 : 0,
                       qRound(age * 1000),
                       iError,
                       iError,
                       age,
                       fError,
                       fError,
                       u"Ma"_s,
                       compiled,
                       demo::lambda238U,
                       demo::lambda235U,
                       comment.join(u"; "_s)});
        w.smpReg.add({recordId, u"UPb"_s, sampleNo, QVariant(), u"Y"_s});
        if (recordId % 3 == 0)
            w.init.add(illustrativeInitialRatios(recordId, age));

        const QString citation = cutText(u"SourceListA"_s, u"SourceID"_s, field(cReference));
        const QString doi = field(cDoi) == u"NA"_s ? QString() : field(cDoi);
        w.reference(citation, doi);
        w.link(recordId, citation);

        if (const QString domain = field(cDomain); !domain.isEmpty()) {
            const QString group = groupingOf(domain);
            w.grouping.add({recordId, group});
            w.groupings.insert(group);
            if (domain.contains(u"Terrane"_s)) {
                const QString terrane = cutText(u"TerraneList"_s, u"Terrane"_s, domain);
                w.terrane.add({recordId, terrane});
                w.terranes.insert(terrane);
            }
        }
        // Regions read "Madagascar - central" or "India - Dharwar Craton"; a bare country names no province.
        if (const QString region = field(cRegion); region.contains(u" - "_s)) {
            const QString country = region.section(u" - "_s, 0, 0);
            QString rest = region.section(u" - "_s, 1);
            if (rest.at(0).isLower())
                rest = rest.at(0).toUpper() + rest.mid(1) + u' ' + country;
            if (rest.contains(u"Terrane"_s)) {
                rest = cutText(u"TerraneList"_s, u"Terrane"_s, rest);
                w.terrane.add({recordId, rest});
                w.terranes.insert(rest);
            } else {
                rest = cutText(u"ProvinceList"_s, u"Province"_s, rest);
                w.province.add({recordId, rest});
                w.provinces.insert(rest);
            }
        }
        if (analysis.approach != u"UPb"_s)
            w.statistics.add(
                {recordId, QVariant(), QVariant(), 1, QVariant(), QVariant(), QVariant(), QVariant()});
        ++recordId;
    }
    summary.datedRecords = recordId - firstDatedRecord;
}

// ---------------------------------------------------------------------------------------------------
// Isochron examples with their raw data

struct IsochronExample
{
    QString file, system, samplePrefix, unit, lithology, material, citation;
    QStringList variables; // X, Xerr, Xerrt, Y, Yerr, Yerrt, R
    double lambda, urParent, urDaughter, urScale;
    QList<std::pair<QString, QString>> records; // interpretation, approach
    QString model;                              // model name of the model-age record
};

int writeIsochron(Writers &w, const IsochronExample &ex, int recordId)
{
    const CsvTable csv(ex.file, QString::fromUtf8(readResource(ex.file)));
    const bool withRho = csv.rows().value(0).size() >= 5;
    QList<FitPoint> points;
    QStringList samples;
    const QString frac = u"1"_s;
    for (qsizetype i = 0; i < csv.rows().size(); ++i) {
        FitPoint p{csv.number(i, 0), csv.number(i, 2), csv.number(i, 1), csv.number(i, 3),
                   withRho ? csv.number(i, 4) : 0.0};
        points << p;
        const QString sampleNo = u"%1-%2"_s.arg(ex.samplePrefix).arg(i + 1, 2, 10, QChar(u'0'));
        samples << sampleNo;
        // Lunar samples have no place on an earth map: latitude 99, "not known".
        w.smpLoc.add({sampleNo, 99.0, 0.0});
        // The error columns are 1-sigma absolute values: error type 0.
        const QList<double> values{p.x, p.sx, 0.0, p.y, p.sy, 0.0, p.r};
        for (qsizetype v = 0; v < values.size(); ++v)
            w.smpData.add({sampleNo, frac, ex.system, ex.variables[v], values[v], 1.0});
    }
    const LineFit fit = yorkFit(points);
    const double years = std::log(1 + fit.slope) / ex.lambda;
    const double age = years / 1e6;
    const double ageError = 1.96 * fit.slopeError / (ex.lambda * (1 + fit.slope)) / 1e6;
    const double r0 = fit.intercept, r0Error = 1.96 * fit.interceptError;
    const double f = std::exp(ex.lambda * years) - 1;
    const double reservoir = ex.urDaughter - f * ex.urParent;
    const double epsilon = (r0 / reservoir - 1) * ex.urScale;
    const double epsilonError = ex.urScale * r0Error / r0;

    const QString area = u"LUN"_s;
    w.areas.insert(area);
    w.suites.insert(ex.unit, area);
    w.lithologies.insert(ex.lithology);
    w.reference(ex.citation);
    for (const auto &[interpretation, approach] : ex.records) {
        const int iAge = qRound(age * 1000), iError = qRound(ageError * 1000);
        w.records.add(
            {recordId,
             area,
             ex.unit,
             ex.lithology,
             ex.material,
             ex.system,
             approach,
             u"TIMS"_s,
             interpretation,
             u"C"_s,
             2,
             iAge,
             iError,
             iError,
             age,
             ageError,
             ageError,
             u"Ma"_s,
             compiled,
             ex.lambda,
             QVariant(),
             u"Isochron age from a York fit of the %1 analyses of the publication"_s.arg(points.size())});
        for (const QString &sampleNo : samples)
            w.smpReg.add({recordId, ex.system, sampleNo, frac, u"Y"_s});
        w.statistics.add({recordId, fit.mswd.value_or(0), double(points.size()), int(points.size()),
                          int(points.size() - 2), QVariant(), QVariant(), u"York fit"_s});
        w.init.add({recordId, r0, r0Error, epsilon, epsilonError, QVariant(), QVariant(), QVariant(),
                    approach == u"DM"_s ? QVariant(ex.model) : QVariant()});
        w.link(recordId, ex.citation);
        ++recordId;
    }
    return recordId;
}

} // namespace

QString decodeWindows1252(const QByteArray &bytes, const QString &fileName)
{
    // 0x80..0x9f; 0 where the code page defines no character.
    static const char16_t high[32]{0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                   0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017d, 0,
                                   0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                   0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80 && byte < 0xa0) {
            if (high[byte - 0x80] == 0)
                throw InputError(u"The file %1 holds the byte 0x%2 at offset %3, which Windows-1252 does not "
                                 u"define."_s.arg(fileName)
                                     .arg(byte, 2, 16, QChar(u'0'))
                                     .arg(i));
            text += QChar(high[byte - 0x80]);
        } else {
            text += QChar(char16_t(byte));
        }
    }
    return text;
}

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, rowStarted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            rowStarted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            rowStarted = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (rowStarted || !field.isEmpty()) {
                row << field;
                rows << row;
            }
            row.clear();
            field.clear();
            rowStarted = false;
        } else {
            field += c;
            rowStarted = true;
        }
    }
    if (rowStarted || !field.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

void writeDemoData(Connection &results, Connection &working, DemoSummary *summary)
{
    Q_UNUSED(working); // the working database keeps just the installation's rows
    DemoSummary local;
    DemoSummary &s = summary ? *summary : local;
    s = {};
    const QList<Ring> rings = readOutlines();

    Transaction transaction(results);
    demo::writeLookups(results);
    Writers w(results);
    writeDatedRecords(w, rings, s);

    const QString lunar = u"Lunar material"_s;
    const IsochronExample rbSr{u"RbSr1.csv"_s,
                               u"RbSr"_s,
                               u"CBV71"_s,
                               u"Apollo 12, Ocean of Storms"_s,
                               lunar,
                               u"ns"_s,
                               u"Compston et al. 1971"_s,
                               {u"Rb87Sr86"_s, u"Rb87Sr86e"_s, u"Rb87Sr86t"_s, u"Sr87Sr86"_s, u"Sr87Sr86e"_s,
                                u"Sr87Sr86t"_s, u"RbSrRho"_s},
                               demo::lambda87Rb,
                               0.0827,
                               0.7045,
                               10000,
                               {{u"MdlR0"_s, u"MdlRa"_s}},
                               {}};
    const IsochronExample smNd{u"SmNd2.csv"_s,
                               u"SmNd"_s,
                               u"LSM75"_s,
                               u"Apollo 17 basalt 75075"_s,
                               u"Basalt"_s,
                               u"mwr"_s,
                               u"Lugmair et al. 1975"_s,
                               {u"Sm147Nd144"_s, u"Sm147Nd144e"_s, u"Sm147Nd144t"_s, u"Nd143Nd144"_s,
                                u"Nd143Nd144e"_s, u"Nd143Nd144t"_s, u"SmNdRho"_s},
                               demo::lambda147Sm,
                               0.1967,
                               0.512638,
                               10000,
                               {{u"MdlR0"_s, u"MdlRa"_s}, {u"CrsRs"_s, u"DM"_s}},
                               u"DM (Liew 1988)"_s};
    int next = writeIsochron(w, rbSr, firstIsochronRecord);
    next = writeIsochron(w, smNd, next);
    s.isochronRecords = next - firstIsochronRecord;
    w.references[rbSr.citation].description =
        u"Compston, W., Berry, H., Vernon, M.J., Chappell, B.W. and Kaye, M.J., 1971. Rubidium-strontium "
        u"chronology and chemistry of lunar material from the Ocean of Storms. Proc. Lunar Sci. Conf. 2, p. 1471"_s;
    w.references[smNd.citation].description =
        u"Lugmair, G.W., Scheinin, N.B. and Marti, K., 1975. Sm-Nd age and history of Apollo 17 basalt "
        u"75075: "
        u"evidence for early differentiation of the lunar exterior. Proc. Lunar Sci. Conf. 6, pp. 1419-1429"_s;

    s.outlinePoints = writeOutlines(results, rings, w.areas);
    w.flush();
    writeGatheredLookups(results, w);
    transaction.commit();
}

} // namespace kv
