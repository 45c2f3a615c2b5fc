// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QWidget>

class QLabel;

namespace kv {

class DatasetNavigator;
class DbEdit;
class Interaction;
class TdmKVResults;

/// The shown record's descriptors, age and decay constants, read only, with a navigator over the
/// query's records: what the "Form View" tab shows of a query's result.
class RecordHeaderPanel : public QWidget
{
    Q_OBJECT

public:
    RecordHeaderPanel(Interaction &ui, QWidget *parent = nullptr);

    void attach(TdmKVResults &dm);
    /// The boxes of DecayConst2 and SigmaPercentDC2 are shown only for records with a second constant.
    void showSecondDecayConstant(bool show);

    /// The box of a QResults field; null for a field not shown.
    DbEdit *box(const QString &field) const { return m_boxes.value(field); }
    QLabel *label(const QString &field) const { return m_labels.value(field); }
    /// The record's unit box, focused after a query.
    DbEdit *dbeUnitName;
    DatasetNavigator *dbnRecords;

private:
    QHash<QString, DbEdit *> m_boxes;
    QHash<QString, QLabel *> m_labels;
};

} // namespace kv
