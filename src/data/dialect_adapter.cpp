// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dialect_adapter.h"

#include <QList>
#include <QStringList>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct Token
{
    enum Kind
    {
        Word,
        Quoted,
        Symbol
    } kind;
    qsizetype begin;
    qsizetype end;
    int depth; // parentheses around the token; a parenthesis itself counts as outside
    QString text;

    bool is(const QString &word) const
    {
        return kind == Word && text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(QChar c) const { return kind == Symbol && text.size() == 1 && text[0] == c; }
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Splits a text into words, quoted pieces and symbols, skipping blanks and comments. Nothing for a
// text with an open quote, comment or parenthesis: such a text is left to the engine to reject.
std::optional<QList<Token>> tokenize(const QString &sql)
{
    QList<Token> tokens;
    int depth = 0;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype close = sql.indexOf(u"*/"_s, i + 2);
            if (close < 0)
                return std::nullopt;
            i = close + 2;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar closing = c == u'[' ? u']' : c;
            qsizetype j = i + 1;
            for (;;) {
                if (j >= n)
                    return std::nullopt;
                if (sql[j] == closing) {
                    if (closing != u']' && j + 1 < n && sql[j + 1] == closing) { // a doubled quote
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            tokens << Token{Token::Quoted, i, j + 1, depth, sql.mid(i, j + 1 - i)};
            i = j + 1;
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql[j]))
                ++j;
            tokens << Token{Token::Word, i, j, depth, sql.mid(i, j - i)};
            i = j;
        } else {
            if (c == u')' && --depth < 0)
                return std::nullopt;
            tokens << Token{Token::Symbol, i, i + 1, depth, QString(c)};
            if (c == u'(')
                ++depth;
            ++i;
        }
    }
    if (depth != 0)
        return std::nullopt;
    return tokens;
}

// Splits tokens at the commas outside parentheses.
QList<QList<Token>> splitAtCommas(const QList<Token> &tokens)
{
    QList<QList<Token>> items(1);
    for (const Token &t : tokens) {
        if (t.depth == 0 && t.isSymbol(u','))
            items.append(QList<Token>());
        else
            items.last() << t;
    }
    return items;
}

bool isOneOf(const Token &t, const QStringList &words)
{
    for (const QString &word : words)
        if (t.is(word))
            return true;
    return false;
}

// The names a select list gives its columns ("ISORGR30.CountryAbr" is CountryAbr, "x AS y" is y);
// "*" stands for any name.
QStringList outputNames(const QList<Token> &selectList)
{
    QStringList names;
    for (const QList<Token> &item : splitAtCommas(selectList)) {
        if (item.isEmpty())
            continue;
        const Token &last = item.last();
        if (last.isSymbol(u'*'))
            names << u"*"_s;
        else if (last.kind == Token::Word && last.depth == 0)
            names << last.text.toLower();
        else if (last.kind == Token::Quoted && last.text.startsWith(u'"'))
            names << last.text.mid(1, last.text.size() - 2).toLower();
    }
    return names;
}

} // namespace

