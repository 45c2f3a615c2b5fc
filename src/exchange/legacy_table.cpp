// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/legacy_table.h"

#include "core/errors.h"
#include "exchange/dbase_table.h"
#include "exchange/paradox_table.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kv {

bool isTextField(LegacyFieldType type)
{
    return type == LegacyFieldType::Alpha || type == LegacyFieldType::Memo
           || type == LegacyFieldType::FormattedMemo;
}

bool isBinaryField(LegacyFieldType type)
{
    return type == LegacyFieldType::Blob || type == LegacyFieldType::Ole || type == LegacyFieldType::Graphic
           || type == LegacyFieldType::Bytes;
}

QStringList LegacyTable::fieldNames() const
{
    QStringList names;
    for (const LegacyField &field : fields)
        names << field.name;
    return names;
}

int LegacyTable::fieldIndex(const QString &name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString LegacyTableFormat::dialogFilter() const
{
    return description() + u" ("_s + nameFilters().join(u' ') + u')';
}

bool LegacyTableFormat::supportsName(const QString &path) const
{
    const QString suffix = u"*."_s + QFileInfo(path).suffix();
    for (const QString &pattern : nameFilters())
        if (pattern.compare(suffix, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::vector<std::unique_ptr<LegacyTableFormat>> legacyTableFormats()
{
    std::vector<std::unique_ptr<LegacyTableFormat>> formats;
    formats.push_back(std::make_unique<ParadoxTableFormat>());
    formats.push_back(std::make_unique<DbaseTableFormat>());
    return formats;
}

QStringList legacyTableDialogFilters()
{
    QStringList filters;
    for (const auto &format : legacyTableFormats())
        filters << format->dialogFilter();
    return filters;
}

bool isLegacyTableFile(const QString &path)
{
    for (const auto &format : legacyTableFormats())
        if (format->supportsName(path))
            return true;
    return false;
}

LegacyTable readLegacyTable(const QString &path)
{
    for (const auto &format : legacyTableFormats()) {
        if (!format->supportsName(path))
            continue;
        LegacyTable table;
        if (!format->read(path, table))
            throw FileError(format->errorString());
        return table;
    }
    throw FileError(u"%1 is neither a Paradox table (.DB) nor a dBase table (.DBF)."_s.arg(path));
}

QString siblingFile(const QString &path, const QString &extension)
{
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + u'.' + extension;
    const QDir dir = info.absoluteDir();
    if (QFileInfo::exists(dir.filePath(wanted)))
        return dir.filePath(wanted);
    const QStringList names = dir.entryList({wanted}, QDir::Files); // name filters ignore case
    return names.isEmpty() ? QString() : dir.filePath(names.first());
}

} // namespace kv
