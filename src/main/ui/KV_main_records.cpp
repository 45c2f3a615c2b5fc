// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's record pages and the record commands of its Edit menu and toolbar.
#include "main/ui/KV_main.h"

#include "data/dmKV.h"
#include "main/connections.h"
#include "main/lookup_tables.h"
#include "main/record_commands.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_lookup.h"
#include "main/ui/KV_new.h"
#include "main/ui/page_associations.h"
#include "main/ui/page_developer.h"
#include "main/ui/page_form_view.h"
#include "main/ui/page_images.h"
#include "main/ui/page_offsets.h"
#include "main/ui/page_references.h"
#include "main/ui/page_samples.h"
#include "main/ui/page_statistics.h"
#include "main/ui/record_view.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace Qt::StringLiterals;

namespace kv {

void TfmRes::buildRecordPages()
{
    if (m_recordView || !m_dm)
        return;
    m_recordView = new RecordView(*m_dm, *m_ui, this);
    if (m_connections)
        m_recordView->settings = &m_connections->settings();
    m_recordView->onNewRecord = [this] { EditNewRecordClick(); };
    m_recordView->onDeleteRecord = [this] { EditDeleteRecordClick(); };
    RecordView &view = *m_recordView;
    // Every query moves the record view to its first record.
    // Queued, so that the record's details have followed the new result first.
    connect(m_dm->Query1, &Dataset::afterOpen, m_recordView, &RecordView::recordChanged,
            Qt::QueuedConnection);
    m_formView = new PageFormView(view, tsFormView);
    placePage(tsFormView, m_formView);
    m_samples = new PageSamples(view, tsSamples);
    placePage(tsSamples, m_samples);
    placePage(tsReferences, new PageReferences(view, tsReferences));
    placePage(tsAssociations, new PageAssociations(view, tsAssociations));
    placePage(tsStatistics, new PageStatistics(view, tsStatistics));
    m_images = new PageImages(view, tsImages);
    placePage(tsImages, m_images);
    placePage(tsOffsets, new PageOffsets(view, tsOffsets));
    placePage(tsDeveloper, new PageDeveloper(view, tsDeveloper));

    for (QAction *action :
         {EditNewRecord, EditDeleteRecord, EditNextRecordID, EditEquivalentTDM, EditLookupTables})
        action->setEnabled(true);
    connect(EditNewRecord, &QAction::triggered, this, &TfmRes::EditNewRecordClick);
    connect(EditDeleteRecord, &QAction::triggered, this, &TfmRes::EditDeleteRecordClick);
    connect(EditNextRecordID, &QAction::triggered, this, &TfmRes::EditNextRecordIDClick);
    connect(EditEquivalentTDM, &QAction::triggered, this, &TfmRes::EditEquivalentTDMClick);
    connect(EditLookupTables, &QAction::triggered, this, &TfmRes::EditLookupTablesClick);
    connect(bbApplyGroup, &QPushButton::clicked, this, &TfmRes::bbApplyGroupClick);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TfmRes::PageControl1Change);
}

void TfmRes::afterRecordPagesConnected()
{
    if (!m_recordView)
        return;
    m_recordView->reloadLookupBoxes();
    m_recordView->recordChanged();
}

void TfmRes::EditNewRecordClick()
{
    if (!m_dm)
        return;
    try {
        startNewRecord(*m_dm);
        Tfm_New dialog(*m_dm, *m_ui, this);
        const bool accepted = dialog.exec() == QDialog::Accepted;
        finishNewRecord(*m_dm, accepted, dialog.Failed);
    } catch (const Error &e) {
        cancelNewRecord(*m_dm);
        m_ui->error(e.message());
    }
    m_recordView->recordChanged();
}

void TfmRes::EditDeleteRecordClick()
{
    if (!m_dm)
        return;
    deleteRecord(*m_dm, *m_ui);
    m_recordView->recordChanged();
}

void TfmRes::EditNextRecordIDClick()
{
    if (!m_dm)
        return;
    try {
        showNextRecordID(*m_dm, *m_ui);
    } catch (const Error &e) {
        m_ui->error(e.message());
    }
}

void TfmRes::EditEquivalentTDMClick()
{
    if (!m_dm)
        return;
    try {
        newEquivalentTDM(*m_dm, *m_ui);
    } catch (const Error &e) {
        m_ui->error(e.message());
    }
    m_recordView->recordChanged();
}

void TfmRes::EditLookupTablesClick()
{
    if (!m_dm)
        return;
    {
        TfmLookup window(*m_dm, *m_ui, this);
        window.FormShow();
        window.exec();
    }
    reopenAfterLookupEditor(*m_dm);
    m_recordView->reloadLookupBoxes();
}

void TfmRes::bbApplyGroupClick()
{
    if (m_dm)
        applyGroupDescriptor(*m_dm, *m_ui, eApplyGroup->text());
}

void TfmRes::PageControl1Change()
{
    bbApplyGroup->setEnabled(PageControl1->currentWidget() != tsDefineQuery);
    if (!m_dm)
        return;
    for (Dataset *d : {m_dm->ForList, m_dm->QWhoFor}) {
        try {
            d->close();
        } catch (const Error &) {
        }
    }
}

} // namespace kv
