// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_Map.h"

#include "controls/ui/chart_view.h"
#include "graphs/graph_map.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmKVMap::TfmKVMap(LocalityMap &map, QWidget *parent) : QDialog(parent)
{
    setObjectName(u"fmKVMap"_s);
    setWindowTitle(u"Samples by Locality"_s);
    setWindowState(Qt::WindowMaximized);
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    bbClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), u"&Close"_s);
    bbClose->setObjectName(u"bbClose"_s);
    top->addWidget(bbClose);
    top->addStretch();
    layout->addLayout(top);
    connect(bbClose, &QPushButton::clicked, this, &QDialog::accept);

    pc1 = new QTabWidget(this);
    pc1->setObjectName(u"pc1"_s);
    layout->addWidget(pc1, 1);
    const auto tab = [this](const QString &name, const QString &caption, const ChartGrid &grid,
                            const QString &chartName, ChartView *&view) {
        auto *page = new QWidget;
        page->setObjectName(name);
        pc1->addTab(page, caption);
        view = new ChartView(page);
        view->setObjectName(chartName);
        view->setGrid(grid);
        view->refresh();
        auto *box = new QVBoxLayout(page);
        box->setContentsMargins(2, 2, 2, 2);
        box->addWidget(view, 1);
        return page;
    };
    ts1 = tab(u"ts1"_s, u"Interpretation"_s, map.VtChM1, u"VtChM1"_s, VtChM1);
    ts2 = tab(u"ts2"_s, u"Date Bands"_s, map.VtChM2, u"VtChM2"_s, VtChM2);
    resize(1024, 768);
}

void TfmKVMap::FormShow()
{
    pc1->setCurrentWidget(ts1);
}

void TfmKVMap::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

} // namespace kv
