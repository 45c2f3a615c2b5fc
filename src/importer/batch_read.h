// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QTextStream;

namespace kv {

/// `kvimport --read localities|raw|records|units FILE [--sheet N] [--results LOC]`: one reader on one
/// sheet without a window. Prints the rows read, removed by cleaning, stored and refused (with
/// reasons) to out, messages to err as "kind: text"; returns the exit code.
int runBatchRead(const QStringList &arguments, QTextStream &out, QTextStream &err);

/// True when the arguments ask for the batch mode.
bool isBatchRead(const QStringList &arguments);

} // namespace kv
