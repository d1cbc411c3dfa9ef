#include "db_pg/pg_database.h"

#include "db_pg/pg_connection.h"
#include "db_pg/pg_dialect.h"
#include "jet/jet_sql.h"

#include <libpq-fe.h>

namespace quel::db_pg {

using db::ColumnInfo;
using db::ColumnKind;
using db::Database;
using db::DatePart;
using db::JetSchema;
using db::JetTranslation;
using db::Statement;
using db::StatementCore;
using db::StepResult;
using jet::translateJet;

namespace {

// The kind and a declared type name for a result column's type.
ColumnInfo describeColumn(const QString& name, PgOid type, PgOid citext)
{
    ColumnInfo c;
    c.name = name;
    switch (type) {
    case pgtype::kInt2:
    case pgtype::kInt4:
    case pgtype::kInt8:
    case pgtype::kBool:
        c.declType = QStringLiteral("bigint");
        c.kind = ColumnKind::Integer;
        break;
    case pgtype::kFloat4:
    case pgtype::kFloat8:
        c.declType = QStringLiteral("double precision");
        c.kind = ColumnKind::Real;
        break;
    case pgtype::kNumeric:
        c.declType = QStringLiteral("numeric");
        c.kind = ColumnKind::Real;
        break;
    case pgtype::kTimestamp:
    case pgtype::kTimestamptz:
    case pgtype::kDate:
        c.declType = QStringLiteral("timestamp");
        c.kind = ColumnKind::Date;
        break;
    case pgtype::kText:
    case pgtype::kVarchar:
    case pgtype::kBpchar:
        c.declType = QStringLiteral("text");
        c.kind = ColumnKind::Text;
        break;
    default:
        if (type != 0 && type == citext) {
            c.declType = QStringLiteral("citext");
            c.kind = ColumnKind::Text;
        }
        break;
    }
    return c;
}

// "YYYY-MM-DD HH:MM:SS", the form dates are bound in.
bool isStoredDate(QByteArrayView text)
{
    static constexpr char shape[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != qsizetype(sizeof shape - 1))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return false;
    }
    return true;
}

// An INSERT, UPDATE or DELETE that hands back no rows: its result has no shape a changed
// table could make stale.
bool handsBackNoRows(const QByteArray& sql)
{
    const QByteArray head = sql.trimmed().left(7).toUpper();
    return (head.startsWith("INSERT ") || head.startsWith("UPDATE ") || head.startsWith("DELETE "))
        && !sql.toUpper().contains("RETURNING");
}

// One statement run with PQexecParams on each first step: the server plans it afresh, so
// a work table dropped and made again with other columns never meets a stale plan. A
// statement kept for many runs that hands back no rows is prepared on the server at its
// second run and runs prepared from then on: a bulk insert is parsed and planned once.
class PgStatement final : public StatementCore
{
public:
    PgStatement(PgConnection& conn, const QString& sql, PgOid citext)
        : m_conn(conn)
        , m_sql(sql.toUtf8())
        , m_citext(citext)
    { }
    ~PgStatement() override
    {
        if (m_plan->name.isEmpty() || !m_conn.handle() || m_conn.ending())
            return;
        // Collects what was sent unanswered first, which may show the plan was never made.
        const PgTransaction state = m_conn.transactionStatus();
        // Not transactional, so it may go at any time but in a failed transaction (the
        // session's end frees it then).
        if (!m_plan->name.isEmpty() && state != PgTransaction::InFailedTransaction)
            m_conn.exec(QStringLiteral("DEALLOCATE ") + QString::fromLatin1(m_plan->name));
    }
    PgStatement(const PgStatement&) = delete;
    PgStatement& operator=(const PgStatement&) = delete;

    void keep() override { m_reusable = handsBackNoRows(m_sql); }

    void bindNull(int index) override { slot(index) = { {}, 0, true }; }
    void bindInt64(int index, qint64 value) override
    {
        slot(index) = { QByteArray::number(value), pgtype::kInt8, false };
    }
    void bindDouble(int index, double value) override
    {
        slot(index) = { QByteArray::number(value, 'g', 17), pgtype::kFloat8, false };
    }
    void bindText(int index, QByteArrayView utf8) override
    {
        // Untyped, the server reads it as whatever the statement compares or stores it with;
        // but in a select list it would stay text, so a date in the stored form says so.
        slot(index) = { utf8.toByteArray(), isStoredDate(utf8) ? pgtype::kTimestamp : 0, false };
    }
    void bindBlob(int index, QByteArrayView bytes) override { bindText(index, bytes); }

