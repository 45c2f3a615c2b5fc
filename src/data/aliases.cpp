// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/aliases.h"

#include "core/errors.h"
#include "core/paths.h"
#include "data/installation.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kv {

namespace {
const QString section = u"Aliases"_s;
}

QList<std::pair<QString, QString>> AliasRegistry::defaults()
{
    const DatabaseLocations locations = defaultLocations();
    return {
        {u"KVResults"_s, locations.results},
        {u"KVtmp"_s, locations.working},
        {u"KVLAN30"_s, locations.results},
        {u"KVLAN"_s, locations.results},
        {u"KVLocalAcs"_s, u"odbc:Driver={Microsoft Access Driver (*.mdb, *.accdb)}"_s},
    };
}

AliasRegistry AliasRegistry::load()
{
    return AliasRegistry(configDir() + u"/kvaliases.ini"_s);
}

AliasRegistry::AliasRegistry(const QString &path) : m_file(path)
{
    if (!QFileInfo::exists(path)) {
        for (const auto &[alias, location] : defaults())
            m_file.setValue(section, alias, location);
        m_file.save();
    }
}

bool AliasRegistry::contains(const QString &alias) const
{
    return !m_file.value(section, alias).isEmpty();
}

QString AliasRegistry::location(const QString &alias) const
{
    const QString location = m_file.value(section, alias);
    if (location.isEmpty())
        throw DatabaseError(u"The database alias %1 is not defined in %2."_s.arg(alias, m_file.path()));
    return location;
}

void AliasRegistry::setLocation(const QString &alias, const QString &location)
{
    m_file.setValue(section, alias, location);
}

void AliasRegistry::save() const
{
    m_file.save();
}

} // namespace kv
