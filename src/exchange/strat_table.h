// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace kv {

class Connection;
class Interaction;
class Workbook;

/// The headings of the stratigraphic table's 18 columns, in order.
const QStringList &stratHeadings();

/// The text of StratQuery: the fields of the table from the ten tables of the query, followed by the
/// current query's own lines after its select and from lines (its extra tables, joins, conditions and
/// order). InputError when the query has no such lines: the ten tables unjoined would be a cross product.
QStringList stratQueryLines(const QStringList &queryLines);

/// File > Export > "&Stratigraphic table": runs the text on a connection (the KVLAN database) and fills
/// the active sheet of the workbook, headings in row 1 and a record per row from row 2: area, unit, their
/// offsets, interpretation, rank, the date and its uncertainties in Ma, the descriptive names and the GIS
/// identifier. Returns the records written; an empty query gives the headings alone.
int fillStratigraphicTable(Connection &connection, const QStringList &stratLines, Workbook &workbook,
                           Interaction &ui);

} // namespace kv
