// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/recalculation.h"

#include "calc/floating_point_error.h"
#include "calc/model_age.h"
#include "core/interaction.h"
#include "data/connection.h"
#include "data/database_backend.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/row_arrays.h"
#include "data/schema.h"
#include "main/recalculation_isochron.h"
#include "main/record_commands.h"

#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr double NoValue = 9999.99;
constexpr double Multiplier = 1.96;
constexpr double SigmaFloor = 0.00001;
// Records read per round of set queries: bounds what one round holds in memory.
constexpr qsizetype ChunkSize = 10000;
// The all-records commands refresh the progress panel every so many records, not for every one.
constexpr int ProgressStep = 500;

const QString Differs = u"Recalculated value differs from original value. Store new value ("_s;

std::optional<double> number(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

std::optional<double> scaled(const QVariant &value, const QVariant &factor)
{
    const std::optional<double> v = number(value);
    if (!v)
        return std::nullopt;
    // A value without its normalising factor stands as measured.
    return *v * number(factor).value_or(1.0);
}


QString now()
{
    return QTime::currentTime().toString();
}


QString fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// The record ids of one run, kept in a temporary table so that the set queries join on them.
void fillRecordTable(Connection &c, const QList<int> &sortedIDs)
{
    c.exec(u"create temporary table if not exists KVRecalcRecords (RecordID integer primary key)"_s);
    c.exec(u"delete from KVRecalcRecords"_s);
    if (RowArrays::apply(c)) {
        c.exec(u"insert into KVRecalcRecords (RecordID) select unnest(cast(? as integer[]))"_s,
               {RowArrays::literal(sortedIDs.size(), [&](qsizetype i) { return QVariant(sortedIDs[i]); })});
        c.exec(u"analyze KVRecalcRecords"_s);
        return;
    }
    constexpr qsizetype batch = 500;
    for (qsizetype i = 0; i < sortedIDs.size(); i += batch) {
        const qsizetype n = std::min(batch, sortedIDs.size() - i);
        QStringList marks(n, u"(?)"_s);
        QVariantList values;
        for (qsizetype k = 0; k < n; ++k)
            values << sortedIDs[i + k];
        c.exec(u"insert into KVRecalcRecords (RecordID) values "_s + marks.join(u','), values);
    }
}

const QStringList roles{u"X"_s, u"Xerr"_s, u"Xerrt"_s, u"Y"_s, u"Yerr"_s, u"Yerrt"_s, u"R"_s};

// One row per sample of the records in range, with each role's value and normalising factor, read through
// the SysVarData row of the record's own system and approach.
// (The error correlation R is read only for the commands that use it: readRho.)
QString samplesSql(Backend engine, bool readRho)
{
    const QString from = u" from KVRecalcRecords t join IsoRgr30 i on i.RecordID = t.RecordID"
                         u" join SmpReg r on r.RecordID = i.RecordID and r.IsoSystem = i.IsotopeSystem"
                         u" left join SysVarData v on v.IsoSystem = i.IsotopeSystem and v.ApproachAbr = i.ApproachAbr "_s;
    // The rows come unsorted (sorting them costs the engine more than the reader, which puts each record's
    // samples in the same order on every engine).
    const QString where = engine == Backend::SQLite
                              ? u" where t.RecordID between ? and ?"_s
                              : u" where t.RecordID between ? and ? and i.RecordID between ? and ?"_s;
    QStringList columns{u"r.RecordID"_s, u"r.SampleNo"_s, u"r.Frac"_s, u"r.Included"_s};
    if (engine == Backend::PostgreSQL) {
        // One index range over the sample's variables, picked by role: PostgreSQL would otherwise hash the
        // whole of SmpData once for every role. Each row is matched to the roles once, not once for its
        // value and again for its factor (offset 0 keeps the planner from copying the matches back into
        // every pick). A factor of 1 comes as none, which scales alike: the server then prints and the
        // driver parses half as many numbers.
        QStringList picks, matches;
        for (const QString &role : roles) {
            if (role == u"R"_s && !readRho) {
                columns << u"null"_s << u"null"_s;
                continue;
            }
            matches << u"d.VariableID = v.%1 as is%1"_s.arg(role);
            picks << u"max(case when is%1 then DataValue end) x%1D"_s.arg(role)
                  << u"max(case when is%1 then nullif(NormalisingFactor, 1) end) x%1N"_s.arg(role);
            columns << u"x.x%1D"_s.arg(role) << u"x.x%1N"_s.arg(role);
        }
        return u"select "_s + columns.join(u", "_s) + from + u"left join lateral (select "_s + picks.join(u", "_s) +
               u" from (select d.DataValue, d.NormalisingFactor, "_s + matches.join(u", "_s) +
               u" from SmpData d where d.SampleNo = r.SampleNo and d.Frac = r.Frac and d.IsoSystem = r.IsoSystem"
               u" offset 0) m) x on true"_s +
               where;
    }
    QStringList joins;
    for (const QString &role : roles) {
        if (role == u"R"_s && !readRho) {
            columns << u"null"_s << u"null"_s;
            continue;
        }
        const QString a = u"d"_s + role;
        columns << a + u".DataValue"_s << a + u".NormalisingFactor"_s;
        joins << u"left join SmpData %1 on %1.SampleNo = r.SampleNo and %1.Frac = r.Frac "
                 u"and %1.IsoSystem = r.IsoSystem and %1.VariableID = v.%2"_s.arg(a, role);
    }
    return u"select "_s + columns.join(u", "_s) + from + joins.join(u' ') + where;
}

// Reads the records of sortedIDs in rounds of ChunkSize and hands each round over, in RecordID order, to
// take with its number; a round it refuses (returns false) ends the reading. With a stride above 1 it reads
// only every stride-th round from round first on (others read the rest).
void forEachChunk(Connection &c, const QList<int> &sortedIDs, bool readRho,
                  const std::function<bool(qsizetype, QList<RecalculationInput> &&)> &take, qsizetype first = 0,
                  qsizetype stride = 1)
{
    fillRecordTable(c, sortedIDs);
    const QString recordsSql =
        u"select i.RecordID, i.IsotopeSystem, i.ApproachAbr, i.InterpAbr, i.IAge, s.DecayConst1, "
        u"u.URparam1, u.URparam2, u.URparam3, m.ModelParam1, m.ModelParam2, m.ModelParam3, m.ModelName, "
        u"m.IsoSystem from KVRecalcRecords t join IsoRgr30 i on i.RecordID = t.RecordID "
        u"left join IsoSystem s on s.IsoSystem = i.IsotopeSystem "
        u"left join IsoUR u on u.IsoSystem = i.IsotopeSystem "
        u"left join IsoModels m on m.IsoSystem = i.IsotopeSystem and m.ModelID = i.ApproachAbr "
        u"where t.RecordID between ? and ? and i.RecordID between ? and ? order by i.RecordID"_s;
    const QString initSql = u"select n.RecordID, n.InitRatio, n.InitRatioError, n.Epsilon, n.EpsilonError "
                            u"from KVRecalcRecords t join IsoInit n on n.RecordID = t.RecordID "
                            u"where t.RecordID between ? and ? and n.RecordID between ? and ?"_s;
    const QString statisticsSql = u"select distinct s.RecordID from KVRecalcRecords t "
                                  u"join IsoStatistics s on s.RecordID = t.RecordID "
                                  u"where t.RecordID between ? and ? and s.RecordID between ? and ?"_s;
    const QString sampleSql = samplesSql(c.backend(), readRho);

    for (qsizetype round = first, start = first * ChunkSize; start < sortedIDs.size();
         round += stride, start += stride * ChunkSize) {
        const qsizetype end = std::min(start + ChunkSize, sortedIDs.size());
        // The range goes on both sides of a join: PostgreSQL carries no inequality across one, and would
        // otherwise scan the records' tables whole each round (the sample query finds its samples by key).
        const QVariantList range{sortedIDs[start], sortedIDs[end - 1], sortedIDs[start], sortedIDs[end - 1]};

        QHash<int, RecalculationInput> inputs;
        QList<int> order;
        {
            QSqlQuery q = c.prepare(recordsSql);
            q.setForwardOnly(true);
            for (const QVariant &v : range)
                q.addBindValue(v);
            c.execPrepared(q);
            while (q.next()) {
                RecalculationInput in;
                in.RecordID = q.value(0).toInt();
                in.IsotopeSystem = q.value(1).toString();
                in.ApproachAbr = q.value(2).toString();
                in.InterpAbr = q.value(3).toString();
                in.Age = q.value(4).toInt() * 0.001;
                in.lambda = number(q.value(5));
                in.URparam1 = number(q.value(6));
                in.URparam2 = number(q.value(7));
                in.URparam3 = number(q.value(8));
                in.ModelParam1 = number(q.value(9));
                in.ModelParam2 = number(q.value(10));
                in.ModelParam3 = number(q.value(11));
                in.ModelName = q.value(12).toString();
                if (q.value(13).isNull())
                    in.ModelParam1 = in.ModelParam2 = in.ModelParam3 = std::nullopt;
                order << in.RecordID;
                inputs.insert(in.RecordID, in);
            }
        }
        {
            QSqlQuery q = c.prepare(initSql);
            q.setForwardOnly(true);
            for (const QVariant &v : range)
                q.addBindValue(v);
            c.execPrepared(q);
            while (q.next()) {
                auto it = inputs.find(q.value(0).toInt());
                if (it == inputs.end() || it->hasInit)
                    continue; // the first row of a record is the one the command edits
                it->hasInit = true;
                it->InitRatio = number(q.value(1));
                it->InitRatioError = number(q.value(2));
                it->Epsilon = number(q.value(3));
                it->EpsilonError = number(q.value(4));
            }
        }
        {
            QSqlQuery q = c.prepare(statisticsSql);
            q.setForwardOnly(true);
            for (const QVariant &v : range)
                q.addBindValue(v);
            c.execPrepared(q);
            while (q.next())
                if (auto it = inputs.find(q.value(0).toInt()); it != inputs.end())
                    it->hasStatistics = true;
        }
        {
            QSqlQuery q = c.prepare(sampleSql);
            q.setForwardOnly(true);
            for (const QVariant &v : c.backend() == Backend::SQLite ? range.mid(0, 2) : range)
                q.addBindValue(v);
            c.execPrepared(q);
            // A record's rows come together as the engines read them: its entry is looked up again only when
            // the record changes.
            auto it = inputs.end();
            while (q.next()) {
                const int id = q.value(0).toInt();
                if (it == inputs.end() || it.key() != id)
                    it = inputs.find(id);
                if (it == inputs.end())
                    continue;
                SampleValues s;
                s.SampleNo = q.value(1).toString();
                s.Frac = q.value(2).toString();
                s.included = q.value(3).toString() == u"Y"_s;
                std::optional<double> *targets[]{&s.X, &s.Xerr, &s.Xerrt, &s.Y, &s.Yerr, &s.Yerrt, &s.R};
                for (int k = 0; k < 7; ++k)
                    *targets[k] = scaled(q.value(4 + 2 * k), q.value(5 + 2 * k));
                // The error types are flags: their DataValue as read, not scaled.
                s.Xerrt = number(q.value(4 + 2 * 2));
                s.Yerrt = number(q.value(4 + 2 * 5));
                it->samples << s;
            }
        }
        QList<RecalculationInput> chunk;
        chunk.reserve(order.size());
        for (int id : std::as_const(order)) {
            auto it = inputs.find(id);
            std::sort(it->samples.begin(), it->samples.end(), [](const SampleValues &a, const SampleValues &b) {
                return std::tie(a.SampleNo, a.Frac) < std::tie(b.SampleNo, b.Frac);
            });
            chunk << std::move(*it);
            inputs.erase(it);
        }
        if (!take(round, std::move(chunk)))
            return;
    }
}

void forEachInput(Connection &c, const QList<int> &sortedIDs, bool readRho,
                  const std::function<void(const RecalculationInput &)> &visit)
{
    forEachChunk(c, sortedIDs, readRho, [&](qsizetype, QList<RecalculationInput> &&chunk) {
        for (const RecalculationInput &in : std::as_const(chunk))
            visit(in);
        return true;
    });
}

// As forEachInput, with the reading done by two threads, each on a connection of its own and each reading
// every other round, a round or two ahead of the computing and writing done here. Those connections see
// the database as committed before the run, which is what the run reads anyway: no record's writes touch
// another record's input.
void forEachInputAlongside(Connection &results, const QList<int> &sortedIDs, bool readRho,
                           const std::function<void(const RecalculationInput &)> &visit)
{
    constexpr qsizetype Readers = 2, Ahead = 2;
    std::mutex mutex;
    std::condition_variable changed;
    std::map<qsizetype, QList<RecalculationInput>> ready;
    qsizetype next = 0; // the round visited next
    int running = Readers;
    bool stop = false;
    std::exception_ptr failure;
    const QString name = results.name() + u" reader"_s, location = results.location();

    std::vector<std::thread> readers;
    for (qsizetype k = 0; k < Readers; ++k)
        readers.emplace_back([&, k] {
            try {
                Connection c(name);
                c.bind(location);
                c.open();
                c.engine().prepareStreamingRead(c);
                forEachChunk(
                    c, sortedIDs, readRho,
                    [&](qsizetype round, QList<RecalculationInput> &&chunk) {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return stop || round < next + Ahead; });
                        if (stop)
                            return false;
                        ready.emplace(round, std::move(chunk));
                        changed.notify_all();
                        return true;
                    },
                    k, Readers);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                stop = true;
            }
            const std::lock_guard lock(mutex);
            --running;
            changed.notify_all();
        });
    const auto joinReaders = qScopeGuard([&] {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread &t : readers)
            t.join();
    });
    const qsizetype rounds = (sortedIDs.size() + ChunkSize - 1) / ChunkSize;
    for (; next < rounds;) {
        QList<RecalculationInput> chunk;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready.contains(next) || failure || running == 0; });
            if (failure)
                std::rethrow_exception(failure);
            auto it = ready.find(next);
            if (it == ready.end())
                return;
            chunk = std::move(it->second);
            ready.erase(it);
            ++next;
        }
        changed.notify_all();
        for (const RecalculationInput &in : std::as_const(chunk))
            visit(in);
    }
}

