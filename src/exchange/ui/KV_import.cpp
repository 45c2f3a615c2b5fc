// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ui/KV_import.h"

#include "controls/ui/workbook_view.h"
#include "controls/workbook_format.h"
#include "core/guard.h"
#include "data/dataset.h"
#include "data/dataset_model.h"
#include "data/dmKV.h"
#include "exchange/sheet_import.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The mapping grid: the field name is shown, the type letter and the column letters are typed, in upper
// case.
class ImportDetModel : public DatasetModel
{
public:
    using DatasetModel::DatasetModel;
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        const Qt::ItemFlags flags = DatasetModel::flags(index);
        return index.column() == 0 ? flags & ~Qt::ItemIsEditable : flags;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        return DatasetModel::setData(
            index, role == Qt::EditRole ? QVariant(value.toString().toUpper()) : value, role);
    }
};

} // namespace

TfmKVImport::TfmKVImport(TdmKVResults &dm, Interaction &ui, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_ui(ui)
{
    setObjectName(u"fmKVImport"_s);
    setWindowTitle(u"Import data from spreadsheet to Kelvora"_s);
    setSizeGripEnabled(true);
    resize(1000, 700);
    auto *layout = new QVBoxLayout(this);

    auto *menu = new QMenuBar(this);
    QMenu *file = menu->addMenu(u"&File"_s);
    FileOpenSheet = file->addAction(u"&Open spreadsheet"_s);
    FileImportData = file->addAction(u"&Import data"_s);
    file->addSeparator();
    FileExit = file->addAction(u"E&xit"_s);
    layout->setMenuBar(menu);

    auto *tools = new QHBoxLayout;
    ExitBtn = new QToolButton(this);
    ExitBtn->setObjectName(u"ExitBtn"_s);
    ExitBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ExitBtn->setToolTip(u"Exit"_s);
    bbOpenSheet = new QToolButton(this);
    bbOpenSheet->setObjectName(u"bbOpenSheet"_s);
    bbOpenSheet->setText(u"&Open"_s);
    bbOpenSheet->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    bbOpenSheet->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bbOpenSheet->setToolTip(u"Select spreadsheet"_s);
    tools->addWidget(ExitBtn);
    tools->addWidget(bbOpenSheet);
    tools->addStretch();
    layout->addLayout(tools);

    SprdSheet = new WorkbookView(this);
    SprdSheet->setObjectName(u"SprdSheet"_s);
    SprdSheet->setWorkbook(&m_workbook);
    layout->addWidget(SprdSheet, 1);

    auto *bottom = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    gbDefineRows = new QGroupBox(u"Define rows to import"_s, this);
    gbDefineRows->setObjectName(u"gbDefineRows"_s);
    auto *rows = new QGridLayout(gbDefineRows);
    meFromRow = new QLineEdit(gbDefineRows);
    meFromRow->setObjectName(u"meFromRow"_s);
    meToRow = new QLineEdit(gbDefineRows);
    meToRow->setObjectName(u"meToRow"_s);
    rows->addWidget(new QLabel(u"From row"_s), 0, 0);
    rows->addWidget(meFromRow, 0, 1);
    rows->addWidget(new QLabel(u"To row"_s), 1, 0);
    rows->addWidget(meToRow, 1, 1);
    left->addWidget(gbDefineRows);
    bbImport = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), u"&Import"_s, this);
    bbImport->setObjectName(u"bbImport"_s);
    bbImport->setToolTip(u"Import selected data from spreadsheet"_s);
    left->addWidget(bbImport);
    left->addStretch();
    bottom->addLayout(left);

    pDefine = new QWidget(this);
    pDefine->setObjectName(u"pDefine"_s);
    auto *define = new QVBoxLayout(pDefine);
    define->setContentsMargins(0, 0, 0, 0);
    define->addWidget(new QLabel(u"Specify columns containing data (0=missing)"_s));
    define->addWidget(new QLabel(u"T / N / D indicates text, numeric or date fields"_s));
    gridImportDet = new QTableView(pDefine);
    gridImportDet->setObjectName(u"gridImportDet"_s);
    m_model = new ImportDetModel(m_dm.ImportDet, this);
    m_model->setInteraction(&m_ui);
    m_model->setFields({u"FieldName"_s, u"TN"_s, u"ColumnLet"_s});
    m_model->setTitles({u"Field"_s, u"T / N / D"_s, u"Column"_s});
    gridImportDet->setModel(m_model);
    gridImportDet->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    gridImportDet->verticalHeader()->hide();
    gridImportDet->verticalHeader()->setDefaultSectionSize(gridImportDet->fontMetrics().height() + 6);
    gridImportDet->setMinimumHeight(180);
    define->addWidget(gridImportDet);
    bottom->addWidget(pDefine, 1);
    layout->addLayout(bottom);

    auto *status = new QStatusBar(this);
    status->setObjectName(u"sbImport"_s);
    status->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        sbImport[i] = new QLabel(status);
        sbImport[i]->setObjectName(u"sbImport%1"_s.arg(i));
        sbImport[i]->setMinimumWidth(i < 2 ? 80 : 200);
        status->addWidget(sbImport[i], i < 2 ? 0 : 1);
    }
    layout->addWidget(status);

    const auto exit = [this] { close(); };
    connect(ExitBtn, &QToolButton::clicked, this, exit);
    connect(FileExit, &QAction::triggered, this, exit);
    const auto open = [this] { guarded(m_ui, [this] { bbOpenSheetClick(); }); };
    connect(bbOpenSheet, &QToolButton::clicked, this, open);
    connect(FileOpenSheet, &QAction::triggered, this, open);
    connect(bbImport, &QPushButton::clicked, this,
            [this] { guarded(m_ui, [this] { bbImportClick(true); }); });
    connect(FileImportData, &QAction::triggered, this,
            [this] { guarded(m_ui, [this] { bbImportClick(false); }); });
}

