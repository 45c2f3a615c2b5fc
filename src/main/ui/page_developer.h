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

/// The record part of "Developer": who the record was prepared for.
class PageDeveloper : public QWidget
{
    Q_OBJECT

public:
    PageDeveloper(RecordView &view, QWidget *parent);
    void bbOpenClick();

private:
    RecordView &m_view;
};

} // namespace kv
