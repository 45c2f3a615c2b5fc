// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/xml_scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// ASCII by the rules of XML names; every byte of a multi-byte character is taken as a name character.
constexpr bool isNameStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

constexpr bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

constexpr bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The bytes of character data that need a closer look: markup, references, line ends, "]]>", the
// control characters XML forbids and the start of every multi-byte character.
constexpr std::array<bool, 256> textSpecials()
{
    std::array<bool, 256> special{};
    for (int c = 0; c < 0x20; ++c)
        special[std::size_t(c)] = c != '\t' && c != '\n';
    for (int c = 0x80; c < 0x100; ++c)
        special[std::size_t(c)] = true;
    special['<'] = special['&'] = special[']'] = true;
    return special;
}
constexpr std::array<bool, 256> TextSpecial = textSpecials();

} // namespace

XmlScanner::XmlScanner(Source source, qsizetype chunk)
    : m_source(std::move(source)), m_chunk(std::max<qsizetype>(chunk, 1))
{
}

bool XmlScanner::more()
{
    if (m_eof || m_problem != NoProblem)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, std::size_t(m_end - m_pos));
        m_base += m_pos;
        m_end -= m_pos;
        m_pos = 0;
    }
    if (m_end >= MaxToken) {
        fail(TooLong);
        return false;
    }
    if (qsizetype(m_buffer.size()) < m_end + m_chunk)
        m_buffer.resize(std::size_t(m_end + m_chunk));
    const qsizetype n = m_source(m_buffer.data() + m_end, m_chunk);
    if (n < 0) {
        fail(ReadFailed);
        return false;
    }
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_end += std::min(n, m_chunk);
    return true;
}

bool XmlScanner::haveMore(qsizetype k)
{
    while (m_pos + k >= m_end)
        if (!more())
            return false;
    return true;
}

XmlScanner::Token XmlScanner::fail(Problem problem, const char *what)
{
    if (m_problem == NoProblem) {
        m_problem = problem;
        m_errorAt = m_base + m_pos;
        if (what)
            m_message = QString::fromUtf8(what);
    }
    return Invalid;
}

// Out of bytes in the middle of something: a read error already noted, or the document ends early.
XmlScanner::Token XmlScanner::ended()
{
    return fail(EndsEarly);
}

XmlScanner::Token XmlScanner::next()
{
    if (m_problem != NoProblem)
        return Invalid;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        return EndElement;
    }
    if (!m_started) {
        m_started = true;
        if (!sniffEncoding())
            return Invalid;
    }
    for (;;) {
        if (m_pos >= m_end && !more()) {
            if (m_problem != NoProblem)
                return Invalid;
            if (!m_openStarts.empty() || !m_rootSeen)
                return fail(EndsEarly);
            return EndDocument;
        }
        const char c = m_buffer[std::size_t(m_pos)];
        if (c == '<') {
            if (!have(1))
                return ended();
            const char d = m_buffer[std::size_t(m_pos + 1)];
            if (d == '/')
                return endTag();
            if (d == '?') {
                m_pos += 2;
                if (!skipPast("?>"))
                    return ended();
                continue;
            }
            if (d != '!')
                return startTag();
            if (!have(3))
                return ended();
            const QByteArrayView head(m_buffer.data() + m_pos, 4);
            if (head == "<!--") {
                m_pos += 4;
                if (!skipPast("--"))
                    return ended();
                if (!have(0))
                    return ended();
                if (m_buffer[std::size_t(m_pos)] != '>')
                    return fail(Malformed, "\"--\" inside a comment");
                ++m_pos;
                continue;
            }
            if (!have(8))
                return ended();
            if (QByteArrayView(m_buffer.data() + m_pos, 9) == "<![CDATA[") {
                if (m_openStarts.empty())
                    return fail(Malformed, "a CDATA section outside the root element");
                m_pos += 9;
                return cdata();
            }
            if (QByteArrayView(m_buffer.data() + m_pos, 9) == "<!DOCTYPE")
                return fail(Malformed, "a document type declaration, which these parts never hold");
            return fail(Malformed, "a \"<!\" that starts no comment or CDATA section");
        }
        if (m_openStarts.empty()) {
            if (!isSpace(c))
                return fail(Malformed, "text outside the root element");
            ++m_pos;
            continue;
        }
        return characters();
    }
}

