// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/errors.h"

#include <QHash>
#include <QObject>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>

namespace kv {

class Connection;
struct TableDef;

/// A named SQL dataset with a cursor: the text as a list of lines, parameters from a master's current
/// row, calculated fields, display formats, a filter, and live editing of single-table results.
/// Rows are fetched as the cursor reaches them and only a window of them is kept, so a result of a
/// million rows is never read whole.
class Dataset : public QObject
{
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };
    /// What a post-error handler decides: let the error go on to the caller, or abandon the post
    /// silently (the row stays in edit so the user can correct or cancel it).
    enum class PostErrorAction { Fail, Abort };
    using PostErrorHandler = std::function<PostErrorAction(Dataset &, const DatabaseError &)>;
    using Calculation = std::function<QVariant(const Dataset &)>;

    explicit Dataset(const QString &name, Connection *connection = nullptr, QObject *parent = nullptr);
    ~Dataset() override;

    const QString &name() const { return m_name; }
    Connection *connection() const { return m_connection; }
    void setConnection(Connection *connection);

    /// The SQL text, a line per entry; change it only while the dataset is closed.
    QStringList &sql() { return m_sql; }
    const QStringList &sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    QString sqlText() const { return m_sql.join(u'\n'); }

    /// Parameters take their values from the same-named fields of the master's current row, and the
    /// dataset is re-run whenever the master moves.
    void setMaster(Dataset *master);
    Dataset *master() const { return m_master; }
    /// A parameter value given directly; it wins over the master's field.
    void setParam(const QString &name, const QVariant &value);
    QStringList paramNames() const;

    void setLive(bool live) { m_live = live; }
    bool isLive() const { return m_live; }
    /// Forward-only datasets keep only a short window of rows.
    void setForwardOnly(bool forwardOnly) { m_forwardOnly = forwardOnly; }
    bool isForwardOnly() const { return m_forwardOnly; }
    /// A dataset that may read a very large result (the result set of a query): on PostgreSQL it streams
    /// its rows through a connection of its own instead of receiving the whole result at once.
    void setStreamed(bool streamed) { m_streamed = streamed; }
    bool isStreamed() const { return m_streamed; }
    /// The table live edits are written to; found in "select ... from TABLE" when not set.
    void setTableName(const QString &table) { m_tableName = table; }
    QString tableName() const;

