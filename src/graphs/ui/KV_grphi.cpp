// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_grphi.h"

#include "controls/ui/chart_view.h"
#include "controls/ui/workbook_view.h"
#include "controls/workbook_format.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "graphs/graph_ratios.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmKVGraphI::TfmKVGraphI(RatioGraph &graph, Interaction &ui, QWidget *parent)
    : QDialog(parent), m_graph(graph), m_ui(ui)
{
    setObjectName(u"fmKVGraphI"_s);
    setWindowTitle(u"Date grouped by Interpretation"_s);
    setWindowState(Qt::WindowMaximized);
    setSizeGripEnabled(true);
    ShowPlot1 = graph.ShowPlot[0];
    ShowPlot2 = graph.ShowPlot[1];
    ShowPlot3 = graph.ShowPlot[2];

    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    bbClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), u"&Close"_s);
    bbClose->setObjectName(u"bbClose"_s);
    bbSave = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), u"&Save"_s);
    bbSave->setObjectName(u"bbSave"_s);
    bbSave->setToolTip(u"Save data to Excel spreadsheet"_s);
    bbSave->setEnabled(graph.saveEnabled);
    buttons->addWidget(bbSave);
    buttons->addWidget(bbClose);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(bbClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbSave, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbSaveClick(); }); });

    pc1 = new QTabWidget(this);
    pc1->setObjectName(u"pc1"_s);
    layout->addWidget(pc1, 1);
    const auto tab = [this](const QString &name, const QString &caption, QWidget *content) {
        auto *page = new QWidget;
        page->setObjectName(name);
        auto *box = new QVBoxLayout(page);
        box->setContentsMargins(2, 2, 2, 2);
        box->addWidget(content, 1);
        pc1->addTab(page, caption);
        return page;
    };
    std::array<QWidget **, 3> pages{&ts1, &ts2, &ts3};
    for (int n = 1; n <= 3; ++n) {
        auto *view = new ChartView;
        view->setObjectName(u"VtChDI%1"_s.arg(n));
        view->setInteraction(&ui);
        view->setGrid(graph.VtChDI[n - 1]);
        view->refresh();
        VtChDI[n - 1] = view;
        *pages[n - 1] = tab(u"ts%1"_s.arg(n), graph.caption[n - 1], view);
    }
    SSI = new WorkbookView;
    SSI->setObjectName(u"SSI"_s);
    SSI->setWorkbook(&graph.SSI);
    tsSpreadSheet = tab(u"tsSpreadSheet"_s, u"Spreadsheet"_s, SSI);
    resize(1024, 768);
}

TfmKVGraphI::~TfmKVGraphI() = default;

void TfmKVGraphI::FormShow()
{
    const std::array<bool, 3> shown{ShowPlot1, ShowPlot2, ShowPlot3};
    const std::array<QWidget *, 3> pages{ts1, ts2, ts3};
    // With no plot drawn the window opens at its spreadsheet, the one tab left.
    QWidget *first = tsSpreadSheet;
    for (int n = 2; n >= 0; --n)
        if (shown[n])
            first = pages[n];
    pc1->setCurrentWidget(first);
    for (int n = 0; n < 3; ++n)
        pc1->setTabVisible(pc1->indexOf(pages[n]), shown[n]);
}

void TfmKVGraphI::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmKVGraphI::bbSaveClick()
{
    const auto choice = m_ui.saveFile(u"Save"_s, workbookDialogFilters(), QString(), QString());
    if (!choice)
        return;
    const QString path = workbookSavePath(choice->path, choice->filterIndex + 1);
    m_graph.SSI.writeWorkbook(path, workbookFileTypeForSave(path, choice->filterIndex + 1));
}

} // namespace kv
