#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// libpq's handles, named without its header so that only the store's sources include it.
struct pg_conn;
struct pg_result;

namespace quel::db_pg {

// A PostgreSQL type OID (libpq's Oid).
using PgOid = unsigned int;

// The built-in types the program reads and writes. citext is an extension type without a
// fixed OID: PgConnection::citextOid() looks it up.
namespace pgtype {
inline constexpr PgOid kBool = 16;
inline constexpr PgOid kInt8 = 20;
inline constexpr PgOid kInt2 = 21;
inline constexpr PgOid kInt4 = 23;
inline constexpr PgOid kText = 25;
inline constexpr PgOid kFloat4 = 700;
inline constexpr PgOid kFloat8 = 701;
inline constexpr PgOid kBpchar = 1042;
inline constexpr PgOid kVarchar = 1043;
inline constexpr PgOid kDate = 1082;
inline constexpr PgOid kTimestamp = 1114;
inline constexpr PgOid kTimestamptz = 1184;
inline constexpr PgOid kNumeric = 1700;
} // namespace pgtype

// One result of a statement, owning libpq's PGresult. Values arrive in text form.
class PgResult
{
public:
    enum class Status
    {
        CommandOk, // a statement without rows (INSERT, CREATE, ...)
        TuplesOk, // a query, possibly with no rows
        EmptyQuery,
        Error, // the server refused the statement, or it never reached the server
        Other
    };

    PgResult() = default;
    // Takes ownership of result. A null result (the connection failed or ran out of memory)
    // is an error whose text is connectionError.
    PgResult(pg_result* result, const QString& connectionError);
    // An error found before anything was sent.
    static PgResult failure(const QString& error);
    PgResult(PgResult&& other) noexcept;
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    ~PgResult();

    pg_result* get() const { return m_result; }
    Status status() const;
    bool ok() const;
    // The server's message without its severity prefix or position lines; empty when ok.
    QString error() const { return m_error; }
    // The five-character SQLSTATE of an error from the server, else empty.
    QString sqlState() const;

    int rows() const;
    int columns() const;
    QString columnName(int column) const;
    QStringList columnNames() const;
    // -1 when no column has that name.
    int columnIndex(const QString& name) const;
    PgOid columnType(int column) const;
    std::vector<PgOid> columnTypes() const;
    // Parameters of a described prepared statement.
    int paramCount() const;
    PgOid paramType(int index) const;

    bool isNull(int row, int column) const;
    QByteArray bytes(int row, int column) const;
    QString text(int row, int column) const;
    // The command tag: "COMMIT", or "ROLLBACK" for a COMMIT of a failed transaction.
    QString commandTag() const;
    // Rows written by INSERT, UPDATE, DELETE, SELECT ... INTO and the like; 0 otherwise.
    qlonglong affectedRows() const;

private:
    friend class PgConnection;
    pg_result* m_result = nullptr;
    QString m_error;
};

// Whether the session is inside a transaction (libpq's PGTransactionStatusType).
enum class PgTransaction
{
    Idle,
    Active, // a command is running
    InTransaction,
    InFailedTransaction, // only ROLLBACK is accepted
    Unknown // the connection is bad
};

// One session with a PostgreSQL server, owning libpq's PGconn. Single-threaded: one
// statement at a time, each call waits for its result.
//
// Parameters are sent as text: null (an invalid or null QVariant) as SQL NULL, integers and
// bools as numbers, doubles with every digit, QString and QByteArray as their UTF-8 bytes,
// QDateTime and QDate as "YYYY-MM-DD HH:MM:SS". The server infers each parameter's type from
// the statement.
class PgConnection
{
public:
    // The session gives up after this long when the server does not answer, unless the
    // address names its own connect_timeout.
    static constexpr int kConnectTimeoutSeconds = 10;

    // Connects to "postgresql://user@host:port/dbname" (or libpq's key=value form) with text
    // in UTF-8. A password comes from ~/.pgpass or PGPASSWORD. On failure returns null and
    // sets error to a message that names the address without its password.
    static std::unique_ptr<PgConnection> connect(const QString& address, QString* error);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    pg_conn* handle() const { return m_conn; }
    // The address without its password.
    QString address() const { return m_address; }
    bool isOk() const;
    // libpq's last message for this session, trimmed and without the password.
    QString lastError() const;
    // For example 150004 for 15.4.
    int serverVersion() const;
    // Collects the replies of commands sent unanswered first.
    PgTransaction transactionStatus();

    PgResult exec(const QString& sql);
    PgResult execParams(const QString& sql, const std::vector<QVariant>& params);
    // Prepares sql under name; nParams says how many $n it takes (0 lets the server count).
    PgResult prepare(const QString& name, const QString& sql, int nParams = 0);
    PgResult execPrepared(const QString& name, const std::vector<QVariant>& params);
    // The columns (names and type OIDs) and parameter types of a prepared statement, learnt
    // without running it.
    PgResult describePrepared(const QString& name);
    // The same for one statement, prepared unnamed and not run.
    PgResult describe(const QString& sql);

    // The OID of the citext type in this database, or 0 when the extension is not installed.
    PgOid citextOid();
    // Commands sent without waiting for their replies (libpq's pipeline mode), so that a run
    // of writes in a transaction costs one round trip: the next call that waits (every call
    // above) collects them first, and a refusal among them fails that call.
    // Allowed only inside a transaction, where a refusal keeps the transaction from
    // committing; the database says when that is.
    void allowQueue(bool allowed)
    {
        m_queueAllowed = allowed;
        // Out of the transaction, an earlier refusal explains nothing any more.
        if (!allowed)
            m_queueError.clear();
    }
    bool queueAllowed() const { return m_queueAllowed; }
    bool hasUnanswered() const { return !m_unanswered.empty(); }
    // Before sending a command unanswered with libpq's PQsend* calls; false when it cannot.
    bool beginSend();
    // After a command was sent; onReply hears whether the server took it.
    void sent(std::function<void(bool ok)> onReply = {});
    // Waits for the replies of every command sent: empty, or the first refusal's message.
    // With last, the reply of the command sent last is handed back there (a refusal before
    // it becomes its error).
    QString collect(PgResult* last = nullptr);
    // Sends one statement without parameters unanswered.
    bool send(const QString& sql);

    // Takes a result of a libpq call on this session: its error cleaned of the password.
    PgResult wrap(pg_result* result) const;

    // The session is about to close: what it holds on the server goes with it.
    void setEnding() { m_ending = true; }
    bool ending() const { return m_ending; }

    // A name for a statement prepared on the server, new in this session.
    QByteArray newStatementName() { return "quel_s" + QByteArray::number(++m_statementNames); }

private:
    PgConnection(pg_conn* conn, const QString& address, QStringList secrets);
    QString clean(const QString& message) const;

    pg_conn* m_conn = nullptr;
    QString m_address;
    QStringList m_secrets;
    std::optional<PgOid> m_citextOid;
    quint64 m_statementNames = 0;
    // The commands sent and not answered yet, each with what to do with its outcome.
    std::vector<std::function<void(bool ok)>> m_unanswered;
    bool m_queueAllowed = false;
    bool m_ending = false;
    QString m_queueError;
};

} // namespace quel::db_pg
