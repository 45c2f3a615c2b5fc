// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/Dlg_Processing.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmProcessing::TfmProcessing(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(u"fmProcessing"_s);
    setWindowTitle(u"Busy processing ...."_s);
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    layout->addWidget(ProgressBar1);
    Label1 = new QLabel(u"Calculating ..."_s, this);
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    setFixedSize(353, 56);
    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TfmProcessing::Timer1Timer);
}

void TfmProcessing::showEvent(QShowEvent *event)
{
    Label1->setText(MessageText);
    ProgressBar1->setValue(ProgressBar1->minimum());
    if (QWidget *owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    Timer1->start();
    QDialog::showEvent(event);
}

void TfmProcessing::hideEvent(QHideEvent *event)
{
    Timer1->stop();
    QDialog::hideEvent(event);
}

void TfmProcessing::Timer1Timer()
{
    if (Done) {
        Timer1->stop();
        return;
    }
    // The bar only shows that the program is alive; it starts again once full.
    const int value = ProgressBar1->value() + 1;
    ProgressBar1->setValue(value > ProgressBar1->maximum() ? ProgressBar1->minimum() : value);
}

} // namespace kv
