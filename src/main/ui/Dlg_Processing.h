// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;

namespace kv {

/// The busy window long commands show: their message over a bar that keeps moving until Done.
class TfmProcessing : public QDialog
{
    Q_OBJECT

public:
    explicit TfmProcessing(QWidget *parent = nullptr);

    QString MessageText;
    bool Done = true;

    QProgressBar *ProgressBar1;
    QLabel *Label1;
    QTimer *Timer1;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Timer1Timer();
};

} // namespace kv
