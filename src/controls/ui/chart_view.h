// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/chart_grid.h"

#include "controls/ui/custom_plot.h"

class QAction;

namespace kv {

class Interaction;

/// Draws a ChartGrid in its style. Fill grid(), then refresh(); the user can save the chart as
/// PNG, SVG or PDF from the context menu once the owner has given the view its Interaction.
class ChartView : public QCustomPlot
{
    Q_OBJECT

public:
    explicit ChartView(QWidget *parent = nullptr);

    ChartGrid &grid() { return m_grid; }
    const ChartGrid &grid() const { return m_grid; }
    /// Shows a copy of grid.
    void setGrid(const ChartGrid &grid);

    /// Re-reads the grid and redraws.
    void refresh();

    /// Writes the chart to fileName, its kind chosen by the extension (.png, .svg, .pdf); a size of 0
    /// takes the widget's own. Throws FileError when the file cannot be written.
    void saveChart(const QString &fileName, int width = 0, int height = 0);
    /// Save dialog filters, in the order saveChart knows them.
    static QStringList saveFilters();

    QAction *saveAction() const { return m_saveAction; }
    /// How "Save chart as..." asks for the file and reports a failure; without one it is disabled.
    void setInteraction(Interaction *ui);
    /// "Save chart as...": the save dialog, then saveChart; a failure is reported, never thrown.
    void saveChartAs();

    /// The colour of series s (from 1), for windows that draw a key of their own.
    static QColor seriesColor(int series);

protected:
    void updateLayout() override;

private:
    void drawDates();
    void drawPairs();
    void setUpAxis(QCPAxis *axis, const ChartAxis &scale, QCPRange automaticRange, bool integerTicks);
    void keepMapProportions();

    ChartGrid m_grid;
    QAction *m_saveAction = nullptr;
    Interaction *m_ui = nullptr;
    QCPTextElement *m_title = nullptr;
    // Bounds of the drawn data, for the automatic scales and the map's proportions.
    QCPRange m_dataX, m_dataY;
    bool m_hasData = false;
    bool m_keepMapProportions = false;
    bool m_inLayout = false;
};

} // namespace kv