XmlScanner::Token XmlScanner::startTag()
{
    qsizetype k = 1;
    if (!isNameStart(m_buffer[std::size_t(m_pos + k)]))
        return fail(Malformed, "a \"<\" that starts no tag");
    if (m_openStarts.empty() && m_rootSeen)
        return fail(Malformed, "a second root element");
    for (;;) {
        if (!have(k))
            return ended();
        if (!isNameChar(m_buffer[std::size_t(m_pos + k)]))
            break;
        ++k;
    }
    const qsizetype nameEnd = k;
    m_attributes.clear();
    bool selfClosing = false;
    const auto skipSpace = [&](bool &any) {
        for (;;) {
            if (!have(k))
                return false;
            if (!isSpace(m_buffer[std::size_t(m_pos + k)]))
                return true;
            ++k;
            any = true;
        }
    };
    for (;;) {
        bool space = false;
        if (!skipSpace(space))
            return ended();
        const char c = m_buffer[std::size_t(m_pos + k)];
        if (c == '>') {
            ++k;
            break;
        }
        if (c == '/') {
            if (!have(k + 1))
                return ended();
            if (m_buffer[std::size_t(m_pos + k + 1)] != '>')
                return fail(Malformed, "a \"/\" inside a tag");
            k += 2;
            selfClosing = true;
            break;
        }
        if (!space || !isNameStart(c))
            return fail(Malformed, "a tag with a bad attribute");
        Attribute a{k, 0, 0, 0, false};
        for (;;) {
            if (!have(k))
                return ended();
            if (!isNameChar(m_buffer[std::size_t(m_pos + k)]))
                break;
            ++k;
        }
        a.nameSize = k - a.name;
        if (!skipSpace(space))
            return ended();
        if (m_buffer[std::size_t(m_pos + k)] != '=')
            return fail(Malformed, "an attribute without a value");
        ++k;
        if (!skipSpace(space))
            return ended();
        const char quote = m_buffer[std::size_t(m_pos + k)];
        if (quote != '"' && quote != '\'')
            return fail(Malformed, "an attribute value without quotes");
        a.value = ++k;
        for (;;) {
            if (!have(k))
                return ended();
            const char v = m_buffer[std::size_t(m_pos + k)];
            if (v == quote)
                break;
            if (v == '<')
                return fail(Malformed, "a \"<\" in an attribute value");
            if (v == '&' || v == '\t' || v == '\n' || v == '\r')
                a.decoded = true;
            ++k;
        }
        a.valueSize = k - a.value;
        ++k;
        const QByteArrayView name(m_buffer.data() + m_pos + a.name, a.nameSize);
        for (const auto &b : m_attributes)
            if (QByteArrayView(m_buffer.data() + m_pos + b.name, b.nameSize) == name)
                return fail(Malformed, "an attribute given twice");
        m_attributes.push_back(a);
    }

    // References and white space in values, resolved now that the whole tag is at hand.
    m_decoded.clear();
    for (auto &a : m_attributes) {
        if (!a.decoded)
            continue;
        const char *v = m_buffer.data() + m_pos + a.value;
        const qsizetype from = qsizetype(m_decoded.size());
        for (qsizetype i = 0; i < a.valueSize; ++i) {
            const char c = v[i];
            if (c == '&') {
                const void *semicolon = std::memchr(v + i, ';', std::size_t(a.valueSize - i));
                if (!semicolon)
                    return fail(Malformed, "an unterminated reference in an attribute value");
                const qsizetype end = static_cast<const char *>(semicolon) - v;
                if (!appendReference(QByteArrayView(v + i + 1, end - i - 1), m_decoded))
                    return Invalid;
                i = end;
            } else if (c == '\r') {
                m_decoded += ' ';
                if (i + 1 < a.valueSize && v[i + 1] == '\n')
                    ++i;
            } else {
                m_decoded += c == '\t' || c == '\n' ? ' ' : c;
            }
        }
        a.value = from;
        a.valueSize = qsizetype(m_decoded.size()) - from;
    }

    const char *name = m_buffer.data() + m_pos + 1;
    const qsizetype nameSize = nameEnd - 1;
    const void *colon = std::memchr(name, ':', std::size_t(nameSize));
    const char *local = colon ? static_cast<const char *>(colon) + 1 : name;
    m_name = QByteArrayView(local, name + nameSize - local);
    m_rootSeen = true;
    m_tag = m_pos;
    m_pos += k;
    if (selfClosing) {
        m_pendingEnd = true;
    } else {
        m_openStarts.push_back(qsizetype(m_open.size()));
        m_open.append(name, std::size_t(nameSize));
    }
    return StartElement;
}

