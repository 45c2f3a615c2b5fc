// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kv {

class ChartView;
class Interaction;
class WorkbookView;
struct DateGraph;

/// The window of "Date grouped by Interpretation": its tabs of charts and the spreadsheet, the panel
/// of the weighted mean with the row of the dispersion statistics, and Save. Shows a graph the core command filled (the main window runs it).
class TfmKVGraph : public QDialog
{
    Q_OBJECT

public:
    TfmKVGraph(DateGraph &graph, Interaction &ui, QWidget *parent = nullptr);
    ~TfmKVGraph() override;

    void FormShow();
    void bbSaveClick();

    QPushButton *bbClose, *bbSave;
    QTabWidget *pc1;
    QWidget *tsDI, *tsProb, *tsKde, *tsGalbraith, *tsSpreadsheet, *tsGrouping, *tsCumGrouping;
    ChartView *VtChDI, *VtChCum, *VtChKde, *VtChG, *VtChDG, *VtChCG;
    QLineEdit *eDate, *eError, *eMSWD, *eProbabilityOfFit;
    QLineEdit *eMswdConventional, *ePChi2, *eMeanRandom, *eMeanRandomError, *eDispersion, *eDispersionError;
    WorkbookView *SSDI;

protected:
    void showEvent(QShowEvent *event) override;

private:
    DateGraph &m_graph;
    Interaction &m_ui;
};

} // namespace kv
