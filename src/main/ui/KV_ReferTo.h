// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace kv {

class Dataset;
class DatasetNavigator;

/// The acknowledgement window: the ways to cite the program, one row of ReferTo at a time.
class TfmReferTo : public QDialog
{
    Q_OBJECT

public:
    TfmReferTo(Dataset &referTo, QWidget *parent = nullptr);

    QLabel *Label1;
    DatasetNavigator *DBNavigator1;
    QPlainTextEdit *DBMemo1;

private:
    void showRow();

    Dataset &m_referTo;
};

} // namespace kv
