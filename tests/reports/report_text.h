// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What poppler's pdftotext reads from a PDF file: its text in drawing order, and its words with their
// boxes page by page, for the report tests.

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kv::test {

struct PdfWord
{
    QString text;
    double top = 0, bottom = 0; // millimetres from the page's top edge
};

/// The text of a PDF file in the order it was drawn ("-raw"); empty with the tool's message in error.
inline QString pdfText(const QString &path, QString *error = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), QStringLiteral("-enc"),
                                             QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("pdftotext (poppler-utils, scripts/packages.txt) failed: ") +
                     tool.errorString() + QString::fromUtf8(tool.readAllStandardError());
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

/// The words of each page of a PDF file with their boxes ("-bbox").
inline QList<QList<PdfWord>> pdfWords(const QString &path, QString *error = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("pdftotext (poppler-utils, scripts/packages.txt) failed: ") +
                     tool.errorString() + QString::fromUtf8(tool.readAllStandardError());
        return {};
    }
    const QString html = QString::fromUtf8(tool.readAllStandardOutput());
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page [^>]*>|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    constexpr double mmPerPoint = 25.4 / 72;
    QList<QList<PdfWord>> pages;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            pages.append(QList<PdfWord>());
            continue;
        }
        if (pages.isEmpty())
            continue;
        QString text = m.captured(5);
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
            .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        pages.last().append(PdfWord{text, m.captured(2).toDouble() * mmPerPoint, m.captured(4).toDouble() * mmPerPoint});
    }
    return pages;
}

/// Whether the texts appear in the text in this order, each after the one before; the first one
/// missing in `missing`.
inline bool inOrder(const QString &text, const QStringList &parts, QString *missing = nullptr)
{
    qsizetype at = 0;
    for (const QString &part : parts) {
        const qsizetype found = text.indexOf(part, at);
        if (found < 0) {
            if (missing)
                *missing = part;
            return false;
        }
        at = found + part.size();
    }
    return true;
}

} // namespace kv::test
