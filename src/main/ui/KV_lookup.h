// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QTableView;
class QTabWidget;
class QToolButton;

namespace kv {

class DatasetModel;
class DatasetNavigator;
class DbMemo;
class Interaction;
class TdmKVResults;

/// "Edit Lookup Tables": one grid over the lookup table chosen in the radio group, with a search box,
/// the areas whose units are listed, the closure-temperature lookups and the reference description.
class TfmLookup : public QDialog
{
    Q_OBJECT

public:
    TfmLookup(TdmKVResults &dm, Interaction &ui, QWidget *parent = nullptr);
    ~TfmLookup() override;

    void FormShow();
    void FormClose();
    void rgTablesClick(int item);
    void eLookupChange(const QString &text);
    void bbClearClick();
    void lbAreaClick();

    /// The area chosen last in this run (empty at start).
    static QString &rememberedArea();

    QButtonGroup *rgTables;
    QGroupBox *gbClosureFields, *gbArea, *gbFind, *gbReference;
    QListWidget *lbArea;
    QLineEdit *eLookup;
    QToolButton *bbClear;
    DbMemo *dbmSourceDes;
    DatasetNavigator *dbnLookup;
    QTableView *dbgLookup;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void showDataset(int item);
    QTableView *grid(QWidget *parent, const QString &dataset);

    TdmKVResults &m_dm;
    Interaction &m_ui;
    int m_item = -1;
    bool m_closed = false;
    DatasetModel *m_model = nullptr;
};

} // namespace kv
