// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

class QPushButton;

namespace kv {

class DbText;
class RecordView;
class TdmSmp;

/// "Data": the raw isotope data of the record's samples (Panel38), shown by "Show data".
class PageData : public QWidget
{
    Q_OBJECT

public:
    PageData(RecordView &view, TdmSmp &smp, QWidget *parent);

    /// Points the panel's labels and edits at the name and value queries (BindRawDataPanel).
    void bind();
    /// Clears them, so that the panel shows nothing (UnbindRawDataPanel).
    void unbind();

    QPushButton *bShowRawIsotopeData;
    QWidget *Panel38;
    DbText *dbtIsoSystemName, *dbtXX, *dbtYY;
    // One per role X, Xerr, Xerrt, Y, Yerr, Yerrt, R: name, value, normalising factor.
    QList<DbText *> dbt, dbe, dbeN;

private:
    TdmSmp &m_smp;
};

} // namespace kv
