// SPDX-License-Identifier: GPL-3.0-or-later
// Kelvora3.INI: what ReadSettings makes of the files users have, and what WriteSettings leaves in them.
#include "core/errors.h"
#include "core/ini_file.h"
#include "main/settings.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kv;

Q_DECLARE_METATYPE(kv::ViewerSettings)

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ViewerSettings make(QChar id, bool possible, bool on, const QString &net, const QString &image,
                    const QString &results, const QString &rave)
{
    ViewerSettings s;
    s.DatabaseID = id;
    s.LanPossible = possible;
    s.LanImplementation = on;
    s.NetFileDir = net;
    s.ImagePath = image;
    s.ResultsPath = results;
    s.RaveFile = rave;
    return s;
}

const QString rave = u"C:\\KLV\\Results30\\Kelvora.rav"_s;
const QString results = u"C:\\KLV\\Results30"_s;

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void readSettings_data();
    void readSettings();
    void writeBackMendsValues_data();
    void writeBackMendsValues();
    void netFileDirFollowsTheState();
    void roundTripKeepsOtherSections();
    void profileLookUp();
    void unreadableFileIsNotOverwritten();
};

void TestSettings::readSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<ViewerSettings>("expected");

    QTest::newRow("no file") << QByteArray() << make(u'1', false, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    QTest::newRow("no LAN section") << QByteArray("[Database Type]\nDatabaseID=1\n[Default "
                                                  "directories]\nNetFileDir=N:\\net\nImagePath=P:\\pics\n")
                                    << make(u'1', false, false, u"N:\\net"_s, u"P:\\pics"_s, results, rave);
    QTest::newRow("LanImplementation without LanPossible")
        << QByteArray("[LAN Implementation]\nLanPossible=0\nLanImplementation=1\nNetFileDir=L:\\lan\n"
                      "[Default directories]\nNetFileDir=N:\\net\n")
        << make(u'1', false, false, u"N:\\net"_s, u"C:\\"_s, results, rave);
    QTest::newRow("LAN state")
        << QByteArray(
               "[LAN Implementation]\nLanPossible=1\nLanImplementation=1\nNetFileDir=L:\\lan\n"
               "ResultsPath=postgresql://kv@server/results\n[Default directories]\nNetFileDir=N:\\net\n")
        << make(u'1', true, true, u"L:\\lan"_s, u"C:\\"_s, u"postgresql://kv@server/results"_s, rave);
    QTest::newRow("LAN possible, link off reads the local folder")
        << QByteArray("[LAN Implementation]\nLanPossible=1\nLanImplementation=0\nNetFileDir=L:\\lan\n"
                      "[Default directories]\nNetFileDir=N:\\net\n")
        << make(u'1', true, false, u"N:\\net"_s, u"C:\\"_s, results, rave);
    QTest::newRow("empty ResultsPath") << QByteArray("[LAN Implementation]\nResultsPath=\n")
                                       << make(u'1', false, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    QTest::newRow("empty DatabaseID") << QByteArray("[Database Type]\nDatabaseID=\n")
                                      << make(u'1', false, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    QTest::newRow("first character of DatabaseID")
        << QByteArray("[Database Type]\nDatabaseID= 2 (Access)\n")
        << make(u'2', false, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    QTest::newRow("other DatabaseID kept") << QByteArray("[Database Type]\nDatabaseID=3\n")
                                           << make(u'3', false, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    // Booleans are integers: any value but 0 is true, text that is no number counts as absent.
    QTest::newRow("boolean values") << QByteArray(
                                           "[LAN Implementation]\nLanPossible=-1\nLanImplementation=yes\n")
                                    << make(u'1', true, false, u"C:\\"_s, u"C:\\"_s, results, rave);
    QTest::newRow("case and spaces as users write them")
        << QByteArray("[lan implementation]\r\n lanpossible = "
                      "1\r\nLANIMPLEMENTATION=1\r\nnetfiledir=\\\\srv\\net\r\n"
                      "[REPORT SETUP]\r\nRAVE FILE = D:\\r\\x.rav \r\n")
        << make(u'1', true, true, u"\\\\srv\\net"_s, u"C:\\"_s, results, u"D:\\r\\x.rav"_s);
}

void TestSettings::readSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(ViewerSettings, expected);
    test::TempFolders folders;
    if (!file.isNull())
        writeFile(settingsFilePath(), file);
    const ViewerSettings s = kv::readSettings(settingsFilePath());
    QCOMPARE(s.DatabaseID, expected.DatabaseID);
    QCOMPARE(s.LanPossible, expected.LanPossible);
    QCOMPARE(s.LanImplementation, expected.LanImplementation);
    QCOMPARE(s.NetFileDir, expected.NetFileDir);
    QCOMPARE(s.ImagePath, expected.ImagePath);
    QCOMPARE(s.ResultsPath, expected.ResultsPath);
    QCOMPARE(s.RaveFile, expected.RaveFile);
}

void TestSettings::writeBackMendsValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("LanImplementation without LanPossible")
        << QByteArray("[LAN Implementation]\nLanPossible=0\nLanImplementation=1\n")
        << QByteArray(
               "[LAN Implementation]\nLanPossible=0\nLanImplementation=0\nResultsPath=C:\\KLV\\Results30\n\n"
               "[Database Type]\nDatabaseID=1\n\n[Default directories]\nNetFileDir=C:\\\nImagePath=C:\\\n\n"
               "[Report setup]\nRave file=C:\\KLV\\Results30\\Kelvora.rav\n");
    QTest::newRow("garbage")
        << QByteArray("[Database Type]\nDatabaseID=\n[LAN Implementation]\nLanPossible=maybe\nResultsPath=\n")
        << QByteArray("[Database Type]\nDatabaseID=1\n[LAN Implementation]\nLanPossible=0\n"
                      "ResultsPath=C:\\KLV\\Results30\nLanImplementation=0\n\n[Default "
                      "directories]\nNetFileDir=C:\\\n"
                      "ImagePath=C:\\\n\n[Report setup]\nRave file=C:\\KLV\\Results30\\Kelvora.rav\n");
}

void TestSettings::writeBackMendsValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    test::TempFolders folders;
    writeFile(settingsFilePath(), file);
    kv::writeSettings(settingsFilePath(), kv::readSettings(settingsFilePath()));
    QCOMPARE(readFile(settingsFilePath()), expected);
}

void TestSettings::netFileDirFollowsTheState()
{
    // The Link command stores the switched state, then reads the settings again: the network
    // directory in use is written into the new state's section, so it carries over.
    test::TempFolders folders;
    writeFile(settingsFilePath(),
              "[LAN Implementation]\nLanPossible=1\nLanImplementation=0\nNetFileDir=L:\\old\n"
              "[Default directories]\nNetFileDir=N:\\in use\n");
    ViewerSettings s = kv::readSettings(settingsFilePath());
    QCOMPARE(s.NetFileDir, u"N:\\in use"_s);
    s.LanImplementation = true;
    kv::writeSettings(settingsFilePath(), s);
    IniFile file(settingsFilePath());
    QCOMPARE(file.value(u"LAN Implementation"_s, u"NetFileDir"_s), u"N:\\in use"_s);
    QCOMPARE(file.value(u"Default directories"_s, u"NetFileDir"_s), u"N:\\in use"_s);
    const ViewerSettings again = kv::readSettings(settingsFilePath());
    QVERIFY(again.lanSelected());
    QCOMPARE(again.NetFileDir, u"N:\\in use"_s);
}

void TestSettings::roundTripKeepsOtherSections()
{
    test::TempFolders folders;
    // The plot-settings windows own these sections; the main window must leave them exactly as they are.
    const QByteArray others =
        "; written by hand\n[Classification]\nGroup 1 title=Magmatic arc\nGroup 1 code A=MAG\n\n"
        "[Plot axes]\nX min=0\nX max = 3500\n";
    writeFile(settingsFilePath(), others);
    const ViewerSettings s =
        make(u'2', true, true, u"\\\\server\\share\\net dir"_s, u"/home/geo/Pictures/Zircon CL"_s,
             u"postgresql://geo@db.example.org:5433/kelvora"_s, u"/home/geo/Kelvora ü.rav"_s);
    kv::writeSettings(settingsFilePath(), s);
    const ViewerSettings back = kv::readSettings(settingsFilePath());
    QCOMPARE(back.DatabaseID, s.DatabaseID);
    QCOMPARE(back.LanPossible, s.LanPossible);
    QCOMPARE(back.LanImplementation, s.LanImplementation);
    QCOMPARE(back.NetFileDir, s.NetFileDir);
    QCOMPARE(back.ImagePath, s.ImagePath);
    QCOMPARE(back.ResultsPath, s.ResultsPath);
    QCOMPARE(back.RaveFile, s.RaveFile);
    const QByteArray written = readFile(settingsFilePath());
    QVERIFY2(written.startsWith(others), written.constData());
    QVERIFY(written.contains("\n[Report setup]\nRave file=/home/geo/Kelvora \xc3\xbc.rav\n"));
    QVERIFY(written.contains("[Database Type]\nDatabaseID=2\n"));
    QVERIFY(written.contains("[LAN Implementation]\nLanPossible=1\nLanImplementation=1\n"
                             "NetFileDir=\\\\server\\share\\net dir\n"));
}

void TestSettings::profileLookUp()
{
    // An old profile written on Windows: CRLF, ANSI text, comments, repeated keys.
    IniFile file;
    file.parse("[Graph settings]\r\nMin uncertainty (Ma) = 2.5\r\n; a comment\r\nName=B\xe9ziers\r\n"
               "Name=second\r\n\r\n[Plot axes]\r\nX=1\r\n");
    QCOMPARE(file.sections(), (QStringList{u"Graph settings"_s, u"Plot axes"_s}));
    QCOMPARE(file.value(u"graph SETTINGS"_s, u"min uncertainty (ma)"_s), u"2.5"_s);
    QCOMPARE(file.value(u"Graph settings"_s, u"Name"_s), u"B\u00e9ziers"_s); // the first of repeated keys
    QCOMPARE(file.intValue(u"Plot axes"_s, u"x"_s, 7), 1);
    QCOMPARE(file.intValue(u"Plot axes"_s, u"Y"_s, 7), 7);
    QVERIFY(!file.contains(u"Plot axes"_s, u"Min uncertainty (Ma)"_s));
    file.setBool(u"PLOT AXES"_s, u"Show grid lines"_s, true);
    file.setValue(u"New section"_s, u"Key with spaces"_s, u"v"_s);
    QCOMPARE(file.toBytes(), QByteArray("[Graph settings]\r\nMin uncertainty (Ma) = 2.5\r\n; a comment\r\n"
                                        "Name=B\xe9ziers\r\nName=second\r\n\r\n[Plot axes]\r\nX=1\r\n"
                                        "Show grid lines=1\r\n\r\n[New section]\r\nKey with spaces=v\r\n"));
    QVERIFY_THROWS_EXCEPTION(InputError, file.setValue(u"Plot axes"_s, u"a=b"_s, u"1"_s));
}

void TestSettings::unreadableFileIsNotOverwritten()
{
    // A profile that exists but cannot be read is an error naming it, and nothing replaces it.
    test::TempFolders folders;
    QVERIFY(QDir().mkpath(settingsFilePath()));
    try {
        kv::readSettings(settingsFilePath());
        QFAIL("an unreadable settings file was read");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(settingsFilePath()), qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(FileError, kv::writeSettings(settingsFilePath(), ViewerSettings{}));
    QVERIFY(QFileInfo(settingsFilePath()).isDir());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
