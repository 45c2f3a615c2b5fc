// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_format.h"

#include <QString>

namespace kv {

class CompoundFileReader;

/// Reads the workbook stream of an Excel 97 (BIFF8) or Excel 5/95 (BIFF5) file, open in the compound
/// file: every worksheet with its name; numbers, texts, booleans (1 and 0), errors (their text, e.g.
/// "#DIV/0!") and the stored results of formulas. Dates stay the serial numbers the cells hold.
/// biffVersion gets 8 or 5. False with a message for an encrypted or damaged workbook.
bool readBiffWorkbook(CompoundFileReader &file, WorkbookSheets &sheets, int &biffVersion, QString &error);

} // namespace kv
