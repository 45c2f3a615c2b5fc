// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/ui/KVI_main.h"

#include "controls/ui/workbook_view.h"
#include "core/guard.h"
#include "core/ini_file.h"
#include "importer/ui/KVI_About.h"
#include "importer/ui/staging_model.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TForm1::TForm1(const QString &settingsPath, Interaction *ui, QWidget *parent)
    : QMainWindow(parent), m_settingsPath(settingsPath), m_importer(dm, m_workbook, m_settings), m_widgetUi(this),
      m_ui(ui ? ui : &m_widgetUi)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Kelvora spreadsheet importer"_s);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    pnlTop = new QWidget(central);
    auto *top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(0, 0, 0, 0);
    bbExit = new QPushButton(u"Exit"_s, pnlTop);
    bbExit->setObjectName(u"bbExit"_s);
    bbReadData = new QPushButton(u"Read data"_s, pnlTop);
    bbReadData->setObjectName(u"bbReadData"_s);
    top->addWidget(bbExit);
    top->addWidget(bbReadData);
    top->addStretch();
    layout->addWidget(pnlTop);

    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName(u"PageControl1"_s);
    tsSprdSheets = new QWidget(PageControl1);
    PageControl1->addTab(tsSprdSheets, u"Spreadsheets"_s);
    layout->addWidget(PageControl1, 1);
    layout->addStretch(); // keeps the buttons at the top while the page control is hidden

    auto *page = new QVBoxLayout(tsSprdSheets);
    auto *splitter = new QSplitter(Qt::Vertical, tsSprdSheets);
    page->addWidget(splitter);

    auto *upper = new QWidget(splitter);
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    gbSprdSheetSource = new QGroupBox(u"Source spreadsheet"_s, upper);
    auto *sourceLayout = new QVBoxLayout(gbSprdSheetSource);
    SprdSheetSource = new WorkbookView(gbSprdSheetSource);
    SprdSheetSource->setObjectName(u"SprdSheetSource"_s);
    SprdSheetSource->setWorkbook(&m_workbook);
    sourceLayout->addWidget(SprdSheetSource);
    upperLayout->addWidget(gbSprdSheetSource, 1);

    auto *controls = new QHBoxLayout;
    gbDefineRows = new QGroupBox(u"Define rows to import"_s, upper);
    auto *rows = new QGridLayout(gbDefineRows);
    eFromRow = new QLineEdit(u"2"_s, gbDefineRows);
    eFromRow->setObjectName(u"eFromRow"_s);
    eFromRow->setReadOnly(true); // the first data row is fixed; the box only shows it
    eToRow = new QLineEdit(u"3"_s, gbDefineRows);
    eToRow->setObjectName(u"eToRow"_s);
    eToRow->setReadOnly(true);   // the readers take the row the search finds
    sbFindLastRow = new QToolButton(gbDefineRows);
    sbFindLastRow->setObjectName(u"sbFindLastRow"_s);
    sbFindLastRow->setText(u"..."_s);
    sbFindLastRow->setToolTip(u"Find end of file"_s);
    rows->addWidget(new QLabel(u"From row"_s, gbDefineRows), 0, 0);
    rows->addWidget(eFromRow, 0, 1);
    rows->addWidget(new QLabel(u"To row"_s, gbDefineRows), 1, 0);
    rows->addWidget(eToRow, 1, 1);
    rows->addWidget(sbFindLastRow, 1, 2);
    rows->addWidget(new QLabel(u"Number of rows is based on finding\nvalues in column A"_s, gbDefineRows), 0, 3, 2,
                    1);
    gbDefineTabSheet = new QGroupBox(u"Define sheet from which to import"_s, upper);
    auto *sheetLayout = new QVBoxLayout(gbDefineTabSheet);
    cbSheetName = new QComboBox(gbDefineTabSheet);
    cbSheetName->setObjectName(u"cbSheetName"_s);
    cbSheetName->addItem(u"Sheet1"_s);
    sheetLayout->addWidget(cbSheetName);
    controls->addWidget(gbDefineRows);
    controls->addWidget(gbDefineTabSheet);
    controls->addStretch();
    upperLayout->addLayout(controls);

    gbSummary = new QGroupBox(u"Data table"_s, splitter);
    auto *summary = new QVBoxLayout(gbSummary);
    DBGrid1 = new QTableView(gbSummary);
    DBGrid1->setObjectName(u"DBGrid1"_s);
    m_model = new StagingModel(this);
    DBGrid1->setModel(m_model);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    summary->addWidget(DBGrid1);
    auto *navigator = new QHBoxLayout;
    const auto navButton = [&](const QString &name, QStyle::StandardPixmap icon, const QString &tip) {
        auto *button = new QToolButton(gbSummary);
        button->setObjectName(name);
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        navigator->addWidget(button);
        return button;
    };
    DBNavFirst = navButton(u"DBNavFirst"_s, QStyle::SP_MediaSkipBackward, u"First record"_s);
    DBNavPrior = navButton(u"DBNavPrior"_s, QStyle::SP_MediaSeekBackward, u"Prior record"_s);
    DBNavNext = navButton(u"DBNavNext"_s, QStyle::SP_MediaSeekForward, u"Next record"_s);
    DBNavLast = navButton(u"DBNavLast"_s, QStyle::SP_MediaSkipForward, u"Last record"_s);
    navigator->addStretch();
    summary->addLayout(navigator);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(central);

    for (int i = 0; i < 4; ++i) {
        sbMain[i] = new QLabel(this);
        sbMain[i]->setObjectName(u"sbMainPanel%1"_s.arg(i));
        statusBar()->addWidget(sbMain[i], i == 3 ? 1 : 0);
    }
    statusBar()->setObjectName(u"sbMain"_s);
    m_widgetUi.setProgressPanel([this](const QString &text) {
        sbMain[3]->setText(text);
        sbMain[3]->repaint();
    });

    m_importer.onWorkbookOpened = [this] { showWorkbook(); };
    m_importer.onLastRowFound = [this] {
        showRows();
        eToRow->repaint();
    };

    buildMenus();
    connect(bbExit, &QPushButton::clicked, this, [this] { guarded(*m_ui, [&] { bbExitClick(); }); });
    connect(bbReadData, &QPushButton::clicked, this, [this] { guarded(*m_ui, [&] { bbReadDataClick(); }); });
    connect(sbFindLastRow, &QToolButton::clicked, this, [this] { guarded(*m_ui, [&] { sbFindLastRowClick(); }); });
    connect(cbSheetName, &QComboBox::activated, this,
            [this](int index) { guarded(*m_ui, [&] { cbSheetNameChange(index); }); });
    connect(DBNavFirst, &QToolButton::clicked, this, [this] { moveGrid(0); });
    connect(DBNavPrior, &QToolButton::clicked, this,
            [this] { moveGrid(std::max(0, DBGrid1->currentIndex().row() - 1)); });
    connect(DBNavNext, &QToolButton::clicked, this, [this] { moveGrid(DBGrid1->currentIndex().row() + 1); });
    connect(DBNavLast, &QToolButton::clicked, this, [this] { moveGrid(m_model->rowCount() - 1); });
}

