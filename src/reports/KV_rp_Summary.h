// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/banded_report.h"

#include <QDate>
#include <QHash>

namespace kv {

class Dataset;
class TdmKVResults;

/// The base of the report forms: a form made for one preview and asked for its report.
class TrbReportForm
{
public:
    virtual ~TrbReportForm() = default;
    virtual report::Report &report() = 0;
};

/// "Summary details per record": a block per record of the current query with its descriptors, date,
/// decay constants, samples and their localities, sources and comment, on A4. It reads Querydm and its
/// details QdmSmp, QdmSmpLoc and QdmSource as ReportDatasets opens them, and the names of the codes
/// from the lookup tables.
class TfmReportSummary : public TrbReportForm, public report::Report
{
public:
    explicit TfmReportSummary(TdmKVResults &dm);

    report::Report &report() override { return *this; }
    QString documentName() const override;
    QString creator() const override { return programText(); }
    QPageLayout pageLayout() const override;
    int print(QPagedPaintDevice &device) override;

    /// The date in the header; today unless set.
    void setDate(const QDate &date) { m_date = date; }
    /// The footer's publisher texts: the program's name and version, and where the results database is
    /// (never with its password).
    QString programText() const;
    QString databaseText() const;

    /// Reads the names of the codes from the lookup tables; print() does it itself.
    void loadLookups();
    /// The bands, laid out for a device: the detail band of Querydm's current record.
    report::Band recordBand(const QPaintDevice &device);
    report::Band headerBand(const QPaintDevice &device) const;
    report::Band footerBand(const QPaintDevice &device, int page) const;

private:
    report::Band samplesBand(const QPaintDevice &device);
    report::Band sourcesBand(const QPaintDevice &device);

    TdmKVResults &m_dm;
    QDate m_date;
    // code -> name, one table per lookup
    QHash<QString, QString> m_country, m_isoSystem, m_material, m_approach, m_technique, m_interpretation,
        m_sourceType;
};

/// What File > "&Print" opens for the report launcher: Querydm on the text of the current query (read
/// only, as a typed text may be) and its details QdmSource, QdmSmp and QdmSmpLoc. They are closed again
/// when the object goes, also when the launcher fails.
class ReportDatasets
{
public:
    explicit ReportDatasets(TdmKVResults &dm);
    ~ReportDatasets();
    ReportDatasets(const ReportDatasets &) = delete;
    ReportDatasets &operator=(const ReportDatasets &) = delete;

private:
    void close() noexcept;
    TdmKVResults &m_dm;
};

} // namespace kv
