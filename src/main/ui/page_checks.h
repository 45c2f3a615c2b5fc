// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace kv {

/// The "Checks" tab: the text of the last query and of its count query, for reading only.
class PageChecks : public QWidget
{
    Q_OBJECT

public:
    explicit PageChecks(QWidget *parent = nullptr);

    void showTexts(const QString &query, const QString &count);

    QPlainTextEdit *mmQuery, *mmCountQuery;
    /// The log of the last model-age run.
    QPlainTextEdit *Memo2;
};

} // namespace kv
