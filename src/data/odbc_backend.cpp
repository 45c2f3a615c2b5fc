// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/odbc_backend.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kv {

QString OdbcBackend::describe(const QString &location) const
{
    // Messages name the database, never its password.
    static const QRegularExpression password(u"(PWD|PASSWORD)=(\\{[^}]*\\}|[^;]*)"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    QString text = location;
    return text.replace(password, u"\\1=***"_s);
}

QSqlDatabase OdbcBackend::addDatabase(const QString &location, const QString &qtName, bool) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_s, qtName);
    db.setDatabaseName(location.mid(5)); // after "odbc:"
    return db;
}

} // namespace kv
