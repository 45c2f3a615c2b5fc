// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_selpg.h"

#include "core/guard.h"
#include "core/ini_file.h"
#include "data/dmKV.h"
#include "graphs/ui/key_combo_box.h"
#include "main/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Typing stops at a title's length, but a longer title read from the settings file is shown and kept
// whole (a maximum length would cut it, and the cut title would be written back).
void limitTyping(QLineEdit *edit, int length)
{
    auto *last = new QString;
    QObject::connect(edit, &QObject::destroyed, edit, [last] { delete last; });
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, last](const QString &text) {
        if (!edit->isModified())
            *last = text; // set by the program, not typed
    });
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, last, length](const QString &text) {
        if (text.size() > length && text.size() > last->size()) {
            const int cursor = std::max(0, int(edit->cursorPosition() - (text.size() - last->size())));
            edit->setText(*last);
            edit->setCursorPosition(cursor);
            return;
        }
        *last = text;
    });
}

} // namespace

TfmSelPG::TfmSelPG(PlotState &state, Interaction &ui, TdmKVResults *dm, QWidget *parent)
    : QDialog(parent), m_state(state), m_ui(ui), m_dm(dm)
{
    setObjectName(u"fmSelPG"_s);
    setWindowTitle(u"Select plot groupings"_s);
    auto *layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    layout->addWidget(PageControl1);

    auto *interpretation = new QWidget;
    auto *interpretationGrid = new QGridLayout(interpretation);
    auto *dates = new QWidget;
    auto *datesGrid = new QGridLayout(dates);
    for (int i = 0; i < 5; ++i) {
        const QString n = QString::number(i + 1);
        auto *group = new QGroupBox(u"Group "_s + n);
        auto *form = new QFormLayout(group);
        eGTitle[i] = new QLineEdit;
        eGTitle[i]->setObjectName(u"eGTitle"_s + n);
        limitTyping(eGTitle[i], 20);
        dblcbGa[i] = new KeyComboBox;
        dblcbGa[i]->setObjectName(u"dblcbG%1a"_s.arg(n));
        dblcbGb[i] = new KeyComboBox;
        dblcbGb[i]->setObjectName(u"dblcbG%1b"_s.arg(n));
        form->addRow(u"Title for legend"_s, eGTitle[i]);
        form->addRow(u"Classification"_s, dblcbGa[i]);
        form->addRow(u"or"_s, dblcbGb[i]);
        interpretationGrid->addWidget(group, i / 3, i % 3);

        auto *band = new QGroupBox(u"Group "_s + n);
        auto *bandForm = new QFormLayout(band);
        eDTitle[i] = new QLineEdit;
        eDTitle[i]->setObjectName(u"eDTitle"_s + n);
        limitTyping(eDTitle[i], 20);
        eDa[i] = new QLineEdit;
        eDa[i]->setObjectName(u"eD%1a"_s.arg(n));
        eDb[i] = new QLineEdit;
        eDb[i]->setObjectName(u"eD%1b"_s.arg(n));
        cbDateGroup[i] = new QCheckBox(u"Apply"_s);
        cbDateGroup[i]->setObjectName(u"cbDateGroup"_s + n);
        bandForm->addRow(u"Title for legend"_s, eDTitle[i]);
        bandForm->addRow(u"Minimum"_s, eDa[i]);
        bandForm->addRow(u"Maximum"_s, eDb[i]);
        bandForm->addRow(cbDateGroup[i]);
        datesGrid->addWidget(band, i / 3, i % 3);
        // eD1aExit ... eD5bExit
        connect(eDa[i], &QLineEdit::editingFinished, this,
                [this, i] { groupings().setDateMinText(i, eDa[i]->text()); });
        connect(eDb[i], &QLineEdit::editingFinished, this,
                [this, i] { groupings().setDateMaxText(i, eDb[i]->text()); });
    }
    PageControl1->addTab(interpretation, u"Interpretation"_s);
    PageControl1->addTab(dates, u"Dates"_s);

    auto *basisPage = new QWidget;
    auto *basisLayout = new QVBoxLayout(basisPage);
    auto *basisBox = new QGroupBox(u"Graphical groups are based on"_s);
    auto *radios = new QVBoxLayout(basisBox);
    const std::array<std::pair<QString, QString>, 5> buttons{{{u"rbGrouping"_s, u"Grouping descriptors"_s},
                                                              {u"rbProvince"_s, u"Province"_s},
                                                              {u"rbTerrane"_s, u"Terrane"_s},
                                                              {u"rbOrogenicPeriod"_s, u"Orogenic association"_s},
                                                              {u"rbChemicalType"_s, u"Chemical type"_s}}};
    for (int i = 0; i < 5; ++i) {
        rbBasis[i] = new QRadioButton(buttons[i].second);
        rbBasis[i]->setObjectName(buttons[i].first);
        radios->addWidget(rbBasis[i]);
    }
    basisLayout->addWidget(basisBox);
    basisLayout->addStretch();
    PageControl1->addTab(basisPage, u"Basis for graphical groups"_s);

    auto *other = new QWidget;
    auto *otherLayout = new QVBoxLayout(other);
    otherLayout->addWidget(
        new QLabel(u"Minimum uncertainty for use when calculating summed probability histograms"_s));
    eMinimumUncertainty = new QLineEdit;
    eMinimumUncertainty->setObjectName(u"eMinimumUncertainty"_s);
    eMinimumUncertainty->setMaximumWidth(120);
    otherLayout->addWidget(eMinimumUncertainty);
    auto *note = new QLabel(
        u"This parameter allows one to override date uncertainties which over-emphasize very precise dates"_s);
    note->setWordWrap(true);
    otherLayout->addWidget(note);
    otherLayout->addStretch();
    PageControl1->addTab(other, u"Other criteria"_s);

    auto *ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
}