XmlScanner::Token XmlScanner::endTag()
{
    qsizetype k = 2;
    if (!have(k))
        return ended();
    if (!isNameStart(m_buffer[std::size_t(m_pos + k)]))
        return fail(Malformed, "an end tag without a name");
    for (;;) {
        if (!have(k))
            return ended();
        if (!isNameChar(m_buffer[std::size_t(m_pos + k)]))
            break;
        ++k;
    }
    const qsizetype nameEnd = k;
    for (;;) {
        if (!have(k))
            return ended();
        const char c = m_buffer[std::size_t(m_pos + k)];
        if (c == '>')
            break;
        if (!isSpace(c))
            return fail(Malformed, "an end tag with more than a name");
        ++k;
    }
    const char *name = m_buffer.data() + m_pos + 2;
    const QByteArrayView qualified(name, nameEnd - 2);
    if (m_openStarts.empty())
        return fail(Malformed, "an end tag without a start tag");
    const qsizetype top = m_openStarts.back();
    if (QByteArrayView(m_open.data() + top, qsizetype(m_open.size()) - top) != qualified)
        return fail(Malformed, "an end tag that does not match its start tag");
    m_open.resize(std::size_t(top));
    m_openStarts.pop_back();
    const void *colon = std::memchr(name, ':', std::size_t(qualified.size()));
    const char *local = colon ? static_cast<const char *>(colon) + 1 : name;
    m_name = QByteArrayView(local, name + qualified.size() - local);
    m_pos += k + 1;
    return EndElement;
}

XmlScanner::Token XmlScanner::characters()
{
    m_text.clear();
    for (;;) {
        const char *from = m_buffer.data() + m_pos;
        const char *end = m_buffer.data() + m_end;
        const char *p = from;
        while (p < end && !TextSpecial[static_cast<unsigned char>(*p)])
            ++p;
        m_text.append(from, std::size_t(p - from));
        m_pos = p - m_buffer.data();
        if (qsizetype(m_text.size()) > MaxToken)
            return fail(TooLong);
        if (p == end) {
            if (!more())
                return ended();
            continue;
        }
        const char c = *p;
        if (c == '<')
            return Characters;
        if (c == '&') {
            qsizetype k = 1;
            for (;; ++k) {
                if (!have(k))
                    return ended();
                const char r = m_buffer[std::size_t(m_pos + k)];
                if (r == ';')
                    break;
                if (k > 40 || !(isNameChar(r) || r == '#'))
                    return fail(Malformed, "an unterminated entity reference");
            }
            if (!appendReference(QByteArrayView(m_buffer.data() + m_pos + 1, k - 1), m_text))
                return Invalid;
            m_pos += k + 1;
        } else if (c == '\r') {
            m_text += '\n';
            ++m_pos;
            if (!have(0))
                return ended();
            if (m_buffer[std::size_t(m_pos)] == '\n')
                ++m_pos;
        } else if (c == ']') {
            if (!have(2))
                return ended();
            if (m_buffer[std::size_t(m_pos + 1)] == ']' && m_buffer[std::size_t(m_pos + 2)] == '>')
                return fail(Malformed, "\"]]>\" in text");
            m_text += ']';
            ++m_pos;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            if (!appendUtf8Sequence(m_text))
                return Invalid;
        } else {
            return fail(Malformed, "a control character XML does not allow");
        }
    }
}

