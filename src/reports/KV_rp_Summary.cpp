// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/KV_rp_Summary.h"

#include "data/dmKV.h"
#include "data/read_only_scope.h"

#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSqlQuery>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace kv {

using report::Align;
using report::Band;
using report::FontSpec;

namespace {

// The layout, in millimetres from a band's top left; A4 less 6.35 mm margins leaves 197.3 mm.
constexpr double bandWidth = 197.3;
constexpr double ruleLeft = 2.0, ruleRight = 194.0;
constexpr double headerHeight = 21.2;
constexpr double footerHeight = 13.2;
constexpr double subReportTop = 31.2;
constexpr double samplesLeft = 2.1, samplesWidth = 88.1;
constexpr double sourcesLeft = 91.0, sourcesWidth = 102.7;
// The source sub-report as designed, from its top to the comments below it.
constexpr double sourcesDesignHeight = 39.7 - subReportTop;
constexpr double bottomRuleTop = 50.3;
constexpr double belowBottomRule = 54.2 - bottomRuleTop;
constexpr double sampleTitleHeight = 6.9, sampleRowHeight = 4.0;
constexpr double sourceTitleHeight = 4.8;
constexpr double columnGap = 0.5; // kept free between a text cut short and the next column

const FontSpec title{14, true, false, false, QColor(0, 0, 255)};
const FontSpec heading10{10, true};
const FontSpec unitLabel{10, true, true};
const FontSpec unitName{10, true};
const FontSpec plain9{9};
const FontSpec italic9{9, false, true};
const FontSpec plain8{8};
const FontSpec italic8{8, false, true};
const FontSpec underlined8{8, false, false, true};
const FontSpec sampleRow{6, false, true};
const FontSpec comment6{6};

// A field of the current row as the report shows it: empty when null or not in the query at all (a
// typed query may select fewer fields), numbers in the layout's format.
QString fieldText(const Dataset &d, const QString &field, const QString &format = {})
{
    if (!d.isOpen() || d.isEmpty() || !d.hasField(field))
        return {};
    const QVariant v = d.value(field);
    if (v.isNull())
        return {};
    if (!format.isEmpty()) {
        bool ok = false;
        const double number = v.toDouble(&ok);
        if (ok)
            return Dataset::formatNumber(number, format);
    }
    return v.toString();
}

// A text whose right edge is at `right`; numbers are never cut short, they reach further left instead.
double rightAligned(Band &band, double right, double y, const QString &text, const FontSpec &font)
{
    const double width = band.textWidth(text, font);
    return band.text(right - width, y, text, font);
}

QHash<QString, QString> readLookup(Connection &connection, const QString &table, const QString &code,
                                   const QString &name)
{
    QHash<QString, QString> names;
    QSqlQuery query = connection.exec(u"select %1, %2 from %3"_s.arg(code, name, table));
    while (query.next())
        if (!query.value(0).isNull())
            names.insert(query.value(0).toString(), query.value(1).toString());
    return names;
}

} // namespace

TfmReportSummary::TfmReportSummary(TdmKVResults &dm) : m_dm(dm), m_date(QDate::currentDate())
{
}

QString TfmReportSummary::documentName() const
{
    return u"Summary"_s;
}

QPageLayout TfmReportSummary::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(6.35, 6.35, 6.35, 6.35),
                       QPageLayout::Millimeter);
}

QString TfmReportSummary::programText() const
{
    return u"Kelvora "_s + QStringLiteral(KELVORA_VERSION);
}

QString TfmReportSummary::databaseText() const
{
    return m_dm.KVResults.describe();
}

