// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/connections.h"

#include "core/interaction.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "data/installation.h"
#include "data/schema.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString tablePassword = u"peldas"_s;

QString odbcValue(const QString &value)
{
    // Values holding the separator are braced, as ODBC connection strings quote them.
    return value.contains(u';') || value.startsWith(u'{') ? u'{' + value + u'}' : value;
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    return name.left(30);
}

// A location as one word of a shell command.
QString shellWord(const QString &text)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_./:@%+=,-]+$"_s);
    if (plain.match(text).hasMatch())
        return text;
    return u'\'' + QString(text).replace(u"'"_s, u"'\\''"_s) + u'\'';
}

bool fileMissing(const QString &location)
{
    const QStringList files = DatabaseBackend::forLocation(location).databaseFiles(location);
    return !files.isEmpty() && !QFileInfo::exists(files.first());
}

// What to run when neither database file exists yet, as at the first start: kvtool makes them, with
// the locations named where they are not the default ones. Empty when a database exists or lives on
// a server, where creating one is the administrator's work.
QString firstStartAdvice(const QString &results, const QString &working)
{
    if (!fileMissing(results) || !fileMissing(working))
        return {};
    const DatabaseLocations defaults = defaultLocations();
    QString options;
    const auto sameFile = [](const QString &a, const QString &b) {
        return DatabaseBackend::forLocation(a).databaseFiles(a) == DatabaseBackend::forLocation(b).databaseFiles(b);
    };
    if (!sameFile(results, defaults.results))
        options += u" --results "_s + shellWord(results);
    if (!sameFile(working, defaults.working))
        options += u" --working "_s + shellWord(working);
    return u"No database has been created yet. To look at the demo data, create its databases with\n"
           u"    kvtool demo%1\n"
           u"or create empty ones with\n"
           u"    kvtool init%1\n"
           u"and start Kelvora again."_s.arg(options);
}

} // namespace

QString Binding::param(const QString &name) const
{
    const QString prefix = name + u'=';
    for (const QString &line : params)
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size()).trimmed();
    return {};
}

QString resolveBinding(const Binding &binding, const AliasRegistry &aliases)
{
    const QString path = binding.param(u"PATH"_s);
    if (!path.isEmpty())
        return path;
    if (binding.aliasName.isEmpty())
        throw DatabaseError(
            u"The connection is bound to no database: neither an alias nor a PATH is given."_s);
    const QString location = aliases.location(binding.aliasName);
    const QString database = binding.param(u"DATABASE NAME"_s);
    if (database.isEmpty())
        return location;
    if (!DatabaseBackend::forLocation(location).takesDatabaseFile())
        throw DatabaseError(
            u"The alias %1 names %2, which is no ODBC driver for the Access database %3."_s.arg(
                binding.aliasName, location, database));
    QString driver = location.mid(5).trimmed();
    while (driver.endsWith(u';'))
        driver.chop(1);
    QStringList parts{driver, u"DBQ="_s + odbcValue(Connection::resolvePath(database))};
    if (const QString user = binding.param(u"USER NAME"_s); !user.isEmpty())
        parts << u"UID="_s + odbcValue(user);
    if (const QString password = binding.param(u"PASSWORD"_s); !password.isEmpty())
        parts << u"PWD="_s + odbcValue(password);
    if (const QString system = binding.param(u"SYSTEM DATABASE"_s); !system.isEmpty())
        parts << u"SystemDB="_s + odbcValue(Connection::resolvePath(system));
    if (binding.param(u"OPEN MODE"_s).compare(u"READ ONLY"_s, Qt::CaseInsensitive) == 0)
        parts << u"ReadOnly=1"_s;
    else
        parts << u"ReadOnly=0"_s;
    return u"odbc:"_s + parts.join(u';');
}

ViewerConnections::ViewerConnections(TdmKVResults &dm, Interaction &ui, const QString &settingsPath,
                                     const AliasRegistry &aliases)
    : m_dm(dm), m_ui(ui), m_settingsPath(settingsPath), m_aliases(aliases)
{
}

void ViewerConnections::bindInitial()
{
    m_resultsBinding = {u"KVResults"_s,
                        {},
                        {u"PATH=d:\\KLV\\Results30"_s, u"ENABLE BCD=FALSE"_s, u"DEFAULT DRIVER=PARADOX"_s}};
    m_workingBinding = {
        u"KVtmp"_s, {}, {u"PATH=d:\\KLV\\tmpDB20"_s, u"ENABLE BCD=FALSE"_s, u"DEFAULT DRIVER=PARADOX"_s}};
    apply(m_dm.KVResults, m_resultsBinding);
    apply(m_dm.KVtmp, m_workingBinding);
}

void ViewerConnections::readSettings()
{
    m_settings = kv::readSettings(m_settingsPath);
}

void ViewerConnections::writeSettings()
{
    kv::writeSettings(m_settingsPath, m_settings);
}

void ViewerConnections::apply(Connection &connection, const Binding &binding)
{
    connection.bind(resolveBinding(binding, m_aliases));
}

void ViewerConnections::setPanel(const QString &text)
{
    m_panelText = text;
    if (onConnectionPanel)
        onConnectionPanel(text);
}

void ViewerConnections::closeEverything()
{
    if (m_smp)
        m_smp->closeAll();
    m_dm.closeAll();
    m_dm.KVResults.close();
    m_dm.KVtmp.close();
}