    StepResult step() override
    {
        if (!m_ran) {
            m_ran = true;
            execute(true);
        }
        switch (m_result.status()) {
        case PgResult::Status::TuplesOk:
            if (++m_row < m_result.rows())
                return StepResult::Row;
            return StepResult::Done;
        case PgResult::Status::CommandOk:
        case PgResult::Status::EmptyQuery:
            return StepResult::Done;
        default:
            return StepResult::Error;
        }
    }
    bool send() override
    {
        if (!m_conn.queueAllowed() || m_ran)
            return runToEnd();
        m_ran = true;
        execute(false);
        return m_error.isEmpty();
    }
    void reset() override
    {
        m_ran = false;
        m_row = -1;
        m_result = PgResult();
    }
    void clearBindings() override { m_params.clear(); }
    bool busy() const override { return m_ran; }

    int columnCount() const override { return shape().columns(); }
    ColumnInfo column(int index) const override
    {
        const PgResult& r = shape();
        return describeColumn(r.columnName(index), r.columnType(index), m_citext);
    }
    bool isNull(int index) const override { return !onRow() || m_result.isNull(m_row, index); }
    qint64 int64(int index) const override
    {
        const QByteArrayView text = utf8(index);
        bool ok = false;
        const qint64 whole = text.toLongLong(&ok);
        return ok ? whole : static_cast<qint64>(text.toDouble());
    }
    double real(int index) const override { return utf8(index).toDouble(); }
    QByteArrayView utf8(int index) const override
    {
        if (!onRow())
            return {};
        const QByteArrayView text(
            PQgetvalue(m_result.get(), m_row, index), PQgetlength(m_result.get(), m_row, index));
        // A comparison in the select list is a boolean here and a number on the embedded
        // engine: it reads as the number.
        if (m_result.columnType(index) == pgtype::kBool && !text.isEmpty())
            return text == "t" ? QByteArrayView("1") : QByteArrayView("0");
        return text;
    }
    QVariant value(int index) const override
    {
        if (isNull(index))
            return {};
        switch (m_result.columnType(index)) {
        case pgtype::kInt2:
        case pgtype::kInt4:
        case pgtype::kInt8:
            return QVariant(static_cast<qlonglong>(int64(index)));
        case pgtype::kBool:
            return QVariant(static_cast<qlonglong>(utf8(index) == "1" ? 1 : 0));
        case pgtype::kFloat4:
        case pgtype::kFloat8:
            return QVariant(real(index));
        case pgtype::kNumeric: {
            // A sum of whole numbers stays whole, as on the embedded engine.
            const QByteArrayView text = utf8(index);
            if (!text.contains('.') && !text.contains('e'))
                return QVariant(static_cast<qlonglong>(int64(index)));
            return QVariant(real(index));
        }
        default:
            return QVariant(QString::fromUtf8(utf8(index)));
        }
    }

    qint64 changes() const override { return m_changes; }
    QString errorText() const override { return m_error; }

private:
    struct Param
    {
        QByteArray text;
        PgOid type = 0;
        bool null = true;
    };
    Param& slot(int index)
    {
        if (static_cast<int>(m_params.size()) < index)
            m_params.resize(static_cast<size_t>(index));
        return m_params[static_cast<size_t>(index - 1)];
    }
    bool onRow() const { return m_row >= 0 && m_row < m_result.rows(); }

