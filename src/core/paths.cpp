// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paths.h"

#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace kv {

QString configDir()
{
    const QString fromEnvironment = qEnvironmentVariable("KELVORA_CONFIG_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/kelvora"_s;
}

QString dataDir()
{
    const QString fromEnvironment = qEnvironmentVariable("KELVORA_DATA_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/kelvora"_s;
}

} // namespace kv
