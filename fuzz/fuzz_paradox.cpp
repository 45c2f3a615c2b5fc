// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_legacy_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzLegacyTableRead(data, size, "DB", "MB");
}
