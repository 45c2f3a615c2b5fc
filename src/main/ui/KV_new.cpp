// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_new.h"

#include "controls/ui/data_aware.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dmKV.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

Tfm_New::Tfm_New(TdmKVResults &dm, Interaction &ui, QWidget *parent) : QDialog(parent), m_dm(dm), m_ui(ui)
{
    setObjectName(u"fm_New"_s);
    setWindowTitle(u"New data record"_s);
    auto *layout = new QVBoxLayout(this);
    auto *note = new QLabel(u"All new records are automatically assigned a group descriptor 'NEW' "_s, this);
    layout->addWidget(note);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    Dataset *row = dm.IsoResults;
    const auto lookup = [&](const QString &caption, const QString &field, Dataset *list, const QString &key,
                            const QString &shown) {
        auto *box = new DbLookupComboBox(ui, this);
        box->setField(row, field);
        box->setList(list, key, shown);
        box->setMinimumWidth(320);
        form->addRow(caption, box);
        return box;
    };
    lRecordID = new QLabel(this);
    form->addRow(u"Record #"_s, lRecordID);
    dblcbArea = lookup(u"Area"_s, u"CountryAbr"_s, dm.Country, u"CountryAbr"_s, u"Country"_s);
    dblcbUnit = lookup(u"Unit"_s, u"UnitName"_s, dm.SuiteList, u"UnitName"_s, u"UnitName"_s);
    dblcbLithology = lookup(u"Lithology"_s, u"Lithology"_s, dm.Lithology, u"Lithology"_s, u"Lithology"_s);
    dblcbMaterial =
        lookup(u"Material"_s, u"MaterialAbr"_s, dm.Material, u"MaterialAbr"_s, u"MaterialDescription"_s);
    dblcbSystem = lookup(u"System"_s, u"IsotopeSystem"_s, dm.IsoSys, u"IsoSystem"_s, u"IsoSystemName"_s);
    dblcbApproach =
        lookup(u"Approach"_s, u"ApproachAbr"_s, dm.Approach, u"ApproachAbr"_s, u"ApproachDescription"_s);
    dblcbTechnique = lookup(u"Technique"_s, u"TechAbr"_s, dm.Technique, u"TechAbr"_s, u"Technique"_s);
    dblcbMethod = lookup(u"Method"_s, u"MethodAbr"_s, dm.Methods, u"MethodAbr"_s, u"MethodName"_s);
    dblcbInterpretation =
        lookup(u"Interpretation"_s, u"InterpAbr"_s, dm.Interpretation, u"InterpAbr"_s, u"Interpretation"_s);
    dblcbRank = lookup(u"Rank"_s, u"PrefLevel"_s, dm.PrefLevel, u"PrefLevelNo"_s, u"PrefLevelNo"_s);
    connect(dblcbSystem, &QComboBox::activated, this, &Tfm_New::dblcbSystemCloseUp);

    auto *dates = new QHBoxLayout;
    eDate = new QLineEdit(this);
    ePlus = new QLineEdit(this);
    eMinus = new QLineEdit(this);
    for (QLineEdit *e : {eDate, ePlus, eMinus})
        e->setMaximumWidth(90);
    dates->addWidget(eDate);
    dates->addWidget(new QLabel(u"+"_s, this));
    dates->addWidget(ePlus);
    dates->addWidget(new QLabel(u"-"_s, this));
    dates->addWidget(eMinus);
    dates->addWidget(new QLabel(u"(95% conf.)"_s, this));
    dblcbAgeUnits = new DbLookupComboBox(ui, this);
    dblcbAgeUnits->setField(row, u"AgeUnits"_s);
    dblcbAgeUnits->setList(dm.AgeUnits, u"AgeUnits"_s, u"AgeUnits"_s);
    dates->addWidget(dblcbAgeUnits);
    dates->addStretch();
    form->addRow(u"Date"_s, dates);

    cbDefaultDC = new QCheckBox(u"Default d.c."_s, this);
    cbDefaultDC->setChecked(true);
    cbDefaultDC->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key
    form->addRow(QString(), cbDefaultDC);

    cbReference = new QComboBox(this);
    cbReference->setEditable(false);
    if (dm.SourceList->isOpen())
        for (int r = 0; r < dm.SourceList->recordCount(); ++r)
            cbReference->addItem(dm.SourceList->valueAt(r, u"SourceID"_s).toString());
    cbReference->model()->sort(0);
    cbReference->setCurrentIndex(std::max(0, cbReference->findText(u"not defined"_s)));
    cbReference->setMinimumWidth(320);
    form->addRow(u"Reference"_s, cbReference);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &Tfm_New::bbOKClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &Tfm_New::bbCancelClick);
    layout->addWidget(buttons);
    if (row->isOpen())
        lRecordID->setText(row->text(u"RecordID"_s));
}

void Tfm_New::dblcbSystemCloseUp()
{
    guarded(m_ui, [this] { m_constants = decayConstantsOf(m_dm, dblcbSystem->currentKey().toString()); });
}

NewRecordValues Tfm_New::values() const
{
    NewRecordValues v;
    Dataset *row = m_dm.IsoResults;
    if (row->isOpen() && row->state() == Dataset::State::Insert) {
        v.CountryAbr = row->text(u"CountryAbr"_s);
        v.UnitName = row->text(u"UnitName"_s);
        v.Lithology = row->text(u"Lithology"_s);
        v.MaterialAbr = row->text(u"MaterialAbr"_s);
        v.IsotopeSystem = row->text(u"IsotopeSystem"_s);
        v.ApproachAbr = row->text(u"ApproachAbr"_s);
        v.TechAbr = row->text(u"TechAbr"_s);
        v.MethodAbr = row->text(u"MethodAbr"_s);
        v.InterpAbr = row->text(u"InterpAbr"_s);
        v.PrefLevel = row->value(u"PrefLevel"_s).toInt();
        v.AgeUnits = row->text(u"AgeUnits"_s);
    }
    v.date = eDate->text();
    v.plus = ePlus->text();
    v.minus = eMinus->text();
    v.defaultDecayConstants = cbDefaultDC->isChecked();
    v.reference = cbReference->currentText();
    return v;
}

void Tfm_New::bbOKClick()
{
    Failed = true;
    guarded(m_ui, [this] { Failed = !acceptNewRecord(m_dm, m_ui, values(), m_constants); });
    accept();
}

void Tfm_New::bbCancelClick()
{
    guarded(m_ui, [this] { cancelNewRecord(m_dm); });
    reject();
}

} // namespace kv
