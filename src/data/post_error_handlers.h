// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dataset.h"

namespace kv {

class Interaction;

/// The handler of the working tables and most lookup datasets: short warnings for integrity,
/// required-field, foreign-key and details errors (the post is abandoned); a key violation discards the
/// pending row and goes on to the caller; everything else goes on untouched.
Dataset::PostErrorHandler firstFormPostErrorHandler(Interaction &ui);

/// The handler of the record datasets: as the first form, and besides a value out of its lookup
/// table is answered with lookupRangeText, and any other engine error is shown as it is before it goes on.
Dataset::PostErrorHandler secondFormPostErrorHandler(
    Interaction &ui, const QString &lookupRangeText = QStringLiteral("Field value out of lookup table range"));

/// SmpLoc's own handler: a key violation names the sample and discards the row; a missing required field
/// abandons the post with a warning; every other error goes on.
Dataset::PostErrorHandler smpLocPostErrorHandler(Interaction &ui);

} // namespace kv
