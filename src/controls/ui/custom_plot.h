// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Include QCustomPlot through this header: qcustomplot.h loops with Qt's foreach in two templates,
// which QT_NO_FOREACH removes, so it gets a plain range-for for the length of the include.
#include <utility>

#if defined(QT_NO_FOREACH) && !defined(foreach)
#define foreach(variable, container) for (variable : std::as_const(container))
#include <qcustomplot.h>
#undef foreach
#else
#include <qcustomplot.h>
#endif