    // Runs the statement and waits for its result, or (wait false) sends it for whatever
    // waits next to collect. A statement sent after others unanswered rides along with them.
    void execute(bool wait)
    {
        const int n = static_cast<int>(m_params.size());
        std::vector<const char*> values(static_cast<size_t>(n));
        std::vector<int> lengths(static_cast<size_t>(n));
        std::vector<unsigned> types(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const Param& p = m_params[static_cast<size_t>(i)];
            values[static_cast<size_t>(i)] = p.null ? nullptr : p.text.constData();
            lengths[static_cast<size_t>(i)] = static_cast<int>(p.text.size());
            types[static_cast<size_t>(i)] = p.type;
        }
        pg_conn* h = m_conn.handle();
        if (wait && !m_conn.hasUnanswered()) {
            PGresult* raw = planFor(types, false)
                ? PQexecPrepared(
                    h, m_plan->name.constData(), n, values.data(), lengths.data(), nullptr, 0)
                : PQexecParams(h, m_sql.constData(), n, types.data(), values.data(), lengths.data(),
                    nullptr, 0);
            finish(m_conn.wrap(raw));
            return;
        }
        bool sent = m_conn.beginSend();
        if (sent && planFor(types, true)) {
            sent = PQsendQueryPrepared(
                       h, m_plan->name.constData(), n, values.data(), lengths.data(), nullptr, 0)
                == 1;
        } else if (sent) {
            sent = PQsendQueryParams(h, m_sql.constData(), n, types.data(), values.data(),
                       lengths.data(), nullptr, 0)
                == 1;
        }
        if (!sent) {
            finish(PgResult::failure(m_conn.lastError()));
            return;
        }
        m_conn.sent();
        PgResult last;
        if (wait)
            m_conn.collect(&last);
        finish(std::move(last));
    }

    void finish(PgResult result)
    {
        m_result = std::move(result);
        m_row = -1;
        m_error = m_result.error();
        m_changes = m_result.ok() ? m_result.affectedRows() : 0;
    }

    // Whether this run goes through a statement prepared on the server: made at the second
    // run of a reusable statement (sent along when others wait unanswered), used while the
    // parameter types are those it was made for.
    bool planFor(const std::vector<unsigned>& types, bool sending)
    {
        if (!m_reusable || m_plan->refused)
            return false;
        if (m_plan->name.isEmpty()) {
            if (++m_runs < 2)
                return false;
            const QByteArray name = m_conn.newStatementName();
            pg_conn* h = m_conn.handle();
            const int n = int(types.size());
            if (sending) {
                if (PQsendPrepare(h, name.constData(), m_sql.constData(), n, types.data()) != 1)
                    return false;
                // A refusal here is the statement's own: it is not tried again.
                m_conn.sent([plan = m_plan](bool ok) {
                    if (!ok) {
                        plan->name.clear();
                        plan->refused = true;
                    }
                });
            } else {
                PGresult* made = PQprepare(h, name.constData(), m_sql.constData(), n, types.data());
                const bool ok = made && PQresultStatus(made) == PGRES_COMMAND_OK;
                PQclear(made);
                if (!ok) {
                    m_plan->refused = true;
                    return false;
                }
            }
            m_plan->name = name;
            m_plan->types = types;
        }
        return types == m_plan->types;
    }

    // Column names and types: of the result once run, else learnt without running.
    const PgResult& shape() const
    {
        if (m_ran && m_result.status() == PgResult::Status::TuplesOk)
            return m_result;
        if (!m_described) {
            m_description = m_conn.describe(QString::fromUtf8(m_sql));
            m_described = true;
        }
        return m_description;
    }

    PgConnection& m_conn;
    QByteArray m_sql;
    PgOid m_citext;
    // The statement prepared on the server, shared with the reply that may show it refused.
    struct Plan
    {
        QByteArray name;
        std::vector<unsigned> types;
        bool refused = false;
    };
    bool m_reusable = false;
    int m_runs = 0;
    std::shared_ptr<Plan> m_plan = std::make_shared<Plan>();
    std::vector<Param> m_params;
    PgResult m_result;
    mutable PgResult m_description;
    mutable bool m_described = false;
    bool m_ran = false;
    int m_row = -1;
    qint64 m_changes = 0;
    QString m_error;
};

// The unique keys of a table named as created: index name and column, in key order.
const QString kUniqueKeyColumns = QStringLiteral(
    "SELECT i.indexrelid::regclass::text, a.attname FROM pg_index i JOIN pg_class c ON "
    "c.oid = i.indrelid CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) "
    "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum WHERE i.indisunique "
    "AND c.relname = $1 AND (c.relnamespace = 'public'::regnamespace OR c.relnamespace = "
    "pg_my_temp_schema()) ORDER BY c.relnamespace = pg_my_temp_schema() DESC, "
    "i.indexrelid, k.n");

// Held while a first user makes the tables, so two first users do not both make them.
constexpr char kSchemaLock[] = "SELECT pg_advisory_xact_lock(58314620)";

} // namespace

PgDatabase::PgDatabase(std::unique_ptr<PgConnection> conn, const QString& address)
    : Database(address)
    , m_conn(std::move(conn))
{ }

