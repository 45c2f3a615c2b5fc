// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace kv {

/// A pull scanner over an XML document in UTF-8, read a chunk at a time, for the large parts of .xlsx
/// workbooks (sheets, shared strings), where decoding every token to UTF-16 cost most of the read.
/// A part in another encoding (a UTF-16 byte order mark, an encoding in the declaration) is converted
/// to UTF-8 as it is read. Elements are named by their local name (any prefix dropped); character data comes with references,
/// CDATA sections and line ends resolved; comments, processing instructions and the XML declaration
/// are passed over. A document type declaration is refused: these parts never hold one, and no entity
/// beyond the five predefined ones is ever expanded. Texts are handed out as decoded UTF-8 bytes.
class XmlScanner
{
public:
    /// Fills up to `capacity` bytes and returns their count: 0 at the end, negative on a read error.
    using Source = std::function<qsizetype(char *data, qsizetype capacity)>;
    enum Token { StartElement, EndElement, Characters, EndDocument, Invalid };
    enum Problem { NoProblem, Malformed, EndsEarly, TooLong, ReadFailed };

    /// The longest single tag or run of characters held at once: beyond it the document is refused
    /// (TooLong), so that a damaged part cannot fill the memory.
    static constexpr qsizetype MaxToken = qsizetype(4) << 20;

    explicit XmlScanner(Source source, qsizetype chunk = qsizetype(1) << 16);

    /// The next token; a self-closing element gives a StartElement and an EndElement. After Invalid
    /// every call returns Invalid again.
    Token next();

    /// The local name of the current start or end element.
    QByteArrayView name() const { return m_name; }
    /// The decoded value of the current start element's attribute of that name; empty when absent.
    QByteArrayView attribute(QByteArrayView qualifiedName) const;
    /// The decoded characters of the current Characters token.
    QByteArrayView text() const { return m_text; }

    Problem problem() const { return m_problem; }
    /// What is wrong with a Malformed document, and the byte of the document where it was found.
    QString errorString() const { return m_message; }
    qint64 errorOffset() const { return m_errorAt; }

private:
    struct Attribute
    {
        qsizetype name;
        qsizetype nameSize;
        qsizetype value;  // into the tag, or into m_decoded when decoded
        qsizetype valueSize;
        bool decoded;
    };

    bool sniffEncoding();
    bool more();
    // Whether the byte k places after the current one has been read, reading on as needed.
    bool have(qsizetype k) { return m_pos + k < m_end || haveMore(k); }
    bool haveMore(qsizetype k);
    Token fail(Problem problem, const char *what = nullptr);
    Token ended();
    Token startTag();
    Token endTag();
    Token characters();
    Token cdata();
    bool skipPast(QByteArrayView end);
    bool appendReference(QByteArrayView reference, std::string &out);
    bool appendUtf8Sequence(std::string &out);

    Source m_source;
    qsizetype m_chunk;
    std::vector<char> m_buffer;
    qsizetype m_pos = 0;  // the next unread byte
    qsizetype m_end = 0;  // the end of the bytes read
    qint64 m_base = 0;    // the document offset of m_buffer[0]
    bool m_eof = false;
    bool m_started = false;
    bool m_rootSeen = false;
    bool m_pendingEnd = false;

    Problem m_problem = NoProblem;
    QString m_message;
    qint64 m_errorAt = 0;

    QByteArrayView m_name;
    qsizetype m_tag = 0;  // where the current start tag begins in m_buffer
    std::vector<Attribute> m_attributes;
    std::string m_decoded;
    std::string m_text;
    std::string m_open;  // the qualified names of the open elements, one after the other
    std::vector<qsizetype> m_openStarts;
};

} // namespace kv
