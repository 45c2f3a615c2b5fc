// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/ui/report_preview.h"

#include "core/guard.h"
#include "reports/banded_report.h"

#include <QAction>
#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The wait cursor while the pages are laid out: a long query takes a while.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void previewReport(report::Report &report, Interaction &ui, QWidget *parent)
{
    // The printer outlives the dialog that paints on it.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(report.pageLayout());
    printer.setDocName(report.documentName());
    printer.setCreator(report.creator());

    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(u"ReportPreview"_s);
    preview.setWindowTitle(report.documentName());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *target) {
        guarded(ui, [&] {
            const WaitCursor wait;
            report.print(*target);
        });
    });

    auto *saveAsPdf = new QAction(u"Save as PDF"_s, &preview);
    saveAsPdf->setObjectName(u"SaveAsPdf"_s);
    saveAsPdf->setToolTip(u"Save the report as a PDF file"_s);
    QObject::connect(saveAsPdf, &QAction::triggered, &preview, [&] {
        guarded(ui, [&] {
            const auto choice = ui.saveFile(u"Save as PDF"_s, {u"PDF files (*.pdf)"_s}, QString(),
                                            report.documentName() + u".pdf"_s);
            if (!choice || choice->path.isEmpty())
                return;
            const WaitCursor wait;
            report::writePdf(report, choice->path);
        });
    });
    if (auto *toolBar = preview.findChild<QToolBar *>()) {
        toolBar->addSeparator();
        toolBar->addAction(saveAsPdf);
    } else {
        preview.addAction(saveAsPdf);
    }
    preview.exec();
}

} // namespace kv
