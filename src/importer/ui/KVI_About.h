// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;

namespace kv::importer {

/// The importer's Help > About box.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon, *ProductName, *Version, *Copyright, *Comments;
};

} // namespace kv::importer