// The writes of one run. SQLite takes each row through a statement prepared once; an engine behind a
// connection (PostgreSQL) takes them in batches of many rows, one round trip each. flush() writes what is
// queued; the run calls it before it commits.
class Writer
{
public:
    explicit Writer(Connection &c) : m_c(c), m_batched(RowArrays::apply(c)) {}

    void initRatio(const RecalculationInput &in, const QList<std::pair<QString, QVariant>> &fields)
    {
        write(u"IsoInit"_s, in.hasInit, in.RecordID, fields);
    }
    void statistics(const RecalculationInput &in, const QList<std::pair<QString, QVariant>> &fields)
    {
        write(u"IsoStatistics"_s, in.hasStatistics, in.RecordID, fields);
    }
    void age(int recordID, int iAge, int iError)
    {
        record(recordID, {{u"IAge"_s, iAge}, {u"IAgePError"_s, iError}, {u"IAgeMError"_s, iError}});
    }
    void record(int recordID, const QList<std::pair<QString, QVariant>> &fields)
    {
        write(u"IsoRgr30"_s, true, recordID, fields);
    }
    void flush()
    {
        for (auto it = m_queues.begin(); it != m_queues.end(); ++it)
            writeBatch(*it);
    }

private:
    // Rows per statement. Not more: the planner, shown a longer array, joins an update with a scan of the
    // whole table instead of an index look-up per row.
    static constexpr int BatchRows = 500;

