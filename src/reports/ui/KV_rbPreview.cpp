// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/ui/KV_rbPreview.h"

#include "core/guard.h"
#include "reports/KV_rp_Summary.h"
#include "reports/ui/report_preview.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmPreview::TfmPreview(TdmKVResults &dm, Interaction &ui, QWidget *parent) : QDialog(parent), m_dm(dm), m_ui(ui)
{
    setObjectName(u"fmPreview"_s);
    setWindowTitle(u"Report Launcher"_s);
    auto *layout = new QHBoxLayout(this);
    lbxReports = new QListWidget(this);
    lbxReports->setObjectName(u"lbxReports"_s);
    layout->addWidget(lbxReports, 1);
    auto *buttons = new QVBoxLayout;
    btnPreview = new QPushButton(u"Preview"_s, this);
    btnPreview->setObjectName(u"btnPreview"_s);
    btnClose = new QPushButton(u"Close"_s, this);
    btnClose->setObjectName(u"btnClose"_s);
    btnCancel = new QPushButton(u"Cancel"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);
    for (QPushButton *button : {btnPreview, btnClose, btnCancel}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(btnPreview, &QPushButton::clicked, this, &TfmPreview::btnPreviewClick);
    connect(lbxReports, &QListWidget::itemDoubleClicked, this, &TfmPreview::btnPreviewClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 160);
    FormCreate();
}

void TfmPreview::FormCreate()
{
    m_reports = {{u"Summary details per record"_s,
                  [](TdmKVResults &dm) { return std::make_unique<TfmReportSummary>(dm); }}};
    lbxReports->clear();
    for (const ReportEntry &entry : std::as_const(m_reports))
        lbxReports->addItem(entry.caption);
}

void TfmPreview::btnPreviewClick()
{
    guarded(m_ui, [this] {
        const QList<QListWidgetItem *> selected = lbxReports->selectedItems();
        if (selected.isEmpty())
            return;
        const int index = lbxReports->row(selected.first());
        if (index < 0 || index >= m_reports.size())
            return;
        // The report form lives for this one preview.
        const std::unique_ptr<TrbReportForm> form = m_reports[index].create(m_dm);
        previewReport(form->report(), m_ui, this);
    });
}

} // namespace kv
