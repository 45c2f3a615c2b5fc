// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace kv {

/// The plot-groupings window: interpretation groups, date bands and the grouping basis of the graphs.
/// Created at start-up and kept for the whole run; its controls come with the plot settings.
class TfmSelPG : public QDialog
{
    Q_OBJECT

public:
    explicit TfmSelPG(QWidget *parent = nullptr);
};

} // namespace kv
