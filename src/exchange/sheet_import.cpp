// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/sheet_import.h"

#include "controls/cell_value.h"
#include "controls/workbook_sheet.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/row_writer.h"
#include "importer/staging_table.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The lookup tables the import adds codes to, in the order it adds them: the mapping row's field, the
// table and its code column.
struct Lookup
{
    QString field;
    QString table;
    QString column;
};

const QList<Lookup> &lookups()
{
    static const QList<Lookup> list{
        {u"CountryAbr"_s, u"Country"_s, u"CountryAbr"_s},
        {u"UnitName"_s, u"Suite"_s, u"UnitName"_s},
        {u"Lithology"_s, u"Lithol"_s, u"Lithology"_s},
        {u"InterpAbr"_s, u"Interpretation"_s, u"InterpAbr"_s},
        {u"TechAbr"_s, u"Technique"_s, u"TechAbr"_s},
        {u"IsotopeSystem"_s, u"IsoSystem"_s, u"IsoSystem"_s},
    };
    return list;
}

// Calculated from the stored thousandths wherever the records are shown, so a mapping row naming one of
// them stores nothing; the stored ages come from IAge, IAgePError and IAgeMError.
bool isCalculatedAge(const QString &field)
{
    return field.compare(u"Age"_s, Qt::CaseInsensitive) == 0 ||
           field.compare(u"AgePError"_s, Qt::CaseInsensitive) == 0 ||
           field.compare(u"AgeMError"_s, Qt::CaseInsensitive) == 0;
}

QString cellText(const WorkbookSheet &sheet, int row, int column)
{
    return column >= 1 && column <= WorkbookSheet::MaxColumns ? sheet.text(row, column) : QString();
}

// The cell's numeric value: a number cell's, or the number or date a typed text reads as; nothing for
// an empty cell or a text that is neither.
std::optional<double> cellNumber(const WorkbookSheet &sheet, int row, int column)
{
    if (column < 1 || column > WorkbookSheet::MaxColumns)
        return std::nullopt;
    switch (sheet.kind(row, column)) {
    case CellKind::Number:
        return sheet.number(row, column);
    case CellKind::Text: {
        const QString text = sheet.text(row, column);
        double value = 0;
        if (parseNumberText(text, value) || dateTextToSerial(text.trimmed(), false, value))
            return value;
        return std::nullopt;
    }
    case CellKind::Empty:
        break;
    }
    return std::nullopt;
}

// A number as a field of this type stores it: integers rounded, dates as the spreadsheet's day numbers.
std::optional<QVariant> numberAs(const ColumnDef &column, double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    switch (column.type) {
    case ColumnType::Int16:
    case ColumnType::Int32:
    case ColumnType::AutoInc: {
        const double low = column.type == ColumnType::Int16 ? std::numeric_limits<qint16>::min()
                                                            : std::numeric_limits<qint32>::min();
        const double high = column.type == ColumnType::Int16 ? std::numeric_limits<qint16>::max()
                                                             : std::numeric_limits<qint32>::max();
        const double rounded = std::round(value);
        if (rounded < low || rounded > high)
            return std::nullopt;
        return QVariant(int(rounded));
    }
    case ColumnType::Float:
        return QVariant(value);
    case ColumnType::Date:
        if (value < 1 || value > 2958465)
            return std::nullopt;
        return QVariant(QDate(1899, 12, 30).addDays(qint64(std::floor(value))));
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::FormattedMemo:
        return Schema::cutToWidth(column, generalNumberText(value));
    case ColumnType::Graphic:
        break;
    }
    return std::nullopt;
}

// Re-enables a dataset's controls however the work ends.
class ControlsDisabled
{
public:
    explicit ControlsDisabled(Dataset &dataset) : m_dataset(dataset) { m_dataset.disableControls(); }
    ~ControlsDisabled() { m_dataset.enableControls(); }

private:
    Dataset &m_dataset;
};

void requireOpen(Dataset &dataset)
{
    if (!dataset.isOpen())
        dataset.open();
}

