// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;
class QStatusBar;

namespace kv {

class Interaction;
class Workbook;
class WorkbookView;

/// "Generate Excel spreadsheet for producing a geochronology stratigraphic table": shows the table the
/// core command filled (the main window runs it) and saves it.
class TfmStrat : public QDialog
{
    Q_OBJECT

public:
    TfmStrat(Workbook &workbook, Interaction &ui, QWidget *parent = nullptr);

    void bbSaveClick();

    QPushButton *bbClose, *bbSave;
    WorkbookView *SprdSheet;
    QStatusBar *StatusBar1;

private:
    Workbook &m_workbook;
    Interaction &m_ui;
};

} // namespace kv
