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

/// "Offsets": stratigraphic offsets of units and areas, and the units' GIS identifiers.
class PageOffsets : public QWidget
{
    Q_OBJECT

public:
    PageOffsets(RecordView &view, QWidget *parent);
};

} // namespace kv