void TfmReportSummary::loadLookups()
{
    Connection &c = m_dm.KVResults;
    m_country = readLookup(c, u"Country"_s, u"CountryAbr"_s, u"Country"_s);
    m_isoSystem = readLookup(c, u"IsoSystem"_s, u"IsoSystem"_s, u"IsoSystemName"_s);
    m_material = readLookup(c, u"Material"_s, u"MaterialAbr"_s, u"MaterialDescription"_s);
    m_approach = readLookup(c, u"Approach"_s, u"ApproachAbr"_s, u"ApproachDescription"_s);
    m_technique = readLookup(c, u"Technique"_s, u"TechAbr"_s, u"Technique"_s);
    m_interpretation = readLookup(c, u"Interpretation"_s, u"InterpAbr"_s, u"Interpretation"_s);
    m_sourceType = readLookup(c, u"SourceType"_s, u"SourceTypeID"_s, u"SourceType"_s);
}

Band TfmReportSummary::headerBand(const QPaintDevice &device) const
{
    Band band(device);
    band.text(0, 1.6, u"Kelvora Geochronology Database"_s, title, bandWidth, Align::Centre);
    band.text(4.2, 12.2, u"Data Summary"_s, heading10);
    band.text(179.1, 13.2, QLocale(QLocale::English).toString(m_date, u"d MMM yyyy"_s), plain8);
    // Designed at 14.6 under Arial's smaller line boxes; it must not strike through the texts above it.
    band.rule(ruleLeft, ruleRight, std::max(14.6, band.contentBottom() + 0.5));
    band.setHeight(headerHeight);
    return band;
}

Band TfmReportSummary::footerBand(const QPaintDevice &device, int page) const
{
    Band band(device);
    band.rule(ruleLeft, ruleRight, 0);
    band.text(ruleLeft, 4.0, programText(), plain8, 90.0 - ruleLeft);
    band.text(94.7, 4.0, u"Page %1"_s.arg(page), plain8);
    // A long path loses its middle, so that both the drive or server and the file name stay.
    band.text(112.0, 4.0, databaseText(), plain8, ruleRight - 112.0, Align::Right, Qt::ElideMiddle);
    band.setHeight(footerHeight);
    return band;
}

Band TfmReportSummary::samplesBand(const QPaintDevice &device)
{
    Band band(device);
    // In line with the source sub-report's headings beside it.
    const double headingTop = 0.8;
    band.text(1.3, headingTop, u"Sample"_s, underlined8);
    band.text(17.5, headingTop, u"Fraction"_s, underlined8);
    // Right-aligned columns: the values line up with the right end of their heading.
    const double included = band.text(31.2, headingTop, u"Incl."_s, underlined8);
    const double latitude = band.text(39.7, headingTop, u"Latitude"_s, underlined8);
    const double longitude = band.text(52.9, headingTop, u"Longitude"_s, underlined8);
    const double elevation = band.text(68.0, headingTop, u"Elevation"_s, underlined8);

    Dataset &samples = *m_dm.QdmSmp;
    const Dataset &locality = *m_dm.QdmSmpLoc;
    double top = sampleTitleHeight;
    if (samples.isOpen()) {
        for (samples.first(); !samples.eof(); samples.next()) {
            const double y = top + 0.7;
            band.text(1.3, y, fieldText(samples, u"SampleNo"_s), sampleRow, 17.5 - 1.3 - columnGap);
            band.text(17.5, y, fieldText(samples, u"Frac"_s), sampleRow, 31.2 - 17.5 - columnGap);
            band.text(31.2, y, fieldText(samples, u"Included"_s), sampleRow, included - 31.2, Align::Centre);
            rightAligned(band, latitude, y, fieldText(locality, u"Latitude"_s, u"###0.00000"_s), sampleRow);
            rightAligned(band, longitude, y, fieldText(locality, u"Longitude"_s, u"###0.00000"_s), sampleRow);
            rightAligned(band, elevation, y, fieldText(locality, u"Elevation"_s, u"####0.00"_s), sampleRow);
            top += sampleRowHeight;
        }
    }
    band.setHeight(top);
    return band;
}

