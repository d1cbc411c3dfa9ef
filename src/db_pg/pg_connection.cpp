#include "db_pg/pg_connection.h"

#include "db_pg/server_address.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <libpq-fe.h>
#include <utility>

namespace quel::db_pg {

namespace {

// libpq's messages end in newlines and may run over several lines (a connection failure names
// each host it tried); one message reads better as one line.
QString oneLine(const char* message)
{
    return QString::fromUtf8(message).simplified();
}

QString resultError(const PGresult* result)
{
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    if (!primary)
        return oneLine(PQresultErrorMessage(result));
    QString message = QString::fromUtf8(primary).trimmed();
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
        message += QStringLiteral(" (") + QString::fromUtf8(detail).trimmed() + u')';
    return message;
}

bool isFailure(ExecStatusType status)
{
    return status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE
        || status == PGRES_NONFATAL_ERROR;
}

// Server notices (a DROP ... IF EXISTS that found nothing, and the like) are not the user's
// business; libpq would print them on stderr.
void ignoreNotice(void*, const char*) { }

// The text forms of parameters, kept alive while libpq reads them.
class TextParams
{
public:
    // False with error set when a value cannot be sent.
    bool set(const std::vector<QVariant>& params, QString* error)
    {
        m_bytes.reserve(params.size());
        m_pointers.reserve(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            std::optional<QByteArray> text = toText(params[i], error);
            if (!error->isEmpty()) {
                *error = QStringLiteral("参数 $%1：%2").arg(i + 1).arg(*error);
                return false;
            }
            m_bytes.push_back(std::move(text));
        }
        for (const std::optional<QByteArray>& text : m_bytes)
            m_pointers.push_back(text ? text->constData() : nullptr);
        return true;
    }
    int count() const { return int(m_pointers.size()); }
    const char* const* values() const { return m_pointers.empty() ? nullptr : m_pointers.data(); }

private:
    static std::optional<QByteArray> toText(const QVariant& value, QString* error)
    {
        if (!value.isValid() || value.isNull())
            return std::nullopt;
        QByteArray text;
        switch (value.typeId()) {
        case QMetaType::Bool:
            // 1 and 0 are read both by boolean and by integer columns.
            return QByteArray(value.toBool() ? "1" : "0");
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return QByteArray::number(value.toLongLong());
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return QByteArray::number(value.toULongLong());
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            if (std::isnan(d))
                return QByteArray("NaN");
            if (std::isinf(d))
                return QByteArray(d > 0 ? "Infinity" : "-Infinity");
            return QByteArray::number(d, 'g', 17);
        }
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            if (!dt.isValid())
                return std::nullopt;
            return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        }
        case QMetaType::QDate: {
            const QDate date = value.toDate();
            if (!date.isValid())
                return std::nullopt;
            return date.toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
        }
        case QMetaType::QByteArray:
            text = value.toByteArray();
            break;
        default:
            if (!value.canConvert<QString>()) {
                *error = QStringLiteral("不支持的参数类型 %1")
                             .arg(QString::fromLatin1(value.typeName()));
                return std::nullopt;
            }
            text = value.toString().toUtf8();
            break;
        }
        // The server's text cannot hold a NUL character, and libpq would cut the value there.
        if (text.contains('\0')) {
            *error = QStringLiteral("文本含有 NUL 字符，数据库服务器无法保存");
            return std::nullopt;
        }
        return text;
    }

    std::vector<std::optional<QByteArray>> m_bytes;
    std::vector<const char*> m_pointers;
};

} // namespace

// --- PgResult ---

PgResult::PgResult(pg_result* result, const QString& connectionError)
    : m_result(result)
{
    if (!m_result)
        m_error = connectionError.isEmpty() ? QStringLiteral("数据库服务器没有返回结果")
                                            : connectionError;
    else if (isFailure(PQresultStatus(m_result)))
        m_error = resultError(m_result);
}

PgResult PgResult::failure(const QString& error)
{
    return PgResult(nullptr, error);
}

PgResult::PgResult(PgResult&& other) noexcept
    : m_result(std::exchange(other.m_result, nullptr))
    , m_error(std::move(other.m_error))
{ }

