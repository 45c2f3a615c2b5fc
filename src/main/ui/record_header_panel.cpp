// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/record_header_panel.h"

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "data/dmKV.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct Field
{
    QString name;
    QString caption;
    int column; // 0 left, 1 right
};

const QList<Field> &fields()
{
    static const QList<Field> list{
        {u"RecordID"_s, u"Record ID"_s, 0},
        {u"CountryAbr"_s, u"Area"_s, 0},
        {u"UnitName"_s, u"Unit"_s, 0},
        {u"Lithology"_s, u"Lithology"_s, 0},
        {u"MaterialAbr"_s, u"Material"_s, 0},
        {u"IsotopeSystem"_s, u"Isotope system"_s, 0},
        {u"ApproachAbr"_s, u"Approach"_s, 0},
        {u"InterpAbr"_s, u"Interpretation"_s, 0},
        {u"TechAbr"_s, u"Technique"_s, 0},
        {u"MethodAbr"_s, u"Method"_s, 0},
        {u"Age"_s, u"Age"_s, 1},
        {u"AgePError"_s, u"+ error"_s, 1},
        {u"AgeMError"_s, u"- error"_s, 1},
        {u"AgeUnits"_s, u"Age units"_s, 1},
        {u"PrefLevel"_s, u"Preference level"_s, 1},
        {u"DecayConst1"_s, u"Decay constant 1"_s, 1},
        {u"SigmaPercentDC1"_s, u"Sigma % DC1"_s, 1},
        {u"DecayConst2"_s, u"Decay constant 2"_s, 1},
        {u"SigmaPercentDC2"_s, u"Sigma % DC2"_s, 1},
        {u"Comment"_s, u"Comment"_s, 1},
    };
    return list;
}

} // namespace

RecordHeaderPanel::RecordHeaderPanel(Interaction &ui, QWidget *parent) : QWidget(parent)
{
    setObjectName(u"pnRecordHeader"_s);
    auto *layout = new QVBoxLayout(this);
    dbnRecords = new DatasetNavigator(ui, this);
    dbnRecords->setObjectName(u"dbnRecords"_s);
    dbnRecords->setVisibleButtons(DatasetNavigator::First | DatasetNavigator::Prior | DatasetNavigator::Next |
                                  DatasetNavigator::Last);
    layout->addWidget(dbnRecords, 0, Qt::AlignLeft);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    layout->addStretch(1);
    int rows[2] = {0, 0};
    for (const Field &field : fields()) {
        auto *label = new QLabel(field.caption, this);
        auto *edit = new DbEdit(ui, this);
        edit->setObjectName(u"dbe"_s + field.name);
        // The record is edited on the record pages; here it is only shown.
        connect(&edit->link(), &FieldLink::refresh, edit, [edit] { edit->setReadOnly(true); });
        edit->setReadOnly(true);
        label->setBuddy(edit);
        const int row = rows[field.column]++;
        grid->addWidget(label, row, field.column * 2);
        grid->addWidget(edit, row, field.column * 2 + 1);
        m_boxes.insert(field.name, edit);
        m_labels.insert(field.name, label);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(2, 120);
    dbeUnitName = m_boxes.value(u"UnitName"_s);
    showSecondDecayConstant(false);
}

void RecordHeaderPanel::attach(TdmKVResults &dm)
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        it.value()->setField(dm.QResults, it.key());
    dbnRecords->setDataset(dm.Query1);
}

void RecordHeaderPanel::showSecondDecayConstant(bool show)
{
    for (const QString &field : {u"DecayConst2"_s, u"SigmaPercentDC2"_s}) {
        m_boxes.value(field)->setVisible(show);
        m_labels.value(field)->setVisible(show);
    }
}

} // namespace kv
