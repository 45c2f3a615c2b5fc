// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QIODevice;

namespace kv {

class Workbook;

/// Writes a workbook as an Excel 97 (BIFF8) or Excel 5 (BIFF5) .xls file: text and number cells of
/// every sheet, with the sheets' names. BIFF8 texts go to a shared string table, BIFF5 texts are LABEL
/// records in Windows-1252. False with a message when the workbook does not fit the format.
bool writeBiffWorkbook(const Workbook &workbook, QIODevice &device, int biffVersion, QString &error);


} // namespace kv
