// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>

class QPushButton;
class QTabWidget;

namespace kv {

class ChartView;
class Interaction;
class WorkbookView;
struct RatioGraph;

/// The window of the initial and model ratio graphs, plain and grouped: a tab per drawn plot, the
/// spreadsheet with a sheet per plot, and Save. Shows a graph the core command filled.
class TfmKVGraphI : public QDialog
{
    Q_OBJECT

public:
    TfmKVGraphI(RatioGraph &graph, Interaction &ui, QWidget *parent = nullptr);
    ~TfmKVGraphI() override;

    /// Opens at the first drawn plot and shows only the tabs of drawn plots.
    void FormShow();
    void bbSaveClick();

    bool ShowPlot1 = false, ShowPlot2 = false, ShowPlot3 = false;

    QPushButton *bbClose, *bbSave;
    QTabWidget *pc1;
    QWidget *ts1, *ts2, *ts3, *tsSpreadSheet;
    std::array<ChartView *, 3> VtChDI{};
    WorkbookView *SSI;

protected:
    void showEvent(QShowEvent *event) override;

private:
    RatioGraph &m_graph;
    Interaction &m_ui;
};

} // namespace kv
