// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graphs/plot_state.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace kv {

class Interaction;
class KeyComboBox;
class TdmKVResults;

/// The plot-groupings window: interpretation groups, date bands and the grouping basis of the graphs.
/// Created at start-up and kept for the whole run; it edits the plot state the graph commands read.
/// Every display reads the settings file first and closing writes it back.
class TfmSelPG : public QDialog
{
    Q_OBJECT

public:
    TfmSelPG(PlotState &state, Interaction &ui, TdmKVResults *dm = nullptr, QWidget *parent = nullptr);

    /// The state the window edits: its groupings are the public fields the graph commands read,
    /// refreshed by LoadPlotGroupings, and MaxRows is kept with them in the settings file.
    PlotState &plotState() { return m_state; }
    PlotGroupings &groupings() { return m_state.groupings; }

    /// Reads the settings file into the public fields and the controls.
    void LoadPlotGroupings();
    void FormShow();
    /// Writes the settings file from the controls.
    void FormClose();

    QTabWidget *PageControl1;
    std::array<QLineEdit *, 5> eGTitle, eDTitle, eDa, eDb;
    std::array<KeyComboBox *, 5> dblcbGa, dblcbGb;
    std::array<QCheckBox *, 5> cbDateGroup;
    // rbGrouping, rbProvince, rbTerrane, rbOrogenicPeriod, rbChemicalType
    std::array<QRadioButton *, 5> rbBasis;
    QLineEdit *eMinimumUncertainty;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void showGroupings();

    PlotState &m_state;
    Interaction &m_ui;
    TdmKVResults *m_dm;
};

} // namespace kv