void postOrFail(Dataset &dataset)
{
    if (!dataset.post())
        throw DatabaseError(u"The column mapping could not be stored in KVImpDet."_s);
}

// How often, in rows, the panels are written and the caller asked whether to go on.
constexpr int reportEvery = 1000;

// Stages and checks the range's records in pieces on a thread of its own, a few pieces ahead of the one
// being stored, so that the cells are converted while the database stores the rows before them. The
// thread reads the sheet, fills its own staging tables and checks them; the database is written on the
// caller's thread only.
class PieceStager
{
public:
    using StageRow = std::function<void(StagingTable &, int row)>;
    using Checked = StagedRowsApplier::Checked;
    static constexpr int PieceRows = 2000;
    static constexpr std::size_t PiecesAhead = 8;

    PieceStager(StageRow stageRow, StagedRowsApplier &applier, int from, int to)
        : m_stageRow(std::move(stageRow)), m_applier(applier), m_from(from), m_to(to), m_thread([this] { run(); })
    {
    }
    ~PieceStager()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    PieceStager(const PieceStager &) = delete;
    PieceStager &operator=(const PieceStager &) = delete;

    /// The next piece, in sheet order; none after the last. Throws what staging threw.
    std::optional<Checked> next()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_queue.empty() || m_done; });
        if (!m_queue.empty()) {
            Checked piece = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
            return piece;
        }
        if (m_error)
            std::rethrow_exception(m_error);
        return std::nullopt;
    }

private:
    void run()
    {
        try {
            for (int start = m_from; start <= m_to; start += PieceRows) {
                auto rows = std::make_shared<StagingTable>(u"IsoRgr30"_s, QStringList());
                for (int row = start; row <= std::min(m_to, start + PieceRows - 1); ++row)
                    m_stageRow(*rows, row);
                Checked piece = m_applier.check(std::move(rows));
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_queue.size() < PiecesAhead || m_stop; });
                if (m_stop)
                    break;
                m_queue.push_back(std::move(piece));
                m_changed.notify_all();
            }
        } catch (...) {
            std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
    }

    const StageRow m_stageRow;
    StagedRowsApplier &m_applier;
    const int m_from;
    const int m_to;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Checked> m_queue;
    std::exception_ptr m_error;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread; // last: started once the rest is set up
};

} // namespace

void StripSpaces(QString &text)
{
    qsizetype blank;
    while ((blank = text.indexOf(u' ')) >= 0)
        text.remove(blank, 1);
}

int ColumnLetterToNumber(const QString &letters)
{
    QString s = letters.toUpper();
    StripSpaces(s);
    if (s.isEmpty())
        throw InputError(u"No column letters were entered."_s);
    if (s.size() == 2)
        return (s[0].unicode() - 64) * 26 + (s[1].unicode() - 64);
    return s[0].unicode() - 64;
}

QList<ImportField> importMapping(Dataset &importDet)
{
    requireOpen(importDet);
    QList<ImportField> fields;
    for (importDet.first(); !importDet.eof(); importDet.next())
        fields.append({importDet.text(u"FieldName"_s), importDet.text(u"TN"_s),
                       importDet.text(u"ColumnLet"_s), importDet.value(u"ColumnNo"_s).toInt()});
    importDet.first();
    return fields;
}

void storeImportMapping(Dataset &importDet, const QList<ImportField> &fields)
{
    requireOpen(importDet);
    QHash<QString, const ImportField *> byName;
    for (const ImportField &field : fields)
        byName.insert(field.fieldName.toLower(), &field);
    QSet<QString> offered;
    for (importDet.first(); !importDet.eof(); importDet.next())
        offered.insert(importDet.text(u"FieldName"_s).toLower());
    for (const ImportField &field : fields)
        if (!offered.contains(field.fieldName.toLower()))
            throw InputError(u"KVImpDet offers no field %1 to import."_s.arg(field.fieldName));

    ControlsDisabled disabled(importDet);
    for (importDet.first(); !importDet.eof(); importDet.next()) {
        const ImportField *field = byName.value(importDet.text(u"FieldName"_s).toLower());
        importDet.edit();
        importDet.setValue(u"ColumnLet"_s, field ? field->columnLet.toUpper() : QString());
        if (field)
            importDet.setValue(u"TN"_s, field->tn.toUpper());
        postOrFail(importDet);
    }
    importDet.first();
}

