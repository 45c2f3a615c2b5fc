// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ini_file.h"

#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace kv {

IniFile::IniFile(const QString &path) : m_path(path)
{
    reload();
}

void IniFile::reload()
{
    m_sections.clear();
    m_unreadable = false;
    if (m_path.isEmpty() || !QFileInfo::exists(m_path))
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        throw FileError(u"Cannot read the settings file %1: %2"_s.arg(m_path, file.errorString()));
    }
    parse(file.readAll());
}

void IniFile::parse(const QByteArray &bytes)
{
    m_sections.clear();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    m_latin1 = utf8.hasError();
    if (m_latin1)
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    m_crlf = text.contains(u"\r\n"_s);

    m_sections.append(Section{});
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString raw = lines[i];
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        if (i == lines.size() - 1 && raw.isEmpty())
            break; // the newline that ends the last line
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            m_sections.append(Section{trimmed.mid(1, trimmed.size() - 2).trimmed(), {}});
            continue;
        }
        const qsizetype equals = raw.indexOf(u'=');
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || equals <= 0 ||
            raw.left(equals).trimmed().isEmpty()) {
            m_sections.last().lines.append(Line{{}, {}, raw});
            continue;
        }
        m_sections.last().lines.append(Line{raw.left(equals).trimmed(), raw.mid(equals + 1).trimmed(), raw});
    }
}

QByteArray IniFile::toBytes() const
{
    const QString newline = m_crlf ? u"\r\n"_s : u"\n"_s;
    QString text;
    for (const Section &section : m_sections) {
        if (!section.name.isEmpty()) {
            if (section.added && !text.isEmpty() && !text.endsWith(newline + newline))
                text += newline;
            text += u'[' + section.name + u']' + newline;
        }
        for (const Line &line : section.lines)
            text += (line.key.isEmpty() || !line.raw.isEmpty() ? line.raw : line.key + u'=' + line.value) +
                    newline;
    }
    if (m_latin1) {
        QStringEncoder latin1(QStringEncoder::Latin1);
        return latin1.encode(text);
    }
    return text.toUtf8();
}

void IniFile::save() const
{
    if (m_path.isEmpty())
        throw FileError(u"The settings have no file to be written to."_s);
    if (m_unreadable)
        throw FileError(u"The settings file %1 could not be read, so it is not overwritten."_s.arg(m_path));
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileError(u"Cannot create the folder %1 of the settings file."_s.arg(folder));
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(u"Cannot write the settings file %1: %2"_s.arg(m_path, file.errorString()));
    file.write(toBytes());
    if (!file.commit())
        throw FileError(u"Cannot write the settings file %1: %2"_s.arg(m_path, file.errorString()));
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &section : m_sections)
        if (!section.name.isEmpty() && section.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

IniFile::Section *IniFile::findSection(const QString &name)
{
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

const IniFile::Line *IniFile::findLine(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    if (!s)
        return nullptr;
    // The first of repeated keys wins, as the Windows profile functions read them.
    for (const Line &line : s->lines)
        if (!line.key.isEmpty() && line.key.compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return &line;
    return nullptr;
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Section &section : m_sections)
        if (!section.name.isEmpty())
            names << section.name;
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    if (const Section *s = findSection(section))
        for (const Line &line : s->lines)
            if (!line.key.isEmpty())
                names << line.key;
    return names;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    return findLine(section, key) != nullptr;
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Line *line = findLine(section, key);
    return line ? line->value : defaultValue;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (section.trimmed().isEmpty() || key.trimmed().isEmpty() || key.contains(u'=') ||
        section.contains(u']') || key.contains(u'\n') || value.contains(u'\n'))
        throw InputError(u"The settings key [%1] %2 cannot be stored in a profile file."_s.arg(section, key));
    if (Line *line = const_cast<Line *>(findLine(section, key))) {
        if (line->value != value.trimmed()) {
            line->value = value.trimmed();
            line->raw.clear(); // written anew; lines left alone keep their spelling
        }
        return;
    }
    Section *s = findSection(section);
    if (!s) {
        m_sections.append(Section{section.trimmed(), {}, true});
        s = &m_sections.last();
    }
    // New keys go after the last key of the section, before trailing blank lines.
    qsizetype at = s->lines.size();
    while (at > 0 && s->lines[at - 1].key.isEmpty() && s->lines[at - 1].raw.trimmed().isEmpty())
        --at;
    s->lines.insert(at, Line{key.trimmed(), value.trimmed(), {}});
}

bool IniFile::boolValue(const QString &section, const QString &key, bool defaultValue) const
{
    return intValue(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::setBool(const QString &section, const QString &key, bool value)
{
    setValue(section, key, value ? u"1"_s : u"0"_s);
}

int IniFile::intValue(const QString &section, const QString &key, int defaultValue) const
{
    const Line *line = findLine(section, key);
    if (!line)
        return defaultValue;
    bool ok = false;
    const int number = line->value.toInt(&ok);
    return ok ? number : defaultValue;
}

void IniFile::setInt(const QString &section, const QString &key, int value)
{
    setValue(section, key, QString::number(value));
}

void IniFile::removeKey(const QString &section, const QString &key)
{
    Section *s = findSection(section);
    if (!s)
        return;
    s->lines.removeIf([&](const Line &line) {
        return !line.key.isEmpty() && line.key.compare(key.trimmed(), Qt::CaseInsensitive) == 0;
    });
}

void IniFile::removeSection(const QString &section)
{
    m_sections.removeIf([&](const Section &s) {
        return !s.name.isEmpty() && s.name.compare(section.trimmed(), Qt::CaseInsensitive) == 0;
    });
}

} // namespace kv
