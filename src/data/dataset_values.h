// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVariant>

namespace kv::dataset {

/// Two field values are the same when both are null, or both are set and equal.
inline bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace kv::dataset
