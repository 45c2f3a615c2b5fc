// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace kv {

/// The plot-axes window: which plots the initial-ratio graphs draw, with their variables.
/// Created at start-up and kept for the whole run; its controls come with the plot settings.
class TfmSelDI2 : public QDialog
{
    Q_OBJECT

public:
    explicit TfmSelDI2(QWidget *parent = nullptr);
};

} // namespace kv
