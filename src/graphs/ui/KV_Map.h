// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;
class QTabWidget;

namespace kv {

class ChartView;
struct LocalityMap;

/// "Samples by Locality": the localities by interpretation and by date band, with the query's area
/// outlines. Shows a map the core command filled.
class TfmKVMap : public QDialog
{
    Q_OBJECT

public:
    TfmKVMap(LocalityMap &map, QWidget *parent = nullptr);

    void FormShow();

    QPushButton *bbClose;
    QTabWidget *pc1;
    QWidget *ts1, *ts2;
    ChartView *VtChM1, *VtChM2;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace kv
