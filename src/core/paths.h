// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kv {

/// The configuration folder: $KELVORA_CONFIG_DIR, else the platform's configuration folder + "/kelvora".
QString configDir();
/// The data folder: $KELVORA_DATA_DIR, else the platform's data folder + "/kelvora".
QString dataDir();

} // namespace kv
