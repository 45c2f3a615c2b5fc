// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kv {

/// The database session of a run: the table passwords given to it and the network control directory.
/// Back ends that know such things take them from here; SQLite and PostgreSQL keep their own access
/// control, so for them these are only kept.
class Session
{
public:
    const QString &netFileDir() const { return m_netFileDir; }
    void setNetFileDir(const QString &folder) { m_netFileDir = folder; }

    /// Adds a password once; the session keeps every password it was given for the run.
    void addPassword(const QString &password)
    {
        if (!m_passwords.contains(password))
            m_passwords << password;
    }
    const QStringList &passwords() const { return m_passwords; }

private:
    QString m_netFileDir;
    QStringList m_passwords;
};

} // namespace kv
