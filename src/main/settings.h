// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

namespace kv {

class IniFile;

/// The main window's settings, as kept in Kelvora3.INI.
struct ViewerSettings
{
    QChar DatabaseID = u'1'; // '1' tables through aliases, '2' MS Access through ODBC
    bool LanPossible = false;
    bool LanImplementation = false; // never true while LanPossible is false
    QString NetFileDir = QStringLiteral("C:\\");
    QString ImagePath = QStringLiteral("C:\\");
    QString ResultsPath = QStringLiteral("C:\\KLV\\Results30");
    QString RaveFile = QStringLiteral("C:\\KLV\\Results30\\Kelvora.rav");

    /// Whether NetFileDir lives in "LAN Implementation" rather than "Default directories".
    bool lanSelected() const { return LanPossible && LanImplementation; }
};

/// Kelvora3.INI in the configuration folder.
QString settingsFilePath();

/// ReadSettings: fills the settings from the profile. Missing keys, and values that make no sense,
/// take the defaults.
ViewerSettings readSettings(const IniFile &file);
/// WriteSettings: stores the settings in the profile, leaving every other key as it is.
void writeSettings(IniFile &file, const ViewerSettings &settings);

/// ReadSettings and WriteSettings on a file: it is read again each time, because the plot-settings
/// windows write their own sections of the same file in between.
ViewerSettings readSettings(const QString &path);
void writeSettings(const QString &path, const ViewerSettings &settings);

} // namespace kv