    // The rows waiting for one statement: an edit or an addition of the same fields of one table.
    struct Queue
    {
        QString table;
        bool update = false;
        QStringList names;
        QList<QVariantList> rows; // RecordID first, then the fields' values
        std::optional<QSqlQuery> statement; // prepared at the first batch
    };

    // Edits the record's row, or adds one when it has none.
    void write(const QString &table, bool exists, int recordID,
               const QList<std::pair<QString, QVariant>> &fields)
    {
        QStringList names;
        QVariantList row{recordID};
        for (const auto &[name, value] : fields) {
            names << name;
            row << value;
        }
        const QString key = table + (exists ? u"u"_s : u"i"_s) + names.join(u',');
        if (m_batched) {
            Queue &queue = m_queues[key];
            if (queue.table.isEmpty())
                queue = Queue{table, exists, names, {}, std::nullopt};
            queue.rows << row;
            if (queue.rows.size() >= BatchRows)
                writeBatch(queue);
            return;
        }
        auto it = m_statements.find(key);
        if (it == m_statements.end())
            it = m_statements.insert(key, m_c.prepare(singleText(table, exists, names)));
        QSqlQuery &q = *it;
        if (exists)
            row.append(row.takeFirst()); // the key goes last, into the WHERE
        for (const QVariant &v : std::as_const(row))
            q.addBindValue(v);
        m_c.execPrepared(q);
    }

