// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace kv {

/// Texts of a legacy table in the code page its header names (DOS 437, 850, Windows 1252, ...).
class LegacyCodePage
{
public:
    /// False when the code page is unknown to this system; the texts are then not readable.
    bool setCodePage(int codePage);
    /// By name, as a .cpg file beside a dBase file gives it ("UTF-8", "1252", "ISO-8859-1", ...).
    bool setCodePageName(const QString &name);
    int codePage() const { return m_codePage; }

    /// The bytes as text, up to the first NUL.
    QString decode(QByteArrayView bytes);

private:
    bool use(const char *name);

    int m_codePage = 1252;
    bool m_windows1252 = true;
    QStringDecoder m_decoder;
};

} // namespace kv
