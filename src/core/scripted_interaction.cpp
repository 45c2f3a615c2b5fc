// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/scripted_interaction.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kv {

QStringList ScriptedInteraction::texts(const QString &kind) const
{
    QStringList result;
    for (const Entry &entry : m_entries)
        if (entry.kind == kind)
            result << entry.text;
    return result;
}

QStringList ScriptedInteraction::messages() const
{
    QStringList result;
    for (const Entry &entry : m_entries)
        if (entry.kind != u"progress"_s && entry.kind != u"busy"_s)
            result << entry.kind + u": "_s + entry.text;
    return result;
}

void ScriptedInteraction::record(const QString &kind, const QString &text)
{
    m_entries.append({kind, text});
    if (m_echo) {
        const QByteArray line = (kind + u": "_s + text + u'\n').toUtf8();
        std::fputs(line.constData(), stderr);
    }
}

Interaction::Answer ScriptedInteraction::nextAnswer()
{
    return m_answers.isEmpty() ? m_defaultAnswer : m_answers.dequeue();
}

void ScriptedInteraction::information(const QString &text) { record(u"information"_s, text); }
void ScriptedInteraction::warning(const QString &text) { record(u"warning"_s, text); }
void ScriptedInteraction::error(const QString &text) { record(u"error"_s, text); }
void ScriptedInteraction::message(const QString &text) { record(u"message"_s, text); }

bool ScriptedInteraction::askYesNo(const QString &text)
{
    const Answer answer = nextAnswer();
    record(u"question"_s, text + (answer == Answer::Yes ? u" [Yes]"_s : u" [No]"_s));
    return answer == Answer::Yes;
}

Interaction::Answer ScriptedInteraction::askYesCancel(const QString &text)
{
    const Answer answer = nextAnswer() == Answer::Yes ? Answer::Yes : Answer::Cancel;
    record(u"question"_s, text + (answer == Answer::Yes ? u" [Yes]"_s : u" [Cancel]"_s));
    return answer;
}

std::optional<QString> ScriptedInteraction::inputText(const QString &caption, const QString &prompt,
                                                      const QString &defaultValue)
{
    record(u"input"_s, caption + u": "_s + prompt);
    if (m_inputs.isEmpty())
        return defaultValue;
    return m_inputs.dequeue();
}

std::optional<Interaction::FileChoice> ScriptedInteraction::openFile(const QString &title, const QStringList &,
                                                                     const QString &)
{
    record(u"open"_s, title);
    if (m_files.isEmpty())
        return std::nullopt;
    return m_files.dequeue();
}

std::optional<Interaction::FileChoice> ScriptedInteraction::saveFile(const QString &title, const QStringList &,
                                                                     const QString &, const QString &)
{
    record(u"save"_s, title);
    if (m_files.isEmpty())
        return std::nullopt;
    return m_files.dequeue();
}

void ScriptedInteraction::progress(const QString &text) { record(u"progress"_s, text); }

void ScriptedInteraction::busy(const QString &text)
{
    m_busy = true;
    record(u"busy"_s, text);
}

void ScriptedInteraction::busyDone() { m_busy = false; }

} // namespace kv