void ViewerConnections::defineConnections()
{
    closeEverything();
    m_session.setNetFileDir(m_settings.NetFileDir);
    readSettings();
    // The alias file is read again too, so that an alias mended meanwhile takes effect.
    m_aliases = AliasRegistry(m_aliases.path());
    const QChar id = m_settings.DatabaseID;

    if (id == u'1') {
        m_session.addPassword(tablePassword);
        m_session.addPassword(u"WUX"_s);
        m_workingBinding = {u"KVtmp"_s, {}, {}};
        apply(m_dm.KVtmp, m_workingBinding);
    } else if (id == u'2') {
        m_ui.message(u"DatabaseID = 2. Defining Access tmp database"_s);
    }

    bool acknowledge = false;
    if (m_settings.LanImplementation) {
        if (id == u'1') {
            m_session.addPassword(tablePassword);
            m_resultsBinding = {
                {},
                u"STANDARD"_s,
                {u"PATH="_s + m_settings.ResultsPath, u"ENABLE BCD=FALSE"_s, u"DEFAULT DRIVER=PARADOX"_s}};
            apply(m_dm.KVResults, m_resultsBinding);
        } else if (id == u'2') {
            m_ui.message(u"DatabaseID = 2. Defining Access LAN database"_s);
        }
        setPanel(u"LAN database"_s);
        acknowledge = m_lanBindingMade;
        m_lanBindingMade = true;
    } else {
        if (id == u'1') {
            m_resultsBinding = {u"KVLAN30"_s, {}, {{}, {}, {}}};
            apply(m_dm.KVResults, m_resultsBinding);
        } else if (id == u'2') {
            m_ui.message(u"DatabaseID = 2. Defining Access local database"_s);
            m_resultsBinding = {u"KVLocalAcs"_s,
                                {},
                                {u"DATABASE NAME=F:\\KVLAN20\\Kelvora2.mdb"_s, u"USER NAME="_s + userName(),
                                 u"OPEN MODE=READ/WRITE"_s, u"LANGDRIVER=ACCGEN"_s,
                                 u"SYSTEM DATABASE=C:\\WINDOWS\\SYSTEM\\system.mdw"_s,
                                 u"PASSWORD="_s + tablePassword}};
            apply(m_dm.KVResults, m_resultsBinding);
        }
        setPanel(u"Local database"_s);
    }

    // Neither database is ever created here: a missing one is an error naming it.
    try {
        openExisting(m_dm.KVResults, DatabaseKind::Results);
        openExisting(m_dm.KVtmp, DatabaseKind::Working);
    } catch (const DatabaseError &e) {
        const QString advice = firstStartAdvice(m_dm.KVResults.location(), m_dm.KVtmp.location());
        if (advice.isEmpty())
            throw;
        throw DatabaseError(e.message() + u"\n\n"_s + advice, e.code(), e.nativeCode());
    }
    // The acknowledgement texts live in the working database, so they are shown once it is connected.
    if (acknowledge)
        showReferTo(m_dm, onShowReferTo);

    m_dm.openShared();
    rebuildGroupingList(m_dm);
    m_dm.clearCurrentDataFlags();
    // The preference level a query asks for starts at the second level.
    m_dm.PrefLevel->first();
    m_dm.PrefLevel->next();
}

void ViewerConnections::link()
{
    if (m_settings.LanPossible) {
        m_settings.LanImplementation = !m_settings.LanImplementation;
    } else {
        m_settings.LanImplementation = false;
        m_ui.information(u"Connection to LAN not allowed"_s);
    }
    writeSettings();
    defineConnections();
}

void ViewerConnections::disconnectQuietly()
{
    try {
        m_dm.KVResults.close();
        m_dm.KVtmp.close();
    } catch (const std::exception &) {
        // Exit reports nothing; the window closes regardless.
    }
}

void ViewerConnections::shutDown()
{
    QString failure;
    try {
        writeSettings();
    } catch (const Error &e) {
        failure = e.message();
    }
    closeEverything();
    if (!failure.isEmpty())
        m_ui.error(failure);
}

void rebuildGroupingList(TdmKVResults &dm)
{
    Dataset &list = *dm.GroupLst;
    Dataset &free = *dm.GroupingFree;
    Connection &connection = *list.connection();
    // One transaction where a failed row does not spoil the rest (SQLite); PostgreSQL aborts a
    // transaction at its first error, so there every row is written on its own.
    std::optional<Transaction> transaction;
    if (connection.engine().transactionSurvivesErrors())
        transaction.emplace(connection);

    list.last();
    while (!list.isEmpty())
        list.remove();

    const ColumnDef *column = Schema::table(u"GroupingList"_s)->column(u"Grouping"_s);
    QSet<QString> listed;
    for (free.first(); !free.eof(); free.next()) {
        const QVariant value = free.value(u"Grouping"_s);
        if (value.isNull() || value.toString().isEmpty())
            continue;
        // A value already listed would only be refused by the table's key.
        const QString stored = Schema::cutToWidth(*column, value).toString();
        if (listed.contains(stored))
            continue;
        try {
            list.append();
            list.setValue(u"Grouping"_s, value);
            if (list.post())
                listed.insert(stored);
            else
                list.cancel();
        } catch (const Error &) {
            if (list.state() != Dataset::State::Browse)
                list.cancel();
        }
    }
    if (transaction)
        transaction->commit();
}

void showReferTo(TdmKVResults &dm, const std::function<void(Dataset &)> &show)
{
    Dataset &referTo = *dm.ReferTo;
    referTo.close();
    referTo.prepare();
    referTo.open();
    try {
        if (show)
            show(referTo);
    } catch (...) {
        referTo.close();
        throw;
    }
    referTo.close();
}

} // namespace kv
