// SPDX-License-Identifier: GPL-3.0-or-later
// Defining the viewer's connections: local and LAN state, the Link command, the Access and unknown
// database types, and databases that cannot be reached.
#include "core/ini_file.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

/// Folders, a data module and its connections as the program makes them at start-up.
struct Viewer
{
    test::TempFolders folders;
    ScriptedInteraction ui;
    TdmKVResults dm{ui};
    ViewerConnections connections{dm, ui};
    QList<int> acknowledgements; // rows of ReferTo each time the acknowledgement window is shown

    Viewer()
    {
        connections.bindInitial();
        connections.onShowReferTo = [this](Dataset &referTo) { acknowledgements << referTo.recordCount(); };
    }

    void writeSettings(const QList<std::tuple<QString, QString, QString>> &values)
    {
        IniFile file(settingsFilePath());
        for (const auto &[section, key, value] : values)
            file.setValue(section, key, value);
        file.save();
    }
    void setAlias(const QString &alias, const QString &location)
    {
        AliasRegistry aliases(connections.aliases().path());
        aliases.setLocation(alias, location);
        aliases.save();
    }
};

QStringList column(Connection &connection, const QString &sql)
{
    QStringList values;
    QSqlQuery q = connection.exec(sql);
    while (q.next())
        values << q.value(0).toString();
    return values;
}

// A results database on one back end holding the given group descriptors (one record each) and a
// stale entry in the list of descriptors.
void fillResults(const QString &location, const QStringList &groupings)
{
    Connection c(u"fill"_s);
    c.bind(location);
    c.open();
    Transaction t(c);
    for (int i = 0; i < groupings.size(); ++i)
        c.exec(u"insert into Grouping (RecordID, Grouping) values (?, ?)"_s, {i + 1, groupings[i]});
    c.exec(u"insert into GroupingList (Grouping) values ('Stale')"_s);
    for (int level = 1; level <= 3; ++level)
        c.exec(u"insert into PrefLevel (PrefLevelNo, PrefDes) values (?, ?)"_s,
               {level, u"level %1"_s.arg(level)});
    t.commit();
}

} // namespace

class TestConnections : public QObject
{
    Q_OBJECT

private slots:
    void localAndLanStates_data() { test::addBackendRows(); }
    void localAndLanStates();
    void linkNotAllowed();
    void accessDatabase_data();
    void accessDatabase();
    void otherDatabaseIdKeepsBindings_data();
    void otherDatabaseIdKeepsBindings();
    void unreachableDatabase_data();
    void unreachableDatabase();
    void firstStart_data();
    void firstStart();
    void undefinedAlias();
};

void TestConnections::localAndLanStates()
{
    QFETCH(QString, backend);
    Viewer v;
    const QString working = defaultLocations().working;
    test::TestDatabase local(backend), lan(backend);
    createDatabases({local.location(), working}, false);
    QDir(Connection::resolvePath(working)).removeRecursively();
    QFile::remove(Connection::resolvePath(working));
    createDatabases({lan.location(), working}, true);
    fillResults(local.location(), {u"Local arc"_s});
    fillResults(lan.location(), {u"Arc"_s, u"Rift"_s, u"Arc"_s, u"Craton"_s});
    v.setAlias(u"KVLAN30"_s, local.location());
    v.writeSettings({{u"LAN Implementation"_s, u"LanPossible"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"LanImplementation"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"ResultsPath"_s, lan.location()}});

    // Start-up in the LAN state: the LAN database, and no acknowledgement yet.
    v.dm.DateDataCurrent = v.dm.MapDataCurrent = true;
    v.connections.readSettings();
    v.connections.defineConnections();
    QCOMPARE(v.dm.KVResults.location(), lan.location());
    QCOMPARE(v.dm.KVtmp.location(), working);
    QCOMPARE(v.connections.connectionPanelText(), u"LAN database"_s);
    QVERIFY(v.acknowledgements.isEmpty());
    QVERIFY(v.dm.Query1->isOpen() && v.dm.QResults->isOpen() && v.dm.TempDT->isOpen());
    QVERIFY(!v.dm.DateDataCurrent && !v.dm.MapDataCurrent);
    QCOMPARE(v.dm.PrefLevel->value(u"PrefLevelNo"_s).toInt(), 2);
    QCOMPARE(column(v.dm.KVResults, u"select Grouping from GroupingList order by Grouping"_s),
             (QStringList{u"Arc"_s, u"Craton"_s, u"Rift"_s}));
    QVERIFY(v.connections.session().passwords().contains(u"peldas"_s));
    QVERIFY(v.connections.session().passwords().contains(u"WUX"_s));
    QVERIFY(v.ui.messages().isEmpty());

    // Link off: the local alias, the state stored before the connections are defined again.
    v.connections.link();
    QCOMPARE(v.dm.KVResults.location(), local.location());
    QCOMPARE(v.connections.connectionPanelText(), u"Local database"_s);
    QCOMPARE(IniFile(settingsFilePath()).value(u"LAN Implementation"_s, u"LanImplementation"_s), u"0"_s);
    QCOMPARE(column(v.dm.KVResults, u"select Grouping from GroupingList"_s), QStringList{u"Local arc"_s});
    QVERIFY(v.acknowledgements.isEmpty());

    // Link on again: the second LAN binding of the run shows the acknowledgement texts.
    v.connections.link();
    QCOMPARE(v.dm.KVResults.location(), lan.location());
    QCOMPARE(v.acknowledgements, QList<int>{2});
    QVERIFY(!v.dm.ReferTo->isOpen());
    QVERIFY(v.dm.Query1->isOpen());
    v.connections.link();
    v.connections.link();
    QCOMPARE(v.acknowledgements, (QList<int>{2, 2}));
    QVERIFY(v.ui.messages().isEmpty());
}

