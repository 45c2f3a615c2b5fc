// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/sheet_generator.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;

namespace kv {

class Connection;
class Interaction;
class LegacyTableModel;
class WorkbookView;

/// "Create spreadsheet": opens a Paradox or dBase table file, or a table of the connected database,
/// shows it, copies it into the spreadsheet (Export) and saves the spreadsheet (Save as). The steps
/// are the core SheetGenerator's; the window enables its controls as they go.
class TfmGenSheet : public QDialog
{
    Q_OBJECT

public:
    /// The results connection lists the database's tables; null when none is open.
    TfmGenSheet(Interaction &ui, Connection *results, QWidget *parent = nullptr);
    ~TfmGenSheet() override;

    SheetGenerator &generator() { return m_generator; }

    void FormShow();
    void bbOpenClick();
    void bbOpenDatabaseClick();
    void bbFillSheetClick();
    void bbSaveSheetClick();
    void sbCloseClick();

    QPushButton *sbClose, *bbOpen, *bbOpenDatabase, *bbFillSheet, *bbSaveSheet;
    QComboBox *cbDatabaseTable;
    QGroupBox *gb2, *gb3;
    QTableView *DBGrid1;
    QLineEdit *eFileName;
    WorkbookView *SprdSheet;
    QStatusBar *StatusBar1;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void tableControlsEnabled(bool enabled);
    void showOpened();

    Interaction &m_ui;
    Connection *m_results;
    SheetGenerator m_generator;
    LegacyTableModel *m_model;
};

} // namespace kv
