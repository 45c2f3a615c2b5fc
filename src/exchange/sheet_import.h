// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "importer/apply_step.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace kv {

class Dataset;
class Interaction;
class TdmKVResults;
class WorkbookSheet;

/// Removes every blank from a text, the first one again and again until none is left.
void StripSpaces(QString &text);

/// The spreadsheet column that letters name: "A" 1, "AA" 27, "IV" 256, upper-cased and without blanks.
/// Two characters read as two letters; any other length takes its first character only ("ABC" is 1).
/// Characters below "A" give numbers below 1 ("0" is -16), which leave a field out of the import.
/// InputError for an entry without a character.
int ColumnLetterToNumber(const QString &letters);

/// One row of the import column mapping (KVImpDet): a field of IsoRgr30, its type letter ("T" text,
/// "N" number, "D" date) and its spreadsheet column.
struct ImportField
{
    QString fieldName;
    QString tn;
    QString columnLet;
    int columnNo = 0;
};

/// The mapping as KVImpDet holds it, in table order.
QList<ImportField> importMapping(Dataset &importDet);

/// Sets the mapping as the window's grid does: the fields named get their column letters and type
/// letter, every other field is left out (no column). InputError for a field KVImpDet does not offer.
void storeImportMapping(Dataset &importDet, const QList<ImportField> &fields);

/// What an import did.
struct SheetImportResult
{
    /// Lookup rows added per table, in the order the lookups are made.
    QList<std::pair<QString, qint64>> lookupsAdded;
    ApplyResult records;
    /// Stopped by the caller: nothing was stored.
    bool cancelled = false;
};

/// File > "&Import Excel spreadsheet": every row of a range of a sheet becomes a new record of IsoRgr30,
/// its fields taken from the columns KVImpDet maps; the codes found in the area, unit, lithology,
/// interpretation, technique and isotope-system columns are added to their lookup tables first. Lookups
/// and records go in one transaction: a record the database refuses (a RecordID already stored or
/// given twice, no RecordID) is skipped and named with its sheet row, the others land; a cancelled or
/// failed import leaves the database as it was. The import only appends.
class SheetImport
{
public:
    SheetImport(TdmKVResults &dm, Interaction &ui);

    /// The four panels of the window's status bar: 0 the row within the range, 1 the rows of the range,
    /// 2 the stage or field, 3 the table or cell.
    std::function<void(int panel, const QString &text)> status;
    /// Asked now and then while the import runs; false stops it, storing nothing.
    std::function<bool()> keepGoing;

    /// Imports the rows From..To (the texts of the two edits) of a sheet. Nothing when the range is
    /// refused (the warning told the user why); throws DatabaseError when the import fails as a whole.
    std::optional<SheetImportResult> run(const WorkbookSheet &sheet, const QString &fromRow,
                                         const QString &toRow);

private:
    void show(int panel, const QString &text) const;
    bool goOn() const;

    TdmKVResults &m_dm;
    Interaction &m_ui;
};

/// "Geochronology records imported" with how many were imported and refused, and the first reasons.
QString sheetImportMessage(const SheetImportResult &result, int reasons = 10);

} // namespace kv
