// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kv {

class IniFile;

/// The importer's settings, as kept in KVImport3.INI.
struct ImporterSettings
{
    QString DataImportPath;
    QString DataExportPath;
    QString NetFileDir = QStringLiteral("C:\\");
    QString ResultsPath = QStringLiteral("C:\\KLV\\Results30");
    QString FromRow = QStringLiteral("2");
    QString ToRow = QStringLiteral("3");
    int MainLeft = 1;
    int MainTop = 1;
    int MainHeight = 480;
    int MainWidth = 800;
};

/// KVImport3.INI in the configuration folder.
QString importerSettingsFilePath();
/// The folder the open dialog starts in when the settings name none: the user's documents.
QString defaultImportFolder();

/// Reads every key, missing ones (and an empty ResultsPath) taking the defaults.
ImporterSettings readImporterSettings(const IniFile &file);
/// Writes "File Paths", "Input fields" and "Form positions"; "Default directories" is only read.
void writeImporterSettings(IniFile &file, const ImporterSettings &settings);

} // namespace kv
