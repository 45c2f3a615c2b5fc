// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/KV_about.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace kv {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"AboutBox"_s);
    setWindowTitle(u"About Kelvora"_s);
    auto *layout = new QGridLayout(this);
    ProgramIcon = new QLabel(this);
    const QIcon icon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon)
                                                           : QApplication::windowIcon();
    ProgramIcon->setPixmap(icon.pixmap(32, 32));
    ProductName = new QLabel(u"Kelvora"_s, this);
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    ProductName->setFont(bold);
    Version = new QLabel(u"Version 3.0"_s, this);
    Comments = new QLabel(u"Geochronology database viewer. "_s, this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(ProductName, 0, 1);
    layout->addWidget(Version, 1, 1);
    layout->addWidget(Comments, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    // Four parts, as the box always showed them: project version 3.3.0 reads "3.3.0.0".
    QStringList parts = QStringLiteral(KELVORA_VERSION).split(u'.');
    while (parts.size() < 4)
        parts << u"0"_s;
    Version->setText(u"Version "_s + parts.join(u'.'));
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace kv