PgDatabase::~PgDatabase()
{
    close();
}

bool PgDatabase::isOpen() const
{
    return m_conn && m_conn->isOk();
}

void PgDatabase::close()
{
    // The session's end frees its prepared statements: the cache need not, one by one.
    if (m_conn)
        m_conn->setEnding();
    Database::close();
    m_conn.reset();
}

std::shared_ptr<Database> PgDatabase::open(
    const QString& address, QString* error, const PgFirstUse& firstUse)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    QString why;
    auto conn = PgConnection::connect(address, &why);
    if (!conn)
        return fail(why);
    std::shared_ptr<PgDatabase> db(new PgDatabase(std::move(conn), address));
    if (!db->run(
            QStringLiteral("SET DateStyle = 'ISO, YMD'; SET client_min_messages = warning"), &why))
        return fail(why);
    db->m_citextOid = db->m_conn->citextOid();
    if (db->m_citextOid == 0) {
        if (!db->run(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"), &why))
            return fail(QStringLiteral("数据库服务器缺少 citext 扩展，且无法安装：") + why);
        db->m_citextOid = db->m_conn->citextOid();
    }
    // An empty server database gets the permanent tables on its first use.
    const QStringList tables = db->tableNames();
    if (firstUse.create && !tables.contains(firstUse.markerTable)) {
        if (!db->run(QStringLiteral("BEGIN"), &why))
            return fail(why);
        bool ok = db->run(QString::fromLatin1(kSchemaLock), &why);
        db->schemaChanged();
        if (ok && !db->tableNames().contains(firstUse.markerTable))
            ok = firstUse.create(*db, &why);
        db->run(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), ok ? &why : nullptr);
        if (!ok)
            return fail(QStringLiteral("无法在数据库服务器上建立数据表：") + why);
        db->schemaChanged();
    }
    return db;
}

bool PgDatabase::run(const QString& sql, QString* error)
{
    if (!m_conn) {
        if (error)
            *error = QStringLiteral("database closed");
        return false;
    }
    const PgResult result = m_conn->exec(sql);
    if (!result.ok()) {
        m_lastError = result.error();
        if (error)
            *error = m_lastError;
        return false;
    }
    return true;
}

bool PgDatabase::executeNative(const QString& sql, QString* error)
{
    return run(postgresParameters(sql), error);
}

std::optional<JetTranslation> PgDatabase::translate(
    const QString& jetSql, JetSchema& schema, QString* error)
{
    static const PostgresDialect dialect;
    return translateJet(jetSql, schema, error, dialect);
}

std::optional<QString> PgDatabase::nativeText(const QString& sql, JetSchema& schema, QString* error)
{
    return nativeToPostgres(sql, schema, error);
}

Statement PgDatabase::compile(const QString& sql, QString* error)
{
    if (!m_conn) {
        if (error)
            *error = QStringLiteral("database closed");
        return {};
    }
    return Statement(new PgStatement(*m_conn, postgresParameters(sql), m_citextOid), true);
}

QString PgDatabase::createdName(const QString& table)
{
    // Names match ignoring letter case, as on the embedded engine.
    const PgResult found = m_conn->execParams(postgresTableLookupSql(), { table });
    return found.ok() && found.rows() > 0 ? found.text(0, 0) : QString();
}

std::vector<ColumnInfo> PgDatabase::readTableColumns(const QString& table)
{
    std::vector<ColumnInfo> columns;
    if (!m_conn)
        return columns;
    const QString created = createdName(table);
    if (created.isEmpty())
        return columns;
    const PgResult r = m_conn->execParams(postgresColumnListSql(), { created });
    for (int row = 0; r.ok() && row < r.rows(); ++row) {
        ColumnInfo c;
        c.name = r.text(row, 0);
        c.declType = r.text(row, 1);
        c.kind = postgresColumnKind(c.declType);
        columns.push_back(c);
    }
    return columns;
}

std::optional<std::vector<ColumnInfo>> PgDatabase::queryColumns(
    const QString& sql, QString* error, bool withTypes)
{
    (void)withTypes; // the server types every column without running the query
    if (!m_conn) {
        if (error)
            *error = QStringLiteral("database closed");
        return std::nullopt;
    }
    const PgResult r = m_conn->describe(postgresParameters(sql));
    if (!r.ok()) {
        if (error)
            *error = r.error();
        return std::nullopt;
    }
    std::vector<ColumnInfo> columns;
    for (int i = 0; i < r.columns(); ++i)
        columns.push_back(describeColumn(r.columnName(i), r.columnType(i), m_citextOid));
    return columns;
}

