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
    if (!dynamic_cast<const InputError *>(&error)) {
        showError(ui, error.message());
        return;
    }
    try {
        ui.warning(error.message());
    } catch (...) {
        std::fprintf(stderr, "warning: %s\n", error.message().toLocal8Bit().constData());
    }
}

} // namespace kv