TForm1::~TForm1()
{
    m_model->setStaging(nullptr);
}

void TForm1::buildMenus()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    QMenu *import = file->addMenu(u"&Import"_s);
    Samplelocalities1 = import->addAction(u"Sample localities"_s);
    Rawdata1 = import->addAction(u"Raw data"_s);
    Geochronologyrecords1 = import->addAction(u"Geochronology records"_s);
    Linkstosamples1 = import->addAction(u"Links to samples"_s); // has no action
    Unitdefinitions1 = import->addAction(u"Unit definitions"_s);
    Exit1 = file->addAction(u"E&xit"_s);
    QMenu *help = menuBar()->addMenu(u"&Help"_s);
    About1 = help->addAction(u"&About"_s);
    const auto on = [this](QAction *action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { guarded(*m_ui, [&] { (this->*handler)(); }); });
    };
    on(Samplelocalities1, &TForm1::Samplelocalities1Click);
    on(Rawdata1, &TForm1::Rawdata1Click);
    on(Geochronologyrecords1, &TForm1::Geochronologyrecords1Click);
    on(Unitdefinitions1, &TForm1::Unitdefinitions1Click);
    on(Exit1, &TForm1::bbExitClick);
    on(About1, &TForm1::About1Click);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    guarded(*m_ui, [&] { FormShow(); });
}

