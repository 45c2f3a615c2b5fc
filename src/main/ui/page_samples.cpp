// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_samples.h"

#include "controls/ui/chart_view.h"
#include "controls/ui/data_aware.h"
#include "core/guard.h"
#include "data/dmKV.h"
#include "main/locality_chart.h"
#include "main/ui/record_view.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

using Nav = DatasetNavigator;

} // namespace

PageSamples::PageSamples(RecordView &view, QWidget *parent) : QWidget(parent), m_view(view)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    QVBoxLayout *layout = recordPageLayout(view, this);
    auto *columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    auto *left = new QVBoxLayout;
    columns->addLayout(left);
    auto *sample = new QGroupBox(u"Sample"_s, this);
    auto *grid = new QGridLayout(sample);
    dbeSampleNo = new DbEdit(ui, sample);
    dbeSampleNo->setField(dm.QSmpReg, u"SampleNo"_s);
    grid->addWidget(new QLabel(u"Sample"_s, sample), 0, 0);
    grid->addWidget(dbeSampleNo, 0, 1);
    const QList<std::pair<QString, QString>> locality{{u"Latitude"_s, u"LatitudePrecision"_s},
                                                      {u"Longitude"_s, u"LongitudePrecision"_s},
                                                      {u"Elevation"_s, u"ElevationPrecision"_s}};
    int row = 1;
    for (const auto &[field, precision] : locality) {
        auto *value = new DbText(ui, sample);
        value->setField(dm.QSmpLoc, field);
        auto *error = new DbText(ui, sample);
        error->setField(dm.QSmpLoc, precision);
        for (DbText *t : {value, error}) {
            t->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            t->setMinimumWidth(90);
            t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        grid->addWidget(new QLabel(field, sample), row, 0);
        grid->addWidget(value, row, 1);
        grid->addWidget(new QLabel(u"Precision"_s, sample), row, 2);
        grid->addWidget(error, row, 3);
        ++row;
    }
    // The sample with its latitude and longitude in degrees, minutes and seconds.
    auto *dms = new QLabel(sample);
    const auto showDms = [dms, &dm] {
        Dataset *s = dm.QSmpLoc;
        if (!s->isOpen() || s->isEmpty()) {
            dms->clear();
            return;
        }
        dms->setText(u"%1   %2° %3' %4\" %5   %6° %7' %8\" %9"_s.arg(
            s->text(u"SampleNo"_s), s->text(u"LatDeg"_s), s->text(u"LatMin"_s), s->text(u"LatSec"_s),
            s->text(u"LatDir"_s), s->text(u"LonDeg"_s), s->text(u"LonMin"_s), s->text(u"LonSec"_s),
            s->text(u"LonDir"_s)));
    };
    for (auto signal : {&Dataset::afterScroll, &Dataset::afterOpen, &Dataset::afterClose})
        connect(dm.QSmpLoc, signal, dms, showDms);
    grid->addWidget(dms, row, 0, 1, 4);
    left->addWidget(sample);

    auto *samples = panelBox(this, u"Samples of the record"_s,
                             view.detailNavigator(this, dm.QSmpReg,
                                                  Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                      Nav::Insert | Nav::Delete | Nav::Post,
                                                  RecordView::PanelKind::Samples));
    dbgSamples =
        datasetGrid(view.ui(), samples, dm.QSmpReg, {u"RecordID"_s, u"SampleNo"_s, u"Frac"_s, u"Included"_s});
    samples->layout()->addWidget(dbgSamples);
    view.addPanelControls(dm.QSmpReg, {dbgSamples, dbeSampleNo}, true);
    left->addWidget(samples, 1);

    auto *right = new QVBoxLayout;
    columns->addLayout(right, 1);
    VtChLocality = new ChartView(this);
    VtChLocality->setInteraction(&ui);
    VtChLocality->setMinimumSize(360, 300);
    ChartGrid &chart = VtChLocality->grid();
    chart.setStyle(ChartStyle::Map);
    chart.setLegendVisible(false);
    chart.setTitle({});
    chart.setAxisTitle(AxisX, u"Longitude"_s);
    chart.setAxisTitle(AxisY, u"Latitude"_s);
    right->addWidget(VtChLocality, 1);
    auto *boundary = panelBox(this, u"Area boundary to show"_s);
    auto *line = new QHBoxLayout;
    auto *country = new DbText(ui, boundary);
    country->setField(dm.SADCCtry, u"Country"_s);
    country->setMinimumWidth(140);
    auto *navigator = new DatasetNavigator(ui, boundary);
    navigator->setDataset(dm.SADCCtry);
    navigator->setVisibleButtons(Nav::First | Nav::Prior | Nav::Next | Nav::Last);
    connect(navigator, &DatasetNavigator::clicked, this,
            [this] { guarded(m_view.ui(), [this] { RebindLocalityChart(); }); });
    cbShowBoundary = new QCheckBox(u"Show"_s, boundary);
    cbShowBoundary->setChecked(true);
    connect(cbShowBoundary, &QCheckBox::toggled, this,
            [this] { guarded(m_view.ui(), [this] { RebindLocalityChart(); }); });
    line->addWidget(country);
    line->addWidget(navigator);
    line->addWidget(cbShowBoundary);
    static_cast<QVBoxLayout *>(boundary->layout())->addLayout(line);
    right->addWidget(boundary);
    connect(&view, &RecordView::localityChartRebind, this,
            [this] { guarded(m_view.ui(), [this] { RebindLocalityChart(); }); });
}

void PageSamples::RebindLocalityChart()
{
    kv::RebindLocalityChart(m_view.dm(), cbShowBoundary->isChecked(), VtChLocality->grid());
    VtChLocality->refresh();
}

} // namespace kv
