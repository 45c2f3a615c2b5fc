// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/interaction.h"

#include <QList>
#include <QQueue>

namespace kv {

/// Interaction for tests and kvtool: records every message and answers questions from a queue.
class ScriptedInteraction : public Interaction
{
public:
    struct Entry
    {
        QString kind; // "information", "warning", "error", "message", "question", "input", "progress", "busy"
        QString text;
        bool operator==(const Entry &other) const = default;
    };

    /// When echo is on, every entry is also written to standard error as "kind: text".
    explicit ScriptedInteraction(bool echo = false) : m_echo(echo) {}

    /// Answers for the questions, in turn. When the queue is empty, questions get the default answer.
    void queueAnswers(const QList<Answer> &answers) { m_answers.append(answers); }
    void setDefaultAnswer(Answer answer) { m_defaultAnswer = answer; }
    void queueInputs(const QStringList &inputs) { m_inputs.append(inputs); }
    void queueFiles(const QList<FileChoice> &files) { m_files.append(files); }

    const QList<Entry> &entries() const { return m_entries; }
    /// The texts of one kind of entry, in order.
    QStringList texts(const QString &kind) const;
    /// Every entry except progress and busy texts, as "kind: text".
    QStringList messages() const;
    void clear() { m_entries.clear(); }
    bool isBusy() const { return m_busy; }

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

private:
    void record(const QString &kind, const QString &text);
    Answer nextAnswer();

    bool m_echo;
    bool m_busy = false;
    QList<Entry> m_entries;
    QQueue<Answer> m_answers;
    QQueue<QString> m_inputs;
    QQueue<FileChoice> m_files;
    Answer m_defaultAnswer = Answer::No;
};

} // namespace kv
