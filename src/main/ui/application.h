// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace kv {

/// The programs' application object. Every handler guards its own work; should an exception still
/// leave one, it stops here, is shown, and the program goes on instead of ending with the user's
/// unposted edits.
class Application : public QApplication
{
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kv
