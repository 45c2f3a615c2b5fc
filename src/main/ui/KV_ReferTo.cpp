// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_ReferTo.h"

#include "controls/ui/dataset_navigator.h"
#include "data/dataset.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmReferTo::TfmReferTo(Dataset &referTo, QWidget *parent) : QDialog(parent), m_referTo(referTo)
{
    setObjectName(u"fmReferTo"_s);
    setWindowTitle(u"Kelvora Geochronology Database"_s);
    auto *layout = new QVBoxLayout(this);
    Label1 =
        new QLabel(u"Please acknowledge use of this software and database by refering to whichever of the \n"
                   u"following is most appropriate:"_s,
                   this);
    layout->addWidget(Label1);
    DBNavigator1 = new DatasetNavigator(this);
    DBNavigator1->setVisibleButtons(DatasetNavigator::First | DatasetNavigator::Prior |
                                    DatasetNavigator::Next | DatasetNavigator::Last);
    DBNavigator1->setDataset(&referTo);
    layout->addWidget(DBNavigator1);
    DBMemo1 = new QPlainTextEdit(this);
    DBMemo1->setReadOnly(true);
    layout->addWidget(DBMemo1, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    connect(&referTo, &Dataset::afterScroll, this, &TfmReferTo::showRow);
    showRow();
    resize(520, 300);
}

void TfmReferTo::showRow()
{
    DBMemo1->setPlainText(m_referTo.isOpen() && !m_referTo.isEmpty() ? m_referTo.text(u"ReferToMemo"_s)
                                                                     : QString());
}

} // namespace kv
