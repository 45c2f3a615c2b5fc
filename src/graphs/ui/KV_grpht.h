// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;
class QTabWidget;

namespace kv {

class ChartView;
class Interaction;
class WorkbookView;
struct ClosureGraph;

/// The window of "Date vs Closure Temperature": the chart, the listing of its rows, and Save. Shows a
/// graph the core command filled.
class TfmKVGraphT : public QDialog
{
    Q_OBJECT

public:
    TfmKVGraphT(ClosureGraph &graph, Interaction &ui, QWidget *parent = nullptr);
    ~TfmKVGraphT() override;

    void FormShow();
    void bbSaveClick();

    QPushButton *bbClose, *bbSave;
    QTabWidget *pc1;
    QWidget *tsBT, *tsSpreadsheet;
    ChartView *VtChDT;
    WorkbookView *ssDI;

protected:
    void showEvent(QShowEvent *event) override;

private:
    ClosureGraph &m_graph;
    Interaction &m_ui;
};

} // namespace kv