    static QString singleText(const QString &table, bool exists, const QStringList &names)
    {
        if (!exists)
            return u"insert into %1 (RecordID, %2) values (?%3)"_s.arg(table, names.join(u", "_s),
                                                                       QString(u", ?"_s).repeated(names.size()));
        QStringList sets;
        for (const QString &n : names)
            sets << n + u" = ?"_s;
        return u"update %1 set %2 where RecordID = ?"_s.arg(table, sets.join(u", "_s));
    }

    // One statement for the queued rows, which it reads from one typed array per column: an insert, or an
    // update joined on RecordID (one index look-up a row; a VALUES list of as many rows made PostgreSQL
    // scan the whole table for each batch).
    void writeBatch(Queue &queue)
    {
        if (queue.rows.isEmpty())
            return;
        if (!queue.statement)
            queue.statement = m_c.prepare(batchText(queue));
        for (qsizetype c = 0; c <= queue.names.size(); ++c)
            queue.statement->bindValue(int(c), RowArrays::literal(queue.rows.size(), [&](qsizetype r) -> const QVariant & {
                                           return queue.rows[r][c];
                                       }));
        queue.rows.clear();
        m_c.execPrepared(*queue.statement);
    }

    static QString batchText(const Queue &queue)
    {
        const TableDef *def = Schema::table(queue.table);
        const ColumnDef *key = def ? def->column(u"RecordID"_s) : nullptr;
        if (!key)
            throw InputError(u"The table %1 has no column RecordID."_s.arg(queue.table));
        QList<const ColumnDef *> columns{key};
        for (const QString &name : std::as_const(queue.names)) {
            const ColumnDef *column = def->column(name);
            if (!column)
                throw InputError(u"The table %1 has no column %2."_s.arg(queue.table, name));
            columns << column;
        }
        const QString source =
            u"%1 as s(RecordID, %2)"_s.arg(RowArrays::unnest(columns), queue.names.join(u", "_s));
        if (queue.update) {
            QStringList sets;
            for (const QString &n : std::as_const(queue.names))
                sets << u"%1 = s.%1"_s.arg(n);
            return u"update %1 set %2 from %3 where %1.RecordID = s.RecordID"_s.arg(queue.table, sets.join(u", "_s),
                                                                                   source);
        }
        return u"insert into %1 (RecordID, %2) select s.RecordID, s.%3 from %4"_s.arg(
            queue.table, queue.names.join(u", "_s), queue.names.join(u", s."_s), source);
    }

    Connection &m_c;
    const bool m_batched;
    QHash<QString, QSqlQuery> m_statements;
    QHash<QString, Queue> m_queues;
};

struct Run
{
    Interaction &ui;
    RecalculationScope scope;
    QStringList *log;
    Writer &writer;

