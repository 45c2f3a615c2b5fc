// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/importer.h"

#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "importer/KVI_dmResults.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr int viewScale = 70;

} // namespace

Importer::Importer(importer::TdmKVResults &dm, Workbook &workbook, ImporterSettings &settings)
    : m_dm(dm), m_workbook(workbook), m_settings(settings), m_rowLimits(size_t(workbook.numSheets()), 0)
{
}

int Importer::rowLimit(int sheet) const
{
    return sheet >= 1 && size_t(sheet) <= m_rowLimits.size() ? m_rowLimits[size_t(sheet - 1)] : 0;
}

QStringList Importer::sheetNames() const
{
    QStringList names;
    for (int s = 1; s <= m_workbook.numSheets(); ++s)
        names << m_workbook.sheetName(s);
    return names;
}

bool Importer::openWorkbook(Interaction &ui)
{
    const QStringList filters = workbookDialogFilters();
    const auto choice = ui.openFile(QString(), filters, m_settings.DataImportPath);
    if (!choice)
        return false;
    openWorkbookFile(choice->path, choice->filterIndex == 1 ? FileTypeExcel5 : FileTypeExcel97);
    return true;
}

void Importer::openWorkbookFile(const QString &path, int fileType)
{
    m_workbook.readWorkbook(path, fileType);
    const QFileInfo info(path);
    m_settings.DataImportPath = info.absolutePath();
    m_folder = info.absolutePath();
    m_fileName = info.absoluteFilePath();
    m_workbook.setViewScale(viewScale);
    m_workbook.setRow(1);
    m_workbook.setCol(1);
    // Every sheet gets a row limit, not only the first ten, so a later sheet switches as well.
    m_rowLimits.assign(size_t(m_workbook.numSheets()), m_workbook.maxRow());
    m_currentSheet = m_workbook.sheet();
    if (onWorkbookOpened)
        onWorkbookOpened();
}

int Importer::findLastRow(Interaction &ui)
{
    m_lastDataRow = 0;
    try {
        m_workbook.setViewScale(viewScale);
        m_workbook.setRow(1);
        m_workbook.setCol(1);
        m_workbook.showActiveCell();
        const WorkbookSheet &sheet = m_workbook.sheetAt(m_currentSheet);
        int row = firstDataRow();
        while (row <= WorkbookSheet::MaxRows && !sheet.text(row, 1).isEmpty()) {
            m_lastDataRow = std::max(m_lastDataRow, row);
            ++row;
        }
        if (size_t(m_currentSheet) <= m_rowLimits.size())
            m_rowLimits[size_t(m_currentSheet - 1)] = m_lastDataRow + 1;
    } catch (const std::exception &) {
        m_lastDataRow = 0;
        ui.warning(u"Error reading data for column A"_s);
    }
    if (onLastRowFound)
        onLastRowFound();
    return m_lastDataRow;
}

void Importer::switchSheet(int index, Interaction &ui)
{
    if (index < 0 || index >= m_workbook.numSheets())
        return;
    m_currentSheet = index + 1;
    m_workbook.setSheet(m_currentSheet);
    m_workbook.setViewScale(viewScale);
    findLastRow(ui);
    const int limit = rowLimit(m_currentSheet);
    m_workbook.setMaxRow(limit < 2 ? 10 : limit);
    m_workbook.setRow(1);
    m_workbook.setCol(1);
    m_workbook.showActiveCell();
}

std::optional<ImportOutcome> Importer::runReader(SheetReader reader, Interaction &ui)
{
    m_readDataOffered = false;
    if (!openWorkbook(ui))
        return std::nullopt;
    if (findLastRow(ui) <= 1)
        return std::nullopt;
    if (reader == SheetReader::RawData) {
        m_readDataOffered = true;
        if (onLastRowFound)
            onLastRowFound();
        return std::nullopt;
    }
    return importCurrentSheet(reader, ui);
}

ImportOutcome Importer::importCurrentSheet(SheetReader reader, Interaction &ui)
{
    const SheetReaderInfo &info = sheetReaderInfo(reader);
    ImportOutcome outcome;
    m_readDataOffered = false;
    try {
        m_dm.reconnect();
        m_dm.cdsImport.reset();
        ui.progress(u"Reading data from spreadsheet"_s);
        const WorkbookSheet &sheet = m_workbook.sheetAt(m_currentSheet);
        m_dm.cdsImport = std::make_unique<StagingTable>(
            readSheetRows(sheet, m_lastDataRow, reader, m_workbook.sheetName(m_currentSheet)));
        outcome.read = m_dm.cdsImport->size();
        outcome.removed = cleanStagedRows(*m_dm.cdsImport, reader, ui);
        ui.progress(u"Applying updates"_s);
        outcome.apply = applyStagedRows(m_dm.KVResults, *m_dm.cdsImport);
        if (outcome.apply.overLimit) {
            outcome.failed = true;
            outcome.failure = applySummary(outcome.apply);
            ui.warning(info.failureMessage + u"\n"_s + outcome.failure);
        } else {
            ui.information(applySummary(outcome.apply));
        }
    } catch (const Error &e) {
        outcome.failed = true;
        outcome.failure = e.message();
        outcome.apply = {};
        ui.warning(info.failureMessage + u"\n"_s + e.message());
    }
    ui.progress(u"Completed"_s);
    return outcome;
}

} // namespace kv