void TestConnections::linkNotAllowed()
{
    Viewer v;
    createDatabases(defaultLocations(), false);
    v.writeSettings({{u"LAN Implementation"_s, u"LanPossible"_s, u"0"_s},
                     {u"LAN Implementation"_s, u"LanImplementation"_s, u"1"_s}});
    v.connections.readSettings();
    v.connections.defineConnections();
    QCOMPARE(v.connections.connectionPanelText(), u"Local database"_s);
    v.connections.link();
    QCOMPARE(v.ui.messages(), QStringList{u"information: Connection to LAN not allowed"_s});
    QCOMPARE(v.connections.connectionPanelText(), u"Local database"_s);
    QVERIFY(v.dm.Query1->isOpen());
    QCOMPARE(IniFile(settingsFilePath()).value(u"LAN Implementation"_s, u"LanImplementation"_s), u"0"_s);
    QVERIFY(!v.connections.lanBindingMade());
}

void TestConnections::accessDatabase_data()
{
    QTest::addColumn<bool>("lan");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("local") << false
                           << QStringList{u"message: DatabaseID = 2. Defining Access tmp database"_s,
                                          u"message: DatabaseID = 2. Defining Access local database"_s};
    QTest::newRow("LAN") << true
                         << QStringList{u"message: DatabaseID = 2. Defining Access tmp database"_s,
                                        u"message: DatabaseID = 2. Defining Access LAN database"_s};
}

void TestConnections::accessDatabase()
{
    QFETCH(bool, lan);
    QFETCH(QStringList, messages);
    Viewer v;
    v.writeSettings({{u"Database Type"_s, u"DatabaseID"_s, u"2"_s},
                     {u"LAN Implementation"_s, u"LanPossible"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"LanImplementation"_s, lan ? u"1"_s : u"0"_s}});
    const QString initialWorking = v.dm.KVtmp.location();
    const QString initialResults = v.dm.KVResults.location();
    v.connections.readSettings();
    // No Access database exists here: whatever the ODBC layer says is the error, and it names the file.
    try {
        v.connections.defineConnections();
        QFAIL("an Access database was reached");
    } catch (const DatabaseError &e) {
        if (!lan) {
            QVERIFY2(e.message().contains(u"Kelvora2.mdb"_s), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(u"peldas"_s), qPrintable(e.message()));
        }
    }
    QCOMPARE(v.ui.messages(), messages);
    QCOMPARE(v.dm.KVtmp.location(), initialWorking);
    if (lan) {
        QCOMPARE(v.dm.KVResults.location(), initialResults);
        QCOMPARE(v.connections.connectionPanelText(), u"LAN database"_s);
        return;
    }
    const QString odbc = v.dm.KVResults.location();
    QVERIFY2(odbc.startsWith(u"odbc:Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ="_s),
             qPrintable(odbc));
    QVERIFY(odbc.contains(u"DBQ="_s + Connection::resolvePath(u"F:\\KVLAN20\\Kelvora2.mdb"_s) + u';'));
    QVERIFY(odbc.contains(u";PWD=peldas;"_s));
    QVERIFY(odbc.contains(u";ReadOnly=0"_s));
    QCOMPARE(v.connections.connectionPanelText(), u"Local database"_s);
}

