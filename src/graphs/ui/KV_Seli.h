// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graphs/plot_state.h"

#include <QDialog>
#include <array>

class QCheckBox;

namespace kv {

class Dataset;
class Interaction;
class KeyComboBox;
class TdmKVResults;

/// The plot-axes window: which plots the initial-ratio graphs draw, with their variables.
/// Created at start-up and kept for the whole run; it edits the axes of the plot state. The plot
/// switches are never stored.
class TfmSelDI2 : public QDialog
{
    Q_OBJECT

public:
    TfmSelDI2(PlotState &state, Interaction &ui, TdmKVResults *dm = nullptr, QWidget *parent = nullptr);

    PlotState &plotState() { return m_state; }

    /// Opens VariablesList and shows the axes of the settings file.
    void FormShow();
    /// Takes the plots and axes into the plot state and writes the axes of the plots switched on.
    void FormClose();
    /// Reads the six "Plot axes" keys into the plot state and the combo boxes.
    void LoadPlotAxes();
    /// The graph commands close the list when they are done with the window.
    void closeVariablesList();

    /// The plots and axes as the controls hold them, with the shown texts of the axes.
    PlotAxes axes() const;
    QString axisText(int plot, bool y) const;

    std::array<QCheckBox *, 3> cbP;
    std::array<KeyComboBox *, 3> dblcbPX, dblcbPY;
    Dataset *VariablesList = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    PlotState &m_state;
    Interaction &m_ui;
};

} // namespace kv
