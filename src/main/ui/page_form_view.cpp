// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_form_view.h"

#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

using Nav = DatasetNavigator;

} // namespace

PageFormView::PageFormView(RecordView &view, QWidget *parent) : QWidget(parent)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    Dataset *r = dm.QResults;
    auto *layout = new QVBoxLayout(this);
    dbnQuery1 = view.recordNavigator(this, Nav::First | Nav::Prior | Nav::Next | Nav::Last | Nav::Insert |
                                               Nav::Delete | Nav::Post);
    layout->addWidget(dbnQuery1);
    layout->addWidget(recordHeader(view, this, true));

    auto *columns = new QHBoxLayout;
    layout->addLayout(columns);

    // The record's own fields
    auto *left = new QVBoxLayout;
    columns->addLayout(left);
    auto *record = new QGroupBox(u"Record"_s, this);
    auto *form = new QFormLayout(record);
    auto *constants = new QWidget(record);
    auto *constantsGrid = new QGridLayout(constants);
    constantsGrid->setContentsMargins(0, 0, 0, 0);
    const auto edit = [&](QWidget *owner, Dataset *d, const QString &field) {
        auto *e = new DbEdit(ui, owner);
        e->setField(d, field);
        e->setMaximumWidth(150);
        return e;
    };
    constantsGrid->addWidget(new QLabel(u"Decay constant(s)"_s, constants), 0, 0);
    constantsGrid->addWidget(edit(constants, r, u"DecayConst1"_s), 0, 1);
    constantsGrid->addWidget(new QLabel(u"1 sigma % uncertainty"_s, constants), 1, 0);
    constantsGrid->addWidget(edit(constants, r, u"SigmaPercentDC1"_s), 1, 1);
    decayConstant2 = new QWidget(constants);
    auto *second = new QVBoxLayout(decayConstant2);
    second->setContentsMargins(0, 0, 0, 0);
    second->addWidget(edit(decayConstant2, r, u"DecayConst2"_s));
    second->addWidget(edit(decayConstant2, r, u"SigmaPercentDC2"_s));
    constantsGrid->addWidget(decayConstant2, 0, 2, 2, 1);
    connect(&view, &RecordView::decayConstant2Shown, decayConstant2, &QWidget::setVisible);
    form->addRow(constants);
    DbEdit *software = addField(view, form, u"Regression software"_s, dm.QStatistics, u"ProgName"_s);
    DbEdit *regressedBy = addField(view, form, u"Regressed by"_s, r, u"RegisteredUser"_s);
    auto *confidential = new QWidget(record);
    auto *confidentialLine = new QHBoxLayout(confidential);
    confidentialLine->setContentsMargins(0, 0, 0, 0);
    auto *check = new DbCheckBox(ui, confidential);
    check->setField(r, u"Confidential"_s);
    confidentialLine->addWidget(check);
    confidentialLine->addWidget(edit(confidential, r, u"Confidential"_s));
    form->addRow(u"Confidential"_s, confidential);
    auto *modified = new DbText(ui, record);
    modified->setField(r, u"DateString"_s);
    form->addRow(u"Date modified"_s, modified);
    auto *recordID = new DbText(ui, record);
    recordID->setField(r, u"RecordID"_s);
    form->addRow(u"RecordID"_s, recordID);
    auto *comment = new DbMemo(ui, record);
    comment->setField(r, u"Comment"_s);
    comment->setMaximumHeight(70);
    form->addRow(u"Comment"_s, comment);
    left->addWidget(record);

    // Statistics, initial ratios, secondary intercept
    auto *statistics = panelBox(this, u"Statistics"_s,
                                view.detailNavigator(this, dm.QStatistics, Nav::Insert | Nav::Delete,
                                                     RecordView::PanelKind::InsertOnly));
    auto *statisticsForm = new QFormLayout;
    static_cast<QVBoxLayout *>(statistics->layout())->addLayout(statisticsForm);
    QList<QWidget *> statisticsControls{software, regressedBy};
    statisticsControls << addField(view, statisticsForm, u"MSWD"_s, dm.QStatistics, u"MSWD"_s)
                       << addField(view, statisticsForm, u"Probability"_s, dm.QStatistics, u"ProbOfFit"_s)
                       << addField(view, statisticsForm, u"on"_s, dm.QStatistics, u"NReg"_s)
                       << addField(view, statisticsForm, u"of"_s, dm.QStatistics, u"NSamples"_s);
    view.addPanelControls(dm.QStatistics, statisticsControls);
    left->addWidget(statistics);
    left->addStretch();

    auto *middle = new QVBoxLayout;
    columns->addLayout(middle);
    auto *initial = panelBox(
        this, u"Initial ratios"_s,
        view.detailNavigator(this, dm.QInit, Nav::Insert | Nav::Delete, RecordView::PanelKind::InsertOnly));
    auto *initialForm = new QFormLayout;
    static_cast<QVBoxLayout *>(initial->layout())->addLayout(initialForm);
    QList<QWidget *> initialControls;
    const QList<std::pair<QString, QString>> initialFields{{u"Initial ratio"_s, u"InitRatio"_s},
                                                           {u"+/-"_s, u"InitRatioError"_s},
                                                           {u"Initial ratio (3D)"_s, u"InitialRatio3D"_s},
                                                           {u"+/- (3D)"_s, u"InitialRatio3dError"_s},
                                                           {u"Epsilon/Gamma"_s, u"Epsilon"_s},
                                                           {u"+/- "_s, u"EpsilonError"_s},
                                                           {u"238U/204Pb (i)"_s, u"Mu"_s},
                                                           {u"+"_s, u"MuPError"_s},
                                                           {u"-"_s, u"MuMError"_s},
                                                           {u"Model"_s, u"Model"_s}};
    for (const auto &[caption, field] : initialFields)
        initialControls << addField(view, initialForm, caption, dm.QInit, field);
    view.addPanelControls(dm.QInit, initialControls);
    middle->addWidget(initial);

    auto *other = panelBox(
        this, u"Secondary intercept"_s,
        view.detailNavigator(this, dm.QOther, Nav::Insert | Nav::Delete, RecordView::PanelKind::AnyButton));
    auto *otherForm = new QFormLayout;
    static_cast<QVBoxLayout *>(other->layout())->addLayout(otherForm);
    view.addPanelControls(dm.QOther,
                          {addField(view, otherForm, u"Secondary intercept"_s, dm.QOther, u"LwrIntercept"_s),
                           addField(view, otherForm, u"+"_s, dm.QOther, u"LwrPError"_s),
                           addField(view, otherForm, u"-   Ma    (95% conf.)"_s, dm.QOther, u"LwrMError"_s),
                           addField(view, otherForm, u"Weighting"_s, dm.QOther, u"Weighting"_s)});
    middle->addWidget(other);
    middle->addStretch();

    auto *right = new QVBoxLayout;
    columns->addLayout(right, 1);
    auto *references = panelBox(
        this, u"References"_s,
        view.detailNavigator(this, dm.QRef,
                             Nav::Prior | Nav::Next | Nav::Insert | Nav::Delete | Nav::Post | Nav::Cancel,
                             RecordView::PanelKind::AnyButton));
    auto *refForm = new QFormLayout;
    static_cast<QVBoxLayout *>(references->layout())->addLayout(refForm);
    auto *sourceType = new DbLookupComboBox(ui, references);
    sourceType->setField(dm.QRef, u"SourceTypeID"_s);
    sourceType->setList(dm.SourceType, u"SourceTypeID"_s, u"SourceType"_s);
    view.addLookupBox(sourceType);
    refForm->addRow(u"Source type"_s, sourceType);
    auto *source = new DbLookupComboBox(ui, references);
    source->setField(dm.QRef, u"SourceID"_s);
    source->setList(dm.QRefLookup, u"SourceID"_s, u"SourceID"_s);
    source->setMinimumContentsLength(24);
    view.addLookupBox(source);
    refForm->addRow(u"Source"_s, source);
    view.addPanelControls(dm.QRef, {sourceType, source});
    right->addWidget(references);

    auto *samples = panelBox(this, u"Samples"_s,
                             view.detailNavigator(this, dm.QSmpReg,
                                                  Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                      Nav::Insert | Nav::Delete | Nav::Post,
                                                  RecordView::PanelKind::Samples));
    dbgSamples = datasetGrid(view.ui(), samples, dm.QSmpReg, {u"SampleNo"_s, u"Frac"_s, u"Included"_s});
    dbgSamples->setMinimumHeight(110);
    samples->layout()->addWidget(dbgSamples);
    view.addPanelControls(dm.QSmpReg, {dbgSamples});
    right->addWidget(samples, 1);

    auto *grouping = panelBox(this, u"Group Descriptor"_s,
                              view.detailNavigator(this, dm.QGrouping,
                                                   Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                       Nav::Insert | Nav::Delete | Nav::Post,
                                                   RecordView::PanelKind::AnyButton));
    dbgGrouping = datasetGrid(view.ui(), grouping, dm.QGrouping, {u"Grouping"_s}, {u"Group Descriptor"_s});
    dbgGrouping->setMinimumHeight(90);
    grouping->layout()->addWidget(dbgGrouping);
    view.addPanelControls(dm.QGrouping, {dbgGrouping});
    right->addWidget(grouping, 1);
}

} // namespace kv
