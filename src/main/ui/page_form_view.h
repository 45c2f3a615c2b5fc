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

/// "Form View": the record, editable, and most of its details.
class PageFormView : public QWidget
{
    Q_OBJECT

public:
    PageFormView(RecordView &view, QWidget *parent);
    DatasetNavigator *dbnQuery1;
    QWidget *decayConstant2;
    QTableView *dbgSamples, *dbgGrouping;
};

} // namespace kv
