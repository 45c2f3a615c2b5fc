// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook.h"

#include <QDialog>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace kv {

class DatasetModel;
class Interaction;
class TdmKVResults;
class WorkbookView;

/// "Import data from spreadsheet to Kelvora": a workbook is opened, the KVImpDet grid says which column
/// holds each field of the results table, and a range of rows is imported as new records.
class TfmKVImport : public QDialog
{
    Q_OBJECT

public:
    TfmKVImport(TdmKVResults &dm, Interaction &ui, QWidget *parent = nullptr);
    ~TfmKVImport() override;

    void FormShow();
    void bbOpenSheetClick();
    /// fromButton: the button closes the window once the import is done, the menu item leaves it open.
    void bbImportClick(bool fromButton);
    /// Opens a workbook already chosen (what the dialog of bbOpenSheetClick leads to).
    void openSheet(const QString &path, int fileType);

    Workbook &workbook() { return m_workbook; }
    bool importing() const { return m_importing; }

    QToolButton *ExitBtn, *bbOpenSheet;
    QGroupBox *gbDefineRows;
    QLineEdit *meFromRow, *meToRow;
    QPushButton *bbImport;
    QWidget *pDefine;
    QTableView *gridImportDet;
    QLabel *sbImport[4];
    WorkbookView *SprdSheet;
    QAction *FileOpenSheet, *FileImportData, *FileExit;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    TdmKVResults &m_dm;
    Interaction &m_ui;
    Workbook m_workbook;
    DatasetModel *m_model = nullptr;
    bool m_opened = false; // a workbook was opened
    bool m_importing = false;
    bool m_cancelRequested = false;
};

} // namespace kv