void TForm1::FormShow()
{
    PageControl1->setCurrentWidget(tsSprdSheets);
    gbSprdSheetSource->hide();
    gbSummary->hide();
    SprdSheetSource->hide();
    PageControl1->hide();
    m_settings = readImporterSettings(IniFile(m_settingsPath));
    move(m_settings.MainLeft, m_settings.MainTop);
    resize(m_settings.MainWidth, m_settings.MainHeight);
    dm.Session1.setNetFileDir(m_settings.NetFileDir);
    bbReadData->hide();
    try {
        dm.connectTo(m_settings.ResultsPath);
        m_started = true;
    } catch (const Error &e) {
        // Without its database the importer has nothing to do: say why and end.
        m_ui->error(e.message());
        emit startFailed();
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    guarded(*m_ui, [&] {
        if (!m_shown)
            return;
        m_settings.MainLeft = x();
        m_settings.MainTop = y();
        m_settings.MainHeight = height();
        m_settings.MainWidth = width();
        IniFile file(m_settingsPath);
        writeImporterSettings(file, m_settings);
        file.save();
    });
    dm.closeAll();
    m_model->setStaging(nullptr);
    event->accept();
}

void TForm1::bbExitClick()
{
    m_model->setStaging(nullptr);
    dm.closeAll();
    close();
}

void TForm1::About1Click()
{
    importer::TAboutBox box(this);
    box.exec();
}

void TForm1::showWorkbook()
{
    PageControl1->show();
    gbSprdSheetSource->show();
    SprdSheetSource->show();
    gbDefineRows->show();
    const QSignalBlocker blocker(cbSheetName);
    cbSheetName->clear();
    cbSheetName->addItems(m_importer.sheetNames());
    cbSheetName->setCurrentIndex(m_importer.currentSheet() - 1);
}

void TForm1::showRows()
{
    eFromRow->setText(QString::number(m_importer.firstDataRow()));
    eToRow->setText(QString::number(m_importer.lastDataRow()));
    bbReadData->setVisible(m_importer.readDataOffered());
}

void TForm1::showStaging()
{
    m_model->setStaging(dm.cdsImport.get());
    if (dm.cdsImport)
        gbSummary->show();
}

void TForm1::moveGrid(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    DBGrid1->setCurrentIndex(m_model->index(row, 0));
    DBGrid1->scrollTo(DBGrid1->currentIndex());
}

void TForm1::sbFindLastRowClick()
{
    eToRow->clear();
    m_importer.findLastRow(*m_ui);
    showRows();
}

void TForm1::cbSheetNameChange(int index)
{
    m_importer.switchSheet(index, *m_ui);
    showRows();
}

void TForm1::runReader(SheetReader reader)
{
    bbReadData->hide();
    // The grid lets go of the staged rows before the reader replaces them, and shows nothing while
    // the rows are read.
    m_model->setStaging(nullptr);
    const auto finish = qScopeGuard([&] {
        showRows();
        showStaging();
    });
    m_importer.runReader(reader, *m_ui);
}

void TForm1::Samplelocalities1Click()
{
    runReader(SheetReader::Localities);
}

void TForm1::Rawdata1Click()
{
    runReader(SheetReader::RawData);
}

void TForm1::Geochronologyrecords1Click()
{
    runReader(SheetReader::Records);
}

void TForm1::Unitdefinitions1Click()
{
    runReader(SheetReader::Units);
}

void TForm1::bbReadDataClick()
{
    bbReadData->hide();
    m_model->setStaging(nullptr);
    const auto finish = qScopeGuard([&] {
        showRows();
        showStaging();
    });
    m_importer.importCurrentSheet(SheetReader::RawData, *m_ui);
}

} // namespace kv