    bool single() const { return scope == RecalculationScope::ThisRecord; }
    void say(const QString &text) const
    {
        if (single())
            ui.warning(text);
    }
    bool confirm(const QString &text) const { return !single() || ui.askYesNo(text); }
    // A log line with the time it was written; nothing is made when the run keeps no log.
    void addLog(const QString &line) const
    {
        if (log)
            *log << line + now();
    }
    // The per-sample counter of the progress panel; an all-records run shows its record count instead.
    void sampleProgress(std::size_t n) const
    {
        if (single())
            ui.progress(u"Calculating ...   "_s + QString::number(n));
    }
};

RecalculationOutcome nothing(const RecalculationInput &in, const QString &reason)
{
    RecalculationOutcome o;
    o.RecordID = in.RecordID;
    o.reason = reason;
    return o;
}

// The statistics fields both commands write: MSWD only from two samples up (one leaves it as it was).
QList<std::pair<QString, QVariant>> statisticsFields(const calc::WeightedMean &m, int n)
{
    QList<std::pair<QString, QVariant>> fields;
    if (m.n > 1)
        fields << std::pair{u"MSWD"_s, QVariant(m.mswd)};
    else if (m.n < 1)
        fields << std::pair{u"MSWD"_s, QVariant(0.0)};
    fields << std::pair{u"NReg"_s, QVariant(double(m.n))} << std::pair{u"NSamples"_s, QVariant(n)};
    return fields;
}

std::optional<double> reservoirRatio(const RecalculationInput &in, double f)
{
    if (!in.URparam1 || !in.URparam2)
        return std::nullopt;
    return *in.URparam2 - f * *in.URparam1;
}

// A record not interpreted as a model initial ratio: the data give no new ratio, so the stored one
// stays and only its epsilon is recalculated.
RecalculationOutcome storedRatioEpsilon(const RecalculationInput &in, const Run &run)
{
    const bool qualifies = in.Age > 0 && in.hasInit && in.InitRatio.value_or(0) > 0 &&
                           in.ApproachAbr != u"MdlPb"_s &&
                           !(in.ApproachAbr == u"MdlRa"_s && !in.samples.isEmpty());
    if (!qualifies)
        return nothing(in, u"not a model initial ratio"_s);
    if (!(in.lambda.value_or(0) > 0))
        return nothing(in, u"the isotope system %1 has no decay constant"_s.arg(in.IsotopeSystem));
    const double lambda = *in.lambda;
    const double f = std::exp(lambda * in.Age * 1000000) - 1;
    const std::optional<double> reservoir = reservoirRatio(in, f);
    if (!reservoir || !(*reservoir > 0)) {
        run.say(u"No epsilon value for record %1: the reservoir ratio at %2 Ma is not positive."_s.arg(
            in.RecordID)
                    .arg(in.Age, 0, 'f', 3));
        return nothing(in, u"the reservoir ratio at the record's age is not positive"_s);
    }
    const double scale = in.URparam3.value_or(0);
    const double r0 = *in.InitRatio;
    const double sigma = in.InitRatioError.value_or(NoValue) > 0 ? in.InitRatioError.value_or(NoValue) : NoValue;
    const double epsilon = (r0 / *reservoir - 1) * scale;
    const double epsilonError = sigma == NoValue ? NoValue : scale * sigma / r0;
    const auto differs = [](const std::optional<double> &old, double value) {
        return !old || std::fabs(value - *old) > 0.001 * std::fabs(*old);
    };
    if (!differs(in.Epsilon, epsilon) && !differs(in.EpsilonError, epsilonError))
        return nothing(in, u"the epsilon value is unchanged"_s);
    if (!run.confirm(u"Recalculated value differs from original value. Store new value?"_s))
        return nothing(in, u"answered No"_s);
    RecalculationOutcome o;
    o.RecordID = in.RecordID;
    o.stored = {{u"Epsilon"_s, epsilon}, {u"EpsilonError"_s, epsilonError}};
    run.writer.initRatio(in, o.stored);
    return o;
}

