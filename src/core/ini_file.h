// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kv {

/// A Windows profile (INI) file: "[Section]" lines, then "key=value" lines. Sections and keys keep
/// their spelling and order as written (keys may hold spaces), are looked up case-insensitively, and
/// everything this program does not know (other windows' sections, comments) is written back as read.
class IniFile
{
public:
    IniFile() = default;
    /// Reads the file at once; a missing file is an empty profile.
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }
    /// Reads the file again, dropping unsaved changes. Throws FileError when it exists but cannot be read.
    void reload();
    /// Writes the whole profile atomically: a failed write leaves the old file whole. Throws FileError,
    /// also when the file exists but could not be read, so that its content is not lost.
    void save() const;

    QStringList sections() const;
    QStringList keys(const QString &section) const;
    bool contains(const QString &section, const QString &key) const;

    QString value(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    /// True when the stored integer is not 0; a missing key or a value that is no integer gives the default.
    bool boolValue(const QString &section, const QString &key, bool defaultValue) const;
    /// Stores "1" or "0".
    void setBool(const QString &section, const QString &key, bool value);
    int intValue(const QString &section, const QString &key, int defaultValue) const;
    void setInt(const QString &section, const QString &key, int value);

    void removeKey(const QString &section, const QString &key);
    void removeSection(const QString &section);

    /// The text save() writes.
    QByteArray toBytes() const;
    /// Replaces the profile with what a file's text holds.
    void parse(const QByteArray &bytes);

private:
    struct Line
    {
        QString key; // empty for a comment or blank line kept as written
        QString value;
        QString raw; // the line as read; empty once the value was changed
    };
    struct Section
    {
        QString name; // empty for lines before the first section header
        QList<Line> lines;
        bool added = false; // not read from the file: set apart from the one before by a blank line
    };

    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);
    const Line *findLine(const QString &section, const QString &key) const;

    QString m_path;
    QList<Section> m_sections;
    bool m_unreadable = false; // never overwrite a file whose content could not be read
    bool m_latin1 = false;     // the file was not UTF-8: an old ANSI profile, written back the same way
    bool m_crlf = false;
};

} // namespace kv
