// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

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

/// "Stored N rows; M refused." and the first reasons, for the message before "Completed".
QString applySummary(const ApplyResult &result, int reasons = 10);

} // namespace kv
