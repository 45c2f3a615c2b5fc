// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/errors.h"
#include "core/interaction.h"

#include <exception>
#include <utility>

namespace kv {

/// Shows an error in the standard error box; never throws, even when the box itself fails.
void showError(Interaction &ui, const QString &text) noexcept;

/// The one place that chooses the box for a failure that reaches a handler: the standard error box
/// with the error's own message. Never throws.
void showFailure(Interaction &ui, const Error &error) noexcept;

/// Runs the work of a Qt slot, virtual function or event handler. Qt's event loop cannot carry an
/// exception: one that leaves a handler ends the program, and with it every edit not yet posted. So
/// each handler runs its work through this one place, which turns whatever was thrown into the error
/// box and lets the program go on. Returns false when the work failed.
template <typename Work> bool guarded(Interaction &ui, Work &&work) noexcept
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const Error &e) {
        showFailure(ui, e);
    } catch (const std::exception &e) {
        showError(ui, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError(ui, QStringLiteral("An unexpected error stopped the command."));
    }
    return false;
}

} // namespace kv