XmlScanner::Token XmlScanner::cdata()
{
    m_text.clear();
    for (;;) {
        if (!have(0))
            return ended();
        const char c = m_buffer[std::size_t(m_pos)];
        const auto u = static_cast<unsigned char>(c);
        if (!TextSpecial[u] || c == '<' || c == '&') {
            m_text += c;
            ++m_pos;
        } else if (c == ']') {
            if (!have(2))
                return ended();
            if (m_buffer[std::size_t(m_pos + 1)] == ']' && m_buffer[std::size_t(m_pos + 2)] == '>') {
                m_pos += 3;
                return Characters;
            }
            m_text += ']';
            ++m_pos;
        } else if (c == '\r') {
            m_text += '\n';
            ++m_pos;
            if (!have(0))
                return ended();
            if (m_buffer[std::size_t(m_pos)] == '\n')
                ++m_pos;
        } else if (u >= 0x80) {
            if (!appendUtf8Sequence(m_text))
                return Invalid;
        } else {
            return fail(Malformed, "a control character XML does not allow");
        }
        if (qsizetype(m_text.size()) > MaxToken)
            return fail(TooLong);
    }
}

// One multi-byte character, checked: overlong forms, surrogates and stray bytes are no UTF-8.
bool XmlScanner::appendUtf8Sequence(std::string &out)
{
    const auto lead = static_cast<unsigned char>(m_buffer[std::size_t(m_pos)]);
    qsizetype size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        fail(Malformed, "bytes that are not UTF-8");
        return false;
    }
    if (!have(size - 1)) {
        ended();
        return false;
    }
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data() + m_pos);
    for (qsizetype i = 1; i < size; ++i) {
        const unsigned char lo = i == 1 ? low : 0x80;
        const unsigned char hi = i == 1 ? high : 0xBF;
        if (b[i] < lo || b[i] > hi) {
            fail(Malformed, "bytes that are not UTF-8");
            return false;
        }
    }
    // U+FFFE and U+FFFF are no XML characters.
    if (lead == 0xEF && b[1] == 0xBF && b[2] >= 0xBE) {
        fail(Malformed, "a character XML does not allow");
        return false;
    }
    out.append(m_buffer.data() + m_pos, std::size_t(size));
    m_pos += size;
    return true;
}

// The text between "&" and ";".
bool XmlScanner::appendReference(QByteArrayView reference, std::string &out)
{
    if (reference == "lt")
        out += '<';
    else if (reference == "gt")
        out += '>';
    else if (reference == "amp")
        out += '&';
    else if (reference == "quot")
        out += '"';
    else if (reference == "apos")
        out += '\'';
    else if (reference.startsWith('#')) {
        const bool hex = reference.size() > 1 && reference[1] == 'x';
        const QByteArrayView digits = reference.sliced(hex ? 2 : 1);
        char32_t code = 0;
        for (const char d : digits) {
            int value = -1;
            if (d >= '0' && d <= '9')
                value = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                value = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                value = d - 'A' + 10;
            if (value < 0) {
                fail(Malformed, "a bad character reference");
                return false;
            }
            code = code * (hex ? 16 : 10) + char32_t(value);
            if (code > 0x10FFFF)
                break;
        }
        if (digits.isEmpty() || !isXmlChar(code)) {
            fail(Malformed, "a character reference to a character XML does not allow");
            return false;
        }
        appendUtf8(out, code);
    } else {
        fail(Malformed, "a reference to an undeclared entity");
        return false;
    }
    return true;
}

