// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/KVI_dmResults.h"

using namespace Qt::StringLiterals;

namespace kv::importer {

TdmKVResults::TdmKVResults() : KVResults(u"KVImportResults"_s) {}

TdmKVResults::~TdmKVResults() = default;

void TdmKVResults::connectTo(const QString &location)
{
    KVResults.close();
    KVResults.bind(location);
    KVResults.open(false, u"SmpData"_s);
}

void TdmKVResults::reconnect()
{
    KVResults.close();
    KVResults.open(false, u"SmpData"_s);
}

void TdmKVResults::closeAll()
{
    cdsImport.reset();
    KVResults.close();
}

} // namespace kv::importer
