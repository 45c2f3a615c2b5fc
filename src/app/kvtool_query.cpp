// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool query: defines and runs a query as the "Define Query" tab does, or re-applies a hand-edited text.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "data/dmKV.h"
#include "main/query_command.h"

#include <QDate>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

QString csvField(const QVariant &value)
{
    QString text =
        value.metaType().id() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        text = u'"' + text.replace(u'"', u"\"\""_s) + u'"';
    return text;
}

// Walks the result set from its first row and writes every row; the dataset keeps only a window.
void writeCsv(kv::Dataset &query, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw kv::FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    QTextStream stream(&file);
    const QStringList fields = query.fieldNames();
    QStringList header;
    for (const QString &field : fields)
        header << csvField(field);
    stream << header.join(u',') << '\n';
    // The record view's details need not follow every row.
    query.disableControls();
    for (query.first(); !query.eof(); query.next()) {
        QStringList row;
        for (const QString &field : fields)
            row << csvField(query.value(field));
        stream << row.join(u',') << '\n';
    }
    query.enableControls();
    stream.flush();
    if (!file.commit())
        throw kv::FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
}

int query(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QString csv = c.option(u"csv"_s);
    c.expectNoMoreArgs();

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand command(dm, c.ui);
    if (!options.run(c, dm, command))
        return 1;
    c.out << "# records = " << command.recordCountText() << '\n';
    if (!csv.isEmpty())
        writeCsv(*dm.Query1, csv);
    return 0;
}

kv::tool::Verb queryVerb("query", KV_QUERY_OPTIONS_USAGE " [--csv FILE]", &query);

} // namespace
