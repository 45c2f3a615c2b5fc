// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace kv {

/// A number as a spreadsheet shows it in general format: up to 15 significant digits, no trailing
/// zeros, scientific notation ("1E-07", "1.23456789012346E+17") for very small or large magnitudes.
QString generalNumberText(double value);

/// Reads a text as a number the way a spreadsheet takes typed input: optional surrounding blanks and
/// sign, decimal point, optional exponent. False when the text is not a number.
bool parseNumberText(QStringView text, double &value);

/// Days since the spreadsheet epoch (1899-12-30, or 1904-01-01 for 1904 workbooks) of an ISO date or
/// date-time text "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" or a time "HH:MM[:SS]"; false when it is neither.
bool dateTextToSerial(QStringView text, bool epoch1904, double &serial);

} // namespace kv
