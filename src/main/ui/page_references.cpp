// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_references.h"

#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageReferences::PageReferences(RecordView &view, QWidget *parent) : QWidget(parent)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    QVBoxLayout *layout = recordPageLayout(view, this);
    auto *columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    // Every reference of the database, to look one up
    auto *list = new DatasetNavigator(ui, this);
    list->setDataset(dm.QRefLookup);
    list->setVisibleButtons(Nav::First | Nav::Prior | Nav::Next | Nav::Last);
    auto *lookup = panelBox(this, u"Reference list"_s, list);
    lookup->layout()->addWidget(datasetGrid(view.ui(), lookup, dm.QRefLookup,
                                            {u"SourceID"_s, u"SourceDes"_s, u"SourceNum"_s},
                                            {u"Source"_s, u"Description"_s, u"Number"_s}));
    auto *description = new DbMemo(ui, lookup);
    description->setField(dm.QRefLookup, u"SourceDes"_s);
    description->setMaximumHeight(90);
    lookup->layout()->addWidget(description);
    columns->addWidget(lookup, 3);

    auto *right = new QVBoxLayout;
    columns->addLayout(right, 2);
    auto *references = panelBox(
        this, u"References of the record"_s,
        view.detailNavigator(this, dm.QRef,
                             Nav::Prior | Nav::Next | Nav::Insert | Nav::Delete | Nav::Post | Nav::Cancel,
                             RecordView::PanelKind::AnyButton));
    auto *form = new QFormLayout;
    static_cast<QVBoxLayout *>(references->layout())->addLayout(form);
    auto *sourceType = new DbLookupComboBox(ui, references);
    sourceType->setField(dm.QRef, u"SourceTypeID"_s);
    sourceType->setList(dm.SourceType, u"SourceTypeID"_s, u"SourceType"_s);
    view.addLookupBox(sourceType);
    form->addRow(u"Sourcetype"_s, sourceType);
    auto *source = new DbLookupComboBox(ui, references);
    source->setField(dm.QRef, u"SourceID"_s);
    source->setList(dm.QRefLookup, u"SourceID"_s, u"SourceID"_s);
    source->setMinimumContentsLength(24);
    view.addLookupBox(source);
    form->addRow(u"Source"_s, source);
    QTableView *grid = datasetGrid(view.ui(), references, dm.QRef, {u"SourceTypeID"_s, u"SourceID"_s},
                                   {u"Source type"_s, u"Source"_s});
    references->layout()->addWidget(grid);
    auto *chosen = new DbMemo(ui, references);
    chosen->setField(dm.QRefDes, u"SourceDes"_s);
    chosen->setMaximumHeight(90);
    references->layout()->addWidget(chosen);
    view.addPanelControls(dm.QRef, {sourceType, source, grid});
    right->addWidget(references, 1);

    auto *laboratory =
        panelBox(this, u"Laboratory"_s,
                 view.detailNavigator(this, dm.QLab, Nav::Insert | Nav::Delete | Nav::Post | Nav::Cancel,
                                      RecordView::PanelKind::Laboratory));
    auto *lab = new DbLookupComboBox(ui, laboratory);
    lab->setField(dm.QLab, u"LaboratoryAbr"_s);
    lab->setList(dm.Laboratories, u"LaboratoryAbr"_s, u"LaboratoryName"_s);
    view.addLookupBox(lab);
    laboratory->layout()->addWidget(lab);
    right->addWidget(laboratory);
}

} // namespace kv
