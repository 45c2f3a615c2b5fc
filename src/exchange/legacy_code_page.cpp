// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/legacy_code_page.h"

#include "controls/windows1252.h"

#include <QByteArray>

namespace kv {

bool LegacyCodePage::use(const char *name)
{
    m_decoder = QStringDecoder(name);
    return m_decoder.isValid();
}

bool LegacyCodePage::setCodePage(int codePage)
{
    m_codePage = codePage;
    m_windows1252 = codePage == 1252;
    m_decoder = QStringDecoder();
    if (m_windows1252)
        return true;
    switch (codePage) {
    case 65001: return use("UTF-8");
    case 28591: return use("ISO-8859-1");
    case 932: return use("Shift_JIS");
    case 936: return use("GBK");
    case 949: return use("windows-949");
    case 950: return use("Big5");
    case 10000: return use("macintosh");
    case 10006: return use("x-mac-greek");
    case 10007: return use("x-mac-cyrillic");
    case 10029: return use("x-mac-centraleurroman");
    default: break;
    }
    if (codePage <= 0)
        return false;
    const QByteArray number = QByteArray::number(codePage);
    // DOS code pages are IBM's, the 125x ones Windows'.
    return use(("IBM" + number).constData()) || use(("windows-" + number).constData())
           || use(("cp" + number).constData());
}

bool LegacyCodePage::setCodePageName(const QString &name)
{
    const QString trimmed = name.trimmed();
    bool numeric = false;
    const int number = trimmed.toInt(&numeric);
    if (numeric)
        return setCodePage(number == 88591 ? 28591 : number);
    const QString upper = trimmed.toUpper();
    if (upper.startsWith(u"ISO-8859-") || upper.startsWith(u"ISO8859-")) {
        const int part = upper.section(u'-', -1).toInt(&numeric);
        if (numeric && part >= 1 && part <= 16) {
            m_codePage = 28590 + part;
            m_windows1252 = false;
            return use(("ISO-8859-" + QByteArray::number(part)).constData());
        }
    }
    if (upper == u"LATIN1")
        return setCodePage(28591);
    if (upper == u"UTF-8" || upper == u"UTF8")
        return setCodePage(65001);
    if (upper.startsWith(u"CP") || upper.startsWith(u"ANSI ")) {
        const int cp = upper.mid(upper.startsWith(u"CP") ? 2 : 5).toInt(&numeric);
        if (numeric)
            return setCodePage(cp);
    }
    m_codePage = 0;
    m_windows1252 = false;
    return use(trimmed.toLatin1().constData());
}

QString LegacyCodePage::decode(QByteArrayView bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    if (end >= 0)
        bytes = bytes.first(end);
    if (m_windows1252)
        return fromWindows1252(bytes);
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}

} // namespace kv
