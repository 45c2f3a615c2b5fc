// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/import_settings.h"

#include "core/ini_file.h"
#include "core/paths.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString filePaths = u"File Paths"_s;
const QString defaultDirectories = u"Default directories"_s;
const QString inputFields = u"Input fields"_s;
const QString formPositions = u"Form positions"_s;

} // namespace

QString importerSettingsFilePath()
{
    return QDir(configDir()).filePath(u"KVImport3.INI"_s);
}

QString defaultImportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() || !QDir(documents).exists() ? QDir::homePath() : documents;
}

ImporterSettings readImporterSettings(const IniFile &file)
{
    ImporterSettings s;
    const QString folder = defaultImportFolder();
    s.DataImportPath = file.value(filePaths, u"Data import path"_s, folder);
    s.DataExportPath = file.value(filePaths, u"Data export path"_s, folder);
    s.NetFileDir = file.value(defaultDirectories, u"NetFileDir"_s, s.NetFileDir);
    const QString results = file.value(defaultDirectories, u"ResultsPath"_s);
    if (!results.trimmed().isEmpty())
        s.ResultsPath = results;
    s.FromRow = file.value(inputFields, u"From Row"_s, s.FromRow);
    s.ToRow = file.value(inputFields, u"To Row"_s, s.ToRow);
    s.MainLeft = file.intValue(formPositions, u"Main Left"_s, s.MainLeft);
    s.MainTop = file.intValue(formPositions, u"Main Top"_s, s.MainTop);
    s.MainHeight = file.intValue(formPositions, u"Main Height"_s, s.MainHeight);
    s.MainWidth = file.intValue(formPositions, u"Main Width"_s, s.MainWidth);
    return s;
}

void writeImporterSettings(IniFile &file, const ImporterSettings &s)
{
    file.setValue(filePaths, u"Data import path"_s, s.DataImportPath);
    file.setValue(filePaths, u"Data export path"_s, s.DataExportPath);
    file.setValue(inputFields, u"From Row"_s, s.FromRow);
    file.setValue(inputFields, u"To Row"_s, s.ToRow);
    file.setInt(formPositions, u"Main Left"_s, s.MainLeft);
    file.setInt(formPositions, u"Main Top"_s, s.MainTop);
    file.setInt(formPositions, u"Main Height"_s, s.MainHeight);
    file.setInt(formPositions, u"Main Width"_s, s.MainWidth);
}

} // namespace kv