void TfmSelPG::LoadPlotGroupings()
{
    // The ten combo boxes list the interpretation lookup table when the data module has it open.
    Dataset *list = m_dm && m_dm->Interpretation->isOpen() ? m_dm->Interpretation : nullptr;
    for (int i = 0; i < 5; ++i) {
        dblcbGa[i]->setList(list, u"InterpAbr"_s, u"Interpretation"_s);
        dblcbGb[i]->setList(list, u"InterpAbr"_s, u"Interpretation"_s);
    }
    kv::LoadPlotGroupings(m_state);
    showGroupings();
}

void TfmSelPG::showGroupings()
{
    const PlotGroupings &g = groupings();
    for (int i = 0; i < 5; ++i) {
        eGTitle[i]->setText(g.GroupTitle[i]);
        dblcbGa[i]->setKey(g.GroupLookupA[i]);
        dblcbGb[i]->setKey(g.GroupLookupB[i]);
        eDTitle[i]->setText(g.DateTitle[i]);
        eDa[i]->setText(g.DateMinText[i]);
        eDb[i]->setText(g.DateMaxText[i]);
        cbDateGroup[i]->setChecked(g.DateApply[i]);
    }
    rbBasis[std::clamp(g.basisButton, 0, 4)]->setChecked(true);
    eMinimumUncertainty->setText(g.MinimumUncertaintyText);
}

void TfmSelPG::FormShow()
{
    PageControl1->setCurrentIndex(0);
    guarded(m_ui, [this] { LoadPlotGroupings(); });
}

void TfmSelPG::FormClose()
{
    PlotGroupings &g = groupings();
    // The titles and codes go to the file only; the public fields follow at the next load.
    PlotGroupings shown = g;
    for (int i = 0; i < 5; ++i) {
        shown.GroupTitle[i] = eGTitle[i]->text();
        shown.GroupLookupA[i] = dblcbGa[i]->key();
        shown.GroupLookupB[i] = dblcbGb[i]->key();
        shown.DateTitle[i] = eDTitle[i]->text();
        shown.DateMinText[i] = eDa[i]->text();
        shown.DateMaxText[i] = eDb[i]->text();
        shown.DateApply[i] = cbDateGroup[i]->isChecked();
    }
    shown.basisButton = 0; // "Grouping" when no button is on
    for (int i = 0; i < 5; ++i)
        if (rbBasis[i]->isChecked())
            shown.basisButton = i;
    shown.HowGrouped = PlotGroupings::basisNames()[shown.basisButton];
    shown.MinimumUncertaintyText = eMinimumUncertainty->text();
    // The basis chosen counts for this run even when the file cannot be written (the box says so).
    g.HowGrouped = shown.HowGrouped;
    g.basisButton = shown.basisButton;
    rbBasis[g.basisButton]->setChecked(true);
    guarded(m_ui, [&] {
        IniFile file(settingsFilePath());
        SavePlotGroupings(file, shown, m_state.MaxRows);
        file.save();
    });
}

void TfmSelPG::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmSelPG::done(int result)
{
    FormClose();
    QDialog::done(result);
}

} // namespace kv
