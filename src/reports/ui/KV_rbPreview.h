// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QListWidget;
class QPushButton;

namespace kv {

class Interaction;
class TdmKVResults;
class TrbReportForm;

/// The report launcher: the list of reports and "Preview", which shows the chosen report's pages.
/// File > "&Print" shows it while the report's datasets are open.
class TfmPreview : public QDialog
{
    Q_OBJECT

public:
    TfmPreview(TdmKVResults &dm, Interaction &ui, QWidget *parent = nullptr);

    /// Fills the list: one entry per report, with the report form it makes.
    void FormCreate();
    /// Preview (the button, or a double click on the list): the selected report to the screen preview;
    /// nothing without a selection.
    void btnPreviewClick();

    QListWidget *lbxReports;
    QPushButton *btnPreview, *btnClose, *btnCancel;

private:
    struct ReportEntry
    {
        QString caption;
        std::function<std::unique_ptr<TrbReportForm>(TdmKVResults &)> create;
    };

    TdmKVResults &m_dm;
    Interaction &m_ui;
    QList<ReportEntry> m_reports;
};

} // namespace kv
