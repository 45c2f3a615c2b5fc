// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

namespace kv {

class Dataset;
class TdmKVResults;

/// One table the lookup editor offers: its caption, the dataset of TdmKVResults shown in the grid, the
/// column its "Find" box searches (empty: none), and the groups shown beside it.
struct LookupTableItem
{
    QString caption;
    QString dataset;
    QString searchField;
    bool showsArea = false;
    bool showsClosureFields = false;
    bool showsReferenceDetails = false;
};

/// The seventeen tables of "Edit Lookup Tables", in the order of its radio group.
const QList<LookupTableItem> &lookupTableItems();

/// Moves the dataset to the first row whose field starts with the text, ignoring case. False (and
/// no move) when no row does or the text is empty.
bool locatePrefix(Dataset &dataset, const QString &field, const QString &text);

/// On show: Suite lists the units of one area only, and every table of the editor is opened; errors
/// leave the affected table closed.
void openLookupEditor(TdmKVResults &dm, const QString &area);
/// The area of the "Area" box: Suite lists its units (none while no area is chosen).
void setUnitArea(TdmKVResults &dm, const QString &area);
/// On close: the editor's tables are closed and Suite lists every unit again.
void closeLookupEditor(TdmKVResults &dm);
/// After the editor has gone, the main window reopens the lookups its boxes read.
void reopenAfterLookupEditor(TdmKVResults &dm);

} // namespace kv
