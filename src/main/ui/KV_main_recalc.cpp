// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's Edit > Recalculate commands, the decay-constant conversion and the "Data" tab.
#include "main/ui/KV_main.h"

#include "data/dmKV.h"
#include "main/connections.h"
#include "main/recalculation.h"
#include "main/sample_datasets.h"
#include "main/ui/page_checks.h"
#include "main/ui/page_data.h"
#include "main/ui/record_view.h"

#include "core/guard.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace kv {

void TfmRes::buildDataPage()
{
    TdmSmp *smp = m_connections ? m_connections->sampleModule() : nullptr;
    if (m_data || !m_recordView || !smp)
        return;
    m_data = new PageData(*m_recordView, *smp, tsData);
    placePage(tsData, m_data);
    connect(m_data->bShowRawIsotopeData, &QPushButton::clicked, this, &TfmRes::bShowRawIsotopeDataClick);
    const std::pair<QAction *, void (TfmRes::*)()> items[]{
        {EditRecalcEpsilonThis, &TfmRes::EpsilonGammaforthisrecord1Click},
        {EditRecalcModelThis, &TfmRes::Modelageforthisrecord1Click},
        {EditRecalcEpsilonAll, &TfmRes::EpsilonGammaforallrecords1Click},
        {EditRecalcModelAll, &TfmRes::Modelagesforallrecords1Click},
        {EditRecalcIsochronThis, &TfmRes::IsochronAgeThisRecordClick},
        {EditRecalcIsochronAll, &TfmRes::IsochronAgeAllRecordsClick},
        {EditConvertDecayConstants, &TfmRes::ConvertToCurrentDecayConstantsClick}};
    for (const auto &[action, handler] : items) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
    }
}

void TfmRes::closeSampleData()
{
    TdmSmp *smp = m_connections ? m_connections->sampleModule() : nullptr;
    if (!m_dm || !smp)
        return;
    if (m_data)
        m_data->unbind();
    UnbindRawDataPanel(*smp);
    CloseSampleDataSets(*m_dm, *smp, *m_ui);
}

namespace {

// Controls of the result set and of Querydm stay still while the command walks them.
struct ControlsDisabled
{
    explicit ControlsDisabled(TdmKVResults &dm) : m_dm(dm)
    {
        m_dm.Query1->disableControls();
        m_dm.Querydm->disableControls();
    }
    ~ControlsDisabled()
    {
        m_dm.Querydm->enableControls();
        m_dm.Query1->enableControls();
    }
    TdmKVResults &m_dm;
};

} // namespace

void TfmRes::EpsilonGammaforthisrecord1Click()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        recalculateThisRecord(*m_dm, *m_ui, Recalculation::EpsilonGamma);
    });
}

void TfmRes::Modelageforthisrecord1Click()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        QStringList log;
        try {
            recalculateThisRecord(*m_dm, *m_ui, Recalculation::ModelAge, &log);
        } catch (...) {
            pgChecks->Memo2->setPlainText(log.join(u'\n'));
            throw;
        }
        pgChecks->Memo2->setPlainText(log.join(u'\n'));
    });
}

void TfmRes::EpsilonGammaforallrecords1Click()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        const ControlsDisabled still(*m_dm);
        recalculateAllRecords(*m_dm, *m_ui, Recalculation::EpsilonGamma);
    });
}

void TfmRes::Modelagesforallrecords1Click()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        const ControlsDisabled still(*m_dm);
        QStringList log;
        try {
            recalculateAllRecords(*m_dm, *m_ui, Recalculation::ModelAge, &log);
        } catch (...) {
            pgChecks->Memo2->setPlainText(log.join(u'\n'));
            throw;
        }
        pgChecks->Memo2->setPlainText(log.join(u'\n'));
    });
}

void TfmRes::IsochronAgeThisRecordClick()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        recalculateThisRecord(*m_dm, *m_ui, Recalculation::Isochron);
    });
}

void TfmRes::IsochronAgeAllRecordsClick()
{
    if (!m_dm)
        return;
    command([this] {
        closeSampleData();
        const ControlsDisabled still(*m_dm);
        recalculateAllRecords(*m_dm, *m_ui, Recalculation::Isochron);
    });
}

void TfmRes::ConvertToCurrentDecayConstantsClick()
{
    if (!m_dm)
        return;
    command([this] { convertToCurrentDecayConstants(*m_dm, *m_ui); });
}

void TfmRes::bShowRawIsotopeDataClick()
{
    TdmSmp *smp = m_connections ? m_connections->sampleModule() : nullptr;
    if (!m_dm || !smp || !m_data)
        return;
    command([this, smp] {
        closeSampleData();
        ShowRawIsotopeData(*m_dm, *smp);
        m_data->bind();
    });
}

} // namespace kv