Band TfmReportSummary::sourcesBand(const QPaintDevice &device)
{
    Band band(device);
    band.text(5.0, 0.8, u"Source type"_s, underlined8);
    band.text(23.5, 0.8, u"Source"_s, underlined8);

    Dataset &sources = *m_dm.QdmSource;
    const double line = band.lineHeight(plain8);
    double top = sourceTitleHeight;
    if (sources.isOpen()) {
        for (sources.first(); !sources.eof(); sources.next()) {
            const double y = top + 0.3;
            band.text(5.0, y, m_sourceType.value(fieldText(sources, u"SourceTypeID"_s)), plain8,
                      23.5 - 5.0 - columnGap);
            const double bottom =
                band.memo(23.5, y, sourcesWidth - 23.5, fieldText(sources, u"SourceID"_s), plain8);
            top = std::max(y + line, bottom) + 0.3;
        }
    }
    band.setHeight(top);
    return band;
}

Band TfmReportSummary::recordBand(const QPaintDevice &device)
{
    const Dataset &r = *m_dm.Querydm;
    const auto name = [&r](const QHash<QString, QString> &names, const QString &codeField) {
        return names.value(fieldText(r, codeField));
    };
    Band band(device);
    band.text(4.1, 2.4, u"Unit"_s, unitLabel);
    band.text(18.4, 2.4, fieldText(r, u"UnitName"_s), unitName, 154.5 - 18.4 - columnGap);
    band.text(154.5, 3.4, name(m_country, u"CountryAbr"_s), italic9, bandWidth - 154.5);
    band.text(18.3, 7.4, fieldText(r, u"Lithology"_s), plain9, 70.0 - 18.3 - columnGap);
    band.text(70.0, 7.4, name(m_isoSystem, u"IsotopeSystem"_s), italic9, 130.3 - 70.0 - columnGap);
    band.text(130.3, 7.4, name(m_material, u"MaterialAbr"_s), italic9, bandWidth - 130.3);
    band.text(70.0, 11.9, name(m_approach, u"ApproachAbr"_s), italic9, 130.3 - 70.0 - columnGap);
    band.text(130.3, 11.9, name(m_technique, u"TechAbr"_s), italic9, bandWidth - 130.3);

    // The date line: each piece where the layout puts it, or further right when the one before is wider.
    band.text(4.1, 17.2, u"Date"_s, italic9);
    double x = band.text(18.3, 17.2, fieldText(r, u"Age"_s, u"###0.0"_s), italic9);
    const QString plus = fieldText(r, u"AgePError"_s, u"###0.0"_s);
    const QString minus = fieldText(r, u"AgeMError"_s, u"###0.0"_s);
    if (!plus.isEmpty() || !minus.isEmpty()) {
        x = band.text(std::max(29.1, x), 15.6, u" + "_s, italic8);
        x = band.text(std::max(33.1, x), 15.6, plus, italic8);
        x = band.text(std::max(41.0, x), 17.2, u" / "_s, italic9);
        x = band.text(std::max(45.2, x), 18.5, u" - "_s, italic8);
        x = band.text(std::max(47.9, x), 18.5, minus, italic8);
    }
    band.text(std::max(56.6, x + 1.0), 17.2, fieldText(r, u"AgeUnits"_s), italic9, 70.0 - 56.6 - columnGap);
    band.text(70.0, 17.2, name(m_interpretation, u"InterpAbr"_s), italic9, 130.2 - 70.0 - columnGap);
    band.text(130.2, 17.2, fieldText(r, u"PrefLevel"_s), italic9, 180.4 - 130.2 - columnGap);
    band.text(180.4, 17.7, u" # "_s, italic8);
    rightAligned(band, bandWidth - 0.5, 17.7, fieldText(r, u"RecordID"_s), italic8);

    band.text(70.1, 24.1, u"Decay constants"_s, plain8);
    // Each constant ends just before its plus-minus sign (designed from 94.7 and 143.4 on). The second
    // one only where the system has one, as the record view shows it.
    const auto decayConstant = [&](const QString &field, const QString &sigmaField, bool onlyPositive,
                                   double signLeft, double sigmaLeft, double unitLeft) {
        const QVariant value = r.hasField(field) ? r.value(field) : QVariant();
        if (value.isNull() || (onlyPositive && value.toDouble() <= 0))
            return;
        rightAligned(band, signLeft - 0.3, 24.1, Dataset::formatNumber(value.toDouble(), u"0.00000e+00"_s),
                     plain8);
        const QString sigma = fieldText(r, sigmaField, u"#0.000"_s);
        if (sigma.isEmpty())
            return;
        band.text(signLeft, 24.1, u"\u00b1"_s, plain8);
        const double end = band.text(sigmaLeft, 24.1, sigma, plain8);
        band.text(std::max(unitLeft, end), 24.1, u"% 1 sigma"_s, plain8);
    };
    decayConstant(u"DecayConst1"_s, u"SigmaPercentDC1"_s, false, 111.7, 114.0, 123.6);
    decayConstant(u"DecayConst2"_s, u"SigmaPercentDC2"_s, true, 160.6, 163.0, 172.2);

    // The sub-reports stretch with their rows; the comments move down below the sources.
    const Band samples = samplesBand(device);
    const Band sources = sourcesBand(device);
    band.place(samples, samplesLeft, subReportTop);
    band.place(sources, sourcesLeft, subReportTop);
    const double commentsTop = subReportTop + std::max(sourcesDesignHeight, sources.height());
    band.text(sourcesLeft, commentsTop, u"Comments"_s, underlined8);
    const double commentBottom = band.memo(sourcesLeft, commentsTop + band.lineHeight(underlined8) + 0.3,
                                           sourcesWidth, fieldText(r, u"Comment"_s), comment6);
    const double bottom = std::max({subReportTop + samples.height(), commentBottom, band.contentBottom()});
    const double ruleTop = std::max(bottomRuleTop, bottom + 1.0);
    band.rule(samplesLeft, ruleRight, ruleTop);
    band.setHeight(ruleTop + belowBottomRule);
    return band;
}

