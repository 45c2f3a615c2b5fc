// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_Seli.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmSelDI2::TfmSelDI2(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"fmSelDI2"_s);
    setWindowTitle(u"Define graphs"_s);
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addStretch();
    layout->addWidget(buttons);
}

} // namespace kv
