// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;

namespace kv {

/// Help > About.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon, *ProductName, *Version, *Comments;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace kv
