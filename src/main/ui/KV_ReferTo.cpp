// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_ReferTo.h"

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "data/dataset.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmReferTo::TfmReferTo(Dataset &referTo, Interaction &ui, QWidget *parent) : QDialog(parent)
{
    setObjectName(u"fmReferTo"_s);
    setWindowTitle(u"Kelvora Geochronology Database"_s);
    auto *layout = new QVBoxLayout(this);
    Label1 =
        new QLabel(u"Please acknowledge use of this software and database by refering to whichever of the \n"
                   u"following is most appropriate:"_s,
                   this);
    layout->addWidget(Label1);
    DBNavigator1 = new DatasetNavigator(ui, this);
    DBNavigator1->setVisibleButtons(DatasetNavigator::First | DatasetNavigator::Prior |
                                    DatasetNavigator::Next | DatasetNavigator::Last);
    DBNavigator1->setDataset(&referTo);
    layout->addWidget(DBNavigator1);
    DBMemo1 = new DbMemo(ui, this);
    DBMemo1->setReadOnly(true);
    DBMemo1->setField(&referTo, u"ReferToMemo"_s);
    layout->addWidget(DBMemo1, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(520, 300);
}

} // namespace kv
