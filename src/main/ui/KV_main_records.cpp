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

#include "controls/ui/data_aware.h"
#include "core/guard.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
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
    buildDataPage();
}

void TfmRes::afterRecordPagesConnected()
{
    if (!m_recordView)
        return;
    m_recordView->reloadLookupBoxes();
    m_recordView->recordChanged();
}

void TfmRes::command(const std::function<void()> &work, bool postsEdits)
{
    guarded(*m_ui, [&] {
        if (postsEdits && !leaveEdits())
            return;
        work();
    });
}

bool TfmRes::leaveEdits()
{
    if (!m_dm)
        return true;
    // What is being typed counts as entered: a menu command does not take the focus from the box.
    if (QWidget *focused = QApplication::focusWidget()) {
        if (auto *memo = qobject_cast<DbMemo *>(focused))
            memo->commit();
        else if (auto *edit = qobject_cast<DbEdit *>(focused))
            edit->commit();
        else if (auto *age = qobject_cast<QLineEdit *>(focused);
                 age && age->property("storesOnLeave").toBool())
            emit age->editingFinished();
    }
    return postPendingEdits(*m_dm, *m_ui);
}

void TfmRes::EditNewRecordClick()
{
    if (!m_dm)
        return;
    command([this] {
        try {
            startNewRecord(*m_dm);
            Tfm_New dialog(*m_dm, *m_ui, this);
            const bool accepted = dialog.exec() == QDialog::Accepted;
            finishNewRecord(*m_dm, accepted, dialog.Failed);
        } catch (const Error &) {
            cancelNewRecord(*m_dm);
            throw;
        }
    });
    m_recordView->recordChanged();
}

void TfmRes::EditDeleteRecordClick()
{
    if (!m_dm)
        return;
    command([this] { deleteRecord(*m_dm, *m_ui); });
    m_recordView->recordChanged();
}

void TfmRes::EditNextRecordIDClick()
{
    if (!m_dm)
        return;
    command([this] { showNextRecordID(*m_dm, *m_ui); }, false);
}

void TfmRes::EditEquivalentTDMClick()
{
    if (!m_dm)
        return;
    command([this] { newEquivalentTDM(*m_dm, *m_ui); });
    m_recordView->recordChanged();
}

void TfmRes::EditLookupTablesClick()
{
    if (!m_dm)
        return;
    command([this] {
        {
            TfmLookup window(*m_dm, *m_ui, this);
            window.FormShow();
            window.exec();
        }
        reopenAfterLookupEditor(*m_dm);
        m_recordView->reloadLookupBoxes();
    });
}

void TfmRes::bbApplyGroupClick()
{
    if (m_dm)
        command([this] { applyGroupDescriptor(*m_dm, *m_ui, eApplyGroup->text()); });
}

void TfmRes::PageControl1Change()
{
    const int shown = PageControl1->currentIndex();
    // An edit on the tab left is stored first; when it cannot be, the user goes back to correct it.
    bool stored = true;
    guarded(*m_ui, [&] { stored = leaveEdits(); });
    if (!stored) {
        const QSignalBlocker blocker(PageControl1);
        PageControl1->setCurrentIndex(m_currentTab);
        return;
    }
    m_currentTab = shown;
    bbApplyGroup->setEnabled(PageControl1->currentWidget() != tsDefineQuery);
    if (!m_dm)
        return;
    closeSampleData();
    // The who-for datasets only read: a failure to close them has nothing to report.
    for (Dataset *d : {m_dm->ForList, m_dm->QWhoFor}) {
        try {
            d->close();
        } catch (const Error &) {
        }
    }
}

} // namespace kv
