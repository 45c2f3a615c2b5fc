// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

namespace kv {

class Connection;
class StagingTable;

/// A staged row the database did not take, and why.
struct RefusedRow
{
    int sheetRow = 0;
    QString detail;
    QString reason;
    /// "row 7 (Rb87): ..." as the messages name it.
    QString describe() const;
};

struct ApplyResult
{
    qint64 stored = 0;
    qint64 refusedCount = 0;
    QList<RefusedRow> refused; // in sheet order
    /// More rows were refused than the limit allows: nothing was stored.
    bool overLimit = false;
    /// The progress callback asked to stop: nothing was stored.
    bool cancelled = false;
};

/// Told the rows handled so far after each batch; returning false stops the apply.
using ApplyProgress = std::function<bool(qint64 rowsHandled)>;

/// The most refused rows an apply tolerates before it stores nothing.
inline constexpr int applyErrorLimit = 5000;

/// Appends the staged rows to their table in one transaction. A row the database refuses (a key
/// already stored or given twice, a required field still blank) is skipped with its reason while
/// the others land, each row being undone alone at its own savepoint; beyond maxErrors refused rows
/// the whole apply is rolled back. Any other failure rolls back too and throws DatabaseError.
ApplyResult applyStagedRows(Connection &connection, const StagingTable &staging, int maxErrors = applyErrorLimit);

/// The same inside a transaction the caller holds, so that other rows can land with these or not at
/// all: the rows are stored when the caller commits. After overLimit or cancelled the caller must roll
/// back.
ApplyResult applyStagedRowsWithin(Connection &connection, const StagingTable &staging, int maxErrors,
                                  const ApplyProgress &progress = {});

/// Appends staged rows to their table piece by piece, inside a transaction the caller holds, checking
/// and storing them as applyStagedRowsWithin does one staging table: the keys seen carry over from one
/// piece to the next, so rows staged in pieces (the next while this one is written) are refused and
/// stored exactly as if staged at once.
class StagedRowsApplier
{
public:
    /// shape: a staging table of the target table, giving its columns and required fields; columns:
    /// the staged columns to write, the others left null.
    StagedRowsApplier(Connection &connection, const StagingTable &shape, const QList<int> &columns, int maxErrors);
    ~StagedRowsApplier();
    StagedRowsApplier(const StagedRowsApplier &) = delete;
    StagedRowsApplier &operator=(const StagedRowsApplier &) = delete;

    /// A piece checked, with the values of its statements made: ready to be stored.
    struct Checked
    {
        std::shared_ptr<const StagingTable> rows;
        QList<RefusedRow> refused;            // by the checks, before the database sees them
        std::vector<qsizetype> candidates;    // the rows to store
        std::vector<QVariantList> arrays;     // per batch, where the engine takes rows as arrays
    };

    /// Checks one piece's rows and makes its statements' values. Touches no database: it may run on
    /// another thread than store, one piece at a time, in sheet order.
    Checked check(std::shared_ptr<const StagingTable> piece);
    /// Stores a checked piece; progress is told the rows handled in all pieces so far. False once over
    /// the limit of refused rows or cancelled by progress: the caller must roll back. Throws
    /// DatabaseError for any other failure.
    bool store(const Checked &piece, const ApplyProgress &progress = {});
    /// check and store of a piece at once.
    bool apply(const StagingTable &piece, const ApplyProgress &progress = {});
    /// What the pieces gave so far, refusals in sheet order.
    ApplyResult result() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/// "Stored N rows; M refused." and the first reasons, for the message before "Completed".
QString applySummary(const ApplyResult &result, int reasons = 10);

} // namespace kv