void TestConnections::otherDatabaseIdKeepsBindings_data()
{
    QTest::addColumn<bool>("lan");
    QTest::newRow("local") << false;
    QTest::newRow("LAN") << true;
}

void TestConnections::otherDatabaseIdKeepsBindings()
{
    QFETCH(bool, lan);
    Viewer v;
    createDatabases(defaultLocations(), false);
    v.setAlias(u"KVLAN30"_s, v.folders.path() + u"/elsewhere"_s);
    v.setAlias(u"KVtmp"_s, v.folders.path() + u"/elsewhere too"_s);
    v.writeSettings({{u"Database Type"_s, u"DatabaseID"_s, u"3"_s},
                     {u"LAN Implementation"_s, u"LanPossible"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"LanImplementation"_s, lan ? u"1"_s : u"0"_s},
                     {u"LAN Implementation"_s, u"ResultsPath"_s, v.folders.path() + u"/lan"_s}});
    v.connections.readSettings();
    v.connections.defineConnections();
    // The bindings made with the data module: the standard folders, which resolve into the data folder.
    QCOMPARE(v.dm.KVResults.location(), u"d:\\KLV\\Results30"_s);
    QCOMPARE(v.dm.KVtmp.location(), u"d:\\KLV\\tmpDB20"_s);
    QCOMPARE(v.dm.KVResults.describe(), QDir(v.folders.dataDir()).filePath(u"Results30/kelvora.sqlite"_s));
    QVERIFY(v.dm.Query1->isOpen());
    QVERIFY(v.ui.messages().isEmpty());
    QCOMPARE(v.connections.connectionPanelText(), lan ? u"LAN database"_s : u"Local database"_s);
}

void TestConnections::unreachableDatabase_data()
{
    QTest::addColumn<QString>("resultsPath");
    QTest::addColumn<QString>("named");
    QTest::addColumn<bool>("dropWorking");
    const QString missing = QDir::tempPath() + u"/kv-no-such-folder-4711"_s;
    QTest::newRow("missing folder") << missing << missing + u"/kelvora.sqlite"_s << false;
    QTest::newRow("missing file") << missing + u".sqlite"_s << missing + u".sqlite"_s << false;
    QTest::newRow("Windows path") << u"q:\\KLV\\Gone30"_s << u"Gone30/kelvora.sqlite"_s << false;
    QTest::newRow("no Kelvora tables") << u"EMPTY"_s << u"IsoRgr30"_s << false;
    QTest::newRow("missing working database") << u"GOOD"_s << u"tmpDB20/kelvora.sqlite"_s << true;
    QTest::newRow("unreachable server")
        << u"postgresql://kv@127.0.0.1:1/results"_s << u"127.0.0.1"_s << false;
    const QString server = qEnvironmentVariable("KELVORA_TEST_PG");
    if (!server.isEmpty()) {
        QUrl url(server);
        url.setPath(u"/kv_no_such_database"_s);
        QTest::newRow("missing server database") << url.toString() << u"kv_no_such_database"_s << false;
        url = QUrl(server);
        url.setUserName(u"kv_no_such_role"_s);
        QTest::newRow("bad credentials") << url.toString() << u"kv_no_such_role"_s << false;
        QTest::newRow("server database without tables") << server << u"IsoRgr30"_s << false;
    }
}

