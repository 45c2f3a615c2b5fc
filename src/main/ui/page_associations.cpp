// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_associations.h"

#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageAssociations::PageAssociations(RecordView &view, QWidget *parent) : QWidget(parent)
{
    TdmKVResults &dm = view.dm();
    QVBoxLayout *layout = recordPageLayout(view, this);
    auto *grid = new QGridLayout;
    layout->addLayout(grid, 1);
    struct Panel
    {
        QString title;
        Dataset *detail;
        QString field;
        Dataset *list;
        QString key, shown;
    };
    const QList<Panel> panels{
        {u"Province"_s, dm.Province, u"Province"_s, dm.ProvinceList, u"Province"_s, u"Province"_s},
        {u"Terrane"_s, dm.Terrane, u"Terrane"_s, dm.TerraneList, u"Terrane"_s, u"Terrane"_s},
        {u"Orogenic Period"_s, dm.IsoOrogenic, u"OrogenicPeriodID"_s, dm.OrogenicPeriods,
         u"OrogenicPeriodID"_s, u"OrogenicPeriod"_s},
        {u"Chemical Type"_s, dm.IsoChemType, u"ChemTypeAbr"_s, dm.ChemTypes, u"ChemTypeAbr"_s,
         u"ChemicalType"_s}};
    for (int i = 0; i < panels.size(); ++i) {
        const Panel &p = panels[i];
        auto *box = panelBox(this, p.title,
                             view.detailNavigator(this, p.detail,
                                                  Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                      Nav::Insert | Nav::Delete | Nav::Post,
                                                  RecordView::PanelKind::AnyButton));
        auto *lookup = new DbLookupComboBox(view.ui(), box);
        lookup->setField(p.detail, p.field);
        lookup->setList(p.list, p.key, p.shown);
        view.addLookupBox(lookup);
        box->layout()->addWidget(lookup);
        QTableView *table = datasetGrid(view.ui(), box, p.detail, {p.field}, {p.title});
        box->layout()->addWidget(table);
        view.addPanelControls(p.detail, {lookup, table});
        grid->addWidget(box, i / 2, i % 2);
    }
}

} // namespace kv
