// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;

namespace kv {

class Dataset;
class DatasetNavigator;
class DbMemo;
class Interaction;

/// The acknowledgement window: the ways to cite the program, one row of ReferTo at a time.
class TfmReferTo : public QDialog
{
    Q_OBJECT

public:
    TfmReferTo(Dataset &referTo, Interaction &ui, QWidget *parent = nullptr);

    QLabel *Label1;
    DatasetNavigator *DBNavigator1;
    DbMemo *DBMemo1;
};

} // namespace kv