// Passes over everything up to and including `end`, reading on; a comment or a processing instruction
// of any length keeps no more than a chunk in memory.
bool XmlScanner::skipPast(QByteArrayView end)
{
    for (;;) {
        const char *from = m_buffer.data() + m_pos;
        const char *last = m_buffer.data() + m_end;
        const char *found = std::search(from, last, end.begin(), end.end());
        if (found != last) {
            m_pos = found - m_buffer.data() + end.size();
            return true;
        }
        m_pos = std::max(m_pos, m_end - (end.size() - 1));
        if (!more())
            return false;
    }
}

// Excel writes UTF-8, but XML allows any encoding its declaration or a UTF-16 byte order mark names;
// such a part is turned into UTF-8 on the way in.
bool XmlScanner::sniffEncoding()
{
    if (!have(3))
        return m_problem == NoProblem;  // too short for anything but UTF-8
    const auto *b = reinterpret_cast<const unsigned char *>(m_buffer.data() + m_pos);
    QStringDecoder decoder;
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        m_pos += 3;
        return true;
    } else if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == '<' && b[1] == 0 && b[2] == '?' && b[3] == 0)) {
        decoder = QStringDecoder(QStringDecoder::Utf16LE);
    } else if ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == '?')) {
        decoder = QStringDecoder(QStringDecoder::Utf16BE);
    } else if (QByteArrayView(m_buffer.data() + m_pos, 4) == "<?xm") {
        qsizetype k = 4;
        for (; k < 400; ++k) {
            if (!have(k))
                return m_problem == NoProblem;
            if (m_buffer[std::size_t(m_pos + k)] == '>')
                break;
        }
        const QByteArrayView declaration(m_buffer.data() + m_pos, k);
        const qsizetype at = declaration.indexOf("encoding");
        if (at < 0)
            return true;
        qsizetype i = at + 8;
        while (i < k && (isSpace(declaration[i]) || declaration[i] == '='))
            ++i;
        if (i >= k || (declaration[i] != '"' && declaration[i] != '\''))
            return true;
        const char quote = declaration[i];
        const qsizetype close = declaration.indexOf(quote, i + 1);
        if (close < 0)
            return true;
        const QByteArray name = declaration.sliced(i + 1, close - i - 1).toByteArray().toLower();
        if (name == "utf-8" || name == "utf8")
            return true;
        decoder = QStringDecoder(name.constData());
        if (!decoder.isValid()) {
            fail(Malformed, "an encoding that is not known");
            return false;
        }
    } else {
        return true;
    }
    // The bytes read so far go through the decoder first; a byte order mark does not reach the text.
    auto raw = std::make_shared<std::string>(m_buffer.data() + m_pos, std::size_t(m_end - m_pos));
    auto pending = std::make_shared<QByteArray>();
    auto shared = std::make_shared<QStringDecoder>(std::move(decoder));
    m_end = m_pos;
    m_source = [source = std::move(m_source), raw, pending, shared, chunk = m_chunk](char *data, qsizetype capacity) {
        while (pending->isEmpty()) {
            if (raw->empty()) {
                raw->resize(std::size_t(chunk));
                const qsizetype n = source(raw->data(), chunk);
                if (n <= 0)
                    return n;
                raw->resize(std::size_t(n));
            }
            *pending = QString((*shared)(QByteArrayView(raw->data(), qsizetype(raw->size())))).toUtf8();
            raw->clear();
        }
        const qsizetype n = std::min(capacity, pending->size());
        std::memcpy(data, pending->constData(), std::size_t(n));
        pending->remove(0, n);
        return n;
    };
    return true;
}

QByteArrayView XmlScanner::attribute(QByteArrayView qualifiedName) const
{
    const char *tag = m_buffer.data() + m_tag;
    for (const auto &a : m_attributes)
        if (QByteArrayView(tag + a.name, a.nameSize) == qualifiedName)
            return a.decoded ? QByteArrayView(m_decoded.data() + a.value, a.valueSize)
                             : QByteArrayView(tag + a.value, a.valueSize);
    return {};
}

} // namespace kv
