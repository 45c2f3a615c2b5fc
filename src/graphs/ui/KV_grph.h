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

/// The window of "Date grouped by Interpretation": six tabs of charts and the spreadsheet, the panel
/// of the weighted mean, and Save. Shows a graph the core command filled (the main window runs it).
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
    QWidget *tsDI, *tsProb, *tsGalbraith, *tsSpreadsheet, *tsGrouping, *tsCumGrouping;
    ChartView *VtChDI, *VtChCum, *VtChG, *VtChDG, *VtChCG;
    QLineEdit *eDate, *eError, *eMSWD, *eProbabilityOfFit;
    WorkbookView *SSDI;

protected:
    void showEvent(QShowEvent *event) override;

private:
    DateGraph &m_graph;
    Interaction &m_ui;
};

} // namespace kv
