// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kv {

class Connection;

/// While it lives, the engine itself refuses every write on a connection: SQLite's query_only, a
/// read-only transaction on PostgreSQL. A text the user typed runs inside one, so that a statement
/// that would change stored rows fails before it changes anything.
class ReadOnlyScope
{
public:
    explicit ReadOnlyScope(Connection &connection);
    ~ReadOnlyScope();
    ReadOnlyScope(const ReadOnlyScope &) = delete;
    ReadOnlyScope &operator=(const ReadOnlyScope &) = delete;

private:
    Connection &m_connection;
    bool m_active = false;
};

} // namespace kv
