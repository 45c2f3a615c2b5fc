// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_checks.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

PageChecks::PageChecks(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"pgChecks"_s);
    auto *layout = new QVBoxLayout(this);
    const auto memo = [this, layout](const QString &name, const QString &caption) {
        layout->addWidget(new QLabel(caption, this));
        auto *edit = new QPlainTextEdit(this);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        return edit;
    };
    mmQuery = memo(u"mmQuery"_s, u"Query"_s);
    layout->addWidget(mmQuery, 3);
    mmCountQuery = memo(u"mmCountQuery"_s, u"Count query"_s);
    layout->addWidget(mmCountQuery, 2);
    Memo2 = memo(u"Memo2"_s, u"Model-age log"_s);
    layout->addWidget(Memo2, 1);
}

void PageChecks::showTexts(const QString &query, const QString &count)
{
    mmQuery->setPlainText(query);
    mmCountQuery->setPlainText(count);
}

} // namespace kv
