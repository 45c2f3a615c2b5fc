// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_developer_query.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

PageDeveloperQuery::PageDeveloperQuery(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"pgDeveloperQuery"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    lQueryToModify = new QLabel(u"Query to modify"_s, this);
    top->addWidget(lQueryToModify);
    top->addStretch(1);
    bbReapplyQuery = new QPushButton(u"Re-apply Query"_s, this);
    bbReapplyQuery->setObjectName(u"bbReapplyQuery"_s);
    connect(bbReapplyQuery, &QPushButton::clicked, this, &PageDeveloperQuery::reapplyQuery);
    top->addWidget(bbReapplyQuery);
    layout->addLayout(top);
    mmModifyQuery = new QPlainTextEdit(this);
    mmModifyQuery->setObjectName(u"mmModifyQuery"_s);
    mmModifyQuery->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmModifyQuery->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mmModifyQuery->setToolTip(u"One select statement: it only reads, and its rows are counted as it "
                              u"returns them."_s);
    layout->addWidget(mmModifyQuery, 1);
}

QString PageDeveloperQuery::text() const
{
    return mmModifyQuery->toPlainText();
}

void PageDeveloperQuery::setText(const QString &text)
{
    mmModifyQuery->setPlainText(text);
}

} // namespace kv