SheetImport::SheetImport(TdmKVResults &dm, Interaction &ui) : m_dm(dm), m_ui(ui) {}

void SheetImport::show(int panel, const QString &text) const
{
    if (status)
        status(panel, text);
}

bool SheetImport::goOn() const
{
    return !keepGoing || keepGoing();
}

std::optional<SheetImportResult> SheetImport::run(const WorkbookSheet &sheet, const QString &fromRow,
                                                  const QString &toRow)
{
    // The range: sheet rows count from 1, and a range holds at least two rows.
    bool ok = false;
    const int from = fromRow.trimmed().toInt(&ok);
    if (!ok || from < 1) {
        m_ui.warning(u"Incorrect value entered for From row"_s);
        return std::nullopt;
    }
    const int to = toRow.trimmed().toInt(&ok);
    if (!ok || to > WorkbookSheet::MaxRows) {
        m_ui.warning(u"Incorrect value entered for To row"_s);
        return std::nullopt;
    }
    if (to <= from) {
        m_ui.warning(u"Incorrect value entered for rows to import"_s);
        return std::nullopt;
    }

    // The column numbers, from the letters as the user typed them; kept in KVImpDet with the mapping.
    Dataset &importDet = *m_dm.ImportDet;
    requireOpen(importDet);
    {
        ControlsDisabled disabled(importDet);
        for (importDet.first(); !importDet.eof(); importDet.next()) {
            const QString letters = importDet.text(u"ColumnLet"_s).toUpper();
            int column = 0;
            try {
                column = ColumnLetterToNumber(letters);
            } catch (const InputError &) {
                column = 0;
            }
            importDet.edit();
            importDet.setValue(u"ColumnLet"_s, letters);
            importDet.setValue(u"ColumnNo"_s, column);
            postOrFail(importDet);
        }
        importDet.first();
    }
    const QList<ImportField> mapping = importMapping(importDet);
    const auto columnOf = [&](const QString &field) {
        for (const ImportField &f : mapping)
            if (f.fieldName == field)
                return f.columnNo;
        return 0;
    };

    Connection &results = m_dm.KVResults;
    const qint64 rows = qint64(to) - from + 1;
    show(1, QString::number(rows));
    SheetImportResult result;
    // Every page the rows touch stays in memory until the commit rather than going to the file twice.
    results.engine().prepareBulkWrite(results);
    Transaction transaction(results);

    // The records, a field per mapping row that names a column of the results table, are staged while
    // the lookups are written.
    struct Mapped
    {
        int field;
        int column;
        bool text;
    };
    const StagingTable shape(u"IsoRgr30"_s, {});
    QList<Mapped> mapped;
    QList<int> written;
    for (const ImportField &f : mapping) {
        const QString type = f.tn.trimmed().toUpper();
        const int field = shape.fieldIndex(f.fieldName);
        if (f.columnNo <= 0 || field < 0 || isCalculatedAge(f.fieldName) ||
            (type != u"T"_s && type != u"N"_s && type != u"D"_s))
            continue;
        mapped.append({field, f.columnNo, type == u"T"_s});
        if (!written.contains(field))
            written << field;
    }
    std::sort(written.begin(), written.end());
    StagedRowsApplier applier(results, shape, written, std::numeric_limits<int>::max() - 1);
    PieceStager stager(
        [&sheet, mapped](StagingTable &staging, int row) {
            staging.append(row);
            for (const Mapped &m : mapped) {
                if (m.text) {
                    staging.setText(m.field, cellText(sheet, row, m.column));
                } else if (const std::optional<double> number = cellNumber(sheet, row, m.column)) {
                    if (const std::optional<QVariant> value = numberAs(staging.table().columns[m.field], *number))
                        staging.setValue(m.field, *value);
                }
            }
            staging.post();
        },
        applier, from, to);

    // Lookups first, so that the records land with their codes known: each new code once, the unit with
    // the area of the first row that names it. Codes already stored stay as they are.
    show(2, u"Updating lookups"_s);
    show(3, QString());
    const int countryColumn = columnOf(u"CountryAbr"_s);
    for (const Lookup &lookup : lookups()) {
        const int column = columnOf(lookup.field);
        if (column <= 0)
            continue;
        show(3, lookup.table);
        const TableDef *table = Schema::table(lookup.table);
        const ColumnDef &code = *table->column(lookup.column);
        const ColumnDef *area = lookup.table == u"Suite"_s ? table->column(u"CountryAbr"_s) : nullptr;
        QSet<QString> known;
        QSqlQuery stored = results.exec(u"select %1 from %2"_s.arg(lookup.column, lookup.table));
        while (stored.next())
            known.insert(stored.value(0).toString());
        QStringList columns{lookup.column};
        if (area)
            columns << area->name;
        RowWriter writer(results, lookup.table, columns);
        for (int row = from; row <= to; ++row) {
            if ((row - from) % reportEvery == 0) {
                show(0, QString::number(row - from + 1));
                if (!goOn()) {
                    result.cancelled = true;
                    break;
                }
            }
            const QString value = cellText(sheet, row, column);
            if (value.trimmed().isEmpty())
                continue; // no code to add: the record's field stays blank too
            const QString key = Schema::cutToWidth(code, value).toString();
            if (known.contains(key))
                continue;
            known.insert(key);
            QVariantList values{key};
            if (area) {
                const QString country = countryColumn > 0 ? cellText(sheet, row, countryColumn) : QString();
                values << (country.trimmed().isEmpty() ? QVariant() : Schema::cutToWidth(*area, country));
            }
            writer.add(values);
        }
        if (result.cancelled)
            break;
        writer.flush();
        result.lookupsAdded.append({lookup.table, writer.count()});
    }

    if (!result.cancelled) {
        show(2, u"Updating data"_s);
        show(3, QString());
        qint64 handled = 0;
        while (const std::optional<StagedRowsApplier::Checked> piece = stager.next()) {
            show(0, QString::number(handled + 1));
            if (!goOn()) {
                result.cancelled = true;
                break;
            }
            if (!applier.store(*piece, [&](qint64 rows) {
                    show(0, QString::number(handled = rows));
                    return goOn();
                }))
                break;
        }
        result.records = applier.result();
        result.cancelled = result.cancelled || result.records.cancelled;
    }

    for (int panel = 0; panel < 4; ++panel)
        show(panel, QString());
    if (result.cancelled) {
        result.records = {};
        result.lookupsAdded.clear();
        m_ui.information(u"The import was cancelled: nothing was stored."_s);
        return result; // the transaction rolls back
    }
    transaction.commit();

    // The lists the windows pick codes from show the new ones.
    for (Dataset *list : {m_dm.Country, m_dm.CountryList, m_dm.Suite, m_dm.SuiteList, m_dm.Lithology,
                          m_dm.Interpretation, m_dm.Technique, m_dm.IsoSys})
        if (list->isOpen())
            list->refresh();

    if (result.records.refusedCount == 0)
        m_ui.information(sheetImportMessage(result));
    else
        m_ui.warning(sheetImportMessage(result));
    return result;
}

QString sheetImportMessage(const SheetImportResult &result, int reasons)
{
    QString text = u"Geochronology records imported\n%1 imported, %2 refused."_s.arg(result.records.stored)
                       .arg(result.records.refusedCount);
    const QList<RefusedRow> &refused = result.records.refused;
    for (int i = 0; i < std::min<qsizetype>(reasons, refused.size()); ++i)
        text += u"\n"_s + refused[i].describe();
    if (result.records.refusedCount > reasons)
        text += u"\n..."_s;
    return text;
}

} // namespace kv