RecalculationOutcome epsilonGamma(const RecalculationInput &in, const Run &run)
{
    if (in.InterpAbr != u"MdlR0"_s)
        return storedRatioEpsilon(in, run);
    if (!(in.Age > 0) || in.ApproachAbr != u"MdlRa"_s || in.samples.isEmpty())
        return nothing(in, u"a model initial ratio needs an age, the approach MdlRa and samples"_s);
    if (!(in.lambda.value_or(0) > 0))
        return nothing(in, u"the isotope system %1 has no decay constant"_s.arg(in.IsotopeSystem));
    const double lambda = *in.lambda;
    const double f = std::exp(lambda * in.Age * 1000000) - 1;
    const std::optional<double> reservoir = reservoirRatio(in, f);

    std::vector<double> values, errors;
    for (const SampleValues &s : in.samples) {
        if (!s.included)
            continue;
        double x = s.X.value_or(0), y = s.Y.value_or(0), sx = s.Xerr.value_or(0), sy = s.Yerr.value_or(0);
        if (!(x > 0 && y > 0 && sx > 0 && sy > 0))
            continue;
        run.sampleProgress(values.size() + 1);
        const double r = s.R.value_or(0);
        const double r0 = y - f * x;
        std::tie(sx, sy) = absoluteErrors(s, x, y, sx, sy);
        const double g = -1 * x * lambda * (f + 1) * 1;
        const double v = sy * sy + f * f * sx * sx + g * g + 2 * f * r * sx * sy;
        const double error = v > 0 ? Multiplier * std::sqrt(v) : NoValue;
        if (r0 == NoValue || r0 < 0)
            continue; // dropped
        values.push_back(r0);
        errors.push_back(error);
    }
    const int n = int(values.size());
    if (n < 1)
        return nothing(in, u"no included sample gives an initial ratio"_s);
    const calc::WeightedMean m = calc::WeightedMeanOfSamples(values, errors);
    const double ratio = m.mean;
    const double sigma = std::max(m.externalError, m.internalError);

    if (in.hasInit && in.InitRatio.value_or(0) != 0 &&
        !run.confirm(Differs + fixed(ratio, 6) + u")?"_s))
        return nothing(in, u"answered No"_s);

    const double scale = in.URparam3.value_or(0);
    const double epsilonError = (sigma == NoValue || ratio == 0) ? NoValue : scale * sigma / ratio;
    QVariant epsilon, epsilonErrorValue;
    if (reservoir && *reservoir > 0) {
        epsilon = (ratio / *reservoir - 1) * scale;
        epsilonErrorValue = epsilonError;
    } else {
        // No epsilon is defined; an old one would belong to another ratio.
        epsilon = QVariant(QMetaType::fromType<double>());
        epsilonErrorValue = QVariant(QMetaType::fromType<double>());
        run.say(u"No epsilon value for record %1: the reservoir ratio at %2 Ma is not positive."_s.arg(
            in.RecordID)
                    .arg(in.Age, 0, 'f', 3));
    }
    RecalculationOutcome o;
    o.RecordID = in.RecordID;
    const QList<std::pair<QString, QVariant>> init{{u"InitRatio"_s, ratio},
                                                   {u"InitRatioError"_s, sigma},
                                                   {u"Epsilon"_s, epsilon},
                                                   {u"EpsilonError"_s, epsilonErrorValue}};
    run.writer.initRatio(in, init);
    const QList<std::pair<QString, QVariant>> statistics = statisticsFields(m, n);
    run.writer.statistics(in, statistics);
    o.stored = init + statistics;
    return o;
}

RecalculationOutcome modelAge(const RecalculationInput &in, const Run &run)
{
    if (in.InterpAbr != u"CrsRs"_s ||
        !(in.ApproachAbr == u"DM"_s || in.ApproachAbr == u"CHUR"_s || in.ApproachAbr == u"RD"_s))
        return nothing(in, u"not a crustal residence age of approach DM, CHUR or RD"_s);
    if (!(in.lambda.value_or(0) > 0))
        return nothing(in, u"the isotope system %1 has no decay constant"_s.arg(in.IsotopeSystem));
    if (!in.ModelParam3)
        return nothing(in, u"there is no model %1 for the isotope system %2"_s.arg(in.ApproachAbr,
                                                                                  in.IsotopeSystem));
    const double lambda = *in.lambda;
    const double c2 = in.ModelParam1.value_or(0), c1 = in.ModelParam2.value_or(0), c0 = *in.ModelParam3;

    std::vector<double> values, errors;
    for (const SampleValues &s : in.samples) {
        if (!s.included)
            continue;
        run.addLog(u"Starting to read data"_s);
        double x = s.X.value_or(0), y = s.Y.value_or(0), sx = s.Xerr.value_or(0), sy = s.Yerr.value_or(0);
        if (x > 0 && y > 0 && sx > 0 && sy > 0) {
            run.sampleProgress(values.size() + 1);
            double age = NoValue, error = NoValue;
            try {
                age = calc::ModelAge(lambda, c0, c1, c2, y, x);
            } catch (const calc::FloatingPointError &) {
                run.say(u"Error calculating model age"_s);
                age = NoValue;
            }
            std::tie(sx, sy) = absoluteErrors(s, x, y, sx, sy);
            try {
                error = calc::ModelAgeError(lambda, c0, c1, c2, Multiplier, sy, y, sx, x);
            } catch (const calc::FloatingPointError &) {
                run.say(u"Error calculating model age error"_s);
                error = NoValue;
            }
            if (age != NoValue && age >= 0) {
                values.push_back(age);
                errors.push_back(error);
            }
        }
        run.addLog(u"Next "_s);
    }
    const int n = int(values.size());
    if (n < 1)
        return nothing(in, u"no included sample gives a model age"_s);
    const calc::WeightedMean m = calc::WeightedMeanOfSamples(values, errors);
    const double age = m.mean;
    const double sigma = std::max(m.externalError, m.internalError);
    if (!(age > 0))
        return nothing(in, u"the mean model age is not positive"_s);
    if (std::fabs(age - in.Age) / (in.Age + 0.0001) <= 0.001)
        return nothing(in, u"the model age differs by 0.1 % or less from the stored age"_s);
    const std::optional<int> iAge = ageThousandths(age), iError = ageThousandths(sigma);
    if (!iAge || !iError) {
        run.say(u"The model age of record %1 (%2 Ma) cannot be stored: its value in thousandths of a Ma "
                u"does not fit the age field."_s.arg(in.RecordID)
                    .arg(fixed(age, 3)));
        return nothing(in, u"the model age does not fit the age field"_s);
    }
    if (!run.confirm(Differs + fixed(age, 3) + u")?"_s))
        return nothing(in, u"answered No"_s);

    RecalculationOutcome o;
    o.RecordID = in.RecordID;
    run.writer.age(in.RecordID, *iAge, *iError);
    const QList<std::pair<QString, QVariant>> init{{u"Model"_s, in.ModelName.left(20)}};
    run.writer.initRatio(in, init);
    const QList<std::pair<QString, QVariant>> statistics = statisticsFields(m, n);
    run.writer.statistics(in, statistics);
    o.stored = QList<std::pair<QString, QVariant>>{
                   {u"IAge"_s, *iAge}, {u"IAgePError"_s, *iError}, {u"IAgeMError"_s, *iError}} +
               init + statistics;
    return o;
}

