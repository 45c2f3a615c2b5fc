// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/guard.h"

#include <cstdio>

namespace kv {

void showError(Interaction &ui, const QString &text) noexcept
{
    try {
        ui.error(text);
    } catch (...) {
        // The box could not be shown: say it where a developer will find it, and go on.
        std::fprintf(stderr, "error: %s\n", text.toLocal8Bit().constData());
    }
}

void showFailure(Interaction &ui, const Error &error) noexcept
{
    // Every kind gets the standard error box; the warnings the system gives (a refused post, a number
    // that makes no sense) are shown by the command that knows what they mean, before it stops.
    showError(ui, error.message());
}

} // namespace kv