QString DialectAdapter::forSqlite(const QString &sql)
{
    const std::optional<QList<Token>> tokenized = tokenize(sql);
    if (!tokenized || tokenized->isEmpty())
        return sql;
    const QList<Token> &tokens = *tokenized;
    if (!tokens.first().is(u"select"_s))
        return sql;

    // Clause boundaries outside parentheses.
    qsizetype from = -1, fromEnd = tokens.size(), order = -1;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.depth != 0)
            continue;
        if (isOneOf(t, {u"union"_s, u"intersect"_s, u"except"_s}))
            return sql; // compound selects are left as written
        if (t.isSymbol(u';') && i + 1 < tokens.size())
            return sql; // more than one statement
        if (from < 0) {
            if (t.is(u"from"_s))
                from = i;
            continue;
        }
        if (fromEnd == tokens.size() &&
            (isOneOf(t, {u"where"_s, u"group"_s, u"having"_s, u"order"_s, u"limit"_s, u"window"_s}) ||
             t.isSymbol(u';')))
            fromEnd = i;
        if (t.is(u"order"_s) && i + 1 < tokens.size() && tokens[i + 1].is(u"by"_s))
            order = i;
    }
    if (from < 0)
        return sql;

    const QList<Token> fromTokens = tokens.mid(from + 1, fromEnd - from - 1);
    if (fromTokens.isEmpty())
        return sql;
    bool explicitJoins = false, nested = false;
    int commas = 0;
    for (const Token &t : fromTokens) {
        explicitJoins = explicitJoins || isOneOf(t, {u"join"_s, u"natural"_s, u"on"_s, u"using"_s});
        nested = nested || t.depth > 0 || t.isSymbol(u'(');
        commas += t.isSymbol(u',') ? 1 : 0;
    }
    // A count wrapped around a text ("select count(*) from (TEXT) alias"): the text inside is what
    // needs its joins in order.
    if (fromTokens.first().isSymbol(u'(')) {
        qsizetype close = 1;
        while (close < fromTokens.size() &&
               !(fromTokens[close].depth == 0 && fromTokens[close].isSymbol(u')')))
            ++close;
        const qsizetype rest = fromTokens.size() - close - 1;
        const bool aliasOnly = rest == 0 || (rest == 1 && fromTokens.last().kind == Token::Word) ||
                               (rest == 2 && fromTokens[close + 1].is(u"as"_s));
        if (close < fromTokens.size() && aliasOnly) {
            const qsizetype begin = fromTokens.first().end, end = fromTokens[close].begin;
            return sql.left(begin) + forSqlite(sql.mid(begin, end - begin)) + sql.mid(end);
        }
    }
    if (commas == 0 && !explicitJoins)
        return sql; // one table: nothing to resolve or to order

    // The ORDER BY to resolve: bare names of the select list, optionally with a direction, at the end.
    qsizetype innerEnd = sql.size();
    QString orderClause;
    if (order >= 0) {
        QList<Token> terms = tokens.mid(order + 2);
        if (!terms.isEmpty() && terms.last().isSymbol(u';'))
            terms.removeLast();
        const QStringList names = outputNames(tokens.mid(1, from - 1));
        bool resolvable = !terms.isEmpty();
        for (const QList<Token> &term : splitAtCommas(terms)) {
            const bool bareName =
                (term.size() == 1 || (term.size() == 2 && isOneOf(term[1], {u"asc"_s, u"desc"_s}))) &&
                term[0].kind == Token::Word && !term[0].text[0].isDigit();
            resolvable =
                resolvable && bareName && (names.contains(term[0].text.toLower()) || names.contains(u"*"_s));
        }
        if (resolvable) {
            innerEnd = tokens[order].begin;
            orderClause = sql.mid(tokens[order].begin, terms.last().end - tokens[order].begin);
        }
    }

    QString inner = sql.left(innerEnd);
    if (!explicitJoins && !nested) {
        QStringList items;
        for (const QList<Token> &item : splitAtCommas(fromTokens)) {
            if (item.isEmpty())
                return sql;
            items << sql.mid(item.first().begin, item.last().end - item.first().begin);
        }
        // The date records lead: every other table is reached from a record through its key.
        QStringList ordered;
        for (const QString &item : items)
            if (item.section(u' ', 0, 0).compare(u"isorgr30"_s, Qt::CaseInsensitive) == 0)
                ordered << item;
        for (const QString &item : items)
            if (!ordered.contains(item))
                ordered << item;
        const qsizetype begin = fromTokens.first().begin;
        const qsizetype end = fromTokens.last().end;
        inner = sql.left(begin) + ordered.join(u" CROSS JOIN "_s) + sql.mid(end, innerEnd - end);
    }
    if (orderClause.isEmpty())
        return inner;
    while (!inner.isEmpty() && inner.back().isSpace())
        inner.chop(1);
    return u"select * from (\n"_s + inner + u"\n) "_s + orderClause;
}

} // namespace kv
