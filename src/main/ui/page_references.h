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

/// "References": the reference list, the record's references and its laboratory.
class PageReferences : public QWidget
{
    Q_OBJECT

public:
    PageReferences(RecordView &view, QWidget *parent);
};

} // namespace kv
