// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/scripted_interaction.h"

#include <QStringList>
#include <QTextStream>

namespace kv::tool {

/// What a verb of kvtool gets: its arguments (after the verb's own words), the interaction that answers
/// its questions and prints its messages to standard error, and standard output.
struct Context
{
    QStringList args;
    ScriptedInteraction &ui;
    QTextStream &out;

    /// Removes "--name VALUE" (or "--name=VALUE") from args and returns VALUE; the fallback when absent.
    QString option(const QString &name, const QString &fallback = {});
    /// Every value of a repeatable option, removed from args.
    QStringList options(const QString &name);
    /// Removes a flag "--name" from args; true when it was there.
    bool flag(const QString &name);
    /// Fails with a usage error when arguments are left that the verb did not take.
    void expectNoMoreArgs() const;
};

using VerbFunction = int (*)(Context &);

/// Registers a verb, e.g. "calc wmean", with its one-line usage, from a static object in the verb's file.
struct Verb
{
    Verb(const char *words, const char *usage, VerbFunction function);
};

} // namespace kv::tool
