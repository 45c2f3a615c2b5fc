// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/interaction.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace kv {

class TfmProcessing;

/// Interaction through message boxes, input and file dialogs, the main window's progress panel and
/// the busy window.
class WidgetInteraction : public Interaction
{
public:
    explicit WidgetInteraction(QWidget *parent) : m_parent(parent) {}

    /// Writes the progress panel and has it painted at once.
    void setProgressPanel(std::function<void(const QString &)> panel) { m_progressPanel = std::move(panel); }
    void setBusyWindow(TfmProcessing *window);

    void information(const QString &text) override;
    void warning(const QString &text) override;
    void error(const QString &text) override;
    void message(const QString &text) override;
    bool askYesNo(const QString &text) override;
    Answer askYesCancel(const QString &text) override;
    std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                     const QString &defaultValue) override;
    std::optional<FileChoice> openFile(const QString &title, const QStringList &filters,
                                       const QString &directory) override;
    std::optional<FileChoice> saveFile(const QString &title, const QStringList &filters,
                                       const QString &directory, const QString &fileName) override;
    void progress(const QString &text) override;
    void busy(const QString &text) override;
    void busyDone() override;

    /// The suffix a save dialog adds for a filter entry: its first pattern's extension.
    static QString defaultSuffixOf(const QString &filter);

private:
    QPointer<QWidget> m_parent;
    QPointer<TfmProcessing> m_busyWindow;
    std::function<void(const QString &)> m_progressPanel;
};

} // namespace kv