RecalculationOutcome isochron(const RecalculationInput &in, const Run &run)
{
    const IsochronRecalculation r = recalculateIsochron(in);
    if (!r.reason.isEmpty()) {
        run.say(u"No isochron age for record %1: %2."_s.arg(in.RecordID).arg(r.reason));
        return nothing(in, r.reason);
    }
    if (!run.confirm(r.question))
        return nothing(in, u"answered No"_s);
    for (const QString &warning : r.warnings)
        run.say(warning);
    run.writer.record(in.RecordID, r.record);
    run.writer.initRatio(in, r.init);
    run.writer.statistics(in, r.statistics);
    RecalculationOutcome o;
    o.RecordID = in.RecordID;
    o.stored = r.record + r.init + r.statistics;
    return o;
}

QString shownValue(const QVariant &v)
{
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 12);
    return v.toString();
}

} // namespace

QString RecalculationOutcome::line() const
{
    QString text = u"RecordID %1: "_s.arg(RecordID);
    if (stored.isEmpty())
        return text + u"nothing stored ("_s + reason + u')';
    QStringList parts;
    for (const auto &[field, value] : stored)
        parts << field + u'=' + shownValue(value);
    return text + parts.join(u' ');
}

QList<RecalculationInput> readRecalculationInputs(Connection &results, const QList<int> &recordIDs)
{
    QList<int> ids = recordIDs;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QList<RecalculationInput> inputs;
    forEachInput(results, ids, true, [&](const RecalculationInput &in) { inputs << in; });
    return inputs;
}

QList<RecalculationOutcome> recalculateRecords(Connection &results, Interaction &ui, Recalculation what,
                                               RecalculationScope scope, const QList<int> &recordIDs,
                                               QStringList *log)
{
    QList<int> ids = recordIDs;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    QHash<int, RecalculationOutcome> outcomes;
    // Open cursors let go first, so that the transaction writes on the database as it is now.
    results.releaseReaders();
    if (scope == RecalculationScope::AllRecords)
        results.engine().prepareBulkWrite(results);
    Transaction transaction(results);
    Writer writer(results);
    const Run run{ui, scope, log, writer};
    int k = 0;
    int current = 0;
    try {
        const auto read = scope == RecalculationScope::AllRecords && results.backend() != Backend::ODBC
                              ? forEachInputAlongside
                              : forEachInput;
        // Model ages take no error correlation.
        read(results, ids, what != Recalculation::ModelAge, [&](const RecalculationInput &in) {
            current = in.RecordID;
            if (log) {
                log->clear();
                run.addLog(u"Starting sample "_s);
                run.addLog(u"Finished opening single sample data files "_s);
            }
            if (++k % ProgressStep == 0 || scope == RecalculationScope::ThisRecord)
                ui.progress(scope == RecalculationScope::ThisRecord ? u"Calculating ..."_s : QString::number(k));
            outcomes.insert(in.RecordID, what == Recalculation::EpsilonGamma ? epsilonGamma(in, run)
                                         : what == Recalculation::ModelAge   ? modelAge(in, run)
                                                                             : isochron(in, run));
        });
        writer.flush();
        transaction.commit();
    } catch (const DatabaseError &e) {
        throw DatabaseError(writeFailureText(current ? u"The recalculation stopped at record %1 and stored "
                                                       u"nothing"_s.arg(current)
                                                     : u"The recalculation stored nothing"_s,
                                             e),
                            e.code(), e.nativeCode());
    }
    QList<RecalculationOutcome> list;
    QSet<int> listed;
    for (int id : recordIDs) {
        if (listed.contains(id))
            continue;
        listed.insert(id);
        RecalculationOutcome o = outcomes.take(id);
        if (o.RecordID == 0) {
            o.RecordID = id;
            o.reason = u"there is no such record"_s;
        }
        list << o;
    }
    return list;
}

