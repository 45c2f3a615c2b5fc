// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_Seli.h"

#include "core/guard.h"
#include "core/ini_file.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "graphs/ui/key_combo_box.h"
#include "main/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmSelDI2::TfmSelDI2(PlotState &state, Interaction &ui, TdmKVResults *dm, QWidget *parent)
    : QDialog(parent), m_state(state), m_ui(ui)
{
    setObjectName(u"fmSelDI2"_s);
    setWindowTitle(u"Define graphs"_s);
    if (dm)
        VariablesList = new Dataset(u"VariablesList"_s, &dm->KVtmp, this);
    if (VariablesList)
        VariablesList->setSql({u"select * from Variables"_s});

    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(u"X variable"_s), 0, 1);
    grid->addWidget(new QLabel(u"Y variable"_s), 0, 2);
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        cbP[i] = new QCheckBox(u"Plot "_s + n);
        cbP[i]->setObjectName(u"cbP"_s + n);
        dblcbPX[i] = new KeyComboBox;
        dblcbPX[i]->setObjectName(u"dblcbP%1X"_s.arg(n));
        dblcbPY[i] = new KeyComboBox;
        dblcbPY[i]->setObjectName(u"dblcbP%1Y"_s.arg(n));
        grid->addWidget(cbP[i], i + 1, 0);
        grid->addWidget(dblcbPX[i], i + 1, 1);
        grid->addWidget(dblcbPY[i], i + 1, 2);
    }
    layout->addLayout(grid);
    auto *ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
}

void TfmSelDI2::FormShow()
{
    guarded(m_ui, [this] {
        if (VariablesList && VariablesList->connection()->isOpen() && !VariablesList->isOpen())
            VariablesList->open();
        LoadPlotAxes();
    });
}

void TfmSelDI2::LoadPlotAxes()
{
    kv::LoadPlotAxes(m_state);
    const PlotAxes &axes = m_state.axes;
    Dataset *list = VariablesList && VariablesList->isOpen() ? VariablesList : nullptr;
    for (int i = 0; i < 3; ++i) {
        dblcbPX[i]->setList(list, u"VariableAbr"_s, u"Variable"_s);
        dblcbPX[i]->setKey(axes.X[i]);
        dblcbPY[i]->setList(list, u"VariableAbr"_s, u"Variable"_s);
        dblcbPY[i]->setKey(axes.Y[i]);
    }
}

PlotAxes TfmSelDI2::axes() const
{
    PlotAxes axes;
    for (int i = 0; i < 3; ++i) {
        axes.plotOn[i] = cbP[i]->isChecked();
        axes.X[i] = dblcbPX[i]->key();
        axes.Y[i] = dblcbPY[i]->key();
    }
    return axes;
}

QString TfmSelDI2::axisText(int plot, bool y) const
{
    return (y ? dblcbPY : dblcbPX).at(plot - 1)->shownText();
}

void TfmSelDI2::FormClose()
{
    m_state.axes = axes();
    guarded(m_ui, [this] {
        IniFile file(settingsFilePath());
        SavePlotAxes(file, m_state.axes);
        file.save();
    });
}

void TfmSelDI2::closeVariablesList()
{
    if (VariablesList)
        VariablesList->close();
}

void TfmSelDI2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmSelDI2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

} // namespace kv