void TestConnections::unreachableDatabase()
{
    QFETCH(QString, resultsPath);
    QFETCH(QString, named);
    QFETCH(bool, dropWorking);
    Viewer v;
    createDatabases(defaultLocations(), false);
    if (resultsPath == u"EMPTY"_s) {
        resultsPath = v.folders.path() + u"/empty.sqlite"_s;
        Connection c(u"empty"_s);
        c.bind(resultsPath);
        c.open(true);
    } else if (resultsPath == u"GOOD"_s) {
        resultsPath = defaultLocations().results;
    }
    if (dropWorking)
        QVERIFY(QFile::remove(Connection::resolvePath(defaultLocations().working)));
    v.writeSettings({{u"LAN Implementation"_s, u"LanPossible"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"LanImplementation"_s, u"1"_s},
                     {u"LAN Implementation"_s, u"ResultsPath"_s, resultsPath}});
    v.connections.readSettings();
    try {
        v.connections.defineConnections();
        QFAIL("an unreachable database was opened");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
        // One database is there, or the other is on a server: creating both is not the way out.
        QVERIFY2(!e.message().contains(u"kvtool"_s), qPrintable(e.message()));
    }
    QVERIFY(!v.dm.Query1->isOpen());
    // The viewer never creates a database it was asked to open.
    if (Connection::backendOf(resultsPath) == Backend::SQLite && resultsPath.contains(u"kv-no-such"_s))
        QVERIFY(!QFileInfo::exists(Connection::resolvePath(resultsPath)));
    QVERIFY(!QFileInfo::exists(v.folders.dataDir() + u"/Gone30"_s));

    // Switching the link off reaches the local database, unless the working database is the one missing.
    if (dropWorking) {
        createDatabases({v.folders.path() + u"/unused"_s, defaultLocations().working}, false);
    }
    v.connections.link();
    QCOMPARE(v.connections.connectionPanelText(), u"Local database"_s);
    QVERIFY(v.dm.Query1->isOpen());
}

void TestConnections::firstStart_data()
{
    QTest::addColumn<QString>("resultsFolder"); // the LAN results folder under the temporary folder, or local
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("options");
    QTest::newRow("local, demo") << QString() << u"demo"_s << QString();
    QTest::newRow("local, init") << QString() << u"init"_s << QString();
    // A folder needing quotes in the shell, where the command must name it.
    QTest::newRow("LAN folder, demo") << u"lab's results"_s << u"demo"_s << u" --results '%1/lab'\\''s results'"_s;
}

// No database exists at the first start: the message says which one is missing and the command that
// makes them, which, run as it is shown, lets the viewer connect.
void TestConnections::firstStart()
{
    QFETCH(QString, resultsFolder);
    QFETCH(QString, verb);
    QFETCH(QString, options);
    Viewer v;
    QString missing = Connection::resolvePath(defaultLocations().results);
    if (!resultsFolder.isEmpty()) {
        const QString folder = v.folders.path() + u'/' + resultsFolder;
        v.writeSettings({{u"LAN Implementation"_s, u"LanPossible"_s, u"1"_s},
                         {u"LAN Implementation"_s, u"LanImplementation"_s, u"1"_s},
                         {u"LAN Implementation"_s, u"ResultsPath"_s, folder}});
        missing = folder + u"/kelvora.sqlite"_s;
        options = options.arg(v.folders.path());
    }
    v.connections.readSettings();
    QString message;
    try {
        v.connections.defineConnections();
        QFAIL("a database that does not exist was opened");
    } catch (const DatabaseError &e) {
        message = e.message();
    }
    QVERIFY2(message.contains(missing), qPrintable(message));
    const QString command = u"kvtool "_s + verb + options;
    QVERIFY2(message.contains(u"\n    "_s + command + u'\n'), qPrintable(message));
    QVERIFY2(message.contains(verb == u"demo"_s ? u"kvtool init"_s : u"kvtool demo"_s), qPrintable(message));

    QProcess shell;
    shell.start(u"/bin/sh"_s, {u"-c"_s, u"\"$0\""_s + command.mid(6), QStringLiteral(KV_KVTOOL)});
    QVERIFY(shell.waitForFinished(120000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    v.connections.defineConnections();
    QVERIFY(v.dm.Query1->isOpen());
}

void TestConnections::undefinedAlias()
{
    Viewer v;
    createDatabases(defaultLocations(), false);
    IniFile aliases(v.connections.aliases().path());
    aliases.removeKey(u"Aliases"_s, u"KVLAN30"_s);
    aliases.save();
    ViewerConnections connections(v.dm, v.ui);
    connections.bindInitial();
    try {
        connections.defineConnections();
        QFAIL("an undefined alias was bound");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.message().contains(u"KVLAN30"_s) && e.message().contains(u"kvaliases.ini"_s),
                 qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestConnections)
#include "tst_connections.moc"