RecalculationOutcome recalculateThisRecord(TdmKVResults &dm, Interaction &ui, Recalculation what,
                                           QStringList *log)
{
    if (!dm.Query1->isOpen() || dm.Query1->isEmpty())
        throw InputError(u"There is no record to recalculate."_s);
    const int id = dm.Query1->value(u"RecordID"_s).toInt();
    ui.progress(u"Calculating ..."_s);
    QList<RecalculationOutcome> outcomes;
    try {
        outcomes = recalculateRecords(dm.KVResults, ui, what, RecalculationScope::ThisRecord, {id}, log);
    } catch (...) {
        ui.progress(u"   "_s);
        throw;
    }
    ui.progress(u"   "_s);
    // The record view shows what is stored now.
    for (Dataset *d : {dm.Query1, dm.QInit, dm.QStatistics})
        if (d->isOpen())
            d->refresh();
    return outcomes.value(0);
}

QList<RecalculationOutcome> recalculateAllRecords(TdmKVResults &dm, Interaction &ui, Recalculation what,
                                                  QStringList *log)
{
    ui.busy(u"This will take a long time ...."_s);
    struct BusyDone
    {
        Interaction &ui;
        ~BusyDone() { ui.busyDone(); }
    } done{ui};
    if (what == Recalculation::ModelAge)
        ui.progress(u"Calculating ..."_s);
    // Querydm walks a copy of the query's text, as every all-records command does.
    Dataset &walk = *dm.Querydm;
    walk.close();
    walk.setMaster(nullptr);
    walk.setSql(dm.Query1->sql());
    QList<int> ids;
    QSet<int> seen;
    walk.open();
    for (walk.first(); !walk.eof(); walk.next()) {
        const int id = walk.value(u"RecordID"_s).toInt();
        if (!seen.contains(id)) {
            seen.insert(id);
            ids << id;
        }
    }
    walk.close();
    QList<RecalculationOutcome> outcomes =
        recalculateRecords(dm.KVResults, ui, what, RecalculationScope::AllRecords, ids, log);
    ui.progress(u"   "_s);
    for (Dataset *d : {dm.Query1, dm.QInit, dm.QStatistics})
        if (d->isOpen())
            d->refresh();
    return outcomes;
}

std::pair<double, double> absoluteErrors(const SampleValues &s, double x, double y, double sx, double sy)
{
    const auto isPercent = [](const std::optional<double> &type) { return type && std::lround(*type) == 1; };
    if (isPercent(s.Xerrt))
        sx = sx * x / 100;
    if (isPercent(s.Yerrt))
        sy = sy * y / 100;
    return {sx > 0 ? sx : SigmaFloor, sy > 0 ? sy : SigmaFloor};
}

std::optional<int> ageThousandths(double ma)
{
    const double v = std::nearbyint(ma * 1000);
    if (!std::isfinite(v) || v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return std::nullopt;
    return int(v);
}

DecayConversion convertToCurrentDecayConstants(TdmKVResults &dm, Interaction &ui)
{
    Dataset &r = *dm.QResults;
    if (!r.isOpen() || r.isEmpty())
        throw InputError(u"There is no record to convert."_s);
    DecayConversion c;
    c.oldIAge = c.newIAge = r.value(u"IAge"_s).toInt();
    c.oldDecayConst1 = r.value(u"DecayConst1"_s).toDouble();
    const QString system = r.value(u"IsotopeSystem"_s).toString();
    QSqlQuery q = dm.KVResults.exec(u"select DecayConst1 from IsoSystem where IsoSystem = ?"_s, {system});
    const bool known = q.next();
    const double current = known ? q.value(0).toDouble() : 0;
    c.newDecayConst1 = c.oldDecayConst1;
    if (!known) {
        c.reason = u"the isotope system %1 has no row in the isotope-system table"_s.arg(system);
        return c;
    }
    if (!(c.oldDecayConst1 > 0)) {
        c.reason = u"the record has no decay constant"_s;
        return c;
    }
    if (!r.value(u"DecayConst2"_s).isNull()) {
        c.reason = u"the record has a second decay constant"_s;
        return c;
    }
    if (!(current > 0)) {
        c.reason = u"the isotope system %1 has no current decay constant"_s.arg(system);
        return c;
    }
    if (c.oldDecayConst1 == current) {
        c.reason = u"the record already carries the current decay constant"_s;
        return c;
    }
    const double age = c.oldDecayConst1 * (c.oldIAge * 0.001) / current;
    const std::optional<int> iAge = ageThousandths(age);
    if (!iAge) {
        c.reason = u"the converted age does not fit the age field"_s;
        ui.warning(u"The converted age (%1 Ma) does not fit the age field; the record is unchanged."_s.arg(
            fixed(age, 3)));
        return c;
    }
    r.edit();
    r.setValue(u"IAge"_s, *iAge);
    r.setValue(u"DecayConst1"_s, current);
    if (!postReported(r, ui)) {
        r.cancel();
        c.reason = u"the record could not be stored"_s;
        return c;
    }
    c.converted = true;
    c.newIAge = *iAge;
    c.newDecayConst1 = current;
    return c;
}

} // namespace kv
