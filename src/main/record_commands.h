// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/errors.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace kv {

class Dataset;
class Interaction;
class TdmKVResults;

/// What the new-record dialog holds when OK is pressed: the descriptor codes of the started row and
/// the texts of its date boxes, its "Default d.c." box and its reference box.
struct NewRecordValues
{
    QString CountryAbr = QStringLiteral("UND");
    QString UnitName = QStringLiteral("UNDEFINED");
    QString Lithology = QStringLiteral("Not defined");
    QString MaterialAbr = QStringLiteral("nd");
    QString IsotopeSystem = QStringLiteral("na");
    QString ApproachAbr = QStringLiteral("nd");
    QString TechAbr = QStringLiteral("nd");
    QString MethodAbr = QStringLiteral("R");
    QString InterpAbr = QStringLiteral("nd");
    int PrefLevel = 1;
    QString AgeUnits = QStringLiteral("Ma");
    QString date, plus, minus; // as typed, in Ma
    bool defaultDecayConstants = true;
    QString reference = QStringLiteral("not defined");
};

/// The dialog's private state: the decay constants of the system chosen in its "System" box (0 until
/// that box is used) and their sigma values (always 0).
struct DialogDecayConstants
{
    double DecayConst1 = 0, DecayConst2 = 0, Sigma1 = 0, Sigma2 = 0;
};

/// The largest RecordID in IsoRgr30 plus 1 (1 for an empty table).
int nextRecordID(TdmKVResults &dm);
/// "Get next available RecordID": shows the number.
void showNextRecordID(TdmKVResults &dm, Interaction &ui);

/// Steps 2 to 4 of "New record": opens IsoResults on the new number and inserts its row with the
/// defaults. Returns the new RecordID.
int startNewRecord(TdmKVResults &dm);
/// The decay constants the "System" box takes from the IsoSys row of a system.
DialogDecayConstants decayConstantsOf(TdmKVResults &dm, const QString &isotopeSystem);
/// Reads a date box: the number of thousandths of a Ma, or nothing when the text is no number.
/// InputError for a number beyond 2,000,000 Ma, which the stored thousandths cannot hold.
std::optional<int> thousandthsOf(const QString &text);
/// The dialog's OK on the started row: descriptors, dates, decay constants, post, reference link.
/// Returns false (the failure flag set) when the row could not be stored. When another user took the
/// RecordID meanwhile, the next free number is taken and the row stored under it.
bool acceptNewRecord(TdmKVResults &dm, Interaction &ui, const NewRecordValues &values,
                     const DialogDecayConstants &constants);
/// The dialog's Cancel: the started row is discarded.
void cancelNewRecord(TdmKVResults &dm);
/// Steps 5 and 6 after the dialog closed: group "NEW", reference and laboratory rows when accepted,
/// then IsoResults closed and Query1 refreshed. Returns the RecordID stored, or 0.
int finishNewRecord(TdmKVResults &dm, bool accepted, bool failed);
/// The whole command without a window, for kvtool and tests: accepted false is Cancel.
int newRecord(TdmKVResults &dm, Interaction &ui, const NewRecordValues &values, bool accepted = true);

/// "Delete record": asks, then removes the current record of Query1 and its detail rows in one
/// transaction. Returns true when the record was deleted; a failure leaves everything as it was and
/// is reported.
bool deleteRecord(TdmKVResults &dm, Interaction &ui);

/// "New equivalent record for T(DM)" from the current record. Returns the new RecordID.
int newEquivalentTDM(TdmKVResults &dm, Interaction &ui);

/// "Apply Group Descriptor": a group row for Query1's current record. False when nothing was stored.
bool applyGroupDescriptor(TdmKVResults &dm, Interaction &ui, const QString &grouping);

/// The age boxes of "Form View", by their stored field: IAge, IAgePError or IAgeMError.
/// The shown Age in Ma as stored thousandths, rounded to the nearest, ties to even.
int roundToThousandths(double ma);
/// Leaving an age box: stores the typed value when it differs from what the box showed. False when
/// nothing was stored.
bool ageBoxLeft(TdmKVResults &dm, Interaction &ui, const QString &storedField, const QString &text);
/// Double-clicking an age box: asks for the value and stores it; Cancel stores nothing.
bool ageBoxDoubleClicked(TdmKVResults &dm, Interaction &ui, const QString &storedField);

/// Stores a picture file's own bytes as the graphic of the current image row of the record.
/// Throws FileError when the file cannot be read or holds no picture Kelvora can show.
void importImage(TdmKVResults &dm, const QString &path);
/// Posts QImages and reads the graphic of its current row (empty when none).
QByteArray selectedImage(TdmKVResults &dm);

/// Posts a dataset's pending row, reporting a failure in words a geologist understands. False when
/// nothing was stored.
bool postReported(Dataset &dataset, Interaction &ui);
/// The message for a write the database refused.
QString writeFailureText(const QString &what, const DatabaseError &error);

/// A record navigator's Post: stamps DateString with today's date and posts QResults.
bool postRecord(TdmKVResults &dm, Interaction &ui);
/// Before a command that closes or re-reads the datasets (a query, a tab change, closing the window):
/// posts every row in edit or insert, the record's own row as its Post button does. False, with the
/// refusal shown, when one could not be stored; the command must then stop, so nothing typed is lost.
bool postPendingEdits(TdmKVResults &dm, Interaction &ui);
/// Whether any row of the data module is in edit or insert.
bool hasPendingEdits(const TdmKVResults &dm);

/// Gives a new detail row the record's RecordID and the defaults of its panel (by dataset name).
void setDetailDefaults(TdmKVResults &dm, Dataset &detail);
/// Whether a detail panel has rows for the record: its current RecordID is above 0.
bool detailHasRows(const Dataset &detail);

} // namespace kv
