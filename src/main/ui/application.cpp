// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/application.h"

#include "core/guard.h"
#include "main/ui/widget_interaction.h"

namespace kv {

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    WidgetInteraction boxes(QApplication::activeWindow());
    guarded(boxes, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kv
