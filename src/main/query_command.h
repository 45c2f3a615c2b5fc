// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kv {

class Dataset;
class Interaction;
class QueryDefinition;
class TdmKVResults;

/// The query command and "Re-apply Query": write the definition as the text of Query1 and of the count
/// query, run both through the results data module and keep what the tab shows afterwards (the
/// "Checks" and "Developer" texts, the record count, the state of dependent menu items).
class QueryCommand
{
public:
    QueryCommand(TdmKVResults &dm, Interaction &ui);

    /// The lines of Query1 for a definition, as the query command writes them (the definition as it is
    /// after QueryDefinition::prepareForQuery). Quotes inside key values are doubled.
    static QStringList queryLines(const QueryDefinition &definition);
    /// The count query for a text of Query1's shape: the count select and the from line, then the
    /// lines from the eighth up to the last but one when there are at least nine.
    static QStringList countLines(const QStringList &queryLines);
    /// The count query of a text typed on the "Developer" tab: the text's own rows, counted by
    /// wrapping it (without its final ORDER BY line) as a subquery.
    static QStringList countOfText(const QStringList &queryLines);
    /// Whether "Initial and model ratios (&Grouped)" is enabled after a query: a value in one of rows
    /// 10 to 14 and "&Initial and model ratios" enabled.
    static bool groupedEnabled(const QueryDefinition &definition, bool initialRatiosEnabled);
    /// The lines of a memo's text, as the memo holds them.
    static QStringList memoLines(const QString &text);
    /// The preference level start-up chooses: the second row of PrefLevel in key order.
    static QString startPrefLevel(Dataset &prefLevel);

    /// Whether "&Initial and model ratios" is enabled in the main window (it gates the grouped item).
    void setInitialRatiosEnabled(bool enabled) { m_initialRatiosEnabled = enabled; }

    /// The query command: adjusts the definition as the command does, writes and runs the text.
    /// False when the definition holds a bad date or the engine rejects the text; the message has
    /// been shown, the busy window is closed and the result set is closed and counted as empty.
    bool execute(QueryDefinition &definition);
    /// "Re-apply Query": runs a text edited on the "Developer" tab.
    bool reapply(const QString &developerText);

    int recordCount() const { return m_recordCount; }
    /// The record-count box's text: the count in decimal, empty before the first query.
    const QString &recordCountText() const { return m_recordCountText; }
    /// The "Checks" tab's two memos and the "Developer" tab's editable memo.
    const QString &checksQueryText() const { return m_checksQueryText; }
    const QString &checksCountText() const { return m_checksCountText; }
    const QString &developerText() const { return m_developerText; }
    bool isGroupedEnabled() const { return m_groupedEnabled; }
    /// Whether the record view shows DecayConst2 and SigmaPercentDC2 (the first record's DecayConst2 > 0).
    bool showsSecondDecayConstant() const { return m_showsSecondDecayConstant; }
    /// The engine's message of the last failed run; empty after a success.
    const QString &lastError() const { return m_lastError; }

private:
    void beginRun();
    /// Runs Query1 and the count; on an engine error keeps its message in lastError (shown by the
    /// caller once the busy window is closed).
    bool run(bool typedText);

    TdmKVResults &m_dm;
    Interaction &m_ui;
    bool m_initialRatiosEnabled = true;
    int m_recordCount = 0;
    QString m_recordCountText;
    QString m_checksQueryText;
    QString m_checksCountText;
    QString m_developerText;
    bool m_groupedEnabled = false;
    bool m_showsSecondDecayConstant = false;
    QString m_lastError;
};

} // namespace kv
