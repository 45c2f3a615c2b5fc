// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_grph.h"

#include "controls/ui/chart_view.h"
#include "controls/ui/workbook_view.h"
#include "controls/workbook_format.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "graphs/graph_date.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

ChartView *chartOn(QWidget *tab, const ChartGrid &grid, const QString &name, Interaction &ui)
{
    auto *view = new ChartView(tab);
    view->setObjectName(name);
    view->setInteraction(&ui);
    view->setGrid(grid);
    view->refresh();
    return view;
}

QLineEdit *panelEdit(const QString &name, const QString &text)
{
    auto *edit = new QLineEdit(text);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setMaximumWidth(110);
    return edit;
}

} // namespace

TfmKVGraph::TfmKVGraph(DateGraph &graph, Interaction &ui, QWidget *parent)
    : QDialog(parent), m_graph(graph), m_ui(ui)
{
    setObjectName(u"fmKVGraph"_s);
    setWindowTitle(u"Date grouped by Interpretation"_s);
    setWindowState(Qt::WindowMaximized);
    setSizeGripEnabled(true);
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
    const auto tab = [this](const QString &name, const QString &caption) {
        auto *page = new QWidget;
        page->setObjectName(name);
        pc1->addTab(page, caption);
        return page;
    };
    tsDI = tab(u"tsDI"_s, u"Interpretation"_s);
    tsProb = tab(u"tsProb"_s, u"Interpretation histogram"_s);
    tsKde = tab(u"tsKde"_s, u"Kernel density"_s);
    tsGalbraith = tab(u"tsGalbraith"_s, u"Radial plot"_s);
    tsSpreadsheet = tab(u"tsSpreadsheet"_s, u"Spreadsheet"_s);
    tsGrouping = tab(u"tsGrouping"_s, u"Grouping"_s);
    tsCumGrouping = tab(u"tsCumGrouping"_s, u"Grouping histogram"_s);

    const auto fill = [](QWidget *page, QWidget *content) {
        auto *box = new QVBoxLayout(page);
        box->setContentsMargins(2, 2, 2, 2);
        box->addWidget(content, 1);
        return box;
    };
    VtChDI = chartOn(tsDI, graph.VtChDI, u"VtChDI"_s, ui);
    fill(tsDI, VtChDI);
    VtChCum = chartOn(tsProb, graph.VtChCum, u"VtChCum"_s, ui);
    QVBoxLayout *probLayout = fill(tsProb, VtChCum);
    auto *pMean = new QWidget;
    pMean->setObjectName(u"pMean"_s);
    auto *meanRow = new QHBoxLayout(pMean);
    eDate = panelEdit(u"eDate"_s, graph.eDate);
    eError = panelEdit(u"eError"_s, graph.eError);
    eMSWD = panelEdit(u"eMSWD"_s, graph.eMSWD);
    eProbabilityOfFit = panelEdit(u"eProbabilityOfFit"_s, graph.eProbabilityOfFit);
    meanRow->addWidget(new QLabel(u"Mean"_s));
    meanRow->addWidget(eDate);
    meanRow->addWidget(new QLabel(u"+/-"_s));
    meanRow->addWidget(eError);
    meanRow->addWidget(new QLabel(u"Ma   (95% confidence)"_s));
    meanRow->addSpacing(24);
    meanRow->addWidget(new QLabel(u"MSWD"_s));
    meanRow->addWidget(eMSWD);
    meanRow->addSpacing(24);
    meanRow->addWidget(new QLabel(u"Probability of fit"_s));
    meanRow->addWidget(eProbabilityOfFit);
    meanRow->addStretch();
    probLayout->addWidget(pMean);
    // Beside the system's figures, those other programs give for the same dates (errors one sigma).
    auto *pDispersion = new QWidget;
    pDispersion->setObjectName(u"pDispersion"_s);
    auto *dispersionRow = new QHBoxLayout(pDispersion);
    eMswdConventional = panelEdit(u"eMswdConventional"_s, graph.eMswdConventional);
    ePChi2 = panelEdit(u"ePChi2"_s, graph.ePChi2);
    eMeanRandom = panelEdit(u"eMeanRandom"_s, graph.eMeanRandom);
    eMeanRandomError = panelEdit(u"eMeanRandomError"_s, graph.eMeanRandomError);
    eDispersion = panelEdit(u"eDispersion"_s, graph.eDispersion);
    eDispersionError = panelEdit(u"eDispersionError"_s, graph.eDispersionError);
    // Wide enough for an MSWD in the hundred thousands, however narrow the window.
    for (QLineEdit *edit : {eMswdConventional, ePChi2, eMeanRandom, eMeanRandomError, eDispersion, eDispersionError})
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(u" 0000000.00"_s) + 12);
    dispersionRow->addWidget(new QLabel(u"MSWD (conventional)"_s));
    dispersionRow->addWidget(eMswdConventional);
    dispersionRow->addWidget(new QLabel(u"p(\u03c7\u00b2)"_s));
    dispersionRow->addWidget(ePChi2);
    dispersionRow->addSpacing(12);
    dispersionRow->addWidget(new QLabel(u"Mean with overdispersion"_s));
    dispersionRow->addWidget(eMeanRandom);
    dispersionRow->addWidget(new QLabel(u"+/-"_s));
    dispersionRow->addWidget(eMeanRandomError);
    dispersionRow->addSpacing(12);
    dispersionRow->addWidget(new QLabel(u"Dispersion"_s));
    dispersionRow->addWidget(eDispersion);
    dispersionRow->addWidget(new QLabel(u"+/-"_s));
    dispersionRow->addWidget(eDispersionError);
    dispersionRow->addWidget(new QLabel(u"Ma   (1 sigma)"_s));
    dispersionRow->addStretch();
    probLayout->addWidget(pDispersion);
    VtChKde = chartOn(tsKde, graph.VtChKde, u"VtChKde"_s, ui);
    fill(tsKde, VtChKde);
    VtChG = chartOn(tsGalbraith, graph.VtChG, u"VtChG"_s, ui);
    fill(tsGalbraith, VtChG);
    SSDI = new WorkbookView(tsSpreadsheet);
    SSDI->setObjectName(u"SSDI"_s);
    SSDI->setWorkbook(&graph.SSDI);
    fill(tsSpreadsheet, SSDI);
    VtChDG = chartOn(tsGrouping, graph.VtChDG, u"VtChDG"_s, ui);
    fill(tsGrouping, VtChDG);
    VtChCG = chartOn(tsCumGrouping, graph.VtChCG, u"VtChCG"_s, ui);
    fill(tsCumGrouping, VtChCG);
    pc1->setTabVisible(pc1->indexOf(tsGrouping), graph.groupingTabsVisible);
    pc1->setTabVisible(pc1->indexOf(tsCumGrouping), graph.groupingTabsVisible);
    resize(1024, 768);
}

TfmKVGraph::~TfmKVGraph() = default;

void TfmKVGraph::FormShow()
{
    pc1->setCurrentWidget(tsDI);
}

void TfmKVGraph::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmKVGraph::bbSaveClick()
{
    const auto choice = m_ui.saveFile(u"Save"_s, workbookDialogFilters(), QString(), QString());
    if (!choice)
        return;
    const QString path = workbookSavePath(choice->path, choice->filterIndex + 1);
    m_graph.SSDI.writeWorkbook(path, workbookFileTypeForSave(path, choice->filterIndex + 1));
}

} // namespace kv
