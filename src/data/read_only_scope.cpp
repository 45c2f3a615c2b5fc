// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/read_only_scope.h"

#include "data/connection.h"

using namespace Qt::StringLiterals;

namespace kv {

ReadOnlyScope::ReadOnlyScope(Connection &connection) : m_connection(connection)
{
    switch (m_connection.backend()) {
    case Backend::SQLite:
        m_connection.exec(u"PRAGMA query_only = ON"_s);
        break;
    case Backend::PostgreSQL:
        m_connection.begin();
        try {
            m_connection.exec(u"SET TRANSACTION READ ONLY"_s);
        } catch (...) {
            m_connection.rollback();
            throw;
        }
        break;
    default:
        // ODBC drivers offer no common way; the text's shape is all that is checked there.
        return;
    }
    m_active = true;
}

ReadOnlyScope::~ReadOnlyScope()
{
    if (!m_active)
        return;
    try {
        if (m_connection.backend() == Backend::SQLite)
            m_connection.exec(u"PRAGMA query_only = OFF"_s);
        else
            m_connection.rollback(); // nothing was written that could be kept
    } catch (...) {
        // The connection is gone or broken: the next statement reports it.
    }
}

} // namespace kv
