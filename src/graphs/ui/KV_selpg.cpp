// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_selpg.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmSelPG::TfmSelPG(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"fmSelPG"_s);
    setWindowTitle(u"Select plot groupings"_s);
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addStretch();
    layout->addWidget(buttons);
}

} // namespace kv
