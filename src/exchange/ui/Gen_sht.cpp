// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ui/Gen_sht.h"

#include "controls/ui/workbook_view.h"
#include "controls/workbook_format.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/connection.h"
#include "exchange/ui/legacy_table_model.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmGenSheet::TfmGenSheet(Interaction &ui, Connection *results, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_results(results)
{
    setObjectName(u"fmGenSheet"_s);
    setWindowTitle(u"Create spreadsheet"_s);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    auto button = [&](const QString &name, const QString &caption, const QString &hint) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setAutoDefault(false);
        top->addWidget(b);
        return b;
    };
    sbClose = button(u"sbClose"_s, u"Close"_s, u"Close window"_s);
    bbOpen = button(u"bbOpen"_s, u"&Open Table"_s, QString());
    // Beyond the table files: any table of the connected database, chosen from the list beside.
    cbDatabaseTable = new QComboBox(this);
    cbDatabaseTable->setObjectName(u"cbDatabaseTable"_s);
    cbDatabaseTable->setMinimumContentsLength(16);
    top->addWidget(cbDatabaseTable);
    bbOpenDatabase = button(u"bbOpenDatabase"_s, u"Open &database table"_s, u"Open the table chosen beside"_s);
    bbFillSheet = button(u"bbFillSheet"_s, u"&Export"_s, QString());
    bbSaveSheet = button(u"bbSaveSheet"_s, u"Save &as"_s, u"Save spread sheet"_s);
    top->addStretch();
    layout->addLayout(top);

    gb2 = new QGroupBox(u"Table selected"_s, this);
    gb2->setObjectName(u"gb2"_s);
    auto *tableLayout = new QVBoxLayout(gb2);
    eFileName = new QLineEdit(u"*.db"_s, gb2);
    eFileName->setObjectName(u"eFileName"_s);
    eFileName->setReadOnly(true);
    tableLayout->addWidget(eFileName);
    DBGrid1 = new QTableView(gb2);
    DBGrid1->setObjectName(u"DBGrid1"_s);
    m_model = new LegacyTableModel(this);
    DBGrid1->setModel(m_model);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    tableLayout->addWidget(DBGrid1);
    layout->addWidget(gb2, 1);

    gb3 = new QGroupBox(u"Spread sheet"_s, this);
    gb3->setObjectName(u"gb3"_s);
    auto *sheetLayout = new QVBoxLayout(gb3);
    SprdSheet = new WorkbookView(gb3);
    SprdSheet->setObjectName(u"SprdSheet"_s);
    SprdSheet->setWorkbook(&m_generator.workbook());
    sheetLayout->addWidget(SprdSheet);
    layout->addWidget(gb3, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(u"StatusBar1"_s);
    layout->addWidget(StatusBar1);

    if (m_results && m_results->isOpen()) {
        guarded(m_ui, [&] { cbDatabaseTable->addItems(exportableTables(*m_results)); });
    }
    cbDatabaseTable->setEnabled(cbDatabaseTable->count() > 0);
    bbOpenDatabase->setEnabled(cbDatabaseTable->count() > 0);

    connect(sbClose, &QPushButton::clicked, this, [this] { sbCloseClick(); });
    connect(bbOpen, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbOpenClick(); }); });
    connect(bbOpenDatabase, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbOpenDatabaseClick(); }); });
    connect(bbFillSheet, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbFillSheetClick(); }); });
    connect(bbSaveSheet, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbSaveSheetClick(); }); });
    resize(1024, 768);
}

TfmGenSheet::~TfmGenSheet()
{
    m_model->setTable(nullptr);
}

void TfmGenSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmGenSheet::tableControlsEnabled(bool enabled)
{
    gb2->setEnabled(enabled);
    bbFillSheet->setEnabled(enabled);
    eFileName->setEnabled(enabled);
    DBGrid1->setEnabled(enabled);
}

void TfmGenSheet::FormShow()
{
    tableControlsEnabled(false);
    gb3->setEnabled(false);
    bbSaveSheet->setEnabled(false);
}

void TfmGenSheet::showOpened()
{
    m_model->setTable(m_generator.table());
    tableControlsEnabled(true);
    gb3->setEnabled(false);
    bbSaveSheet->setEnabled(false);
    eFileName->setText(m_generator.tableName());
    const LegacyTable *table = m_generator.table();
    StatusBar1->showMessage(u"%1: %2 records, %3 fields"_s.arg(table->format)
                                .arg(table->rows.size())
                                .arg(table->fields.size()));
}

void TfmGenSheet::bbOpenClick()
{
    FormShow();
    const auto choice = m_ui.openFile(u"Open"_s, legacyTableDialogFilters(), m_generator.tableFolder);
    if (!choice) {
        if (m_generator.table())
            tableControlsEnabled(true);
        return;
    }
    m_generator.openFile(choice->path);
    showOpened();
}

void TfmGenSheet::bbOpenDatabaseClick()
{
    if (!m_results || cbDatabaseTable->currentText().isEmpty())
        return;
    FormShow();
    m_generator.openDatabaseTable(*m_results, cbDatabaseTable->currentText());
    showOpened();
}

void TfmGenSheet::bbFillSheetClick()
{
    gb3->setEnabled(true);
    bbSaveSheet->setEnabled(true);
    tableControlsEnabled(false);
    m_model->setTable(nullptr); // the table closes once the sheet is filled
    SheetExportResult result;
    try {
        result = m_generator.fill();
    } catch (...) {
        FormShow();
        throw;
    }
    bbOpen->setEnabled(true);
    StatusBar1->showMessage(u"%1 records exported"_s.arg(result.records));
}

void TfmGenSheet::bbSaveSheetClick()
{
    const QString name = m_generator.saveFileName.isEmpty() ? QString()
                         : QFileInfo(m_generator.saveFileName).completeBaseName() + u".XLS"_s;
    const auto choice = m_ui.saveFile(u"Save as"_s, workbookDialogFilters(), m_generator.saveFolder, name);
    if (!choice)
        return;
    const QString path = m_generator.save(choice->path, choice->filterIndex + 1);
    StatusBar1->showMessage(u"Saved %1"_s.arg(path));
}

void TfmGenSheet::sbCloseClick()
{
    close();
}

} // namespace kv