QStringList PgDatabase::tableNames()
{
    QStringList names;
    if (!m_conn)
        return names;
    const PgResult r = m_conn->exec(postgresTableListSql());
    for (int row = 0; r.ok() && row < r.rows(); ++row)
        names << r.text(row, 0);
    return names;
}

QStringList PgDatabase::indexNames()
{
    QStringList names;
    if (!m_conn)
        return names;
    const PgResult r = m_conn->exec(QStringLiteral(
        "SELECT relname FROM pg_class WHERE relkind='i' AND relnamespace='public'::regnamespace"));
    for (int row = 0; r.ok() && row < r.rows(); ++row)
        names << r.text(row, 0);
    return names;
}

std::vector<QStringList> PgDatabase::uniqueKeys(const QString& table)
{
    std::vector<QStringList> keys;
    if (!m_conn)
        return keys;
    const QString created = createdName(table);
    if (created.isEmpty())
        return keys;
    // One row per key column, in key order; the session's own work table first.
    const PgResult r = m_conn->execParams(kUniqueKeyColumns, { created });
    QString index;
    for (int row = 0; r.ok() && row < r.rows(); ++row) {
        if (keys.empty() || r.text(row, 0) != index) {
            keys.emplace_back();
            index = r.text(row, 0);
        }
        keys.back() << r.text(row, 1);
    }
    return keys;
}

QString PgDatabase::periodStartSql(const QString& column, DatePart part) const
{
    const char* unit = part == DatePart::Day ? "day" : part == DatePart::Week ? "week" : "month";
    return QStringLiteral("date_trunc('%1',%2)").arg(QLatin1String(unit), column);
}

bool PgDatabase::beginSavepoint(const QString& name)
{
    if (!m_conn)
        return false;
    // The server keeps savepoints only inside a transaction: the outermost one begins it,
    // and then needs no savepoint of its own (its rollback is the transaction's). BEGIN goes
    // with the first statement that waits.
    if (m_depth == 0 && m_conn->transactionStatus() == PgTransaction::Idle) {
        if (!m_conn->send(QStringLiteral("BEGIN"))) {
            m_lastError = m_conn->lastError();
            return false;
        }
        m_ownsTransaction = true;
    } else if (!run(QStringLiteral("SAVEPOINT ") + name, nullptr)) {
        return false;
    }
    ++m_depth;
    m_conn->allowQueue(true);
    return true;
}

void PgDatabase::leftTransaction()
{
    m_depth = 0;
    m_ownsTransaction = false;
    m_conn->allowQueue(false);
}

bool PgDatabase::releaseSavepoint(const QString& name)
{
    if (!m_conn || m_depth == 0)
        return false;
    if (m_depth == 1 && m_ownsTransaction) {
        const PgResult done = m_conn->exec(QStringLiteral("COMMIT"));
        // The server answers COMMIT of a transaction a statement failed in with a rollback.
        if (done.ok() && done.commandTag() == QLatin1String("COMMIT")) {
            leftTransaction();
            return true;
        }
        m_lastError
            = done.ok() ? QStringLiteral("事务中有语句失败，数据库服务器已回滚") : done.error();
        // Rolled back by the server: nothing is left for the caller's rollback.
        if (m_conn->transactionStatus() == PgTransaction::Idle)
            leftTransaction();
        return false;
    }
    // A savepoint that does not release stays open for the caller's rollback.
    if (!run(QStringLiteral("RELEASE ") + name, nullptr))
        return false;
    if (--m_depth == 0)
        m_conn->allowQueue(false);
    return true;
}

void PgDatabase::rollbackSavepoint(const QString& name)
{
    if (!m_conn || m_depth == 0)
        return;
    if (m_depth == 1 && m_ownsTransaction) {
        run(QStringLiteral("ROLLBACK"), nullptr);
        leftTransaction();
        return;
    }
    run(QStringLiteral("ROLLBACK TO ") + name, nullptr);
    run(QStringLiteral("RELEASE ") + name, nullptr);
    if (--m_depth == 0)
        m_conn->allowQueue(false);
}

} // namespace quel::db_pg
