// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/widget_interaction.h"

#include "main/ui/Dlg_Processing.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

QString title()
{
    return QApplication::applicationName();
}

std::optional<Interaction::FileChoice> fileChoice(QFileDialog &dialog, const QStringList &filters)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Interaction::FileChoice{dialog.selectedFiles().constFirst(),
                                   std::max(0, int(filters.indexOf(dialog.selectedNameFilter())))};
}

} // namespace

void WidgetInteraction::setBusyWindow(TfmProcessing *window)
{
    m_busyWindow = window;
}

void WidgetInteraction::information(const QString &text)
{
    QMessageBox::information(m_parent, title(), text);
}

void WidgetInteraction::warning(const QString &text)
{
    QMessageBox::warning(m_parent, title(), text);
}

void WidgetInteraction::error(const QString &text)
{
    QMessageBox::critical(m_parent, title(), text);
}

void WidgetInteraction::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetInteraction::askYesNo(const QString &text)
{
    return QMessageBox::question(m_parent, title(), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

Interaction::Answer WidgetInteraction::askYesCancel(const QString &text)
{
    return QMessageBox::question(m_parent, title(), text, QMessageBox::Yes | QMessageBox::Cancel) ==
                   QMessageBox::Yes
               ? Answer::Yes
               : Answer::Cancel;
}

std::optional<QString> WidgetInteraction::inputText(const QString &caption, const QString &prompt,
                                                    const QString &defaultValue)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, defaultValue, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString WidgetInteraction::defaultSuffixOf(const QString &filter)
{
    // "Excel 97/Excel 8 (*.XLS *.xls)" gives "XLS"; an entry of every file gives none.
    static const QRegularExpression pattern(u"\\*\\.([A-Za-z0-9]+)"_s);
    const QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

std::optional<Interaction::FileChoice>
WidgetInteraction::openFile(const QString &caption, const QStringList &filters, const QString &directory)
{
    QFileDialog dialog(m_parent, caption, directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    return fileChoice(dialog, filters);
}

std::optional<Interaction::FileChoice> WidgetInteraction::saveFile(const QString &caption,
                                                                   const QStringList &filters,
                                                                   const QString &directory,
                                                                   const QString &fileName)
{
    QFileDialog dialog(m_parent, caption, directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    // The dialog adds the chosen entry's suffix to a bare name before it asks about overwriting, so
    // "curves" is checked as the "curves.XLS" that will be written.
    const auto followFilter = [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(defaultSuffixOf(filter));
    };
    followFilter(filters.value(0));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    return fileChoice(dialog, filters);
}

void WidgetInteraction::progress(const QString &text)
{
    if (m_progressPanel)
        m_progressPanel(text);
}

void WidgetInteraction::busy(const QString &text)
{
    if (!m_busyWindow)
        return;
    m_busyWindow->Done = false;
    m_busyWindow->MessageText = text;
    m_busyWindow->show();
    // Let the window appear before the command keeps the thread busy.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WidgetInteraction::busyDone()
{
    if (!m_busyWindow)
        return;
    m_busyWindow->Done = true;
    m_busyWindow->close();
}

} // namespace kv
