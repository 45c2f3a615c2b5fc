// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kv {

/// The query part of the "Developer" tab: the text of the last query, to be edited and run again.
class PageDeveloperQuery : public QWidget
{
    Q_OBJECT

public:
    explicit PageDeveloperQuery(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

    QLabel *lQueryToModify;
    QPlainTextEdit *mmModifyQuery;
    QPushButton *bbReapplyQuery;

signals:
    /// "Re-apply Query" was clicked.
    void reapplyQuery();
};

} // namespace kv
