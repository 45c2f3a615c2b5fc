// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_developer.h"

#include "controls/ui/data_aware.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageDeveloper::PageDeveloper(RecordView &view, QWidget *parent) : QWidget(parent), m_view(view)
{
    TdmKVResults &dm = view.dm();
    QVBoxLayout *layout = recordPageLayout(view, this);
    // Who-for rows are read only here: the navigator walks them.
    auto *whoFor =
        panelBox(this, u"Who for"_s,
                 view.detailNavigator(this, dm.QWhoFor, Nav::First | Nav::Prior | Nav::Next | Nav::Last,
                                      RecordView::PanelKind::WhoFor));
    auto *line = new QHBoxLayout;
    auto *name = new DbLookupComboBox(view.ui(), whoFor);
    name->setField(dm.QWhoFor, u"WhoForID"_s);
    name->setList(dm.ForList, u"WhoForID"_s, u"WhoFor"_s);
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    name->setFocusPolicy(Qt::NoFocus);
    name->setMinimumContentsLength(20);
    auto *open = new QPushButton(u"Open"_s, whoFor);
    connect(open, &QPushButton::clicked, this, [this] { guarded(m_view.ui(), [this] { bbOpenClick(); }); });
    connect(open, &QPushButton::clicked, name, &DbLookupComboBox::reloadList);
    line->addWidget(name);
    line->addWidget(open);
    line->addStretch();
    static_cast<QVBoxLayout *>(whoFor->layout())->addLayout(line);
    QTableView *grid = datasetGrid(view.ui(), whoFor, dm.QWhoFor, {u"WhoForID"_s}, {u"Who For ID"_s});
    grid->setMaximumWidth(300);
    whoFor->layout()->addWidget(grid);
    layout->addWidget(whoFor);
    layout->addStretch();
}

void PageDeveloper::bbOpenClick()
{
    TdmKVResults &dm = m_view.dm();
    dm.ForList->close();
    dm.ForList->prepare();
    dm.ForList->open();
    dm.QWhoFor->close();
    dm.QWhoFor->prepare();
    dm.QWhoFor->open();
}

} // namespace kv