    void prepare();
    void open();
    void close();
    /// Re-runs the query and tries to stay on the same row number.
    void refresh();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Cursor
    void first();
    void next();
    void prior();
    void last();
    /// Moves to a 0-based row number; false when there is no such row.
    bool moveTo(int row);
    void moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const;
    /// 0-based row number of the current row, -1 when empty.
    int recNo() const { return m_position; }
    /// The number of rows; counted by the database when not all rows have been read yet.
    int recordCount();
    /// Rows read from the database since the query last ran, and rows kept in memory now.
    int rowsRead() const { return m_fetched; }
    int rowsHeld() const { return int(m_rows.size()); }
    /// Moves to the first row whose field equals the value; false (and no move) when none does.
    bool locate(const QString &field, const QVariant &value, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    // Fields
    QStringList fieldNames() const;
    bool hasField(const QString &field) const;
    QVariant value(const QString &field) const;
    /// A field of another row, read without moving the cursor (for grids); null past the last row.
    QVariant valueAt(int row, const QString &field);
    QString displayTextAt(int row, const QString &field);
    QString text(const QString &field) const { return value(field).toString(); }
    /// The value as the record view shows it, with the field's display format.
    QString displayText(const QString &field) const;
    /// Sets a field of the row being edited or inserted.
    void setValue(const QString &field, const QVariant &value);
    void addCalculatedField(const QString &field, const Calculation &calculation);
    void setDisplayFormat(const QString &field, const QString &format);
    QString displayFormat(const QString &field) const;

    // Filter: an SQL condition over the dataset's rows
    void setFilter(const QString &condition);
    const QString &filter() const { return m_filter; }
    void setFiltered(bool filtered);
    bool isFiltered() const { return m_filtered; }

    // Editing
    void edit();
    void insert();
    void append();
    /// Writes the pending row. Returns false when a post-error handler abandoned the post; throws the
    /// engine's error when it goes on to the caller.
    bool post();
    void cancel();
    /// Deletes the current row from the table.
    void remove();
    void setPostErrorHandler(const PostErrorHandler &handler) { m_postErrorHandler = handler; }

    /// While controls are disabled no scroll or change is signalled; enabling signals one scroll.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    /// Lets go of the open database cursor; the rows kept stay, and the query runs again when the
    /// cursor moves past them.
    void releaseCursor();

    /// Formats a number with a display format such as "###0.00", "0.000" or "0.00000e+00".
    static QString formatNumber(double value, const QString &format);

signals:
    void afterOpen();
    void afterClose();
    /// The cursor moved, or the rows changed under it.
    void afterScroll();
    void afterPost();
    void afterDelete();
    void stateChanged();
    /// The rows were read anew (open, refresh, a master's move, a filter) or a row came or went.
    void rowsReset();
    /// A value of the row in edit changed.
    void fieldChanged(const QString &field);

private:
    using Row = QList<QVariant>;

    void requireOpen() const;
    void execute();
    bool fetchOne();
    /// The next row of the open query; fetches the next batch of a server cursor.
    bool nextRow();
    std::unique_ptr<QSqlQuery> openServerCursor(const QString &text);
    void restartAt(int row);
    bool ensureRow(int row);
    void fetchAll();
    void trimWindow();
    const Row *currentRow() const;
    int columnIndex(const QString &field) const;
    int calculatedIndex(const QString &field) const;
    QVariant normalize(int column, const QVariant &value) const;
    QString effectiveSql() const;
    void bindParams(QSqlQuery &query) const;
    void onMasterChanged();
    void rerunAtFirst();
    template<typename Read>
    auto readAt(int row, Read read) -> decltype(read());
    void notifyScroll();
    void setState(State state);
    const TableDef *writeTable() const;
    QStringList writableColumns() const;
    QString identityCondition(const QStringList &columns, QVariantList &values) const;
    void writeRow();
    void writeRowOnce();
    void removeOnce();
    PostErrorAction handlePostError(const DatabaseError &error);

    QString m_name;
    Connection *m_connection = nullptr;
    QStringList m_sql;
    Dataset *m_master = nullptr;
    QMetaObject::Connection m_masterScroll;
    QMetaObject::Connection m_masterOpen;
    QMetaObject::Connection m_masterClose;
    QHash<QString, QVariant> m_params;
    bool m_live = false;
    bool m_forwardOnly = false;
    bool m_streamed = false;
    bool m_serverCursor = false; // m_query reads a PostgreSQL cursor in a transaction of its own
    int m_batchRows = 0;         // rows read from the cursor's current batch
    QString m_tableName;
    QString m_filter;
    bool m_filtered = false;

    State m_state = State::Inactive;
    std::unique_ptr<QSqlQuery> m_query;
    QStringList m_columns;                 // result columns, spelled as the schema spells them
    QList<QMetaType::Type> m_columnTypes;  // the schema's type of each, or what the driver says
    QHash<QString, int> m_columnIndex;     // lower-case name -> index
    QStringList m_calculatedNames;
    QList<Calculation> m_calculations;
    QHash<QString, QString> m_displayFormats; // lower-case name -> format

    std::deque<Row> m_rows; // the window of rows kept, starting at row m_windowStart
    int m_windowStart = 0;
    bool m_fetchedAll = false;
    int m_fetched = 0; // rows read from the current query so far
    int m_position = -1;
    bool m_eof = true;
    bool m_bof = true;
    int m_countCache = -1;

    Row m_buffer;         // the row in edit or insert
    int m_insertedAt = -1; // where an inserted row stands in the window
    int m_disableCount = 0;
    bool m_scrollPending = false;
    bool m_resetPending = false;
    PostErrorHandler m_postErrorHandler;
};

} // namespace kv
