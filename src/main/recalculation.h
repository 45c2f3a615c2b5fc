// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <utility>

namespace kv {

class Connection;
class Interaction;
class TdmKVResults;

/// Which command of Edit > Recalculate runs.
enum class Recalculation { EpsilonGamma, ModelAge, Isochron };
/// The record shown, asking before storing and warning about failed samples; or every record of the
/// query, storing without asking, in one transaction.
enum class RecalculationScope { ThisRecord, AllRecords };

/// One sample row of a record with the value of each role (DataValue times NormalisingFactor), read
/// through the SysVarData row of the record's own isotope system and approach. Empty: no such value.
struct SampleValues
{
    QString SampleNo, Frac;
    bool included = false;
    std::optional<double> X, Xerr, Xerrt, Y, Yerr, Yerrt, R;
};

/// What a recalculation reads of one record.
struct RecalculationInput
{
    int RecordID = 0;
    QString IsotopeSystem, ApproachAbr, InterpAbr;
    double Age = 0; // Ma, IAge times 0.001
    std::optional<double> lambda;                      // DecayConst1 of the system
    std::optional<double> URparam1, URparam2, URparam3; // the uniform reservoir
    std::optional<double> ModelParam1, ModelParam2, ModelParam3;
    QString ModelName;
    bool hasInit = false, hasStatistics = false;
    std::optional<double> InitRatio, InitRatioError, Epsilon, EpsilonError;
    QList<SampleValues> samples;
};

/// What a recalculation did to one record: the fields it stored, in order, or why it stored nothing.
struct RecalculationOutcome
{
    int RecordID = 0;
    QList<std::pair<QString, QVariant>> stored;
    QString reason;
    /// "RecordID N: Field=value ..." or "RecordID N: nothing stored (reason)".
    QString line() const;
};

/// Reads the inputs of the given records with a few set queries (records, initial ratios, statistics,
/// samples with their values), in RecordID order.
QList<RecalculationInput> readRecalculationInputs(Connection &results, const QList<int> &recordIDs);

/// The command for the record Query1 stands on. log receives the lines of the "Checks" tab's memo
/// (the model-age command's timing lines), cleared first.
RecalculationOutcome recalculateThisRecord(TdmKVResults &dm, Interaction &ui, Recalculation what,
                                           QStringList *log = nullptr);
/// The command for every record of the query (Query1's SQL text), in one transaction: a failure
/// half-way stores nothing and is reported. Outcomes in the query's order.
QList<RecalculationOutcome> recalculateAllRecords(TdmKVResults &dm, Interaction &ui, Recalculation what,
                                                  QStringList *log = nullptr);
/// The command on the given records (for tests and kvtool): the scope decides questions and warnings.
QList<RecalculationOutcome> recalculateRecords(Connection &results, Interaction &ui, Recalculation what,
                                               RecalculationScope scope, const QList<int> &recordIDs,
                                               QStringList *log = nullptr);

/// What Edit > "Convert to current decay constants" did to the record shown.
struct DecayConversion
{
    bool converted = false;
    QString reason; // why nothing changed
    int oldIAge = 0, newIAge = 0;
    double oldDecayConst1 = 0, newDecayConst1 = 0;
};
/// A sample's errors of X and Y as the recalculations use them: an error of type 1 is a percentage of its
/// value, and an error that is not positive is raised to 0.00001.
std::pair<double, double> absoluteErrors(const SampleValues &s, double x, double y, double sx, double sy);
/// Ma in stored thousandths, halves to even; nothing when the value does not fit the age field.
std::optional<int> ageThousandths(double ma);

/// Rescales the shown record's age to the decay constant its isotope system holds now, keeping λ·t.
DecayConversion convertToCurrentDecayConstants(TdmKVResults &dm, Interaction &ui);

} // namespace kv
