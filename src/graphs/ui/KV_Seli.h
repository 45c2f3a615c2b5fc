// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graphs/plot_settings.h"

#include <QDialog>
#include <array>

class QCheckBox;

namespace kv {

class Dataset;
class KeyComboBox;
class TdmKVResults;

/// The plot-axes window: which plots the initial-ratio graphs draw, with their variables.
/// Created at start-up and kept for the whole run; the plot switches are never stored.
class TfmSelDI2 : public QDialog
{
    Q_OBJECT

public:
    explicit TfmSelDI2(TdmKVResults *dm, QWidget *parent = nullptr);

    /// Opens VariablesList and shows the axes of the settings file.
    void FormShow();
    /// Writes the axes of the plots switched on.
    void FormClose();
    /// Reads the six "Plot axes" keys into the combo boxes.
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
};

} // namespace kv