PgResult& PgResult::operator=(PgResult&& other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = std::exchange(other.m_result, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

PgResult::~PgResult()
{
    PQclear(m_result);
}

PgResult::Status PgResult::status() const
{
    if (!m_result)
        return Status::Error;
    switch (PQresultStatus(m_result)) {
    case PGRES_COMMAND_OK:
        return Status::CommandOk;
    case PGRES_TUPLES_OK:
        return Status::TuplesOk;
    case PGRES_EMPTY_QUERY:
        return Status::EmptyQuery;
    case PGRES_FATAL_ERROR:
    case PGRES_BAD_RESPONSE:
    case PGRES_NONFATAL_ERROR:
        return Status::Error;
    default:
        return Status::Other;
    }
}

bool PgResult::ok() const
{
    const Status s = status();
    return s == Status::CommandOk || s == Status::TuplesOk;
}

QString PgResult::sqlState() const
{
    const char* state = m_result ? PQresultErrorField(m_result, PG_DIAG_SQLSTATE) : nullptr;
    return state ? QString::fromLatin1(state) : QString();
}

int PgResult::rows() const
{
    return m_result ? PQntuples(m_result) : 0;
}

int PgResult::columns() const
{
    return m_result ? PQnfields(m_result) : 0;
}

QString PgResult::columnName(int column) const
{
    const char* name = m_result ? PQfname(m_result, column) : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

QStringList PgResult::columnNames() const
{
    QStringList names;
    for (int c = 0; c < columns(); ++c)
        names.append(columnName(c));
    return names;
}

int PgResult::columnIndex(const QString& name) const
{
    for (int c = 0; c < columns(); ++c) {
        if (columnName(c) == name)
            return c;
    }
    return -1;
}

PgOid PgResult::columnType(int column) const
{
    return m_result ? PQftype(m_result, column) : 0;
}

std::vector<PgOid> PgResult::columnTypes() const
{
    std::vector<PgOid> types;
    for (int c = 0; c < columns(); ++c)
        types.push_back(columnType(c));
    return types;
}

int PgResult::paramCount() const
{
    return m_result ? PQnparams(m_result) : 0;
}

PgOid PgResult::paramType(int index) const
{
    return m_result ? PQparamtype(m_result, index) : 0;
}

bool PgResult::isNull(int row, int column) const
{
    return !m_result || PQgetisnull(m_result, row, column);
}

QByteArray PgResult::bytes(int row, int column) const
{
    if (isNull(row, column))
        return QByteArray();
    return QByteArray(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

QString PgResult::text(int row, int column) const
{
    if (isNull(row, column))
        return QString();
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

QString PgResult::commandTag() const
{
    return m_result ? QString::fromLatin1(PQcmdStatus(m_result)) : QString();
}

qlonglong PgResult::affectedRows() const
{
    const char* count = m_result ? PQcmdTuples(m_result) : nullptr;
    return count && *count ? QByteArray(count).toLongLong() : 0;
}

// --- PgConnection ---

std::unique_ptr<PgConnection> PgConnection::connect(const QString& address, QString* error)
{
    const ServerAddressParts parts = SplitServerAddress(address);
    const QByteArray timeout = QByteArray::number(kConnectTimeoutSeconds);
    const QByteArray addressBytes = address.toUtf8();
    // Later keywords win: the address may set its own timeouts, but the text is always UTF-8.
    // Over a network, a server that vanished without a word (its machine or the link died)
    // is noticed within about a minute instead of the system's two hours, so a collecting
    // copy fails its job rather than waiting for ever.
    const char* keywords[] = { "connect_timeout", "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "fallback_application_name", "dbname",
        "client_encoding", nullptr };
    const char* values[] = { timeout.constData(), "30", "10", "3", "60000", "quelmar",
        addressBytes.constData(), "UTF8", nullptr };
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn) {
        if (error)
            *error = QStringLiteral("无法连接数据库服务器 %1：内存不足").arg(parts.shown);
        return nullptr;
    }
    std::unique_ptr<PgConnection> connection(new PgConnection(conn, parts.shown, parts.secrets));
    if (PQstatus(conn) != CONNECTION_OK) {
        if (error)
            *error = QStringLiteral("无法连接数据库服务器 %1：%2")
                         .arg(parts.shown, connection->lastError());
        return nullptr;
    }
    PQsetNoticeProcessor(conn, ignoreNotice, nullptr);
    return connection;
}

PgConnection::PgConnection(pg_conn* conn, const QString& address, QStringList secrets)
    : m_conn(conn)
    , m_address(address)
    , m_secrets(std::move(secrets))
{ }

PgConnection::~PgConnection()
{
    PQfinish(m_conn);
}

bool PgConnection::isOk() const
{
    return PQstatus(m_conn) == CONNECTION_OK;
}

QString PgConnection::clean(const QString& message) const
{
    QString cleaned = message;
    for (const QString& secret : m_secrets)
        cleaned.replace(secret, QLatin1String("***"));
    return cleaned;
}

QString PgConnection::lastError() const
{
    return clean(oneLine(PQerrorMessage(m_conn)));
}

int PgConnection::serverVersion() const
{
    return PQserverVersion(m_conn);
}

PgTransaction PgConnection::transactionStatus()
{
    if (hasUnanswered())
        collect();
    switch (PQtransactionStatus(m_conn)) {
    case PQTRANS_IDLE:
        return PgTransaction::Idle;
    case PQTRANS_ACTIVE:
        return PgTransaction::Active;
    case PQTRANS_INTRANS:
        return PgTransaction::InTransaction;
    case PQTRANS_INERROR:
        return PgTransaction::InFailedTransaction;
    default:
        return PgTransaction::Unknown;
    }
}

PgResult PgConnection::wrap(pg_result* result) const
{
    PgResult wrapped(result, result ? QString() : lastError());
    wrapped.m_error = clean(wrapped.m_error);
    // Refused because a command sent unanswered failed before: that failure is the news.
    if (!m_queueError.isEmpty() && wrapped.sqlState() == QLatin1String("25P02"))
        wrapped.m_error = m_queueError;
    return wrapped;
}

PgResult PgConnection::exec(const QString& sql)
{
    if (hasUnanswered()) {
        // One statement rides along with the commands sent; several go on their own after.
        if (!sql.contains(u';') && send(sql)) {
            PgResult last;
            collect(&last);
            return last;
        }
        collect();
    }
    return wrap(PQexec(m_conn, sql.toUtf8().constData()));
}

PgResult PgConnection::execParams(const QString& sql, const std::vector<QVariant>& params)
{
    collect();
    TextParams text;
    QString error;
    if (!text.set(params, &error))
        return PgResult::failure(error);
    return wrap(PQexecParams(m_conn, sql.toUtf8().constData(), text.count(), nullptr, text.values(),
        nullptr, nullptr, 0));
}

PgResult PgConnection::prepare(const QString& name, const QString& sql, int nParams)
{
    collect();
    return wrap(
        PQprepare(m_conn, name.toUtf8().constData(), sql.toUtf8().constData(), nParams, nullptr));
}

PgResult PgConnection::execPrepared(const QString& name, const std::vector<QVariant>& params)
{
    collect();
    TextParams text;
    QString error;
    if (!text.set(params, &error))
        return PgResult::failure(error);
    return wrap(PQexecPrepared(
        m_conn, name.toUtf8().constData(), text.count(), text.values(), nullptr, nullptr, 0));
}

PgResult PgConnection::describePrepared(const QString& name)
{
    collect();
    return wrap(PQdescribePrepared(m_conn, name.toUtf8().constData()));
}

PgResult PgConnection::describe(const QString& sql)
{
    PgResult prepared = prepare(QString(), sql);
    if (!prepared.ok())
        return prepared;
    return describePrepared(QString());
}

PgOid PgConnection::citextOid()
{
    if (m_citextOid)
        return *m_citextOid;
    const PgResult result
        = exec(QStringLiteral("SELECT oid FROM pg_type WHERE typname = 'citext'"));
    if (!result.ok() || result.rows() == 0)
        return 0; // asked again next time: the extension may be created meanwhile
    m_citextOid = PgOid(result.text(0, 0).toUInt());
    return *m_citextOid;
}

} // namespace quel::db_pg
