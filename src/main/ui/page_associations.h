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

/// "Associations": provinces, terranes, orogenic periods and chemical types of the record.
class PageAssociations : public QWidget
{
    Q_OBJECT

public:
    PageAssociations(RecordView &view, QWidget *parent);
};

} // namespace kv