TfmKVImport::~TfmKVImport() = default;

void TfmKVImport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmKVImport::FormShow()
{
    // Nothing to define until a workbook is open.
    if (!m_opened) {
        SprdSheet->hide();
        pDefine->hide();
        gbDefineRows->hide();
        bbImport->hide();
        FileImportData->setEnabled(false);
    }
}

void TfmKVImport::bbOpenSheetClick()
{
    const auto choice = m_ui.openFile(u"Open"_s, workbookDialogFilters(), QString());
    if (!choice)
        return;
    openSheet(choice->path, workbookFileTypeForFilter(choice->filterIndex + 1));
}

void TfmKVImport::openSheet(const QString &path, int fileType)
{
    m_workbook.readWorkbook(path, fileType);
    m_opened = true;
    SprdSheet->show();
    if (!m_dm.ImportDet->isOpen())
        m_dm.ImportDet->open();
    pDefine->show();
    gbDefineRows->show();
    bbImport->show();
    m_workbook.setViewScale(70);
    FileImportData->setEnabled(true);
}

void TfmKVImport::bbImportClick(bool fromButton)
{
    if (m_importing || !FileImportData->isEnabled())
        return;
    // What is being typed in the grid belongs to the mapping.
    gridImportDet->setCurrentIndex({});
    if (m_dm.ImportDet->state() == Dataset::State::Edit || m_dm.ImportDet->state() == Dataset::State::Insert)
        m_dm.ImportDet->post();

    SheetImport command(m_dm, m_ui);
    command.status = [this](int panel, const QString &text) {
        sbImport[panel]->setText(text);
        sbImport[panel]->repaint();
    };
    // The window stays responsive enough to take Exit, which stops the import and stores nothing.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    command.keepGoing = [this, &sinceEvents] {
        if (sinceEvents.elapsed() > 100) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        return !m_cancelRequested;
    };
    m_importing = true;
    m_cancelRequested = false;
    // The mapping, the range and the sheet are read, the sheet by a second thread too: changes now would
    // not be the ones imported.
    const QList<QWidget *> locked{bbImport, pDefine, gbDefineRows, bbOpenSheet, SprdSheet};
    for (QWidget *control : locked)
        control->setEnabled(false);
    FileImportData->setEnabled(false);
    FileOpenSheet->setEnabled(false);
    const auto restore = [this, &locked] {
        m_importing = false;
        for (QWidget *control : locked)
            control->setEnabled(true);
        FileImportData->setEnabled(true);
        FileOpenSheet->setEnabled(true);
        for (QLabel *panel : sbImport)
            panel->clear();
    };
    std::optional<SheetImportResult> result;
    try {
        result = command.run(m_workbook.sheetAt(m_workbook.sheet()), meFromRow->text(), meToRow->text());
    } catch (...) {
        restore();
        throw;
    }
    restore();
    if (fromButton && result && !result->cancelled)
        accept();
}

void TfmKVImport::done(int result)
{
    if (m_importing) {
        m_cancelRequested = true; // the import stops at its next check and the window stays
        return;
    }
    guarded(m_ui, [this] {
        Dataset &importDet = *m_dm.ImportDet;
        if (importDet.state() == Dataset::State::Edit || importDet.state() == Dataset::State::Insert)
            importDet.post();
        importDet.close();
    });
    QDialog::done(result);
}

} // namespace kv