int TfmReportSummary::print(QPagedPaintDevice &device)
{
    Dataset &records = *m_dm.Querydm;
    if (!records.isOpen())
        throw Error(u"The records of the query are not open for the report."_s);
    loadLookups();
    // The query's text may have been typed: whatever it holds, the report only reads.
    ReadOnlyScope readOnly(m_dm.KVResults);
    QPainter painter;
    if (!painter.begin(&device))
        throw FileError(u"The report cannot be printed: the printer or file is not ready."_s);
    report::BandPrinter pages(
        device, painter, [&](int) { return headerBand(device); },
        [&](int page) { return footerBand(device, page); });
    for (records.first(); !records.eof(); records.next())
        pages.add(recordBand(device));
    const int count = pages.finish();
    painter.end();
    return count;
}

ReportDatasets::ReportDatasets(TdmKVResults &dm) : m_dm(dm)
{
    try {
        Dataset &records = *dm.Querydm;
        records.close();
        records.setSql(dm.Query1->sql());
        records.prepare();
        {
            ReadOnlyScope readOnly(dm.KVResults);
            records.open();
        }
        for (Dataset *d : {dm.QdmSource, dm.QdmSmp, dm.QdmSmpLoc}) {
            d->prepare();
            d->open();
        }
    } catch (...) {
        close();
        throw;
    }
}

ReportDatasets::~ReportDatasets()
{
    close();
}

void ReportDatasets::close() noexcept
{
    for (Dataset *d : {m_dm.QdmSmpLoc, m_dm.QdmSmp, m_dm.QdmSource, m_dm.Querydm}) {
        try {
            d->close();
        } catch (...) {
            // Closing lets go of cursors only; a broken connection shows at the next command.
        }
    }
}

} // namespace kv
