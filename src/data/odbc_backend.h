// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database_backend.h"

namespace kv {

/// A database behind an ODBC driver (the Access database of an installation): only what every driver
/// accepts, rows found again by the values read.
class OdbcBackend : public DatabaseBackend
{
public:
    Backend kind() const override { return Backend::ODBC; }
    QString describe(const QString &location) const override;
    QSqlDatabase addDatabase(const QString &location, const QString &qtName, bool create) const override;
    // ODBC drivers differ in what they accept; one row per statement is safe everywhere.
    bool insertsManyRows() const override { return false; }
    bool takesDatabaseFile() const override { return true; }
};

} // namespace kv
