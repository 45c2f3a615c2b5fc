// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QTableView;

namespace kv {

class ChartView;
class DatasetNavigator;
class DbEdit;
class RecordView;

/// "Samples": the record's samples, the current sample's locality and the locality chart.
class PageSamples : public QWidget
{
    Q_OBJECT

public:
    PageSamples(RecordView &view, QWidget *parent);
    /// RebindLocalityChart: the record's localities and the chosen country's outline drawn anew.
    void RebindLocalityChart();
    ChartView *VtChLocality;
    QCheckBox *cbShowBoundary;
    QTableView *dbgSamples;
    DbEdit *dbeSampleNo;

private:
    RecordView &m_view;
};

} // namespace kv
