// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace kv {
class Connection;
}

namespace kv::test {

/// The lookup rows that the records of the query fixtures join besides their area, unit, material and
/// isotope system: lithology "granite", approach "A", interpretation "I", technique "T", method "M", and
/// the materials zircon (zr) and biotite (bt).
void insertQueryLookups(Connection &c);

/// A date record of the query fixtures; the rest of the record is granite, A, I, T, M, in Ma.
struct QueryRecord
{
    int id;
    QString country, unit, material, isotopeSystem;
    int iAge;
    int prefLevel;
    QVariant decayConst2 = 0.0;
    QVariant sigmaPercentDC1 = {}; // left empty unless given
};

/// Inserts the records into IsoRgr30.
void insertQueryRecords(Connection &c, const QList<QueryRecord> &records);

} // namespace kv::test
