// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook.h"
#include "importer/KVI_dmResults.h"
#include "importer/import_settings.h"
#include "importer/importer.h"
#include "main/ui/widget_interaction.h"

#include <QMainWindow>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QToolButton;
class QWidget;

namespace kv {

class StagingModel;
class WorkbookView;

/// The importer's main window: a workbook to read, the rows to import, and the four readers.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    /// settingsPath: the importer's settings file. ui, when given, answers instead of the dialogs (tests).
    explicit TForm1(const QString &settingsPath, Interaction *ui = nullptr, QWidget *parent = nullptr);
    ~TForm1() override;

    importer::TdmKVResults dm;
    Importer &commands() { return m_importer; }
    Interaction &interaction() { return *m_ui; }
    /// False when the results database could not be opened at start: the program ends.
    bool started() const { return m_started; }

    QWidget *pnlTop;
    QPushButton *bbExit, *bbReadData;
    QTabWidget *PageControl1;
    QWidget *tsSprdSheets;
    QGroupBox *gbSprdSheetSource, *gbDefineRows, *gbDefineTabSheet, *gbSummary;
    WorkbookView *SprdSheetSource;
    QLineEdit *eFromRow, *eToRow;
    QToolButton *sbFindLastRow;
    QComboBox *cbSheetName;
    QTableView *DBGrid1;
    QToolButton *DBNavFirst, *DBNavPrior, *DBNavNext, *DBNavLast;
    QLabel *sbMain[4];
    QAction *Samplelocalities1, *Rawdata1, *Geochronologyrecords1, *Linkstosamples1, *Unitdefinitions1, *Exit1,
        *About1;

    void FormShow();
    void bbExitClick();
    void About1Click();
    void sbFindLastRowClick();
    void cbSheetNameChange(int index);
    void Samplelocalities1Click();
    void Rawdata1Click();
    void Geochronologyrecords1Click();
    void Unitdefinitions1Click();
    void bbReadDataClick();

signals:
    /// The results database could not be opened at start: the program ends.
    void startFailed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void runReader(SheetReader reader);
    /// Shows what the importer's state is after a command: the workbook, rows, sheets and the grid.
    void showWorkbook();
    void showRows();
    void showStaging();
    void moveGrid(int row);

    QString m_settingsPath;
    ImporterSettings m_settings;
    Workbook m_workbook;
    Importer m_importer;
    WidgetInteraction m_widgetUi;
    Interaction *m_ui;
    StagingModel *m_model;
    bool m_shown = false;
    bool m_started = false;
};

} // namespace kv
