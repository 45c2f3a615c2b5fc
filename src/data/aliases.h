// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ini_file.h"

#include <QString>

namespace kv {

/// The named database locations (aliases) connections are bound to, kept in kvaliases.ini of the
/// configuration folder: section "Aliases", one "name=location" line per alias.
class AliasRegistry
{
public:
    /// Reads kvaliases.ini of the configuration folder, writing it with the defaults when it is missing.
    static AliasRegistry load();
    /// Reads (or creates) the given file.
    explicit AliasRegistry(const QString &path);

    const QString &path() const { return m_file.path(); }
    bool contains(const QString &alias) const;
    /// The location of an alias; a DatabaseError naming the alias and the file when it is not defined.
    QString location(const QString &alias) const;
    void setLocation(const QString &alias, const QString &location);
    void save() const;

    /// The aliases a new configuration holds: the results aliases (KVResults, KVLAN30, KVLAN) on the
    /// folder Results30 of the data folder, KVtmp on tmpDB20, KVLocalAcs on the Access ODBC driver.
    static QList<std::pair<QString, QString>> defaults();

private:
    IniFile m_file;
};

} // namespace kv
