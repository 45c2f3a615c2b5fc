// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/ui/KVI_About.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace kv::importer {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"AboutBox"_s);
    setWindowTitle(u"About Kelvora Import"_s);
    auto *layout = new QGridLayout(this);
    ProgramIcon = new QLabel(this);
    const QIcon icon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon)
                                                           : QApplication::windowIcon();
    ProgramIcon->setPixmap(icon.pixmap(32, 32));
    ProductName = new QLabel(u"Kelvora Importer"_s, this);
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    ProductName->setFont(bold);
    Version = new QLabel(u"Version "_s + u"1.0.0.0"_s, this);
    Copyright = new QLabel(u"Reads sample localities, raw data, geochronology records"_s, this);
    Comments = new QLabel(u"and unit definitions into the Kelvora results database."_s, this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(ProductName, 0, 1);
    layout->addWidget(Version, 1, 1);
    layout->addWidget(Copyright, 2, 1);
    layout->addWidget(Comments, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kv::importer
