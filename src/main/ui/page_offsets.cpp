// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_offsets.h"

#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageOffsets::PageOffsets(RecordView &view, QWidget *parent) : QWidget(parent)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    auto *layout = new QVBoxLayout(this);
    const auto group = [&](const QString &title, Dataset *d, const QString &nameField,
                           const QStringList &fields, const QStringList &captions) {
        auto *navigator = new DatasetNavigator(ui, this);
        navigator->setDataset(d);
        navigator->setVisibleButtons(Nav::First | Nav::Prior | Nav::Next | Nav::Last);
        auto *box = panelBox(this, title, navigator);
        auto *grid = new QGridLayout;
        auto *name = new DbText(ui, box);
        name->setField(d, nameField);
        name->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        name->setMinimumWidth(260);
        grid->addWidget(name, 1, 0);
        for (int i = 0; i < fields.size(); ++i) {
            grid->addWidget(new QLabel(captions[i], box), 0, i + 1);
            auto *edit = new DbEdit(ui, box);
            edit->setField(d, fields[i]);
            edit->setMaximumWidth(110);
            grid->addWidget(edit, 1, i + 1);
        }
        grid->setColumnStretch(fields.size() + 1, 1);
        static_cast<QVBoxLayout *>(box->layout())->addLayout(grid);
        layout->addWidget(box);
    };
    group(u"Unit offset for stratigraphic tabulation"_s, dm.SuiteList, u"UnitName"_s,
          {u"FormationOffset"_s, u"FormationOffset2"_s, u"FormationOffset3"_s}, {u"1"_s, u"2"_s, u"3"_s});
    group(u"Area offset for stratigraphic tabulation"_s, dm.CountryList, u"Country"_s,
          {u"CountryOffset"_s, u"CountryOffset2"_s, u"CountryOffset3"_s}, {u"1"_s, u"2"_s, u"3"_s});
    group(u"GIS unique id for unit"_s, dm.SuiteList, u"UnitName"_s, {u"GISID"_s}, {u"GIS id"_s});
    layout->addStretch();
}

} // namespace kv
