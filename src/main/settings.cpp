// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/settings.h"

#include "core/ini_file.h"
#include "core/paths.h"

using namespace Qt::StringLiterals;

namespace kv {

namespace {
const QString databaseType = u"Database Type"_s;
const QString lan = u"LAN Implementation"_s;
const QString directories = u"Default directories"_s;
const QString reportSetup = u"Report setup"_s;
} // namespace

QString settingsFilePath()
{
    return configDir() + u"/Kelvora3.INI"_s;
}

ViewerSettings readSettings(const IniFile &file)
{
    const ViewerSettings defaults;
    ViewerSettings s;
    // An empty DatabaseID has no first character; it is read as the default instead of failing.
    const QString id = file.value(databaseType, u"DatabaseID"_s).trimmed();
    s.DatabaseID = id.isEmpty() ? defaults.DatabaseID : id.at(0);
    s.LanPossible = file.boolValue(lan, u"LanPossible"_s, false);
    s.LanImplementation = s.LanPossible && file.boolValue(lan, u"LanImplementation"_s, false);
    s.NetFileDir = file.value(s.lanSelected() ? lan : directories, u"NetFileDir"_s, defaults.NetFileDir);
    s.ImagePath = file.value(directories, u"ImagePath"_s, defaults.ImagePath);
    s.ResultsPath = file.value(lan, u"ResultsPath"_s);
    if (s.ResultsPath.isEmpty())
        s.ResultsPath = defaults.ResultsPath;
    s.RaveFile = file.value(reportSetup, u"Rave file"_s, defaults.RaveFile);
    return s;
}

void writeSettings(IniFile &file, const ViewerSettings &s)
{
    file.setValue(databaseType, u"DatabaseID"_s, QString(s.DatabaseID));
    file.setBool(lan, u"LanPossible"_s, s.LanPossible);
    file.setBool(lan, u"LanImplementation"_s, s.LanPossible && s.LanImplementation);
    file.setValue(s.lanSelected() ? lan : directories, u"NetFileDir"_s, s.NetFileDir);
    file.setValue(directories, u"ImagePath"_s, s.ImagePath);
    file.setValue(lan, u"ResultsPath"_s, s.ResultsPath);
    file.setValue(reportSetup, u"Rave file"_s, s.RaveFile);
}

ViewerSettings readSettings(const QString &path)
{
    return readSettings(IniFile(path));
}

void writeSettings(const QString &path, const ViewerSettings &settings)
{
    IniFile file(path);
    writeSettings(file, settings);
    file.save();
}

} // namespace kv
