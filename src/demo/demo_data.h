// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

namespace kv {

/// What the demo loader wrote and what it left out.
struct DemoSummary
{
    int datedRecords = 0;    // U-Pb records from the compiled ages
    int skippedNoAge = 0;    // rows of the compilation with an age of 0
    int isochronRecords = 0; // Rb-Sr and Sm-Nd records
    int outlinePoints = 0;   // points of the area outlines
};

/// Fills freshly created results and working databases with the demo: lookup tables, the compiled U-Pb
/// ages of Madagascar, Africa and India as date records, Rb-Sr and Sm-Nd isochron examples with their raw
/// data, and the outlines of southern African countries. The seed files are read from the resources;
/// all rows of a database go in one transaction.
void writeDemoData(Connection &results, Connection &working, DemoSummary *summary = nullptr);

/// Text of a Windows-1252 file; InputError naming the file for a byte the code page leaves undefined.
QString decodeWindows1252(const QByteArray &bytes, const QString &fileName);

/// The rows of a CSV text (comma separated, double quotes, CRLF or LF line ends), header included.
QList<QStringList> parseCsv(const QString &text);

} // namespace kv
