// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kv {

/// Everything core code asks of the user or shows to the user goes through this interface.
class Interaction
{
public:
    enum class Answer { Yes, No, Cancel };

    struct FileChoice
    {
        QString path;
        int filterIndex = 0; // 0-based index of the filter entry the user chose
    };

    virtual ~Interaction() = default;

    virtual void information(const QString &text) = 0;
    virtual void warning(const QString &text) = 0;
    virtual void error(const QString &text) = 0;
    /// A plain message box without an icon.
    virtual void message(const QString &text) = 0;

    virtual bool askYesNo(const QString &text) = 0;
    /// Returns Yes or Cancel.
    virtual Answer askYesCancel(const QString &text) = 0;
    virtual std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                             const QString &defaultValue) = 0;

    /// Filters are the dialog's entries, e.g. "Excel 97/Excel 8 (*.xls)".
    virtual std::optional<FileChoice> openFile(const QString &title, const QStringList &filters,
                                               const QString &directory) = 0;
    virtual std::optional<FileChoice> saveFile(const QString &title, const QStringList &filters,
                                               const QString &directory, const QString &fileName) = 0;

    /// The progress panel of the main window (panel 1 of its status bar).
    virtual void progress(const QString &text) = 0;
    /// The busy window: shown with a message until busyDone().
    virtual void busy(const QString &text) = 0;
    virtual void busyDone() = 0;
};

} // namespace kv
