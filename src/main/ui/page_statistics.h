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

/// "Statistics": the regression statistics of the record.
class PageStatistics : public QWidget
{
    Q_OBJECT

public:
    PageStatistics(RecordView &view, QWidget *parent);
};

} // namespace kv
