// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace kv {

class Interaction;

namespace report {
class Report;
}

/// The report engine's screen preview of a report's pages, from which the user prints them or, with
/// "Save as PDF", writes them to a file. Shown modally; returns when it is closed.
void previewReport(report::Report &report, Interaction &ui, QWidget *parent);

} // namespace kv
